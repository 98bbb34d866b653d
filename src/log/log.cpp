#include "log/log.h"

#include <cstdio>
#include <string>

#include "log/gbk_text.h"

void LogFormatV(LogLineSink pfnSink, void* pContext, const char* szFormat, va_list args) {
  if (pfnSink == nullptr) return;
  // Only the program's own text is GBK: what goes into it (a path, a device's
  // name) is UTF-8 already, and read as GBK it would be garbled. So the format
  // is converted, before the values are put in. In GBK every byte below 0x80
  // is its ASCII character, so the conversions keep their meaning, and a
  // format without such bytes is used as it is, without a copy.
  std::string szUtf8Format;
  for (const char* p = szFormat; *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) >= 0x80) {
      szUtf8Format = GbkToUtf8(szFormat);
      szFormat = szUtf8Format.c_str();
      break;
    }
  }
  // vsnprintf cuts an overlong line at 2047 bytes and always terminates it,
  // where the checking formatter would end the process.
  char szLine[kLogLineCapacity] = {};
  vsnprintf(szLine, sizeof szLine, szFormat, args);
  pfnSink(pContext, szLine);
}
