// The device-name lookup on Linux: the tool runs as a child process whose
// standard output and error share one pipe; the capture thread reads it while
// the tool runs and gives up after a bounded time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <string_view>

#include "device/device_name.h"
#include "device/device_name_tool.h"

extern char** environ;

namespace {

constexpr char kToolBesideProgram[] = "/Frameworks/ideviceinfo";
constexpr char kToolOnPath[] = "ideviceinfo";
constexpr int kReapPollMs = 10;
// How long a wait may go without looking whether the lookup was cancelled.
constexpr int kCancelPollMs = 20;

// The lookup's only timer. It is about a child process, not the device, so it
// runs on the real clock even when the capture side uses a virtual one.
struct Deadline {
  std::chrono::steady_clock::time_point at;
  const std::atomic<bool>* pbCancel;
};

Deadline LookupDeadline(const std::atomic<bool>* pbCancel) {
  return {std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeviceNameTimeoutMs),
          pbCancel};
}

// 0 once the deadline has passed or the lookup was cancelled.
int MillisecondsLeft(const Deadline& deadline) {
  if (deadline.pbCancel != nullptr && deadline.pbCancel->load()) return 0;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline.at - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// The directory of the running executable, without the final slash.
std::string GetModuleDirectory() {
  std::array<char, PATH_MAX> szPath{};
  const ssize_t nLength = readlink("/proc/self/exe", szPath.data(), szPath.size() - 1);
  if (nLength <= 0) return {};
  const std::string_view szExe(szPath.data(), static_cast<size_t>(nLength));
  const size_t nSlash = szExe.rfind('/');
  return std::string(nSlash == std::string_view::npos ? szExe : szExe.substr(0, nSlash));
}

struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
};

// Output and error into the pipe, nothing to read, no other descriptor of the
// program, and a process group of its own so that a hung tool can be killed
// together with anything it started.
void PrepareSpawn(SpawnSetup& setup, int nWriteFd) {
  posix_spawn_file_actions_init(&setup.actions);
  posix_spawn_file_actions_adddup2(&setup.actions, nWriteFd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, nWriteFd, STDERR_FILENO);
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);

  posix_spawnattr_init(&setup.attributes);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&setup.attributes, &signals);
  sigaddset(&signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&setup.attributes, &signals);
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  posix_spawnattr_setflags(&setup.attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

void ReleaseSpawn(SpawnSetup& setup) {
  posix_spawn_file_actions_destroy(&setup.actions);
  posix_spawnattr_destroy(&setup.attributes);
}

// Starts the tool beside the program, else the one on PATH, and returns at
// once: the caller reads and waits under its deadline. -1 when neither starts.
pid_t RunHiddenTool(const std::vector<std::string>& vecArguments, int nWriteFd) {
  SpawnSetup setup;
  PrepareSpawn(setup, nWriteFd);
  const std::string szDirectory = GetModuleDirectory();
  const std::string szBeside = szDirectory + kToolBesideProgram;

  std::vector<char*> vecArgv;
  vecArgv.push_back(nullptr);  // argv[0], set per try
  for (const std::string& szArgument : vecArguments) {
    vecArgv.push_back(const_cast<char*>(szArgument.c_str()));
  }
  vecArgv.push_back(nullptr);

  pid_t pid = -1;
  vecArgv[0] = const_cast<char*>(szBeside.c_str());
  int nError = szDirectory.empty() ? ENOENT
                                   : posix_spawn(&pid, szBeside.c_str(), &setup.actions,
                                                 &setup.attributes, vecArgv.data(), environ);
  if (nError != 0) {
    vecArgv[0] = const_cast<char*>(kToolOnPath);
    nError =
        posix_spawnp(&pid, kToolOnPath, &setup.actions, &setup.attributes, vecArgv.data(), environ);
  }
  ReleaseSpawn(setup);
  return nError == 0 ? pid : -1;
}

// Reads until the tool closes its end or the deadline passes. Reading on past
// the cap keeps a talkative tool from blocking on a full pipe.
void ReadToolOutput(int nReadFd, const Deadline& deadline, std::string& szName) {
  std::array<char, 4096> buffer{};
  for (;;) {
    const int nLeft = MillisecondsLeft(deadline);
    if (nLeft == 0) return;
    pollfd pollFd{nReadFd, POLLIN, 0};
    const int nReady = poll(&pollFd, 1, std::min(nLeft, kCancelPollMs));
    if (nReady < 0 && errno == EINTR) continue;
    if (nReady == 0) continue;
    if (nReady < 0) return;
    const ssize_t nRead = read(nReadFd, buffer.data(), buffer.size());
    if (nRead < 0 && errno == EINTR) continue;
    if (nRead <= 0) return;
    KeepToolOutput(szName, std::span<const char>(buffer.data(), static_cast<size_t>(nRead)));
  }
}

bool TryReap(pid_t pid, int& nStatus) {
  pid_t nResult;
  do {
    nResult = waitpid(pid, &nStatus, WNOHANG);
  } while (nResult < 0 && errno == EINTR);
  return nResult != 0;  // reaped, or nothing left to reap
}

// Waits for the tool's end until the deadline, then kills its process group;
// either way the child is reaped. True when it ended on its own with exit code 0.
bool EndTool(pid_t pid, const Deadline& deadline) {
  int nStatus = -1;
  while (!TryReap(pid, nStatus)) {
    if (MillisecondsLeft(deadline) == 0) {
      kill(-pid, SIGKILL);
      while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
      return false;
    }
    poll(nullptr, 0, kReapPollMs);
  }
  return nStatus != -1 && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}

}  // namespace

bool GetDeviceName(const std::string& szUdid, std::string& szName, bool* pbToolSucceeded,
                   const std::atomic<bool>* pbCancel) {
  szName.clear();
  if (pbToolSucceeded != nullptr) *pbToolSucceeded = false;
  int pipeFds[2] = {-1, -1};
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  const Deadline deadline = LookupDeadline(pbCancel);
  const pid_t pid = RunHiddenTool(DeviceNameToolArguments(szUdid), pipeFds[1]);
  // Only the child may hold the write end, or the read would never see its end.
  close(pipeFds[1]);
  if (pid < 0) {
    close(pipeFds[0]);
    return false;
  }
  ReadToolOutput(pipeFds[0], deadline, szName);
  close(pipeFds[0]);
  const bool bSucceeded = EndTool(pid, deadline);
  if (pbToolSucceeded != nullptr) *pbToolSucceeded = bSucceeded;
  FinishDeviceName(szName);
  return true;
}
