#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "platform/sheets/Embedded.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::platform {

namespace {
const char* kSource = "Worksheet";
const char* kProtectedCell =
    "The cell or chart you're trying to change is on a protected sheet. To make a change, unprotect the sheet.";

CellValue toCell(const Variant& v, StringPool& pool) {
    CellValue c;
    auto num = [&](double d, CellKind k) {
        c.kind = k;
        std::memcpy(&c.bits, &d, sizeof d);
    };
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Null: return c;
    case VarType::Boolean: c.kind = CellKind::Boolean, c.bits = v.toBool() ? 1 : 0; return c;
    case VarType::Date: num(v.toDateSerial(), CellKind::Date); return c;
    case VarType::Currency: c.kind = CellKind::Currency, c.bits = static_cast<uint64_t>(v.currencyScaledValue()); return c;
    case VarType::String:
        if (v.stringRef().empty()) return c;  // an empty text leaves the cell empty, as the host does
        if (utf8Length(v.stringRef()) > 32767) raise(err::HostRefusal, "A cell can hold at most 32767 characters.", kSource);
        c.kind = CellKind::Text, c.bits = pool.intern(v.stringRef());
        return c;
    case VarType::ByteArray:
    case VarType::Error: raise(err::TypeMismatch, "Type mismatch: this value cannot be put in a cell.", kSource);
    default: {
        double d = v.toDouble();
        if (!std::isfinite(d)) raise(err::HostRefusal, "A cell cannot hold an infinite or undefined number.", kSource);
        num(d, CellKind::Number);
        return c;
    }
    }
}

// New position of span a1..a2 when n lines are inserted (n > 0) or deleted at `at`;
// false when the whole span was deleted.
bool shiftSpan(int32_t& a1, int32_t& a2, int32_t at, int32_t n, int32_t max) {
    if (n > 0) {
        if (a1 >= at) a1 = std::min<int64_t>(int64_t(a1) + n, max);
        if (a2 >= at) a2 = std::min<int64_t>(int64_t(a2) + n, max);
        return true;
    }
    int32_t gone = -n, end = at + gone - 1;
    auto move = [&](int32_t p, bool first) -> int32_t {
        if (p < at) return p;
        if (p > end) return p - gone;
        return first ? at : at - 1;
    };
    int32_t b1 = move(a1, true), b2 = move(a2, false);
    if (b2 < b1) return false;
    a1 = b1, a2 = b2;
    return true;
}

bool shiftRect(Rect& r, bool rows, int32_t at, int32_t n) {
    return rows ? shiftSpan(r.r1, r.r2, at, n, kMaxRows) : shiftSpan(r.c1, r.c2, at, n, kMaxCols);
}

template <class Set>
Set shiftSet(const Set& s, int32_t at, int32_t n, int32_t max) {
    Set out;
    for (int32_t v : s) {
        int32_t a = v, b = v;
        if (shiftSpan(a, b, at, n, max)) out.insert(a);
    }
    return out;
}

bool sameRule(const ValidationRule& a, const ValidationRule& b) {
    return a.type == b.type && a.alertStyle == b.alertStyle && a.op == b.op && a.formula1 == b.formula1 &&
           a.formula2 == b.formula2 && a.errorTitle == b.errorTitle && a.errorMessage == b.errorMessage &&
           a.inputTitle == b.inputTitle && a.inputMessage == b.inputMessage && a.ignoreBlank == b.ignoreBlank &&
           a.inCellDropdown == b.inCellDropdown && a.showError == b.showError && a.showInput == b.showInput;
}

// Joins rectangles that continue one another, so rows added one by one stay one area.
void coalesce(std::vector<Rect>& areas) {
    bool merged = true;
    while (merged) {
        merged = false;
        for (size_t i = 0; i < areas.size() && !merged; ++i)
            for (size_t j = 0; j < areas.size() && !merged; ++j) {
                if (i == j) continue;
                Rect& a = areas[i];
                const Rect& b = areas[j];
                if (a.c1 == b.c1 && a.c2 == b.c2 && a.r2 + 1 == b.r1) a.r2 = b.r2, merged = true;
                else if (a.r1 == b.r1 && a.r2 == b.r2 && a.c2 + 1 == b.c1) a.c2 = b.c2, merged = true;
                if (merged) areas.erase(areas.begin() + static_cast<long>(j));
            }
    }
}

bool likeNoCase(std::string_view s, std::string_view p) {
    // '*' any run, '?' one character, '~' escapes.
    size_t si = 0, pi = 0, star = std::string_view::npos, mark = 0;
    auto lo = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == '~' && pi + 1 < p.size() && lo(p[pi + 1]) == lo(s[si])) pi += 2, ++si;
        else if (pi < p.size() && (p[pi] == '?' || (p[pi] != '*' && p[pi] != '~' && lo(p[pi]) == lo(s[si])))) ++pi, ++si;
        else if (pi < p.size() && p[pi] == '*') star = pi++, mark = si;
        else if (star != std::string_view::npos) pi = star + 1, si = ++mark;
        else return false;
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

