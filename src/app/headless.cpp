#include "app/headless.h"

#ifndef _WIN32
#include <signal.h>

namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
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

#else

// The Windows program is a window program without a console to be stopped from.
bool PrepareHeadless() {
  return false;
}

void WaitForStopRequest() {}

#endif
