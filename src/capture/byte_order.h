// Reading and writing the protocol's integers. Every read of device bytes goes
// through the Read functions, which refuse a field that does not lie wholly
// inside the view: no caller can read past a packet by trusting a length.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

using ByteView = std::span<const uint8_t>;

template <typename T>
std::optional<T> ReadLe(ByteView bytes, size_t nOffset) {
  if (nOffset > bytes.size() || bytes.size() - nOffset < sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, bytes.data() + nOffset, sizeof(T));
  return value;
}

// Grown, then copied into: GCC 12 at -O3 misreads an insert of a few bytes
// after a reserve as an overflow (-Wstringop-overflow) and stops the build.
template <typename T>
void AppendLe(std::vector<uint8_t>& vecBytes, T value) {
  const size_t nOld = vecBytes.size();
  vecBytes.resize(nOld + sizeof(T));
  std::memcpy(vecBytes.data() + nOld, &value, sizeof(T));
}

static_assert(std::endian::native == std::endian::little,
              "the host writes its integers as they lie");

inline std::optional<uint32_t> ReadLe32(ByteView bytes, size_t nOffset) {
  return ReadLe<uint32_t>(bytes, nOffset);
}

inline std::optional<uint64_t> ReadLe64(ByteView bytes, size_t nOffset) {
  return ReadLe<uint64_t>(bytes, nOffset);
}

inline std::optional<double> ReadLeF64(ByteView bytes, size_t nOffset) {
  return ReadLe<double>(bytes, nOffset);
}

inline std::optional<uint16_t> ReadBe16(ByteView bytes, size_t nOffset) {
  const auto value = ReadLe<uint16_t>(bytes, nOffset);
  if (!value) return std::nullopt;
  return static_cast<uint16_t>((*value >> 8) | (*value << 8));
}

inline std::optional<uint32_t> ReadBe32(ByteView bytes, size_t nOffset) {
  const auto value = ReadLe<uint32_t>(bytes, nOffset);
  if (!value) return std::nullopt;
  return __builtin_bswap32(*value);
}

inline void AppendLe32(std::vector<uint8_t>& vecBytes, uint32_t nValue) {
  AppendLe(vecBytes, nValue);
}

inline void AppendLe64(std::vector<uint8_t>& vecBytes, uint64_t qwValue) {
  AppendLe(vecBytes, qwValue);
}

inline void AppendLeF64(std::vector<uint8_t>& vecBytes, double dValue) {
  AppendLe(vecBytes, dValue);
}

// Overwrites a length field the writer itself placed (never device bytes).
inline void StoreLe32(std::vector<uint8_t>& vecBytes, size_t nOffset, uint32_t nValue) {
  if (nOffset > vecBytes.size() || vecBytes.size() - nOffset < sizeof nValue) return;
  std::memcpy(vecBytes.data() + nOffset, &nValue, sizeof nValue);
}
