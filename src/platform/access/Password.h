#pragma once
// The database password of a Jet 3 or Jet 4 file. libmdb reads such a file
// without it, so it is checked here against what the header keeps.
#include <optional>
#include <string>

namespace dalvera::access {

// The password the header of path keeps (UTF-8), "" when it has none;
// nullopt when the header holds no readable password (ACE files, which are
// encrypted when they have one, and files too short for a header).
std::optional<std::string> headerPassword(const std::string& path);

// Raises 3031 when path is a Jet file whose password is not typed; capitals count.
void checkPassword(const std::string& path, const std::string& typed);

}  // namespace dalvera::access
