// Log lines: printf-style formatting into one bounded line, handed to a
// destination. A line is formatted only when there is a destination for it.
#pragma once

#include <cstdarg>

inline constexpr int kLogLineCapacity = 2048;

// Where a finished line goes, with the context its caller gives.
using LogLineSink = void (*)(void* pContext, const char* szLine);

// Formats the line (cut to 2047 bytes) and hands it to pfnSink; with a null
// sink nothing is formatted at all.
void LogFormatV(LogLineSink pfnSink, void* pContext, const char* szFormat, va_list args);
