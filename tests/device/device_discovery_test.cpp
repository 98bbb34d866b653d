// Finding the device and its interfaces, through the simulated bus.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "device/capture_activation.h"
#include "device/capture_thread.h"
#include "device/usb_discovery.h"
#include "device_test_util.h"
#include "log/log_texts.h"
#include "platform/clock.h"

namespace {

using vsim::Event;

constexpr char kShortSerial[] = "00008101000a1b2c3d4e5f60";
constexpr char kShortUdid[] = "00008101-000A1B2C3D4E5F60";
constexpr char kLongSerial[] = "ABCDEF0123456789ABCDEF0123456789ABCDEF01";
constexpr char kLongUdid[] = "abcdef0123456789abcdef0123456789abcdef01";

class DeviceDiscovery : public ::testing::Test {
 protected:
  void SetUp() override {
    vsim::Reset();
    UseVirtualClock(1'000'000);
  }
  void TearDown() override {
    ResetCaptureState(session);
    vsim::Reset();
    UseRealClock();
  }

  // Finds the device and its interfaces as an activation attempt does.
  bool OpenAndSearch(const char* szUdid) {
    if (OpenDevice(session, szUdid) != kOpenDeviceOk) return false;
    FindMuxAndQtConfig(session, session.pDevice, session.MuxConfig, session.QtConfig);
    return true;
  }

  CaptureSession session;
};

TEST_F(DeviceDiscovery, MatchesOnlyTheNormalisedSerial) {
  struct Case {
    const char* szSerial;
    const char* szUdid;
    bool bMatch;
  };
  const Case cases[] = {
      {kShortSerial, kShortUdid, true},
      {"00008101000A1B2C3D4E5F60", kShortUdid, true},
      {kShortSerial, kShortSerial, false},
      {kShortSerial, "00008101-000a1b2c3d4e5f60", false},
      {kLongSerial, kLongUdid, true},
      {kLongSerial, kLongSerial, false},
      {"", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.szSerial) + " vs " + c.szUdid);
    vsim::Reset();
    vsim::DeviceConfig config;
    config.serial = c.szSerial;
    vsim::AddDevice(config);
    EXPECT_EQ(OpenDevice(session, c.szUdid), c.bMatch ? kOpenDeviceOk : kOpenDeviceNoMatch);
    EXPECT_EQ(session.pDevHandle != nullptr, c.bMatch);
    EXPECT_EQ(session.pDevice != nullptr, c.bMatch);
    ResetCaptureState(session);
  }
}

TEST_F(DeviceDiscovery, PassesOverOtherVendorsAndDevicesThatDoNotMatch) {
  vsim::DeviceConfig other;
  other.idVendor = 0x1234;
  other.serial = kShortSerial;
  const int nOther = vsim::AddDevice(other);
  vsim::DeviceConfig unreadable;
  unreadable.bSerialReadFails = true;
  vsim::AddDevice(unreadable);
  vsim::DeviceConfig wrong;
  wrong.serial = "00008101000A1B2C3D4E5F61";
  vsim::AddDevice(wrong);
  vsim::DeviceConfig wanted;
  wanted.serial = kShortSerial;
  vsim::AddDevice(wanted);

  testing::internal::CaptureStdout();
  EXPECT_EQ(OpenDevice(session, kShortUdid), kOpenDeviceOk);
  const std::string szOut = testing::internal::GetCapturedStdout();

  // The other vendor's device is never opened; the unreadable and the
  // non-matching one are opened, closed and passed over.
  EXPECT_EQ(dtest::DeviceEventKinds(),
            (std::vector<Event::Kind>{Event::Open, Event::Close, Event::Open, Event::Close,
                                      Event::Open}));
  for (const Event& event : vsim::Transcript()) EXPECT_NE(event.nDevice, nOther);
  EXPECT_EQ(szOut,
            "szSerialNumber : 00008101000A1B2C3D4E5F61\n"
            "szSerialNumber : 00008101000a1b2c3d4e5f60\n");
}

