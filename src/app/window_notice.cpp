#include "app/window_notice.h"

#include <mutex>

#include "app/shell.h"
#include "platform/clock.h"

namespace {

std::mutex g_NoticeMutex;
std::string g_szNotice;
uint64_t g_qwNoticeUntil = 0;

}  // namespace

void PostWindowNotice(std::string_view szUtf8Text) {
  {
    const std::lock_guard lock(g_NoticeMutex);
    g_szNotice = szUtf8Text;
    g_qwNoticeUntil = ClockTicks() + kNoticeMilliseconds;
  }
  ShellRequestRepaint(nullptr);
}

std::string CurrentWindowNotice(uint64_t qwNow) {
  const std::lock_guard lock(g_NoticeMutex);
  return qwNow < g_qwNoticeUntil ? g_szNotice : std::string();
}

WindowNotice DueWindowNotice(uint64_t qwNow) {
  const std::lock_guard lock(g_NoticeMutex);
  if (qwNow >= g_qwNoticeUntil) return {};
  return {g_szNotice, g_qwNoticeUntil};
}
