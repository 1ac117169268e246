#include "platform/os/LocalFileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/Error.h"

namespace dalvera::platform {

namespace {

bool isSep(char c) { return c == '/' || c == '\\'; }

// The path without trailing separators, keeping a lone root.
std::string_view stripTrailing(std::string_view p) {
    while (p.size() > 1 && isSep(p.back())) p.remove_suffix(1);
    return p;
}

size_t lastSep(std::string_view p) {
    for (size_t i = p.size(); i-- > 0;)
        if (isSep(p[i])) return i;
    return std::string_view::npos;
}

}  // namespace

bool LocalFileSystem::FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool LocalFileSystem::FolderExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string LocalFileSystem::GetFileName(const std::string& path) {
    std::string_view p = stripTrailing(path);
    if (p.size() == 1 && isSep(p[0])) return {};
    size_t s = lastSep(p);
    return std::string(s == std::string_view::npos ? p : p.substr(s + 1));
}

std::string LocalFileSystem::GetExtensionName(const std::string& path) {
    std::string name = GetFileName(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string LocalFileSystem::GetBaseName(const std::string& path) {
    std::string name = GetFileName(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string LocalFileSystem::GetParentFolderName(const std::string& path) {
    std::string_view p = stripTrailing(path);
    size_t s = lastSep(p);
    if (s == std::string_view::npos || p.size() == 1) return {};
    std::string_view parent = p.substr(0, s);
    while (!parent.empty() && isSep(parent.back())) parent.remove_suffix(1);
    if (parent.empty()) return std::string(1, p[0]);  // the root itself
    return std::string(parent);
}

std::string LocalFileSystem::BuildPath(const std::string& path, const std::string& name) {
    if (path.empty()) return name;
    if (name.empty()) return path;
    bool pathEnds = isSep(path.back());
    bool nameStarts = isSep(name.front());
    if (pathEnds && nameStarts) return path + name.substr(1);
    if (pathEnds || nameStarts) return path + name;
    return path + "/" + name;
}

void LocalFileSystem::DeleteFile(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        raiseStandard(err::FileNotFound);
    if (::unlink(path.c_str()) != 0) {
        if (errno == ENOENT) raiseStandard(err::FileNotFound);
        raiseStandard(err::PermissionDenied);
    }
}

}  // namespace dalvera::platform
