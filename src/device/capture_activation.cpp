#include "device/capture_activation.h"

#include "capture/capture_log.h"
#include "capture/link_report.h"
#include "device/usb_discovery.h"
#include "log/log_texts.h"
#include "platform/clock.h"

namespace {

constexpr int kModeRequestType = 0x40;  // host to device, vendor, recipient device
constexpr int kModeRequest = 0x52;
constexpr int kModeIndexOn = 2;
constexpr int kModeIndexOff = 0;

constexpr uint32_t kRetryWaitMs = 1000;
// The device re-enumerates after the mode request; give it time before the
// next scan looks for the capture interface.
constexpr uint32_t kAfterModeOnWaitMs = 2000;

void CloseDevice(CaptureSession& session) {
  usb_close(session.pDevHandle);
  session.pDevHandle = nullptr;
  session.pDevice = nullptr;
}

}  // namespace

int SetQTMode(usb_dev_handle* pDevHandle, bool bOn) {
  return usb_control_msg(pDevHandle, kModeRequestType, kModeRequest, 0,
                         bOn ? kModeIndexOn : kModeIndexOff, nullptr, 0, kUsbTransferTimeoutMs);
}

int SetQTConfigAndInterface(CaptureSession& session) {
  const int nResult = usb_set_configuration(session.pDevHandle, session.QtConfig.nConfig);
  if (nResult != 0) return nResult;
  return usb_claim_interface(session.pDevHandle, session.QtConfig.nInterface);
}

bool PrepareCaptureDevice(CaptureSession& session) {
  LogMessage(&session, kLogInitialising);
  LinkReport seen;  // a search, with what it saw
  if (OpenDevice(session, session.szUDID, &seen) != kOpenDeviceOk) {
    LogMessage(&session, kLogOpenDeviceFailed);
    ReportLink(&session, seen);
    ClockSleep(kRetryWaitMs);
    return false;
  }
  LogMessage(&session, kLogOpenDeviceOk);
  ReportLinkStage(&session, LinkStage::Activating);
  FindMuxAndQtConfig(session, session.pDevice, session.MuxConfig, session.QtConfig);

  if (!IsConfigFound(session.QtConfig)) {
    LogMessage(&session, kLogNotInCaptureMode);
    ClockSleep(kRetryWaitMs);
    if (SetQTMode(session.pDevHandle, true) != 0) {
      // The handle stays open; the next attempt's reset closes it.
      LogMessage(&session, kLogCaptureModeOnFailed);
      ClockSleep(kRetryWaitMs);
      return false;
    }
    LogMessage(&session, kLogCaptureModeOnOk);
    ClockSleep(kAfterModeOnWaitMs);
    // The device record is stale once the device has re-enumerated: only a
    // fresh scan in the next attempt shows the capture interface.
    CloseDevice(session);
    return false;
  }

  LogMessage(&session, kLogInCaptureMode);
  if (SetQTConfigAndInterface(session) != 0) {
    LogMessage(&session, kLogSetConfigFailed);
    ClockSleep(kRetryWaitMs);
    return false;
  }
  ClockSleep(kRetryWaitMs);
  return true;
}

void TurnCaptureModeOff(CaptureSession& session) {
  if (session.pDevHandle != nullptr) SetQTMode(session.pDevHandle, false);
}
