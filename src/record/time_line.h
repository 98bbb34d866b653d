// One time line for the sound and the pictures of a session, in microseconds.
// Its clock is the local one: 0 is the arrival of the session's first sample,
// and the time without a device (a still screen, an unplug) is kept by it.
//
// The device's own times place each sample more finely than its arrival
// (which jitters with the transport), but they are trusted only as far as they
// agree with arrival: each kind keeps an offset from its device times to the
// line, set by arrival when the kind starts (and at each new connection). A
// sample within kMaxEarlyUs before / kMaxLateUs after its arrival is placed by
// its device time, and the offset is slewed a little towards arrival (a device
// clock that drifts is followed). A sample outside is placed at its arrival;
// only when kStepSamples of them in a row agree on a new offset is it taken
// (the device's clock stepped). So one wrong time moves only its own sample,
// a step is followed at once (by arrival, then by the new offset), and the two
// kinds stay as they stood on arrival, whatever the other kind's times do.
#pragma once

#include <cstdint>

inline constexpr int64_t kMicrosPerSecond = 1000000;

enum class MediaKind { Video = 0, Audio = 1 };

// How one kind's device times map onto the line.
struct KindClock {
  bool bAnchored = false;
  int64_t i64OffsetUs = 0;     // line time = device time + this
  int64_t i64CandidateUs = 0;  // the offset the disagreeing samples in a row share
  int nCandidateSamples = 0;   // how many in a row (0: the last one agreed)
};

struct SessionTimeLine {
  bool bStarted = false;
  uint64_t qwOriginTicks = 0;  // the local clock (ms) at the line's 0
  KindClock kinds[2];
};

// A sample may lie this far after its arrival (transport, a busy host) ...
inline constexpr int64_t kMaxEarlyUs = kMicrosPerSecond / 2;
// ... and this far before it (a late transfer, a stall) and keep its device time.
inline constexpr int64_t kMaxLateUs = kMicrosPerSecond;
// Disagreeing samples in a row, with one new offset, that make a clock step.
inline constexpr int kStepSamples = 3;
// At most this much slew towards arrival per sample.
inline constexpr int64_t kMaxSlewUs = 100;

// The device went away or came back: its clocks may start over.
void TimeLineNewConnection(SessionTimeLine& line);

// Where a sample with the device time i64Value / nTimeScale s, arriving at the
// local tick qwTicks (ms), lies on the line. A sample without a time (scale 0)
// lies at its arrival. Any value and scale give a time; none overflows.
int64_t TimeLinePlace(SessionTimeLine& line, MediaKind kind, int64_t i64Value, uint32_t nTimeScale,
                      uint64_t qwTicks);

// Where the local tick qwTicks lies on the line (0 before the first sample).
int64_t TimeLineNow(const SessionTimeLine& line, uint64_t qwTicks);

// Saturating arithmetic for times that come from the device.
int64_t SaturatedAdd(int64_t a, int64_t b);
int64_t SaturatedSub(int64_t a, int64_t b);
// i64Value / nTimeScale s in microseconds, saturated (nTimeScale > 0).
int64_t DeviceMicros(int64_t i64Value, uint32_t nTimeScale);
