#include "audio/output_recovery.h"

void RecoveryFormatChanged(OutputRecovery& recovery) {
  recovery.bOpen = false;
  recovery.bOpenAtOnce = true;
}

bool RecoveryShouldOpen(const OutputRecovery& recovery, bool bSoundWaiting, uint64_t qwNow) {
  if (recovery.bOpen) return false;
  if (recovery.bOpenAtOnce) return true;
  return bSoundWaiting &&
         (!recovery.bAttempted || qwNow - recovery.qwLastAttempt >= kReopenIntervalMs);
}

bool RecoveryOpened(OutputRecovery& recovery, bool bOpened, uint64_t qwNow) {
  recovery.bOpen = bOpened;
  recovery.bOpenAtOnce = false;
  recovery.bAttempted = true;
  recovery.qwLastAttempt = qwNow;
  if (bOpened) {
    recovery.bFailureSaid = false;
    return true;
  }
  const bool bSay = !recovery.bFailureSaid;
  recovery.bFailureSaid = true;
  return bSay;
}

void RecoveryLost(OutputRecovery& recovery) {
  recovery.bOpen = false;
  recovery.bOpenAtOnce = false;
}

bool OutputStalled(uint64_t qwLastProgress, uint64_t qwNow) {
  return qwNow > qwLastProgress && qwNow - qwLastProgress >= kOutputStallMs;
}
