#include "platform/registry/RegFile.h"

#include <cstdio>

#include "host/Registry.h"
#include "platform/os/Unicode.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::platform {

namespace {

constexpr const char* Header = "Windows Registry Editor Version 5.00";

struct Root {
    int32_t number;
    const char* name;
};
constexpr Root Roots[] = {
    {host::hkey::ClassesRoot, "HKEY_CLASSES_ROOT"},
    {host::hkey::CurrentUser, "HKEY_CURRENT_USER"},
    {host::hkey::LocalMachine, "HKEY_LOCAL_MACHINE"},
    {host::hkey::Users, "HKEY_USERS"},
    {host::hkey::CurrentConfig, "HKEY_CURRENT_CONFIG"},
};

bool hasControl(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

bool isTextKind(uint32_t kind) {
    return kind == host::regkind::String || kind == host::regkind::ExpandString ||
           kind == host::regkind::MultiString;
}

// ---- parsing ----

class Parser {
public:
    Parser(const std::string& fileName) : file_(fileName) {}

    [[noreturn]] void fail(const std::string& why) const {
        std::string where = line_ > 0 ? " at line " + std::to_string(line_) : std::string();
        raise(host::RegistryCorrupt,
              "The registry file '" + file_ + "' is damaged" + where + ": " + why +
                  ". It has been left as it is; repair or remove it.",
              "Dalvera registry");
    }

    RegTree parse(const std::string& raw) {
        std::vector<std::string> lines = splitLines(decode(raw));
        size_t i = 0;
        auto skipBlank = [&] {
            while (i < lines.size() && trimBlanks(lines[i]).empty()) ++i;
        };
        skipBlank();
        RegTree tree;
        if (i == lines.size()) return tree;  // an empty file holds nothing yet
        line_ = static_cast<int>(i + 1);
        if (trimBlanks(lines[i]) != Header) fail("the first line is not \"" + std::string(Header) + "\"");
        ++i;
        RegKey* key = nullptr;
        bool skipping = false;  // inside a [-...] section
        for (; i < lines.size(); ++i) {
            line_ = static_cast<int>(i + 1);
            std::string text = trimBlanks(lines[i]);
            if (text.empty() || text[0] == ';') continue;
            if (text[0] == '[') {
                if (text.back() != ']') fail("the key name has no closing bracket");
                std::string name = text.substr(1, text.size() - 2);
                bool remove = !name.empty() && name[0] == '-';
                if (remove) name.erase(0, 1);
                std::string full = checkKeyName(name);
                if (remove) {
                    tree.erase(full);
                    key = nullptr;
                    skipping = true;
                } else {
                    key = &tree.create(full);
                    skipping = false;
                }
                continue;
            }
            if (!key && !skipping) fail("a value stands before the first key");
            size_t pos = 0;
            std::string name = parseName(text, pos);
            skipSpaces(text, pos);
            if (pos >= text.size() || text[pos] != '=') fail("'=' expected after the value name");
            ++pos;
            skipSpaces(text, pos);
            std::string rest = text.substr(pos);
            // Long binary values continue on the next lines after a backslash.
            if (startsWithNoCase(rest, "hex")) {
                while (!rest.empty() && rest.back() == '\\') {
                    rest.pop_back();
                    if (++i >= lines.size()) fail("the value continues past the end of the file");
                    rest += trimBlanks(lines[i]);
                }
            }
            if (rest == "-") {
                if (key) {
                    auto& vs = key->values;
                    for (auto it = vs.begin(); it != vs.end(); ++it)
                        if (equalsNoCase(it->name, name)) { vs.erase(it); break; }
                }
                continue;
            }
            RegValue v = parseData(rest);
            v.name = name;
            if (!key) continue;
            if (RegValue* old = key->find(name)) {
                old->kind = v.kind;
                old->data = std::move(v.data);
            } else {
                key->values.push_back(std::move(v));
            }
        }
        return tree;
    }

private:
    std::string decode(const std::string& raw) {
        if (raw.size() >= 2 && static_cast<uint8_t>(raw[0]) == 0xFF && static_cast<uint8_t>(raw[1]) == 0xFE) {
            if (raw.size() % 2) fail("the UTF-16 text has an odd length");
            return utf16leToUtf8(reinterpret_cast<const uint8_t*>(raw.data()) + 2, (raw.size() - 2) / 2);
        }
        std::string s = raw;
        if (s.size() >= 3 && s.compare(0, 3, "\xEF\xBB\xBF") == 0) s.erase(0, 3);
        if (!isValidUtf8(s)) fail("the file is not UTF-8 text");
        return s;
    }

    static std::vector<std::string> splitLines(const std::string& s) {
        std::vector<std::string> lines = split(s, '\n');
        for (auto& l : lines)
            if (!l.empty() && l.back() == '\r') l.pop_back();
        return lines;
    }

    static void skipSpaces(const std::string& s, size_t& pos) {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    }

    std::string checkKeyName(const std::string& name) {
        size_t slash = name.find('\\');
        std::string rootPart = name.substr(0, slash);
        int32_t root = 0;
        bool known = false;
        for (const auto& r : Roots)
            if (equalsNoCase(rootPart, r.name)) { root = r.number; known = true; }
        if (!known) fail("unknown root key '" + rootPart + "'");
        std::string path = slash == std::string::npos ? std::string() : name.substr(slash + 1);
        std::string full;
        if (hasControl(path) || !RegTree::fullName(root, path, full)) fail("the key name '" + name + "' is not valid");
        return full;
    }

    // A quoted text with \\ and \" escapes, starting at s[pos] == '"'.
    std::string parseQuoted(const std::string& s, size_t& pos, const char* what) {
        std::string out;
        ++pos;
        while (pos < s.size()) {
            char c = s[pos++];
            if (c == '"') return out;
            if (c == '\\') {
                if (pos >= s.size()) break;
                char e = s[pos++];
                if (e != '\\' && e != '"') fail(std::string("unknown escape '\\") + e + "' in the " + what);
                out += e;
            } else {
                out += c;
            }
        }
        fail(std::string("the ") + what + " has no closing quote");
    }

    std::string parseName(const std::string& s, size_t& pos) {
        if (s[0] == '@') {
            pos = 1;
            return {};
        }
        if (s[0] != '"') fail("a value line must start with a quoted name or '@'");
        return parseQuoted(s, pos, "value name");
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    RegValue parseData(const std::string& s) {
        RegValue v;
        if (!s.empty() && s[0] == '"') {
            size_t pos = 0;
            std::string text = parseQuoted(s, pos, "text value");
            skipSpaces(s, pos);
            if (pos != s.size()) fail("unexpected text after the closing quote");
            v.kind = host::regkind::String;
            v.data.assign(text.begin(), text.end());
            v.data.push_back(0);
            return v;
        }
        if (startsWithNoCase(s, "dword:")) {
            std::string digits = trimBlanks(s.substr(6));
            if (digits.empty() || digits.size() > 8) fail("a dword needs 1 to 8 hexadecimal digits");
            uint32_t n = 0;
            for (char c : digits) {
                int d = hexDigit(c);
                if (d < 0) fail("'" + digits + "' is not a hexadecimal dword");
                n = (n << 4) | static_cast<uint32_t>(d);
            }
            v.kind = host::regkind::DWord;
            v.data = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
                      static_cast<uint8_t>(n >> 24)};
            return v;
        }
        if (!startsWithNoCase(s, "hex")) fail("unknown value form '" + s.substr(0, 20) + "'");
        size_t pos = 3;
        v.kind = host::regkind::Binary;
        if (pos < s.size() && s[pos] == '(') {
            size_t close = s.find(')', pos);
            if (close == std::string::npos || close == pos + 1 || close - pos - 1 > 8) fail("bad value kind in hex(...)");
            uint32_t kind = 0;
            for (size_t k = pos + 1; k < close; ++k) {
                int d = hexDigit(s[k]);
                if (d < 0) fail("bad value kind in hex(...)");
                kind = (kind << 4) | static_cast<uint32_t>(d);
            }
            v.kind = kind;
            pos = close + 1;
        }
        if (pos >= s.size() || s[pos] != ':') fail("':' expected after hex");
        ++pos;
        std::vector<uint8_t> bytes;
        std::vector<std::string> parts = split(s.substr(pos), ',');
        for (size_t k = 0; k < parts.size(); ++k) {
            std::string t = trimBlanks(parts[k]);
            if (t.empty() && (parts.size() == 1 || k + 1 == parts.size())) continue;  // "hex:" or trailing comma
            if (t.size() != 2 || hexDigit(t[0]) < 0 || hexDigit(t[1]) < 0)
                fail("'" + t.substr(0, 10) + "' is not a hexadecimal byte");
            bytes.push_back(static_cast<uint8_t>(hexDigit(t[0]) * 16 + hexDigit(t[1])));
        }
        if (isTextKind(v.kind)) {
            // The file holds UTF-16; the store holds UTF-8.
            std::string text = utf16leToUtf8(bytes.data(), bytes.size() / 2);
            v.data.assign(text.begin(), text.end());
        } else {
            v.data = std::move(bytes);
        }
        return v;
    }

    std::string file_;
    int line_ = 0;
};

// ---- writing ----

std::string quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A text value written as "text" reads back to the same bytes.
bool fitsQuotedForm(const std::vector<uint8_t>& d) {
    if (d.empty() || d.back() != 0) return false;
    std::string_view s(reinterpret_cast<const char*>(d.data()), d.size() - 1);
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
    return isValidUtf8(s);
}

void appendHex(std::string& line, std::string& out, const std::vector<uint8_t>& bytes) {
    static const char hex[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::string item{hex[bytes[i] >> 4], hex[bytes[i] & 15]};
        if (i + 1 < bytes.size()) item += ',';
        if (line.size() + item.size() > 78 && i > 0) {
            out += line + "\\\n";
            line = "  ";
        }
        line += item;
    }
}

std::string formatValue(const RegValue& v) {
    std::string line = v.name.empty() ? std::string("@") : quote(v.name);
    line += '=';
    if (v.kind == host::regkind::String && fitsQuotedForm(v.data)) {
        return line + quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1)) + "\n";
    }
    if (v.kind == host::regkind::DWord && v.data.size() == 4) {
        char buf[16];
        uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<uint32_t>(v.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return line + buf + "\n";
    }
    std::vector<uint8_t> bytes = v.data;
    if (isTextKind(v.kind)) {
        std::string_view s(reinterpret_cast<const char*>(v.data.data()), v.data.size());
        // The store admits only UTF-8 texts; anything else would have been refused.
        if (!utf8ToUtf16le(s, bytes))
            raise(host::RegistryCorrupt, "A text value that is not UTF-8 cannot be written", "Dalvera registry");
    }
    if (v.kind == host::regkind::Binary) {
        line += "hex:";
    } else {
        char buf[20];
        std::snprintf(buf, sizeof buf, "hex(%x):", v.kind);
        line += buf;
    }
    std::string out;
    appendHex(line, out, bytes);
    return out + line + "\n";
}

}  // namespace

