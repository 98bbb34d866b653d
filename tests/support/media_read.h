// A recording (or a PNG) read back by FFmpeg: every picture decoded (and compared as
// BGRA), the decode errors, the pictures' times and the sound's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/reference_decode.h"

namespace vtest {

struct ReadBack {
  std::vector<ReferencePicture> pictures;
  std::vector<int64_t> vecVideoPtsUs;  // in file order
  int nDecodeErrors = 0;
  std::vector<uint8_t> sound;  // the PCM, as stored
  int nSoundRate = 0;
  double dDurationSeconds = 0;  // the file's, as FFmpeg reports it
};

ReadBack ReadRecording(const std::string& szPath);

}  // namespace vtest
