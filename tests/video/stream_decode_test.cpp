// Real x264 streams through the two slots, exactly as the capture side hands
// them over, against FFmpeg's own decode of the same stream: every published
// picture must be the same, byte for byte.
#include <gtest/gtest.h>

#include "video_test_util.h"

namespace {

using vtest::H264Options;
using vtest::H264Profile;

class StreamDecode : public vtest::VideoFixture {
 protected:
  // Decodes through the slots and compares with the reference; the program
  // never flushes, so the last picture stays in the parser on both sides.
  void ExpectSameAsFfmpeg(const H264Options& options) {
    const vtest::H264Stream stream = vtest::MakeH264Stream(options);
    const std::vector<vtest::ReferencePicture> expected =
        vtest::ReferenceDecode(vtest::JoinAccessUnits(stream.accessUnits), false);
    ASSERT_EQ(expected.size(), stream.accessUnits.size() - 1);
    vtest::FeedSamplesThroughSlots(vtest::ToDeviceSamples(stream.accessUnits));
    EXPECT_FALSE(snapshots_.bCalledUnderLock);
    vtest::ExpectSamePictures(snapshots_.pictures, expected);
  }
};

TEST_F(StreamDecode, Portrait1170x2532HighFourSlices) {
  H264Options options;
  options.nWidth = 1170;
  options.nHeight = 2532;
  options.nFrames = 4;
  options.nSlices = 4;
  ExpectSameAsFfmpeg(options);
}

TEST_F(StreamDecode, Landscape2532x1170BaselineTwoSlices) {
  H264Options options;
  options.nWidth = 2532;
  options.nHeight = 1170;
  options.nFrames = 4;
  options.profile = H264Profile::Baseline;
  options.nSlices = 2;
  ExpectSameAsFfmpeg(options);
}

TEST_F(StreamDecode, SmallHighThreeSlicesKeyFramesAndStillEnd) {
  H264Options options;
  options.nWidth = 176;
  options.nHeight = 144;
  options.nFrames = 30;
  options.nSlices = 3;
  options.nKeyInterval = 10;
  options.nStillFrames = 6;
  ExpectSameAsFfmpeg(options);
}

TEST_F(StreamDecode, SmallBaselineOddMacroblockSize) {
  H264Options options;
  options.nWidth = 202;  // not a multiple of 16: cropped in the SPS
  options.nHeight = 98;
  options.nFrames = 20;
  options.profile = H264Profile::Baseline;
  ExpectSameAsFfmpeg(options);
}

// A size change mid-stream: the second stream's record and IDR picture come
// through the slots; the next picture is converted with a scaler made for the
// new size, and the store holds the new size.
TEST_F(StreamDecode, SizeChangeMidStream) {
  H264Options options;
  options.nWidth = 320;
  options.nHeight = 240;
  options.nFrames = 8;
  options.nSecondWidth = 240;
  options.nSecondHeight = 352;
  options.nSecondFrames = 8;
  ExpectSameAsFfmpeg(options);
  ASSERT_EQ(snapshots_.pictures.size(), 15u);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(snapshots_.pictures[i].nWidth, 320);
    EXPECT_EQ(snapshots_.pictures[i].nHeight, 240);
  }
  for (size_t i = 8; i < 15; ++i) {
    EXPECT_EQ(snapshots_.pictures[i].nWidth, 240);
    EXPECT_EQ(snapshots_.pictures[i].nHeight, 352);
  }
  EXPECT_EQ(decoder_.nScalerWidth, 240);
  EXPECT_EQ(decoder_.nScalerHeight, 352);
  std::lock_guard<std::mutex> lock(g_FrameStore.mutex);
  EXPECT_EQ(g_FrameStore.width, 240);
  EXPECT_EQ(g_FrameStore.height, 352);
  EXPECT_EQ(g_FrameStore.pixels.size(), 4u * 240 * 352);
}

