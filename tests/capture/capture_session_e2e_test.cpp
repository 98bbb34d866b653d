// The capture thread against a simulated device that speaks the protocol and
// streams x264 video made here: pictures must reach the frame store equal to
// FFmpeg's own decode, and the host's side of the wire must be exactly what
// the device expects, in order.
#include <gtest/gtest.h>

#include "capture_test_util.h"
#include "device/capture_session.h"
#include "device/capture_thread.h"
#include "platform/clock.h"
#include "sim.h"
#include "support/h264_maker.h"
#include "support/reference_decode.h"
#include "video/frame_store.h"
#include "video/session_callbacks.h"
#include "video/video_decoder.h"

using captest::Bytes;
using captest::Code;
using captest::GetLe32;
using captest::GetLe64;

namespace {

constexpr char kSerial[] = "00008101000A1B2C3D4E5F60";
constexpr char kUdid[] = "00008101-000A1B2C3D4E5F60";
constexpr int kPicturesWanted = 14;  // more than one pass over the stream
constexpr int kKeepAlivesWanted = 2;

const Bytes kPing = captest::Hex("10 00 00 00 67 6e 69 70 00 00 00 00 01 00 00 00");

struct StreamRun {
  CaptureSession* pSession = nullptr;
  int nDevice = -1;
  std::vector<vtest::ReferencePicture> reference;
  int nPictures = 0;
  int nMismatches = 0;
  int nSilentReads = 0;
  bool bStopAsked = false;
};

// After each published picture: compare it with the reference picture at its
// place in the looping stream; once enough have come, have the device stop
// its media, so that silence (and the keep-alive) follows.
void OnPicture(void* pContext) {
  StreamRun& run = *static_cast<StreamRun*>(pContext);
  std::vector<uint8_t> vecPixels;
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  if (!CopyLatestFrame(g_FrameStore, vecPixels, nWidth, nHeight)) return;
  const vtest::ReferencePicture& expected =
      run.reference[static_cast<size_t>(run.nPictures) % run.reference.size()];
  if (nWidth != expected.nWidth || nHeight != expected.nHeight || vecPixels != expected.bgra) {
    ++run.nMismatches;
  }
  if (++run.nPictures == kPicturesWanted && !run.bStopAsked) {
    run.bStopAsked = true;
    vsim::RequestStop(run.nDevice);
  }
}

// A write as the host's side of the transcript shows it.
enum class Sent { Ping, Hpd1, Hpa1, Need, Reply, Control, Other };

Sent KindOf(const vsim::Event& event) {
  if (event.kind == vsim::Event::Control) return Sent::Control;
  if (event.kind != vsim::Event::BulkWrite || event.vecBytes.size() < 8) return Sent::Other;
  const Bytes& bytes = event.vecBytes;
  if (bytes == kPing) return Sent::Ping;
  if (GetLe32(bytes, 4) == Code("rply")) return Sent::Reply;
  if (GetLe32(bytes, 4) != Code("asyn") || bytes.size() < 20) return Sent::Other;
  switch (GetLe32(bytes, 16)) {
    case Code("hpd1"):
      return Sent::Hpd1;
    case Code("hpa1"):
      return Sent::Hpa1;
    case Code("need"):
      return Sent::Need;
    default:
      return Sent::Other;
  }
}

class CaptureSessionEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    vtest::QuietFfmpegLogs();
    vsim::Reset();
    UseVirtualClock(10'000'000);
    ASSERT_EQ(OpenVideoDecoder(decoder), DecoderOpenResult::Ok);
    g_pCurrentDecoder = &decoder;
    previous = g_Callbacks;
    g_Callbacks = SessionCallbacks{};
    InstallSessionCallbacks(g_Callbacks);
  }
  void TearDown() override {
    SetFramePublishedNotifier(nullptr, nullptr);
    vsim::SetReadHook(nullptr);
    g_Callbacks = previous;
    g_pCurrentDecoder = nullptr;
    CloseVideoDecoder(decoder);
    vsim::Reset();
    UseRealClock();
  }

  VideoDecoder decoder;
  SessionCallbacks previous;
};

}  // namespace

