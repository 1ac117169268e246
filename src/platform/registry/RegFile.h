#pragma once
// The registry tree in memory and its text form: the version 5 .reg format.
// Key and value names compare without regard to letter case and keep the case
// they were first written with; values keep their order of creation.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace dalvera::platform {

struct RegValue {
    std::string name;   // "" is the default value
    uint32_t kind = 0;
    std::vector<uint8_t> data;
    bool operator==(const RegValue&) const = default;
};

struct RegKey {
    std::string fullName;   // "HKEY_CURRENT_USER\SOFTWARE\Dalvera11"
    std::vector<RegValue> values;

    RegValue* find(const std::string& name);
    bool operator==(const RegKey&) const = default;
};

class RegTree {
public:
    // Root name for a predefined root number; "" for an unknown one.
    static std::string rootName(int32_t root);

    // The full name of root\path with the path tidied (no outer backslashes);
    // false for an unknown root or an empty level ("A\\B").
    static bool fullName(int32_t root, const std::string& path, std::string& out);

    RegKey* find(const std::string& fullName);
    // Creates the key and every missing level above it; returns it.
    RegKey& create(const std::string& fullName);
    // Removes the key and everything below it.
    void erase(const std::string& fullName);
    // Names of the direct subkeys, in name order.
    std::vector<std::string> children(const std::string& fullName) const;

    const std::map<std::string, RegKey>& keys() const { return keys_; }
    bool operator==(const RegTree&) const = default;

private:
    std::map<std::string, RegKey> keys_;   // by lower-cased full name
};

// Parses the text of a .reg file. Raises error 1009 naming the file and line
// for anything that is not the format.
RegTree parseRegFile(const std::string& text, const std::string& fileName);

std::string formatRegFile(const RegTree& tree);

}  // namespace dalvera::platform
