// Looks up the device name as the program does and prints it, for the tests.
#include <csignal>
#include <cstdio>

#include "device/device_name.h"

int main() {
  std::signal(SIGALRM, [](int) {});  // a signal that interrupts the wait for the tool
  std::string szName;
  // A UDID with spaces in it stays one argument.
  const bool bOk = GetDeviceName("00008101-000A1B2C3D4E5F60 -k x", szName);
  std::fwrite(szName.data(), 1, szName.size(), stdout);
  return bOk ? 0 : 1;
}
