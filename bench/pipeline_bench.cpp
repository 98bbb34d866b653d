// The whole host pipeline against FFmpeg's own loop, in one process:
//
// 1. Throughput. The capture thread (CaptureThreadProc on a session from
//    CreateCaptureSession) runs against the simulated device in its fast mode
//    (the next picture goes as soon as its NEED arrives), on the real clock,
//    over a 1170x2532 60 fps High-profile x264 stream made at start. Pictures
//    per second published into the frame store, from the first media packet
//    to the last picture of the last lap, against FFmpeg's single-threaded
//    parser -> decoder (decode alone: the pictures stay YUV) over the same laps of
//    the same stream. Budget: a ratio of at least 0.95. The device's own
//    packet building runs on the same thread; its time (inside the usb_*
//    calls) is measured and shown, with the ratio it leaves the host.
// 2. Per video packet: from the bulk read that returns a feed packet to the
//    bulk write of its NEED, against FFmpeg's time for the same step (the
//    same access unit fed to the parser, the picture it completes decoded).
//    Budget: median difference within 0.5 ms; and the host's thread CPU time
//    per packet at most 1.05 times FFmpeg's decode alone.
//
// The two sides alternate, round after round; medians of the rounds.
//
//   cmake --build build-bench --target pipeline_bench
//   build-bench/pipeline_bench                 (120 pictures, 2 laps, 5 rounds)
//   build-bench/pipeline_bench --frames=240 --laps=1 --rounds=7
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "app/session_wiring.h"
#include "bench_setup.h"
#include "bench_stats.h"
#include "capture/capture_session.h"
#include "capture/session_callbacks.h"
#include "device/capture_thread.h"
#include "ffmpeg_loop.h"
#include "platform/clock.h"
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

// What one pipeline run saw, filled from the callbacks and the device's hooks
// (all on the one capture thread).
struct PipelineRun {
  CaptureSession* pSession = nullptr;
  int nFrames = 0;
  int nTarget = 0;  // pictures to publish before the run stops
  int nPictures = 0;
  bool bStarted = false;
  bool bEnded = false;
  int64_t qwStartNs = 0;
  int64_t qwEndNs = 0;
  int64_t qwStartCpuNs = 0;
  int64_t qwEndCpuNs = 0;
  int64_t qwCallStartNs = 0;  // the usb_* call in progress
  int64_t qwDeviceNs = 0;     // inside the device's usb_* calls, within the window
  int nFeeds = 0;
  int64_t qwFeedArrivalNs = -1;
  int64_t qwFeedArrivalCpuNs = 0;
  int nFeedUnit = -1;
  // Per feed packet: its access unit, and the host's time (wall, thread CPU).
  std::vector<int> vecUnits;
  std::vector<double> vecHostMs;
  std::vector<double> vecHostCpuMs;
};

PipelineRun* g_pRun = nullptr;

bool InWindow(const PipelineRun& run) {
  return run.bStarted && !run.bEnded;
}

void OnStreamStart(void*) {
  g_pRun->bStarted = true;
  g_pRun->qwStartNs = WallNs();
  g_pRun->qwStartCpuNs = ThreadCpuNs();
}

void OnPicturePublished(void*) {
  PipelineRun& run = *g_pRun;
  if (!InWindow(run) || ++run.nPictures < run.nTarget) return;
  run.bEnded = true;
  run.qwEndNs = WallNs();
  run.qwEndCpuNs = ThreadCpuNs();
  run.pSession->nRunState.store(kRunStopRequested);
}

void OnReadStart() {
  g_pRun->qwCallStartNs = WallNs();
}

