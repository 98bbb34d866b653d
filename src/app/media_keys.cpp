#include "app/media_keys.h"

#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/app_texts.h"
#include "app/save_folders.h"
#include "app/shell.h"
#include "app/startup.h"
#include "app/window_notice.h"
#include "log/log_file.h"
#include "platform/clock.h"
#include "record/file_names.h"
#include "record/png_file.h"
#include "record/recorder.h"
#include "video/frame_store.h"
#include "video/picture_conversion.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace {

std::unique_ptr<Recorder> g_pRecorder;
std::string g_szSaveDir;
bool g_bLogOn = false;
bool g_bNoWindow = false;

// The screenshot thread: the window only counts the request.
std::mutex g_ShotMutex;
std::condition_variable g_ShotWake;
std::vector<std::tm> g_vecShotsAsked;  // the local time of each S
bool g_bShotsEnd = false;
std::thread g_ShotThread;

void Tell(const std::string& szText) {
  PostWindowNotice(szText);
  if (g_bNoWindow) ShellShowNotice(szText.c_str());
}

void Log(const std::string& szLine) {
  if (g_bLogOn) WriteLogLine(nullptr, szLine.c_str());
}

// The shared picture converted here, at full size, on the screenshot thread:
// the capture thread and the painter never wait for it.
bool ConvertLatestPicture(std::vector<uint8_t>& vecPixels, int32_t& nWidth, int32_t& nHeight) {
  AVFrame* pFrame = RefLatestFrame(g_FrameStore);
  if (pFrame == nullptr) return false;
  PictureScaler scaler;
  const bool bConverted = ConvertFrameToBgra(scaler, pFrame, vecPixels);
  ReleasePictureScaler(scaler);
  nWidth = bConverted ? pFrame->width : 0;
  nHeight = bConverted ? pFrame->height : 0;
  av_frame_free(&pFrame);
  return bConverted;
}

void SaveScreenshot(const std::tm& asked) {
  std::vector<uint8_t> vecPixels;
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  if (!ConvertLatestPicture(vecPixels, nWidth, nHeight)) {
    Tell(kTextNoPictureYet);
    Log("screenshot: no picture yet");
    return;
  }
  std::string szError;
  const std::string szPath = CreateUniqueFile(
      JoinPath(SaveFolder(SaveKind::Pictures, g_szSaveDir), TimestampedName(asked) + ".png"),
      szError);
  if (szPath.empty()) {
    Tell(kTextScreenshotFailedPrefix + TimestampedName(asked) + ".png");
    Log("screenshot: no file can be made: " + szError);
    return;
  }
  if (WritePngFile(szPath, vecPixels.data(), nWidth, nHeight, szError)) {
    Tell(kTextScreenshotSavedPrefix + FileNameOf(szPath));
    Log("screenshot: " + szPath);
  } else {
    RemoveFile(szPath);
    Tell(kTextScreenshotFailedPrefix + FileNameOf(szPath));
    Log("screenshot: " + szPath + " not written: " + szError);
  }
}

void ScreenshotThread() {
  std::unique_lock lock(g_ShotMutex);
  while (true) {
    g_ShotWake.wait(lock, [] { return g_bShotsEnd || !g_vecShotsAsked.empty(); });
    if (g_vecShotsAsked.empty()) return;
    const std::tm asked = g_vecShotsAsked.front();
    g_vecShotsAsked.erase(g_vecShotsAsked.begin());
    lock.unlock();
    SaveScreenshot(asked);
    lock.lock();
  }
}

void OnRecordEvent(void*, RecordEvent event, const std::string& szPath,
                   const std::string& szDetail) {
  const std::string szName = FileNameOf(szPath);
  switch (event) {
    case RecordEvent::Started:
      Tell(kTextRecordingPrefix + szName);
      Log("record: recording into " + szPath);
      break;
    case RecordEvent::StartedAtNextKeyframe:
      Tell(kTextRecordingFromKeyframePrefix + szName);
      Log("record: recording into " + szPath + " from the next keyframe (pre-roll over its bound)");
      break;
    case RecordEvent::Saved:
      Tell(kTextRecordingSavedPrefix + szName);
      Log("record: saved " + szPath);
      break;
    case RecordEvent::NothingRecorded:
      Tell(kTextRecordingEmpty);
      Log("record: stopped before any picture came; no file " + szPath);
      break;
    case RecordEvent::NotCreated:
      Tell(kTextRecordingNotCreatedPrefix + szName);
      Log("record: " + szPath + " cannot be created: " + szDetail);
      break;
    case RecordEvent::Failed:
      Tell(kTextRecordingFailedPrefix + szName);
      Log("record: writing " + szPath + " failed (" + szDetail +
          "); stopped, the file plays up to there");
      break;
    case RecordEvent::SamplesLost:
      Tell(kTextRecordingLostPrefix + szDetail + kTextRecordingLostMiddle + szName);
      Log("record: " + szPath + ": samples lost (the disk did not keep up): a hole of " + szDetail +
          "; the file goes on from the next keyframe");
      break;
    case RecordEvent::SoundLeftOut:
      Tell(kTextRecordingNoSoundPrefix + szName);
      Log("record: " + szPath + ": " + szDetail);
      break;
    case RecordEvent::Continued:
      Tell(kTextRecordingContinuedPrefix + szName);
      Log("record: the picture size changed; recording goes on into " + szPath);
      break;
  }
}

std::string AutoRecordingPath() {
  return JoinPath(SaveFolder(SaveKind::Videos, g_szSaveDir),
                  TimestampedName(LocalTimeNow()) + ".mkv");
}

}  // namespace

Recorder* StartMediaKeys(const MirrorOptions& options, bool bLogOn, bool bNoWindow) {
  g_szSaveDir = options.szSaveDir;
  g_bLogOn = bLogOn;
  g_bNoWindow = bNoWindow;
  RecorderHooks hooks;
  hooks.pfnEvent = OnRecordEvent;
  hooks.pfnTicks = ClockTicks;
  hooks.nMaxPrerollBytes = options.nPrerollBytes;
  g_pRecorder = CreateRecorder(hooks);
  if (g_pRecorder == nullptr) {
    Tell(kTextRecorderUnavailable);
    Log("record: the recorder's thread cannot be started");
    return nullptr;
  }
  if (!options.szRecordPath.empty()) RecorderStart(*g_pRecorder, options.szRecordPath);
  return g_pRecorder.get();
}

void StopMediaKeys() {
  DestroyRecorder(g_pRecorder);
  {
    const std::lock_guard lock(g_ShotMutex);
    g_bShotsEnd = true;
  }
  g_ShotWake.notify_all();
  if (g_ShotThread.joinable()) g_ShotThread.join();
}

void OnMirrorScreenshotKey() {
  const std::lock_guard lock(g_ShotMutex);
  if (g_bShotsEnd) return;
  if (!g_ShotThread.joinable()) {
    try {
      g_ShotThread = std::thread(ScreenshotThread);
    } catch (const std::system_error&) {
      Tell(kTextScreenshotFailedPrefix + std::string());
      return;
    }
  }
  g_vecShotsAsked.push_back(LocalTimeNow());
  g_ShotWake.notify_one();
}

void OnMirrorRecordKey() {
  if (g_pRecorder == nullptr) {
    Tell(kTextRecorderUnavailable);
    return;
  }
  RecorderToggle(*g_pRecorder, AutoRecordingPath());
}
