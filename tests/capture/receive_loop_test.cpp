#include "capture/receive_loop.h"

#include <gtest/gtest.h>

#include "capture_test_util.h"
#include "log/log_texts.h"
#include "platform/clock.h"
#include "recording_callbacks.h"
#include "sim_connection.h"

using captest::Bytes;
using captest::Code;
using captest::Hex;
using captest::Item;
using captest::Join;

namespace {

const Bytes kPing = Hex("10 00 00 00 67 6e 69 70 00 00 00 00 01 00 00 00");

class Receive : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(connection.bConnected);
    captest::InstallReadCounter(session, reads);
  }

  void Queue(const Bytes& transfer) { vsim::QueueTransfer(connection.nDevice, transfer); }

  // Runs the loop over what was queued; an unplug ends it.
  void RunLoopToUnplug() {
    vsim::QueueUnplug(connection.nDevice);
    EXPECT_TRUE(ReceiveLoop(session));
  }

  // The log without the name lookup's line, which comes first.
  std::vector<std::string> LinesAfterName() const {
    if (record.vecLines.empty()) return {};
    return {record.vecLines.begin() + 1, record.vecLines.end()};
  }

  captest::SimConnection connection;
  CaptureSession& session = connection.Session();
  captest::CallbackRecord record;
  captest::ScopedRecordingCallbacks callbacks{session, record};
  captest::ReadCounter reads;
  std::vector<uint8_t> vecPacket;
};

std::string DisconnectedLine(int nResult) {
  char szLine[64];
  snprintf(szLine, sizeof szLine, kLogDeviceDisconnected, nResult);
  return szLine;
}

}  // namespace

TEST_F(Receive, PacketsOfOneTransferComeOutOneByOneFromOneRead) {
  const Bytes first = kPing;
  const Bytes second = captest::SyncPacket("clok", 1, 2, 3);
  const Bytes third = captest::AsynPacket("need", {});
  const Bytes transfer = Join({first, second, third});
  Queue(transfer);

  EXPECT_EQ(ReceivePacket(session, vecPacket), static_cast<int32_t>(transfer.size()));
  EXPECT_EQ(vecPacket, first);
  EXPECT_EQ(ReceivePacket(session, vecPacket), 36);
  EXPECT_EQ(vecPacket, second);
  EXPECT_EQ(ReceivePacket(session, vecPacket), 20);
  EXPECT_EQ(vecPacket, third);
  EXPECT_EQ(reads.nReads, 1);
  EXPECT_EQ(session.nPendingOffset, 0u);
  EXPECT_EQ(session.nPendingLength, 0u);

  EXPECT_EQ(ReceivePacket(session, vecPacket), kUsbTimeoutResult);
  EXPECT_TRUE(vecPacket.empty());
  EXPECT_EQ(reads.nReads, 2);
}

TEST_F(Receive, TinyTransfersGiveNoPacket) {
  Queue(Hex("01 02 03"));
  EXPECT_EQ(ReceivePacket(session, vecPacket), 3);
  EXPECT_TRUE(vecPacket.empty());
  Queue(Hex("08 00 00 00 67 6e 69 70"));
  EXPECT_EQ(ReceivePacket(session, vecPacket), 8);
  EXPECT_EQ(vecPacket.size(), 8u);
}

TEST_F(Receive, LyingLengthsDropTheWholeTransfer) {
  const Bytes good = captest::SyncPacket("clok", 1, 2, 3);
  const std::vector<Bytes> transfers = {
      Hex("00 00 00 00 67 6e 69 70 00 00"),             // no progress
      Hex("07 00 00 00 67 6e 69 70 00 00"),             // below a header
      Hex("40 00 00 00 67 6e 69 70 00 00"),             // past the transfer
      Join({good, Hex("30 00 00 00 63 6e 79 73")}),     // second runs past
      Join({good, Hex("00 00 00 00 63 6e 79 73 00")}),  // second makes no progress
      Join({good, Hex("24 00")}),                       // a stray tail
  };
  for (const Bytes& transfer : transfers) {
    Queue(transfer);
    EXPECT_EQ(ReceivePacket(session, vecPacket), 0) << captest::GetLe32(transfer, 0);
    EXPECT_TRUE(vecPacket.empty());
    EXPECT_EQ(session.nPendingLength, 0u);
  }
  EXPECT_EQ(reads.nReads, static_cast<int>(transfers.size()));
  // Nothing of a dropped transfer comes back later.
  Queue(good);
  EXPECT_EQ(ReceivePacket(session, vecPacket), 36);
  EXPECT_EQ(vecPacket, good);
}

