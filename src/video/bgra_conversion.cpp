// One decoded picture to 32-bit BGRA with libswscale (SWS_POINT, same size).
#include <cstring>

#include "video/video_decoder.h"

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

SwsContext* MakeScaler(int nWidth, int nHeight, int32_t nFormat) {
  return sws_getContext(nWidth, nHeight, static_cast<AVPixelFormat>(nFormat), nWidth, nHeight,
                        AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
}

void ReleaseScalers(VideoDecoder& decoder) {
  sws_freeContext(decoder.scaler);
  sws_freeContext(decoder.scalerTail);
  decoder.scaler = nullptr;
  decoder.scalerTail = nullptr;
  decoder.nScalerWidth = 0;
  decoder.nScalerHeight = 0;
  decoder.nScalerFormat = -1;
}

}  // namespace

bool ConvertFrameToBgra(VideoDecoder& decoder, const AVFrame* pFrame, std::vector<uint8_t>& out) {
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
  if (decoder.scaler == nullptr || decoder.nScalerWidth != nWidth ||
      decoder.nScalerHeight != nHeight || decoder.nScalerFormat != nFormat) {
    ReleaseScalers(decoder);
    decoder.scaler = MakeScaler(nDirect > 0 ? nDirect : nRest, nHeight, nFormat);
    if (decoder.scaler != nullptr && nDirect > 0 && nRest > 0) {
      decoder.scalerTail = MakeScaler(nRest, nHeight, nFormat);
    }
    if (decoder.scaler == nullptr || (nDirect > 0 && nRest > 0 && decoder.scalerTail == nullptr)) {
      ReleaseScalers(decoder);
      out.clear();
      return false;
    }
    decoder.nScalerWidth = nWidth;
    decoder.nScalerHeight = nHeight;
    decoder.nScalerFormat = nFormat;
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
    sws_scale(decoder.scaler, pFrame->data, pFrame->linesize, 0, nHeight, apOut, anOutStride);
    return true;
  }
  // Scratch rows with room for a whole block more than the band, one spare row.
  const size_t nScratchStride =
      (static_cast<size_t>(4) * (nRest + kColumnBlock) + 63) & ~size_t{63};
  const size_t nScratchSize = nScratchStride * (static_cast<size_t>(nHeight) + 1);
  if (decoder.vecScratch.size() < nScratchSize) {
    decoder.vecScratch.resize(nScratchSize);
  }
  uint8_t* const apScratch[4] = {decoder.vecScratch.data(), nullptr, nullptr, nullptr};
  const int anScratchStride[4] = {static_cast<int>(nScratchStride), 0, 0, 0};
  SwsContext* pRestScaler = nDirect > 0 ? decoder.scalerTail : decoder.scaler;
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
      sws_scale(decoder.scaler, apSource, pFrame->linesize, nRow, nRows, apOut, anOutStride);
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
                  decoder.vecScratch.data() + nScratchStride * nRowsCopied, nBandBytes);
    }
  }
  return true;
}
