// The capture thread: connection attempts until a stop is requested.
#pragma once

#include <cstdint>

struct CaptureSession;

// Per-attempt reset of the session (closes an open handle).
void ResetCaptureState(CaptureSession& session);

// The thread procedure; returns 0 once the stop sequence has run.
uint32_t CaptureThreadProc(CaptureSession* pSession);
