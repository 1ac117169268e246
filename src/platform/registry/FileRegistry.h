#pragma once
// The registry kept in one .reg text file per user. The file is read when first
// needed and again whenever it changed on disk, so that several processes see each
// other's writes; every change rewrites it atomically under a lock on its folder.
// A damaged file raises error 1009 on every call and is never written over.
#include <sys/types.h>

#include <functional>
#include <string>

#include "host/Registry.h"
#include "platform/registry/RegFile.h"

namespace dalvera::platform {

class FileRegistry : public host::Registry {
public:
    // The file named by $DALVERA_REGISTRY_FILE, else $XDG_CONFIG_HOME/dalvera/registry.reg,
    // else ~/.config/dalvera/registry.reg.
    static std::string defaultFile();

    explicit FileRegistry(std::string file = defaultFile());
    const std::string& file() const { return file_; }

    long OpenKey(int32_t root, const std::string& path) override;
    long CreateKey(int32_t root, const std::string& path) override;
    long QueryValue(int32_t root, const std::string& path, const std::string& name, uint32_t& kind,
                    std::vector<uint8_t>& data) override;
    long SetValue(int32_t root, const std::string& path, const std::string& name, uint32_t kind,
                  const std::vector<uint8_t>& data) override;
    long EnumValue(int32_t root, const std::string& path, uint32_t index, std::string& name) override;
    long EnumKey(int32_t root, const std::string& path, uint32_t index, std::string& name) override;
    long DeleteValue(int32_t root, const std::string& path, const std::string& name) override;
    long DeleteTree(int32_t root, const std::string& path) override;
    std::string ExpandEnvironmentStrings(const std::string& text) override;

private:
    struct Stamp {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        long long mtimeNs = 0;
        long long ctimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };

    Stamp stampNow() const;
    // Brings the tree up to date with the file; raises for a damaged file.
    void refresh();
    // Locks the folder, refreshes, lets change edit a copy of the tree and writes
    // the copy when change reports success and a modification.
    long commit(const std::function<long(RegTree&, bool& modified)>& change);
    long save(const RegTree& tree);

    std::string file_;
    std::string folder_;
    RegTree tree_;
    Stamp stamp_;
    bool loaded_ = false;
    bool damaged_ = false;
    long damagedNumber_ = 0;
    std::string damagedText_;
};

}  // namespace dalvera::platform
