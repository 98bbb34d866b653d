// --list: the connected devices of the vendor, one line each, for the user
// who needs the UDID to start the program with.
#pragma once

#include <string>
#include <vector>

#include "device/device_list.h"

// --list as the first argument.
bool IsListArgument(const std::string& szFirst);

// One line per device: its UDID (as the program takes it), product id, whether
// the capture configuration is on, and its name when there is one; a line
// saying so when there is none. Texts from the device cleaned of control characters.
std::string FormatDeviceList(const std::vector<ListedDevice>& vecDevices);

// Scans, shows the list (ShellShowUsage: standard output, or a message box)
// and returns exit code 0.
int ShowDeviceList();
