#pragma once
// The registry wrapper: callers set the properties, then call an operation, which
// works on the properties as they stand. One shared object serves the settings.
#include <cstdint>
#include <string>
#include <vector>

#include "host/Registry.h"
#include "runtime/Variant.h"

namespace dalvera {

class clsRegistry {
public:
    explicit clsRegistry(host::Registry& registry);

    // True when RootKey\KeyPath can be opened for querying.
    bool KeyExists();
    // Creates or opens RootKey\KeyPath; error 26001 when the platform refuses.
    bool CreateKey();
    // Reads ValueName; Empty when the key or the value is missing. Sets ValueKind
    // to the kind found.
    Variant Value();
    // Writes v as ValueName by ValueKind: 1 and 2 store text, as kind 2 exactly when
    // it holds a %NAME% reference; 4 stores 16- and 32-bit integers and silently
    // skips anything else; other kinds fail. Failures raise 26001 (key) or
    // 0x800469A9 (value) with the key, value name and value in the text.
    void Value(const Variant& v);
    // Names of the values of the key, in order: names[k - 1] is name number k.
    // A missing key gives none. Always true.
    bool ListValueNames(std::vector<std::string>& names, int16_t& count);

    int32_t ValueKind() const { return valueKind_; }
    void ValueKind(int32_t kind) { valueKind_ = kind; }
    const std::string& ValueName() const { return valueName_; }
    void ValueName(const std::string& name) { valueName_ = name; }
    const std::string& KeyPath() const { return keyPath_; }
    void KeyPath(const std::string& path) { keyPath_ = path; }
    int32_t RootKey() const { return rootKey_; }
    void RootKey(int32_t root) { rootKey_ = root; }

    // The component's file name, the source of this class's errors.
    static constexpr const char* ErrorSource = "Dalvera11";
    static constexpr long ErrCreateKey = 26001;
    static constexpr long ErrSetValue = static_cast<long>(static_cast<int32_t>(0x800469A9u));  // -2147194455

private:
    [[noreturn]] void raiseWriteError(long number, const Variant& v) const;

    host::Registry& registry_;
    int32_t rootKey_ = host::hkey::CurrentUser;
    std::string keyPath_;
    std::string valueName_;
    int32_t valueKind_ = 0;
};

// True when the text holds a "%" and another "%" at least two places further on,
// i.e. a reference with a name between the signs.
bool HasEnvironmentReference(const std::string& text);

}  // namespace dalvera