std::string cellText(const Variant& v) {
    switch (v.type()) {
    case VarType::Empty: return {};
    case VarType::Boolean: return v.toBool() ? "TRUE" : "FALSE";
    case VarType::Date: return formatDateDefault(v.toDateSerial());
    case VarType::String: return v.stringRef();
    default: return formatDouble(v.toDouble());
    }
}

int compareValues(const Variant& a, const Variant& b) {
    bool an = a.isNumber() || a.isDate(), bn = b.isNumber() || b.isDate();
    if (an && bn) {
        double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (an != bn) return an ? -1 : 1;  // numbers sort before texts
    std::string x = lowerAscii(cellText(a)), y = lowerAscii(cellText(b));
    return x < y ? -1 : x > y ? 1 : 0;
}

bool matchesCriterion(const Variant& cell, const Variant& criterion) {
    std::string c = criterion.text();
    std::string op = "=";
    for (const char* o : {">=", "<=", "<>", "=", ">", "<"})
        if (c.rfind(o, 0) == 0) {
            op = o;
            c = c.substr(std::strlen(o));
            break;
        }
    std::string text = cellText(cell);
    if (c.empty()) return op == "=" ? cell.isEmpty() : op == "<>" ? !cell.isEmpty() : false;
    double d;
    Variant operand = parseNumber(c, d) ? Variant(d) : Variant(c);
    if (op == "=" || op == "<>") {
        // A text cell compares as text: the key "007" matches the criterion "007".
        bool eq = operand.isString() || cell.isString() ? likeNoCase(text, c)
                                                        : (cell.isNumber() || cell.isDate()) && cell.toDouble() == d;
        return op == "=" ? eq : !eq;
    }
    if (cell.isEmpty()) return false;
    int cmp = compareValues(cell, operand);
    if (op == ">") return cmp > 0;
    if (op == "<") return cmp < 0;
    if (op == ">=") return cmp >= 0;
    return cmp <= 0;
}

bool checkName(const std::string& name) {
    if (name.empty() || utf8Length(name) > 31) return false;
    if (name.find_first_of("[]:*?/\\") != std::string::npos) return false;
    return name.front() != '\'' && name.back() != '\'';
}
}  // namespace

SheetModel& WorksheetImpl::model() const {
    if (deleted_) raise(err::ObjectRequired, "The worksheet has been deleted.", kSource);
    return *model_;
}

WorkbookImpl& WorksheetImpl::book() const {
    if (deleted_) raise(err::ObjectRequired, "The worksheet has been deleted.", kSource);
    return *book_;
}

host::WorkbookPtr WorksheetImpl::Parent() const { return book().shared_from_this(); }

void WorksheetImpl::writeCell(int32_t row, int32_t col, const Variant& v) {
    SheetModel& m = model();
    CellValue c = toCell(v, m.strings_);
    if (c.empty()) {
        if (ColumnStore* s = m.column(col)) s->set(row, c);
        return;
    }
    m.columnForWrite(col).set(row, c);
}

long WorksheetImpl::writeHeld(int32_t row, int32_t col, const ValueColumn& src, size_t first, size_t count) {
    SheetModel& m = model();
    ColumnStore& store = m.columnForWrite(col);
    long refused = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t k = first + i;
        const int32_t r = row + static_cast<int32_t>(i);
        CellValue c;
        switch (src.type(k)) {
        case VarType::Empty:
        case VarType::Null: break;
        case VarType::String: {
            std::string_view t = src.text(k);
            if (t.empty()) break;
            if (t.size() > 32767 && utf8Length(t) > 32767) {
                ++refused;
                break;
            }
            c.kind = CellKind::Text, c.bits = m.strings_.intern(t);
            break;
        }
        case VarType::Boolean: c.kind = CellKind::Boolean, c.bits = src.bits(k) ? 1 : 0; break;
        case VarType::Currency: c.kind = CellKind::Currency, c.bits = src.bits(k); break;
        case VarType::Date:
        case VarType::Single:
        case VarType::Double:
            if (!std::isfinite(src.number(k))) {
                ++refused;
                break;
            }
            c.kind = src.type(k) == VarType::Date ? CellKind::Date : CellKind::Number, c.bits = src.bits(k);
            break;
        case VarType::ByteArray:
        case VarType::Error: ++refused; break;
        default: {
            const double d = static_cast<double>(static_cast<int64_t>(src.bits(k)));
            c.kind = CellKind::Number;
            std::memcpy(&c.bits, &d, sizeof d);
        }
        }
        // A cell left empty by the copy is emptied, as a Variant copy would.
        store.set(r, c);
    }
    return refused;
}

void WorksheetImpl::clearValues(const Rect& r) {
    SheetModel& m = model();
    for (int32_t c = r.c1; c <= std::min(r.c2, m.columnCount()); ++c)
        if (ColumnStore* s = m.column(c)) s->clear(r.r1, r.r2);
}

