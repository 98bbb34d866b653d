// What only Windows shows, under Wine: the name lookup with the stub tool started
// hidden from Frameworks\ beside this program (in a folder whose path holds
// spaces and letters outside the ANSI code page); libusb-win32's record layout.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/device_name.h"
#include "usb/usb_api.h"

// Byte-packed, pointers too: arrays step by these sizes.
static_assert(sizeof(usb_endpoint_descriptor) == 21 && sizeof(usb_interface_descriptor) == 29 &&
              sizeof(usb_interface) == 12 && sizeof(usb_config_descriptor) == 29 &&
              sizeof(usb_device_descriptor) == 18 && sizeof(struct usb_device) == 580 &&
              sizeof(usb_bus) == 548);
// 64-bit pointers and 512-byte names put the fields the program reads here.
static_assert(offsetof(usb_endpoint_descriptor, wMaxPacketSize) == 4 &&
              offsetof(usb_interface_descriptor, bInterfaceSubClass) == 6 &&
              offsetof(usb_interface_descriptor, endpoint) == 9 &&
              offsetof(usb_interface, num_altsetting) == 8 &&
              offsetof(usb_config_descriptor, bConfigurationValue) == 5 &&
              offsetof(usb_device_descriptor, iSerialNumber) == 16 &&
              offsetof(struct usb_device, descriptor) == 536 &&
              offsetof(struct usb_device, config) == 554 && offsetof(usb_bus, devices) == 528);
static_assert(kUsbTimeoutResult == -116 && kUsbNoTimeLimit == -1);

namespace {

TEST(DeviceNameTool, NameIsWhatTheHiddenToolWrote) {
  wchar_t szPath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, szPath, MAX_PATH);
  std::wstring szTool = szPath;
  szTool = szTool.substr(0, szTool.rfind(L'\\')) + L"\\Frameworks\\ideviceinfo.exe";
  ASSERT_NE(szTool.find(L' '), std::wstring::npos) << "the quoting would go untested";
  ASSERT_NE(szTool.find(L'\u0416'), std::wstring::npos) << "the UTF-16 paths would go untested";
  // A file the program opened inheritable, as the C runtime opens files: the
  // tool must not get it all the same.
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE hFile = CreateFileW((szTool + L".open").c_str(), GENERIC_WRITE, 0, &inheritable,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
  const std::pair<std::string, std::string> cases[] = {
      {"stdout", "Stub iPhone|-u|stdout|-k|DeviceName\n"},
      {"stdout a \"b\\", "Stub iPhone|-u|stdout a \"b\\|-k|DeviceName\n"},  // one argument
      {"handle " + std::to_string(reinterpret_cast<uintptr_t>(hFile)), "tried\n"},
      {"startup", "flags=257 show=0 console=0\n"},  // STARTF_USESHOWWINDOW|USESTDHANDLES, SW_HIDE
      {"stderr", "out\nerr\n"},
      {"zero", "abc"},
      {"flood", std::string(10240, 'x')},  // far more than the pipe holds, then a mark
      {"hang", "partial\n"},               // never ends: stopped after 5 s
  };
  for (const auto& [szUdid, szExpected] : cases) {
    std::string szName = "stale";
    EXPECT_TRUE(GetDeviceName(szUdid, szName));
    EXPECT_EQ(szName, szExpected) << szUdid;
  }
  LARGE_INTEGER size{};
  EXPECT_TRUE(GetFileSizeEx(hFile, &size) && size.QuadPart == 0) << "the tool wrote to our file";
  EXPECT_NE(GetFileAttributesW((szTool + L".flood").c_str()), INVALID_FILE_ATTRIBUTES)
      << "the flooding tool did not get to its end";
  EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "VeltronaHangingStub"), nullptr)
      << "the hanging tool is still running";

  ASSERT_TRUE(MoveFileW(szTool.c_str(), (szTool + L".away").c_str()));
  std::string szName = "stale";
  EXPECT_FALSE(GetDeviceName("00008101-000A1B2C3D4E5F60", szName));
  EXPECT_EQ(szName, "");
  MoveFileW((szTool + L".away").c_str(), szTool.c_str());
  CloseHandle(hFile);
  DeleteFileW((szTool + L".open").c_str());
}

}  // namespace
