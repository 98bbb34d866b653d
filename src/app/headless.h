// Running without a window (--no-window): recording a phone on a machine
// without a display, until the process is asked to stop.
#pragma once

// Whether this platform runs without a window. Where it does, the stop
// signals (SIGINT, SIGTERM, SIGHUP) are held back from every thread started after
// this call, so that WaitForStopRequest receives them.
bool PrepareHeadless();

// Returns once the process was asked to stop.
void WaitForStopRequest();

// With a window: SIGHUP closes it as SIGINT and SIGTERM do (Linux), instead of
// ending the process with the recording open and the phone left in capture.
void EndWindowOnHangUp();
