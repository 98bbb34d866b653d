// libusb-win32's libusb0.dll is loaded on first use (delay-loaded), so that
// the program can say what is missing instead of the system loader's words
// before anything runs.
#pragma once

// Before the first USB call: loads libusb0.dll and checks that it is 64-bit
// and has every function the program calls. Returns 0 when it does; else shows
// the box saying which file is missing and what to install, and returns
// kExitNoUsbLibrary.
int CheckUsbLibrary();
