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
// block sizes of libswscale's converters (8, 16, 32 pixels).
constexpr int kColumnBlock = 64;

// Byte offsets of column nColumn in each plane of the format; false when the
// format cannot be cut between columns that way (packed bit fields, palettes,
// hardware pictures, a column that falls inside a chroma sample).
bool ColumnOffsets(int32_t nFormat, int nColumn, int anOffset[4]) {
  const AVPixFmtDescriptor* pDescriptor = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(nFormat));
  if (pDescriptor == nullptr ||
      (pDescriptor->flags &
       (AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL)) != 0) {
    return false;
  }
  int anStep[4] = {0, 0, 0, 0};
  int anShift[4] = {0, 0, 0, 0};
  const bool bYuv = (pDescriptor->flags & AV_PIX_FMT_FLAG_RGB) == 0;
  for (int c = 0; c < pDescriptor->nb_components; ++c) {
    const AVComponentDescriptor& component = pDescriptor->comp[c];
    const int nShift = (bYuv && (c == 1 || c == 2)) ? pDescriptor->log2_chroma_w : 0;
    if (component.plane < 0 || component.plane > 3 || component.step <= 0 ||
        (nColumn >> nShift) << nShift != nColumn) {
      return false;
    }
    if (anStep[component.plane] == 0) {
      anStep[component.plane] = component.step;
      anShift[component.plane] = nShift;
    } else if (anStep[component.plane] != component.step || anShift[component.plane] != nShift) {
      return false;
    }
  }
  for (int p = 0; p < 4; ++p) {
    anOffset[p] = (nColumn >> anShift[p]) * anStep[p];
  }
  return true;
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
  int anOffset[4] = {0, 0, 0, 0};
  int nDirect = nWidth / kColumnBlock * kColumnBlock;
  if (nDirect > 0 && nDirect < nWidth && !ColumnOffsets(nFormat, nDirect, anOffset)) {
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
  if (nDirect > 0) {
    uint8_t* const apDestination[4] = {out.data(), nullptr, nullptr, nullptr};
    const int anStride[4] = {static_cast<int>(nRowBytes), 0, 0, 0};
    sws_scale(decoder.scaler, pFrame->data, pFrame->linesize, 0, nHeight, apDestination, anStride);
  }
  if (nRest > 0) {
    // Rows with room for a whole block more than the band, and one spare row.
    const size_t nScratchStride =
        (static_cast<size_t>(4) * (nRest + kColumnBlock) + 63) & ~size_t{63};
    const size_t nScratchSize = nScratchStride * (static_cast<size_t>(nHeight) + 1);
    if (decoder.vecScratch.size() < nScratchSize) {
      decoder.vecScratch.resize(nScratchSize);
    }
    const uint8_t* apSource[4];
    for (int p = 0; p < 4; ++p) {
      apSource[p] = pFrame->data[p] != nullptr ? pFrame->data[p] + anOffset[p] : nullptr;
    }
    uint8_t* const apDestination[4] = {decoder.vecScratch.data(), nullptr, nullptr, nullptr};
    const int anStride[4] = {static_cast<int>(nScratchStride), 0, 0, 0};
    sws_scale(nDirect > 0 ? decoder.scalerTail : decoder.scaler, apSource, pFrame->linesize, 0,
              nHeight, apDestination, anStride);
    const size_t nBandBytes = static_cast<size_t>(4) * nRest;
    const uint8_t* pFrom = decoder.vecScratch.data();
    uint8_t* pTo = out.data() + static_cast<size_t>(4) * nDirect;
    for (int y = 0; y < nHeight; ++y) {
      std::memcpy(pTo, pFrom, nBandBytes);
      pFrom += nScratchStride;
      pTo += nRowBytes;
    }
  }
  return true;
}
