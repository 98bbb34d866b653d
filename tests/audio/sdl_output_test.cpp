// The SDL output over SDL's disk driver (what the card would play, in a file).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "audio/audio_output.h"
#include "audio/audio_player.h"

// A format opens the card, which plays what the buffer holds; stopping closes it and ends the
// output's thread. Waits up to 10 s of real time (a loaded machine) for each step.
TEST(SdlOutput, FormatOpensTheCardThatPlaysTheBufferAndStopClosesIt) {
  const std::string szPath = ::testing::TempDir() + "sdl_output_" + std::to_string(getpid());
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", szPath.c_str(), 1);
  const auto WaitFor = [](auto bDone) {
    for (int i = 0; i < 1000 && !bDone(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return bDone();
  };
  AudioPlayer player;
  StartAudioOutput(player);
  EXPECT_FALSE(player.bCardOpen);  // no format yet: no card
  PlayerAudioFormat(player, 16, 2, 48000);
  ASSERT_TRUE(WaitFor([&] { return player.bCardOpen.load(); }));
  const std::string szChunk(48 * 100 * 4, '\x12');  // 100 ms of 0x1212
  PlayerAudioData(player, reinterpret_cast<const uint8_t*>(szChunk.data()), 48 * 100 * 4, 0);
  EXPECT_TRUE(WaitFor([&] {  // 50 ms of it played
    std::stringstream played;
    played << std::ifstream(szPath, std::ios::binary).rdbuf();
    return played.str().find(szChunk.substr(0, 48 * 50 * 4)) != std::string::npos;
  }));
  StopAudioOutput(player);
  EXPECT_FALSE(player.bCardOpen);
  EXPECT_EQ(player.pfnFormatChanged, nullptr);
  std::remove(szPath.c_str());
}
