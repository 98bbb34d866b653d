// Switching the device into its screen-capture configuration and claiming
// the capture interface, one attempt at a time.
#pragma once

#include <cstdint>

#include "capture/capture_session.h"

// The vendor request that turns the capture configuration on or off; returns
// the control transfer's result (0 is success).
int SetQTMode(usb_dev_handle* pDevHandle, bool bOn);

// Selects QtConfig's configuration and claims its interface: 0 on success.
int SetQTConfigAndInterface(CaptureSession& session);

// One activation attempt, with its log lines and waits. True when the
// interface is claimed and the receive loop may run.
bool PrepareCaptureDevice(CaptureSession& session);

// At stop: the capture configuration off again, sent while the interface is
// still claimed, and only while a handle is open. The result changes nothing.
void TurnCaptureModeOff(CaptureSession& session);
