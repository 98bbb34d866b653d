#include "record/time_line.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

int64_t TicksToMicros(uint64_t qwFrom, uint64_t qwTo) {
  return qwTo > qwFrom ? static_cast<int64_t>(qwTo - qwFrom) * 1000 : 0;
}

void Anchor(KindAnchor& anchor, int64_t i64DeviceUs, int64_t i64SessionUs) {
  anchor.bAnchored = true;
  anchor.i64DeviceUs = i64DeviceUs;
  anchor.i64SessionUs = i64SessionUs;
}

// The first sample of a connection: at 0 for the very first, else after the
// latest time by as much as the local clock moved since.
void AnchorConnection(SessionTimeLine& line, int64_t i64DeviceUs, uint64_t qwTicks) {
  line.bConnectionAnchored = true;
  line.i64OriginDeviceUs = i64DeviceUs;
  line.i64OriginSessionUs =
      line.bStarted ? line.i64LatestUs + TicksToMicros(line.qwLatestTicks, qwTicks) : 0;
  line.qwOriginTicks = qwTicks;
  line.kinds[0].bAnchored = false;
  line.kinds[1].bAnchored = false;
}

int64_t PlaceByDeviceTime(SessionTimeLine& line, KindAnchor& anchor, int64_t i64DeviceUs,
                          uint64_t qwTicks) {
  if (!line.bConnectionAnchored) AnchorConnection(line, i64DeviceUs, qwTicks);
  if (!anchor.bAnchored) {
    const int64_t i64Offset = i64DeviceUs - line.i64OriginDeviceUs;
    if (i64Offset > kMaxKindOffsetUs || i64Offset < -kMaxKindOffsetUs) {
      // This kind runs on a clock of its own: it starts where the local clock is.
      Anchor(anchor, i64DeviceUs,
             line.i64OriginSessionUs + TicksToMicros(line.qwOriginTicks, qwTicks));
    } else {
      Anchor(anchor, i64DeviceUs, line.i64OriginSessionUs + i64Offset);
    }
    return anchor.i64SessionUs;
  }
  const int64_t i64Placed = anchor.i64SessionUs + (i64DeviceUs - anchor.i64DeviceUs);
  const int64_t i64Elapsed = TicksToMicros(anchor.qwLastTicks, qwTicks);
  if (i64Placed < anchor.i64LastUs - kMaxBackwardUs ||
      i64Placed > anchor.i64LastUs + i64Elapsed + kMaxLeadUs) {
    // The device's clock jumped: go on from the last time by the local clock.
    Anchor(anchor, i64DeviceUs, anchor.i64LastUs + i64Elapsed);
    return anchor.i64SessionUs;
  }
  return i64Placed;
}

}  // namespace

void TimeLineNewConnection(SessionTimeLine& line) {
  line.bConnectionAnchored = false;
}

int64_t TimeLinePlace(SessionTimeLine& line, MediaKind kind, int64_t i64Value, uint32_t nTimeScale,
                      uint64_t qwTicks) {
  KindAnchor& anchor = line.kinds[static_cast<int>(kind)];
  int64_t i64Placed = 0;
  if (nTimeScale == 0) {
    if (anchor.bAnchored) {
      i64Placed = anchor.i64LastUs + TicksToMicros(anchor.qwLastTicks, qwTicks);
    } else {
      i64Placed = TimeLineNow(line, qwTicks);
    }
  } else {
    const int64_t i64DeviceUs = av_rescale(i64Value, kMicrosPerSecond, nTimeScale);
    i64Placed = PlaceByDeviceTime(line, anchor, i64DeviceUs, qwTicks);
  }
  anchor.i64LastUs = i64Placed;
  anchor.qwLastTicks = qwTicks;
  if (!line.bStarted || i64Placed > line.i64LatestUs) {
    line.i64LatestUs = i64Placed;
    line.qwLatestTicks = qwTicks;
  }
  line.bStarted = true;
  return i64Placed;
}

int64_t TimeLineNow(const SessionTimeLine& line, uint64_t qwTicks) {
  if (!line.bStarted) return 0;
  return line.i64LatestUs + TicksToMicros(line.qwLatestTicks, qwTicks);
}
