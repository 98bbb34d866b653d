// The Win32 shell: window class, mirror window, its procedure, message loop and
// message boxes.
#include "app/win32/win32_shell.h"

// After windows.h, which the shell's header brings.
#include <imm.h>

#include <atomic>
#include <cstdint>

#include "app/app_texts.h"
#include "app/shell.h"
#include "app/startup.h"
#include "app/win32/paint_mirror.h"
#include "app/win32/resource_ids.h"
#include "app/win32/window_dpi.h"
#include "log/log_file.h"
#include "platform/clock.h"
#include "platform/wide_text.h"

namespace {

HINSTANCE g_hInstance = nullptr;
int g_nCmdShow = SW_SHOWDEFAULT;
// Written once on the main thread before the capture thread starts; read by it
// to request repaints.
std::atomic<HWND> g_hMirrorWindow{nullptr};

constexpr UINT_PTR kTextTimer = 1;
// Looks once a second whether the machine is to stay awake: the capture
// thread never waits for the window, so the window's thread asks.
constexpr UINT_PTR kAwakeTimer = 2;
constexpr UINT kAwakePollMs = 1000;

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

// The request belongs to the thread that made it: always this one.
bool g_bAwakeHeld = false;

void HoldAwake(bool bWanted) {
  if (bWanted == g_bAwakeHeld) return;
  g_bAwakeHeld = bWanted;
  if (bWanted) {
    SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED);
    WriteLogLine(nullptr, "power: keeping the display on and the system awake");
  } else {
    SetThreadExecutionState(ES_CONTINUOUS);
    WriteLogLine(nullptr, "power: display and sleep left to the system again");
  }
}

// Borderless over the whole monitor the window is on.
void CoverMonitor(HWND hWindow) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(hWindow, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& area = monitor.rcMonitor;
  SetWindowPos(hWindow, HWND_TOP, area.left, area.top, area.right - area.left,
               area.bottom - area.top, SWP_NOOWNERZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

// Moved to a monitor of another scale, or the scale changed: in a window the
// rectangle Windows suggests keeps its size to the eye; in full screen the
// window keeps covering its monitor.
void OnDpiChanged(HWND hWindow, const RECT& suggested) {
  if (g_Windowed.bFullscreen) {
    CoverMonitor(hWindow);
  } else {
    SetWindowPos(hWindow, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(hWindow, nullptr, FALSE);
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
      KillTimer(hWindow, kAwakeTimer);
      HoldAwake(false);
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
      if (wParam == kAwakeTimer) {
        HoldAwake(MirrorWantsAwake());
        return 0;
      }
      KillTimer(hWindow, kTextTimer);
      InvalidateRect(hWindow, nullptr, FALSE);
      return 0;
    case WM_DPICHANGED:
      if (lParam != 0) OnDpiChanged(hWindow, *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_QUERYENDSESSION:
      // Nothing to veto: the recording is finished when the end is certain.
      return TRUE;
    case WM_ENDSESSION:
      // The process may be ended as soon as this returns: the whole stop
      // (recording closed, phone switched back) happens here.
      if (wParam != FALSE) {
        KillTimer(hWindow, kAwakeTimer);
        HoldAwake(false);  // while the log is still open to say so
        OnMirrorSessionEnding();
        // Should the process live on, the window closes after this returns:
        // destroying it here would only keep the system waiting.
        PostMessageW(hWindow, WM_CLOSE, 0, 0);
      }
      return 0;
    case WM_LBUTTONDBLCLK:
      ShellSetFullscreen(!g_Windowed.bFullscreen);
      return 0;
    case WM_CLOSE:
      DestroyWindow(hWindow);
      return 0;
    case WM_KEYDOWN:
      // Bit 30: the key was already down (auto-repeat). An input method that
      // still holds the key (the window has no context, but one may be
      // attached from outside) gives VK_PROCESSKEY: the real key is asked for.
      if ((lParam & (1 << 30)) == 0)
        OnKey(wParam == VK_PROCESSKEY ? ImmGetVirtualKey(hWindow) : wParam);
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
  // Null (the default icon) when the resource is not there.
  windowClass.hIcon = LoadIconW(g_hInstance, MAKEINTRESOURCEW(IDI_VELTRONA));
  windowClass.lpszClassName = szClassName.c_str();
  // A failed registration shows up as a failed creation below.
  RegisterClassW(&windowClass);

  constexpr DWORD nStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
  static_assert(nStyle == 0x16CF0000);
  // 900x650 logical pixels: at the system's scale first, then at that of the
  // monitor the window opened on.
  const int nSystemDpi = WindowDpi(nullptr);
  const HWND hWindow =
      CreateWindowExW(0, szClassName.c_str(), szTitle.c_str(), nStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      ScaleForDpi(kWindowWidth, nSystemDpi), ScaleForDpi(kWindowHeight, nSystemDpi),
                      nullptr, nullptr, g_hInstance, nullptr);
  g_hMirrorWindow.store(hWindow);
  if (hWindow == nullptr) return false;
  if (const int nDpi = WindowDpi(hWindow); nDpi != nSystemDpi)
    SetWindowPos(hWindow, nullptr, 0, 0, ScaleForDpi(kWindowWidth, nDpi),
                 ScaleForDpi(kWindowHeight, nDpi), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // With a Chinese, Japanese or Korean input method on, keys would go to it
  // and reach the window as VK_PROCESSKEY: the window takes no text, so it
  // takes no input context either.
  ImmAssociateContextEx(hWindow, nullptr, 0);
  SetTimer(hWindow, kAwakeTimer, kAwakePollMs, nullptr);
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
    g_Windowed.nStyle = GetWindowLongPtrW(hWindow, GWL_STYLE);
    g_Windowed.placement.length = sizeof(WINDOWPLACEMENT);
    GetWindowPlacement(hWindow, &g_Windowed.placement);
    SetWindowLongPtrW(hWindow, GWL_STYLE,
                      (g_Windowed.nStyle & ~static_cast<LONG_PTR>(WS_OVERLAPPEDWINDOW)) | WS_POPUP);
    CoverMonitor(hWindow);
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
