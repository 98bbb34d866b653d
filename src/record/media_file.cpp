#include "record/media_file.h"

#include <algorithm>
#include <cstring>

#include "avc/avc_record.h"
#include "record/time_line.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

namespace {

constexpr AVRational kMicros{1, 1000000};
constexpr int32_t kBytesPerSample = 2;

const AVOutputFormat* ChooseFormat(const std::string& szPath) {
  if (!IsMp4Name(szPath)) return av_guess_format("matroska", nullptr, nullptr);
  // Plain MP4 takes 16-bit PCM only from FFmpeg 7 on; before, the QuickTime
  // flavour of the same format carries it.
  const AVOutputFormat* pMp4 = av_guess_format("mp4", nullptr, nullptr);
  if (pMp4 != nullptr &&
      avformat_query_codec(pMp4, AV_CODEC_ID_PCM_S16LE, FF_COMPLIANCE_NORMAL) == 1)
    return pMp4;
  return av_guess_format("mov", nullptr, nullptr);
}

bool Fail(MediaFile& file, int nError) {
  if (file.nError == 0) file.nError = nError;
  return false;
}

int32_t FrameBytes(const MediaFile& file) {
  return file.audio.nChannels * kBytesPerSample;
}

int64_t FramesAt(const MediaFile& file, int64_t i64TimeUs) {
  return av_rescale(i64TimeUs - file.i64StartUs, file.audio.nRate, kMicrosPerSecond);
}

bool WritePacket(MediaFile& file, AVStream* pStream,
                 std::span<const std::span<const uint8_t>> parts, int64_t i64Pts,
                 int64_t i64Duration, bool bKeyframe) {
  size_t nSize = 0;
  for (const auto& part : parts) nSize += part.size();
  AVPacket* pPacket = file.pPacket;
  const int nNew = av_new_packet(pPacket, static_cast<int>(nSize));
  if (nNew < 0) return Fail(file, nNew);
  uint8_t* pOut = pPacket->data;
  for (const auto& part : parts) {
    if (!part.empty()) std::memcpy(pOut, part.data(), part.size());
    pOut += part.size();
  }
  pPacket->stream_index = pStream->index;
  pPacket->pts = i64Pts;
  pPacket->dts = i64Pts;
  pPacket->duration = i64Duration;
  if (bKeyframe) pPacket->flags |= AV_PKT_FLAG_KEY;
  // Through the interleaver: what goes out together is in time order.
  const int nResult = av_interleaved_write_frame(file.pFormat, pPacket);
  av_packet_unref(pPacket);
  if (nResult < 0) return Fail(file, nResult);
  if (file.pFormat->pb->error < 0) return Fail(file, file.pFormat->pb->error);
  return true;
}

// Sound goes in as sample frames from the file's start; the muxer may count
// in another unit (Matroska: milliseconds).
bool WriteAudioPacket(MediaFile& file, std::span<const uint8_t> samples, int64_t i64Frames) {
  const AVRational frames{1, file.audio.nRate};
  const AVRational timeBase = file.pAudio->time_base;
  const int64_t i64Pts = av_rescale_q(file.i64AudioEndFrames, frames, timeBase);
  const int64_t i64End = av_rescale_q(file.i64AudioEndFrames + i64Frames, frames, timeBase);
  if (!WritePacket(file, file.pAudio, {&samples, 1}, i64Pts, i64End - i64Pts, true)) return false;
  file.i64AudioEndFrames += i64Frames;
  return true;
}

bool WriteSilenceFrames(MediaFile& file, int64_t i64Frames) {
  // In pieces of at most a second: a long absence costs no large buffer.
  const std::vector<uint8_t> vecSilence(static_cast<size_t>(file.audio.nRate) * FrameBytes(file),
                                        0);
  while (i64Frames > 0) {
    const int64_t i64Piece = std::min<int64_t>(i64Frames, file.audio.nRate);
    const std::span<const uint8_t> part(vecSilence.data(),
                                        static_cast<size_t>(i64Piece) * FrameBytes(file));
    if (!WriteAudioPacket(file, part, i64Piece)) return false;
    i64Frames -= i64Piece;
  }
  return true;
}

void Release(MediaFile& file) {
  if (file.pFormat != nullptr) {
    if (file.pFormat->pb != nullptr) avio_closep(&file.pFormat->pb);
    avformat_free_context(file.pFormat);
  }
  av_packet_free(&file.pPacket);
  file.pFormat = nullptr;
  file.pVideo = nullptr;
  file.pAudio = nullptr;
}

AVStream* AddVideoStream(AVFormatContext* pFormat, const std::vector<uint8_t>& vecRecord,
                         int32_t nWidth, int32_t nHeight) {
  AVStream* pStream = avformat_new_stream(pFormat, nullptr);
  if (pStream == nullptr) return nullptr;
  AVCodecParameters* pPar = pStream->codecpar;
  pPar->codec_type = AVMEDIA_TYPE_VIDEO;
  pPar->codec_id = AV_CODEC_ID_H264;
  pPar->width = nWidth;
  pPar->height = nHeight;
  pPar->extradata =
      static_cast<uint8_t*>(av_mallocz(vecRecord.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (pPar->extradata == nullptr) return nullptr;
  std::memcpy(pPar->extradata, vecRecord.data(), vecRecord.size());
  pPar->extradata_size = static_cast<int>(vecRecord.size());
  pStream->time_base = AVRational{1, 90000};
  return pStream;
}

AVStream* AddAudioStream(AVFormatContext* pFormat, const RecordAudioFormat& audio) {
  AVStream* pStream = avformat_new_stream(pFormat, nullptr);
  if (pStream == nullptr) return nullptr;
  AVCodecParameters* pPar = pStream->codecpar;
  pPar->codec_type = AVMEDIA_TYPE_AUDIO;
  pPar->codec_id = AV_CODEC_ID_PCM_S16LE;
  pPar->sample_rate = audio.nRate;
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 28, 100)
  av_channel_layout_default(&pPar->ch_layout, audio.nChannels);
#else
  pPar->channels = audio.nChannels;
  pPar->channel_layout = static_cast<uint64_t>(av_get_default_channel_layout(audio.nChannels));
#endif
  pPar->bits_per_coded_sample = 16;
  pPar->block_align = audio.nChannels * kBytesPerSample;
  pPar->bit_rate = int64_t{audio.nRate} * audio.nChannels * 16;
  pStream->time_base = AVRational{1, audio.nRate};
  return pStream;
}

}  // namespace

bool IsMp4Name(const std::string& szPath) {
  const size_t nDot = szPath.find_last_of('.');
  if (nDot == std::string::npos || szPath.find_first_of("/\\", nDot) != std::string::npos)
    return false;
  std::string szExtension = szPath.substr(nDot + 1);
  for (char& c : szExtension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return szExtension == "mp4" || szExtension == "m4v" || szExtension == "mov";
}

bool OpenMediaFile(MediaFile& file, const std::string& szPath, std::span<const uint8_t> record,
                   int32_t nWidth, int32_t nHeight, const RecordAudioFormat* pAudio,
                   int64_t i64StartUs, std::string& szError) {
  file = MediaFile{};
  file.szPath = szPath;
  file.i64StartUs = i64StartUs;
  file.nWidth = nWidth;
  file.nHeight = nHeight;
  file.bMp4 = IsMp4Name(szPath);
  file.vecRecord.assign(record.begin(), record.end());
  const std::vector<uint8_t> vecHeaderRecord = RecordWithFourByteLengths(record);
  const AVOutputFormat* pOutput = ChooseFormat(szPath);
  int nResult = AVERROR(EINVAL);
  if (pOutput != nullptr && !vecHeaderRecord.empty())
    nResult = avformat_alloc_output_context2(&file.pFormat, pOutput, nullptr, szPath.c_str());
  file.pPacket = av_packet_alloc();
  if (nResult >= 0 && file.pPacket == nullptr) nResult = AVERROR(ENOMEM);
  if (nResult >= 0) {
    file.pVideo = AddVideoStream(file.pFormat, vecHeaderRecord, nWidth, nHeight);
    if (pAudio != nullptr && pAudio->nRate > 0 && pAudio->nChannels > 0) {
      file.audio = *pAudio;
      file.pAudio = AddAudioStream(file.pFormat, *pAudio);
      if (file.pAudio == nullptr) file.pVideo = nullptr;
    }
    if (file.pVideo == nullptr) nResult = AVERROR(ENOMEM);
  }
  if (nResult >= 0) nResult = avio_open(&file.pFormat->pb, szPath.c_str(), AVIO_FLAG_WRITE);
  if (nResult >= 0) {
    AVDictionary* pOptions = nullptr;
    if (file.bMp4)
      av_dict_set(&pOptions, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
    nResult = avformat_write_header(file.pFormat, &pOptions);
    av_dict_free(&pOptions);
  }
  if (nResult >= 0 && FlushMediaFile(file)) return true;
  szError = MediaErrorText(nResult < 0 ? nResult : file.nError);
  Release(file);
  return false;
}

bool WriteVideo(MediaFile& file, std::span<const uint8_t> picture, bool bKeyframe,
                std::span<const uint8_t> record, int64_t i64TimeUs) {
  if (file.pFormat == nullptr) return false;
  std::vector<uint8_t> vecParameterSets;
  if (bKeyframe &&
      !std::equal(record.begin(), record.end(), file.vecRecord.begin(), file.vecRecord.end())) {
    AppendRecordUnits(record, false, vecParameterSets);
    file.vecRecord.assign(record.begin(), record.end());
  }
  const AVRational timeBase = file.pVideo->time_base;
  const int64_t i64Pts = std::max(av_rescale_q(i64TimeUs - file.i64StartUs, kMicros, timeBase),
                                  file.i64LastVideoPts + 1);
  // Until the next picture comes, its time on screen is a guess: the last
  // interval, at most a tenth of a second.
  const int64_t i64Duration =
      file.i64LastVideoPts < 0
          ? 1
          : std::clamp<int64_t>(i64Pts - file.i64LastVideoPts, 1, timeBase.den / timeBase.num / 10);
  file.i64LastVideoPts = i64Pts;
  file.i64LastVideoUs = i64TimeUs;
  const std::span<const uint8_t> parts[] = {vecParameterSets, picture};
  return WritePacket(file, file.pVideo, parts, i64Pts, i64Duration, bKeyframe);
}

bool WriteAudio(MediaFile& file, std::span<const uint8_t> samples, int64_t i64TimeUs) {
  if (file.pFormat == nullptr || file.pAudio == nullptr) return false;
  const size_t nFrameBytes = static_cast<size_t>(FrameBytes(file));
  int64_t i64Frames = static_cast<int64_t>(samples.size() / nFrameBytes);
  const int64_t i64Snap = av_rescale(kAudioSnapUs, file.audio.nRate, kMicrosPerSecond);
  const int64_t i64At = FramesAt(file, i64TimeUs);
  if (i64At > file.i64AudioEndFrames + i64Snap) {
    if (!WriteSilenceFrames(file, i64At - file.i64AudioEndFrames)) return false;
  } else if (i64At < file.i64AudioEndFrames - i64Snap) {
    // Already covered (by sound or by silence while none came): only the rest goes in.
    const int64_t i64Skip = std::min(file.i64AudioEndFrames - i64At, i64Frames);
    samples = samples.subspan(static_cast<size_t>(i64Skip) * nFrameBytes);
    i64Frames -= i64Skip;
  }
  if (i64Frames <= 0) return true;
  const std::span<const uint8_t> part = samples.first(static_cast<size_t>(i64Frames) * nFrameBytes);
  return WriteAudioPacket(file, part, i64Frames);
}

bool FillSilence(MediaFile& file, int64_t i64UntilUs) {
  if (file.pFormat == nullptr || file.pAudio == nullptr) return file.pFormat != nullptr;
  const int64_t i64Until = FramesAt(file, i64UntilUs);
  if (i64Until <= file.i64AudioEndFrames) return true;
  return WriteSilenceFrames(file, i64Until - file.i64AudioEndFrames);
}

bool FlushMediaFile(MediaFile& file) {
  if (file.pFormat == nullptr) return false;
  // The interleaver gives up what it holds, then an empty packet makes the
  // muxer write its own (a cluster, a fragment). The next MP4 fragment takes
  // its start from its first packet rather than from the end of this one, so
  // that a still screen's gap stays in the file.
  int nResult = av_interleaved_write_frame(file.pFormat, nullptr);
  if (nResult >= 0 && file.bMp4)
    nResult = av_opt_set(file.pFormat->priv_data, "movflags", "+frag_discont", 0);
  if (nResult >= 0) nResult = av_write_frame(file.pFormat, nullptr);
  if (nResult < 0) return Fail(file, nResult);
  avio_flush(file.pFormat->pb);
  if (file.pFormat->pb->error < 0) return Fail(file, file.pFormat->pb->error);
  return true;
}

bool CloseMediaFile(MediaFile& file, int64_t i64EndUs) {
  if (file.pFormat == nullptr) return false;
  bool bOk = file.nError == 0;
  if (bOk) bOk = FillSilence(file, i64EndUs);
  // The trailer goes in even after a failed write: whatever it can still finish helps.
  const int nTrailer = av_write_trailer(file.pFormat);
  if (nTrailer < 0) bOk = Fail(file, nTrailer);
  if (file.pFormat->pb != nullptr) {
    avio_flush(file.pFormat->pb);
    if (file.pFormat->pb->error < 0) bOk = Fail(file, file.pFormat->pb->error);
  }
  Release(file);
  return bOk;
}

std::string MediaErrorText(int nError) {
  char szText[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(nError, szText, sizeof szText);
  return szText;
}
