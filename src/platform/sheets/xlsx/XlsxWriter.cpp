#include "platform/sheets/xlsx/XlsxWriter.h"

#include <xlsxwriter.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <filesystem>
#include <map>
#include <set>

#include "platform/sheets/xlsx/XlsxPackage.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::platform::xlsx {

namespace {

namespace fs = std::filesystem;
constexpr const char* kSource = "xlsx";

[[noreturn]] void refuse(const std::string& description) { raise(err::HostRefusal, description, kSource); }

void check(lxw_error e, const std::string& what) {
    if (e != LXW_NO_ERROR) refuse(what + ": " + lxw_strerror(e));
}

// Libxlsxwriter takes char* for texts it only reads.
char* mutableText(const std::string& s) { return s.empty() ? nullptr : const_cast<char*>(s.c_str()); }

std::string rangeName(const CellRange& r) {
    const std::string first = cellName(r.firstRow, r.firstCol);
    if (r.firstRow == r.lastRow && r.firstCol == r.lastCol) return first;
    return first + ":" + cellName(r.lastRow, r.lastCol);
}

// ---------------------------------------------------------------- checks

void checkCell(long row, long col, const std::string& what) {
    if (row < 1 || row > kMaxRows || col < 1 || col > kMaxCols)
        refuse(what + " lies outside the sheet (row " + std::to_string(row) + ", column " + std::to_string(col) +
               "; a sheet has at most " + std::to_string(kMaxRows) + " rows and " + std::to_string(kMaxCols) +
               " columns).");
}

void checkRange(const CellRange& r, const std::string& what) {
    checkCell(r.firstRow, r.firstCol, what);
    checkCell(r.lastRow, r.lastCol, what);
    if (r.lastRow < r.firstRow || r.lastCol < r.firstCol) refuse(what + " has its last cell before its first.");
}

void checkStyle(int style, size_t count, const std::string& what) {
    if (style >= 0 && static_cast<size_t>(style) >= count)
        refuse(what + " refers to style " + std::to_string(style) + ", but there are only " + std::to_string(count) +
               " styles.");
}

void checkSheetName(const std::string& name, std::set<std::string>& seen) {
    if (name.empty()) refuse("A sheet name cannot be empty.");
    if (utf8Length(name) > 31) refuse("The sheet name '" + name + "' is longer than 31 characters.");
    if (name.find_first_of("[]:*?/\\") != std::string::npos)
        refuse("The sheet name '" + name + "' contains one of the characters [ ] : * ? / \\.");
    if (name.front() == '\'' || name.back() == '\'')
        refuse("The sheet name '" + name + "' begins or ends with an apostrophe.");
    if (!seen.insert(lowerAscii(name)).second) refuse("The sheet name '" + name + "' is used twice.");
}

// Workbook names as the host accepts them: a letter, '_' or '\' first, then
// letters, digits, '_', '.', '\' or '?'; not "R" or "C", and nothing that
// reads as a cell reference (A1, xfd10, R1C1, R2C). The library checks less.
bool validDefinedName(const std::string& name) {
    if (name.empty() || utf8Length(name) > 255) return false;
    const auto letter = [](unsigned char c) { return std::isalpha(c) || c >= 0x80; };
    if (!letter(static_cast<unsigned char>(name[0])) && name[0] != '_' && name[0] != '\\') return false;
    for (unsigned char c : name)
        if (!letter(c) && !std::isdigit(c) && c != '_' && c != '.' && c != '\\' && c != '?') return false;
    const std::string upper = upperAscii(name);
    if (upper == "R" || upper == "C") return false;
    size_t i = 0;
    while (i < upper.size() && upper[i] >= 'A' && upper[i] <= 'Z') ++i;
    const size_t letters = i;
    while (i < upper.size() && std::isdigit(static_cast<unsigned char>(upper[i]))) ++i;
    if (i == upper.size() && letters >= 1 && letters <= 3 && i > letters) {
        long col = 0;
        for (size_t k = 0; k < letters; ++k) col = col * 26 + (upper[k] - 'A' + 1);
        const std::string digits = upper.substr(letters);
        if (col <= kMaxCols && digits.size() <= 7 && std::stol(digits) <= kMaxRows) return false;
    }
    // R1C1 forms: R, digits, C, digits, either number optional.
    if (upper[0] == 'R') {
        size_t k = 1;
        while (k < upper.size() && std::isdigit(static_cast<unsigned char>(upper[k]))) ++k;
        if (k < upper.size() && upper[k] == 'C') {
            ++k;
            while (k < upper.size() && std::isdigit(static_cast<unsigned char>(upper[k]))) ++k;
            if (k == upper.size()) return false;
        }
    }
    return true;
}

void checkDescription(const WorkbookDescription& wb) {
    if (wb.sheets.empty()) refuse("A workbook must have at least one sheet.");
    for (const auto& s : wb.styles) {
        const long a = s.horizontalAlignment;
        if (a != kAlignGeneral && a != kAlignLeft && a != kAlignCenter && a != kAlignRight && a != kAlignJustify)
            refuse("Unknown horizontal alignment " + std::to_string(a) + " in a cell style.");
        if (!(s.fontSize > 0 && s.fontSize <= 409)) refuse("A cell style has a font size outside 1 to 409.");
    }
    std::set<std::string> names;
    bool anyVisible = false;
    for (const auto& sheet : wb.sheets) {
        checkSheetName(sheet.name, names);
        const std::string on = "On sheet '" + sheet.name + "', ";
        if (sheet.visibility != SheetVisibility::Visible && sheet.visibility != SheetVisibility::Hidden &&
            sheet.visibility != SheetVisibility::VeryHidden)
            refuse("The sheet '" + sheet.name + "' has an unknown visibility " +
                   std::to_string(static_cast<int>(sheet.visibility)) + ".");
        if (sheet.visibility == SheetVisibility::Visible) anyVisible = true;
        for (const auto& c : sheet.columns) {
            checkRange({1, c.firstCol, 1, c.lastCol}, on + "a column entry");
            checkStyle(c.style, wb.styles.size(), on + "a column entry");
            if (c.width && !(*c.width >= 0 && *c.width <= 255))
                refuse(on + "a column width is outside 0 to 255 characters.");
        }
        for (const auto& r : sheet.rows) {
            checkCell(r.row, 1, on + "a row entry");
            if (r.height && !(*r.height >= 0 && *r.height <= 409))
                refuse(on + "a row height is outside 0 to 409 points.");
        }
        for (const auto& v : sheet.validations) {
            if (v.ranges.empty()) refuse(on + "a data validation has no cells.");
            for (const auto& r : v.ranges) checkRange(r, on + "a data validation");
            const std::string where = on + "the data validation on " + rangeName(v.ranges.front());
            if (v.type != ValidationType::Any && v.formula1.empty()) refuse(where + " has no Formula1.");
            // The library would drop the rule silently; the host refuses such texts.
            if (utf8Length(v.inputTitle) > 32 || utf8Length(v.errorTitle) > 32)
                refuse(where + " has a title longer than 32 characters.");
            if (utf8Length(v.inputMessage) > 255 || utf8Length(v.errorMessage) > 255)
                refuse(where + " has a message longer than 255 characters.");
            if (v.type == ValidationType::List && utf8Length(v.formula1) > 255)
                refuse(where + " has a list longer than 255 characters.");
        }
        for (const auto& c : sheet.comments) checkCell(c.row, c.col, on + "a comment");
        const auto& w = sheet.window;
        if (w.freezeRows < 0 || w.freezeRows >= kMaxRows || w.freezeCols < 0 || w.freezeCols >= kMaxCols)
            refuse(on + "the frozen pane lies outside the sheet.");
        checkCell(w.scrollRow, w.scrollColumn, on + "the scroll position");
        if (w.selection) checkRange(*w.selection, on + "the selection");
        if (sheet.autoFilter.on) {
            checkRange(sheet.autoFilter.range, on + "the AutoFilter range");
            const long width = sheet.autoFilter.range.lastCol - sheet.autoFilter.range.firstCol + 1;
            for (const auto& f : sheet.autoFilter.filters)
                if (f.field < 1 || f.field > width)
                    refuse(on + "AutoFilter field " + std::to_string(f.field) + " lies outside the filter range.");
        } else if (!sheet.autoFilter.filters.empty()) {
            refuse(on + "there are AutoFilter criteria without an AutoFilter.");
        }
    }
    if (!anyVisible) refuse("A workbook must keep at least one visible sheet.");
    if (wb.activeSheet < 1 || static_cast<size_t>(wb.activeSheet) > wb.sheets.size())
        refuse("The active sheet " + std::to_string(wb.activeSheet) + " does not exist.");
    if (wb.sheets[wb.activeSheet - 1].visibility != SheetVisibility::Visible)
        refuse("The active sheet '" + wb.sheets[wb.activeSheet - 1].name + "' is hidden.");
    for (const auto& n : wb.names) {
        if (n.name.empty() || n.refersTo.empty()) refuse("A workbook name needs a name and a reference.");
        if (!validDefinedName(n.name)) refuse("'" + n.name + "' is not a valid name for a workbook name.");
        if (!n.scopeSheet.empty() &&
            std::none_of(wb.sheets.begin(), wb.sheets.end(), [&](const auto& s) { return s.name == n.scopeSheet; }))
            refuse("The name '" + n.name + "' belongs to a sheet '" + n.scopeSheet + "' that does not exist.");
    }
}

// ---------------------------------------------------------------- styles

lxw_color_t color(std::uint32_t rgb) {
    rgb &= 0xFFFFFFu;
    // The library takes 0 as "no colour".
    return rgb == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : rgb;
}

// One library format per style, made once; dates without a number format of
// their own get a date-showing twin of their style, made on first use.
class Formats {
public:
    Formats(lxw_workbook* wb, const std::vector<CellStyle>& styles) : wb_(wb), styles_(styles) {
        formats_.reserve(styles.size());
        for (const auto& s : styles) formats_.push_back(make(s, nullptr));
        dateTwins_.resize(styles.size() + 1);
    }

