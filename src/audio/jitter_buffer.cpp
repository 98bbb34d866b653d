#include "audio/jitter_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Hysteresis of the drift control, in milliseconds of level error: steering
// starts above the first and stops below the second. In between the
// correction holds what matches the clocks' drift, so the level neither
// hunts nor wanders.
constexpr double kSteerOnMs = 4.0;
constexpr double kSteerOffMs = 1.0;
// Per millisecond of error and second of evaluation: the proportional part
// would take the whole error away in the next second, the integral part
// learns the clocks' drift; together they settle in a few seconds without
// overshoot (a double pole at one half per second).
constexpr double kProportionalGain = 1.0 / 1000.0;
constexpr double kIntegralGain = 0.25 / 1000.0;

void ResetDriftWindow(DriftControl& drift) {
  drift.dLevelSum = 0;
  drift.nLevelSamples = 0;
  drift.qwFramesOut = 0;
}

void EvaluateDrift(DriftControl& drift, const AudioFormat& format) {
  const double dMeanMs = drift.dLevelSum / drift.nLevelSamples * 1000.0 / format.nRate;
  const double dErrorMs = dMeanMs - kAudioTargetMs;
  if (!drift.bSteering && std::fabs(dErrorMs) > kSteerOnMs) {
    drift.bSteering = true;
  } else if (drift.bSteering && std::fabs(dErrorMs) < kSteerOffMs) {
    drift.bSteering = false;
  }
  if (drift.bSteering) {
    drift.dDriftEstimate = std::clamp(drift.dDriftEstimate + kIntegralGain * dErrorMs,
                                      -kAudioMaxCorrection, kAudioMaxCorrection);
    drift.dCorrection = std::clamp(drift.dDriftEstimate + kProportionalGain * dErrorMs,
                                   -kAudioMaxCorrection, kAudioMaxCorrection);
  } else {
    drift.dCorrection = drift.dDriftEstimate;
  }
  ResetDriftWindow(drift);
}

// Drops the oldest nFrames held (at most the level).
void DropOldest(JitterBuffer& buffer, size_t nFrames) {
  buffer.nOldest = (buffer.nOldest + nFrames) % buffer.nCapacity;
  buffer.nLevel -= nFrames;
  buffer.dPhase = 0;
}

}  // namespace

size_t AudioFramesIn(const AudioFormat& format, uint32_t nMs) {
  return static_cast<size_t>(format.nRate) * nMs / 1000;
}

void SetJitterFormat(JitterBuffer& buffer, const AudioFormat& format) {
  {
    std::lock_guard lock(buffer.mutex);
    if (buffer.format == format) return;
  }
  // After the drop rule the level never exceeds the maximum: that is the
  // whole ring. Allocated outside the lock, so the card's callback never
  // waits for it.
  const size_t nCapacity = AudioFramesIn(format, kAudioMaxMs);
  std::vector<int16_t> vecRing(nCapacity * format.nChannels);
  std::lock_guard lock(buffer.mutex);
  buffer.vecRing.swap(vecRing);
  buffer.format = format;
  buffer.nCapacity = nCapacity;
  buffer.nOldest = 0;
  buffer.nLevel = 0;
  buffer.dPhase = 0;
  buffer.bPlaying = false;
  buffer.bHadChunk = false;
  buffer.drift = DriftControl{};
}