bool WorksheetImpl::anyLocked(const Rect& r) const {
    Variant v = styleProperty({r}, [](const CellStyle& s) { return Variant(s.locked); });
    return v.isNull() || v.toBool();
}

void WorksheetImpl::requireEditable(const std::vector<Rect>& areas) const {
    const auto& p = model().protection_;
    if (!p.on || !p.options.contents || p.options.userInterfaceOnly) return;
    for (auto& a : areas)
        if (anyLocked(a)) raise(err::HostRefusal, kProtectedCell, kSource);
}

void WorksheetImpl::requireFormatting(bool columns, bool rows) const {
    const auto& p = model().protection_;
    if (!p.on || !p.options.contents || p.options.userInterfaceOnly) return;
    if (columns && p.options.allowFormattingColumns) return;
    if (rows && p.options.allowFormattingRows) return;
    if (!columns && !rows && p.options.allowFormattingCells) return;
    raise(err::HostRefusal, "The sheet is protected: its formatting cannot be changed.", kSource);
}

void WorksheetImpl::requireUnprotected(const char* what) const {
    const auto& p = model().protection_;
    if (p.on && !p.options.userInterfaceOnly)
        raise(err::HostRefusal, std::string("The sheet is protected: ") + what + " is not possible.", kSource);
}

void WorksheetImpl::applyStyle(const std::vector<Rect>& areas, const std::function<void(CellStyle&)>& change) {
    SheetModel& m = model();
    StyleTable& table = styles();
    std::unordered_map<uint32_t, uint32_t> cache;
    auto f = [&](uint32_t old) {
        auto it = cache.find(old);
        if (it != cache.end()) return it->second;
        CellStyle s = table[old];
        change(s);
        uint32_t id = table.intern(s);
        cache.emplace(old, id);
        return id;
    };
    for (const Rect& r : areas) {
        if (r.c2 == kMaxCols) {
            // Whole rows: columns without a store follow the sheet's default runs.
            for (int32_t c = 1; c < r.c1; ++c) m.columnForWrite(c);
            m.defaultStyles_.transform(r.r1, r.r2, f);
            for (int32_t c = r.c1; c <= m.columnCount(); ++c)
                if (ColumnStore* s = m.column(c)) s->styles.transform(r.r1, r.r2, f);
                else m.columnForWrite(c);  // now a copy of the updated defaults
        } else {
            for (int32_t c = r.c1; c <= r.c2; ++c) m.columnForWrite(c).styles.transform(r.r1, r.r2, f);
        }
    }
    book().markChanged();
}

Variant WorksheetImpl::styleProperty(const std::vector<Rect>& areas,
                                     const std::function<Variant(const CellStyle&)>& get) const {
    const SheetModel& m = model();
    const StyleTable& table = styles();
    std::optional<Variant> common;
    bool mixed = false;
    auto visit = [&](const StyleRuns& runs, int32_t r1, int32_t r2) {
        const auto& map = runs.runs();
        auto it = std::prev(map.upper_bound(r1));
        for (; it != map.end() && it->first <= r2 && !mixed; ++it) {
            Variant v = get(table[it->second]);
            if (!common) common = v;
            else if (*common != v) mixed = true;
        }
    };
    for (const Rect& r : areas) {
        int32_t last = std::min(r.c2, m.columnCount());
        for (int32_t c = r.c1; c <= last && !mixed; ++c) visit(m.columnStyles(c), r.r1, r.r2);
        if (r.c2 > m.columnCount() && !mixed) visit(m.defaultStyles_, r.r1, r.r2);
    }
    if (mixed) return Variant::null();
    return common ? *common : Variant();
}

void WorksheetImpl::changed(const std::vector<Rect>& areas) {
    book().markChanged();
    if (app().EnableEvents()) app().fireSheetChange(shared_from_this(), range(areas));
}

// ---- Rows and columns -------------------------------------------------------

int32_t WorksheetImpl::lastFilledRow(int32_t c1, int32_t c2) const {
    const SheetModel& m = model();
    int32_t last = 0;
    for (int32_t c = c1; c <= c2; ++c)
        if (const ColumnStore* s = m.column(c)) last = std::max(last, s->lastRow());
    return last;
}