    lxw_format* get(int style) const { return style < 0 ? nullptr : formats_[static_cast<size_t>(style)]; }

    lxw_format* forDate(int style, double serial) {
        if (style >= 0) {
            const std::string& code = styles_[static_cast<size_t>(style)].numberFormat;
            if (!code.empty() && code != "General") return get(style);
        }
        const int kind = serial < 1 ? 0 : (serial == std::floor(serial) ? 1 : 2);
        static constexpr const char* kCodes[] = {"h:mm:ss", "m/d/yyyy", "m/d/yyyy h:mm"};
        lxw_format*& twin = dateTwins_[static_cast<size_t>(style + 1)][static_cast<size_t>(kind)];
        if (!twin) {
            static const CellStyle plain;
            twin = make(style < 0 ? plain : styles_[static_cast<size_t>(style)], kCodes[kind]);
        }
        return twin;
    }

private:
    // Styles that look the same in the file share one library format: the library
    // keeps its lookup result only on the first of a set of equal formats, so a
    // duplicate would be looked up again for every cell written with it.
    static std::string key(const CellStyle& s, const char* dateCode) {
        std::string k = dateCode ? std::string("d:") + dateCode : "n:" + s.numberFormat;
        k += '|' + std::to_string(s.fill ? static_cast<long long>(*s.fill) : -1);
        k += '|' + std::to_string(s.fontColor ? static_cast<long long>(*s.fontColor) : -1);
        k += '|' + std::to_string(s.fontSize) + '|' + std::to_string(s.horizontalAlignment);
        k += s.bold ? 'B' : '-';
        k += s.borderLeft ? 'L' : '-';
        k += s.borderRight ? 'R' : '-';
        k += s.borderTop ? 'T' : '-';
        k += s.borderBottom ? 'O' : '-';
        k += s.locked ? 'K' : '-';
        return k;
    }

