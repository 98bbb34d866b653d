// FFmpeg's own decode of an Annex B stream, as the reference every published
// picture is compared with: H.264 parser -> decoder (default options: one
// thread) -> sws_scale of the whole picture to BGRA with SWS_POINT, source
// format the picture's own, into rows with room to spare (libswscale's SIMD
// converters work in pixel blocks and mishandle rows of exactly 4 x width
// bytes), then copied to one plane of 4 x width bytes a row, no gap -- the
// layout of the FrameStore.
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
  std::vector<uint8_t> bgra;  // 4 x nWidth x nHeight bytes
};

// One picture converted as above (a fresh scaler for it).
ReferencePicture ReferenceConvert(const AVFrame* pFrame);

// Decodes the whole stream in one parser feed. With bFlush the parser and the
// decoder are flushed at the end, so every picture comes out; without it the
// last picture stays inside the parser, as in the program (which never
// flushes). Aborts the test program (message on standard error) when FFmpeg
// objects cannot be made.
std::vector<ReferencePicture> ReferenceDecode(std::span<const uint8_t> annexB, bool bFlush = true);

}  // namespace vtest
