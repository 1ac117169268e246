#include "platform/os/Environment.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "runtime/Text.h"

extern char** environ;

namespace dalvera::platform {

namespace {

std::optional<std::string> lookup(const std::string& name) {
    if (const char* v = std::getenv(name.c_str())) return std::string(v);
    for (char** e = environ; e && *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq && equalsNoCase(std::string_view(*e, static_cast<size_t>(eq - *e)), name))
            return std::string(eq + 1);
    }
    return std::nullopt;
}

std::string withoutTrailingSlash(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

}  // namespace

std::optional<std::string> environmentValue(const std::string& name) {
    if (name.empty() || name.find('=') != std::string::npos) return std::nullopt;
    if (auto v = lookup(name)) return v;
    if (equalsNoCase(name, "TEMP") || equalsNoCase(name, "TMP")) return tempFolder();
    if (equalsNoCase(name, "USERPROFILE")) return homeFolder();
    return std::nullopt;
}

std::string homeFolder() {
    auto home = lookup("HOME");
    if (home && !home->empty()) return withoutTrailingSlash(*home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return withoutTrailingSlash(pw->pw_dir);
    return "/";
}

std::string tempFolder() {
    auto tmp = lookup("TMPDIR");
    return tmp && !tmp->empty() ? withoutTrailingSlash(*tmp) : std::string("/tmp");
}

std::string expandEnvironmentStrings(const std::string& text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t open = text.find('%', i);
        if (open == std::string::npos) break;
        size_t close = text.find('%', open + 1);
        if (close == std::string::npos) break;
        out.append(text, i, open - i);
        auto value = environmentValue(text.substr(open + 1, close - open - 1));
        if (value) {
            out += *value;
            i = close + 1;
        } else {
            // Unknown: keep "%NAME" and let the closing sign open the next reference.
            out.append(text, open, close - open);
            i = close;
        }
    }
    out.append(text, i, std::string::npos);
    return out;
}

}  // namespace dalvera::platform
