#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>

#include "platform/sheets/Embedded.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/NumberFormat.h"
#include "runtime/Text.h"

namespace dalvera::platform {

namespace {
const char* kSource = "Range";
// Larger blocks than this are refused instead of exhausting memory.
constexpr int64_t kMaxBulkCells = 20'000'000;

std::string formulaText(const Variant& v) {
    if (v.isMissing() || v.isEmpty()) return {};
    if (v.isDate()) return formatDateDefault(v.toDateSerial());
    if (v.isString()) return v.stringRef();
    if (v.isBoolean()) return v.toBool() ? "TRUE" : "FALSE";
    return formatDouble(v.toDouble());
}

// A rule's bound as its formula text. A number keeps the digits that read
// back as the same Double, so a bound passed as a number compares as given
// (-922337203685477.5807 is not widened to -922337203685478).
std::string boundText(const Variant& v) {
    if (!v.isNumber()) return formulaText(v);
    double d = v.toDouble();
    std::string s = formatDouble(d);
    double back;
    if (std::isfinite(d) && !(parseRuleNumber(s, back) && back == d)) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17G", d);
        s = buf;
    }
    return s;
}

std::string displayText(const Variant& v) {
    switch (v.type()) {
    case VarType::Empty: return {};
    case VarType::Boolean: return v.toBool() ? "TRUE" : "FALSE";
    case VarType::Date: return formatDateDefault(v.toDateSerial());
    case VarType::String: return v.stringRef();
    default: return formatDouble(v.toDouble());
    }
}

long paletteColor(WorksheetImpl& sheet, long index) {
    if (index == host::xl::ColorIndexAutomatic || index == 0) return -1;
    if (index < 1 || index > 56) raise(err::HostRefusal, "A colour index lies between 1 and 56.", kSource);
    return sheet.book().Colors(index);
}

void checkColor(long rgb) {
    if (rgb < 0 || rgb > 0xFFFFFF) raise(err::HostRefusal, "A colour is a number from 0 to 16777215.", kSource);
}
}  // namespace

class RangeImpl : public host::Range, public std::enable_shared_from_this<RangeImpl> {
public:
    RangeImpl(std::shared_ptr<WorksheetImpl> sheet, std::vector<Rect> areas)
        : sheet_(std::move(sheet)), areas_(std::move(areas)) {}
    const std::shared_ptr<WorksheetImpl>& sheet() const { return sheet_; }
    const std::vector<Rect>& areas() const { return areas_; }
    const Rect& first() const { return areas_.front(); }

    Variant Value() const override { return sheet_->model().value(first().r1, first().c1); }

    void SetValue(const Variant& v) override {
        sheet_->requireEditable(areas_);
        int64_t n = 0;
        for (auto& a : areas_) n += a.cells();
        if (!v.isEmpty() && !v.isNull() && n > kMaxBulkCells)
            raise(err::HostRefusal, "The range is too large to fill with one value.", kSource);
        for (auto& a : areas_) {
            if (v.isEmpty() || v.isNull() || (v.isString() && v.stringRef().empty())) {
                sheet_->clearValues(a);
                continue;
            }
            for (int32_t c = a.c1; c <= a.c2; ++c)
                for (int32_t r = a.r1; r <= a.r2; ++r) sheet_->writeCell(r, c, v);
        }
        sheet_->changed(areas_);
    }

    VariantArray2D Values() const override {
        const Rect& a = first();
        if (a.cells() > kMaxBulkCells) raise(err::HostRefusal, "The range is too large to read as one array.", kSource);
        VariantArray2D out(a.rows(), a.cols());
        const SheetModel& m = sheet_->model();
        for (int32_t c = a.c1; c <= std::min(a.c2, m.columnCount()); ++c)
            for (int32_t r = m.cell(a.r1, c).empty() ? nextIn(m, c, a.r1) : a.r1; r && r <= a.r2; r = nextIn(m, c, r + 1))
                out(r - a.r1 + 1, c - a.c1 + 1) = m.value(r, c);
        return out;
    }

    void SetValues(const VariantArray2D& values) override {
        if (values.rows() == 1 && values.cols() == 1) return SetValue(values(1, 1));
        const Rect& a = first();
        if (values.rows() < a.rows() || values.cols() < a.cols())
            raise(err::HostRefusal,
                  "The array (" + std::to_string(values.rows()) + " x " + std::to_string(values.cols()) +
                      ") is smaller than the range " + Address() + ".", kSource);
        sheet_->requireEditable({a});
        // Column by column: each column's blocks are touched in order.
        for (int32_t c = a.c1; c <= a.c2; ++c)
            for (int32_t r = a.r1; r <= a.r2; ++r) sheet_->writeCell(r, c, values(r - a.r1 + 1, c - a.c1 + 1));
        sheet_->changed({a});
    }

    // As the cell shows it: through its number format, in the application's locale.
    std::string Text() const override {
        const SheetModel& m = sheet_->model();
        const CellStyle& st = sheet_->styles()[m.styleAt(first().r1, first().c1)];
        bool dutch = entryLocale(sheet_->app().countryCode()).dutch;
        return formatValue(Value(), st.numberFormat, dutch ? FormatLocale::dutch() : FormatLocale::english());
    }
    host::WorksheetPtr Worksheet() const override { return sheet_; }
    long Row() const override { return first().r1; }
    long Column() const override { return first().c1; }
    long Count() const override {
        int64_t n = 0;
        for (auto& a : areas_) n += a.cells();
        return static_cast<long>(n);
    }
    std::string Address(bool rowAbs = true, bool colAbs = true) const override {
        std::string s;
        for (auto& a : areas_) s += (s.empty() ? "" : ",") + addressA1(a, rowAbs, colAbs);
        return s;
    }

