// The recorder's cost on the capture thread, per picture, against the video
// pipeline without it: a 1170x2532 60 fps High-profile x264 stream made at
// start goes through the video slots (decode, BGRA, publication) paced at 60
// pictures a second, with a recording in progress (Matroska, in the temporary
// folder) or without one. The recorder's calls on the capture thread (the
// sample's time, its NAL units, the sample's end) are timed on their own; the
// file is written by the recorder's thread meanwhile. Budget: under 0.2 ms
// per picture.
//
//   cmake --build build-bench --target record_bench
//   build-bench/record_bench                (120 pictures, 3 rounds)
//   build-bench/record_bench --frames=240 --rounds=5
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "avc/access_unit.h"
#include "avc/avc_units.h"
#include "bench_stats.h"
#include "record/recorder.h"
#include "support/h264_maker.h"
#include "video/video_decoder.h"

using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Adds the time one call takes to total.
template <typename F>
void Timed(Clock::duration& total, F call) {
  const auto tStart = Clock::now();
  call();
  total += Clock::now() - tStart;
}

struct Costs {
  std::vector<double> vecPipelineMs;  // the video slots, per picture
  std::vector<double> vecRecorderMs;  // the recorder's calls, per picture
  std::vector<double> vecCopyMs;      // a bare copy of the picture's bytes, the floor
};

// One pass over the pictures at 60 a second; pRecorder null: no recorder.
void RunPass(const std::vector<vtest::DeviceSample>& samples, Recorder* pRecorder, Costs& costs) {
  VideoDecoder decoder;
  if (OpenVideoDecoder(decoder) != DecoderOpenResult::Ok) std::exit(1);
  const auto interval = std::chrono::microseconds(16667);
  Clock::time_point next = Clock::now();
  int64_t i64Pts = 0;
  std::vector<uint8_t> vecCopy(size_t{64} << 20);
  std::vector<uint8_t> vecRecord, vecUnits;
  for (const vtest::DeviceSample& sample : samples) {
    std::this_thread::sleep_until(next);
    next += interval;
    const auto tStart = Clock::now();
    Clock::duration recorder{};
    const auto record = [&](auto call) {
      if (pRecorder != nullptr) Timed(recorder, call);
    };
    if (!sample.record.empty()) vecRecord = sample.record;
    vecUnits.clear();
    for (const vtest::Bytes& unit : sample.units)
      vecUnits.insert(vecUnits.end(), unit.begin(), unit.end());
    const AccessUnit unit{vecUnits,
                          vecRecord,
                          !sample.record.empty(),
                          i64Pts,
                          1000000000,
                          static_cast<uint64_t>(i64Pts / 1000000),
                          HasIdrSlice(vecUnits)};
    DecodeAccessUnit(&decoder, unit);
    record([&] { RecorderAccessUnit(pRecorder, unit); });
    costs.vecPipelineMs.push_back(Ms(Clock::now() - tStart - recorder));
    if (pRecorder != nullptr) {
      costs.vecRecorderMs.push_back(Ms(recorder));
      Clock::duration copy{};
      Timed(copy, [&] {
        size_t nAt = 0;
        for (const vtest::Bytes& unit : sample.units) {
          std::memcpy(vecCopy.data() + nAt, unit.data(), unit.size());
          nAt += unit.size();
        }
      });
      costs.vecCopyMs.push_back(Ms(copy));
    }
    i64Pts += 16666667;
  }
  CloseVideoDecoder(decoder);
}

int Option(int argc, char** argv, const char* szName, int nDefault) {
  const size_t nLength = std::strlen(szName);
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], szName, nLength) == 0 && argv[i][nLength] == '=')
      return std::atoi(argv[i] + nLength + 1);
  return nDefault;
}

}  // namespace

int main(int argc, char** argv) {
  vtest::QuietFfmpegLogs();
  vtest::H264Options options;
  options.nWidth = 1170;
  options.nHeight = 2532;
  options.nFps = 60;
  options.nFrames = Option(argc, argv, "--frames", 120);
  options.nKeyInterval = 60;
  const int nRounds = Option(argc, argv, "--rounds", 3);
  const std::vector<vtest::DeviceSample> samples =
      vtest::ToDeviceSamples(vtest::MakeH264Stream(options).accessUnits);
  const std::string szPath =
      (std::filesystem::temp_directory_path() / "veltrona-record-bench.mkv").string();

  Costs without;
  Costs with;
  for (int nRound = 0; nRound < nRounds; ++nRound) {
    RunPass(samples, nullptr, without);
    std::filesystem::remove(szPath);
    std::unique_ptr<Recorder> pRecorder = CreateRecorder(RecorderHooks{});
    RecorderStart(*pRecorder, szPath);
    RunPass(samples, pRecorder.get(), with);
    DestroyRecorder(pRecorder);
  }
  std::filesystem::remove(szPath);
  size_t nBytes = 0;
  for (const vtest::DeviceSample& sample : samples)
    for (const vtest::Bytes& unit : sample.units) nBytes += unit.size();
  std::printf("1170x2532, 60 pictures/s, %zu pictures x %d rounds, %zu KiB a picture on average\n",
              samples.size(), nRounds, nBytes / samples.size() / 1024);
  std::printf("pipeline without recorder: median %.3f ms, p99 %.3f ms per picture\n",
              Median(without.vecPipelineMs), Percentile(without.vecPipelineMs, 0.99));
  std::printf("pipeline with recorder:    median %.3f ms, p99 %.3f ms per picture\n",
              Median(with.vecPipelineMs), Percentile(with.vecPipelineMs, 0.99));
  const double dMedian = Median(with.vecRecorderMs);
  std::printf(
      "recorder on the capture thread: median %.4f ms, p99 %.4f ms, max %.4f ms per picture\n",
      dMedian, Percentile(with.vecRecorderMs, 0.99), Percentile(with.vecRecorderMs, 1.0));
  std::printf("a bare copy of the same bytes: median %.4f ms per picture\n",
              Median(with.vecCopyMs));
  std::printf("budget 0.2 ms (median): %s\n", dMedian < 0.2 ? "within" : "OVER");
  return 0;
}
