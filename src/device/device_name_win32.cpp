// The device-name lookup on Windows: Frameworks\ideviceinfo.exe beside the
// program, started hidden with its standard output and error in one pipe. The
// capture thread reads the pipe while the tool runs and gives up after a
// bounded time, so a tool that hangs or writes more than the pipe holds cannot
// hold the capture.
#include <windows.h>

#include <array>
#include <span>

#include "device/device_name.h"
#include "device/device_name_tool.h"

namespace {

constexpr char kToolBesideProgram[] = "\\Frameworks\\ideviceinfo.exe";
// How long to wait on the tool between looks at the pipe.
constexpr DWORD kPollMs = 10;
// Ending a process completes after TerminateProcess returns; the lookup waits
// this long for it, so that no tool outlives it.
constexpr DWORD kTerminateWaitMs = 1000;

struct HiddenTool {
  HANDLE hProcess = nullptr;
  HANDLE hRead = nullptr;
};

// The folder of the program's own executable, without the final backslash.
std::string GetModuleDirectory() {
  std::array<char, MAX_PATH> szPath{};
  const DWORD nLength = GetModuleFileNameA(nullptr, szPath.data(), MAX_PATH);
  const std::string szExe(szPath.data(), nLength);
  const size_t nBackslash = szExe.rfind('\\');
  return nBackslash == std::string::npos ? szExe : szExe.substr(0, nBackslash);
}

// Starts the tool with no window. The parent keeps only the read end: once the
// tool (and anything it started) has closed its copy of the write end, reads
// see the end of the output.
HiddenTool RunHiddenTool(const std::string& szToolPath, std::string szCommandLine) {
  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof(inheritable);
  inheritable.bInheritHandle = TRUE;
  HANDLE hRead = nullptr;
  HANDLE hWrite = nullptr;
  if (!CreatePipe(&hRead, &hWrite, &inheritable, 0)) return {};

  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = hRead;
  startup.hStdOutput = hWrite;
  startup.hStdError = hWrite;
  PROCESS_INFORMATION process{};
  const BOOL bStarted = CreateProcessA(szToolPath.c_str(), szCommandLine.data(), &inheritable,
                                       &inheritable, TRUE, CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS,
                                       nullptr, nullptr, &startup, &process);
  CloseHandle(hWrite);
  if (!bStarted) {
    CloseHandle(hRead);
    return {};
  }
  CloseHandle(process.hThread);
  return {process.hProcess, hRead};
}

// Reads what the tool writes until its output ends or the deadline passes; at
// the deadline the tool is ended. Output past the capacity is read and dropped
// so that the tool can still finish.
void ReadToolOutput(const HiddenTool& tool, ULONGLONG qwDeadline, std::string& szName) {
  std::array<char, 4096> buffer{};
  for (;;) {
    DWORD nAvailable = 0;
    if (!PeekNamedPipe(tool.hRead, nullptr, 0, nullptr, &nAvailable, nullptr)) return;
    if (nAvailable > 0) {
      DWORD nRead = 0;
      const DWORD nWant = nAvailable < buffer.size() ? nAvailable : buffer.size();
      if (!ReadFile(tool.hRead, buffer.data(), nWant, &nRead, nullptr)) return;
      KeepToolOutput(szName, std::span<const char>(buffer.data(), nRead));
      continue;
    }
    if (GetTickCount64() >= qwDeadline) {
      TerminateProcess(tool.hProcess, 1);
      WaitForSingleObject(tool.hProcess, kTerminateWaitMs);
      return;
    }
    // Wakes at once when the tool ends. A tool that has ended while something
    // it started still holds the pipe open is waited for with plain sleeps.
    if (WaitForSingleObject(tool.hProcess, kPollMs) == WAIT_OBJECT_0) Sleep(kPollMs);
  }
}

}  // namespace

bool GetDeviceName(const std::string& szArguments, std::string& szName, bool* pbToolSucceeded) {
  szName.clear();
  if (pbToolSucceeded != nullptr) *pbToolSucceeded = false;
  const std::string szToolPath = GetModuleDirectory() + kToolBesideProgram;
  // The path is quoted for the command line (it may hold spaces) and given
  // unquoted as the program to start.
  const std::string szCommandLine = "\"" + szToolPath + "\" " + szArguments;
  const ULONGLONG qwDeadline = GetTickCount64() + kDeviceNameTimeoutMs;
  const HiddenTool tool = RunHiddenTool(szToolPath, szCommandLine);
  if (tool.hProcess == nullptr) return false;
  ReadToolOutput(tool, qwDeadline, szName);
  DWORD nExitCode = 1;
  if (pbToolSucceeded != nullptr && WaitForSingleObject(tool.hProcess, 0) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(tool.hProcess, &nExitCode))
    *pbToolSucceeded = nExitCode == 0;
  CloseHandle(tool.hRead);
  CloseHandle(tool.hProcess);
  FinishDeviceName(szName);
  return true;
}
