#include "capture/media_packet.h"

#include <cmath>
#include <cstring>

#include "avc/access_unit.h"
#include "avc/avc_units.h"
#include "capture/capture_log.h"
#include "capture/capture_session.h"
#include "capture/fourcc.h"
#include "capture/hex_string.h"
#include "capture/packet_format.h"
#include "capture/sample_buffer.h"
#include "capture/session_callbacks.h"
#include "platform/clock.h"

namespace {

inline constexpr char kLogSpsAndPpsHex[] = "CMSampleBuf.FormatDescription.SPS_and_PPS : %s\n";
inline constexpr char kLogEmptySampleData[] =
    "warning CMSampleBuf.SampleData  empty!!  vecCMSampleBuffer : %s\n";

// The longest dump that keeps the line, once its one %s is filled, inside the
// log's line capacity: a cut line would lose its closing newline.
template <size_t N>
std::string FittedHex(const char (&)[N], std::span<const uint8_t> bytes) {
  const size_t nFixed = (N - 1) - 2;
  return HexString(bytes, static_cast<size_t>(kLogLineCapacity - 1) - nFixed);
}

// Truncated toward zero; a rate no 32-bit integer holds is clamped (NaN: 0)
// rather than converted, which would be undefined.
int32_t SampleRateAsInt(double dRate) {
  if (std::isnan(dRate)) return 0;
  if (dRate <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  if (dRate >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  return static_cast<int32_t>(dRate);
}

// Without a time scale the presentation time has no millisecond value: the
// marks stay as they are.
void MarkAudioTiming(CaptureSession& session, const CMTime& presentationTime) {
  if (presentationTime.nTimeScale == 0) return;
  const uint64_t qwPtsMs =
      static_cast<uint64_t>(presentationTime.i64Value) * 1000 / presentationTime.nTimeScale;
  const uint64_t qwLocalMs = ClockTicks() - session.qwLocalClockStart;
  if (!session.bAudioClockStarted) {
    session.bAudioClockStarted = true;
    session.qwFirstAudioPts = qwPtsMs;
    session.qwFirstAudioLocal = qwLocalMs;
  }
  session.qwLastAudioPts = qwPtsMs;
  session.qwLastAudioLocal = qwLocalMs;
}

void AnnounceSoundTime(const CaptureSession& session, const CMTime& time) {
  if (g_Callbacks.onSampleTime) {
    g_Callbacks.onSampleTime(session.pCallbackContext, kMediaSoun, time.i64Value, time.nTimeScale);
  }
}

void HandleAudioSample(CaptureSession& session, const CMSampleBuf& sampleBuf, bool& bError) {
  MarkAudioTiming(session, sampleBuf.PresentationTime);
  if (sampleBuf.HasFormatDescription) {
    session.bAudioHeadMissing = false;
    const uint32_t nBits = AudioBitsPerChannel(sampleBuf.FormatDescription);
    const uint32_t nChannels = AudioChannelsPerFrame(sampleBuf.FormatDescription);
    const double dRate = AudioSampleRate(sampleBuf.FormatDescription);
    LogMessage(&session, "AudioFormat[%u][%u][%.2lf]", nBits, nChannels, dRate);
    if (g_Callbacks.onAudioFormat) {
      g_Callbacks.onAudioFormat(session.pCallbackContext, nBits, nChannels, SampleRateAsInt(dRate),
                                1);
    }
  }
  if (session.bAudioHeadMissing) {
    LogMessage(&session, "warning : not set audio head");
    bError = true;
    return;
  }
  if (sampleBuf.SampleData.empty()) return;
  AnnounceSoundTime(session, sampleBuf.PresentationTime);
  if (g_Callbacks.onAudioData) {
    g_Callbacks.onAudioData(session.pCallbackContext, sampleBuf.SampleData.data(),
                            static_cast<int32_t>(sampleBuf.SampleData.size()));
  }
}

void DeliverParameterSets(CaptureSession& session, std::span<const uint8_t> record) {
  LogMessage(&session, "CMSampleBuf.HasFormatDescription == true");
  LogMessage(&session, "CMSampleBuf.FormatDescription.SPS_and_PPS.size() == %d",
             static_cast<int>(record.size()));
  if (LogEnabled()) {
    LogMessage(&session, kLogSpsAndPpsHex, FittedHex(kLogSpsAndPpsHex, record).c_str());
  }
  LogMessage(&session, "send SPS_and_PPS bFirstProcessVideo == [%d]",
             session.bFirstProcessVideo ? 1 : 0);
  session.nVideoHeadSet = 1;
  // An empty record says nothing: the one in force stays. The copy outlives
  // the packet, and is made only when the device sends one, not per picture.
  if (record.empty()) return;
  session.vecVideoRecord.assign(record.begin(), record.end());
  session.bVideoRecordNew = true;
}

// The sample's whole units go out in place as one access unit, with the
// record in force; units past a length that runs out of the sample data
// cannot be trusted and are left out. No whole unit: nothing goes out. Each
// sink has the sample whole, so its picture needs no later sample.
void SendAccessUnit(CaptureSession& session, const CMSampleBuf& sampleBuf) {
  AccessUnit unit;
  unit.units = sampleBuf.SampleData.first(WholeUnitsSize(sampleBuf.SampleData));
  if (unit.units.empty()) return;
  unit.record = session.vecVideoRecord;
  unit.bNewRecord = session.bVideoRecordNew;
  unit.i64Value = sampleBuf.PresentationTime.i64Value;
  unit.nTimeScale = sampleBuf.PresentationTime.nTimeScale;
  unit.qwArrivalTicks = ClockTicks();
  unit.bKeyframe = HasIdrSlice(unit.units);
  session.bVideoRecordNew = false;
  DeliverAccessUnit(g_Callbacks.videoSinks, unit);
}

void HandleVideoSample(CaptureSession& session, const CMSampleBuf& sampleBuf,
                       std::span<const uint8_t> vecCMSampleBuffer, bool& bError) {
  if (sampleBuf.HasFormatDescription) {
    DeliverParameterSets(session, sampleBuf.FormatDescription.SPS_and_PPS);
  }
  if (sampleBuf.SampleData.empty()) {
    if (LogEnabled()) {
      LogMessage(&session, kLogEmptySampleData,
                 FittedHex(kLogEmptySampleData, vecCMSampleBuffer).c_str());
    }
    return;
  }
  if (session.nVideoHeadSet == 0) {
    bError = true;
    LogMessage(&session, "error : not set video head");
    return;
  }
  SendAccessUnit(session, sampleBuf);
}

}  // namespace

void ReceiveAsynPacket(CaptureSession& session, std::span<const uint8_t> packet,
                       uint32_t nMediaKind, bool* pbError) {
  bool bUnreported = false;
  bool& bError = pbError != nullptr ? *pbError : bUnreported;
  if (!session.bFirstAsynNotified) {
    session.bFirstAsynNotified = true;
    if (g_Callbacks.onStreamStart) g_Callbacks.onStreamStart(session.pCallbackContext);
  }
  // The sample buffer is read where it lies in the packet, not copied out:
  // the record's views and the NAL units handed on point into the packet.
  const std::span<const uint8_t> vecCMSampleBuffer = packet.size() > kAsynHeaderSize
                                                         ? packet.subspan(kAsynHeaderSize)
                                                         : std::span<const uint8_t>{};
  CMSampleBuf sampleBuf;
  bool bParseError = false;
  ParseSampleBuffer(vecCMSampleBuffer, sampleBuf, bParseError);
  if (bParseError) {
    bError = true;
    return;
  }
  if (nMediaKind == kMediaSoun) {
    HandleAudioSample(session, sampleBuf, bError);
  } else if (nMediaKind == kMediaVide) {
    HandleVideoSample(session, sampleBuf, vecCMSampleBuffer, bError);
  }
}
