#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::atomic<bool> g_bVirtual{false};
std::atomic<uint64_t> g_qwVirtualNow{0};

}  // namespace

uint64_t ClockTicks() {
  if (g_bVirtual.load()) return g_qwVirtualNow.load();
#ifdef _WIN32
  return GetTickCount64();
#else
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
#endif
}

void ClockSleep(uint32_t nMilliseconds) {
  if (g_bVirtual.load()) {
    g_qwVirtualNow.fetch_add(nMilliseconds);
    // Let other threads run, as a real sleep would: a virtual reconnect loop
    // must not starve the thread that is about to stop it.
    std::this_thread::yield();
    return;
  }
#ifdef _WIN32
  Sleep(nMilliseconds);
#else
  std::this_thread::sleep_for(std::chrono::milliseconds(nMilliseconds));
#endif
}

void UseVirtualClock(uint64_t qwStart) {
  g_qwVirtualNow.store(qwStart);
  g_bVirtual.store(true);
}

void AdvanceVirtualClock(uint64_t qwMilliseconds) {
  g_qwVirtualNow.fetch_add(qwMilliseconds);
}

void UseRealClock() {
  g_bVirtual.store(false);
}

bool IsVirtualClock() {
  return g_bVirtual.load();
}
