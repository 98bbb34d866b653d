// Decoded pictures to 32-bit BGRA with libswscale: at full size for the
// screenshot (SWS_POINT, exact), or at the window's size.
#include "video/picture_conversion.h"

#include <cstring>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

// Width of the first band is a multiple of this many pixels, which covers the
// block sizes of libswscale's converters (8 to 32 pixels, AVX-512 included).
constexpr int kColumnBlock = 64;
// Rows converted per sws_scale call when there is a second band, so that its
// rows are copied into place while they are still in the cache. A multiple of
// every vertical chroma subsampling.
constexpr int kRowStripe = 64;

// How the format's planes are laid out: bytes per pixel step and the
// horizontal and vertical subsampling of each plane.
struct PlaneLayout {
  int anStep[4] = {0, 0, 0, 0};
  int anShiftW[4] = {0, 0, 0, 0};
  int anShiftH[4] = {0, 0, 0, 0};
};

// False for formats that cannot be cut into column bands and row stripes by
// moving plane pointers (packed bit fields, palettes, hardware pictures,
// planes whose components differ in step or subsampling).
bool DescribePlanes(int32_t nFormat, PlaneLayout& layout) {
  const AVPixFmtDescriptor* pDescriptor = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(nFormat));
  if (pDescriptor == nullptr ||
      (pDescriptor->flags &
       (AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL)) != 0 ||
      pDescriptor->log2_chroma_h > 6) {
    return false;
  }
  const bool bYuv = (pDescriptor->flags & AV_PIX_FMT_FLAG_RGB) == 0;
  for (int c = 0; c < pDescriptor->nb_components; ++c) {
    const AVComponentDescriptor& component = pDescriptor->comp[c];
    const bool bChroma = bYuv && (c == 1 || c == 2);
    const int nShiftW = bChroma ? pDescriptor->log2_chroma_w : 0;
    const int nShiftH = bChroma ? pDescriptor->log2_chroma_h : 0;
    if (component.plane < 0 || component.plane > 3 || component.step <= 0) {
      return false;
    }
    const int p = component.plane;
    if (layout.anStep[p] == 0) {
      layout.anStep[p] = component.step;
      layout.anShiftW[p] = nShiftW;
      layout.anShiftH[p] = nShiftH;
    } else if (layout.anStep[p] != component.step || layout.anShiftW[p] != nShiftW ||
               layout.anShiftH[p] != nShiftH) {
      return false;
    }
  }
  return true;
}

// True when a band may start at nColumn (not inside a chroma sample).
bool ColumnFits(const PlaneLayout& layout, int nColumn) {
  for (int p = 0; p < 4; ++p) {
    if ((nColumn >> layout.anShiftW[p]) << layout.anShiftW[p] != nColumn) {
      return false;
    }
  }
  return true;
}

// The plane pointers of the source slice that starts at row nRow, column nColumn.
void SliceSource(const AVFrame* pFrame, const PlaneLayout& layout, int nRow, int nColumn,
                 const uint8_t* apSource[4]) {
  for (int p = 0; p < 4; ++p) {
    apSource[p] =
        pFrame->data[p] == nullptr
            ? nullptr
            : pFrame->data[p] +
                  static_cast<ptrdiff_t>(nRow >> layout.anShiftH[p]) * pFrame->linesize[p] +
                  static_cast<ptrdiff_t>(nColumn >> layout.anShiftW[p]) * layout.anStep[p];
  }
}

// A full-range "J" format goes in as its plain twin: the range is set with
// the colour details (libswscale warns about the J formats on every context).
SwsContext* MakeScaler(int nWidth, int nHeight, int32_t nFormat, int nOutWidth, int nOutHeight,
                       int nFlags) {
  const AVPixelFormat format = nFormat == AV_PIX_FMT_YUVJ420P   ? AV_PIX_FMT_YUV420P
                               : nFormat == AV_PIX_FMT_YUVJ422P ? AV_PIX_FMT_YUV422P
                               : nFormat == AV_PIX_FMT_YUVJ444P
                                   ? AV_PIX_FMT_YUV444P
                                   : static_cast<AVPixelFormat>(nFormat);
  return sws_getContext(nWidth, nHeight, format, nOutWidth, nOutHeight, AV_PIX_FMT_BGRA, nFlags,
                        nullptr, nullptr, nullptr);
}

bool IsJpegFormat(int32_t nFormat) {
  return nFormat == AV_PIX_FMT_YUVJ420P || nFormat == AV_PIX_FMT_YUVJ422P ||
         nFormat == AV_PIX_FMT_YUVJ444P || nFormat == AV_PIX_FMT_YUVJ440P ||
         nFormat == AV_PIX_FMT_YUVJ411P;
}

