#include "device/capture_thread.h"

#include "capture/capture_log.h"
#include "capture/capture_session.h"
#include "capture/link_report.h"
#include "capture/receive_loop.h"
#include "device/capture_activation.h"
#include "device/device_name_lookup.h"
#include "log/log_texts.h"
#include "platform/clock.h"

namespace {

constexpr uint32_t kBetweenAttemptsWaitMs = 1000;
constexpr uint32_t kStopWaitMs = 1000;

void RunAttempt(CaptureSession& session) {
  ResetCaptureState(session);
  if (!PrepareCaptureDevice(session)) return;
  LogMessage(&session, kLogCapturing);
  ReportLinkStage(&session, LinkStage::Receiving);
  // The name serves the log alone; it is read once a connection, while the
  // pictures already come. A lookup still running when the connection ends
  // is cut short: the stop does not wait for a hung tool.
  DeviceNameLookup nameLookup;
  StartDeviceNameLookup(nameLookup, session);
  ReceiveLoop(session);
  EndDeviceNameLookup(nameLookup);
  // The loss is said at once, not after the wait: the device is gone from the
  // user's view now. Then the pause before the next attempt; a stop has none
  // to wait for, and the stop sequence waits its own second.
  if (session.nRunState.load() == kRunRunning) {
    ReportLinkStage(&session, LinkStage::Lost);
    ClockSleep(kBetweenAttemptsWaitMs);
  }
}

void RunStopSequence(CaptureSession& session) {
  TurnCaptureModeOff(session);
  ClockSleep(kStopWaitMs);
  ResetCaptureState(session);
  session.nRunState.store(kRunStopped);
}

}  // namespace

void ResetCaptureState(CaptureSession& session) {
  // Closing the handle also releases the claimed interface.
  if (session.pDevHandle != nullptr) {
    usb_close(session.pDevHandle);
    session.pDevHandle = nullptr;
  }
  ResetCaptureSession(session);
}

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