void OnTransfer(vsim::TransferPoint point, std::span<const uint8_t> bytes) {
  PipelineRun& run = *g_pRun;
  const int64_t qwNow = WallNs();
  if (point == vsim::TransferPoint::WriteEntered) {
    run.qwCallStartNs = qwNow;
    if (IsAsyn(bytes, kAsynNeed) && run.qwFeedArrivalNs >= 0) {
      run.vecUnits.push_back(run.nFeedUnit);
      run.vecHostMs.push_back(static_cast<double>(qwNow - run.qwFeedArrivalNs) / 1e6);
      run.vecHostCpuMs.push_back(static_cast<double>(ThreadCpuNs() - run.qwFeedArrivalCpuNs) / 1e6);
      run.qwFeedArrivalNs = -1;
    }
    return;
  }
  if (InWindow(run)) run.qwDeviceNs += qwNow - run.qwCallStartNs;
  if (point != vsim::TransferPoint::ReadReturning) return;
  for (int nFeed = CountFeeds(bytes); nFeed > 0; --nFeed) {
    run.qwFeedArrivalNs = qwNow;
    run.qwFeedArrivalCpuNs = ThreadCpuNs();
    run.nFeedUnit = run.nFeeds++ % run.nFrames;
  }
}

struct PipelineResult {
  double dPicturesPerSecond = 0;
  double dCpuPicturesPerSecond = 0;
  double dDeviceShare = 0;  // of the window's wall time
};

PipelineResult RunPipeline(const BenchOptions& options, const std::vector<uint8_t>& annexB,
                           PipelineRun& run) {
  AddSimulatedPhone(annexB, true);
  VideoDecoder decoder;
  OpenDecoderOrExit(decoder);
  std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kBenchUdid);
  g_Stages = MirrorStages{&decoder, nullptr};  // the sound is not measured here
  pSession->pCallbackContext = &g_Stages;
  run.pSession = pSession.get();
  run.nFrames = options.nFrames;
  run.nTarget = options.nLaps * options.nFrames - 1;
  g_pRun = &run;
  SetFramePublishedNotifier(OnPicturePublished, nullptr);
  vsim::SetReadHook(OnReadStart);
  vsim::SetTransferHook(OnTransfer);
  pSession->nRunState.store(kRunRunning);
  CaptureThreadProc(pSession.get());
  vsim::SetTransferHook(nullptr);
  vsim::SetReadHook(nullptr);
  SetFramePublishedNotifier(nullptr, nullptr);
  CloseVideoDecoder(decoder);

  PipelineResult result;
  if (!run.bEnded) {
    std::fprintf(stderr, "pipeline run ended after %d of %d pictures\n", run.nPictures,
                 run.nTarget);
    return result;
  }
  const double dWall = static_cast<double>(run.qwEndNs - run.qwStartNs) / 1e9;
  const double dCpu = static_cast<double>(run.qwEndCpuNs - run.qwStartCpuNs) / 1e9;
  result.dPicturesPerSecond = run.nPictures / dWall;
  result.dCpuPicturesPerSecond = run.nPictures / dCpu;
  result.dDeviceShare = static_cast<double>(run.qwDeviceNs) / 1e9 / dWall;
  return result;
}

struct FfmpegResult {
  double dPicturesPerSecond = 0;
  double dCpuPicturesPerSecond = 0;
};

FfmpegResult RunFfmpegWhole(const std::vector<uint8_t>& lapsPadded, size_t nBytes) {
  FfmpegLoop loop;
  FfmpegResult result;
  if (!OpenFfmpegLoop(loop)) return result;
  const int64_t qwStart = WallNs();
  const int64_t qwStartCpu = ThreadCpuNs();
  const int nPictures = FeedFfmpegLoop(loop, std::span(lapsPadded.data(), nBytes));
  const double dWall = static_cast<double>(WallNs() - qwStart) / 1e9;
  const double dCpu = static_cast<double>(ThreadCpuNs() - qwStartCpu) / 1e9;
  CloseFfmpegLoop(loop);
  result.dPicturesPerSecond = nPictures / dWall;
  result.dCpuPicturesPerSecond = nPictures / dCpu;
  return result;
}

// Per access unit: the step's wall time, its decode alone (the step less the
// conversion) and its thread CPU time.
struct StepTimes {
  std::vector<std::vector<double>> vecStepMs;
  std::vector<std::vector<double>> vecDecodeMs;
  std::vector<std::vector<double>> vecStepCpuMs;
};

