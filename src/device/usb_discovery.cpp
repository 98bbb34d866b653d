#include "device/usb_discovery.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>

#include "capture/capture_log.h"
#include "capture/link_report.h"
#include "device/printable_text.h"
#include "device/serial_number.h"

namespace {

constexpr int kSerialNumberCapacity = 256;
constexpr uint8_t kEndpointDirectionIn = 0x80;
// More UDIDs than this would not be read by anyone.
constexpr size_t kMostOtherUdids = 8;
// The product ids of the vendor's phones, tablets and music players that
// speak usbmux, the old ones included: the capture configuration is theirs.
constexpr uint16_t kFirstCaptureFamilyProduct = 0x1290;
constexpr uint16_t kLastCaptureFamilyProduct = 0x12AF;

constexpr char kLogAnyDeviceTaken[] =
    "any: mirroring %s (product 0x%04x), the first of %d connected; --list shows them all";

// Without write access to the device node the Linux library opens it
// read-only and every request on it fails with -EPERM; without read access
// too, the open fails unseen and the first request on the fresh handle meets
// no descriptor (-EBADF).
bool IsPermissionError(int nResult) {
  return nResult == -EPERM || nResult == -EACCES || nResult == -EBADF;
}

// The library leaves a pointer null when it could not parse that part of the
// descriptors; an empty view is then the honest answer.
template <typename T, typename N>
std::span<T> ViewOf(T* pItems, N nCount) {
  if (pItems == nullptr || nCount <= 0) return {};
  return {pItems, static_cast<size_t>(nCount)};
}

// The first alternate setting, over all interfaces of the configuration, of
// the vendor class with the given subclass. The protocol is not examined.
const usb_interface_descriptor* FindVendorInterface(const usb_config_descriptor& config,
                                                    uint8_t bySubClass) {
  for (const usb_interface& interface : ViewOf(config.interface, config.bNumInterfaces)) {
    for (const usb_interface_descriptor& alt :
         ViewOf(interface.altsetting, interface.num_altsetting)) {
      if (alt.bLength != 0 && alt.bInterfaceClass == kVendorInterfaceClass &&
          alt.bInterfaceSubClass == bySubClass) {
        return &alt;
      }
    }
  }
  return nullptr;
}

// The IN and the OUT endpoint with the largest packet size; on equal sizes the
// earlier one stays. The transfer type is not examined.
void ChooseEndpoints(const usb_interface_descriptor& alt, UsbConfigChoice& choice) {
  choice.byInEndpoint = 0;
  choice.nInMaxPacket = -1;
  choice.byOutEndpoint = 0;
  choice.nOutMaxPacket = -1;
  for (const usb_endpoint_descriptor& endpoint : ViewOf(alt.endpoint, alt.bNumEndpoints)) {
    const int32_t nSize = endpoint.wMaxPacketSize;
    if ((endpoint.bEndpointAddress & kEndpointDirectionIn) != 0) {
      if (nSize > choice.nInMaxPacket) {
        choice.byInEndpoint = endpoint.bEndpointAddress;
        choice.nInMaxPacket = nSize;
      }
    } else if (nSize > choice.nOutMaxPacket) {
      choice.byOutEndpoint = endpoint.bEndpointAddress;
      choice.nOutMaxPacket = nSize;
    }
  }
}

void SearchConfiguration(CaptureSession& session, const struct usb_device& device,
                         const usb_config_descriptor& config, uint8_t bySubClass,
                         UsbConfigChoice& choice, const char* szFoundFormat) {
  const usb_interface_descriptor* pAlt = FindVendorInterface(config, bySubClass);
  if (pAlt == nullptr) return;
  ChooseEndpoints(*pAlt, choice);
  choice.nConfig = config.bConfigurationValue;
  choice.nInterface = pAlt->bInterfaceNumber;
  LogMessage(&session, szFoundFormat, choice.nConfig, choice.nInterface, device.filename);
}

// The serial as the library wrote it, never past the buffer even when the
// library left it unterminated.
std::string_view SerialText(const char (&szSerialNumber)[kSerialNumberCapacity]) {
  return {szSerialNumber, strnlen(szSerialNumber, kSerialNumberCapacity)};
}

// The candidates on the bus, by their descriptors alone (none is opened).
int CountCandidates(std::string_view szWanted) {
  int nCandidates = 0;
  for (usb_bus* pBus = usb_get_busses(); pBus != nullptr; pBus = pBus->next) {
    for (struct usb_device* pDevice = pBus->devices; pDevice != nullptr; pDevice = pDevice->next) {
      if (IsCandidateDevice(szWanted, pDevice->descriptor.idVendor, pDevice->descriptor.idProduct))
        ++nCandidates;
    }
  }
  return nCandidates;
}

}  // namespace

bool IsAnyDeviceUdid(std::string_view szUdid) {
  return szUdid == kAnyDeviceUdid;
}

