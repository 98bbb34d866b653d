// The device's pictures: NAL units each behind a 4-byte big-endian length.
// Every walk stops at the first length that runs past the bytes: the units
// before it were whole, the rest cannot be trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr size_t kUnitPrefixBytes = 4;
inline constexpr uint8_t kNalIdrSlice = 5;

// The unit at nPosition (its payload, without the prefix), moving nPosition
// past it; nullopt at the end or at a unit that does not fit.
std::optional<std::span<const uint8_t>> NextUnit(std::span<const uint8_t> units, size_t& nPosition);

// How many leading bytes are whole units (prefixes included).
size_t WholeUnitsSize(std::span<const uint8_t> units);

// Whether the whole units hold an IDR slice: a picture a decoder can start from.
bool HasIdrSlice(std::span<const uint8_t> units);

// Appends the whole units with a start code in place of each prefix; returns
// the bytes appended. out keeps its capacity between pictures.
size_t AppendAnnexB(std::span<const uint8_t> units, std::vector<uint8_t>& out);

// Appends one unit behind a start code (bStartCode) or a 4-byte length prefix.
void AppendUnit(std::span<const uint8_t> unit, bool bStartCode, std::vector<uint8_t>& out);
