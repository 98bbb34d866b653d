// What the capture side tells of the connection, on the simulated bus and the
// virtual clock: the stages a connection goes through, what a search saw, and
// the devices --list finds.
#include "capture/link_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture/session_callbacks.h"
#include "device/capture_thread.h"
#include "device/device_list.h"
#include "device/usb_discovery.h"
#include "platform/clock.h"
#include "sim/sim.h"

namespace {

constexpr char kSerial[] = "00008101000a1b2c3d4e5f60";
constexpr char kUdid[] = "00008101-000A1B2C3D4E5F60";

vsim::DeviceConfig Device(const char* szScenario, std::string szSerial = kSerial) {
  vsim::DeviceConfig config;
  std::string szError;
  EXPECT_TRUE(vsim::ParseScenario(szScenario, config, szError)) << szError;
  config.serial = std::move(szSerial);
  config.behaviour = vsim::Behaviour::Scripted;
  return config;
}

struct Reports {
  std::vector<LinkReport> vecReports;
  CaptureSession* pSession = nullptr;
  int nStopAtReceiving = 0;
};

// The stages, a letter each: Searching, Activating, Receiving, Lost.
std::string Stages(const std::vector<LinkReport>& vecReports) {
  std::string szStages;
  for (const LinkReport& report : vecReports) szStages += "SARL"[static_cast<int>(report.stage)];
  return szStages;
}

TEST(LinkReports, AConnectionGoesThroughItsStagesAndIsLostAtOnce) {
  UseVirtualClock(1000);
  vsim::Reset();
  // Cold (switched on, re-enumerated), capturing, unplugged, back after 2.5 s.
  vsim::DeviceConfig config = Device("cold");
  config.qwReplugAfterMs = 2500;
  vsim::QueueUnplug(vsim::AddDevice(config));
  const std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kUdid);
  Reports reports{{}, pSession.get(), 2};
  pSession->pCallbackContext = &reports;
  g_Callbacks.onLinkReport = [](void* pContext, const LinkReport& report) {
    Reports& r = *static_cast<Reports*>(pContext);
    r.vecReports.push_back(report);
    if (report.stage == LinkStage::Receiving && --r.nStopAtReceiving == 0)
      r.pSession->nRunState.store(kRunStopRequested);
  };
  pSession->nRunState.store(kRunRunning);
  testing::internal::CaptureStdout();
  CaptureThreadProc(pSession.get());
  testing::internal::GetCapturedStdout();
  g_Callbacks.onLinkReport = nullptr;
  // Lost comes straight from the end of the receive loop, before the wait.
  EXPECT_EQ(Stages(reports.vecReports), "AARLSSAAR");
  EXPECT_EQ(reports.vecReports[4].nVendorDevices, 0);
  UseRealClock();
}

TEST(LinkReports, ASearchSaysWhatItSaw) {
  vsim::DeviceConfig otherVendor = Device("capture", "x");
  otherVendor.idVendor = 0x1234;
  const std::string szOther = "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567890abc";
  struct Case {
    std::vector<vsim::DeviceConfig> devices;
    int32_t nVendorDevices, nNoPermission;
    std::vector<std::string> vecOtherUdids;
  };
  std::vector<vsim::DeviceConfig> many(10, Device("capture", "other"));
  const Case cases[] = {
      {{}, 0, 0, {}},
      {{otherVendor}, 0, 0, {}},
      {{Device("capture", szOther), Device("no-permission")},
       2,
       1,
       {"abcdefghijklmnopqrstuvwxyz01234567890abc"}},
      {{Device("serial-fails"), Device("cold", "")}, 2, 0, {""}},
      {many, 10, 0, std::vector<std::string>(8, "other")},  // a few are enough to read
  };
  const std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kUdid);
  for (const Case& c : cases) {
    vsim::Reset();
    for (const vsim::DeviceConfig& device : c.devices) vsim::AddDevice(device);
    LinkReport seen;
    testing::internal::CaptureStdout();
    EXPECT_EQ(OpenDevice(*pSession, kUdid, &seen), kOpenDeviceNoMatch);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(seen.nVendorDevices, c.nVendorDevices);
    EXPECT_EQ(seen.nNoPermission, c.nNoPermission);
    EXPECT_EQ(seen.vecOtherUdids, c.vecOtherUdids);
  }
  // The device itself, found: nothing of it counts as another.
  vsim::Reset();
  vsim::AddDevice(Device("no-permission", "x"));
  vsim::AddDevice(Device("capture"));
  LinkReport seen;
  testing::internal::CaptureStdout();
  EXPECT_EQ(OpenDevice(*pSession, kUdid, &seen), kOpenDeviceOk);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::tuple(seen.nVendorDevices, seen.nNoPermission, seen.vecOtherUdids.size()),
            std::tuple(2, 1, 0u));
  ResetCaptureState(*pSession);
}

TEST(DeviceList, EveryDeviceOfTheVendorWithItsUdidProductAndMode) {
  vsim::Reset();
  vsim::DeviceConfig otherVendor = Device("capture");
  otherVendor.idVendor = 0x1234;
  vsim::DeviceConfig ipad = Device("cold", "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567890abc");
  ipad.idProduct = 0x12ab;
  for (const auto& device :
       {Device("capture"), otherVendor, ipad, Device("no-permission"), Device("serial-fails")})
    vsim::AddDevice(device);
  const std::vector<ListedDevice> listed = ListVendorDevices(false);
  ASSERT_EQ(listed.size(), 4u);
  const auto Fields = [](const ListedDevice& d) {
    return std::tuple(d.szUdid, d.nProductId, d.bCaptureOn, d.bNoPermission, d.szName);
  };
  EXPECT_EQ(Fields(listed[0]), std::tuple(kUdid, 0x12a8, true, false, ""));
  EXPECT_EQ(Fields(listed[1]),
            std::tuple("abcdefghijklmnopqrstuvwxyz01234567890abc", 0x12ab, false, false, ""));
  EXPECT_EQ(Fields(listed[2]), std::tuple("", 0x12a8, false, true, ""));
  EXPECT_EQ(Fields(listed[3]), std::tuple("", 0x12a8, false, false, ""));
  // Every handle opened for the list is closed again; no request changes a device.
  int nOpen = 0;
  for (const vsim::Event& event : vsim::Transcript()) {
    nOpen += event.kind == vsim::Event::Open ? 1 : event.kind == vsim::Event::Close ? -1 : 0;
    EXPECT_TRUE(event.kind == vsim::Event::Open || event.kind == vsim::Event::Close);
  }
  EXPECT_EQ(nOpen, 0);
}

// The names come from the tool on PATH: its first line; nothing from a tool
// that failed for that device.
TEST(DeviceList, NamesAreWhatASucceedingToolPrinted) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("veltrona-list-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "ideviceinfo") << "#!/bin/sh\ncase \"$2\" in\n  " << kUdid
                                     << ") printf 'iPhone\\033 de Ana\\nsecond line\\n' ;;\n"
                                        "  *) echo \"ERROR: no $2\"; exit 1 ;;\nesac\n";
  fs::permissions(dir / "ideviceinfo", fs::perms::owner_all);
  const std::string szPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", dir.c_str(), 1);
  vsim::Reset();
  vsim::AddDevice(Device("capture"));
  vsim::AddDevice(Device("capture", "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567890abc"));
  const std::vector<ListedDevice> listed = ListVendorDevices(true);
  setenv("PATH", szPath.c_str(), 1);
  fs::remove_all(dir);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].szName, "iPhone\x1b de Ana");
  EXPECT_EQ(listed[1].szName, "");
}

}  // namespace
