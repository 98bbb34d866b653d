#include "app/text_fit.h"

#include <algorithm>

#include "app/app_texts.h"

TextSizes SizeWindowText(int32_t cw, int32_t ch, int32_t nDpi) {
  const auto scaled = [nDpi](int32_t nPx) {
    return static_cast<int32_t>(int64_t{nPx} * std::max(nDpi, 96) / 96);
  };
  TextSizes sizes;
  sizes.nStatusPx = std::clamp(std::min(ch / 30, cw / 24), scaled(12), scaled(28));
  sizes.nHintPx = std::max(scaled(11), sizes.nStatusPx * 4 / 5);
  sizes.nBandHeight = std::min(ch / 12, sizes.nStatusPx * 2);
  sizes.nBandPx = std::min(sizes.nStatusPx, sizes.nBandHeight * 3 / 5);
  sizes.nMargin = std::max(scaled(8), cw / 40);
  sizes.nSmallestPx = scaled(kSmallestTextPx);
  return sizes;
}

namespace {

// The start of the UTF-8 character before byte nEnd (above 0; continuation
// bytes are 10xxxxxx).
size_t PreviousCharacter(const std::string& szText, size_t nEnd) {
  size_t n = nEnd - 1;
  while (n > 0 && (static_cast<unsigned char>(szText[n]) & 0xC0) == 0x80) --n;
  return n;
}

}  // namespace

FittedLine FitTextLine(const std::string& szText, int32_t nMaxWidth, int32_t nPx, int32_t nMinPx,
                       MeasureTextFn pfnMeasure, void* pContext) {
  if (nMaxWidth <= 0 || nPx <= 0) return {};
  nMinPx = std::min(nMinPx, nPx);
  const int32_t nWidth = pfnMeasure(pContext, szText, nPx);
  if (nWidth <= nMaxWidth) return {szText, nPx};
  // Widths grow about in proportion to the size: start from the proportional
  // guess and step down from there.
  int32_t nTry = std::max(nMinPx, static_cast<int32_t>(int64_t{nPx} * nMaxWidth / nWidth));
  for (; nTry >= nMinPx; --nTry) {
    if (pfnMeasure(pContext, szText, nTry) <= nMaxWidth) return {szText, nTry};
  }
  for (size_t nEnd = PreviousCharacter(szText, szText.size()); nEnd > 0;
       nEnd = PreviousCharacter(szText, nEnd)) {
    std::string szCut = szText.substr(0, nEnd) + kTextEllipsis;
    if (pfnMeasure(pContext, szCut, nMinPx) <= nMaxWidth) return {std::move(szCut), nMinPx};
  }
  if (pfnMeasure(pContext, kTextEllipsis, nMinPx) <= nMaxWidth) return {kTextEllipsis, nMinPx};
  return {};
}
