#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/sheets/Embedded.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/NumberFormat.h"
#include "runtime/Text.h"

namespace dalvera::platform {

namespace {
// The host's default palette, as RGB hex (red first).
constexpr uint32_t kPaletteHex[56] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000,
    0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF,
    0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000,
    0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696, 0x003366, 0x339966,
    0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};
}  // namespace

WorkbookModel::WorkbookModel() {
    for (int i = 0; i < 56; ++i) {
        uint32_t h = kPaletteHex[i];
        palette_[i] = static_cast<int32_t>(((h >> 16) & 0xFF) | (h & 0xFF00) | ((h & 0xFF) << 16));
    }
    for (const char* p : {"Title", "Subject", "Author", "Keywords", "Comments", "Template", "Last author",
                          "Revision number", "Application name", "Category", "Company", "Manager"})
        properties_[p] = Variant(std::string());
    properties_["Application name"] = Variant("Dalvera");
}

const SheetModel* WorkbookModel::sheetById(uint32_t id) const {
    for (auto& s : sheets_)
        if (s->id() == id) return s.get();
    return nullptr;
}

std::string WorkbookModel::refersToR1C1(const NameDef& n) const {
    if (n.refError) return "=#REF!";
    const SheetModel* s = sheetById(n.sheetId);
    if (!s) return n.formula;
    const Rect& r = n.area;
    std::string out = "=" + s->name() + "!R" + std::to_string(r.r1) + "C" + std::to_string(r.c1);
    if (r.r1 != r.r2 || r.c1 != r.c2) out += ":R" + std::to_string(r.r2) + "C" + std::to_string(r.c2);
    return out;
}

std::string WorkbookModel::refersToA1(const NameDef& n) const {
    if (n.refError) return "=#REF!";
    const SheetModel* s = sheetById(n.sheetId);
    if (!s) return n.formula;
    return "=" + s->name() + "!" + addressA1(n.area);
}

std::string columnLetters(int32_t col) {
    std::string s;
    while (col > 0) {
        int32_t m = (col - 1) % 26;
        s.insert(s.begin(), static_cast<char>('A' + m));
        col = (col - 1) / 26;
    }
    return s;
}

std::string addressA1(const Rect& r, bool rowAbs, bool colAbs) {
    std::string cd = colAbs ? "$" : "", rd = rowAbs ? "$" : "";
    if (r.entireRows()) return rd + std::to_string(r.r1) + ":" + rd + std::to_string(r.r2);
    if (r.entireColumns()) return cd + columnLetters(r.c1) + ":" + cd + columnLetters(r.c2);
    std::string a = cd + columnLetters(r.c1) + rd + std::to_string(r.r1);
    if (r.r1 == r.r2 && r.c1 == r.c2) return a;
    return a + ":" + cd + columnLetters(r.c2) + rd + std::to_string(r.r2);
}

namespace {
// One cell or row/column reference: letters and/or digits with optional $.
bool parseRef(std::string_view s, int32_t& row, int32_t& col) {
    size_t i = 0;
    row = 0, col = 0;
    if (i < s.size() && s[i] == '$') ++i;
    int64_t c = 0;
    size_t letters = 0;
    while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) {
        c = c * 26 + (std::toupper(static_cast<unsigned char>(s[i])) - 'A' + 1);
        ++i, ++letters;
        if (letters > 3) return false;
    }
    if (i < s.size() && s[i] == '$') ++i;
    int64_t r = 0;
    size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        r = r * 10 + (s[i] - '0');
        ++i, ++digits;
        if (digits > 7) return false;
    }
    if (i != s.size() || (!letters && !digits)) return false;
    if (c > kMaxCols || r > kMaxRows || (digits && r == 0)) return false;
    row = static_cast<int32_t>(r);
    col = static_cast<int32_t>(c);
    return true;
}
}  // namespace

