// One time line for the sound and the pictures of a session, in microseconds,
// made from the device's own presentation times. It starts at 0 with the first
// sample, goes on across reconnects (the time without a device is kept, by the
// local clock), and keeps the gaps a still screen leaves. Files are cut from
// it: each starts where its first picture lies.
#pragma once

#include <cstdint>

inline constexpr int64_t kMicrosPerSecond = 1000000;

enum class MediaKind { Video = 0, Audio = 1 };

// Where one kind's device times land on the line.
struct KindAnchor {
  bool bAnchored = false;
  int64_t i64DeviceUs = 0;   // a device time of this kind ...
  int64_t i64SessionUs = 0;  // ... and where it lies on the line
  int64_t i64LastUs = 0;     // the last time handed out for this kind
  uint64_t qwLastTicks = 0;  // the local clock (ms) when it was
};

struct SessionTimeLine {
  bool bStarted = false;             // a sample was ever placed
  bool bConnectionAnchored = false;  // this connection's first sample was placed
  int64_t i64OriginDeviceUs = 0;     // this connection's first device time
  int64_t i64OriginSessionUs = 0;    // and where it lies
  uint64_t qwOriginTicks = 0;
  int64_t i64LatestUs = 0;  // the latest time handed out, of either kind
  uint64_t qwLatestTicks = 0;
  KindAnchor kinds[2];
};

// The device went away or came back: its clock may start over, so the next
// sample is placed by the local clock after the latest one.
void TimeLineNewConnection(SessionTimeLine& line);

// Where a sample with the device time i64Value / nTimeScale s, arriving at the
// local tick qwTicks (ms), lies on the line. A sample without a time (scale 0)
// lies where the local clock puts it after its kind's last one. A kind whose
// clock starts more than kMaxKindOffsetUs away from the other's, or that jumps
// back more than kMaxBackwardUs, or forward by far more than the local clock
// moved, is placed by the local clock from there on. Small steps back are
// left for the file to straighten (a repeat becomes last + 1 there).
int64_t TimeLinePlace(SessionTimeLine& line, MediaKind kind, int64_t i64Value, uint32_t nTimeScale,
                      uint64_t qwTicks);

// Where "now" (qwTicks) lies: the latest time plus the local time since it.
int64_t TimeLineNow(const SessionTimeLine& line, uint64_t qwTicks);

inline constexpr int64_t kMaxKindOffsetUs = 2 * kMicrosPerSecond;
inline constexpr int64_t kMaxBackwardUs = 1 * kMicrosPerSecond;
inline constexpr int64_t kMaxLeadUs = 5 * kMicrosPerSecond;
