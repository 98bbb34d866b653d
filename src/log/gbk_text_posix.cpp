#include <errno.h>
#include <iconv.h>

#include <mutex>

#include "log/gbk_text.h"

std::string GbkToUtf8(std::string_view szGbk) {
  // One converter for the process: the capture thread and the name lookup's
  // worker log side by side.
  static std::mutex mutex;
  static const iconv_t converter = iconv_open("UTF-8", "GBK");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::string(szGbk);
  const std::lock_guard lock(mutex);
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  std::string szOut(szGbk.size() * 2 + 8, '\0');  // a GBK pair becomes at most 3 bytes
  char* pIn = const_cast<char*>(szGbk.data());
  size_t nInLeft = szGbk.size();
  char* pOut = szOut.data();
  size_t nOutLeft = szOut.size();
  while (nInLeft > 0) {
    if (iconv(converter, &pIn, &nInLeft, &pOut, &nOutLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) break;  // cannot happen with room for 2 bytes out per byte in
    // EILSEQ, or EINVAL for a pair cut at the end: one byte is passed over.
    *pOut++ = '?';
    --nOutLeft;
    ++pIn;
    --nInLeft;
  }
  szOut.resize(szOut.size() - nOutLeft);
  return szOut;
}
