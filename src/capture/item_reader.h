// The two ways the host reads tagged items of the device: one header at a
// known position, and a byte-wise search for a tag inside an opaque block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

struct ItemHeader {
  int32_t nLength = 0;  // the whole item, header included; may lie
  uint32_t nTag = 0;
};

inline constexpr size_t kItemHeaderSize = 8;

// The header of the item at nPosition; none when its 8 bytes are not all
// inside the bytes.
std::optional<ItemHeader> ReadItemHeader(std::span<const uint8_t> bytes, size_t nPosition);

// The first offset i < size - 4 at which the tag's four wire bytes start; the
// search goes byte by byte, so a match may lie inside any item. A match that
// starts at the block's last four bytes does not count.
std::optional<size_t> FindTag(std::span<const uint8_t> block, uint32_t nTag);
