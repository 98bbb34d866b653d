// Screenshots: a BGRA picture into a PNG file, losslessly.
#pragma once

#include <cstdint>
#include <string>

// Writes the picture (4 x nWidth x nHeight bytes of B, G, R, A, rows top to
// bottom) as an RGB PNG at the UTF-8 path; alpha is dropped (the decoded
// picture is opaque). False, with szError saying why, when it fails; a
// partly written file is then removed.
bool WritePngFile(const std::string& szPath, const uint8_t* pBgra, int32_t nWidth, int32_t nHeight,
                  std::string& szError);
