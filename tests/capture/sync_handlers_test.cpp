#include "capture/sync_handlers.h"

#include <gtest/gtest.h>

#include "capture/announcements.h"
#include "capture_test_util.h"
#include "platform/clock.h"
#include "recording_callbacks.h"
#include "sim_connection.h"

using captest::Bytes;
using captest::Hex;
using captest::Join;

namespace {

class SyncReply : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(connection.bConnected); }

  // The reply header for correlation id c: length, rply, c, 0.
  static Bytes ReplyHeader(uint32_t nLength, uint64_t qwCorrelationId) {
    Bytes header;
    captest::PutLe32(header, nLength);
    captest::PutLe32(header, captest::Code("rply"));
    captest::PutLe64(header, qwCorrelationId);
    captest::PutLe32(header, 0);
    return header;
  }

  static Bytes Le64(uint64_t qwValue) {
    Bytes bytes;
    captest::PutLe64(bytes, qwValue);
    return bytes;
  }

  void SetAudioMarks(uint64_t qwFirstPts, uint64_t qwFirstLocal, uint64_t qwLastPts,
                     uint64_t qwLastLocal) {
    session.bAudioClockStarted = true;
    session.qwFirstAudioPts = qwFirstPts;
    session.qwFirstAudioLocal = qwFirstLocal;
    session.qwLastAudioPts = qwLastPts;
    session.qwLastAudioLocal = qwLastLocal;
  }

  double SkewReply() {
    const size_t nBefore = connection.Writes().size();
    HandleSKEW(session, captest::SyncPacket("skew", 0, 9, 0));
    const std::vector<Bytes> vecWrites = connection.Writes();
    EXPECT_EQ(vecWrites.size(), nBefore + 1);
    EXPECT_EQ(vecWrites.back().size(), 28u);
    return captest::GetLeF64(vecWrites.back(), 20);
  }

  captest::SimConnection connection;
  CaptureSession& session = connection.Session();
  captest::CallbackRecord record;
  captest::ScopedRecordingCallbacks callbacks{session, record};
};

const uint64_t kCorrelation = 0x1122334455667788;

}  // namespace

TEST_F(SyncReply, CwpaAnnouncesDisplayTwiceRepliesThenAnnouncesAudio) {
  AdvanceVirtualClock(1234);
  HandleCWPA(session, captest::SyncPacket("cwpa", 1, kCorrelation, 5));
  const std::vector<Bytes> vecWrites = connection.Writes();
  ASSERT_EQ(vecWrites.size(), 4u);
  EXPECT_EQ(vecWrites[0], BuildHPD1Packet());
  EXPECT_EQ(vecWrites[1], BuildHPD1Packet());
  EXPECT_EQ(vecWrites[2], Join({ReplyHeader(28, kCorrelation), Hex("ed 03 00 00 00 00 00 00")}));
  EXPECT_EQ(vecWrites[3], BuildHPA1Packet(5));
  EXPECT_EQ(captest::GetLe64(vecWrites[3], 8), 5u);
  EXPECT_EQ(session.qwLocalClockStart, ClockTicks());
  EXPECT_EQ(record.vecLines,
            (std::vector<std::string>{
                "RECV : SYNC_CWPA {ClockRef:0x0000000000000001, "
                "CorrelationID:0x1122334455667788, DeviceClockRef:0x0000000000000005}",
                "SendHPD1 Valeria[1] w[2160] h[3840]", "SendHPA1"}));

  // Every request repeats the whole sequence.
  HandleCWPA(session, captest::SyncPacket("cwpa", 1, kCorrelation, 5));
  EXPECT_EQ(connection.Writes().size(), 8u);
}

TEST_F(SyncReply, CwpaWithAnotherClockRefWarnsAndGoesOn) {
  HandleCWPA(session, captest::SyncPacket("cwpa", 0, kCorrelation, 5));
  ASSERT_FALSE(record.vecLines.empty());
  EXPECT_EQ(record.vecLines[0],
            "warning CWPA packet should have empty CFTypeID for ClockRef but "
            "has:0x0000000000000000\n");
  EXPECT_EQ(connection.Writes().size(), 4u);
}

TEST_F(SyncReply, CvrpSendsTheNeedBeforeItsReplyAndKeepsIt) {
  HandleCVRP(session, captest::SyncPacket("cvrp", 0, kCorrelation, 0x10));
  const Bytes need = Hex("14 00 00 00 6e 79 73 61 10 00 00 00 00 00 00 00 64 65 65 6e");
  EXPECT_EQ(connection.Writes(),
            (std::vector<Bytes>{need, Join({ReplyHeader(28, kCorrelation), Le64(0x1000BF)})}));
  EXPECT_EQ(session.vecNeedPacket, need);
  EXPECT_EQ(session.qwNeedClockRef, 0x10u);
  EXPECT_EQ(record.vecLines,
            (std::vector<std::string>{"Send NEED 0x0000000000000010",
                                      "Send CVRP-RPLY {correlation:0x1122334455667788, "
                                      "clockRef:0x00000000001000bf}"}));
}

