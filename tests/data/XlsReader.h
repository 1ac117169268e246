#pragma once
// Reads back what the .xls writer produced, independently of it: the compound
// file's sectors, FAT and directory, then the workbook stream's records.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace dalvera::testing {

struct XlsValidation {
    uint32_t flags = 0;
    std::string inputTitle, errorTitle, inputMessage, errorMessage;
    std::vector<uint8_t> formula1, formula2;
    std::vector<std::array<int, 4>> ranges;  // first row, last row, first column, last column (0-based)
    int type() const { return static_cast<int>(flags & 0xF); }
};

struct XlsNote {
    std::string author, text;
    uint32_t objectId = 0;
    bool shown = false;
};

struct XlsSheet {
    std::string name;
    int state = 0;  // 0 visible, 1 hidden, 2 very hidden
    bool isProtected = false;
    int passwordHash = -1;
    bool frozen = false;
    int paneRows = 0, paneColumns = 0;
    int filterButtons = -1;  // AUTOFILTERINFO, -1 without one
    bool filterMode = false;
    std::set<int> hiddenRows;  // 0-based
    int autoFilterRecords = 0;
    int protectionOptions = -1;  // the allowances of a protected sheet
    std::map<std::pair<int, int>, std::string> cells;  // 0-based row, column
    std::map<std::pair<int, int>, int> xf;  // the XF of every cell record
    std::vector<XlsValidation> validations;
    int validationCount = -1;  // from DVAL
    std::map<std::pair<int, int>, XlsNote> notes;
    std::vector<uint32_t> noteObjects;  // ids of the note OBJ records
    struct FilterButton {
        uint32_t id = 0;
        int listKind = 0;  // from the list data: 3 is an AutoFilter's
        bool filtering = false;
    };
    std::vector<FilterButton> filterObjects;  // the combo-box OBJ records
    std::vector<std::pair<int, int>> controlAnchors;  // column, row of each control shape
    std::vector<std::string> drawingErrors;  // inconsistencies of the drawing records
};

struct XlsName {
    std::string name;  // a built-in one as "builtin:" and its code
    bool hidden = false;
    int sheet = 0;  // 0 global, else 1-based
    std::vector<uint8_t> tokens;
};

