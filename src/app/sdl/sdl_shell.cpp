// The mirror window on Linux, with SDL2: same title, size, texts and
// letter-boxed geometry as the Win32 window. SDL turns SIGINT and SIGTERM into
// a quit event, which ends the program exactly as closing the window does.
#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app_texts.h"
#include "app/fit_geometry.h"
#include "app/sdl/sdl_text.h"
#include "app/shell.h"
#include "app/startup.h"
#include "app/window_status.h"
#include "platform/clock.h"
#include "video/frame_store.h"
#include "video/picture_conversion.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace {

SDL_Window* g_pWindow = nullptr;
SDL_Renderer* g_pRenderer = nullptr;
SDL_Texture* g_pTexture = nullptr;
Uint32 g_nTextureFormat = 0;
SDL_YUV_CONVERSION_MODE g_TextureMode = SDL_YUV_CONVERSION_BT601;
PictureScaler g_Scaler;  // for pictures SDL cannot draw itself
int32_t g_nTextureWidth = 0;
int32_t g_nTextureHeight = 0;
Uint32 g_nRepaintEvent = 0;
std::atomic<bool> g_bRepaintPending{false};
// When the texts change by themselves (a notice ends, the hint appears); 0: never.
uint64_t g_qwNextTextChange = 0;

// The texture is made anew when the picture's format, size or colours change.
bool EnsureTexture(Uint32 nFormat, int32_t nWidth, int32_t nHeight, SDL_YUV_CONVERSION_MODE mode) {
  if (g_pTexture != nullptr && g_nTextureFormat == nFormat && g_nTextureWidth == nWidth &&
      g_nTextureHeight == nHeight && g_TextureMode == mode) {
    return true;
  }
  if (g_pTexture != nullptr) SDL_DestroyTexture(g_pTexture);
  // A renderer reads the mode when it makes a YUV texture.
  SDL_SetYUVConversionMode(mode);
  g_pTexture =
      SDL_CreateTexture(g_pRenderer, nFormat, SDL_TEXTUREACCESS_STREAMING, nWidth, nHeight);
  g_nTextureFormat = nFormat;
  g_nTextureWidth = g_pTexture != nullptr ? nWidth : 0;
  g_nTextureHeight = g_pTexture != nullptr ? nHeight : 0;
  g_TextureMode = mode;
  return g_pTexture != nullptr;
}

// Whether SDL draws the picture's planes itself, in the colours libswscale
// would give them: 8-bit 4:2:0 with one of SDL's three matrix and range pairs.
bool SdlDrawsPlanes(const AVFrame* pFrame, Uint32& nFormat, SDL_YUV_CONVERSION_MODE& mode) {
  if (pFrame->format == AV_PIX_FMT_YUV420P || pFrame->format == AV_PIX_FMT_YUVJ420P) {
    nFormat = SDL_PIXELFORMAT_IYUV;
  } else if (pFrame->format == AV_PIX_FMT_NV12) {
    nFormat = SDL_PIXELFORMAT_NV12;
  } else {
    return false;
  }
  const bool bFull = IsFullRange(pFrame);
  switch (MatrixOf(pFrame)) {
    case PictureMatrix::Bt601:
      mode = bFull ? SDL_YUV_CONVERSION_JPEG : SDL_YUV_CONVERSION_BT601;
      return true;
    case PictureMatrix::Bt709:
      mode = SDL_YUV_CONVERSION_BT709;
      return !bFull;
    case PictureMatrix::Other:
      break;
  }
  return false;
}

