#include "device/printable_text.h"

namespace {

// The length of the well-formed UTF-8 sequence that szText begins with (no
// overlong form, no surrogate, nothing above U+10FFFF) and its code point;
// 0 when it does not begin with one.
size_t Utf8Sequence(std::string_view szText, char32_t& nCodePoint) {
  const auto byLead = static_cast<unsigned char>(szText[0]);
  size_t nLength = 0;
  char32_t nLeast = 0;
  if (byLead < 0x80) {
    nCodePoint = byLead;
    return 1;
  }
  if (byLead >= 0xC2 && byLead <= 0xDF) {
    nLength = 2, nLeast = 0x80, nCodePoint = byLead & 0x1Fu;
  } else if (byLead >= 0xE0 && byLead <= 0xEF) {
    nLength = 3, nLeast = 0x800, nCodePoint = byLead & 0x0Fu;
  } else if (byLead >= 0xF0 && byLead <= 0xF4) {
    nLength = 4, nLeast = 0x10000, nCodePoint = byLead & 0x07u;
  } else {
    return 0;
  }
  if (szText.size() < nLength) return 0;
  for (size_t i = 1; i < nLength; ++i) {
    const auto by = static_cast<unsigned char>(szText[i]);
    if ((by & 0xC0u) != 0x80u) return 0;
    nCodePoint = (nCodePoint << 6) | (by & 0x3Fu);
  }
  const bool bSurrogate = nCodePoint >= 0xD800 && nCodePoint <= 0xDFFF;
  if (nCodePoint < nLeast || nCodePoint > 0x10FFFF || bSurrogate) return 0;
  return nLength;
}

bool IsControl(char32_t nCodePoint) {
  return nCodePoint < 0x20 || (nCodePoint >= 0x7F && nCodePoint <= 0x9F);
}

}  // namespace

std::string PrintableText(std::string_view szText) {
  std::string szResult;
  szResult.reserve(szText.size());
  while (!szText.empty()) {
    char32_t nCodePoint = 0;
    const size_t nLength = Utf8Sequence(szText, nCodePoint);
    // A byte that starts no valid sequence is one '?', and the next byte is
    // looked at afresh: a cut sequence does not swallow what follows it.
    if (nLength == 0 || IsControl(nCodePoint))
      szResult += '?';
    else
      szResult.append(szText.substr(0, nLength));
    szText.remove_prefix(nLength == 0 ? 1 : nLength);
  }
  return szResult;
}

std::string PrintableDeviceName(std::string_view szName) {
  const bool bLineBreak = szName.ends_with('\n');
  if (bLineBreak) szName.remove_suffix(1);
  if (bLineBreak && szName.ends_with('\r')) szName.remove_suffix(1);
  return PrintableText(szName) + (bLineBreak ? "\n" : "");
}
