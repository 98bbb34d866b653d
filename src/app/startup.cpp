#include "app/startup.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "app/app_texts.h"
#include "app/headless.h"
#include "app/media_keys.h"
#include "app/session_wiring.h"
#include "app/shell.h"
#include "app/stay_awake.h"
#include "app/window_notice.h"
#include "app/window_status.h"
#include "audio/audio_output.h"
#include "audio/audio_player.h"
#include "capture/capture_session.h"
#include "capture/session_callbacks.h"
#include "device/capture_thread.h"
#include "log/log_file.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "record/recorder.h"
#include "video/frame_store.h"
#include "video/video_decoder.h"

namespace {

// The process-wide objects of start-up. The capture thread uses the session
// and the decoder but owns neither; shutdown joins it before releasing them.
std::unique_ptr<VideoDecoder> g_pDecoder;
std::unique_ptr<CaptureSession> g_pSession;
std::unique_ptr<AudioPlayer> g_pAudio;  // null with --no-audio
Recorder* g_pRecorder = nullptr;        // owned by media_keys.cpp
MirrorStages g_Stages;
std::thread g_CaptureThread;

void StopAudio() {
  if (g_pAudio != nullptr) StopAudioOutput(*g_pAudio);
}

void RequestCaptureStop() {
  if (g_pSession != nullptr) g_pSession->nRunState.store(kRunStopRequested);
}

void StopCaptureAndRelease(const char* szLastLogLine = nullptr) {
  RequestCaptureStop();
  // Joining before the decoder is closed and the session destroyed keeps the
  // capture thread from decoding into released objects. The window is already
  // gone; the stop sequence (mode-off request, close) finishes here.
  if (g_CaptureThread.joinable()) g_CaptureThread.join();
  StopAudio();
  StopMediaKeys();
  g_pRecorder = nullptr;
  if (g_pDecoder != nullptr) CloseVideoDecoder(*g_pDecoder);
  SetFramePublishedNotifier(nullptr, nullptr);
  g_pDecoder.reset();
  g_pAudio.reset();
  g_pSession.reset();
  if (szLastLogLine != nullptr) WriteLogLine(nullptr, szLastLogLine);
  CloseLogFile();
}

// VELTRONA_LOG=<path> (or - for standard error) switches the log on. A path
// that cannot be opened is said once, and the program runs on without a log.
bool OpenUserLog() {
  const std::string szPath = EnvironmentValue("VELTRONA_LOG");
  if (szPath.empty()) return false;
  if (OpenLogFile(szPath.c_str())) return true;
  ShellShowNotice((std::string(kTextLogNotOpenedPrefix) + szPath).c_str());
  return false;
}

// The display can go away under the program, and the windowing library then
// ends the process with exit(): the capture thread still gets its stop
// sequence (the device is switched back) and is joined before the objects it
// uses are destroyed; so is the sound output's thread. A recording is saved.
void StopCaptureAtExit() {
  RequestCaptureStop();
  if (g_CaptureThread.joinable()) g_CaptureThread.join();
  StopAudio();
  StopMediaKeys();
}

// Arguments the program does not know are still ignored, but the user is told:
// a typo such as --no-audo would otherwise go unnoticed.
void SayUnknownOptions(const std::vector<std::string>& vecUnknown) {
  if (vecUnknown.empty()) return;
  std::string szText = kTextUnknownOptionsPrefix;
  for (size_t i = 0; i < vecUnknown.size(); ++i) szText += (i != 0 ? " " : "") + vecUnknown[i];
  ShellWriteStandardError(szText.c_str());
  PostWindowNotice(szText);
}

}  // namespace

void OnMirrorWindowDestroyed() {
  RequestCaptureStop();
}

bool MirrorWantsAwake() {
  const bool bRecording = g_pRecorder != nullptr && RecorderIsRecording(*g_pRecorder);
  return ShouldStayAwake(CurrentLinkStage(), bRecording);
}

void OnMirrorSessionEnding() {
  WriteLogLine(nullptr,
               "session: the system is ending the session: stopping as when the window closes");
  // Idempotent: the shutdown after the message loop finds nothing left to do.
  StopCaptureAndRelease("session: stopped; the session may end");
}

