// The decode path through the two video slots (record, then one call per
// length-prefixed NAL unit, as the capture side calls them) against FFmpeg's
// own single-threaded parser -> decoder -> sws_scale (SWS_POINT, BGRA) loop on
// the same 1170x2532 60 fps High-profile stream, measured in the same run.
// Prints both throughputs (pictures per second, medians of the repetitions)
// and their ratio; the budget is a ratio of at least 0.95.
//
//   build-video-bench/video_bench                 (defaults below)
//   build-video-bench/video_bench --frames=240    (longer stream)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/h264_maker.h"
#include "video/frame_store.h"
#include "video/session_callbacks.h"
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
  InstallSessionCallbacks(g_Callbacks);
  int64_t nPictures = 0;
  SetFramePublishedNotifier(CountPicture, &nPictures);
  for (auto _ : state) {
    VideoDecoder decoder;
    if (OpenVideoDecoder(decoder) != DecoderOpenResult::Ok) {
      state.SkipWithError("decoder not opened");
      break;
    }
    g_pCurrentDecoder = &decoder;
    for (const vtest::DeviceSample& sample : stream.samples) {
      if (!sample.record.empty()) {
        g_Callbacks.onVideoParameterSets(nullptr, sample.record.data(),
                                         static_cast<int32_t>(sample.record.size()));
      }
      for (const vtest::Bytes& unit : sample.units) {
        g_Callbacks.onVideoNalUnit(nullptr, unit.data(), static_cast<int32_t>(unit.size()));
      }
    }
    g_pCurrentDecoder = nullptr;
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
    const AVCodec* pCodec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecParserContext* pParser = av_parser_init(AV_CODEC_ID_H264);
    AVCodecContext* pContext = avcodec_alloc_context3(pCodec);
    if (pParser == nullptr || pContext == nullptr || avcodec_open2(pContext, pCodec, nullptr) < 0) {
      state.SkipWithError("decoder not opened");
      break;
    }
    AVFrame* pFrame = av_frame_alloc();
    AVPacket* pPacket = av_packet_alloc();
    SwsContext* pScaler = nullptr;
    uint8_t* apDestination[4] = {nullptr, nullptr, nullptr, nullptr};
    int anStride[4] = {0, 0, 0, 0};
    int nWidth = 0;
    int nHeight = 0;
    int nFormat = -1;
    const uint8_t* pBytes = stream.annexB.data();
    int nLength = static_cast<int>(stream.nAnnexB);
    while (nLength > 0) {
      const int nConsumed = av_parser_parse2(pParser, pContext, &pPacket->data, &pPacket->size,
                                             pBytes, nLength, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      if (nConsumed < 0) {
        break;
      }
      pBytes += nConsumed;
      nLength -= nConsumed;
      if (pPacket->size == 0) {
        continue;
      }
      if (avcodec_send_packet(pContext, pPacket) < 0) {
        break;
      }
      while (avcodec_receive_frame(pContext, pFrame) >= 0) {
        if (pScaler == nullptr || pFrame->width != nWidth || pFrame->height != nHeight ||
            pFrame->format != nFormat) {
          sws_freeContext(pScaler);
          av_freep(&apDestination[0]);
          nWidth = pFrame->width;
          nHeight = pFrame->height;
          nFormat = pFrame->format;
          pScaler = sws_getContext(nWidth, nHeight, static_cast<AVPixelFormat>(nFormat), nWidth,
                                   nHeight, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
          av_image_alloc(apDestination, anStride, nWidth, nHeight, AV_PIX_FMT_BGRA, 64);
        }
        sws_scale(pScaler, pFrame->data, pFrame->linesize, 0, nHeight, apDestination, anStride);
        benchmark::DoNotOptimize(apDestination[0][0]);
        ++nPictures;
      }
    }
    sws_freeContext(pScaler);
    av_freep(&apDestination[0]);
    av_packet_free(&pPacket);
    av_frame_free(&pFrame);
    avcodec_free_context(&pContext);
    av_parser_close(pParser);
  }
  state.SetItemsProcessed(nPictures);
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

BENCHMARK(BM_VeltronaSlots)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(5);
BENCHMARK(BM_FfmpegLoop)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(5);

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
  return 0;
}