// Each access unit fed on its own, as the device sends them.
void RunFfmpegSteps(const std::vector<std::vector<uint8_t>>& unitsPadded, int nLaps,
                    StepTimes& times) {
  FfmpegLoop loop;
  loop.bConvert = false;
  if (!OpenFfmpegLoop(loop)) return;
  for (int nLap = 0; nLap < nLaps; ++nLap) {
    for (size_t k = 0; k < unitsPadded.size(); ++k) {
      const std::vector<uint8_t>& unit = unitsPadded[k];
      const int64_t qwConvertBefore = loop.qwConvertNs;
      const int64_t qwStart = WallNs();
      const int64_t qwStartCpu = ThreadCpuNs();
      FeedFfmpegLoop(loop, std::span(unit.data(), unit.size() - AV_INPUT_BUFFER_PADDING_SIZE));
      const int64_t qwStepCpu = ThreadCpuNs() - qwStartCpu;
      const int64_t qwStep = WallNs() - qwStart;
      times.vecStepMs[k].push_back(static_cast<double>(qwStep) / 1e6);
      times.vecDecodeMs[k].push_back(
          static_cast<double>(qwStep - (loop.qwConvertNs - qwConvertBefore)) / 1e6);
      times.vecStepCpuMs[k].push_back(static_cast<double>(qwStepCpu) / 1e6);
    }
  }
  CloseFfmpegLoop(loop);
}

}  // namespace

