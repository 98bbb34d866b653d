// How big the window's texts are and how a line is made to fit its width:
// sizes follow the window (readable at 900x650, not huge in full screen), and
// a line too wide is drawn smaller, down to a floor, then cut with an ellipsis.
#pragma once

#include <cstdint>
#include <string>

struct TextSizes {
  int32_t nStatusPx = 0;    // the status line in the middle (font height in pixels)
  int32_t nHintPx = 0;      // the hint line below it
  int32_t nBandHeight = 0;  // the band at the bottom: at most 1/12 of the height
  int32_t nBandPx = 0;
  int32_t nMargin = 0;      // kept free on the left and on the right
  int32_t nSmallestPx = 0;  // a line too wide is drawn no smaller than this
};

inline constexpr int32_t kSmallestTextPx = 9;

// For a client area of cw x ch (above 0) in physical pixels, on a screen of
// nDpi dots per inch: the limits (12 to 28 px, and the smaller floors) are
// for 96 and grow with it, so that text is as large to the eye at any scale.
TextSizes SizeWindowText(int32_t cw, int32_t ch, int32_t nDpi = 96);

// The width in pixels of a UTF-8 text drawn nPx high, as the platform's font
// renders it.
using MeasureTextFn = int32_t (*)(void* pContext, const std::string& szUtf8, int32_t nPx);

struct FittedLine {
  std::string szText;  // empty when not even the ellipsis fits
  int32_t nPx = 0;
};

// The size nPx if the line fits nMaxWidth there, else the largest size down
// to nMinPx at which it fits, else nMinPx with the line cut (between UTF-8
// characters) and "…" appended.
FittedLine FitTextLine(const std::string& szText, int32_t nMaxWidth, int32_t nPx, int32_t nMinPx,
                       MeasureTextFn pfnMeasure, void* pContext);