void WorksheetImpl::reorderRows(int32_t first, const std::vector<int32_t>& order) {
    SheetModel& m = model();
    ++structure_;  // addresses kept from before name other cells now
    const int32_t n = static_cast<int32_t>(order.size());
    for (int32_t c = 1; c <= m.columnCount(); ++c) {
        ColumnStore* s = m.column(c);
        if (!s) continue;
        std::vector<CellValue> values(order.size());
        std::vector<uint32_t> styles(order.size());
        for (int32_t i = 0; i < n; ++i) {
            values[size_t(i)] = s->get(first + order[size_t(i)]);
            styles[size_t(i)] = s->styles.at(first + order[size_t(i)]);
        }
        for (int32_t i = 0; i < n; ++i) {
            s->set(first + i, values[size_t(i)]);
            s->styles.set(first + i, first + i, styles[size_t(i)]);
        }
    }
    std::vector<int32_t> to(order.size());
    for (int32_t i = 0; i < n; ++i) to[size_t(order[size_t(i)])] = first + i;
    std::map<std::pair<int32_t, int32_t>, CommentData> comments;
    for (auto& [pos, data] : m.comments_) {
        const bool inside = pos.first >= first && pos.first < first + n;
        comments[{inside ? to[size_t(pos.first - first)] : pos.first, pos.second}] = data;
    }
    m.comments_ = std::move(comments);
    if (m.autoFilter_) applyFilters();
}

void WorksheetImpl::insertRows(int32_t at, int32_t n) {
    SheetModel& m = model();
    ++structure_;
    const auto& p = m.protection_;
    if (p.on && !p.options.userInterfaceOnly && !p.options.allowInsertingRows)
        raise(err::HostRefusal, "The sheet is protected: rows cannot be inserted.", kSource);
    for (auto& c : m.columns_)
        if (c && c->lastRow() > kMaxRows - n)
            raise(err::HostRefusal, "To prevent loss of data, cells that are not empty cannot be shifted off the worksheet.",
                  kSource);
    for (auto& c : m.columns_)
        if (c) c->shift(at, n);
    m.defaultStyles_.shift(at, n);
    std::map<std::pair<int32_t, int32_t>, CommentData> comments;
    for (auto& [pos, data] : m.comments_)
        comments[{pos.first >= at ? pos.first + n : pos.first, pos.second}] = data;
    m.comments_.swap(comments);
    m.manualHiddenRows_ = shiftSet(m.manualHiddenRows_, at, n, kMaxRows);
    m.filterHiddenRows_ = shiftSet(m.filterHiddenRows_, at, n, kMaxRows);
    for (auto& v : m.validations_)
        for (auto& a : v.areas) shiftRect(a, true, at, n);
    if (m.autoFilter_) shiftRect(m.autoFilter_->range, true, at, n);
    book().shiftNames(m.id_, true, at, n);
    book().markChanged();
}

void WorksheetImpl::deleteRows(int32_t at, int32_t n) {
    SheetModel& m = model();
    ++structure_;
    const auto& p = m.protection_;
    if (p.on && !p.options.userInterfaceOnly && !p.options.allowDeletingRows)
        raise(err::HostRefusal, "The sheet is protected: rows cannot be deleted.", kSource);
    for (auto& c : m.columns_)
        if (c) c->shift(at, -n);
    m.defaultStyles_.shift(at, -n);
    std::map<std::pair<int32_t, int32_t>, CommentData> comments;
    for (auto& [pos, data] : m.comments_) {
        if (pos.first >= at && pos.first < at + n) continue;
        comments[{pos.first >= at + n ? pos.first - n : pos.first, pos.second}] = data;
    }
    m.comments_.swap(comments);
    m.manualHiddenRows_ = shiftSet(m.manualHiddenRows_, at, -n, kMaxRows);
    m.filterHiddenRows_ = shiftSet(m.filterHiddenRows_, at, -n, kMaxRows);
    for (auto& v : m.validations_) {
        std::vector<Rect> kept;
        for (Rect a : v.areas)
            if (shiftRect(a, true, at, -n)) kept.push_back(a);
        v.areas = kept;
    }
    std::erase_if(m.validations_, [](const ValidationRule& v) { return v.areas.empty(); });
    if (m.autoFilter_) {
        Rect r = m.autoFilter_->range;
        if (r.r1 >= at && r.r1 < at + n) removeAutoFilter();  // its header row went
        else if (shiftRect(r, true, at, -n)) m.autoFilter_->range = r;
    }
    book().shiftNames(m.id_, true, at, -n);
    // A sheet emptied by deleting its rows (as a table sheet is before each load)
    // drops the texts it no longer holds.
    bool empty = true;
    for (auto& c : m.columns_) empty = empty && (!c || !c->lastRow());
    if (empty) m.strings_ = StringPool{};
    book().markChanged();
}

