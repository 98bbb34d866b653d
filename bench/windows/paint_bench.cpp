// One WM_PAINT's cost, the painter that stretched a full-size BGRA copy of
// the picture (HALFTONE) against the program's painter, which converts the
// shared YUV picture straight to the letter-boxed size and copies it
// unscaled: a 1170x2532 picture in a 900x650 window. Under Wine the figures
// mean something only relative to each other. Prints CPU time (the thread's
// user and kernel time) and wall time per paint, and the ratio.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/fit_geometry.h"
#include "app/shell.h"
#include "app/win32/paint_mirror.h"
#include "video/frame_store.h"
#include "video/picture_conversion.h"

extern "C" {
#include <libavutil/frame.h>
}

// The one piece of the shell the painter's texts reach: nothing publishes here.
void ShellRequestRepaint(void*) {}

namespace {

constexpr int kPictureWidth = 1170;
constexpr int kPictureHeight = 2532;
constexpr int kPaintsPerRound = 60;
constexpr int kRounds = 6;

enum class Painter { Before, After };
Painter g_Painter = Painter::After;

// The full-size BGRA picture the earlier store held, and the painter's own
// copy of it, as that painter kept them.
std::vector<uint8_t> g_vecStoreBgra;
std::vector<uint8_t> g_vecPainterCopy;

// The earlier painter, kept here as the baseline: a copy of the full-size
// BGRA picture out of the store, stretched by GDI.
void PaintStretching(HWND hWindow) {
  PAINTSTRUCT paint{};
  const HDC hWindowDc = BeginPaint(hWindow, &paint);
  RECT client{};
  GetClientRect(hWindow, &client);
  const int32_t cw = client.right - client.left;
  const int32_t ch = client.bottom - client.top;
  // Its memory bitmap was kept between paints too (the window's size stays).
  static const HDC hMemoryDc = CreateCompatibleDC(hWindowDc);
  static const HGDIOBJ hKeptBitmap =
      SelectObject(hMemoryDc, CreateCompatibleBitmap(hWindowDc, cw, ch));
  (void)hKeptBitmap;
  FillRect(hMemoryDc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  std::vector<uint8_t>& vecFrame = g_vecPainterCopy;
  vecFrame.assign(g_vecStoreBgra.begin(), g_vecStoreBgra.end());
  const int32_t w = kPictureWidth;
  const int32_t h = kPictureHeight;
  {
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
  EndPaint(hWindow, &paint);
}

LRESULT CALLBACK BenchWindowProc(HWND hWindow, UINT nMessage, WPARAM wParam, LPARAM lParam) {
  if (nMessage == WM_PAINT) {
    if (g_Painter == Painter::Before) {
      PaintStretching(hWindow);
    } else {
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
  // A decoder-like picture with some detail for the scalers to work on.
  AVFrame* pFrame = av_frame_alloc();
  pFrame->width = kPictureWidth;
  pFrame->height = kPictureHeight;
  pFrame->format = AV_PIX_FMT_YUV420P;
  if (av_frame_get_buffer(pFrame, 0) != 0) return 1;
  for (int p = 0; p < 3; ++p) {
    const int nBytes = pFrame->linesize[p] * (p == 0 ? kPictureHeight : kPictureHeight / 2);
    for (int i = 0; i < nBytes; ++i) pFrame->data[p][i] = static_cast<uint8_t>(i * 7 / 5);
  }
  PublishFrame(g_FrameStore, pFrame);
  PictureScaler scaler;
  ConvertFrameToBgra(scaler, pFrame, g_vecStoreBgra);
  ReleasePictureScaler(scaler);
  av_frame_free(&pFrame);

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
  Totals before, after;
  PaintRound(hWindow, Painter::After, after);  // warm-up: the kept surfaces are made here
  after = Totals{};
  for (int i = 0; i < kRounds; ++i) {
    PaintRound(hWindow, Painter::Before, before);
    PaintRound(hWindow, Painter::After, after);
  }
  const double nPaints = kPaintsPerRound * kRounds;
  const double dBeforeCpu = before.qwCpu / 1e4 / nPaints;
  const double dAfterCpu = after.qwCpu / 1e4 / nPaints;
  std::printf("picture %dx%d, client 900x650, %d paints each, alternating rounds of %d\n",
              kPictureWidth, kPictureHeight, static_cast<int>(nPaints), kPaintsPerRound);
  std::printf("before (full-size BGRA copy, stretched): CPU %.3f ms/paint, wall %.3f ms/paint\n",
              dBeforeCpu, before.dWallSeconds * 1e3 / nPaints);
  std::printf("after (YUV converted to the shown size): CPU %.3f ms/paint, wall %.3f ms/paint\n",
              dAfterCpu, after.dWallSeconds * 1e3 / nPaints);
  std::printf("after/before CPU: %.2f\n", dBeforeCpu > 0 ? dAfterCpu / dBeforeCpu : 0.0);
  DestroyWindow(hWindow);
  return 0;
}
