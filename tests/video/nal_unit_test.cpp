// Slot 5: length-prefixed NAL units to Annex B, byte for byte, and the walk
// staying inside its block.
#include <gtest/gtest.h>

#include "video_test_util.h"

namespace {

using vtest::Bytes;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

// Filler-data units (type 12): the parser keeps them without ending a picture.
Bytes Filler(size_t nPayload, uint8_t bySeed) {
  Bytes unit(1 + nPayload);
  unit[0] = 0x0C;
  for (size_t i = 1; i < unit.size(); ++i) {
    unit[i] = static_cast<uint8_t>(0x20 + (i * 5 + bySeed) % 0xD0);
  }
  return unit;
}

const Bytes kStart = {0, 0, 0, 1};

class NalUnits : public vtest::VideoFixture {
 protected:
  Bytes Feed(const Bytes& block) {
    const Bytes before = block;
    vtest::StartFeedRecord();
    g_Callbacks.onVideoNalUnit(nullptr, block.data(), static_cast<int32_t>(block.size()));
    vtest::StopFeedRecord();
    EXPECT_EQ(block, before);  // the caller's bytes are not changed
    EXPECT_TRUE(vtest::GetFeedRecord().bPaddingZero);
    return vtest::GetFeedRecord().fed;
  }
};

TEST_F(NalUnits, NineByteUnitBecomesStartCodeAndFiveBytes) {
  const Bytes unit = {0x0C, 0x31, 0x32, 0x33, 0x34};
  EXPECT_EQ(Feed(Cat({{0, 0, 0, 5}, unit})), Cat({kStart, unit}));
}

TEST_F(NalUnits, TwoUnitsInOneBlockBothGetStartCodes) {
  const Bytes first = Filler(6, 1);
  const Bytes second = Filler(300, 2);
  const Bytes block = Cat({vtest::MakeLengthPrefixed(first), vtest::MakeLengthPrefixed(second)});
  EXPECT_EQ(Feed(block), Cat({kStart, first, kStart, second}));
}

TEST_F(NalUnits, ZeroLengthUnitIsJustAStartCode) {
  const Bytes unit = Filler(3, 3);
  EXPECT_EQ(Feed(Cat({{0, 0, 0, 0}, vtest::MakeLengthPrefixed(unit)})),
            Cat({kStart, kStart, unit}));
}

// A prefix that would start in the last one, two or three bytes ends the walk.
TEST_F(NalUnits, PrefixStartingInTheLastThreeBytesIsDropped) {
  const Bytes unit = Filler(8, 4);
  for (const Bytes& tail : {Bytes{0}, Bytes{0, 0}, Bytes{0, 0, 9}}) {
    EXPECT_EQ(Feed(Cat({vtest::MakeLengthPrefixed(unit), tail})), Cat({kStart, unit}))
        << tail.size() << " trailing bytes";
  }
}

TEST_F(NalUnits, UnitRunningPastTheEndIsDroppedWithTheRest) {
  const Bytes first = Filler(10, 5);
  const Bytes second = Filler(10, 6);
  // A third "unit" claims 100 bytes; 10 follow.
  const Bytes block = Cat({vtest::MakeLengthPrefixed(first),
                           vtest::MakeLengthPrefixed(second),
                           {0, 0, 0, 100},
                           Filler(9, 7)});
  EXPECT_EQ(Feed(block), Cat({kStart, first, kStart, second}));
}

TEST_F(NalUnits, HugeLengthsNeitherWrapNorReadOutside) {
  const Bytes unit = Filler(4, 8);
  for (const Bytes& prefix : {Bytes{0xFF, 0xFF, 0xFF, 0xFF}, Bytes{0x7F, 0xFF, 0xFF, 0xFC},
                              Bytes{0x80, 0, 0, 0}, Bytes{0xFF, 0xFF, 0xFF, 0xFB}}) {
    EXPECT_EQ(Feed(Cat({vtest::MakeLengthPrefixed(unit), prefix, unit})), Cat({kStart, unit}));
  }
}

// When even the first unit runs past the end nothing is fed, and the drain
// still runs (as for an empty feed).
TEST_F(NalUnits, NothingWholeFeedsNothingButDrains) {
  vtest::PendingPictures pending;
  const std::vector<Bytes> blocks = {{0, 0, 0, 9, 0x0C, 1},  // claims 9, holds 2
                                     {0, 0, 0},              // a prefix cut short
                                     {}};                    // nothing at all
  size_t nExpected = 0;
  for (const Bytes& block : blocks) {
    pending.Pend();
    ++nExpected;
    EXPECT_TRUE(Feed(block).empty());
    EXPECT_EQ(vtest::GetFeedRecord().nCalls, 0);
    EXPECT_EQ(snapshots_.pictures.size(), nExpected);
  }
  pending.Pend();
  vtest::StartFeedRecord();
  g_Callbacks.onVideoNalUnit(nullptr, nullptr, -5);
  vtest::StopFeedRecord();
  EXPECT_EQ(vtest::GetFeedRecord().nCalls, 0);
  EXPECT_EQ(snapshots_.pictures.size(), nExpected + 1);
}

// The handler rewrites into a buffer the decoder owns: once it has grown to
// the largest unit, further units cost no allocation.
TEST_F(NalUnits, UnitsReuseTheDecodersBuffer) {
  Feed(vtest::MakeLengthPrefixed(Filler(4000, 9)));
  const uint8_t* pBuffer = decoder_.vecAnnexB.data();
  const size_t nCapacity = decoder_.vecAnnexB.capacity();
  for (uint8_t i = 0; i < 50; ++i) {
    Feed(vtest::MakeLengthPrefixed(Filler(10 + i * 50u, i)));
    EXPECT_EQ(decoder_.vecAnnexB.data(), pBuffer);
    EXPECT_EQ(decoder_.vecAnnexB.capacity(), nCapacity);
  }
}

}  // namespace
