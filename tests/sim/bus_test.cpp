// The emulated bus as a host meets it through the libusb 0.1 API.
#include <gtest/gtest.h>

#include <string>

#include "platform/clock.h"
#include "sim.h"
#include "usb_host_helpers.h"

namespace {

using simtest::Devices;
using simtest::FindSetting;
using simtest::FirstOfVendor;
using simtest::Scan;

class SimBus : public ::testing::Test {
 protected:
  void SetUp() override {
    vsim::Reset();
    UseVirtualClock(1000000);
  }
  void TearDown() override {
    vsim::Reset();
    UseRealClock();
  }
};

vsim::DeviceConfig Phone(const std::string& szSerial = "00008101000A1B2C3D4E5F60") {
  vsim::DeviceConfig config;
  config.serial = szSerial;
  config.behaviour = vsim::Behaviour::Scripted;
  return config;
}

TEST_F(SimBus, ModeRequestsSwitchTheCaptureConfigurationOnAndOff) {
  vsim::DeviceConfig other;
  other.idVendor = 0x1D6B;
  other.behaviour = vsim::Behaviour::Scripted;
  vsim::AddDevice(other);
  vsim::AddDevice(Phone());
  Scan();
  ASSERT_EQ(usb_busses, usb_get_busses());
  ASSERT_NE(usb_busses, nullptr);
  EXPECT_STREQ(usb_busses->dirname, "001");
  ASSERT_EQ(Devices().size(), 2u);

  struct usb_device* pDev = FirstOfVendor(0x05AC);
  ASSERT_NE(pDev, nullptr);
  EXPECT_EQ(pDev->bus, usb_busses);
  EXPECT_EQ(pDev->descriptor.bLength, 18);
  EXPECT_EQ(pDev->descriptor.bNumConfigurations, 1);
  EXPECT_EQ(std::string(pDev->filename).size(), 3u);
  const usb_config_descriptor& config = pDev->config[0];
  EXPECT_EQ(config.bLength, 9);
  EXPECT_EQ(config.bNumInterfaces, 2);
  int nConfig = -1;
  const usb_interface_descriptor* pMux = FindSetting(pDev, 0xFE, nConfig);
  ASSERT_NE(pMux, nullptr);
  EXPECT_EQ(pMux->bLength, 9);
  EXPECT_EQ(pMux->bNumEndpoints, 2);
  EXPECT_EQ(pMux->endpoint[0].bLength, 7);
  EXPECT_EQ(FindSetting(pDev, 0x2A, nConfig), nullptr);

  usb_dev_handle* pHandle = usb_open(pDev);
  EXPECT_EQ(simtest::Serial(pHandle, pDev), "00008101000A1B2C3D4E5F60");
  const std::string szOldName = pDev->filename;
  ASSERT_EQ(simtest::ModeRequest(pHandle, true), 0);
  // The phone re-enumerates at once: the old handle reaches nothing any more.
  EXPECT_EQ(usb_claim_interface(pHandle, 1), -19);
  usb_close(pHandle);

  EXPECT_EQ(usb_find_devices(), 2);  // one record gone, one new
  pDev = FirstOfVendor(0x05AC);
  ASSERT_NE(pDev, nullptr);
  EXPECT_NE(pDev->filename, szOldName);
  EXPECT_EQ(pDev->descriptor.bNumConfigurations, 2);
  const usb_interface_descriptor* pCapture = FindSetting(pDev, 0x2A, nConfig);
  ASSERT_NE(pCapture, nullptr);
  EXPECT_EQ(nConfig, 2);
  ASSERT_EQ(pCapture->bNumEndpoints, 2);
  EXPECT_EQ(pCapture->endpoint[0].bEndpointAddress & 0x80, 0x80);
  EXPECT_EQ(pCapture->endpoint[1].bEndpointAddress & 0x80, 0);
  EXPECT_EQ(pCapture->endpoint[0].bmAttributes, 2);

  pHandle = usb_open(pDev);
  EXPECT_EQ(usb_set_configuration(pHandle, nConfig), 0);
  EXPECT_EQ(usb_claim_interface(pHandle, pCapture->bInterfaceNumber), 0);
  EXPECT_EQ(simtest::ModeRequest(pHandle, false), 0);
  usb_close(pHandle);
  usb_find_devices();
  EXPECT_EQ(FindSetting(FirstOfVendor(0x05AC), 0x2A, nConfig), nullptr);

  // Only the phone was opened; the other vendor's device never was.
  for (const vsim::Event& event : vsim::Transcript()) {
    if (event.kind == vsim::Event::Open) {
      EXPECT_EQ(event.nDevice, 1);
    }
  }
}

TEST_F(SimBus, RecordsStayPutWhileNothingChanges) {
  vsim::AddDevice(Phone());
  Scan();
  struct usb_device* pFirst = FirstOfVendor(0x05AC);
  EXPECT_EQ(usb_find_busses(), 0);
  EXPECT_EQ(usb_find_devices(), 0);
  EXPECT_EQ(FirstOfVendor(0x05AC), pFirst);

  // A device added later shows up at the next scan, after the first.
  vsim::AddDevice(Phone("second"));
  EXPECT_EQ(usb_find_devices(), 1);
  ASSERT_EQ(Devices().size(), 2u);
  EXPECT_EQ(Devices()[0], pFirst);
  EXPECT_EQ(Devices()[1]->prev, pFirst);
}

TEST_F(SimBus, StartsInCaptureModeWhenAsked) {
  vsim::DeviceConfig config = Phone();
  config.bCaptureModeOn = true;
  vsim::AddDevice(config);
  Scan();
  int nConfig = -1;
  EXPECT_NE(FindSetting(FirstOfVendor(0x05AC), 0x2A, nConfig), nullptr);
}

TEST_F(SimBus, FailingRequestsFailAndChangeNothing) {
  vsim::DeviceConfig config = Phone();
  config.bModeRequestFails = true;
  config.bSerialReadFails = true;
  vsim::AddDevice(config);
  config = Phone();
  config.bCaptureModeOn = true;
  config.bClaimFails = true;
  vsim::AddDevice(config);
  config.bClaimFails = false;
  config.bSetConfigurationFails = true;
  vsim::AddDevice(config);
  Scan();
  std::vector<struct usb_device*> devices = Devices();
  ASSERT_EQ(devices.size(), 3u);

  usb_dev_handle* pHandle = usb_open(devices[0]);
  EXPECT_EQ(simtest::Serial(pHandle, devices[0]), "<error>");
  EXPECT_LT(simtest::ModeRequest(pHandle, true), 0);
  EXPECT_EQ(usb_find_devices(), 0);

  pHandle = usb_open(devices[1]);
  EXPECT_EQ(usb_set_configuration(pHandle, 2), 0);
  EXPECT_LT(usb_claim_interface(pHandle, 2), 0);

  pHandle = usb_open(devices[2]);
  EXPECT_LT(usb_set_configuration(pHandle, 2), 0);
  // A configuration or interface the device does not have is refused too.
  pHandle = usb_open(devices[1]);
  EXPECT_LT(usb_set_configuration(pHandle, 7), 0);
}

TEST_F(SimBus, CustomLayoutsKeepTheirAlternateSettingsAndEmptyDescriptors) {
  vsim::DeviceConfig config = Phone();
  vsim::AltSetting zero;
  zero.bInterfaceNumber = 0;
  zero.bInterfaceSubClass = 0x2A;
  zero.bZeroLength = true;
  vsim::AltSetting first = zero;
  first.bAlternateSetting = 1;
  first.bZeroLength = false;
  first.endpoints = {{0x81, 64}, {0x82, 512}, {0x01, 512}};
  config.layoutBeforeModeOn = {{3, {{{zero, first}}}}};
  vsim::AddDevice(config);
  Scan();
  const struct usb_device* pDev = FirstOfVendor(0x05AC);
  ASSERT_EQ(pDev->descriptor.bNumConfigurations, 1);
  EXPECT_EQ(pDev->config[0].bConfigurationValue, 3);
  EXPECT_EQ(pDev->config[0].wTotalLength, 9 + 9 + 9 + 3 * 7);
  ASSERT_EQ(pDev->config[0].interface[0].num_altsetting, 2);
  const usb_interface_descriptor* pAlts = pDev->config[0].interface[0].altsetting;
  EXPECT_EQ(pAlts[0].bLength, 0);
  EXPECT_EQ(pAlts[0].endpoint, nullptr);
  EXPECT_EQ(pAlts[1].bAlternateSetting, 1);
  ASSERT_EQ(pAlts[1].bNumEndpoints, 3);
  EXPECT_EQ(pAlts[1].endpoint[1].wMaxPacketSize, 512);
}

TEST_F(SimBus, NonAsciiSerialReadsWithQuestionMarksAndShortBuffersTruncate) {
  vsim::AddDevice(Phone("ab\xC3\xA9z"));
  Scan();
  struct usb_device* pDev = FirstOfVendor(0x05AC);
  usb_dev_handle* pHandle = usb_open(pDev);
  EXPECT_EQ(simtest::Serial(pHandle, pDev), "ab??z");
  char szShort[3];
  EXPECT_EQ(usb_get_string_simple(pHandle, pDev->descriptor.iSerialNumber, szShort, 3), 2);
  EXPECT_STREQ(szShort, "ab");
}

}  // namespace
