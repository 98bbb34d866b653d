// Looks up the device name as the program does and prints it, for the tests:
// exit code 0 when the tool ran and succeeded, 2 when it ran and failed (or
// was ended), 1 when it could not run.
#include <csignal>
#include <cstdio>

#include "device/device_name.h"

int main() {
  std::signal(SIGALRM, [](int) {});  // a signal that interrupts the wait for the tool
  std::string szName;
  // A UDID with spaces in it stays one argument.
  bool bSucceeded = false;
  const bool bOk = GetDeviceName("00008101-000A1B2C3D4E5F60 -k x", szName, &bSucceeded);
  std::fwrite(szName.data(), 1, szName.size(), stdout);
  return bOk ? (bSucceeded ? 0 : 2) : 1;
}
