// The scale of the screen a window is on, as dots per inch (96 at 100 %).
// The program declares per-monitor DPI awareness: sizes in logical pixels
// are multiplied by this over 96, or Windows would stretch a blurred bitmap.
#pragma once

#include <windows.h>

// The window's monitor's DPI (GetDpiForWindow, Windows 10 1607 on), else the
// system's (GetDpiForSystem), else the screen's LOGPIXELSX on older Windows.
// hWindow may be null: the system's.
int WindowDpi(HWND hWindow);

// nLogical logical pixels at nDpi, in physical pixels.
int ScaleForDpi(int nLogical, int nDpi);

// A function of a system DLL that older Windows may lack; null then.
template <typename Fn>
Fn SystemFunction(const wchar_t* szDll, const char* szName) {
  const HMODULE hModule = GetModuleHandleW(szDll);
  if (hModule == nullptr) return nullptr;
  // Through the one function-pointer type that converts to any other without
  // a warning.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(hModule, szName)));
}
