// Shortcut files built here from the format's structure, in both text forms,
// and every way of cutting one short.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/ShellLink.h"
#include "runtime/Error.h"

using namespace dalvera;
using namespace dalvera::platform;

namespace {

struct LinkSpec {
    bool unicode = true;
    bool idList = true;
    bool linkInfo = true;
    bool unicodeInfo = false;   // LinkInfo header of 0x24 with Unicode paths
    bool network = false;
    std::string base = "C:\\Program Files\\Office\\MSACCESS.EXE";
    std::string suffix;
    std::string name, relative, workDir, args, icon;
};

class Builder {
public:
    void u16(uint16_t v) { b.push_back(v & 0xFF); b.push_back(v >> 8); }
    void u32(uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF); }
    void ansiz(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); b.push_back(0); }
    // ASCII or Latin-1 test texts only, so one byte is one UTF-16 unit.
    void widez(const std::string& s, bool terminate = true) {
        for (unsigned char c : s) u16(c);
        if (terminate) u16(0);
    }
    void set32(size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF; }
    std::vector<uint8_t> b;
};

std::vector<uint8_t> buildLink(const LinkSpec& s) {
    Builder w;
    uint32_t flags = 0;
    if (s.idList) flags |= 0x1;
    if (s.linkInfo) flags |= 0x2;
    if (!s.name.empty()) flags |= 0x4;
    if (!s.relative.empty()) flags |= 0x8;
    if (!s.workDir.empty()) flags |= 0x10;
    if (!s.args.empty()) flags |= 0x20;
    if (!s.icon.empty()) flags |= 0x40;
    if (s.unicode) flags |= 0x80;
    w.u32(0x4C);
    const uint8_t clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    w.b.insert(w.b.end(), clsid, clsid + 16);
    w.u32(flags);
    w.u32(0x20);                                      // file attributes
    for (int i = 0; i < 3; ++i) { w.u32(0); w.u32(0); }  // times
    w.u32(0); w.u32(0); w.u32(1); w.u16(0); w.u16(0); w.u32(0); w.u32(0);
    if (s.idList) {
        w.u16(6);  // one item of 4 bytes and the terminator; the reader only skips it
        w.u16(4); w.u16(0x1234); w.u16(0);
    }
    if (s.linkInfo) {
        size_t start = w.b.size();
        uint32_t headerSize = s.unicodeInfo ? 0x24 : 0x1C;
        w.u32(0);  // size, set below
        w.u32(headerSize);
        w.u32(s.network ? 0x2 : 0x1);
        for (int i = 0; i < 4; ++i) w.u32(0);  // offsets, set below
        if (s.unicodeInfo) { w.u32(0); w.u32(0); }
        auto here = [&] { return static_cast<uint32_t>(w.b.size() - start); };
        if (!s.network) {
            w.set32(start + 12, here());  // volume ID: a minimal one
            w.u32(0x10); w.u32(3); w.u32(0); w.u32(0x10);
            w.set32(start + 16, here());
            w.ansiz(s.unicodeInfo ? std::string("?") : s.base);
        } else {
            w.set32(start + 20, here());
            size_t net = w.b.size();
            w.u32(0); w.u32(0); w.u32(0x14); w.u32(0); w.u32(0);
            w.ansiz(s.base);
            w.set32(net, static_cast<uint32_t>(w.b.size() - net));
        }
        w.set32(start + 24, here());
        w.ansiz(s.unicodeInfo ? std::string() : s.suffix);
        if (s.unicodeInfo) {
            w.set32(start + 28, here());
            w.widez(s.base);
            w.set32(start + 32, here());
            w.widez(s.suffix);
        }
        w.set32(start, here());
    }
    for (const std::string* t : {&s.name, &s.relative, &s.workDir, &s.args, &s.icon}) {
        if (t->empty()) continue;
        w.u16(static_cast<uint16_t>(t->size()));
        if (s.unicode) w.widez(*t, false);
        else w.b.insert(w.b.end(), t->begin(), t->end());
    }
    w.u32(0);  // terminal extra-data block
    return w.b;
}

