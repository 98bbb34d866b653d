// Framing: ReceivePacket over bulk transfers of 1 MiB holding many packets of
// one size, against memcpy of the same bytes. Budget: memory-copy speed.
//
//   BM_ReceivePacket      every packet of a transfer handed out, from the bulk
//                         read on (the read is the simulated device's: it
//                         copies the transfer into the receive buffer, which a
//                         real device's DMA does without the CPU)
//   BM_DeviceRead         that bulk read alone, to take it out of the above
//   BM_ReceivePending     the packets after the first, from the pending store
//                         (the receive buffer) filled directly: no device at all
//   BM_MemcpyTransfer     one memcpy of the transfer
//   BM_MemcpyPackets      one memcpy per packet (what handing out each packet
//                         in its own array needs at the least)
//
// The host's framing rate is the transfer's bytes over (ReceivePacket less
// DeviceRead); it is printed against both memcpy rates at the end.
//
//   cmake --build build-bench --target framing_bench
//   build-bench/framing_bench
//   build-bench/framing_bench --benchmark_filter=/65536
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "capture/capture_session.h"
#include "capture/receive_loop.h"
#include "device/capture_activation.h"
#include "platform/clock.h"
#include "sim.h"

namespace {

constexpr char kSerial[] = "00008101000A1B2C3D4E5F60";
constexpr char kUdid[] = "00008101-000A1B2C3D4E5F60";
constexpr size_t kTransferBytes = size_t{1} << 20;

// A host as the capture thread leaves it when the receive loop starts, on a
// device that sends only what is queued. Virtual clock: no waits.
struct Connection {
  std::unique_ptr<CaptureSession> pSession;
  int nDevice = -1;
};

Connection& GetConnection() {
  static Connection connection = [] {
    Connection made;
    UseVirtualClock(1'000'000);
    vsim::Reset();
    vsim::DeviceConfig config;
    config.serial = kSerial;
    config.bCaptureModeOn = true;
    config.behaviour = vsim::Behaviour::Scripted;
    made.nDevice = vsim::AddDevice(config);
    made.pSession = CreateCaptureSession(kUdid);
    made.pSession->nRunState.store(kRunRunning);
    if (!PrepareCaptureDevice(*made.pSession)) {
      std::fprintf(stderr, "capture interface not claimed\n");
      std::exit(1);
    }
    return made;
  }();
  return connection;
}

// Packets of nPacket bytes back to back, as many as fit in 1 MiB.
std::vector<uint8_t> MakeTransfer(size_t nPacket) {
  std::vector<uint8_t> transfer((kTransferBytes / nPacket) * nPacket);
  for (size_t nOffset = 0; nOffset < transfer.size(); nOffset += nPacket) {
    const auto nLength = static_cast<uint32_t>(nPacket);
    std::memcpy(transfer.data() + nOffset, &nLength, 4);
    std::memcpy(transfer.data() + nOffset + 4, "nysa", 4);
    for (size_t i = 8; i < nPacket; ++i) transfer[nOffset + i] = static_cast<uint8_t>(i);
  }
  return transfer;
}

void BM_ReceivePacket(benchmark::State& state) {
  Connection& connection = GetConnection();
  CaptureSession& session = *connection.pSession;
  const std::vector<uint8_t> transfer = MakeTransfer(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> vecPacket;
  for (auto _ : state) {
    state.PauseTiming();
    vsim::QueueTransfer(connection.nDevice, transfer);
    state.ResumeTiming();
    int32_t nResult = ReceivePacket(session, vecPacket);
    while (nResult > 0 && session.nPendingLength != 0) nResult = ReceivePacket(session, vecPacket);
    benchmark::DoNotOptimize(vecPacket.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * transfer.size()));
}

void BM_DeviceRead(benchmark::State& state) {
  Connection& connection = GetConnection();
  CaptureSession& session = *connection.pSession;
  const std::vector<uint8_t> transfer = MakeTransfer(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    vsim::QueueTransfer(connection.nDevice, transfer);
    state.ResumeTiming();
    usb_bulk_read(session.pDevHandle, session.QtConfig.byInEndpoint,
                  reinterpret_cast<char*>(session.pRecvBuffer.get()),
                  static_cast<int>(kReceiveBufferSize), 1000);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * transfer.size()));
}

void BM_ReceivePending(benchmark::State& state) {
  CaptureSession& session = *GetConnection().pSession;
  const size_t nPacket = static_cast<size_t>(state.range(0));
  const std::vector<uint8_t> transfer = MakeTransfer(nPacket);
  std::vector<uint8_t> vecPacket;
  for (auto _ : state) {
    state.PauseTiming();
    // As a read leaves them: the pending packets stay in the receive buffer.
    std::memcpy(session.pRecvBuffer.get(), transfer.data(), transfer.size());
    session.nPendingOffset = 0;
    session.nPendingLength = static_cast<uint32_t>(transfer.size());
    state.ResumeTiming();
    while (session.nPendingLength != 0) ReceivePacket(session, vecPacket);
    benchmark::DoNotOptimize(vecPacket.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * transfer.size()));
}

void BM_MemcpyTransfer(benchmark::State& state) {
  const std::vector<uint8_t> transfer = MakeTransfer(static_cast<size_t>(state.range(0)));
  std::vector<uint8_t> vecCopy(transfer.size());
  for (auto _ : state) {
    std::memcpy(vecCopy.data(), transfer.data(), transfer.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * transfer.size()));
}

void BM_MemcpyPackets(benchmark::State& state) {
  const size_t nPacket = static_cast<size_t>(state.range(0));
  const std::vector<uint8_t> transfer = MakeTransfer(nPacket);
  std::vector<uint8_t> vecCopy(nPacket);
  for (auto _ : state) {
    for (size_t nOffset = 0; nOffset < transfer.size(); nOffset += nPacket) {
      std::memcpy(vecCopy.data(), transfer.data() + nOffset, nPacket);
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * transfer.size()));
}

// Each repetition's bytes per second, by benchmark name (size included).
class RateReporter : public benchmark::ConsoleReporter {
 public:
  RateReporter() : benchmark::ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const auto it = run.counters.find("bytes_per_second");
      if (it == run.counters.end()) continue;
      const std::string szName = run.benchmark_name();
      rates[szName.substr(0, szName.find("/repeats:"))].push_back(it->second.value);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, std::vector<double>> rates;
};

constexpr int64_t kSizes[] = {16, 64, 1024, 16384, 262144};

}  // namespace

