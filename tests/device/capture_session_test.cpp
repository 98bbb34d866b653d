// Creating the session and resetting it between attempts.
#include "device/capture_session.h"

#include <gtest/gtest.h>

#include <string>

#include "device/capture_thread.h"
#include "device/usb_discovery.h"
#include "device_test_util.h"
#include "platform/clock.h"

namespace {

constexpr char kUdid[] = "00008101-000A1B2C3D4E5F60";

class CaptureSessionState : public ::testing::Test {
 protected:
  void SetUp() override {
    vsim::Reset();
    UseVirtualClock(7'000);
  }
  void TearDown() override {
    vsim::Reset();
    UseRealClock();
  }
};

TEST_F(CaptureSessionState, CreatedWithBothBuffersAndTheWholeUdid) {
  const std::string szLongest(sizeof CaptureSession::szUDID - 1, 'a');
  std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(szLongest);
  ASSERT_NE(pSession, nullptr);
  EXPECT_EQ(std::string(pSession->szUDID), szLongest);
  EXPECT_NE(pSession->pRecvBuffer, nullptr);
  EXPECT_NE(pSession->pPendingBuffer, nullptr);
  // Start-up sets the run state just before the thread starts.
  EXPECT_EQ(pSession->nRunState.load(), kRunStopped);
  // Cut to fit, the UDID could match some other device's serial.
  EXPECT_EQ(CreateCaptureSession(szLongest + "a"), nullptr);
}

TEST_F(CaptureSessionState, ResetClosesTheDeviceAndRestartsThePerAttemptState) {
  std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kUdid);
  ASSERT_NE(pSession, nullptr);
  CaptureSession& session = *pSession;
  vsim::AddDevice(dtest::ScriptedCaptureDevice("00008101000a1b2c3d4e5f60"));
  ASSERT_EQ(OpenDevice(session, session.szUDID), kOpenDeviceOk);
  FindMuxAndQtConfig(session, session.pDevice, session.MuxConfig, session.QtConfig);
  ASSERT_TRUE(IsConfigFound(session.QtConfig));

  int nContext = 0;
  session.pCallbackContext = &nContext;
  session.nRunState.store(kRunRunning);
  session.qwNeedClockRef = 1;
  session.vecNeedPacket.assign(20, 0xAB);
  session.bAudioClockStarted = true;
  session.qwFirstAudioPts = session.qwFirstAudioLocal = 2;
  session.qwLastAudioPts = session.qwLastAudioLocal = 3;
  session.bAudioHeadMissing = false;
  session.bFirstProcessVideo = false;
  session.nVideoHeadSet = 1;
  session.bFirstAsynNotified = true;
  session.qwSyncClockRef = 4;
  session.nPendingOffset = 5;
  session.nPendingLength = 9;
  AdvanceVirtualClock(500);
  const uint8_t* pRecv = session.pRecvBuffer.get();

  ResetCaptureState(session);

  EXPECT_EQ(dtest::DeviceEventKinds(),
            (std::vector<vsim::Event::Kind>{vsim::Event::Open, vsim::Event::Close}));
  EXPECT_EQ(session.pDevHandle, nullptr);
  EXPECT_EQ(session.pDevice, nullptr);
  EXPECT_EQ(session.qwNeedClockRef, 0u);
  EXPECT_TRUE(session.vecNeedPacket.empty());
  EXPECT_GE(session.vecNeedPacket.capacity(), 20u);
  EXPECT_FALSE(session.bAudioClockStarted);
  EXPECT_EQ(session.qwFirstAudioPts + session.qwFirstAudioLocal + session.qwLastAudioPts +
                session.qwLastAudioLocal,
            0u);
  EXPECT_TRUE(session.bAudioHeadMissing);
  EXPECT_TRUE(session.bFirstProcessVideo);
  EXPECT_EQ(session.nVideoHeadSet, 0);
  EXPECT_FALSE(session.bFirstAsynNotified);
  EXPECT_EQ(session.qwSyncClockRef, 0u);
  EXPECT_EQ(session.qwSyncClockStart, 7'500u);
  EXPECT_EQ(session.qwLocalClockStart, 7'500u);
  EXPECT_FALSE(IsConfigFound(session.MuxConfig));
  EXPECT_FALSE(IsConfigFound(session.QtConfig));
  EXPECT_EQ(session.QtConfig.byInEndpoint, 0);
  EXPECT_EQ(session.nPendingOffset, 0u);
  EXPECT_EQ(session.nPendingLength, 0u);
  // What outlives attempts stays.
  EXPECT_EQ(session.pRecvBuffer.get(), pRecv);
  EXPECT_EQ(session.nRunState.load(), kRunRunning);
  EXPECT_EQ(session.pCallbackContext, &nContext);
  EXPECT_STREQ(session.szUDID, kUdid);
}

}  // namespace
