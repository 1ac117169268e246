#include "addin/XlsWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "platform/sheets/SheetModel.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::platform {

namespace {
constexpr char kSource[] = "Workbook.SaveAs";
constexpr int32_t kMaxXlsRows = 65536;
constexpr int32_t kMaxXlsCols = 256;
constexpr size_t kMaxRecordData = 8224;
constexpr uint16_t kAutoColor = 0x7FFF;
constexpr uint16_t kFirstCellXf = 16;

namespace rec {
constexpr uint16_t BOF = 0x0809, EOF_ = 0x000A, CODEPAGE = 0x0042, WINDOW1 = 0x003D, PROTECT = 0x0012,
                   WINDOWPROTECT = 0x0019, PASSWORD = 0x0013, FONT = 0x0031, FORMAT = 0x041E, XF = 0x00E0,
                   STYLE = 0x0293, PALETTE = 0x0092, BOUNDSHEET = 0x0085, SST = 0x00FC, CONTINUE = 0x003C,
                   DIMENSIONS = 0x0200, COLINFO = 0x007D, NUMBER = 0x0203, LABELSST = 0x00FD, BOOLERR = 0x0205,
                   BLANK = 0x0201, WINDOW2 = 0x023E, PANE = 0x0041, DATEMODE = 0x0022, INDEX = 0x020B,
                   DEFCOLWIDTH = 0x0055, EXTSST = 0x00FF, SUPBOOK = 0x01AE, EXTERNSHEET = 0x0017, NAME = 0x0018,
                   DVAL = 0x01B2, DV = 0x01BE, AUTOFILTERINFO = 0x009D, AUTOFILTER = 0x009E, FILTERMODE = 0x009B,
                   OBJPROTECT = 0x0063, SCENPROTECT = 0x00DD, MSODRAWINGGROUP = 0x00EB, MSODRAWING = 0x00EC,
                   OBJ = 0x005D, TXO = 0x01B6, NOTE = 0x001C, ROW = 0x0208;
}

[[noreturn]] void refuse(const std::string& why) {
    raise(err::HostRefusal, "The workbook cannot be saved in the .xls format: " + why, kSource);
}

class Bytes {
public:
    void u8(uint32_t v) { b_.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); }
    void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        u32(static_cast<uint32_t>(bits));
        u32(static_cast<uint32_t>(bits >> 32));
    }
    void raw(const std::vector<uint8_t>& v) { b_.insert(b_.end(), v.begin(), v.end()); }
    void put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    size_t size() const { return b_.size(); }
    std::vector<uint8_t>& data() { return b_; }

private:
    std::vector<uint8_t> b_;
};

