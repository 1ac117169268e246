#include "platform/os/DesktopShell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>

#include "platform/os/Environment.h"
#include "platform/os/ShellLink.h"
#include "platform/os/SystemInfo.h"
#include "runtime/Error.h"

#ifndef DALVERA_VERSION_MAJOR
#error "DALVERA_VERSION_MAJOR comes from the build"
#endif

namespace dalvera::platform {

namespace {

bool isDirectory(const std::string& p) {
    struct stat st {};
    return !p.empty() && ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string withoutTrailingSlash(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

// The documents entry of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Documents".
std::string userDirsDocuments() {
    auto config = environmentValue("XDG_CONFIG_HOME");
    std::string file = (config && !config->empty() ? *config : homeFolder() + "/.config") + "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(in, line)) {
        size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos || line.compare(b, key.size(), key) != 0) continue;
        std::string v = line.substr(b + key.size());
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.pop_back();
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0) v = homeFolder() + v.substr(5);
        return v;
    }
    return {};
}

// A target without a scheme is a local file.
bool isUrl(const std::string& t) {
    size_t colon = t.find(':');
    if (colon == std::string::npos || colon < 2) return false;  // "C:" style is no scheme
    for (size_t i = 0; i < colon; ++i) {
        char c = t[i];
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.')) return false;
    }
    return true;
}

}  // namespace

std::string DesktopShell::TempFolder() { return tempFolder(); }

std::string DesktopShell::DocumentsFolder() {
    auto env = environmentValue("XDG_DOCUMENTS_DIR");
    if (env && isDirectory(*env)) return withoutTrailingSlash(*env);
    std::string fromFile = userDirsDocuments();
    if (isDirectory(fromFile)) return withoutTrailingSlash(fromFile);
    std::string docs = homeFolder() + "/Documents";
    if (isDirectory(docs)) return docs;
    return homeFolder();
}

std::string DesktopShell::Environ(const std::string& name) {
    return environmentValue(name).value_or(std::string());
}

void DesktopShell::OpenDocument(const std::string& target) {
    if (target.empty()) raiseStandard(err::InvalidCall);
    if (!isUrl(target) && ::access(target.c_str(), F_OK) != 0) raiseStandard(err::FileNotFound);

    // xdg-open knows no "--": a target starting with "-" is made a path, not an option.
    // Built before fork, because the child may only make async-signal-safe calls.
    const std::string arg = (target[0] == '-') ? "./" + target : target;
    char* const argv[] = {const_cast<char*>(Opener), const_cast<char*>(arg.c_str()), nullptr};

    // The grandchild runs the opener, so it is never our zombie; a pipe closed on
    // exec tells whether the program could be started.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) raise(err::Critical, "Cannot start " + std::string(Opener) + ": " + std::strerror(errno));
    pid_t child = ::fork();
    if (child < 0) {
        int e = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        raise(err::Critical, "Cannot start " + std::string(Opener) + ": " + std::strerror(e));
    }
    if (child == 0) {
        ::close(fds[0]);
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild == 0) {
            int devnull = ::open("/dev/null", O_RDWR);
            if (devnull >= 0) {
                ::dup2(devnull, 0);
                ::dup2(devnull, 1);
                ::dup2(devnull, 2);
            }
            ::execvp(Opener, argv);
            int e = errno;
            [[maybe_unused]] auto n = ::write(fds[1], &e, sizeof e);
            ::_exit(127);
        }
        if (grandchild < 0) {
            int e = errno;
            [[maybe_unused]] auto n = ::write(fds[1], &e, sizeof e);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int execErr = 0;
    ssize_t got;
    do {
        got = ::read(fds[0], &execErr, sizeof execErr);
    } while (got < 0 && errno == EINTR);
    ::close(fds[0]);
    if (got == static_cast<ssize_t>(sizeof execErr)) {
        if (execErr == ENOENT)
            raise(err::Critical, "Cannot open '" + target + "': the program " + Opener + " is not installed.");
        raise(err::Critical, "Cannot open '" + target + "' with " + Opener + ": " + std::strerror(execErr));
    }
}

std::string DesktopShell::ComponentFolder() {
    std::string buf(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) return {};
    buf.resize(static_cast<size_t>(n));
    size_t slash = buf.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : buf.substr(0, slash);
}

host::ComponentVersion DesktopShell::Version() {
    return {DALVERA_VERSION_MAJOR, DALVERA_VERSION_MINOR, DALVERA_VERSION_PATCH};
}

std::string DesktopShell::CreateGuid() {
    uint8_t b[16];
    bool filled = false;
    int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        filled = ::read(fd, b, sizeof b) == static_cast<ssize_t>(sizeof b);
        ::close(fd);
    }
    if (!filled) {
        std::random_device rd;
        for (auto& x : b) x = static_cast<uint8_t>(rd());
    }
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // variant 1
    static const char hex[] = "0123456789ABCDEF";
    std::string s = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
        s += hex[b[i] >> 4];
        s += hex[b[i] & 0x0F];
    }
    return s + "}";
}

std::vector<std::pair<std::string, std::string>> DesktopShell::SystemInfo() { return readSystemInfo(systemRoot_); }

host::Shortcut DesktopShell::ReadShortcut(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) raiseStandard(err::FileNotFound);
    std::ifstream in(path, std::ios::binary);
    if (!in) raiseStandard(err::PermissionDenied);
    // Shortcuts are small; a huge file is not one, and is not read whole.
    constexpr std::streamoff Limit = 1 << 20;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || size > Limit) raise(err::InvalidCall, "Not a valid shortcut file: " + path);
    in.seekg(0);
    std::vector<uint8_t> data(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(data.data()), size))
        raise(err::InvalidCall, "Cannot read the shortcut file: " + path);
    try {
        return parseShellLink(data);
    } catch (const Error& e) {
        raise(e.number(), e.description() + " (" + path + ")");
    }
}

}  // namespace dalvera::platform