BENCHMARK(BM_ReceivePacket)->Arg(16)->Arg(64)->Arg(1024)->Arg(16384)->Arg(262144)->Repetitions(5);
BENCHMARK(BM_DeviceRead)->Arg(16)->Arg(64)->Arg(1024)->Arg(16384)->Arg(262144)->Repetitions(5);
BENCHMARK(BM_ReceivePending)->Arg(16)->Arg(64)->Arg(1024)->Arg(16384)->Arg(262144)->Repetitions(5);
BENCHMARK(BM_MemcpyTransfer)->Arg(16)->Arg(64)->Arg(1024)->Arg(16384)->Arg(262144)->Repetitions(5);
BENCHMARK(BM_MemcpyPackets)->Arg(16)->Arg(64)->Arg(1024)->Arg(16384)->Arg(262144)->Repetitions(5);

int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  // Repetitions of the compared benchmarks alternate unless the command line says otherwise.
  std::string szInterleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, szInterleave.data());
  int nArgs = static_cast<int>(args.size());
  benchmark::Initialize(&nArgs, args.data());
  if (benchmark::ReportUnrecognizedArguments(nArgs, args.data())) return 1;
  GetConnection();
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const auto Rate = [&reporter](const char* szName, int64_t nSize) {
    return Median(reporter.rates[std::string(szName) + "/" + std::to_string(nSize)]);
  };
  std::printf(
      "\npacket bytes | framing GB/s (ReceivePacket less the device's read) | pending "
      "store GB/s | memcpy transfer GB/s | memcpy per packet GB/s | framing/memcpy\n");
  for (const int64_t nSize : kSizes) {
    const double dWhole = Rate("BM_ReceivePacket", nSize);
    const double dRead = Rate("BM_DeviceRead", nSize);
    if (dWhole <= 0 || dRead <= 0) continue;
    // Rates of the same bytes: times add, so the framing's time is the difference.
    const double dFraming = dWhole > 0 && dRead > dWhole ? 1.0 / (1.0 / dWhole - 1.0 / dRead) : 0;
    const double dMemcpy = Rate("BM_MemcpyTransfer", nSize);
    std::printf("%12lld | %52.2f | %18.2f | %20.2f | %22.2f | %.2f\n",
                static_cast<long long>(nSize), dFraming / 1e9,
                Rate("BM_ReceivePending", nSize) / 1e9, dMemcpy / 1e9,
                Rate("BM_MemcpyPackets", nSize) / 1e9, dMemcpy > 0 ? dFraming / dMemcpy : 0);
  }
  return 0;
}
