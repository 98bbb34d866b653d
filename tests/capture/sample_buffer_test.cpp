#include "capture/sample_buffer.h"

#include <gtest/gtest.h>

#include "capture/hex_string.h"
#include "capture_test_util.h"

using captest::Bytes;
using captest::Hex;
using captest::Item;
using captest::Join;
using captest::Sbuf;

namespace {

Bytes Sps(size_t nSize) {
  Bytes sps(nSize, 0x5A);
  sps[0] = 0x67;
  sps[1] = 0x64;
  return sps;
}

const Bytes kPps = {0x68, 0xEE, 0x3C, 0x80};

struct Parsed {
  CMSampleBuf sampleBuf;
  bool bError = false;
};

// The record holds views into the input: it lives beside it.
Parsed Parse(const Bytes& input) {
  Parsed parsed;
  ParseSampleBuffer(input, parsed.sampleBuf, parsed.bError);
  return parsed;
}

Bytes AsBytes(std::span<const uint8_t> view) {
  return Bytes(view.begin(), view.end());
}

}  // namespace

TEST(ParseSampleBuffer, VideoBufferGivesTimeDescriptionRecordAndSamples) {
  const Bytes record = captest::ConfigRecord(Sps(25), kPps);
  Bytes sizes;
  captest::PutLe32(sizes, 7);
  captest::PutLe32(sizes, 9);
  const Bytes input =
      Sbuf({captest::Opts(3003, 600), captest::VideoFdsc(record, 1170, 2532),
            Item("nsmp", Hex("01 00 00 00")), Item("ssiz", sizes), Item("stia", Bytes(72, 0)),
            Item("satt", Hex("aa")), Item("sary", Hex("bb cc")), captest::Sdat({Hex("65 01 02")})});
  const Parsed parsed = Parse(input);
  const CMSampleBuf& buf = parsed.sampleBuf;
  EXPECT_FALSE(parsed.bError);
  EXPECT_EQ(buf.PresentationTime.i64Value, 3003);
  EXPECT_EQ(buf.PresentationTime.nTimeScale, 600u);
  ASSERT_TRUE(buf.HasFormatDescription);
  EXPECT_EQ(buf.FormatDescription.MediaType, captest::Code("vide"));
  EXPECT_EQ(buf.FormatDescription.VideoWidth, 1170u);
  EXPECT_EQ(buf.FormatDescription.VideoHeight, 2532u);
  EXPECT_EQ(buf.FormatDescription.CodecType, captest::Code("avc1"));
  // 25-byte SPS, 4-byte PPS: 15 + 25 + 4 bytes from the version byte.
  EXPECT_EQ(AsBytes(buf.FormatDescription.SPS_and_PPS), record);
  EXPECT_EQ(buf.FormatDescription.SPS_and_PPS.size(), 44u);
  EXPECT_EQ(AsBytes(buf.FormatDescription.SPS), Sps(25));
  EXPECT_EQ(AsBytes(buf.FormatDescription.PPS), kPps);
  EXPECT_EQ(buf.NumSamples, 1u);
  EXPECT_EQ(buf.SampleSizes, (std::vector<uint32_t>{7, 9}));
  EXPECT_EQ(buf.SampleTimingInfo.size(), 72u);
  EXPECT_EQ(AsBytes(buf.SattBytes), Hex("aa"));
  EXPECT_EQ(AsBytes(buf.SaryBytes), Hex("bb cc"));
  EXPECT_EQ(AsBytes(buf.SampleData), Hex("00 00 00 03 65 01 02"));
}

TEST(ParseSampleBuffer, AudioDescriptionIsCopiedAndLaterItemsReplaceEarlierOnes) {
  const Bytes input = Sbuf(
      {captest::AudioFdsc(16, 2, 48000.0), Item("sdat", Hex("01")), Item("sdat", Hex("02 03"))});
  const Parsed parsed = Parse(input);
  EXPECT_FALSE(parsed.bError);
  EXPECT_EQ(parsed.sampleBuf.FormatDescription.MediaType, captest::Code("soun"));
  EXPECT_EQ(AudioBitsPerChannel(parsed.sampleBuf.FormatDescription), 16u);
  EXPECT_EQ(AudioChannelsPerFrame(parsed.sampleBuf.FormatDescription), 2u);
  EXPECT_EQ(AudioSampleRate(parsed.sampleBuf.FormatDescription), 48000.0);
  EXPECT_EQ(AsBytes(parsed.sampleBuf.SampleData), Hex("02 03"));
}

