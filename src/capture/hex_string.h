// Hexadecimal dumps of device bytes for the log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Two upper-case digits per byte, no separators; at most nMaxChars
// characters, always whole bytes.
std::string HexString(std::span<const uint8_t> bytes, size_t nMaxChars = SIZE_MAX);
