#include "app/fit_geometry.h"

#include <gtest/gtest.h>

namespace {

void ExpectFit(int cw, int ch, int w, int h, FitRect expected) {
  const FitRect fit = FitPicture(cw, ch, w, h);
  EXPECT_EQ(fit.x, expected.x) << cw << "x" << ch << " " << w << "x" << h;
  EXPECT_EQ(fit.y, expected.y) << cw << "x" << ch << " " << w << "x" << h;
  EXPECT_EQ(fit.dw, expected.dw) << cw << "x" << ch << " " << w << "x" << h;
  EXPECT_EQ(fit.dh, expected.dh) << cw << "x" << ch << " " << w << "x" << h;
}

TEST(FitPicture, LetterBoxesPortraitAndLandscapePictures) {
  ExpectFit(884, 611, 1170, 2532, {301, 0, 282, 611});
  ExpectFit(884, 611, 2532, 1170, {0, 101, 884, 408});
}

TEST(FitPicture, TruncationCanLeaveTheFillingSideOnePixelShort) {
  // 100/289 * 289 comes out just below 100 in double precision.
  ExpectFit(1000, 100, 10, 289, {498, 0, 3, 99});
}

TEST(FitPicture, ExactSizeHasNoBars) {
  ExpectFit(1280, 720, 1280, 720, {0, 0, 1280, 720});
}

}  // namespace
