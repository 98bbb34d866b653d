// Builds the host's dictionaries in the tagged-item encoding: u32 length that
// counts its own 8-byte header, u32 tag, payload. Keys and string values go
// out as they read, without terminator; tags go out reversed.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// An empty dictionary: length 8, tag dict.
std::vector<uint8_t> BeginDictionary();

// Appends one keyv entry (key item, then the value item as given) and grows
// the dictionary's own length field by the entry's length. A finished
// dictionary is a value item too.
void AppendEntry(std::vector<uint8_t>& vecDictionary, std::string_view szKey,
                 std::span<const uint8_t> value);

std::vector<uint8_t> BoolValue(bool bValue);
std::vector<uint8_t> Int32Value(int32_t nValue);
std::vector<uint8_t> Float64Value(double dValue);
std::vector<uint8_t> StringValue(std::string_view szValue);
std::vector<uint8_t> DataValue(std::span<const uint8_t> data);
