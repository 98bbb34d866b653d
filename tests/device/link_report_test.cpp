// What the capture side tells of the connection, on the simulated bus: what a
// search saw, and the devices --list finds. The stages a connection goes
// through are in device_test.cpp, among the log lines.
#include "capture/link_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device/capture_thread.h"
#include "device/device_list.h"
#include "device/usb_discovery.h"
#include "sim/sim.h"

namespace {

constexpr char kSerial[] = "00008101000a1b2c3d4e5f60";
constexpr char kUdid[] = "00008101-000A1B2C3D4E5F60";
// A serial of the newer form, and the UDID it is taken as.
constexpr char kLongSerial[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567890abc";
constexpr char kLongUdid[] = "abcdefghijklmnopqrstuvwxyz01234567890abc";

vsim::DeviceConfig Device(const char* szScenario, std::string szSerial = kSerial) {
  vsim::DeviceConfig config;
  std::string szError;
  EXPECT_TRUE(vsim::ParseScenario(szScenario, config, szError)) << szError;
  config.serial = std::move(szSerial);
  config.behaviour = vsim::Behaviour::Scripted;
  return config;
}

TEST(LinkReports, ASearchSaysWhatItSaw) {
  // Another vendor's device and an empty bus: in device_test.cpp.
  struct Case {
    std::vector<vsim::DeviceConfig> devices;
    int32_t nVendorDevices, nNoPermission;
    std::vector<std::string> vecOtherUdids;
    int nOpen = kOpenDeviceNoMatch;
  };
  std::vector<vsim::DeviceConfig> many(10, Device("capture", "other"));
  const Case cases[] = {
      {{Device("capture", kLongSerial), Device("no-permission")}, 2, 1, {kLongUdid}},
      {{Device("serial-fails"), Device("cold", "")}, 2, 0, {""}},
      {many, 10, 0, std::vector<std::string>(8, "other")},  // a few are enough to read
      // The device itself, found: nothing of it counts as another.
      {{Device("no-permission", "x"), Device("capture")}, 2, 1, {}, kOpenDeviceOk},
  };
  const std::unique_ptr<CaptureSession> pSession = CreateCaptureSession(kUdid);
  for (const Case& c : cases) {
    vsim::Reset();
    for (const vsim::DeviceConfig& device : c.devices) vsim::AddDevice(device);
    LinkReport seen;
    testing::internal::CaptureStdout();
    EXPECT_EQ(OpenDevice(*pSession, kUdid, &seen), c.nOpen);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(seen.nVendorDevices, c.nVendorDevices);
    EXPECT_EQ(seen.nNoPermission, c.nNoPermission);
    EXPECT_EQ(seen.vecOtherUdids, c.vecOtherUdids);
  }
  ResetCaptureState(*pSession);
}

// The names come from the tool on PATH: its first line; nothing from a tool
// that failed for that device.
TEST(DeviceList, EveryDeviceOfTheVendorWithItsUdidProductModeAndName) {
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
  vsim::DeviceConfig otherVendor = Device("capture");
  otherVendor.idVendor = 0x1234;
  vsim::DeviceConfig ipad = Device("cold", kLongSerial);
  ipad.idProduct = 0x12ab;
  for (const auto& device :
       {Device("capture"), otherVendor, ipad, Device("no-permission"), Device("serial-fails")})
    vsim::AddDevice(device);
  std::vector<std::tuple<std::string, int32_t, bool, bool, std::string>> fields;
  for (const ListedDevice& d : ListVendorDevices(true))
    fields.emplace_back(d.szUdid, d.nProductId, d.bCaptureOn, d.bNoPermission, d.szName);
  setenv("PATH", szPath.c_str(), 1);
  fs::remove_all(dir);
  EXPECT_EQ(fields, (decltype(fields){
                        {kUdid, 0x12a8, true, false, "iPhone\x1b de Ana"},
                        {kLongUdid, 0x12ab, false, false, ""},
                        {"", 0x12a8, false, true, ""},
                        {"", 0x12a8, false, false, ""},
                    }));
  // Every handle opened for the list is closed again; no request changes a device.
  std::string szEvents;
  for (const vsim::Event& e : vsim::Transcript())
    szEvents += e.kind == vsim::Event::Open ? '(' : e.kind == vsim::Event::Close ? ')' : '?';
  EXPECT_EQ(szEvents, "()()()()");
}

}  // namespace
