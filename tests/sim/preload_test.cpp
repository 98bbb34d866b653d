// The preloadable library as the real program meets it: its own usb_busses
// variable, configured from the environment at first use.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "device/usb_api.h"

namespace {

template <typename T>
T Symbol(void* pLibrary, const char* pName) {
  void* pSymbol = dlsym(pLibrary, pName);
  EXPECT_NE(pSymbol, nullptr) << pName;
  return reinterpret_cast<T>(pSymbol);
}

TEST(SimPreload, ExportsTheBusListVariableAndReadsTheEnvironment) {
  const std::filesystem::path transcript =
      std::filesystem::temp_directory_path() / ("sim_preload_" + std::to_string(getpid()) + ".txt");
  setenv("VELTRONA_SIM_SERIAL", "abcdef0123456789abcdef0123456789abcdef01", 1);
  setenv("VELTRONA_SIM_SCENARIO", "capture+silent", 1);
  setenv("VELTRONA_SIM_TRANSCRIPT", transcript.c_str(), 1);
  unsetenv("VELTRONA_SIM_STREAM");

  void* pLibrary = dlopen(VSIM_PRELOAD_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(pLibrary, nullptr) << dlerror();
  auto ppBusses = Symbol<usb_bus**>(pLibrary, "usb_busses");
  auto pInit = Symbol<void (*)()>(pLibrary, "usb_init");
  auto pFindBusses = Symbol<int (*)()>(pLibrary, "usb_find_busses");
  auto pFindDevices = Symbol<int (*)()>(pLibrary, "usb_find_devices");
  auto pGetBusses = Symbol<usb_bus* (*)()>(pLibrary, "usb_get_busses");
  auto pOpen = Symbol<usb_dev_handle* (*)(struct usb_device*)>(pLibrary, "usb_open");
  auto pString =
      Symbol<int (*)(usb_dev_handle*, int, char*, size_t)>(pLibrary, "usb_get_string_simple");
  auto pControl = Symbol<int (*)(usb_dev_handle*, int, int, int, int, char*, int, int)>(
      pLibrary, "usb_control_msg");
  ASSERT_TRUE(ppBusses && pInit && pFindBusses && pFindDevices && pGetBusses && pOpen && pString &&
              pControl);

  EXPECT_EQ(*ppBusses, nullptr);
  pInit();
  pFindBusses();
  pFindDevices();
  ASSERT_NE(*ppBusses, nullptr);
  EXPECT_EQ(*ppBusses, pGetBusses());
  struct usb_device* pDev = (*ppBusses)->devices;
  ASSERT_NE(pDev, nullptr);
  EXPECT_EQ(pDev->descriptor.idVendor, 0x05AC);
  EXPECT_EQ(pDev->descriptor.bNumConfigurations, 2);  // started in capture mode

  usb_dev_handle* pHandle = pOpen(pDev);
  char szSerial[256] = {};
  EXPECT_EQ(pString(pHandle, pDev->descriptor.iSerialNumber, szSerial, sizeof szSerial), 40);
  EXPECT_STREQ(szSerial, "abcdef0123456789abcdef0123456789abcdef01");
  EXPECT_EQ(pControl(pHandle, 0x40, 0x52, 0, 0, nullptr, 0, 1000), 0);

  std::ifstream file(transcript);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), "control 0x40 0x52 0x0000 0x0000 0\n");
  std::filesystem::remove(transcript);
}

}  // namespace