// The decoder's planes go into the texture as they are; any other picture is
// converted by libswscale straight to the letter-boxed size (no full-size
// BGRA picture). The capture thread never waits for this: the painter holds a
// reference of its own.
bool UploadPicture(const AVFrame* pFrame, const FitRect& fit) {
  Uint32 nFormat = 0;
  SDL_YUV_CONVERSION_MODE mode = SDL_YUV_CONVERSION_BT601;
  // A renderer without that YUV format gets the converted picture instead.
  if (SdlDrawsPlanes(pFrame, nFormat, mode) &&
      EnsureTexture(nFormat, pFrame->width, pFrame->height, mode)) {
    const uint8_t* const* p = pFrame->data;
    const int* n = pFrame->linesize;
    return nFormat == SDL_PIXELFORMAT_IYUV
               ? SDL_UpdateYUVTexture(g_pTexture, nullptr, p[0], n[0], p[1], n[1], p[2], n[2]) == 0
               : SDL_UpdateNVTexture(g_pTexture, nullptr, p[0], n[0], p[1], n[1]) == 0;
  }
  if (!ConvertPictureToSize(g_Scaler, pFrame, fit.dw, fit.dh) ||
      !EnsureTexture(SDL_PIXELFORMAT_ARGB8888, fit.dw, fit.dh, g_TextureMode)) {
    return false;
  }
  // ARGB8888 is B, G, R, A in memory on a little-endian machine: libswscale's BGRA.
  return SDL_UpdateTexture(g_pTexture, nullptr, g_Scaler.vecOut.data(), g_Scaler.nOutStride) == 0;
}

void PaintMirror() {
  int cw = 0;
  int ch = 0;
  SDL_GetRendererOutputSize(g_pRenderer, &cw, &ch);
  if (cw <= 0 || ch <= 0) return;
  SDL_SetRenderDrawColor(g_pRenderer, 0, 0, 0, 255);
  SDL_RenderClear(g_pRenderer);
  AVFrame* pFrame = RefLatestFrame(g_FrameStore);
  const bool bHasPicture = pFrame != nullptr;
  if (bHasPicture) {
    const FitRect fit = FitPicture(cw, ch, pFrame->width, pFrame->height);
    if (fit.dw > 0 && fit.dh > 0 && UploadPicture(pFrame, fit)) {
      const SDL_Rect dest{fit.x, fit.y, fit.dw, fit.dh};
      SDL_RenderCopy(g_pRenderer, g_pTexture, nullptr, &dest);
    }
    av_frame_free(&pFrame);
  }
  const WindowText text = CurrentWindowText(bHasPicture, ClockTicks());
  g_qwNextTextChange = text.qwNextChange;
  DrawWindowText(g_pRenderer, cw, ch, text);
  SDL_RenderPresent(g_pRenderer);
}

void DestroyMirrorWindow() {
  if (g_pWindow == nullptr) return;
  if (g_pTexture != nullptr) SDL_DestroyTexture(g_pTexture);
  ReleasePictureScaler(g_Scaler);
  std::vector<uint8_t>().swap(g_Scaler.vecOut);
  CloseWindowFont();
  if (g_pRenderer != nullptr) SDL_DestroyRenderer(g_pRenderer);
  SDL_DestroyWindow(g_pWindow);
  g_pTexture = nullptr;
  g_pRenderer = nullptr;
  g_pWindow = nullptr;
  OnMirrorWindowDestroyed();
}

// Without a display SDL falls back to a driver that draws nowhere; a window
// nobody can see counts as no window, unless the user chose that driver.
bool IsInvisibleDriver(const char* szDriver) {
  if (szDriver == nullptr || std::getenv("SDL_VIDEODRIVER") != nullptr) return false;
  return std::strcmp(szDriver, "offscreen") == 0 || std::strcmp(szDriver, "dummy") == 0;
}

bool IsFullscreen() {
  return (SDL_GetWindowFlags(g_pWindow) & SDL_WINDOW_FULLSCREEN) != 0;
}

void OnKey(SDL_Keycode key) {
  if (key == SDLK_m)
    OnMirrorMuteKey();
  else if (key == SDLK_s)
    OnMirrorScreenshotKey();
  else if (key == SDLK_r)
    OnMirrorRecordKey();
  else if (key == SDLK_F11)
    ShellSetFullscreen(!IsFullscreen());
  else if (key == SDLK_ESCAPE)
    ShellSetFullscreen(false);
}