    host::RangePtr Cells(long row, long column) override {
        long r = first().r1 + row - 1, c = first().c1 + column - 1;
        return sheet_->Cells(r, c);
    }
    host::RangePtr Cells() override { return make(areas_); }
    host::RangePtr Item(long index) override {
        const Rect& a = first();
        if (index < 1) raise(err::HostRefusal, "Item: the index starts at 1.", kSource);
        long i = index - 1;
        return sheet_->Cells(a.r1 + i / a.cols(), a.c1 + i % a.cols());
    }
    host::RangePtr Rows() override { return make(areas_); }
    host::RangePtr Rows(long index) override {
        const Rect& a = first();
        if (index < 1 || index > kMaxRows) raise(err::HostRefusal, "Rows: the index lies outside the worksheet.", kSource);
        return sheet_->range(checked({a.r1 + int32_t(index) - 1, a.c1, a.r1 + int32_t(index) - 1, a.c2}));
    }
    host::RangePtr Columns() override { return make(areas_); }
    host::RangePtr Columns(long index) override {
        const Rect& a = first();
        if (index < 1 || index > kMaxCols) raise(err::HostRefusal, "Columns: the index lies outside the worksheet.", kSource);
        return sheet_->range(checked({a.r1, a.c1 + int32_t(index) - 1, a.r2, a.c1 + int32_t(index) - 1}));
    }
    long RowsCount() const override { return first().rows(); }
    long ColumnsCount() const override { return first().cols(); }
    host::RangePtr EntireRow() override {
        std::vector<Rect> out;
        for (auto& a : areas_) out.push_back({a.r1, 1, a.r2, kMaxCols});
        return make(out);
    }
    host::RangePtr EntireColumn() override {
        std::vector<Rect> out;
        for (auto& a : areas_) out.push_back({1, a.c1, kMaxRows, a.c2});
        return make(out);
    }
    host::RangePtr Offset(long rows, long columns) override {
        if (rows < -kMaxRows || rows > kMaxRows || columns < -kMaxCols || columns > kMaxCols)
            raise(err::HostRefusal, "The reference lies outside the worksheet.", kSource);
        std::vector<Rect> out;
        for (auto& a : areas_)
            out.push_back(checked({a.r1 + int32_t(rows), a.c1 + int32_t(columns), a.r2 + int32_t(rows), a.c2 + int32_t(columns)}));
        return make(out);
    }
    host::RangePtr Resize(long rows, long columns) override {
        if (rows < 1 || columns < 1) raise(err::HostRefusal, "Resize needs at least one row and one column.", kSource);
        if (rows > kMaxRows || columns > kMaxCols) raise(err::HostRefusal, "The reference lies outside the worksheet.", kSource);
        const Rect& a = first();
        return sheet_->range(checked({a.r1, a.c1, int32_t(a.r1 + rows - 1), int32_t(a.c1 + columns - 1)}));
    }
    host::RangePtr End(int direction) override;
    std::shared_ptr<host::Areas> Areas() override;

    Variant ColumnWidth() const override {
        const SheetModel& m = sheet_->model();
        std::optional<double> w;
        for (auto& a : areas_)
            for (int32_t c = a.c1; c <= std::min(a.c2, a.c1 + 16383); ++c) {
                double x = m.columnWidth(c);
                if (!w) w = x;
                else if (*w != x) return Variant::null();
            }
        return Variant(*w);
    }
    void SetColumnWidth(double width) override {
        if (!(width >= 0 && width <= 255)) raise(err::HostRefusal, "A column width lies between 0 and 255.", kSource);
        sheet_->requireFormatting(true, false);
        SheetModel& m = sheet_->model();
        for (auto& a : areas_)
            for (int32_t c = a.c1; c <= a.c2; ++c) m.widths_[c] = width;
        sheet_->book().markChanged();
    }
    Variant Hidden() const override {
        const SheetModel& m = sheet_->model();
        const Rect& a = first();
        if (a.entireColumns()) return Variant(m.columnHidden(a.c1));
        if (a.entireRows()) return Variant(m.rowHidden(a.r1));
        raise(err::HostRefusal, "Hidden applies to entire rows or columns.", kSource);
    }
    void SetHidden(bool v) override {
        SheetModel& m = sheet_->model();
        for (auto& a : areas_) {
            if (a.entireColumns()) {
                sheet_->requireFormatting(true, false);
                for (int32_t c = a.c1; c <= a.c2; ++c) v ? (void)m.hiddenColumns_.insert(c) : (void)m.hiddenColumns_.erase(c);
            } else if (a.entireRows()) {
                sheet_->requireFormatting(false, true);
                for (int32_t r = a.r1; r <= a.r2; ++r) v ? (void)m.manualHiddenRows_.insert(r) : (void)m.manualHiddenRows_.erase(r);
            } else {
                raise(err::HostRefusal, "Hidden applies to entire rows or columns.", kSource);
            }
        }
        sheet_->book().markChanged();
    }
    void AutoFit() override {
        sheet_->requireFormatting(true, false);
        SheetModel& m = sheet_->model();
        for (auto& a : areas_)
            for (int32_t c = a.c1; c <= std::min(a.c2, m.columnCount()); ++c) {
                const ColumnStore* s = m.column(c);
                if (!s) continue;
                size_t longest = 0;
                bool bold = false;
                for (int32_t r = s->nextFilled(a.r1); r && r <= a.r2; r = s->nextFilled(r + 1)) {
                    longest = std::max(longest, utf8Length(displayText(m.value(r, c))));
                    bold = bold || sheet_->styles()[s->styles.at(r)].bold;
                }
                if (longest) m.widths_[c] = std::min(255.0, std::round((longest * (bold ? 1.1 : 1.0) + 0.71) * 100) / 100);
            }
        sheet_->book().markChanged();
    }

