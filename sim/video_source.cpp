#include "video_source.h"

#include <algorithm>

#include "sps.h"

namespace vsim {

namespace {

constexpr int kSlice = 1;
constexpr int kIdrSlice = 5;
constexpr int kSps = 7;
constexpr int kPps = 8;
constexpr int kDelimiter = 9;
constexpr int kFiller = 12;

int TypeOf(std::span<const uint8_t> unit) {
  return unit.empty() ? -1 : unit[0] & 0x1F;
}

bool IsSlice(int nType) {
  return nType == kSlice || nType == kIdrSlice;
}

// first_mb_in_slice is 0 exactly when its Exp-Golomb code is the single bit 1.
bool StartsPicture(std::span<const uint8_t> slice) {
  return slice.size() > 1 && (slice[1] & 0x80);
}

// Units that may only open an access unit (SEI, parameter sets, delimiter,
// and the reserved types 14 to 18), never follow a picture's slices in it.
bool OpensAccessUnit(int nType) {
  return (nType >= 6 && nType <= 9) || (nType >= 14 && nType <= 18);
}

struct Builder {
  VideoSource& source;
  std::span<const uint8_t> sps;
  std::span<const uint8_t> pps;
  std::vector<std::span<const uint8_t>> pending;  // units of the access unit being gathered
  bool bHasSlice = false;
  std::string szError;
};

int ParamSetIndex(Builder& builder) {
  if (builder.sps.empty() || builder.pps.empty()) return -1;
  SpsInfo info;
  if (!ParseSps(builder.sps, info)) return -1;
  std::vector<uint8_t> record = MakeConfigRecord(builder.sps, builder.pps, info);
  std::vector<ParameterSets>& sets = builder.source.paramSets;
  if (!sets.empty() && sets.back().vecRecord == record) return static_cast<int>(sets.size()) - 1;
  if (sets.empty() && info.dFps > 0 && info.dFps <= 1000)
    builder.source.dFrameMs = 1000.0 / info.dFps;
  sets.push_back({std::move(record), info.nWidth, info.nHeight});
  return static_cast<int>(sets.size()) - 1;
}

void Flush(Builder& builder) {
  if (builder.bHasSlice) {
    AccessUnit unit;
    unit.nParamSet = ParamSetIndex(builder);
    for (std::span<const uint8_t> nal : builder.pending) {
      const int nType = TypeOf(nal);
      if (nType == kSps || nType == kPps || nType == kDelimiter || nType == kFiller) continue;
      const auto nSize = static_cast<uint32_t>(nal.size());
      for (int nShift = 24; nShift >= 0; nShift -= 8) {
        unit.vecData.push_back(static_cast<uint8_t>(nSize >> nShift));
      }
      unit.vecData.insert(unit.vecData.end(), nal.begin(), nal.end());
      unit.sizes.push_back(nSize + 4);
    }
    // A picture before any usable parameter sets cannot be decoded: skip it.
    if (unit.nParamSet >= 0) builder.source.units.push_back(std::move(unit));
  }
  builder.pending.clear();
  builder.bHasSlice = false;
}

}  // namespace

std::vector<std::span<const uint8_t>> SplitNalUnits(std::span<const uint8_t> stream) {
  std::vector<std::span<const uint8_t>> units;
  size_t nStart = std::string::npos;
  size_t i = 0;
  while (i + 3 <= stream.size()) {
    if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
      if (nStart != std::string::npos) units.push_back(stream.subspan(nStart, i - nStart));
      i += 3;
      nStart = i;
    } else {
      ++i;
    }
  }
  if (nStart != std::string::npos) units.push_back(stream.subspan(nStart));
  // Zero bytes before a start code (a 4-byte start code's first, or
  // trailing_zero_8bits) belong to no unit.
  for (std::span<const uint8_t>& unit : units) {
    size_t nSize = unit.size();
    while (nSize > 0 && unit[nSize - 1] == 0) --nSize;
    unit = unit.first(nSize);
  }
  std::erase_if(units, [](std::span<const uint8_t> unit) { return unit.empty(); });
  return units;
}

bool MakeVideoSource(std::span<const uint8_t> stream, VideoSource& source, std::string& szError) {
  source = VideoSource{};
  Builder builder{source, {}, {}, {}, false, {}};
  for (std::span<const uint8_t> nal : SplitNalUnits(stream)) {
    const int nType = TypeOf(nal);
    const bool bNewPicture = IsSlice(nType) ? StartsPicture(nal) : OpensAccessUnit(nType);
    if (bNewPicture && builder.bHasSlice) Flush(builder);
    if (nType == kSps) builder.sps = nal;
    if (nType == kPps) builder.pps = nal;
    builder.pending.push_back(nal);
    if (IsSlice(nType)) builder.bHasSlice = true;
  }
  Flush(builder);
  if (source.units.empty()) {
    szError =
        source.paramSets.empty() ? "no picture with an SPS and a PPS before it" : "no picture";
    return false;
  }
  return true;
}

}  // namespace vsim
