// Strings that come from the device (its serial number, the name the tool
// reports for it) are data: before they reach a terminal or the log, every
// control character (below 0x20, and 0x7F) becomes '?', so that a device can
// neither forge a log line nor send escape sequences. Other bytes, UTF-8 and
// GBK alike, stay.
#pragma once

#include <string>
#include <string_view>

std::string PrintableText(std::string_view szText);

// The name as the tool printed it, made printable; the line break that closes
// the tool's output (LF or CR LF) stays one LF, as the log takes it.
std::string PrintableDeviceName(std::string_view szName);