TEST_F(DeviceDiscovery, NoDeviceOfTheVendorMeansNoMatch) {
  vsim::DeviceConfig other;
  other.idVendor = 0x1234;
  vsim::AddDevice(other);
  EXPECT_EQ(OpenDevice(session, kShortUdid), kOpenDeviceNoMatch);
  EXPECT_TRUE(dtest::DeviceEvents().empty());
}

TEST_F(DeviceDiscovery, LaterConfigurationWithTheCaptureInterfaceWins) {
  vsim::DeviceConfig config = dtest::ScriptedCaptureDevice(kShortSerial);
  config.layoutAfterModeOn = {
      dtest::OneInterfaceConfig(1, {dtest::CaptureAlt(0, 0, {dtest::Ep(0x81), dtest::Ep(0x02)})}),
      dtest::OneInterfaceConfig(2, {}),
      dtest::OneInterfaceConfig(4, {dtest::CaptureAlt(3, 0, {dtest::Ep(0x85), dtest::Ep(0x06)})}),
  };
  vsim::AddDevice(config);
  ASSERT_TRUE(OpenAndSearch(kShortUdid));
  EXPECT_EQ(session.QtConfig.nConfig, 4);
  EXPECT_EQ(session.QtConfig.nInterface, 3);
  EXPECT_EQ(session.QtConfig.byInEndpoint, 0x85);
  EXPECT_EQ(session.QtConfig.byOutEndpoint, 0x06);
  EXPECT_FALSE(IsConfigFound(session.MuxConfig));

  ASSERT_EQ(SetQTConfigAndInterface(session), 0);
  const std::vector<Event> vecEvents = dtest::DeviceEvents();
  ASSERT_EQ(vecEvents.size(), 3u);
  EXPECT_EQ(vecEvents[1].kind, Event::SetConfiguration);
  EXPECT_EQ(vecEvents[1].nNumber, 4);
  EXPECT_EQ(vecEvents[2].kind, Event::ClaimInterface);
  EXPECT_EQ(vecEvents[2].nNumber, 3);
}

TEST_F(DeviceDiscovery, FirstMatchingAlternateSettingIsTakenAndNoneIsSelected) {
  vsim::DeviceConfig config = dtest::ScriptedCaptureDevice(kShortSerial);
  config.layoutAfterModeOn = {
      dtest::OneInterfaceConfig(1, {dtest::CaptureAlt(0, 0, {dtest::Ep(0x81), dtest::Ep(0x02)}),
                                    dtest::CaptureAlt(0, 1, {dtest::Ep(0x83), dtest::Ep(0x04)})})};
  vsim::AddDevice(config);
  ASSERT_TRUE(OpenAndSearch(kShortUdid));
  EXPECT_EQ(session.QtConfig.nInterface, 0);
  EXPECT_EQ(session.QtConfig.byInEndpoint, 0x81);
  EXPECT_EQ(session.QtConfig.byOutEndpoint, 0x02);

  ASSERT_EQ(SetQTConfigAndInterface(session), 0);
  // Configuration and claim, nothing else: no alternate setting is chosen.
  EXPECT_EQ(
      dtest::DeviceEventKinds(),
      (std::vector<Event::Kind>{Event::Open, Event::SetConfiguration, Event::ClaimInterface}));
}

TEST_F(DeviceDiscovery, EmptyAlternateSettingIsPassedOver) {
  vsim::AltSetting empty = dtest::CaptureAlt(0, 0, {dtest::Ep(0x81), dtest::Ep(0x02)});
  empty.bZeroLength = true;
  vsim::DeviceConfig config = dtest::ScriptedCaptureDevice(kShortSerial);
  config.layoutAfterModeOn = {dtest::OneInterfaceConfig(
      1, {empty, dtest::CaptureAlt(0, 1, {dtest::Ep(0x83), dtest::Ep(0x04)})})};
  vsim::AddDevice(config);
  ASSERT_TRUE(OpenAndSearch(kShortUdid));
  EXPECT_EQ(session.QtConfig.byInEndpoint, 0x83);
  EXPECT_EQ(session.QtConfig.byOutEndpoint, 0x04);
}

