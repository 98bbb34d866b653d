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

TEST(DeviceStrings, ControlsAndInvalidUtf8ShowAsQuestionMarks) {
  // UTF-8 letters of every length stay, the edges of the ranges too.
  const std::string szLetters =
      "Vid\xc3\xa9os \xe6\x8a\x95 \xf0\x9f\x93\xb1 \xf4\x8f\xbf\xbf \xed\x9f\xbf";
  const std::tuple<std::string, std::string, std::string> cases[] = {
      // as it came, as text, as a name (its closing line break kept, one LF)
      {"iPhone\r\n", "iPhone??", "iPhone\n"},
      {std::string("\0\x01\x1f \x7e", 5), "??? ~", "??? ~"},
      {"1 2\n3\n\n", "1 2?3??", "1 2?3?\n"},
      {"", "", ""},
      {szLetters, szLetters, szLetters},
      // C0, DEL; C1 as Latin-1 bytes (8-bit CSI) and as characters; Latin-1 letters
      {"a\x1b[2Jb\x7f\x9b\x80\x9f\xa0\xe9\xff\xc2\x80\xc2\x9b\xc2\x9f\xc2\xa0",
       "a?[2Jb??????????\xc2\xa0", "a?[2Jb??????????\xc2\xa0"},
      // overlong, surrogate, above U+10FFFF, a lead without its tail, cut at the end
      {"\xc0\xaf\xe0\x9f\xbf\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82x\xf0\x9f\x93",
       "??????????????x???", "??????????????x???"},
  };
  for (const auto& [szFrom, szText, szName] : cases) {
    EXPECT_EQ(PrintableText(szFrom), szText) << szFrom;
    EXPECT_EQ(PrintableDeviceName(szFrom), szName) << szFrom;
  }
  // A phone whose serial holds escapes, as the real library hands them over.
  vsim::Reset();
  vsim::DeviceConfig config;
  config.serial =
      "0000\x1b]0;title\x07\n\x9b"
      "2J\xe9"
      "8101";
  config.bRawStrings = true;
  vsim::AddDevice(config);
  testing::internal::CaptureStdout();
  EXPECT_EQ(OpenDevice(*CreateCaptureSession("x"), "x"), kOpenDeviceNoMatch);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "szSerialNumber : 0000?]0;title???2J?8101\n");
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
