// FFmpeg's own decode, the reference for every published picture: sws_scale of the whole
// picture to BGRA (SWS_POINT) into rows with room to spare, copied to 4 x width bytes a row.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

extern "C" {
struct AVFrame;
}

namespace vtest {

struct ReferencePicture {
  int nWidth = 0;
  int nHeight = 0;
  std::vector<uint8_t> bgra;
  bool operator==(const ReferencePicture&) const = default;
};

ReferencePicture ReferenceConvert(const AVFrame* pFrame);
// Without bFlush the last picture stays in the parser, as in the program.
std::vector<ReferencePicture> ReferenceDecode(std::span<const uint8_t> annexB, bool bFlush = true);

}  // namespace vtest
