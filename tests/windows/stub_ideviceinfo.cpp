// Stands in for Frameworks\ideviceinfo.exe in the Windows tests. Called as the
// program calls the real tool ("-u <udid> -k DeviceName"); the UDID picks what
// it does, so that one stub covers every way a tool can behave.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

void Write(HANDLE hOutput, const std::string& szBytes) {
  DWORD nWritten = 0;
  WriteFile(hOutput, szBytes.data(), static_cast<DWORD>(szBytes.size()), &nWritten, nullptr);
}

}  // namespace

int main(int nArgs, char** pArgv) {
  const HANDLE hOut = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE hErr = GetStdHandle(STD_ERROR_HANDLE);
  if (nArgs != 5 || std::strcmp(pArgv[1], "-u") != 0 || std::strcmp(pArgv[3], "-k") != 0 ||
      std::strcmp(pArgv[4], "DeviceName") != 0) {
    Write(hOut, std::string("unexpected command line: ") + GetCommandLineA() + "\n");
    return 2;
  }
  const std::string szUdid = pArgv[2];
  if (szUdid == "stderr") {
    Write(hOut, "out\n");
    Write(hErr, "err\n");
  } else if (szUdid == "flood") {
    // Far more than a pipe holds: a reader that waits for the end first never gets it.
    const std::string szBlock(4096, 'x');
    for (int i = 0; i < 256; ++i) Write(hOut, szBlock);
    // Reached only when the reader kept reading: a tool that blocked on the
    // full pipe and was ended leaves no mark.
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string szMark = szPath;
    szMark = szMark.substr(0, szMark.rfind('\\') + 1) + "flood.done";
    CloseHandle(CreateFileA(szMark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  } else if (szUdid == "zero") {
    Write(hOut, std::string("abc\0def\n", 8));
  } else if (szUdid == "hang") {
    // The named mutex lives exactly as long as this process does.
    CreateMutexA(nullptr, FALSE, "VeltronaHangingStub");
    Write(hOut, "partial\n");
    Sleep(INFINITE);
  } else if (szUdid == "startup") {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    Write(hOut, "flags=" + std::to_string(startup.dwFlags) +
                    " show=" + std::to_string(startup.wShowWindow) +
                    " console=" + std::to_string(GetConsoleWindow() != nullptr) + "\n");
  } else {
    Write(hOut, "Stub iPhone " + szUdid + "\n");
  }
  return 0;
}
