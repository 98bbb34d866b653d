// waveOut: a few 10 ms buffers, recycled by a feeder thread that the driver
// wakes through an event when one is done. Nothing runs in a waveOut
// callback (there is none), so no waveOut call is ever made from one.
#include <windows.h>
// mmsystem.h needs windows.h first.
#include <mmsystem.h>

#include <atomic>
#include <thread>
#include <vector>

#include "audio/audio_output.h"
#include "audio/audio_player.h"

namespace {

constexpr int kBuffers = 4;

struct WaveOutput {
  AudioPlayer* pPlayer = nullptr;
  std::thread thread;
  HANDLE hWake = nullptr;  // auto-reset: buffer done, format changed, stop
  std::atomic<bool> bFormatChanged{true};
  std::atomic<bool> bStop{false};
  HWAVEOUT hWave = nullptr;
  AudioFormat played;
  WAVEHDR headers[kBuffers]{};
  std::vector<int16_t> vecSamples[kBuffers];
};

WaveOutput g_Output;

void OnFormatChanged(void* pContext) {
  auto& output = *static_cast<WaveOutput*>(pContext);
  output.bFormatChanged.store(true);
  SetEvent(output.hWake);
}

void CloseDevice(WaveOutput& output) {
  if (output.hWave == nullptr) return;
  output.pPlayer->bCardOpen.store(false);
  waveOutReset(output.hWave);  // hands every queued buffer back as done
  for (WAVEHDR& header : output.headers) {
    waveOutUnprepareHeader(output.hWave, &header, sizeof header);
  }
  waveOutClose(output.hWave);
  output.hWave = nullptr;
}

void FillAndWrite(WaveOutput& output, int nBuffer) {
  WAVEHDR& header = output.headers[nBuffer];
  std::vector<int16_t>& samples = output.vecSamples[nBuffer];
  PlayerFill(*output.pPlayer, samples.data(), static_cast<uint32_t>(samples.size()), output.played);
  header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
  waveOutWrite(output.hWave, &header, sizeof header);
}

void OpenDevice(WaveOutput& output) {
  CloseDevice(output);
  const AudioFormat format = JitterFormat(output.pPlayer->buffer);
  if (format.nChannels == 0) return;
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = static_cast<WORD>(format.nChannels);
  wave.nSamplesPerSec = static_cast<DWORD>(format.nRate);
  wave.wBitsPerSample = 16;
  wave.nBlockAlign = static_cast<WORD>(format.nChannels * 2);
  wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
  const MMRESULT nResult =
      waveOutOpen(&output.hWave, WAVE_MAPPER, &wave, reinterpret_cast<DWORD_PTR>(output.hWake), 0,
                  CALLBACK_EVENT);
  if (nResult != MMSYSERR_NOERROR) {
    output.hWave = nullptr;
    PlayerLog(*output.pPlayer, "audio: no sound device (waveOutOpen error %u): silent",
              static_cast<unsigned>(nResult));
    return;
  }
  output.played = format;
  const size_t nSamples = static_cast<size_t>(format.nRate / 100) * format.nChannels;  // 10 ms
  for (int i = 0; i < kBuffers; ++i) {
    output.vecSamples[i].assign(nSamples, 0);
    WAVEHDR& header = output.headers[i];
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<LPSTR>(output.vecSamples[i].data());
    header.dwBufferLength = static_cast<DWORD>(nSamples * sizeof(int16_t));
    waveOutPrepareHeader(output.hWave, &header, sizeof header);
  }
  PlayerLog(*output.pPlayer, "audio: playing %d Hz, %u channels", format.nRate, format.nChannels);
  output.pPlayer->bCardOpen.store(true);
  for (int i = 0; i < kBuffers; ++i) FillAndWrite(output, i);
}

void FeederThread(WaveOutput* pOutput) {
  WaveOutput& output = *pOutput;
  ULONGLONG qwReportedAt = GetTickCount64();
  while (!output.bStop.load()) {
    if (output.bFormatChanged.exchange(false)) OpenDevice(output);
    if (output.hWave != nullptr) {
      for (int i = 0; i < kBuffers; ++i) {
        if ((output.headers[i].dwFlags & WHDR_DONE) != 0) FillAndWrite(output, i);
      }
    }
    if (GetTickCount64() - qwReportedAt >= 1000) {
      qwReportedAt = GetTickCount64();
      PlayerReportLosses(*output.pPlayer);
    }
    WaitForSingleObject(output.hWake, 1000);
  }
  CloseDevice(output);
}

}  // namespace

void StartAudioOutput(AudioPlayer& player) {
  g_Output.hWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (g_Output.hWake == nullptr) {
    PlayerLog(player, "audio: no event for the sound output: silent");
    return;
  }
  g_Output.pPlayer = &player;
  player.pOutputContext = &g_Output;
  player.pfnFormatChanged = OnFormatChanged;
  g_Output.thread = std::thread(FeederThread, &g_Output);
}

void StopAudioOutput(AudioPlayer& player) {
  if (!g_Output.thread.joinable()) return;
  g_Output.bStop.store(true);
  SetEvent(g_Output.hWake);
  g_Output.thread.join();
  CloseHandle(g_Output.hWake);
  g_Output.hWake = nullptr;
  player.pfnFormatChanged = nullptr;
}
