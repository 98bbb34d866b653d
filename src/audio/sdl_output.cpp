// SDL2 audio: the card pulls 10 ms periods through a callback on SDL's own
// audio thread. SDL_AUDIODRIVER=disk with SDL_DISKAUDIOFILE writes what the
// card would play to a file.
#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "audio/audio_output.h"
#include "audio/audio_player.h"

namespace {

struct SdlOutput {
  AudioPlayer* pPlayer = nullptr;
  std::thread thread;
  std::mutex mutex;  // guards the two flags only
  std::condition_variable wake;
  bool bFormatChanged = true;
  bool bStop = false;
  SDL_AudioDeviceID device = 0;
  // Written only while no device is open; read by SDL's callback.
  AudioFormat played;
};

SdlOutput g_Output;

void SDLCALL FillPeriod(void* pContext, Uint8* pStream, int nBytes) {
  auto& output = *static_cast<SdlOutput*>(pContext);
  PlayerFill(*output.pPlayer, reinterpret_cast<int16_t*>(pStream),
             static_cast<uint32_t>(nBytes) / sizeof(int16_t), output.played);
}

void OnFormatChanged(void* pContext) {
  auto& output = *static_cast<SdlOutput*>(pContext);
  {
    std::lock_guard lock(output.mutex);
    output.bFormatChanged = true;
  }
  output.wake.notify_one();
}

void CloseDevice(SdlOutput& output) {
  if (output.device == 0) return;
  output.pPlayer->bCardOpen.store(false);
  SDL_CloseAudioDevice(output.device);  // waits for a running callback
  output.device = 0;
}

void OpenDevice(SdlOutput& output) {
  CloseDevice(output);
  const AudioFormat format = JitterFormat(output.pPlayer->buffer);
  if (format.nChannels == 0) return;
  SDL_AudioSpec wanted{};
  wanted.freq = format.nRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = static_cast<Uint8>(format.nChannels);
  wanted.samples = static_cast<Uint16>(format.nRate / 100);  // 10 ms
  wanted.callback = FillPeriod;
  wanted.userdata = &output;
  output.played = format;
  // No changes allowed: SDL converts to what the card takes.
  SDL_AudioSpec obtained{};
  output.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (output.device == 0) {
    PlayerLog(*output.pPlayer, "audio: no sound device (%s): silent", SDL_GetError());
    return;
  }
  PlayerLog(*output.pPlayer, "audio: playing %d Hz, %u channels", format.nRate, format.nChannels);
  output.pPlayer->bCardOpen.store(true);
  SDL_PauseAudioDevice(output.device, 0);
}

void OutputThread(SdlOutput* pOutput) {
  SdlOutput& output = *pOutput;
  std::unique_lock lock(output.mutex);
  for (;;) {
    const bool bWoken = output.wake.wait_for(lock, std::chrono::seconds(1),
                                             [&] { return output.bFormatChanged || output.bStop; });
    if (output.bStop) break;
    const bool bReopen = bWoken && output.bFormatChanged;
    output.bFormatChanged = false;
    lock.unlock();
    if (bReopen) OpenDevice(output);
    PlayerReportLosses(*output.pPlayer);
    lock.lock();
  }
  lock.unlock();
  CloseDevice(output);
}

}  // namespace

void StartAudioOutput(AudioPlayer& player) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    PlayerLog(player, "audio: no sound device (%s): silent", SDL_GetError());
    return;
  }
  g_Output.pPlayer = &player;
  player.pOutputContext = &g_Output;
  player.pfnFormatChanged = OnFormatChanged;
  g_Output.thread = std::thread(OutputThread, &g_Output);
}

void StopAudioOutput(AudioPlayer& player) {
  if (!g_Output.thread.joinable()) return;
  {
    std::lock_guard lock(g_Output.mutex);
    g_Output.bStop = true;
  }
  g_Output.wake.notify_one();
  g_Output.thread.join();
  player.pfnFormatChanged = nullptr;
}
