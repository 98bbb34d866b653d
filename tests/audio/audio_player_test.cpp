// What the audio slots make of a device's sound: formats, hostile ones, the controls around the
// buffer; a lost output reopened on the next sound at most once a second.
#include "audio/audio_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "audio/output_recovery.h"

namespace {

// Samples of a period that are not silent (or that hold nValue).
int Audible(AudioPlayer& player, const AudioFormat& played, int nValue = 0) {
  std::vector<int16_t> period(static_cast<size_t>(played.nRate / 100) * played.nChannels);
  PlayerFill(player, period.data(), static_cast<uint32_t>(period.size()), played);
  return static_cast<int>(std::count_if(
      period.begin(), period.end(), [&](int16_t v) { return nValue == 0 ? v != 0 : v == nValue; }));
}

// nBytes of non-silent samples in a block of just that size: ASan catches a read past it.
void Send(AudioPlayer& player, size_t nBytes, uint64_t qwNowMs, uint8_t nByte = 0x11) {
  const std::vector<uint8_t> chunk(nBytes, nByte);
  PlayerAudioData(player, chunk.data(), static_cast<int32_t>(chunk.size()), qwNowMs);
}

TEST(AudioPlayer, PlaysSixteenBitFormatsAndRefusesTheRestOnce) {
  // Name, bits, channels, rate, bytes after 60 ms of whole frames, data before the format, plays.
  const std::tuple<const char*, uint32_t, uint32_t, int32_t, size_t, bool, bool> cases[] = {
      {"48 kHz stereo", 16, 2, 48000, 0, false, true},
      {"8 kHz mono", 16, 1, 8000, 0, false, true},
      {"192 kHz, 8 channels", 16, 8, 192000, 0, false, true},
      {"a trailing partial frame", 16, 2, 48000, 3, false, true},
      {"data before the format", 16, 2, 48000, 0, true, true},
      {"24-bit", 24, 2, 48000, 0, false, false},
      {"no channels", 16, 0, 48000, 0, false, false},
      {"9 channels", 16, 9, 48000, 0, false, false},
      {"huge channel count", 16, 0xFFFFFFFF, 48000, 0, false, false},
      {"7999 Hz", 16, 2, 7999, 0, false, false},
      {"192001 Hz", 16, 2, 192001, 0, false, false},
      {"negative rate", 16, 2, -48000, 0, false, false},
  };
  for (const auto& [szName, nBits, nChannels, nRate, nExtraBytes, bDataBeforeFormat, bPlays] :
       cases) {
    SCOPED_TRACE(szName);
    AudioPlayer player;
    player.bCardOpen = true;
    int nLines = 0, nReopens = 0;
    player.pfnLog = [](void* pCount, const char*) { ++*static_cast<int*>(pCount); };
    player.pLogContext = &nLines;
    player.pfnFormatChanged = [](void* pCount) { ++*static_cast<int*>(pCount); };
    player.pOutputContext = &nReopens;
    const AudioFormat played = bPlays ? AudioFormat{nRate, nChannels} : AudioFormat{48000, 2};
    const size_t nFrameBytes = 2 * static_cast<size_t>(std::min(nChannels, 8u));
    const size_t nBytes = static_cast<size_t>(std::max(nRate, 8000)) * 60 / 1000 * nFrameBytes;
    if (bDataBeforeFormat) Send(player, nBytes + 1, 0);
    EXPECT_EQ(Audible(player, played), 0);
    for (int i = 0; i < 2; ++i) PlayerAudioFormat(player, nBits, nChannels, nRate);  // repeated
    Send(player, nBytes + nExtraBytes, 10);
    EXPECT_EQ(std::tuple(Audible(player, played) > 0, nLines, nReopens),
              std::tuple(bPlays, bPlays ? 0 : 1, bPlays ? 1 : 0));
  }
}

TEST(AudioPlayer, MuteNewStartsAndFormatChanges) {
  AudioPlayer player;
  const AudioFormat stereo{48000, 2};
  PlayerAudioFormat(player, 16, 2, 48000);
  EXPECT_FALSE(player.bSoundWaiting);
  Send(player, 48 * 60 * 4, 0);  // no card open: not even kept, only noted
  EXPECT_EQ(Audible(player, stereo), 0);
  EXPECT_TRUE(player.bSoundWaiting);
  player.bCardOpen = true;
  Send(player, 48 * 60 * 4, 0);  // 60 ms: above the target, so playing
  EXPECT_TRUE(ToggleAudioMute(player));
  EXPECT_EQ(Audible(player, stereo), 0);
  EXPECT_FALSE(ToggleAudioMute(player));
  EXPECT_GT(Audible(player, stereo), 0);
  // A card that plays another format than the buffer holds gets silence.
  EXPECT_EQ(Audible(player, AudioFormat{48000, 1}), 0);
  EXPECT_GT(Audible(player, stereo), 0);  // 30 ms left
  // More than 100 ms without a chunk: a new start, silent until the target.
  Send(player, 48 * 10 * 4, 150);
  EXPECT_EQ(Audible(player, stereo), 0);
  Send(player, 48 * 20 * 4, 160);
  EXPECT_GT(Audible(player, stereo), 0);
  // A refused format silences what was held; a playable one plays again.
  PlayerAudioFormat(player, 24, 2, 48000);
  EXPECT_EQ(Audible(player, stereo), 0);
  const AudioFormat mono{44100, 1};
  PlayerAudioFormat(player, 16, 1, 44100);
  Send(player, 441 * 6 * 2, 200);
  for (int i = 0; i < 6; ++i) EXPECT_GT(Audible(player, mono), 0);
  // Run dry: silent until back at the target; what came beyond it is late, the oldest unheard.
  EXPECT_EQ(Audible(player, mono), 0);
  Send(player, 441 * 2, 270);
  EXPECT_EQ(Audible(player, mono), 0);
  Send(player, 441 * 6 * 2, 275, 0x33);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Audible(player, mono, 0x3333), 441);
  EXPECT_EQ(Audible(player, mono), 0);
  // Over the maximum, down to the target: of 150 ms (cut to 50) then 70 more, the last 50 play.
  Send(player, 441 * 15 * 2, 280, 0x11);
  Send(player, 441 * 7 * 2, 281, 0x22);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Audible(player, mono, 0x2222), 441);
  EXPECT_EQ(Audible(player, mono), 0);
  // Each refused format is said once, however often it comes.
  int nLines = 0;
  player.pfnLog = [](void* pCount, const char*) { ++*static_cast<int*>(pCount); };
  player.pLogContext = &nLines;
  for (const int32_t nRate : {7000, 7000, 300000, 7000}) PlayerAudioFormat(player, 16, 2, nRate);
  // The losses so far in one line, and none when there are no new ones.
  PlayerReportLosses(player);
  PlayerReportLosses(player);
  EXPECT_EQ(nLines, 4);
}

