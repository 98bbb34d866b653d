// Opening and closing the decoder, feeding it and draining its pictures.
#include "video/video_decoder.h"

#include <utility>

#include "video/frame_store.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/version.h>
#include <libavutil/frame.h>
}

DecoderOpenResult OpenVideoDecoder(VideoDecoder& decoder) {
  decoder.codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  // The parser is made for the H.264 id itself, so a missing decoder is never
  // dereferenced; it is reported with the context step.
  decoder.parser = av_parser_init(AV_CODEC_ID_H264);
  if (decoder.parser == nullptr) {
    return DecoderOpenResult::ParserMissing;
  }
  if (decoder.codec == nullptr) {
    return DecoderOpenResult::ContextFailed;
  }
  decoder.context = avcodec_alloc_context3(decoder.codec);
  if (decoder.context == nullptr) {
    return DecoderOpenResult::ContextFailed;
  }
  // The one limit set before opening: a device's parameter sets can declare
  // a picture of any size, and a hostile one would have the decoder, the
  // conversion and the store hold gigabytes. The largest real screens have
  // about 6 million pixels.
  decoder.context->max_pixels = kMaxPicturePixels;
  if (avcodec_open2(decoder.context, decoder.codec, nullptr) < 0) {
    return DecoderOpenResult::ContextFailed;
  }
  decoder.frame = av_frame_alloc();
  decoder.packet = av_packet_alloc();
  if (decoder.frame == nullptr || decoder.packet == nullptr) {
    return DecoderOpenResult::ContextFailed;
  }
  decoder.open = true;
  return DecoderOpenResult::Ok;
}

void CloseVideoDecoder(VideoDecoder& decoder) {
  decoder.open = false;
  av_frame_free(&decoder.frame);
  av_packet_free(&decoder.packet);
  if (decoder.context != nullptr) {
#if LIBAVCODEC_VERSION_MAJOR < 61
    // Deprecated in libavcodec 61 and removed later; avcodec_free_context
    // does the same work there.
    avcodec_close(decoder.context);
#endif
    avcodec_free_context(&decoder.context);
  }
  if (decoder.parser != nullptr) {
    av_parser_close(decoder.parser);
    decoder.parser = nullptr;
  }
  decoder.nParserHeld = 0;
  std::vector<uint8_t>().swap(decoder.vecAnnexB);
}

bool FeedDecoder(VideoDecoder& decoder, std::span<const uint8_t> bytes) {
  if (!decoder.open) {
    return false;
  }
  if (decoder.nParserHeld + bytes.size() > kMaxParserHeldBytes) {
    // FFmpeg has no call that empties a parser: a new one drops what the
    // old one held. It keeps no state a later picture needs.
    av_parser_close(decoder.parser);
    decoder.parser = av_parser_init(AV_CODEC_ID_H264);
    decoder.nParserHeld = 0;
    if (decoder.parser == nullptr) {
      decoder.open = false;  // nothing more can be parsed
      return false;
    }
  }
  const uint8_t* pBytes = bytes.data();
  // A span never holds more than a signed 32-bit length here: both handlers
  // take their sizes as int32_t.
  int nLength = static_cast<int>(bytes.size());
  bool bAllAccepted = true;
  while (nLength > 0) {
    const int nConsumed =
        av_parser_parse2(decoder.parser, decoder.context, &decoder.packet->data,
                         &decoder.packet->size, pBytes, nLength, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (nConsumed < 0) {
      return false;
    }
    pBytes += nConsumed;
    nLength -= nConsumed;
    // A completed access unit ends with the bytes of this call it consumed.
    decoder.nParserHeld =
        decoder.packet->size != 0 ? 0 : decoder.nParserHeld + static_cast<size_t>(nConsumed);
    // A picture the decoder refuses is lost, but the bytes after it in this
    // call still go to the parser: they begin the next picture, or are the
    // parameter sets the stream needs from then on.
    if (decoder.packet->size != 0 && avcodec_send_packet(decoder.context, decoder.packet) < 0) {
      bAllAccepted = false;
    }
  }
  return bAllAccepted;
}

void DrainDecoder(VideoDecoder& decoder) {
  for (;;) {
    if (!decoder.open || decoder.frame == nullptr ||
        avcodec_receive_frame(decoder.context, decoder.frame) < 0) {
      return;
    }
    // The store takes its own reference; the decoder's goes at once, so the
    // buffer returns to the decoder's pool when the store lets go of it.
    const bool bPublished = decoder.frame->width > 0 && decoder.frame->height > 0 &&
                            PublishFrame(g_FrameStore, decoder.frame);
    av_frame_unref(decoder.frame);
    if (bPublished) NotifyFramePublished();
  }
}
