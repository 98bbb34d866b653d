// The Windows entry point: reads the command line itself (wWinMain's narrow
// view of it is not used) and hands the first argument (the UDID, or --any,
// --help / -h, --list, --version) and the options after it to start-up as UTF-8.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/list_devices.h"
#include "app/startup.h"
#include "app/version_text.h"
#include "app/win32/usb_library.h"
#include "app/win32/win32_shell.h"
#include "platform/wide_text.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, PWSTR /*pCmdLine*/,
                    int nCmdShow) {
  SetShellStartupInfo(hInstance, nCmdShow);

  int nArgs = 0;
  LPWSTR* pArgv = CommandLineToArgvW(GetCommandLineW(), &nArgs);
  if (pArgv == nullptr || nArgs < 2) {
    if (pArgv != nullptr) LocalFree(pArgv);
    return RunMirror(nullptr);
  }
  std::string szUtf8Udid;
  std::vector<std::string> options;
  {
    const std::wstring szWideUdid = pArgv[1];
    for (int i = 2; i < nArgs; ++i) options.push_back(WideToUtf8(pArgv[i]));
    LocalFree(pArgv);
    szUtf8Udid = WideToUtf8(szWideUdid);
  }
  if (IsHelpArgument(szUtf8Udid)) return ShowUsage();
  if (IsVersionArgument(szUtf8Udid)) return ShowVersion({});
  if (const int nUsbCode = CheckUsbLibrary(); nUsbCode != 0) return nUsbCode;
  if (IsListArgument(szUtf8Udid)) return ShowDeviceList();
  return RunMirror(&szUtf8Udid, ReadMirrorOptions(options));
}