int main(int argc, char** argv) {
  const BenchOptions options = ParseBenchOptions(argc, argv, {120, 2, 5});
  const vtest::H264Stream stream = MakePhoneStream(options.nFrames);
  const std::vector<uint8_t> annexB = vtest::JoinAccessUnits(stream.accessUnits);
  std::vector<uint8_t> lapsPadded;
  for (int nLap = 0; nLap < options.nLaps; ++nLap) {
    lapsPadded.insert(lapsPadded.end(), annexB.begin(), annexB.end());
  }
  const size_t nLapBytes = lapsPadded.size();
  lapsPadded.resize(nLapBytes + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  std::vector<std::vector<uint8_t>> unitsPadded;
  for (const vtest::Bytes& unit : stream.accessUnits) {
    unitsPadded.push_back(unit);
    unitsPadded.back().resize(unit.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  }
  InstallSessionCallbacks(g_Callbacks, g_Stages, false);
  g_Callbacks.onStreamStart = OnStreamStart;
  std::printf(
      "stream: 1170x2532 High, %d pictures at 60 fps, %zu bytes; %d laps a run, %d rounds\n",
      options.nFrames, annexB.size(), options.nLaps, options.nRounds);

  std::vector<double> vecOurs, vecOursCpu, vecShare, vecHostOnly, vecFfmpeg, vecFfmpegCpu;
  StepTimes steps;
  steps.vecStepMs.resize(stream.accessUnits.size());
  steps.vecDecodeMs.resize(stream.accessUnits.size());
  steps.vecStepCpuMs.resize(stream.accessUnits.size());
  std::vector<PipelineRun> vecRuns(static_cast<size_t>(options.nRounds));
  for (int nRound = 0; nRound < options.nRounds; ++nRound) {
    PipelineResult ours;
    FfmpegResult ffmpeg;
    for (int nSide = 0; nSide < 2; ++nSide) {
      if ((nSide + nRound) % 2 == 0) {
        ours = RunPipeline(options, annexB, vecRuns[static_cast<size_t>(nRound)]);
      } else {
        ffmpeg = RunFfmpegWhole(lapsPadded, nLapBytes);
        RunFfmpegSteps(unitsPadded, options.nLaps, steps);
      }
    }
    std::printf(
        "round %d: pipeline %.1f pictures/s (device's share %.1f%%), ffmpeg %.1f pictures/s\n",
        nRound + 1, ours.dPicturesPerSecond, 100 * ours.dDeviceShare, ffmpeg.dPicturesPerSecond);
    std::fflush(stdout);
    vecOurs.push_back(ours.dPicturesPerSecond);
    vecOursCpu.push_back(ours.dCpuPicturesPerSecond);
    vecShare.push_back(ours.dDeviceShare);
    vecHostOnly.push_back(ours.dPicturesPerSecond / (1.0 - ours.dDeviceShare));
    vecFfmpeg.push_back(ffmpeg.dPicturesPerSecond);
    vecFfmpegCpu.push_back(ffmpeg.dCpuPicturesPerSecond);
  }

  const double dOurs = Median(vecOurs);
  const double dFfmpeg = Median(vecFfmpeg);
  std::printf("\n1. throughput (medians of %d rounds, wall time)\n", options.nRounds);
  std::printf("   pipeline:              %.1f pictures/s (thread CPU time: %.1f)\n", dOurs,
              Median(vecOursCpu));
  std::printf("   ffmpeg loop:           %.1f pictures/s (thread CPU time: %.1f)\n", dFfmpeg,
              Median(vecFfmpegCpu));
  std::printf("   ratio:                 %.3f (budget >= 0.95): %s\n", dOurs / dFfmpeg,
              dOurs / dFfmpeg >= 0.95 ? "met" : "MISSED");
  std::printf("   device's share:        %.1f%% of the pipeline's wall time (in its usb_* calls)\n",
              100 * Median(vecShare));
  std::printf("   host alone:            %.1f pictures/s, ratio %.3f\n", Median(vecHostOnly),
              Median(vecHostOnly) / dFfmpeg);

  // Per packet: each feed's host time against the median FFmpeg step of its unit.
  std::vector<double> vecHost, vecStep, vecDiff, vecDiffDecode, vecDiffCpu;
  for (const PipelineRun& run : vecRuns) {
    for (size_t i = 0; i < run.vecHostMs.size(); ++i) {
      const size_t k = static_cast<size_t>(run.vecUnits[i]);
      const double dStep = Median(steps.vecStepMs[k]);
      vecHost.push_back(run.vecHostMs[i]);
      vecStep.push_back(dStep);
      vecDiff.push_back(run.vecHostMs[i] - dStep);
      vecDiffDecode.push_back(run.vecHostMs[i] - Median(steps.vecDecodeMs[k]));
      vecDiffCpu.push_back(run.vecHostCpuMs[i] - Median(steps.vecStepCpuMs[k]));
    }
  }
  std::printf("\n2. per video packet (%zu feed packets; ms)\n", vecHost.size());
  std::printf("   host, feed read to NEED write:  median %.3f, p90 %.3f\n", Median(vecHost),
              Percentile(vecHost, 0.9));
  std::printf("   ffmpeg step (decode alone):     median %.3f, p90 %.3f\n", Median(vecStep),
              Percentile(vecStep, 0.9));
  std::printf(
      "   difference:                     median %.3f, p90 %.3f (budget: median <= 0.5): %s\n",
      Median(vecDiff), Percentile(vecDiff, 0.9), Median(vecDiff) <= 0.5 ? "met" : "MISSED");
  std::printf("   difference to decode alone:     median %.3f, p90 %.3f\n", Median(vecDiffDecode),
              Percentile(vecDiffDecode, 0.9));
  std::printf("   difference in thread CPU time:  median %.3f, p90 %.3f\n", Median(vecDiffCpu),
              Percentile(vecDiffCpu, 0.9));
  std::vector<double> vecHostCpu, vecStepCpu;
  for (const PipelineRun& run : vecRuns) {
    for (size_t i = 0; i < run.vecHostCpuMs.size(); ++i) {
      vecHostCpu.push_back(run.vecHostCpuMs[i]);
      vecStepCpu.push_back(Median(steps.vecStepCpuMs[static_cast<size_t>(run.vecUnits[i])]));
    }
  }
  const double dCpuRatio = Median(vecHostCpu) / Median(vecStepCpu);
  std::printf(
      "   thread CPU per packet: host %.3f, ffmpeg decode alone %.3f, ratio %.3f "
      "(budget <= 1.05): %s\n",
      Median(vecHostCpu), Median(vecStepCpu), dCpuRatio, dCpuRatio <= 1.05 ? "met" : "MISSED");
  return 0;
}