TEST_F(CaptureSessionEndToEnd, StreamReachesTheFrameStoreAndTheWireCarriesTheHostsSide) {
  vtest::H264Options options;
  options.nWidth = 320;
  options.nHeight = 240;
  options.nFrames = 10;
  const vtest::H264Stream stream = vtest::MakeH264Stream(options);
  const Bytes annexB = vtest::JoinAccessUnits(stream.accessUnits);

  StreamRun run;
  run.reference = vtest::ReferenceDecode(annexB);
  ASSERT_EQ(run.reference.size(), 10u);

  vsim::DeviceConfig config;
  config.serial = kSerial;
  config.bCaptureModeOn = true;
  config.behaviour = vsim::Behaviour::Protocol;
  config.vecH264 = annexB;
  run.nDevice = vsim::AddDevice(config);

  std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kUdid);
  ASSERT_NE(pSession, nullptr);
  run.pSession = pSession.get();
  pSession->nRunState.store(kRunRunning);
  SetFramePublishedNotifier(OnPicture, &run);
  // Once the media has stopped, count the silent seconds; end after a few.
  size_t nEventsSeen = 0;
  vsim::SetReadHook([&run, &nEventsSeen] {
    if (!run.bStopAsked) return;
    const std::vector<vsim::Event> vecEvents = vsim::Transcript();
    for (; nEventsSeen < vecEvents.size(); ++nEventsSeen) {
      if (vecEvents[nEventsSeen].kind == vsim::Event::Control &&
          vecEvents[nEventsSeen].nRequest == 0x40) {
        ++run.nSilentReads;
      }
    }
    if (run.nSilentReads >= kKeepAlivesWanted) run.pSession->nRunState.store(kRunStopRequested);
  });
  EXPECT_EQ(CaptureThreadProc(pSession.get()), 0u);

  EXPECT_GE(run.nPictures, kPicturesWanted);
  EXPECT_EQ(run.nMismatches, 0);
  EXPECT_EQ(vsim::ProtocolErrors(), std::vector<std::string>{});

  // The host's writes from the claim of the capture interface to the stop.
  std::vector<vsim::Event> vecEvents = vsim::Transcript();
  const auto claim = std::find_if(vecEvents.begin(), vecEvents.end(), [](const vsim::Event& e) {
    return e.kind == vsim::Event::ClaimInterface;
  });
  ASSERT_NE(claim, vecEvents.end());
  std::vector<vsim::Event> vecHost(claim + 1, vecEvents.end());
  std::erase_if(vecHost, [](const vsim::Event& e) {
    return e.kind != vsim::Event::BulkWrite && e.kind != vsim::Event::Control;
  });
  std::vector<Sent> vecKinds;
  for (const vsim::Event& event : vecHost) vecKinds.push_back(KindOf(event));

  // The ping is answered; the CWPA request gets HPD1, HPD1, its reply, HPA1.
  ASSERT_GE(vecKinds.size(), 5u);
  EXPECT_EQ(vecKinds[0], Sent::Ping);
  const auto hpd1 = std::find(vecKinds.begin(), vecKinds.end(), Sent::Hpd1) - vecKinds.begin();
  ASSERT_LE(static_cast<size_t>(hpd1) + 4, vecKinds.size());
  EXPECT_EQ(vecKinds[hpd1 + 1], Sent::Hpd1);
  EXPECT_EQ(vecKinds[hpd1 + 2], Sent::Reply);
  EXPECT_EQ(vecKinds[hpd1 + 3], Sent::Hpa1);
  const Bytes& display = vecHost[hpd1].vecBytes;
  EXPECT_EQ(display.size(), 172u);
  EXPECT_EQ(vecHost[hpd1 + 1].vecBytes, display);
  EXPECT_EQ(GetLe64(display, 8), 1u);
  const uint64_t qwAudioClock = GetLe64(vecHost[hpd1 + 2].vecBytes, 20) - 1000;
  EXPECT_EQ(vecHost[hpd1 + 3].vecBytes.size(), 337u);
  EXPECT_EQ(GetLe64(vecHost[hpd1 + 3].vecBytes, 8), qwAudioClock);

  // The first NEED comes right before the CVRP reply; all NEEDs are the same
  // bytes; one follows each picture the device sent.
  const auto need = std::find(vecKinds.begin(), vecKinds.end(), Sent::Need) - vecKinds.begin();
  ASSERT_LT(static_cast<size_t>(need) + 1, vecKinds.size());
  const Bytes& needBytes = vecHost[need].vecBytes;
  EXPECT_EQ(vecKinds[need + 1], Sent::Reply);
  EXPECT_EQ(GetLe64(vecHost[need + 1].vecBytes, 20), GetLe64(needBytes, 8) + 0x1000AF);
  int nNeeds = 0;
  for (size_t i = 0; i < vecHost.size(); ++i) {
    if (vecKinds[i] != Sent::Need) continue;
    ++nNeeds;
    EXPECT_EQ(vecHost[i].vecBytes, needBytes) << i;
  }
  EXPECT_EQ(nNeeds, vsim::FramesSent(run.nDevice) + 1);

  // Silence after the stop: each second a keep-alive request, then a ping.
  int nKeepAlives = 0;
  for (size_t i = 0; i < vecHost.size(); ++i) {
    if (vecKinds[i] != Sent::Control || vecHost[i].nRequest != 0x40) continue;
    ++nKeepAlives;
    EXPECT_EQ(vecHost[i].nRequestType, 0x40);
    EXPECT_EQ(vecHost[i].nValue, 0x6400);
    EXPECT_EQ(vecHost[i].nIndex, 0x6400);
    EXPECT_EQ(vecHost[i].nLength, 0);
    ASSERT_LT(i + 1, vecHost.size());
    EXPECT_EQ(vecKinds[i + 1], Sent::Ping);
  }
  EXPECT_EQ(nKeepAlives, kKeepAlivesWanted);
  // Nothing but known packets went out.
  EXPECT_EQ(std::count(vecKinds.begin(), vecKinds.end(), Sent::Other), 0);
}
