// The log's texts are GBK (code page 936) bytes; a log a user reads is UTF-8.
#pragma once

#include <string>
#include <string_view>

// The UTF-8 form of GBK bytes. A byte sequence that is not GBK becomes "?" for
// each byte that cannot be read, so a line is never lost for one bad byte.
// Safe from any thread.
std::string GbkToUtf8(std::string_view szGbk);
