#include "descriptors.h"

#include <cstdio>

namespace vsim {

namespace {

constexpr uint8_t kIn = 0x80;
constexpr uint8_t kBulk = 2;
constexpr uint8_t kInterrupt = 3;

// Still image class interface that a phone shows in every configuration; it
// gives a host something to pass over before the interfaces it wants.
Interface StillImageInterface() {
  AltSetting alt;
  alt.bInterfaceNumber = 0;
  alt.bInterfaceClass = 6;
  alt.bInterfaceSubClass = 1;
  alt.bInterfaceProtocol = 1;
  alt.endpoints = {{kIn | 1, 512, kBulk}, {0x02, 512, kBulk}, {kIn | 3, 64, kInterrupt}};
  return {{alt}};
}

Interface UsbmuxInterface() {
  AltSetting alt;
  alt.bInterfaceNumber = 1;
  alt.bInterfaceSubClass = 0xFE;
  alt.bInterfaceProtocol = 2;
  alt.endpoints = {{kIn | 5, 512, kBulk}, {0x04, 512, kBulk}};
  return {{alt}};
}

Interface CaptureInterface() {
  AltSetting alt;
  alt.bInterfaceNumber = 2;
  alt.bInterfaceSubClass = 0x2A;
  alt.bInterfaceProtocol = 0xFF;
  alt.endpoints = {{kIn | 6, 512, kBulk}, {0x05, 512, kBulk}};
  return {{alt}};
}

}  // namespace

std::vector<Configuration> DefaultLayoutBeforeModeOn() {
  return {{1, {StillImageInterface(), UsbmuxInterface()}}};
}

std::vector<Configuration> DefaultLayoutAfterModeOn() {
  return {{1, {StillImageInterface(), UsbmuxInterface()}},
          {2, {StillImageInterface(), UsbmuxInterface(), CaptureInterface()}}};
}

std::unique_ptr<DeviceRecord> MakeDeviceRecord(const DeviceConfig& config,
                                               const std::vector<Configuration>& layout,
                                               int nDevnum, usb_bus* pBus) {
  auto pRecord = std::make_unique<DeviceRecord>();
  DeviceRecord& record = *pRecord;

  // Fill every array first and take pointers into them only afterwards, so
  // that no vector moves under a pointer already handed out.
  for (const Configuration& configuration : layout) {
    usb_config_descriptor desc{};
    desc.bLength = USB_DT_CONFIG_SIZE;
    desc.bDescriptorType = USB_DT_CONFIG;
    desc.bNumInterfaces = static_cast<uint8_t>(configuration.interfaces.size());
    desc.bConfigurationValue = configuration.bConfigurationValue;
    desc.bmAttributes = 0xC0;
    desc.MaxPower = 250;
    unsigned nTotal = USB_DT_CONFIG_SIZE;
    std::vector<usb_interface> interfaces(configuration.interfaces.size());
    for (const Interface& interface : configuration.interfaces) {
      std::vector<usb_interface_descriptor> alts;
      for (const AltSetting& alt : interface.altSettings) {
        usb_interface_descriptor altDesc{};
        altDesc.bLength = alt.bZeroLength ? 0 : USB_DT_INTERFACE_SIZE;
        altDesc.bDescriptorType = USB_DT_INTERFACE;
        altDesc.bInterfaceNumber = alt.bInterfaceNumber;
        altDesc.bAlternateSetting = alt.bAlternateSetting;
        altDesc.bNumEndpoints = static_cast<uint8_t>(alt.endpoints.size());
        altDesc.bInterfaceClass = alt.bInterfaceClass;
        altDesc.bInterfaceSubClass = alt.bInterfaceSubClass;
        altDesc.bInterfaceProtocol = alt.bInterfaceProtocol;
        alts.push_back(altDesc);
        std::vector<usb_endpoint_descriptor> endpoints;
        for (const Endpoint& endpoint : alt.endpoints) {
          usb_endpoint_descriptor epDesc{};
          epDesc.bLength = USB_DT_ENDPOINT_SIZE;
          epDesc.bDescriptorType = USB_DT_ENDPOINT;
          epDesc.bEndpointAddress = endpoint.byAddress;
          epDesc.bmAttributes = endpoint.bmAttributes;
          epDesc.wMaxPacketSize = endpoint.wMaxPacketSize;
          endpoints.push_back(epDesc);
        }
        nTotal += USB_DT_INTERFACE_SIZE + USB_DT_ENDPOINT_SIZE * alt.endpoints.size();
        record.endpoints.push_back(std::move(endpoints));
      }
      record.altSettings.push_back(std::move(alts));
    }
    desc.wTotalLength = static_cast<uint16_t>(nTotal);
    record.configs.push_back(desc);
    record.interfaces.push_back(std::move(interfaces));
  }

  size_t nAlt = 0;
  size_t nEndpointList = 0;
  for (size_t c = 0; c < record.configs.size(); ++c) {
    record.configs[c].interface =
        record.interfaces[c].empty() ? nullptr : record.interfaces[c].data();
    for (usb_interface& interface : record.interfaces[c]) {
      std::vector<usb_interface_descriptor>& alts = record.altSettings[nAlt++];
      interface.altsetting = alts.empty() ? nullptr : alts.data();
      interface.num_altsetting = static_cast<int>(alts.size());
      for (usb_interface_descriptor& alt : alts) {
        std::vector<usb_endpoint_descriptor>& endpoints = record.endpoints[nEndpointList++];
        alt.endpoint = endpoints.empty() ? nullptr : endpoints.data();
      }
    }
  }

  struct usb_device& device = record.device;
  std::snprintf(device.filename, sizeof device.filename, "%03d", nDevnum);
  device.bus = pBus;
  usb_device_descriptor& desc = device.descriptor;
  desc.bLength = USB_DT_DEVICE_SIZE;
  desc.bDescriptorType = USB_DT_DEVICE;
  desc.bcdUSB = 0x0200;
  desc.bMaxPacketSize0 = 64;
  desc.idVendor = config.idVendor;
  desc.idProduct = config.idProduct;
  desc.bcdDevice = 0x1402;
  desc.iManufacturer = 1;
  desc.iProduct = 2;
  desc.iSerialNumber = 3;
  desc.bNumConfigurations = static_cast<uint8_t>(record.configs.size());
  device.config = record.configs.empty() ? nullptr : record.configs.data();
  device.devnum = static_cast<uint8_t>(nDevnum);
  return pRecord;
}

}  // namespace vsim
