#include "device/device_name_tool.h"

#include <algorithm>

std::vector<std::string> SplitToolArguments(std::string_view szArguments) {
  std::vector<std::string> vecArguments;
  size_t nPos = 0;
  while (nPos < szArguments.size()) {
    const size_t nEnd = std::min(szArguments.find(' ', nPos), szArguments.size());
    if (nEnd > nPos) vecArguments.emplace_back(szArguments.substr(nPos, nEnd - nPos));
    nPos = nEnd + 1;
  }
  return vecArguments;
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
