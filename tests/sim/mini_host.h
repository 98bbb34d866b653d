// A tiny host that answers the simulated phone as a correct host does. Its
// packets are written out here by hand (the display and audio dictionaries
// as hex images), not with the device's own packet code.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "device/usb_api.h"
#include "platform/clock.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t Code(const char (&sz)[5]) {
  return uint32_t(uint8_t(sz[0])) << 24 | uint32_t(uint8_t(sz[1])) << 16 |
         uint32_t(uint8_t(sz[2])) << 8 | uint32_t(uint8_t(sz[3]));
}

inline Bytes FromHex(std::string_view szHex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < szHex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(szHex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

inline uint32_t U32(std::span<const uint8_t> b, size_t n) {
  return n + 4 <= b.size() ? uint32_t(b[n]) | uint32_t(b[n + 1]) << 8 | uint32_t(b[n + 2]) << 16 |
                                 uint32_t(b[n + 3]) << 24
                           : 0xFFFFFFFF;
}
inline uint64_t U64(std::span<const uint8_t> b, size_t n) {
  return uint64_t(U32(b, n)) | uint64_t(U32(b, n + 4)) << 32;
}
inline void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void Put64(Bytes& b, uint64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// {"Valeria": true, "DisplaySize": {"Width": 2160.0, "Height": 3840.0}}
inline const char kDisplayDict[] =
    "9800000074636964200000007679656b0f0000006b72747356616c6572696109000000766c756201700000007679"
    "656b130000006b727473446973706c617953697a655500000074636964260000007679656b0d0000006b72747357"
    "696474681100000076626d6e060000000000e0a040270000007679656b0e0000006b7274734865696768741100"
    "000076626d6e06000000000000ae40";
// BufferAheadInterval, deviceUID, ScreenLatency, formats, EDIDAC3Support, deviceName.
inline const char kAudioDict[] =
    "3d01000074636964340000007679656b1b0000006b7274734275666665724168656164496e74657276616c1100"
    "000076626d6e06e4a59bc420b0b23f280000007679656b110000006b7274736465766963655549440f00000076"
    "72747356616c657269612e0000007679656b150000006b72747353637265656e4c6174656e6379110000007662"
    "6d6e067b14ae47e17aa43f570000007679656b0f0000006b727473666f726d6174734000000076746164000000"
    "000070e7406d63706c0c000000040000000100000004000000020000001000000000000000000000000070e740"
    "000000000070e7402b0000007679656b160000006b72747345444944414333537570706f72740d00000076626d"
    "6e0300000000290000007679656b120000006b7274736465766963654e616d650f0000007672747356616c6572"
    "6961";
// {"Error": 0}
inline const char kErrorDict[] =
    "2a00000074636964220000007679656b0d0000006b7274734572726f720d00000076626d6e0300000000";

// Header (length, magic, a u64, then the sub-type, or 0 in a reply) and payload.
inline Bytes Packet(uint32_t nMagic, uint64_t qwWord, uint32_t nSub, const Bytes& payload,
                    bool bReply = false) {
  Bytes packet;
  Put32(packet, uint32_t(20 + payload.size()));
  Put32(packet, nMagic);
  Put64(packet, qwWord);
  Put32(packet, bReply ? 0 : nSub);
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}
inline Bytes Asyn(uint64_t qwClock, uint32_t nSub, const Bytes& payload) {
  return Packet(Code("asyn"), qwClock, nSub, payload);
}
inline Bytes Reply(uint64_t qwCorrelation, const Bytes& payload) {
  return Packet(Code("rply"), qwCorrelation, 0, payload, true);
}
inline Bytes Reply64(uint64_t qwCorrelation, uint64_t qwValue) {
  Bytes payload;
  Put64(payload, qwValue);
  return Reply(qwCorrelation, payload);
}
inline Bytes Ping() {
  return FromHex("10000000676e69700000000001000000");
}

struct MiniHost {
  usb_dev_handle* pHandle = nullptr;
  int nIn = 0x86;
  int nOut = 0x05;
  std::vector<char> buffer = std::vector<char>(5 * 1024 * 1024);
  bool bAnswerNeeds = true;
  // Breaks for the tests that check the device's checks.
  bool bOneDisplayAnnouncement = false;
  bool bWrongAudioClock = false;
  uint64_t qwTimeExtra = 0;  // added to the elapsed time of the time reply
  Bytes need;
  uint64_t qwClokStart = 0;
  std::vector<Bytes> packets;  // everything received, in order
  std::vector<size_t> packetsPerTransfer;
  std::vector<uint64_t> feedTimes;  // clock at each feed
};

inline void Write(MiniHost& host, const Bytes& packet) {
  usb_bulk_write(host.pHandle, host.nOut, reinterpret_cast<const char*>(packet.data()),
                 static_cast<int>(packet.size()), -1);
}

inline void AnswerSync(MiniHost& host, std::span<const uint8_t> p) {
  const uint64_t qwClock = U64(p, 8);
  const uint64_t qwCorrelation = U64(p, 20);
  const uint64_t qwDeviceClock = U64(p, 28);
  switch (U32(p, 16)) {
    case Code("cwpa"): {
      const Bytes display = Asyn(1, Code("hpd1"), FromHex(kDisplayDict));
      Write(host, display);
      if (!host.bOneDisplayAnnouncement) Write(host, display);
      Write(host, Reply64(qwCorrelation, qwDeviceClock + 1000));
      Write(host, Asyn(qwDeviceClock + (host.bWrongAudioClock ? 1 : 0), Code("hpa1"),
                       FromHex(kAudioDict)));
      break;
    }
    case Code("afmt"):
      Write(host, Reply(qwCorrelation, FromHex(kErrorDict)));
      break;
    case Code("cvrp"):
      host.need = Asyn(qwDeviceClock, Code("need"), {});
      Write(host, host.need);
      Write(host, Reply64(qwCorrelation, qwDeviceClock + 0x1000AF));
      break;
    case Code("clok"):
      host.qwClokStart = ClockTicks();
      Write(host, Reply64(qwCorrelation, qwClock + 0x10000));
      break;
    case Code("time"): {
      Bytes time;
      Put64(time, ClockTicks() - host.qwClokStart + host.qwTimeExtra);
      Put32(time, 1000);
      Put32(time, 1);
      Put64(time, 0);
      Write(host, Reply(qwCorrelation, time));
      break;
    }
    case Code("skew"):
      Write(host, Reply64(qwCorrelation, 0x40E7700000000000));  // 48000.0
      break;
    default:  // stop, go!
      Write(host, Reply(qwCorrelation, Bytes{0, 0, 0, 0}));
      break;
  }
}

// One read; every packet of the transfer answered. Returns the read's result.
inline int Step(MiniHost& host, int nTimeout = 1000) {
  const int nRead = usb_bulk_read(host.pHandle, host.nIn, host.buffer.data(),
                                  static_cast<int>(host.buffer.size()), nTimeout);
  if (nRead <= 0) return nRead;
  const std::span<const uint8_t> transfer(reinterpret_cast<const uint8_t*>(host.buffer.data()),
                                          static_cast<size_t>(nRead));
  size_t nOffset = 0;
  size_t nCount = 0;
  while (nOffset + 8 <= transfer.size()) {
    const uint32_t nLength = U32(transfer, nOffset);
    if (nLength < 8 || nLength > transfer.size() - nOffset) break;
    const std::span<const uint8_t> p = transfer.subspan(nOffset, nLength);
    host.packets.emplace_back(p.begin(), p.end());
    ++nCount;
    nOffset += nLength;
    const uint32_t nMagic = U32(p, 4);
    if (nMagic == Code("ping")) {
      Write(host, Ping());
    } else if (nMagic == Code("sync")) {
      AnswerSync(host, p);
    } else if (nMagic == Code("asyn") && U32(p, 16) == Code("feed")) {
      host.feedTimes.push_back(ClockTicks());
      if (host.bAnswerNeeds) Write(host, host.need);
    }
  }
  host.packetsPerTransfer.push_back(nCount);
  return nRead;
}

// The packets of one kind and sub-type received so far.
inline std::vector<Bytes> Received(const MiniHost& host, uint32_t nMagic, uint32_t nSub) {
  std::vector<Bytes> found;
  for (const Bytes& p : host.packets) {
    if (U32(p, 4) == nMagic && (nMagic == Code("ping") || U32(p, 16) == nSub)) found.push_back(p);
  }
  return found;
}

// The payload of the first child item with this tag inside the sample buffer
// of a feed or eat! packet (empty when absent).
inline Bytes Child(const Bytes& packet, uint32_t nTag) {
  size_t nAt = 20 + 8;
  while (nAt + 8 <= packet.size()) {
    const uint32_t nLength = U32(packet, nAt);
    if (nLength < 8 || nLength > packet.size() - nAt) break;
    if (U32(packet, nAt + 4) == nTag) {
      return Bytes(packet.begin() + long(nAt) + 8, packet.begin() + long(nAt + nLength));
    }
    nAt += nLength;
  }
  return {};
}

}  // namespace simtest
