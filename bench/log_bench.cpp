// What the log costs when nobody reads it. Before it could be switched off,
// the log slot always held a function that dropped the lines, so every line
// was formatted (and a format description's parameter sets dumped in hex) for
// nothing; now an empty slot means no formatting at all. Each case runs with
// the slot empty (off) and with a sink that drops the line (as before).
//
//   cmake --build build-bench --target log_bench
//   build-bench/log_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "capture/capture_log.h"
#include "capture/capture_session.h"
#include "capture/hex_string.h"
#include "capture/session_callbacks.h"

namespace {

void DropLine(void*, const char*) {}

void InstallSink(const benchmark::State& state) {
  g_Callbacks.onLog = state.range(0) != 0 ? DropLine : nullptr;
}

// The line of every cvrp, clok and time request.
void BM_SyncLine(benchmark::State& state) {
  InstallSink(state);
  CaptureSession session;
  uint64_t qwRef = 0x7FA66D0175C0;
  for (auto _ : state) {
    LogMessage(&session, "Send SYNC_CLOK {correlation:0x%016llx, clockRef:0x%016llx}",
               static_cast<unsigned long long>(qwRef), static_cast<unsigned long long>(qwRef + 1));
    ++qwRef;
  }
  g_Callbacks.onLog = nullptr;
}

// A format description's dump: 46 bytes of parameter sets, as a phone sends.
void BM_ParameterSetDump(benchmark::State& state) {
  InstallSink(state);
  CaptureSession session;
  const std::vector<uint8_t> record(46, 0x5A);
  for (auto _ : state) {
    if (LogEnabled()) {
      LogMessage(&session, "CMSampleBuf.FormatDescription.SPS_and_PPS : %s\n",
                 HexString(record).c_str());
    }
  }
  g_Callbacks.onLog = nullptr;
}

BENCHMARK(BM_SyncLine)->ArgName("sink")->Arg(0)->Arg(1);
BENCHMARK(BM_ParameterSetDump)->ArgName("sink")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
