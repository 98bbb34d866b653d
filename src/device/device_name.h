// The device's user-visible name, read by running the external info tool.
#pragma once

#include <string>

// Runs the tool with szArguments ("-u <udid> -k DeviceName"); szName receives
// what it printed (standard output and error), empty when it could not run.
bool GetDeviceName(const std::string& szArguments, std::string& szName);