TEST(ParseSampleBuffer, InputThatIsNoSampleBufferIsEmptyWithoutError) {
  for (const Bytes& input : {Bytes{}, Hex("08 00 00 00 66 75 62"), Item("sbux", Hex("00")),
                             Join({Hex("40 00 00 00 66 75 62 73"), Item("sdat", Hex("01"))})}) {
    const Parsed parsed = Parse(input);
    EXPECT_FALSE(parsed.bError);
    EXPECT_TRUE(parsed.sampleBuf.SampleData.empty());
    EXPECT_FALSE(parsed.sampleBuf.HasFormatDescription);
  }
}

TEST(ParseSampleBuffer, WalkStopsOrSkipsAsEachChildSays) {
  // An unknown child fails the buffer; what came before it was read.
  Parsed parsed =
      Parse(Sbuf({Item("satt", Hex("01")), Item("zzzz", Hex("")), Item("sary", Hex("02"))}));
  EXPECT_TRUE(parsed.bError);
  EXPECT_EQ(parsed.sampleBuf.SattBytes.size(), 1u);
  EXPECT_TRUE(parsed.sampleBuf.SaryBytes.empty());

  // nsmp of any length but 12 ends the walk quietly.
  parsed = Parse(Sbuf({Item("nsmp", Hex("01 00 00 00 00 00 00 00")), Item("sdat", Hex("01"))}));
  EXPECT_FALSE(parsed.bError);
  EXPECT_TRUE(parsed.sampleBuf.SampleData.empty());

  // Odd-sized ssiz and stia are passed over.
  parsed =
      Parse(Sbuf({Item("ssiz", Bytes(6, 1)), Item("stia", Bytes(71, 0)), Item("sdat", Hex("01"))}));
  EXPECT_FALSE(parsed.bError);
  EXPECT_TRUE(parsed.sampleBuf.SampleSizes.empty());
  EXPECT_TRUE(parsed.sampleBuf.SampleTimingInfo.empty());
  EXPECT_EQ(parsed.sampleBuf.SampleData.size(), 1u);

  // An empty ssiz is an empty list (found by fuzzing: no copy into nothing).
  parsed = Parse(Sbuf({Item("ssiz", {}), Item("sdat", Hex("01"))}));
  EXPECT_FALSE(parsed.bError);
  EXPECT_TRUE(parsed.sampleBuf.SampleSizes.empty());

  // A child starting in the last 8 bytes is not visited, even an unknown one.
  parsed = Parse(Sbuf({Item("sdat", Hex("01")), Item("zzzz", Hex(""))}));
  EXPECT_FALSE(parsed.bError);
  EXPECT_EQ(parsed.sampleBuf.SampleData.size(), 1u);
}

TEST(ParseSampleBuffer, SizesThatDoNotFitMakeTheBufferUnusable) {
  const Bytes sdat = Item("sdat", Hex("01 02 03"));
  Bytes shortChild = Sbuf({sdat, Hex("04 00 00 00 74 61 64 73 00")});
  Bytes longChild = Sbuf({Hex("20 00 00 00 74 61 64 73 01 02 03 04 05")});
  Bytes negativeChild = Sbuf({Hex("ff ff ff ff 74 61 64 73 01 02 03 04 05")});
  Bytes shortOpts = Sbuf({Item("opts", Bytes(23, 0)), sdat});
  for (const Bytes& input : {shortChild, longChild, negativeChild, shortOpts}) {
    EXPECT_TRUE(Parse(input).bError) << HexString(input);
  }

  // A format description too short for the fields read from it.
  const Bytes video = captest::VideoFdsc(captest::ConfigRecord(Sps(8), kPps));
  for (size_t nCut : {12u, 16u, 20u, 28u, 36u, 48u, 56u, 60u}) {
    Bytes fdsc(video.begin(), video.begin() + nCut);
    captest::Bytes length;
    captest::PutLe32(length, static_cast<uint32_t>(nCut));
    std::copy(length.begin(), length.end(), fdsc.begin());
    EXPECT_TRUE(Parse(Sbuf({fdsc, sdat})).bError) << nCut;
  }

  // An audio description of more than 40 bytes.
  Bytes audio = captest::AudioFdsc(16, 2, 48000.0);
  audio.push_back(0);
  audio[0] += 1;   // fdsc length
  audio[20] += 1;  // asbd length
  EXPECT_TRUE(Parse(Sbuf({audio})).bError);
}

