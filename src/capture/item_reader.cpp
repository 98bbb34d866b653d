#include "capture/item_reader.h"

#include <algorithm>
#include <array>

#include "capture/byte_order.h"

std::optional<ItemHeader> ReadItemHeader(std::span<const uint8_t> bytes, size_t nPosition) {
  const std::optional<uint32_t> nLength = ReadLe32(bytes, nPosition);
  const std::optional<uint32_t> nTag =
      nPosition <= SIZE_MAX - 4 ? ReadLe32(bytes, nPosition + 4) : std::nullopt;
  if (!nLength || !nTag) return std::nullopt;
  return ItemHeader{static_cast<int32_t>(*nLength), *nTag};
}

std::optional<size_t> FindTag(std::span<const uint8_t> block, uint32_t nTag) {
  if (block.size() <= 4) return std::nullopt;
  const std::array<uint8_t, 4> byPattern = {
      static_cast<uint8_t>(nTag), static_cast<uint8_t>(nTag >> 8), static_cast<uint8_t>(nTag >> 16),
      static_cast<uint8_t>(nTag >> 24)};
  // Searching all but the last byte leaves exactly the starts below size - 4.
  const auto searched = block.first(block.size() - 1);
  const auto it = std::search(searched.begin(), searched.end(), byPattern.begin(), byPattern.end());
  if (it == searched.end()) return std::nullopt;
  return static_cast<size_t>(it - searched.begin());
}
