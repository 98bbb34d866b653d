// Finding the device whose serial is the UDID, and the two vendor interfaces
// it offers: usbmux and screen capture.
#pragma once

#include <cstdint>

#include "capture/capture_session.h"

inline constexpr uint16_t kDeviceVendorId = 0x05AC;
inline constexpr uint8_t kVendorInterfaceClass = 0xFF;
inline constexpr uint8_t kMuxInterfaceSubClass = 0xFE;
inline constexpr uint8_t kCaptureInterfaceSubClass = 0x2A;

inline constexpr int32_t kOpenDeviceOk = 0;
inline constexpr int32_t kOpenDeviceNoMatch = 3;

// Scans the buses afresh and opens the first device of the vendor whose
// normalised serial equals szUdid: sets pDevice and pDevHandle and returns
// kOpenDeviceOk, else kOpenDeviceNoMatch. Prints each candidate's serial on
// standard output.
int32_t OpenDevice(CaptureSession& session, const char* szUdid);

// Fills muxConfig and qtConfig from the device's parsed descriptors; where a
// later configuration also holds the interface, it wins. Leaves both as they
// are when there is no device or no parsed configuration.
void FindMuxAndQtConfig(CaptureSession& session, struct usb_device* pDevice,
                        UsbConfigChoice& muxConfig, UsbConfigChoice& qtConfig);
