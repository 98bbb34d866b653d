#include "device/device_list.h"

#include "device/device_name.h"
#include "device/serial_number.h"
#include "device/usb_discovery.h"

namespace {

// The tool's first line is the name (what it shows is cleaned where it is
// shown). A tool that failed (no such device) printed no name.
std::string NameFromTool(const std::string& szUdid) {
  std::string szOutput;
  bool bSucceeded = false;
  if (!GetDeviceName(szUdid, szOutput, &bSucceeded) || !bSucceeded) return {};
  return szOutput.substr(0, szOutput.find_first_of("\r\n"));
}

}  // namespace

std::vector<ListedDevice> ListVendorDevices(bool bWithNames) {
  usb_init();
  usb_find_busses();
  usb_find_devices();
  std::vector<ListedDevice> vecDevices;
  for (usb_bus* pBus = usb_get_busses(); pBus != nullptr; pBus = pBus->next) {
    for (struct usb_device* pDevice = pBus->devices; pDevice != nullptr; pDevice = pDevice->next) {
      if (pDevice->descriptor.idVendor != kDeviceVendorId) continue;
      ListedDevice listed;
      listed.nProductId = pDevice->descriptor.idProduct;
      listed.bCaptureOn = HasCaptureInterface(*pDevice);
      OpenedDevice opened;
      if (OpenVendorDevice(pDevice, opened)) {
        usb_close(opened.pHandle);
        listed.szUdid = NormaliseSerialNumber(opened.szSerial);
      }
      listed.bNoPermission = opened.bNoPermission;
      if (bWithNames && !listed.szUdid.empty()) listed.szName = NameFromTool(listed.szUdid);
      vecDevices.push_back(std::move(listed));
    }
  }
  return vecDevices;
}
