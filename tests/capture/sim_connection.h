// A host connected to a scripted simulated device, as the capture thread
// leaves it when the receive loop starts: device open, capture configuration
// selected, capture interface claimed. Runs on the virtual clock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "device/capture_session.h"
#include "sim.h"

namespace captest {

struct SimConnection {
  SimConnection();
  ~SimConnection();
  SimConnection(const SimConnection&) = delete;
  SimConnection& operator=(const SimConnection&) = delete;

  CaptureSession& Session() { return *pSession; }

  // What the host did on the wire since the connection was made: bulk
  // writes, control requests and resets, in order.
  std::vector<vsim::Event> HostEvents() const;
  std::vector<std::vector<uint8_t>> Writes() const;

  std::unique_ptr<CaptureSession> pSession;
  int nDevice = -1;
  bool bConnected = false;
  size_t nEventsAtStart = 0;
};

// Counts the bulk reads the host starts; with nStopAt > 0, stores the stop
// request into the session at that read (the read itself still runs).
struct ReadCounter {
  int nReads = 0;
  int nStopAt = 0;
};
void InstallReadCounter(CaptureSession& session, ReadCounter& counter);

}  // namespace captest
