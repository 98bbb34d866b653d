// The capture thread's attempts, waits and stop sequence, on the simulated
// device and the virtual clock: minutes of reconnect logic in milliseconds.
#include "device/capture_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <thread>

#include "device_test_util.h"
#include "log/log_texts.h"
#include "platform/clock.h"

namespace {

using vsim::Event;

constexpr char kSerial[] = "00008101000a1b2c3d4e5f60";
constexpr char kUdid[] = "00008101-000A1B2C3D4E5F60";

class CaptureThread : public ::testing::Test {
 protected:
  void SetUp() override {
    vsim::Reset();
    UseVirtualClock(5'000'000);
    ASSERT_NE(pSession, nullptr);
    pSession->nRunState.store(kRunRunning);
  }
  void TearDown() override {
    vsim::SetReadHook(nullptr);
    vsim::Reset();
    UseRealClock();
  }

  void RequestStop() { pSession->nRunState.store(kRunStopRequested); }

  // Runs the thread procedure here; the hooks stop it at chosen points.
  void RunToEnd() {
    EXPECT_EQ(CaptureThreadProc(pSession.get()), 0u);
    EXPECT_EQ(pSession->nRunState.load(), kRunStopped);
    EXPECT_EQ(pSession->pDevHandle, nullptr);
  }

  std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kUdid);
  dtest::LogRecord record;
  dtest::ScopedLogRecorder recorder{*pSession, record};
};

size_t IndexOf(const std::vector<vsim::Event>& vecEvents, vsim::Event::Kind kind, size_t nFrom) {
  for (size_t i = nFrom; i < vecEvents.size(); ++i) {
    if (vecEvents[i].kind == kind) return i;
  }
  return vecEvents.size();
}

TEST_F(CaptureThread, ColdStartSwitchesModeCapturesAndStopsWhenTheDeviceIsGone) {
  vsim::DeviceConfig config;
  config.serial = kSerial;
  config.behaviour = vsim::Behaviour::Scripted;
  const int nDevice = vsim::AddDevice(config);
  vsim::QueueUnplug(nDevice);
  record.onLine = [this](const std::string& szLine) {
    if (szLine == kLogOpenDeviceFailed) RequestStop();
  };
  RunToEnd();

  const std::vector<std::string> vecLines = record.Lines();
  // The second scan sees the usbmux interface in both configurations.
  const std::vector<std::string> vecExpected = {
      kLogInitialising,    kLogOpenDeviceOk, "Found MuxConfig", kLogNotInCaptureMode,
      kLogCaptureModeOnOk, kLogInitialising, kLogOpenDeviceOk,  "Found MuxConfig",
      "Found MuxConfig",   "Found QtConfig", kLogInCaptureMode, kLogCapturing};
  ASSERT_GE(vecLines.size(), vecExpected.size());
  for (size_t i = 0; i < vecExpected.size(); ++i) {
    EXPECT_EQ(vecLines[i].rfind(vecExpected[i], 0), 0u) << i << ": " << vecLines[i];
  }
  // Gone: the next attempt finds nothing, and the stop follows it.
  EXPECT_EQ(vecLines.end()[-2], kLogInitialising);
  EXPECT_EQ(vecLines.back(), kLogOpenDeviceFailed);

  // Virtual time of the waits: 1000 before the mode request, 2000 after it,
  // 1000 after the claim.
  EXPECT_EQ(record.vecTicks[4] - record.vecTicks[3], 1000u);
  EXPECT_EQ(record.vecTicks[5] - record.vecTicks[4], 2000u);
  EXPECT_EQ(record.vecTicks[11] - record.vecTicks[10], 1000u);

  // The handle of the lost connection is closed by the next reset; with no
  // device left, the stop sends no control request.
  const std::vector<Event> vecEvents = dtest::DeviceEvents();
  const size_t nClaim = IndexOf(vecEvents, Event::ClaimInterface, 0);
  ASSERT_LT(nClaim, vecEvents.size());
  EXPECT_TRUE(dtest::IsModeRequest(vecEvents[1], 2));
  EXPECT_EQ(vecEvents.back().kind, Event::Close);
  EXPECT_EQ(std::count_if(vecEvents.begin() + static_cast<long>(nClaim), vecEvents.end(),
                          [](const Event& e) { return dtest::IsModeRequest(e, 0); }),
            0);
}

