// The window's texts without drawing: the connection's stages and pictures
// turned into lines, the hint chosen from what the search saw, text sizes and
// fitting, and the --list lines.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/app_texts.h"
#include "app/link_status.h"
#include "app/list_devices.h"
#include "app/text_fit.h"
#include "app/window_status.h"
#include "platform/clock.h"

namespace {

constexpr char kUdid[] = "00008101-000A1B2C3D4E5F60";
const std::string kSearching = std::string(kTextSearchingPrefix) + kUdid + kTextEllipsis;

LinkReport Report(LinkStage stage, std::vector<std::string> vecOthers = {}, int nNoPermission = 0) {
  LinkReport report;
  report.stage = stage;
  report.vecOtherUdids = std::move(vecOthers);
  report.nNoPermission = nNoPermission;
  report.nVendorDevices = static_cast<int32_t>(report.vecOtherUdids.size()) + nNoPermission;
  return report;
}

// Steps: a report at a tick, or a picture ('P'); then what the window says at
// the last tick, with and without a picture on screen.
struct Step {
  char cKind;  // 'S'earching, 'A'ctivating, 'R'eceiving, 'L'ost, 'P'icture
  uint64_t qwAt = 0;
};

LinkStatus StatusAfter(const std::vector<Step>& vecSteps) {
  LinkStatus status;
  status.qwSearchingSince = 0;  // start-up's tick
  for (const Step& step : vecSteps) {
    switch (step.cKind) {
      case 'S':
        ApplyLinkReport(status, Report(LinkStage::Searching, {"OTHER"}), step.qwAt);
        break;
      case 'A':
        ApplyLinkReport(status, Report(LinkStage::Activating), step.qwAt);
        break;
      case 'R':
        ApplyLinkReport(status, Report(LinkStage::Receiving), step.qwAt);
        break;
      case 'L':
        ApplyLinkReport(status, Report(LinkStage::Lost), step.qwAt);
        break;
      default:
        ApplyNewPicture(status);
    }
  }
  return status;
}

TEST(WindowText, StagesAndPicturesGiveTheLinesToDraw) {
  const std::string szOther = std::string(kTextHintOtherUdidsPrefix) + "OTHER";
  struct Case {
    std::vector<Step> steps;
    bool bHasPicture;
    uint64_t qwNow;
    std::string szStatus, szHint, szBand;
    uint64_t qwNextChange;
  };
  const Case cases[] = {
      // Searching from the start: the hint after 5 s, counted from start-up.
      {{{'S', 10}, {'S', 1000}}, false, 4999, kSearching, "", "", 5000},
      {{{'S', 10}, {'S', 5000}}, false, 5000, kSearching, szOther, "", 0},
      {{{'S', 10}, {'A', 100}}, false, 6000, kTextActivating, "", "", 0},
      {{{'A', 10}, {'R', 20}}, false, 9000, kTextWaitingForPicture, "", "", 0},
      // Lost before any picture: a new search, its hint 5 s after the loss.
      {{{'R', 20}, {'L', 7000}, {'S', 8000}}, false, 11999, kTextDisconnected, "", "", 12000},
      {{{'R', 20}, {'L', 7000}, {'S', 12000}}, false, 12000, kTextDisconnected, szOther, "", 0},
      // A live picture: nothing over it; a picture from before: the band.
      {{{'R', 20}, {'P'}}, true, 100, "", "", "", 0},
      {{{'R', 20}, {'P'}, {'L', 50}}, true, 60, "", "", kTextDisconnected, 0},
      {{{'R', 20}, {'P'}, {'L', 50}, {'S', 60}, {'A', 70}}, true, 80, "", "", kTextActivating, 0},
      {{{'R', 20}, {'P'}, {'L', 50}, {'R', 90}}, true, 99, "", "", kTextWaitingForPicture, 0},
      {{{'R', 20}, {'P'}, {'L', 50}, {'R', 90}, {'P'}}, true, 99, "", "", "", 0},
      // A picture ends the disconnection: a later search is for the UDID again.
      {{{'L', 10}, {'R', 20}, {'P'}, {'S', 30}}, false, 40, kSearching, "", "", 5030},
      // Searching long with a picture kept: the band, no hint over the picture.
      {{{'R', 20}, {'P'}, {'L', 50}, {'S', 9000}}, true, 9000, "", "", kTextDisconnected, 0},
  };
  for (const Case& c : cases) {
    const size_t nIndex = static_cast<size_t>(&c - cases);
    const WindowText text =
        ComposeWindowText(StatusAfter(c.steps), kUdid, c.bHasPicture, "", 0, c.qwNow);
    EXPECT_EQ(text.szStatus, c.szStatus) << nIndex;
    EXPECT_EQ(text.szHint, c.szHint) << nIndex;
    EXPECT_EQ(text.szBand, c.szBand) << nIndex;
    EXPECT_EQ(text.qwNextChange, c.qwNextChange) << nIndex;
  }
}

TEST(WindowText, ANoticeTakesTheBandUntilItEnds) {
  const LinkStatus live = StatusAfter({{'R', 20}, {'P'}});
  const LinkStatus lost = StatusAfter({{'R', 20}, {'P'}, {'L', 50}});
  const std::tuple<const LinkStatus*, bool, uint64_t, std::string, uint64_t> cases[] = {
      {&live, true, 100, kTextSoundOff, 3000},
      {&live, true, 3000, "", 0},  // over: the live picture alone
      {&lost, true, 100, kTextSoundOff, 3000},
      {&lost, true, 3000, kTextDisconnected, 0},
      {&live, false, 100, kTextSoundOff, 3000},  // also with no picture
  };
  for (const auto& [pStatus, bPicture, qwNow, szBand, qwNext] : cases) {
    const WindowText text =
        ComposeWindowText(*pStatus, kUdid, bPicture, kTextSoundOff, 3000, qwNow);
    EXPECT_EQ(text.szBand, szBand) << qwNow;
    EXPECT_EQ(text.qwNextChange, qwNext) << qwNow;
  }
}

TEST(WindowText, TheHintNamesTheLikelyCause) {
  const std::pair<LinkReport, std::string> cases[] = {
      {Report(LinkStage::Searching), kTextHintConnect},
      {Report(LinkStage::Searching, {"A", "B\x1b[2J"}),
       std::string(kTextHintOtherUdidsPrefix) + "A, B[2J"},  // no control characters
      // One it may not open could be the one: the permission comes first.
      {Report(LinkStage::Searching, {"A"}, 1), kTextHintNoPermission},
  };
  for (const auto& [report, szHint] : cases) EXPECT_EQ(ChooseHint(report), szHint);
  LinkReport unreadable = Report(LinkStage::Searching);
  unreadable.nVendorDevices = 1;  // there, serial unreadable for another reason
  EXPECT_EQ(ChooseHint(unreadable), kTextHintConnect);
}

// The process-wide record as the capture thread feeds it: the band goes with
// the first picture of each connection, however many pictures came before.
TEST(WindowText, TheSharedRecordFollowsReportsAndPictures) {
  UseVirtualClock(1'000'000'000);  // no notice of an earlier test is due
  ResetWindowStatus(kUdid, ClockTicks());
  EXPECT_EQ(CurrentWindowText(false, ClockTicks()).szStatus, kSearching);
  const std::pair<char, std::string> steps[] = {
      {'R', kTextWaitingForPicture},
      {'P', ""},
      {'P', ""},
      {'L', kTextDisconnected},
      {'R', kTextWaitingForPicture},
      {'P', ""},
      {'L', kTextDisconnected},
  };
  for (const auto& [cStep, szBand] : steps) {
    if (cStep == 'P')
      OnPicturePublished(nullptr);
    else
      PublishLinkReport(Report(cStep == 'R' ? LinkStage::Receiving : LinkStage::Lost));
    EXPECT_EQ(CurrentWindowText(true, ClockTicks()).szBand, szBand) << cStep;
  }
  ResetWindowStatus(kUdid, ClockTicks());  // a new start forgets the pictures
  PublishLinkReport(Report(LinkStage::Receiving));
  EXPECT_EQ(CurrentWindowText(true, ClockTicks()).szBand, kTextWaitingForPicture);
  UseRealClock();
}

// A font whose every character is half as wide as the size, "…" included.
int32_t HalfWidthFont(void*, const std::string& szUtf8, int32_t nPx) {
  int32_t nCharacters = 0;
  for (const char c : szUtf8) nCharacters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return nCharacters * nPx / 2;
}

TEST(TextFit, ALineShrinksToFitThenIsCutBetweenCharacters) {
  const std::tuple<std::string, int32_t, int32_t, std::string, int32_t> cases[] = {
      {"abcdefghij", 100, 20, "abcdefghij", 20},  // 100 wide: fits as it is
      {"abcdefghij", 99, 20, "abcdefghij", 19},
      {"abcdefghij", 50, 20, "abcdefghij", 10},
      {"abcdefgh", 36, 20, "abcdefgh", 9},          // fits just at the floor
      {"abcdefghij", 40, 20, "abcdefgh\u2026", 9},  // 45 at the floor: cut to 40
      {"\u00e1\u00e9\u00ed\u00f3\u00fa\u00f1\u00e1\u00e9\u00ed\u00f3", 40, 20,
       "\u00e1\u00e9\u00ed\u00f3\u00fa\u00f1\u00e1\u00e9\u2026", 9},
      {"abc", 4, 20, "\u2026", 9},
      {"abc", 3, 20, "", 0},  // not even the ellipsis
      {"abc", 0, 20, "", 0},
  };
  for (const auto& [szText, nMaxWidth, nPx, szFitted, nFittedPx] : cases) {
    const FittedLine fitted =
        FitTextLine(szText, nMaxWidth, nPx, kSmallestTextPx, HalfWidthFont, nullptr);
    EXPECT_EQ(fitted.szText, szFitted) << nMaxWidth;
    EXPECT_EQ(fitted.nPx, nFittedPx) << nMaxWidth;
  }
}

TEST(TextFit, SizesFollowTheWindowWithinBounds) {
  // Client, then status, hint, band height and band text sizes.
  const std::tuple<int32_t, int32_t, std::array<int32_t, 4>> cases[] = {
      {900, 650, {21, 16, 42, 21}},   {884, 611, {20, 16, 40, 20}},
      {1920, 1080, {28, 22, 56, 28}}, {3840, 2160, {28, 22, 56, 28}},  // not huge
      {300, 200, {12, 11, 16, 9}},                                     // the band at 1/12
      {400, 1000, {16, 12, 32, 16}},                                   // narrow: by the width
  };
  for (const auto& [cw, ch, expected] : cases) {
    const TextSizes sizes = SizeWindowText(cw, ch);
    EXPECT_EQ((std::array{sizes.nStatusPx, sizes.nHintPx, sizes.nBandHeight, sizes.nBandPx}),
              expected)
        << cw << "x" << ch;
    EXPECT_LE(sizes.nBandHeight, ch / 12) << cw << "x" << ch;
    EXPECT_LT(2 * sizes.nMargin, cw);
  }
}

TEST(DeviceList, OneLinePerDeviceWithItsUdidFirst) {
  const std::string szNone = kTextListNone;
  EXPECT_EQ(FormatDeviceList({}), szNone);
  const std::vector<ListedDevice> devices = {
      {kUdid, 0x12a8, true, false, "iPhone de Ana\x07"},
      {"", 0x12ab, false, true, ""},
      {"", 0x0001, false, false, ""},
  };
  EXPECT_EQ(FormatDeviceList(devices), std::string(kUdid) + kTextListProduct + "12a8" +
                                           kTextListCaptureOn + kTextListName + "iPhone de Ana\n" +
                                           kTextListNoPermission + kTextListProduct + "12ab" +
                                           kTextListCaptureOff + "\n" + kTextListNoSerial +
                                           kTextListProduct + "0001" + kTextListCaptureOff + "\n");
  EXPECT_TRUE(IsListArgument("--list"));
  EXPECT_FALSE(IsListArgument("--lis"));
}

TEST(Usage, EveryOptionAndKeyOfTheWindowIsListed) {
  for (const char* szItem :
       {"--list", "--help", "-h", "--no-audio", "--fullscreen", "F11", "doble clic", "Esc", " M "})
    EXPECT_NE(std::string(kTextUsage).find(szItem), std::string::npos) << szItem;
}

}  // namespace
