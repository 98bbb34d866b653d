#include "capture_test_util.h"

#include <algorithm>
#include <cstring>

#include "support/h264_maker.h"

namespace captest {

void PutLe32(Bytes& bytes, uint32_t nValue) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(nValue >> (8 * i)));
}

void PutLe64(Bytes& bytes, uint64_t qwValue) {
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(qwValue >> (8 * i)));
}

void PutBe32(Bytes& bytes, uint32_t nValue) {
  for (int i = 3; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(nValue >> (8 * i)));
}

uint32_t GetLe32(std::span<const uint8_t> bytes, size_t nOffset) {
  uint32_t nValue = 0;
  for (int i = 3; i >= 0; --i) nValue = (nValue << 8) | bytes[nOffset + i];
  return nValue;
}

uint64_t GetLe64(std::span<const uint8_t> bytes, size_t nOffset) {
  return GetLe32(bytes, nOffset) | (static_cast<uint64_t>(GetLe32(bytes, nOffset + 4)) << 32);
}

double GetLeF64(std::span<const uint8_t> bytes, size_t nOffset) {
  const uint64_t qwBits = GetLe64(bytes, nOffset);
  double dValue = 0;
  std::memcpy(&dValue, &qwBits, sizeof dValue);
  return dValue;
}

Bytes Hex(const std::string& szHex) {
  Bytes bytes;
  std::string szDigits;
  for (char c : szHex) {
    if (c == ' ') continue;
    szDigits.push_back(c);
    if (szDigits.size() == 2) {
      bytes.push_back(static_cast<uint8_t>(std::stoul(szDigits, nullptr, 16)));
      szDigits.clear();
    }
  }
  return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

Bytes Item(const char (&szTag)[5], std::span<const uint8_t> payload) {
  Bytes item;
  PutLe32(item, static_cast<uint32_t>(8 + payload.size()));
  PutLe32(item, Code(szTag));
  item.insert(item.end(), payload.begin(), payload.end());
  return item;
}

Bytes SyncPacket(const char (&szSubType)[5], uint64_t qwClockRef, uint64_t qwCorrelationId,
                 uint64_t qwDeviceClockRef) {
  Bytes packet;
  PutLe32(packet, 36);
  PutLe32(packet, Code("sync"));
  PutLe64(packet, qwClockRef);
  PutLe32(packet, Code(szSubType));
  PutLe64(packet, qwCorrelationId);
  PutLe64(packet, qwDeviceClockRef);
  return packet;
}

Bytes AsynPacket(const char (&szSubType)[5], std::span<const uint8_t> payload,
                 uint64_t qwClockRef) {
  Bytes packet;
  PutLe32(packet, static_cast<uint32_t>(20 + payload.size()));
  PutLe32(packet, Code("asyn"));
  PutLe64(packet, qwClockRef);
  PutLe32(packet, Code(szSubType));
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}

Bytes PacketOfKind(uint32_t nMagic, size_t nSize) {
  Bytes packet;
  PutLe32(packet, static_cast<uint32_t>(nSize));
  PutLe32(packet, nMagic);
  packet.resize(nSize, 0);
  return packet;
}

Bytes Opts(int64_t i64Value, uint32_t nTimeScale) {
  Bytes payload;
  PutLe64(payload, static_cast<uint64_t>(i64Value));
  PutLe32(payload, nTimeScale);
  PutLe32(payload, 1);
  PutLe64(payload, 0);
  return Item("opts", payload);
}

Bytes VideoFdsc(std::span<const uint8_t> record, uint32_t nWidth, uint32_t nHeight) {
  Bytes payload;
  PutLe32(payload, 12);
  PutLe32(payload, Code("mdia"));
  PutLe32(payload, Code("vide"));
  Bytes dims;
  PutLe32(dims, nWidth);
  PutLe32(dims, nHeight);
  Bytes codec;
  PutLe32(codec, Code("avc1"));
  // The extensions hold the record as a data value among other entries.
  const Bytes datv = Item("datv", record);
  const Bytes extensions = Join({Item("strk", Hex("61 76 63 43")), datv});
  payload = Join({payload, Item("vdim", dims), Item("codc", codec), Item("extn", extensions)});
  return Item("fdsc", payload);
}

Bytes AudioFdsc(uint32_t nBits, uint32_t nChannels, double dRate) {
  Bytes asbd;
  uint64_t qwRateBits = 0;
  std::memcpy(&qwRateBits, &dRate, sizeof dRate);
  PutLe64(asbd, qwRateBits);
  PutLe32(asbd, Code("lpcm"));
  PutLe32(asbd, 12);
  PutLe32(asbd, nChannels * nBits / 8);
  PutLe32(asbd, 1);
  PutLe32(asbd, nChannels * nBits / 8);
  PutLe32(asbd, nChannels);
  PutLe32(asbd, nBits);
  PutLe32(asbd, 0);
  Bytes payload;
  PutLe32(payload, 12);
  PutLe32(payload, Code("mdia"));
  PutLe32(payload, Code("soun"));
  return Item("fdsc", Join({payload, Item("asbd", asbd)}));
}

Bytes LengthPrefixed(const Bytes& unit) {
  // Sized at once: GCC 12 at -O3 misreads an insert after the prefix's
  // push_backs as reading past the unit (-Wstringop-overread).
  Bytes prefixed(4 + unit.size());
  const auto nSize = static_cast<uint32_t>(unit.size());
  for (size_t i = 0; i < 4; ++i) prefixed[i] = static_cast<uint8_t>(nSize >> (8 * (3 - i)));
  std::copy(unit.begin(), unit.end(), prefixed.begin() + 4);
  return prefixed;
}

Bytes Sdat(const std::vector<Bytes>& vecUnits) {
  Bytes data;
  for (const Bytes& unit : vecUnits) {
    const Bytes prefixed = LengthPrefixed(unit);
    data.insert(data.end(), prefixed.begin(), prefixed.end());
  }
  return Item("sdat", data);
}

Bytes Sbuf(std::initializer_list<Bytes> children) {
  return Item("sbuf", Join(children));
}

Bytes ConfigRecord(const Bytes& sps, const Bytes& pps, bool bHigh) {
  return vtest::MakeAvcConfigRecord(sps, pps, bHigh);
}

}  // namespace captest
