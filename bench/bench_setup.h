// What the pipeline benchmarks share: their options, the phone-sized stream,
// the simulated phone streaming it and the decoder behind it.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim.h"
#include "support/h264_maker.h"
#include "video/video_decoder.h"

inline constexpr char kBenchSerial[] = "00008101000A1B2C3D4E5F60";
inline constexpr char kBenchUdid[] = "00008101-000A1B2C3D4E5F60";

struct BenchOptions {
  int nFrames = 120;
  int nLaps = 2;
  int nRounds = 5;
};

// --frames=N, --laps=N, --rounds=N over the defaults given; at least two frames.
inline BenchOptions ParseBenchOptions(int argc, char** argv, BenchOptions options) {
  for (int i = 1; i < argc; ++i) {
    const std::string szArg = argv[i];
    const auto Value = [&](const char* szName, int& nValue) {
      const std::string szPrefix = std::string("--") + szName + "=";
      if (szArg.rfind(szPrefix, 0) == 0)
        nValue = std::max(1, std::atoi(szArg.c_str() + szPrefix.size()));
    };
    Value("frames", options.nFrames);
    Value("laps", options.nLaps);
    Value("rounds", options.nRounds);
  }
  options.nFrames = std::max(2, options.nFrames);
  return options;
}

// A 1170x2532 High-profile x264 stream at 60 pictures a second.
inline vtest::H264Stream MakePhoneStream(int nFrames) {
  vtest::QuietFfmpegLogs();
  vtest::H264Options h264;
  h264.nWidth = 1170;
  h264.nHeight = 2532;
  h264.nFrames = nFrames;
  h264.nFps = 60;
  h264.profile = vtest::H264Profile::High;
  return vtest::MakeH264Stream(h264);
}

// A fresh bus with the one simulated phone, already in its capture
// configuration, streaming annexB (bFast: each picture as soon as its NEED
// comes, else at the stream's pace).
inline void AddSimulatedPhone(const std::vector<uint8_t>& annexB, bool bFast) {
  vsim::Reset();
  vsim::DeviceConfig config;
  config.serial = kBenchSerial;
  config.bCaptureModeOn = true;
  config.behaviour = vsim::Behaviour::Protocol;
  config.vecH264 = annexB;
  config.bFast = bFast;
  vsim::AddDevice(config);
}

inline void OpenDecoderOrExit(VideoDecoder& decoder) {
  if (OpenVideoDecoder(decoder) != DecoderOpenResult::Ok) {
    std::fprintf(stderr, "decoder not opened\n");
    std::exit(1);
  }
}
