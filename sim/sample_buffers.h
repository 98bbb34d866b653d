// The media packets a device sends: `feed` (one picture) and `eat!` (a run
// of audio), each one serialized sample buffer.
#pragma once

#include <cstdint>

#include "packet_writer.h"
#include "video_source.h"

namespace vsim {

// One picture. pFormat: the parameter sets to describe first (null when the
// host already has them). Times in nanoseconds.
Bytes VideoSamplePacket(uint64_t qwClockRef, const AccessUnit& unit, const ParameterSets* pFormat,
                        int64_t qwPtsNs, int64_t qwDurationNs);

// nFrames of 48 kHz 16-bit stereo starting at frame qwFirstFrame, with the
// audio format description when bFormat: silence, or with nToneHz a sine of
// that frequency at a quarter of full scale (-12 dBFS) in both channels.
// Its time says i64TimeErrorFrames more than qwFirstFrame (an injected error).
Bytes AudioSamplePacket(uint64_t qwClockRef, uint64_t qwFirstFrame, uint32_t nFrames, bool bFormat,
                        uint32_t nToneHz = 0, int64_t i64TimeErrorFrames = 0);

// The format description item of a video picture.
Bytes VideoFormatDescription(const ParameterSets& format);

}  // namespace vsim
