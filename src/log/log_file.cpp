#include "log/log_file.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Appending, and not inherited by child processes (the device-name tool):
// "N" is the Windows C runtime's flag for it, "e" glibc's close-on-exec.
#ifdef _WIN32
// The path comes in UTF-8; fopen would read it in the ANSI code page, which
// cannot name a folder such as C:\Users\Пользователь.
FILE* OpenAppend(const char* szPath) {
  const int nChars = MultiByteToWideChar(CP_UTF8, 0, szPath, -1, nullptr, 0);
  if (nChars <= 1) return nullptr;
  std::wstring szWide(static_cast<size_t>(nChars), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, szPath, -1, szWide.data(), nChars);
  return _wfopen(szWide.c_str(), L"aN");
}
#else
FILE* OpenAppend(const char* szPath) {
  return std::fopen(szPath, "ae");
}
#endif

std::mutex g_LogMutex;
FILE* g_pLogFile = nullptr;
std::chrono::steady_clock::time_point g_Start;

}  // namespace

bool OpenLogFile(const char* szPath) {
  std::lock_guard<std::mutex> lock(g_LogMutex);
  FILE* pFile = std::strcmp(szPath, "-") == 0 ? stderr : OpenAppend(szPath);
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
