// The whole receive path on arbitrary device traffic: each piece of the input
// is one bulk transfer of the simulated device; the receive loop frames,
// dispatches and answers them, and feeds video to the real decoder.
#include <cstdint>
#include <cstdlib>

#include "avc/access_unit.h"
#include "capture/receive_loop.h"
#include "capture/session_callbacks.h"
#include "fuzz_device.h"
#include "sim.h"
#include "video/video_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  // The decoder as start-up wires it; the rest of the table stays empty.
  g_Callbacks.videoSinks = AccessUnitSinks{};
  AddAccessUnitSink(g_Callbacks.videoSinks, DecodeAccessUnit, PrepareFuzzDecoder());
  CaptureSession& session = FreshFuzzSession();
  int nDevice = -1;
  if (!ConnectFuzzDevice(session, nDevice)) abort();

  const auto pieces = SplitFuzzInput({pData, nSize});
  for (const auto& piece : pieces) vsim::QueueTransfer(nDevice, {piece.begin(), piece.end()});
  // After the last transfer: one silent read (keep-alive), then a stop.
  int nReads = 0;
  const int nStopAt = static_cast<int>(pieces.size()) + 2;
  vsim::SetReadHook([&session, &nReads, nStopAt] {
    if (++nReads >= nStopAt) session.nRunState.store(kRunStopRequested);
  });
  ReceiveLoop(session);
  vsim::SetReadHook(nullptr);
  DisconnectFuzzDevice(session);
  return 0;
}
