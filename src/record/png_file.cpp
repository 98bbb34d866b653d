#include "record/png_file.h"

#include <cstdio>

#include "record/file_names.h"
#include "record/media_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avio.h>
#include <libavutil/frame.h>
}

namespace {

constexpr int kPngCompressionLevel = 1;

// The RGB24 picture (in the frame) as PNG bytes (in the packet).
int EncodePng(AVFrame* pFrame, AVPacket* pPacket) {
  const AVCodec* pCodec = avcodec_find_encoder(AV_CODEC_ID_PNG);
  if (pCodec == nullptr) return AVERROR_ENCODER_NOT_FOUND;
  AVCodecContext* pContext = avcodec_alloc_context3(pCodec);
  if (pContext == nullptr) return AVERROR(ENOMEM);
  pContext->width = pFrame->width;
  pContext->height = pFrame->height;
  pContext->pix_fmt = AV_PIX_FMT_RGB24;
  pContext->time_base = AVRational{1, 1};
  // Lossless at any level; the fastest keeps ten full-size pictures queued
  // at the window's close within the program's time to end, at a size
  // little above the default level's.
  pContext->compression_level = kPngCompressionLevel;
  int nResult = avcodec_open2(pContext, pCodec, nullptr);
  if (nResult >= 0) nResult = avcodec_send_frame(pContext, pFrame);
  if (nResult >= 0) nResult = avcodec_receive_packet(pContext, pPacket);
  avcodec_free_context(&pContext);
  return nResult;
}

int WriteBytes(const std::string& szPath, const uint8_t* pData, int nSize) {
  AVIOContext* pOutput = nullptr;
  int nResult = avio_open(&pOutput, szPath.c_str(), AVIO_FLAG_WRITE);
  if (nResult < 0) return nResult;
  avio_write(pOutput, pData, nSize);
  avio_flush(pOutput);
  nResult = pOutput->error;
  const int nClose = avio_closep(&pOutput);
  if (nResult >= 0 && nClose < 0) nResult = nClose;
  if (nResult < 0) RemoveFile(szPath);
  return nResult;
}

}  // namespace

bool WritePngFile(const std::string& szPath, const uint8_t* pBgra, int32_t nWidth, int32_t nHeight,
                  std::string& szError) {
  AVFrame* pFrame = av_frame_alloc();
  AVPacket* pPacket = av_packet_alloc();
  int nResult =
      (pFrame != nullptr && pPacket != nullptr && pBgra != nullptr && nWidth > 0 && nHeight > 0)
          ? 0
          : AVERROR(EINVAL);
  if (nResult >= 0) {
    pFrame->format = AV_PIX_FMT_RGB24;
    pFrame->width = nWidth;
    pFrame->height = nHeight;
    nResult = av_frame_get_buffer(pFrame, 0);
  }
  if (nResult >= 0) {
    for (int32_t y = 0; y < nHeight; ++y) {
      const uint8_t* pIn = pBgra + static_cast<size_t>(y) * nWidth * 4;
      uint8_t* pOut = pFrame->data[0] + static_cast<ptrdiff_t>(y) * pFrame->linesize[0];
      for (int32_t x = 0; x < nWidth; ++x, pIn += 4, pOut += 3) {
        pOut[0] = pIn[2];
        pOut[1] = pIn[1];
        pOut[2] = pIn[0];
      }
    }
    nResult = EncodePng(pFrame, pPacket);
  }
  if (nResult >= 0) nResult = WriteBytes(szPath, pPacket->data, pPacket->size);
  av_packet_free(&pPacket);
  av_frame_free(&pFrame);
  if (nResult < 0) szError = MediaErrorText(nResult);
  return nResult >= 0;
}
