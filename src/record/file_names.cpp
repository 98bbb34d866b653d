#include "record/file_names.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Past this many the name stays with the last number tried: the open then
// fails and says so, rather than the search going on for ever.
constexpr int kMaxNumber = 10000;

size_t NameStart(const std::string& szPath) {
  const size_t nSlash = szPath.find_last_of("/\\");
  return nSlash == std::string::npos ? 0 : nSlash + 1;
}

std::string Numbered(const std::string& szPath, int n) {
  if (n < 2) return szPath;
  size_t nDot = szPath.find_last_of('.');
  if (nDot == std::string::npos || nDot <= NameStart(szPath)) nDot = szPath.size();
  return szPath.substr(0, nDot) + " (" + std::to_string(n) + ")" + szPath.substr(nDot);
}

std::filesystem::path PathOf(const std::string& szPath) {
  return std::filesystem::path(std::u8string(szPath.begin(), szPath.end()));
}

// Makes the file, empty, only if nothing has its name: 0, else errno.
int CreateExclusively(const std::string& szPath) {
#ifdef _WIN32
  const int nFile = _wopen(PathOf(szPath).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                           _S_IREAD | _S_IWRITE);
  if (nFile < 0) return errno;
  _close(nFile);
#else
  const int nFile = open(szPath.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (nFile < 0) return errno;
  close(nFile);
#endif
  return 0;
}

}  // namespace

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

std::string TimestampedName(const std::tm& local) {
  char szName[64];
  std::snprintf(szName, sizeof szName, "Veltrona %04d-%02d-%02d %02d.%02d.%02d",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec);
  return szName;
}

std::string UniquePath(const std::string& szPath, bool (*pfnExists)(const std::string&)) {
  if (pfnExists == nullptr) pfnExists = PathExists;
  if (!pfnExists(szPath)) return szPath;
  std::string szCandidate;
  for (int n = 2; n <= kMaxNumber; ++n) {
    szCandidate = Numbered(szPath, n);
    if (!pfnExists(szCandidate)) break;
  }
  return szCandidate;
}

std::string CreateUniqueFile(const std::string& szPath, std::string& szError) {
  for (int n = 1; n <= kMaxNumber; ++n) {
    const std::string szCandidate = Numbered(szPath, n);
    const int nError = CreateExclusively(szCandidate);
    if (nError == 0) return szCandidate;
    if (nError != EEXIST) {
      szError = std::strerror(nError);
      return {};
    }
  }
  szError = std::strerror(EEXIST);
  return {};
}

std::string RecordPathFor(const std::string& szGiven, const std::string& szAutoName) {
  std::error_code error;
  if (!szGiven.empty() && std::filesystem::is_directory(PathOf(szGiven), error))
    return JoinPath(szGiven, szAutoName);
  return szGiven;
}

void RemoveFile(const std::string& szPath) {
  std::error_code error;
  std::filesystem::remove(PathOf(szPath), error);
}

bool PathExists(const std::string& szPath) {
  // FFmpeg's file protocol takes UTF-8 paths on every platform. A file that
  // exists but cannot be read still counts: it is not to be overwritten.
  const int nResult = avio_check(szPath.c_str(), 0);
  return nResult >= 0 || nResult == AVERROR(EACCES);
}

std::string FileNameOf(const std::string& szPath) {
  return szPath.substr(NameStart(szPath));
}

std::string JoinPath(const std::string& szFolder, const std::string& szName) {
  if (szFolder.empty()) return szName;
  const char cLast = szFolder.back();
  if (cLast == '/' || cLast == '\\') return szFolder + szName;
  return szFolder + kSeparator + szName;
}
