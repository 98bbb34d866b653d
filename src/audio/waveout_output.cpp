// waveOut: a few 10 ms buffers, recycled by a feeder thread that the driver
// wakes through an event when one is done. Nothing runs in a waveOut
// callback (there is none), so no waveOut call is ever made from one. Every
// call's result is looked at: an output whose device went away (a headset
// unplugged) is closed and opened again on the next sound.
#include <windows.h>
// mmsystem.h needs windows.h first, and mmreg.h mmsystem.h.
#include <mmsystem.h>
// WAVEFORMATEXTENSIBLE.
#include <mmreg.h>

#include <atomic>
#include <thread>
#include <vector>

#include "audio/audio_output.h"
#include "audio/audio_player.h"
#include "audio/output_recovery.h"

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
  bool bPrepared[kBuffers]{};
  std::vector<int16_t> vecSamples[kBuffers];
  OutputRecovery recovery;
  ULONGLONG qwLastProgress = 0;  // when a buffer last came back done
};

WaveOutput g_Output;

void OnFormatChanged(void* pContext) {
  auto& output = *static_cast<WaveOutput*>(pContext);
  output.bFormatChanged.store(true);
  SetEvent(output.hWake);
}

// Also after a failure: whatever the device still holds is handed back and
// released, and a call that fails here changes nothing, as the handle goes.
void CloseDevice(WaveOutput& output) {
  if (output.hWave == nullptr) return;
  output.pPlayer->bCardOpen.store(false);
  waveOutReset(output.hWave);  // hands every queued buffer back as done
  for (int i = 0; i < kBuffers; ++i) {
    if (output.bPrepared[i])
      waveOutUnprepareHeader(output.hWave, &output.headers[i], sizeof(WAVEHDR));
    output.bPrepared[i] = false;
  }
  waveOutClose(output.hWave);
  output.hWave = nullptr;
}

// One line each time; the output is opened again on the next sound.
void CloseAfterFailure(WaveOutput& output, const char* szCall, MMRESULT nResult) {
  CloseDevice(output);
  RecoveryLost(output.recovery);
  if (szCall != nullptr)
    PlayerLog(*output.pPlayer,
              "audio: the sound output failed (%s error %u): closed until the next sound", szCall,
              static_cast<unsigned>(nResult));
  else
    PlayerLog(*output.pPlayer,
              "audio: the sound output took nothing for %u ms: closed until the next sound",
              static_cast<unsigned>(kOutputStallMs));
}

MMRESULT FillAndWrite(WaveOutput& output, int nBuffer) {
  WAVEHDR& header = output.headers[nBuffer];
  std::vector<int16_t>& samples = output.vecSamples[nBuffer];
  PlayerFill(*output.pPlayer, samples.data(), static_cast<uint32_t>(samples.size()), output.played);
  header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
  return waveOutWrite(output.hWave, &header, sizeof header);
}

// The speakers of the usual layouts for 3 to 8 channels (front left, right,
// centre, LFE, back left, right, side left, right in WAVEFORMATEXTENSIBLE's
// bit order); plain PCM describes only mono and stereo.
DWORD ChannelMask(uint32_t nChannels) {
  constexpr DWORD kMasks[] = {0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};
  return nChannels >= 3 && nChannels <= 8 ? kMasks[nChannels - 3] : 0;
}

WAVEFORMATEXTENSIBLE WaveFormat(const AudioFormat& format) {
  WAVEFORMATEXTENSIBLE wave{};
  wave.Format.wFormatTag = WAVE_FORMAT_PCM;
  wave.Format.nChannels = static_cast<WORD>(format.nChannels);
  wave.Format.nSamplesPerSec = static_cast<DWORD>(format.nRate);
  wave.Format.wBitsPerSample = 16;
  wave.Format.nBlockAlign = static_cast<WORD>(format.nChannels * 2);
  wave.Format.nAvgBytesPerSec = wave.Format.nSamplesPerSec * wave.Format.nBlockAlign;
  if (format.nChannels > 2) {
    wave.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    wave.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    wave.Samples.wValidBitsPerSample = 16;
    wave.dwChannelMask = ChannelMask(format.nChannels);
    // KSDATAFORMAT_SUBTYPE_PCM, without linking the kernel-streaming GUIDs.
    wave.SubFormat = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  }
  return wave;
}