    std::shared_ptr<host::Interior> Interior() override;
    std::shared_ptr<host::Font> Font() override;
    std::shared_ptr<host::Borders> Borders() override;
    void BorderAround(long lineStyle, long weight, long colorIndex, const Variant& color) override {
        long rgb = color.isMissing() ? paletteColor(*sheet_, colorIndex) : color.toLong();
        if (rgb < 0) rgb = 0;
        Edge e{static_cast<int16_t>(lineStyle), static_cast<int16_t>(weight), static_cast<int32_t>(rgb)};
        sheet_->requireFormatting(false, false);
        for (const Rect& a : areas_) {
            sheet_->applyStyle({{a.r1, a.c1, a.r1, a.c2}}, [&](CellStyle& s) { s.top = e; });
            sheet_->applyStyle({{a.r2, a.c1, a.r2, a.c2}}, [&](CellStyle& s) { s.bottom = e; });
            sheet_->applyStyle({{a.r1, a.c1, a.r2, a.c1}}, [&](CellStyle& s) { s.left = e; });
            sheet_->applyStyle({{a.r1, a.c2, a.r2, a.c2}}, [&](CellStyle& s) { s.right = e; });
        }
    }
    Variant Locked() const override {
        return sheet_->styleProperty(areas_, [](const CellStyle& s) { return Variant(s.locked); });
    }
    void SetLocked(bool v) override {
        sheet_->requireUnprotected("changing the Locked property");
        sheet_->applyStyle(areas_, [v](CellStyle& s) { s.locked = v; });
    }
    Variant NumberFormat() const override {
        return sheet_->styleProperty(areas_, [](const CellStyle& s) { return Variant(s.numberFormat); });
    }
    void SetNumberFormat(const std::string& format) override {
        checkNumberFormat(format);
        sheet_->requireFormatting(false, false);
        sheet_->applyStyle(areas_, [&](CellStyle& s) { s.numberFormat = format.empty() ? "General" : format; });
    }
    std::string Style() const override {
        Variant v = sheet_->styleProperty(areas_, [](const CellStyle& s) { return Variant(s.styleName); });
        return v.isNull() ? std::string("Normal") : v.text();
    }
    void SetStyle(const std::string& name) override {
        std::string format;
        if (equalsNoCase(name, "Normal")) format = "General";
        else if (equalsNoCase(name, "Comma")) format = kCommaStyleFormat;
        else if (equalsNoCase(name, "Comma [0]")) format = "#,##0";
        else if (equalsNoCase(name, "Percent")) format = kPercentStyleFormat;
        else if (equalsNoCase(name, "Currency")) format = "$ #,##0.00";
        else if (equalsNoCase(name, "Currency [0]")) format = "$ #,##0";
        else raise(err::HostRefusal, "The style \"" + name + "\" does not exist.", kSource);
        sheet_->requireFormatting(false, false);
        sheet_->applyStyle(areas_, [&](CellStyle& s) { s.styleName = name, s.numberFormat = format; });
    }
    Variant HorizontalAlignment() const override {
        return sheet_->styleProperty(areas_, [](const CellStyle& s) { return Variant(int(s.horizontalAlignment)); });
    }
    void SetHorizontalAlignment(long v) override {
        static const long allowed[] = {1, -4131, -4108, -4152, 5, 7, -4130, -4117};
        if (std::find(std::begin(allowed), std::end(allowed), v) == std::end(allowed))
            raise(err::HostRefusal, "Unknown horizontal alignment " + std::to_string(v) + ".", kSource);
        sheet_->requireFormatting(false, false);
        sheet_->applyStyle(areas_, [v](CellStyle& s) { s.horizontalAlignment = static_cast<int16_t>(v); });
    }

    void Copy() override {
        if (areas_.size() != 1) raise(err::HostRefusal, "That command cannot be used on multiple selections.", kSource);
        sheet_->app().setClipboard(EmbeddedApplication::Clipboard{sheet_, first()});
    }
    void Copy(const host::RangePtr& destination) override {
        if (areas_.size() != 1) raise(err::HostRefusal, "That command cannot be used on multiple selections.", kSource);
        rangeImpl(destination).pasteFrom(sheet_, first(), host::xl::PasteAll);
    }
    void PasteSpecial(int paste) override {
        auto& clip = sheet_->app().clipboard();
        if (!clip) raise(err::HostRefusal, "PasteSpecial method of Range class failed: nothing was copied.", kSource);
        pasteFrom(clip->sheet, clip->area, paste);
    }
    void pasteFrom(const std::shared_ptr<WorksheetImpl>& src, const Rect& s, int paste);
    void Select() override {
        if (sheet_->app().ActiveSheet().get() != sheet_.get())
            raise(err::HostRefusal, "Select method of Range class failed: its sheet is not the active sheet.", kSource);
        sheet_->setSelection(areas_, first().r1, first().c1);
    }
    void Activate() override {
        const SheetView& v = sheet_->model().view();
        for (auto& s : v.selection)
            if (areas_.size() == 1 && first().cells() == 1 && s.contains(first())) {
                if (sheet_->app().ActiveSheet().get() != sheet_.get())
                    raise(err::HostRefusal, "Activate method of Range class failed.", kSource);
                sheet_->setSelection(v.selection, first().r1, first().c1);
                return;
            }
        Select();
    }
    void Clear() override {
        sheet_->requireEditable(areas_);
        sheet_->requireFormatting(false, false);
        for (auto& a : areas_) sheet_->clearValues(a);
        sheet_->applyStyle(areas_, [](CellStyle& s) { s = CellStyle{}; });
        ClearComments();
        sheet_->setValidation(areas_, nullptr);
        sheet_->changed(areas_);
    }
    void ClearContents() override {
        sheet_->requireEditable(areas_);
        for (auto& a : areas_) sheet_->clearValues(a);
        sheet_->changed(areas_);
    }
    void ClearFormats() override {
        sheet_->requireFormatting(false, false);
        sheet_->applyStyle(areas_, [](CellStyle& s) { s = CellStyle{}; });
    }
    void ClearComments() override {
        auto& comments = sheet_->model().comments_;
        std::erase_if(comments, [&](const auto& kv) {
            for (auto& a : areas_)
                if (a.contains(kv.first.first, kv.first.second)) return true;
            return false;
        });
    }
    void Delete(const Variant& shift) override { insertOrDelete(false); }
    void Insert(const Variant& shift) override { insertOrDelete(true); }

    long CopyFromRecordset(host::RecordSource& data, long maxRows, long maxColumns) override;
    long writeHeldColumns(int32_t r0, int32_t c0, const ValueTable& held, size_t columns, size_t first, size_t count);
    host::CommentPtr AddComment(const std::string& text) override;
    host::CommentPtr Comment() override;
    host::ValidationPtr Validation() override;
    void AutoFilter() override;
    void AutoFilter(long field, const Variant& criteria1, int op, const Variant& criteria2) override;

private:
    host::RangePtr make(std::vector<Rect> areas) { return sheet_->range(std::move(areas)); }
    static Rect checked(const Rect& r) {
        if (r.r1 < 1 || r.c1 < 1 || r.r2 > kMaxRows || r.c2 > kMaxCols || r.r2 < r.r1 || r.c2 < r.c1)
            raise(err::HostRefusal, "The reference lies outside the worksheet.", kSource);
        return r;
    }
    static int32_t nextIn(const SheetModel& m, int32_t c, int32_t row) {
        const ColumnStore* s = m.column(c);
        return s ? s->nextFilled(row) : 0;
    }
    void insertOrDelete(bool insert) {
        std::vector<Rect> sorted = areas_;
        // From the bottom or right, so earlier areas keep their positions.
        std::sort(sorted.begin(), sorted.end(), [](const Rect& a, const Rect& b) { return a.r1 > b.r1 || a.c1 > b.c1; });
        for (auto& a : sorted) {
            if (a.entireRows()) {
                insert ? sheet_->insertRows(a.r1, a.rows()) : sheet_->deleteRows(a.r1, a.rows());
            } else if (a.entireColumns()) {
                insert ? sheet_->insertColumns(a.c1, a.cols()) : sheet_->deleteColumns(a.c1, a.cols());
            } else {
                raise(err::HostRefusal,
                      std::string(insert ? "Insert" : "Delete") + " is supported for entire rows or columns only (" +
                          Address() + ").", kSource);
            }
        }
        sheet_->changed(areas_);
    }

