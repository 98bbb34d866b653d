#include "packet_writer.h"

#include <bit>
#include <string>

namespace vsim {

void PutU16(Bytes& out, uint16_t nValue) {
  out.push_back(static_cast<uint8_t>(nValue));
  out.push_back(static_cast<uint8_t>(nValue >> 8));
}

void PutU32(Bytes& out, uint32_t nValue) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(nValue >> (8 * i)));
}

void PutU64(Bytes& out, uint64_t qwValue) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(qwValue >> (8 * i)));
}

void PutF64(Bytes& out, double dValue) {
  PutU64(out, std::bit_cast<uint64_t>(dValue));
}

void PutBytes(Bytes& out, std::span<const uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void PutText(Bytes& out, std::string_view szText) {
  out.insert(out.end(), szText.begin(), szText.end());
}

Bytes Item(uint32_t nTag, std::span<const uint8_t> payload) {
  Bytes out;
  out.reserve(8 + payload.size());
  PutU32(out, static_cast<uint32_t>(8 + payload.size()));
  PutU32(out, nTag);
  PutBytes(out, payload);
  return out;
}

size_t BeginItem(Bytes& out, uint32_t nTag) {
  const size_t nStart = out.size();
  PutU32(out, 0);
  PutU32(out, nTag);
  return nStart;
}

void EndItem(Bytes& out, size_t nStart) {
  const auto nLength = static_cast<uint32_t>(out.size() - nStart);
  for (size_t i = 0; i < 4; ++i) out[nStart + i] = static_cast<uint8_t>(nLength >> (8 * i));
}

Bytes BoolValue(bool bValue) {
  const uint8_t by = bValue ? 1 : 0;
  return Item(FourCC("bulv"), std::span(&by, 1));
}

Bytes Int32Value(int32_t nValue) {
  Bytes payload{3};
  PutU32(payload, static_cast<uint32_t>(nValue));
  return Item(FourCC("nmbv"), payload);
}

Bytes Float64Value(double dValue) {
  Bytes payload{6};
  PutF64(payload, dValue);
  return Item(FourCC("nmbv"), payload);
}

Bytes StringValue(std::string_view szText) {
  Bytes payload;
  PutText(payload, szText);
  return Item(FourCC("strv"), payload);
}

Bytes DataValue(std::span<const uint8_t> bytes) {
  return Item(FourCC("datv"), bytes);
}

Bytes Entry(std::string_view szKey, std::span<const uint8_t> valueItem) {
  Bytes entry;
  const size_t nStart = BeginItem(entry, FourCC("keyv"));
  Bytes key;
  PutText(key, szKey);
  PutBytes(entry, Item(FourCC("strk"), key));
  PutBytes(entry, valueItem);
  EndItem(entry, nStart);
  return entry;
}

Bytes Dictionary(std::initializer_list<Bytes> entries) {
  Bytes dict;
  const size_t nStart = BeginItem(dict, FourCC("dict"));
  for (const Bytes& entry : entries) PutBytes(dict, entry);
  EndItem(dict, nStart);
  return dict;
}

Bytes PingPacket() {
  Bytes packet;
  PutU32(packet, 16);
  PutU32(packet, FourCC("ping"));
  PutU32(packet, 0);
  PutU32(packet, 1);
  return packet;
}

Bytes SyncPacket(uint64_t qwClockRef, uint32_t nSubType, uint64_t qwCorrelation,
                 std::span<const uint8_t> payload) {
  Bytes packet;
  PutU32(packet, static_cast<uint32_t>(28 + payload.size()));
  PutU32(packet, FourCC("sync"));
  PutU64(packet, qwClockRef);
  PutU32(packet, nSubType);
  PutU64(packet, qwCorrelation);
  PutBytes(packet, payload);
  return packet;
}

Bytes AsynPacket(uint64_t qwClockRef, uint32_t nSubType, std::span<const uint8_t> payload) {
  Bytes packet;
  PutU32(packet, static_cast<uint32_t>(20 + payload.size()));
  PutU32(packet, FourCC("asyn"));
  PutU64(packet, qwClockRef);
  PutU32(packet, nSubType);
  PutBytes(packet, payload);
  return packet;
}

Bytes ReplyPacket(uint64_t qwCorrelation, std::span<const uint8_t> payload) {
  Bytes packet;
  PutU32(packet, static_cast<uint32_t>(20 + payload.size()));
  PutU32(packet, FourCC("rply"));
  PutU64(packet, qwCorrelation);
  PutU32(packet, 0);
  PutBytes(packet, payload);
  return packet;
}

std::optional<uint32_t> ReadU32(std::span<const uint8_t> bytes, size_t nOffset) {
  if (nOffset > bytes.size() || bytes.size() - nOffset < 4) return std::nullopt;
  uint32_t nValue = 0;
  for (size_t i = 0; i < 4; ++i) nValue |= static_cast<uint32_t>(bytes[nOffset + i]) << (8 * i);
  return nValue;
}

std::optional<uint64_t> ReadU64(std::span<const uint8_t> bytes, size_t nOffset) {
  if (nOffset > bytes.size()) return std::nullopt;
  const auto nLow = ReadU32(bytes, nOffset);
  const auto nHigh = ReadU32(bytes, nOffset + 4);
  if (!nLow || !nHigh) return std::nullopt;
  return static_cast<uint64_t>(*nHigh) << 32 | *nLow;
}

std::string HexOf(std::span<const uint8_t> bytes, size_t nLimit) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string szText;
  for (size_t i = 0; i < bytes.size() && i < nLimit; ++i) {
    szText.push_back(kDigits[bytes[i] >> 4]);
    szText.push_back(kDigits[bytes[i] & 0x0F]);
  }
  if (bytes.size() > nLimit) szText += "...";
  return szText;
}

}  // namespace vsim
