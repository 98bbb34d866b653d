// The device's user-visible name, read by running the external info tool.
#pragma once

#include <atomic>
#include <string>

// Runs the tool with "-u <udid> -k DeviceName", the UDID one argument
// whatever it holds; szName receives what the tool printed (standard output
// and error), empty when it could not run. With pbToolSucceeded, also whether
// the tool ended on its own with exit code 0: what a failing tool prints is no name.
// Setting *pbCancel ends the tool as its deadline would, within tens of milliseconds.
bool GetDeviceName(const std::string& szUdid, std::string& szName, bool* pbToolSucceeded = nullptr,
                   const std::atomic<bool>* pbCancel = nullptr);
