#include "support/h264_maker.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace vtest {

namespace {

[[noreturn]] void Fail(const std::string& szWhat) {
  std::fprintf(stderr, "h264_maker: %s\n", szWhat.c_str());
  std::abort();
}

// The deterministic moving pattern of picture nIndex: a diagonal luma ramp
// that drifts, a bright square that travels, chroma bands that slide.
void FillPicture(AVFrame* pFrame, int nIndex, uint32_t nSeed) {
  const int nWidth = pFrame->width;
  const int nHeight = pFrame->height;
  const int nShift = static_cast<int>(nSeed % 97);
  const int nBox = std::max(8, std::min(nWidth, nHeight) / 6);
  const int nBoxX = (nIndex * 7 + nShift * 3) % std::max(1, nWidth - nBox);
  const int nBoxY = (nIndex * 11 + nShift * 5) % std::max(1, nHeight - nBox);
  for (int y = 0; y < nHeight; ++y) {
    uint8_t* pRow = pFrame->data[0] + static_cast<ptrdiff_t>(y) * pFrame->linesize[0];
    const bool bBoxRow = y >= nBoxY && y < nBoxY + nBox;
    for (int x = 0; x < nWidth; ++x) {
      int nValue = 40 + ((x / 2 + y / 3 + nIndex * 3 + nShift) & 0x7F);
      if (bBoxRow && x >= nBoxX && x < nBoxX + nBox) {
        nValue = 235 - ((x - nBoxX) ^ (y - nBoxY)) % 24;
      }
      pRow[x] = static_cast<uint8_t>(nValue);
    }
  }
  for (int y = 0; y < nHeight / 2; ++y) {
    uint8_t* pU = pFrame->data[1] + static_cast<ptrdiff_t>(y) * pFrame->linesize[1];
    uint8_t* pV = pFrame->data[2] + static_cast<ptrdiff_t>(y) * pFrame->linesize[2];
    for (int x = 0; x < nWidth / 2; ++x) {
      pU[x] = static_cast<uint8_t>(96 + ((x / 4 + nIndex * 2 + nShift) & 0x3F));
      pV[x] = static_cast<uint8_t>(96 + ((y / 4 + 2 * nShift - nIndex) & 0x3F));
    }
  }
}

void ReceivePackets(AVCodecContext* pContext, AVPacket* pPacket, H264Stream& stream, int nWidth,
                    int nHeight) {
  for (;;) {
    const int nResult = avcodec_receive_packet(pContext, pPacket);
    if (nResult == AVERROR(EAGAIN) || nResult == AVERROR_EOF) {
      return;
    }
    if (nResult < 0) {
      Fail("avcodec_receive_packet failed");
    }
    stream.accessUnits.emplace_back(pPacket->data, pPacket->data + pPacket->size);
    stream.widths.push_back(nWidth);
    stream.heights.push_back(nHeight);
    av_packet_unref(pPacket);
  }
}

void EncodeOne(const H264Options& options, int nWidth, int nHeight, int nFrames, int nStill,
               uint32_t nSeed, H264Stream& stream) {
  const AVCodec* pCodec = avcodec_find_encoder_by_name("libx264");
  if (pCodec == nullptr) {
    Fail("libavcodec has no libx264 encoder");
  }
  AVCodecContext* pContext = avcodec_alloc_context3(pCodec);
  if (pContext == nullptr) {
    Fail("avcodec_alloc_context3 failed");
  }
  pContext->width = nWidth;
  pContext->height = nHeight;
  pContext->time_base = AVRational{1, options.nFps};
  pContext->framerate = AVRational{options.nFps, 1};
  pContext->pix_fmt = AV_PIX_FMT_YUV420P;
  pContext->thread_count = 1;
  pContext->max_b_frames = 0;
  pContext->gop_size = options.nKeyInterval > 0 ? options.nKeyInterval : nFrames + 1;
  av_opt_set(pContext->priv_data, "preset", "veryfast", 0);
  av_opt_set(pContext->priv_data, "tune", "zerolatency", 0);
  av_opt_set(pContext->priv_data, "profile",
             options.profile == H264Profile::Baseline ? "baseline" : "high", 0);
  std::string szParams = "threads=1:sliced-threads=0:rc-lookahead=0:bframes=0:scenecut=0";
  if (options.nSlices > 1) {
    szParams += ":slices=" + std::to_string(options.nSlices);
  }
  av_opt_set(pContext->priv_data, "x264-params", szParams.c_str(), 0);
  if (avcodec_open2(pContext, pCodec, nullptr) < 0) {
    Fail("libx264 refused the options");
  }
  AVFrame* pFrame = av_frame_alloc();
  AVPacket* pPacket = av_packet_alloc();
  if (pFrame == nullptr || pPacket == nullptr) {
    Fail("allocation failed");
  }
  pFrame->format = AV_PIX_FMT_YUV420P;
  pFrame->width = nWidth;
  pFrame->height = nHeight;
  if (av_frame_get_buffer(pFrame, 0) < 0) {
    Fail("av_frame_get_buffer failed");
  }
  const int nLastMoving = std::max(0, nFrames - nStill - 1);
  for (int i = 0; i < nFrames; ++i) {
    if (av_frame_make_writable(pFrame) < 0) {
      Fail("av_frame_make_writable failed");
    }
    FillPicture(pFrame, std::min(i, nLastMoving), nSeed);
    pFrame->pts = i;
    if (avcodec_send_frame(pContext, pFrame) < 0) {
      Fail("avcodec_send_frame failed");
    }
    ReceivePackets(pContext, pPacket, stream, nWidth, nHeight);
  }
  if (avcodec_send_frame(pContext, nullptr) < 0) {
    Fail("flushing the encoder failed");
  }
  ReceivePackets(pContext, pPacket, stream, nWidth, nHeight);
  av_packet_free(&pPacket);
  av_frame_free(&pFrame);
  avcodec_free_context(&pContext);
}

}  // namespace

