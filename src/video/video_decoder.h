// FFmpeg's H.264 parser and decoder behind the two video slots, and the
// conversion of each decoded picture to BGRA.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

extern "C" {
struct AVCodec;
struct AVCodecParserContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
}

struct VideoDecoder {
  const AVCodec* codec = nullptr;
  AVCodecParserContext* parser = nullptr;
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;
  bool open = false;
  // What the scaler was made for, so a change of size or format remakes it.
  int32_t nScalerWidth = 0;
  int32_t nScalerHeight = 0;
  int32_t nScalerFormat = -1;
};

enum class DecoderOpenResult { Ok, ParserMissing, ContextFailed };

DecoderOpenResult OpenVideoDecoder(VideoDecoder& decoder);

// Releases every FFmpeg object and clears the open flag; the record stays.
void CloseVideoDecoder(VideoDecoder& decoder);

// The decoder the video slots feed; set by start-up, null when there is none.
extern VideoDecoder* g_pCurrentDecoder;

// Slot 4 and slot 5 handlers.
void OnVideoParameterSets(void* pContext, const uint8_t* pRecord, int32_t nSize);
void OnVideoNalUnit(void* pContext, const uint8_t* pData, int32_t nSize);

// True when every byte was parsed and every completed packet accepted.
// The bytes must be followed by AV_INPUT_BUFFER_PADDING_SIZE readable bytes.
bool FeedDecoder(VideoDecoder& decoder, std::span<const uint8_t> bytes);

// Converts, publishes and announces every picture the current decoder has ready.
void DrainDecoder();

bool ConvertFrameToBgra(VideoDecoder& decoder, const AVFrame* pFrame, std::vector<uint8_t>& out);
