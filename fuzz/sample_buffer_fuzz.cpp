// Sample buffers on their own: the parse must keep every view inside its
// input, and the media step must hand out only bytes of the packet.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "avc/access_unit.h"
#include "avc/avc_units.h"
#include "capture/fourcc.h"
#include "capture/media_packet.h"
#include "capture/sample_buffer.h"
#include "capture/session_callbacks.h"
#include "fuzz_device.h"

namespace {

std::span<const uint8_t> g_packet;

bool Inside(std::span<const uint8_t> view, std::span<const uint8_t> whole) {
  return view.empty() ||
         (view.data() >= whole.data() && view.data() + view.size() <= whole.data() + whole.size());
}

void CheckInPacket(void*, const uint8_t* pData, int32_t nSize) {
  if (nSize <= 0 || !Inside({pData, static_cast<size_t>(nSize)}, g_packet)) abort();
}

// The units in place in the packet, whole, and never none; the record a copy
// of one the packet carried, whole as the device sends it.
void CheckAccessUnit(void*, const AccessUnit& unit) {
  if (unit.units.empty() || !Inside(unit.units, g_packet)) abort();
  if (WholeUnitsSize(unit.units) != unit.units.size()) abort();
  if (unit.bNewRecord && (unit.record.empty() || Inside(unit.record, g_packet))) abort();
}

void CheckParse(std::span<const uint8_t> input) {
  CMSampleBuf sampleBuf;
  bool bError = false;
  ParseSampleBuffer(input, sampleBuf, bError);
  const CMFormatDescription& d = sampleBuf.FormatDescription;
  for (auto view : {sampleBuf.SampleData, sampleBuf.SattBytes, sampleBuf.SaryBytes,
                    sampleBuf.SampleTimingInfo, d.Extensions, d.SPS, d.PPS, d.SPS_and_PPS}) {
    if (!Inside(view, input)) abort();
  }
  if (!Inside(d.SPS_and_PPS, d.Extensions) || sampleBuf.SampleTimingInfo.size() % 72 != 0) {
    abort();
  }
}

}  // namespace

// First byte: bit 0 audio instead of video, bit 1 video head already set,
// bit 2 audio head already known. The rest: one asyn packet.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  if (nSize == 0) return 0;
  const uint8_t byMode = pData[0];
  // An exact-size copy, so that any read past the packet is caught.
  const std::vector<uint8_t> vecPacket(pData + 1, pData + nSize);
  g_packet = vecPacket;
  if (vecPacket.size() > 20) CheckParse(std::span<const uint8_t>(vecPacket).subspan(20));

  // The log is on, so that its dumps of the packet are made too.
  SessionCallbacks callbacks;
  callbacks.onLog = NoOpCallback<const char*>;
  callbacks.onAudioData = CheckInPacket;
  AddAccessUnitSink(callbacks.videoSinks, CheckAccessUnit, nullptr);
  g_Callbacks = callbacks;

  CaptureSession& session = FreshFuzzSession();
  session.nVideoHeadSet = (byMode & 2) != 0 ? 1 : 0;
  session.bAudioHeadMissing = (byMode & 4) == 0;
  bool bError = false;
  ReceiveAsynPacket(session, vecPacket, (byMode & 1) != 0 ? kMediaSoun : kMediaVide, &bError);
  return 0;
}
