// The form in which a device's USB serial number is compared with the UDID.
#pragma once

#include <string>
#include <string_view>

// A 24-character serial without "&" or "-" gets a "-" after its eighth
// character and is upper-cased; every other serial is lower-cased. Only the
// ASCII letters change.
std::string NormaliseSerialNumber(std::string_view szSerial);
