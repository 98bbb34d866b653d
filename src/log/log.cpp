#include "log/log.h"

#include <cstdarg>
#include <cstdio>

#include "device/capture_session.h"
#include "video/session_callbacks.h"

void LogMessage(const CaptureSession* pSession, const char* szFormat, ...) {
  if (g_Callbacks.onLog == nullptr) return;
  // vsnprintf cuts an overlong line at 2047 bytes and always terminates it,
  // where the checking formatter would end the process.
  char szLine[kLogLineCapacity] = {};
  va_list args;
  va_start(args, szFormat);
  vsnprintf(szLine, sizeof szLine, szFormat, args);
  va_end(args);
  g_Callbacks.onLog(pSession != nullptr ? pSession->pCallbackContext : nullptr, szLine);
}
