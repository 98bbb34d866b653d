// The device's own small packet code: little-endian fields, tagged items,
// dictionaries and the four packet kinds, plus bounds-checked reads.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vsim {

using Bytes = std::vector<uint8_t>;

// A four-character code as the protocol's 32-bit value: first character in
// the most significant byte (so it travels reversed).
constexpr uint32_t FourCC(const char (&szCode)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(szCode[0])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(szCode[1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(szCode[2])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(szCode[3]));
}

void PutU16(Bytes& out, uint16_t nValue);
void PutU32(Bytes& out, uint32_t nValue);
void PutU64(Bytes& out, uint64_t qwValue);
void PutF64(Bytes& out, double dValue);
void PutBytes(Bytes& out, std::span<const uint8_t> bytes);
void PutText(Bytes& out, std::string_view szText);

// An item: u32 length (header included), u32 tag, payload.
Bytes Item(uint32_t nTag, std::span<const uint8_t> payload);
// Opens an item whose length is filled in by EndItem.
size_t BeginItem(Bytes& out, uint32_t nTag);
void EndItem(Bytes& out, size_t nStart);

// Dictionary values and entries.
Bytes BoolValue(bool bValue);
Bytes Int32Value(int32_t nValue);
Bytes Float64Value(double dValue);
Bytes StringValue(std::string_view szText);
Bytes DataValue(std::span<const uint8_t> bytes);
Bytes Entry(std::string_view szKey, std::span<const uint8_t> valueItem);
Bytes Dictionary(std::initializer_list<Bytes> entries);

// Whole packets.
Bytes PingPacket();
Bytes SyncPacket(uint64_t qwClockRef, uint32_t nSubType, uint64_t qwCorrelation,
                 std::span<const uint8_t> payload);
Bytes AsynPacket(uint64_t qwClockRef, uint32_t nSubType, std::span<const uint8_t> payload);
Bytes ReplyPacket(uint64_t qwCorrelation, std::span<const uint8_t> payload);

// Reads that fail instead of leaving the bytes.
std::optional<uint32_t> ReadU32(std::span<const uint8_t> bytes, size_t nOffset);
std::optional<uint64_t> ReadU64(std::span<const uint8_t> bytes, size_t nOffset);

// Lower-case hex of at most nLimit bytes, with "..." when there were more.
std::string HexOf(std::span<const uint8_t> bytes, size_t nLimit = 64);

}  // namespace vsim
