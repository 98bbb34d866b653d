#include "app/headless.h"

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>

namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  // The terminal or ssh session that started an unattended recording went
  // away: the recording is closed and the phone switched back all the same.
  sigaddset(&signals, SIGHUP);
  return signals;
}

// The windowing library turns SIGTERM into the window's close; kill() is safe
// in a handler, and sends the process what it already knows how to end on.
void HangUpAsTerminate(int /*nSignal*/) {
  kill(getpid(), SIGTERM);
}

}  // namespace

bool PrepareHeadless() {
  const sigset_t signals = StopSignals();
  return pthread_sigmask(SIG_BLOCK, &signals, nullptr) == 0;
}

void WaitForStopRequest() {
  const sigset_t signals = StopSignals();
  int nSignal = 0;
  while (sigwait(&signals, &nSignal) != 0) {
  }
}

void EndWindowOnHangUp() {
  struct sigaction action {};
  action.sa_handler = HangUpAsTerminate;
  sigemptyset(&action.sa_mask);
  sigaction(SIGHUP, &action, nullptr);
}

#else

// The Windows program is a window program without a console to be stopped from.
bool PrepareHeadless() {
  return false;
}

void WaitForStopRequest() {}

void EndWindowOnHangUp() {}

#endif
