// Device-side bytes for the capture tests, built here on their own (not with
// the host's writer), so that a misread field shows up as a failed test
// instead of hiding behind the same mistake on both sides.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace captest {

using Bytes = std::vector<uint8_t>;

// Four-character code as the protocol stores it: first character in the
// most significant byte, little-endian on the wire.
constexpr uint32_t Code(const char (&szCode)[5]) {
  uint32_t nValue = 0;
  for (int i = 0; i < 4; ++i) nValue = (nValue << 8) | static_cast<uint8_t>(szCode[i]);
  return nValue;
}

void PutLe32(Bytes& bytes, uint32_t nValue);
void PutLe64(Bytes& bytes, uint64_t qwValue);
void PutBe32(Bytes& bytes, uint32_t nValue);
uint32_t GetLe32(std::span<const uint8_t> bytes, size_t nOffset);
uint64_t GetLe64(std::span<const uint8_t> bytes, size_t nOffset);
double GetLeF64(std::span<const uint8_t> bytes, size_t nOffset);

// Bytes from a text of hexadecimal pairs, spaces allowed: "0d 00 00 00".
Bytes Hex(const std::string& szHex);

Bytes Join(std::initializer_list<Bytes> parts);

// Item: u32 length with the header, tag, payload.
Bytes Item(const char (&szTag)[5], std::span<const uint8_t> payload);

// Packets.
Bytes SyncPacket(const char (&szSubType)[5], uint64_t qwClockRef, uint64_t qwCorrelationId,
                 uint64_t qwDeviceClockRef);
Bytes AsynPacket(const char (&szSubType)[5], std::span<const uint8_t> payload,
                 uint64_t qwClockRef = 0x51);
Bytes PacketOfKind(uint32_t nMagic, size_t nSize);

// Sample-buffer children.
Bytes Opts(int64_t i64Value, uint32_t nTimeScale);
Bytes VideoFdsc(std::span<const uint8_t> record, uint32_t nWidth = 320, uint32_t nHeight = 240);
Bytes AudioFdsc(uint32_t nBits, uint32_t nChannels, double dRate);
// sdat of length-prefixed units.
Bytes Sdat(const std::vector<Bytes>& vecUnits);
Bytes Sbuf(std::initializer_list<Bytes> children);

// The AVC configuration record shape: version, profile, compatibility,
// level, 0xFF, 0xE1, SPS length and SPS, 1, PPS length and PPS, then the
// four High-profile bytes when bHigh.
Bytes ConfigRecord(const Bytes& sps, const Bytes& pps, bool bHigh = true);

// A unit with its 4-byte big-endian length prefix.
Bytes LengthPrefixed(const Bytes& unit);

}  // namespace captest
