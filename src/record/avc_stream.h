// The picture size the recorder's file header needs, read from the H.264
// itself: the pictures stay as the device sent them (4-byte length-prefixed
// NAL units).
#pragma once

#include <cstdint>
#include <span>

// The displayed size of a keyframe, read by FFmpeg's H.264 parser from the
// record's parameter sets and the picture's first slice.
bool ReadPictureSize(std::span<const uint8_t> record, std::span<const uint8_t> keyframe,
                     int32_t& nWidth, int32_t& nHeight);
