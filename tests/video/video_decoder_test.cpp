#include <gtest/gtest.h>

#include "video_test_util.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

TEST(VideoDecoder, OpenMakesEveryObject) {
  VideoDecoder decoder;
  ASSERT_EQ(OpenVideoDecoder(decoder), DecoderOpenResult::Ok);
  EXPECT_NE(decoder.codec, nullptr);
  EXPECT_NE(decoder.parser, nullptr);
  EXPECT_NE(decoder.context, nullptr);
  EXPECT_NE(decoder.frame, nullptr);
  EXPECT_NE(decoder.packet, nullptr);
  EXPECT_EQ(decoder.scaler, nullptr);
  EXPECT_TRUE(decoder.open);
  CloseVideoDecoder(decoder);
}

TEST(VideoDecoder, CloseOfUnopenedDecoderIsHarmless) {
  VideoDecoder decoder;
  CloseVideoDecoder(decoder);
  CloseVideoDecoder(decoder);
  EXPECT_FALSE(decoder.open);
  const uint8_t abyBytes[8] = {0, 0, 0, 1, 0x09, 0xF0, 0, 0};
  EXPECT_FALSE(FeedDecoder(decoder, std::span<const uint8_t>(abyBytes, 6)));
}

using VideoDecoderClose = vtest::VideoFixture;

// After CloseVideoDecoder every FFmpeg object, the scaler and the open flag
// are gone; a late handler call feeds nothing and publishes nothing.
TEST_F(VideoDecoderClose, ReleasesEverythingAndLateCallsFeedNothing) {
  vtest::H264Options options;
  options.nWidth = 64;
  options.nHeight = 48;
  options.nFrames = 4;
  const vtest::H264Stream stream = vtest::MakeH264Stream(options);
  const auto samples = vtest::ToDeviceSamples(stream.accessUnits);
  vtest::FeedSamplesThroughSlots({samples[0], samples[1]});
  ASSERT_EQ(snapshots_.pictures.size(), 1u);
  EXPECT_NE(decoder_.scaler, nullptr);

  CloseVideoDecoder(decoder_);
  EXPECT_FALSE(decoder_.open);
  EXPECT_EQ(decoder_.parser, nullptr);
  EXPECT_EQ(decoder_.context, nullptr);
  EXPECT_EQ(decoder_.frame, nullptr);
  EXPECT_EQ(decoder_.packet, nullptr);
  EXPECT_EQ(decoder_.scaler, nullptr);

  vtest::StartFeedRecord();
  vtest::FeedSamplesThroughSlots({samples[0], samples[2], samples[3]});
  DrainDecoder();
  vtest::StopFeedRecord();
  EXPECT_EQ(vtest::GetFeedRecord().nCalls, 0);
  EXPECT_EQ(snapshots_.pictures.size(), 1u);
  EXPECT_FALSE(FeedDecoder(decoder_, std::span<const uint8_t>(samples[2].units[0])));
  CloseVideoDecoder(decoder_);  // a second close finds nothing left
}

// Fills a picture of the given format with a deterministic pattern.
AVFrame* MakePicture(int nWidth, int nHeight, AVPixelFormat format, int nSeed) {
  AVFrame* pFrame = av_frame_alloc();
  pFrame->width = nWidth;
  pFrame->height = nHeight;
  pFrame->format = format;
  EXPECT_EQ(av_frame_get_buffer(pFrame, 0), 0);
  const AVPixFmtDescriptor* pDescriptor = av_pix_fmt_desc_get(format);
  for (int nPlane = 0; nPlane < 4 && pFrame->data[nPlane] != nullptr; ++nPlane) {
    const int nRows = nPlane == 0 ? nHeight : AV_CEIL_RSHIFT(nHeight, pDescriptor->log2_chroma_h);
    for (int y = 0; y < nRows; ++y) {
      for (int x = 0; x < pFrame->linesize[nPlane]; ++x) {
        pFrame->data[nPlane][y * pFrame->linesize[nPlane] + x] =
            static_cast<uint8_t>(x * 3 + y * 5 + nPlane * 41 + nSeed);
      }
    }
  }
  return pFrame;
}

std::vector<uint8_t> ExpectedBgra(const AVFrame* pFrame) {
  return vtest::ReferenceConvert(pFrame).bgra;
}

TEST(ConvertFrameToBgra, PictureWithoutSizeIsNotConverted) {
  VideoDecoder decoder;
  AVFrame* pFrame = av_frame_alloc();
  pFrame->format = AV_PIX_FMT_YUV420P;
  std::vector<uint8_t> out = {1, 2, 3};
  EXPECT_FALSE(ConvertFrameToBgra(decoder, pFrame, out));
  EXPECT_TRUE(out.empty());
  pFrame->width = 16;  // height still 0
  EXPECT_FALSE(ConvertFrameToBgra(decoder, pFrame, out));
  EXPECT_EQ(decoder.scaler, nullptr);
  av_frame_free(&pFrame);
}