H264Stream MakeH264Stream(const H264Options& options) {
  if (options.nWidth <= 0 || options.nHeight <= 0 || options.nWidth % 2 != 0 ||
      options.nHeight % 2 != 0 || options.nFrames <= 0 || options.nFps <= 0) {
    Fail("bad options");
  }
  H264Stream stream;
  EncodeOne(options, options.nWidth, options.nHeight, options.nFrames, options.nStillFrames,
            options.nSeed, stream);
  if (options.nSecondFrames > 0) {
    EncodeOne(options, options.nSecondWidth, options.nSecondHeight, options.nSecondFrames, 0,
              options.nSeed + 1, stream);
  }
  return stream;
}

Bytes JoinAccessUnits(const std::vector<Bytes>& accessUnits) {
  Bytes joined;
  size_t nTotal = 0;
  for (const Bytes& unit : accessUnits) {
    nTotal += unit.size();
  }
  joined.reserve(nTotal);
  for (const Bytes& unit : accessUnits) {
    joined.insert(joined.end(), unit.begin(), unit.end());
  }
  return joined;
}

std::vector<Bytes> SplitAnnexB(std::span<const uint8_t> annexB) {
  std::vector<Bytes> units;
  const size_t nSize = annexB.size();
  // Positions just after each 00 00 01.
  std::vector<size_t> starts;
  for (size_t i = 0; i + 3 <= nSize; ++i) {
    if (annexB[i] == 0 && annexB[i + 1] == 0 && annexB[i + 2] == 1) {
      starts.push_back(i + 3);
      i += 2;
    }
  }
  for (size_t k = 0; k < starts.size(); ++k) {
    size_t nEnd = k + 1 < starts.size() ? starts[k + 1] - 3 : nSize;
    while (nEnd > starts[k] && annexB[nEnd - 1] == 0) {
      --nEnd;  // the zero of a 4-byte start code, trailing_zero_8bits
    }
    units.emplace_back(annexB.begin() + static_cast<ptrdiff_t>(starts[k]),
                       annexB.begin() + static_cast<ptrdiff_t>(nEnd));
  }
  return units;
}

