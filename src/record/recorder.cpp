#include "record/recorder.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "avc/access_unit.h"

namespace {

uint64_t SteadyTicks() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

RecordInput Input(RecordInput::Kind kind, uint64_t qwTicks = 0) {
  RecordInput input;
  input.kind = kind;
  input.qwTicks = qwTicks;
  return input;
}

uint64_t Ticks(const Recorder& recorder) {
  return recorder.hooks.pfnTicks != nullptr ? recorder.hooks.pfnTicks() : SteadyTicks();
}

constexpr size_t kMaxSpareBuffers = 4;
// Samples are not announced: waking the writing thread for each would cost the
// capture thread a system call a picture. The writer looks this often instead;
// control items (start, stop, ...) wake it at once.
constexpr uint64_t kWriterPollMilliseconds = 20;

// Queues an item; false when it was dropped. What the device sends (samples
// and formats) is dropped past the queue's bound, and the writer is told
// before the next one goes in; the user's and the connection's items always
// go in. pSpare (when not null and empty) receives a used picture buffer, if
// there is one.
bool Push(Recorder& recorder, RecordInput&& input, std::vector<uint8_t>* pSpare = nullptr) {
  using Kind = RecordInput::Kind;
  const bool bSample = input.kind == Kind::Video || input.kind == Kind::Audio;
  const bool bFromDevice =
      bSample || input.kind == Kind::VideoFormat || input.kind == Kind::AudioFormat;
  const size_t nBytes = input.vecData.size() + kItemOverheadBytes;
  {
    const std::lock_guard lock(recorder.mutex);
    if (pSpare != nullptr && pSpare->capacity() == 0 && !recorder.vecSpareBuffers.empty()) {
      pSpare->swap(recorder.vecSpareBuffers.back());
      recorder.vecSpareBuffers.pop_back();
    }
    if (bFromDevice && recorder.nQueuedBytes + nBytes > kMaxQueuedBytes) {
      if (!recorder.bLost) recorder.qwLostSince = input.qwTicks;
      recorder.bLost = true;
      return false;
    }
    if (recorder.bLost && bFromDevice) {
      // (On the capture thread, which owns the record.)
      recorder.bLost = false;
      RecordInput lost = Input(Kind::Lost, input.qwTicks);
      lost.i64Value = static_cast<int64_t>(recorder.qwLostSince);
      recorder.queue.push_back(std::move(lost));
      // The parameter sets in force may have been among what was dropped.
      if (!recorder.bRecordQueued && input.kind != Kind::VideoFormat &&
          !recorder.vecLastRecord.empty()) {
        RecordInput format = Input(Kind::VideoFormat, input.qwTicks);
        format.vecData = recorder.vecLastRecord;
        recorder.queue.push_back(std::move(format));
        recorder.bRecordQueued = true;
      }
      recorder.nQueuedBytes += 2 * kItemOverheadBytes + recorder.vecLastRecord.size();
    }
    recorder.nQueuedBytes += nBytes;
    recorder.queue.push_back(std::move(input));
    if (!bSample) recorder.bWake = true;
  }
  if (!bSample) recorder.wake.notify_one();
  return true;
}

void Handle(Recorder& recorder, RecordWriter& writer, RecordInput& input) {
  using Kind = RecordInput::Kind;
  const bool bWasRecording = WriterRecording(writer);
  switch (input.kind) {
    case Kind::Video:
    case Kind::Audio: {
      RecordSample sample;
      sample.kind = input.kind == Kind::Video ? MediaKind::Video : MediaKind::Audio;
      sample.i64TimeUs =
          TimeLinePlace(writer.line, sample.kind, input.i64Value, input.nTimeScale, input.qwTicks);
      sample.bKeyframe = input.bKeyframe;
      sample.vecData = std::move(input.vecData);
      if (sample.kind == MediaKind::Audio) {
        WriterAudio(writer, sample, input.qwTicks);
        break;
      }
      WriterVideo(writer, sample, input.qwTicks);
      sample.vecData.clear();
      const std::lock_guard lock(recorder.mutex);
      if (recorder.vecSpareBuffers.size() < kMaxSpareBuffers)
        recorder.vecSpareBuffers.push_back(std::move(sample.vecData));
      break;
    }
    case Kind::VideoFormat:
      WriterVideoFormat(writer, std::move(input.vecData));
      break;
    case Kind::AudioFormat:
      WriterAudioFormat(writer, input.audio, input.bAudioUsable);
      break;
    case Kind::NewConnection:
      WriterBreak(writer, true);
      break;
    case Kind::Lost:
      WriterLost(writer, static_cast<uint64_t>(input.i64Value), input.qwTicks);
      break;
    case Kind::Start:
      recorder.qwWriterStart = static_cast<uint64_t>(input.i64Value);
      WriterStart(writer, std::string(input.vecData.begin(), input.vecData.end()));
      break;
    case Kind::Stop:
    case Kind::Quit:
      WriterStop(writer, Ticks(recorder));
      break;
  }
  // A recording that ended on its own (not created, a failed write) is no
  // longer asked for, unless a newer one was asked for meanwhile.
  const bool bEndedOnItsOwn = !WriterRecording(writer) && input.kind != Kind::Stop &&
                              input.kind != Kind::Quit &&
                              (bWasRecording || input.kind == Kind::Start);
  if (bEndedOnItsOwn) {
    const std::lock_guard lock(recorder.mutex);
    if (recorder.qwStarts == recorder.qwWriterStart) recorder.bRecording = false;
  }
}

void WriterThread(Recorder* pRecorder) {
  Recorder& recorder = *pRecorder;
  RecordWriter writer;
  InitRecordWriter(writer, recorder.hooks);
  std::deque<RecordInput> batch;
  bool bQuit = false;
  while (!bQuit) {
    {
      std::unique_lock lock(recorder.mutex);
      recorder.wake.wait_for(lock, std::chrono::milliseconds(kWriterPollMilliseconds),
                             [&] { return recorder.bWake; });
      recorder.bWake = false;
      batch.swap(recorder.queue);
      recorder.nQueuedBytes = 0;
    }
    for (RecordInput& input : batch) {
      Handle(recorder, writer, input);
      bQuit = bQuit || input.kind == RecordInput::Kind::Quit;
    }
    batch.clear();
    // Silence only once every sample that came before now is written: a
    // writer that fell behind must not cover sound still in the queue.
    const uint64_t qwNow = Ticks(recorder);
    bool bCaughtUp = false;
    {
      const std::lock_guard lock(recorder.mutex);
      bCaughtUp = recorder.queue.empty();
    }
    if (bCaughtUp) WriterTick(writer, qwNow);
  }
}

}  // namespace