TEST_F(Receive, LoopLogsTheNameFirstAndEndsOnUnplugWithOneLoss) {
  RunLoopToUnplug();
  ASSERT_GE(record.vecLines.size(), 2u);
  const std::string szNamePrefix(kLogDeviceName, sizeof kLogDeviceName - 3);
  EXPECT_EQ(record.vecLines[0].rfind(szNamePrefix, 0), 0u);
  const std::string szLost = record.vecLines.back();
  EXPECT_EQ(szLost.rfind(DisconnectedLine(0).substr(0, 11) + "-", 0), 0u) << szLost;
  EXPECT_EQ(szLost.back(), ']');
  EXPECT_EQ(record.Of("lost").size(), 1u);
  EXPECT_TRUE(connection.HostEvents().empty());
}

TEST_F(Receive, PingsOfNineBytesUpAreAnsweredEightBytePacketsIgnored) {
  Queue(Hex("08 00 00 00 67 6e 69 70"));
  Queue(captest::PacketOfKind(Code("ping"), 9));
  Queue(Hex("01 02 03"));
  Queue(kPing);
  RunLoopToUnplug();
  EXPECT_EQ(connection.Writes(), (std::vector<Bytes>{kPing, kPing}));
  const std::vector<std::string> vecLines = LinesAfterName();
  ASSERT_EQ(vecLines.size(), 3u);
  EXPECT_EQ(vecLines[0], "PING received");
  EXPECT_EQ(vecLines[1], "PING received");
}

TEST_F(Receive, SilenceBringsKeepAliveUntilStopIsRequested) {
  reads.nStopAt = 2;
  EXPECT_TRUE(ReceiveLoop(session));
  EXPECT_EQ(reads.nReads, 2);
  EXPECT_EQ(LinesAfterName(), (std::vector<std::string>{"116", "116"}));
  const std::vector<vsim::Event> vecEvents = connection.HostEvents();
  ASSERT_EQ(vecEvents.size(), 4u);
  for (size_t i = 0; i < 4; i += 2) {
    const vsim::Event& control = vecEvents[i];
    EXPECT_EQ(control.kind, vsim::Event::Control);
    EXPECT_EQ(control.nRequestType, 0x40);
    EXPECT_EQ(control.nRequest, 0x40);
    EXPECT_EQ(control.nValue, 0x6400);
    EXPECT_EQ(control.nIndex, 0x6400);
    EXPECT_EQ(control.nLength, 0);
    EXPECT_EQ(vecEvents[i + 1].kind, vsim::Event::BulkWrite);
    EXPECT_EQ(vecEvents[i + 1].vecBytes, kPing);
  }
  EXPECT_TRUE(record.Of("lost").empty());
}

TEST_F(Receive, UnknownKindsAreLoggedUnknownSubTypesIgnored) {
  Queue(captest::PacketOfKind(0xDEADBEEF, 12));
  Queue(captest::PacketOfKind(Code("rply"), 28));
  Queue(captest::SyncPacket("zzzz", 1, 2, 3));
  Queue(captest::AsynPacket("need", Hex("00 00 00 00")));
  Queue(captest::AsynPacket("hpd1", {}));
  RunLoopToUnplug();
  const std::vector<std::string> vecLines = LinesAfterName();
  ASSERT_EQ(vecLines.size(), 3u);
  EXPECT_EQ(vecLines[0], "ReceiveLoop unknown magic type:(0xdeadbeef)");
  EXPECT_EQ(vecLines[1], "ReceiveLoop unknown magic type:(0x72706c79)");
  EXPECT_TRUE(connection.Writes().empty());
}

