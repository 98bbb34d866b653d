// Configuration records, length-prefixed units, Annex B, keyframes, sinks.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "avc/access_unit.h"
#include "avc/avc_record.h"
#include "avc/avc_units.h"
#include "support/h264_maker.h"

namespace {

using vtest::Bytes;
constexpr auto Cat = vtest::JoinAccessUnits;

Bytes AnnexB(const Bytes& units) {
  Bytes out = {0xEE};  // appended after what is there
  const size_t nAppended = AppendAnnexB(units, out);
  EXPECT_EQ(nAppended, out.size() - 1);
  return Bytes(out.begin() + 1, out.end());
}

// Keyframes are found by their IDR slice, in units of any length; a length that
// runs past the picture ends every walk: only the whole units before it count.
TEST(AvcUnits, WalkStopsAtTheFirstUnitThatDoesNotFit) {
  Bytes large = {0, 0x01, 0x11, 0x70, 0x41};  // a non-IDR slice of more than 64 KiB
  large.resize(4 + 70000, 0);
  Bytes largeAnnexB = large;
  largeAnnexB[1] = 0, largeAnnexB[2] = 0, largeAnnexB[3] = 1;
  const Bytes idr = {0, 0, 0, 2, 0x65, 0x88}, idrAnnexB = {0, 0, 0, 1, 0x65, 0x88};
  struct Case {
    Bytes units;
    bool bKeyframe;
    Bytes annexB;
  };
  const Case cases[] = {
      {idr, true, idrAnnexB},
      {{0, 0, 0, 2, 0x41, 0x9A}, false, {0, 0, 0, 1, 0x41, 0x9A}},
      {Cat({large, idr}), true, Cat({largeAnnexB, idrAnnexB})},
      {{0, 0, 0, 2, 0x41, 0x00, 0, 0, 0, 8, 0x65, 0x88, 0x84}, false, {0, 0, 0, 1, 0x41, 0x00}},
      {{0, 0, 0, 0, 0, 0, 0, 2, 0x65, 0x88}, true, {0, 0, 0, 1, 0, 0, 0, 1, 0x65, 0x88}},
      {{0, 0, 0, 2, 0x41, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x65}, false, {0, 0, 0, 1, 0x41, 0x00}},
      {{0, 0, 0, 2, 0x41, 0x00, 0x01, 0, 0, 1, 0x65}, false, {0, 0, 0, 1, 0x41, 0x00}},
      {{0, 0, 0}, false, {}},
      {{}, false, {}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(HasIdrSlice(cases[i].units), cases[i].bKeyframe) << i;
    EXPECT_EQ(WholeUnitsSize(cases[i].units), cases[i].annexB.size()) << i;
    EXPECT_TRUE(AnnexB(cases[i].units) == cases[i].annexB) << i;
  }
}

// Parameter sets out of a record, length-prefixed or behind start codes, and the
// record as a file's header holds it; one that ends early gives none, appends nothing.
TEST(AvcRecord, ParameterSetsOfARecordAndWhereItEndsEarly) {
  Bytes longSps(300, 0x42);  // a length of more than one byte
  longSps[0] = 0x67;
  const Bytes two =
      Cat({{1, 0x64, 0, 0x1F, 0xFC, 0xE2, 0, 2, 0x67, 0x01, 0x01, 0x2C}, longSps, {1, 0, 1, 0x68}});
  const Bytes twoUnits =
      Cat({{0, 0, 0, 2, 0x67, 0x01, 0, 0, 1, 0x2C}, longSps, {0, 0, 0, 1, 0x68}});
  const std::pair<Bytes, Bytes> cases[] = {
      {two, twoUnits},
      {{1, 0x64, 0, 0x1F, 0xFF, 0xE0, 1, 0, 1, 0x68}, {0, 0, 0, 1, 0x68}},  // no SPS
      {{1, 0x64, 0, 0x1F, 0xFF}, {}},                                       // before the count
      {{1, 0x64, 0, 0x1F, 0xFF, 0xE1, 0, 3, 0x67, 0x42}, {}},               // a unit cut short
      {{1, 0x64, 0, 0x1F, 0xFF, 0xE1, 0, 1, 0x67}, {}},                     // no PPS count
      {{1, 0x64, 0, 0x1F, 0xFF, 0xE1, 0, 1, 0x67, 1, 0}, {}},               // half a length
      {{1, 0x64, 0, 0x1F, 0xFF, 0xE0, 0}, {}},                              // no units at all
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& [record, units] = cases[i];
    Bytes prefixed = {0xEE}, startCodes = {0xEE};
    EXPECT_EQ(AppendRecordUnits(record, false, prefixed), !units.empty()) << i;
    AppendRecordUnits(record, true, startCodes);
    EXPECT_EQ(Bytes(prefixed.begin() + 1, prefixed.end()), units) << i;
    EXPECT_EQ(Bytes(startCodes.begin() + 1, startCodes.end()), AnnexB(units)) << i;
    Bytes header = units.empty() ? Bytes{} : record;
    if (!header.empty()) header[4] |= 0x03;
    EXPECT_EQ(RecordWithFourByteLengths(record), header) << i;
  }
}

// Every sink gets every unit, in the order the sinks were added, with its own
// context; a full table or a missing function adds nothing.
TEST(AccessUnitSinks, EachSinkInTurnWithItsOwnContext) {
  static std::string g_szCalls;
  const AccessUnitFn pfnSink = [](void* pContext, const AccessUnit& unit) {
    g_szCalls += *static_cast<const char*>(pContext) + std::string(unit.bKeyframe ? "K" : ".");
  };
  char contexts[] = "abcdef";
  // Sinks added; which were taken; the calls for a keyframe, then a picture that is not one.
  const std::tuple<size_t, std::string, std::string> cases[] = {
      {0, "", ""}, {2, "11", "aKbKa.b."}, {5, "11110", "aKbKcKdKa.b.c.d."}};
  for (const auto& [nAdded, szAccepted, szCalls] : cases) {
    AccessUnitSinks sinks;
    std::string szTaken;
    for (size_t i = 0; i < nAdded; ++i)
      szTaken += AddAccessUnitSink(sinks, pfnSink, &contexts[i]) ? "1" : "0";
    EXPECT_FALSE(AddAccessUnitSink(sinks, nullptr, &contexts[0]));
    g_szCalls.clear();
    for (const bool bKeyframe : {true, false})
      DeliverAccessUnit(sinks, {.units = {}, .record = {}, .bKeyframe = bKeyframe});
    EXPECT_EQ(szTaken, szAccepted);
    EXPECT_EQ(g_szCalls, szCalls) << nAdded;
  }
}

}  // namespace
