// The two audio slots' work: which formats are played, the jitter buffer they
// fill, muting, and the hand-off to the platform's output, which owns the
// sound card. Nothing here waits for the card.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/jitter_buffer.h"

struct AudioPlayer {
  JitterBuffer buffer;
  std::atomic<bool> bMuted{false};
  // Set by the output while a card plays: without one, chunks are not even
  // kept (they would only be dropped above the maximum, second after second).
  std::atomic<bool> bCardOpen{false};
  // Set when sound came while no card played: an output whose device went
  // away opens it again on the next sound.
  std::atomic<bool> bSoundWaiting{false};
  // Where a line for the user's log goes (null: nowhere).
  void (*pfnLog)(void* pContext, const char* szLine) = nullptr;
  void* pLogContext = nullptr;
  // Set by the output while it runs: told, without waiting, that the format
  // changed so that it re-opens the card.
  void (*pfnFormatChanged)(void* pContext) = nullptr;
  void* pOutputContext = nullptr;
  // The last format refused, so that a device repeating it is logged once.
  uint32_t nRefusedBits = 0;
  uint32_t nRefusedChannels = 0;
  int32_t nRefusedRate = 0;
  bool bRefusedLogged = false;
  AudioLosses reported;  // what PlayerReportLosses last saw
};

// 16-bit samples, 1 to 8 channels, 8 to 192 kHz.
bool IsPlayableAudioFormat(uint32_t nBitsPerChannel, uint32_t nChannels, int32_t nSampleRate);

// The onAudioFormat slot's work (the slot's fourth value, always 1, says
// nothing the player needs). A playable format (re)sizes the buffer when it
// differs; anything else is logged once and leaves the player silent until a
// playable one comes.
void PlayerAudioFormat(AudioPlayer& player, uint32_t nBitsPerChannel, uint32_t nChannels,
                       int32_t nSampleRate);

// The onAudioData slot's work: the chunk into the buffer, at qwNowMs, while a
// card plays; otherwise only bSoundWaiting is set.
void PlayerAudioData(AudioPlayer& player, const uint8_t* pData, int32_t nSize, uint64_t qwNowMs);

// For the output's callback: the next samples in the format its card plays;
// silence while muted (the buffer still runs, so unmuting is in time).
void PlayerFill(AudioPlayer& player, int16_t* pOut, uint32_t nSamples, const AudioFormat& played);

// Called about once a second by the output's thread: logs what was lost
// since the last call, if anything (a line per second at most, and none from
// the card's callback).
void PlayerReportLosses(AudioPlayer& player);

// Flips muting; returns true when now muted.
bool ToggleAudioMute(AudioPlayer& player);

// One line to the user's log.
void PlayerLog(AudioPlayer& player, const char* szFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
