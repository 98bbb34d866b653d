// Linux entry point: the first argument is the UDID, already UTF-8 bytes.
#include <string>

#include "app/startup.h"

int main(int argc, char** argv) {
  if (argc < 2 || argv[1] == nullptr) return RunMirror(nullptr);
  const std::string szUdid = argv[1];
  return RunMirror(&szUdid);
}