// Waits for the next event, or until the texts change by themselves: then a
// repaint event is made up.
bool WaitForEvent(SDL_Event& event) {
  const uint64_t qwNow = ClockTicks();
  if (g_qwNextTextChange == 0) return SDL_WaitEvent(&event) != 0;
  if (g_qwNextTextChange > qwNow) {
    const uint64_t qwWait = g_qwNextTextChange - qwNow;
    if (SDL_WaitEventTimeout(&event, static_cast<int>(qwWait < 60000 ? qwWait : 60000)) != 0)
      return true;
    if (ClockTicks() < g_qwNextTextChange) return WaitForEvent(event);
  }
  g_qwNextTextChange = 0;
  event = SDL_Event{};
  event.type = g_nRepaintEvent;
  g_bRepaintPending.store(true);
  return true;
}

}  // namespace

bool ShellCreateMirrorWindow() {
  // Smooth scaling stands in for the Win32 painter's HALFTONE stretch.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "Veltrona: the window cannot be opened: %s\n", SDL_GetError());
    return false;
  }
  if (IsInvisibleDriver(SDL_GetCurrentVideoDriver())) {
    std::fprintf(stderr, "Veltrona: the window cannot be opened: no display\n");
    SDL_Quit();
    return false;
  }
  g_pWindow = SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                               kWindowWidth, kWindowHeight, SDL_WINDOW_RESIZABLE);
  if (g_pWindow != nullptr) g_pRenderer = SDL_CreateRenderer(g_pWindow, -1, 0);
  if (g_pRenderer == nullptr) {
    std::fprintf(stderr, "Veltrona: the window cannot be opened: %s\n", SDL_GetError());
    if (g_pWindow != nullptr) SDL_DestroyWindow(g_pWindow);
    g_pWindow = nullptr;
    return false;
  }
  g_nRepaintEvent = SDL_RegisterEvents(1);
  OpenWindowFont();
  PaintMirror();
  return true;
}

void ShellShowError(bool bOwnedByWindow, const char* szUtf8Text) {
  // A terminal user, or a machine without a display, still reads the text.
  std::fprintf(stderr, "%s\n", szUtf8Text);
  std::fflush(stderr);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, kMessageCaption, szUtf8Text,
                           bOwnedByWindow ? g_pWindow : nullptr);
}

void ShellShowNotice(const char* szUtf8Text) {
  std::fprintf(stderr, "%s\n", szUtf8Text);
  std::fflush(stderr);
}

void ShellShowUsage(const char* szUtf8Text) {
  std::fputs(szUtf8Text, stdout);
  std::fflush(stdout);
}

void ShellWriteStandardError(const char* szUtf8Text) {
  std::fprintf(stderr, "%s\n", szUtf8Text);
  std::fflush(stderr);
}

void ShellSetFullscreen(bool bFullscreen) {
  // The desktop's own mode: no mode switch, the picture letter-boxed as in a window.
  if (g_pWindow != nullptr)
    SDL_SetWindowFullscreen(g_pWindow, bFullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

void ShellRunMessageLoop() {
  SDL_Event event;
  while (g_pWindow != nullptr && WaitForEvent(event)) {
    if (event.type == SDL_QUIT) {
      DestroyMirrorWindow();
    } else if (event.type == SDL_WINDOWEVENT) {
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        DestroyMirrorWindow();
      } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                 event.window.event == SDL_WINDOWEVENT_EXPOSED) {
        PaintMirror();
      }
    } else if (event.type == SDL_KEYDOWN) {
      if (event.key.repeat == 0) OnKey(event.key.keysym.sym);
    } else if (event.type == SDL_MOUSEBUTTONDOWN) {
      // SDL counts on past 2 when the next double-click follows quickly: every
      // second click of a run toggles.
      if (event.button.button == SDL_BUTTON_LEFT && event.button.clicks % 2 == 0)
        ShellSetFullscreen(!IsFullscreen());
    } else if (event.type == g_nRepaintEvent) {
      g_bRepaintPending.store(false);
      PaintMirror();
    }
  }
  // SDL stays initialised: the capture thread may still ask for a repaint
  // until shutdown has joined it, and the process ends right after.
}

void ShellRequestRepaint(void*) {
  if (g_nRepaintEvent == 0 || g_bRepaintPending.exchange(true)) return;
  SDL_Event event{};
  event.type = g_nRepaintEvent;
  if (SDL_PushEvent(&event) != 1) g_bRepaintPending.store(false);
}
