// The video side's memory under hostile samples: after a real stream's first
// pictures, samples made only of filler units (no slice, so nothing ever ends
// an access unit) go through the slots as the capture side calls them, then
// the real stream again. Prints the process's resident memory (VmRSS) and its
// peak (VmHWM) before, every 100 MiB fed, and after, and whether pictures
// still come.
//
//   cmake -S . -B build-bench -DVELTRONA_BENCH=ON
//   cmake --build build-bench --target video_memory_bench
//   build-bench/video_memory_bench [MiB of filler, default 400]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "support/h264_maker.h"
#include "video/frame_store.h"
#include "video/video_decoder.h"

namespace {

// kB of the given line ("VmRSS:", "VmHWM:") of /proc/self/status.
long StatusKb(const char* szField) {
  std::ifstream status("/proc/self/status");
  std::string szLine;
  while (std::getline(status, szLine)) {
    if (szLine.rfind(szField, 0) == 0) return std::atol(szLine.c_str() + std::strlen(szField));
  }
  return -1;
}

void PrintMemory(const char* szWhen) {
  std::printf("%-28s resident %7.1f MiB, peak %7.1f MiB\n", szWhen, StatusKb("VmRSS:") / 1024.0,
              StatusKb("VmHWM:") / 1024.0);
}

void CountPicture(void* pContext) {
  ++*static_cast<int*>(pContext);
}

void FeedSamples(VideoDecoder& decoder, const std::vector<vtest::DeviceSample>& samples) {
  for (const vtest::DeviceSample& sample : samples) {
    if (!sample.record.empty()) {
      OnVideoParameterSets(&decoder, sample.record.data(),
                           static_cast<int32_t>(sample.record.size()));
    }
    for (const vtest::Bytes& unit : sample.units) {
      OnVideoNalUnit(&decoder, unit.data(), static_cast<int32_t>(unit.size()));
    }
    OnVideoSampleEnd(&decoder);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int nMiB = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400;
  const vtest::H264Stream stream = vtest::MakeH264Stream(
      {.nWidth = 1170, .nHeight = 2532, .nFrames = 4, .profile = vtest::H264Profile::High});
  const std::vector<vtest::DeviceSample> samples = vtest::ToDeviceSamples(stream.accessUnits);
  int nPictures = 0;
  SetFramePublishedNotifier(CountPicture, &nPictures);
  VideoDecoder decoder;
  if (OpenVideoDecoder(decoder) != DecoderOpenResult::Ok) return 1;
  FeedSamples(decoder, samples);
  std::printf("1170x2532 stream: %d pictures\n", nPictures);
  PrintMemory("before the filler:");

  // One sample of 1 MiB: 16 filler units of 64 KiB, each with its length prefix.
  constexpr size_t kUnit = 64 * 1024;
  vtest::Bytes unit(4 + kUnit, 0xFF);
  unit[0] = static_cast<uint8_t>(kUnit >> 24);
  unit[1] = static_cast<uint8_t>(kUnit >> 16);
  unit[2] = static_cast<uint8_t>(kUnit >> 8);
  unit[3] = static_cast<uint8_t>(kUnit);
  unit[4] = 0x0C;      // filler data
  unit.back() = 0x80;  // its trailing bits
  const vtest::DeviceSample filler{.record = {}, .units = std::vector<vtest::Bytes>(16, unit)};
  for (int i = 1; i <= nMiB; ++i) {
    FeedSamples(decoder, {filler});
    if (i % 100 == 0 || i == nMiB) {
      PrintMemory(("after " + std::to_string(i) + " MiB of filler:").c_str());
    }
  }
  const int nBefore = nPictures;
  FeedSamples(decoder, samples);
  std::printf("the stream again: %d pictures\n", nPictures - nBefore);
  PrintMemory("at the end:");
  CloseVideoDecoder(decoder);
  SetFramePublishedNotifier(nullptr, nullptr);
  return 0;
}