std::unique_ptr<Recorder> CreateRecorder(const RecorderHooks& hooks) {
  auto pRecorder = std::make_unique<Recorder>();
  pRecorder->hooks = hooks;
  try {
    pRecorder->thread = std::thread(WriterThread, pRecorder.get());
  } catch (const std::system_error&) {
    return nullptr;
  }
  return pRecorder;
}

void DestroyRecorder(std::unique_ptr<Recorder>& pRecorder) {
  if (pRecorder == nullptr) return;
  Push(*pRecorder, Input(RecordInput::Kind::Quit));
  if (pRecorder->thread.joinable()) pRecorder->thread.join();
  pRecorder.reset();
}

namespace {

void QueueRecord(Recorder& recorder, std::span<const uint8_t> record, uint64_t qwTicks) {
  if (record.empty()) return;
  if (recorder.bRecordQueued &&
      std::equal(record.begin(), record.end(), recorder.vecLastRecord.begin(),
                 recorder.vecLastRecord.end()))
    return;
  recorder.vecLastRecord.assign(record.begin(), record.end());
  RecordInput input = Input(RecordInput::Kind::VideoFormat, qwTicks);
  input.vecData = recorder.vecLastRecord;
  recorder.bRecordQueued = Push(recorder, std::move(input));
}

}  // namespace

