#include "app/win32/paint_mirror.h"

#include <cstdint>
#include <vector>

#include "app/fit_geometry.h"
#include "video/frame_store.h"

namespace {

// The frame goes to StretchDIBits as a top-down 32-bit BI_RGB bitmap: the
// store's BGRA rows, A ignored.
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

}  // namespace

void PaintMirror(HWND hWindow) {
  PAINTSTRUCT paint{};
  const HDC hWindowDc = BeginPaint(hWindow, &paint);
  RECT client{};
  GetClientRect(hWindow, &client);
  const int32_t cw = client.right - client.left;
  const int32_t ch = client.bottom - client.top;
  if (cw <= 0 || ch <= 0) {
    EndPaint(hWindow, &paint);
    return;
  }

  const HDC hMemoryDc = CreateCompatibleDC(hWindowDc);
  const HBITMAP hBitmap = CreateCompatibleBitmap(hWindowDc, cw, ch);
  const HGDIOBJ hKeptBitmap = SelectObject(hMemoryDc, hBitmap);
  FillRect(hMemoryDc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

  // The lock is held only for the copy; all drawing happens after it.
  std::vector<uint8_t> vecFrame;
  int32_t w = 0;
  int32_t h = 0;
  CopyLatestFrame(g_FrameStore, vecFrame, w, h);
  if (!vecFrame.empty()) {
    const FitRect fit = FitPicture(cw, ch, w, h);
    BITMAPINFOHEADER header = TopDownHeader(w, h);
    SetStretchBltMode(hMemoryDc, HALFTONE);
    // HALFTONE needs the brush origin set again after the mode changes.
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
