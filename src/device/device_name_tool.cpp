#include "device/device_name_tool.h"

#include <algorithm>

std::vector<std::string> DeviceNameToolArguments(std::string_view szUdid) {
  return {"-u", std::string(szUdid), "-k", "DeviceName"};
}

std::string WindowsCommandLine(std::string_view szProgram,
                               const std::vector<std::string>& vecArguments) {
  // Appended piece by piece: GCC 12 at -O3 takes the operator+ chain for an
  // overlapping copy (-Wrestrict).
  std::string szLine = "\"";
  szLine.append(szProgram);
  szLine.push_back('"');
  for (const std::string& szArgument : vecArguments) {
    if (!szArgument.empty() && szArgument.find_first_of(" \t\n\v\"") == std::string::npos) {
      szLine.push_back(' ');
      szLine.append(szArgument);
      continue;
    }
    szLine += " \"";
    size_t nBackslashes = 0;
    for (const char c : szArgument) {
      if (c == '\\') {
        ++nBackslashes;
        continue;
      }
      // Backslashes count only before a quote: there each is doubled, and the
      // quote escaped by one more.
      szLine.append(c == '"' ? 2 * nBackslashes + 1 : nBackslashes, '\\');
      nBackslashes = 0;
      szLine.push_back(c);
    }
    // Before the closing quote, too.
    szLine.append(2 * nBackslashes, '\\');
    szLine.push_back('"');
  }
  return szLine;
}

void KeepToolOutput(std::string& szName, std::span<const char> output) {
  const size_t nRoom = kDeviceNameCapacity - std::min(szName.size(), kDeviceNameCapacity);
  const size_t nTake = std::min(nRoom, output.size());
  szName.append(output.data(), nTake);
}

void FinishDeviceName(std::string& szName) {
  const size_t nZero = szName.find('\0');
  if (nZero != std::string::npos) szName.resize(nZero);
}
