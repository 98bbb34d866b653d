// Start-up against a recording shell and the simulated USB bus (no device
// present), on the virtual clock so the capture thread's waits cost nothing.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <string>

#include "app/app_texts.h"
#include "app/recording_shell.h"
#include "platform/clock.h"
#include "sim/sim.h"

namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_RecordingShell = RecordingShell{};
    vsim::Reset();
    UseVirtualClock(1000);
  }
  void TearDown() override { UseRealClock(); }
};

TEST_F(StartupTest, MissingOrUnusableUdidIsRefusedBeforeAnyWindow) {
  EXPECT_EQ(RunMirror(nullptr), kExitNoUdid);
  const std::string szEmpty;
  EXPECT_EQ(RunMirror(&szEmpty), kExitNoUdid);
  const std::string szTooLong(64, 'a');
  EXPECT_EQ(RunMirror(&szTooLong), kExitNoUdid);

  ASSERT_EQ(g_RecordingShell.vecErrors.size(), 3u);
  EXPECT_EQ(g_RecordingShell.vecErrors[0].szText, kTextMissingUdid);
  EXPECT_EQ(g_RecordingShell.vecErrors[1].szText, kTextInvalidUdid);
  EXPECT_EQ(g_RecordingShell.vecErrors[2].szText, kTextInvalidUdid);
  for (const RecordedError& error : g_RecordingShell.vecErrors) EXPECT_FALSE(error.bOwnedByWindow);
  EXPECT_FALSE(g_RecordingShell.bWindowCreated);
}

TEST_F(StartupTest, NoWindowMeansExitThreeWithoutAMessage) {
  g_RecordingShell.bWindowCanBeCreated = false;
  const std::string szUdid = "00008101-000A1B2C3D4E5F60";
  EXPECT_EQ(RunMirror(&szUdid), kExitNoWindow);
  EXPECT_TRUE(g_RecordingShell.vecErrors.empty());
}

TEST_F(StartupTest, ClosingTheWindowStopsTheCaptureAndExitsZero) {
  // The longest UDID that fits: 63 bytes, with a non-ASCII character.
  std::string szUdid = "\xC3\xA9";
  szUdid.resize(63, 'x');
  int nLoopRuns = 0;
  g_RecordingShell.whileRunning = [&] { ++nLoopRuns; };
  EXPECT_EQ(RunMirror(&szUdid), kExitOk);
  EXPECT_EQ(nLoopRuns, 1);
  EXPECT_TRUE(g_RecordingShell.vecErrors.empty());
  // No device was ever present: the stop sends no control request.
  for (const vsim::Event& event : vsim::Transcript()) {
    EXPECT_NE(event.kind, vsim::Event::Control);
  }
}

}  // namespace
