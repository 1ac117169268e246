#pragma once
// The process environment, with the lookup rules the settings expect.
#include <optional>
#include <string>

namespace dalvera::platform {

// The value of a variable; the exact name first, then any letter case, because
// settings written on the other platform spell names freely (%temp%, %Temp%).
// The other platform's TEMP, TMP and USERPROFILE, when not set, stand for this
// one's temporary folder and home folder.
std::optional<std::string> environmentValue(const std::string& name);

// $HOME, else the home folder of the account; never empty.
std::string homeFolder();

// $TMPDIR, else /tmp; without a trailing slash.
std::string tempFolder();

// Replaces each %NAME% whose variable is set; other text, including an unknown
// %NAME%, is kept as written.
std::string expandEnvironmentStrings(const std::string& text);

}  // namespace dalvera::platform
