// What the benchmarks look for in the bytes that cross the simulated USB: the
// asynchronous packets, a feed coming in and a NEED going out.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

inline constexpr uint32_t kMagicAsyn = 0x6173796E;
inline constexpr uint32_t kAsynFeed = 0x66656564;
inline constexpr uint32_t kAsynNeed = 0x6E656564;

inline uint32_t Le32(std::span<const uint8_t> bytes, size_t nOffset) {
  uint32_t nValue = 0;
  std::memcpy(&nValue, bytes.data() + nOffset, sizeof nValue);
  return nValue;
}

inline bool IsAsyn(std::span<const uint8_t> packet, uint32_t nSubType) {
  return packet.size() >= 20 && Le32(packet, 4) == kMagicAsyn && Le32(packet, 16) == nSubType;
}

// The number of feed packets in a transfer (a transfer holds one packet or several).
inline int CountFeeds(std::span<const uint8_t> transfer) {
  int nFeeds = 0;
  for (size_t nOffset = 0; transfer.size() - nOffset >= 8;) {
    const uint32_t nLength = Le32(transfer, nOffset);
    if (nLength < 8 || nLength > transfer.size() - nOffset) break;
    if (IsAsyn(transfer.subspan(nOffset, nLength), kAsynFeed)) ++nFeeds;
    nOffset += nLength;
  }
  return nFeeds;
}
