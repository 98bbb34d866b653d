// What only the simulated device shows of itself; the rest is tested through the host's tests.
#include "sim.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <utility>

#include "chaos.h"
#include "platform/clock.h"
#include "usb/usb_api.h"
#include "video_source.h"

// A scenario setting every value (the scenarios the tests and runs use show in their results);
// refused with a reason: unknown names, values missing or out of range, a stray "+" or ",", a
// window ending before it starts, an unknown kind, a time error of nothing, an unusable stream.
TEST(SimScenario, TextsBecomeSettingsOrAreRefused) {
  vsim::DeviceConfig c;
  std::string szError;
  ASSERT_TRUE(vsim::ParseScenario(
      "capture+fast+unplug:frames=8,replug_ms=50,repeat=1+chaos:seed=7,from=3,to=9,rate=0.5+"
      "hang-out:after=4+time-error:kind=audio,at=40,by=-250,step=1",
      c, szError));
  EXPECT_EQ(std::tuple(c.bCaptureModeOn, c.bFast, c.nUnplugAfterFrames, c.qwReplugAfterMs,
                       c.bUnplugRepeats, c.chaos.bOn, c.chaos.qwSeed, c.chaos.qwFrom, c.chaos.qwTo,
                       c.chaos.dRate, c.nHangOutAfter, c.timeError.bOn, c.timeError.bVideo,
                       c.timeError.qwAt, c.timeError.i64ByMs, c.timeError.bStep),
            std::tuple(true, true, 8, uint64_t{50}, true, true, uint64_t{7}, uint64_t{3},
                       uint64_t{9}, 0.5, 4, true, false, uint64_t{40}, int64_t{-250}, true));
  std::istringstream refused(
      "warp fast:x=1 unplug:frames unplug:frames=-1 unplug:frames=2000000000 unplug:speed=3 "
      "capture+ unplug:frames=1, chaos:from=1 chaos:seed=1,rate=1.5 chaos:seed=1,from=5,to=4 "
      "hang-out:after= time-error:kind=sound,by=1 time-error:at=0,by=1 time-error:at=5 "
      "time-error:by=1,step=2");
  for (std::string szWord; refused >> szWord; szError.clear())
    EXPECT_TRUE(!vsim::ParseScenario(szWord, c, szError) && !szError.empty()) << szWord;
  vsim::VideoSource source;
  for (const std::vector<uint8_t>& stream :
       {std::vector<uint8_t>{1, 2, 3, 4, 5}, {0, 0, 0, 1, 0x65, 0x88, 0x84, 0}, {}})
    EXPECT_FALSE(vsim::MakeVideoSource(stream, source, szError) ||
                 std::exchange(szError, {}).empty());
}

TEST(SimDevice, ReportsWhatTheHostGetsWrongAndASilentOneHearsNothing) {
  usb_dev_handle* pHandle = nullptr;
  char buffer[64] = {};
  // The capture interface of a device in the capture configuration, claimed.
  const auto Claim = [&](vsim::DeviceConfig config) {
    vsim::Reset();
    UseVirtualClock(1000);
    config.bCaptureModeOn = true;
    vsim::AddDevice(config);
    usb_init();
    usb_find_busses();
    usb_find_devices();
    pHandle = usb_open(usb_get_busses()->devices);
    ASSERT_EQ(usb_set_configuration(pHandle, 2), 0);
    ASSERT_EQ(usb_claim_interface(pHandle, 2), 0);
  };
  const auto Read = [&] { return usb_bulk_read(pHandle, 0x86, buffer, sizeof buffer, 1000); };
  const auto Write = [&](std::vector<uint8_t> bytes) {
    usb_bulk_write(pHandle, 0x05, reinterpret_cast<char*>(bytes.data()),
                   static_cast<int>(bytes.size()), 1000);
  };
  Claim({});
  ASSERT_EQ(Read(), 16);                                             // its ping
  Write({16, 0, 0, 0, 'g', 'n', 'i', 'p', 0, 0, 0, 0, 0, 0, 0, 0});  // 0 where 1 belongs
  ASSERT_EQ(Read(), 36);                                             // cwpa
  Write({20, 0, 0, 0, 'n', 'y', 's', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 'd', 'e', 'e', 'n'});
  Write({12, 0, 0, 0, 'n', 'y', 's', 'a', 0, 0, 0, 0});  // for the display announcement
  Write({1, 2, 3});
  Write({});
  const char* expected[] = {"ping: differs at byte 12", "NEED before the cvrp exchange",
                            "first display announcement: differs at byte 0",
                            "the host wrote bytes that are not whole packets",
                            "the host wrote an empty transfer"};
  const std::vector<std::string> errors = vsim::ProtocolErrors();
  ASSERT_EQ(errors.size(), std::size(expected));
  for (size_t i = 0; i < errors.size(); ++i)
    EXPECT_EQ(errors[i].rfind(std::string("device 0: ") + expected[i], 0), 0u) << errors[i];

  // A silent device times out on the clock and hears nothing.
  vsim::DeviceConfig silent;
  silent.bSilent = true;
  Claim(silent);
  const uint64_t qwBefore = ClockTicks();
  EXPECT_EQ(Read(), kUsbTimeoutResult);
  EXPECT_EQ(ClockTicks() - qwBefore, 1000u);
  Write({1, 2, 3});
  EXPECT_EQ(vsim::ProtocolErrors(), std::vector<std::string>{});
  vsim::Reset();
  UseRealClock();
}

// The same seed damages the same transfers the same way, only inside its
// window, in each of its ways.
TEST(SimChaos, SeededDamageInsideItsWindow) {
  const std::vector<uint8_t> transfer(28, 7);
  const vsim::ChaosConfig config{true, 42, 3, 602, 1.0};
  vsim::ChaosState state = vsim::StartChaos(config), again = vsim::StartChaos(config);
  std::map<vsim::Damage, int> seen;
  for (uint64_t i = 1; i <= 605; ++i) {
    std::vector<uint8_t> bytes = transfer, copy = transfer;
    const vsim::Damage damage = vsim::PassTransfer(state, config, bytes);
    ASSERT_EQ(vsim::PassTransfer(again, config, copy), damage);
    EXPECT_EQ(copy, bytes);
    EXPECT_EQ(bytes == transfer, damage == vsim::Damage::None || damage == vsim::Damage::Twice);
    ++seen[damage];
  }
  EXPECT_EQ(state.repeats.size(), static_cast<size_t>(seen[vsim::Damage::Twice]));
  EXPECT_EQ(seen[vsim::Damage::None], 5);  // the two before the window, the three after
  EXPECT_EQ(seen.size(), 7u);
}
