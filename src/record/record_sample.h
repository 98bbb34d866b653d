// One sample on its way to a file, and the pre-roll: what a recording started
// now begins with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "record/time_line.h"

struct RecordSample {
  MediaKind kind = MediaKind::Video;
  int64_t i64TimeUs = 0;  // on the session's time line
  bool bKeyframe = false;
  // Video: one picture, length-prefixed NAL units. Audio: interleaved 16-bit samples.
  std::vector<uint8_t> vecData;
};

inline constexpr size_t kMaxPrerollBytes = size_t{32} << 20;

// The samples since the last keyframe, so that a recording started between
// keyframes still begins with a picture that decodes. Bounded: past nMaxBytes
// the group is dropped whole and nothing is kept until the next keyframe.
struct RecordPreroll {
  std::deque<RecordSample> samples;  // a keyframe first, when not empty
  std::vector<uint8_t> vecRecord;    // the parameter sets that keyframe needs
  size_t nBytes = 0;
  bool bOverflowed = false;  // dropped: a recording has to wait for the next keyframe
  size_t nMaxBytes = kMaxPrerollBytes;
};

// Keeps a copy of the sample (a keyframe starts over, with vecRecord as its
// parameter sets). Nothing is kept before the first keyframe.
void PrerollAdd(RecordPreroll& preroll, const RecordSample& sample,
                const std::vector<uint8_t>& vecRecord);

// Forgets everything until the next keyframe (samples were lost on the way).
void PrerollBreak(RecordPreroll& preroll);
