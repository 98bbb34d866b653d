// The scenario syntax of VELTRONA_SIM_SCENARIO.
#include <gtest/gtest.h>

#include "sim.h"

namespace {

TEST(SimScenario, NamesAndParametersCombine) {
  vsim::DeviceConfig config;
  std::string szError;
  ASSERT_TRUE(vsim::ParseScenario("capture+fast+unplug:frames=60,replug_ms=3000", config, szError))
      << szError;
  EXPECT_TRUE(config.bCaptureModeOn);
  EXPECT_TRUE(config.bFast);
  EXPECT_EQ(config.nUnplugAfterFrames, 60);
  EXPECT_EQ(config.qwReplugAfterMs, 3000u);

  vsim::DeviceConfig failing;
  ASSERT_TRUE(vsim::ParseScenario("silent+mode-fails+claim-fails+set-config-fails+serial-fails",
                                  failing, szError));
  EXPECT_TRUE(failing.bSilent && failing.bModeRequestFails && failing.bClaimFails &&
              failing.bSetConfigurationFails && failing.bSerialReadFails);

  vsim::DeviceConfig plain;
  ASSERT_TRUE(vsim::ParseScenario("", plain, szError));
  EXPECT_FALSE(plain.bCaptureModeOn);
  ASSERT_TRUE(vsim::ParseScenario("unplug", plain, szError));
  EXPECT_EQ(plain.nUnplugAfterFrames, 60);
  EXPECT_EQ(plain.qwReplugAfterMs, 0u);
}

TEST(SimScenario, MistakesAreReported) {
  for (const char* pText : {"warp", "fast:x=1", "unplug:frames", "unplug:frames=-1",
                            "unplug:speed=3", "capture+", "unplug:frames=1,"}) {
    vsim::DeviceConfig config;
    std::string szError;
    EXPECT_FALSE(vsim::ParseScenario(pText, config, szError)) << pText;
    EXPECT_FALSE(szError.empty()) << pText;
  }
}

}  // namespace