bool parseA1(const std::string& text, Rect& out) {
    std::string t = trimBlanks(text);
    auto colon = t.find(':');
    std::string a = t.substr(0, colon), b = colon == std::string::npos ? a : t.substr(colon + 1);
    int32_t r1, c1, r2, c2;
    if (!parseRef(a, r1, c1) || !parseRef(b, r2, c2)) return false;
    if ((r1 == 0) != (r2 == 0) || (c1 == 0) != (c2 == 0)) return false;
    if (r1 == 0) {
        if (colon == std::string::npos) return false;  // nor are bare column letters
        r1 = 1, r2 = kMaxRows;  // "A:C"
    }
    if (c1 == 0) {
        if (colon == std::string::npos) return false;  // a bare row number is not a reference
        c1 = 1, c2 = kMaxCols;
    }
    out = {std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    return true;
}

namespace {
bool parseR1C1Ref(std::string_view s, int32_t& row, int32_t& col) {
    row = col = 0;
    size_t i = 0;
    auto number = [&](int32_t& v, int64_t max) {
        int64_t n = 0;
        size_t d = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) n = n * 10 + (s[i++] - '0'), ++d;
        if (!d || n < 1 || n > max) return false;
        v = static_cast<int32_t>(n);
        return true;
    };
    if (i < s.size() && (s[i] == 'R' || s[i] == 'r')) {
        ++i;
        if (!number(row, kMaxRows)) return false;
    }
    if (i < s.size() && (s[i] == 'C' || s[i] == 'c')) {
        ++i;
        if (!number(col, kMaxCols)) return false;
    }
    return i == s.size() && (row || col);
}
}  // namespace