TEST_F(DeviceDiscovery, EndpointsWithTheLargestPacketSizeWinAndTiesKeepTheFirst) {
  struct Case {
    std::vector<vsim::Endpoint> vecEndpoints;
    uint8_t byIn;
    int32_t nInSize;
    uint8_t byOut;
    int32_t nOutSize;
  };
  const Case cases[] = {
      {{dtest::Ep(0x81, 64), dtest::Ep(0x02, 512), dtest::Ep(0x83, 512)}, 0x83, 512, 0x02, 512},
      {{dtest::Ep(0x81, 512), dtest::Ep(0x83, 512), dtest::Ep(0x02, 64), dtest::Ep(0x04, 64)},
       0x81,
       512,
       0x02,
       64},
      {{dtest::Ep(0x81, 0), dtest::Ep(0x83, 0)}, 0x81, 0, 0, -1},
      {{dtest::Ep(0x02, 512)}, 0, -1, 0x02, 512},
  };
  for (const Case& c : cases) {
    ResetCaptureState(session);  // while its handle still means something
    vsim::Reset();
    vsim::DeviceConfig config = dtest::ScriptedCaptureDevice(kShortSerial);
    config.layoutAfterModeOn = {
        dtest::OneInterfaceConfig(1, {dtest::CaptureAlt(0, 0, c.vecEndpoints)})};
    vsim::AddDevice(config);
    ASSERT_TRUE(OpenAndSearch(kShortUdid));
    EXPECT_EQ(session.QtConfig.byInEndpoint, c.byIn);
    EXPECT_EQ(session.QtConfig.nInMaxPacket, c.nInSize);
    EXPECT_EQ(session.QtConfig.byOutEndpoint, c.byOut);
    EXPECT_EQ(session.QtConfig.nOutMaxPacket, c.nOutSize);
  }
}

class CaptureActivation : public DeviceDiscovery {
 protected:
  void SetUp() override {
    DeviceDiscovery::SetUp();
    std::strcpy(session.szUDID, kShortUdid);
  }

  // Runs one attempt as the capture thread does; returns its virtual duration.
  uint64_t Attempt(bool& bReady) {
    ResetCaptureState(session);
    const uint64_t qwStart = ClockTicks();
    bReady = PrepareCaptureDevice(session);
    return ClockTicks() - qwStart;
  }

  dtest::LogRecord record;
  dtest::ScopedLogRecorder recorder{session, record};
};

TEST_F(CaptureActivation, ModeOnRequestThenCloseThenFreshScanFindsTheInterface) {
  vsim::DeviceConfig config;
  config.serial = kShortSerial;
  config.behaviour = vsim::Behaviour::Scripted;
  vsim::AddDevice(config);

  bool bReady = true;
  EXPECT_EQ(Attempt(bReady), 3000u);  // 1000 before the request, 2000 after it
  EXPECT_FALSE(bReady);
  EXPECT_EQ(session.pDevHandle, nullptr);
  EXPECT_EQ(session.pDevice, nullptr);
  std::vector<Event> vecEvents = dtest::DeviceEvents();
  ASSERT_EQ(vecEvents.size(), 3u);
  EXPECT_EQ(vecEvents[0].kind, Event::Open);
  EXPECT_TRUE(dtest::IsModeRequest(vecEvents[1], 2));
  EXPECT_EQ(vecEvents[2].kind, Event::Close);

  const std::vector<std::string> vecFirst = record.Lines();
  ASSERT_EQ(vecFirst.size(), 5u);
  EXPECT_EQ(vecFirst[0], kLogInitialising);
  EXPECT_EQ(vecFirst[1], kLogOpenDeviceOk);
  EXPECT_EQ(vecFirst[2].rfind("Found MuxConfig[", 0), 0u);
  EXPECT_EQ(vecFirst[3], kLogNotInCaptureMode);
  EXPECT_EQ(vecFirst[4], kLogCaptureModeOnOk);

  EXPECT_EQ(Attempt(bReady), 1000u);
  EXPECT_TRUE(bReady);
  ASSERT_NE(session.pDevice, nullptr);
  // Each configuration that holds an interface logs it; the last one wins.
  const std::string szDevice = session.pDevice->filename;
  const std::vector<std::string> vecLines = record.Lines();
  EXPECT_EQ(std::vector<std::string>(vecLines.begin() + 5, vecLines.end()),
            (std::vector<std::string>{kLogInitialising, kLogOpenDeviceOk,
                                      "Found MuxConfig[1]  Interface[1],for Device " + szDevice,
                                      "Found MuxConfig[2]  Interface[1],for Device " + szDevice,
                                      "Found QtConfig[2]  Interface[2],for Device " + szDevice,
                                      kLogInCaptureMode}));
  EXPECT_EQ(session.MuxConfig.nConfig, 2);

  vecEvents = dtest::DeviceEvents();
  ASSERT_EQ(vecEvents.size(), 6u);
  EXPECT_EQ(vecEvents[3].kind, Event::Open);
  EXPECT_EQ(vecEvents[4].kind, Event::SetConfiguration);
  EXPECT_EQ(vecEvents[4].nNumber, session.QtConfig.nConfig);
  EXPECT_EQ(vecEvents[5].kind, Event::ClaimInterface);
  EXPECT_EQ(vecEvents[5].nNumber, session.QtConfig.nInterface);
}

