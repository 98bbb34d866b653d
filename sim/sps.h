// What the device needs from an H.264 sequence parameter set: the picture
// size, the frame rate and the fields of the AVC configuration record.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vsim {

struct SpsInfo {
  uint8_t byProfile = 0;
  uint8_t byCompatibility = 0;
  uint8_t byLevel = 0;
  uint32_t nChromaFormat = 1;
  uint32_t nBitDepthLumaMinus8 = 0;
  uint32_t nBitDepthChromaMinus8 = 0;
  uint32_t nWidth = 0;
  uint32_t nHeight = 0;
  double dFps = 0;  // 0: the SPS carries no timing
};

// The SPS as a NAL unit (header byte first, emulation prevention in place).
// False when it is cut short or not an SPS.
bool ParseSps(std::span<const uint8_t> sps, SpsInfo& info);

// The AVC decoder configuration record for one SPS and one PPS, with the four
// bytes of the High profiles (100, 110, 122, 144) where they belong.
std::vector<uint8_t> MakeConfigRecord(std::span<const uint8_t> sps, std::span<const uint8_t> pps,
                                      const SpsInfo& info);

}  // namespace vsim
