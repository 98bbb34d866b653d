// The device's serial and the name tool's output reach the terminal and the log without control
// characters; the UDID reaches the tool as one argument.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "capture/capture_session.h"
#include "device/device_name_tool.h"
#include "device/printable_text.h"
#include "device/usb_discovery.h"
#include "sim/sim.h"

namespace {

namespace fs = std::filesystem;

TEST(DeviceStrings, ControlsAndInvalidUtf8ShowAsQuestionMarks) {
  // UTF-8 letters of every length stay, the edges of the ranges too.
  const std::string szLetters =
      "Vid\xc3\xa9os \xe6\x8a\x95 \xf0\x9f\x93\xb1 \xf4\x8f\xbf\xbf \xed\x9f\xbf \xe0\xa0\x80 "
      "\xef\xbf\xbd";
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
      {"\xc0\xaf\xe0\x9f\xbf\xed\xa0\x80\xf4\x90\x80\x80\xe4\xb8x\xf0\x9f\x93",
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
  for (const auto& [szUdid, szQuoted] : cases)
    EXPECT_EQ(WindowsCommandLine("C:\\A B\\t.exe", DeviceNameToolArguments(szUdid)),
              "\"C:\\A B\\t.exe\" -u " + szQuoted + " -k DeviceName")
        << szUdid;
}

// The name lookup of a probe program, with stand-in tools on PATH and beside it.
TEST(DeviceNameLookup, NameIsWhatTheToolWrote) {
  const fs::path dir = fs::temp_directory_path() / ("veltrona-name-" + std::to_string(getpid()));
  const fs::path probe = dir / "program folder" / "probe";
  fs::create_directories(probe.parent_path());
  fs::copy_file(VELTRONA_DEVICE_NAME_PROBE, probe);
  // The probe inherits this descriptor, SIGPIPE ignored and input; the tool none.
  const int nHigh = fcntl(open("/dev/null", O_RDONLY), F_DUPFD, 57);
  // The tool on PATH, the one beside the program, the name, the probe's exit
  // code (0: the tool succeeded, 2: it failed or was ended, 1: none ran).
  const std::tuple<std::string, std::string, std::string, int> cases[] = {
      {"printf '%s|' \"$@\"\necho note >&2\necho iPad", "",
       "-u|00008101-000A1B2C3D4E5F60 -k x|-k|DeviceName|note\niPad\n", 0},
      {"[ -e /proc/$$/fd/" + std::to_string(nHigh) +
           " ] && echo leaked\nread line && echo \"read:$line\"\necho done",
       "", "done\n", 0},
      {"printf a\nsleep 0.1\nprintf 'bc\\0def\\n'", "", "abc", 0},  // after a 1-byte read too
      {"yes | head -n 1", "", "y\n", 0},                            // yes ended quietly by SIGPIPE
      // More than a pipe holds: unless the pipe is read while the tool runs,
      // the tool blocks and never gets to its mark.
      {"head -c 70000 /dev/zero | tr '\\0' n\ntouch '" + dir.string() + "/finished'", "",
       std::string(kDeviceNameCapacity, 'n'), 0},
      // Hung, the wait for it interrupted once: ended, with what it wrote.
      {"echo a\nsleep 0.2\nkill -ALRM $PPID\nsleep 0.2\necho b\nsleep 600 &\nwait", "", "a\nb\n",
       2},
      {"echo 'No such device'\nexit 1", "", "No such device\n", 2},  // a failure is no name
      {"echo 'from path'", "echo \"beside $2\"", "beside 00008101-000A1B2C3D4E5F60 -k x\n", 0},
      {"", "", "", 1},  // no tool
  };
  for (const auto& [szOnPath, szBeside, szName, nExit] : cases) {
    for (const auto& [path, szBody] : {std::pair(dir / "bin", szOnPath),
                                       std::pair(probe.parent_path() / "Frameworks", szBeside)}) {
      fs::remove_all(path);
      if (szBody.empty()) continue;
      fs::create_directories(path);
      std::ofstream(path / "ideviceinfo") << "#!/bin/sh\nPATH=/usr/bin:/bin\n" << szBody << "\n";
      fs::permissions(path / "ideviceinfo", fs::perms::owner_all);
    }
    const std::string szRun =
        "trap '' PIPE; echo typed | PATH='" + (dir / "bin").string() + "' '" + probe.string() + "'";
    FILE* pPipe = popen(szRun.c_str(), "r");
    std::string szOut(2 * kDeviceNameCapacity, '\0');
    szOut.resize(fread(szOut.data(), 1, szOut.size(), pPipe));
    EXPECT_EQ(pclose(pPipe), nExit << 8) << szName;
    EXPECT_EQ(szOut, szName);
  }
  EXPECT_TRUE(fs::exists(dir / "finished"));
  fs::remove_all(dir);
}

}  // namespace
