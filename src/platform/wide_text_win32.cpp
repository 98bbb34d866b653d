#include <windows.h>

#include "platform/wide_text.h"

std::string WideToUtf8(const std::wstring& szWide) {
  if (szWide.empty()) return {};
  const int nWideLength = static_cast<int>(szWide.size());
  // The length is passed, so no terminator is counted or written.
  const int nBytes =
      WideCharToMultiByte(CP_UTF8, 0, szWide.data(), nWideLength, nullptr, 0, nullptr, nullptr);
  if (nBytes <= 0) return {};
  std::string szUtf8(static_cast<size_t>(nBytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, szWide.data(), nWideLength, szUtf8.data(), nBytes, nullptr,
                      nullptr);
  return szUtf8;
}

std::wstring Utf8ToWide(const char* szUtf8) {
  const int nChars = MultiByteToWideChar(CP_UTF8, 0, szUtf8, -1, nullptr, 0);
  if (nChars <= 1) return {};
  std::wstring szWide(static_cast<size_t>(nChars), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, szUtf8, -1, szWide.data(), nChars);
  szWide.resize(static_cast<size_t>(nChars) - 1);  // the terminator
  return szWide;
}
