#include "app/fit_geometry.h"

FitRect FitPicture(int32_t cw, int32_t ch, int32_t w, int32_t h) {
  const double rx = static_cast<double>(cw) / w;
  const double ry = static_cast<double>(ch) / h;
  const double s = rx < ry ? rx : ry;
  FitRect rect;
  // Truncation toward zero, as the painter has always drawn: the filling side
  // may come out one pixel short.
  rect.dw = static_cast<int32_t>(s * w);
  rect.dh = static_cast<int32_t>(s * h);
  rect.x = (cw - rect.dw) / 2;
  rect.y = (ch - rect.dh) / 2;
  return rect;
}
