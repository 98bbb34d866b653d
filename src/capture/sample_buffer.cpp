#include "capture/sample_buffer.h"

#include <algorithm>
#include <cstring>

#include "avc/avc_record.h"
#include "capture/byte_order.h"
#include "capture/fourcc.h"
#include "capture/item_reader.h"

namespace {

// A format description is read at fixed offsets from the start of its item.
inline constexpr size_t kFdscMdiaLengthOffset = 8;
inline constexpr size_t kFdscMdiaTagOffset = 12;
inline constexpr size_t kFdscMediaTypeOffset = 16;
inline constexpr uint32_t kMdiaItemLength = 12;
// video
inline constexpr size_t kFdscVdimTagOffset = 24;
inline constexpr size_t kFdscWidthOffset = 28;
inline constexpr size_t kFdscHeightOffset = 32;
inline constexpr size_t kFdscCodcTagOffset = 40;
inline constexpr size_t kFdscCodecTypeOffset = 44;
inline constexpr size_t kFdscExtnLengthOffset = 48;
inline constexpr size_t kFdscExtnTagOffset = 52;
// audio
inline constexpr size_t kFdscAsbdLengthOffset = 20;
inline constexpr size_t kFdscAsbdTagOffset = 24;

// The audio stream description fields the host reads.
inline constexpr size_t kAsbdSampleRateOffset = 0;
inline constexpr size_t kAsbdChannelsOffset = 28;
inline constexpr size_t kAsbdBitsOffset = 32;

enum class Walk { Next, Stop, Fail };

// The payload of the inner item (extensions, audio description) whose header
// starts at nLengthOffset; none when its length is below a header or runs
// past the format description.
std::optional<std::span<const uint8_t>> InnerPayload(std::span<const uint8_t> fdsc,
                                                     size_t nLengthOffset) {
  const std::optional<uint32_t> nLength = ReadLe32(fdsc, nLengthOffset);
  const size_t nPayloadOffset = nLengthOffset + kItemHeaderSize;
  if (!nLength || *nLength < kItemHeaderSize || nPayloadOffset > fdsc.size() ||
      *nLength - kItemHeaderSize > fdsc.size() - nPayloadOffset) {
    return std::nullopt;
  }
  return fdsc.subspan(nPayloadOffset, *nLength - kItemHeaderSize);
}

// Each step needs the tag before it to match; a mismatch ends the reading and
// keeps what was stored. A field that lies past the item makes it unusable.
Walk ReadVideoDescription(std::span<const uint8_t> fdsc, CMSampleBuf& sampleBuf) {
  CMFormatDescription& description = sampleBuf.FormatDescription;
  const std::optional<uint32_t> nVdimTag = ReadLe32(fdsc, kFdscVdimTagOffset);
  if (!nVdimTag) return Walk::Fail;
  if (*nVdimTag != kTagVdim) return Walk::Next;
  const std::optional<uint32_t> nWidth = ReadLe32(fdsc, kFdscWidthOffset);
  const std::optional<uint32_t> nHeight = ReadLe32(fdsc, kFdscHeightOffset);
  const std::optional<uint32_t> nCodcTag = ReadLe32(fdsc, kFdscCodcTagOffset);
  if (!nWidth || !nHeight || !nCodcTag) return Walk::Fail;
  description.VideoWidth = *nWidth;
  description.VideoHeight = *nHeight;
  if (*nCodcTag != kTagCodc) return Walk::Next;
  const std::optional<uint32_t> nCodecType = ReadLe32(fdsc, kFdscCodecTypeOffset);
  const std::optional<uint32_t> nExtnTag = ReadLe32(fdsc, kFdscExtnTagOffset);
  if (!nCodecType || !nExtnTag) return Walk::Fail;
  description.CodecType = *nCodecType;
  if (*nExtnTag != kTagExtn) return Walk::Next;
  const auto extensions = InnerPayload(fdsc, kFdscExtnLengthOffset);
  if (!extensions) return Walk::Fail;
  description.Extensions = *extensions;
  ExtractParameterSets(sampleBuf);
  return Walk::Next;
}

Walk ReadAudioDescription(std::span<const uint8_t> fdsc, CMFormatDescription& description) {
  const std::optional<uint32_t> nAsbdTag = ReadLe32(fdsc, kFdscAsbdTagOffset);
  if (!nAsbdTag) return Walk::Fail;
  if (*nAsbdTag != kTagAsbd) return Walk::Next;
  const auto asbd = InnerPayload(fdsc, kFdscAsbdLengthOffset);
  if (!asbd || asbd->size() > description.AudioStreamDescription.size()) return Walk::Fail;
  std::copy(asbd->begin(), asbd->end(), description.AudioStreamDescription.begin());
  return Walk::Next;
}

Walk ReadFormatDescription(std::span<const uint8_t> fdsc, CMSampleBuf& sampleBuf) {
  sampleBuf.HasFormatDescription = true;
  const std::optional<uint32_t> nMdiaLength = ReadLe32(fdsc, kFdscMdiaLengthOffset);
  const std::optional<uint32_t> nMdiaTag = ReadLe32(fdsc, kFdscMdiaTagOffset);
  if (!nMdiaLength || !nMdiaTag) return Walk::Fail;
  if (*nMdiaLength != kMdiaItemLength || *nMdiaTag != kTagMdia) return Walk::Next;
  const std::optional<uint32_t> nMediaType = ReadLe32(fdsc, kFdscMediaTypeOffset);
  if (!nMediaType) return Walk::Fail;
  if (*nMediaType != kMediaSoun && *nMediaType != kMediaVide) return Walk::Next;
  sampleBuf.FormatDescription.MediaType = *nMediaType;
  return *nMediaType == kMediaSoun ? ReadAudioDescription(fdsc, sampleBuf.FormatDescription)
                                   : ReadVideoDescription(fdsc, sampleBuf);
}

Walk ReadPresentationTime(std::span<const uint8_t> payload, CMTime& time) {
  if (payload.size() < kCMTimeSize) return Walk::Fail;
  time.i64Value = static_cast<int64_t>(*ReadLe64(payload, 0));
  time.nTimeScale = *ReadLe32(payload, 8);
  time.nFlags = *ReadLe32(payload, 12);
  time.i64Epoch = static_cast<int64_t>(*ReadLe64(payload, 16));
  return Walk::Next;
}

void ReadSampleSizes(std::span<const uint8_t> payload, std::vector<uint32_t>& vecSizes) {
  if (payload.size() % sizeof(uint32_t) != 0) return;
  vecSizes.resize(payload.size() / sizeof(uint32_t));
  // An empty list has no storage to copy into, not even zero bytes.
  if (!vecSizes.empty()) std::memcpy(vecSizes.data(), payload.data(), payload.size());
}

// One child of the sample buffer; item holds exactly its declared bytes.
Walk ReadChild(uint32_t nTag, std::span<const uint8_t> item, CMSampleBuf& sampleBuf) {
  const std::span<const uint8_t> payload = item.subspan(kItemHeaderSize);
  switch (nTag) {
    case kTagOpts:
      return ReadPresentationTime(payload, sampleBuf.PresentationTime);
    case kTagFdsc:
      return ReadFormatDescription(item, sampleBuf);
    case kTagNsmp:
      // Any other length ends the walk quietly, with what was read so far.
      if (payload.size() != sizeof(uint32_t)) return Walk::Stop;
      sampleBuf.NumSamples = *ReadLe32(payload, 0);
      return Walk::Next;
    case kTagSdat:
      sampleBuf.SampleData = payload;
      return Walk::Next;
    case kTagSatt:
      sampleBuf.SattBytes = payload;
      return Walk::Next;
    case kTagSary:
      sampleBuf.SaryBytes = payload;
      return Walk::Next;
    case kTagSsiz:
      ReadSampleSizes(payload, sampleBuf.SampleSizes);
      return Walk::Next;
    case kTagStia:
      if (payload.size() % kSampleTimingSize == 0) sampleBuf.SampleTimingInfo = payload;
      return Walk::Next;
    default:
      return Walk::Fail;
  }
}

}  // namespace

