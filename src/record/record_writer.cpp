#include "record/record_writer.h"

#include <algorithm>
#include <cstdio>

#include "record/avc_stream.h"
#include "record/file_names.h"

namespace {

void Say(const RecordWriter& writer, RecordEvent event, const std::string& szDetail = {}) {
  if (writer.hooks.pfnEvent != nullptr)
    writer.hooks.pfnEvent(writer.hooks.pContext, event, writer.szPath, szDetail);
}

void EndFailed(RecordWriter& writer) {
  const std::string szError = MediaErrorText(writer.file.nError);
  CloseMediaFile(writer.file, writer.file.i64LastVideoUs);
  writer.state = RecordWriter::State::Idle;
  Say(writer, RecordEvent::Failed, szError);
}

bool AudioFits(RecordWriter& writer) {
  if (writer.file.pAudio == nullptr) return false;
  if (writer.bAudioUsable && writer.audio == writer.file.audio) return true;
  if (!writer.bAudioMismatchSaid) {
    writer.bAudioMismatchSaid = true;
    Say(writer, RecordEvent::SoundLeftOut, "the sound's format changed: its sound is left out");
  }
  return false;
}

bool OpenFile(RecordWriter& writer, std::span<const uint8_t> record,
              std::span<const uint8_t> keyframe, int64_t i64StartUs) {
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  ReadPictureSize(record, keyframe, nWidth, nHeight);
  std::string szError;
  if (!OpenMediaFile(writer.file, writer.szPath, record, nWidth, nHeight,
                     writer.bAudioUsable ? &writer.audio : nullptr, i64StartUs, szError)) {
    RemoveFile(writer.szPath);
    writer.state = RecordWriter::State::Idle;
    Say(writer, RecordEvent::NotCreated, szError);
    return false;
  }
  writer.state = RecordWriter::State::Open;
  writer.bNeedKeyframe = true;
  writer.bAudioMismatchSaid = false;
  return true;
}

// An MP4 holds one picture size (its sample description): at a keyframe of
// another size the recording goes on in a new file, "name (2).mp4".
bool SizeChangeEndsFile(RecordWriter& writer, const RecordSample& sample,
                        const std::vector<uint8_t>& record) {
  if (!writer.file.bMp4 || !sample.bKeyframe || record == writer.file.vecRecord) return false;
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  if (!ReadPictureSize(record, sample.vecData, nWidth, nHeight)) return false;
  return nWidth != writer.file.nWidth || nHeight != writer.file.nHeight;
}

bool WriteSample(RecordWriter& writer, const RecordSample& sample,
                 const std::vector<uint8_t>& record) {
  if (sample.kind == MediaKind::Audio) {
    return !AudioFits(writer) || WriteAudio(writer.file, sample.vecData, sample.i64TimeUs);
  }
  if (writer.bNeedKeyframe && !sample.bKeyframe) return true;
  if (SizeChangeEndsFile(writer, sample, record)) {
    const std::string szOld = writer.szPath;
    if (!CloseMediaFile(writer.file, sample.i64TimeUs)) return false;
    Say(writer, RecordEvent::Saved);
    std::string szError;
    writer.szPath = CreateUniqueFile(szOld, szError);
    if (writer.szPath.empty()) {
      writer.szPath = szOld;
      writer.state = RecordWriter::State::Idle;
      Say(writer, RecordEvent::NotCreated, szError);
      return true;
    }
    if (!OpenFile(writer, record, sample.vecData, sample.i64TimeUs)) return true;
    Say(writer, RecordEvent::Continued);
  }
  writer.bNeedKeyframe = false;
  return WriteVideo(writer.file, sample.vecData, sample.bKeyframe, record, sample.i64TimeUs);
}

// A waiting recording opens once the pre-roll starts with a keyframe and the
// sound's format is known (or a second of pictures came without it).
void TryOpen(RecordWriter& writer) {
  const RecordPreroll& preroll = writer.preroll;
  if (preroll.samples.empty()) return;
  const RecordSample& first = preroll.samples.front();
  if (!writer.bAudioUsable && preroll.samples.back().i64TimeUs - first.i64TimeUs < kWaitForSoundUs)
    return;
  if (!OpenFile(writer, preroll.vecRecord, first.vecData, first.i64TimeUs)) return;
  for (const RecordSample& sample : preroll.samples) {
    if (!WriteSample(writer, sample, preroll.vecRecord)) return EndFailed(writer);
  }
}

// The bound is for what is kept in case a recording is asked for; a recording
// that waits for its first keyframe and the sound's format keeps what it will
// begin with, even under a bound of 0.
void AddToPreroll(RecordWriter& writer, const RecordSample& sample) {
  writer.preroll.nMaxBytes = writer.state == RecordWriter::State::Waiting
                                 ? std::max(writer.hooks.nMaxPrerollBytes, kMaxPrerollBytes)
                                 : writer.hooks.nMaxPrerollBytes;
  PrerollAdd(writer.preroll, sample, writer.vecRecord);
}

}  // namespace

