// The Win32 shell: window class, mirror window, its procedure, message loop and
// message boxes.
#include "app/win32/win32_shell.h"

#include <atomic>

#include "app/app_texts.h"
#include "app/shell.h"
#include "app/startup.h"
#include "app/win32/paint_mirror.h"
#include "app/win32/wide_text.h"

namespace {

HINSTANCE g_hInstance = nullptr;
int g_nCmdShow = SW_SHOWDEFAULT;
// Written once on the main thread before the capture thread starts; read by it
// to request repaints.
std::atomic<HWND> g_hMirrorWindow{nullptr};

LRESULT CALLBACK MirrorWindowProc(HWND hWindow, UINT nMessage, WPARAM wParam, LPARAM lParam) {
  switch (nMessage) {
    case WM_DESTROY:
      OnMirrorWindowDestroyed();
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      InvalidateRect(hWindow, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      PaintMirror(hWindow);
      return 0;
    case WM_CLOSE:
      DestroyWindow(hWindow);
      return 0;
    case WM_KEYDOWN:
      // Bit 30: the key was already down (auto-repeat).
      if ((lParam & (1 << 30)) != 0) return 0;
      if (wParam == 'M')
        OnMirrorMuteKey();
      else if (wParam == 'S')
        OnMirrorScreenshotKey();
      else if (wParam == 'R')
        OnMirrorRecordKey();
      return 0;
    case WM_ERASEBKGND:
      // Every paint covers the whole client area; an erase would only flash.
      return 1;
    default:
      return DefWindowProcW(hWindow, nMessage, wParam, lParam);
  }
}

}  // namespace

void SetShellStartupInfo(HINSTANCE hInstance, int nCmdShow) {
  g_hInstance = hInstance;
  g_nCmdShow = nCmdShow;
}

bool ShellCreateMirrorWindow() {
  const std::wstring szClassName = Utf8ToWide(kWindowClassName);
  const std::wstring szTitle = Utf8ToWide(kWindowTitle);

  WNDCLASSW windowClass{};
  windowClass.style = 0;
  windowClass.lpfnWndProc = MirrorWindowProc;
  windowClass.hInstance = g_hInstance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = szClassName.c_str();
  // A failed registration shows up as a failed creation below.
  RegisterClassW(&windowClass);

  constexpr DWORD nStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
  static_assert(nStyle == 0x16CF0000);
  const HWND hWindow =
      CreateWindowExW(0, szClassName.c_str(), szTitle.c_str(), nStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      kWindowWidth, kWindowHeight, nullptr, nullptr, g_hInstance, nullptr);
  g_hMirrorWindow.store(hWindow);
  if (hWindow == nullptr) return false;
  ShowWindow(hWindow, g_nCmdShow);
  UpdateWindow(hWindow);
  return true;
}

void ShellShowError(bool bOwnedByWindow, const char* szUtf8Text) {
  const std::wstring szText = Utf8ToWide(szUtf8Text);
  const std::wstring szCaption = Utf8ToWide(kMessageCaption);
  const HWND hOwner = bOwnedByWindow ? g_hMirrorWindow.load() : nullptr;
  static_assert((MB_OK | MB_ICONERROR) == 0x10);
  MessageBoxW(hOwner, szText.c_str(), szCaption.c_str(), MB_OK | MB_ICONERROR);
}

void ShellShowNotice(const char* szUtf8Text) {
  const std::wstring szText = Utf8ToWide(szUtf8Text);
  const std::wstring szCaption = Utf8ToWide(kMessageCaption);
  MessageBoxW(nullptr, szText.c_str(), szCaption.c_str(), MB_OK | MB_ICONWARNING);
}

void ShellShowUsage(const char* szUtf8Text) {
  const std::wstring szText = Utf8ToWide(szUtf8Text);
  const std::wstring szCaption = Utf8ToWide(kMessageCaption);
  MessageBoxW(nullptr, szText.c_str(), szCaption.c_str(), MB_OK | MB_ICONINFORMATION);
}

void ShellRunMessageLoop() {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void ShellRequestRepaint(void* /*pContext*/) {
  const HWND hWindow = g_hMirrorWindow.load();
  // Only marks the window: the main thread paints on its next WM_PAINT, and
  // requests that arrive before it coalesce into that one paint.
  if (hWindow != nullptr) InvalidateRect(hWindow, nullptr, FALSE);
}
