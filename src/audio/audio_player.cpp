#include "audio/audio_player.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <span>

bool IsPlayableAudioFormat(uint32_t nBitsPerChannel, uint32_t nChannels, int32_t nSampleRate) {
  return nBitsPerChannel == 16 && nChannels >= 1 && nChannels <= 8 && nSampleRate >= 8000 &&
         nSampleRate <= 192000;
}

void PlayerLog(AudioPlayer& player, const char* szFormat, ...) {
  if (player.pfnLog == nullptr) return;
  char szLine[256];
  va_list args;
  va_start(args, szFormat);
  std::vsnprintf(szLine, sizeof szLine, szFormat, args);
  va_end(args);
  player.pfnLog(player.pLogContext, szLine);
}

void PlayerAudioFormat(AudioPlayer& player, uint32_t nBitsPerChannel, uint32_t nChannels,
                       int32_t nSampleRate) {
  AudioFormat format;
  if (IsPlayableAudioFormat(nBitsPerChannel, nChannels, nSampleRate)) {
    format = {nSampleRate, nChannels};
  } else if (!player.bRefusedLogged || player.nRefusedBits != nBitsPerChannel ||
             player.nRefusedChannels != nChannels || player.nRefusedRate != nSampleRate) {
    player.bRefusedLogged = true;
    player.nRefusedBits = nBitsPerChannel;
    player.nRefusedChannels = nChannels;
    player.nRefusedRate = nSampleRate;
    PlayerLog(player, "audio: cannot play %u-bit samples, %u channels, %d Hz: silent",
              nBitsPerChannel, nChannels, nSampleRate);
  }
  if (JitterFormat(player.buffer) == format) return;
  SetJitterFormat(player.buffer, format);
  if (player.pfnFormatChanged != nullptr) player.pfnFormatChanged(player.pOutputContext);
}

void PlayerAudioData(AudioPlayer& player, const uint8_t* pData, int32_t nSize, uint64_t qwNowMs) {
  if (pData == nullptr || nSize <= 0) return;
  if (!player.bCardOpen.load(std::memory_order_relaxed)) {
    player.bSoundWaiting.store(true, std::memory_order_relaxed);
    return;
  }
  PushAudio(player.buffer, std::span<const uint8_t>(pData, static_cast<size_t>(nSize)), qwNowMs);
}

void PlayerFill(AudioPlayer& player, int16_t* pOut, uint32_t nSamples, const AudioFormat& played) {
  const std::span<int16_t> out(pOut, nSamples);
  PullAudio(player.buffer, out, played);
  if (player.bMuted.load(std::memory_order_relaxed)) std::fill(out.begin(), out.end(), int16_t{0});
}

void PlayerReportLosses(AudioPlayer& player) {
  const AudioLosses losses = JitterLosses(player.buffer);
  const uint64_t qwDropped = losses.qwDroppedFrames - player.reported.qwDroppedFrames;
  const uint64_t qwSilent = losses.qwUnderrunFrames - player.reported.qwUnderrunFrames;
  player.reported = losses;
  if (qwDropped == 0 && qwSilent == 0) return;
  PlayerLog(player,
            "audio: %llu frames dropped, %llu of silence played (the device's sound came late, "
            "stalled or in a burst)",
            static_cast<unsigned long long>(qwDropped), static_cast<unsigned long long>(qwSilent));
}

bool ToggleAudioMute(AudioPlayer& player) {
  // Only the window's thread flips it: a load and a store are enough.
  const bool bMuted = !player.bMuted.load();
  player.bMuted.store(bMuted);
  return bMuted;
}