void PushAudio(JitterBuffer& buffer, std::span<const uint8_t> chunk, uint64_t qwNowMs) {
  std::lock_guard lock(buffer.mutex);
  if (buffer.nCapacity == 0) return;  // no playable format: nothing is kept
  const size_t nChannels = buffer.format.nChannels;
  const size_t nFrameBytes = nChannels * sizeof(int16_t);
  const size_t nFrames = chunk.size() / nFrameBytes;
  if (buffer.bHadChunk && qwNowMs - buffer.qwLastChunkMs > kAudioGapMs) {
    buffer.bPlaying = false;  // a new start: fill up to the target again
    ResetDriftWindow(buffer.drift);
  }
  buffer.bHadChunk = true;
  buffer.qwLastChunkMs = qwNowMs;
  if (nFrames == 0) return;

  // Above the maximum, the oldest go first (those held, then the chunk's own
  // head) down to the target: one audible cut, and the latency is back.
  const size_t nTarget = AudioFramesIn(buffer.format, kAudioTargetMs);
  size_t nSkip = 0;
  if (buffer.nLevel + nFrames > buffer.nCapacity) {
    const size_t nExcess = buffer.nLevel + nFrames - nTarget;
    const size_t nFromRing = std::min(nExcess, buffer.nLevel);
    DropOldest(buffer, nFromRing);
    nSkip = nExcess - nFromRing;
    buffer.qwDroppedFrames += nExcess;
  }
  // Copied bytewise: the chunk sits at any alignment inside its packet.
  size_t nCopied = nSkip;
  while (nCopied < nFrames) {
    const size_t nWriteAt = (buffer.nOldest + buffer.nLevel) % buffer.nCapacity;
    const size_t nRun = std::min(nFrames - nCopied, buffer.nCapacity - nWriteAt);
    std::memcpy(buffer.vecRing.data() + nWriteAt * nChannels, chunk.data() + nCopied * nFrameBytes,
                nRun * nFrameBytes);
    buffer.nLevel += nRun;
    nCopied += nRun;
  }
  if (!buffer.bPlaying && buffer.nLevel >= nTarget) buffer.bPlaying = true;
}

void PullAudio(JitterBuffer& buffer, std::span<int16_t> out, const AudioFormat& played) {
  std::lock_guard lock(buffer.mutex);
  const size_t nChannels = buffer.format.nChannels;
  if (nChannels == 0 || !buffer.bPlaying || !(buffer.format == played)) {
    std::fill(out.begin(), out.end(), int16_t{0});
    ResetDriftWindow(buffer.drift);
    return;
  }
  DriftControl& drift = buffer.drift;
  drift.dLevelSum += static_cast<double>(buffer.nLevel);
  ++drift.nLevelSamples;

  const size_t nFrames = out.size() / nChannels;
  const double dStep = 1.0 + drift.dCorrection;
  const int16_t* pRing = buffer.vecRing.data();
  size_t nFrame = 0;
  for (; nFrame < nFrames && buffer.nLevel > 0; ++nFrame) {
    const int16_t* pA = pRing + buffer.nOldest * nChannels;
    // The last frame held has no neighbour yet: it is played as it is.
    const int16_t* pB =
        buffer.nLevel >= 2 ? pRing + ((buffer.nOldest + 1) % buffer.nCapacity) * nChannels : pA;
    int16_t* pOut = out.data() + nFrame * nChannels;
    for (size_t c = 0; c < nChannels; ++c) {
      // Rounded half away from zero by hand: std::lround is a library call
      // per sample, and the card's callback holds the lock meanwhile.
      const double dValue = pA[c] + (pB[c] - pA[c]) * buffer.dPhase;
      pOut[c] = static_cast<int16_t>(dValue + (dValue >= 0 ? 0.5 : -0.5));
    }
    buffer.dPhase += dStep;
    while (buffer.dPhase >= 1.0 && buffer.nLevel > 0) {
      buffer.dPhase -= 1.0;
      buffer.nOldest = (buffer.nOldest + 1) % buffer.nCapacity;
      --buffer.nLevel;
    }
  }
  if (nFrame < nFrames) {
    // Dry: silence for as long as nothing comes, and nothing is dropped
    // afterwards to make up for it; the low level then steers the
    // correction back up, unless the pause grows into a new start.
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(nFrame * nChannels), out.end(), int16_t{0});
    buffer.qwUnderrunFrames += nFrames - nFrame;
    buffer.dPhase = 0;
    // A device that sends nothing says nothing about its clock.
    ResetDriftWindow(drift);
    return;
  }
  drift.qwFramesOut += nFrames;
  if (drift.qwFramesOut >= static_cast<uint64_t>(buffer.format.nRate)) {
    EvaluateDrift(drift, buffer.format);
  }
}

AudioFormat JitterFormat(JitterBuffer& buffer) {
  std::lock_guard lock(buffer.mutex);
  return buffer.format;
}

AudioLosses JitterLosses(JitterBuffer& buffer) {
  std::lock_guard lock(buffer.mutex);
  return {buffer.qwDroppedFrames, buffer.qwUnderrunFrames};
}

double JitterLevelMs(JitterBuffer& buffer) {
  std::lock_guard lock(buffer.mutex);
  if (buffer.format.nRate <= 0) return 0;
  return static_cast<double>(buffer.nLevel) * 1000.0 / buffer.format.nRate;
}