    lxw_format* make(const CellStyle& s, const char* dateCode) {
        lxw_format*& shared = byKey_[key(s, dateCode)];
        if (!shared) shared = build(s, dateCode);
        return shared;
    }

    lxw_format* build(const CellStyle& s, const char* dateCode) {
        lxw_format* f = workbook_add_format(wb_);
        if (!f) refuse("Out of memory while building the cell styles.");
        if (dateCode) format_set_num_format(f, dateCode);
        else if (!s.numberFormat.empty() && s.numberFormat != "General") format_set_num_format(f, s.numberFormat.c_str());
        if (s.fill) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, color(*s.fill));
        }
        if (s.fontColor) format_set_font_color(f, color(*s.fontColor));
        if (s.bold) format_set_bold(f);
        if (s.fontSize != 11) format_set_font_size(f, s.fontSize);
        switch (s.horizontalAlignment) {
        case kAlignLeft: format_set_align(f, LXW_ALIGN_LEFT); break;
        case kAlignCenter: format_set_align(f, LXW_ALIGN_CENTER); break;
        case kAlignRight: format_set_align(f, LXW_ALIGN_RIGHT); break;
        case kAlignJustify: format_set_align(f, LXW_ALIGN_JUSTIFY); break;
        default: break;
        }
        if (s.borderLeft) format_set_left(f, LXW_BORDER_THIN);
        if (s.borderRight) format_set_right(f, LXW_BORDER_THIN);
        if (s.borderTop) format_set_top(f, LXW_BORDER_THIN);
        if (s.borderBottom) format_set_bottom(f, LXW_BORDER_THIN);
        if (!s.locked) format_set_unlocked(f);
        return f;
    }

    lxw_workbook* wb_;
    const std::vector<CellStyle>& styles_;
    std::vector<lxw_format*> formats_;
    std::vector<std::array<lxw_format*, 3>> dateTwins_;  // [style + 1][time, date, date and time]
    std::unordered_map<std::string, lxw_format*> byKey_;
};

// ---------------------------------------------------------------- cells

// Length in bytes of the UTF-8 sequence at s[i]; 0 when it is broken.
size_t sequenceLength(const std::string& s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return len;
}

// "_x0041_" in a text is the format's escape for a character; a literal one
// must itself be escaped or it would read back as "A".
bool looksLikeEscape(const std::string& s, size_t i) {
    if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return false;
    for (size_t k = 2; k < 6; ++k)
        if (!std::isxdigit(static_cast<unsigned char>(s[i + k]))) return false;
    return true;
}

