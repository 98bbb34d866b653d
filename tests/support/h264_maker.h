// H.264 test streams made by the ffmpeg command's x264 encoder (the same options
// give the same bytes), and the helpers that turn them into what the device sends.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vtest {

using Bytes = std::vector<uint8_t>;

enum class H264Profile { Baseline, High };

struct H264Options {
  int nWidth = 320;  // even; need not be multiples of 16
  int nHeight = 240;
  int nFrames = 10;
  int nFps = 60;
  H264Profile profile = H264Profile::High;
  int nSlices = 1;
  int nStillFrames = 0;  // the last pictures of the first stream repeat the one before them
  // A second stream (its own SPS, PPS and IDR picture) follows when nSecondFrames > 0.
  int nSecondWidth = 0, nSecondHeight = 0, nSecondFrames = 0;
  uint32_t nSeed = 0;    // varies the moving pattern
  int nKeyInterval = 0;  // pictures from one IDR picture to the next; 0: only the first
};

struct H264Stream {
  std::vector<Bytes> accessUnits;  // Annex B, one per picture, each led by a delimiter
};

H264Stream MakeH264Stream(const H264Options& options);  // aborts when the encoder fails
Bytes JoinAccessUnits(const std::vector<Bytes>& accessUnits);
// One SPS and one PPS; bHighExtension adds 4:2:0, 8 bits, no SPS extensions.
Bytes MakeAvcConfigRecord(std::span<const uint8_t> sps, std::span<const uint8_t> pps,
                          bool bHighExtension = false);
Bytes MakeLengthPrefixed(std::span<const uint8_t> unit);  // a 4-byte big-endian length first

// What the device sends for one access unit: the record when it carries SPS
// and PPS, and every other unit but the delimiter, length-prefixed.
struct DeviceSample {
  Bytes record;
  std::vector<Bytes> units;
};
std::vector<DeviceSample> ToDeviceSamples(const std::vector<Bytes>& accessUnits);

void QuietFfmpegLogs();  // errors only; call before any other FFmpeg call
bool WriteFile(const std::string& szPath, std::span<const uint8_t> bytes);

}  // namespace vtest
