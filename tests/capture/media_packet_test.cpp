#include "capture/media_packet.h"

#include <gtest/gtest.h>

#include "capture/fourcc.h"
#include "capture_test_util.h"
#include "device/capture_session.h"
#include "log/log.h"
#include "platform/clock.h"
#include "recording_callbacks.h"

using captest::Bytes;
using captest::Hex;
using captest::Item;
using captest::Sbuf;

namespace {

const Bytes kSps = {0x67, 0x64, 0x00, 0x1F, 0xAC, 0xD9, 0x40, 0x50};
const Bytes kPps = {0x68, 0xEB, 0xE3, 0xCB};

class MediaPacket : public ::testing::Test {
 protected:
  void SetUp() override { UseVirtualClock(50000); }
  void TearDown() override { UseRealClock(); }

  // Handles the packet; true when it was reported unusable.
  bool Receive(const Bytes& packet, uint32_t nMediaKind) {
    bool bError = false;
    ReceiveAsynPacket(session, packet, nMediaKind, &bError);
    return bError;
  }
  bool Feed(const Bytes& sampleBuffer) {
    vecFeed = captest::AsynPacket("feed", sampleBuffer);
    return Receive(vecFeed, kMediaVide);
  }
  bool Eat(const Bytes& sampleBuffer) {
    return Receive(captest::AsynPacket("eat!", sampleBuffer), kMediaSoun);
  }

  CaptureSession session;
  captest::CallbackRecord record;
  captest::ScopedRecordingCallbacks callbacks{session, record};
  Bytes vecFeed;  // the last feed, alive for the in-place checks
};

}  // namespace

TEST_F(MediaPacket, VideoBufferDeliversRecordThenUnitsInPlace) {
  const Bytes recordBytes = captest::ConfigRecord(kSps, kPps);
  const std::vector<Bytes> units = {Hex("06 05 01"), Hex("65 88 84 00 10"), Hex("65 88 80")};
  EXPECT_FALSE(
      Feed(Sbuf({captest::Opts(1, 60), captest::VideoFdsc(recordBytes), captest::Sdat(units)})));

  EXPECT_EQ(record.vecLines,
            (std::vector<std::string>{"CMSampleBuf.HasFormatDescription == true",
                                      "CMSampleBuf.FormatDescription.SPS_and_PPS.size() == 27",
                                      "CMSampleBuf.FormatDescription.SPS_and_PPS : "
                                      "0164001FFFE100086764001FACD9405001000468EBE3CBFDF8F800\n",
                                      "send SPS_and_PPS bFirstProcessVideo == [1]"}));
  ASSERT_EQ(record.vecDeliveries.size(), 5u);
  EXPECT_EQ(record.vecDeliveries[0].szSlot, "start");
  EXPECT_EQ(record.vecDeliveries[1].szSlot, "params");
  EXPECT_EQ(record.vecDeliveries[1].vecBytes, recordBytes);
  // Each unit from its length prefix, pointing into the packet itself.
  const uint8_t* pExpected = vecFeed.data() + vecFeed.size() - (3 + 4) - (5 + 4) - (3 + 4);
  for (size_t i = 0; i < units.size(); ++i) {
    const captest::Delivery& nal = record.vecDeliveries[2 + i];
    EXPECT_EQ(nal.szSlot, "nal");
    EXPECT_EQ(nal.vecBytes, captest::LengthPrefixed(units[i]));
    EXPECT_EQ(nal.pData, pExpected);
    pExpected += nal.vecBytes.size();
  }
  EXPECT_EQ(session.nVideoHeadSet, 1);
}

TEST_F(MediaPacket, VideoUnitsWaitForTheFirstDescription) {
  const Bytes sdat = captest::Sdat({Hex("65 01")});
  EXPECT_TRUE(Feed(Sbuf({sdat})));
  EXPECT_EQ(record.vecLines, std::vector<std::string>{"error : not set video head"});
  EXPECT_TRUE(record.Of("nal").empty());

  EXPECT_FALSE(Feed(Sbuf({captest::VideoFdsc(captest::ConfigRecord(kSps, kPps)), sdat})));
  EXPECT_FALSE(Feed(Sbuf({sdat})));
  EXPECT_EQ(record.Of("nal").size(), 2u);
  EXPECT_EQ(record.Of("start").size(), 1u);
}

