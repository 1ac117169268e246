#pragma once
// The stored state of workbooks and worksheets, with read access for the file
// writers: cells in row order with their style ids, the style table, columns,
// validation, comments, names, protection, visibility, panes, AutoFilter and
// document properties. Writers read; only the object model changes the state.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/Excel.h"
#include "platform/sheets/CellStore.h"

namespace dalvera::platform {

struct ValidationRule {
    std::vector<Rect> areas;
    int type = 0;
    int alertStyle = 1;
    int op = 1;
    std::string formula1, formula2;
    std::string errorTitle, errorMessage, inputTitle, inputMessage;
    bool ignoreBlank = true;
    bool inCellDropdown = true;
    bool showError = true;
    bool showInput = true;
};

struct CommentData {
    std::string text;
    std::string author;
    bool visible = false;
    double width = 96, height = 55.5;
    int32_t fillColor = 0xE1FFFF;  // pale yellow
    int32_t lineColor = 0;
    bool shadow = true;
    int32_t textColorIndex = -4105;
    double textSize = 9;
};

struct SheetProtection {
    bool on = false;
    std::string password;
    host::ProtectOptions options;
};

struct FilterCriteria {
    bool on = false;
    Variant criteria1, criteria2;  // Missing when absent
    int op = 1;
};

struct AutoFilterState {
    Rect range;
    std::vector<FilterCriteria> columns;  // one per column of the range
};

struct SheetView {
    bool displayHeadings = true;
    bool displayZeros = true;
    bool displayGridlines = true;
    bool frozen = false;
    int32_t splitRow = 0, splitColumn = 0;  // rows and columns above and left of the split
    int32_t scrollRow = 1, scrollColumn = 1;
    std::vector<Rect> selection{Rect{}};
    int32_t activeRow = 1, activeColumn = 1;
};

class WorkbookModel;

// One worksheet's state.
class SheetModel {
public:
    explicit SheetModel(WorkbookModel& book, uint32_t id) : book_(&book), id_(id) {}

    uint32_t id() const { return id_; }
    const std::string& name() const { return name_; }
    int visibility() const { return visibility_; }  // host::xl::SheetVisible / Hidden / VeryHidden
    const WorkbookModel& workbook() const { return *book_; }

    // Values.
    Variant value(int32_t row, int32_t col) const;
    Variant toVariant(const CellValue& v) const;
    CellValue cell(int32_t row, int32_t col) const;
    std::string_view text(const CellValue& v) const { return strings_.get(v.textId()); }
    const StringPool& strings() const { return strings_; }
    uint32_t styleAt(int32_t row, int32_t col) const;
    const StyleRuns& columnStyles(int32_t col) const;

    // Every cell holding a value, row by row, left to right: fn(row, col, value, style id).
    // With styledBlanks, also the empty cells of the used range whose style differs
    // from their column's whole-column style.
    template <class Fn>
    void forEachCell(Fn&& fn, bool styledBlanks = false) const;

    // The bounding rectangle of values, comments and cell formats; nullopt when empty.
    std::optional<Rect> usedRect() const;
    int32_t columnCount() const { return static_cast<int32_t>(columns_.size()); }

    // Columns and rows.
    double columnWidth(int32_t col) const;
    bool columnHidden(int32_t col) const { return hiddenColumns_.count(col) != 0; }
    const std::map<int32_t, double>& columnWidths() const { return widths_; }
    const std::set<int32_t>& hiddenColumns() const { return hiddenColumns_; }
    bool rowHidden(int32_t row) const { return manualHiddenRows_.count(row) || filterHiddenRows_.count(row); }
    const std::set<int32_t>& filterHiddenRows() const { return filterHiddenRows_; }
    const std::set<int32_t>& manualHiddenRows() const { return manualHiddenRows_; }
    static constexpr double kDefaultColumnWidth = 8.43;

    const std::vector<ValidationRule>& validations() const { return validations_; }
    const ValidationRule* validationAt(int32_t row, int32_t col) const;
    const std::map<std::pair<int32_t, int32_t>, CommentData>& comments() const { return comments_; }
    const SheetProtection& protection() const { return protection_; }
    int enableSelection() const { return enableSelection_; }
    const std::optional<AutoFilterState>& autoFilter() const { return autoFilter_; }
    const SheetView& view() const { return view_; }

private:
    friend class WorksheetImpl;
    friend class RangeImpl;
    friend class WorkbookImpl;
    friend class CommentImpl;
    friend class ValidationImpl;
    friend class NamesImpl;
    friend class NameImpl;
    friend class WindowImpl;

    ColumnStore* column(int32_t col) const;
    ColumnStore& columnForWrite(int32_t col);

