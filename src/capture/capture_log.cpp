#include "capture/capture_log.h"

#include "capture/capture_session.h"
#include "capture/session_callbacks.h"

void LogMessage(const CaptureSession* pSession, const char* szFormat, ...) {
  if (!LogEnabled()) return;
  va_list args;
  va_start(args, szFormat);
  LogFormatV(g_Callbacks.onLog, pSession != nullptr ? pSession->pCallbackContext : nullptr,
             szFormat, args);
  va_end(args);
}

bool LogEnabled() {
  return g_Callbacks.onLog != nullptr;
}
