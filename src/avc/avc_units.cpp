#include "avc/avc_units.h"

#include <cstring>

namespace {

constexpr uint8_t kStartCode[kUnitPrefixBytes] = {0, 0, 0, 1};

void AppendBytes(std::vector<uint8_t>& out, const uint8_t* pBytes, size_t nBytes) {
  if (nBytes == 0) return;
  const size_t nOld = out.size();
  out.resize(nOld + nBytes);
  std::memcpy(out.data() + nOld, pBytes, nBytes);
}

}  // namespace

std::optional<std::span<const uint8_t>> NextUnit(std::span<const uint8_t> units,
                                                 size_t& nPosition) {
  if (nPosition > units.size() || units.size() - nPosition < kUnitPrefixBytes) return std::nullopt;
  const uint8_t* p = units.data() + nPosition;
  const size_t nLength = (size_t{p[0]} << 24) | (size_t{p[1]} << 16) | (size_t{p[2]} << 8) | p[3];
  if (nLength > units.size() - nPosition - kUnitPrefixBytes) return std::nullopt;
  const std::span<const uint8_t> unit = units.subspan(nPosition + kUnitPrefixBytes, nLength);
  nPosition += kUnitPrefixBytes + nLength;
  return unit;
}

size_t WholeUnitsSize(std::span<const uint8_t> units) {
  size_t nPosition = 0;
  while (NextUnit(units, nPosition)) {
  }
  return nPosition;
}

bool HasIdrSlice(std::span<const uint8_t> units) {
  size_t nPosition = 0;
  while (const auto unit = NextUnit(units, nPosition)) {
    if (!unit->empty() && ((*unit)[0] & 0x1F) == kNalIdrSlice) return true;
  }
  return false;
}

size_t AppendAnnexB(std::span<const uint8_t> units, std::vector<uint8_t>& out) {
  // One copy of the whole units, then each prefix overwritten where it lies.
  const size_t nWhole = WholeUnitsSize(units);
  const size_t nOld = out.size();
  AppendBytes(out, units.data(), nWhole);
  size_t nPosition = 0;
  while (nPosition < nWhole) {
    const size_t nAt = nPosition;
    NextUnit(units, nPosition);  // whole: measured above
    std::memcpy(out.data() + nOld + nAt, kStartCode, kUnitPrefixBytes);
  }
  return nWhole;
}

void AppendUnit(std::span<const uint8_t> unit, bool bStartCode, std::vector<uint8_t>& out) {
  const auto nLength = static_cast<uint32_t>(unit.size());
  const uint8_t prefix[kUnitPrefixBytes] = {
      static_cast<uint8_t>(nLength >> 24), static_cast<uint8_t>(nLength >> 16),
      static_cast<uint8_t>(nLength >> 8), static_cast<uint8_t>(nLength)};
  AppendBytes(out, bStartCode ? kStartCode : prefix, kUnitPrefixBytes);
  AppendBytes(out, unit.data(), unit.size());
}
