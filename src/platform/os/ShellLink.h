#pragma once
// Reader of the binary shortcut (.lnk) format: the fixed header, the optional
// item-ID list (skipped), the link information with the local or network path,
// and the string data (name, relative path, working folder, arguments, icon).
#include <cstdint>
#include <string>
#include <vector>

#include "host/Shell.h"

namespace dalvera::platform {

// Raises error 5 with a description of what is wrong when the bytes are not a
// shortcut or end early; never reads past the data.
host::Shortcut parseShellLink(const std::vector<uint8_t>& data);

}  // namespace dalvera::platform
