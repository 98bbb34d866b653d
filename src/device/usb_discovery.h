// Finding the device whose serial is the UDID, and the two vendor interfaces
// it offers: usbmux and screen capture.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "capture/capture_session.h"

struct LinkReport;

inline constexpr uint16_t kDeviceVendorId = 0x05AC;
inline constexpr uint8_t kVendorInterfaceClass = 0xFF;
inline constexpr uint8_t kMuxInterfaceSubClass = 0xFE;
inline constexpr uint8_t kCaptureInterfaceSubClass = 0x2A;

// In place of the UDID: the first device of the capture family that can be
// opened, and after it goes away, whichever comes next.
inline constexpr char kAnyDeviceUdid[] = "--any";

inline constexpr int32_t kOpenDeviceOk = 0;
inline constexpr int32_t kOpenDeviceNoMatch = 3;

bool IsAnyDeviceUdid(std::string_view szUdid);

// The vendor's phones and tablets: only they offer the capture configuration
// (its keyboards, mice and displays share the vendor id).
bool IsCaptureFamilyProduct(uint16_t nProductId);

// Whether a device is worth opening in the search for szWanted: the vendor's,
// and with --any one of the capture family.
bool IsCandidateDevice(std::string_view szWanted, uint16_t nVendorId, uint16_t nProductId);

// Whether a candidate, its serial normalised, is the device wanted.
bool IsWantedDevice(std::string_view szWanted, std::string_view szUdidSeen);

// Scans the buses afresh and opens the first candidate whose normalised serial
// is the one wanted: sets pDevice, pDevHandle and szDeviceUdid and returns
// kOpenDeviceOk, else kOpenDeviceNoMatch. Prints each candidate's serial on
// standard output; logs which device --any took. With pSeen, counts there the
// candidates it saw, those it had no permission to open, and the UDIDs of the others.
int32_t OpenDevice(CaptureSession& session, const char* szUdid, LinkReport* pSeen = nullptr);

// A device of the vendor opened and its serial number read. The handle is open
// (the caller closes it) only when OpenVendorDevice returned true.
struct OpenedDevice {
  usb_dev_handle* pHandle = nullptr;
  std::string szSerial;        // as the library wrote it
  bool bNoPermission = false;  // the serial could not be read for want of permission
};
bool OpenVendorDevice(struct usb_device* pDevice, OpenedDevice& opened);

// Whether one of the device's configurations holds the capture interface:
// the capture configuration is on.
bool HasCaptureInterface(const struct usb_device& device);

// Fills muxConfig and qtConfig from the device's parsed descriptors; where a
// later configuration also holds the interface, it wins. Leaves both as they
// are when there is no device or no parsed configuration.
void FindMuxAndQtConfig(CaptureSession& session, struct usb_device* pDevice,
                        UsbConfigChoice& muxConfig, UsbConfigChoice& qtConfig);