    std::shared_ptr<WorksheetImpl> sheet_;
    std::vector<Rect> areas_;
};

host::RangePtr WorksheetImpl::range(std::vector<Rect> areas) {
    return std::make_shared<RangeImpl>(shared_from_this(), std::move(areas));
}

RangeImpl& rangeImpl(const host::RangePtr& r) {
    auto* p = dynamic_cast<RangeImpl*>(r.get());
    if (!p) raise(err::TypeMismatch, "The range does not belong to this application.", kSource);
    return *p;
}
std::shared_ptr<WorksheetImpl> rangeSheet(const host::RangePtr& r) { return rangeImpl(r).sheet(); }
const std::vector<Rect>& rangeAreas(const host::RangePtr& r) { return rangeImpl(r).areas(); }

host::RangePtr RangeImpl::End(int direction) {
    const SheetModel& m = sheet_->model();
    int32_t r = first().r1, c = first().c1;
    auto filled = [&](int32_t row, int32_t col) { return !m.cell(row, col).empty(); };
    switch (direction) {
    case host::xl::Down: {
        const ColumnStore* s = m.column(c);
        if (r < kMaxRows && filled(r, c) && filled(r + 1, c)) {
            while (r < kMaxRows && filled(r + 1, c)) ++r;
        } else {
            int32_t next = s && r < kMaxRows ? s->nextFilled(r + 1) : 0;
            r = next ? next : kMaxRows;
        }
        break;
    }
    case host::xl::Up: {
        const ColumnStore* s = m.column(c);
        if (r > 1 && filled(r, c) && filled(r - 1, c)) {
            while (r > 1 && filled(r - 1, c)) --r;
        } else {
            int32_t prev = s && r > 1 ? s->prevFilled(r - 1) : 0;
            r = prev ? prev : 1;
        }
        break;
    }
    case host::xl::ToRight:
        if (c < kMaxCols && filled(r, c) && filled(r, c + 1)) {
            while (c < kMaxCols && filled(r, c + 1)) ++c;
        } else {
            int32_t k = c + 1;
            while (k <= m.columnCount() && !filled(r, k)) ++k;
            c = k <= m.columnCount() ? k : kMaxCols;
        }
        break;
    case host::xl::ToLeft:
        if (c > 1 && filled(r, c) && filled(r, c - 1)) {
            while (c > 1 && filled(r, c - 1)) --c;
        } else {
            int32_t k = std::min(c - 1, m.columnCount());
            while (k >= 1 && !filled(r, k)) --k;
            c = k >= 1 ? k : 1;
        }
        break;
    default: raise(err::HostRefusal, "End takes xlDown, xlUp, xlToLeft or xlToRight.", kSource);
    }
    return sheet_->Cells(r, c);
}

class AreasImpl : public host::Areas {
public:
    AreasImpl(std::shared_ptr<WorksheetImpl> s, std::vector<Rect> a) : sheet_(std::move(s)), areas_(std::move(a)) {}
    long Count() const override { return static_cast<long>(areas_.size()); }
    host::RangePtr Item(long i) override {
        if (i < 1 || i > Count()) raiseStandard(err::SubscriptOutOfRange, kSource);
        return sheet_->range(areas_[static_cast<size_t>(i - 1)]);
    }

private:
    std::shared_ptr<WorksheetImpl> sheet_;
    std::vector<Rect> areas_;
};

std::shared_ptr<host::Areas> RangeImpl::Areas() { return std::make_shared<AreasImpl>(sheet_, areas_); }

// ---- Formatting objects -------------------------------------------------------

class InteriorImpl : public host::Interior {
public:
    InteriorImpl(std::shared_ptr<WorksheetImpl> s, std::vector<Rect> a) : sheet_(std::move(s)), areas_(std::move(a)) {}
    Variant Color() const override {
        return sheet_->styleProperty(areas_, [](const CellStyle& s) { return Variant(s.fillColor < 0 ? 0xFFFFFF : s.fillColor); });
    }
    void SetColor(long rgb) override {
        checkColor(rgb);
        set(static_cast<int32_t>(rgb));
    }
    Variant ColorIndex() const override {
        auto& book = sheet_->book();
        return sheet_->styleProperty(areas_, [&book](const CellStyle& s) {
            if (s.fillColor < 0) return Variant(host::xl::ColorIndexNone);
            for (long i = 1; i <= 56; ++i)
                if (book.Colors(i) == s.fillColor) return Variant(int(i));
            return Variant(host::xl::ColorIndexNone);
        });
    }
    void SetColorIndex(long index) override {
        set(index == host::xl::ColorIndexNone ? -1 : static_cast<int32_t>(paletteColor(*sheet_, index)));
    }

private:
    void set(int32_t rgb) {
        sheet_->requireFormatting(false, false);
        sheet_->applyStyle(areas_, [rgb](CellStyle& s) { s.fillColor = rgb; });
    }
    std::shared_ptr<WorksheetImpl> sheet_;
    std::vector<Rect> areas_;
};

class FontImpl : public host::Font {
public:
    FontImpl(std::shared_ptr<WorksheetImpl> s, std::vector<Rect> a) : sheet_(std::move(s)), areas_(std::move(a)) {}
    Variant Bold() const override { return get([](const CellStyle& s) { return Variant(s.bold); }); }
    void SetBold(bool v) override { set([v](CellStyle& s) { s.bold = v; }); }
    Variant Italic() const override { return get([](const CellStyle& s) { return Variant(s.italic); }); }
    void SetItalic(bool v) override { set([v](CellStyle& s) { s.italic = v; }); }
    Variant Color() const override {
        return get([](const CellStyle& s) { return Variant(s.fontColor < 0 ? 0 : s.fontColor); });
    }
    void SetColor(long rgb) override {
        checkColor(rgb);
        set([rgb](CellStyle& s) { s.fontColor = static_cast<int32_t>(rgb); });
    }
    Variant ColorIndex() const override {
        auto& book = sheet_->book();
        return get([&book](const CellStyle& s) {
            if (s.fontColor < 0) return Variant(host::xl::ColorIndexAutomatic);
            for (long i = 1; i <= 56; ++i)
                if (book.Colors(i) == s.fontColor) return Variant(int(i));
            return Variant(host::xl::ColorIndexAutomatic);
        });
    }
    void SetColorIndex(long index) override {
        int32_t rgb = static_cast<int32_t>(paletteColor(*sheet_, index));
        set([rgb](CellStyle& s) { s.fontColor = rgb; });
    }
    Variant Size() const override { return get([](const CellStyle& s) { return Variant(s.fontSize); }); }
    void SetSize(double points) override {
        if (!(points >= 1 && points <= 409)) raise(err::HostRefusal, "A font size lies between 1 and 409 points.", kSource);
        set([points](CellStyle& s) { s.fontSize = points; });
    }

private:
    Variant get(const std::function<Variant(const CellStyle&)>& f) const { return sheet_->styleProperty(areas_, f); }
    void set(const std::function<void(CellStyle&)>& f) {
        sheet_->requireFormatting(false, false);
        sheet_->applyStyle(areas_, f);
    }
    std::shared_ptr<WorksheetImpl> sheet_;
    std::vector<Rect> areas_;
};

