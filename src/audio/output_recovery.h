// When a sound output that went away is opened again. A headset unplugged, or
// a monitor's sound gone with the monitor asleep, fails a write or stops
// handing buffers back; the output is then closed and opened again when
// sound comes, at most once a second, so that a device that stays away costs
// one attempt a second and one log line in all. Plain logic over times given
// by the caller.
#pragma once

#include <cstdint>

inline constexpr uint64_t kReopenIntervalMs = 1000;
// An open output hands a 10 ms buffer back every 10 ms; none for this long
// means its device has gone without saying so.
inline constexpr uint64_t kOutputStallMs = 2000;

struct OutputRecovery {
  bool bOpen = false;
  bool bOpenAtOnce = true;  // a new format: open without waiting for sound
  bool bAttempted = false;
  uint64_t qwLastAttempt = 0;
  bool bFailureSaid = false;  // the failed attempts since the last success were logged
};

// The format changed (the output is closed for it): open again at once.
void RecoveryFormatChanged(OutputRecovery& recovery);

// Whether to open the output now: at once after a format change; after a
// failure when sound is waiting to be played and the last attempt is at
// least kReopenIntervalMs old. Never while it is open.
bool RecoveryShouldOpen(const OutputRecovery& recovery, bool bSoundWaiting, uint64_t qwNow);

// The result of an attempt at qwNow. True when it is to be logged: a success,
// and the first failure since the output last played.
bool RecoveryOpened(OutputRecovery& recovery, bool bOpened, uint64_t qwNow);

// The open output failed (a write, or no buffer back since qwLastProgress):
// it is to be closed, and opened again on the next sound.
void RecoveryLost(OutputRecovery& recovery);

// An open output whose last buffer came back at qwLastProgress has stalled.
bool OutputStalled(uint64_t qwLastProgress, uint64_t qwNow);
