#pragma once
// Reads back what the .xls writer produced, independently of it: the compound
// file's sectors, FAT and directory, then the workbook stream's records.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace dalvera::testing {

struct XlsSheet {
    std::string name;
    int state = 0;  // 0 visible, 1 hidden, 2 very hidden
    bool isProtected = false;
    std::map<std::pair<int, int>, std::string> cells;  // 0-based row, column
};

struct XlsBook {
    bool ok = false;
    bool isProtected = false;
    std::vector<XlsSheet> sheets;
    std::vector<std::string> strings;
};

namespace xlsread {
inline uint32_t u16(const std::vector<uint8_t>& b, size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
inline uint32_t u32(const std::vector<uint8_t>& b, size_t at) { return u16(b, at) | (u16(b, at + 2) << 16); }

inline std::string utf8(uint32_t cp) {
    std::string s;
    if (cp < 0x80) s += static_cast<char>(cp);
    else if (cp < 0x800) s += static_cast<char>(0xC0 | (cp >> 6)), s += static_cast<char>(0x80 | (cp & 0x3F));
    else s += static_cast<char>(0xE0 | (cp >> 12)), s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
         s += static_cast<char>(0x80 | (cp & 0x3F));
    return s;
}

inline uint32_t utf16Length(const std::string& s) {
    uint32_t n = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) != 0x80) n += c >= 0xF0 ? 2 : 1;
    }
    return n;
}

// The named stream of a compound file, or empty.
inline std::vector<uint8_t> stream(const std::vector<uint8_t>& f, const std::string& wanted) {
    if (f.size() < 512 || std::memcmp(f.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0) return {};
    uint32_t shift = u16(f, 30), sector = 1u << shift;
    auto at = [&](uint32_t s) { return static_cast<size_t>(s + 1) * sector; };
    std::vector<uint32_t> fatSectors;
    uint32_t nFat = u32(f, 44);
    for (uint32_t i = 0; i < 109 && fatSectors.size() < nFat; ++i) fatSectors.push_back(u32(f, 76 + 4 * i));
    for (uint32_t d = u32(f, 68); d != 0xFFFFFFFE && fatSectors.size() < nFat;) {
        for (uint32_t i = 0; i < sector / 4 - 1 && fatSectors.size() < nFat; ++i) fatSectors.push_back(u32(f, at(d) + 4 * i));
        d = u32(f, at(d) + sector - 4);
    }
    std::vector<uint32_t> fat;
    for (uint32_t s : fatSectors)
        for (uint32_t i = 0; i < sector / 4; ++i) fat.push_back(u32(f, at(s) + 4 * i));
    auto chain = [&](uint32_t start, size_t size) {
        std::vector<uint8_t> out;
        for (uint32_t s = start; s != 0xFFFFFFFE && out.size() < size; s = fat.at(s))
            out.insert(out.end(), f.begin() + static_cast<long>(at(s)), f.begin() + static_cast<long>(at(s) + sector));
        out.resize(std::min(out.size(), size));
        return out;
    };
    std::vector<uint8_t> dir = chain(u32(f, 48), SIZE_MAX);
    for (size_t e = 0; e + 128 <= dir.size(); e += 128) {
        std::string name;
        uint32_t len = u16(dir, e + 64);
        for (uint32_t i = 0; i + 2 < len; i += 2) name += static_cast<char>(dir[e + i]);
        if (dir[e + 66] == 2 && name == wanted) return chain(u32(dir, e + 116), u32(dir, e + 120));
    }
    return {};
}
}  // namespace xlsread

