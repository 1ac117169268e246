#include "host/Platform.h"

#include "runtime/Error.h"

namespace dalvera::host {

namespace {
Platform& installed() {
    static Platform p;
    return p;
}

template <typename T>
T& require(T* p, const char* what) {
    if (!p) raise(err::Critical, std::string("The platform has no ") + what + ".");
    return *p;
}
}  // namespace

Platform& platform() { return installed(); }
void installPlatform(Platform p) { installed() = std::move(p); }

Registry& registry() { return require(installed().registry, "settings store"); }
Shell& shell() { return require(installed().shell, "shell"); }
FileSystem& fileSystem() { return require(installed().fileSystem, "file system"); }
UserInterface& ui() { return require(installed().ui, "user interface"); }

}  // namespace dalvera::host
