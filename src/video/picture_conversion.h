// Decoded pictures to 32-bit BGRA with libswscale, in the colours the stream
// describes (its matrix and range, read as FFmpeg's scale filter reads them;
// a stream that says nothing is BT.601, limited range).
#pragma once

#include <cstdint>
#include <vector>

extern "C" {
struct AVFrame;
struct SwsContext;
}

// What one conversion keeps between pictures; each user (painter, screenshot
// thread) owns its own. Zero-initialised; ReleasePictureScaler frees it.
struct PictureScaler {
  SwsContext* scaler = nullptr;
  // libswscale's SIMD converters work in blocks of pixels: with a destination
  // row of exactly 4 x width bytes they leave the last columns unwritten or
  // write past the row (FFmpeg 5.1: 1170 loses 2 columns, 1080 writes 32 bytes
  // past the end). So a full-size picture is converted in two column bands:
  // the columns up to a multiple of 64 straight into the output (scaler), the
  // rest into a padded scratch area copied into place (scalerTail, or scaler
  // alone when there is no first band), in stripes of 64 rows so the copy
  // finds its rows in the cache.
  SwsContext* scalerTail = nullptr;
  std::vector<uint8_t> vecScratch;
  // What the scalers were made for, so a change remakes them.
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  int32_t nFormat = -1;
  int32_t nOutWidth = 0;
  int32_t nOutHeight = 0;
  int32_t nColourSpace = -1;
  bool bFullRange = false;
  // ConvertPictureToSize's output: rows of nOutStride bytes, with room to spare.
  std::vector<uint8_t> vecOut;
  int32_t nOutStride = 0;
};

void ReleasePictureScaler(PictureScaler& scaler);

// The matrix libswscale applies to a picture (sws_getCoefficients of its
// colour space), as far as a renderer with fixed modes needs to know it.
enum class PictureMatrix { Bt601, Bt709, Other };
PictureMatrix MatrixOf(const AVFrame* pFrame);
// Whether the luma and chroma use the full 0-255 range (range tag, or a
// full-range "J" format).
bool IsFullRange(const AVFrame* pFrame);

// Converts pFrame at its own size to BGRA, 4 x width bytes a row, no gap, for
// the screenshot: lossless and exactly as a conversion of the whole picture
// into rows with room to spare gives it (see scalerTail). True when out holds
// the converted picture; false (out empty) for a picture of width or height 0
// or when no scaler can be made. out's storage is reused when it has the size.
bool ConvertFrameToBgra(PictureScaler& scaler, const AVFrame* pFrame, std::vector<uint8_t>& out);

// Converts pFrame to BGRA at nOutWidth x nOutHeight (fast bilinear), into
// scaler.vecOut (rows of scaler.nOutStride bytes, each with room past the
// picture): the window's letter-boxed rectangle, so no full-size picture is
// made for it. False when the sizes are not positive or no scaler can be made.
bool ConvertPictureToSize(PictureScaler& scaler, const AVFrame* pFrame, int32_t nOutWidth,
                          int32_t nOutHeight);
