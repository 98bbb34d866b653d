#include "log/log_file.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

namespace {

// Not inherited by child processes (the device-name tool): "N" is the
// Windows C runtime's flag for it, "e" glibc's close-on-exec.
#ifdef _WIN32
constexpr char kAppendMode[] = "aN";
#else
constexpr char kAppendMode[] = "ae";
#endif

std::mutex g_LogMutex;
FILE* g_pLogFile = nullptr;
std::chrono::steady_clock::time_point g_Start;

}  // namespace

bool OpenLogFile(const char* szPath) {
  std::lock_guard<std::mutex> lock(g_LogMutex);
  FILE* pFile = std::strcmp(szPath, "-") == 0 ? stderr : std::fopen(szPath, kAppendMode);
  if (pFile == nullptr) return false;
  g_pLogFile = pFile;
  g_Start = std::chrono::steady_clock::now();
  return true;
}

void WriteLogLine(void* /*pContext*/, const char* szUtf8Line) {
  std::lock_guard<std::mutex> lock(g_LogMutex);
  if (g_pLogFile == nullptr) return;
  const auto qwMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - g_Start)
                        .count();
  // Some texts end in a newline of their own: one line each all the same.
  std::string_view szLine(szUtf8Line);
  if (!szLine.empty() && szLine.back() == '\n') szLine.remove_suffix(1);
  std::fprintf(g_pLogFile, "%8lld %.*s\n", static_cast<long long>(qwMs),
               static_cast<int>(szLine.size()), szLine.data());
  std::fflush(g_pLogFile);
}

void CloseLogFile() {
  std::lock_guard<std::mutex> lock(g_LogMutex);
  if (g_pLogFile != nullptr && g_pLogFile != stderr) std::fclose(g_pLogFile);
  g_pLogFile = nullptr;
}
