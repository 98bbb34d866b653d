#include "app/win32/win32_text.h"

#include <array>
#include <string>

#include "app/text_fit.h"
#include "platform/wide_text.h"

namespace {

constexpr BYTE kBandAlpha = 160;  // dark and half transparent

// Fonts by height: the three lines' sizes and those tried while fitting. The
// slot used longest ago is replaced.
struct FontSlot {
  int nPx = 0;
  HFONT hFont = nullptr;
  unsigned nUsed = 0;
};
std::array<FontSlot, 6> g_Fonts;
unsigned g_nFontClock = 0;

HFONT FontOfSize(int nPx) {
  ++g_nFontClock;
  FontSlot* pOldest = &g_Fonts[0];
  for (FontSlot& slot : g_Fonts) {
    if (slot.hFont != nullptr && slot.nPx == nPx) {
      slot.nUsed = g_nFontClock;
      return slot.hFont;
    }
    if (slot.nUsed < pOldest->nUsed) pOldest = &slot;
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW font = metrics.lfMessageFont;
  font.lfHeight = -nPx;  // negative: the character height, not the cell's
  font.lfWidth = 0;
  font.lfQuality = CLEARTYPE_QUALITY;
  if (pOldest->hFont != nullptr) DeleteObject(pOldest->hFont);
  pOldest->hFont = CreateFontIndirectW(&font);
  pOldest->nPx = nPx;
  pOldest->nUsed = g_nFontClock;
  return pOldest->hFont;
}

int32_t MeasureText(void* pDc, const std::string& szUtf8, int32_t nPx) {
  const HDC hDc = static_cast<HDC>(pDc);
  SelectObject(hDc, FontOfSize(nPx));
  const std::wstring szWide = Utf8ToWide(szUtf8.c_str());
  SIZE size{};
  if (!GetTextExtentPoint32W(hDc, szWide.c_str(), static_cast<int>(szWide.size()), &size))
    return INT32_MAX;
  return size.cx;
}

// A line as it was fitted for the last paint.
struct FittedSlot {
  std::string szText;
  int nMaxWidth = 0;
  int nPx = 0;
  std::wstring szWide;
  int nFittedPx = 0;
};
std::array<FittedSlot, 3> g_Lines;  // status, hint, band

void DrawLine(HDC hDc, FittedSlot& slot, const std::string& szText, int nMaxWidth, int nPx,
              int nMinPx, RECT box, COLORREF color) {
  if (slot.szText != szText || slot.nMaxWidth != nMaxWidth || slot.nPx != nPx) {
    const FittedLine fitted = FitTextLine(szText, nMaxWidth, nPx, nMinPx, MeasureText, hDc);
    slot.szText = szText;
    slot.nMaxWidth = nMaxWidth;
    slot.nPx = nPx;
    slot.szWide = Utf8ToWide(fitted.szText.c_str());
    slot.nFittedPx = fitted.nPx;
  }
  if (slot.szWide.empty()) return;
  SelectObject(hDc, FontOfSize(slot.nFittedPx));
  SetTextColor(hDc, color);
  DrawTextW(hDc, slot.szWide.c_str(), static_cast<int>(slot.szWide.size()), &box,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
}

}  // namespace

void DrawWindowText(HDC hDc, HDC hShadeDc, int cw, int ch, int nDpi, const WindowText& text) {
  const TextSizes sizes = SizeWindowText(cw, ch, nDpi);
  const int nMinPx = sizes.nSmallestPx;
  const int nMaxWidth = cw - 2 * sizes.nMargin;
  const HGDIOBJ hKeptFont = GetCurrentObject(hDc, OBJ_FONT);
  SetBkMode(hDc, TRANSPARENT);
  if (!text.szStatus.empty()) {
    const RECT box{0, ch / 2 - sizes.nStatusPx * 2, cw, ch / 2};
    DrawLine(hDc, g_Lines[0], text.szStatus, nMaxWidth, sizes.nStatusPx, nMinPx, box,
             RGB(220, 220, 220));
  }
  if (!text.szHint.empty()) {
    const RECT box{0, ch / 2, cw, ch / 2 + sizes.nHintPx * 2};
    DrawLine(hDc, g_Lines[1], text.szHint, nMaxWidth, sizes.nHintPx, nMinPx, box,
             RGB(170, 170, 170));
  }
  if (!text.szBand.empty() && sizes.nBandPx >= nMinPx) {
    const RECT box{0, ch - sizes.nBandHeight, cw, ch};
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, kBandAlpha, 0};
    AlphaBlend(hDc, 0, box.top, cw, sizes.nBandHeight, hShadeDc, 0, 0, 1, 1, blend);
    DrawLine(hDc, g_Lines[2], text.szBand, nMaxWidth, sizes.nBandPx, nMinPx, box,
             RGB(255, 255, 255));
  }
  SelectObject(hDc, hKeptFont);
}

void ReleaseWindowTextFonts() {
  for (FontSlot& slot : g_Fonts) {
    if (slot.hFont != nullptr) DeleteObject(slot.hFont);
    slot = FontSlot{};
  }
}