TEST_F(SyncReply, ClokRestartsTheClockThatTimeCountsFrom) {
  HandleCLOK(session, captest::SyncPacket("clok", 0x1234, kCorrelation, 0));
  AdvanceVirtualClock(250);
  HandleTIME(session, captest::SyncPacket("time", 0x99, 7, 0));
  const std::vector<Bytes> vecWrites = connection.Writes();
  ASSERT_EQ(vecWrites.size(), 2u);
  EXPECT_EQ(vecWrites[0], Join({ReplyHeader(28, kCorrelation), Le64(0x11234)}));
  EXPECT_EQ(vecWrites[1], Join({ReplyHeader(44, 7), Le64(250),
                                Hex("e8 03 00 00 01 00 00 00 00 00 00 00 00 00 00 00")}));
  EXPECT_EQ(record.vecLines,
            (std::vector<std::string>{
                "RECV : SYNC_CLOK : {ClockRef:0x0000000000001234, "
                "CorrelationID:0x1122334455667788}",
                "Send SYNC_CLOK {correlation:0x1122334455667788, clockRef:0x0000000000011234}",
                "RECV : SYNC_TIME : {ClockRef:0x0000000000000099, "
                "CorrelationID:0x0000000000000007}",
                "Send TIME-REPLY {CorrelationID:0x0000000000000007, qwID: 4660, time:250}"}));
}

TEST_F(SyncReply, AfmtOgAndStopGetTheirFixedReplies) {
  HandleAFMT(session, captest::SyncPacket("afmt", 3, kCorrelation, 0xFFFF));
  HandleOG(session, captest::SyncPacket("go! ", 3, 8, 0));
  SetAudioMarks(1, 2, 3, 4);
  HandleSTOP(session, captest::SyncPacket("stop", 3, 9, 0));
  const Bytes error =
      Hex("2a 00 00 00 74 63 69 64 22 00 00 00 76 79 65 6b 0d 00 00 00 6b 72 74 73 45 72 72 6f 72"
          "0d 00 00 00 76 62 6d 6e 03 00 00 00 00");
  EXPECT_EQ(connection.Writes(),
            (std::vector<Bytes>{Join({ReplyHeader(62, kCorrelation), error}),
                                Join({ReplyHeader(24, 8), Hex("00 00 00 00")}),
                                Join({ReplyHeader(24, 9), Hex("00 00 00 00")})}));
  EXPECT_FALSE(session.bAudioClockStarted);
  EXPECT_EQ(session.qwFirstAudioPts + session.qwFirstAudioLocal + session.qwLastAudioPts +
                session.qwLastAudioLocal,
            0u);
  EXPECT_EQ(record.vecLines,
            (std::vector<std::string>{
                "RECV : SYNC_AFMT : {ClockRef:0x0000000000000003, "
                "CorrelationID:0x1122334455667788}",
                "RECV : SYNC_OG : {ClockRef:0x0000000000000003, CorrelationID:0x0000000000000008}",
                "RECV : SYNC_STOP : {ClockRef:0x0000000000000003, "
                "CorrelationID:0x0000000000000009}"}));
}

TEST_F(SyncReply, SkewComparesHostAndDeviceAudioTime) {
  SetAudioMarks(0, 100, 1000, 1096);  // A = 996, B = 1000
  EXPECT_DOUBLE_EQ(SkewReply(), 48000.0 + 4.0 / 48.0);
  SetAudioMarks(0, 100, 1000, 1104);  // A = 1004
  EXPECT_DOUBLE_EQ(SkewReply(), 48000.0 - 4.0 / 48.0);
  SetAudioMarks(0, 100, 1000, 1100);
  EXPECT_EQ(connection.Writes().size(), 2u);
  HandleSKEW(session, captest::SyncPacket("skew", 0, 9, 0));
  EXPECT_EQ(connection.Writes().back(), Join({ReplyHeader(28, 9), Hex("00 00 00 00 00 70 e7 40")}));
  // Differences wrap as unsigned 64-bit numbers.
  SetAudioMarks(10, 0, 0, 0);  // B = 2^64 - 10
  EXPECT_DOUBLE_EQ(SkewReply(), 48000.0 + 18446744073709551606.0 / 48.0);
  EXPECT_TRUE(record.vecLines.empty());
}

TEST_F(SyncReply, StopThenSkewIsNominal) {
  SetAudioMarks(0, 100, 1000, 1096);
  HandleSTOP(session, captest::SyncPacket("stop", 0, 1, 0));
  EXPECT_EQ(SkewReply(), 48000.0);
}

TEST_F(SyncReply, ShortRequestsAreNotAnswered) {
  const Bytes cwpa = captest::SyncPacket("cwpa", 1, 2, 3);
  const Bytes clok = captest::SyncPacket("clok", 1, 2, 3);
  const std::span<const uint8_t> shortCwpa(cwpa.data(), 35);
  const std::span<const uint8_t> shortClok(clok.data(), 27);
  HandleCWPA(session, shortCwpa);
  HandleCVRP(session, shortCwpa);
  for (auto handler : {HandleAFMT, HandleCLOK, HandleTIME, HandleOG, HandleSKEW, HandleSTOP}) {
    handler(session, shortClok);
  }
  EXPECT_TRUE(connection.Writes().empty());
  EXPECT_TRUE(record.vecLines.empty());
  EXPECT_TRUE(session.vecNeedPacket.empty());
  // At exactly the fields' size they are.
  HandleCLOK(session, std::span<const uint8_t>(clok.data(), 28));
  HandleCVRP(session, cwpa);
  EXPECT_EQ(connection.Writes().size(), 3u);
}
