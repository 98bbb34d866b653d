#include "video/session_callbacks.h"

#include "video/video_decoder.h"

SessionCallbacks g_Callbacks;

void InstallSessionCallbacks(SessionCallbacks& callbacks) {
  if (callbacks.bInstalled) {
    return;
  }
  callbacks.onAudioFormat = NoOpCallback<uint32_t, uint32_t, int32_t, int32_t>;
  callbacks.onAudioData = NoOpCallback<const uint8_t*, int32_t>;
  callbacks.onStreamStart = NoOpCallback<>;
  callbacks.onDeviceLost = NoOpCallback<>;
  callbacks.onVideoParameterSets = OnVideoParameterSets;
  callbacks.onVideoNalUnit = OnVideoNalUnit;
  callbacks.onReserved = NoOpCallback<>;
  callbacks.onLog = NoOpCallback<const char*>;
  callbacks.onVideoSampleEnd = OnVideoSampleEnd;
  callbacks.bInstalled = true;
}
