// The window's texts without drawing (status, hint, sizes, fitting, --list); the save folders.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_texts.h"
#include "app/list_devices.h"
#include "app/save_folders.h"
#include "app/stay_awake.h"
#include "app/text_fit.h"
#include "app/version.h"
#include "app/version_text.h"
#include "app/window_notice.h"
#include "app/window_status.h"
#include "device/usb_discovery.h"
#include "platform/clock.h"

namespace {

constexpr char kUdid[] = "00008101-000A1B2C3D4E5F60";
const std::string kSearching = std::string(kTextSearchingPrefix) + kUdid + kTextEllipsis;

LinkReport Report(LinkStage stage, std::vector<std::string> vecOthers = {}, int nNoPermission = 0) {
  const auto nVendorDevices = static_cast<int32_t>(vecOthers.size()) + nNoPermission;
  return {stage, nVendorDevices, nNoPermission, std::move(vecOthers)};
}

struct Step {  // as the capture thread feeds them: a report at a tick, or a picture
  char cKind;  // 'S'earching, 'A'ctivating, 'R'eceiving, 'L'ost, 'P'icture
  uint64_t qwAt = 0;
};

TEST(WindowText, StagesPicturesAndNoticesGiveTheLinesToDraw) {
  const std::string szOther = std::string(kTextHintOtherUdidsPrefix) + "OTHER";
  constexpr uint64_t kStart = 10'000;
  struct Case {
    std::vector<Step> steps;
    bool bHasPicture;
    uint64_t qwNow;
    std::string szStatus, szHint, szBand;
    uint64_t qwNextChange;
    bool bNotice = false;  // "sound off" at start-up, for 3 s
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
      // A picture from before: the band.
      {{{'R', 20}, {'P'}, {'P'}, {'L', 50}}, true, 60, "", "", kTextDisconnected, 0},
      {{{'R', 20}, {'P'}, {'L', 50}, {'S', 60}, {'A', 70}}, true, 80, "", "", kTextActivating, 0},
      {{{'R', 20}, {'P'}, {'L', 50}, {'R', 90}}, true, 99, "", "", kTextWaitingForPicture, 0},
      {{{'R', 20}, {'P'}, {'L', 50}, {'R', 90}, {'P'}}, true, 99, "", "", "", 0},
      // A picture ends the disconnection: a later search is for the UDID again.
      {{{'L', 10}, {'R', 20}, {'P'}, {'S', 30}}, false, 40, kSearching, "", "", 5030},
      // Searching long with a picture kept: the band, no hint over the picture.
      {{{'R', 20}, {'P'}, {'L', 50}, {'S', 9000}}, true, 9000, "", "", kTextDisconnected, 0},
      // A notice takes the band until it ends, picture or not; a live one then has nothing over it.
      {{{'R', 20}, {'P'}}, true, 100, "", "", kTextSoundOff, 3000, true},
      {{{'R', 20}, {'P'}}, true, 3000, "", "", "", 0, true},
      {{{'R', 20}, {'P'}, {'L', 50}}, true, 100, "", "", kTextSoundOff, 3000, true},
      {{{'R', 20}, {'P'}, {'L', 50}}, true, 3000, "", "", kTextDisconnected, 0, true},
      {{{'R', 20}, {'P'}}, false, 100, kTextWaitingForPicture, "", kTextSoundOff, 3000, true},
  };
  for (const Case& c : cases) {
    // Each case from its own start-up, with no notice of an earlier case or test due.
    UseVirtualClock(kStart - kNoticeMilliseconds);
    PostWindowNotice("");
    UseVirtualClock(kStart);
    ResetWindowStatus(kUdid, kStart);
    if (c.bNotice) PostWindowNotice(kTextSoundOff);
    for (const Step& step : c.steps) {
      UseVirtualClock(kStart + step.qwAt);  // a picture takes no time
      const auto nStage = std::string_view("SARL").find(step.cKind);
      if (step.cKind == 'P') OnPicturePublished(nullptr);
      if (step.cKind != 'P') PublishLinkReport(Report(static_cast<LinkStage>(nStage), {"OTHER"}));
    }
    const WindowText text = CurrentWindowText(c.bHasPicture, kStart + c.qwNow);
    EXPECT_EQ(std::tuple(text.szStatus, text.szHint, text.szBand, text.qwNextChange),
              std::tuple(c.szStatus, c.szHint, c.szBand,
                         c.qwNextChange == 0 ? 0 : kStart + c.qwNextChange))
        << &c - cases;
  }
  UseRealClock();
}

TEST(WindowText, TheHintNamesTheLikelyCause) {
  const std::pair<LinkReport, std::string> cases[] = {
      {Report(LinkStage::Searching), kTextHintConnect},
      {{LinkStage::Searching, 1, 0, {}}, kTextHintConnect},  // there, serial unreadable otherwise
      {Report(LinkStage::Searching, {"A", "B\x1b[2J\xc2\x9b"}),
       std::string(kTextHintOtherUdidsPrefix) + "A, B?[2J?"},  // no control characters
      // One it may not open could be the one: the permission comes first.
      {Report(LinkStage::Searching, {"A"}, 1), kTextHintNoPermission},
  };
  for (const auto& [report, szHint] : cases) EXPECT_EQ(ChooseHint(report), szHint);
  EXPECT_EQ(ComposeWindowText({}, kAnyDeviceUdid, false, "", 0, 0).szStatus, kTextSearchingAny);
}

// A font whose every character is half as wide as the size, "…" included.
int32_t HalfWidthFont(void*, const std::string& szUtf8, int32_t nPx) {
  int32_t nCharacters = 0;
  for (const char c : szUtf8) nCharacters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return nCharacters * nPx / 2;
}

TEST(TextFit, ALineShrinksToFitThenIsCutBetweenCharacters) {
  // Text and width, then the line drawn and its size; 20 px asked for.
  const std::tuple<std::string, int32_t, std::string, int32_t> cases[] = {
      {"abcdefghij", 100, "abcdefghij", 20},  // 100 wide: fits as it is
      {"abcdefghij", 99, "abcdefghij", 19},
      {"abcdefghij", 50, "abcdefghij", 10},
      {"abcdefgh", 36, "abcdefgh", 9},          // fits just at the floor
      {"abcdefghij", 40, "abcdefgh\u2026", 9},  // 45 at the floor: cut to 40
      {"\u00e1\u00e9\u00ed\u00f3\u00fa\u00f1\u00e1\u00e9\u00ed\u00f3", 40,
       "\u00e1\u00e9\u00ed\u00f3\u00fa\u00f1\u00e1\u00e9\u2026", 9},
      {"abc", 4, "\u2026", 9},
      {"abc", 3, "", 0},  // not even the ellipsis
  };
  for (const auto& [szText, nMaxWidth, szFitted, nFittedPx] : cases) {
    const auto fitted = FitTextLine(szText, nMaxWidth, 20, kSmallestTextPx, HalfWidthFont, nullptr);
    EXPECT_EQ(std::tuple(fitted.szText, fitted.nPx), std::tuple(szFitted, nFittedPx)) << nMaxWidth;
  }
}

TEST(TextFit, SizesFollowTheWindowAndTheDpiWithinBounds) {
  // Client and DPI, then status, hint, band height, band text sizes, margin, floor.
  const std::tuple<int32_t, int32_t, int32_t, std::array<int32_t, 6>> cases[] = {
      {900, 650, 96, {21, 16, 42, 21, 22, 9}},      {1920, 1080, 96, {28, 22, 56, 28, 48, 9}},
      {3840, 2160, 96, {28, 22, 56, 28, 96, 9}},   // not huge
      {300, 200, 96, {12, 11, 16, 9, 8, 9}},       // the band at 1/12
      {400, 1000, 96, {16, 12, 32, 16, 10, 9}},    // narrow: by the width
      {1350, 975, 144, {32, 25, 64, 32, 33, 13}},  // the first window at 150 %
      {3840, 2160, 192, {56, 44, 112, 56, 96, 18}}, {300, 200, 144, {18, 16, 16, 9, 12, 13}},
      {300, 200, 72, {12, 11, 16, 9, 8, 9}},  // below 96: never smaller than at 96
  };
  for (const auto& [cw, ch, nDpi, expected] : cases) {
    const TextSizes s = SizeWindowText(cw, ch, nDpi);
    EXPECT_EQ(
        (std::array{s.nStatusPx, s.nHintPx, s.nBandHeight, s.nBandPx, s.nMargin, s.nSmallestPx}),
        expected)
        << cw << "x" << ch << " at " << nDpi;
  }
}

TEST(StayAwake, WhileADeviceIsConnectedAndAlwaysWhileRecording) {
  const std::tuple<LinkStage, bool, bool> cases[] = {
      {LinkStage::Searching, false, false}, {LinkStage::Activating, false, true},
      {LinkStage::Receiving, false, true},  {LinkStage::Lost, false, false},
      {LinkStage::Searching, true, true},   {LinkStage::Lost, true, true},
  };
  for (const auto& [stage, bRecording, bAwake] : cases)
    EXPECT_EQ(ShouldStayAwake(stage, bRecording), bAwake) << static_cast<int>(stage) << bRecording;
}

TEST(DeviceList, OneLinePerDeviceWithItsUdidFirst) {
  EXPECT_EQ(FormatDeviceList({}), std::string(kTextListNone));
  const std::vector<ListedDevice> devices = {
      {kUdid, 0x12a8, true, false, "iPhone de Ana\x07"},
      {"", 0x12ab, false, true, ""},
      {"", 0x0001, false, false, ""},
  };
  EXPECT_EQ(FormatDeviceList(devices), std::string(kUdid) + kTextListProduct + "12a8" +
                                           kTextListCaptureOn + kTextListName + "iPhone de Ana?\n" +
                                           kTextListNoPermission + kTextListProduct + "12ab" +
                                           kTextListCaptureOff + "\n" + kTextListNoSerial +
                                           kTextListProduct + "0001" + kTextListCaptureOff + "\n");
  EXPECT_TRUE(IsListArgument("--list") && !IsListArgument("--lis"));
}

TEST(Version, NamesTheProgramAndTheLibrariesItRunsWith) {
  const std::string szHead = std::string("Veltrona iOS ") + VELTRONA_VERSION_TEXT +
                             "\nFFmpeg: libavcodec 59.37.100, libavformat 61.0.7\n";
  const unsigned nAvcodec = (59u << 16) | (37u << 8) | 100u, nAvformat = (61u << 16) | 7u;
  EXPECT_EQ(FormatVersionText(nAvcodec, nAvformat, "SDL 2.26.5"), szHead + "SDL 2.26.5\n");
  EXPECT_EQ(FormatVersionText(nAvcodec, nAvformat, ""), szHead);
  EXPECT_TRUE(IsVersionArgument("--version") && !IsVersionArgument("-v"));
}

TEST(Usage, EveryOptionAndKeyOfTheWindowIsListed) {
  for (const char* szItem : {"--any", "--list", "--help", "-h", "--version", "--no-audio",
                             "--fullscreen", "F11", "doble clic", "Esc", " M "})
    EXPECT_NE(std::string(kTextUsage).find(szItem), std::string::npos) << szItem;
}

TEST(SaveFolders, ReadsTheXdgEntry) {
  const char szText[] =
      "# This file is written by xdg-user-dirs-update\n"
      "XDG_PICTURES_DIR=\"$HOME/Imágenes\"\n"
      "  XDG_VIDEOS_DIR=\"/srv/vídeos\"\r\n"
      "XDG_MUSIC_DIR=$HOME/Music\n"
      "XDG_DOCUMENTS_DIR=\"relative/path\"\n"
      "XDG_PICTURES_DIRX=\"/wrong\"\n";
  const std::pair<const char*, const char*> cases[] = {
      {"XDG_PICTURES_DIR", "/home/ana/Imágenes"},
      {"XDG_VIDEOS_DIR", "/srv/vídeos"},
      {"XDG_MUSIC_DIR", ""},      // not quoted
      {"XDG_DOCUMENTS_DIR", ""},  // neither $HOME nor absolute
      {"XDG_TEMPLATES_DIR", ""},
  };
  for (const auto& [szKey, szExpected] : cases)
    EXPECT_EQ(ReadXdgUserDir(szText, szKey, "/home/ana"), szExpected) << szKey;
  EXPECT_EQ(SaveFolder(SaveKind::Videos, "/chosen"), "/chosen") << "--save-dir wins";
}

}  // namespace