bool parseR1C1(const std::string& text, Rect& out) {
    std::string t = trimBlanks(text);
    auto colon = t.find(':');
    std::string a = t.substr(0, colon), b = colon == std::string::npos ? a : t.substr(colon + 1);
    int32_t r1, c1, r2, c2;
    if (!parseR1C1Ref(a, r1, c1) || !parseR1C1Ref(b, r2, c2)) return false;
    if ((r1 == 0) != (r2 == 0) || (c1 == 0) != (c2 == 0)) return false;
    if (r1 == 0) r1 = 1, r2 = kMaxRows;
    if (c1 == 0) c1 = 1, c2 = kMaxCols;
    out = {std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    return true;
}

// ---- SheetModel -----------------------------------------------------------

ColumnStore* SheetModel::column(int32_t col) const {
    if (col < 1 || col > static_cast<int32_t>(columns_.size())) return nullptr;
    return columns_[static_cast<size_t>(col - 1)].get();
}

ColumnStore& SheetModel::columnForWrite(int32_t col) {
    if (col > static_cast<int32_t>(columns_.size())) columns_.resize(static_cast<size_t>(col));
    auto& p = columns_[static_cast<size_t>(col - 1)];
    if (!p) {
        p = std::make_unique<ColumnStore>();
        p->styles = defaultStyles_;
    }
    return *p;
}

CellValue SheetModel::cell(int32_t row, int32_t col) const {
    const ColumnStore* c = column(col);
    return c ? c->get(row) : CellValue{};
}

Variant SheetModel::value(int32_t row, int32_t col) const { return toVariant(cell(row, col)); }

Variant SheetModel::toVariant(const CellValue& v) const {
    switch (v.kind) {
    case CellKind::Empty: return {};
    case CellKind::Number: return Variant(v.number());
    case CellKind::Text: return Variant(std::string(strings_.get(v.textId())));
    case CellKind::Boolean: return Variant(v.boolean());
    case CellKind::Date: return Variant::date(v.number());
    case CellKind::Currency: return Variant::currencyScaled(v.currencyScaled());
    }
    return {};
}

uint32_t SheetModel::styleAt(int32_t row, int32_t col) const { return columnStyles(col).at(row); }

const StyleRuns& SheetModel::columnStyles(int32_t col) const {
    const ColumnStore* c = column(col);
    return c ? c->styles : defaultStyles_;
}

std::optional<Rect> SheetModel::usedRect() const {
    bool any = false;
    Rect u{kMaxRows, kMaxCols, 1, 1};
    auto add = [&](int32_t r1, int32_t c1, int32_t r2, int32_t c2) {
        any = true;
        u.r1 = std::min(u.r1, r1), u.c1 = std::min(u.c1, c1);
        u.r2 = std::max(u.r2, r2), u.c2 = std::max(u.c2, c2);
    };
    for (int32_t c = 1; c <= columnCount(); ++c) {
        const ColumnStore* col = column(c);
        if (!col) continue;
        if (int32_t first = col->firstRow()) add(first, c, col->lastRow(), c);
        // Cells formatted apart from their whole column count as used.
        uint32_t base = col->styles.base();
        const auto& runs = col->styles.runs();
        for (auto it = runs.begin(); it != runs.end(); ++it) {
            if (it->second == base) continue;
            auto next = std::next(it);
            add(it->first, c, next == runs.end() ? kMaxRows : next->first - 1, c);
        }
    }
    for (auto& [pos, _] : comments_) add(pos.first, pos.second, pos.first, pos.second);
    if (!any) return std::nullopt;
    return u;
}

double SheetModel::columnWidth(int32_t col) const {
    auto it = widths_.find(col);
    return it == widths_.end() ? kDefaultColumnWidth : it->second;
}

const ValidationRule* SheetModel::validationAt(int32_t row, int32_t col) const {
    for (auto& v : validations_)
        for (auto& a : v.areas)
            if (a.contains(row, col)) return &v;
    return nullptr;
}

// ---- Entry parsing --------------------------------------------------------

EntryLocale entryLocale(int countryCode) {
    EntryLocale l;
    switch (countryCode) {
    case 1: break;
    case 31:
    case 32:
        l.decimal = ',', l.thousands = '.', l.dayFirst = true;
        l.trueWord = "WAAR", l.falseWord = "ONWAAR", l.dutch = true;
        break;
    case 33:
    case 39:
    case 34:
    case 49:
        l.decimal = ',', l.thousands = '.', l.dayFirst = true;
        break;
    default: l.dayFirst = true; break;  // 44 and most others write the day first
    }
    return l;
}

int countryCodeFromEnvironment() {
    for (const char* var : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* v = std::getenv(var);
        if (!v || !*v) continue;
        std::string s = lowerAscii(v);
        if (s.rfind("nl", 0) == 0) return 31;
        if (s.rfind("en_gb", 0) == 0) return 44;
        if (s.rfind("de", 0) == 0) return 49;
        if (s.rfind("fr", 0) == 0) return 33;
        return 1;
    }
    return 1;
}

namespace {
// A number as a person types it in the locale: grouping, decimal sign,
// exponent, a trailing percent sign.
bool parseLocaleNumber(std::string_view s, const EntryLocale& l, double& out, bool& percent) {
    percent = false;
    if (!s.empty() && s.back() == '%') {
        percent = true;
        s.remove_suffix(1);
    }
    std::string plain;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) plain += s[i++];
    bool digits = false, decimal = false, exponent = false;
    size_t lastGroup = std::string::npos;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            plain += c, digits = true;
        } else if (c == l.decimal && !decimal && !exponent) {
            if (lastGroup != std::string::npos && i - lastGroup != 4) return false;
            plain += '.', decimal = true, lastGroup = std::string::npos;
        } else if (c == l.thousands && !decimal && !exponent && digits) {
            if (lastGroup != std::string::npos && i - lastGroup != 4) return false;
            lastGroup = i;
        } else if ((c == 'e' || c == 'E') && digits && !exponent) {
            plain += 'e', exponent = true;
            if (i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) plain += s[++i];
        } else {
            return false;
        }
    }
    if (lastGroup != std::string::npos && s.size() - lastGroup != 4) return false;
    if (!digits) return false;
    char* end = nullptr;
    out = std::strtod(plain.c_str(), &end);
    if (!end || *end) return false;
    if (percent) out /= 100;
    return std::isfinite(out);
}
}  // namespace

