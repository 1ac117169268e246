#pragma once
// Conversions between the UTF-8 texts of the system and the UTF-16LE and
// Windows-1252 texts found in files written on the other platform.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dalvera::platform {

bool isValidUtf8(std::string_view s);
// Unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(const uint8_t* data, size_t units);
// Returns false (out unchanged) when s is not valid UTF-8.
bool utf8ToUtf16le(std::string_view s, std::vector<uint8_t>& out);
std::string cp1252ToUtf8(std::string_view s);

}  // namespace dalvera::platform
