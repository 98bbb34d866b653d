#include "ffmpeg_loop.h"

#include <time.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {

int64_t Nanoseconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void ConvertPicture(FfmpegLoop& loop) {
  if (!loop.bConvert) return;
  const AVFrame* pFrame = loop.pFrame;
  if (loop.pScaler == nullptr || pFrame->width != loop.nWidth || pFrame->height != loop.nHeight ||
      pFrame->format != loop.nFormat) {
    sws_freeContext(loop.pScaler);
    av_freep(&loop.apDestination[0]);
    loop.nWidth = pFrame->width;
    loop.nHeight = pFrame->height;
    loop.nFormat = pFrame->format;
    loop.pScaler = sws_getContext(
        loop.nWidth, loop.nHeight, static_cast<AVPixelFormat>(loop.nFormat), loop.nWidth,
        loop.nHeight, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    av_image_alloc(loop.apDestination, loop.anStride, loop.nWidth, loop.nHeight, AV_PIX_FMT_BGRA,
                   64);
  }
  const int64_t qwStart = WallNs();
  sws_scale(loop.pScaler, pFrame->data, pFrame->linesize, 0, loop.nHeight, loop.apDestination,
            loop.anStride);
  loop.qwConvertNs += WallNs() - qwStart;
}

}  // namespace

int64_t WallNs() {
  return Nanoseconds(CLOCK_MONOTONIC);
}

int64_t ThreadCpuNs() {
  return Nanoseconds(CLOCK_THREAD_CPUTIME_ID);
}

bool OpenFfmpegLoop(FfmpegLoop& loop) {
  const AVCodec* pCodec = avcodec_find_decoder(AV_CODEC_ID_H264);
  loop.pParser = av_parser_init(AV_CODEC_ID_H264);
  loop.pContext = pCodec != nullptr ? avcodec_alloc_context3(pCodec) : nullptr;
  if (loop.pParser == nullptr || loop.pContext == nullptr ||
      avcodec_open2(loop.pContext, pCodec, nullptr) < 0) {
    return false;
  }
  loop.pFrame = av_frame_alloc();
  loop.pPacket = av_packet_alloc();
  return loop.pFrame != nullptr && loop.pPacket != nullptr;
}

void CloseFfmpegLoop(FfmpegLoop& loop) {
  sws_freeContext(loop.pScaler);
  loop.pScaler = nullptr;
  av_freep(&loop.apDestination[0]);
  av_packet_free(&loop.pPacket);
  av_frame_free(&loop.pFrame);
  avcodec_free_context(&loop.pContext);
  if (loop.pParser != nullptr) av_parser_close(loop.pParser);
  loop.pParser = nullptr;
}

int FeedFfmpegLoop(FfmpegLoop& loop, std::span<const uint8_t> bytes) {
  int nPictures = 0;
  const uint8_t* pBytes = bytes.data();
  int nLength = static_cast<int>(bytes.size());
  while (nLength > 0) {
    const int nConsumed =
        av_parser_parse2(loop.pParser, loop.pContext, &loop.pPacket->data, &loop.pPacket->size,
                         pBytes, nLength, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (nConsumed < 0) break;
    pBytes += nConsumed;
    nLength -= nConsumed;
    if (loop.pPacket->size == 0) continue;
    if (avcodec_send_packet(loop.pContext, loop.pPacket) < 0) break;
    while (avcodec_receive_frame(loop.pContext, loop.pFrame) >= 0) {
      ConvertPicture(loop);
      ++nPictures;
    }
  }
  return nPictures;
}
