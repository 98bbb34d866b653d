// Linux entry point: the first argument is the UDID (or --help / -h, --list), already
// UTF-8 bytes; the options follow it.
#include <string>
#include <vector>

#include "app/list_devices.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  if (argc < 2 || argv[1] == nullptr) return RunMirror(nullptr);
  const std::string szUdid = argv[1];
  if (IsHelpArgument(szUdid)) return ShowUsage();
  if (IsListArgument(szUdid)) return ShowDeviceList();
  const std::vector<std::string> options(argv + 2, argv + argc);
  return RunMirror(&szUdid, ReadMirrorOptions(options));
}
