#include "avc/avc_record.h"

#include <algorithm>

#include "avc/avc_units.h"

namespace {

constexpr size_t kFirstGroupOffset = 6;
constexpr size_t kSpsLengthOffset = 6;
constexpr size_t kSpsOffset = 8;
// Header, the two counts and two lengths, and the High-profile closing bytes.
constexpr size_t kDeviceRecordFixedBytes = 15;

size_t ReadBe16(std::span<const uint8_t> bytes, size_t nOffset) {
  return (size_t{bytes[nOffset]} << 8) | bytes[nOffset + 1];
}

}  // namespace

bool ReadRecordUnits(std::span<const uint8_t> record,
                     std::vector<std::span<const uint8_t>>& units) {
  units.clear();
  if (record.size() < kFirstGroupOffset) return false;
  size_t nPosition = kFirstGroupOffset;
  size_t nCount = record[5] & 0x1F;
  for (int nGroup = 0; nGroup < 2; ++nGroup) {
    if (nGroup == 1) {
      if (nPosition >= record.size()) break;
      nCount = record[nPosition++];
    }
    for (size_t i = 0; i < nCount; ++i) {
      if (record.size() - nPosition < 2 ||
          record.size() - nPosition - 2 < ReadBe16(record, nPosition)) {
        units.clear();
        return false;
      }
      const size_t nLength = ReadBe16(record, nPosition);
      units.push_back(record.subspan(nPosition + 2, nLength));
      nPosition += 2 + nLength;
    }
    if (nGroup == 1) return !units.empty();
  }
  units.clear();
  return false;
}

bool AppendRecordUnits(std::span<const uint8_t> record, bool bStartCode,
                       std::vector<uint8_t>& out) {
  std::vector<std::span<const uint8_t>> units;
  if (!ReadRecordUnits(record, units)) return false;
  for (const auto& unit : units) AppendUnit(unit, bStartCode, out);
  return true;
}

std::vector<uint8_t> RecordWithFourByteLengths(std::span<const uint8_t> record) {
  std::vector<std::span<const uint8_t>> units;
  if (!ReadRecordUnits(record, units)) return {};
  std::vector<uint8_t> out(record.begin(), record.end());
  out[4] |= 0x03;
  return out;
}

bool ReadDeviceRecord(std::span<const uint8_t> block, DeviceRecord& out) {
  out = DeviceRecord{};
  if (block.size() < kSpsOffset) return false;
  const size_t nSpsLength = ReadBe16(block, kSpsLengthOffset);
  if (block.size() - kSpsOffset < nSpsLength) return false;
  const size_t nPpsLengthOffset = kSpsOffset + nSpsLength + 1;
  if (block.size() < nPpsLengthOffset || block.size() - nPpsLengthOffset < 2) return false;
  const size_t nPpsLength = ReadBe16(block, nPpsLengthOffset);
  if (block.size() - (nPpsLengthOffset + 2) < nPpsLength) return false;
  out.sps = block.subspan(kSpsOffset, nSpsLength);
  out.pps = block.subspan(nPpsLengthOffset + 2, nPpsLength);
  out.record =
      block.first(std::min(kDeviceRecordFixedBytes + nSpsLength + nPpsLength, block.size()));
  return true;
}
