// Start-up with a recording shell, the simulated bus and the virtual clock; the fit.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "app/app_texts.h"
#include "app/fit_geometry.h"
#include "app/headless.h"
#include "app/shell.h"
#include "app/startup.h"
#include "app/window_notice.h"
#include "platform/clock.h"
#include "sim/sim.h"

static bool g_bWindowCanBeCreated = true;
static std::string g_szShell;  // what the shell was asked to do

bool ShellCreateMirrorWindow() {
  return g_bWindowCanBeCreated;
}
void ShellShowError(bool bOwnedByWindow, const char* szText) {
  g_szShell += (bOwnedByWindow ? "owned box: " : "box: ") + std::string(szText) + "\n";
}
void ShellShowNotice(const char* szText) {
  g_szShell += "notice: " + std::string(szText) + "\n";
}
void ShellShowUsage(const char* szText) {
  g_szShell += "usage: " + std::string(szText).substr(0, 5) + "\n";
}
void ShellRunMessageLoop() {
  g_szShell += "loop\n";
  OnMirrorWindowDestroyed();
}
void ShellRequestRepaint(void*) {}
void ShellWriteStandardError(const char* szText) {
  g_szShell += "stderr: " + std::string(szText) + "\n";
}
void ShellSetFullscreen(bool bFullscreen) {
  g_szShell += bFullscreen ? "fullscreen\n" : "window\n";
}

// An FFmpeg without the H.264 parser, when asked (a link seam).
static bool g_bNoParser = false;
extern "C" struct AVCodecParserContext* __real_av_parser_init(int nCodec);
extern "C" struct AVCodecParserContext* __wrap_av_parser_init(int nCodec) {
  return g_bNoParser ? nullptr : __real_av_parser_init(nCodec);
}

namespace {

// A log that cannot be opened is said, and the program runs on. Unknown
// arguments are still ignored, but said on standard error and in the window;
// --fullscreen reaches the shell once the window is there.
TEST(Startup, RefusalsOptionsAndTheCloseReachTheShellAndTheUser) {
  const std::string szUdid = "00008101-000A1B2C3D4E5F60";
  const std::string szLongest = "\xC3\xA9" + std::string(61, 'x');  // non-ASCII is fine
  const std::string szNoDir = "/nonexistent-dir/veltrona.log";
  const std::string szNoLog = "notice: " + std::string(kTextLogNotOpenedPrefix) + szNoDir + "\n";
  const std::string szUnknown = std::string(kTextUnknownOptionsPrefix) + "--no-audo x";
  const std::string szNoWindow = "notice: " + std::string(kTextNoWindowWithoutRecord);
  struct Case {
    std::optional<std::string> szUdid;
    std::vector<std::string> vecArguments;
    const char* szLog;
    int nExit;
    std::string szShell, szNotice = {};
    bool bWindow = true;
    std::string szLogged = {};  // in the log
  };
  const std::string szLog = testing::TempDir() + "veltrona-app.log";
  const Case cases[] = {
      {std::nullopt, {}, "", 2, "box: " + std::string(kTextMissingUdid) + "\n"},
      {"", {}, "", 2, "box: " + std::string(kTextInvalidUdid) + "\n"},
      {std::string(64, 'a'), {}, "", 2, "box: " + std::string(kTextInvalidUdid) + "\n"},
      {szUdid, {}, "", 3, "", "", false},  // no display: no box either
      {szLongest, {}, "", 0, "loop\n"},    // the window is closed at once
      {szLongest, {}, szNoDir.c_str(), 0, szNoLog + "loop\n"},
      {szUdid, {"--fullscreen", "--no-audio"}, "", 0, "fullscreen\nloop\n"},
      {szUdid, {"--no-window"}, "", 2, szNoWindow + "\n" + kTextUsage + "\n"},
      {szUdid, {"--no-audo", "x"}, "", 0, "stderr: " + szUnknown + "\nloop\n", szUnknown},
      {szUdid,
       {"--record", "/nonexistent-dir/x.mkv"},
       szLog.c_str(),
       0,
       "loop\n",
       kTextRecordingNotCreatedPrefix + std::string("x.mkv"),
       true,
       "record: /nonexistent-dir/x.mkv cannot be created: "},
  };
  UseVirtualClock(1'000'000);  // later than any notice of an earlier test
  for (const Case& c : cases) {
    vsim::Reset();
    g_szShell.clear();
    g_bWindowCanBeCreated = c.bWindow;
    setenv("VELTRONA_LOG", c.szLog, 1);
    const uint64_t qwStart = ClockTicks();  // the capture thread's waits move it on
    EXPECT_EQ(RunMirror(c.szUdid ? &*c.szUdid : nullptr, ReadMirrorOptions(c.vecArguments)),
              c.nExit);
    EXPECT_EQ(g_szShell, c.szShell);
    EXPECT_EQ(CurrentWindowNotice(qwStart), c.szNotice);
    std::stringstream logged;
    logged << std::ifstream(c.szLog).rdbuf();
    EXPECT_NE(logged.str().find(c.szLogged), std::string::npos) << logged.str();
  }
  std::remove(szLog.c_str());
  unsetenv("VELTRONA_LOG");
  EXPECT_TRUE(vsim::Transcript().empty());  // with no device there, the stop sends nothing
  // Without FFmpeg's H.264 parser: refused, and said why.
  g_bNoParser = true;
  g_szShell.clear();
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunMirror(&szUdid, ReadMirrorOptions({})), kExitNoDecoder);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kTextParserNotFound);
  EXPECT_EQ(g_szShell, "owned box: " + std::string(kTextDecoderFailed) + "\n");
  g_bNoParser = false;
  UseRealClock();
  EXPECT_FALSE(IsVirtualClock());
}

