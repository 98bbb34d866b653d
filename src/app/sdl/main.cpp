// Linux entry point: the first argument is the UDID (or --any, --help / -h, --list, --version),
// already UTF-8 bytes; the options follow it.
#include <SDL.h>

#include <string>
#include <vector>

#include "app/list_devices.h"
#include "app/startup.h"
#include "app/version_text.h"

namespace {

// The SDL library as loaded, which may be newer than the headers.
std::string SdlVersionText() {
  SDL_version version;
  SDL_GetVersion(&version);
  return "SDL " + std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
         std::to_string(version.patch);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1] == nullptr) return RunMirror(nullptr);
  const std::string szUdid = argv[1];
  if (IsHelpArgument(szUdid)) return ShowUsage();
  if (IsListArgument(szUdid)) return ShowDeviceList();
  if (IsVersionArgument(szUdid)) return ShowVersion(SdlVersionText());
  const std::vector<std::string> options(argv + 2, argv + argc);
  return RunMirror(&szUdid, ReadMirrorOptions(options));
}
