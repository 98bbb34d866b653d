// The device-name lookup with stand-in tools: shell scripts on PATH or in a
// Frameworks folder beside a copy of a probe program.
#include "device/device_name.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "device/device_name_tool.h"

namespace {

namespace fs = std::filesystem;

constexpr char kArguments[] = "-u 00008101-000A1B2C3D4E5F60 -k DeviceName";

void WriteScript(const fs::path& path, const std::string& szBody) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "#!/bin/sh\n" << szBody << "\n";
  fs::permissions(path, fs::perms::owner_all);
}

class DeviceNameLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    char szTemplate[] = "/tmp/veltrona-name-XXXXXX";
    ASSERT_NE(mkdtemp(szTemplate), nullptr);
    dir = szTemplate;
    const char* szPath = getenv("PATH");
    szSavedPath = szPath != nullptr ? szPath : "";
    // The stand-in tool comes first; the rest of PATH serves its script.
    setenv("PATH", ((dir / "bin").string() + ":" + szSavedPath).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", szSavedPath.c_str(), 1);
    fs::remove_all(dir);
  }

  void WriteTool(const std::string& szBody) { WriteScript(dir / "bin" / "ideviceinfo", szBody); }

  fs::path dir;
  std::string szSavedPath;
};

TEST(DeviceNameText, ArgumentsSplitOnSpacesWithoutEmptyOnes) {
  EXPECT_EQ(SplitToolArguments(kArguments),
            (std::vector<std::string>{"-u", "00008101-000A1B2C3D4E5F60", "-k", "DeviceName"}));
  EXPECT_EQ(SplitToolArguments("-u  -k DeviceName"),
            (std::vector<std::string>{"-u", "-k", "DeviceName"}));
  EXPECT_TRUE(SplitToolArguments("").empty());
}

TEST(DeviceNameText, OutputIsCappedAndEndsAtTheFirstZeroByte) {
  std::string szName;
  const std::string szChunk(6000, 'x');
  KeepToolOutput(szName, szChunk);
  KeepToolOutput(szName, szChunk);
  KeepToolOutput(szName, szChunk);
  EXPECT_EQ(szName.size(), kDeviceNameCapacity);

  std::string szZero("iPhone\0rest", 11);
  FinishDeviceName(szZero);
  EXPECT_EQ(szZero, "iPhone");
}

TEST_F(DeviceNameLookup, NameIsWhatTheToolPrintedOnBothStreams) {
  WriteTool("printf '%s|' \"$@\"\necho 'note' >&2\nprintf 'iPhone de Ana\\n'");
  std::string szName = "stale";
  EXPECT_TRUE(GetDeviceName(kArguments, szName));
  EXPECT_EQ(szName, "-u|00008101-000A1B2C3D4E5F60|-k|DeviceName|note\niPhone de Ana\n");
}

TEST_F(DeviceNameLookup, ToolInheritsNoOtherDescriptorAndReadsNothing) {
  const int nFd = open("/dev/null", O_RDONLY);  // deliberately without close-on-exec
  ASSERT_GE(nFd, 0);
  const int nHigh = fcntl(nFd, F_DUPFD, 57);
  ASSERT_GE(nHigh, 57);
  WriteTool("[ -e /proc/$$/fd/" + std::to_string(nHigh) +
            " ] && echo leaked\nread line && echo \"read:$line\"\necho done");
  std::string szName;
  EXPECT_TRUE(GetDeviceName(kArguments, szName));
  close(nHigh);
  close(nFd);
  EXPECT_EQ(szName, "done\n");
}

TEST_F(DeviceNameLookup, MissingToolGivesAnEmptyName) {
  setenv("PATH", (dir / "bin").c_str(), 1);
  std::string szName = "stale";
  EXPECT_FALSE(GetDeviceName(kArguments, szName));
  EXPECT_EQ(szName, "");
}

TEST_F(DeviceNameLookup, TalkativeToolRunsToItsEndAndTheNameIsCapped) {
  // More than any pipe holds: unless it is read while the tool runs, the tool
  // blocks and never gets to write its marker.
  WriteTool("head -c 70000 /dev/zero | tr '\\0' 'n'\ntouch '" + (dir / "finished").string() + "'");
  std::string szName;
  EXPECT_TRUE(GetDeviceName(kArguments, szName));
  EXPECT_EQ(szName, std::string(kDeviceNameCapacity, 'n'));
  EXPECT_TRUE(fs::exists(dir / "finished"));
}

TEST_F(DeviceNameLookup, HungToolIsGivenUpWithWhatItPrinted) {
  WriteTool("printf 'partial\\n'\nsleep 600 &\nwait");
  std::string szName;
  EXPECT_TRUE(GetDeviceName(kArguments, szName));
  EXPECT_EQ(szName, "partial\n");
}

TEST_F(DeviceNameLookup, ToolBesideTheProgramComesBeforeTheOneOnPath) {
  WriteTool("echo 'from path'");
  const fs::path programDir = dir / "program folder";
  fs::create_directories(programDir);
  fs::copy_file(VELTRONA_DEVICE_NAME_PROBE, programDir / "probe");
  WriteScript(programDir / "Frameworks" / "ideviceinfo", "echo \"beside $2\"");

  const std::string szCommand = "'" + (programDir / "probe").string() + "' '" + kArguments + "'";
  FILE* pPipe = popen(szCommand.c_str(), "r");
  ASSERT_NE(pPipe, nullptr);
  char szOut[256] = {};
  const size_t nRead = fread(szOut, 1, sizeof szOut - 1, pPipe);
  EXPECT_EQ(pclose(pPipe), 0);
  EXPECT_EQ(std::string(szOut, nRead), "beside 00008101-000A1B2C3D4E5F60\n");
}

}  // namespace
