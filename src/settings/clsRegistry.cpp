#include "settings/clsRegistry.h"

#include "runtime/Error.h"

namespace dalvera {

namespace {

using host::regresult::MoreData;
using host::regresult::Success;

// Text of a text-kind value: the data without its terminating NUL. An empty
// value (no data at all) is the empty text rather than a failure.
std::string textOf(const std::vector<uint8_t>& data) {
    size_t n = data.size();
    if (n > 0 && data[n - 1] == 0) --n;
    return std::string(reinterpret_cast<const char*>(data.data()), n);
}

uint32_t littleEndian(const std::vector<uint8_t>& data) {
    uint32_t n = 0;
    for (size_t i = 0; i < 4 && i < data.size(); ++i) n |= static_cast<uint32_t>(data[i]) << (8 * i);
    return n;
}

}  // namespace

bool HasEnvironmentReference(const std::string& text) {
    size_t first = text.find('%');
    return first != std::string::npos && text.find('%', first + 2) != std::string::npos;
}

clsRegistry::clsRegistry(host::Registry& registry) : registry_(registry) {}

bool clsRegistry::KeyExists() {
    return registry_.OpenKey(rootKey_, keyPath_) == Success;
}

bool clsRegistry::CreateKey() {
    if (registry_.CreateKey(rootKey_, keyPath_) != Success)
        raise(ErrCreateKey, "Failed to create registry Key: '" + keyPath_, ErrorSource);
    return true;
}

Variant clsRegistry::Value() {
    uint32_t kind = 0;
    std::vector<uint8_t> data;
    long rc = registry_.QueryValue(rootKey_, keyPath_, valueName_, kind, data);
    if (rc != Success && rc != MoreData) return Variant();
    valueKind_ = static_cast<int32_t>(kind);
    switch (kind) {
    case host::regkind::String:
    case host::regkind::MultiString:
        return Variant(textOf(data));
    case host::regkind::ExpandString:
        return Variant(registry_.ExpandEnvironmentStrings(textOf(data)));
    case host::regkind::DWord:
        return Variant::longValue(static_cast<int32_t>(littleEndian(data)));
    case host::regkind::DWordBigEndian: {
        uint32_t n = littleEndian(data);
        n = (n >> 24) | ((n >> 8) & 0xFF00) | ((n << 8) & 0xFF0000) | (n << 24);
        return Variant::longValue(static_cast<int32_t>(n));
    }
    default:
        return Variant(data);
    }
}

void clsRegistry::raiseWriteError(long number, const Variant& v) const {
    std::string shown;
    try {
        shown = v.text();
    } catch (const Error&) {
        // The report of a failed write must not fail on the value it reports.
    }
    raise(number,
          "Failed to set registry value Key: '" + std::to_string(rootKey_) + "',Section: '" + keyPath_ +
              "',Key: '" + valueName_ + "' to value: '" + shown + "'",
          ErrorSource);
}

void clsRegistry::Value(const Variant& v) {
    if (registry_.CreateKey(rootKey_, keyPath_) != Success) raiseWriteError(ErrCreateKey, v);
    long rc;
    switch (valueKind_) {
    case host::regkind::String:
    case host::regkind::ExpandString: {
        std::string text = v.toString();
        std::vector<uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        uint32_t kind = HasEnvironmentReference(text) ? host::regkind::ExpandString : host::regkind::String;
        rc = registry_.SetValue(rootKey_, keyPath_, valueName_, kind, data);
        break;
    }
    case host::regkind::DWord: {
        // Only 16- and 32-bit integers are numbers here; anything else is left unwritten.
        if (v.type() != VarType::Integer && v.type() != VarType::Long) return;
        auto n = static_cast<uint32_t>(v.toLong());
        std::vector<uint8_t> data = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                                     static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
        rc = registry_.SetValue(rootKey_, keyPath_, valueName_, host::regkind::DWord, data);
        break;
    }
    default:
        rc = host::regresult::InvalidData;
        break;
    }
    if (rc != Success) raiseWriteError(ErrSetValue, v);
}

bool clsRegistry::ListValueNames(std::vector<std::string>& names, int16_t& count) {
    names.clear();
    count = 0;
    std::string name;
    for (uint32_t index = 0; registry_.EnumValue(rootKey_, keyPath_, index, name) == Success; ++index) {
        if (count == INT16_MAX) raiseStandard(err::Overflow, ErrorSource);
        ++count;
        names.push_back(name);
    }
    return true;
}

}  // namespace dalvera
