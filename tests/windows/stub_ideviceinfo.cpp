// Stands in for Frameworks\ideviceinfo.exe in the Windows tests, called as the
// program calls the real tool ("-u <udid> -k DeviceName"): the UDID says what to do.
#include <windows.h>

#include <string>

static void Write(DWORD nStream, const std::string& szBytes) {
  DWORD nWritten = 0;
  WriteFile(GetStdHandle(nStream), szBytes.data(), static_cast<DWORD>(szBytes.size()), &nWritten,
            nullptr);
}

int main(int nArgs, char** pArgv) {
  const std::string szUdid = nArgs > 2 ? pArgv[2] : "";
  if (szUdid.starts_with("stdout")) {
    std::string szLine = "Stub iPhone";  // with the arguments as they arrived
    for (int i = 1; i < nArgs; ++i) szLine += std::string("|") + pArgv[i];
    Write(STD_OUTPUT_HANDLE, szLine + "\n");
  } else if (szUdid.starts_with("handle ")) {
    // A file handle of the program's: written through when it reached the tool.
    const auto hHandle = reinterpret_cast<HANDLE>(std::stoull(szUdid.substr(7)));
    DWORD nWritten = 0;
    WriteFile(hHandle, "leak", 4, &nWritten, nullptr);
    Write(STD_OUTPUT_HANDLE, "tried\n");
  } else if (szUdid == "stderr") {
    Write(STD_OUTPUT_HANDLE, "out\n");
    Write(STD_ERROR_HANDLE, "err\n");
  } else if (szUdid == "flood") {
    for (int i = 0; i < 256; ++i) Write(STD_OUTPUT_HANDLE, std::string(4096, 'x'));
    // Reached only while the reader keeps reading.
    wchar_t szPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    CloseHandle(CreateFileW((std::wstring(szPath) + L".flood").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  } else if (szUdid == "zero") {
    Write(STD_OUTPUT_HANDLE, std::string("abc\0def\n", 8));
  } else if (szUdid == "hang") {
    CreateMutexA(nullptr, FALSE, "VeltronaHangingStub");  // lives as long as the process
    Write(STD_OUTPUT_HANDLE, "partial\n");
    Sleep(INFINITE);
  } else if (szUdid == "startup") {
    STARTUPINFOA startup{};
    GetStartupInfoA(&startup);
    Write(STD_OUTPUT_HANDLE, "flags=" + std::to_string(startup.dwFlags) +
                                 " show=" + std::to_string(startup.wShowWindow) + " console=" +
                                 std::to_string(GetConsoleWindow() != nullptr) + "\n");
  }
  return 0;
}