void RecorderAccessUnit(void* pContext, const AccessUnit& unit) {
  auto* pRecorder = static_cast<Recorder*>(pContext);
  if (pRecorder == nullptr) return;
  Recorder& recorder = *pRecorder;
  if (unit.bNewRecord) QueueRecord(recorder, unit.record, unit.qwArrivalTicks);
  // A picture larger than the whole queue could never go in.
  if (unit.units.empty() || unit.units.size() > kMaxQueuedBytes) return;
  recorder.qwLastTicks = unit.qwArrivalTicks;
  RecordInput input = Input(RecordInput::Kind::Video, unit.qwArrivalTicks);
  input.i64Value = unit.i64Value;
  input.nTimeScale = unit.nTimeScale;
  input.bKeyframe = unit.bKeyframe;
  input.vecData.swap(recorder.vecPicture);
  input.vecData.assign(unit.units.begin(), unit.units.end());
  Push(recorder, std::move(input), &recorder.vecPicture);
}

void RecorderSoundTime(Recorder& recorder, int64_t i64Value, uint32_t nTimeScale) {
  recorder.i64SoundValue = i64Value;
  recorder.nSoundScale = nTimeScale;
}

void RecorderAudioFormat(Recorder& recorder, uint32_t nBitsPerChannel, uint32_t nChannels,
                         int32_t nSampleRate) {
  // The file's sound is 16-bit PCM as the device sends it; other formats are left out.
  const bool bUsable = nBitsPerChannel == 16 && nChannels >= 1 && nChannels <= 8 &&
                       nSampleRate >= 8000 && nSampleRate <= 192000;
  const RecordAudioFormat audio{nSampleRate, static_cast<int32_t>(nChannels)};
  if (recorder.bAudioKnown && audio == recorder.lastAudio && bUsable == recorder.bAudioUsable)
    return;
  RecordInput input = Input(RecordInput::Kind::AudioFormat, recorder.qwLastTicks);
  input.audio = audio;
  input.bAudioUsable = bUsable;
  recorder.bAudioKnown = Push(recorder, std::move(input));
  recorder.lastAudio = audio;
  recorder.bAudioUsable = bUsable;
}

void RecorderAudioData(Recorder& recorder, const uint8_t* pData, int32_t nSize, uint64_t qwTicks) {
  if (pData == nullptr || nSize <= 0) return;
  recorder.qwLastTicks = qwTicks;
  RecordInput input = Input(RecordInput::Kind::Audio, qwTicks);
  input.i64Value = recorder.i64SoundValue;
  input.nTimeScale = recorder.nSoundScale;
  input.vecData.assign(pData, pData + nSize);
  recorder.nSoundScale = 0;
  Push(recorder, std::move(input));
}

void RecorderNewConnection(Recorder& recorder, uint64_t qwTicks) {
  recorder.vecLastRecord.clear();
  recorder.bRecordQueued = false;
  Push(recorder, Input(RecordInput::Kind::NewConnection, qwTicks));
}

void RecorderStart(Recorder& recorder, const std::string& szPath) {
  uint64_t qwStart = 0;
  {
    const std::lock_guard lock(recorder.mutex);
    recorder.bRecording = true;
    qwStart = ++recorder.qwStarts;
  }
  RecordInput input = Input(RecordInput::Kind::Start);
  input.i64Value = static_cast<int64_t>(qwStart);
  input.vecData.assign(szPath.begin(), szPath.end());
  Push(recorder, std::move(input));
}

bool RecorderToggle(Recorder& recorder, const std::string& szPath) {
  if (RecorderIsRecording(recorder)) {
    RecorderStop(recorder);
    return false;
  }
  RecorderStart(recorder, szPath);
  return true;
}

void RecorderStop(Recorder& recorder) {
  {
    const std::lock_guard lock(recorder.mutex);
    recorder.bRecording = false;
  }
  Push(recorder, Input(RecordInput::Kind::Stop));
}

bool RecorderIsRecording(Recorder& recorder) {
  const std::lock_guard lock(recorder.mutex);
  return recorder.bRecording;
}
