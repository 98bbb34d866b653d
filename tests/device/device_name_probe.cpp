// Looks up a device name as the program does and prints what it got; the
// tests copy it next to a Frameworks folder of their own.
#include <cstdio>
#include <string>

#include "device/device_name.h"

int main(int argc, char** argv) {
  std::string szName;
  const bool bOk = GetDeviceName(argc > 1 ? argv[1] : "", szName);
  std::fwrite(szName.data(), 1, szName.size(), stdout);
  return bOk ? 0 : 1;
}