TEST_F(Receive, PacketsTooShortForTheirFieldsAreDropped) {
  Bytes cwpa = captest::SyncPacket("cwpa", 1, 2, 3);
  cwpa.resize(35);
  captest::Bytes length;
  captest::PutLe32(length, 35);
  std::copy(length.begin(), length.end(), cwpa.begin());
  Bytes clok = captest::SyncPacket("clok", 1, 2, 3);
  clok.resize(27);
  clok[0] = 27;
  Queue(cwpa);
  Queue(clok);
  Queue(Hex("13 00 00 00 6e 79 73 61 00 00 00 00 00 00 00 00 64 65 65"));  // asyn of 19
  Queue(Hex("0c 00 00 00 63 6e 79 73 00 00 00 00"));                       // sync of 12
  RunLoopToUnplug();
  EXPECT_TRUE(connection.Writes().empty());
  EXPECT_EQ(LinesAfterName().size(), 1u);
  EXPECT_EQ(reads.nReads, 5);
}

TEST_F(Receive, FeedBeforeAnyCvrpSendsNothing) {
  Queue(captest::AsynPacket("feed", captest::Sbuf({})));
  RunLoopToUnplug();
  EXPECT_TRUE(connection.Writes().empty());
  EXPECT_EQ(record.Of("start").size(), 1u);
}

TEST_F(Receive, EveryFeedGetsTheNeedAndAnUnusableEatResetsTheDevice) {
  const Bytes need = Hex("14 00 00 00 6e 79 73 61 10 00 00 00 00 00 00 00 64 65 65 6e");
  Queue(captest::SyncPacket("cvrp", 0, 0x77, 0x10));
  Queue(captest::AsynPacket("feed", captest::Sbuf({})));
  Queue(captest::AsynPacket("eat!", captest::Sbuf({Item("what", Hex("00"))})));
  Queue(captest::AsynPacket("feed", captest::Sbuf({Item("what", Hex("00"))})));
  Queue(kPing);  // never read: the loop has ended
  const uint64_t qwBefore = ClockTicks();
  EXPECT_TRUE(ReceiveLoop(session));

  const std::vector<vsim::Event> vecEvents = connection.HostEvents();
  ASSERT_EQ(vecEvents.size(), 4u);
  EXPECT_EQ(vecEvents[0].vecBytes, need);
  EXPECT_EQ(vecEvents[1].vecBytes.size(), 28u);  // the CVRP reply
  EXPECT_EQ(vecEvents[2].vecBytes, need);
  // The unusable eat! ends the connection: no NEED for it, and the feed
  // queued after it is never read.
  EXPECT_EQ(vecEvents[3].kind, vsim::Event::Reset);
  EXPECT_EQ(record.vecLines.back(), "ReceiveAsynPacket error");
  EXPECT_EQ(ClockTicks() - qwBefore, 1000u);
  EXPECT_EQ(reads.nReads, 3);
  EXPECT_TRUE(record.Of("lost").empty());
}

TEST_F(Receive, RejectedFeedIsFollowedByItsNeedThenTheReset) {
  const Bytes need = Hex("14 00 00 00 6e 79 73 61 10 00 00 00 00 00 00 00 64 65 65 6e");
  Queue(captest::SyncPacket("cvrp", 0, 0x77, 0x10));
  Queue(captest::AsynPacket("feed", captest::Sbuf({captest::Sdat({Hex("65")})})));
  EXPECT_TRUE(ReceiveLoop(session));
  const std::vector<vsim::Event> vecEvents = connection.HostEvents();
  ASSERT_EQ(vecEvents.size(), 4u);
  EXPECT_EQ(vecEvents[2].vecBytes, need);
  EXPECT_EQ(vecEvents[3].kind, vsim::Event::Reset);
  EXPECT_TRUE(record.HasLine("error : not set video head"));
}

TEST_F(Receive, UnknownRunStateIsLoggedAndEndsTheLoopWithoutReading) {
  session.nRunState.store(7);
  EXPECT_TRUE(ReceiveLoop(session));
  char szLine[128];
  snprintf(szLine, sizeof szLine, kLogUnknownRunState, 7);
  EXPECT_EQ(LinesAfterName(), std::vector<std::string>{szLine});
  EXPECT_EQ(reads.nReads, 0);
}