// As FFmpeg's scale filter does by default: the matrix of the picture's colour
// space (an unknown one is BT.601) and its range, to full-range RGB.
void FollowColourDescription(SwsContext* pScaler, const AVFrame* pFrame) {
  if (pScaler == nullptr) return;
  const int* pnTable = sws_getCoefficients(pFrame->colorspace);
  sws_setColorspaceDetails(pScaler, pnTable, IsFullRange(pFrame) ? 1 : 0, pnTable, 1, 0, 1 << 16,
                           1 << 16);
}

// Remakes the scalers when the picture, the output size or the colour
// description changed; false when one cannot be made.
bool EnsureScalers(PictureScaler& s, const AVFrame* pFrame, int nFirstWidth, int nRestWidth,
                   int nOutWidth, int nOutHeight, int nFlags) {
  const bool bFull = IsFullRange(pFrame);
  if (s.scaler != nullptr && s.nWidth == pFrame->width && s.nHeight == pFrame->height &&
      s.nFormat == pFrame->format && s.nOutWidth == nOutWidth && s.nOutHeight == nOutHeight &&
      s.nColourSpace == pFrame->colorspace && s.bFullRange == bFull) {
    return true;
  }
  ReleasePictureScaler(s);
  const int h = pFrame->height;
  s.scaler = MakeScaler(nFirstWidth, h, pFrame->format,
                        nFirstWidth == pFrame->width ? nOutWidth : nFirstWidth, nOutHeight, nFlags);
  if (s.scaler != nullptr && nRestWidth > 0) {
    s.scalerTail = MakeScaler(nRestWidth, h, pFrame->format, nRestWidth, h, nFlags);
  }
  if (s.scaler == nullptr || (nRestWidth > 0 && s.scalerTail == nullptr)) {
    ReleasePictureScaler(s);
    return false;
  }
  FollowColourDescription(s.scaler, pFrame);
  FollowColourDescription(s.scalerTail, pFrame);
  s.nWidth = pFrame->width;
  s.nHeight = h;
  s.nFormat = pFrame->format;
  s.nOutWidth = nOutWidth;
  s.nOutHeight = nOutHeight;
  s.nColourSpace = pFrame->colorspace;
  s.bFullRange = bFull;
  return true;
}

}  // namespace

bool ConvertFrameToBgra(PictureScaler& scaler, const AVFrame* pFrame, std::vector<uint8_t>& out) {
  const int32_t nWidth = pFrame->width;
  const int32_t nHeight = pFrame->height;
  const int32_t nFormat = pFrame->format;
  if (nWidth <= 0 || nHeight <= 0 || nFormat < 0) {
    out.clear();
    return false;
  }
  // The bands: [0, nDirect) straight into out, [nDirect, nWidth) via scratch.
  PlaneLayout layout;
  const bool bCuttable = DescribePlanes(nFormat, layout);
  int nDirect = nWidth / kColumnBlock * kColumnBlock;
  if (nDirect > 0 && nDirect < nWidth && !(bCuttable && ColumnFits(layout, nDirect))) {
    nDirect = 0;  // one band, all through the scratch area
  }
  const int nRest = nWidth - nDirect;
  if (!EnsureScalers(scaler, pFrame, nDirect > 0 ? nDirect : nRest, nDirect > 0 ? nRest : 0, nWidth,
                     nHeight, SWS_POINT)) {
    out.clear();
    return false;
  }
  const int nSize = av_image_get_buffer_size(AV_PIX_FMT_BGRA, nWidth, nHeight, 1);
  if (nSize <= 0) {
    out.clear();
    return false;
  }
  // A vector that already has the size is overwritten without a zero fill.
  out.resize(static_cast<size_t>(nSize));
  const size_t nRowBytes = static_cast<size_t>(4) * nWidth;
  uint8_t* const apOut[4] = {out.data(), nullptr, nullptr, nullptr};
  const int anOutStride[4] = {static_cast<int>(nRowBytes), 0, 0, 0};
  if (nRest == 0) {
    sws_scale(scaler.scaler, pFrame->data, pFrame->linesize, 0, nHeight, apOut, anOutStride);
    return true;
  }
  // Scratch rows with room for a whole block more than the band, one spare row.
  const size_t nScratchStride =
      (static_cast<size_t>(4) * (nRest + kColumnBlock) + 63) & ~size_t{63};
  const size_t nScratchSize = nScratchStride * (static_cast<size_t>(nHeight) + 1);
  if (scaler.vecScratch.size() < nScratchSize) {
    scaler.vecScratch.resize(nScratchSize);
  }
  uint8_t* const apScratch[4] = {scaler.vecScratch.data(), nullptr, nullptr, nullptr};
  const int anScratchStride[4] = {static_cast<int>(nScratchStride), 0, 0, 0};
  SwsContext* pRestScaler = nDirect > 0 ? scaler.scalerTail : scaler.scaler;
  const size_t nBandBytes = static_cast<size_t>(4) * nRest;
  // Row stripes in order (what sws_scale asks of slices); a format that cannot
  // be cut goes in one stripe.
  const int nStripe = bCuttable ? kRowStripe : nHeight;
  int nRowsCopied = 0;
  for (int nRow = 0; nRow < nHeight; nRow += nStripe) {
    const int nRows = nHeight - nRow < nStripe ? nHeight - nRow : nStripe;
    const uint8_t* apSource[4];
    if (nDirect > 0) {
      SliceSource(pFrame, layout, nRow, 0, apSource);
      sws_scale(scaler.scaler, apSource, pFrame->linesize, nRow, nRows, apOut, anOutStride);
    }
    if (bCuttable) {
      SliceSource(pFrame, layout, nRow, nDirect, apSource);
    } else {
      for (int p = 0; p < 4; ++p) {
        apSource[p] = pFrame->data[p];
      }
    }
    // The rows the scaler finished (all of the stripe for a same-size conversion).
    const int nDone =
        sws_scale(pRestScaler, apSource, pFrame->linesize, nRow, nRows, apScratch, anScratchStride);
    const int nEnd =
        nDone > 0 && nRowsCopied + nDone <= nHeight ? nRowsCopied + nDone : nRowsCopied;
    for (; nRowsCopied < nEnd; ++nRowsCopied) {
      std::memcpy(out.data() + nRowBytes * nRowsCopied + static_cast<size_t>(4) * nDirect,
                  scaler.vecScratch.data() + nScratchStride * nRowsCopied, nBandBytes);
    }
  }
  return true;
}