void OpenDevice(WaveOutput& output, const AudioFormat& format, ULONGLONG qwNow) {
  WAVEFORMATEXTENSIBLE wave = WaveFormat(format);
  const MMRESULT nResult =
      waveOutOpen(&output.hWave, WAVE_MAPPER, &wave.Format,
                  reinterpret_cast<DWORD_PTR>(output.hWake), 0, CALLBACK_EVENT);
  const bool bOpened = nResult == MMSYSERR_NOERROR;
  if (!bOpened) output.hWave = nullptr;
  if (RecoveryOpened(output.recovery, bOpened, qwNow)) {
    if (bOpened)
      PlayerLog(*output.pPlayer, "audio: playing %d Hz, %u channels", format.nRate,
                format.nChannels);
    else
      PlayerLog(*output.pPlayer,
                "audio: no sound device (waveOutOpen error %u): silent until one is there",
                static_cast<unsigned>(nResult));
  }
  if (!bOpened) return;
  output.played = format;
  const size_t nSamples = static_cast<size_t>(format.nRate / 100) * format.nChannels;  // 10 ms
  for (int i = 0; i < kBuffers; ++i) {
    output.vecSamples[i].assign(nSamples, 0);
    WAVEHDR& header = output.headers[i];
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<LPSTR>(output.vecSamples[i].data());
    header.dwBufferLength = static_cast<DWORD>(nSamples * sizeof(int16_t));
    const MMRESULT nPrepared = waveOutPrepareHeader(output.hWave, &header, sizeof header);
    if (nPrepared != MMSYSERR_NOERROR)
      return CloseAfterFailure(output, "waveOutPrepareHeader", nPrepared);
    output.bPrepared[i] = true;
  }
  output.pPlayer->bCardOpen.store(true);
  // What came while it was closed has been answered: after a later loss, the
  // next sound is one that comes after it.
  output.pPlayer->bSoundWaiting.store(false);
  output.qwLastProgress = qwNow;
  for (int i = 0; i < kBuffers; ++i) {
    const MMRESULT nWritten = FillAndWrite(output, i);
    if (nWritten != MMSYSERR_NOERROR) return CloseAfterFailure(output, "waveOutWrite", nWritten);
  }
}

// Refills the buffers the device has handed back.
void FeedDevice(WaveOutput& output, ULONGLONG qwNow) {
  bool bProgress = false;
  for (int i = 0; i < kBuffers; ++i) {
    if ((output.headers[i].dwFlags & WHDR_DONE) == 0) continue;
    bProgress = true;
    const MMRESULT nWritten = FillAndWrite(output, i);
    if (nWritten != MMSYSERR_NOERROR) return CloseAfterFailure(output, "waveOutWrite", nWritten);
  }
  if (bProgress)
    output.qwLastProgress = qwNow;
  else if (OutputStalled(output.qwLastProgress, qwNow))
    CloseAfterFailure(output, nullptr, MMSYSERR_NOERROR);
}

// The multimedia class scheduler gives the thread the priority sound needs
// (Windows Vista on; loaded by name, so that its absence costs nothing).
struct AudioThreadClass {
  HMODULE hAvrt = nullptr;
  HANDLE hTask = nullptr;
};

// Through the one function-pointer type that converts to any other without a
// warning.
template <typename Fn>
Fn AvrtFunction(HMODULE hAvrt, const char* szName) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(hAvrt, szName)));
}

AudioThreadClass JoinAudioClass() {
  AudioThreadClass joined;
  joined.hAvrt = LoadLibraryW(L"avrt.dll");
  if (joined.hAvrt == nullptr) return joined;
  using SetFn = HANDLE(WINAPI*)(LPCWSTR, LPDWORD);
  const auto pfnSet = AvrtFunction<SetFn>(joined.hAvrt, "AvSetMmThreadCharacteristicsW");
  DWORD nTaskIndex = 0;
  if (pfnSet != nullptr) joined.hTask = pfnSet(L"Audio", &nTaskIndex);
  return joined;
}

void LeaveAudioClass(AudioThreadClass& joined) {
  if (joined.hAvrt == nullptr) return;
  using RevertFn = BOOL(WINAPI*)(HANDLE);
  const auto pfnRevert = AvrtFunction<RevertFn>(joined.hAvrt, "AvRevertMmThreadCharacteristics");
  if (joined.hTask != nullptr && pfnRevert != nullptr) pfnRevert(joined.hTask);
  FreeLibrary(joined.hAvrt);
}

void FeederThread(WaveOutput* pOutput) {
  WaveOutput& output = *pOutput;
  AudioThreadClass joined = JoinAudioClass();
  ULONGLONG qwReportedAt = GetTickCount64();
  while (!output.bStop.load()) {
    const ULONGLONG qwNow = GetTickCount64();
    if (output.bFormatChanged.exchange(false)) {
      CloseDevice(output);
      RecoveryFormatChanged(output.recovery);
    }
    const AudioFormat format = JitterFormat(output.pPlayer->buffer);
    if (output.hWave == nullptr && format.nChannels != 0 &&
        RecoveryShouldOpen(output.recovery, output.pPlayer->bSoundWaiting.exchange(false), qwNow))
      OpenDevice(output, format, qwNow);
    if (output.hWave != nullptr) FeedDevice(output, qwNow);
    if (qwNow - qwReportedAt >= 1000) {
      qwReportedAt = qwNow;
      PlayerReportLosses(*output.pPlayer);
    }
    WaitForSingleObject(output.hWake, 1000);
  }
  CloseDevice(output);
  LeaveAudioClass(joined);
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