void WorksheetImpl::insertColumns(int32_t at, int32_t n) {
    SheetModel& m = model();
    ++structure_;
    const auto& p = m.protection_;
    if (p.on && !p.options.userInterfaceOnly && !p.options.allowInsertingColumns)
        raise(err::HostRefusal, "The sheet is protected: columns cannot be inserted.", kSource);
    if (m.columnCount() >= at) {
        for (int32_t c = std::max(kMaxCols - n + 1, 1); c <= m.columnCount(); ++c)
            if (ColumnStore* s = m.column(c); s && s->lastRow())
                raise(err::HostRefusal,
                      "To prevent loss of data, cells that are not empty cannot be shifted off the worksheet.", kSource);
        // The new columns take the formats of the column on their left.
        const StyleRuns& left = at > 1 ? m.columnStyles(at - 1) : m.defaultStyles_;
        std::vector<std::unique_ptr<ColumnStore>> fresh;
        for (int32_t i = 0; i < n; ++i) {
            fresh.push_back(std::make_unique<ColumnStore>());
            fresh.back()->styles = left;
        }
        m.columns_.insert(m.columns_.begin() + (at - 1), std::make_move_iterator(fresh.begin()),
                          std::make_move_iterator(fresh.end()));
        if (m.columns_.size() > static_cast<size_t>(kMaxCols)) m.columns_.resize(kMaxCols);
    }
    std::map<int32_t, double> widths;
    for (auto& [c, w] : m.widths_) widths[c >= at ? c + n : c] = w;
    m.widths_.swap(widths);
    m.hiddenColumns_ = shiftSet(m.hiddenColumns_, at, n, kMaxCols);
    std::map<std::pair<int32_t, int32_t>, CommentData> comments;
    for (auto& [pos, data] : m.comments_) comments[{pos.first, pos.second >= at ? pos.second + n : pos.second}] = data;
    m.comments_.swap(comments);
    for (auto& v : m.validations_)
        for (auto& a : v.areas) shiftRect(a, false, at, n);
    if (m.autoFilter_) {
        Rect old = m.autoFilter_->range;
        shiftRect(m.autoFilter_->range, false, at, n);
        if (at > old.c1 && at <= old.c2)
            m.autoFilter_->columns.insert(m.autoFilter_->columns.begin() + (at - old.c1), static_cast<size_t>(n), {});
    }
    book().shiftNames(m.id_, false, at, n);
    book().markChanged();
}

void WorksheetImpl::deleteColumns(int32_t at, int32_t n) {
    SheetModel& m = model();
    ++structure_;
    const auto& p = m.protection_;
    if (p.on && !p.options.userInterfaceOnly && !p.options.allowDeletingColumns)
        raise(err::HostRefusal, "The sheet is protected: columns cannot be deleted.", kSource);
    if (m.columnCount() >= at) {
        auto first = m.columns_.begin() + (at - 1);
        auto last = m.columnCount() >= at + n ? first + n : m.columns_.end();
        m.columns_.erase(first, last);
    }
    std::map<int32_t, double> widths;
    for (auto& [c, w] : m.widths_)
        if (c < at || c >= at + n) widths[c >= at ? c - n : c] = w;
    m.widths_.swap(widths);
    m.hiddenColumns_ = shiftSet(m.hiddenColumns_, at, -n, kMaxCols);
    std::map<std::pair<int32_t, int32_t>, CommentData> comments;
    for (auto& [pos, data] : m.comments_)
        if (pos.second < at || pos.second >= at + n) comments[{pos.first, pos.second >= at ? pos.second - n : pos.second}] = data;
    m.comments_.swap(comments);
    for (auto& v : m.validations_) {
        std::vector<Rect> kept;
        for (Rect a : v.areas)
            if (shiftRect(a, false, at, -n)) kept.push_back(a);
        v.areas = kept;
    }
    std::erase_if(m.validations_, [](const ValidationRule& v) { return v.areas.empty(); });
    if (m.autoFilter_) {
        Rect r = m.autoFilter_->range;
        if (!shiftRect(r, false, at, -n)) {
            removeAutoFilter();
        } else {
            auto& cols = m.autoFilter_->columns;
            int32_t from = std::max(at, m.autoFilter_->range.c1), to = std::min(at + n - 1, m.autoFilter_->range.c2);
            if (from <= to)
                cols.erase(cols.begin() + (from - m.autoFilter_->range.c1), cols.begin() + (to - m.autoFilter_->range.c1 + 1));
            m.autoFilter_->range = r;
            applyFilters();
        }
    }
    book().shiftNames(m.id_, false, at, -n);
    book().markChanged();
}

// ---- Validation -------------------------------------------------------------

void WorksheetImpl::setValidation(const std::vector<Rect>& areas, const ValidationRule* rule) {
    SheetModel& m = model();
    for (auto& v : m.validations_) {
        std::vector<Rect> kept;
        for (const Rect& a : v.areas) {
            std::vector<Rect> parts{a};
            for (const Rect& cut : areas) {
                std::vector<Rect> next;
                for (const Rect& p : parts)
                    for (const Rect& q : subtract(p, cut)) next.push_back(q);
                parts.swap(next);
            }
            kept.insert(kept.end(), parts.begin(), parts.end());
        }
        v.areas = kept;
    }
    std::erase_if(m.validations_, [](const ValidationRule& v) { return v.areas.empty(); });
    if (rule) {
        for (auto& v : m.validations_)
            if (sameRule(v, *rule)) {
                v.areas.insert(v.areas.end(), areas.begin(), areas.end());
                coalesce(v.areas);
                book().markChanged();
                return;
            }
        ValidationRule r = *rule;
        r.areas = areas;
        coalesce(r.areas);
        m.validations_.push_back(std::move(r));
    }
    book().markChanged();
}

