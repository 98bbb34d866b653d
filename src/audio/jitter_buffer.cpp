#include "audio/jitter_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// A level moved at once by more than this is set straight in one step; less
// is left to the steering.
constexpr double kStraightMs = 1.0;
// Per millisecond of error and second of evaluation. Near the target (within
// kNearMs) the gains are gentle: steering a settled level bends the pitch by
// at most 0.125% beyond the clocks' drift, and the estimate moves by tens of
// ppm a second, so it neither hunts nor starts a slow cycle (poles at 0.87 a
// second, just under critical damping). Beyond it, errors only come from a
// drift not learned yet: there the proportional part would take the whole
// error away in the next second, and the integral part learns fast.
constexpr double kNearMs = 5.0;
constexpr double kProportionalGain = 1.0 / 1000.0;
constexpr double kIntegralGain = 0.25 / 1000.0;
constexpr double kNearProportionalGain = 0.25 / 1000.0;
constexpr double kNearIntegralGain = 0.05 / 1000.0;

// The gain's share of an error: dNear per ms up to kNearMs, dFar beyond.
double Share(double dErrorMs, double dNear, double dFar) {
  const double dNearMs = std::min(std::fabs(dErrorMs), kNearMs);
  return std::copysign(dNear * dNearMs + dFar * (std::fabs(dErrorMs) - dNearMs), dErrorMs);
}

void ResetDriftWindow(DriftControl& drift) {
  drift.dLevelSum = 0;
  drift.nLevelSamples = 0;
  drift.qwFramesOut = 0;
}

// Drops the oldest nFrames held (at most the level).
void DropOldest(JitterBuffer& buffer, size_t nFrames) {
  buffer.nOldest = (buffer.nOldest + nFrames) % buffer.nCapacity;
  buffer.nLevel -= nFrames;
  buffer.dPhase = 0;
}

// A level moved at once is put back at once: one cut or one short silence is
// heard, where steering it back would bend the pitch for seconds (and teach
// the drift estimate a drift the clocks do not have).
void SetLevelStraight(JitterBuffer& buffer, double dErrorMs) {
  DriftControl& drift = buffer.drift;
  drift.bResync = false;
  drift.dCorrection = drift.dDriftEstimate;
  if (std::fabs(dErrorMs) < kStraightMs) return;
  const auto nFrames =
      static_cast<size_t>(std::fabs(dErrorMs) * buffer.format.nRate / 1000.0 + 0.5);
  if (dErrorMs > 0) {
    const size_t nDrop = std::min(nFrames, buffer.nLevel);
    DropOldest(buffer, nDrop);
    buffer.qwDroppedFrames += nDrop;
  } else {
    buffer.nSilenceFrames = nFrames;
    buffer.qwUnderrunFrames += nFrames;
  }
}

void EvaluateDrift(JitterBuffer& buffer) {
  DriftControl& drift = buffer.drift;
  const double dMeanMs = drift.dLevelSum / drift.nLevelSamples * 1000.0 / buffer.format.nRate;
  const double dErrorMs = dMeanMs - kAudioTargetMs;
  ResetDriftWindow(drift);
  if (drift.bResync) {
    SetLevelStraight(buffer, dErrorMs);
    return;
  }
  drift.dDriftEstimate =
      std::clamp(drift.dDriftEstimate + Share(dErrorMs, kNearIntegralGain, kIntegralGain),
                 -kAudioMaxCorrection, kAudioMaxCorrection);
  drift.dCorrection =
      std::clamp(drift.dDriftEstimate + Share(dErrorMs, kNearProportionalGain, kProportionalGain),
                 -kAudioMaxCorrection, kAudioMaxCorrection);
}

// Something else than the clocks moved the level: the second it happened in
// says nothing about them.
void MarkLevelMoved(DriftControl& drift) {
  ResetDriftWindow(drift);
  drift.bResync = true;
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
  buffer.nSilenceFrames = 0;
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
  const uint64_t qwSinceLastMs = buffer.bHadChunk ? qwNowMs - buffer.qwLastChunkMs : 0;
  if (qwSinceLastMs > kAudioGapMs) {
    buffer.bPlaying = false;  // a new start: fill up to the target again
    ResetDriftWindow(buffer.drift);
  }
  buffer.bHadChunk = true;
  buffer.qwLastChunkMs = qwNowMs;
  if (nFrames == 0) return;

  // Above the maximum, the oldest go first (those held, then the chunk's own
  // head): one audible cut, and the latency is back. Right after a chunk the
  // level stands about half a chunk's time above its mean, so what is kept is
  // the target and that half (of at most 40 ms: a longer wait was a stall).
  const size_t nTarget = AudioFramesIn(buffer.format, kAudioTargetMs);
  size_t nSkip = 0;
  if (buffer.nLevel + nFrames > buffer.nCapacity) {
    const uint64_t qwChunkMs = std::min<uint64_t>(qwSinceLastMs, 40);
    const size_t nKeep =
        nTarget + AudioFramesIn(buffer.format, static_cast<uint32_t>(qwChunkMs / 2));
    const size_t nExcess = buffer.nLevel + nFrames - nKeep;
    const size_t nFromRing = std::min(nExcess, buffer.nLevel);
    DropOldest(buffer, nFromRing);
    nSkip = nExcess - nFromRing;
    buffer.qwDroppedFrames += nExcess;
    MarkLevelMoved(buffer.drift);
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
  if (buffer.bPlaying && !buffer.drift.bResync &&
      buffer.nLevel > AudioFramesIn(buffer.format, kAudioBurstMs)) {
    MarkLevelMoved(buffer.drift);  // a burst: cut with the next second's level
  }
  // After running dry, playing restarts at the target: what came beyond it
  // while nothing played is late and goes unheard in the same gap.
  if (!buffer.bPlaying && buffer.nLevel >= nTarget) {
    if (buffer.drift.bResync) {
      buffer.qwDroppedFrames += buffer.nLevel - nTarget;
      DropOldest(buffer, buffer.nLevel - nTarget);
    }
    buffer.bPlaying = true;
  }
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
  size_t nFrame = std::min(buffer.nSilenceFrames, nFrames);
  std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(nFrame * nChannels), int16_t{0});
  buffer.nSilenceFrames -= nFrame;
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
    // Dry: the sound is already broken, so the same gap fills the buffer up
    // to the target again (a second gap later, or seconds of bent pitch,
    // would be worse).
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(nFrame * nChannels), out.end(), int16_t{0});
    buffer.qwUnderrunFrames += nFrames - nFrame;
    buffer.dPhase = 0;
    buffer.bPlaying = false;
    // A device that sends nothing says nothing about its clock.
    MarkLevelMoved(drift);
    return;
  }
  drift.qwFramesOut += nFrames;
  if (drift.qwFramesOut >= static_cast<uint64_t>(buffer.format.nRate)) {
    EvaluateDrift(buffer);
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
