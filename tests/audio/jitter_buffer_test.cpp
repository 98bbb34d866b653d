// The jitter buffer on a virtual clock: a device sends a sine on its own clock, a card pulls 10 ms.
#include "audio/jitter_buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

namespace {

struct Scenario {
  const char* szName;
  double dDriftPpm;                       // the device's clock against the card's
  uint32_t nChunkMs;                      // the device sends a chunk this often
  uint32_t nHoldEveryMs, nHoldMs;         // bursts: chunks held back nHoldMs of every nHoldEveryMs
  uint32_t nPauseAtMs, nPauseMs;          // the device's sound stops for a while
  bool bFormatChange;                     // halfway, 44.1 kHz mono instead of 48 kHz stereo
  double dToleranceMs;                    // the settled mean level's distance from the target
  uint32_t nBurstAtMs = 0, nBurstMs = 0;  // nBurstMs more sound at once
};

constexpr uint32_t kRunMs = 60000;
constexpr uint32_t kSettledFromMs = 50000;

// 1 kHz at quarter scale; resampled it stays smooth: steps and second differences near the sine's.
int16_t Tone(uint64_t qwFrame, int32_t nRate) {
  const double dTurns = 1000.0 * static_cast<double>(qwFrame) / nRate;
  return static_cast<int16_t>(std::lround(8192.0 * std::sin(2.0 * std::numbers::pi * dTurns)));
}

// Never past the maximum, never a write past the period, the correction within its limit. After a
// single stall or burst: heard as one gap or one cut, never as a bent pitch (the correction stays
// near the drift), and back within 5 s (means of 200 ms within 5 ms, not 10 ms past the other way).
void Simulate(const Scenario& scenario) {
  const bool bHiccup = scenario.nPauseMs == 60 || scenario.nBurstMs != 0;
  const bool bSmooth = scenario.nHoldMs == 0 && scenario.nPauseMs == 0 && scenario.nBurstMs == 0 &&
                       !scenario.bFormatChange;
  JitterBuffer buffer;
  AudioFormat format{48000, 2};
  SetJitterFormat(buffer, format);
  uint64_t qwSent = 0;        // device frames made so far
  double dDeviceStartMs = 0;  // when the device's clock (of this format) began
  double dLevelSum = 0, dWindowSum = 0;
  int nPrevious = 0, nPreviousStep = 0, nJumps = 0;  // jumps: where the sine played is not smooth
  const uint32_t nEventMs = scenario.nBurstMs != 0 ? scenario.nBurstAtMs : scenario.nPauseAtMs;
  std::vector<int16_t> vecChunk, vecPeriod;
  for (uint32_t t = 0; t < kRunMs; ++t) {
    if (scenario.bFormatChange && t == kRunMs / 2) {
      std::tie(format, qwSent, dDeviceStartMs) = std::tuple(AudioFormat{44100, 1}, 0, t);
      SetJitterFormat(buffer, format);
    }
    const bool bPaused = t >= scenario.nPauseAtMs && t < scenario.nPauseAtMs + scenario.nPauseMs;
    const bool bHeld = scenario.nHoldMs != 0 && t % scenario.nHoldEveryMs < scenario.nHoldMs;
    const bool bBurst = scenario.nBurstMs != 0 && t >= scenario.nBurstAtMs;
    const double dDue =
        (t - dDeviceStartMs) * format.nRate / 1000.0 * (1.0 + scenario.dDriftPpm * 1e-6) +
        (bBurst ? scenario.nBurstMs * format.nRate / 1000.0 : 0);
    if (bPaused) {
      qwSent = static_cast<uint64_t>(dDue);  // a silent device sends nothing
    } else if ((t % scenario.nChunkMs == 0 && !bHeld) || (bBurst && t == scenario.nBurstAtMs)) {
      const size_t nFrames = static_cast<size_t>(dDue) - qwSent;
      vecChunk.resize(nFrames * format.nChannels);  // as the device sends it: little-endian
      for (size_t i = 0; i < vecChunk.size(); ++i)
        vecChunk[i] = Tone(qwSent + i / format.nChannels, format.nRate);
      qwSent += nFrames;
      PushAudio(buffer, {reinterpret_cast<const uint8_t*>(vecChunk.data()), 2 * vecChunk.size()},
                t);
      ASSERT_LE(JitterLevelMs(buffer), kAudioMaxMs + 0.1) << t;
    }
    if (t % 10 == 0) {
      if (t >= kSettledFromMs) dLevelSum += JitterLevelMs(buffer);
      dWindowSum += JitterLevelMs(buffer);
      if (t % 200 == 190) {
        const double dOffMs = std::exchange(dWindowSum, 0) / 20 - kAudioTargetMs;
        if (bHiccup && t > nEventMs + 200) {
          ASSERT_TRUE(std::fabs(dOffMs) <= 5 || t - nEventMs <= 5000) << t;
          ASSERT_LE(scenario.nBurstMs != 0 ? -dOffMs : dOffMs, 10) << t;
        }
      }
      vecPeriod.assign(format.nRate / 100 * format.nChannels + 1, 0x7777);  // the last: not ours
      PullAudio(buffer, std::span(vecPeriod).first(vecPeriod.size() - 1), format);
      ASSERT_EQ(vecPeriod.back(), 0x7777) << t;
      vecPeriod.pop_back();
      ASSERT_LE(std::fabs(buffer.drift.dCorrection), kAudioMaxCorrection) << t;
      const double dOffDrift = std::fabs(buffer.drift.dCorrection - scenario.dDriftPpm * 1e-6);
      ASSERT_TRUE(!bHiccup || t < nEventMs || dOffDrift <= 0.003) << t;
      for (size_t i = 0; i < vecPeriod.size(); i += format.nChannels) {
        const int nValue = vecPeriod[i];
        if (format.nChannels == 2 && vecPeriod[i + 1] != nValue) ++nJumps;  // same in both
        const int nStep = nValue - nPrevious;
        nJumps += t > 1000 && (std::abs(nStep) > 1250 || std::abs(nStep - nPreviousStep) > 300);
        std::tie(nPrevious, nPreviousStep) = std::tuple(nValue, nStep);
      }
    }
  }
  EXPECT_NEAR(dLevelSum / ((kRunMs - kSettledFromMs) / 10), kAudioTargetMs, scenario.dToleranceMs);
  if (!bSmooth) return;
  EXPECT_EQ(nJumps, 0);
  // Settled, the card plays at the device's pace.
  EXPECT_NEAR(buffer.drift.dCorrection, scenario.dDriftPpm * 1e-6, 0.0005);
}

TEST(JitterBuffer, LevelSettlesAtTheTargetAndNeverPassesTheMaximum) {
  const Scenario scenarios[] = {
      {"steady", 0, 20, 0, 0, 0, 0, false, 2},
      {"device 0.5% fast", 5000, 20, 0, 0, 0, 0, false, 2},
      {"device 0.5% slow", -5000, 20, 0, 0, 0, 0, false, 2},
      // At the correction's limit the level keeps what it gained before: it holds there, no cuts.
      {"device 2% fast", 20000, 20, 0, 0, 0, 0, false, 35},
      {"device 2% slow", -20000, 20, 0, 0, 0, 0, false, 35},
      {"33 ms chunks, 0.2% fast", 2000, 33, 0, 0, 0, 0, false, 2},
      {"bursts of 40 ms every second", 0, 10, 1000, 40, 0, 0, false, 4},
      // Each hiccup sets the level straight and teaches nothing; it learns the drift in between.
      {"bursts of 300 ms every 5 s, 0.5% slow", -5000, 20, 5000, 300, 0, 0, false, 6},
      {"stall of 80 ms", 0, 20, 0, 0, 10000, 80, false, 4},
      {"stall of 2 s, 0.5% fast", 5000, 20, 0, 0, 10000, 2000, false, 4},
      {"format change, 0.5% fast", 5000, 20, 0, 0, 0, 0, true, 4},
      // A single hiccup, at any point of the chunks' sawtooth.
      {"stall of 60 ms, 0.3% slow", -3000, 10, 0, 0, 20013, 60, false, 2},
      {"stall of 60 ms, 0.5% fast", 5000, 33, 0, 0, 20021, 60, false, 2},
      {"burst of 60 ms, 0.3% fast", 3000, 10, 0, 0, 0, 0, false, 2, 20007, 60},
      {"burst of 60 ms, 0.5% slow", -5000, 33, 0, 0, 0, 0, false, 2, 20017, 60},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.szName);
    Simulate(scenario);
  }
}

}  // namespace