Variant parseEntry(const std::string& text, const EntryLocale& l, std::string* impliedFormat) {
    if (impliedFormat) impliedFormat->clear();
    if (!text.empty() && text[0] == '\'') return Variant(text.substr(1));  // forced text
    std::string t = trimBlanks(text);
    if (t.empty()) return text.empty() ? Variant() : Variant(text);
    if (equalsNoCase(t, l.trueWord)) return Variant(true);
    if (equalsNoCase(t, l.falseWord)) return Variant(false);
    double d;
    bool percent;
    if (parseLocaleNumber(t, l, d, percent)) {
        if (percent && impliedFormat) *impliedFormat = "0%";
        return Variant(d);
    }
    double serial;
    bool hasColon = t.find(':') != std::string::npos;
    bool hasDateSep = t.find('/') != std::string::npos || t.find('-', 1) != std::string::npos ||
                      (l.decimal != '.' && t.find('.') != std::string::npos);
    if ((hasDateSep || hasColon) && parseDateEntry(t, l.dayFirst, serial)) {
        if (impliedFormat) {
            bool dateOnly = serial == std::floor(serial), timeOnly = serial < 1 && hasColon && !hasDateSep;
            std::string date = l.dayFirst ? (l.dutch ? "d-m-yyyy" : "d/m/yyyy") : "m/d/yyyy";
            *impliedFormat = timeOnly ? "h:mm" : dateOnly ? date : date + " h:mm";
        }
        return Variant::date(serial);
    }
    return Variant(text);
}

Variant parseCellEntry(const std::string& text, const EntryLocale& locale, std::string_view numberFormat,
                       std::string* impliedFormat) {
    if (impliedFormat) impliedFormat->clear();
    // A text cell keeps what was typed, to the character: leading zeros, a plus
    // sign, blanks and a leading apostrophe ('s-Hertogenbosch) are data.
    if (isTextFormat(numberFormat)) return text.empty() ? Variant() : Variant(text);
    EntryLocale l = locale;
    switch (dateOrder(numberFormat)) {
    case DateOrder::DayFirst: l.dayFirst = true; break;
    case DateOrder::MonthFirst: l.dayFirst = false; break;
    case DateOrder::Neither: break;
    }
    return parseEntry(text, l, impliedFormat);
}

std::string entryText(const Variant& value, std::string_view numberFormat, const EntryLocale& locale) {
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Error: return {};
    case VarType::Boolean: return value.toBool() ? locale.trueWord : locale.falseWord;
    case VarType::String: {
        const std::string& t = value.stringRef();
        if (isTextFormat(numberFormat)) return t;
        // A text that would read as something else keeps its apostrophe, so
        // confirming the edit unchanged leaves it text.
        if (!t.empty() && (t[0] == '\'' || !parseCellEntry(t, locale, numberFormat).isString())) return "'" + t;
        return t;
    }
    case VarType::Date: {
        // In the order the cell reads it back; the time with its seconds and
        // any milliseconds, so nothing is lost by confirming the edit.
        const double serial = value.toDateSerial();
        double whole = std::trunc(serial);
        long long ms = std::llround(std::fabs(serial - whole) * 86400000.0);
        if (ms >= 86400000) ms -= 86400000, whole += 1;
        char time[32];
        std::snprintf(time, sizeof time, "%lld:%02lld:%02lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
        std::string clock = time;
        if (ms % 1000) {
            std::snprintf(time, sizeof time, ".%03lld", ms % 1000);
            clock += time;
        }
        if (whole == 0 && serial >= 0) return clock;  // a time of day alone
        DateOrder order = dateOrder(numberFormat);
        bool dayFirst = order == DateOrder::Neither ? locale.dayFirst : order == DateOrder::DayFirst;
        DateParts p = dateParts(whole);
        char sep = locale.dutch ? '-' : '/';
        char date[40];
        std::snprintf(date, sizeof date, "%d%c%d%c%04d", dayFirst ? p.day : p.month, sep, dayFirst ? p.month : p.day, sep,
                      p.year);
        return ms ? std::string(date) + " " + clock : std::string(date);
    }
    case VarType::ByteArray: return value.toString();
    default: {
        // All the digits that read back as the same number, in the locale's notation.
        const double d = value.toDouble();
        std::string s = formatDouble(d);
        double back;
        if (!parseNumber(s, back) || back != d) {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.17G", d);
            s = buf;
        }
        for (char& c : s)
            if (c == '.') c = locale.decimal;
        return s;
    }
    }
}

bool parseRuleNumber(std::string_view text, double& out) {
    std::string s = trimBlanks(text);
    if (s.empty()) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E')) return false;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || std::isnan(v)) return false;
    // The largest Double written in 15 digits (1.79769313486232E+308) lies just
    // past it; such a bound is the end of the range, not an unreadable one.
    if (std::isinf(v)) v = std::copysign(std::numeric_limits<double>::max(), v);
    out = v;
    return true;
}

}  // namespace dalvera::platform
