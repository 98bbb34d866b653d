#include "support/media_read.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vtest {

ReadBack ReadRecording(const std::string& szPath) {
  ReadBack result;
  AVFormatContext* pFormat = nullptr;
  if (avformat_open_input(&pFormat, szPath.c_str(), nullptr, nullptr) < 0) return result;
  avformat_find_stream_info(pFormat, nullptr);
  const int nVideo = av_find_best_stream(pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const int nAudio = av_find_best_stream(pFormat, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  AVCodecContext* pDecoder = avcodec_alloc_context3(nullptr);
  AVFrame* pFrame = av_frame_alloc();
  AVPacket* pPacket = av_packet_alloc();
  if (nVideo >= 0) {
    avcodec_parameters_to_context(pDecoder, pFormat->streams[nVideo]->codecpar);
    pDecoder->err_recognition = AV_EF_EXPLODE;
    avcodec_open2(pDecoder, avcodec_find_decoder(pDecoder->codec_id), nullptr);
  }
  if (nAudio >= 0) result.nSoundRate = pFormat->streams[nAudio]->codecpar->sample_rate;
  result.dDurationSeconds = pFormat->duration > 0 ? pFormat->duration / 1e6 : 0;
  const auto decode = [&](const AVPacket* pSend) {
    if (avcodec_send_packet(pDecoder, pSend) < 0) ++result.nDecodeErrors;
    while (avcodec_receive_frame(pDecoder, pFrame) >= 0) {
      if (pFrame->decode_error_flags != 0) ++result.nDecodeErrors;
      result.pictures.push_back(ReferenceConvert(pFrame));
    }
  };
  while (av_read_frame(pFormat, pPacket) >= 0) {
    if (pPacket->stream_index == nVideo) {
      result.vecVideoPtsUs.push_back(
          av_rescale_q(pPacket->pts, pFormat->streams[nVideo]->time_base, AVRational{1, 1000000}));
      decode(pPacket);
    } else if (pPacket->stream_index == nAudio) {
      result.sound.insert(result.sound.end(), pPacket->data, pPacket->data + pPacket->size);
    }
    av_packet_unref(pPacket);
  }
  if (nVideo >= 0) decode(nullptr);
  av_packet_free(&pPacket);
  av_frame_free(&pFrame);
  avcodec_free_context(&pDecoder);
  avformat_close_input(&pFormat);
  return result;
}

}  // namespace vtest
