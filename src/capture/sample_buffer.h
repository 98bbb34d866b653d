// The serialized sample buffer inside feed and eat! packets, read into a
// record of views: nothing is copied out of the packet, so the record is valid
// only while the bytes it was parsed from are.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

struct CMTime {
  int64_t i64Value = 0;
  uint32_t nTimeScale = 0;  // units per second
  uint32_t nFlags = 0;
  int64_t i64Epoch = 0;
};

inline constexpr size_t kCMTimeSize = 24;
inline constexpr size_t kSampleTimingSize = 3 * kCMTimeSize;
inline constexpr size_t kAudioStreamDescriptionSize = 40;

struct CMFormatDescription {
  uint32_t MediaType = 0;
  uint32_t VideoWidth = 0;
  uint32_t VideoHeight = 0;
  uint32_t CodecType = 0;
  std::span<const uint8_t> Extensions;
  std::span<const uint8_t> SPS;
  std::span<const uint8_t> PPS;
  std::span<const uint8_t> SPS_and_PPS;  // the AVC decoder configuration record
  // Copied: a shorter description leaves the rest zero.
  std::array<uint8_t, kAudioStreamDescriptionSize> AudioStreamDescription{};
};

struct CMSampleBuf {
  CMTime PresentationTime;
  bool HasFormatDescription = false;
  CMFormatDescription FormatDescription;
  uint32_t NumSamples = 0;
  std::span<const uint8_t> SampleTimingInfo;  // whole 72-byte records
  std::span<const uint8_t> SampleData;
  std::vector<uint32_t> SampleSizes;
  std::span<const uint8_t> SattBytes;
  std::span<const uint8_t> SaryBytes;
};

// The fields of the audio stream description the host uses.
double AudioSampleRate(const CMFormatDescription& description);
uint32_t AudioChannelsPerFrame(const CMFormatDescription& description);
uint32_t AudioBitsPerChannel(const CMFormatDescription& description);

// Fills sampleBuf from an sbuf item. Input that is not an sbuf item leaves the
// record empty without an error; a child the host does not know, or one whose
// declared sizes do not fit the bytes, sets bParseError. A walk that reaches
// the end clears it.
void ParseSampleBuffer(std::span<const uint8_t> input, CMSampleBuf& sampleBuf, bool& bParseError);

// Finds the configuration record inside Extensions and points SPS, PPS and
// SPS_and_PPS at it; false (and all three empty) when there is none or it
// does not fit inside Extensions.
bool ExtractParameterSets(CMSampleBuf& sampleBuf);
