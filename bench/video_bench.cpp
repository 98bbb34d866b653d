// The decode path through the two video slots (record, then one call per
// length-prefixed NAL unit, as the capture side calls them) against FFmpeg's
// own single-threaded parser -> decoder -> sws_scale (SWS_POINT, BGRA) loop on
// the same 1170x2532 60 fps High-profile stream, measured in the same run.
// Prints both throughputs (pictures per second, medians of the repetitions)
// and their ratio; the budget is a ratio of at least 0.95. Times are CPU times
// of the one thread (both sides are single-threaded), so other load on the
// machine disturbs them less than wall time.
//
//   cmake -S . -B build-video -DVELTRONA_BENCH=ON
//   cmake --build build-video --target video_bench
//   build-video/video_bench                      (120 pictures)
//   build-video/video_bench --frames=240         (longer stream)
//   build-video/video_bench --benchmark_filter=Loop|Slots   (pipeline only)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ffmpeg_loop.h"
#include "support/h264_maker.h"
#include "video/frame_store.h"
#include "video/picture_conversion.h"
#include "video/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {

int g_nFrames = 120;

struct Stream {
  std::vector<vtest::DeviceSample> samples;
  std::vector<uint8_t> annexB;  // followed by AV_INPUT_BUFFER_PADDING_SIZE zero bytes
  size_t nAnnexB = 0;
};

const Stream& GetStream() {
  static const Stream stream = [] {
    vtest::H264Options options;
    options.nWidth = 1170;
    options.nHeight = 2532;
    options.nFrames = g_nFrames;
    options.nFps = 60;
    options.profile = vtest::H264Profile::High;
    const vtest::H264Stream made = vtest::MakeH264Stream(options);
    Stream s;
    s.samples = vtest::ToDeviceSamples(made.accessUnits);
    s.annexB = vtest::JoinAccessUnits(made.accessUnits);
    s.nAnnexB = s.annexB.size();
    s.annexB.resize(s.nAnnexB + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::fprintf(stderr, "stream: 1170x2532, %d pictures, %zu bytes of H.264\n", g_nFrames,
                 s.nAnnexB);
    return s;
  }();
  return stream;
}

void CountPicture(void* pContext) {
  ++*static_cast<int64_t*>(pContext);
}

void BM_VeltronaSlots(benchmark::State& state) {
  const Stream& stream = GetStream();
  int64_t nPictures = 0;
  SetFramePublishedNotifier(CountPicture, &nPictures);
  for (auto _ : state) {
    VideoDecoder decoder;
    if (OpenVideoDecoder(decoder) != DecoderOpenResult::Ok) {
      state.SkipWithError("decoder not opened");
      break;
    }
    for (const vtest::DeviceSample& sample : stream.samples) {
      if (!sample.record.empty()) {
        OnVideoParameterSets(&decoder, sample.record.data(),
                             static_cast<int32_t>(sample.record.size()));
      }
      for (const vtest::Bytes& unit : sample.units) {
        OnVideoNalUnit(&decoder, unit.data(), static_cast<int32_t>(unit.size()));
      }
      OnVideoSampleEnd(&decoder);
    }
    CloseVideoDecoder(decoder);
  }
  SetFramePublishedNotifier(nullptr, nullptr);
  state.SetItemsProcessed(nPictures);
}

// FFmpeg's own loop: the whole stream into the parser, each access unit to the
// decoder, each picture through sws_scale into one BGRA buffer (allocated once,
// FFmpeg's usual alignment). Not flushed, like the program.
void BM_FfmpegLoop(benchmark::State& state) {
  const Stream& stream = GetStream();
  int64_t nPictures = 0;
  for (auto _ : state) {
    FfmpegLoop loop;
    if (!OpenFfmpegLoop(loop)) {
      CloseFfmpegLoop(loop);
      state.SkipWithError("decoder not opened");
      break;
    }
    nPictures +=
        FeedFfmpegLoop(loop, std::span<const uint8_t>(stream.annexB.data(), stream.nAnnexB));
    CloseFfmpegLoop(loop);
  }
  state.SetItemsProcessed(nPictures);
}

// The conversions alone, on one 1170x2532 picture: the screenshot's
// ConvertFrameToBgra (two column bands, gap-free rows) against one sws_scale of
// the whole picture into FFmpeg's usual aligned buffer, which shows what the
// banding costs; and the painter's conversion to the 300x650 letter-boxed
// rectangle of a 900x650 window (for pictures SDL cannot draw, and on Windows).
AVFrame* MakeBenchPicture() {
  AVFrame* pFrame = av_frame_alloc();
  pFrame->width = 1170;
  pFrame->height = 2532;
  pFrame->format = AV_PIX_FMT_YUV420P;
  av_frame_get_buffer(pFrame, 0);
  for (int p = 0; p < 3; ++p) {
    const int nRows = p == 0 ? pFrame->height : pFrame->height / 2;
    for (int y = 0; y < nRows; ++y) {
      for (int x = 0; x < pFrame->linesize[p]; ++x) {
        pFrame->data[p][y * pFrame->linesize[p] + x] = static_cast<uint8_t>(x + 3 * y + 50 * p);
      }
    }
  }
  return pFrame;
}

void BM_ConvertFrameToBgra(benchmark::State& state) {
  AVFrame* pFrame = MakeBenchPicture();
  PictureScaler scaler;
  std::vector<uint8_t> out;
  for (auto _ : state) {
    ConvertFrameToBgra(scaler, pFrame, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
  ReleasePictureScaler(scaler);
  av_frame_free(&pFrame);
}

void BM_ConvertToWindowSize(benchmark::State& state) {
  AVFrame* pFrame = MakeBenchPicture();
  PictureScaler scaler;
  for (auto _ : state) {
    ConvertPictureToSize(scaler, pFrame, 300, 650);
    benchmark::DoNotOptimize(scaler.vecOut.data());
  }
  state.SetItemsProcessed(state.iterations());
  ReleasePictureScaler(scaler);
  av_frame_free(&pFrame);
}

void BM_SwsScaleWhole(benchmark::State& state) {
  AVFrame* pFrame = MakeBenchPicture();
  SwsContext* pScaler =
      sws_getContext(pFrame->width, pFrame->height, AV_PIX_FMT_YUV420P, pFrame->width,
                     pFrame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
  uint8_t* apDestination[4] = {nullptr, nullptr, nullptr, nullptr};
  int anStride[4] = {0, 0, 0, 0};
  av_image_alloc(apDestination, anStride, pFrame->width, pFrame->height, AV_PIX_FMT_BGRA, 64);
  for (auto _ : state) {
    sws_scale(pScaler, pFrame->data, pFrame->linesize, 0, pFrame->height, apDestination, anStride);
    benchmark::DoNotOptimize(apDestination[0][0]);
  }
  state.SetItemsProcessed(state.iterations());
  av_freep(&apDestination[0]);
  sws_freeContext(pScaler);
  av_frame_free(&pFrame);
}

// Collects each repetition's pictures per second, by benchmark.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : benchmark::ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) {
        continue;
      }
      const auto it = run.counters.find("items_per_second");
      if (it != run.counters.end()) {
        const std::string szName = run.benchmark_name();
        rates[szName.substr(0, szName.find('/'))].push_back(it->second.value);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, std::vector<double>> rates;
};

double Median(std::vector<double> values) {
  if (values.empty()) {
    return 0.0;
  }
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

}  // namespace

BENCHMARK(BM_VeltronaSlots)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(9);
BENCHMARK(BM_FfmpegLoop)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(9);
BENCHMARK(BM_ConvertFrameToBgra)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_SwsScaleWhole)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_ConvertToWindowSize)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5);

