// Where a picture goes in the client area: scaled to fit with its aspect
// ratio kept, centred between black bars.
#pragma once

#include <cstdint>

struct FitRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t dw = 0;
  int32_t dh = 0;
};

// Client cw x ch, picture w x h (all above 0).
FitRect FitPicture(int32_t cw, int32_t ch, int32_t w, int32_t h);
