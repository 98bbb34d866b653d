// What every platform's device-name lookup shares: the tool's arguments, how
// much of its output is kept and how long it may run.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The name is only logged; more than this is never kept.
inline constexpr size_t kDeviceNameCapacity = 10240;

// The lookup waits no longer than this for the tool; what was read by then is
// the name.
inline constexpr int kDeviceNameTimeoutMs = 5000;

// "-u", the UDID, "-k", "DeviceName": the UDID is one argument whatever it
// holds (it comes from the command line, and the device set its serial).
std::vector<std::string> DeviceNameToolArguments(std::string_view szUdid);

// A Windows command line that the C runtime's parsing (CommandLineToArgvW's
// rules) splits back into exactly these arguments: the program path quoted as
// it is (a path cannot hold quotes); an argument that is empty or holds white
// space or quotes is quoted, with its quotes and the backslashes before them
// escaped; the others go as they are.
std::string WindowsCommandLine(std::string_view szProgram,
                               const std::vector<std::string>& vecArguments);

// Appends as much of output as still fits under kDeviceNameCapacity.
void KeepToolOutput(std::string& szName, std::span<const char> output);

// The name ends at the first zero byte the tool wrote, if any; nothing else is
// trimmed (the closing line break stays).
void FinishDeviceName(std::string& szName);