const std::string Args = "\"C:\\db\\a.mdb\" /wrkgrp \"C:\\db\\s.mdw\" /user Bob";

long parseError(const std::vector<uint8_t>& data) {
    try {
        parseShellLink(data);
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(ShellLink, UnicodeStringsAndAnsiPath) {
    LinkSpec s;
    s.args = Args;
    s.workDir = "C:\\db";
    s.name = "Database with workgroup";
    s.icon = "C:\\icon.ico";
    host::Shortcut link = parseShellLink(buildLink(s));
    EXPECT_EQ(link.TargetPath, s.base);
    EXPECT_EQ(link.Arguments, Args);
    EXPECT_EQ(link.WorkingDirectory, "C:\\db");
    EXPECT_EQ(link.Description, "Database with workgroup");
    EXPECT_EQ(link.IconLocation, "C:\\icon.ico");
}

TEST(ShellLink, AnsiStringsInTheWindowsCodePage) {
    LinkSpec s;
    s.unicode = false;
    s.idList = false;
    s.args = "/user Jos\xE9 \x80";  // é and the euro sign in Windows-1252
    host::Shortcut link = parseShellLink(buildLink(s));
    EXPECT_EQ(link.TargetPath, s.base);
    EXPECT_EQ(link.Arguments, "/user Jos\xC3\xA9 \xE2\x82\xAC");
}

TEST(ShellLink, UnicodeLinkInfoAndPathSuffix) {
    LinkSpec s;
    s.unicodeInfo = true;
    s.base = "C:\\Program Files\\";
    s.suffix = "Office\\MSACCESS.EXE";
    s.args = "x";
    EXPECT_EQ(parseShellLink(buildLink(s)).TargetPath, "C:\\Program Files\\Office\\MSACCESS.EXE");
}

TEST(ShellLink, NetworkShareTarget) {
    LinkSpec s;
    s.network = true;
    s.base = "\\\\server\\share";
    s.suffix = "Office\\MSACCESS.EXE";
    EXPECT_EQ(parseShellLink(buildLink(s)).TargetPath, "\\\\server\\share\\Office\\MSACCESS.EXE");
}

TEST(ShellLink, WithoutLinkInfoTheRelativePathIsTheTarget) {
    LinkSpec s;
    s.linkInfo = false;
    s.relative = "..\\MSACCESS.EXE";
    EXPECT_EQ(parseShellLink(buildLink(s)).TargetPath, "..\\MSACCESS.EXE");
}

TEST(ShellLink, EveryTruncationIsAnErrorNotACrash) {
    for (bool unicodeInfo : {false, true}) {
        LinkSpec s;
        s.unicodeInfo = unicodeInfo;
        s.args = Args;
        s.icon = "icon";
        std::vector<uint8_t> full = buildLink(s);
        // Cut before the terminal block: every shorter length misses something needed.
        size_t needed = full.size() - 4;
        for (size_t n = 0; n < needed; ++n) {
            std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
            EXPECT_EQ(parseError(cut), err::InvalidCall) << "length " << n;
        }
    }
}

TEST(ShellLink, RejectsOtherFilesAndLyingSizes) {
    std::vector<uint8_t> good = buildLink(LinkSpec{});
    std::vector<uint8_t> b = good;
    b[0] = 0x4D;
    EXPECT_EQ(parseError(b), err::InvalidCall);  // header size
    b = good;
    b[19] = 0x47;
    EXPECT_EQ(parseError(b), err::InvalidCall);  // class identifier
    b = good;
    b[76] = 0xFF;
    b[77] = 0xFF;
    EXPECT_EQ(parseError(b), err::InvalidCall);  // item list longer than the file
    b = good;
    size_t info = 76 + 2 + 6;
    b[info + 16] = 0xF0;  // local path offset far outside the link information
    EXPECT_EQ(parseError(b), err::InvalidCall);
    b = good;
    b[info + 3] = 0x7F;   // link information larger than the file
    EXPECT_EQ(parseError(b), err::InvalidCall);
    std::string text = "Windows Registry Editor Version 5.00\n";
    EXPECT_EQ(parseError(std::vector<uint8_t>(text.begin(), text.end())), err::InvalidCall);
}
