#include "video_source.h"

namespace vsim {

std::vector<std::span<const uint8_t>> SplitNalUnits(std::span<const uint8_t> /*stream*/) {
  return {};
}

bool MakeVideoSource(std::span<const uint8_t> /*stream*/, VideoSource& /*source*/,
                     std::string& szError) {
  szError = "not yet";
  return false;
}

}  // namespace vsim