double AudioSampleRate(const CMFormatDescription& description) {
  return ReadLeF64(description.AudioStreamDescription, kAsbdSampleRateOffset).value_or(0.0);
}

uint32_t AudioChannelsPerFrame(const CMFormatDescription& description) {
  return ReadLe32(description.AudioStreamDescription, kAsbdChannelsOffset).value_or(0);
}

uint32_t AudioBitsPerChannel(const CMFormatDescription& description) {
  return ReadLe32(description.AudioStreamDescription, kAsbdBitsOffset).value_or(0);
}

void ParseSampleBuffer(std::span<const uint8_t> input, CMSampleBuf& sampleBuf, bool& bParseError) {
  sampleBuf = CMSampleBuf{};
  const std::optional<ItemHeader> sbuf = ReadItemHeader(input, 0);
  if (!sbuf || static_cast<int64_t>(sbuf->nLength) > static_cast<int64_t>(input.size()) ||
      sbuf->nTag != kTagSbuf) {
    return;
  }
  // The children are walked to the end of the input, not of the sbuf item;
  // a child starting in the last eight bytes is not visited.
  size_t nPosition = kItemHeaderSize;
  while (nPosition + kItemHeaderSize < input.size()) {
    const ItemHeader child = *ReadItemHeader(input, nPosition);
    if (child.nLength < static_cast<int32_t>(kItemHeaderSize) ||
        static_cast<size_t>(child.nLength) > input.size() - nPosition) {
      bParseError = true;
      return;
    }
    const size_t nLength = static_cast<size_t>(child.nLength);
    switch (ReadChild(child.nTag, input.subspan(nPosition, nLength), sampleBuf)) {
      case Walk::Next:
        nPosition += nLength;
        break;
      case Walk::Stop:
        return;
      case Walk::Fail:
        bParseError = true;
        return;
    }
  }
  bParseError = false;
}

bool ExtractParameterSets(CMSampleBuf& sampleBuf) {
  CMFormatDescription& description = sampleBuf.FormatDescription;
  description.SPS = {};
  description.PPS = {};
  description.SPS_and_PPS = {};
  const std::optional<size_t> nMatch = FindTag(description.Extensions, kTagDatv);
  if (!nMatch) return false;
  // The match is the item's tag; its payload, the record, starts 4 bytes on.
  DeviceRecord record;
  if (!ReadDeviceRecord(description.Extensions.subspan(*nMatch + 4), record)) return false;
  description.SPS = record.sps;
  description.PPS = record.pps;
  description.SPS_and_PPS = record.record;
  return true;
}
