// The capture side's log: every line goes to the onLog slot of the callbacks
// table, with the session's context.
#pragma once

#include "log/log.h"

struct CaptureSession;

// pSession may be null (context null). Nothing is formatted while the slot is
// empty.
void LogMessage(const CaptureSession* pSession, const char* szFormat, ...)
    __attribute__((format(printf, 2, 3)));

// Whether a line would go anywhere: a caller that builds a costly argument (a
// hex dump) asks first.
bool LogEnabled();
