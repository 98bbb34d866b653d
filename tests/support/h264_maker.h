// H.264 test streams made in-process by libavcodec's libx264 encoder, and the
// small byte helpers that turn them into what the device sends.
//
// Everything is deterministic: the same options give the same bytes (x264 runs
// single-threaded, no B-frames, no look-ahead, fixed CRF). Example:
//
//   vtest::H264Options options;
//   options.nWidth = 1170; options.nHeight = 2532; options.nFrames = 10;
//   vtest::H264Stream stream = vtest::MakeH264Stream(options);
//   std::vector<uint8_t> annexB = vtest::JoinAccessUnits(stream.accessUnits);
//   vtest::WriteFile("/tmp/stream.h264", annexB);
//
//   for (const vtest::DeviceSample& sample : vtest::ToDeviceSamples(stream.accessUnits)) {
//     if (!sample.record.empty()) { /* format description: configuration record */ }
//     for (const auto& unit : sample.units) { /* 4-byte length prefix + unit */ }
//   }
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vtest {

using Bytes = std::vector<uint8_t>;

enum class H264Profile { Baseline, High };

struct H264Options {
  int nWidth = 320;  // even sizes (4:2:0); need not be multiples of 16
  int nHeight = 240;
  int nFrames = 10;  // pictures of the first stream
  int nFps = 60;     // written into the SPS timing
  H264Profile profile = H264Profile::High;
  int nSlices = 1;  // slices per picture (x264 option "slices")
  // The last nStillFrames of the first stream repeat the picture before them
  // (encoded as P pictures of skipped blocks). Counted within nFrames.
  int nStillFrames = 0;
  // A size change: when nSecondFrames > 0, a second stream of that many
  // pictures at nSecondWidth x nSecondHeight follows the first (same profile,
  // fps and slices), starting with its own SPS, PPS and IDR picture.
  int nSecondWidth = 0;
  int nSecondHeight = 0;
  int nSecondFrames = 0;
  // Varies the moving pattern (two seeds give different pictures).
  uint32_t nSeed = 0;
  // Picture period in frames between IDR pictures; 0: only the first picture
  // of each stream is an IDR picture.
  int nKeyInterval = 0;
};

struct H264Stream {
  // One Annex B access unit per picture, in decoding (= display) order. The
  // first of each stream holds SPS, PPS (and x264's SEI) before its IDR slices.
  std::vector<Bytes> accessUnits;
  // The size of each picture, in the same order.
  std::vector<int> widths;
  std::vector<int> heights;
};

// Encodes the stream. Aborts the test program (with a message on standard
// error) when libx264 is not available or refuses the options.
H264Stream MakeH264Stream(const H264Options& options);

// The access units one after the other: an Annex B stream (as a .h264 file).
Bytes JoinAccessUnits(const std::vector<Bytes>& accessUnits);

// The NAL units of an Annex B stream without their start codes (3- or 4-byte),
// in order. Trailing zero bytes before a start code are dropped, as Annex B says.
std::vector<Bytes> SplitAnnexB(std::span<const uint8_t> annexB);

// nal_unit_type of a unit without start code (its first byte AND 0x1F).
int NalType(std::span<const uint8_t> unit);

// The AVC decoder configuration record (ISO/IEC 14496-15) for one SPS and one
// PPS: {1, sps[1], sps[2], sps[3], 0xFF, 0xE1, len16, SPS, 0x01, len16, PPS},
// and, when bHighExtension, the four bytes of the High profiles: chroma format
// 4:2:0 (0xFD), luma and chroma bit depth 8 (0xF8, 0xF8), 0 SPS extensions.
Bytes MakeAvcConfigRecord(std::span<const uint8_t> sps, std::span<const uint8_t> pps,
                          bool bHighExtension = false);

// The unit with a 4-byte big-endian length prefix, as slot 5 receives it.
Bytes MakeLengthPrefixed(std::span<const uint8_t> unit);

// What the device sends for one access unit: the configuration record when
// the unit carried SPS and PPS (else empty; High-profile record for a
// profile_idc of 100 or more), and every other NAL unit (SEI, slices; access
// unit delimiters dropped) length-prefixed, in order.
struct DeviceSample {
  Bytes record;
  std::vector<Bytes> units;
};
std::vector<DeviceSample> ToDeviceSamples(const std::vector<Bytes>& accessUnits);

// Lowers FFmpeg's process-wide log level to errors only (x264's banner, the
// scaler's alignment warning). For test and benchmark mains; not thread-safe
// against other FFmpeg calls, so call it before any.
void QuietFfmpegLogs();

// Writes the bytes to a file (created or replaced); false on any error.
bool WriteFile(const std::string& szPath, std::span<const uint8_t> bytes);

// Writes the stream as an Annex B (.h264) file; false on any error.
bool WriteAnnexBFile(const std::string& szPath, const std::vector<Bytes>& accessUnits);

}  // namespace vtest
