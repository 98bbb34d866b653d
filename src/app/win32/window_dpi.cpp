#include "app/win32/window_dpi.h"

int WindowDpi(HWND hWindow) {
  using DpiForWindowFn = UINT(WINAPI*)(HWND);
  using DpiForSystemFn = UINT(WINAPI*)();
  static const auto pfnForWindow = SystemFunction<DpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
  static const auto pfnForSystem = SystemFunction<DpiForSystemFn>(L"user32.dll", "GetDpiForSystem");
  UINT nDpi = 0;
  if (hWindow != nullptr && pfnForWindow != nullptr) nDpi = pfnForWindow(hWindow);
  if (nDpi == 0 && pfnForSystem != nullptr) nDpi = pfnForSystem();
  if (nDpi == 0) {
    const HDC hScreen = GetDC(nullptr);
    nDpi = static_cast<UINT>(GetDeviceCaps(hScreen, LOGPIXELSX));
    ReleaseDC(nullptr, hScreen);
  }
  return nDpi > 0 ? static_cast<int>(nDpi) : 96;
}

int ScaleForDpi(int nLogical, int nDpi) {
  return MulDiv(nLogical, nDpi, 96);
}
