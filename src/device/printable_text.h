// Strings that come from the device (its serial number, the name the tool
// reports for it) are data: before they reach a terminal, a window or the log,
// every control character becomes '?', so that a device can neither forge a
// log line nor send escape sequences. Controls are C0 (below 0x20), 0x7F and
// C1 (U+0080 to U+009F, which 8-bit terminals also take as the bytes 0x80 to
// 0x9F); a byte that does not belong to valid UTF-8 (Latin-1 from the USB
// library, say) is '?' too. Letters in UTF-8 stay as they are.
#pragma once

#include <string>
#include <string_view>

std::string PrintableText(std::string_view szText);

// The name as the tool printed it, made printable; the line break that closes
// the tool's output (LF or CR LF) stays one LF, as the log takes it.
std::string PrintableDeviceName(std::string_view szName);
