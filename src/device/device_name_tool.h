// What every platform's device-name lookup shares: how the argument text is
// split, how much of the tool's output is kept and how long the tool may run.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The name is only logged; more than this is never kept.
inline constexpr size_t kDeviceNameCapacity = 10240;

// The capture thread waits no longer than this for the tool; what was read by
// then is the name.
inline constexpr int kDeviceNameTimeoutMs = 5000;

// The argument text split on spaces, as a command line would be; runs of
// spaces make no empty arguments.
std::vector<std::string> SplitToolArguments(std::string_view szArguments);

// Appends as much of output as still fits under kDeviceNameCapacity.
void KeepToolOutput(std::string& szName, std::span<const char> output);

// The name ends at the first zero byte the tool wrote, if any; nothing else is
// trimmed (the closing line break stays).
void FinishDeviceName(std::string& szName);