ValidationRule* WorksheetImpl::ruleAt(int32_t row, int32_t col) {
    return const_cast<ValidationRule*>(model().validationAt(row, col));
}

std::vector<Variant> WorksheetImpl::listValues(const ValidationRule& rule) {
    std::vector<Variant> out;
    std::string f = trimBlanks(rule.formula1);
    if (!f.empty() && f[0] == '=') {
        host::RangePtr r = book().nameRange(f.substr(1));
        if (!r) {
            Rect a;
            if (parseA1(f.substr(1), a)) r = range(a);
        }
        if (!r) return out;
        auto sheet = rangeSheet(r);
        for (const Rect& a : rangeAreas(r))
            for (int32_t row = a.r1; row <= std::min(a.r2, a.r1 + 100000); ++row)
                for (int32_t c = a.c1; c <= a.c2; ++c) out.push_back(sheet->model().value(row, c));
        return out;
    }
    for (auto& part : split(f, ',')) out.emplace_back(trimBlanks(part));
    return out;
}

namespace {
// A bound of a rule: a number, a date or time text, or a reference.
bool boundValue(WorksheetImpl& sheet, const std::string& formula, double& out) {
    std::string f = trimBlanks(formula);
    if (!f.empty() && f[0] == '=') {
        f = f.substr(1);
        host::RangePtr r = sheet.book().nameRange(f);
        Rect a;
        if (!r && parseA1(f, a)) r = sheet.range(a);
        if (r) {
            Variant v = r->Value();
            if (v.isNumber() || v.isDate()) return out = v.toDouble(), true;
            return false;
        }
    }
    if (parseRuleNumber(f, out)) return true;
    return parseDateText(f, out);
}
}  // namespace

bool WorksheetImpl::passes(const ValidationRule& rule, const Variant& value) {
    if (value.isEmpty()) return rule.ignoreBlank || rule.type == host::xl::ValidateInputOnly;
    double v = 0;
    switch (rule.type) {
    case host::xl::ValidateInputOnly:
    case host::xl::ValidateCustom: return true;
    case host::xl::ValidateList: {
        // An entry matches an item of the same value, or of the same text (a typed
        // 5 matches a text key "5", TRUE matches the text "TRUE").
        std::string typed = cellText(value);
        for (const Variant& item : listValues(rule))
            if (!item.isEmpty() && (compareValues(item, value) == 0 || equalsNoCase(cellText(item), typed))) return true;
        return false;
    }
    // A number column takes numbers only: an entry read as a date, a Boolean or
    // a text is a mistake, and its serial must not slip through as a number.
    case host::xl::ValidateWholeNumber:
        if (!value.isNumber()) return false;
        v = value.toDouble();
        if (v != std::floor(v)) return false;
        break;
    case host::xl::ValidateDecimal:
        if (!value.isNumber()) return false;
        v = value.toDouble();
        break;
    case host::xl::ValidateDate:
        if (!value.isNumber() && !value.isDate()) return false;
        v = value.toDouble();
        break;
    case host::xl::ValidateTime:
        if (!value.isNumber() && !value.isDate()) return false;
        v = value.toDouble();
        if (v < 0 || v >= 1) return false;
        break;
    case host::xl::ValidateTextLength: v = static_cast<double>(utf8Length(cellText(value))); break;
    default: return true;
    }
    double a = 0, b = 0;
    if (!boundValue(*this, rule.formula1, a)) return false;
    bool two = rule.op == host::xl::Between || rule.op == host::xl::NotBetween;
    if (two && !boundValue(*this, rule.formula2, b)) return false;
    switch (rule.op) {
    case host::xl::Between: return v >= a && v <= b;
    case host::xl::NotBetween: return v < a || v > b;
    case host::xl::Equal: return v == a;
    case host::xl::NotEqual: return v != a;
    case host::xl::Greater: return v > a;
    case host::xl::Less: return v < a;
    case host::xl::GreaterEqual: return v >= a;
    case host::xl::LessEqual: return v <= a;
    }
    return true;
}

// ---- AutoFilter -------------------------------------------------------------

void WorksheetImpl::setAutoFilter(const Rect& r) {
    SheetModel& m = model();
    m.filterHiddenRows_.clear();
    m.autoFilter_ = AutoFilterState{r, std::vector<FilterCriteria>(static_cast<size_t>(r.cols()))};
}

void WorksheetImpl::removeAutoFilter() {
    SheetModel& m = model();
    m.autoFilter_.reset();
    m.filterHiddenRows_.clear();
}

