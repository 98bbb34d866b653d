#include "app/sdl/sdl_text.h"

#include <SDL_ttf.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/text_fit.h"

namespace {

// fonts-dejavu-core puts it here on Debian and its derivatives.
constexpr const char* kFontPaths[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",
};
constexpr int kOpenPx = 20;
constexpr Uint8 kBandAlpha = 160;  // dark and half transparent

TTF_Font* g_pFont = nullptr;
int g_nFontPx = 0;

// A rendered line is kept while it is drawn unchanged: a band over a live
// picture is not rasterised again at every picture.
struct RenderedLine {
  std::string szText;
  int nPx = 0;
  SDL_Texture* pTexture = nullptr;
  int w = 0;
  int h = 0;
};
std::array<RenderedLine, 3> g_Lines;  // status, hint, band

void UseSize(int nPx) {
  if (nPx != g_nFontPx && TTF_SetFontSize(g_pFont, nPx) == 0) g_nFontPx = nPx;
}

int32_t MeasureText(void*, const std::string& szUtf8, int32_t nPx) {
  UseSize(nPx);
  int w = 0;
  int h = 0;
  if (TTF_SizeUTF8(g_pFont, szUtf8.c_str(), &w, &h) != 0) return INT32_MAX;
  return w;
}

void ForgetLine(RenderedLine& line) {
  if (line.pTexture != nullptr) SDL_DestroyTexture(line.pTexture);
  line = RenderedLine{};
}

const RenderedLine& Render(SDL_Renderer* pRenderer, RenderedLine& line, const FittedLine& fitted,
                           SDL_Color color) {
  // Each line keeps its colour: the text and the size say whether it changed.
  if (line.pTexture != nullptr && line.szText == fitted.szText && line.nPx == fitted.nPx)
    return line;
  ForgetLine(line);
  UseSize(fitted.nPx);
  SDL_Surface* pSurface = TTF_RenderUTF8_Blended(g_pFont, fitted.szText.c_str(), color);
  if (pSurface == nullptr) return line;
  line.pTexture = SDL_CreateTextureFromSurface(pRenderer, pSurface);
  line.w = pSurface->w;
  line.h = pSurface->h;
  SDL_FreeSurface(pSurface);
  line.szText = fitted.szText;
  line.nPx = fitted.nPx;
  return line;
}

// Centred on x, its top at y.
void DrawLine(SDL_Renderer* pRenderer, RenderedLine& line, const std::string& szText, int cw,
              int nMaxWidth, int nPx, int y, SDL_Color color) {
  const FittedLine fitted =
      FitTextLine(szText, nMaxWidth, nPx, kSmallestTextPx, MeasureText, nullptr);
  if (fitted.szText.empty()) return;
  const RenderedLine& rendered = Render(pRenderer, line, fitted, color);
  if (rendered.pTexture == nullptr) return;
  const SDL_Rect dest{(cw - rendered.w) / 2, y, rendered.w, rendered.h};
  SDL_RenderCopy(pRenderer, rendered.pTexture, nullptr, &dest);
}

}  // namespace

void OpenWindowFont() {
  if (TTF_Init() != 0) {
    std::fprintf(stderr, "Veltrona: no text in the window: %s\n", TTF_GetError());
    return;
  }
  if (const char* szChosen = std::getenv("VELTRONA_FONT"); szChosen != nullptr) {
    g_pFont = TTF_OpenFont(szChosen, kOpenPx);
  } else {
    for (const char* szPath : kFontPaths) {
      g_pFont = TTF_OpenFont(szPath, kOpenPx);
      if (g_pFont != nullptr) break;
    }
  }
  if (g_pFont == nullptr) {
    std::fprintf(stderr,
                 "Veltrona: no font for the window's texts (package fonts-dejavu-core, or "
                 "VELTRONA_FONT): status and notices are not shown\n");
    std::fflush(stderr);
    return;
  }
  g_nFontPx = kOpenPx;
}

void CloseWindowFont() {
  for (RenderedLine& line : g_Lines) ForgetLine(line);
  if (g_pFont != nullptr) TTF_CloseFont(g_pFont);
  g_pFont = nullptr;
}

void DrawWindowText(SDL_Renderer* pRenderer, int cw, int ch, const WindowText& text) {
  if (g_pFont == nullptr) return;
  const TextSizes sizes = SizeWindowText(cw, ch);
  const int nMaxWidth = cw - 2 * sizes.nMargin;
  if (!text.szStatus.empty()) {
    DrawLine(pRenderer, g_Lines[0], text.szStatus, cw, nMaxWidth, sizes.nStatusPx,
             ch / 2 - sizes.nStatusPx * 3 / 2, SDL_Color{220, 220, 220, 255});
  }
  if (!text.szHint.empty()) {
    DrawLine(pRenderer, g_Lines[1], text.szHint, cw, nMaxWidth, sizes.nHintPx,
             ch / 2 + sizes.nHintPx / 2, SDL_Color{170, 170, 170, 255});
  }
  if (!text.szBand.empty() && sizes.nBandPx >= kSmallestTextPx) {
    const SDL_Rect band{0, ch - sizes.nBandHeight, cw, sizes.nBandHeight};
    SDL_SetRenderDrawBlendMode(pRenderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(pRenderer, 0, 0, 0, kBandAlpha);
    SDL_RenderFillRect(pRenderer, &band);
    SDL_SetRenderDrawBlendMode(pRenderer, SDL_BLENDMODE_NONE);
    // The font's line is about 1.2 of its size: centred in the band.
    DrawLine(pRenderer, g_Lines[2], text.szBand, cw, nMaxWidth, sizes.nBandPx,
             band.y + (band.h - sizes.nBandPx * 6 / 5) / 2, SDL_Color{255, 255, 255, 255});
  }
}
