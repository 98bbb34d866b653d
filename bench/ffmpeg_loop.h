// FFmpeg's own single-threaded decode and conversion, the yardstick of the
// pipeline benchmarks: H.264 parser -> decoder (default options: one thread)
// -> sws_scale of each picture to BGRA with SWS_POINT, source format the
// picture's own, into one buffer with FFmpeg's usual alignment (allocated
// once per picture size). Never flushed, like the program.
#pragma once

#include <cstdint>
#include <span>

extern "C" {
struct AVCodecParserContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
}

struct FfmpegLoop {
  AVCodecParserContext* pParser = nullptr;
  AVCodecContext* pContext = nullptr;
  AVFrame* pFrame = nullptr;
  AVPacket* pPacket = nullptr;
  SwsContext* pScaler = nullptr;
  uint8_t* apDestination[4] = {nullptr, nullptr, nullptr, nullptr};
  int anStride[4] = {0, 0, 0, 0};
  int nWidth = 0;
  int nHeight = 0;
  int nFormat = -1;
  // False: decode alone (the program's capture thread converts nothing since
  // its pictures stay YUV); the pictures are still counted.
  bool bConvert = true;
  // Nanoseconds spent in sws_scale, summed over the pictures of this loop.
  int64_t qwConvertNs = 0;
};

// False when an FFmpeg object cannot be made (what was made stays, for
// CloseFfmpegLoop).
bool OpenFfmpegLoop(FfmpegLoop& loop);
void CloseFfmpegLoop(FfmpegLoop& loop);

// Parses the bytes (followed by AV_INPUT_BUFFER_PADDING_SIZE readable bytes),
// decodes every completed access unit and converts every picture; returns the
// number of pictures converted.
int FeedFfmpegLoop(FfmpegLoop& loop, std::span<const uint8_t> bytes);

// Nanoseconds of a monotonic clock, and of the calling thread's CPU time.
int64_t WallNs();
int64_t ThreadCpuNs();