void InitRecordWriter(RecordWriter& writer, const RecorderHooks& hooks) {
  writer.hooks = hooks;
  writer.preroll.nMaxBytes = hooks.nMaxPrerollBytes;
}

void WriterVideo(RecordWriter& writer, const RecordSample& sample, uint64_t /*qwTicks*/) {
  AddToPreroll(writer, sample);
  if (writer.state == RecordWriter::State::Waiting) {
    TryOpen(writer);
  } else if (writer.state == RecordWriter::State::Open) {
    if (!WriteSample(writer, sample, writer.vecRecord)) EndFailed(writer);
  }
}

void WriterAudio(RecordWriter& writer, const RecordSample& sample, uint64_t /*qwTicks*/) {
  AddToPreroll(writer, sample);
  if (writer.state == RecordWriter::State::Open) {
    if (!WriteSample(writer, sample, writer.vecRecord)) EndFailed(writer);
  }
}

void WriterVideoFormat(RecordWriter& writer, std::vector<uint8_t> vecRecord) {
  if (vecRecord == writer.vecRecord) return;
  writer.vecRecord = std::move(vecRecord);
  // Pictures under the new parameter sets decode only from a keyframe on.
  PrerollBreak(writer.preroll);
  writer.bNeedKeyframe = true;
}

void WriterAudioFormat(RecordWriter& writer, const RecordAudioFormat& audio, bool bUsable) {
  writer.audio = audio;
  writer.bAudioUsable = bUsable;
  if (writer.state == RecordWriter::State::Waiting) TryOpen(writer);
}

void WriterBreak(RecordWriter& writer, bool bNewConnection) {
  if (bNewConnection) TimeLineNewConnection(writer.line);
  PrerollBreak(writer.preroll);
  writer.bNeedKeyframe = true;
}

void WriterLost(RecordWriter& writer, uint64_t qwFromTicks, uint64_t qwToTicks) {
  WriterBreak(writer, false);
  if (writer.state != RecordWriter::State::Open) return;
  char szHole[64];
  std::snprintf(szHole, sizeof szHole, "%.1f s",
                static_cast<double>(qwToTicks > qwFromTicks ? qwToTicks - qwFromTicks : 0) / 1000);
  Say(writer, RecordEvent::SamplesLost, szHole);
}

void WriterStart(RecordWriter& writer, const std::string& szPath) {
  if (writer.state != RecordWriter::State::Idle) return;
  // The name is taken now, on the disk: no other program can have it.
  std::string szError;
  writer.szPath = CreateUniqueFile(szPath, szError);
  if (writer.szPath.empty()) {
    writer.szPath = szPath;
    Say(writer, RecordEvent::NotCreated, szError);
    return;
  }
  writer.state = RecordWriter::State::Waiting;
  const bool bLate = writer.preroll.samples.empty() && writer.preroll.bOverflowed;
  Say(writer, bLate ? RecordEvent::StartedAtNextKeyframe : RecordEvent::Started);
  TryOpen(writer);
}

void WriterStop(RecordWriter& writer, uint64_t qwTicks) {
  if (writer.state == RecordWriter::State::Idle) return;
  if (writer.state == RecordWriter::State::Waiting) {
    writer.state = RecordWriter::State::Idle;
    RemoveFile(writer.szPath);
    Say(writer, RecordEvent::NothingRecorded);
    return;
  }
  // Up to now: a picture that stood still until the end keeps its time.
  const bool bSaved = CloseMediaFile(writer.file, TimeLineNow(writer.line, qwTicks));
  writer.state = RecordWriter::State::Idle;
  if (bSaved) {
    Say(writer, RecordEvent::Saved);
  } else {
    Say(writer, RecordEvent::Failed, MediaErrorText(writer.file.nError));
  }
}

void WriterTick(RecordWriter& writer, uint64_t qwTicks) {
  if (writer.state != RecordWriter::State::Open) return;
  if (qwTicks - writer.qwLastFlush < kFlushMilliseconds) return;
  writer.qwLastFlush = qwTicks;
  if (!FillSilence(writer.file, TimeLineNow(writer.line, qwTicks) - kSilenceLagUs) ||
      !FlushMediaFile(writer.file)) {
    EndFailed(writer);
  }
}

bool WriterRecording(const RecordWriter& writer) {
  return writer.state != RecordWriter::State::Idle;
}
