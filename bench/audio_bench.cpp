// The sound's budgets on a virtual clock (simulated milliseconds, so an hour
// takes about a second): a device sending 20 ms chunks with up to 8 ms of
// arrival jitter on a clock P ppm off the card's, a card pulling 10 ms
// periods.
//   latency: from a sample's arrival to its hand-over to the card, median
//            and maximum over a minute, at 0 and +-2000 ppm;
//   level:   the buffer's level over an hour at +-2000 ppm, per 10 minutes;
//   hiccups: a 60 ms stall (the device sends nothing, and that sound never
//            comes) and a 60 ms burst (that much more sound at once) after
//            20 s at +100 ppm: the level (mean of each 200 ms) and the
//            correction from just before to 6 s after.
// Usage: audio_bench [minutes of the level run, default 60]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <random>
#include <vector>

#include "audio/jitter_buffer.h"
#include "bench_stats.h"

namespace {

struct Chunk {
  double dArrivalMs;
  size_t nFrames;
};

struct Run {
  std::vector<double> vecLatencyMs;  // per period: the wait of its first sample
  std::vector<double> vecLevelMs;    // per period, before the pull
  // Real time spent inside the buffer's calls, for the cost of each.
  double dPushNs = 0;
  double dPullNs = 0;
  uint64_t qwPushes = 0;
};

double NsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

// Takes nFrames off the front of the chunks held.
void Forget(std::deque<Chunk>& held, uint64_t nFrames) {
  while (nFrames > 0 && !held.empty()) {
    const uint64_t nTake = std::min<uint64_t>(nFrames, held.front().nFrames);
    held.front().nFrames -= nTake;
    nFrames -= nTake;
    if (held.front().nFrames == 0) held.pop_front();
  }
}

Run Simulate(double dDriftPpm, uint32_t nMinutes) {
  const AudioFormat format{48000, 2};
  JitterBuffer buffer;
  SetJitterFormat(buffer, format);
  std::mt19937 random(1234);
  std::uniform_int_distribution<int> jitter(0, 8);
  Run run;
  std::deque<Chunk> pending;  // chunks sent but not arrived yet
  std::deque<Chunk> held;     // arrived, not handed over (oldest first)
  uint64_t qwSent = 0;
  std::vector<uint8_t> vecChunk;
  std::vector<int16_t> vecPeriod(480 * 2);
  const uint64_t qwEndMs = uint64_t{nMinutes} * 60000;
  for (uint64_t t = 0; t < qwEndMs; ++t) {
    if (t % 20 == 0) {
      const auto qwDue = static_cast<uint64_t>((t + 20) * 48.0 * (1.0 + dDriftPpm * 1e-6));
      pending.push_back({static_cast<double>(t + jitter(random)), qwDue - qwSent});
      qwSent = qwDue;
    }
    while (!pending.empty() && pending.front().dArrivalMs <= static_cast<double>(t)) {
      const Chunk chunk = pending.front();
      pending.pop_front();
      vecChunk.assign(chunk.nFrames * 4, 0x11);
      const uint64_t qwDroppedBefore = buffer.qwDroppedFrames;
      const auto pushStart = std::chrono::steady_clock::now();
      PushAudio(buffer, vecChunk, t);
      run.dPushNs += NsSince(pushStart);
      ++run.qwPushes;
      held.push_back({static_cast<double>(t), chunk.nFrames});
      // Drops take the oldest: those held first, then the chunk's head.
      Forget(held, buffer.qwDroppedFrames - qwDroppedBefore);
    }
    if (t % 10 == 0) {
      run.vecLevelMs.push_back(JitterLevelMs(buffer));
      const size_t nLevelBefore = buffer.nLevel;
      const auto pullStart = std::chrono::steady_clock::now();
      PullAudio(buffer, vecPeriod, format);
      run.dPullNs += NsSince(pullStart);
      const size_t nHandedOver = nLevelBefore - buffer.nLevel;
      if (nHandedOver > 0) {
        run.vecLatencyMs.push_back(static_cast<double>(t) - held.front().dArrivalMs);
      }
      Forget(held, nHandedOver);
    }
  }
  return run;
}

// 20 ms chunks with up to 8 ms of jitter, the hiccup at 20 s.
void PrintHiccup(const char* szName, bool bBurst) {
  constexpr double kPpm = 100;
  constexpr uint64_t kAtMs = 20000;
  const AudioFormat format{48000, 2};
  JitterBuffer buffer;
  SetJitterFormat(buffer, format);
  std::mt19937 random(1234);
  std::uniform_int_distribution<int> jitter(0, 8);
  std::deque<Chunk> pending;
  uint64_t qwSent = 0;
  std::vector<uint8_t> vecChunk;
  std::vector<int16_t> vecPeriod(480 * 2);
  double dLevelSum = 0;
  std::printf("%s at %+.0f ppm (level in ms, target %u; correction; the drift is %+.4f%%):\n",
              szName, kPpm, kAudioTargetMs, kPpm * 1e-4);
  for (uint64_t t = 0; t < kAtMs + 6000; ++t) {
    if (t % 20 == 0) {
      auto qwDue = static_cast<uint64_t>((t + 20) * 48.0 * (1.0 + kPpm * 1e-6));
      if (bBurst && t >= kAtMs) qwDue += 60 * 48;
      if (bBurst || t < kAtMs || t >= kAtMs + 60) {
        pending.push_back({static_cast<double>(t + jitter(random)), qwDue - qwSent});
      }
      qwSent = qwDue;
    }
    while (!pending.empty() && pending.front().dArrivalMs <= static_cast<double>(t)) {
      vecChunk.assign(pending.front().nFrames * 4, 0x11);
      pending.pop_front();
      PushAudio(buffer, vecChunk, t);
    }
    if (t % 10 == 0) {
      dLevelSum += JitterLevelMs(buffer);
      PullAudio(buffer, vecPeriod, format);
      if (t % 200 == 190) {
        if (t + 1000 >= kAtMs) {
          std::printf("  %+5.1f s: level %5.1f  correction %+.4f%%\n",
                      (static_cast<double>(t) - kAtMs + 10) / 1000.0, dLevelSum / 20,
                      buffer.drift.dCorrection * 100);
        }
        dLevelSum = 0;
      }
    }
  }
}

double Max(const std::vector<double>& vecValues) {
  double dMax = 0;
  for (const double d : vecValues) dMax = std::max(dMax, d);
  return dMax;
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t nLevelMinutes = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 60;
  std::printf("latency over a minute, arrival to hand-over (ms):\n");
  for (const double dPpm : {0.0, 2000.0, -2000.0}) {
    const Run run = Simulate(dPpm, 1);
    std::printf("  %+6.0f ppm: median %5.1f  max %5.1f\n", dPpm, Median(run.vecLatencyMs),
                Max(run.vecLatencyMs));
  }
  std::printf("level over %u minutes (ms; target %u, maximum %u):\n", nLevelMinutes, kAudioTargetMs,
              kAudioMaxMs);
  for (const double dPpm : {2000.0, -2000.0}) {
    const Run run = Simulate(dPpm, nLevelMinutes);
    std::printf(
        "  %+6.0f ppm, latency median %5.1f max %5.1f; cost %.2f us per 20 ms chunk pushed, "
        "%.2f us per 10 ms period pulled\n",
        dPpm, Median(run.vecLatencyMs), Max(run.vecLatencyMs),
        run.dPushNs / 1000.0 / static_cast<double>(run.qwPushes),
        run.dPullNs / 1000.0 / static_cast<double>(run.vecLevelMs.size()));
    const size_t nPer = 10 * 60 * 100;  // periods in 10 minutes
    for (size_t nFrom = 0; nFrom < run.vecLevelMs.size(); nFrom += nPer) {
      const size_t nTo = std::min(nFrom + nPer, run.vecLevelMs.size());
      const std::vector<double> part(run.vecLevelMs.begin() + static_cast<std::ptrdiff_t>(nFrom),
                                     run.vecLevelMs.begin() + static_cast<std::ptrdiff_t>(nTo));
      double dSum = 0;
      for (const double d : part) dSum += d;
      std::printf("    min %3zu-%3zu: mean %5.1f  min %5.1f  max %5.1f\n", nFrom / 6000, nTo / 6000,
                  dSum / static_cast<double>(part.size()), Percentile(part, 0.0), Max(part));
    }
  }
  PrintHiccup("stall of 60 ms", false);
  PrintHiccup("burst of 60 ms", true);
  return 0;
}
