#include "device/printable_text.h"

std::string PrintableText(std::string_view szText) {
  std::string szResult(szText);
  for (char& c : szResult) {
    const auto byValue = static_cast<unsigned char>(c);
    if (byValue < 0x20 || byValue == 0x7F) c = '?';
  }
  return szResult;
}

std::string PrintableDeviceName(std::string_view szName) {
  const bool bLineBreak = szName.ends_with('\n');
  if (bLineBreak) szName.remove_suffix(1);
  if (bLineBreak && szName.ends_with('\r')) szName.remove_suffix(1);
  return PrintableText(szName) + (bLineBreak ? "\n" : "");
}
