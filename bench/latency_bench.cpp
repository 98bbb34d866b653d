// Picture latency: from the host's receipt of the last byte of a picture's
// feed packet (the bulk read that returns it) to the picture's publication in
// the frame store. The capture thread runs against the simulated device on
// the real clock, paced at the stream's 60 pictures a second, over a
// 1170x2532 High-profile x264 stream made at start. Beside it, in the same
// run, FFmpeg's own decode and conversion of the same pictures: each access
// unit handed to its parser -> decoder -> sws_scale loop as a whole (followed
// by an access unit delimiter, so the parser need not wait for the next one),
// paced the same way.
// Budget: median latency within decode+convert + 0.5 ms.
//
//   cmake --build build-bench --target latency_bench
//   build-bench/latency_bench                  (120 pictures, 2 laps, 3 rounds)
//   build-bench/latency_bench --frames=60 --laps=1 --rounds=5
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "app/session_wiring.h"
#include "bench_setup.h"
#include "bench_stats.h"
#include "capture/capture_session.h"
#include "capture/session_callbacks.h"
#include "device/capture_thread.h"
#include "ffmpeg_loop.h"
#include "sim.h"
#include "sim_packets.h"
#include "support/h264_maker.h"
#include "video/frame_store.h"
#include "video/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

// What the callbacks and the video sinks reach, for the whole run.
MirrorStages g_Stages;

constexpr uint8_t kAccessUnitDelimiter[] = {0, 0, 0, 1, 9, 0xF0};
constexpr int64_t kFrameNs = 1'000'000'000 / 60;

// One run, filled on the capture thread by the device's transfer hook and the
// frame store's notifier.
struct LatencyRun {
  CaptureSession* pSession = nullptr;
  int nTarget = 0;
  std::vector<int64_t> vecFeedArrivalNs;  // per feed packet, in order
  std::vector<double> vecLatencyMs;       // per picture, in order
};

LatencyRun* g_pRun = nullptr;

void OnTransfer(vsim::TransferPoint point, std::span<const uint8_t> bytes) {
  if (point != vsim::TransferPoint::ReadReturning) return;
  const int64_t qwNow = WallNs();
  for (int nFeed = CountFeeds(bytes); nFeed > 0; --nFeed) {
    g_pRun->vecFeedArrivalNs.push_back(qwNow);
  }
}

// Pictures come out in the order of their feeds: picture k is feed k's.
void OnPicturePublished(void*) {
  LatencyRun& run = *g_pRun;
  const size_t k = run.vecLatencyMs.size();
  if (k < run.vecFeedArrivalNs.size()) {
    run.vecLatencyMs.push_back(static_cast<double>(WallNs() - run.vecFeedArrivalNs[k]) / 1e6);
  }
  if (static_cast<int>(run.vecLatencyMs.size()) >= run.nTarget) {
    run.pSession->nRunState.store(kRunStopRequested);
  }
}

void RunPipeline(const BenchOptions& options, const std::vector<uint8_t>& annexB, LatencyRun& run) {
  AddSimulatedPhone(annexB, false);
  VideoDecoder decoder;
  OpenDecoderOrExit(decoder);
  std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kBenchUdid);
  g_Stages = MirrorStages{&decoder, nullptr};  // the sound is not measured here
  pSession->pCallbackContext = &g_Stages;
  run.pSession = pSession.get();
  // The last picture of the last lap is left out: a pipeline that waits for
  // the next sample would never publish it.
  run.nTarget = options.nLaps * options.nFrames - 1;
  g_pRun = &run;
  SetFramePublishedNotifier(OnPicturePublished, nullptr);
  vsim::SetTransferHook(OnTransfer);
  pSession->nRunState.store(kRunRunning);
  CaptureThreadProc(pSession.get());
  vsim::SetTransferHook(nullptr);
  SetFramePublishedNotifier(nullptr, nullptr);
  CloseVideoDecoder(decoder);
}

// FFmpeg's time for each access unit, fed whole with a delimiter after it, at
// the same pace as the device sends them: a decoder that idles between
// pictures finds its caches as cold as the pipeline's does.
void RunFfmpeg(const std::vector<vtest::Bytes>& accessUnits, int nLaps,
               std::vector<double>& vecStepMs) {
  FfmpegLoop loop;
  if (!OpenFfmpegLoop(loop)) return;
  std::vector<uint8_t> vecInput;
  const int64_t qwFirstNs = WallNs();
  int64_t nPicture = 0;
  for (int nLap = 0; nLap < nLaps; ++nLap) {
    for (const vtest::Bytes& unit : accessUnits) {
      std::this_thread::sleep_until(std::chrono::steady_clock::now() +
                                    std::chrono::nanoseconds(std::max<int64_t>(
                                        0, qwFirstNs + nPicture++ * kFrameNs - WallNs())));
      vecInput.assign(unit.begin(), unit.end());
      vecInput.insert(vecInput.end(), std::begin(kAccessUnitDelimiter),
                      std::end(kAccessUnitDelimiter));
      const size_t nBytes = vecInput.size();
      vecInput.resize(nBytes + AV_INPUT_BUFFER_PADDING_SIZE, 0);
      const int64_t qwStart = WallNs();
      FeedFfmpegLoop(loop, std::span(vecInput.data(), nBytes));
      vecStepMs.push_back(static_cast<double>(WallNs() - qwStart) / 1e6);
    }
  }
  CloseFfmpegLoop(loop);
}

}  // namespace

int main(int argc, char** argv) {
  const BenchOptions options = ParseBenchOptions(argc, argv, {120, 2, 3});
  const vtest::H264Stream stream = MakePhoneStream(options.nFrames);
  const std::vector<uint8_t> annexB = vtest::JoinAccessUnits(stream.accessUnits);
  InstallSessionCallbacks(g_Callbacks, g_Stages, false);
  std::printf("stream: 1170x2532 High, %d pictures at 60 fps; %d laps a run, %d rounds\n",
              options.nFrames, options.nLaps, options.nRounds);

  std::vector<double> vecLatency, vecFfmpeg;
  for (int nRound = 0; nRound < options.nRounds; ++nRound) {
    LatencyRun run;
    RunPipeline(options, annexB, run);
    std::vector<double> vecSteps;
    RunFfmpeg(stream.accessUnits, options.nLaps, vecSteps);
    std::printf("round %d: %zu pictures, latency median %.3f ms; ffmpeg median %.3f ms\n",
                nRound + 1, run.vecLatencyMs.size(), Median(run.vecLatencyMs), Median(vecSteps));
    std::fflush(stdout);
    vecLatency.insert(vecLatency.end(), run.vecLatencyMs.begin(), run.vecLatencyMs.end());
    vecFfmpeg.insert(vecFfmpeg.end(), vecSteps.begin(), vecSteps.end());
  }
  const double dBudget = Median(vecFfmpeg) + 0.5;
  std::printf("\npicture latency, last byte of its feed to publication (%zu pictures; ms)\n",
              vecLatency.size());
  std::printf("   pipeline:               median %.3f, p90 %.3f\n", Median(vecLatency),
              Percentile(vecLatency, 0.9));
  std::printf("   ffmpeg decode+convert:  median %.3f, p90 %.3f\n", Median(vecFfmpeg),
              Percentile(vecFfmpeg, 0.9));
  std::printf("   budget (median):        %.3f: %s\n", dBudget,
              Median(vecLatency) <= dBudget ? "met" : "MISSED");
  return 0;
}