class BorderImpl : public host::Border {
public:
    BorderImpl(std::shared_ptr<WorksheetImpl> s, std::vector<Rect> a, long index)
        : sheet_(std::move(s)), areas_(std::move(a)), index_(index) {}
    Variant LineStyle() const override { return read([](const Edge& e) { return Variant(int(e.lineStyle)); }); }
    void SetLineStyle(long style) override { write([style](Edge& e) { e.lineStyle = static_cast<int16_t>(style); }); }
    Variant Color() const override { return read([](const Edge& e) { return Variant(int(e.color)); }); }
    void SetColor(long rgb) override {
        checkColor(rgb);
        write([rgb](Edge& e) {
            e.color = static_cast<int32_t>(rgb);
            if (e.lineStyle == host::xl::None) e.lineStyle = host::xl::Continuous;  // a coloured edge is drawn
        });
    }
    Variant Weight() const override { return read([](const Edge& e) { return Variant(int(e.weight)); }); }
    void SetWeight(long w) override {
        if (w != host::xl::Hairline && w != host::xl::Thin && w != host::xl::Medium && w != host::xl::Thick)
            raise(err::HostRefusal, "Unknown border weight " + std::to_string(w) + ".", kSource);
        write([w](Edge& e) {
            e.weight = static_cast<int16_t>(w);
            if (e.lineStyle == host::xl::None) e.lineStyle = host::xl::Continuous;
        });
    }

private:
    // The cells and the edge of each that the border index stands for.
    std::vector<std::pair<Rect, Edge CellStyle::*>> parts() const {
        std::vector<std::pair<Rect, Edge CellStyle::*>> out;
        for (const Rect& a : areas_) {
            switch (index_) {
            case host::xl::EdgeLeft: out.push_back({{a.r1, a.c1, a.r2, a.c1}, &CellStyle::left}); break;
            case host::xl::EdgeRight: out.push_back({{a.r1, a.c2, a.r2, a.c2}, &CellStyle::right}); break;
            case host::xl::EdgeTop: out.push_back({{a.r1, a.c1, a.r1, a.c2}, &CellStyle::top}); break;
            case host::xl::EdgeBottom: out.push_back({{a.r2, a.c1, a.r2, a.c2}, &CellStyle::bottom}); break;
            case host::xl::InsideVertical:
                if (a.c2 > a.c1) {
                    out.push_back({{a.r1, a.c1, a.r2, a.c2 - 1}, &CellStyle::right});
                    out.push_back({{a.r1, a.c1 + 1, a.r2, a.c2}, &CellStyle::left});
                }
                break;
            case host::xl::InsideHorizontal:
                if (a.r2 > a.r1) {
                    out.push_back({{a.r1, a.c1, a.r2 - 1, a.c2}, &CellStyle::bottom});
                    out.push_back({{a.r1 + 1, a.c1, a.r2, a.c2}, &CellStyle::top});
                }
                break;
            default: raise(err::HostRefusal, "Unknown border index " + std::to_string(index_) + ".", kSource);
            }
        }
        return out;
    }
    Variant read(const std::function<Variant(const Edge&)>& f) const {
        auto p = parts();
        if (p.empty()) return Variant(int(host::xl::None));
        auto member = p.front().second;
        return sheet_->styleProperty({p.front().first}, [&](const CellStyle& s) { return f(s.*member); });
    }
    void write(const std::function<void(Edge&)>& f) {
        sheet_->requireFormatting(false, false);
        for (auto& [rect, member] : parts()) sheet_->applyStyle({rect}, [&, m = member](CellStyle& s) { f(s.*m); });
    }
    std::shared_ptr<WorksheetImpl> sheet_;
    std::vector<Rect> areas_;
    long index_;
};

class BordersImpl : public host::Borders {
public:
    BordersImpl(std::shared_ptr<WorksheetImpl> s, std::vector<Rect> a) : sheet_(std::move(s)), areas_(std::move(a)) {}
    std::shared_ptr<host::Border> Item(long index) override {
        if (index < host::xl::EdgeLeft || index > host::xl::InsideHorizontal)
            raise(err::HostRefusal, "Unknown border index " + std::to_string(index) + ".", kSource);
        return std::make_shared<BorderImpl>(sheet_, areas_, index);
    }
    void SetLineStyle(long style) override {
        for (long i = host::xl::EdgeLeft; i <= host::xl::InsideHorizontal; ++i) Item(i)->SetLineStyle(style);
    }
    void SetColor(long rgb) override {
        for (long i = host::xl::EdgeLeft; i <= host::xl::InsideHorizontal; ++i) Item(i)->SetColor(rgb);
    }

private:
    std::shared_ptr<WorksheetImpl> sheet_;
    std::vector<Rect> areas_;
};

std::shared_ptr<host::Interior> RangeImpl::Interior() { return std::make_shared<InteriorImpl>(sheet_, areas_); }
std::shared_ptr<host::Font> RangeImpl::Font() { return std::make_shared<FontImpl>(sheet_, areas_); }
std::shared_ptr<host::Borders> RangeImpl::Borders() { return std::make_shared<BordersImpl>(sheet_, areas_); }

// ---- Comments ------------------------------------------------------------------

