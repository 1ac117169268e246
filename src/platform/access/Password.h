#pragma once
// The database password of a Jet 3 or Jet 4 file. libmdb reads such a file
// without it, so it is checked here against what the header keeps.
#include <optional>
#include <string>

namespace dalvera::access {

// The password the header of path keeps (UTF-8), "" when it has none;
// it ends at the first zero character. nullopt for what holds no such password:
// ACE files (encrypted when they have one) and what is no whole Jet file.
std::optional<std::string> headerPassword(const std::string& path);

// Raises 3031 when path is a Jet file whose password is not typed; capitals count.
void checkPassword(const std::string& path, const std::string& typed);

}  // namespace dalvera::access
