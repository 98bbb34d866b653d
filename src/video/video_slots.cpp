// The handlers of slots 4 and 5: the AVC configuration record and the
// length-prefixed NAL units, rewritten into Annex B form and fed.
#include <cstddef>
#include <cstring>

#include "video/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};
// Zero bytes after what is fed: FFmpeg's input padding (the 32 zero bytes
// that have always followed the parameter sets are part of it).
constexpr size_t kPadding = AV_INPUT_BUFFER_PADDING_SIZE >= 32 ? AV_INPUT_BUFFER_PADDING_SIZE : 32;

// Grows the decoder's buffer to hold nBytes plus the padding (never shrinks it)
// and zeroes the padding.
uint8_t* PrepareAnnexB(VideoDecoder& decoder, size_t nBytes) {
  if (decoder.vecAnnexB.size() < nBytes + kPadding) {
    decoder.vecAnnexB.resize(nBytes + kPadding);
  }
  uint8_t* pOut = decoder.vecAnnexB.data();
  std::memset(pOut + nBytes, 0, kPadding);
  return pOut;
}

// One pass over the record's two groups of units. Returns false when the record
// ends before byte 5, the PPS count byte, a length field or a unit's last byte.
// When pOut is not null the units are written there with their start codes.
// nOut receives the bytes they take with their start codes.
bool WalkParameterSets(const uint8_t* pRecord, size_t nSize, uint8_t* pOut, size_t& nOut) {
  nOut = 0;
  if (pRecord == nullptr || nSize < 6) {
    return false;
  }
  size_t nPos = 6;
  size_t nCount = pRecord[5] & 0x1F;
  for (int nGroup = 0; nGroup < 2; ++nGroup) {
    if (nGroup == 1) {
      if (nPos >= nSize) {
        return false;
      }
      nCount = pRecord[nPos];
      ++nPos;
    }
    for (size_t i = 0; i < nCount; ++i) {
      if (nSize - nPos < 2) {
        return false;
      }
      const size_t nLength = (static_cast<size_t>(pRecord[nPos]) << 8) | pRecord[nPos + 1];
      if (nSize - nPos - 2 < nLength) {
        return false;
      }
      if (pOut != nullptr) {
        std::memcpy(pOut + nOut, kStartCode, 4);
        std::memcpy(pOut + nOut + 4, pRecord + nPos + 2, nLength);
      }
      nOut += 4 + nLength;
      nPos += 2 + nLength;
    }
  }
  return true;
}

}  // namespace

void OnVideoParameterSets(void* pContext, const uint8_t* pRecord, int32_t nSize) {
  auto* pDecoder = static_cast<VideoDecoder*>(pContext);
  if (pDecoder == nullptr || !pDecoder->open) {
    return;  // a closed decoder would refuse the feed anyway: no drain either
  }
  const size_t nRecord = nSize > 0 ? static_cast<size_t>(nSize) : 0;
  size_t nNeeded = 0;
  std::span<const uint8_t> fed;  // empty for a malformed record
  if (WalkParameterSets(pRecord, nRecord, nullptr, nNeeded)) {
    // At most 286 units of 65,535 bytes: far below the 0x7FFFFFDF length limit.
    uint8_t* pOut = PrepareAnnexB(*pDecoder, nNeeded);
    size_t nWritten = 0;
    WalkParameterSets(pRecord, nRecord, pOut, nWritten);
    fed = std::span<const uint8_t>(pOut, nWritten);
  }
  if (FeedDecoder(*pDecoder, fed)) {
    DrainDecoder(*pDecoder);
  }
}

void OnVideoNalUnit(void* pContext, const uint8_t* pData, int32_t nSize) {
  auto* pDecoder = static_cast<VideoDecoder*>(pContext);
  if (pDecoder == nullptr || !pDecoder->open) {
    return;  // a closed decoder would refuse the feed anyway: no drain either
  }
  const size_t nBlock = (nSize > 0 && pData != nullptr) ? static_cast<size_t>(nSize) : 0;
  uint8_t* pBlock = PrepareAnnexB(*pDecoder, nBlock);
  if (nBlock > 0) {
    std::memcpy(pBlock, pData, nBlock);
  }
  // Walk the copy: every whole unit gets its prefix replaced by the start code.
  size_t nOffset = 0;
  while (nOffset < nBlock) {
    if (nBlock - nOffset < 4) {
      break;  // a prefix would start in the last three bytes
    }
    const uint8_t* pPrefix = pBlock + nOffset;
    const size_t nLength = (static_cast<size_t>(pPrefix[0]) << 24) |
                           (static_cast<size_t>(pPrefix[1]) << 16) |
                           (static_cast<size_t>(pPrefix[2]) << 8) | pPrefix[3];
    if (nLength > nBlock - nOffset - 4) {
      break;  // the unit runs past the end
    }
    std::memcpy(pBlock + nOffset, kStartCode, 4);
    nOffset += 4 + nLength;
  }
  // Only whole units are fed; zero the dropped rest so the padding rule holds.
  if (nOffset < nBlock) {
    std::memset(pBlock + nOffset, 0, nBlock - nOffset);
  }
  if (FeedDecoder(*pDecoder, std::span<const uint8_t>(pBlock, nOffset))) {
    DrainDecoder(*pDecoder);
  }
}

void OnVideoSampleEnd(void* pContext) {
  auto* pDecoder = static_cast<VideoDecoder*>(pContext);
  if (pDecoder == nullptr || !pDecoder->open) {
    return;
  }
  // The parser completes an access unit only when it sees where the next one
  // begins. An access unit delimiter is that beginning, in the stream's own
  // terms: the parser hands over the sample's picture at once, and keeps the
  // delimiter as the harmless first unit of the next access unit.
  constexpr uint8_t kAccessUnitDelimiter[] = {0, 0, 0, 1, 9, 0xF0};
  uint8_t* pOut = PrepareAnnexB(*pDecoder, sizeof kAccessUnitDelimiter);
  std::memcpy(pOut, kAccessUnitDelimiter, sizeof kAccessUnitDelimiter);
  if (FeedDecoder(*pDecoder, std::span<const uint8_t>(pOut, sizeof kAccessUnitDelimiter))) {
    DrainDecoder(*pDecoder);
  }
}
