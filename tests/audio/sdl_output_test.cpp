// The SDL output over SDL's disk driver (what the card would play, in a file):
// a format opens the card, what the buffer holds is played, and stopping
// closes the card and ends the output's thread.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_output.h"
#include "audio/audio_player.h"

namespace {

// Waits (up to 10 s of real time, for a loaded machine) until bDone() holds.
template <typename Done>
bool WaitFor(Done bDone) {
  for (int i = 0; i < 1000 && !bDone(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return bDone();
}

size_t SamplesHolding(const std::string& szPath, int16_t nValue) {
  std::ifstream file(szPath, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
  size_t nFound = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    nFound += static_cast<uint8_t>(bytes[i]) == (nValue & 0xFF) &&
              static_cast<uint8_t>(bytes[i + 1]) == ((nValue >> 8) & 0xFF);
  }
  return nFound;
}

TEST(SdlOutput, FormatOpensTheCardThatPlaysTheBufferAndStopClosesIt) {
  const std::string szPath = ::testing::TempDir() + "sdl_output_" + std::to_string(getpid());
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", szPath.c_str(), 1);
  AudioPlayer player;
  StartAudioOutput(player);
  EXPECT_FALSE(player.bCardOpen);  // no format yet: no card
  PlayerAudioFormat(player, 16, 2, 48000);
  ASSERT_TRUE(WaitFor([&] { return player.bCardOpen.load(); }));
  const std::vector<uint8_t> chunk(48 * 100 * 4, 0x12);  // 100 ms of 0x1212
  PlayerAudioData(player, chunk.data(), static_cast<int32_t>(chunk.size()), 0);
  EXPECT_TRUE(WaitFor([&] { return SamplesHolding(szPath, 0x1212) >= 48 * 50 * 2; }));
  StopAudioOutput(player);
  EXPECT_FALSE(player.bCardOpen);
  EXPECT_EQ(player.pfnFormatChanged, nullptr);
  std::remove(szPath.c_str());
}

}  // namespace
