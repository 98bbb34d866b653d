#include "support/reference_decode.h"

#include <cstdlib>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace vtest {

ReferencePicture ReferenceConvert(const AVFrame* pFrame) {
  const int w = pFrame->width, h = pFrame->height;
  SwsContext* pScaler = sws_getContext(w, h, static_cast<AVPixelFormat>(pFrame->format), w, h,
                                       AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
  const size_t nRow = static_cast<size_t>(4) * w;
  const size_t nStride = (nRow + 4 * 64 + 63) & ~size_t{63};
  std::vector<uint8_t> padded(nStride * (h + 1));
  uint8_t* const apOut[4] = {padded.data(), nullptr, nullptr, nullptr};
  const int anStride[4] = {static_cast<int>(nStride), 0, 0, 0};
  sws_scale(pScaler, pFrame->data, pFrame->linesize, 0, h, apOut, anStride);
  sws_freeContext(pScaler);
  ReferencePicture picture{w, h, std::vector<uint8_t>(nRow * h)};
  av_image_copy_plane(picture.bgra.data(), int(nRow), padded.data(), int(nStride), int(nRow), h);
  return picture;
}

std::vector<ReferencePicture> ReferenceDecode(std::span<const uint8_t> annexB, bool bFlush) {
  const AVCodec* pCodec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecParserContext* pParser = av_parser_init(AV_CODEC_ID_H264);
  AVCodecContext* pContext = avcodec_alloc_context3(pCodec);
  AVFrame* pFrame = av_frame_alloc();
  AVPacket* pPacket = av_packet_alloc();
  if (avcodec_open2(pContext, pCodec, nullptr) < 0) std::abort();
  std::vector<uint8_t> padded(annexB.begin(), annexB.end());
  padded.resize(annexB.size() + AV_INPUT_BUFFER_PADDING_SIZE);
  std::vector<ReferencePicture> pictures;
  for (size_t nPos = 0; nPos < annexB.size() || bFlush;) {
    // A call without input hands over the picture the parser holds.
    const int nLeft = static_cast<int>(annexB.size() - nPos);
    nPos += av_parser_parse2(pParser, pContext, &pPacket->data, &pPacket->size,
                             padded.data() + nPos, nLeft, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (pPacket->size > 0) avcodec_send_packet(pContext, pPacket);
    if (nLeft == 0) {
      avcodec_send_packet(pContext, nullptr);
      bFlush = false;
    }
    while (avcodec_receive_frame(pContext, pFrame) >= 0) {
      pictures.push_back(ReferenceConvert(pFrame));
      av_frame_unref(pFrame);
    }
  }
  av_packet_free(&pPacket);
  av_frame_free(&pFrame);
  avcodec_free_context(&pContext);
  av_parser_close(pParser);
  return pictures;
}

}  // namespace vtest