// Texts must reach the file as valid UTF-8 of at most maxChars characters.
// True when s can go as it is; otherwise out gets the repaired text. The
// common case costs one scan and no allocation.
bool repairText(const std::string& s, std::string& out, size_t maxChars, bool dropControls) {
    bool clean = true;
    size_t chars = 0;
    for (size_t i = 0; i < s.size() && clean; ++chars) {
        const size_t len = sequenceLength(s, i);
        const auto c = static_cast<unsigned char>(s[i]);
        if (len == 0 || (c == '_' && looksLikeEscape(s, i)) ||
            (dropControls && c < 0x20 && c != '\t' && c != '\n' && c != '\r'))
            clean = false;
        i += len;
    }
    if (clean && chars <= maxChars) return true;
    out.clear();
    chars = 0;
    for (size_t i = 0; i < s.size() && chars < maxChars;) {
        const size_t len = sequenceLength(s, i);
        const auto c = static_cast<unsigned char>(s[i]);
        if (len == 0) {
            out += "\xEF\xBF\xBD";  // replacement character for a broken byte
            ++i;
        } else if (dropControls && c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            ++i;
            continue;
        } else {
            if (c == '_' && looksLikeEscape(s, i)) out += "_x005F";
            out.append(s, i, len);
            i += len;
        }
        ++chars;
    }
    return false;
}

// A text for comments, messages and properties, which the library writes
// without escaping control characters.
std::string plainText(const std::string& s, size_t maxChars = std::string::npos) {
    std::string out;
    return repairText(s, out, maxChars, true) ? s : out;
}

// Streams one sheet's cells into the library, which in constant-memory mode
// flushes each row as soon as the next one starts; row settings and comments
// are slotted in between so they too arrive in row order.
class SheetCells final : public CellSink {
public:
    SheetCells(lxw_worksheet* ws, const SheetDescription& sheet, Formats& formats, size_t styleCount)
        : ws_(ws), sheet_(sheet), formats_(formats), styleCount_(styleCount), rows_(sheet.rows) {
        std::stable_sort(rows_.begin(), rows_.end(), [](const RowEntry& a, const RowEntry& b) { return a.row < b.row; });
        for (size_t i = 1; i < rows_.size(); ++i)
            if (rows_[i].row == rows_[i - 1].row)
                refuse("On sheet '" + sheet.name + "', row " + std::to_string(rows_[i].row) + " has two row entries.");
        for (const auto& c : sheet.comments) comments_.push_back(&c);
        std::stable_sort(comments_.begin(), comments_.end(),
                         [](const CellComment* a, const CellComment* b) { return a->row < b->row; });
    }

    void cell(long row, long col, const Variant& value, int style) override {
        if (row < 1 || row > kMaxRows || col < 1 || col > kMaxCols)
            refuse("On sheet '" + sheet_.name + "', a cell lies outside the sheet (row " + std::to_string(row) +
                   ", column " + std::to_string(col) + "; a sheet has at most " + std::to_string(kMaxRows) +
                   " rows and " + std::to_string(kMaxCols) + " columns).");
        if (row < lastRow_ || (row == lastRow_ && col <= lastCol_))
            refuse("On sheet '" + sheet_.name + "', cell " + cellName(row, col) + " came after cell " +
                   cellName(lastRow_, lastCol_) + "; cells must come row by row, left to right.");
        if (style >= 0 && static_cast<size_t>(style) >= styleCount_)
            checkStyle(style, styleCount_, "On sheet '" + sheet_.name + "', cell " + cellName(row, col));
        if (row != lastRow_) rowsUpTo(row);
        lastRow_ = row;
        lastCol_ = col;

        const auto r = static_cast<lxw_row_t>(row - 1);
        const auto c = static_cast<lxw_col_t>(col - 1);
        lxw_error e = LXW_NO_ERROR;
        switch (value.type()) {
        case VarType::String: {
            const std::string& s = value.stringRef();
            e = worksheet_write_string(ws_, r, c, repairText(s, scratch_, kMaxCellText, false) ? s.c_str() : scratch_.c_str(),
                                       formats_.get(style));
            break;
        }
        case VarType::Boolean:
            e = worksheet_write_boolean(ws_, r, c, value.toBool() ? 1 : 0, formats_.get(style));
            break;
        case VarType::Date: {
            const double serial = value.toDateSerial();
            e = worksheet_write_number(ws_, r, c, serial, formats_.forDate(style, serial));
            break;
        }
        case VarType::Integer:
        case VarType::Long:
        case VarType::LongLong:
        case VarType::Byte:
        case VarType::Single:
        case VarType::Double:
        case VarType::Currency: {
            const double d = value.toDouble();
            // The format has no place for NaN or infinities.
            e = std::isfinite(d) ? worksheet_write_number(ws_, r, c, d, formats_.get(style))
                                 : worksheet_write_blank(ws_, r, c, formats_.get(style));
            break;
        }
        default:  // Empty, Null, Missing and byte arrays: a blank that keeps its style
            if (style >= 0) e = worksheet_write_blank(ws_, r, c, formats_.get(style));
            break;
        }
        if (e != LXW_NO_ERROR) check(e, "On sheet '" + sheet_.name + "', cell " + cellName(row, col) + " cannot be written");
    }

