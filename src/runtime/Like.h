#pragma once
// The host's Like operator: * any run, ? one character, # one digit,
// [a-z] / [!a-z] character lists, [*] a literal special character.
// Case-sensitive; characters are UTF-8 code points.
#include <string_view>

namespace dalvera {

// True when text matches pattern. A malformed pattern (an unclosed '[' or a
// range whose bounds are reversed) raises error 93 "Invalid pattern string".
bool Like(std::string_view text, std::string_view pattern);

}  // namespace dalvera