TEST_F(CaptureThread, UnpluggedDeviceIsPickedUpAgainWhenItReturns) {
  const int nDevice = vsim::AddDevice(dtest::ScriptedCaptureDevice(kSerial));
  vsim::QueueUnplug(nDevice);
  int nOpenFailures = 0;
  int nCapturing = 0;
  record.onLine = [&](const std::string& szLine) {
    // Absent for three attempts, then back; stopped once capturing again.
    if (szLine == kLogOpenDeviceFailed && ++nOpenFailures == 3) vsim::Replug(nDevice);
    if (szLine == kLogCapturing && ++nCapturing == 2) RequestStop();
  };
  RunToEnd();

  EXPECT_EQ(nOpenFailures, 3);
  EXPECT_EQ(nCapturing, 2);
  EXPECT_EQ(record.Count(kLogInitialising), 5u);
  // Stopped while capturing: the mode-off request goes out on the open,
  // claimed handle, and only then is the device closed.
  const std::vector<Event> vecEvents = dtest::DeviceEvents();
  ASSERT_GE(vecEvents.size(), 2u);
  EXPECT_TRUE(dtest::IsModeRequest(vecEvents.end()[-2], 0));
  EXPECT_EQ(vecEvents.back().kind, Event::Close);
}

TEST_F(CaptureThread, StopWhileCapturingTurnsCaptureModeOffBeforeClosing) {
  vsim::AddDevice(dtest::ScriptedCaptureDevice(kSerial));
  vsim::SetReadHook([this] { RequestStop(); });
  RunToEnd();

  EXPECT_EQ(record.Count(kLogCapturing), 1u);
  const std::vector<Event> vecEvents = dtest::DeviceEvents();
  const size_t nClaim = IndexOf(vecEvents, Event::ClaimInterface, 0);
  ASSERT_LT(nClaim, vecEvents.size());
  // Nothing closes the device between the claim and the mode-off request.
  EXPECT_EQ(IndexOf(vecEvents, Event::Close, nClaim), vecEvents.size() - 1);
  ASSERT_GE(vecEvents.size(), 2u);
  EXPECT_TRUE(dtest::IsModeRequest(vecEvents.end()[-2], 0));
}

TEST_F(CaptureThread, StopRequestedFromAnotherThreadWhileNoDeviceIsPresent) {
  std::condition_variable changed;
  size_t nFailures = 0;
  record.onLine = [&](const std::string& szLine) {
    if (szLine != kLogOpenDeviceFailed) return;
    std::lock_guard lock(record.mutex);
    ++nFailures;
    changed.notify_all();
  };
  std::thread thread(CaptureThreadProc, pSession.get());
  {
    std::unique_lock lock(record.mutex);
    changed.wait(lock, [&] { return nFailures >= 3; });
  }
  RequestStop();
  thread.join();

  EXPECT_EQ(pSession->nRunState.load(), kRunStopped);
  EXPECT_TRUE(dtest::DeviceEvents().empty());
  EXPECT_EQ(record.Count(kLogCapturing), 0u);
}

TEST_F(CaptureThread, UnknownRunStateIsLoggedAndEndsTheCapture) {
  vsim::AddDevice(dtest::ScriptedCaptureDevice(kSerial));
  pSession->nRunState.store(7);
  const uint64_t qwStart = ClockTicks();
  RunToEnd();
  EXPECT_EQ(record.Lines(), std::vector<std::string>{
                                "\xc4\xda\xb2\xbf\xb4\xed\xce\xf3,\xce\xb4\xd6\xaa\xb5\xc4\xd4\xcb"
                                "\xd0\xd0\xd7\xb4\xcc\xac[7]\n"});
  EXPECT_EQ(ClockTicks() - qwStart, 1000u);  // the stop sequence's wait
  EXPECT_TRUE(dtest::DeviceEvents().empty());
}

TEST_F(CaptureThread, StopRequestedBeforeTheFirstLookIsHonoured) {
  vsim::AddDevice(dtest::ScriptedCaptureDevice(kSerial));
  RequestStop();
  RunToEnd();
  EXPECT_TRUE(record.Lines().empty());
  EXPECT_TRUE(dtest::DeviceEvents().empty());
}

}  // namespace