enum class Step { FormatChanged, Ask, Opened, OpenFailed, Lost };

TEST(OutputRecovery, ReopensOnTheNextSoundAtMostOnceASecond) {
  // A step, its time, for Ask: sound waits; expected: Ask: open now, Opened/OpenFailed: log it.
  const std::tuple<Step, uint64_t, bool, bool, const char*> rows[] = {
      {Step::Ask, 0, false, true, "a first format opens at once, sound or not"},
      {Step::OpenFailed, 0, false, true, "no device: said"},
      {Step::Ask, 999, true, false, "sound, but within the second"},
      {Step::Ask, 1000, false, false, "a second on, but no sound"},
      {Step::Ask, 1000, true, true, "sound, a second on"},
      {Step::OpenFailed, 1000, false, false, "still no device: not said again"},
      {Step::Ask, 2000, true, true, "the next second"},
      {Step::Opened, 2000, false, true, "back: said"},
      {Step::Ask, 9000, true, false, "never while open"},
      {Step::Lost, 9000, false, false, "a write failed"},
      {Step::Ask, 9000, true, true, "the last attempt is long past"},
      {Step::OpenFailed, 9000, false, true, "the first failure since it played: said"},
      {Step::FormatChanged, 9600, false, false, ""},
      {Step::Ask, 9600, false, true, "a new format opens at once"},
      {Step::Opened, 9600, false, true, "said"},
      {Step::Lost, 9700, false, false, "lost right after opening"},
      {Step::Ask, 9700, true, false, "no second attempt within the second"},
      {Step::Ask, 10600, true, true, "a second after the last attempt"},
  };
  OutputRecovery recovery;
  for (const auto& [step, qwNow, bSound, bExpected, szWhy] : rows) {
    SCOPED_TRACE(szWhy);
    bool bGot = bExpected;  // nothing to ask of a format change or a loss
    if (step == Step::FormatChanged) RecoveryFormatChanged(recovery);
    if (step == Step::Lost) RecoveryLost(recovery);
    if (step == Step::Ask) bGot = RecoveryShouldOpen(recovery, bSound, qwNow);
    if (step == Step::Opened || step == Step::OpenFailed)
      bGot = RecoveryOpened(recovery, step == Step::Opened, qwNow);
    EXPECT_EQ(bGot, bExpected);
  }
  // Stalled after two seconds without a buffer back (not by progress noted after the time read).
  EXPECT_EQ(
      std::tuple(OutputStalled(1000, 2999), OutputStalled(1000, 3000), OutputStalled(5000, 4000)),
      std::tuple(false, true, false));
}

}  // namespace