class CommentImpl : public host::Comment, public host::Shape, public std::enable_shared_from_this<CommentImpl> {
public:
    CommentImpl(std::shared_ptr<WorksheetImpl> s, int32_t r, int32_t c) : sheet_(std::move(s)), row_(r), col_(c) {}
    CommentData& data() const {
        auto& map = sheet_->model().comments_;
        auto it = map.find({row_, col_});
        if (it == map.end()) raise(err::ObjectRequired, "The comment has been deleted.", kSource);
        return it->second;
    }
    std::string Text() const override { return data().text; }
    void SetText(const std::string& t) override { data().text = t, changed(); }
    bool Visible() const override { return data().visible; }
    void SetVisible(bool v) override { data().visible = v, changed(); }
    std::shared_ptr<host::Shape> Shape() override {
        data();
        return std::shared_ptr<host::Shape>(shared_from_this(), static_cast<host::Shape*>(this));
    }
    void Delete() override {
        data();
        sheet_->requireUnprotected("deleting a comment");
        sheet_->model().comments_.erase({row_, col_});
        sheet_->book().markChanged();
    }
    double Width() const override { return data().width; }
    void SetWidth(double v) override { data().width = std::max(0.0, v), changed(); }
    double Height() const override { return data().height; }
    void SetHeight(double v) override { data().height = std::max(0.0, v), changed(); }
    void ScaleWidth(double f) override { SetWidth(data().width * f); }
    void ScaleHeight(double f) override { SetHeight(data().height * f); }
    long FillColor() const override { return data().fillColor; }
    void SetFillColor(long rgb) override { checkColor(rgb), data().fillColor = static_cast<int32_t>(rgb), changed(); }
    void SetFillSchemeColor(int scheme) override {
        // Scheme colours 8 and up are the palette entries from 1 on.
        if (scheme < 8 || scheme > 63) raise(err::HostRefusal, "Unknown scheme colour.", kSource);
        SetFillColor(sheet_->book().Colors(scheme - 7));
    }
    long LineColor() const override { return data().lineColor; }
    void SetLineColor(long rgb) override { checkColor(rgb), data().lineColor = static_cast<int32_t>(rgb), changed(); }
    bool Shadow() const override { return data().shadow; }
    void SetShadow(bool v) override { data().shadow = v, changed(); }
    long TextColorIndex() const override { return data().textColorIndex; }
    void SetTextColorIndex(long i) override {
        if (i != host::xl::ColorIndexAutomatic) paletteColor(*sheet_, i);
        data().textColorIndex = static_cast<int32_t>(i), changed();
    }
    double TextSize() const override { return data().textSize; }
    void SetTextSize(double p) override {
        if (!(p >= 1 && p <= 409)) raise(err::HostRefusal, "A font size lies between 1 and 409 points.", kSource);
        data().textSize = p, changed();
    }

private:
    void changed() { sheet_->book().markChanged(); }
    std::shared_ptr<WorksheetImpl> sheet_;
    int32_t row_, col_;
};

host::CommentPtr RangeImpl::AddComment(const std::string& text) {
    const auto& p = sheet_->model().protection_;
    if (p.on && p.options.drawingObjects && !p.options.userInterfaceOnly)
        raise(err::HostRefusal, "The sheet is protected: comments cannot be added.", kSource);
    auto& map = sheet_->model().comments_;
    std::pair<int32_t, int32_t> key{first().r1, first().c1};
    if (map.count(key)) raise(err::HostRefusal, "The cell " + addressA1({key.first, key.second, key.first, key.second}) +
                                                    " already has a comment.", kSource);
    map[key].text = text;
    sheet_->book().markChanged();
    return std::make_shared<CommentImpl>(sheet_, key.first, key.second);
}

host::CommentPtr RangeImpl::Comment() {
    if (!sheet_->model().comments_.count({first().r1, first().c1})) return nullptr;
    return std::make_shared<CommentImpl>(sheet_, first().r1, first().c1);
}

// ---- Validation ------------------------------------------------------------------

class ValidationImpl : public host::Validation {
public:
    ValidationImpl(std::shared_ptr<WorksheetImpl> s, std::vector<Rect> a) : sheet_(std::move(s)), areas_(std::move(a)) {}

    void Add(int type, const Variant& alert, const Variant& op, const Variant& f1, const Variant& f2) override {
        sheet_->requireUnprotected("changing data validation");
        for (auto& rule : sheet_->model().validations())
            for (auto& ra : rule.areas)
                for (auto& a : areas_)
                    if (ra.intersects(a))
                        raise(err::HostRefusal, "The cells already have a validation rule; delete it first.", kSource);
        ValidationRule r;
        fill(r, type, alert, op, f1, f2);
        sheet_->setValidation(areas_, &r);
    }
    void Modify(int type, const Variant& alert, const Variant& op, const Variant& f1, const Variant& f2) override {
        sheet_->requireUnprotected("changing data validation");
        ValidationRule r = rule();
        fill(r, type, alert, op, f1, f2);
        sheet_->setValidation(areas_, &r);
    }
    void Delete() override {
        sheet_->requireUnprotected("changing data validation");
        sheet_->setValidation(areas_, nullptr);
    }
    int Type() const override { return rule().type; }
    int AlertStyle() const override { return rule().alertStyle; }
    int Operator() const override { return rule().op; }
    std::string Formula1() const override { return rule().formula1; }
    std::string Formula2() const override { return rule().formula2; }
    std::string ErrorTitle() const override { return text(&ValidationRule::errorTitle); }
    void SetErrorTitle(const std::string& v) override { set(&ValidationRule::errorTitle, v, 32); }
    std::string ErrorMessage() const override { return text(&ValidationRule::errorMessage); }
    void SetErrorMessage(const std::string& v) override { set(&ValidationRule::errorMessage, v, 255); }
    std::string InputTitle() const override { return text(&ValidationRule::inputTitle); }
    void SetInputTitle(const std::string& v) override { set(&ValidationRule::inputTitle, v, 32); }
    std::string InputMessage() const override { return text(&ValidationRule::inputMessage); }
    void SetInputMessage(const std::string& v) override { set(&ValidationRule::inputMessage, v, 255); }
    bool IgnoreBlank() const override { return rule().ignoreBlank; }
    void SetIgnoreBlank(bool v) override { change([v](ValidationRule& r) { r.ignoreBlank = v; }); }
    bool InCellDropdown() const override { return rule().inCellDropdown; }
    void SetInCellDropdown(bool v) override { change([v](ValidationRule& r) { r.inCellDropdown = v; }); }
    bool ShowError() const override { return rule().showError; }
    void SetShowError(bool v) override { change([v](ValidationRule& r) { r.showError = v; }); }
    bool Value() const override {
        const ValidationRule* r = sheet_->model().validationAt(areas_.front().r1, areas_.front().c1);
        return !r || sheet_->passes(*r, sheet_->model().value(areas_.front().r1, areas_.front().c1));
    }

private:
    const ValidationRule& rule() const {
        const ValidationRule* r = sheet_->model().validationAt(areas_.front().r1, areas_.front().c1);
        if (!r) raise(err::HostRefusal, "The cells have no validation rule.", kSource);
        return *r;
    }
    std::string text(std::string ValidationRule::*m) const {
        const ValidationRule* r = sheet_->model().validationAt(areas_.front().r1, areas_.front().c1);
        return r ? r->*m : std::string();
    }
    void change(const std::function<void(ValidationRule&)>& f) {
        sheet_->requireUnprotected("changing data validation");
        ValidationRule r = rule();
        f(r);
        sheet_->setValidation(areas_, &r);
    }
    void set(std::string ValidationRule::*m, const std::string& v, size_t max) {
        if (utf8Length(v) > max)
            raise(err::HostRefusal, "The text is longer than the " + std::to_string(max) + " characters the host allows.", kSource);
        change([&](ValidationRule& r) { r.*m = v; });
    }
    static void fill(ValidationRule& r, int type, const Variant& alert, const Variant& op, const Variant& f1,
                     const Variant& f2) {
        if (type < 0 || type > 7) raise(err::HostRefusal, "Unknown validation type " + std::to_string(type) + ".", kSource);
        int a = alert.isMissing() ? host::xl::ValidAlertStop : alert.toLong();
        int o = op.isMissing() ? host::xl::Between : op.toLong();
        if (a < 1 || a > 3) raise(err::HostRefusal, "Unknown alert style " + std::to_string(a) + ".", kSource);
        if (o < 1 || o > 8) raise(err::HostRefusal, "Unknown validation operator " + std::to_string(o) + ".", kSource);
        bool needs = type != host::xl::ValidateInputOnly;
        if (needs && formulaText(f1).empty())
            raise(err::HostRefusal, "The validation rule needs a first formula (Formula1).", kSource);
        bool two = (type >= 1 && type <= 6 && type != host::xl::ValidateList) && (o == host::xl::Between || o == host::xl::NotBetween);
        if (two && formulaText(f2).empty())
            raise(err::HostRefusal, "Between and not-between need a second formula (Formula2).", kSource);
        r.type = type, r.alertStyle = a, r.op = o;
        r.formula1 = boundText(f1);
        r.formula2 = two ? boundText(f2) : std::string();
    }
    std::shared_ptr<WorksheetImpl> sheet_;
    std::vector<Rect> areas_;
};