    void finish() { rowsUpTo(kMaxRows + 1); }

private:
    void rowsUpTo(long row) {
        for (; next_ < rows_.size() && rows_[next_].row <= row; ++next_) {
            const RowEntry& entry = rows_[next_];
            lxw_row_col_options options{};
            options.hidden = entry.hidden ? 1 : 0;
            check(worksheet_set_row_opt(ws_, static_cast<lxw_row_t>(entry.row - 1),
                                        entry.height ? *entry.height : LXW_DEF_ROW_HEIGHT, nullptr, &options),
                  "On sheet '" + sheet_.name + "', row " + std::to_string(entry.row) + " cannot be set");
        }
        // Comments too are refused once their row has been flushed.
        for (; nextComment_ < comments_.size() && comments_[nextComment_]->row <= row; ++nextComment_) {
            const CellComment& c = *comments_[nextComment_];
            lxw_comment_options options{};
            options.visible = c.visible ? LXW_COMMENT_DISPLAY_VISIBLE : LXW_COMMENT_DISPLAY_HIDDEN;
            const std::string author = plainText(c.author);
            const std::string text = plainText(c.text, kMaxCellText);
            options.author = mutableText(author);
            check(worksheet_write_comment_opt(ws_, static_cast<lxw_row_t>(c.row - 1), static_cast<lxw_col_t>(c.col - 1),
                                              text.c_str(), &options),
                  "On sheet '" + sheet_.name + "', the comment on " + cellName(c.row, c.col) + " cannot be written");
        }
    }

    lxw_worksheet* ws_;
    const SheetDescription& sheet_;
    Formats& formats_;
    size_t styleCount_;
    std::vector<RowEntry> rows_;
    size_t next_ = 0;
    std::vector<const CellComment*> comments_;
    size_t nextComment_ = 0;
    long lastRow_ = 0;
    long lastCol_ = 0;
    std::string scratch_;
};

// ---------------------------------------------------------------- sheet parts

void writeValidation(lxw_worksheet* ws, const SheetDescription& sheet, const DataValidation& v) {
    lxw_data_validation dv{};
    std::vector<std::string> items;
    std::vector<char*> itemPointers;
    const bool range = v.op == ValidationOperator::Between || v.op == ValidationOperator::NotBetween;
    bool usesOperator = true;
    switch (v.type) {
    case ValidationType::Any: dv.validate = LXW_VALIDATION_TYPE_ANY; usesOperator = false; break;
    case ValidationType::WholeNumber: dv.validate = LXW_VALIDATION_TYPE_INTEGER_FORMULA; break;
    case ValidationType::Decimal: dv.validate = LXW_VALIDATION_TYPE_DECIMAL_FORMULA; break;
    case ValidationType::Date: dv.validate = LXW_VALIDATION_TYPE_DATE_FORMULA; break;
    case ValidationType::Time: dv.validate = LXW_VALIDATION_TYPE_TIME_FORMULA; break;
    case ValidationType::TextLength: dv.validate = LXW_VALIDATION_TYPE_LENGTH_FORMULA; break;
    case ValidationType::Custom:
        dv.validate = LXW_VALIDATION_TYPE_CUSTOM_FORMULA;
        dv.value_formula = mutableText(v.formula1);
        usesOperator = false;
        break;
    case ValidationType::List:
        usesOperator = false;
        if (v.formula1.front() == '=') {
            dv.validate = LXW_VALIDATION_TYPE_LIST_FORMULA;
            dv.value_formula = mutableText(v.formula1);
        } else {
            dv.validate = LXW_VALIDATION_TYPE_LIST;
            items = split(v.formula1, ',');
            for (auto& item : items) itemPointers.push_back(item.data());
            itemPointers.push_back(nullptr);
            dv.value_list = itemPointers.data();
        }
        break;
    default:
        refuse("On sheet '" + sheet.name + "', a data validation has unknown type " +
               std::to_string(static_cast<int>(v.type)) + ".");
    }
    if (usesOperator) {
        const int op = static_cast<int>(v.op);
        if (op < 1 || op > 8)
            refuse("On sheet '" + sheet.name + "', a data validation has unknown operator " + std::to_string(op) + ".");
        // The host and the library number the operators alike.
        dv.criteria = static_cast<uint8_t>(op);
        if (range) {
            if (v.formula2.empty())
                refuse("On sheet '" + sheet.name + "', the data validation on " + rangeName(v.ranges.front()) +
                       " compares between two values but has no Formula2.");
            dv.minimum_formula = mutableText(v.formula1);
            dv.maximum_formula = mutableText(v.formula2);
        } else {
            dv.value_formula = mutableText(v.formula1);
        }
    }
    switch (v.alertStyle) {
    case AlertStyle::Stop: dv.error_type = LXW_VALIDATION_ERROR_TYPE_STOP; break;
    case AlertStyle::Warning: dv.error_type = LXW_VALIDATION_ERROR_TYPE_WARNING; break;
    case AlertStyle::Information: dv.error_type = LXW_VALIDATION_ERROR_TYPE_INFORMATION; break;
    default: refuse("On sheet '" + sheet.name + "', a data validation has an unknown alert style.");
    }
    dv.ignore_blank = v.ignoreBlank ? LXW_VALIDATION_ON : LXW_VALIDATION_OFF;
    dv.dropdown = v.inCellDropdown ? LXW_VALIDATION_ON : LXW_VALIDATION_OFF;
    dv.show_input = v.showInput ? LXW_VALIDATION_ON : LXW_VALIDATION_OFF;
    dv.show_error = v.showError ? LXW_VALIDATION_ON : LXW_VALIDATION_OFF;
    const std::string inputTitle = plainText(v.inputTitle), inputMessage = plainText(v.inputMessage);
    const std::string errorTitle = plainText(v.errorTitle), errorMessage = plainText(v.errorMessage);
    dv.input_title = mutableText(inputTitle);
    dv.input_message = mutableText(inputMessage);
    dv.error_title = mutableText(errorTitle);
    dv.error_message = mutableText(errorMessage);
    for (const auto& r : v.ranges)
        check(worksheet_data_validation_range(ws, static_cast<lxw_row_t>(r.firstRow - 1),
                                              static_cast<lxw_col_t>(r.firstCol - 1),
                                              static_cast<lxw_row_t>(r.lastRow - 1),
                                              static_cast<lxw_col_t>(r.lastCol - 1), &dv),
              "On sheet '" + sheet.name + "', the data validation on " + rangeName(r) + " cannot be written");
}

