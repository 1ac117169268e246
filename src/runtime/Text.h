#pragma once
// Small text helpers shared by the engine and the platform. Texts are UTF-8.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dalvera {

std::string lowerAscii(std::string_view s);
std::string upperAscii(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view s, std::string_view prefix);
bool endsWithNoCase(std::string_view s, std::string_view suffix);
std::string trimBlanks(std::string_view s);
std::string replaceAll(std::string s, std::string_view from, std::string_view to);
std::vector<std::string> split(std::string_view s, char sep);
// Number of characters (code points) in a UTF-8 text.
size_t utf8Length(std::string_view s);
// Appends one code point as UTF-8.
void appendUtf8(std::string& out, uint32_t codePoint);
// The first n characters (code points) of a UTF-8 text.
std::string utf8Left(std::string_view s, size_t n);

}  // namespace dalvera
