// The libusb 0.1 API as the program uses it, and the two values in which its
// implementations differ. Linux: Debian's original libusb 0.1.12. Windows:
// libusb-win32, declared by the project itself (its SDK is not packaged).
#pragma once

#ifdef _WIN32
#include "usb/usb_win32.h"
// A bulk transfer that times out returns this (negated ETIMEDOUT of the port).
inline constexpr int kUsbTimeoutResult = -116;
// The time-out value that means "no time limit".
inline constexpr int kUsbNoTimeLimit = -1;
#else
#include <usb.h>
inline constexpr int kUsbTimeoutResult = -110;
inline constexpr int kUsbNoTimeLimit = 0;
#endif

// Every bulk write and control request of the host: a device that stops
// taking data must neither hold a connection nor keep the program from
// closing. Results stay ignored; a write that times out changes nothing else.
inline constexpr int kUsbTransferTimeoutMs = 1000;
