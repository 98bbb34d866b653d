// The name lookup of a probe program, with stand-in tools on PATH and beside it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "device/device_name_tool.h"

namespace {

namespace fs = std::filesystem;

TEST(DeviceNameLookup, NameIsWhatTheToolWrote) {
  const fs::path dir = fs::temp_directory_path() / ("veltrona-name-" + std::to_string(getpid()));
  const fs::path probe = dir / "program folder" / "probe";
  fs::create_directories(probe.parent_path());
  fs::copy_file(VELTRONA_DEVICE_NAME_PROBE, probe);
  // The probe inherits this descriptor, SIGPIPE ignored and input; the tool none.
  const int nHigh = fcntl(open("/dev/null", O_RDONLY), F_DUPFD, 57);
  // The tool on PATH, the one beside the program, the name, the probe's exit
  // code (0: the tool succeeded, 2: it failed or was ended, 1: none ran).
  const std::tuple<std::string, std::string, std::string, int> cases[] = {
      {"printf '%s|' \"$@\"\necho note >&2\necho iPad", "",
       "-u|00008101-000A1B2C3D4E5F60 -k x|-k|DeviceName|note\niPad\n", 0},
      {"[ -e /proc/$$/fd/" + std::to_string(nHigh) +
           " ] && echo leaked\nread line && echo \"read:$line\"\necho done",
       "", "done\n", 0},
      {"printf a\nsleep 0.1\nprintf 'bc\\0def\\n'", "", "abc", 0},  // after a 1-byte read too
      {"yes | head -n 1", "", "y\n", 0},                            // yes ended quietly by SIGPIPE
      // More than a pipe holds: unless the pipe is read while the tool runs,
      // the tool blocks and never gets to its mark.
      {"head -c 70000 /dev/zero | tr '\\0' n\ntouch '" + dir.string() + "/finished'", "",
       std::string(kDeviceNameCapacity, 'n'), 0},
      // Hung, the wait for it interrupted once: ended, with what it wrote.
      {"echo a\nsleep 0.2\nkill -ALRM $PPID\nsleep 0.2\necho b\nsleep 600 &\nwait", "", "a\nb\n",
       2},
      {"echo 'No such device'\nexit 1", "", "No such device\n", 2},  // a failure is no name
      {"echo 'from path'", "echo \"beside $2\"", "beside 00008101-000A1B2C3D4E5F60 -k x\n", 0},
      {"", "", "", 1},  // no tool
  };
  for (const auto& [szOnPath, szBeside, szName, nExit] : cases) {
    for (const auto& [path, szBody] : {std::pair(dir / "bin", szOnPath),
                                       std::pair(probe.parent_path() / "Frameworks", szBeside)}) {
      fs::remove_all(path);
      if (szBody.empty()) continue;
      fs::create_directories(path);
      std::ofstream(path / "ideviceinfo") << "#!/bin/sh\nPATH=/usr/bin:/bin\n" << szBody << "\n";
      fs::permissions(path / "ideviceinfo", fs::perms::owner_all);
    }
    const std::string szRun =
        "trap '' PIPE; echo typed | PATH='" + (dir / "bin").string() + "' '" + probe.string() + "'";
    FILE* pPipe = popen(szRun.c_str(), "r");
    std::string szOut(2 * kDeviceNameCapacity, '\0');
    szOut.resize(fread(szOut.data(), 1, szOut.size(), pPipe));
    EXPECT_EQ(pclose(pPipe), nExit << 8) << szName;
    EXPECT_EQ(szOut, szName);
  }
  EXPECT_TRUE(fs::exists(dir / "finished"));
  fs::remove_all(dir);
}

}  // namespace
