// Scripted bulk transfers, time-outs on the clock, unplugging, and the
// transcript of what the host did.
#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "sim.h"
#include "usb_host_helpers.h"

namespace {

constexpr int kIn = 0x86;  // the capture interface's endpoints in the usual layout
constexpr int kOut = 0x05;

class SimTransfers : public ::testing::Test {
 protected:
  void SetUp() override {
    vsim::Reset();
    UseVirtualClock(5000);
    vsim::DeviceConfig config;
    config.behaviour = vsim::Behaviour::Scripted;
    config.bCaptureModeOn = true;
    config.qwReplugAfterMs = 3000;
    nDevice = vsim::AddDevice(config);
    simtest::Scan();
    pHandle = usb_open(simtest::FirstOfVendor(0x05AC));
    ASSERT_EQ(usb_set_configuration(pHandle, 2), 0);
    ASSERT_EQ(usb_claim_interface(pHandle, 2), 0);
  }
  void TearDown() override {
    vsim::Reset();
    UseRealClock();
  }
  int Read(std::vector<char>& buffer, int nTimeout = 1000) {
    return usb_bulk_read(pHandle, kIn, buffer.data(), static_cast<int>(buffer.size()), nTimeout);
  }

  int nDevice = -1;
  usb_dev_handle* pHandle = nullptr;
};

TEST_F(SimTransfers, QueuedTransfersComeBackInOrderThenSilenceTimesOutOnTheClock) {
  vsim::QueueTransfer(nDevice, {1, 2, 3});
  vsim::QueueTransfer(nDevice, {4});
  std::vector<char> buffer(16);
  ASSERT_EQ(Read(buffer), 3);
  EXPECT_EQ(buffer[2], 3);
  ASSERT_EQ(Read(buffer), 1);
  EXPECT_EQ(buffer[0], 4);

  const uint64_t qwBefore = ClockTicks();
  EXPECT_EQ(Read(buffer, 1000), kUsbTimeoutResult);
  EXPECT_EQ(ClockTicks() - qwBefore, 1000u);
  // A negative time-out expires at once.
  EXPECT_EQ(Read(buffer, -5), kUsbTimeoutResult);
  EXPECT_EQ(ClockTicks() - qwBefore, 1000u);

  // A transfer larger than the host's buffer is an overflow, not a time-out.
  vsim::QueueTransfer(nDevice, std::vector<uint8_t>(17, 0));
  EXPECT_EQ(Read(buffer), -75);
}

TEST_F(SimTransfers, QueuedUnplugFailsTheReadAndTheDeviceComesBackLater) {
  vsim::QueueTransfer(nDevice, {9, 9});
  vsim::QueueUnplug(nDevice);
  std::vector<char> buffer(16);
  EXPECT_EQ(Read(buffer), 2);
  const int nResult = Read(buffer);
  EXPECT_LT(nResult, 0);
  EXPECT_NE(nResult, kUsbTimeoutResult);
  EXPECT_LT(usb_bulk_write(pHandle, kOut, "x", 1, 1000), 0);
  EXPECT_EQ(usb_close(pHandle), 0);

  usb_find_devices();
  EXPECT_EQ(simtest::FirstOfVendor(0x05AC), nullptr);
  AdvanceVirtualClock(2999);
  usb_find_devices();
  EXPECT_EQ(simtest::FirstOfVendor(0x05AC), nullptr);
  AdvanceVirtualClock(1);
  usb_find_devices();
  EXPECT_NE(simtest::FirstOfVendor(0x05AC), nullptr);
}

TEST_F(SimTransfers, ManualUnplugAndReplug) {
  vsim::Unplug(nDevice);
  std::vector<char> buffer(16);
  EXPECT_EQ(Read(buffer), -19);
  vsim::Replug(nDevice);
  // The old handle stays dead; the device is there again at the next scan.
  EXPECT_EQ(Read(buffer), -19);
  usb_find_devices();
  usb_dev_handle* pNew = usb_open(simtest::FirstOfVendor(0x05AC));
  EXPECT_EQ(usb_set_configuration(pNew, 2), 0);
}

TEST_F(SimTransfers, ClosedHandlesAndUnclaimedEndpointsFail) {
  std::vector<char> buffer(16);
  EXPECT_LT(usb_bulk_read(pHandle, 0x85, buffer.data(), 16, 10), 0);  // usbmux, not claimed
  EXPECT_LT(usb_bulk_read(pHandle, kOut, buffer.data(), 16, 10), 0);  // wrong direction
  usb_close(pHandle);
  const int nResult = Read(buffer);
  EXPECT_LT(nResult, 0);
  EXPECT_NE(nResult, kUsbTimeoutResult);
}

TEST_F(SimTransfers, ReadHookRunsBeforeEveryRead) {
  int nCalls = 0;
  vsim::SetReadHook([&] {
    if (++nCalls == 2) vsim::QueueTransfer(nDevice, {7});
  });
  std::vector<char> buffer(16);
  EXPECT_EQ(Read(buffer), kUsbTimeoutResult);
  EXPECT_EQ(Read(buffer), 1);
  EXPECT_EQ(nCalls, 2);
}

TEST_F(SimTransfers, ResetMakesTheDeviceEnumerateAgain) {
  EXPECT_EQ(usb_reset(pHandle), 0);
  std::vector<char> buffer(16);
  EXPECT_EQ(Read(buffer), -19);
  EXPECT_EQ(usb_find_devices(), 2);
}

TEST_F(SimTransfers, TranscriptListsWhatTheHostDidOneLineEach) {
  EXPECT_EQ(usb_bulk_write(pHandle, kOut, "\x10\x00\xab", 3, 1000), 3);
  usb_control_msg(pHandle, 0x40, 0x40, 0x6400, 0x6400, nullptr, 0, 1000);
  usb_reset(pHandle);
  usb_close(pHandle);
  EXPECT_EQ(vsim::TranscriptText(),
            "set_configuration 2\n"
            "claim_interface 2\n"
            "bulk_write 0x05 1000ab\n"
            "control 0x40 0x40 0x6400 0x6400 0\n"
            "reset\n"
            "close\n");
  const std::vector<vsim::Event> events = vsim::Transcript();
  ASSERT_EQ(events.size(), 7u);
  EXPECT_EQ(events[0].kind, vsim::Event::Open);
  EXPECT_EQ(events[3].vecBytes, (std::vector<uint8_t>{0x10, 0x00, 0xab}));
  EXPECT_EQ(events[3].nDevice, nDevice);
}

}  // namespace
