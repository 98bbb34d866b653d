// The one log function of the capture side: formats a printf-style line into a
// 2048-byte buffer and hands it to the onLog slot with the session's context.
#pragma once

struct CaptureSession;

inline constexpr int kLogLineCapacity = 2048;

// A line longer than 2047 bytes is cut to 2047; nothing is logged (or even
// formatted) when the slot is empty. pSession may be null (context null).
void LogMessage(const CaptureSession* pSession, const char* szFormat, ...)
    __attribute__((format(printf, 2, 3)));
