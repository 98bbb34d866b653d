// The AVC decoder configuration record ("avcC"): the stream's SPS and PPS
// units, each behind a 2-byte length, in two counted groups.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The record's SPS and PPS units, in order, into units (cleared first; it
// keeps its capacity). False, and units empty, when the record ends before
// byte 5, the PPS count, a length field or a unit's last byte, or holds none.
bool ReadRecordUnits(std::span<const uint8_t> record, std::vector<std::span<const uint8_t>>& units);

// The record's units appended behind start codes (bStartCode) or 4-byte
// length prefixes; false, and nothing appended, when the record is malformed.
bool AppendRecordUnits(std::span<const uint8_t> record, bool bStartCode, std::vector<uint8_t>& out);

// The record as a file's header holds it: NAL length fields of 4 bytes, as
// the device's pictures have them. Empty when the record is malformed.
std::vector<uint8_t> RecordWithFourByteLengths(std::span<const uint8_t> record);

// The device's record as it sends it (one SPS, one PPS), read by fixed place
// inside a larger block that may follow it: the first SPS and PPS and the
// record's own extent, which a record cut before its closing High-profile
// bytes takes only as far as it goes. False when the units do not fit.
struct DeviceRecord {
  std::span<const uint8_t> sps;
  std::span<const uint8_t> pps;
  std::span<const uint8_t> record;
};
bool ReadDeviceRecord(std::span<const uint8_t> block, DeviceRecord& out);