// UTF-8 to UTF-16 code units.
std::u16string utf16(std::string_view s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        int len;
        if (c < 0x80) cp = c, len = 1;
        else if ((c >> 5) == 6) cp = c & 0x1F, len = 2;
        else if ((c >> 4) == 14) cp = c & 0x0F, len = 3;
        else cp = c & 0x07, len = 4;
        if (i + static_cast<size_t>(len) > s.size()) break;
        for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += static_cast<size_t>(len);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

// Texts are always written as UTF-16 (the high-byte flag set).
void unicodeString(Bytes& b, const std::u16string& s, bool shortLength) {
    if (shortLength) b.u8(static_cast<uint32_t>(s.size()));
    else b.u16(static_cast<uint32_t>(s.size()));
    b.u8(1);
    for (char16_t c : s) b.u16(c);
}

class Stream {
public:
    void record(uint16_t type, Bytes& data) { record(type, data.data()); }
    void record(uint16_t type, const std::vector<uint8_t>& data) {
        if (data.size() > kMaxRecordData) refuse("a record is too long");
        out_.u16(type);
        out_.u16(static_cast<uint32_t>(data.size()));
        out_.raw(data);
    }
    size_t position() const { return out_.size(); }
    void patch32(size_t at, uint32_t v) { out_.put32(at, v); }
    std::vector<uint8_t>& data() { return out_.data(); }

private:
    Bytes out_;
};

int hostColorDistance(int32_t a, int32_t b) {
    int dr = (a & 0xFF) - (b & 0xFF), dg = ((a >> 8) & 0xFF) - ((b >> 8) & 0xFF),
        db = ((a >> 16) & 0xFF) - ((b >> 16) & 0xFF);
    return dr * dr + dg * dg + db * db;
}

// The palette entry (8..63) nearest to a colour.
uint16_t paletteIndex(const std::array<int32_t, 56>& palette, int32_t color) {
    size_t best = 0;
    for (size_t i = 1; i < palette.size(); ++i)
        if (hostColorDistance(palette[i], color) < hostColorDistance(palette[best], color)) best = i;
    return static_cast<uint16_t>(8 + best);
}

// The format's built-in number formats that need no FORMAT record.
int builtinFormat(const std::string& f) {
    static const std::map<std::string, int> builtins = {
        {"General", 0}, {"0", 1}, {"0.00", 2}, {"#,##0", 3}, {"#,##0.00", 4}, {"0%", 9}, {"0.00%", 10},
        {"0.00E+00", 11}, {"# ?/?", 12}, {"# ?\?/?\?", 13}, {"m/d/yyyy", 14}, {"d-mmm-yy", 15}, {"d-mmm", 16},
        {"mmm-yy", 17}, {"h:mm AM/PM", 18}, {"h:mm:ss AM/PM", 19}, {"h:mm", 20}, {"h:mm:ss", 21},
        {"m/d/yyyy h:mm", 22}, {"@", 49}};
    auto it = builtins.find(f);
    return it == builtins.end() ? -1 : it->second;
}

uint8_t borderStyle(const Edge& e) {
    if (e.lineStyle == host::xl::None) return 0;
    switch (e.weight) {
    case 1: return 7;   // hair
    case -4138: return 2;  // medium
    case 4: return 5;   // thick
    default: return 1;  // thin
    }
}

struct FontKey {
    bool bold, italic;
    int32_t color;
    int size20;
    auto operator<=>(const FontKey&) const = default;
};

// Cell styles of the model as font, format and XF records.
class StyleWriter {
public:
    explicit StyleWriter(const WorkbookModel& model) : model_(model) {
        const CellStyle& normal = model.styles()[0];
        defaultFont_ = fontKey(normal);
    }

    // The XF index of a model style; dates without a date format get one.
    uint16_t xf(uint32_t styleId, bool isDate) {
        auto key = std::make_pair(styleId, isDate && model_.styles()[styleId].numberFormat == "General");
        auto it = xfs_.find(key);
        if (it != xfs_.end()) return it->second;
        if (written_) refuse("a cell style was met after the style table was written");
        uint16_t index = static_cast<uint16_t>(kFirstCellXf + order_.size());
        order_.push_back(key);
        xfs_.emplace(key, index);
        return index;
    }

    void write(Stream& s) {
        written_ = true;
        // Fonts 0 to 3 are the default one; index 4 does not exist in the format.
        fontIndex(defaultFont_);
        for (const auto& key : order_) fontIndex(fontKey(model_.styles()[key.first]));
        for (int i = 0; i < 4; ++i) writeFont(s, defaultFont_);
        for (size_t i = 1; i < fonts_.size(); ++i) writeFont(s, fonts_[i]);

        for (const auto& key : order_) formatIndex(formatText(key));
        for (const auto& [text, index] : formats_) {
            Bytes b;
            b.u16(static_cast<uint32_t>(index));
            unicodeString(b, utf16(text), false);
            s.record(rec::FORMAT, b);
        }
        // Fifteen style XFs and the default cell XF, then one per used style.
        for (int i = 0; i < 15; ++i) writeXf(s, model_.styles()[0], 0, true);
        writeXf(s, model_.styles()[0], 0, false);
        for (const auto& key : order_) {
            const CellStyle& st = model_.styles()[key.first];
            writeXf(s, st, formatIndex(formatText(key)), false);
        }
        Bytes style;
        style.u16(0x8000);  // built-in style "Normal" on XF 0
        style.u8(0);
        style.u8(0xFF);
        s.record(rec::STYLE, style);
        Bytes palette;
        palette.u16(56);
        for (int32_t c : model_.palette()) palette.u32(static_cast<uint32_t>(c) & 0xFFFFFF);
        s.record(rec::PALETTE, palette);
    }

private:
    static FontKey fontKey(const CellStyle& st) {
        return {st.bold, st.italic, st.fontColor, static_cast<int>(std::lround(st.fontSize * 20))};
    }
    std::string formatText(const std::pair<uint32_t, bool>& key) const {
        return key.second ? "m/d/yyyy h:mm" : model_.styles()[key.first].numberFormat;
    }
    uint16_t fontIndex(const FontKey& k) {
        for (size_t i = 0; i < fonts_.size(); ++i)
            if (fonts_[i] == k) return static_cast<uint16_t>(i == 0 ? 0 : i + 4);
        fonts_.push_back(k);
        return static_cast<uint16_t>(fonts_.size() == 1 ? 0 : fonts_.size() + 3);
    }
    int formatIndex(const std::string& text) {
        int b = builtinFormat(text);
        if (b >= 0) return b;
        auto it = formats_.find(text);
        if (it != formats_.end()) return it->second;
        int index = 164 + static_cast<int>(formats_.size());
        formats_.emplace(text, index);
        return index;
    }
    uint16_t color(int32_t c) { return c < 0 ? kAutoColor : paletteIndex(model_.palette(), c); }
    void writeFont(Stream& s, const FontKey& k) {
        Bytes b;
        b.u16(static_cast<uint32_t>(k.size20));
        b.u16(k.italic ? 0x2 : 0);
        b.u16(color(k.color));
        b.u16(k.bold ? 700 : 400);
        b.u16(0);
        b.u8(0);
        b.u8(0);
        b.u8(0);
        b.u8(0);
        unicodeString(b, utf16("Calibri"), true);
        s.record(rec::FONT, b);
    }
    void writeXf(Stream& s, const CellStyle& st, int format, bool styleXf) {
        Bytes b;
        b.u16(styleXf ? 0 : fontIndex(fontKey(st)));
        b.u16(static_cast<uint32_t>(format));
        b.u16(styleXf ? 0xFFF5 : (st.locked ? 0x0001 : 0x0000));
        uint8_t alignment = 0;
        switch (st.horizontalAlignment) {
        case -4131: alignment = 1; break;  // left
        case -4108: alignment = 2; break;  // centre
        case -4152: alignment = 3; break;  // right
        default: break;
        }
        b.u8(alignment);
        b.u8(0);
        b.u8(0);
        b.u8(styleXf ? 0 : 0xFC);
        auto edgeColor = [&](const Edge& e) -> uint32_t { return e.lineStyle == host::xl::None ? 0 : color(e.color) & 0x7F; };
        uint32_t lines = borderStyle(st.left) | (borderStyle(st.right) << 4) | (borderStyle(st.top) << 8) |
                         (borderStyle(st.bottom) << 12) | (edgeColor(st.left) << 16) | (edgeColor(st.right) << 23);
        b.u32(lines);
        bool filled = st.fillColor >= 0;
        uint32_t more = edgeColor(st.top) | (edgeColor(st.bottom) << 7) | (static_cast<uint32_t>(filled ? 1 : 0) << 26);
        b.u32(more);
        uint32_t fore = filled ? color(st.fillColor) : 64;
        b.u16((fore & 0x7F) | (65u << 7));
        s.record(rec::XF, b);
    }

    const WorkbookModel& model_;
    FontKey defaultFont_{};
    std::vector<FontKey> fonts_;
    std::map<std::string, int> formats_;
    std::map<std::pair<uint32_t, bool>, uint16_t> xfs_;
    std::vector<std::pair<uint32_t, bool>> order_;
    bool written_ = false;
};

// The shared strings, split over CONTINUE records as the format requires.
class StringTable {
public:
    uint32_t add(std::string_view text) {
        ++total_;
        std::string key(text);
        auto it = index_.find(key);
        if (it != index_.end()) return it->second;
        uint32_t i = static_cast<uint32_t>(strings_.size());
        index_.emplace(key, i);
        strings_.push_back(utf16(text));
        return i;
    }
    void write(Stream& s) {
        std::vector<std::vector<uint8_t>> records(1);
        Bytes head;
        head.u32(total_);
        head.u32(static_cast<uint32_t>(strings_.size()));
        records[0] = head.data();
        // Every bucket's first string is located for the EXTSST lookup table.
        size_t perBucket = std::max<size_t>(8, strings_.size() / 1024 + 1);
        std::vector<std::pair<size_t, size_t>> buckets;  // record number, offset in its data
        for (size_t k = 0; k < strings_.size(); ++k) {
            const auto& str = strings_[k];
            // The length and flag may not be split: start a new record when they do not fit with one character.
            if (records.back().size() + 5 > kMaxRecordData) records.emplace_back();
            if (k % perBucket == 0) buckets.emplace_back(records.size() - 1, records.back().size());
            Bytes h;
            h.u16(static_cast<uint32_t>(str.size()));
            h.u8(1);
            auto& cur = records.back();
            cur.insert(cur.end(), h.data().begin(), h.data().end());
            for (size_t i = 0; i < str.size(); ++i) {
                if (records.back().size() + 2 > kMaxRecordData) {
                    records.emplace_back();
                    records.back().push_back(1);  // the continued part is UTF-16 as well
                }
                records.back().push_back(static_cast<uint8_t>(str[i] & 0xFF));
                records.back().push_back(static_cast<uint8_t>(str[i] >> 8));
            }
        }
        std::vector<size_t> starts;
        for (size_t i = 0; i < records.size(); ++i) {
            starts.push_back(s.position());
            s.record(i == 0 ? rec::SST : rec::CONTINUE, records[i]);
        }
        Bytes ext;
        ext.u16(static_cast<uint32_t>(perBucket));
        for (const auto& [record, offset] : buckets) {
            ext.u32(static_cast<uint32_t>(starts[record] + 4 + offset));
            ext.u16(static_cast<uint32_t>(4 + offset));
            ext.u16(0);
        }
        s.record(rec::EXTSST, ext);
    }

private:
    uint32_t total_ = 0;
    std::map<std::string, uint32_t> index_;
    std::vector<std::u16string> strings_;
};

void bof(Stream& s, uint16_t kind) {
    Bytes b;
    b.u16(0x0600);
    b.u16(kind);
    b.u16(0x0DBB);
    b.u16(0x07CC);
    b.u32(0);
    b.u32(0x00000006);
    s.record(rec::BOF, b);
}

void eof(Stream& s) { s.record(rec::EOF_, std::vector<uint8_t>{}); }

void protection(Stream& s, bool on, const std::string& password, const host::ProtectOptions* sheet = nullptr) {
    if (!on) return;
    Bytes p;
    p.u16(1);
    s.record(rec::PROTECT, p);
    if (sheet) {
        Bytes scenarios, objects;
        scenarios.u16(sheet->scenarios ? 1 : 0);
        objects.u16(sheet->drawingObjects ? 1 : 0);
        s.record(rec::SCENPROTECT, scenarios);
        s.record(rec::OBJPROTECT, objects);
    }
    if (!password.empty()) {
        Bytes h;
        h.u16(xlsPasswordHash(password));
        s.record(rec::PASSWORD, h);
    }
}

uint8_t sheetState(int visibility) {
    if (visibility == host::xl::SheetHidden) return 1;
    if (visibility == host::xl::SheetVeryHidden) return 2;
    return 0;
}

// Rows and columns past the format's grid are cut off at its edge (whole columns, whole rows).
uint32_t xlsRow(int32_t r) { return static_cast<uint32_t>(std::min(r, kMaxXlsRows) - 1); }
uint32_t xlsCol(int32_t c) { return static_cast<uint32_t>(std::min(c, kMaxXlsCols) - 1); }

// The format counts 29 February 1900 as a day: serials before March 1900 are one higher there.
double sheetSerial(double ole) { return ole >= 1 && ole < 61 ? ole - 1 : ole; }

// A text with a 16-bit length, as validation titles and messages use it; the format
// keeps an empty one as a single NUL.
void longString(Bytes& b, std::u16string s, size_t limit) {
    if (s.size() > limit) s.resize(limit);
    if (s.empty()) s.push_back(u'\0');
    unicodeString(b, s, false);
}

// Formulas of names and validation bounds as the format's tokens: numbers, dates and
// times, workbook names and A1 references, optionally with a sheet.
class Formulas {
public:
    Formulas(const WorkbookModel& model, std::vector<std::string> names) : model_(model), names_(std::move(names)) {}

    // Tokens for a formula text; sheet is the 0-based sheet the formula lives on, or -1 for a name.
    // A list rule's literal items become one text of NUL-separated items (stringList set).
    bool tokens(const std::string& formula, int sheet, bool listRule, std::vector<uint8_t>& out, bool* stringList = nullptr) const {
        Bytes b;
        std::string f = trimBlanks(formula);
        double number;
        if (f.empty()) return false;
        if (f[0] != '=') {
            if (listRule) {
                std::u16string items;
                for (const auto& part : split(f, ',')) {
                    if (!items.empty()) items.push_back(u'\0');
                    items += utf16(trimBlanks(part));
                }
                if (items.size() > 255) return false;
                b.u8(0x17);  // tStr
                unicodeString(b, items, true);
                if (stringList) *stringList = true;
                out = b.data();
                return true;
            }
            if (parseRuleNumber(f, number)) {
                numberToken(b, number);
            } else if (parseDateText(f, number)) {
                numberToken(b, sheetSerial(number));
            } else {
                return false;
            }
            out = b.data();
            return true;
        }
        f = trimBlanks(f.substr(1));
        if (parseRuleNumber(f, number)) {
            numberToken(b, number);
            out = b.data();
            return true;
        }
        for (size_t i = 0; i < names_.size(); ++i) {
            if (lowerAscii(names_[i]) != lowerAscii(f)) continue;
            b.u8(0x23);  // tName, reference class
            b.u16(static_cast<uint32_t>(i + 1));
            b.u16(0);
            out = b.data();
            return true;
        }
        int target = sheet;
        std::string cells = f;
        auto bang = f.rfind('!');
        if (bang != std::string::npos) {
            std::string sheetName = f.substr(0, bang);
            if (sheetName.size() >= 2 && sheetName.front() == '\'' && sheetName.back() == '\'') {
                std::string unquoted;
                for (size_t i = 1; i + 1 < sheetName.size(); ++i) {
                    unquoted += sheetName[i];
                    if (sheetName[i] == '\'' && sheetName[i + 1] == '\'') ++i;
                }
                sheetName = unquoted;
            }
            target = -1;
            for (size_t i = 0; i < model_.sheets().size(); ++i)
                if (lowerAscii(model_.sheets()[i]->name()) == lowerAscii(sheetName)) target = static_cast<int>(i);
            if (target < 0) return false;
            cells = f.substr(bang + 1);
        }
        Rect r;
        if (target < 0 || !parseA1(cells, r)) return false;
        area(b, target, r, sheet < 0 || target != sheet);
        out = b.data();
        return true;
    }

    // A rectangle of a sheet: tArea3d through the sheet's EXTERNSHEET entry, or tArea on its own sheet.
    static void area(Bytes& b, int sheet, const Rect& r, bool threeD) {
        b.u8(threeD ? 0x3B : 0x25);
        if (threeD) b.u16(static_cast<uint32_t>(sheet));
        b.u16(xlsRow(r.r1));
        b.u16(xlsRow(r.r2));
        b.u16(xlsCol(r.c1));
        b.u16(xlsCol(r.c2));
    }

private:
    static void numberToken(Bytes& b, double number) {
        if (number >= 0 && number <= 65535 && number == std::floor(number)) {
            b.u8(0x1E);  // tInt
            b.u16(static_cast<uint32_t>(number));
        } else {
            b.u8(0x1F);  // tNum
            b.f64(number);
        }
    }

    const WorkbookModel& model_;
    std::vector<std::string> names_;
};

// The names of the workbook as NAME records: the model's names, then each
// AutoFilter's hidden _FilterDatabase name on its sheet. Their order fixes
// the index a tName token uses.
std::vector<std::string> nameOrder(const WorkbookModel& model) {
    std::vector<std::string> out;
    for (const NameDef& n : model.names())
        if (!n.refError) out.push_back(n.name);
    return out;
}

bool needsNames(const WorkbookModel& model) {
    if (!nameOrder(model).empty()) return true;
    for (const auto& sheet : model.sheets())
        if (sheet->autoFilter() || !sheet->validations().empty()) return true;
    return false;
}

void writeNames(Stream& s, const WorkbookModel& model, const Formulas& formulas) {
    // The workbook's own sheets as the one supporting book; one EXTERNSHEET entry per sheet.
    Bytes sup;
    sup.u16(static_cast<uint32_t>(model.sheets().size()));
    sup.u16(0x0401);
    s.record(rec::SUPBOOK, sup);
    Bytes ext;
    ext.u16(static_cast<uint32_t>(model.sheets().size()));
    for (size_t i = 0; i < model.sheets().size(); ++i) {
        ext.u16(0);
        ext.u16(static_cast<uint32_t>(i));
        ext.u16(static_cast<uint32_t>(i));
    }
    s.record(rec::EXTERNSHEET, ext);
    auto name = [&](uint16_t flags, const std::u16string& text, bool builtin, uint32_t sheet, const std::vector<uint8_t>& tokens) {
        Bytes b;
        b.u16(flags);
        b.u8(0);
        b.u8(builtin ? 1 : static_cast<uint32_t>(text.size()));
        b.u16(static_cast<uint32_t>(tokens.size()));
        b.u16(0);
        b.u16(sheet);
        b.u32(0);
        if (builtin) {
            b.u8(0);
            b.u8(static_cast<uint32_t>(text[0]));
        } else {
            b.u8(1);
            for (char16_t c : text) b.u16(c);
        }
        b.raw(tokens);
        s.record(rec::NAME, b);
    };
    for (const NameDef& n : model.names()) {
        if (n.refError) continue;
        std::vector<uint8_t> tokens;
        const SheetModel* target = model.sheetById(n.sheetId);
        if (target) {
            Bytes b;
            int index = 0;
            for (size_t i = 0; i < model.sheets().size(); ++i)
                if (model.sheets()[i].get() == target) index = static_cast<int>(i);
            Formulas::area(b, index, n.area, true);
            tokens = b.data();
        } else if (!formulas.tokens(n.formula, -1, false, tokens)) {
            refuse("the name '" + n.name + "' refers to '" + n.formula + "', which this format's writer cannot express");
        }
        std::u16string text = utf16(n.name);
        if (text.size() > 255) refuse("the name '" + n.name + "' is longer than 255 characters");
        name(n.visible ? 0 : 0x0001, text, false, 0, tokens);
    }
    for (size_t i = 0; i < model.sheets().size(); ++i) {
        const auto& af = model.sheets()[i]->autoFilter();
        if (!af) continue;
        Bytes b;
        Formulas::area(b, static_cast<int>(i), af->range, true);
        name(0x0021, std::u16string(1, u'\x0D'), true, static_cast<uint32_t>(i + 1), b.data());
    }
}

// How many drop-down buttons the sheet's AutoFilter shows, as AUTOFILTERINFO counts them.
uint32_t filterButtons(const SheetModel& sheet) {
    const auto& af = sheet.autoFilter();
    if (!af || af->range.c1 > kMaxXlsCols || af->range.r1 > kMaxXlsRows) return 0;
    return static_cast<uint32_t>(std::min(af->range.c2, kMaxXlsCols) - af->range.c1 + 1);
}

// The AutoFilter: the number of its buttons, FILTERMODE while criteria hide rows,
// and the criteria of each filtered column as comparisons with a number or a text.
void writeAutoFilter(Stream& s, const SheetModel& sheet) {
    const auto& af = sheet.autoFilter();
    if (!af) return;
    bool any = std::any_of(af->columns.begin(), af->columns.end(), [](const FilterCriteria& c) { return c.on; });
    if (any) s.record(rec::FILTERMODE, std::vector<uint8_t>{});
    Bytes info;
    info.u16(filterButtons(sheet));
    s.record(rec::AUTOFILTERINFO, info);
    for (size_t k = 0; k < af->columns.size() && af->range.c1 + static_cast<int32_t>(k) <= kMaxXlsCols; ++k) {
        const FilterCriteria& c = af->columns[k];
        if (!c.on) continue;
        // Operators other than And and Or (top ten, colours, value lists) have no simple form here.
        if (c.op != host::xl::And && c.op != host::xl::Or) continue;
        struct Doper {
            Bytes bytes;
            std::u16string text;
            bool simple = false;
        };
        auto doper = [](const Variant& v) {
            Doper d;
            if (v.isMissing() || v.isEmpty()) {
                for (int i = 0; i < 10; ++i) d.bytes.u8(0);
                return d;
            }
            std::string t = v.text();
            uint8_t sign = 2;
            static const std::pair<const char*, uint8_t> ops[] = {{"<>", 5}, {">=", 6}, {"<=", 3}, {"=", 2}, {">", 4}, {"<", 1}};
            for (const auto& [text, code] : ops) {
                if (t.rfind(text, 0) == 0) {
                    t = t.substr(std::strlen(text));
                    sign = code;
                    break;
                }
            }
            double number = v.isNumber() ? v.toDouble() : 0;
            if (t.empty()) {
                d.bytes.u8(sign == 5 ? 0x0E : 0x0C);  // all non-blanks, all blanks
                d.bytes.u8(0);
                for (int i = 0; i < 8; ++i) d.bytes.u8(0);
            } else if ((v.isNumber() && t == v.text()) || parseRuleNumber(t, number)) {
                d.bytes.u8(4);
                d.bytes.u8(sign);
                d.bytes.f64(number);
                d.simple = sign == 2;
            } else {
                d.text = utf16(t);
                if (d.text.size() > 255) d.text.resize(255);
                d.bytes.u8(6);
                d.bytes.u8(sign);
                d.bytes.u32(0);
                d.bytes.u8(static_cast<uint32_t>(d.text.size()));
                d.bytes.u8(1);
                d.bytes.u16(0);
                d.simple = sign == 2;
            }
            return d;
        };
        Doper first = doper(c.criteria1), second = doper(c.criteria2);
        Bytes b;
        b.u16(static_cast<uint32_t>(k));
        b.u16((c.op == host::xl::Or ? 1u : 0u) | (first.simple ? 0x4u : 0u) | (second.simple ? 0x8u : 0u));
        b.raw(first.bytes.data());
        b.raw(second.bytes.data());
        for (const Doper* d : {&first, &second}) {
            if (d->text.empty()) continue;
            b.u8(1);
            for (char16_t ch : d->text) b.u16(ch);
        }
        s.record(rec::AUTOFILTER, b);
    }
}

// Data validation: DVAL, then one DV per rule with its messages, bounds and cells.
void writeValidations(Stream& s, const SheetModel& sheet, int sheetIndex, const Formulas& formulas) {
    std::vector<const ValidationRule*> rules;
    for (const ValidationRule& v : sheet.validations())
        if (std::any_of(v.areas.begin(), v.areas.end(), [](const Rect& a) { return a.r1 <= kMaxXlsRows && a.c1 <= kMaxXlsCols; }))
            rules.push_back(&v);
    if (rules.empty()) return;
    Bytes dval;
    dval.u16(0);
    dval.u32(0);
    dval.u32(0);
    dval.u32(0xFFFFFFFF);  // no drop-down object
    dval.u32(static_cast<uint32_t>(rules.size()));
    s.record(rec::DVAL, dval);
    for (const ValidationRule* v : rules) {
        bool list = v->type == host::xl::ValidateList;
        bool stringList = false;
        std::vector<uint8_t> f1, f2;
        if (!v->formula1.empty() && !formulas.tokens(v->formula1, sheetIndex, list, f1, &stringList))
            refuse("the validation formula '" + v->formula1 + "' on sheet '" + sheet.name() + "' cannot be written");
        bool twoBounds = !list && (v->op == host::xl::Between || v->op == host::xl::NotBetween);
        if (twoBounds && !v->formula2.empty() && !formulas.tokens(v->formula2, sheetIndex, false, f2))
            refuse("the validation formula '" + v->formula2 + "' on sheet '" + sheet.name() + "' cannot be written");
        bool hasOperator = v->type >= host::xl::ValidateWholeNumber && v->type != host::xl::ValidateList &&
                           v->type != host::xl::ValidateCustom;
        uint32_t flags = static_cast<uint32_t>(v->type & 0xF) |
                         (static_cast<uint32_t>(std::clamp(v->alertStyle, 1, 3) - 1) << 4) |
                         (stringList ? 0x80u : 0u) | (v->ignoreBlank ? 0x100u : 0u) |
                         (list && !v->inCellDropdown ? 0x200u : 0u) | (v->showInput ? 0x40000u : 0u) |
                         (v->showError ? 0x80000u : 0u) |
                         (hasOperator ? static_cast<uint32_t>(std::clamp(v->op, 1, 8) - 1) << 20 : 0u);
        Bytes b;
        b.u32(flags);
        // The format's limits on these texts.
        longString(b, utf16(v->inputTitle), 32);
        longString(b, utf16(v->errorTitle), 32);
        longString(b, utf16(v->inputMessage), 255);
        longString(b, utf16(v->errorMessage), 225);
        for (const auto* f : {&f1, &f2}) {
            b.u16(static_cast<uint32_t>(f->size()));
            b.u16(0);
            b.raw(*f);
        }
        std::vector<Rect> areas;
        for (const Rect& a : v->areas)
            if (a.r1 <= kMaxXlsRows && a.c1 <= kMaxXlsCols) areas.push_back(a);
        b.u16(static_cast<uint32_t>(areas.size()));
        for (const Rect& a : areas) {
            b.u16(xlsRow(a.r1));
            b.u16(xlsRow(a.r2));
            b.u16(xlsCol(a.c1));
            b.u16(xlsCol(a.c2));
        }
        s.record(rec::DV, b);
    }
}

// What a protected sheet still allows, in the shared-feature header the later hosts read.
void sheetProtectionOptions(Stream& s, const SheetModel& sheet) {
    const host::ProtectOptions& o = sheet.protection().options;
    uint32_t allowed = (o.drawingObjects ? 0u : 0x1u) | (o.scenarios ? 0u : 0x2u) | (o.allowFormattingCells ? 0x4u : 0u) |
                       (o.allowFormattingColumns ? 0x8u : 0u) | (o.allowFormattingRows ? 0x10u : 0u) |
                       (o.allowInsertingColumns ? 0x20u : 0u) | (o.allowInsertingRows ? 0x40u : 0u) |
                       (o.allowInsertingHyperlinks ? 0x80u : 0u) | (o.allowDeletingColumns ? 0x100u : 0u) |
                       (o.allowDeletingRows ? 0x200u : 0u) |
                       (sheet.enableSelection() == host::xl::NoRestrictions ? 0x400u : 0u) |
                       (o.allowSorting ? 0x800u : 0u) | (o.allowFiltering ? 0x1000u : 0u) |
                       (o.allowUsingPivotTables ? 0x2000u : 0u) |
                       (sheet.enableSelection() != host::xl::NoSelection ? 0x4000u : 0u);
    Bytes b;
    b.u16(0x0867);  // the future-record header repeats the type
    b.u16(0);
    for (int i = 0; i < 8; ++i) b.u8(0);
    b.u16(2);  // sheet protection
    b.u8(1);
    b.u32(0xFFFFFFFF);
    b.u32(allowed);
    s.record(0x0867, b);
}

// Comments: each is a text-box shape in the sheet's drawing, an OBJ of the note kind,
// its text in a TXO and a NOTE naming the cell and the author. Shape ids come in
// clusters of 1024 per drawing, the drawing group in the globals counts them.
struct Drawing {
    uint32_t id = 0;  // 0: the sheet has no drawing
    uint32_t shapes = 0;  // the group shape, one per filter button and one per comment
    uint32_t firstShape() const { return id * 1024; }
};

void artHeader(Bytes& b, uint32_t version, uint32_t instance, uint32_t type, uint32_t length) {
    b.u16(version | (instance << 4));
    b.u16(type);
    b.u32(length);
}

void writeDrawingGroup(Stream& s, const std::vector<Drawing>& drawings) {
    uint32_t used = 0, saved = 0, maxShape = 0;
    for (const Drawing& d : drawings) {
        if (!d.id) continue;
        ++used;
        saved += d.shapes;
        maxShape = std::max(maxShape, d.firstShape() + d.shapes);
    }
    if (!used) return;
    Bytes dgg;
    artHeader(dgg, 0, 0, 0xF006, 16 + 8 * used);
    dgg.u32(maxShape);
    dgg.u32(used + 1);
    dgg.u32(saved);
    dgg.u32(used);
    for (const Drawing& d : drawings) {
        if (!d.id) continue;
        dgg.u32(d.id);
        dgg.u32(d.shapes + 1);
    }
    Bytes b;
    artHeader(b, 0xF, 0, 0xF000, static_cast<uint32_t>(dgg.size()));
    b.raw(dgg.data());
    s.record(rec::MSODRAWINGGROUP, b);
}

// A record followed by CONTINUE records, for texts longer than one record holds.
void textContinues(Stream& s, const std::u16string& text) {
    for (size_t at = 0; at < text.size();) {
        size_t n = std::min(text.size() - at, (kMaxRecordData - 1) / 2);
        Bytes b;
        b.u8(1);
        for (size_t i = 0; i < n; ++i) b.u16(text[at + i]);
        s.record(rec::CONTINUE, b);
        at += n;
    }
}

// The sheet's drawing: the AutoFilter's drop-down buttons first (a host draws the
// filter's arrows only from these objects), then the comments. Each button is a
// control shape over its heading cell with an OBJ of the combo-box kind.
void writeDrawing(Stream& s, const SheetModel& sheet, const Drawing& drawing) {
    if (!drawing.id) return;
    const auto& comments = sheet.comments();
    const uint32_t buttons = filterButtons(sheet);
    constexpr uint32_t anchorSize = 8 + 18, dataSize = 8, textboxSize = 8;
    constexpr uint32_t propertyCount = 4;
    constexpr uint32_t fspSize = 8 + 8, optSize = 8 + 6 * propertyCount;
    constexpr uint32_t buttonSize = 8 + fspSize + optSize + anchorSize + dataSize;
    constexpr uint32_t shapeSize = buttonSize + textboxSize;
    constexpr uint32_t groupSize = 8 + (8 + 16) + fspSize;
    const uint32_t spgrSize = groupSize + buttonSize * buttons + shapeSize * static_cast<uint32_t>(comments.size());
    const uint32_t dgSize = (8 + 8) + 8 + spgrSize;
    uint32_t spid = drawing.firstShape();
    uint16_t objectId = 0;
    std::vector<std::pair<const std::pair<int32_t, int32_t>*, uint16_t>> notes;
    bool first = true;
    auto container = [&](Bytes& d) {
        if (!first) return;
        artHeader(d, 0xF, 0, 0xF002, dgSize);
        artHeader(d, 0, drawing.id, 0xF008, 8);
        d.u32(drawing.shapes);
        d.u32(drawing.firstShape() + drawing.shapes - 1);
        artHeader(d, 0xF, 0, 0xF003, spgrSize);
        artHeader(d, 0xF, 0, 0xF004, groupSize - 8);
        artHeader(d, 1, 0, 0xF009, 16);
        for (int i = 0; i < 16; ++i) d.u8(0);
        artHeader(d, 2, 0, 0xF00A, 8);
        d.u32(spid++);
        d.u32(0x5);  // group, patriarch
        first = false;
    };
    for (uint32_t k = 0; k < buttons; ++k) {
        const auto& af = *sheet.autoFilter();
        Bytes d;
        container(d);
        artHeader(d, 0xF, 0, 0xF004, buttonSize - 8);
        artHeader(d, 2, 201, 0xF00A, 8);  // a host control
        d.u32(spid++);
        d.u32(0xA00);
        artHeader(d, 3, propertyCount, 0xF00B, 6 * propertyCount);
        auto property = [&](uint32_t id, uint32_t value) {
            d.u16(id);
            d.u32(value);
        };
        property(0x007F, 0x01040104);  // locked against grouping, text and rotation
        property(0x00BF, 0x00080008);  // text fits the shape
        property(0x01FF, 0x00080000);  // no line
        property(0x03BF, 0x00020000);  // shown
        uint32_t col = xlsCol(af.range.c1) + k, row = xlsRow(af.range.r1);
        artHeader(d, 0, 0, 0xF010, 18);
        d.u16(1);  // moves with its cell, keeps its size
        d.u16(col);
        d.u16(0);
        d.u16(row);
        d.u16(0);
        d.u16(std::min<uint32_t>(col + 1, kMaxXlsCols - 1));
        d.u16(0);
        d.u16(std::min<uint32_t>(row + 1, kMaxXlsRows - 1));
        d.u16(0);
        artHeader(d, 0, 0, 0xF011, 0);
        s.record(rec::MSODRAWING, d);

        const FilterCriteria* c = k < af.columns.size() ? &af.columns[k] : nullptr;
        Bytes obj;
        obj.u16(0x15);
        obj.u16(18);
        obj.u16(0x14);  // a combo box
        obj.u16(++objectId);
        obj.u16(0x2101);  // locked, a user-interface object, filled automatically
        for (int i = 0; i < 12; ++i) obj.u8(0);
        obj.u16(0x0C);  // scroll settings, unused by a filter button
        obj.u16(20);
        for (int i = 0; i < 20; ++i) obj.u8(0);
        obj.u16(0x13);  // list data
        obj.u16(0x1FEE);  // the whole structure is in this record
        obj.u16(0);  // no source range
        obj.u16(0);  // no items
        obj.u16(0);  // nothing selected
        obj.u16(0x0301);  // the list kind is given: an AutoFilter's
        obj.u16(0);
        obj.u16(c && c->on ? 0x000A : 0x0002);  // a plain drop-down button, marked while it filters
        obj.u16(8);
        obj.u16(0);
        obj.u16(0);  // no current text
        obj.u8(0);
        obj.u8(0);  // pads the odd-sized text
        obj.u32(0);  // end
        s.record(rec::OBJ, obj);
    }
    for (const auto& entry : comments) {
        const auto& [pos, c] = entry;
        Bytes d;
        container(d);
        artHeader(d, 0xF, 0, 0xF004, shapeSize - 8);
        artHeader(d, 2, 202, 0xF00A, 8);  // a text box
        d.u32(spid++);
        d.u32(0xA00);  // has an anchor and a shape type
        artHeader(d, 3, propertyCount, 0xF00B, 6 * propertyCount);
        auto property = [&](uint32_t id, uint32_t value) {
            d.u16(id);
            d.u32(value);
        };
        property(0x0181, static_cast<uint32_t>(c.fillColor) & 0xFFFFFF);  // fill colour
        property(0x01C0, static_cast<uint32_t>(c.lineColor) & 0xFFFFFF);  // line colour
        property(0x023F, c.shadow ? 0x00030003 : 0x00030000);
        property(0x03BF, c.visible ? 0x00020000 : 0x00020002);  // hidden until pointed at
        // The box sits right of its cell, sized from points to columns of 48 and rows of 15.
        uint32_t col = std::min<uint32_t>(xlsCol(pos.second) + 1, kMaxXlsCols - 1);
        uint32_t row = pos.first > 1 ? xlsRow(pos.first) - 1 : 0;
        uint32_t cols = static_cast<uint32_t>(std::max(1.0, std::ceil(c.width / 48))),
                 rows = static_cast<uint32_t>(std::max(1.0, std::ceil(c.height / 15)));
        artHeader(d, 0, 0, 0xF010, 18);
        d.u16(3);
        d.u16(col);
        d.u16(15);
        d.u16(row);
        d.u16(10);
        d.u16(std::min<uint32_t>(col + cols, kMaxXlsCols - 1));
        d.u16(15);
        d.u16(std::min<uint32_t>(row + rows, kMaxXlsRows - 1));
        d.u16(4);
        artHeader(d, 0, 0, 0xF011, 0);
        s.record(rec::MSODRAWING, d);

        Bytes obj;
        obj.u16(0x15);
        obj.u16(18);
        obj.u16(0x19);  // a note
        obj.u16(++objectId);
        obj.u16(0x4011);  // locked, printable, automatic line
        for (int i = 0; i < 12; ++i) obj.u8(0);
        obj.u16(0x0D);
        obj.u16(22);
        for (int i = 0; i < 22; ++i) obj.u8(0);
        obj.u32(0);  // end
        s.record(rec::OBJ, obj);

        Bytes box;
        artHeader(box, 0, 0, 0xF00D, 0);
        s.record(rec::MSODRAWING, box);

        std::u16string text = utf16(c.text);
        if (text.size() > 32767) text.resize(32767);
        Bytes txo;
        txo.u16(0x0212);  // left, top, locked text
        txo.u16(0);
        for (int i = 0; i < 6; ++i) txo.u8(0);
        txo.u16(static_cast<uint32_t>(text.size()));
        txo.u16(text.empty() ? 0 : 16);
        txo.u16(0);
        txo.u16(0);
        s.record(rec::TXO, txo);
        if (!text.empty()) {
            textContinues(s, text);
            Bytes runs;
            runs.u16(0);
            runs.u16(0);
            runs.u32(0);
            runs.u16(static_cast<uint32_t>(text.size()));
            runs.u16(0);
            runs.u32(0);
            s.record(rec::CONTINUE, runs);
        }
        notes.emplace_back(&pos, objectId);
    }
    for (const auto& [pos, id] : notes) {
        const CommentData& c = comments.at(*pos);
        Bytes n;
        n.u16(xlsRow(pos->first));
        n.u16(xlsCol(pos->second));
        n.u16(c.visible ? 0x2 : 0);
        n.u16(id);
        std::u16string author = utf16(c.author);
        if (author.size() > 255) author.resize(255);
        unicodeString(n, author, false);
        n.u8(0);
        s.record(rec::NOTE, n);
    }
}

struct CellRecord {
    int32_t row, col;
    CellValue value;
    uint32_t style;
};

// Writes one sheet's substream; returns where in it the INDEX record's pointer
// to DEFCOLWIDTH lies and where DEFCOLWIDTH starts, both relative to the substream.
std::pair<size_t, size_t> writeSheet(Stream& s, const SheetModel& sheet, int sheetIndex, bool active, StyleWriter& styles,
                                     StringTable& strings, const std::vector<CellRecord>& cells,
                                     const Formulas& formulas, const Drawing& drawing) {
    bof(s, 0x0010);
    auto used = sheet.usedRect();
    Bytes index;
    index.u32(0);
    index.u32(used ? static_cast<uint32_t>(used->r1 - 1) : 0);
    index.u32(used ? static_cast<uint32_t>(used->r2) : 0);
    size_t pointer = s.position() + 4 + index.size();
    index.u32(0);
    s.record(rec::INDEX, index);
    protection(s, sheet.protection().on, sheet.protection().password, &sheet.protection().options);
    size_t defColWidth = s.position();
    Bytes def;
    def.u16(8);
    s.record(rec::DEFCOLWIDTH, def);

    // Columns: width, hidden state and the whole-column style.
    int32_t last = std::min<int32_t>(kMaxXlsCols, std::max(sheet.columnCount(), sheet.columnWidths().empty() ? 0 : sheet.columnWidths().rbegin()->first));
    if (!sheet.hiddenColumns().empty()) last = std::max(last, std::min(kMaxXlsCols, *sheet.hiddenColumns().rbegin()));
    for (int32_t c = 1; c <= kMaxXlsCols; ++c) {
        bool beyond = c > last;
        auto width = sheet.columnWidths().find(c);
        bool hidden = sheet.columnHidden(c);
        uint32_t base = sheet.columnStyles(c).base();
        if (width == sheet.columnWidths().end() && !hidden && base == 0) {
            if (beyond) break;
            continue;
        }
        Bytes b;
        b.u16(static_cast<uint32_t>(c - 1));
        // Columns past the last one that has a store share the sheet's default style.
        b.u16(static_cast<uint32_t>(beyond ? kMaxXlsCols - 1 : c - 1));
        double w = width == sheet.columnWidths().end() ? SheetModel::kDefaultColumnWidth : width->second;
        b.u16(static_cast<uint32_t>(std::lround(std::min(255.0, w) * 256)));
        b.u16(base == 0 ? 15 : styles.xf(base, false));
        b.u16(hidden ? 1 : 0);
        b.u16(0);
        s.record(rec::COLINFO, b);
        if (beyond) break;
    }
    writeAutoFilter(s, sheet);
    Bytes dim;
    dim.u32(used ? static_cast<uint32_t>(used->r1 - 1) : 0);
    dim.u32(used ? static_cast<uint32_t>(used->r2) : 0);
    dim.u16(used ? static_cast<uint32_t>(used->c1 - 1) : 0);
    dim.u16(used ? static_cast<uint32_t>(used->c2) : 0);
    dim.u16(0);
    s.record(rec::DIMENSIONS, dim);

    // Rows hidden by hand or by the AutoFilter's criteria; the others keep the default height.
    std::set<int32_t> hiddenRows = sheet.manualHiddenRows();
    hiddenRows.insert(sheet.filterHiddenRows().begin(), sheet.filterHiddenRows().end());
    for (int32_t r : hiddenRows) {
        if (r > kMaxXlsRows) break;
        Bytes row;
        row.u16(xlsRow(r));
        row.u16(0);
        row.u16(0);
        row.u16(255);  // 12.75 points in twips
        row.u16(0);
        row.u16(0);
        row.u32(0x100 | 0x20);  // hidden
        s.record(rec::ROW, row);
    }

    for (const auto& cell : cells) {
        Bytes b;
        b.u16(static_cast<uint32_t>(cell.row - 1));
        b.u16(static_cast<uint32_t>(cell.col - 1));
        const CellValue& v = cell.value;
        b.u16(styles.xf(cell.style, v.kind == CellKind::Date));
        switch (v.kind) {
        case CellKind::Number:
            b.f64(v.number());
            s.record(rec::NUMBER, b);
            break;
        case CellKind::Date:
            b.f64(sheetSerial(v.number()));
            s.record(rec::NUMBER, b);
            break;
        case CellKind::Currency:
            b.f64(static_cast<double>(v.currencyScaled()) / 10000.0);
            s.record(rec::NUMBER, b);
            break;
        case CellKind::Text: {
            std::string_view text = sheet.text(v);
            if (utf16(text).size() > 32767) refuse("a cell holds more than 32767 characters");
            b.u32(strings.add(text));
            s.record(rec::LABELSST, b);
            break;
        }
        case CellKind::Boolean:
            b.u8(v.boolean() ? 1 : 0);
            b.u8(0);
            s.record(rec::BOOLERR, b);
            break;
        case CellKind::Empty:
            s.record(rec::BLANK, b);
            break;
        }
    }

    writeDrawing(s, sheet, drawing);
    const SheetView& view = sheet.view();
    bool frozen = view.frozen && (view.splitRow > 0 || view.splitColumn > 0);
    Bytes w;
    uint32_t flags = 0x20 | 0x80;  // default header colour, outline symbols
    if (view.displayGridlines) flags |= 0x2;
    if (view.displayHeadings) flags |= 0x4;
    if (view.displayZeros) flags |= 0x10;
    if (frozen) flags |= 0x8 | 0x100;
    if (active) flags |= 0x200 | 0x400;
    w.u16(flags);
    w.u16(static_cast<uint32_t>(std::max(0, view.scrollRow - 1)));
    w.u16(static_cast<uint32_t>(std::max(0, view.scrollColumn - 1)));
    w.u32(64);
    w.u16(0);
    w.u16(0);
    w.u32(0);
    s.record(rec::WINDOW2, w);
    if (frozen) {
        Bytes p;
        p.u16(static_cast<uint32_t>(view.splitColumn));
        p.u16(static_cast<uint32_t>(view.splitRow));
        p.u16(static_cast<uint32_t>(view.splitRow));
        p.u16(static_cast<uint32_t>(view.splitColumn));
        p.u16(view.splitRow > 0 && view.splitColumn > 0 ? 0 : view.splitRow > 0 ? 2 : 1);
        s.record(rec::PANE, p);
    }
    writeValidations(s, sheet, sheetIndex, formulas);
    if (sheet.protection().on) sheetProtectionOptions(s, sheet);
    eof(s);
    return {pointer, defColWidth};
}
}  // namespace

