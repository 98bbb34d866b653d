// The layout the program reads from libusb-win32's records, worked out by hand
// from what is known of that library: every record byte-packed (pointers too),
// 64-bit pointers, 512-byte names. Checked at compile time; the run-time case
// walks the simulated libusb0.dll through the import library.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "device/usb_api.h"

// Arrays of these records step by their packed sizes.
static_assert(sizeof(usb_endpoint_descriptor) == 21);
static_assert(offsetof(usb_endpoint_descriptor, bEndpointAddress) == 2);
static_assert(offsetof(usb_endpoint_descriptor, wMaxPacketSize) == 4);
static_assert(offsetof(usb_endpoint_descriptor, extra) == 9);
static_assert(offsetof(usb_endpoint_descriptor, extralen) == 17);

static_assert(sizeof(usb_interface_descriptor) == 29);
static_assert(offsetof(usb_interface_descriptor, bInterfaceNumber) == 2);
static_assert(offsetof(usb_interface_descriptor, bNumEndpoints) == 4);
static_assert(offsetof(usb_interface_descriptor, bInterfaceClass) == 5);
static_assert(offsetof(usb_interface_descriptor, bInterfaceSubClass) == 6);
static_assert(offsetof(usb_interface_descriptor, endpoint) == 9);
static_assert(offsetof(usb_interface_descriptor, extralen) == 25);

static_assert(sizeof(usb_interface) == 12);
static_assert(offsetof(usb_interface, num_altsetting) == 8);

static_assert(sizeof(usb_config_descriptor) == 29);
static_assert(offsetof(usb_config_descriptor, bNumInterfaces) == 4);
static_assert(offsetof(usb_config_descriptor, bConfigurationValue) == 5);
static_assert(offsetof(usb_config_descriptor, interface) == 9);
static_assert(offsetof(usb_config_descriptor, extralen) == 25);

static_assert(sizeof(usb_device_descriptor) == 18);
static_assert(offsetof(usb_device_descriptor, idVendor) == 8);
static_assert(offsetof(usb_device_descriptor, iSerialNumber) == 16);
static_assert(offsetof(usb_device_descriptor, bNumConfigurations) == 17);

static_assert(LIBUSB_PATH_MAX == 512);
static_assert(sizeof(struct usb_device) == 580);
static_assert(offsetof(struct usb_device, filename) == 16);
static_assert(offsetof(struct usb_device, bus) == 528);
static_assert(offsetof(struct usb_device, descriptor) == 536);
static_assert(offsetof(struct usb_device, config) == 554);
static_assert(offsetof(struct usb_device, dev) == 562);
static_assert(offsetof(struct usb_device, devnum) == 570);
static_assert(offsetof(struct usb_device, children) == 572);

static_assert(sizeof(usb_bus) == 548);
static_assert(offsetof(usb_bus, devices) == 528);
static_assert(offsetof(usb_bus, location) == 536);
static_assert(offsetof(usb_bus, root_dev) == 540);

static_assert(kUsbTimeoutResult == -116 && kUsbNoTimeLimit == -1);

namespace {

// The run script starts this with VELTRONA_SIM_SERIAL set to this value.
constexpr char kSerial[] = "00008101000A1B2C3D4E5F60";

TEST(SimulatedLibusb0, EnumeratesThroughTheDeclaredLayoutAndCalls) {
  usb_init();
  usb_find_busses();
  usb_find_devices();
  usb_bus* pBus = usb_busses;
  ASSERT_NE(pBus, nullptr);
  struct usb_device* pDevice = pBus->devices;
  ASSERT_NE(pDevice, nullptr);
  EXPECT_EQ(pDevice->bus, pBus);
  EXPECT_GT(std::strlen(pDevice->filename), 0u);
  EXPECT_EQ(pDevice->descriptor.idVendor, 0x05AC);
  ASSERT_GE(pDevice->descriptor.bNumConfigurations, 1);
  ASSERT_NE(pDevice->config, nullptr);

  // Before the mode request the usbmux interface (0xFF, 0xFE) is offered, with
  // its endpoints: found only if every record is read at its packed place.
  const usb_interface_descriptor* pMux = nullptr;
  for (int c = 0; c < pDevice->descriptor.bNumConfigurations; ++c) {
    const usb_config_descriptor& config = pDevice->config[c];
    for (int i = 0; i < config.bNumInterfaces; ++i) {
      const usb_interface& iface = config.interface[i];
      for (int a = 0; a < iface.num_altsetting; ++a) {
        const usb_interface_descriptor& alt = iface.altsetting[a];
        if (alt.bInterfaceClass == 0xFF && alt.bInterfaceSubClass == 0xFE) pMux = &alt;
      }
    }
  }
  ASSERT_NE(pMux, nullptr);
  ASSERT_EQ(pMux->bNumEndpoints, 2);
  EXPECT_EQ(pMux->endpoint[0].bEndpointAddress & USB_ENDPOINT_DIR_MASK,
            ~pMux->endpoint[1].bEndpointAddress & USB_ENDPOINT_DIR_MASK);
  EXPECT_GT(pMux->endpoint[1].wMaxPacketSize, 0);

  usb_dev_handle* pHandle = usb_open(pDevice);
  ASSERT_NE(pHandle, nullptr);
  char szSerial[256] = {};
  EXPECT_GT(
      usb_get_string_simple(pHandle, pDevice->descriptor.iSerialNumber, szSerial, sizeof(szSerial)),
      0);
  EXPECT_EQ(std::string(szSerial), kSerial);
  usb_close(pHandle);
}

}  // namespace