void WorksheetImpl::applyFilters() {
    SheetModel& m = model();
    m.filterHiddenRows_.clear();
    if (!m.autoFilter_) return;
    const AutoFilterState& af = *m.autoFilter_;
    int32_t last = af.range.r2;
    if (af.range.r2 - af.range.r1 > 200000 || af.range.entireColumns()) {
        // A whole-column filter stops at the last row that holds data.
        last = af.range.r1;
        for (int32_t c = af.range.c1; c <= std::min(af.range.c2, m.columnCount()); ++c)
            if (ColumnStore* s = m.column(c)) last = std::max(last, std::min(af.range.r2, s->lastRow()));
    }
    for (int32_t r = af.range.r1 + 1; r <= last; ++r) {
        for (size_t i = 0; i < af.columns.size(); ++i) {
            const FilterCriteria& f = af.columns[i];
            if (!f.on) continue;
            Variant cell = m.value(r, af.range.c1 + static_cast<int32_t>(i));
            bool ok = matchesCriterion(cell, f.criteria1);
            if (!f.criteria2.isMissing()) {
                bool ok2 = matchesCriterion(cell, f.criteria2);
                ok = f.op == host::xl::Or ? ok || ok2 : ok && ok2;
            }
            if (!ok) {
                m.filterHiddenRows_.insert(r);
                break;
            }
        }
    }
}

bool WorksheetImpl::FilterMode() const {
    const auto& af = model().autoFilter_;
    if (!af) return false;
    for (auto& f : af->columns)
        if (f.on) return true;
    return false;
}

void WorksheetImpl::SetAutoFilterMode(bool v) {
    if (v) raise(err::HostRefusal, "AutoFilterMode can only be switched off; use a range's AutoFilter to switch it on.", kSource);
    if (!model().autoFilter_) return;
    requireUnprotected("removing the AutoFilter");
    removeAutoFilter();
    book().markChanged();
}

void WorksheetImpl::ShowAllData() {
    SheetModel& m = model();
    if (!FilterMode()) raise(err::HostRefusal, "ShowAllData: the sheet is not filtered.", kSource);
    if (m.protection_.on && !m.protection_.options.allowFiltering) requireUnprotected("showing all data");
    for (auto& f : m.autoFilter_->columns) f = FilterCriteria{};
    m.filterHiddenRows_.clear();
}

// ---- Sheet members ------------------------------------------------------------

void WorksheetImpl::SetName(const std::string& name) {
    if (!checkName(name))
        raise(err::HostRefusal,
              "A sheet name must be 1 to 31 characters long and cannot contain : \\ / ? * [ or ].", kSource);
    WorkbookImpl& b = book();
    b.requireStructureUnprotected("renaming a sheet");
    for (auto& s : b.model().sheets_)
        if (s.get() != model_ && equalsNoCase(s->name_, name))
            raise(err::HostRefusal, "That name is already taken. Try a different one.", kSource);
    model().name_ = name;
    b.markChanged();
}

long WorksheetImpl::Index() const {
    auto& sheets = book().model().sheets_;
    for (size_t i = 0; i < sheets.size(); ++i)
        if (sheets[i].get() == model_) return static_cast<long>(i + 1);
    return 0;
}

void WorksheetImpl::Activate() {
    WorkbookImpl& b = book();
    if (model().visibility_ != host::xl::SheetVisible)
        raise(err::HostRefusal, "A hidden sheet cannot be activated.", kSource);
    auto self = shared_from_this();
    if (app().ActiveWorkbook().get() != &b) b.Activate();
    b.activateSheet(self, true);
}

void WorksheetImpl::Delete() {
    WorkbookImpl& b = book();
    b.requireStructureUnprotected("deleting a sheet");
    int visible = 0;
    for (auto& s : b.model().sheets_) visible += s->visibility_ == host::xl::SheetVisible;
    if (model().visibility_ == host::xl::SheetVisible && visible <= 1)
        raise(err::HostRefusal, "A workbook must contain at least one visible worksheet.", kSource);
    if (app().DisplayAlerts() &&
        app().messageBox("This sheet will be deleted permanently. Do you want to continue?",
                         host::mb::OKCancel + host::mb::Exclamation) != host::answer::OK)
        return;  // the person kept the sheet; the host's Delete then returns False
    b.removeSheet(*this);
}

void WorksheetImpl::SetVisible(int visibility) {
    if (visibility != host::xl::SheetVisible && visibility != host::xl::SheetHidden &&
        visibility != host::xl::SheetVeryHidden) {
        if (visibility == 1) visibility = host::xl::SheetVisible;  // True as an integer
        else raise(err::HostRefusal, "Unable to set the Visible property: use -1, 0 or 2.", kSource);
    }
    WorkbookImpl& b = book();
    SheetModel& m = model();
    if (visibility == m.visibility_) return;
    b.requireStructureUnprotected("hiding or showing a sheet");
    if (visibility != host::xl::SheetVisible) {
        int visible = 0;
        for (auto& s : b.model().sheets_) visible += s->visibility_ == host::xl::SheetVisible;
        if (m.visibility_ == host::xl::SheetVisible && visible <= 1)
            raise(err::HostRefusal, "A workbook must contain at least one visible worksheet.", kSource);
    }
    m.visibility_ = visibility;
    if (visibility != host::xl::SheetVisible && b.activeSheetImpl().get() == this) {
        for (auto& s : b.sheetObjects())
            if (s->model().visibility_ == host::xl::SheetVisible) {
                b.activateSheet(s, app().ActiveWorkbook().get() == &b);
                break;
            }
    }
    b.markChanged();
}