void OnMirrorMuteKey() {
  if (g_pAudio == nullptr) {
    PostWindowNotice(kTextNoSound);
    return;
  }
  const bool bMuted = ToggleAudioMute(*g_pAudio);
  PlayerLog(*g_pAudio, "audio: %s", bMuted ? "muted" : "unmuted");
  PostWindowNotice(bMuted ? kTextSoundOff : kTextSoundOn);
}

bool IsHelpArgument(const std::string& szFirst) {
  return szFirst == "--help" || szFirst == "-h";
}

int ShowUsage() {
  ShellShowUsage(kTextUsage);
  return kExitOk;
}

int StartUsbVideo(const std::string& szUtf8Udid) {
  std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(szUtf8Udid);
  if (pSession == nullptr) return 4;
  g_pSession = std::move(pSession);
  // What the session's callbacks receive first: the stages the slots feed.
  g_Stages = {g_pDecoder.get(), g_pAudio.get(), g_pRecorder};
  g_pSession->pCallbackContext = &g_Stages;
  g_pSession->nRunState.store(kRunRunning);
  try {
    g_CaptureThread = std::thread(CaptureThreadProc, g_pSession.get());
  } catch (const std::system_error&) {
    g_pSession->nRunState.store(kRunStopped);
    return 4;
  }
  static const bool bStopAtExitInstalled = std::atexit(StopCaptureAtExit) == 0;
  (void)bStopAtExitInstalled;
  return 0;
}

int RunMirror(const std::string* pszUtf8Udid, const MirrorOptions& options) {
  if (pszUtf8Udid == nullptr) {
    ShellShowError(false, kTextMissingUdid);
    return kExitNoUdid;
  }
  // The session holds the UDID in 64 bytes with its terminator: a longer one
  // could never match a device, so it is refused like an empty one.
  if (pszUtf8Udid->empty() || pszUtf8Udid->size() >= static_cast<size_t>(kUdidFieldSize)) {
    ShellShowError(false, kTextInvalidUdid);
    return kExitNoUdid;
  }
  if (!options.szUsageError.empty()) {
    ShellShowNotice((options.szUsageError + "\n" + kTextUsage).c_str());
    return kExitUsage;
  }
  // Without a window (Linux), the program runs until SIGINT, SIGTERM or SIGHUP.
  const bool bNoWindow = options.bNoWindow && PrepareHeadless();
  ResetWindowStatus(*pszUtf8Udid, ClockTicks());
  if (!bNoWindow && !ShellCreateMirrorWindow()) return kExitNoWindow;
  if (!bNoWindow) EndWindowOnHangUp();
  if (!bNoWindow && options.bFullscreen) ShellSetFullscreen(true);
  SayUnknownOptions(options.vecUnknown);

  g_pDecoder = std::make_unique<VideoDecoder>();
  const DecoderOpenResult opened = OpenVideoDecoder(*g_pDecoder);
  if (opened != DecoderOpenResult::Ok) {
    if (opened == DecoderOpenResult::ParserMissing) std::fputs(kTextParserNotFound, stderr);
    ShellShowError(true, kTextDecoderFailed);
    return kExitNoDecoder;
  }

  const bool bLogOn = OpenUserLog();
  InstallSessionCallbacks(g_Callbacks, g_Stages, bLogOn);
  SetFramePublishedNotifier(OnPicturePublished, nullptr);
  if (options.bAudio) {
    g_pAudio = std::make_unique<AudioPlayer>();
    if (bLogOn) g_pAudio->pfnLog = WriteLogLine;
    StartAudioOutput(*g_pAudio);
  }
  MirrorOptions started = options;
  started.szRecordPath = RecordingPathFor(options.szRecordPath);
  g_pRecorder = StartMediaKeys(started, bLogOn, bNoWindow);

  const int nStartResult = StartUsbVideo(*pszUtf8Udid);
  if (nStartResult != 0) {
    const std::string szText = kTextUsbVideoFailedPrefix + std::to_string(nStartResult);
    ShellShowError(true, szText.c_str());
  }

  if (bNoWindow)
    WaitForStopRequest();
  else
    ShellRunMessageLoop();
  StopCaptureAndRelease();
  return kExitOk;
}
