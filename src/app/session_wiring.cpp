#include "app/session_wiring.h"

#include "capture/session_callbacks.h"
#include "log/log_file.h"
#include "video/video_decoder.h"

void InstallSessionCallbacks(SessionCallbacks& callbacks, bool bLogOn) {
  if (callbacks.bInstalled) {
    return;
  }
  callbacks.onAudioFormat = NoOpCallback<uint32_t, uint32_t, int32_t, int32_t>;
  callbacks.onAudioData = NoOpCallback<const uint8_t*, int32_t>;
  callbacks.onStreamStart = NoOpCallback<>;
  callbacks.onDeviceLost = NoOpCallback<>;
  callbacks.onVideoParameterSets = OnVideoParameterSets;
  callbacks.onVideoNalUnit = OnVideoNalUnit;
  callbacks.onVideoSampleEnd = OnVideoSampleEnd;
  callbacks.onReserved = NoOpCallback<>;
  callbacks.onLog = bLogOn ? WriteLogLine : nullptr;
  callbacks.bInstalled = true;
}