// The scaler takes the picture's own format and is remade when the size or
// the format changes; a vector of the right size is reused in place.
TEST(ConvertFrameToBgra, UsesPictureFormatAndRemakesScaler) {
  vtest::QuietFfmpegLogs();
  VideoDecoder decoder;
  std::vector<uint8_t> out;

  AVFrame* pYuv = MakePicture(64, 32, AV_PIX_FMT_YUV420P, 1);
  ASSERT_TRUE(ConvertFrameToBgra(decoder, pYuv, out));
  EXPECT_EQ(out, ExpectedBgra(pYuv));
  EXPECT_EQ(decoder.nScalerWidth, 64);
  EXPECT_EQ(decoder.nScalerHeight, 32);
  EXPECT_EQ(decoder.nScalerFormat, AV_PIX_FMT_YUV420P);
  SwsContext* pFirstScaler = decoder.scaler;

  const uint8_t* pStorage = out.data();
  AVFrame* pYuv2 = MakePicture(64, 32, AV_PIX_FMT_YUV420P, 9);
  ASSERT_TRUE(ConvertFrameToBgra(decoder, pYuv2, out));
  EXPECT_EQ(out, ExpectedBgra(pYuv2));
  EXPECT_EQ(out.data(), pStorage);
  EXPECT_EQ(decoder.scaler, pFirstScaler);

  AVFrame* pNv12 = MakePicture(64, 32, AV_PIX_FMT_NV12, 2);
  ASSERT_TRUE(ConvertFrameToBgra(decoder, pNv12, out));
  EXPECT_EQ(out, ExpectedBgra(pNv12));
  EXPECT_EQ(decoder.nScalerFormat, AV_PIX_FMT_NV12);

  AVFrame* pSmaller = MakePicture(30, 18, AV_PIX_FMT_NV12, 3);
  ASSERT_TRUE(ConvertFrameToBgra(decoder, pSmaller, out));
  EXPECT_EQ(out.size(), 4u * 30 * 18);
  EXPECT_EQ(out, ExpectedBgra(pSmaller));
  EXPECT_EQ(decoder.nScalerWidth, 30);
  EXPECT_EQ(decoder.nScalerHeight, 18);

  av_frame_free(&pYuv);
  av_frame_free(&pYuv2);
  av_frame_free(&pNv12);
  av_frame_free(&pSmaller);
  CloseVideoDecoder(decoder);
  EXPECT_EQ(decoder.scaler, nullptr);
}

// Every width (the SIMD converters work in blocks of 8 to 32 pixels) and the
// usual formats: every pixel written, none past the end, all equal to the
// conversion of the whole picture into rows with room to spare.
TEST(ConvertFrameToBgra, EveryColumnForAnyWidthAndFormat) {
  vtest::QuietFfmpegLogs();
  std::vector<int> widths;
  for (int nWidth = 2; nWidth <= 160; nWidth += 2) {
    widths.push_back(nWidth);
  }
  for (int nWidth : {201, 202, 750, 828, 1080, 1125, 1170, 1179, 1242, 1284, 2532, 2556}) {
    widths.push_back(nWidth);
  }
  // Planar, semi-planar, 10-bit, packed RGB (cut by bands) and packed YUV
  // (not cut: one band through the scratch area).
  const AVPixelFormat aFormats[] = {AV_PIX_FMT_YUV420P,     AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_NV12,
                                    AV_PIX_FMT_YUV422P,     AV_PIX_FMT_YUV444P,  AV_PIX_FMT_RGB24,
                                    AV_PIX_FMT_YUV420P10LE, AV_PIX_FMT_YUYV422};
  for (AVPixelFormat format : aFormats) {
    VideoDecoder decoder;
    for (int nWidth : widths) {
      // Taller pictures (several row stripes, an odd last one) for some widths.
      const int nHeight = nWidth % 10 == 0 || nWidth > 160 ? 131 : 6;
      if (nWidth % 2 != 0 && format != AV_PIX_FMT_YUV444P && format != AV_PIX_FMT_RGB24) {
        continue;
      }
      AVFrame* pFrame = MakePicture(nWidth, nHeight, format, nWidth);
      const size_t nSize = static_cast<size_t>(4) * nWidth * nHeight;
      // Canary bytes: 0xEE in the picture (alpha is always 255 once written)
      // and in 256 bytes of spare capacity after it.
      std::vector<uint8_t> out;
      out.reserve(nSize + 256);
      out.assign(nSize + 256, 0xEE);
      out.resize(nSize);
      ASSERT_TRUE(ConvertFrameToBgra(decoder, pFrame, out));
      ASSERT_EQ(out.size(), nSize);
      EXPECT_EQ(out, ExpectedBgra(pFrame)) << av_get_pix_fmt_name(format) << " width " << nWidth;
      const uint8_t* pAfter = out.data() + nSize;
      for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(pAfter[i], 0xEE) << av_get_pix_fmt_name(format) << " width " << nWidth
                                   << ": written " << i << " bytes past the end";
      }
      av_frame_free(&pFrame);
    }
    CloseVideoDecoder(decoder);
  }
}

}  // namespace