TEST_F(MediaPacket, EmptySampleDataLogsTheWholeBufferWithoutError) {
  const Bytes sampleBuffer = Sbuf({captest::Opts(5, 600)});
  EXPECT_FALSE(Feed(sampleBuffer));
  ASSERT_EQ(record.vecLines.size(), 1u);
  std::string szHex;
  for (uint8_t by : sampleBuffer) {
    char szByte[3];
    snprintf(szByte, sizeof szByte, "%02X", by);
    szHex += szByte;
  }
  EXPECT_EQ(record.vecLines[0],
            "warning CMSampleBuf.SampleData  empty!!  vecCMSampleBuffer : " + szHex + "\n");
}

TEST_F(MediaPacket, LongDumpsAreCutToKeepTheLineWhole) {
  const Bytes big = Sbuf({Item("satt", Bytes(3000, 0xAB))});
  EXPECT_FALSE(Feed(big));
  ASSERT_EQ(record.vecLines.size(), 1u);
  const std::string& szLine = record.vecLines[0];
  EXPECT_LE(szLine.size(), static_cast<size_t>(kLogLineCapacity - 1));
  EXPECT_GT(szLine.size(), static_cast<size_t>(kLogLineCapacity - 4));
  EXPECT_EQ(szLine.back(), '\n');
  EXPECT_EQ(szLine.find("ABABAB\n"), szLine.size() - 7);
}

TEST_F(MediaPacket, DescriptionWithoutRecordIsLoggedButNotHandedOver) {
  Bytes fdsc = captest::VideoFdsc(captest::ConfigRecord(kSps, kPps));
  fdsc[72] = 'X';  // spoils the datv tag inside the extensions
  EXPECT_FALSE(Feed(Sbuf({fdsc, captest::Sdat({Hex("65 01")})})));
  EXPECT_TRUE(record.HasLine("CMSampleBuf.FormatDescription.SPS_and_PPS.size() == 0"));
  EXPECT_TRUE(record.HasLine("CMSampleBuf.FormatDescription.SPS_and_PPS : \n"));
  EXPECT_TRUE(record.Of("params").empty());
  EXPECT_EQ(record.Of("nal").size(), 1u);
}

TEST_F(MediaPacket, UnitRunningPastTheDataEndsTheWalkQuietly) {
  session.nVideoHeadSet = 1;
  Bytes sdatPayload = captest::LengthPrefixed(Hex("65 01"));
  const Bytes tail = Hex("00 00 00 09 41 02");  // claims 9 bytes, has 2
  sdatPayload.insert(sdatPayload.end(), tail.begin(), tail.end());
  EXPECT_FALSE(Feed(Sbuf({Item("sdat", sdatPayload)})));
  ASSERT_EQ(record.Of("nal").size(), 1u);
  EXPECT_EQ(record.Of("nal")[0].vecBytes, Hex("00 00 00 02 65 01"));

  record.vecDeliveries.clear();
  EXPECT_FALSE(Feed(Sbuf({Item("sdat", Hex("ff ff ff ff 65"))})));
  EXPECT_FALSE(Feed(Sbuf({Item("sdat", Hex("00 00 00"))})));
  EXPECT_TRUE(record.Of("nal").empty());
}

TEST_F(MediaPacket, UnusableBufferIsReportedAndNothingIsDelivered) {
  session.nVideoHeadSet = 1;
  EXPECT_TRUE(Feed(Sbuf({captest::Sdat({Hex("65 01")}), Item("what", Hex("00"))})));
  EXPECT_TRUE(record.vecLines.empty());
  EXPECT_TRUE(record.Of("nal").empty());
}

TEST_F(MediaPacket, PacketShorterThanItsHeaderHoldsAnEmptyBuffer) {
  const Bytes stub = Hex("0c 00 00 00 6e 79 73 61 00 00 00 00");
  EXPECT_FALSE(Receive(stub, kMediaVide));
  EXPECT_EQ(
      record.vecLines,
      std::vector<std::string>{"warning CMSampleBuf.SampleData  empty!!  vecCMSampleBuffer : \n"});
  EXPECT_FALSE(Receive(Bytes{}, kMediaVide));
}