bool IsCaptureFamilyProduct(uint16_t nProductId) {
  return nProductId >= kFirstCaptureFamilyProduct && nProductId <= kLastCaptureFamilyProduct;
}

bool IsCandidateDevice(std::string_view szWanted, uint16_t nVendorId, uint16_t nProductId) {
  if (nVendorId != kDeviceVendorId) return false;
  return !IsAnyDeviceUdid(szWanted) || IsCaptureFamilyProduct(nProductId);
}

bool IsWantedDevice(std::string_view szWanted, std::string_view szUdidSeen) {
  return IsAnyDeviceUdid(szWanted) || szUdidSeen == szWanted;
}

bool OpenVendorDevice(struct usb_device* pDevice, OpenedDevice& opened) {
  opened = OpenedDevice{};
  usb_dev_handle* pHandle = usb_open(pDevice);
  if (pHandle == nullptr) return false;
  char szSerialNumber[kSerialNumberCapacity] = {};
  const int nRead = usb_get_string_simple(pHandle, pDevice->descriptor.iSerialNumber,
                                          szSerialNumber, sizeof szSerialNumber);
  if (nRead < 0) {
    opened.bNoPermission = IsPermissionError(nRead);
    usb_close(pHandle);
    return false;
  }
  szSerialNumber[kSerialNumberCapacity - 1] = '\0';
  opened.szSerial = SerialText(szSerialNumber);
  opened.pHandle = pHandle;
  return true;
}

bool HasCaptureInterface(const struct usb_device& device) {
  if (device.config == nullptr) return false;
  for (const usb_config_descriptor& config :
       ViewOf(device.config, device.descriptor.bNumConfigurations)) {
    if (FindVendorInterface(config, kCaptureInterfaceSubClass) != nullptr) return true;
  }
  return false;
}

int32_t OpenDevice(CaptureSession& session, const char* szUdid, LinkReport* pSeen) {
  // Scanning in every call lets a device that re-enumerated after the mode
  // request show its new configurations.
  usb_init();
  usb_find_busses();
  usb_find_devices();

  const std::string_view szWanted = szUdid != nullptr ? szUdid : "";
  for (usb_bus* pBus = usb_get_busses(); pBus != nullptr; pBus = pBus->next) {
    for (struct usb_device* pDevice = pBus->devices; pDevice != nullptr; pDevice = pDevice->next) {
      const usb_device_descriptor& descriptor = pDevice->descriptor;
      if (!IsCandidateDevice(szWanted, descriptor.idVendor, descriptor.idProduct)) continue;
      if (pSeen != nullptr) ++pSeen->nVendorDevices;
      OpenedDevice opened;
      if (!OpenVendorDevice(pDevice, opened)) {
        if (pSeen != nullptr && opened.bNoPermission) ++pSeen->nNoPermission;
        continue;
      }
      std::printf("szSerialNumber : %s\n", PrintableText(opened.szSerial).c_str());

      std::string szUdidSeen = NormaliseSerialNumber(opened.szSerial);
      if (IsWantedDevice(szWanted, szUdidSeen)) {
        session.pDevice = pDevice;
        session.pDevHandle = opened.pHandle;
        // With two phones plugged in, the user learns which one is shown.
        if (IsAnyDeviceUdid(szWanted)) {
          LogMessage(&session, kLogAnyDeviceTaken, PrintableText(szUdidSeen).c_str(),
                     unsigned{descriptor.idProduct}, CountCandidates(szWanted));
        }
        session.szDeviceUdid = std::move(szUdidSeen);
        return kOpenDeviceOk;
      }
      usb_close(opened.pHandle);
      if (pSeen != nullptr && pSeen->vecOtherUdids.size() < kMostOtherUdids)
        pSeen->vecOtherUdids.push_back(std::move(szUdidSeen));
    }
  }
  return kOpenDeviceNoMatch;
}

void FindMuxAndQtConfig(CaptureSession& session, struct usb_device* pDevice,
                        UsbConfigChoice& muxConfig, UsbConfigChoice& qtConfig) {
  if (pDevice == nullptr || pDevice->config == nullptr) return;
  muxConfig.nConfig = -1;
  muxConfig.nInterface = -1;
  qtConfig.nConfig = -1;
  qtConfig.nInterface = -1;
  for (const usb_config_descriptor& config :
       ViewOf(pDevice->config, pDevice->descriptor.bNumConfigurations)) {
    SearchConfiguration(session, *pDevice, config, kMuxInterfaceSubClass, muxConfig,
                        "Found MuxConfig[%d]  Interface[%d],for Device %s");
    SearchConfiguration(session, *pDevice, config, kCaptureInterfaceSubClass, qtConfig,
                        "Found QtConfig[%d]  Interface[%d],for Device %s");
  }
}
