#include "app/save_folders.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include "platform/wide_text.h"
#else
#include <sys/stat.h>
#endif

namespace {

#ifdef _WIN32

std::string KnownFolder(SaveKind kind) {
  PWSTR pszWide = nullptr;
  std::string szFolder;
  const KNOWNFOLDERID& id = kind == SaveKind::Pictures ? FOLDERID_Pictures : FOLDERID_Videos;
  // A user may have deleted the folder (or never had one): it is made again,
  // rather than files going to the working folder, often the program's own
  // and not writable under Program Files.
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &pszWide)))
    szFolder = WideToUtf8(pszWide);
  CoTaskMemFree(pszWide);
  return szFolder;
}

#else

bool IsFolder(const std::string& szPath) {
  struct stat info {};
  return !szPath.empty() && stat(szPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string XdgFolder(SaveKind kind) {
  const char* szHome = std::getenv("HOME");
  const std::string szHomeDir = szHome != nullptr ? szHome : "";
  const char* szConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string szConfigDir =
      szConfig != nullptr && *szConfig == '/' ? szConfig : szHomeDir + "/.config";
  std::ifstream dirs(szConfigDir + "/user-dirs.dirs");
  std::stringstream text;
  text << dirs.rdbuf();
  const std::string szXdg = ReadXdgUserDir(
      text.str(), kind == SaveKind::Pictures ? "XDG_PICTURES_DIR" : "XDG_VIDEOS_DIR", szHomeDir);
  if (IsFolder(szXdg)) return szXdg;
  const std::string szUsual = szHomeDir + (kind == SaveKind::Pictures ? "/Pictures" : "/Videos");
  if (!szHomeDir.empty() && IsFolder(szUsual)) return szUsual;
  return szHomeDir;
}

#endif

}  // namespace

std::string SaveFolder(SaveKind kind, const std::string& szSaveDir) {
  if (!szSaveDir.empty()) return szSaveDir;
#ifdef _WIN32
  return KnownFolder(kind);
#else
  return XdgFolder(kind);
#endif
}

std::string ReadXdgUserDir(std::string_view szText, std::string_view szKey,
                           const std::string& szHome) {
  std::string szValue;
  size_t nLine = 0;
  while (nLine < szText.size()) {
    size_t nEnd = szText.find('\n', nLine);
    if (nEnd == std::string_view::npos) nEnd = szText.size();
    std::string_view line = szText.substr(nLine, nEnd - nLine);
    nLine = nEnd + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (!line.starts_with(szKey) || line.substr(szKey.size()).rfind('=', 0) != 0) continue;
    line.remove_prefix(szKey.size() + 1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.remove_suffix(1);
    if (line.size() < 2 || line.front() != '"' || line.back() != '"') continue;
    line = line.substr(1, line.size() - 2);
    // The format allows only "$HOME/..." or an absolute path; a later entry wins.
    if (line == "$HOME" || line.starts_with("$HOME/")) {
      szValue = szHome + std::string(line.substr(5));
    } else if (line.starts_with("/")) {
      szValue = std::string(line);
    }
  }
  return szValue;
}
