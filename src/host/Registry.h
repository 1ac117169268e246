#pragma once
// The settings store as the engine sees it: keys below predefined roots, each key
// holding named values of a kind with raw bytes. Calls name the key by root and
// path instead of handing out open handles; the result codes are the platform's.
//
// Text crosses this boundary as UTF-8 bytes; the text kinds (1, 2, 7) carry their
// terminating NUL in the data, as the platform keeps them.
#include <cstdint>
#include <string>
#include <vector>

namespace dalvera::host {

// Predefined roots, as signed 32-bit numbers (the way the engine prints them).
namespace hkey {
constexpr int32_t ClassesRoot = static_cast<int32_t>(0x80000000u);
constexpr int32_t CurrentUser = static_cast<int32_t>(0x80000001u);    // -2147483647
constexpr int32_t LocalMachine = static_cast<int32_t>(0x80000002u);   // -2147483646
constexpr int32_t Users = static_cast<int32_t>(0x80000003u);
constexpr int32_t CurrentConfig = static_cast<int32_t>(0x80000005u);
}  // namespace hkey

// Value kinds.
namespace regkind {
constexpr uint32_t None = 0;
constexpr uint32_t String = 1;          // text
constexpr uint32_t ExpandString = 2;    // text with %VAR% references
constexpr uint32_t Binary = 3;
constexpr uint32_t DWord = 4;           // 32-bit little-endian number
constexpr uint32_t DWordBigEndian = 5;
constexpr uint32_t MultiString = 7;     // texts, each NUL-terminated, then a NUL
constexpr uint32_t QWord = 11;
}  // namespace regkind

// Result codes.
namespace regresult {
constexpr long Success = 0;
constexpr long NotFound = 2;
constexpr long AccessDenied = 5;
constexpr long InvalidData = 13;
constexpr long InvalidParameter = 87;
constexpr long MoreData = 234;
constexpr long NoMoreItems = 259;
constexpr long IoFailed = 1016;
}  // namespace regresult

// Corrupt store: raised as an Error with this number, never answered with a code,
// so that a broken file cannot pass for a missing value.
constexpr long RegistryCorrupt = 1009;

class Registry {
public:
    virtual ~Registry() = default;

    // Success when root\path exists (opened for querying and closed again).
    virtual long OpenKey(int32_t root, const std::string& path) = 0;
    // Creates root\path with every missing level, or opens it.
    virtual long CreateKey(int32_t root, const std::string& path) = 0;
    // Kind and bytes of a value; NotFound when the key or the value is missing.
    // An empty name is the key's default value.
    virtual long QueryValue(int32_t root, const std::string& path, const std::string& name,
                            uint32_t& kind, std::vector<uint8_t>& data) = 0;
    // Writes a value into an existing key (NotFound when the key is missing).
    virtual long SetValue(int32_t root, const std::string& path, const std::string& name,
                          uint32_t kind, const std::vector<uint8_t>& data) = 0;
    // The index-th value name of the key (0-based, in the order written);
    // NoMoreItems past the end, NotFound when the key is missing.
    virtual long EnumValue(int32_t root, const std::string& path, uint32_t index,
                           std::string& name) = 0;
    // The index-th direct subkey name, as EnumValue.
    virtual long EnumKey(int32_t root, const std::string& path, uint32_t index,
                         std::string& name) = 0;
    virtual long DeleteValue(int32_t root, const std::string& path, const std::string& name) = 0;
    // Removes the key with everything below it.
    virtual long DeleteTree(int32_t root, const std::string& path) = 0;
    // Replaces %NAME% by the environment variable NAME; unknown names stay as written.
    virtual std::string ExpandEnvironmentStrings(const std::string& text) = 0;
};

}  // namespace dalvera::host