host::ValidationPtr RangeImpl::Validation() { return std::make_shared<ValidationImpl>(sheet_, areas_); }

// ---- Copy and paste ----------------------------------------------------------------

void RangeImpl::pasteFrom(const std::shared_ptr<WorksheetImpl>& src, const Rect& s, int paste) {
    if (paste != host::xl::PasteAll && paste != host::xl::PasteValues && paste != host::xl::PasteFormats &&
        paste != host::xl::PasteValidation && paste != host::xl::PasteComments)
        raise(err::HostRefusal, "Unknown paste type " + std::to_string(paste) + ".", kSource);
    // One copy at a single target cell; otherwise the source repeats over the target.
    std::vector<Rect> targets;
    for (const Rect& a : areas_)
        targets.push_back(a.cells() == 1 ? checked({a.r1, a.c1, a.r1 + s.rows() - 1, a.c1 + s.cols() - 1}) : a);
    bool values = paste == host::xl::PasteAll || paste == host::xl::PasteValues;
    bool formats = paste == host::xl::PasteAll || paste == host::xl::PasteFormats;
    bool validation = paste == host::xl::PasteAll || paste == host::xl::PasteValidation;
    bool comments = paste == host::xl::PasteAll || paste == host::xl::PasteComments;
    if (values) sheet_->requireEditable(targets);
    if (formats) sheet_->requireFormatting(false, false);
    if (validation) sheet_->requireUnprotected("pasting data validation");
    int64_t total = 0;
    for (auto& t : targets) total += t.cells();
    if (total > kMaxBulkCells) raise(err::HostRefusal, "The paste area is too large.", kSource);

    // Read the source first: it may overlap the target.
    const SheetModel& sm = src->model();
    std::vector<Variant> vals;
    std::vector<uint32_t> styles;
    std::vector<const ValidationRule*> rules;
    std::vector<ValidationRule> ruleCopies;
    std::vector<std::optional<CommentData>> notes;
    for (int32_t r = s.r1; r <= s.r2; ++r)
        for (int32_t c = s.c1; c <= s.c2; ++c) {
            vals.push_back(sm.value(r, c));
            styles.push_back(sm.styleAt(r, c));
            const ValidationRule* v = sm.validationAt(r, c);
            ruleCopies.push_back(v ? *v : ValidationRule{});
            rules.push_back(v);
            auto it = sm.comments().find({r, c});
            notes.push_back(it == sm.comments().end() ? std::nullopt : std::optional<CommentData>(it->second));
        }
    // Styles are per workbook: a copy from another workbook is interned again.
    StyleTable& dstTable = sheet_->styles();
    const StyleTable& srcTable = src->styles();
    bool sameBook = &dstTable == &srcTable;
    SheetModel& dm = sheet_->model();
    for (const Rect& t : targets) {
        if (validation && s.cells() == 1) {
            sheet_->setValidation({t}, rules[0] ? &ruleCopies[0] : nullptr);
        }
        for (int32_t r = t.r1; r <= t.r2; ++r)
            for (int32_t c = t.c1; c <= t.c2; ++c) {
                size_t i = static_cast<size_t>(((r - t.r1) % s.rows()) * s.cols() + (c - t.c1) % s.cols());
                if (values) sheet_->writeCell(r, c, vals[i]);
                if (formats) {
                    uint32_t id = sameBook ? styles[i] : dstTable.intern(srcTable[styles[i]]);
                    dm.columnForWrite(c).styles.set(r, r, id);
                }
                if (validation && s.cells() > 1) sheet_->setValidation({{r, c, r, c}}, rules[i] ? &ruleCopies[i] : nullptr);
                if (comments && notes[i]) dm.comments_[{r, c}] = *notes[i];
            }
    }
    sheet_->book().markChanged();
    if (values) sheet_->changed(targets);
}

// ---- Bulk load -------------------------------------------------------------------