TEST_F(MediaPacket, StreamStartIsCalledOncePerAttemptBeforeParsing) {
  EXPECT_TRUE(Feed(Sbuf({Item("what", Hex("00"))})));
  EXPECT_FALSE(Feed(Sbuf({})));
  EXPECT_EQ(record.Of("start").size(), 1u);
  EXPECT_EQ(record.vecDeliveries.front().szSlot, "start");
  session.bFirstAsynNotified = false;  // as the next attempt's reset leaves it
  Eat(Sbuf({}));
  EXPECT_EQ(record.Of("start").size(), 2u);
}

TEST_F(MediaPacket, AudioFormatThenDataAndTimingMarks) {
  session.qwLocalClockStart = ClockTicks() - 100;
  EXPECT_FALSE(Eat(Sbuf({captest::Opts(0, 48000), captest::AudioFdsc(16, 2, 48000.0),
                         Item("sdat", Hex("01 02 03 04"))})));
  EXPECT_EQ(record.vecLines, std::vector<std::string>{"AudioFormat[16][2][48000.00]"});
  ASSERT_EQ(record.Of("format").size(), 1u);
  EXPECT_EQ(record.Of("format")[0].vecNumbers, (std::vector<int64_t>{16, 2, 48000, 1}));
  ASSERT_EQ(record.Of("audio").size(), 1u);
  EXPECT_EQ(record.Of("audio")[0].vecBytes, Hex("01 02 03 04"));

  AdvanceVirtualClock(996);
  EXPECT_FALSE(Eat(Sbuf({captest::Opts(48000, 48000), Item("sdat", Hex("05"))})));
  EXPECT_TRUE(session.bAudioClockStarted);
  EXPECT_EQ(session.qwFirstAudioPts, 0u);
  EXPECT_EQ(session.qwFirstAudioLocal, 100u);
  EXPECT_EQ(session.qwLastAudioPts, 1000u);
  EXPECT_EQ(session.qwLastAudioLocal, 1096u);

  // Without a time scale there is no time: the marks stay.
  AdvanceVirtualClock(500);
  EXPECT_FALSE(Eat(Sbuf({Item("sdat", Hex("06"))})));
  EXPECT_EQ(session.qwLastAudioPts, 1000u);
  EXPECT_EQ(session.qwLastAudioLocal, 1096u);
  EXPECT_EQ(record.Of("audio").size(), 3u);
}

TEST_F(MediaPacket, AudioBeforeItsFormatIsAnErrorYetTimed) {
  session.qwLocalClockStart = ClockTicks() - 7;
  EXPECT_TRUE(Eat(Sbuf({captest::Opts(600, 600), Item("sdat", Hex("01"))})));
  EXPECT_EQ(record.vecLines, std::vector<std::string>{"warning : not set audio head"});
  EXPECT_TRUE(record.Of("audio").empty());
  EXPECT_TRUE(session.bAudioClockStarted);
  EXPECT_EQ(session.qwFirstAudioPts, 1000u);
  EXPECT_EQ(session.qwFirstAudioLocal, 7u);
}

TEST_F(MediaPacket, UnrepresentableSampleRateIsClampedNotConverted) {
  EXPECT_FALSE(Eat(Sbuf({captest::AudioFdsc(16, 2, 1e300)})));
  EXPECT_FALSE(Eat(Sbuf({captest::AudioFdsc(16, 2, -1e300)})));
  EXPECT_FALSE(Eat(Sbuf({captest::AudioFdsc(16, 2, 44100.9)})));
  const auto formats = record.Of("format");
  ASSERT_EQ(formats.size(), 3u);
  EXPECT_EQ(formats[0].vecNumbers[2], INT32_MAX);
  EXPECT_EQ(formats[1].vecNumbers[2], INT32_MIN);
  EXPECT_EQ(formats[2].vecNumbers[2], 44100);
}
