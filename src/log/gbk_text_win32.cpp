#include <windows.h>

#include <vector>

#include "log/gbk_text.h"

namespace {

constexpr UINT kCodePageGbk = 936;

}  // namespace

std::string GbkToUtf8(std::string_view szGbk) {
  if (szGbk.empty()) return {};
  // Bytes that are not GBK come out as the code page's default character.
  const int nIn = static_cast<int>(szGbk.size());
  const int nWide = MultiByteToWideChar(kCodePageGbk, 0, szGbk.data(), nIn, nullptr, 0);
  if (nWide <= 0) return std::string(szGbk);
  std::vector<wchar_t> vecWide(static_cast<size_t>(nWide));
  MultiByteToWideChar(kCodePageGbk, 0, szGbk.data(), nIn, vecWide.data(), nWide);
  const int nUtf8 =
      WideCharToMultiByte(CP_UTF8, 0, vecWide.data(), nWide, nullptr, 0, nullptr, nullptr);
  if (nUtf8 <= 0) return std::string(szGbk);
  std::string szOut(static_cast<size_t>(nUtf8), '\0');
  WideCharToMultiByte(CP_UTF8, 0, vecWide.data(), nWide, szOut.data(), nUtf8, nullptr, nullptr);
  return szOut;
}
