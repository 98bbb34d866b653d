#include "capture/capture_session.h"

#include <cstring>
#include <new>

#include "platform/clock.h"

std::unique_ptr<CaptureSession> CreateCaptureSession(const std::string& szUtf8Udid) {
  // A UDID cut to fit the field could match another device's serial.
  if (szUtf8Udid.size() >= sizeof CaptureSession::szUDID) return nullptr;
  // Allocation failures are answered with null rather than an exception: the
  // caller turns them into its start-up failure.
  std::unique_ptr<CaptureSession> pSession(new (std::nothrow) CaptureSession);
  if (pSession == nullptr) return nullptr;
  pSession->pRecvBuffer.reset(new (std::nothrow) uint8_t[kReceiveBufferSize]);
  if (pSession->pRecvBuffer == nullptr) return nullptr;

  std::memcpy(pSession->szUDID, szUtf8Udid.data(), szUtf8Udid.size());
  pSession->szUDID[szUtf8Udid.size()] = '\0';

  pSession->qwSyncClockStart = ClockTicks();
  pSession->qwLocalClockStart = ClockTicks();
  // Start-up sets 1 just before it starts the thread.
  pSession->nRunState.store(kRunStopped);
  return pSession;
}

void ResetAudioClock(CaptureSession& session) {
  session.bAudioClockStarted = false;
  session.qwFirstAudioPts = 0;
  session.qwFirstAudioLocal = 0;
  session.qwLastAudioPts = 0;
  session.qwLastAudioLocal = 0;
}

void ResetCaptureSession(CaptureSession& session) {
  session.pDevice = nullptr;
  session.szDeviceUdid.clear();
  session.MuxConfig = UsbConfigChoice{};
  session.QtConfig = UsbConfigChoice{};

  session.qwNeedClockRef = 0;
  session.vecNeedPacket.clear();
  ResetAudioClock(session);

  session.bAudioHeadMissing = true;
  session.bFirstProcessVideo = true;
  session.nVideoHeadSet = 0;
  session.vecVideoRecord.clear();
  session.bVideoRecordNew = false;
  session.bFirstAsynNotified = false;

  // TIME replies after a reconnection count from this attempt.
  session.qwSyncClockRef = 0;
  session.qwSyncClockStart = ClockTicks();
  session.qwLocalClockStart = ClockTicks();

  // Bytes of the previous connection that were never handled are dropped.
  session.nPendingOffset = 0;
  session.nPendingLength = 0;
}
