#include "app/session_wiring.h"

#include "app/window_status.h"
#include "audio/audio_player.h"
#include "avc/access_unit.h"
#include "capture/fourcc.h"
#include "capture/link_report.h"
#include "capture/session_callbacks.h"
#include "log/log_file.h"
#include "platform/clock.h"
#include "record/recorder.h"
#include "video/video_decoder.h"

namespace {

MirrorStages& Stages(void* pContext) {
  return *static_cast<MirrorStages*>(pContext);
}

// The sinks reach their stage through the stages record, whose fields
// start-up fills after the table is installed.
void ToDecoder(void* pContext, const AccessUnit& unit) {
  DecodeAccessUnit(Stages(pContext).pDecoder, unit);
}

void ToRecorder(void* pContext, const AccessUnit& unit) {
  RecorderAccessUnit(Stages(pContext).pRecorder, unit);
}

void ToSampleTime(void* pContext, uint32_t nMediaKind, int64_t i64Value, uint32_t nTimeScale) {
  Recorder* pRecorder = Stages(pContext).pRecorder;
  if (pRecorder != nullptr && nMediaKind == kMediaSoun)
    RecorderSoundTime(*pRecorder, i64Value, nTimeScale);
}

void ToStreamStart(void* pContext) {
  if (Recorder* pRecorder = Stages(pContext).pRecorder)
    RecorderNewConnection(*pRecorder, ClockTicks());
}

void ToAudioFormat(void* pContext, uint32_t nBitsPerChannel, uint32_t nChannelsPerFrame,
                   int32_t nSampleRate, int32_t /*nOne*/) {
  AudioPlayer* pAudio = Stages(pContext).pAudio;
  if (pAudio != nullptr)
    PlayerAudioFormat(*pAudio, nBitsPerChannel, nChannelsPerFrame, nSampleRate);
  if (Recorder* pRecorder = Stages(pContext).pRecorder)
    RecorderAudioFormat(*pRecorder, nBitsPerChannel, nChannelsPerFrame, nSampleRate);
}

void ToAudioData(void* pContext, const uint8_t* pData, int32_t nSize) {
  AudioPlayer* pAudio = Stages(pContext).pAudio;
  if (pAudio != nullptr) PlayerAudioData(*pAudio, pData, nSize, ClockTicks());
  if (Recorder* pRecorder = Stages(pContext).pRecorder)
    RecorderAudioData(*pRecorder, pData, nSize, ClockTicks());
}

void ToLinkReport(void* /*pContext*/, const LinkReport& report) {
  PublishLinkReport(report);
}

}  // namespace

void InstallSessionCallbacks(SessionCallbacks& callbacks, MirrorStages& stages, bool bLogOn) {
  if (callbacks.bInstalled) {
    return;
  }
  callbacks.onAudioFormat = ToAudioFormat;
  callbacks.onAudioData = ToAudioData;
  callbacks.onStreamStart = ToStreamStart;
  callbacks.onDeviceLost = NoOpCallback<>;
  // The decoder first: the picture reaches the screen before the recorder's copy.
  callbacks.videoSinks = AccessUnitSinks{};
  AddAccessUnitSink(callbacks.videoSinks, ToDecoder, &stages);
  AddAccessUnitSink(callbacks.videoSinks, ToRecorder, &stages);
  callbacks.onSampleTime = ToSampleTime;
  callbacks.onReserved = NoOpCallback<>;
  callbacks.onLog = bLogOn ? WriteLogLine : nullptr;
  callbacks.onLinkReport = ToLinkReport;
  callbacks.bInstalled = true;
}
