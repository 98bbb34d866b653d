#include "support/reference_decode.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace vtest {

namespace {

[[noreturn]] void Fail(const char* szWhat) {
  std::fprintf(stderr, "reference_decode: %s\n", szWhat);
  std::abort();
}

// Whole rows with 64 pixels to spare, then copied to the gap-free layout.
ReferencePicture ConvertWith(SwsContext* pScaler, const AVFrame* pFrame) {
  ReferencePicture picture;
  picture.nWidth = pFrame->width;
  picture.nHeight = pFrame->height;
  const size_t nRow = static_cast<size_t>(4) * pFrame->width;
  const size_t nStride = (nRow + 4 * 64 + 63) & ~size_t{63};
  std::vector<uint8_t> padded(nStride * (static_cast<size_t>(pFrame->height) + 1));
  uint8_t* const apDestination[4] = {padded.data(), nullptr, nullptr, nullptr};
  const int anStride[4] = {static_cast<int>(nStride), 0, 0, 0};
  sws_scale(pScaler, pFrame->data, pFrame->linesize, 0, pFrame->height, apDestination, anStride);
  picture.bgra.resize(nRow * pFrame->height);
  for (int y = 0; y < pFrame->height; ++y) {
    std::memcpy(picture.bgra.data() + nRow * y, padded.data() + nStride * y, nRow);
  }
  return picture;
}

struct Converter {
  SwsContext* pScaler = nullptr;
  int nWidth = 0;
  int nHeight = 0;
  int nFormat = -1;
};

void Convert(Converter& converter, const AVFrame* pFrame, std::vector<ReferencePicture>& pictures) {
  if (pFrame->width <= 0 || pFrame->height <= 0) {
    return;
  }
  if (converter.pScaler == nullptr || converter.nWidth != pFrame->width ||
      converter.nHeight != pFrame->height || converter.nFormat != pFrame->format) {
    sws_freeContext(converter.pScaler);
    converter.pScaler = sws_getContext(
        pFrame->width, pFrame->height, static_cast<AVPixelFormat>(pFrame->format), pFrame->width,
        pFrame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    if (converter.pScaler == nullptr) {
      Fail("sws_getContext failed");
    }
    converter.nWidth = pFrame->width;
    converter.nHeight = pFrame->height;
    converter.nFormat = pFrame->format;
  }
  pictures.push_back(ConvertWith(converter.pScaler, pFrame));
}

void ReceiveAll(AVCodecContext* pContext, AVFrame* pFrame, Converter& converter,
                std::vector<ReferencePicture>& pictures) {
  for (;;) {
    const int nResult = avcodec_receive_frame(pContext, pFrame);
    if (nResult < 0) {
      return;
    }
    Convert(converter, pFrame, pictures);
    av_frame_unref(pFrame);
  }
}

}  // namespace

ReferencePicture ReferenceConvert(const AVFrame* pFrame) {
  SwsContext* pScaler = sws_getContext(
      pFrame->width, pFrame->height, static_cast<AVPixelFormat>(pFrame->format), pFrame->width,
      pFrame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
  if (pScaler == nullptr) {
    Fail("sws_getContext failed");
  }
  ReferencePicture picture = ConvertWith(pScaler, pFrame);
  sws_freeContext(pScaler);
  return picture;
}

std::vector<ReferencePicture> ReferenceDecode(std::span<const uint8_t> annexB, bool bFlush) {
  const AVCodec* pCodec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecParserContext* pParser = av_parser_init(AV_CODEC_ID_H264);
  if (pCodec == nullptr || pParser == nullptr) {
    Fail("no H.264 decoder or parser");
  }
  AVCodecContext* pContext = avcodec_alloc_context3(pCodec);
  if (pContext == nullptr || avcodec_open2(pContext, pCodec, nullptr) < 0) {
    Fail("cannot open the H.264 decoder");
  }
  AVFrame* pFrame = av_frame_alloc();
  AVPacket* pPacket = av_packet_alloc();
  if (pFrame == nullptr || pPacket == nullptr) {
    Fail("allocation failed");
  }
  // The parser wants AV_INPUT_BUFFER_PADDING_SIZE readable bytes after its input.
  std::vector<uint8_t> padded(annexB.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  if (!annexB.empty()) {
    std::memcpy(padded.data(), annexB.data(), annexB.size());
  }
  std::vector<ReferencePicture> pictures;
  Converter converter;
  const uint8_t* pBytes = padded.data();
  int nLength = static_cast<int>(annexB.size());
  // With bFlush, one last call with no input hands over the unit the parser holds.
  bool bFlushed = !bFlush;
  while (nLength > 0 || !bFlushed) {
    if (nLength == 0) {
      bFlushed = true;
    }
    const int nConsumed = av_parser_parse2(pParser, pContext, &pPacket->data, &pPacket->size,
                                           nLength > 0 ? pBytes : nullptr, nLength, AV_NOPTS_VALUE,
                                           AV_NOPTS_VALUE, 0);
    if (nConsumed < 0) {
      break;
    }
    pBytes += nConsumed;
    nLength -= nConsumed;
    if (pPacket->size != 0) {
      if (avcodec_send_packet(pContext, pPacket) < 0) {
        break;
      }
      ReceiveAll(pContext, pFrame, converter, pictures);
    }
  }
  if (bFlush) {
    avcodec_send_packet(pContext, nullptr);
    ReceiveAll(pContext, pFrame, converter, pictures);
  }
  sws_freeContext(converter.pScaler);
  av_packet_free(&pPacket);
  av_frame_free(&pFrame);
  avcodec_free_context(&pContext);
  av_parser_close(pParser);
  return pictures;
}

}  // namespace vtest
