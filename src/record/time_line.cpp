#include "record/time_line.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

bool Within(int64_t i64Value, int64_t i64Below, int64_t i64Above) {
  return i64Value >= -i64Below && i64Value <= i64Above;
}

}  // namespace

int64_t SaturatedAdd(int64_t a, int64_t b) {
  int64_t i64Sum = 0;
  if (__builtin_add_overflow(a, b, &i64Sum)) return b > 0 ? kMax : kMin;
  return i64Sum;
}

int64_t SaturatedSub(int64_t a, int64_t b) {
  int64_t i64Difference = 0;
  if (__builtin_sub_overflow(a, b, &i64Difference)) return b < 0 ? kMax : kMin;
  return i64Difference;
}

int64_t DeviceMicros(int64_t i64Value, uint32_t nTimeScale) {
  const int64_t i64Scale = nTimeScale;
  const int64_t i64Seconds = i64Value / i64Scale;
  // |remainder| < 2^32, so its product with a million stays far inside 63 bits.
  const int64_t i64Fraction = i64Value % i64Scale * kMicrosPerSecond / i64Scale;
  int64_t i64Whole = 0;
  if (__builtin_mul_overflow(i64Seconds, kMicrosPerSecond, &i64Whole))
    return i64Seconds > 0 ? kMax : kMin;
  return SaturatedAdd(i64Whole, i64Fraction);
}

void TimeLineNewConnection(SessionTimeLine& line) {
  line.kinds[0].bAnchored = false;
  line.kinds[1].bAnchored = false;
}

int64_t TimeLinePlace(SessionTimeLine& line, MediaKind kind, int64_t i64Value, uint32_t nTimeScale,
                      uint64_t qwTicks) {
  if (!line.bStarted) {
    line.bStarted = true;
    line.qwOriginTicks = qwTicks;
  }
  const int64_t i64ArrivalUs = TimeLineNow(line, qwTicks);
  if (nTimeScale == 0) return i64ArrivalUs;
  KindClock& clock = line.kinds[static_cast<int>(kind)];
  const int64_t i64DeviceUs = DeviceMicros(i64Value, nTimeScale);
  const int64_t i64ArrivalOffset = SaturatedSub(i64ArrivalUs, i64DeviceUs);
  if (!clock.bAnchored) {
    clock = KindClock{true, i64ArrivalOffset, 0, 0};
    return i64ArrivalUs;
  }
  const int64_t i64PlacedUs = SaturatedAdd(i64DeviceUs, clock.i64OffsetUs);
  const int64_t i64LateUs = SaturatedSub(i64ArrivalUs, i64PlacedUs);
  if (Within(i64LateUs, kMaxEarlyUs, kMaxLateUs)) {
    clock.nCandidateSamples = 0;
    // Towards arrival by a sixteenth, so a clock that drifts is followed
    // while a single late transfer moves nothing that anyone sees.
    clock.i64OffsetUs =
        SaturatedAdd(clock.i64OffsetUs, std::clamp(i64LateUs / 16, -kMaxSlewUs, kMaxSlewUs));
    return i64PlacedUs;
  }
  const int64_t i64Change = SaturatedSub(i64ArrivalOffset, clock.i64CandidateUs);
  if (clock.nCandidateSamples > 0 && Within(i64Change, kMaxEarlyUs, kMaxEarlyUs)) {
    ++clock.nCandidateSamples;
  } else {
    clock.i64CandidateUs = i64ArrivalOffset;
    clock.nCandidateSamples = 1;
  }
  if (clock.nCandidateSamples >= kStepSamples) {
    clock.i64OffsetUs = i64ArrivalOffset;
    clock.nCandidateSamples = 0;
  }
  return i64ArrivalUs;
}

int64_t TimeLineNow(const SessionTimeLine& line, uint64_t qwTicks) {
  if (!line.bStarted || qwTicks <= line.qwOriginTicks) return 0;
  const uint64_t qwMs = qwTicks - line.qwOriginTicks;
  return qwMs > static_cast<uint64_t>(kMax / 1000) ? kMax : static_cast<int64_t>(qwMs) * 1000;
}