uint16_t xlsPasswordHash(const std::string& password) {
    uint16_t hash = 0;
    for (auto it = password.rbegin(); it != password.rend(); ++it) {
        hash = static_cast<uint16_t>(((hash >> 14) & 0x01) | ((hash << 1) & 0x7FFF));
        hash ^= static_cast<unsigned char>(*it);
    }
    hash = static_cast<uint16_t>(((hash >> 14) & 0x01) | ((hash << 1) & 0x7FFF));
    hash ^= static_cast<uint16_t>(password.size());
    hash ^= 0xCE4B;
    return hash;
}

std::vector<uint8_t> buildXlsWorkbookStream(const WorkbookModel& model) {
    StyleWriter styles(model);
    // Cells first, so that every style is known before the globals are written.
    std::vector<std::vector<CellRecord>> cells;
    for (const auto& sheet : model.sheets()) {
        auto used = sheet->usedRect();
        if (used && (used->r2 > kMaxXlsRows || used->c2 > kMaxXlsCols))
            refuse("sheet '" + sheet->name() + "' goes beyond 65536 rows or 256 columns");
        std::vector<CellRecord> list;
        sheet->forEachCell([&](int32_t r, int32_t c, const CellValue& v, uint32_t style) { list.push_back({r, c, v, style}); },
                           true);
        for (const auto& cell : list) styles.xf(cell.style, cell.value.kind == CellKind::Date);
        for (int32_t c = 1; c <= std::min(kMaxXlsCols, sheet->columnCount() + 1); ++c) {
            uint32_t base = sheet->columnStyles(c).base();
            if (base) styles.xf(base, false);
        }
        cells.push_back(std::move(list));
    }
    StringTable sheetStrings;

    Stream s;
    bof(s, 0x0005);
    Bytes codepage;
    codepage.u16(1200);
    s.record(rec::CODEPAGE, codepage);
    Bytes window;
    window.u16(0);
    window.u16(0);
    window.u16(0x4000);
    window.u16(0x2000);
    window.u16(0x38);
    window.u16(static_cast<uint32_t>(std::max(0, model.activeSheetIndex())));
    window.u16(0);
    window.u16(1);
    window.u16(0x258);
    if (model.structureProtected() || model.windowsProtected()) {
        Bytes wp;
        wp.u16(model.windowsProtected() ? 1 : 0);
        s.record(rec::WINDOWPROTECT, wp);
    }
    protection(s, model.structureProtected(), model.structurePassword());
    s.record(rec::WINDOW1, window);
    Bytes dateMode;
    dateMode.u16(0);
    s.record(rec::DATEMODE, dateMode);
    styles.write(s);
    std::vector<size_t> offsets;
    for (const auto& sheet : model.sheets()) {
        Bytes b;
        offsets.push_back(s.position() + 4);
        b.u32(0);  // the sheet's position, filled in below
        b.u8(sheetState(sheet->visibility()));
        b.u8(0);
        unicodeString(b, utf16(sheet->name()), true);
        s.record(rec::BOUNDSHEET, b);
    }
    Formulas formulas(model, nameOrder(model));
    if (needsNames(model)) writeNames(s, model, formulas);
    std::vector<Drawing> drawings(model.sheets().size());
    uint32_t nextDrawing = 1;
    for (size_t i = 0; i < model.sheets().size(); ++i) {
        size_t n = model.sheets()[i]->comments().size() + filterButtons(*model.sheets()[i]);
        if (n == 0) continue;
        if (n > 1022) refuse("sheet '" + model.sheets()[i]->name() + "' has more than 1022 comments and filter buttons");
        drawings[i] = {nextDrawing++, static_cast<uint32_t>(n + 1)};
    }
    writeDrawingGroup(s, drawings);
    // Sheet records ask the string table for indexes: build them before writing the table.
    std::vector<Stream> bodies(model.sheets().size());
    std::vector<std::pair<size_t, size_t>> pointers;
    for (size_t i = 0; i < model.sheets().size(); ++i)
        pointers.push_back(writeSheet(bodies[i], *model.sheets()[i], static_cast<int>(i),
                                      static_cast<int>(i) == model.activeSheetIndex(), styles, sheetStrings, cells[i],
                                      formulas, drawings[i]));
    sheetStrings.write(s);
    eof(s);
    std::vector<uint8_t> out = std::move(s.data());
    for (size_t i = 0; i < bodies.size(); ++i) {
        uint32_t at = static_cast<uint32_t>(out.size());
        for (int k = 0; k < 4; ++k) out[offsets[i] + k] = static_cast<uint8_t>(at >> (8 * k));
        bodies[i].patch32(pointers[i].first, static_cast<uint32_t>(at + pointers[i].second));
        out.insert(out.end(), bodies[i].data().begin(), bodies[i].data().end());
    }
    return out;
}

