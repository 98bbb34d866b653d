// An H.264 Annex B stream turned into what the device sends: access units of
// length-prefixed NAL units, and the parameter sets each one decodes with
// (their configuration record and picture size).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vsim {

struct ParameterSets {
  std::vector<uint8_t> vecRecord;  // AVC decoder configuration record
  uint32_t nWidth = 0;
  uint32_t nHeight = 0;
};

struct AccessUnit {
  std::vector<uint8_t> vecData;  // units with 4-byte big-endian length prefixes
  std::vector<uint32_t> sizes;   // of each prefixed unit
  int nParamSet = -1;            // index into VideoSource::paramSets
};

struct VideoSource {
  std::vector<ParameterSets> paramSets;
  std::vector<AccessUnit> units;
  double dFrameMs = 1000.0 / 30;  // from the SPS timing when it has one
};

// The NAL units of an Annex B stream, start codes removed.
std::vector<std::span<const uint8_t>> SplitNalUnits(std::span<const uint8_t> stream);

// Fills the source; false (with the reason) when the stream has no picture
// or no usable parameter sets before its first picture.
bool MakeVideoSource(std::span<const uint8_t> stream, VideoSource& source, std::string& szError);

}  // namespace vsim
