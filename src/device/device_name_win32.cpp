// The device-name lookup on Windows: Frameworks\ideviceinfo.exe beside the
// program, started hidden with its standard output and error in one pipe. The
// capture thread reads the pipe while the tool runs and gives up after a
// bounded time, so a tool that hangs or writes more than the pipe holds cannot
// hold the capture. The tool inherits its pipe and its input, nothing else of
// the program's (the log file among them).
#include <windows.h>

#include <array>
#include <span>
#include <vector>

#include "device/device_name.h"
#include "device/device_name_tool.h"
#include "platform/wide_text.h"

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

// The folder of the program's own executable in UTF-8, without the final
// backslash. Read in UTF-16, and grown past MAX_PATH as needed: the ANSI form
// would garble a folder named in another script, and the tool not be found.
std::string GetModuleDirectory() {
  std::wstring szExe(MAX_PATH, L'\0');
  while (true) {
    const DWORD nLength =
        GetModuleFileNameW(nullptr, szExe.data(), static_cast<DWORD>(szExe.size()));
    if (nLength < szExe.size()) {
      szExe.resize(nLength);
      break;
    }
    if (szExe.size() >= 32768) return {};
    szExe.resize(szExe.size() * 2);
  }
  const size_t nBackslash = szExe.rfind(L'\\');
  return WideToUtf8(nBackslash == std::wstring::npos ? szExe : szExe.substr(0, nBackslash));
}

// The handles the tool may inherit, and no others: without the list, every
// inheritable handle of the program would go to it.
struct InheritList {
  std::vector<char> vecStorage;
  LPPROC_THREAD_ATTRIBUTE_LIST pList = nullptr;
  std::array<HANDLE, 2> handles{};
};

bool MakeInheritList(InheritList& list, HANDLE hInput, HANDLE hOutput) {
  SIZE_T nSize = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &nSize);
  list.vecStorage.resize(nSize);
  list.pList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.vecStorage.data());
  if (!InitializeProcThreadAttributeList(list.pList, 1, 0, &nSize)) {
    list.pList = nullptr;
    return false;
  }
  list.handles = {hInput, hOutput};
  if (!UpdateProcThreadAttribute(list.pList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                 list.handles.data(), sizeof(list.handles), nullptr, nullptr)) {
    DeleteProcThreadAttributeList(list.pList);
    list.pList = nullptr;
    return false;
  }
  return true;
}

bool StartTool(const std::string& szToolPath, const std::string& szCommandLine, HANDLE hInput,
               HANDLE hOutput, PROCESS_INFORMATION& process) {
  InheritList list;
  if (!MakeInheritList(list, hInput, hOutput)) return false;
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = hInput;
  startup.StartupInfo.hStdOutput = hOutput;
  startup.StartupInfo.hStdError = hOutput;
  startup.lpAttributeList = list.pList;
  const std::wstring szWidePath = Utf8ToWide(szToolPath.c_str());
  std::wstring szWideCommandLine = Utf8ToWide(szCommandLine.c_str());
  const BOOL bStarted =
      CreateProcessW(szWidePath.c_str(), szWideCommandLine.data(), nullptr, nullptr, TRUE,
                     CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS | EXTENDED_STARTUPINFO_PRESENT,
                     nullptr, nullptr, &startup.StartupInfo, &process);
  DeleteProcThreadAttributeList(list.pList);
  return bStarted != FALSE;
}

// Starts the tool with no window. The parent keeps only the read end, which
// the tool does not get: once the tool (and anything it started) has closed
// its copy of the write end, reads see the end of the output.
HiddenTool RunHiddenTool(const std::string& szToolPath, const std::string& szCommandLine) {
  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof(inheritable);
  inheritable.bInheritHandle = TRUE;
  HANDLE hRead = nullptr;
  HANDLE hWrite = nullptr;
  if (!CreatePipe(&hRead, &hWrite, nullptr, 0)) return {};
  HANDLE hInput = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  PROCESS_INFORMATION process{};
  const bool bStarted = hInput != INVALID_HANDLE_VALUE &&
                        SetHandleInformation(hWrite, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) &&
                        StartTool(szToolPath, szCommandLine, hInput, hWrite, process);
  if (hInput != INVALID_HANDLE_VALUE) CloseHandle(hInput);
  CloseHandle(hWrite);
  if (!bStarted) {
    CloseHandle(hRead);
    return {};
  }
  CloseHandle(process.hThread);
  return {process.hProcess, hRead};
}

// Reads what the tool writes until its output ends, a read fails or the
// deadline passes, looking at the deadline before every read. Output past the
// capacity is read and dropped so that the tool can still finish.
void ReadToolOutput(const HiddenTool& tool, ULONGLONG qwDeadline, const std::atomic<bool>* pbCancel,
                    std::string& szName) {
  std::array<char, 4096> buffer{};
  while (GetTickCount64() < qwDeadline && (pbCancel == nullptr || !pbCancel->load())) {
    DWORD nAvailable = 0;
    if (!PeekNamedPipe(tool.hRead, nullptr, 0, nullptr, &nAvailable, nullptr)) return;
    if (nAvailable > 0) {
      DWORD nRead = 0;
      const DWORD nWant = nAvailable < buffer.size() ? nAvailable : buffer.size();
      if (!ReadFile(tool.hRead, buffer.data(), nWant, &nRead, nullptr)) return;
      KeepToolOutput(szName, std::span<const char>(buffer.data(), nRead));
      continue;
    }
    // Wakes at once when the tool ends. A tool that has ended while something
    // it started still holds the pipe open is waited for with plain sleeps.
    if (WaitForSingleObject(tool.hProcess, kPollMs) == WAIT_OBJECT_0) Sleep(kPollMs);
  }
}

// Whatever ended the reading, the tool is not left running.
void EndTool(const HiddenTool& tool) {
  if (WaitForSingleObject(tool.hProcess, 0) == WAIT_OBJECT_0) return;
  TerminateProcess(tool.hProcess, 1);
  WaitForSingleObject(tool.hProcess, kTerminateWaitMs);
}

}  // namespace

bool GetDeviceName(const std::string& szUdid, std::string& szName, bool* pbToolSucceeded,
                   const std::atomic<bool>* pbCancel) {
  szName.clear();
  if (pbToolSucceeded != nullptr) *pbToolSucceeded = false;
  const std::string szToolPath = GetModuleDirectory() + kToolBesideProgram;
  // The path is quoted for the command line (it may hold spaces) and given
  // unquoted as the program to start.
  const std::string szCommandLine = WindowsCommandLine(szToolPath, DeviceNameToolArguments(szUdid));
  const ULONGLONG qwDeadline = GetTickCount64() + kDeviceNameTimeoutMs;
  const HiddenTool tool = RunHiddenTool(szToolPath, szCommandLine);
  if (tool.hProcess == nullptr) return false;
  ReadToolOutput(tool, qwDeadline, pbCancel, szName);
  DWORD nExitCode = 1;
  if (pbToolSucceeded != nullptr && WaitForSingleObject(tool.hProcess, 0) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(tool.hProcess, &nExitCode))
    *pbToolSucceeded = nExitCode == 0;
  EndTool(tool);
  CloseHandle(tool.hRead);
  CloseHandle(tool.hProcess);
  FinishDeviceName(szName);
  return true;
}
