// The SDL output over SDL's disk driver (what the card would play, in a file).
#include <gtest/gtest.h>
#include <unistd.h>

#include "audio/audio_output.h"
#include "audio/audio_player.h"

// A format opens the card; stopping closes it and ends the output's thread (what it plays is
// checked whole-program, tests/e2e/sound.sh). Waits up to 10 s (a loaded machine) for the card.
TEST(SdlOutput, FormatOpensTheCardAndStopClosesIt) {
  const std::string szPath = ::testing::TempDir() + "sdl_output_" + std::to_string(getpid());
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", szPath.c_str(), 1);
  AudioPlayer player;
  StartAudioOutput(player);
  EXPECT_FALSE(player.bCardOpen);  // no format yet: no card
  PlayerAudioFormat(player, 16, 2, 48000);
  for (int i = 0; i < 1000 && !player.bCardOpen; ++i) usleep(10000);
  ASSERT_TRUE(player.bCardOpen);
  StopAudioOutput(player);
  EXPECT_FALSE(player.bCardOpen);
  EXPECT_EQ(player.pfnFormatChanged, nullptr);
  std::remove(szPath.c_str());
}
