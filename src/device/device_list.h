// The vendor's devices on the bus, for a user who needs the UDID to give.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ListedDevice {
  std::string szUdid;  // the form the program takes; empty when the serial could not be read
  uint16_t nProductId = 0;
  bool bCaptureOn = false;     // the screen-capture configuration is offered now
  bool bNoPermission = false;  // the device could not be opened for want of permission
  std::string szName;          // the name tool's first line, as it is; empty without it
};

// One scan of the buses. With bWithNames the name tool is asked about each
// device whose UDID was read (it may take a few seconds per device).
std::vector<ListedDevice> ListVendorDevices(bool bWithNames);