TEST_F(CaptureActivation, FailuresAreLoggedAndWaitedOut) {
  struct Case {
    const char* szName;
    vsim::DeviceConfig config;
    const char* szLastLine;
    uint64_t qwDuration;
  };
  vsim::DeviceConfig modeFails;
  modeFails.serial = kShortSerial;
  modeFails.bModeRequestFails = true;
  vsim::DeviceConfig claimFails = dtest::ScriptedCaptureDevice(kShortSerial);
  claimFails.bClaimFails = true;
  vsim::DeviceConfig setFails = dtest::ScriptedCaptureDevice(kShortSerial);
  setFails.bSetConfigurationFails = true;
  vsim::DeviceConfig otherSerial;
  otherSerial.serial = kLongSerial;
  const Case cases[] = {
      {"mode request fails", modeFails, kLogCaptureModeOnFailed, 2000},
      {"claim fails", claimFails, kLogSetConfigFailed, 1000},
      {"configuration fails", setFails, kLogSetConfigFailed, 1000},
      {"no device", otherSerial, kLogOpenDeviceFailed, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.szName);
    ResetCaptureState(session);  // while its handle still means something
    vsim::Reset();
    vsim::AddDevice(c.config);
    {
      std::lock_guard lock(record.mutex);
      record.vecLines.clear();
    }
    bool bReady = true;
    EXPECT_EQ(Attempt(bReady), c.qwDuration);
    EXPECT_FALSE(bReady);
    const std::vector<std::string> vecLines = record.Lines();
    ASSERT_FALSE(vecLines.empty());
    EXPECT_EQ(vecLines.back(), c.szLastLine);
  }
}

TEST_F(CaptureActivation, FailedModeRequestLeavesTheHandleForTheNextReset) {
  vsim::DeviceConfig config;
  config.serial = kShortSerial;
  config.bModeRequestFails = true;
  vsim::AddDevice(config);
  bool bReady = true;
  Attempt(bReady);
  EXPECT_NE(session.pDevHandle, nullptr);
  EXPECT_EQ(dtest::DeviceEventKinds(), (std::vector<Event::Kind>{Event::Open, Event::Control}));
  ResetCaptureState(session);
  EXPECT_EQ(session.pDevHandle, nullptr);
  EXPECT_EQ(dtest::DeviceEventKinds().back(), Event::Close);
}

TEST_F(CaptureActivation, CaptureModeOffOnlyWhileAHandleIsOpen) {
  TurnCaptureModeOff(session);
  EXPECT_TRUE(dtest::DeviceEvents().empty());

  vsim::AddDevice(dtest::ScriptedCaptureDevice(kShortSerial));
  bool bReady = false;
  Attempt(bReady);
  ASSERT_TRUE(bReady);
  TurnCaptureModeOff(session);
  const std::vector<Event> vecEvents = dtest::DeviceEvents();
  ASSERT_FALSE(vecEvents.empty());
  EXPECT_TRUE(dtest::IsModeRequest(vecEvents.back(), 0));
}

}  // namespace
