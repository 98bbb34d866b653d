// The jitter buffer between the capture thread, which pushes the device's
// chunks of 16-bit interleaved samples whenever they come, and the sound
// card's callback, which pulls a fixed period at a time. It starts playing
// once it holds its target, drops the oldest samples above its maximum, plays
// silence when it runs dry, and steers a small resampling correction so that
// the device's clock and the card's never let the latency wander.
//
// Time is given explicitly (milliseconds of any monotonic clock for the
// pushes; the card's own frame count for the pulls), so tests and benchmarks
// run hours of sound on a virtual clock in milliseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

inline constexpr uint32_t kAudioTargetMs = 50;
// About target x 1.1 + 60 ms: room for the chunks' sawtooth and a burst.
inline constexpr uint32_t kAudioMaxMs = kAudioTargetMs * 11 / 10 + 60;
// A level above this after a chunk is a burst, not the chunks' sawtooth
// (chunks up to about 35 ms with their jitter, a drift at the correction's
// limit, what a short stall delivers late): a 60 ms burst passes it from any
// point of the sawtooth. It is cut with the next second's level.
inline constexpr uint32_t kAudioBurstMs = kAudioTargetMs * 11 / 10 + 40;
// A longer pause between two chunks is a new start.
inline constexpr uint32_t kAudioGapMs = 100;
// The largest resampling correction, as a fraction of the rate: a pitch
// change of 2% is hard to hear, and no crystal drifts that far.
inline constexpr double kAudioMaxCorrection = 0.02;

struct AudioFormat {
  int32_t nRate = 0;  // frames per second
  uint32_t nChannels = 0;
  bool operator==(const AudioFormat&) const = default;
};

// The drift control: every second of output, the mean level of that second
// against the target.
struct DriftControl {
  double dDriftEstimate = 0;  // the part of the correction that matches the clocks
  double dCorrection = 0;     // input frames read per output frame, minus one
  // The level was moved by something else than the clocks (the buffer ran
  // dry, or a burst was cut): the next second's error is set straight in one
  // step, not steered, and teaches the drift estimate nothing.
  bool bResync = false;
  double dLevelSum = 0;  // frames, summed at each pull of the current second
  uint32_t nLevelSamples = 0;
  uint64_t qwFramesOut = 0;  // output frames of the current second
};

struct JitterBuffer {
  std::mutex mutex;  // held for a copy in or out, never longer
  AudioFormat format;
  std::vector<int16_t> vecRing;  // nCapacity frames, allocated when the format changes
  size_t nCapacity = 0;          // frames
  size_t nOldest = 0;            // ring index (frames) of the oldest frame held
  size_t nLevel = 0;             // frames held
  double dPhase = 0;             // position between the oldest frame and the next
  size_t nSilenceFrames = 0;     // output frames of silence due before the next frame held
  bool bPlaying = false;         // false while filling up to the target
  bool bHadChunk = false;
  uint64_t qwLastChunkMs = 0;
  DriftControl drift;
  // What was lost (JitterLosses).
  uint64_t qwDroppedFrames = 0;
  uint64_t qwUnderrunFrames = 0;
};

// Frames in nMs at the format's rate.
size_t AudioFramesIn(const AudioFormat& format, uint32_t nMs);

// Empties the buffer and sizes it for a playable format (a zero format holds
// nothing and plays silence). Allocates only when the format differs from the
// current one; the same format again changes nothing.
void SetJitterFormat(JitterBuffer& buffer, const AudioFormat& format);

// From the producer: a chunk of whole frames (a trailing partial frame is
// ignored; so is everything while the format is zero). Never allocates.
void PushAudio(JitterBuffer& buffer, std::span<const uint8_t> chunk, uint64_t qwNowMs);

// From the consumer, whose device plays the format played: fills out (whole
// frames) with what is due, silence where there is nothing to play. While the
// buffer's format is another (the device is about to be re-opened) it is all
// silence, so samples are never read with the wrong channel count.
void PullAudio(JitterBuffer& buffer, std::span<int16_t> out, const AudioFormat& played);

// The format the buffer holds (zero when nothing is playable).
AudioFormat JitterFormat(JitterBuffer& buffer);

// What was lost so far: frames dropped (above the maximum, or to set the
// level straight), output frames of silence (running dry, or setting the level
// straight).
struct AudioLosses {
  uint64_t qwDroppedFrames = 0;
  uint64_t qwUnderrunFrames = 0;
};
AudioLosses JitterLosses(JitterBuffer& buffer);

// The level in milliseconds, for tests and benchmarks.
double JitterLevelMs(JitterBuffer& buffer);