TEST(ParseSampleBuffer, MismatchedDescriptionTagsKeepWhatWasRead) {
  Bytes fdsc = captest::VideoFdsc(captest::ConfigRecord(Sps(8), kPps), 640, 480);
  fdsc[40] = 'X';  // the codc tag
  const Parsed parsed = Parse(Sbuf({fdsc}));
  EXPECT_FALSE(parsed.bError);
  EXPECT_TRUE(parsed.sampleBuf.HasFormatDescription);
  EXPECT_EQ(parsed.sampleBuf.FormatDescription.VideoWidth, 640u);
  EXPECT_EQ(parsed.sampleBuf.FormatDescription.CodecType, 0u);
  EXPECT_TRUE(parsed.sampleBuf.FormatDescription.SPS_and_PPS.empty());
}

TEST(ExtractParameterSets, RecordIsReadOnlyInsideTheExtensions) {
  const Bytes high = captest::ConfigRecord(Sps(25), kPps, true);
  const Bytes baseline = captest::ConfigRecord(Sps(25), kPps, false);
  auto Extract = [](const Bytes& extensions, CMSampleBuf& buf) {
    buf.FormatDescription.Extensions = extensions;
    return ExtractParameterSets(buf);
  };
  CMSampleBuf buf;
  // A record without the four High-profile bytes, ending the block.
  const Bytes endsEarly = Item("datv", baseline);
  ASSERT_TRUE(Extract(endsEarly, buf));
  EXPECT_EQ(AsBytes(buf.FormatDescription.SPS_and_PPS), baseline);

  // Within a longer block the record takes its 15 + s + q bytes.
  const Bytes followed = Join({Item("datv", high), Hex("99 99 99 99")});
  ASSERT_TRUE(Extract(followed, buf));
  EXPECT_EQ(AsBytes(buf.FormatDescription.SPS_and_PPS), high);

  // No pattern, or an SPS, PPS or length field past the block: not found.
  const Bytes none = Join({Item("strk", Hex("41 42")), Hex("00 00 00 00")});
  const Bytes spsCut = Bytes(endsEarly.begin(), endsEarly.begin() + 8 + 8 + 20);
  const Bytes ppsLengthCut = Bytes(endsEarly.begin(), endsEarly.begin() + 8 + 8 + 25 + 2);
  const Bytes ppsCut = Bytes(endsEarly.begin(), endsEarly.end() - 1);
  for (const Bytes& extensions : {none, spsCut, ppsLengthCut, ppsCut, Bytes{}}) {
    EXPECT_FALSE(Extract(extensions, buf)) << HexString(extensions);
    EXPECT_TRUE(buf.FormatDescription.SPS_and_PPS.empty());
    EXPECT_TRUE(buf.FormatDescription.SPS.empty());
    EXPECT_TRUE(buf.FormatDescription.PPS.empty());
  }
}

TEST(HexString, UpperCaseWholeBytesWithinTheLimit) {
  EXPECT_EQ(HexString(Hex("01 ab ff")), "01ABFF");
  EXPECT_EQ(HexString({}), "");
  EXPECT_EQ(HexString(Hex("01 ab ff"), 5), "01AB");
  EXPECT_EQ(HexString(Hex("01 ab ff"), 1), "");
}
