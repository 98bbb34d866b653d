#include "app/window_status.h"

#include <atomic>
#include <mutex>

#include "app/shell.h"
#include "app/window_notice.h"
#include "platform/clock.h"

namespace {

std::mutex g_StatusMutex;
LinkStatus g_Status;
std::string g_szUdid;
// Set while the current connection has shown a picture: pictures after the
// first then skip the lock.
std::atomic<bool> g_bFreshPicture{false};

}  // namespace

void ResetWindowStatus(const std::string& szUdid, uint64_t qwNow) {
  const std::lock_guard lock(g_StatusMutex);
  g_Status = LinkStatus{};
  g_Status.qwSearchingSince = qwNow;
  g_szUdid = szUdid;
  g_bFreshPicture.store(false);
}

void PublishLinkReport(const LinkReport& report) {
  {
    const std::lock_guard lock(g_StatusMutex);
    ApplyLinkReport(g_Status, report, ClockTicks());
    g_bFreshPicture.store(g_Status.bFreshPicture);
  }
  ShellRequestRepaint(nullptr);
}

void OnPicturePublished(void* /*pContext*/) {
  if (!g_bFreshPicture.load()) {
    const std::lock_guard lock(g_StatusMutex);
    ApplyNewPicture(g_Status);
    g_bFreshPicture.store(true);
  }
  ShellRequestRepaint(nullptr);
}

WindowText CurrentWindowText(bool bHasPicture, uint64_t qwNow) {
  const WindowNotice notice = DueWindowNotice(qwNow);
  const std::lock_guard lock(g_StatusMutex);
  return ComposeWindowText(g_Status, g_szUdid, bHasPicture, notice.szText, notice.qwUntil, qwNow);
}

LinkStage CurrentLinkStage() {
  const std::lock_guard lock(g_StatusMutex);
  return g_Status.stage;
}