// The parser holds a picture back until the next one starts: the first
// picture is published by the second picture's first unit, not before (not
// by the first picture's later slices either), and not by its later slices.
TEST_F(StreamDecode, FirstPicturePublishedOnlyAtSecondPicturesFirstUnit) {
  H264Options options;
  options.nWidth = 160;
  options.nHeight = 128;
  options.nFrames = 4;
  options.nSlices = 3;
  const vtest::H264Stream stream = vtest::MakeH264Stream(options);
  const auto samples = vtest::ToDeviceSamples(stream.accessUnits);
  const auto expected = vtest::ReferenceDecode(vtest::JoinAccessUnits(stream.accessUnits), false);
  ASSERT_FALSE(samples[0].record.empty());
  ASSERT_EQ(samples[1].units.size(), 3u);

  vtest::FeedSamplesThroughSlots({samples[0]});
  EXPECT_TRUE(snapshots_.pictures.empty());
  int32_t nWidth = 0;
  int32_t nHeight = 0;
  std::vector<uint8_t> vecCopy;
  EXPECT_FALSE(CopyLatestFrame(g_FrameStore, vecCopy, nWidth, nHeight));

  const auto& units = samples[1].units;
  g_Callbacks.onVideoNalUnit(nullptr, units[0].data(), static_cast<int32_t>(units[0].size()));
  ASSERT_EQ(snapshots_.pictures.size(), 1u);
  for (size_t i = 1; i < units.size(); ++i) {
    g_Callbacks.onVideoNalUnit(nullptr, units[i].data(), static_cast<int32_t>(units[i].size()));
  }
  EXPECT_EQ(snapshots_.pictures.size(), 1u);
  const auto& next = samples[2].units;
  g_Callbacks.onVideoNalUnit(nullptr, next[0].data(), static_cast<int32_t>(next[0].size()));
  ASSERT_EQ(snapshots_.pictures.size(), 2u);
  vtest::ExpectSamePictures(snapshots_.pictures, {expected[0], expected[1]});
}

// Without a notifier (no window) pictures are still stored.
TEST_F(StreamDecode, PicturesAreStoredWithoutNotifier) {
  vtest::RemoveNotifier();
  H264Options options;
  options.nWidth = 96;
  options.nHeight = 64;
  options.nFrames = 3;
  const vtest::H264Stream stream = vtest::MakeH264Stream(options);
  const auto expected = vtest::ReferenceDecode(vtest::JoinAccessUnits(stream.accessUnits), false);
  vtest::FeedSamplesThroughSlots(vtest::ToDeviceSamples(stream.accessUnits));
  vtest::ReferencePicture latest;
  ASSERT_TRUE(CopyLatestFrame(g_FrameStore, latest.bgra, latest.nWidth, latest.nHeight));
  vtest::ExpectSamePictures({latest}, {expected.back()});
  EXPECT_TRUE(snapshots_.pictures.empty());
}

}  // namespace

// A picture above the size limit is refused, whatever the parameter sets say;
// the stream that follows (its parameter sets arrive in the same call that
// completes the last refused picture) still decodes.
TEST_F(StreamDecode, PicturesAboveTheSizeLimitAreRefused) {
  H264Options options;
  options.nWidth = 5120;
  options.nHeight = 5120;
  options.nFrames = 3;
  options.profile = H264Profile::Baseline;
  vtest::FeedSamplesThroughSlots(
      vtest::ToDeviceSamples(vtest::MakeH264Stream(options).accessUnits));
  EXPECT_TRUE(snapshots_.pictures.empty());

  options.nWidth = 4096;
  options.nHeight = 4096;
  vtest::FeedSamplesThroughSlots(
      vtest::ToDeviceSamples(vtest::MakeH264Stream(options).accessUnits));
  ASSERT_FALSE(snapshots_.pictures.empty());
  EXPECT_EQ(snapshots_.pictures.back().nWidth, 4096);
}
