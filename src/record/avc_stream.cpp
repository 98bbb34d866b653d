#include "record/avc_stream.h"

#include <vector>

#include "avc/avc_record.h"
#include "avc/avc_units.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

bool ReadPictureSize(std::span<const uint8_t> record, std::span<const uint8_t> keyframe,
                     int32_t& nWidth, int32_t& nHeight) {
  nWidth = 0;
  nHeight = 0;
  std::vector<uint8_t> annexB;
  if (!AppendRecordUnits(record, true, annexB)) return false;
  AppendAnnexB(keyframe, annexB);
  const size_t nData = annexB.size();
  annexB.resize(nData + AV_INPUT_BUFFER_PADDING_SIZE, 0);

  AVCodecParserContext* pParser = av_parser_init(AV_CODEC_ID_H264);
  AVCodecContext* pContext = avcodec_alloc_context3(nullptr);
  if (pParser != nullptr && pContext != nullptr) {
    pParser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    uint8_t* pOut = nullptr;
    int nOut = 0;
    av_parser_parse2(pParser, pContext, &pOut, &nOut, annexB.data(), static_cast<int>(nData),
                     AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    nWidth = pParser->width;
    nHeight = pParser->height;
  }
  if (pParser != nullptr) av_parser_close(pParser);
  avcodec_free_context(&pContext);
  return nWidth > 0 && nHeight > 0;
}
