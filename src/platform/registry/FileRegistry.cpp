#include "platform/registry/FileRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/os/Environment.h"
#include "platform/os/Unicode.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::platform {

namespace {

constexpr const char* Source = "Dalvera registry";

bool validName(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

bool isTextKind(uint32_t kind) {
    return kind == host::regkind::String || kind == host::regkind::ExpandString ||
           kind == host::regkind::MultiString;
}

// mkdir -p, private to the user for the folders it makes.
bool makeFolders(const std::string& folder) {
    if (folder.empty()) return true;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(folder.substr(0, slash))) return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

class FdGuard {
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool writeAll(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        ssize_t n = ::write(fd, s.data() + done, s.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string FileRegistry::defaultFile() {
    if (auto f = environmentValue("DALVERA_REGISTRY_FILE"); f && !f->empty()) return *f;
    // The XDG rules ignore a relative configuration folder.
    if (auto c = environmentValue("XDG_CONFIG_HOME"); c && !c->empty() && (*c)[0] == '/')
        return *c + "/dalvera/registry.reg";
    std::string home = homeFolder();
    return (home == "/" ? std::string() : home) + "/.config/dalvera/registry.reg";
}

FileRegistry::FileRegistry(std::string file) : file_(std::move(file)) {
    size_t slash = file_.rfind('/');
    folder_ = slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : file_.substr(0, slash));
}

FileRegistry::Stamp FileRegistry::stampNow() const {
    struct stat st {};
    Stamp s;
    if (::stat(file_.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            raise(host::regresult::IoFailed, "Cannot read the registry file '" + file_ + "': " + std::strerror(errno), Source);
        return s;
    }
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    s.ctimeNs = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
    return s;
}

void FileRegistry::refresh() {
    Stamp now = stampNow();
    if (loaded_ && now == stamp_) {
        if (damaged_) raise(damagedNumber_, damagedText_, Source);
        return;
    }
    loaded_ = true;
    stamp_ = now;
    damaged_ = false;
    if (!now.exists) {
        tree_ = RegTree();
        return;
    }
    int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    std::string text;
    bool ok = fd >= 0;
    if (ok) {
        FdGuard guard(fd);
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) != 0) {
            if (n < 0) {
                if (errno == EINTR) continue;
                ok = false;
                break;
            }
            text.append(buf, static_cast<size_t>(n));
        }
    }
    try {
        if (!ok)
            raise(host::regresult::IoFailed, "Cannot read the registry file '" + file_ + "': " + std::strerror(errno), Source);
        tree_ = parseRegFile(text, file_);
    } catch (const Error& e) {
        // Remember the verdict until the file changes, so no write slips past it.
        tree_ = RegTree();
        damaged_ = true;
        damagedNumber_ = e.number();
        damagedText_ = e.description();
        throw;
    }
}

long FileRegistry::save(const RegTree& tree) {
    std::string text = formatRegFile(tree);
    std::string temp = folder_ + "/.registry.reg.XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return host::regresult::IoFailed;
    bool ok;
    {
        FdGuard guard(fd);
        ok = ::fchmod(fd, 0600) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    }
    if (ok) ok = ::rename(temp.c_str(), file_.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return host::regresult::IoFailed;
    }
    // The rename itself must reach the disk too.
    int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return host::regresult::Success;
}

long FileRegistry::commit(const std::function<long(RegTree&, bool&)>& change) {
    if (!makeFolders(folder_)) return host::regresult::IoFailed;
    // The folder is the lock, so that no lock file lies next to the registry.
    FdGuard dir(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return host::regresult::IoFailed;
    while (::flock(dir.get(), LOCK_EX) != 0)
        if (errno != EINTR) return host::regresult::IoFailed;
    refresh();
    RegTree copy = tree_;
    bool modified = false;
    long rc = change(copy, modified);
    if (rc != host::regresult::Success || !modified) return rc;
    rc = save(copy);
    if (rc == host::regresult::Success) {
        tree_ = std::move(copy);
        stamp_ = stampNow();
    }
    return rc;
}  // the lock goes with the folder's descriptor

long FileRegistry::OpenKey(int32_t root, const std::string& path) {
    std::string full;
    if (!RegTree::fullName(root, path, full)) return host::regresult::InvalidParameter;
    if (full == RegTree::rootName(root)) return host::regresult::Success;
    refresh();
    return tree_.find(full) ? host::regresult::Success : host::regresult::NotFound;
}

long FileRegistry::CreateKey(int32_t root, const std::string& path) {
    std::string full;
    if (!RegTree::fullName(root, path, full) || !validName(path)) return host::regresult::InvalidParameter;
    return commit([&](RegTree& tree, bool& modified) {
        if (!tree.find(full)) {
            tree.create(full);
            modified = true;
        }
        return host::regresult::Success;
    });
}

long FileRegistry::QueryValue(int32_t root, const std::string& path, const std::string& name, uint32_t& kind,
                              std::vector<uint8_t>& data) {
    std::string full;
    if (!RegTree::fullName(root, path, full)) return host::regresult::InvalidParameter;
    refresh();
    RegKey* key = tree_.find(full);
    RegValue* v = key ? key->find(name) : nullptr;
    if (!v) return host::regresult::NotFound;
    kind = v->kind;
    data = v->data;
    return host::regresult::Success;
}

long FileRegistry::SetValue(int32_t root, const std::string& path, const std::string& name, uint32_t kind,
                            const std::vector<uint8_t>& data) {
    std::string full;
    if (!RegTree::fullName(root, path, full) || !validName(name)) return host::regresult::InvalidParameter;
    // Text is kept as UTF-8 and written to the file as UTF-16: other bytes would not survive.
    if (isTextKind(kind) && !isValidUtf8(std::string_view(reinterpret_cast<const char*>(data.data()), data.size())))
        return host::regresult::InvalidData;
    return commit([&](RegTree& tree, bool& modified) {
        bool isRoot = full == RegTree::rootName(root);
        RegKey* key = isRoot ? &tree.create(full) : tree.find(full);
        if (!key) return host::regresult::NotFound;
        if (RegValue* v = key->find(name)) {
            if (v->kind == kind && v->data == data) return host::regresult::Success;
            v->kind = kind;
            v->data = data;
        } else {
            key->values.push_back(RegValue{name, kind, data});
        }
        modified = true;
        return host::regresult::Success;
    });
}

long FileRegistry::EnumValue(int32_t root, const std::string& path, uint32_t index, std::string& name) {
    std::string full;
    if (!RegTree::fullName(root, path, full)) return host::regresult::InvalidParameter;
    refresh();
    RegKey* key = tree_.find(full);
    if (!key) return full == RegTree::rootName(root) ? host::regresult::NoMoreItems : host::regresult::NotFound;
    if (index >= key->values.size()) return host::regresult::NoMoreItems;
    name = key->values[index].name;
    return host::regresult::Success;
}

long FileRegistry::EnumKey(int32_t root, const std::string& path, uint32_t index, std::string& name) {
    std::string full;
    if (!RegTree::fullName(root, path, full)) return host::regresult::InvalidParameter;
    refresh();
    if (!tree_.find(full) && full != RegTree::rootName(root)) return host::regresult::NotFound;
    std::vector<std::string> names = tree_.children(full);
    if (index >= names.size()) return host::regresult::NoMoreItems;
    name = names[index];
    return host::regresult::Success;
}

long FileRegistry::DeleteValue(int32_t root, const std::string& path, const std::string& name) {
    std::string full;
    if (!RegTree::fullName(root, path, full)) return host::regresult::InvalidParameter;
    return commit([&](RegTree& tree, bool& modified) {
        RegKey* key = tree.find(full);
        if (!key) return host::regresult::NotFound;
        for (auto it = key->values.begin(); it != key->values.end(); ++it) {
            if (equalsNoCase(it->name, name)) {
                key->values.erase(it);
                modified = true;
                return host::regresult::Success;
            }
        }
        return host::regresult::NotFound;
    });
}

long FileRegistry::DeleteTree(int32_t root, const std::string& path) {
    std::string full;
    if (!RegTree::fullName(root, path, full)) return host::regresult::InvalidParameter;
    if (full == RegTree::rootName(root)) return host::regresult::AccessDenied;
    return commit([&](RegTree& tree, bool& modified) {
        if (!tree.find(full)) return host::regresult::NotFound;
        tree.erase(full);
        modified = true;
        return host::regresult::Success;
    });
}

std::string FileRegistry::ExpandEnvironmentStrings(const std::string& text) {
    return expandEnvironmentStrings(text);
}

}  // namespace dalvera::platform