bool ConvertPictureToSize(PictureScaler& scaler, const AVFrame* pFrame, int32_t nOutWidth,
                          int32_t nOutHeight) {
  if (pFrame->width <= 0 || pFrame->height <= 0 || pFrame->format < 0 || nOutWidth <= 0 ||
      nOutHeight <= 0) {
    return false;
  }
  // Shrinking (a phone's picture in a window), two taps, as a GPU's linear
  // sampling of the texture does on Linux: SWS_BILINEAR's full filter costs
  // twice as much there. Growing, SWS_BILINEAR, whose two-tap variant is off
  // by more. At the picture's own size libswscale would take its block-wise
  // converter (see scalerTail); exact rounding keeps it on the path that
  // fills every column.
  const bool bSameSize = nOutWidth == pFrame->width && nOutHeight == pFrame->height;
  const bool bShrinking = nOutWidth < pFrame->width && nOutHeight < pFrame->height;
  const int nFlags =
      bShrinking ? SWS_FAST_BILINEAR : SWS_BILINEAR | (bSameSize ? SWS_ACCURATE_RND : 0);
  if (!EnsureScalers(scaler, pFrame, pFrame->width, 0, nOutWidth, nOutHeight, nFlags)) {
    return false;
  }
  // Rows with a whole block to spare and one spare row: whatever a converter
  // writes past the picture lands in the buffer.
  const size_t nStride = (static_cast<size_t>(4) * (nOutWidth + kColumnBlock) + 63) & ~size_t{63};
  const size_t nSize = nStride * (static_cast<size_t>(nOutHeight) + 1);
  if (scaler.vecOut.size() != nSize) scaler.vecOut.resize(nSize);
  scaler.nOutStride = static_cast<int32_t>(nStride);
  uint8_t* const apOut[4] = {scaler.vecOut.data(), nullptr, nullptr, nullptr};
  const int anOutStride[4] = {scaler.nOutStride, 0, 0, 0};
  return sws_scale(scaler.scaler, pFrame->data, pFrame->linesize, 0, pFrame->height, apOut,
                   anOutStride) > 0;
}

void ReleasePictureScaler(PictureScaler& scaler) {
  sws_freeContext(scaler.scaler);
  sws_freeContext(scaler.scalerTail);
  scaler.scaler = nullptr;
  scaler.scalerTail = nullptr;
  scaler.nWidth = scaler.nHeight = scaler.nOutWidth = scaler.nOutHeight = 0;
  scaler.nFormat = scaler.nColourSpace = -1;
}

bool IsFullRange(const AVFrame* pFrame) {
  return pFrame->color_range == AVCOL_RANGE_JPEG || IsJpegFormat(pFrame->format);
}

PictureMatrix MatrixOf(const AVFrame* pFrame) {
  // By libswscale's own tables, so that a renderer's fixed mode is chosen
  // exactly where libswscale would apply that matrix.
  const int* pnTable = sws_getCoefficients(pFrame->colorspace);
  const auto same = [pnTable](int nSpace) {
    return std::memcmp(pnTable, sws_getCoefficients(nSpace), 4 * sizeof(int)) == 0;
  };
  if (same(SWS_CS_ITU601)) return PictureMatrix::Bt601;
  if (same(SWS_CS_ITU709)) return PictureMatrix::Bt709;
  return PictureMatrix::Other;
}
