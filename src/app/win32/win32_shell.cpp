// The Win32 shell: window class, mirror window, its procedure, message loop and
// message boxes.
#include "app/win32/win32_shell.h"

#include <atomic>
#include <cstdint>

#include "app/app_texts.h"
#include "app/shell.h"
#include "app/startup.h"
#include "app/win32/paint_mirror.h"
#include "app/win32/wide_text.h"
#include "platform/clock.h"

namespace {

HINSTANCE g_hInstance = nullptr;
int g_nCmdShow = SW_SHOWDEFAULT;
// Written once on the main thread before the capture thread starts; read by it
// to request repaints.
std::atomic<HWND> g_hMirrorWindow{nullptr};

constexpr UINT_PTR kTextTimer = 1;

// Where the window was before full screen, to go back to.
struct WindowedPlacement {
  bool bFullscreen = false;
  LONG_PTR nStyle = 0;
  WINDOWPLACEMENT placement{};
};
WindowedPlacement g_Windowed;

// The texts change by themselves at qwAt (a notice ends, the hint appears):
// a timer repaints then.
void RepaintAt(HWND hWindow, uint64_t qwAt) {
  if (qwAt == 0) return;
  const uint64_t qwNow = ClockTicks();
  const uint64_t qwWait = qwAt > qwNow ? qwAt - qwNow : 1;
  SetTimer(hWindow, kTextTimer, static_cast<UINT>(qwWait < 60000 ? qwWait : 60000), nullptr);
}

void OnKey(WPARAM nKey) {
  if (nKey == 'M')
    OnMirrorMuteKey();
  else if (nKey == 'S')
    OnMirrorScreenshotKey();
  else if (nKey == 'R')
    OnMirrorRecordKey();
  else if (nKey == VK_F11)
    ShellSetFullscreen(!g_Windowed.bFullscreen);
  else if (nKey == VK_ESCAPE)
    ShellSetFullscreen(false);
}

LRESULT CALLBACK MirrorWindowProc(HWND hWindow, UINT nMessage, WPARAM wParam, LPARAM lParam) {
  switch (nMessage) {
    case WM_DESTROY:
      KillTimer(hWindow, kTextTimer);
      ReleasePaintSurfaces();
      OnMirrorWindowDestroyed();
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      InvalidateRect(hWindow, nullptr, FALSE);
      return 0;
    case WM_PAINT:
      RepaintAt(hWindow, PaintMirror(hWindow));
      return 0;
    case WM_TIMER:
      KillTimer(hWindow, kTextTimer);
      InvalidateRect(hWindow, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDBLCLK:
      ShellSetFullscreen(!g_Windowed.bFullscreen);
      return 0;
    case WM_CLOSE:
      DestroyWindow(hWindow);
      return 0;
    case WM_KEYDOWN:
      // Bit 30: the key was already down (auto-repeat).
      if ((lParam & (1 << 30)) == 0) OnKey(wParam);
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
  // Double-clicks toggle full screen.
  windowClass.style = CS_DBLCLKS;
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

void ShellWriteStandardError(const char* /*szUtf8Text*/) {
  // A GUI program has no standard error a user sees; the window says it.
}

void ShellSetFullscreen(bool bFullscreen) {
  const HWND hWindow = g_hMirrorWindow.load();
  if (hWindow == nullptr || bFullscreen == g_Windowed.bFullscreen) return;
  if (bFullscreen) {
    // Borderless over the whole monitor the window is on.
    g_Windowed.nStyle = GetWindowLongPtrW(hWindow, GWL_STYLE);
    g_Windowed.placement.length = sizeof(WINDOWPLACEMENT);
    GetWindowPlacement(hWindow, &g_Windowed.placement);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(hWindow, MONITOR_DEFAULTTONEAREST), &monitor);
    SetWindowLongPtrW(hWindow, GWL_STYLE,
                      (g_Windowed.nStyle & ~static_cast<LONG_PTR>(WS_OVERLAPPEDWINDOW)) | WS_POPUP);
    const RECT& area = monitor.rcMonitor;
    SetWindowPos(hWindow, HWND_TOP, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOOWNERZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  } else {
    SetWindowLongPtrW(hWindow, GWL_STYLE, g_Windowed.nStyle);
    SetWindowPlacement(hWindow, &g_Windowed.placement);
    SetWindowPos(hWindow, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
  }
  g_Windowed.bFullscreen = bFullscreen;
  InvalidateRect(hWindow, nullptr, FALSE);
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
