// What a host does with the libusb 0.1 API, in a few lines, for the
// simulated device's own tests.
#pragma once

#include <string>
#include <vector>

#include "device/usb_api.h"

namespace simtest {

inline void Scan() {
  usb_init();
  usb_find_busses();
  usb_find_devices();
}

// Every device record on every bus, in list order.
inline std::vector<struct usb_device*> Devices() {
  std::vector<struct usb_device*> devices;
  for (usb_bus* pBus = usb_get_busses(); pBus != nullptr; pBus = pBus->next) {
    for (struct usb_device* pDev = pBus->devices; pDev != nullptr; pDev = pDev->next) {
      devices.push_back(pDev);
    }
  }
  return devices;
}

inline struct usb_device* FirstOfVendor(uint16_t idVendor) {
  for (struct usb_device* pDev : Devices()) {
    if (pDev->descriptor.idVendor == idVendor) return pDev;
  }
  return nullptr;
}

// The first alternate setting of the given class and subclass, over all
// configurations; its configuration value goes to nConfig.
inline const usb_interface_descriptor* FindSetting(const struct usb_device* pDev, int nSubClass,
                                                   int& nConfig) {
  const usb_interface_descriptor* pFound = nullptr;
  for (int c = 0; c < pDev->descriptor.bNumConfigurations; ++c) {
    const usb_config_descriptor& config = pDev->config[c];
    for (int i = 0; i < config.bNumInterfaces; ++i) {
      const usb_interface& interface = config.interface[i];
      for (int a = 0; a < interface.num_altsetting; ++a) {
        const usb_interface_descriptor& alt = interface.altsetting[a];
        if (alt.bLength != 0 && alt.bInterfaceClass == 0xFF &&
            alt.bInterfaceSubClass == nSubClass) {
          nConfig = config.bConfigurationValue;
          pFound = &alt;
        }
      }
    }
  }
  return pFound;
}

inline std::string Serial(usb_dev_handle* pHandle, const struct usb_device* pDev) {
  char szSerial[256] = {};
  if (usb_get_string_simple(pHandle, pDev->descriptor.iSerialNumber, szSerial, sizeof szSerial) <
      0) {
    return "<error>";
  }
  return szSerial;
}

inline int ModeRequest(usb_dev_handle* pHandle, bool bOn) {
  return usb_control_msg(pHandle, 0x40, 0x52, 0, bOn ? 2 : 0, nullptr, 0, 1000);
}

}  // namespace simtest