    WorkbookModel* book_;
    uint32_t id_;
    std::string name_;
    int visibility_ = -1;
    std::vector<std::unique_ptr<ColumnStore>> columns_;
    StyleRuns defaultStyles_;  // for columns that have no store yet
    StringPool strings_;
    std::map<int32_t, double> widths_;
    std::set<int32_t> hiddenColumns_;
    std::set<int32_t> manualHiddenRows_, filterHiddenRows_;
    std::vector<ValidationRule> validations_;
    std::map<std::pair<int32_t, int32_t>, CommentData> comments_;
    SheetProtection protection_;
    int enableSelection_ = 0;
    std::optional<AutoFilterState> autoFilter_;
    SheetView view_;
};

// A workbook name: a rectangle of a sheet (by id), or a formula text.
struct NameDef {
    std::string name;
    uint32_t sheetId = 0;  // 0: not a range
    Rect area;
    bool refError = false;  // its cells were deleted
    std::string formula;    // "=..." when not a range
    bool visible = true;
};

class WorkbookModel {
public:
    WorkbookModel();
    const std::string& name() const { return name_; }
    const std::string& path() const { return path_; }
    const std::vector<std::unique_ptr<SheetModel>>& sheets() const { return sheets_; }
    const SheetModel* sheetById(uint32_t id) const;
    const StyleTable& styles() const { return styles_; }
    const std::vector<NameDef>& names() const { return names_; }
    std::string refersToR1C1(const NameDef& n) const;
    std::string refersToA1(const NameDef& n) const;
    bool structureProtected() const { return structureProtected_; }
    bool windowsProtected() const { return windowsProtected_; }
    const std::string& structurePassword() const { return structurePassword_; }
    const std::map<std::string, Variant>& documentProperties() const { return properties_; }
    const std::array<int32_t, 56>& palette() const { return palette_; }
    bool isAddin() const { return isAddin_; }
    int activeSheetIndex() const { return activeSheet_; }  // 0-based

private:
    friend class WorkbookImpl;
    friend class WorksheetImpl;
    friend class RangeImpl;
    friend class CommentImpl;
    friend class ValidationImpl;
    friend class NamesImpl;
    friend class NameImpl;
    friend class WindowImpl;
    friend class SheetModel;

    std::string name_, path_;
    std::vector<std::unique_ptr<SheetModel>> sheets_;
    uint32_t nextSheetId_ = 1;
    StyleTable styles_;
    std::vector<NameDef> names_;
    bool structureProtected_ = false, windowsProtected_ = false;
    std::string structurePassword_;
    std::map<std::string, Variant> properties_;
    std::array<int32_t, 56> palette_{};
    bool isAddin_ = false;
    int activeSheet_ = 0;
};

// The state behind an object of this platform; error 13 for foreign objects.
const WorkbookModel& workbookModel(const host::Workbook& workbook);
const SheetModel& sheetModel(const host::Worksheet& sheet);

// A number bound of a validation rule in the '.' notation; a bound past the
// range of a Double is read as that range's end.
bool parseRuleNumber(std::string_view text, double& out);

// Column letters of a number: 28 gives "AB".
std::string columnLetters(int32_t col);
std::string addressA1(const Rect& r, bool rowAbs = true, bool colAbs = true);

template <class Fn>
void SheetModel::forEachCell(Fn&& fn, bool styledBlanks) const {
    auto used = usedRect();
    if (!used) return;
    int32_t c1 = used->c1, c2 = std::min<int32_t>(used->c2, columnCount());
    struct Cursor {
        const ColumnStore* col;
        int32_t next;  // next filled row
        std::map<int32_t, uint32_t>::const_iterator run, runEnd;
        uint32_t base;
    };
    std::vector<Cursor> cur;
    for (int32_t c = c1; c <= c2; ++c) {
        const ColumnStore* col = column(c);
        const StyleRuns& st = col ? col->styles : defaultStyles_;
        cur.push_back({col, col ? col->nextFilled(used->r1) : 0, st.runs().begin(), st.runs().end(), st.base()});
    }
    for (int32_t r = used->r1; r <= used->r2; ++r) {
        for (size_t i = 0; i < cur.size(); ++i) {
            Cursor& k = cur[i];
            while (std::next(k.run) != k.runEnd && std::next(k.run)->first <= r) ++k.run;
            uint32_t style = k.run->second;
            if (k.next == r) {
                fn(r, static_cast<int32_t>(c1 + i), k.col->get(r), style);
                k.next = k.col->nextFilled(r + 1);
            } else if (styledBlanks && style != k.base) {
                fn(r, static_cast<int32_t>(c1 + i), CellValue{}, style);
            }
        }
    }
}

}  // namespace dalvera::platform
