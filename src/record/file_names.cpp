#include "record/file_names.h"

#include <cstdio>

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

}  // namespace

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
  size_t nDot = szPath.find_last_of('.');
  if (nDot == std::string::npos || nDot <= NameStart(szPath)) nDot = szPath.size();
  const std::string szStem = szPath.substr(0, nDot);
  const std::string szExtension = szPath.substr(nDot);
  std::string szCandidate;
  for (int n = 2; n <= kMaxNumber; ++n) {
    szCandidate = szStem + " (" + std::to_string(n) + ")" + szExtension;
    if (!pfnExists(szCandidate)) break;
  }
  return szCandidate;
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
