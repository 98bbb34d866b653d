#include "device/serial_number.h"

namespace {

constexpr size_t kShortSerialLength = 24;
constexpr size_t kShortSerialDashAt = 8;

// Byte by byte and independent of the process's locale: toupper/tolower in the
// "C" locale change only A-Z and a-z, and so does this.
char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string NormaliseSerialNumber(std::string_view szSerial) {
  std::string szResult;
  const bool bShortForm = szSerial.size() == kShortSerialLength &&
                          szSerial.find_first_of("&-") == std::string_view::npos;
  if (bShortForm) {
    szResult.reserve(kShortSerialLength + 1);
    for (size_t i = 0; i < szSerial.size(); ++i) {
      if (i == kShortSerialDashAt) szResult.push_back('-');
      szResult.push_back(AsciiUpper(szSerial[i]));
    }
    return szResult;
  }
  szResult.reserve(szSerial.size());
  for (char c : szSerial) szResult.push_back(AsciiLower(c));
  return szResult;
}
