#include "platform/environment.h"

#include <cstdlib>

#ifdef _WIN32
#include "platform/wide_text.h"
#endif

std::string EnvironmentValue(const char* szName) {
#ifdef _WIN32
  // getenv would give the ANSI code page's version, with '?' for what it lacks.
  const wchar_t* szWide = _wgetenv(Utf8ToWide(szName).c_str());
  return szWide != nullptr ? WideToUtf8(szWide) : std::string();
#else
  const char* szValue = std::getenv(szName);
  return szValue != nullptr ? szValue : std::string();
#endif
}
