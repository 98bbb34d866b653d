#include "device/capture_thread.h"

#include "capture/receive_loop.h"
#include "device/capture_activation.h"
#include "device/capture_session.h"
#include "log/log.h"
#include "log/log_texts.h"
#include "platform/clock.h"

namespace {

constexpr uint32_t kBetweenAttemptsWaitMs = 1000;
constexpr uint32_t kStopWaitMs = 1000;

void RunAttempt(CaptureSession& session) {
  ResetCaptureState(session);
  if (!PrepareCaptureDevice(session)) return;
  LogMessage(&session, kLogCapturing);
  ReceiveLoop(session);
  ClockSleep(kBetweenAttemptsWaitMs);
}

void RunStopSequence(CaptureSession& session) {
  TurnCaptureModeOff(session);
  ClockSleep(kStopWaitMs);
  ResetCaptureState(session);
  session.nRunState.store(kRunStopped);
}

}  // namespace

uint32_t CaptureThreadProc(CaptureSession* pSession) {
  if (pSession == nullptr) return 0;
  CaptureSession& session = *pSession;
  // The state is read only between attempts; within one, the receive loop
  // watches it. The thread never writes 1 itself, so a stop requested before
  // it first looks is honoured.
  for (;;) {
    const int32_t nRunState = session.nRunState.load();
    if (nRunState == kRunRunning) {
      RunAttempt(session);
      continue;
    }
    if (nRunState != kRunStopped && nRunState != kRunStopRequested) {
      LogMessage(&session, kLogUnknownRunState, nRunState);
    }
    break;
  }
  RunStopSequence(session);
  return 0;
}