int main(int argc, char** argv) {
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--frames=", 9) == 0) {
      g_nFrames = std::max(2, std::atoi(argv[i] + 9));
    } else {
      args.push_back(argv[i]);
    }
  }
  // Repetitions of the two alternate unless the command line says otherwise.
  std::string szInterleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, szInterleave.data());
  int nArgs = static_cast<int>(args.size());
  vtest::QuietFfmpegLogs();
  benchmark::Initialize(&nArgs, args.data());
  if (benchmark::ReportUnrecognizedArguments(nArgs, args.data())) {
    return 1;
  }
  GetStream();  // made before any timing
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const double dOurs = Median(reporter.rates["BM_VeltronaSlots"]);
  const double dFfmpeg = Median(reporter.rates["BM_FfmpegLoop"]);
  if (dOurs > 0 && dFfmpeg > 0) {
    std::printf("\nveltrona slots: %.1f pictures/s (median of %zu)\n", dOurs,
                reporter.rates["BM_VeltronaSlots"].size());
    std::printf("ffmpeg loop:    %.1f pictures/s (median of %zu)\n", dFfmpeg,
                reporter.rates["BM_FfmpegLoop"].size());
    std::printf("ratio:          %.3f (budget >= 0.95): %s\n", dOurs / dFfmpeg,
                dOurs / dFfmpeg >= 0.95 ? "met" : "MISSED");
  }
  const double dConvert = Median(reporter.rates["BM_ConvertFrameToBgra"]);
  const double dSws = Median(reporter.rates["BM_SwsScaleWhole"]);
  if (dConvert > 0 && dSws > 0) {
    std::printf("conversion alone: %.3f ms (bands) vs %.3f ms (one sws_scale), ratio %.3f\n",
                1000.0 / dConvert, 1000.0 / dSws, dConvert / dSws);
  }
  return 0;
}
