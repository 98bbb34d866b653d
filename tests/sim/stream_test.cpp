// Streams as the phone takes them apart: access units, parameter sets, sizes
// and rates, over the pictures FFmpeg's x264 encoder makes.
#include <gtest/gtest.h>

#include "protocol_fixture.h"
#include "sps.h"
#include "video_source.h"

namespace {

using simtest::Bytes;
using simtest::Child;
using simtest::Code;
using simtest::SimProtocol;
using simtest::U32;

vsim::VideoSource SourceOf(const vtest::H264Stream& stream) {
  vsim::VideoSource source;
  std::string szError;
  const Bytes annexB = vtest::JoinAccessUnits(stream.accessUnits);
  EXPECT_TRUE(vsim::MakeVideoSource(annexB, source, szError)) << szError;
  return source;
}

TEST(SimStream, MultiSlicePicturesStayWholeAndUnitsAreLengthPrefixed) {
  vtest::QuietFfmpegLogs();
  vtest::H264Options options;
  options.nFrames = 6;
  options.nSlices = 3;
  options.nFps = 25;
  const vtest::H264Stream stream = vtest::MakeH264Stream(options);
  const vsim::VideoSource source = SourceOf(stream);
  const auto samples = vtest::ToDeviceSamples(stream.accessUnits);
  ASSERT_EQ(source.units.size(), samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(source.units[i].vecData, simtest::Concatenated(samples[i].units)) << i;
    EXPECT_EQ(source.units[i].sizes.size(), samples[i].units.size()) << i;
    EXPECT_EQ(source.units[i].nParamSet, 0);
  }
  ASSERT_EQ(source.paramSets.size(), 1u);
  EXPECT_EQ(source.paramSets[0].vecRecord, samples[0].record);
  EXPECT_DOUBLE_EQ(source.dFrameMs, 40.0);
}

TEST(SimStream, CroppedPortraitSizeAndBaselineRecordWithoutHighBytes) {
  vtest::H264Options options;
  options.nWidth = 1170;
  options.nHeight = 2532;
  options.nFrames = 1;
  options.profile = vtest::H264Profile::Baseline;
  const vtest::H264Stream stream = vtest::MakeH264Stream(options);
  const vsim::VideoSource source = SourceOf(stream);
  ASSERT_EQ(source.paramSets.size(), 1u);
  EXPECT_EQ(source.paramSets[0].nWidth, 1170u);
  EXPECT_EQ(source.paramSets[0].nHeight, 2532u);

  std::vector<Bytes> sps, pps;
  for (const Bytes& unit : vtest::SplitAnnexB(stream.accessUnits[0])) {
    if (vtest::NalType(unit) == 7) sps.push_back(unit);
    if (vtest::NalType(unit) == 8) pps.push_back(unit);
  }
  ASSERT_EQ(sps.size(), 1u);
  ASSERT_EQ(pps.size(), 1u);
  EXPECT_EQ(source.paramSets[0].vecRecord, vtest::MakeAvcConfigRecord(sps[0], pps[0], false));
}

TEST(SimStream, StreamsWithoutUsablePicturesAreRefused) {
  vsim::VideoSource source;
  std::string szError;
  EXPECT_FALSE(vsim::MakeVideoSource(Bytes{1, 2, 3, 4, 5}, source, szError));
  EXPECT_FALSE(szError.empty());
  // A slice with no parameter sets before it.
  EXPECT_FALSE(vsim::MakeVideoSource(Bytes{0, 0, 0, 1, 0x65, 0x88, 0x84, 0x00}, source, szError));
  // A cut-off SPS does not parse.
  vsim::SpsInfo info;
  EXPECT_FALSE(vsim::ParseSps(Bytes{0x67, 0x64, 0x00, 0x1f}, info));
  EXPECT_FALSE(vsim::ParseSps(Bytes{0x68, 0xee, 0x3c, 0x80}, info));
}

TEST_F(SimProtocol, SizeChangeMidStreamSendsTheNewFormatDescription) {
  vtest::H264Options options;
  options.nFrames = 3;
  options.nSecondWidth = 160;
  options.nSecondHeight = 128;
  options.nSecondFrames = 3;
  options.nFps = 30;
  const vtest::H264Stream stream = vtest::MakeH264Stream(options);
  Connect(simtest::With([](vsim::DeviceConfig& c) { c.bFast = true; }), stream);
  RunUntilPictures(6);
  const std::vector<Bytes> feeds = Feeds();
  ASSERT_EQ(feeds.size(), 6u);
  for (size_t i = 0; i < feeds.size(); ++i) {
    const Bytes fdsc = Child(feeds[i], Code("fdsc"));
    EXPECT_EQ(!fdsc.empty(), i == 0 || i == 3) << i;
  }
  const Bytes second = Child(feeds[3], Code("fdsc"));
  EXPECT_EQ(U32(second, 20), 160u);
  EXPECT_EQ(U32(second, 24), 128u);
  EXPECT_NE(simtest::RecordIn(second), simtest::RecordIn(Child(feeds[0], Code("fdsc"))));
  EXPECT_EQ(vsim::ProtocolErrors(), std::vector<std::string>{});
}

}  // namespace
