// The phone's side of the protocol against a small host that answers it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "protocol_fixture.h"

namespace {

using simtest::Bytes;
using simtest::Child;
using simtest::Code;
using simtest::Received;
using simtest::SimProtocol;
using simtest::U32;

std::vector<uint32_t> SyncOrder(const simtest::MiniHost& host) {
  std::vector<uint32_t> order;
  for (const Bytes& p : host.packets) {
    if (U32(p, 4) == Code("ping")) order.push_back(Code("ping"));
    if (U32(p, 4) == Code("sync")) order.push_back(U32(p, 16));
  }
  return order;
}

bool AnyErrorMentions(const std::string& szText) {
  const auto errors = vsim::ProtocolErrors();
  return std::any_of(errors.begin(), errors.end(),
                     [&](const std::string& e) { return e.find(szText) != std::string::npos; });
}

TEST_F(SimProtocol, HandshakeThenOnePicturePerFrameIntervalLoopingWithItsFormat) {
  const vtest::H264Stream stream = simtest::SmallStream(12);
  const auto samples = vtest::ToDeviceSamples(stream.accessUnits);
  Connect({}, stream);
  RunUntilPictures(30);
  EXPECT_EQ(vsim::ProtocolErrors(), std::vector<std::string>{});
  ASSERT_EQ(vsim::FramesSent(nDevice), 30);

  const std::vector<uint32_t> order = SyncOrder(host);
  const std::vector<uint32_t> handshake = {Code("ping"), Code("cwpa"), Code("afmt"),
                                           Code("cvrp"), Code("clok"), Code("time")};
  ASSERT_GE(order.size(), handshake.size());
  EXPECT_TRUE(std::equal(handshake.begin(), handshake.end(), order.begin()));

  const std::vector<Bytes> feeds = Feeds();
  ASSERT_EQ(feeds.size(), 30u);
  for (size_t i = 0; i < feeds.size(); ++i) {
    SCOPED_TRACE("picture " + std::to_string(i));
    EXPECT_EQ(Child(feeds[i], Code("sdat")), simtest::Concatenated(samples[i % 12].units));
    const Bytes fdsc = Child(feeds[i], Code("fdsc"));
    EXPECT_EQ(!fdsc.empty(), i % 12 == 0);  // the first, and again after the loop
    if (fdsc.empty()) continue;
    EXPECT_EQ(U32(fdsc, 8), Code("vide"));
    EXPECT_EQ(U32(fdsc, 20), 320u);
    EXPECT_EQ(U32(fdsc, 24), 240u);
    EXPECT_EQ(U32(fdsc, 36), Code("avc1"));
    EXPECT_EQ(simtest::RecordIn(fdsc), samples[0].record);
  }
  // One picture per 1/30 s of the clock, never sooner.
  for (size_t i = 1; i < host.feedTimes.size(); ++i) {
    EXPECT_GE(host.feedTimes[i] - host.feedTimes[i - 1], 33u);
    EXPECT_LE(host.feedTimes[i] - host.feedTimes[i - 1], 34u);
  }

  const std::vector<Bytes> audio = Received(host, Code("asyn"), Code("eat!"));
  ASSERT_GE(audio.size(), 29u);
  const Bytes audioFormat = Child(audio[0], Code("fdsc"));
  ASSERT_EQ(audioFormat.size(), 12u + 48u);
  EXPECT_EQ(U32(audioFormat, 8), Code("soun"));
  EXPECT_EQ(U32(audioFormat, 16), Code("asbd"));
  EXPECT_EQ(U32(audioFormat, 20 + 28), 2u);   // channels
  EXPECT_EQ(U32(audioFormat, 20 + 32), 16u);  // bits
  EXPECT_TRUE(Child(audio[1], Code("fdsc")).empty());
  const Bytes silence = Child(audio[1], Code("sdat"));
  EXPECT_EQ(silence.size(), 1600u * 4);
  EXPECT_TRUE(std::all_of(silence.begin(), silence.end(), [](uint8_t by) { return by == 0; }));
  EXPECT_EQ(Received(host, Code("sync"), Code("skew")).size(), 0u);

  // Transfers of one packet and of several both occur.
  EXPECT_NE(std::count(host.packetsPerTransfer.begin(), host.packetsPerTransfer.end(), 1u), 0);
  EXPECT_NE(std::count(host.packetsPerTransfer.begin(), host.packetsPerTransfer.end(), 2u), 0);
}

TEST_F(SimProtocol, SkewRequestsComeNowAndThenAndTheRepliesAreAccepted) {
  Connect(simtest::With([](vsim::DeviceConfig& c) { c.bFast = true; }), simtest::SmallStream(5));
  RunUntilPictures(120);
  EXPECT_GE(Received(host, Code("sync"), Code("skew")).size(), 2u);
  EXPECT_EQ(vsim::ProtocolErrors(), std::vector<std::string>{});
}

TEST_F(SimProtocol, FastSendsAtEachNeedAndNothingWithoutOne) {
  Connect(simtest::With([](vsim::DeviceConfig& c) { c.bFast = true; }), simtest::SmallStream(5));
  RunUntilPictures(4);
  ASSERT_EQ(host.feedTimes.size(), 4u);
  EXPECT_EQ(host.feedTimes.front(), host.feedTimes.back());  // no waiting between pictures

  host.bAnswerNeeds = false;
  RunUntilPictures(5);  // the NEED for it was already sent
  for (int i = 0; i < 5; ++i) simtest::Step(host);
  EXPECT_EQ(Feeds().size(), 5u);
  EXPECT_EQ(simtest::Step(host), kUsbTimeoutResult);
}

TEST_F(SimProtocol, HostMistakesAreReported) {
  Connect({}, simtest::SmallStream(3));
  host.bOneDisplayAnnouncement = true;
  for (int i = 0; i < 4; ++i) simtest::Step(host);
  EXPECT_TRUE(AnyErrorMentions("second display announcement"));

  vsim::Reset();
  Connect({}, simtest::SmallStream(3));
  host.bWrongAudioClock = true;
  for (int i = 0; i < 4; ++i) simtest::Step(host);
  EXPECT_TRUE(AnyErrorMentions("audio announcement: differs at byte 8"));

  vsim::Reset();
  Connect({}, simtest::SmallStream(3));
  host.qwTimeExtra = 5000;
  RunUntilPictures(1);
  EXPECT_TRUE(AnyErrorMentions("time reply: elapsed time"));
  Bytes need = host.need;
  need[8] ^= 1;
  simtest::Write(host, need);
  simtest::Write(host, Bytes(need.begin(), need.begin() + 12));
  EXPECT_TRUE(AnyErrorMentions("NEED: differs at byte 8"));
  EXPECT_TRUE(AnyErrorMentions("not whole packets"));
}

TEST_F(SimProtocol, KeepAlivePingIsAnsweredOnceAndTheStreamGoesOn) {
  Connect({}, simtest::SmallStream(3));
  RunUntilPictures(2);
  const size_t nPings = Received(host, Code("ping"), 0).size();
  simtest::Write(host, simtest::Ping());
  RunUntilPictures(5);
  EXPECT_EQ(Received(host, Code("ping"), 0).size(), nPings + 1);
  EXPECT_EQ(vsim::ProtocolErrors(), std::vector<std::string>{});
}

TEST_F(SimProtocol, StopRequestIsAnsweredAndEndsTheMedia) {
  Connect({}, simtest::SmallStream(3));
  RunUntilPictures(3);
  vsim::RequestStop(nDevice);
  for (int i = 0; i < 10; ++i) simtest::Step(host);
  EXPECT_EQ(Received(host, Code("sync"), Code("stop")).size(), 1u);
  const size_t nFeeds = Feeds().size();
  EXPECT_EQ(simtest::Step(host), kUsbTimeoutResult);
  EXPECT_EQ(Feeds().size(), nFeeds);
  EXPECT_EQ(vsim::ProtocolErrors(), std::vector<std::string>{});
}

TEST_F(SimProtocol, UnplugAfterFramesThenReplugStartsAFreshSession) {
  Connect(simtest::With([](vsim::DeviceConfig& c) {
            c.nUnplugAfterFrames = 5;
            c.qwReplugAfterMs = 3000;
          }),
          simtest::SmallStream(8));
  EXPECT_EQ(RunUntilPictures(6), -19);
  EXPECT_EQ(Feeds().size(), 5u);
  usb_close(host.pHandle);
  usb_find_devices();
  EXPECT_EQ(simtest::FirstOfVendor(0x05AC), nullptr);

  AdvanceVirtualClock(3000);
  Reconnect();
  RunUntilPictures(2);
  EXPECT_EQ(U32(host.packets.front(), 4), Code("ping"));
  ASSERT_EQ(Feeds().size(), 2u);
  EXPECT_FALSE(Child(Feeds()[0], Code("fdsc")).empty());
  EXPECT_EQ(vsim::FramesSent(nDevice), 7);
  EXPECT_EQ(vsim::ProtocolErrors(), std::vector<std::string>{});
}

TEST_F(SimProtocol, SilentDeviceOnlyTimesOut) {
  Connect(simtest::With([](vsim::DeviceConfig& c) { c.bSilent = true; }), simtest::SmallStream(2));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(simtest::Step(host), kUsbTimeoutResult);
  EXPECT_TRUE(host.packets.empty());
}

TEST_F(SimProtocol, InjectedTransfersGoOutVerbatimBetweenProtocolPackets) {
  Connect({}, simtest::SmallStream(4));
  RunUntilPictures(2);
  const Bytes garbage = {0x09, 0x00, 0x00, 0x00, 'p', 'e', 'e', 'k', 0x01};
  vsim::QueueTransfer(nDevice, garbage);
  ASSERT_EQ(simtest::Step(host), static_cast<int>(garbage.size()));
  EXPECT_EQ(host.packets.back(), garbage);
  RunUntilPictures(4);
  EXPECT_EQ(Feeds().size(), 4u);
}

}  // namespace
