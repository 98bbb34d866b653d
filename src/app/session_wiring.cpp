#include "app/session_wiring.h"

#include "app/window_status.h"
#include "audio/audio_player.h"
#include "capture/link_report.h"
#include "capture/session_callbacks.h"
#include "log/log_file.h"
#include "platform/clock.h"
#include "video/video_decoder.h"

namespace {

MirrorStages& Stages(void* pContext) {
  return *static_cast<MirrorStages*>(pContext);
}

void ToVideoParameterSets(void* pContext, const uint8_t* pRecord, int32_t nSize) {
  OnVideoParameterSets(Stages(pContext).pDecoder, pRecord, nSize);
}

void ToVideoNalUnit(void* pContext, const uint8_t* pData, int32_t nSize) {
  OnVideoNalUnit(Stages(pContext).pDecoder, pData, nSize);
}

void ToVideoSampleEnd(void* pContext) {
  OnVideoSampleEnd(Stages(pContext).pDecoder);
}

void ToAudioFormat(void* pContext, uint32_t nBitsPerChannel, uint32_t nChannelsPerFrame,
                   int32_t nSampleRate, int32_t /*nOne*/) {
  AudioPlayer* pAudio = Stages(pContext).pAudio;
  if (pAudio != nullptr)
    PlayerAudioFormat(*pAudio, nBitsPerChannel, nChannelsPerFrame, nSampleRate);
}

void ToAudioData(void* pContext, const uint8_t* pData, int32_t nSize) {
  AudioPlayer* pAudio = Stages(pContext).pAudio;
  if (pAudio != nullptr) PlayerAudioData(*pAudio, pData, nSize, ClockTicks());
}

void ToLinkReport(void* /*pContext*/, const LinkReport& report) {
  PublishLinkReport(report);
}

}  // namespace

void InstallSessionCallbacks(SessionCallbacks& callbacks, bool bLogOn) {
  if (callbacks.bInstalled) {
    return;
  }
  callbacks.onAudioFormat = ToAudioFormat;
  callbacks.onAudioData = ToAudioData;
  callbacks.onStreamStart = NoOpCallback<>;
  callbacks.onDeviceLost = NoOpCallback<>;
  callbacks.onVideoParameterSets = ToVideoParameterSets;
  callbacks.onVideoNalUnit = ToVideoNalUnit;
  callbacks.onVideoSampleEnd = ToVideoSampleEnd;
  callbacks.onReserved = NoOpCallback<>;
  callbacks.onLog = bLogOn ? WriteLogLine : nullptr;
  callbacks.onLinkReport = ToLinkReport;
  callbacks.bInstalled = true;
}
