// Log lines: printf-style formatting into one bounded line, handed to a
// destination. A line is formatted only when there is a destination for it.
#pragma once

#include <cstdarg>

inline constexpr int kLogLineCapacity = 2048;

// Where a finished line goes, with the context its caller gives.
using LogLineSink = void (*)(void* pContext, const char* szLine);

// Formats the line (cut to 2047 bytes) and hands it to pfnSink, in UTF-8;
// with a null sink nothing is formatted at all. szFormat is one of the
// program's own texts, in GBK (ASCII is GBK too); the values are put in as
// they are.
void LogFormatV(LogLineSink pfnSink, void* pContext, const char* szFormat, va_list args);
