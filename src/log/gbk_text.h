// The log's texts are GBK (code page 936) bytes; a log a user reads is UTF-8.
#pragma once

#include <string>
#include <string_view>

// The UTF-8 form of GBK bytes. A byte sequence that is not GBK (a device name
// passed through, say) becomes "?" for each byte that cannot be read, so a
// line is never lost for one bad byte.
std::string GbkToUtf8(std::string_view szGbk);
