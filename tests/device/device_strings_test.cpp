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
  const std::tuple<std::string, std::string, std::string> cases[] = {
      // as it came, as text, as a name (its closing line break kept, one LF)
      {"iPhone\r\n", "iPhone??", "iPhone\n"},
      {"a\x1b[2Jb\x7f\x80\xff", "a?[2Jb?\x80\xff", "a?[2Jb?\x80\xff"},  // bytes above stay
      {std::string("\0\x01\x1f \x7e", 5), "??? ~", "??? ~"},
      {"1 2\n3\n\n", "1 2?3??", "1 2?3?\n"},
      {"", "", ""},
  };
  for (const auto& [szFrom, szText, szName] : cases) {
    EXPECT_EQ(PrintableText(szFrom), szText) << szFrom;
    EXPECT_EQ(PrintableDeviceName(szFrom), szName) << szFrom;
  }
  vsim::Reset();
  vsim::DeviceConfig config;
  config.serial = "0000\x1b]0;title\x07\n8101";
  vsim::AddDevice(config);
  testing::internal::CaptureStdout();
  EXPECT_EQ(OpenDevice(*CreateCaptureSession("x"), "x"), kOpenDeviceNoMatch);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "szSerialNumber : 0000?]0;title??8101\n");
  vsim::Reset();
}

// The Windows command line, as the C runtime splits it again.
TEST(DeviceStrings, ToolCommandLineKeepsTheUdidWhole) {
  const std::pair<std::string, std::string> cases[] = {
      {"00008101-000A1B2C3D4E5F60", "00008101-000A1B2C3D4E5F60"},
      {"", "\"\""},
      {"a\\\\\"b c\\", "\"a\\\\\\\\\\\"b c\\\\\""},  // backslashes doubled before a quote
      {"a\\b\tc", "\"a\\b\tc\""},                    // and only there
  };
  for (const auto& [szUdid, szQuoted] : cases) {
    EXPECT_EQ(WindowsCommandLine("C:\\A B\\t.exe", DeviceNameToolArguments(szUdid)),
              "\"C:\\A B\\t.exe\" -u " + szQuoted + " -k DeviceName")
        << szUdid;
  }
}

}  // namespace
