// What the device sets (its serial) and the name tool prints are data: they
// reach the terminal and the log without control characters, and the UDID
// reaches the tool as one argument.
#include <gtest/gtest.h>

#include "capture/capture_session.h"
#include "device/device_name_tool.h"
#include "device/printable_text.h"
#include "device/usb_discovery.h"
#include "sim/sim.h"

namespace {

TEST(DeviceStrings, ControlCharactersShowAsQuestionMarks) {
  struct Case {
    std::string szFrom, szText, szName;
  };
  const Case cases[] = {
      {"iPhone\n", "iPhone?", "iPhone\n"},
      {"iPhone\r\n", "iPhone??", "iPhone\n"},
      {"a\x1b[2Jb\x7f\x80\xff", "a?[2Jb?\x80\xff", "a?[2Jb?\x80\xff"},  // bytes above stay
      {std::string("\0\x01\x1f \x7e", 5), "??? ~", "??? ~"},
      {"1 2\n3\n\n", "1 2?3??", "1 2?3?\n"},  // only the closing line break is kept
      {"\n", "?", "\n"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrintableText(c.szFrom), c.szText) << c.szFrom;
    EXPECT_EQ(PrintableDeviceName(c.szFrom), c.szName) << c.szFrom;
  }
}

TEST(DeviceStrings, SerialIsPrintedWithoutControlCharacters) {
  vsim::Reset();
  vsim::DeviceConfig config;
  config.serial = "0000\x1b]0;title\x07\n8101";
  vsim::AddDevice(config);
  const std::unique_ptr<CaptureSession> pSession = CreateCaptureSession("x");
  testing::internal::CaptureStdout();
  EXPECT_EQ(OpenDevice(*pSession, "x"), kOpenDeviceNoMatch);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "szSerialNumber : 0000?]0;title??8101\n");
  vsim::Reset();
}

// The Windows command line, as the C runtime splits it again: the UDID one
// argument whatever it holds.
TEST(DeviceStrings, ToolCommandLineKeepsEachArgumentWhole) {
  const std::pair<std::string, std::string> cases[] = {
      {"00008101-000A1B2C3D4E5F60", "-u 00008101-000A1B2C3D4E5F60 -k DeviceName"},
      {"a b", "-u \"a b\" -k DeviceName"},
      {"", "-u \"\" -k DeviceName"},
      {"x\"y", "-u \"x\\\"y\" -k DeviceName"},
      {"a\\\\\"b c\\", "-u \"a\\\\\\\\\\\"b c\\\\\" -k DeviceName"},
      {"a\\b\tc", "-u \"a\\b\tc\" -k DeviceName"},  // backslashes before no quote stay single
      {"a\\b", "-u a\\b -k DeviceName"},
  };
  for (const auto& [szUdid, szArguments] : cases) {
    EXPECT_EQ(WindowsCommandLine("C:\\Program Files\\V\\t.exe", DeviceNameToolArguments(szUdid)),
              "\"C:\\Program Files\\V\\t.exe\" " + szArguments)
        << szUdid;
  }
}

}  // namespace