inline XlsBook readXls(const std::string& path) {
    using namespace xlsread;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<uint8_t> w = stream(file, "Workbook");
    XlsBook book;
    if (w.empty()) return book;
    struct Record {
        uint32_t type;
        size_t data, size;
    };
    auto recordAt = [&](size_t pos) { return Record{u16(w, pos), pos + 4, u16(w, pos + 2)}; };
    std::vector<uint32_t> offsets;
    size_t pos = 0;
    if (recordAt(0).type != 0x0809 || u16(w, 6) != 0x0005) return book;
    while (pos + 4 <= w.size()) {
        Record r = recordAt(pos);
        if (r.type == 0x000A) break;
        if (r.type == 0x0012) book.isProtected = u16(w, r.data) == 1;
        if (r.type == 0x0085) {
            offsets.push_back(u32(w, r.data));
            XlsSheet sheet;
            sheet.state = w[r.data + 4];
            uint32_t cch = w[r.data + 6];
            bool wide = w[r.data + 7] & 1;
            for (uint32_t i = 0; i < cch; ++i)
                sheet.name += utf8(wide ? u16(w, r.data + 8 + 2 * i) : w[r.data + 8 + i]);
            book.sheets.push_back(sheet);
        }
        if (r.type == 0x00FC) {
            // Strings may run on into CONTINUE records, which restart with a flag byte.
            uint32_t unique = u32(w, r.data + 4);
            size_t p = r.data + 8, end = r.data + r.size, next = end;
            auto more = [&]() {
                Record c = recordAt(next);
                EXPECT_EQ(c.type, 0x003Cu);
                p = c.data;
                end = c.data + c.size;
                next = end;
            };
            for (uint32_t k = 0; k < unique; ++k) {
                if (p >= end) more();
                uint32_t cch = u16(w, p);
                bool wide = w[p + 2] & 1;
                p += 3;
                std::string s;
                for (uint32_t i = 0; i < cch; ++i) {
                    if (p >= end) {
                        more();
                        wide = w[p] & 1;
                        ++p;
                    }
                    s += utf8(wide ? u16(w, p) : w[p]);
                    p += wide ? 2 : 1;
                }
                book.strings.push_back(s);
            }
            pos = next;
            continue;
        }
        if (r.type == 0x00FF) {
            // Each bucket points at the start of its first string, inside an SST or CONTINUE record.
            uint32_t perBucket = u16(w, r.data);
            for (size_t b = 0; 2 + 8 * b + 8 <= r.size; ++b) {
                uint32_t ib = u32(w, r.data + 2 + 8 * b), cb = u16(w, r.data + 6 + 8 * b);
                uint32_t owner = recordAt(ib - cb).type;
                EXPECT_TRUE(owner == 0x00FC || owner == 0x003C) << "bucket " << b;
                EXPECT_EQ(u16(w, ib), utf16Length(book.strings.at(b * perBucket))) << "bucket " << b;
            }
        }
        pos = r.data + r.size;
    }
    for (size_t i = 0; i < offsets.size(); ++i) {
        size_t p = offsets[i];
        Record bof = recordAt(p);
        if (bof.type != 0x0809 || u16(w, bof.data + 2) != 0x0010) return book;
        p = bof.data + bof.size;
        while (p + 4 <= w.size()) {
            Record r = recordAt(p);
            if (r.type == 0x000A) break;
            int row = r.size >= 4 ? static_cast<int>(u16(w, r.data)) : 0, col = r.size >= 4 ? static_cast<int>(u16(w, r.data + 2)) : 0;
            if (r.type == 0x00FD) book.sheets[i].cells[{row, col}] = book.strings.at(u32(w, r.data + 6));
            if (r.type == 0x0203) {
                double d;
                uint64_t bits = static_cast<uint64_t>(u32(w, r.data + 6)) | (static_cast<uint64_t>(u32(w, r.data + 10)) << 32);
                std::memcpy(&d, &bits, 8);
                char text[32];
                std::snprintf(text, sizeof text, "%.15g", d);
                book.sheets[i].cells[{row, col}] = text;
            }
            if (r.type == 0x0205) book.sheets[i].cells[{row, col}] = w[r.data + 6] ? "TRUE" : "FALSE";
            if (r.type == 0x0012) book.sheets[i].isProtected = u16(w, r.data) == 1;
            // The index points at the sheet's default column width, by stream position.
            if (r.type == 0x020B) {
                EXPECT_EQ(recordAt(u32(w, r.data + 12)).type, 0x0055u) << "sheet " << i;
            }
            p = r.data + r.size;
        }
    }
    book.ok = true;
    return book;
}

}  // namespace dalvera::testing