std::vector<uint8_t> buildCompoundFile(const std::string& streamName, const std::vector<uint8_t>& stream) {
    constexpr uint32_t Sector = 512, EndOfChain = 0xFFFFFFFE, FatSect = 0xFFFFFFFD, DifSect = 0xFFFFFFFC,
                       Free = 0xFFFFFFFF, NoStream = 0xFFFFFFFF;
    // Streams below 4096 bytes would belong in the mini stream; padding keeps them in normal sectors.
    std::vector<uint8_t> data = stream;
    if (data.size() < 4096) data.resize(4096, 0);
    uint32_t streamSize = static_cast<uint32_t>(data.size());
    data.resize((data.size() + Sector - 1) / Sector * Sector, 0);
    uint32_t dataSectors = static_cast<uint32_t>(data.size() / Sector);
    uint32_t dirSectors = 1;
    uint32_t fatSectors = 0, difSectors = 0;
    // Every sector needs a FAT entry, the FAT's own sectors included.
    while (true) {
        uint32_t total = dataSectors + dirSectors + fatSectors + difSectors;
        uint32_t needFat = (total + 127) / 128;
        uint32_t needDif = needFat > 109 ? (needFat - 109 + 126) / 127 : 0;
        if (needFat == fatSectors && needDif == difSectors) break;
        fatSectors = needFat;
        difSectors = needDif;
    }
    uint32_t dirStart = dataSectors, fatStart = dirStart + dirSectors, difStart = fatStart + fatSectors;
    uint32_t totalSectors = difStart + difSectors;

    std::vector<uint32_t> fat(static_cast<size_t>(fatSectors) * 128, Free);
    for (uint32_t i = 0; i < dataSectors; ++i) fat[i] = i + 1 < dataSectors ? i + 1 : EndOfChain;
    fat[dirStart] = EndOfChain;
    for (uint32_t i = 0; i < fatSectors; ++i) fat[fatStart + i] = FatSect;
    for (uint32_t i = 0; i < difSectors; ++i) fat[difStart + i] = DifSect;

    Bytes out;
    const uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (uint8_t b : signature) out.u8(b);
    for (int i = 0; i < 16; ++i) out.u8(0);
    out.u16(0x003E);
    out.u16(0x0003);
    out.u16(0xFFFE);
    out.u16(0x0009);
    out.u16(0x0006);
    for (int i = 0; i < 6; ++i) out.u8(0);
    out.u32(0);  // directory sectors (0 in version 3)
    out.u32(fatSectors);
    out.u32(dirStart);
    out.u32(0);
    out.u32(0x1000);
    out.u32(EndOfChain);  // no mini FAT
    out.u32(0);
    out.u32(difSectors ? difStart : EndOfChain);
    out.u32(difSectors);
    for (uint32_t i = 0; i < 109; ++i) out.u32(i < fatSectors ? fatStart + i : Free);
    out.raw(data);

    // Directory: the root and the one stream.
    auto entry = [&](const std::string& name, uint8_t type, uint32_t child, uint32_t start, uint32_t size) {
        std::u16string n = utf16(name);
        for (size_t i = 0; i < 32; ++i) out.u16(i < n.size() ? n[i] : 0);
        out.u16(name.empty() ? 0 : static_cast<uint32_t>((n.size() + 1) * 2));
        out.u8(type);
        out.u8(1);  // black
        out.u32(NoStream);
        out.u32(NoStream);
        out.u32(child);
        for (int i = 0; i < 16 + 4 + 16; ++i) out.u8(0);
        out.u32(start);
        out.u32(size);
        out.u32(0);
    };
    entry("Root Entry", 5, 1, EndOfChain, 0);
    entry(streamName, 2, NoStream, 0, streamSize);
    entry("", 0, NoStream, 0, 0);
    entry("", 0, NoStream, 0, 0);
    for (uint32_t v : fat) out.u32(v);
    // DIFAT sectors: 127 FAT sector numbers each and the next DIFAT sector.
    for (uint32_t d = 0; d < difSectors; ++d) {
        for (uint32_t i = 0; i < 127; ++i) {
            uint32_t k = 109 + d * 127 + i;
            out.u32(k < fatSectors ? fatStart + k : Free);
        }
        out.u32(d + 1 < difSectors ? difStart + d + 1 : EndOfChain);
    }
    if (out.size() != (static_cast<size_t>(totalSectors) + 1) * Sector) refuse("the compound file is inconsistent");
    return std::move(out.data());
}

void saveXls(const host::Workbook&, const WorkbookModel& model, const std::string& path, int) {
    std::vector<uint8_t> file = buildCompoundFile("Workbook", buildXlsWorkbookStream(model));
    // Written beside the target and renamed, so a failed save leaves no half file.
    std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) raise(err::HostRefusal, "Cannot write '" + path + "'.", kSource);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        if (!out) {
            std::remove(temp.c_str());
            raise(err::HostRefusal, "Cannot write '" + path + "'.", kSource);
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        raise(err::HostRefusal, "Cannot write '" + path + "'.", kSource);
    }
}

Saver xlsSaver() { return saveXls; }

}  // namespace dalvera::platform
