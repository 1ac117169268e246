#include "platform/os/ShellLink.h"

#include "platform/os/Unicode.h"
#include "runtime/Error.h"

namespace dalvera::platform {

namespace {

constexpr uint32_t HeaderSize = 0x4C;
constexpr uint8_t LinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

namespace flag {
constexpr uint32_t HasLinkTargetIDList = 0x1;
constexpr uint32_t HasLinkInfo = 0x2;
constexpr uint32_t HasName = 0x4;
constexpr uint32_t HasRelativePath = 0x8;
constexpr uint32_t HasWorkingDir = 0x10;
constexpr uint32_t HasArguments = 0x20;
constexpr uint32_t HasIconLocation = 0x40;
constexpr uint32_t IsUnicode = 0x80;
constexpr uint32_t ForceNoLinkInfo = 0x100;
}  // namespace flag

[[noreturn]] void bad(const std::string& what) {
    raise(err::InvalidCall, "Not a valid shortcut file: " + what);
}

// Bounds-checked view of a byte range.
class Reader {
public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    size_t size() const { return n_; }
    uint16_t u16(size_t at, const char* what) const {
        need(at, 2, what);
        return static_cast<uint16_t>(p_[at] | (p_[at + 1] << 8));
    }
    uint32_t u32(size_t at, const char* what) const {
        need(at, 4, what);
        return p_[at] | (p_[at + 1] << 8) | (p_[at + 2] << 16) | (static_cast<uint32_t>(p_[at + 3]) << 24);
    }
    const uint8_t* at(size_t pos, size_t len, const char* what) const {
        need(pos, len, what);
        return p_ + pos;
    }
    // NUL-terminated ANSI text starting at pos, inside the range.
    std::string ansiz(size_t pos, const char* what) const {
        need(pos, 1, what);
        size_t e = pos;
        while (e < n_ && p_[e] != 0) ++e;
        if (e == n_) bad(std::string(what) + " is not terminated");
        return cp1252ToUtf8(std::string(reinterpret_cast<const char*>(p_ + pos), e - pos));
    }
    // NUL-terminated UTF-16LE text starting at pos, inside the range.
    std::string unicodez(size_t pos, const char* what) const {
        need(pos, 2, what);
        size_t e = pos;
        while (e + 1 < n_ && (p_[e] != 0 || p_[e + 1] != 0)) e += 2;
        if (e + 1 >= n_) bad(std::string(what) + " is not terminated");
        return utf16leToUtf8(p_ + pos, (e - pos) / 2);
    }

private:
    void need(size_t at, size_t len, const char* what) const {
        if (at > n_ || len > n_ - at) bad(std::string(what) + " lies beyond the end of the file");
    }
    const uint8_t* p_;
    size_t n_;
};

std::string readLinkInfoPath(const Reader& file, size_t start, size_t size) {
    Reader li(file.at(start, size, "link information"), size);
    uint32_t headerSize = li.u32(4, "link information header");
    if (headerSize < 0x1C || headerSize > size) bad("link information header size");
    uint32_t liFlags = li.u32(8, "link information flags");
    uint32_t localBaseOff = li.u32(16, "local base path offset");
    uint32_t networkOff = li.u32(20, "network link offset");
    uint32_t suffixOff = li.u32(24, "path suffix offset");
    bool unicode = headerSize >= 0x24;

    std::string suffix;
    if (unicode) {
        uint32_t suffixOffW = li.u32(32, "Unicode path suffix offset");
        if (suffixOffW != 0) suffix = li.unicodez(suffixOffW, "path suffix");
    }
    if (suffix.empty() && suffixOff != 0) suffix = li.ansiz(suffixOff, "path suffix");

    if (liFlags & 0x1) {
        std::string base;
        if (unicode) {
            uint32_t baseOffW = li.u32(28, "Unicode local base path offset");
            if (baseOffW != 0) base = li.unicodez(baseOffW, "local base path");
        }
        if (base.empty()) base = li.ansiz(localBaseOff, "local base path");
        return base + suffix;
    }
    if (liFlags & 0x2) {
        // Network share: the share name, a separator and the rest of the path.
        Reader net(li.at(networkOff, 0, "network link"), size - networkOff);
        uint32_t netSize = net.u32(0, "network link size");
        if (netSize < 0x14 || netSize > net.size()) bad("network link size");
        Reader nl(net.at(0, netSize, "network link"), netSize);
        uint32_t netNameOff = nl.u32(8, "net name offset");
        std::string name;
        if (netNameOff > 0x14) {
            uint32_t netNameOffW = nl.u32(0x14, "Unicode net name offset");
            if (netNameOffW != 0) name = nl.unicodez(netNameOffW, "net name");
        }
        if (name.empty()) name = nl.ansiz(netNameOff, "net name");
        if (suffix.empty()) return name;
        return name + "\\" + suffix;
    }
    return {};
}

}  // namespace

host::Shortcut parseShellLink(const std::vector<uint8_t>& data) {
    Reader file(data.data(), data.size());
    if (data.size() < HeaderSize) bad("the header is incomplete");
    if (file.u32(0, "header size") != HeaderSize) bad("wrong header size");
    const uint8_t* clsid = file.at(4, 16, "class identifier");
    for (int i = 0; i < 16; ++i)
        if (clsid[i] != LinkClsid[i]) bad("wrong class identifier");
    uint32_t flags = file.u32(20, "link flags");

    size_t pos = HeaderSize;
    if (flags & flag::HasLinkTargetIDList) pos += 2 + file.u16(pos, "item list size");

    host::Shortcut link;
    if ((flags & flag::HasLinkInfo) && !(flags & flag::ForceNoLinkInfo)) {
        uint32_t size = file.u32(pos, "link information size");
        if (size < 0x1C) bad("link information size");
        link.TargetPath = readLinkInfoPath(file, pos, size);
        pos += size;
    } else if (flags & flag::HasLinkInfo) {
        // Present but to be ignored: still skip it.
        pos += file.u32(pos, "link information size");
    }

    bool unicode = flags & flag::IsUnicode;
    auto readString = [&](const char* what) {
        size_t count = file.u16(pos, what);
        pos += 2;
        size_t bytes = unicode ? count * 2 : count;
        const uint8_t* p = file.at(pos, bytes, what);
        pos += bytes;
        return unicode ? utf16leToUtf8(p, count)
                       : cp1252ToUtf8(std::string(reinterpret_cast<const char*>(p), count));
    };
    if (flags & flag::HasName) link.Description = readString("name");
    if (flags & flag::HasRelativePath) link.RelativePath = readString("relative path");
    if (flags & flag::HasWorkingDir) link.WorkingDirectory = readString("working folder");
    if (flags & flag::HasArguments) link.Arguments = readString("arguments");
    if (flags & flag::HasIconLocation) link.IconLocation = readString("icon location");

    if (link.TargetPath.empty()) link.TargetPath = link.RelativePath;
    return link;
}

}  // namespace dalvera::platform
