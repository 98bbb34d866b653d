// Recordings of the device's own stream: what the capture side hands out is
// copied into a queue on the capture thread (nothing else happens there) and
// written by a thread of the recorder's own, which keeps the time line, the
// pre-roll since the last keyframe and the file.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "record/record_writer.h"

struct AccessUnit;

// One item of the queue, in the order the capture thread saw them.
struct RecordInput {
  enum class Kind {
    Video,
    Audio,
    VideoFormat,
    AudioFormat,
    NewConnection,
    Lost,
    Start,
    Stop,
    Quit
  };
  Kind kind = Kind::Video;
  int64_t i64Value = 0;          // the device's presentation time ...
  uint32_t nTimeScale = 0;       // ... in these units a second (0: none)
  uint64_t qwTicks = 0;          // the local clock when it came
  std::vector<uint8_t> vecData;  // picture, sound, record, or the path to record to
  bool bKeyframe = false;        // a picture that holds an IDR slice
  RecordAudioFormat audio;
  bool bAudioUsable = false;
};

// Past this much waiting in the queue (a disk that does not keep up), samples
// and the device's format items are dropped, and the file goes on from the
// next keyframe. Each item counts its bytes and kItemOverheadBytes.
inline constexpr size_t kMaxQueuedBytes = size_t{64} << 20;
inline constexpr size_t kItemOverheadBytes = sizeof(RecordInput) + 64;

struct Recorder {
  RecorderHooks hooks;
  // The capture thread's: an emptied picture buffer to fill next, the sound's time.
  std::vector<uint8_t> vecPicture;
  int64_t i64SoundValue = 0;
  uint32_t nSoundScale = 0;
  std::vector<uint8_t> vecLastRecord;  // the device's last parameter sets ...
  bool bRecordQueued = false;          // ... went into the queue
  RecordAudioFormat lastAudio;
  bool bAudioUsable = false;
  bool bAudioKnown = false;  // lastAudio went into the queue
  uint64_t qwLastTicks = 0;  // the last sample's arrival, for the items without one
  // Shared, under the mutex.
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<RecordInput> queue;
  size_t nQueuedBytes = 0;
  bool bLost = false;
  uint64_t qwLostSince = 0;  // the local clock when the first was dropped
  bool bWake = false;        // a control item is waiting
  // Picture buffers the writing thread is done with, for the capture thread to
  // fill again: no new memory (and no page faults) per picture.
  std::vector<std::vector<uint8_t>> vecSpareBuffers;
  bool bRecording = false;     // a recording was asked for and has not ended
  uint64_t qwStarts = 0;       // recordings asked for so far
  uint64_t qwWriterStart = 0;  // the writing thread's: the one it last started
  std::thread thread;
};

// Starts the writing thread. Null when it cannot be started.
std::unique_ptr<Recorder> CreateRecorder(const RecorderHooks& hooks);

// Ends a recording (it is saved) and the thread; call once the capture
// thread no longer feeds the recorder.
void DestroyRecorder(std::unique_ptr<Recorder>& pRecorder);

// The capture thread's handlers, in the order the capture side calls them.
// The recorder as a sink of access units (pContext: the Recorder): the
// picture is copied into a reused buffer and queued, after the record when
// it differs from the last one queued. A unit without units brings only its
// record.
void RecorderAccessUnit(void* pContext, const AccessUnit& unit);
void RecorderSoundTime(Recorder& recorder, int64_t i64Value, uint32_t nTimeScale);
void RecorderAudioFormat(Recorder& recorder, uint32_t nBitsPerChannel, uint32_t nChannels,
                         int32_t nSampleRate);
void RecorderAudioData(Recorder& recorder, const uint8_t* pData, int32_t nSize, uint64_t qwTicks);
void RecorderNewConnection(Recorder& recorder, uint64_t qwTicks);

// From any thread. Start: records into szPath (or "szPath (2)"..., never over
// a file), from the last keyframe received. Toggle: stops a recording, or
// starts one into szPath. Returns true when it started one.
void RecorderStart(Recorder& recorder, const std::string& szPath);
bool RecorderToggle(Recorder& recorder, const std::string& szPath);
void RecorderStop(Recorder& recorder);
bool RecorderIsRecording(Recorder& recorder);
