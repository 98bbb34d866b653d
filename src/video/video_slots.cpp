// The decoder's input: configuration records and length-prefixed NAL units,
// rewritten into Annex B form and fed, and the access unit that brings both.
#include <cstddef>
#include <cstring>

#include "avc/access_unit.h"
#include "avc/avc_record.h"
#include "avc/avc_units.h"
#include "video/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

// Zero bytes after what is fed: FFmpeg's input padding (the 32 zero bytes
// that have always followed the parameter sets are part of it).
constexpr size_t kPadding = AV_INPUT_BUFFER_PADDING_SIZE >= 32 ? AV_INPUT_BUFFER_PADDING_SIZE : 32;

// Pads what was appended to the decoder's buffer (which keeps its capacity,
// so a picture costs no allocation) and feeds it.
void FeedAnnexB(VideoDecoder& decoder) {
  const size_t nBytes = decoder.vecAnnexB.size();
  decoder.vecAnnexB.resize(nBytes + kPadding);
  std::memset(decoder.vecAnnexB.data() + nBytes, 0, kPadding);
  if (FeedDecoder(decoder, std::span<const uint8_t>(decoder.vecAnnexB.data(), nBytes))) {
    DrainDecoder(decoder);
  }
}

VideoDecoder* OpenDecoder(void* pContext) {
  auto* pDecoder = static_cast<VideoDecoder*>(pContext);
  // A closed decoder would refuse the feed anyway: no drain either.
  if (pDecoder == nullptr || !pDecoder->open) return nullptr;
  pDecoder->vecAnnexB.clear();
  return pDecoder;
}

}  // namespace

void OnVideoParameterSets(void* pContext, const uint8_t* pRecord, int32_t nSize) {
  VideoDecoder* pDecoder = OpenDecoder(pContext);
  if (pDecoder == nullptr) return;
  if (pRecord != nullptr && nSize > 0) {
    AppendRecordUnits(std::span<const uint8_t>(pRecord, static_cast<size_t>(nSize)), true,
                      pDecoder->vecAnnexB);
  }
  FeedAnnexB(*pDecoder);  // a malformed record: nothing fed, the drain still runs
}

void OnVideoNalUnit(void* pContext, const uint8_t* pData, int32_t nSize) {
  VideoDecoder* pDecoder = OpenDecoder(pContext);
  if (pDecoder == nullptr) return;
  if (pData != nullptr && nSize > 0) {
    AppendAnnexB(std::span<const uint8_t>(pData, static_cast<size_t>(nSize)), pDecoder->vecAnnexB);
  }
  FeedAnnexB(*pDecoder);
}

void OnVideoSampleEnd(void* pContext) {
  VideoDecoder* pDecoder = OpenDecoder(pContext);
  if (pDecoder == nullptr) return;
  // The parser completes an access unit only when it sees where the next one
  // begins. An access unit delimiter is that beginning, in the stream's own
  // terms: the parser hands over the sample's picture at once, and keeps the
  // delimiter as the harmless first unit of the next access unit.
  constexpr uint8_t kAccessUnitDelimiter[] = {0, 0, 0, 1, 9, 0xF0};
  pDecoder->vecAnnexB.assign(std::begin(kAccessUnitDelimiter), std::end(kAccessUnitDelimiter));
  FeedAnnexB(*pDecoder);
}

void DecodeAccessUnit(void* pContext, const AccessUnit& unit) {
  if (unit.bNewRecord) {
    OnVideoParameterSets(pContext, unit.record.data(), static_cast<int32_t>(unit.record.size()));
  }
  OnVideoNalUnit(pContext, unit.units.data(), static_cast<int32_t>(unit.units.size()));
  OnVideoSampleEnd(pContext);
}
