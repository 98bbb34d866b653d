// The name lookup against the stub tool (stub_ideviceinfo.cpp), started from
// Frameworks\ beside this program. The run script places the program in a
// folder whose path holds spaces, and a second copy where no tool is.
#include "device/device_name.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::string Arguments(const std::string& szUdid) {
  return "-u " + szUdid + " -k DeviceName";
}

std::string ModulePath() {
  char szPath[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, szPath, MAX_PATH);
  return szPath;
}

TEST(DeviceNameTool, RunsTheToolBesideTheProgramAndKeepsItsLineBreak) {
  // Otherwise the quoting of the tool's path would go untested.
  ASSERT_NE(ModulePath().find(' '), std::string::npos) << ModulePath();
  std::string szName = "stale";
  EXPECT_TRUE(GetDeviceName(Arguments("00008101-000A1B2C3D4E5F60"), szName));
  EXPECT_EQ(szName, "Stub iPhone 00008101-000A1B2C3D4E5F60\n");
}

TEST(DeviceNameTool, StartsTheToolHiddenWithItsOutputInThePipe) {
  std::string szName;
  EXPECT_TRUE(GetDeviceName(Arguments("startup"), szName));
  // STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES, SW_HIDE, and no console.
  EXPECT_EQ(szName, "flags=257 show=0 console=0\n");
}

TEST(DeviceNameTool, StandardErrorBecomesPartOfTheName) {
  std::string szName;
  EXPECT_TRUE(GetDeviceName(Arguments("stderr"), szName));
  EXPECT_EQ(szName, "out\nerr\n");
}

TEST(DeviceNameTool, NameEndsAtTheFirstZeroByte) {
  std::string szName;
  EXPECT_TRUE(GetDeviceName(Arguments("zero"), szName));
  EXPECT_EQ(szName, "abc");
}

TEST(DeviceNameTool, OutputLargerThanThePipeIsCutWithoutBlockingTheTool) {
  const std::string szPath = ModulePath();
  const std::string szMark = szPath.substr(0, szPath.rfind('\\')) + "\\Frameworks\\flood.done";
  DeleteFileA(szMark.c_str());
  std::string szName;
  EXPECT_TRUE(GetDeviceName(Arguments("flood"), szName));
  // Sizes rather than the texts: a failure prints no 10 KiB of x.
  EXPECT_EQ(szName.size(), 10240u);
  EXPECT_EQ(szName.find_first_not_of('x'), std::string::npos);
  EXPECT_NE(GetFileAttributesA(szMark.c_str()), INVALID_FILE_ATTRIBUTES)
      << "the tool did not get to write all its output";
}

TEST(DeviceNameTool, ToolThatNeverEndsIsStoppedAndWhatItWroteKept) {
  std::string szName;
  EXPECT_TRUE(GetDeviceName(Arguments("hang"), szName));
  EXPECT_EQ(szName, "partial\n");
  // The stub's mutex goes away with its process.
  const HANDLE hMutex = OpenMutexA(SYNCHRONIZE, FALSE, "VeltronaHangingStub");
  EXPECT_EQ(hMutex, nullptr) << "the tool is still running";
  if (hMutex != nullptr) CloseHandle(hMutex);
}

TEST(DeviceNameNoTool, MissingToolGivesNoName) {
  std::string szName = "stale";
  EXPECT_FALSE(GetDeviceName(Arguments("00008101-000A1B2C3D4E5F60"), szName));
  EXPECT_EQ(szName, "");
}

}  // namespace
