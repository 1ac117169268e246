#include "host/Platform.h"

#include "runtime/Error.h"

namespace dalvera::host {

namespace {
Platform& installed() {
    static Platform p;
    return p;
}

std::vector<std::pair<std::string, std::string>>& registeredFacts() {
    static std::vector<std::pair<std::string, std::string>> facts;
    return facts;
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
void registerSystemFact(const std::string& key, const std::string& value) {
    auto& facts = registeredFacts();
    std::erase_if(facts, [&](const auto& f) { return f.first == key; });
    if (!value.empty()) facts.emplace_back(key, value);
}

SystemFacts systemFacts() {
    SystemFacts facts = shell().SystemInfo();
    for (const auto& f : registeredFacts()) facts.push_back(f);
    return facts;
}

UserInterface& ui() { return require(installed().ui, "user interface"); }

}  // namespace dalvera::host