struct XlsBook {
    bool ok = false;
    bool isProtected = false;
    int passwordHash = -1;
    std::vector<XlsSheet> sheets;
    std::vector<std::string> strings;
    std::vector<XlsName> names;
    std::vector<std::array<int, 3>> externSheets;  // book, first sheet, last sheet
    std::vector<bool> xfLocked;
    bool drawingGroup = false;
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

// An XLUnicodeString with a 16-bit length at p; p moves past it.
inline std::string text16(const std::vector<uint8_t>& b, size_t& p) {
    uint32_t cch = u16(b, p);
    bool wide = b.at(p + 2) & 1;
    p += 3;
    std::string s;
    for (uint32_t i = 0; i < cch; ++i, p += wide ? 2 : 1) s += utf8(wide ? u16(b, p) : b.at(p));
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
        if (r.type == 0x0013) book.passwordHash = static_cast<int>(u16(w, r.data));
        if (r.type == 0x00E0) book.xfLocked.push_back(u16(w, r.data + 4) & 1);
        if (r.type == 0x00EB) book.drawingGroup = true;
        if (r.type == 0x0017)
            for (uint32_t k = 0; k < u16(w, r.data); ++k)
                book.externSheets.push_back({static_cast<int>(u16(w, r.data + 2 + 6 * k)), static_cast<int>(u16(w, r.data + 4 + 6 * k)),
                                             static_cast<int>(u16(w, r.data + 6 + 6 * k))});
        if (r.type == 0x0018) {
            XlsName n;
            uint32_t flags = u16(w, r.data), cch = w[r.data + 3], cce = u16(w, r.data + 4);
            n.hidden = flags & 1;
            n.sheet = static_cast<int>(u16(w, r.data + 8));
            size_t p = r.data + 14;
            bool wide = w[p++] & 1;
            if (flags & 0x20) {
                n.name = "builtin:" + std::to_string(w[p]);
                p += wide ? 2 : 1;
            } else {
                for (uint32_t i = 0; i < cch; ++i, p += wide ? 2 : 1) n.name += utf8(wide ? u16(w, p) : w[p]);
            }
            n.tokens.assign(w.begin() + static_cast<long>(p), w.begin() + static_cast<long>(p + cce));
            EXPECT_EQ(p + cce, r.data + r.size) << n.name;
            book.names.push_back(n);
        }
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
        XlsSheet& sheet = book.sheets[i];
        // The drawing container's length covers every MSODRAWING record of the sheet.
        int64_t drawingLeft = -1;
        uint32_t shapesDeclared = 0, shapesSeen = 0;
        uint32_t lastObject = 0;
        bool control = false;
        auto art = [&](const Record& r) {
            size_t q = r.data, end = r.data + r.size;
            if (drawingLeft < 0) {
                if (u16(w, q + 2) != 0xF002) return sheet.drawingErrors.push_back("no drawing container first");
                drawingLeft = u32(w, q + 4);
                q += 8;
            }
            drawingLeft -= static_cast<int64_t>(end - q);
            while (q + 8 <= end) {
                uint32_t ver = u16(w, q) & 0xF, type = u16(w, q + 2), len = u32(w, q + 4);
                if (type == 0xF008) shapesDeclared = u32(w, q + 8);
                if (type == 0xF00A) {
                    ++shapesSeen;
                    control = (u16(w, q) >> 4) == 201;
                }
                if (type == 0xF010 && control) {
                    sheet.controlAnchors.emplace_back(static_cast<int>(u16(w, q + 10)), static_cast<int>(u16(w, q + 14)));
                    control = false;
                }
                q += 8 + (ver == 0xF ? 0 : len);
            }
            if (q != end) sheet.drawingErrors.push_back("a drawing record ends inside an entry");
        };
        while (p + 4 <= w.size()) {
            Record r = recordAt(p);
            if (r.type == 0x000A) break;
            int row = r.size >= 4 ? static_cast<int>(u16(w, r.data)) : 0, col = r.size >= 4 ? static_cast<int>(u16(w, r.data + 2)) : 0;
            if (r.type == 0x0013) sheet.passwordHash = static_cast<int>(u16(w, r.data));
            if (r.type == 0x023E) sheet.frozen = u16(w, r.data) & 0x8;
            if (r.type == 0x0041) sheet.paneColumns = static_cast<int>(u16(w, r.data)), sheet.paneRows = static_cast<int>(u16(w, r.data + 2));
            if (r.type == 0x009D) sheet.filterButtons = static_cast<int>(u16(w, r.data));
            if (r.type == 0x009B) sheet.filterMode = true;
            if (r.type == 0x0208 && (u32(w, r.data + 12) & 0x20)) sheet.hiddenRows.insert(row);
            if (r.type == 0x009E) ++sheet.autoFilterRecords;
            if (r.type == 0x0867 && u16(w, r.data + 12) == 2) sheet.protectionOptions = static_cast<int>(u32(w, r.data + 19));
            if (r.type == 0x01B2) sheet.validationCount = static_cast<int>(u32(w, r.data + 14));
            if (r.type == 0x01BE) {
                XlsValidation v;
                size_t q = r.data;
                v.flags = u32(w, q);
                q += 4;
                auto cleaned = [](std::string t) { return t == std::string(1, '\0') ? std::string() : t; };
                v.inputTitle = cleaned(text16(w, q));
                v.errorTitle = cleaned(text16(w, q));
                v.inputMessage = cleaned(text16(w, q));
                v.errorMessage = cleaned(text16(w, q));
                for (auto* f : {&v.formula1, &v.formula2}) {
                    uint32_t cce = u16(w, q);
                    f->assign(w.begin() + static_cast<long>(q + 4), w.begin() + static_cast<long>(q + 4 + cce));
                    q += 4 + cce;
                }
                uint32_t n = u16(w, q);
                q += 2;
                for (uint32_t k = 0; k < n; ++k, q += 8)
                    v.ranges.push_back({static_cast<int>(u16(w, q)), static_cast<int>(u16(w, q + 2)),
                                        static_cast<int>(u16(w, q + 4)), static_cast<int>(u16(w, q + 6))});
                EXPECT_EQ(q, r.data + r.size) << "validation record length";
                sheet.validations.push_back(v);
            }
            if (r.type == 0x00EC) art(r);
            if (r.type == 0x005D && u16(w, r.data) == 0x15 && u16(w, r.data + 4) == 0x19) {
                lastObject = u16(w, r.data + 6);
                sheet.noteObjects.push_back(lastObject);
            }
            if (r.type == 0x005D && u16(w, r.data) == 0x15 && u16(w, r.data + 4) == 0x14) {
                // ftCmo, then the scroll settings, then the list data with its flags and drop-down style.
                XlsSheet::FilterButton b;
                b.id = u16(w, r.data + 6);
                size_t q = r.data + 22;
                EXPECT_EQ(u16(w, q), 0x0Cu);
                q += 4 + u16(w, q + 2);
                EXPECT_EQ(u16(w, q), 0x13u);
                q += 4;
                q += 2 + u16(w, q);  // the source range's formula
                b.listKind = w[q + 5];
                b.filtering = u16(w, q + 8) & 0x8;
                sheet.filterObjects.push_back(b);
            }
            if (r.type == 0x01B6) {
                // The text follows in CONTINUE records, each starting with its flag byte.
                uint32_t cch = u16(w, r.data + 10);
                std::string t;
                size_t q = r.data + r.size;
                for (uint32_t got = 0; got < cch;) {
                    Record c = recordAt(q);
                    EXPECT_EQ(c.type, 0x003Cu);
                    bool wide = w[c.data] & 1;
                    for (size_t k = c.data + 1; k < c.data + c.size; k += wide ? 2 : 1, ++got) t += utf8(wide ? u16(w, k) : w[k]);
                    q = c.data + c.size;
                }
                sheet.notes[{-1, static_cast<int>(lastObject)}].text = t;
            }
            if (r.type == 0x001C) {
                XlsNote n;
                n.shown = u16(w, r.data + 4) & 0x2;
                n.objectId = u16(w, r.data + 6);
                size_t q = r.data + 8;
                n.author = text16(w, q);
                auto pending = sheet.notes.find({-1, static_cast<int>(n.objectId)});
                if (pending != sheet.notes.end()) {
                    n.text = pending->second.text;
                    sheet.notes.erase(pending);
                }
                sheet.notes[{row, col}] = n;
            }
            if (r.type == 0x00FD || r.type == 0x0203 || r.type == 0x0205 || r.type == 0x0201) sheet.xf[{row, col}] = static_cast<int>(u16(w, r.data + 4));
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
        if (drawingLeft > 0) sheet.drawingErrors.push_back("the drawing container is longer than its records");
        if (drawingLeft < 0) sheet.drawingErrors.push_back("the drawing records run past their container");
        if (shapesDeclared != shapesSeen) sheet.drawingErrors.push_back("the drawing counts " + std::to_string(shapesDeclared) + " shapes, holds " + std::to_string(shapesSeen));
    }
    book.ok = true;
    return book;
}

}  // namespace dalvera::testing
