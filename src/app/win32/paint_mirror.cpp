#include "app/win32/paint_mirror.h"

#include <cstdint>
#include <vector>

#include "app/fit_geometry.h"
#include "app/win32/win32_text.h"
#include "app/win32/window_dpi.h"
#include "app/window_status.h"
#include "platform/clock.h"
#include "video/frame_store.h"
#include "video/picture_conversion.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace {

// What one paint needs, kept for the next: the picture converted to the
// letter-boxed size (the DIB's bits) and the memory bitmap, made anew only
// when a size changes.
struct PaintSurfaces {
  PictureScaler scaler;
  HDC hMemoryDc = nullptr;
  HBITMAP hBitmap = nullptr;
  HGDIOBJ hKeptBitmap = nullptr;
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  HDC hShadeDc = nullptr;  // one black pixel, stretched over the band
  HBITMAP hShadeBitmap = nullptr;
  HGDIOBJ hKeptShade = nullptr;
};
PaintSurfaces g_Surfaces;

// The converted picture goes to SetDIBitsToDevice as a top-down 32-bit BI_RGB
// bitmap: libswscale's BGRA rows, A ignored; nWidth covers a whole row with
// its spare room, of which only the picture is copied.
BITMAPINFOHEADER TopDownHeader(int32_t nWidth, int32_t nHeight) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = nWidth;
  header.biHeight = -nHeight;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  return header;
}

void ReleaseMemoryBitmap(PaintSurfaces& s) {
  if (s.hMemoryDc == nullptr) return;
  SelectObject(s.hMemoryDc, s.hKeptBitmap);
  DeleteObject(s.hBitmap);
  DeleteDC(s.hMemoryDc);
  s.hMemoryDc = nullptr;
  s.hBitmap = nullptr;
  s.nWidth = s.nHeight = 0;
}

bool EnsureSurfaces(PaintSurfaces& s, HDC hWindowDc, int32_t cw, int32_t ch) {
  if (s.hShadeDc == nullptr) {
    s.hShadeDc = CreateCompatibleDC(hWindowDc);
    s.hShadeBitmap = CreateCompatibleBitmap(hWindowDc, 1, 1);
    s.hKeptShade = SelectObject(s.hShadeDc, s.hShadeBitmap);
    SetPixel(s.hShadeDc, 0, 0, RGB(0, 0, 0));
  }
  if (s.hMemoryDc != nullptr && s.nWidth == cw && s.nHeight == ch) return true;
  ReleaseMemoryBitmap(s);
  s.hMemoryDc = CreateCompatibleDC(hWindowDc);
  s.hBitmap = CreateCompatibleBitmap(hWindowDc, cw, ch);
  if (s.hMemoryDc == nullptr || s.hBitmap == nullptr) {
    if (s.hBitmap != nullptr) DeleteObject(s.hBitmap);
    if (s.hMemoryDc != nullptr) DeleteDC(s.hMemoryDc);
    s.hMemoryDc = nullptr;
    s.hBitmap = nullptr;
    return false;
  }
  s.hKeptBitmap = SelectObject(s.hMemoryDc, s.hBitmap);
  s.nWidth = cw;
  s.nHeight = ch;
  return true;
}

}  // namespace

uint64_t PaintMirror(HWND hWindow) {
  PAINTSTRUCT paint{};
  const HDC hWindowDc = BeginPaint(hWindow, &paint);
  RECT client{};
  GetClientRect(hWindow, &client);
  const int32_t cw = client.right - client.left;
  const int32_t ch = client.bottom - client.top;
  PaintSurfaces& s = g_Surfaces;
  if (cw <= 0 || ch <= 0 || !EnsureSurfaces(s, hWindowDc, cw, ch)) {
    EndPaint(hWindow, &paint);
    return 0;
  }
  FillRect(s.hMemoryDc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

  // The painter converts a reference of its own to the shared picture, with
  // no lock held, straight to the size it is shown at: GDI copies it unscaled.
  AVFrame* pFrame = RefLatestFrame(g_FrameStore);
  const bool bHasPicture = pFrame != nullptr;
  if (bHasPicture) {
    const FitRect fit = FitPicture(cw, ch, pFrame->width, pFrame->height);
    if (fit.dw > 0 && fit.dh > 0 && ConvertPictureToSize(s.scaler, pFrame, fit.dw, fit.dh)) {
      BITMAPINFOHEADER header = TopDownHeader(s.scaler.nOutStride / 4, fit.dh);
      SetDIBitsToDevice(s.hMemoryDc, fit.x, fit.y, fit.dw, fit.dh, 0, 0, 0, fit.dh,
                        s.scaler.vecOut.data(), reinterpret_cast<BITMAPINFO*>(&header),
                        DIB_RGB_COLORS);
    }
    av_frame_free(&pFrame);
  }
  const WindowText text = CurrentWindowText(bHasPicture, ClockTicks());
  DrawWindowText(s.hMemoryDc, s.hShadeDc, cw, ch, WindowDpi(hWindow), text);

  BitBlt(hWindowDc, 0, 0, cw, ch, s.hMemoryDc, 0, 0, SRCCOPY);
  EndPaint(hWindow, &paint);
  return text.qwNextChange;
}

void ReleasePaintSurfaces() {
  PaintSurfaces& s = g_Surfaces;
  ReleaseMemoryBitmap(s);
  if (s.hShadeDc != nullptr) {
    SelectObject(s.hShadeDc, s.hKeptShade);
    DeleteObject(s.hShadeBitmap);
    DeleteDC(s.hShadeDc);
  }
  ReleasePictureScaler(s.scaler);
  s = PaintSurfaces{};
  ReleaseWindowTextFonts();
}
