#include "log/log.h"

#include <cstdio>

void LogFormatV(LogLineSink pfnSink, void* pContext, const char* szFormat, va_list args) {
  if (pfnSink == nullptr) return;
  // vsnprintf cuts an overlong line at 2047 bytes and always terminates it,
  // where the checking formatter would end the process.
  char szLine[kLogLineCapacity] = {};
  vsnprintf(szLine, sizeof szLine, szFormat, args);
  pfnSink(pContext, szLine);
}
