// Conversions between the wide texts of the Win32 API and the UTF-8 texts of
// the rest of the program. Windows only: paths, environment values and
// command lines cross the API in UTF-16, so that no letter is lost to the ANSI
// code page.
#pragma once

#include <string>

// Unpaired surrogates come out as U+FFFD rather than failing the conversion.
std::string WideToUtf8(const std::wstring& szWide);

std::wstring Utf8ToWide(const char* szUtf8);
