// What the recorder reads from the H.264 it copies: keyframes, the parameter
// sets of a configuration record, the picture size. The pictures themselves
// stay as the device sent them (4-byte length-prefixed NAL units).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Whether a picture (length-prefixed NAL units) holds an IDR slice: a picture
// a decoder can start from. A prefix that runs past the end ends the walk.
bool IsKeyframe(std::span<const uint8_t> picture);

// The SPS and PPS of an AVC configuration record as length-prefixed NAL units,
// to go in front of a keyframe when the stream's parameter sets change under
// a file; empty when the record is malformed.
std::vector<uint8_t> ParameterSetUnits(std::span<const uint8_t> record);

// The record as a file's header holds it: NAL length fields of 4 bytes, as
// the device's pictures have them. Empty when the record is malformed.
std::vector<uint8_t> FileRecord(std::span<const uint8_t> record);

// The displayed size of a keyframe, read by FFmpeg's H.264 parser from the
// record's parameter sets and the picture's first slice.
bool ReadPictureSize(std::span<const uint8_t> record, std::span<const uint8_t> keyframe,
                     int32_t& nWidth, int32_t& nHeight);
