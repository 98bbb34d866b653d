// Device-side bytes built here, not with the host's writer, so that a misread field fails a test
// instead of hiding behind the same mistake on both sides.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/h264_maker.h"

namespace captest {

using Bytes = std::vector<uint8_t>;
// Four-character code: first character in the most significant byte.
constexpr uint32_t Code(const char (&sz)[5]) {
  return uint32_t(uint8_t(sz[0])) << 24 | uint8_t(sz[1]) << 16 | uint8_t(sz[2]) << 8 |
         uint8_t(sz[3]);
}
inline Bytes Le(uint64_t qwValue, int nBytes = 4) {
  Bytes bytes;
  for (int i = 0; i < nBytes; ++i) bytes.push_back(static_cast<uint8_t>(qwValue >> (8 * i)));
  return bytes;
}
const auto F64 = [](double dValue) { return Le(std::bit_cast<uint64_t>(dValue), 8); };
// Bytes from hexadecimal pairs, spaces allowed: "0d000000 6b727473".
inline Bytes Hex(std::string_view szHex) {
  Bytes bytes;
  for (size_t i = 0; i < szHex.size(); i += szHex[i] == ' ' ? 1 : 2)
    if (szHex[i] != ' ') bytes.push_back(std::stoi(std::string(szHex.substr(i, 2)), nullptr, 16));
  return bytes;
}
inline std::string H(std::span<const uint8_t> bytes, bool bUpper = false) {
  const char* szDigits = bUpper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string szText;
  for (uint8_t by : bytes) szText += {szDigits[by >> 4], szDigits[by & 15]};
  return szText;
}
inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}
inline Bytes Item(const char (&szTag)[5], std::span<const uint8_t> payload) {
  return Join({Le(8 + payload.size()), Le(Code(szTag)), Bytes(payload.begin(), payload.end())});
}
inline Bytes SyncPacket(const char (&szSubType)[5], uint64_t qwClockRef, uint64_t qwCorrelationId,
                        uint64_t qwDeviceClockRef) {
  return Join({Le(36), Le(Code("sync")), Le(qwClockRef, 8), Le(Code(szSubType)),
               Le(qwCorrelationId, 8), Le(qwDeviceClockRef, 8)});
}
inline Bytes AsynPacket(const char (&szSubType)[5], std::span<const uint8_t> payload,
                        uint64_t qwClockRef = 0x51) {
  return Join({Le(20 + payload.size()), Le(Code("asyn")), Le(qwClockRef, 8), Le(Code(szSubType)),
               Bytes(payload.begin(), payload.end())});
}
// Sample-buffer children; the video extensions hold the record among other entries.
inline Bytes Opts(int64_t i64Value, uint32_t nTimeScale) {
  return Item("opts", Join({Le(uint64_t(i64Value), 8), Le(nTimeScale), Le(1), Le(0, 8)}));
}
inline Bytes VideoFdsc(std::span<const uint8_t> record, uint32_t nWidth = 320,
                       uint32_t nHeight = 240) {
  const Bytes extensions = Join({Item("strk", Hex("61766343")), Item("datv", record)});
  return Item("fdsc", Join({Le(12), Le(Code("mdia")), Le(Code("vide")),
                            Item("vdim", Join({Le(nWidth), Le(nHeight)})),
                            Item("codc", Le(Code("avc1"))), Item("extn", extensions)}));
}
inline Bytes AudioFdsc(uint32_t nBits, uint32_t nChannels, double dRate) {
  const uint32_t nFrame = nChannels * nBits / 8;
  const Bytes asbd = Join({F64(dRate), Le(Code("lpcm")), Le(12), Le(nFrame), Le(1), Le(nFrame),
                           Le(nChannels), Le(nBits), Le(0)});
  return Item("fdsc", Join({Le(12), Le(Code("mdia")), Le(Code("soun")), Item("asbd", asbd)}));
}
inline Bytes Sdat(const std::vector<Bytes>& vecUnits) {
  Bytes data;
  for (const Bytes& unit : vecUnits) data = Join({data, vtest::MakeLengthPrefixed(unit)});
  return Item("sdat", data);
}
const auto Sbuf = [](std::initializer_list<Bytes> items) { return Item("sbuf", Join(items)); };

}  // namespace captest
