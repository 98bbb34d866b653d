#include "capture/hex_string.h"

#include <algorithm>

std::string HexString(std::span<const uint8_t> bytes, size_t nMaxChars) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const size_t nBytes = std::min(bytes.size(), nMaxChars / 2);
  std::string szText(nBytes * 2, '\0');
  for (size_t i = 0; i < nBytes; ++i) {
    szText[2 * i] = kDigits[bytes[i] >> 4];
    szText[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  return szText;
}