// Columns without a text touch nothing but their own store: on a large copy
// a second thread writes those while this one writes the texts into the
// sheet's one string pool.
long RangeImpl::writeHeldColumns(int32_t r0, int32_t c0, const ValueTable& held, size_t columns, size_t first, size_t count) {
    constexpr size_t kBeside = 20000;
    std::vector<size_t> plain, texts;
    for (size_t f = 0; f < columns; ++f) {
        sheet_->model().columnForWrite(c0 + int32_t(f));  // every store exists before the threads start
        const ValueColumn& col = held.column(f);
        bool text = count < kBeside;
        for (size_t k = first; k < first + count && !text; ++k) text = col.type(k) == VarType::String;
        (text ? texts : plain).push_back(f);
    }
    auto write = [&](const std::vector<size_t>& which) {
        long refused = 0;
        for (size_t f : which) refused += sheet_->writeHeld(r0, c0 + int32_t(f), held.column(f), first, count);
        return refused;
    };
    auto beside = plain.empty() ? std::future<long>() : std::async(std::launch::async, write, std::cref(plain));
    long refused = 0;
    try {
        refused = write(texts);
    } catch (...) {
        if (beside.valid()) beside.wait();
        throw;
    }
    return refused + (beside.valid() ? beside.get() : 0);
}

long RangeImpl::CopyFromRecordset(host::RecordSource& data, long maxRows, long maxColumns) {
    const int32_t r0 = first().r1, c0 = first().c1;
    long fields = data.FieldCount();
    if (maxColumns >= 0) fields = std::min(fields, maxColumns);
    fields = std::min<long>(fields, kMaxCols - c0 + 1);
    if (fields <= 0) return 0;
    long written = 0, skipped = 0;
    // Rows the source holds compactly are read where they lie, column by column.
    std::shared_ptr<const ValueTable> held;
    long first = 0;
    long room = std::min<long>(kMaxRows - r0 + 1, maxRows < 0 ? long(kMaxRows) : maxRows);
    long got = room > 0 ? data.FetchHeld(room, held, first) : 0;
    if (got >= 0 && (got == 0 || held)) {
        // A source still reading lends its rows in parts as they arrive.
        try {
            while (got > 0) {
                const int32_t top = int32_t(r0 + written);
                sheet_->requireEditable({{top, c0, int32_t(top + got - 1), int32_t(c0 + fields - 1)}});
                skipped += writeHeldColumns(top, c0, *held,
                                            static_cast<size_t>(std::min<long>(fields, long(held->columnCount()))),
                                            static_cast<size_t>(first), static_cast<size_t>(got));
                written += got;
                room -= got;
                got = room > 0 ? data.FetchHeld(room, held, first) : 0;
            }
        } catch (...) {
            // What was written stands, and is shown.
            if (written > 0) sheet_->changed({{r0, c0, int32_t(r0 + written - 1), int32_t(c0 + fields - 1)}});
            throw;
        }
        maxRows = written;  // nothing more to fetch
    }
    std::vector<std::vector<Variant>> columns;
    while (maxRows < 0 || written < maxRows) {
        long room = kMaxRows - r0 + 1 - written;
        if (room <= 0) break;
        long want = std::min<long>(4096, room);
        if (maxRows >= 0) want = std::min(want, maxRows - written);
        columns.assign(static_cast<size_t>(data.FieldCount()), {});
        long got = data.FetchColumns(want, columns);
        if (got <= 0) break;
        Rect block{int32_t(r0 + written), c0, int32_t(r0 + written + got - 1), int32_t(c0 + fields - 1)};
        sheet_->requireEditable({block});
        for (long f = 0; f < fields; ++f) {
            const auto& col = columns[static_cast<size_t>(f)];
            for (long i = 0; i < got && i < static_cast<long>(col.size()); ++i) {
                const Variant& v = col[static_cast<size_t>(i)];
                if (v.isBytes()) {
                    ++skipped;  // binary data has no cell form
                    continue;
                }
                sheet_->writeCell(block.r1 + int32_t(i), c0 + int32_t(f), v);
            }
        }
        written += got;
    }
    if (written > 0) sheet_->changed({{r0, c0, int32_t(r0 + written - 1), int32_t(c0 + fields - 1)}});
    if (skipped)
        raise(err::HostRefusal, std::to_string(skipped) + " value(s) have no cell form (binary data, a text over 32767 characters, an infinite number) and were left out; the other values were copied.", kSource);
    return written;
}

// ---- AutoFilter on a range ------------------------------------------------------------

void RangeImpl::AutoFilter() {
    SheetModel& m = sheet_->model();
    if (m.autoFilter_) {
        sheet_->requireUnprotected("removing the AutoFilter");
        sheet_->removeAutoFilter();
    } else {
        sheet_->requireUnprotected("adding an AutoFilter");
        Rect r = first();
        if (r.cells() == 1) {
            // A single cell stands for the block of filled cells around it.
            while (r.c2 < kMaxCols && !m.cell(r.r1, r.c2 + 1).empty()) ++r.c2;
            while (r.r2 < kMaxRows && !m.cell(r.r2 + 1, r.c1).empty()) ++r.r2;
        }
        sheet_->setAutoFilter(r);
    }
    sheet_->book().markChanged();
}

void RangeImpl::AutoFilter(long field, const Variant& criteria1, int op, const Variant& criteria2) {
    SheetModel& m = sheet_->model();
    const auto& p = m.protection_;
    bool allowed = !p.on || p.options.userInterfaceOnly || (p.options.allowFiltering && m.autoFilter_);
    if (!allowed) raise(err::HostRefusal, "The sheet is protected: the AutoFilter cannot be changed.", kSource);
    if (!m.autoFilter_ || !m.autoFilter_->range.contains(Rect{first().r1, first().c1, first().r1, first().c1})) {
        if (p.on && !p.options.userInterfaceOnly)
            raise(err::HostRefusal, "The sheet is protected: an AutoFilter cannot be added.", kSource);
        sheet_->setAutoFilter(first());
    }
    auto& af = *m.autoFilter_;
    if (field < 1 || field > static_cast<long>(af.columns.size()))
        raise(err::HostRefusal, "AutoFilter: field " + std::to_string(field) + " lies outside the filter range.", kSource);
    if (op != host::xl::And && op != host::xl::Or)
        raise(err::HostRefusal, "AutoFilter: only the And and Or operators are supported.", kSource);
    FilterCriteria& f = af.columns[static_cast<size_t>(field - 1)];
    if (criteria1.isMissing()) {
        f = FilterCriteria{};
    } else {
        f.on = true;
        f.criteria1 = Variant(formulaText(criteria1));
        f.criteria2 = criteria2.isMissing() ? Variant::missing() : Variant(formulaText(criteria2));
        f.op = op;
    }
    sheet_->applyFilters();
}

}  // namespace dalvera::platform