// "=x", ">5", "<>", "x*" as the library's rule.
lxw_filter_rule filterRule(const std::string& criteria, std::string& valueText) {
    static constexpr std::pair<const char*, uint8_t> kOperators[] = {
        {"<>", LXW_FILTER_CRITERIA_NOT_EQUAL_TO}, {">=", LXW_FILTER_CRITERIA_GREATER_THAN_OR_EQUAL_TO},
        {"<=", LXW_FILTER_CRITERIA_LESS_THAN_OR_EQUAL_TO}, {"=", LXW_FILTER_CRITERIA_EQUAL_TO},
        {">", LXW_FILTER_CRITERIA_GREATER_THAN}, {"<", LXW_FILTER_CRITERIA_LESS_THAN}};
    lxw_filter_rule rule{};
    rule.criteria = LXW_FILTER_CRITERIA_EQUAL_TO;
    std::string_view rest = criteria;
    for (const auto& [text, code] : kOperators) {
        if (rest.starts_with(text)) {
            rule.criteria = code;
            rest.remove_prefix(std::strlen(text));
            break;
        }
    }
    if (rest.empty() && rule.criteria == LXW_FILTER_CRITERIA_EQUAL_TO) {
        rule.criteria = LXW_FILTER_CRITERIA_BLANKS;
        return rule;
    }
    if (rest.empty() && rule.criteria == LXW_FILTER_CRITERIA_NOT_EQUAL_TO) {
        rule.criteria = LXW_FILTER_CRITERIA_NON_BLANKS;
        return rule;
    }
    double number = 0;
    if (parseNumber(rest, number)) {
        rule.value = number;
    } else {
        valueText.assign(rest);
        rule.value_string = valueText.data();
    }
    return rule;
}

void writeAutoFilter(lxw_worksheet* ws, const SheetDescription& sheet) {
    const auto& af = sheet.autoFilter;
    const std::string what = "On sheet '" + sheet.name + "', the AutoFilter on " + rangeName(af.range);
    check(worksheet_autofilter(ws, static_cast<lxw_row_t>(af.range.firstRow - 1),
                               static_cast<lxw_col_t>(af.range.firstCol - 1), static_cast<lxw_row_t>(af.range.lastRow - 1),
                               static_cast<lxw_col_t>(af.range.lastCol - 1)),
          what + " cannot be written");
    for (const auto& f : af.filters) {
        if (f.criteria1.empty()) continue;
        const auto col = static_cast<lxw_col_t>(af.range.firstCol + f.field - 2);
        std::string text1, text2;
        lxw_filter_rule rule1 = filterRule(f.criteria1, text1);
        if (f.criteria2.empty()) {
            check(worksheet_filter_column(ws, col, &rule1), what + " cannot take the criteria of field " + std::to_string(f.field));
        } else {
            if (f.op != FilterOperator::And && f.op != FilterOperator::Or)
                refuse(what + " has an unknown operator for field " + std::to_string(f.field) + ".");
            lxw_filter_rule rule2 = filterRule(f.criteria2, text2);
            check(worksheet_filter_column2(ws, col, &rule1, &rule2,
                                           f.op == FilterOperator::And ? LXW_FILTER_AND : LXW_FILTER_OR),
                  what + " cannot take the criteria of field " + std::to_string(f.field));
        }
    }
}

