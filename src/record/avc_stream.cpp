#include "record/avc_stream.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

constexpr uint8_t kNalIdrSlice = 5;
constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};

uint32_t ReadBe32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Calls pfnUnit(unit) for each whole length-prefixed unit.
template <typename F>
void ForEachUnit(std::span<const uint8_t> picture, F pfnUnit) {
  size_t nPosition = 0;
  while (picture.size() - nPosition >= 4) {
    const size_t nLength = ReadBe32(picture.data() + nPosition);
    if (nLength > picture.size() - nPosition - 4) return;
    if (nLength > 0) pfnUnit(picture.subspan(nPosition + 4, nLength));
    nPosition += 4 + nLength;
  }
}

// The record's SPS and PPS units, in order; false when it ends early.
bool ReadRecordUnits(std::span<const uint8_t> record,
                     std::vector<std::span<const uint8_t>>& units) {
  units.clear();
  if (record.size() < 6) return false;
  size_t nPosition = 6;
  size_t nCount = record[5] & 0x1F;
  for (int nGroup = 0; nGroup < 2; ++nGroup) {
    if (nGroup == 1) {
      if (nPosition >= record.size()) return false;
      nCount = record[nPosition++];
    }
    for (size_t i = 0; i < nCount; ++i) {
      if (record.size() - nPosition < 2) return false;
      const size_t nLength = (size_t{record[nPosition]} << 8) | record[nPosition + 1];
      if (record.size() - nPosition - 2 < nLength) return false;
      units.push_back(record.subspan(nPosition + 2, nLength));
      nPosition += 2 + nLength;
    }
  }
  return !units.empty();
}

void AppendUnit(std::vector<uint8_t>& out, std::span<const uint8_t> unit, bool bStartCode) {
  const auto nLength = static_cast<uint32_t>(unit.size());
  const uint8_t prefix[4] = {static_cast<uint8_t>(nLength >> 24),
                             static_cast<uint8_t>(nLength >> 16),
                             static_cast<uint8_t>(nLength >> 8), static_cast<uint8_t>(nLength)};
  out.insert(out.end(), bStartCode ? kStartCode : prefix, (bStartCode ? kStartCode : prefix) + 4);
  out.insert(out.end(), unit.begin(), unit.end());
}

}  // namespace

bool IsKeyframe(std::span<const uint8_t> picture) {
  bool bKeyframe = false;
  ForEachUnit(picture, [&](std::span<const uint8_t> unit) {
    if ((unit[0] & 0x1F) == kNalIdrSlice) bKeyframe = true;
  });
  return bKeyframe;
}

std::vector<uint8_t> ParameterSetUnits(std::span<const uint8_t> record) {
  std::vector<std::span<const uint8_t>> units;
  std::vector<uint8_t> out;
  if (!ReadRecordUnits(record, units)) return out;
  for (const auto& unit : units) AppendUnit(out, unit, false);
  return out;
}

std::vector<uint8_t> FileRecord(std::span<const uint8_t> record) {
  std::vector<std::span<const uint8_t>> units;
  if (!ReadRecordUnits(record, units)) return {};
  std::vector<uint8_t> out(record.begin(), record.end());
  out[4] |= 0x03;
  return out;
}

bool ReadPictureSize(std::span<const uint8_t> record, std::span<const uint8_t> keyframe,
                     int32_t& nWidth, int32_t& nHeight) {
  nWidth = 0;
  nHeight = 0;
  std::vector<std::span<const uint8_t>> units;
  if (!ReadRecordUnits(record, units)) return false;
  std::vector<uint8_t> annexB;
  for (const auto& unit : units) AppendUnit(annexB, unit, true);
  ForEachUnit(keyframe, [&](std::span<const uint8_t> unit) { AppendUnit(annexB, unit, true); });
  annexB.resize(annexB.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  const size_t nData = annexB.size() - AV_INPUT_BUFFER_PADDING_SIZE;

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
