// Prints the device name as the program looks it up; exits 0 when the tool succeeded, 2 when it
// failed or was ended, 1 when none ran.
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