void writeProtection(lxw_worksheet* ws, const SheetProtection& p) {
    lxw_protection options{};
    options.format_cells = p.allowFormattingCells;
    options.format_columns = p.allowFormattingColumns;
    options.format_rows = p.allowFormattingRows;
    options.insert_columns = p.allowInsertingColumns;
    options.insert_rows = p.allowInsertingRows;
    options.insert_hyperlinks = p.allowInsertingHyperlinks;
    options.delete_columns = p.allowDeletingColumns;
    options.delete_rows = p.allowDeletingRows;
    options.sort = p.allowSorting;
    options.autofilter = p.allowFiltering;
    options.pivot_tables = p.allowUsingPivotTables;
    options.no_select_locked_cells = !p.selectLockedCells;
    options.no_select_unlocked_cells = !p.selectUnlockedCells;
    worksheet_protect(ws, p.password.empty() ? nullptr : p.password.c_str(), &options);
}

void writeWindow(lxw_worksheet* ws, const WindowSettings& w) {
    if (!w.showGridLines) worksheet_gridlines(ws, LXW_HIDE_ALL_GRIDLINES);
    if (!w.showZeros) worksheet_hide_zero(ws);
    if (w.freezeRows > 0 || w.freezeCols > 0) {
        const long top = std::max(w.scrollRow - 1, w.freezeRows);
        const long left = std::max(w.scrollColumn - 1, w.freezeCols);
        worksheet_freeze_panes_opt(ws, static_cast<lxw_row_t>(w.freezeRows), static_cast<lxw_col_t>(w.freezeCols),
                                   static_cast<lxw_row_t>(top), static_cast<lxw_col_t>(left), 0);
    }
    if (w.selection)
        worksheet_set_selection(ws, static_cast<lxw_row_t>(w.selection->firstRow - 1),
                                static_cast<lxw_col_t>(w.selection->firstCol - 1),
                                static_cast<lxw_row_t>(w.selection->lastRow - 1),
                                static_cast<lxw_col_t>(w.selection->lastCol - 1));
}

std::string scopedName(const DefinedName& n) {
    if (n.scopeSheet.empty()) return n.name;
    return "'" + replaceAll(n.scopeSheet, "'", "''") + "'!" + n.name;
}

// ---------------------------------------------------------------- files

// A file that is removed unless released.
class TempFile {
public:
    TempFile() = default;
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }
    void release() { path_.clear(); }

private:
    std::string path_;
};

// A fresh, empty file next to target, readable as the target would be.
std::string makeTempNextTo(const fs::path& target, const std::string& shown) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        refuse("Cannot save the workbook as '" + shown + "': cannot create a file in the folder '" + folder.string() +
               "' (" + std::strerror(errno) + ").");
    struct stat existing {};
    mode_t mode;
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    ::close(fd);
    return pattern;
}

struct WorkbookCloser {
    void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};

}  // namespace

