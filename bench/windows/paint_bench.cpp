// One WM_PAINT's cost, before and after the painter kept its buffers: the
// painter as it was (a fresh copy of the picture, memory context and bitmap
// each paint) against the program's painter, on a 1170x2532 picture in a
// 900x650 window. Under Wine the figures mean something only relative to
// each other. Prints CPU time (the thread's user and kernel time) and wall
// time per paint, and the ratio; and the kept painter with a fresh copy of the
// picture added, which tells the copy buffer's share from the bitmap's.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/fit_geometry.h"
#include "app/shell.h"
#include "app/win32/paint_mirror.h"
#include "video/frame_store.h"

// The one piece of the shell the painter's texts reach: nothing publishes here.
void ShellRequestRepaint(void*) {}

namespace {

constexpr int kPictureWidth = 1170;
constexpr int kPictureHeight = 2532;
constexpr int kPaintsPerRound = 60;
constexpr int kRounds = 6;

enum class Painter { Before, After, AfterWithFreshCopy };
Painter g_Painter = Painter::After;

// The painter before this change, kept here as the baseline.
void PaintAllocating(HWND hWindow) {
  PAINTSTRUCT paint{};
  const HDC hWindowDc = BeginPaint(hWindow, &paint);
  RECT client{};
  GetClientRect(hWindow, &client);
  const int32_t cw = client.right - client.left;
  const int32_t ch = client.bottom - client.top;
  const HDC hMemoryDc = CreateCompatibleDC(hWindowDc);
  const HBITMAP hBitmap = CreateCompatibleBitmap(hWindowDc, cw, ch);
  const HGDIOBJ hKeptBitmap = SelectObject(hMemoryDc, hBitmap);
  FillRect(hMemoryDc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  std::vector<uint8_t> vecFrame;
  int32_t w = 0;
  int32_t h = 0;
  CopyLatestFrame(g_FrameStore, vecFrame, w, h);
  if (!vecFrame.empty()) {
    const FitRect fit = FitPicture(cw, ch, w, h);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = -h;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    SetStretchBltMode(hMemoryDc, HALFTONE);
    SetBrushOrgEx(hMemoryDc, 0, 0, nullptr);
    StretchDIBits(hMemoryDc, fit.x, fit.y, fit.dw, fit.dh, 0, 0, w, h, vecFrame.data(),
                  reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, SRCCOPY);
  }
  BitBlt(hWindowDc, 0, 0, cw, ch, hMemoryDc, 0, 0, SRCCOPY);
  SelectObject(hMemoryDc, hKeptBitmap);
  DeleteObject(hBitmap);
  DeleteDC(hMemoryDc);
  EndPaint(hWindow, &paint);
}

LRESULT CALLBACK BenchWindowProc(HWND hWindow, UINT nMessage, WPARAM wParam, LPARAM lParam) {
  if (nMessage == WM_PAINT) {
    if (g_Painter == Painter::Before) {
      PaintAllocating(hWindow);
    } else {
      if (g_Painter == Painter::AfterWithFreshCopy) {
        // The allocation and copy alone, to tell their share from the bitmap's.
        std::vector<uint8_t> vecFresh;
        int32_t w = 0;
        int32_t h = 0;
        CopyLatestFrame(g_FrameStore, vecFresh, w, h);
      }
      PaintMirror(hWindow);
    }
    return 0;
  }
  if (nMessage == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hWindow, nMessage, wParam, lParam);
}

uint64_t ThreadCpu100ns() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto Ticks = [](FILETIME t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return Ticks(kernel) + Ticks(user);
}

struct Totals {
  uint64_t qwCpu = 0;
  double dWallSeconds = 0;
};

void PaintRound(HWND hWindow, Painter painter, Totals& totals) {
  g_Painter = painter;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  const uint64_t qwCpuStart = ThreadCpu100ns();
  QueryPerformanceCounter(&start);
  for (int i = 0; i < kPaintsPerRound; ++i)
    RedrawWindow(hWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  QueryPerformanceCounter(&end);
  totals.qwCpu += ThreadCpu100ns() - qwCpuStart;
  totals.dWallSeconds += static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

}  // namespace

int main() {
  // A picture with some detail for the halftone stretch to work on.
  std::vector<uint8_t> vecPicture(size_t{4} * kPictureWidth * kPictureHeight);
  for (size_t i = 0; i < vecPicture.size(); ++i) vecPicture[i] = static_cast<uint8_t>(i * 7 / 5);
  PublishFrame(g_FrameStore, vecPicture, kPictureWidth, kPictureHeight);

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = BenchWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"VeltronaPaintBench";
  RegisterClassW(&windowClass);
  const HWND hWindow = CreateWindowExW(0, windowClass.lpszClassName, L"paint bench",
                                       WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 650, nullptr,
                                       nullptr, windowClass.hInstance, nullptr);
  if (hWindow == nullptr) return 1;
  // Rounds alternate, so that whatever else the machine does falls on both.
  Totals before, after, fresh;
  PaintRound(hWindow, Painter::After, after);  // warm-up: the kept surfaces are made here
  after = Totals{};
  for (int i = 0; i < kRounds; ++i) {
    PaintRound(hWindow, Painter::Before, before);
    PaintRound(hWindow, Painter::After, after);
    PaintRound(hWindow, Painter::AfterWithFreshCopy, fresh);
  }
  const double nPaints = kPaintsPerRound * kRounds;
  const double dBeforeCpu = before.qwCpu / 1e4 / nPaints;
  const double dAfterCpu = after.qwCpu / 1e4 / nPaints;
  std::printf("picture %dx%d, client 900x650, %d paints each, alternating rounds of %d\n",
              kPictureWidth, kPictureHeight, static_cast<int>(nPaints), kPaintsPerRound);
  std::printf("before (allocating): CPU %.3f ms/paint, wall %.3f ms/paint\n", dBeforeCpu,
              before.dWallSeconds * 1e3 / nPaints);
  std::printf("after (kept buffers): CPU %.3f ms/paint, wall %.3f ms/paint\n", dAfterCpu,
              after.dWallSeconds * 1e3 / nPaints);
  std::printf("after, plus a fresh copy each paint: CPU %.3f ms/paint, wall %.3f ms/paint\n",
              fresh.qwCpu / 1e4 / nPaints, fresh.dWallSeconds * 1e3 / nPaints);
  std::printf("after/before CPU: %.2f\n", dBeforeCpu > 0 ? dAfterCpu / dBeforeCpu : 0.0);
  DestroyWindow(hWindow);
  return 0;
}
