// Slot 4: the AVC configuration record to Annex B, byte for byte.
#include <gtest/gtest.h>

#include "video_test_util.h"

namespace {

using vtest::Bytes;

const Bytes kStart = {0, 0, 0, 1};

Bytes Unit(uint8_t byHeader, size_t nSize, uint8_t bySeed) {
  Bytes unit(nSize);
  unit[0] = byHeader;
  for (size_t i = 1; i < nSize; ++i) {
    unit[i] = static_cast<uint8_t>(0x10 + (i * 7 + bySeed) % 0xE0);  // never 00 00 0x
  }
  return unit;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

Bytes Len16(size_t n) {
  return {static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
}

class ParameterSets : public vtest::VideoFixture {
 protected:
  // Calls slot 4 with the record and returns what the parser was fed.
  Bytes Feed(const Bytes& record) {
    vtest::StartFeedRecord();
    g_Callbacks.onVideoParameterSets(nullptr, record.data(), static_cast<int32_t>(record.size()));
    vtest::StopFeedRecord();
    EXPECT_TRUE(vtest::GetFeedRecord().bPaddingZero);
    return vtest::GetFeedRecord().fed;
  }
};

TEST_F(ParameterSets, Sps25AndPps4GiveThirtySevenBytes) {
  const Bytes sps = Unit(0x67, 25, 1);
  const Bytes pps = Unit(0x68, 4, 2);
  const Bytes record = vtest::MakeAvcConfigRecord(sps, pps);
  ASSERT_EQ(record.size(), 6u + 2 + 25 + 1 + 2 + 4);
  const Bytes fed = Feed(record);
  EXPECT_EQ(fed.size(), 37u);
  EXPECT_EQ(fed, Cat({kStart, sps, kStart, pps}));
  // The 32 (here AV_INPUT_BUFFER_PADDING_SIZE) zero bytes after it.
  const Bytes& buffer = decoder_.vecAnnexB;
  ASSERT_GE(buffer.size(), 37u + 32);
  for (size_t i = 37; i < 37 + 32; ++i) {
    EXPECT_EQ(buffer[i], 0) << i;
  }
}

TEST_F(ParameterSets, HighProfileExtensionBytesAreNotFed) {
  const Bytes sps = Unit(0x67, 25, 1);
  const Bytes pps = Unit(0x68, 4, 2);
  EXPECT_EQ(Feed(vtest::MakeAvcConfigRecord(sps, pps, true)), Cat({kStart, sps, kStart, pps}));
}

TEST_F(ParameterSets, ZeroSpsCountReadsPpsCountFromByteSix) {
  const Bytes pps = Unit(0x68, 4, 3);
  const Bytes record = Cat({{1, 0x64, 0, 0x1F, 0xFF, 0xE0, 1}, Len16(4), pps});
  EXPECT_EQ(Feed(record), Cat({kStart, pps}));
}

TEST_F(ParameterSets, SpsCountIsTheLowFiveBitsOfByteFive) {
  const Bytes sps = Unit(0x67, 9, 4);
  const Bytes pps = Unit(0x68, 5, 5);
  // 0x21: reserved bits 001, count 1.
  const Bytes record = Cat({{1, 0x42, 0, 0x1E, 0xFF, 0x21}, Len16(9), sps, {1}, Len16(5), pps});
  EXPECT_EQ(Feed(record), Cat({kStart, sps, kStart, pps}));
}

TEST_F(ParameterSets, TwoSpsComeOutInOrderBeforeThePps) {
  const Bytes sps1 = Unit(0x67, 12, 6);
  const Bytes sps2 = Unit(0x67, 20, 7);
  const Bytes pps = Unit(0x68, 4, 8);
  const Bytes record =
      Cat({{1, 0x64, 0, 0x1F, 0xFF, 0xE2}, Len16(12), sps1, Len16(20), sps2, {1}, Len16(4), pps});
  EXPECT_EQ(Feed(record), Cat({kStart, sps1, kStart, sps2, kStart, pps}));
}

TEST_F(ParameterSets, TwoPpsComeOutInOrder) {
  const Bytes sps = Unit(0x67, 10, 9);
  const Bytes pps1 = Unit(0x68, 4, 10);
  const Bytes pps2 = Unit(0x68, 6, 11);
  const Bytes record =
      Cat({{1, 0x64, 0, 0x1F, 0xFF, 0xE1}, Len16(10), sps, {2}, Len16(4), pps1, Len16(6), pps2});
  EXPECT_EQ(Feed(record), Cat({kStart, sps, kStart, pps1, kStart, pps2}));
}

TEST_F(ParameterSets, LargeRecordGetsALargeEnoughArea) {
  // Far beyond a fixed 1024-byte area: 3 SPS of 600 bytes and 2 PPS of 300.
  const Bytes sps = Unit(0x67, 600, 12);
  const Bytes pps = Unit(0x68, 300, 13);
  const Bytes record = Cat({{1, 0x64, 0, 0x1F, 0xFF, 0xE3},
                            Len16(600),
                            sps,
                            Len16(600),
                            sps,
                            Len16(600),
                            sps,
                            {2},
                            Len16(300),
                            pps,
                            Len16(300),
                            pps});
  EXPECT_EQ(Feed(record), Cat({kStart, sps, kStart, sps, kStart, sps, kStart, pps, kStart, pps}));
}

TEST_F(ParameterSets, ZeroCountsFeedNothingButDrain) {
  vtest::PendingPictures pending;
  pending.Pend();
  EXPECT_TRUE(Feed({1, 0x64, 0, 0x1F, 0xFF, 0xE0, 0}).empty());
  EXPECT_EQ(snapshots_.pictures.size(), 1u);
}

// Every record that ends early -- before byte 5, before a length field or in
// its middle, inside a unit, before the PPS count byte -- is malformed:
// nothing is fed, and the drain still runs (the waiting picture comes out).
TEST_F(ParameterSets, TruncatedRecordsFeedNothingButDrain) {
  const Bytes sps = Unit(0x67, 11, 14);
  const Bytes pps = Unit(0x68, 4, 15);
  const Bytes record = vtest::MakeAvcConfigRecord(sps, pps);
  vtest::PendingPictures pending;
  for (size_t nCut = 0; nCut < record.size(); ++nCut) {
    pending.Pend();
    const Bytes truncated(record.begin(), record.begin() + static_cast<ptrdiff_t>(nCut));
    EXPECT_TRUE(Feed(truncated).empty()) << "cut at " << nCut;
    EXPECT_EQ(snapshots_.pictures.size(), nCut + 1) << "cut at " << nCut;
  }
}

TEST_F(ParameterSets, UnitClaimingMoreThanTheRecordHoldsFeedsNothingButDrains) {
  const Bytes sps = Unit(0x67, 11, 16);
  const Bytes pps = Unit(0x68, 4, 17);
  // The PPS says 200 bytes; 4 are there, and 4 more bytes of High extension.
  const Bytes record = Cat({{1, 0x64, 0, 0x1F, 0xFF, 0xE1},
                            Len16(11),
                            sps,
                            {1},
                            Len16(200),
                            pps,
                            {0xFD, 0xF8, 0xF8, 0}});
  vtest::PendingPictures pending;
  pending.Pend();
  EXPECT_TRUE(Feed(record).empty());
  EXPECT_EQ(snapshots_.pictures.size(), 1u);
}

TEST_F(ParameterSets, EmptyOrNegativeRecordFeedsNothingButDrains) {
  vtest::PendingPictures pending;
  pending.Pend();
  vtest::StartFeedRecord();
  g_Callbacks.onVideoParameterSets(nullptr, nullptr, 0);
  vtest::StopFeedRecord();
  EXPECT_EQ(vtest::GetFeedRecord().nCalls, 0);
  EXPECT_EQ(snapshots_.pictures.size(), 1u);

  pending.Pend();
  const uint8_t abyRecord[8] = {1, 0x64, 0, 0x1F, 0xFF, 0xE1, 0, 1};
  vtest::StartFeedRecord();
  g_Callbacks.onVideoParameterSets(nullptr, abyRecord, -8);
  vtest::StopFeedRecord();
  EXPECT_EQ(vtest::GetFeedRecord().nCalls, 0);
  EXPECT_EQ(snapshots_.pictures.size(), 2u);
}

}  // namespace
