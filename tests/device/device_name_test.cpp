// The name lookup of a probe program, with stand-in tools on PATH and beside it.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "device/device_name_tool.h"

namespace {

namespace fs = std::filesystem;

TEST(DeviceNameLookup, NameIsWhatTheToolWrote) {
  char szTemplate[] = "/tmp/veltrona-name-XXXXXX";
  ASSERT_NE(mkdtemp(szTemplate), nullptr);
  const fs::path dir = szTemplate, probe = dir / "program folder" / "probe";
  fs::create_directories(probe.parent_path());
  fs::copy_file(VELTRONA_DEVICE_NAME_PROBE, probe);
  // Open without close-on-exec: the probe inherits it, the tool must not.
  const int nHigh = fcntl(open("/dev/null", O_RDONLY), F_DUPFD, 57);
  const std::string szFinished = (dir / "finished").string();
  struct Case {
    std::string szOnPath, szBeside, szName;
  };
  const Case cases[] = {
      {"printf '%s|' \"$@\"\necho note >&2\necho iPad", "",
       "-u|00008101-000A1B2C3D4E5F60|-k|DeviceName|note\niPad\n"},
      {"[ -e /proc/$$/fd/" + std::to_string(nHigh) +
           " ] && echo leaked\nread line && echo \"read:$line\"\necho done",
       "", "done\n"},
      {"printf 'abc\\0def\\n'", "", "abc"},
      // More than a pipe holds: unless the pipe is read while the tool runs,
      // the tool blocks and never gets to its mark.
      {"head -c 70000 /dev/zero | tr '\\0' n\ntouch '" + szFinished + "'", "",
       std::string(kDeviceNameCapacity, 'n')},
      {"echo partial\nsleep 600 &\nwait", "", "partial\n"},  // hung: ended, with what it wrote
      {"echo 'from path'", "echo \"beside $2\"", "beside 00008101-000A1B2C3D4E5F60\n"},
      {"", "", ""},  // no tool
  };
  for (const Case& c : cases) {
    for (const auto& [path, szBody] : {std::pair(dir / "bin", c.szOnPath),
                                       std::pair(probe.parent_path() / "Frameworks", c.szBeside)}) {
      fs::remove_all(path);
      if (szBody.empty()) continue;
      fs::create_directories(path);
      std::ofstream(path / "ideviceinfo") << "#!/bin/sh\nPATH=/usr/bin:/bin\n" << szBody << "\n";
      fs::permissions(path / "ideviceinfo", fs::perms::owner_all);
    }
    FILE* pPipe =
        popen(("PATH='" + (dir / "bin").string() + "' '" + probe.string() + "'").c_str(), "r");
    std::string szOut(2 * kDeviceNameCapacity, '\0');
    szOut.resize(fread(szOut.data(), 1, szOut.size(), pPipe));
    EXPECT_EQ(pclose(pPipe), c.szOnPath.empty() ? 1 << 8 : 0);
    EXPECT_EQ(szOut, c.szName);
  }
  EXPECT_TRUE(fs::exists(szFinished));
  fs::remove_all(dir);
}

}  // namespace