// What each command line asks for; a value that is missing, empty or another
// option, or --no-window with nothing to record, is a usage error. --record
// into a folder: a new file inside it.
TEST(Options, TheCommandLineMeansWhatItSays) {
  const auto Read = [](std::vector<std::string> vecArguments) {
    const MirrorOptions o = ReadMirrorOptions(vecArguments);
    std::string szText = std::to_string(o.bAudio) + std::to_string(o.bFullscreen) +
                         std::to_string(o.bNoWindow) + "[" + o.szRecordPath + "][" + o.szSaveDir;
    for (const std::string& szArgument : o.vecUnknown) szText += "][" + szArgument;
    if (o.nPrerollBytes != kMaxPrerollBytes) szText += "][" + std::to_string(o.nPrerollBytes);
    return szText + "]" + o.szUsageError;
  };
  const std::string szMissing = kTextOptionValueMissingPrefix;
  const std::string szBad = kTextOptionValueInvalidPrefix + std::string("--preroll");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "100[][]"},
      {{"--no-audio", "--fullscreen", "--no-window", "--record", "a b", "--save-dir=d"},
       "011[a b][d]"},
      {{"--record", "a", "--record=b", "--save-dir=c", "--save-dir", "-"}, "100[b][-]"},
      {{"--recording", "x", "--record-", "--save-dirx=y"},
       "100[][][--recording][x][--record-][--save-dirx=y]"},
      {{"--record", "--no-audio"}, "100[][]" + szMissing + "--record"},
      {{"--record"}, "100[][]" + szMissing + "--record"},
      {{"--save-dir=", "--record", "a"}, "100[a][]" + szMissing + "--save-dir"},
      {{"--no-window"}, "101[][]" + std::string(kTextNoWindowWithoutRecord)},
      {{"--preroll", "0"}, "100[][][0]"},
      {{"--preroll", "1", "--preroll=4096"}, "100[][][4294967296]"},
      {{"--preroll="}, "100[][]" + szMissing + "--preroll"},
      {{"--preroll", "4097"}, "100[][]" + szBad},
      {{"--preroll", "01024"}, "100[][]" + szBad},  // more digits than the largest has
      {{"--preroll", "2x"}, "100[][]" + szBad},
  };
  for (const auto& [vecArguments, szExpected] : cases) EXPECT_EQ(Read(vecArguments), szExpected);
  const std::string szFolder = testing::TempDir() + "veltrona-v\u00eddeos";
  std::filesystem::create_directories(szFolder);
  EXPECT_TRUE(RecordingPathFor(szFolder).starts_with(szFolder + "/Veltrona ")) << szFolder;
  EXPECT_EQ(RecordingPathFor(szFolder + "/a.mkv"), szFolder + "/a.mkv");
}

// Each stop signal ends the wait without a window, SIGHUP too (the terminal
// that started a recording went away); one sent before the wait is kept for it.
TEST(Headless, EveryStopSignalEndsTheWait) {
  std::signal(SIGHUP, SIG_DFL);  // not the window's handler, which a start-up test set
  for (const int nSignal : {SIGINT, SIGTERM, SIGHUP}) {
    std::thread([nSignal] {
      ASSERT_TRUE(PrepareHeadless());
      pthread_kill(pthread_self(), nSignal);
      WaitForStopRequest();
    }).join();
  }
}

TEST(FitPicture, LetterBoxedWithTheFillingSideTruncated) {
  const auto Fit = [](int cw, int ch, int w, int h) {
    const FitRect fit = FitPicture(cw, ch, w, h);
    return std::array{fit.x, fit.y, fit.dw, fit.dh};
  };
  EXPECT_EQ(Fit(884, 611, 1170, 2532), (std::array{301, 0, 282, 611}));
  EXPECT_EQ(Fit(884, 611, 2532, 1170), (std::array{0, 101, 884, 408}));
  EXPECT_EQ(Fit(1000, 100, 10, 289), (std::array{498, 0, 3, 99}));  // 100/289*289 is below 100
}

}  // namespace
