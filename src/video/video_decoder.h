// FFmpeg's H.264 parser and decoder, a sink of access units; each decoded
// picture goes to the frame store as it is (no conversion here).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

struct AccessUnit;

extern "C" {
struct AVCodec;
struct AVCodecParserContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
}

struct VideoDecoder {
  const AVCodec* codec = nullptr;
  AVCodecParserContext* parser = nullptr;
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  bool open = false;
  // Reused by the input steps for the Annex B form of what they feed (units,
  // then AV_INPUT_BUFFER_PADDING_SIZE zero bytes), so a picture costs no heap
  // allocation once the buffer has grown to the largest one.
  std::vector<uint8_t> vecAnnexB;
  // Bytes fed to the parser since it last completed an access unit.
  size_t nParserHeld = 0;
};

// Pictures larger than this are refused by the decoder.
inline constexpr int64_t kMaxPicturePixels = 24 * 1000 * 1000;
// The most the parser may hold without completing an access unit: above the
// largest one a device's 5 MiB transfer can carry. More is no picture (the
// parser ends one only after a slice, so samples without a slice pile up in
// it): it is reset.
inline constexpr size_t kMaxParserHeldBytes = 6 * 1024 * 1024;

enum class DecoderOpenResult { Ok, ParserMissing, ContextFailed };

// Makes the FFmpeg objects of a decoder whose fields are all zero. The parser
// is looked for first (ParserMissing); a missing H.264 decoder, a context that
// cannot be allocated or opened, or a frame or packet that cannot be allocated
// is ContextFailed. On failure what was made stays in the record (the open
// flag clear); CloseVideoDecoder releases it.
DecoderOpenResult OpenVideoDecoder(VideoDecoder& decoder);

// Releases frame, packet, context, parser and the buffer, and
// clears the open flag (so a late handler call feeds nothing); the record
// stays. Closing a closed decoder does nothing.
void CloseVideoDecoder(VideoDecoder& decoder);

// The decoder's input steps. pContext is the decoder they feed (null: there
// is none, and they return at once).
//
// An AVC decoder configuration record (ISO/IEC 14496-15). Its SPS and PPS
// units are fed with start codes; a record that ends early (or is empty) is
// malformed: nothing is fed, the drain still runs.
void OnVideoParameterSets(void* pContext, const uint8_t* pRecord, int32_t nSize);
// One or more 4-byte big-endian length-prefixed NAL units. Every whole
// unit is fed with a start code; the walk ends at a prefix that would start in
// the last three bytes or a length that runs past the end (the rest dropped).
void OnVideoNalUnit(void* pContext, const uint8_t* pData, int32_t nSize);
// After a sample's last NAL unit: ends its access unit, so that its picture is
// decoded and published now.
void OnVideoSampleEnd(void* pContext);
// The decoder as a sink of access units: the record when it is new, the
// units, and the sample's end, so each picture is published with its own
// sample.
void DecodeAccessUnit(void* pContext, const AccessUnit& unit);

// False when the open flag is clear; otherwise true when every byte was parsed
// and every completed packet accepted (an empty span: true, nothing fed).
// The bytes must be followed by AV_INPUT_BUFFER_PADDING_SIZE readable bytes.
// A parser that would hold more than kMaxParserHeldBytes is reset first (what
// it held is dropped).
bool FeedDecoder(VideoDecoder& decoder, std::span<const uint8_t> bytes);

// Publishes (g_FrameStore, by reference) and announces (NotifyFramePublished)
// every picture the decoder has ready.
void DrainDecoder(VideoDecoder& decoder);
