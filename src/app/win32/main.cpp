// The Windows entry point: reads the command line itself (wWinMain's narrow
// view of it is not used) and hands the first argument to start-up as UTF-8.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <string>

#include "app/startup.h"
#include "app/win32/wide_text.h"
#include "app/win32/win32_shell.h"

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
  {
    const std::wstring szWideUdid = pArgv[1];
    LocalFree(pArgv);
    szUtf8Udid = WideToUtf8(szWideUdid);
  }
  return RunMirror(&szUtf8Udid);
}