int NalType(std::span<const uint8_t> unit) {
  return unit.empty() ? -1 : (unit[0] & 0x1F);
}

Bytes MakeAvcConfigRecord(std::span<const uint8_t> sps, std::span<const uint8_t> pps,
                          bool bHighExtension) {
  Bytes record;
  record.push_back(1);
  record.push_back(sps.size() > 1 ? sps[1] : 0);
  record.push_back(sps.size() > 2 ? sps[2] : 0);
  record.push_back(sps.size() > 3 ? sps[3] : 0);
  record.push_back(0xFF);  // 6 reserved bits, length size 4
  record.push_back(0xE1);  // 3 reserved bits, 1 SPS
  record.push_back(static_cast<uint8_t>(sps.size() >> 8));
  record.push_back(static_cast<uint8_t>(sps.size()));
  record.insert(record.end(), sps.begin(), sps.end());
  record.push_back(1);  // 1 PPS
  record.push_back(static_cast<uint8_t>(pps.size() >> 8));
  record.push_back(static_cast<uint8_t>(pps.size()));
  record.insert(record.end(), pps.begin(), pps.end());
  if (bHighExtension) {
    record.push_back(0xFC | 1);  // chroma_format_idc 1
    record.push_back(0xF8 | 0);  // bit_depth_luma_minus8 0
    record.push_back(0xF8 | 0);  // bit_depth_chroma_minus8 0
    record.push_back(0);         // no SPS extensions
  }
  return record;
}

Bytes MakeLengthPrefixed(std::span<const uint8_t> unit) {
  Bytes prefixed(4 + unit.size());
  const uint32_t nLength = static_cast<uint32_t>(unit.size());
  prefixed[0] = static_cast<uint8_t>(nLength >> 24);
  prefixed[1] = static_cast<uint8_t>(nLength >> 16);
  prefixed[2] = static_cast<uint8_t>(nLength >> 8);
  prefixed[3] = static_cast<uint8_t>(nLength);
  std::copy(unit.begin(), unit.end(), prefixed.begin() + 4);
  return prefixed;
}

std::vector<DeviceSample> ToDeviceSamples(const std::vector<Bytes>& accessUnits) {
  std::vector<DeviceSample> samples;
  samples.reserve(accessUnits.size());
  for (const Bytes& accessUnit : accessUnits) {
    DeviceSample sample;
    const Bytes* pSps = nullptr;
    const Bytes* pPps = nullptr;
    const std::vector<Bytes> units = SplitAnnexB(accessUnit);
    for (const Bytes& unit : units) {
      const int nType = NalType(unit);
      if (nType == 7) {
        pSps = &unit;
      } else if (nType == 8) {
        pPps = &unit;
      } else if (nType != 9) {
        sample.units.push_back(MakeLengthPrefixed(unit));
      }
    }
    if (pSps != nullptr && pPps != nullptr) {
      sample.record = MakeAvcConfigRecord(*pSps, *pPps, pSps->size() > 1 && (*pSps)[1] >= 100);
    }
    samples.push_back(std::move(sample));
  }
  return samples;
}

void QuietFfmpegLogs() {
  av_log_set_level(AV_LOG_ERROR);
}

bool WriteFile(const std::string& szPath, std::span<const uint8_t> bytes) {
  FILE* pFile = std::fopen(szPath.c_str(), "wb");
  if (pFile == nullptr) {
    return false;
  }
  const bool bWritten =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size();
  const bool bClosed = std::fclose(pFile) == 0;
  return bWritten && bClosed;
}

bool WriteAnnexBFile(const std::string& szPath, const std::vector<Bytes>& accessUnits) {
  return WriteFile(szPath, JoinAccessUnits(accessUnits));
}

}  // namespace vtest