void saveXlsx(const WorkbookDescription& workbook, const std::string& path) {
    checkDescription(workbook);
    fs::path target(path);
    if (path.empty() || target.filename().empty()) refuse("Cannot save the workbook: no file name was given.");
    std::error_code ec;
    // Saving through a link replaces the file it points to, not the link.
    if (fs::is_symlink(target, ec)) {
        const fs::path real = fs::canonical(target, ec);
        if (!ec) target = real;
    }
    if (fs::is_directory(target, ec)) refuse("Cannot save the workbook as '" + path + "': that is a folder.");

    TempFile written(makeTempNextTo(target, path));
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    std::unique_ptr<lxw_workbook, WorkbookCloser> wb(workbook_new_opt(written.path().c_str(), &options));
    if (!wb) refuse("Cannot save the workbook as '" + path + "': the writer could not start.");

    Formats formats(wb.get(), workbook.styles);

    // Library strings must outlive workbook_close.
    lxw_doc_properties props{};
    const auto& p = workbook.properties;
    const std::string title = plainText(p.title), subject = plainText(p.subject), author = plainText(p.author);
    const std::string company = plainText(p.company), comments = plainText(p.comments);
    props.title = mutableText(title);
    props.subject = mutableText(subject);
    props.author = mutableText(author);
    props.company = mutableText(company);
    props.comments = mutableText(comments);
    check(workbook_set_properties(wb.get(), &props), "Cannot save the workbook as '" + path + "'");
    if (p.revisionNumber)
        check(workbook_set_custom_property_integer(wb.get(), "Revision Number", static_cast<int32_t>(*p.revisionNumber)),
              "Cannot save the workbook as '" + path + "'");

    std::map<std::string, EntryTransform> patches;
    std::vector<std::string> veryHidden;
    size_t firstVisible = workbook.sheets.size();
    for (size_t i = 0; i < workbook.sheets.size(); ++i) {
        const SheetDescription& sheet = workbook.sheets[i];
        lxw_worksheet* ws = workbook_add_worksheet(wb.get(), sheet.name.c_str());
        if (!ws) refuse("Cannot save the workbook as '" + path + "': the sheet name '" + sheet.name + "' is not accepted.");

        for (const auto& c : sheet.columns) {
            lxw_row_col_options colOptions{};
            colOptions.hidden = c.hidden ? 1 : 0;
            check(worksheet_set_column_opt(ws, static_cast<lxw_col_t>(c.firstCol - 1), static_cast<lxw_col_t>(c.lastCol - 1),
                                           c.width ? *c.width : LXW_DEF_COL_WIDTH, formats.get(c.style), &colOptions),
                  "On sheet '" + sheet.name + "', columns " + std::to_string(c.firstCol) + " to " +
                      std::to_string(c.lastCol) + " cannot be set");
        }
        SheetCells cells(ws, sheet, formats, workbook.styles.size());
        if (sheet.cells) sheet.cells(cells);
        cells.finish();

        for (const auto& v : sheet.validations) writeValidation(ws, sheet, v);
        if (sheet.autoFilter.on) writeAutoFilter(ws, sheet);
        if (sheet.protection.on) writeProtection(ws, sheet.protection);
        writeWindow(ws, sheet.window);

        // What the library cannot write is put into the sheet's part afterwards.
        const auto& w = sheet.window;
        const bool frozen = w.freezeRows > 0 || w.freezeCols > 0;
        const std::string topLeft =
            !frozen && (w.scrollRow != 1 || w.scrollColumn != 1) ? cellName(w.scrollRow, w.scrollColumn) : "";
        size_t validationCount = 0;
        for (const auto& v : sheet.validations) validationCount += v.ranges.size();
        const bool countWraps = validationCount > 255;
        if (!w.showHeadings || !topLeft.empty() || countWraps) {
            const bool hide = !w.showHeadings;
            patches["xl/worksheets/sheet" + std::to_string(i + 1) + ".xml"] =
                [hide, topLeft, countWraps, validationCount, name = sheet.name](std::string& xml) {
                    if ((hide || !topLeft.empty()) && !patchSheetView(xml, hide, topLeft))
                        refuse("On sheet '" + name + "', the window settings cannot be written.");
                    if (countWraps && !setValidationCount(xml, validationCount))
                        refuse("On sheet '" + name + "', the data validations cannot be counted.");
                };
        }
        if (sheet.visibility != SheetVisibility::Visible) worksheet_hide(ws);
        if (sheet.visibility == SheetVisibility::VeryHidden) veryHidden.push_back(sheet.name);
        if (sheet.visibility == SheetVisibility::Visible && firstVisible == workbook.sheets.size()) {
            firstVisible = i;
            if (i > 0) worksheet_set_first_sheet(ws);
        }
        if (static_cast<int>(i) + 1 == workbook.activeSheet) worksheet_activate(ws);
    }

    for (const auto& n : workbook.names)
        check(workbook_define_name(wb.get(), scopedName(n).c_str(), n.refersTo.c_str()),
              "Cannot save the workbook as '" + path + "': the name '" + n.name + "' refers to '" + n.refersTo + "'");

    // Closing writes the package; the library frees the workbook whatever the outcome.
    const lxw_error closed = workbook_close(wb.release());
    if (closed != LXW_NO_ERROR) refuse("Cannot save the workbook as '" + path + "': " + lxw_strerror(closed));

    if (!veryHidden.empty() || workbook.protectStructure) {
        const bool protect = workbook.protectStructure;
        const std::string password = workbook.structurePassword;
        patches["xl/workbook.xml"] = [veryHidden, protect, password](std::string& xml) {
            for (const auto& name : veryHidden)
                if (!markSheetVeryHidden(xml, name)) refuse("The sheet '" + name + "' cannot be made very hidden.");
            if (protect) addStructureProtection(xml, password);
        };
    }
    if (!patches.empty()) {
        TempFile patched(makeTempNextTo(target, path));
        rewriteZip(written.path(), patched.path(), patches);
        if (::rename(patched.path().c_str(), target.c_str()) != 0)
            refuse("Cannot save the workbook as '" + path + "': " + std::strerror(errno) + ".");
        patched.release();
        return;
    }
    if (::rename(written.path().c_str(), target.c_str()) != 0)
        refuse("Cannot save the workbook as '" + path + "': " + std::strerror(errno) + ".");
    written.release();
}

}  // namespace dalvera::platform::xlsx