RegValue* RegKey::find(const std::string& name) {
    for (auto& v : values)
        if (equalsNoCase(v.name, name)) return &v;
    return nullptr;
}

std::string RegTree::rootName(int32_t root) {
    for (const auto& r : Roots)
        if (r.number == root) return r.name;
    return {};
}

bool RegTree::fullName(int32_t root, const std::string& path, std::string& out) {
    std::string name = rootName(root);
    if (name.empty()) return false;
    std::string_view p = path;
    while (!p.empty() && p.front() == '\\') p.remove_prefix(1);
    while (!p.empty() && p.back() == '\\') p.remove_suffix(1);
    if (p.find("\\\\") != std::string_view::npos) return false;
    out = p.empty() ? name : name + "\\" + std::string(p);
    return true;
}

RegKey* RegTree::find(const std::string& fullName) {
    auto it = keys_.find(lowerAscii(fullName));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey& RegTree::create(const std::string& fullName) {
    // Every level above must exist as well; each keeps the case it was made with.
    size_t pos = 0;
    RegKey* key = nullptr;
    std::string name;
    while (true) {
        size_t slash = fullName.find('\\', pos);
        std::string level = fullName.substr(0, slash);
        std::string lower = lowerAscii(level);
        auto it = keys_.find(lower);
        if (it == keys_.end()) {
            std::string parentName = name.empty() ? std::string() : name + "\\";
            std::string display = parentName + fullName.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
            it = keys_.emplace(lower, RegKey{display, {}}).first;
        }
        key = &it->second;
        name = key->fullName;
        if (slash == std::string::npos) break;
        pos = slash + 1;
    }
    return *key;
}

void RegTree::erase(const std::string& fullName) {
    std::string lower = lowerAscii(fullName);
    std::string prefix = lower + "\\";
    for (auto it = keys_.begin(); it != keys_.end();) {
        if (it->first == lower || it->first.compare(0, prefix.size(), prefix) == 0)
            it = keys_.erase(it);
        else
            ++it;
    }
}

std::vector<std::string> RegTree::children(const std::string& fullName) const {
    std::string prefix = lowerAscii(fullName) + "\\";
    std::vector<std::string> out;
    for (const auto& [lower, key] : keys_) {
        if (lower.compare(0, prefix.size(), prefix) != 0) continue;
        if (lower.find('\\', prefix.size()) != std::string::npos) continue;
        out.push_back(key.fullName.substr(prefix.size()));
    }
    return out;
}

RegTree parseRegFile(const std::string& text, const std::string& fileName) {
    return Parser(fileName).parse(text);
}

std::string formatRegFile(const RegTree& tree) {
    std::string out = std::string(Header) + "\n\n";
    for (const auto& [lower, key] : tree.keys()) {
        // A root always exists; it needs a section only for values of its own.
        if (key.values.empty() && key.fullName.find('\\') == std::string::npos) continue;
        out += "[" + key.fullName + "]\n";
        for (const auto& v : key.values) out += formatValue(v);
        out += "\n";
    }
    return out;
}

}  // namespace dalvera::platform
