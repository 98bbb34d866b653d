// The recorder's writing side, on its own thread: the session's time line,
// the pre-roll, and the file of the recording in progress.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "record/media_file.h"
#include "record/record_sample.h"
#include "record/time_line.h"

enum class RecordEvent {
  Started,                // recording into szPath
  StartedAtNextKeyframe,  // the same, but the pre-roll was too large: from the next keyframe
  Saved,                  // the file is complete
  NothingRecorded,        // stopped before any picture came: no file
  NotCreated,             // the file could not be made (szDetail: why); nothing recorded
  Failed,                 // writing failed (a full disk): stopped, what was written plays
  SamplesLost,            // samples dropped (szDetail: the hole's length), the file goes on
  SoundLeftOut,           // the sound's format changed: the rest has none
  Continued,              // the picture size changed: the recording goes on in szPath
};

struct RecorderHooks {
  // What happened to a recording (on the writing thread).
  void (*pfnEvent)(void* pContext, RecordEvent event, const std::string& szPath,
                   const std::string& szDetail) = nullptr;
  void* pContext = nullptr;
  // The local clock in milliseconds (null: a monotonic clock of the standard library).
  uint64_t (*pfnTicks)() = nullptr;
  size_t nMaxPrerollBytes = kMaxPrerollBytes;
};

// How long the header waits for the sound's format after the first picture.
inline constexpr int64_t kWaitForSoundUs = kMicrosPerSecond;
// While no sound comes, silence is written up to this far behind now: past
// the time line's tolerance for late sound, and little enough that the
// silence never follows a picture with a much later time into the file.
inline constexpr int64_t kSilenceLagUs = kMaxLateUs + kMicrosPerSecond / 10;
inline constexpr uint64_t kFlushMilliseconds = 500;

struct RecordWriter {
  RecorderHooks hooks;
  SessionTimeLine line;
  RecordPreroll preroll;
  std::vector<uint8_t> vecRecord;  // the parameter sets in force
  RecordAudioFormat audio;
  bool bAudioUsable = false;
  enum class State { Idle, Waiting, Open } state = State::Idle;
  bool bNeedKeyframe = true;  // the file goes on only from a keyframe
  bool bAudioMismatchSaid = false;
  std::string szPath;
  MediaFile file;
  uint64_t qwLastFlush = 0;
};

void InitRecordWriter(RecordWriter& writer, const RecorderHooks& hooks);

// The writer's part of each queued item.
void WriterVideo(RecordWriter& writer, const RecordSample& sample, uint64_t qwTicks);
void WriterAudio(RecordWriter& writer, const RecordSample& sample, uint64_t qwTicks);
void WriterVideoFormat(RecordWriter& writer, std::vector<uint8_t> vecRecord);
void WriterAudioFormat(RecordWriter& writer, const RecordAudioFormat& audio, bool bUsable);
void WriterBreak(RecordWriter& writer, bool bNewConnection);
// Samples were dropped on the way between the two local ticks (ms).
void WriterLost(RecordWriter& writer, uint64_t qwFromTicks, uint64_t qwToTicks);
void WriterStart(RecordWriter& writer, const std::string& szPath);
// Ends the recording, if any, at qwTicks.
void WriterStop(RecordWriter& writer, uint64_t qwTicks);
// Silence while nothing comes, and the flush, at least every kFlushMilliseconds.
void WriterTick(RecordWriter& writer, uint64_t qwTicks);
bool WriterRecording(const RecordWriter& writer);