void WorksheetImpl::Protect(const std::string& password, const host::ProtectOptions& options) {
    SheetModel& m = model();
    if (m.protection_.on) {
        // The host only changes the options of a protected sheet when the password is the same.
        if (m.protection_.password != password)
            raise(err::HostRefusal, "The sheet is already protected with another password.", kSource);
    }
    m.protection_.on = true;
    m.protection_.password = password;
    m.protection_.options = options;
    book().markChanged();
}

void WorksheetImpl::Unprotect(const std::string& password) {
    SheetModel& m = model();
    if (!m.protection_.on) return;
    if (m.protection_.password != password)
        raise(err::HostRefusal, "The password you supplied is not correct. Verify that the CAPS LOCK key is off and be sure to use the correct capitalization.", kSource);
    m.protection_ = SheetProtection{};
    book().markChanged();
}

void WorksheetImpl::SetEnableSelection(int v) {
    if (v != host::xl::NoRestrictions && v != host::xl::UnlockedCells && v != host::xl::NoSelection)
        raise(err::HostRefusal, "EnableSelection takes 0, 1 or -4142.", kSource);
    model().enableSelection_ = v;
}

host::RangePtr WorksheetImpl::Cells(long row, long column) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxCols)
        raise(err::HostRefusal, "Cells: row " + std::to_string(row) + ", column " + std::to_string(column) +
                                    " lies outside the worksheet.", kSource);
    return range(Rect{int32_t(row), int32_t(column), int32_t(row), int32_t(column)});
}

host::RangePtr WorksheetImpl::Rows(long row) {
    if (row < 1 || row > kMaxRows) raise(err::HostRefusal, "Rows: row " + std::to_string(row) + " lies outside the worksheet.", kSource);
    return range(Rect{int32_t(row), 1, int32_t(row), kMaxCols});
}

host::RangePtr WorksheetImpl::Rows(const std::string& ref) {
    Rect r;
    std::string s = ref.find(':') == std::string::npos ? ref + ":" + ref : ref;
    if (!parseA1(s, r) || !r.entireRows()) raise(err::HostRefusal, "Rows: \"" + ref + "\" is not a row reference.", kSource);
    return range(r);
}

host::RangePtr WorksheetImpl::Columns(long column) {
    if (column < 1 || column > kMaxCols)
        raise(err::HostRefusal, "Columns: column " + std::to_string(column) + " lies outside the worksheet.", kSource);
    return range(Rect{1, int32_t(column), kMaxRows, int32_t(column)});
}

host::RangePtr WorksheetImpl::Columns(const std::string& ref) {
    Rect r;
    std::string s = ref.find(':') == std::string::npos ? ref + ":" + ref : ref;
    if (!parseA1(s, r) || !r.entireColumns()) raise(err::HostRefusal, "Columns: \"" + ref + "\" is not a column reference.", kSource);
    return range(r);
}

host::RangePtr WorksheetImpl::Range(const std::string& address) {
    std::vector<Rect> areas;
    for (auto& part : split(address, ',')) {
        Rect r;
        if (parseA1(part, r)) {
            areas.push_back(r);
            continue;
        }
        if (host::RangePtr named = book().nameRange(trimBlanks(part)); named && rangeSheet(named).get() == this) {
            for (auto& a : rangeAreas(named)) areas.push_back(a);
            continue;
        }
        raise(err::HostRefusal, "Range: \"" + address + "\" is not a reference or a name of this sheet.", kSource);
    }
    if (areas.empty()) raise(err::HostRefusal, "Range: an empty address.", kSource);
    return range(areas);
}

host::RangePtr WorksheetImpl::Range(const host::RangePtr& cell1, const host::RangePtr& cell2) {
    if (rangeSheet(cell1).get() != this || rangeSheet(cell2).get() != this)
        raise(err::HostRefusal, "Range: both cells must lie on this sheet.", kSource);
    Rect a = rangeAreas(cell1).front(), b = rangeAreas(cell2).front();
    return range(Rect{std::min(a.r1, b.r1), std::min(a.c1, b.c1), std::max(a.r2, b.r2), std::max(a.c2, b.c2)});
}

host::RangePtr WorksheetImpl::UsedRange() {
    auto u = model().usedRect();
    return range(u ? *u : Rect{});
}

void WorksheetImpl::setSelection(const std::vector<Rect>& areas, int32_t activeRow, int32_t activeCol) {
    SheetView& v = model().view_;
    v.selection = areas;
    v.activeRow = activeRow;
    v.activeColumn = activeCol;
}

}  // namespace dalvera::platform
