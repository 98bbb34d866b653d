#include "capture/link_report.h"

#include "capture/capture_session.h"
#include "capture/session_callbacks.h"

void ReportLink(const CaptureSession* pSession, const LinkReport& report) {
  if (pSession == nullptr || g_Callbacks.onLinkReport == nullptr) return;
  g_Callbacks.onLinkReport(pSession->pCallbackContext, report);
}

void ReportLinkStage(const CaptureSession* pSession, LinkStage stage) {
  LinkReport report;
  report.stage = stage;
  ReportLink(pSession, report);
}
