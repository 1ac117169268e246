#pragma once
// Saving a workbook as .xlsx. The writer knows nothing of the spreadsheet model:
// the model describes what to save in the plain structures below and hands the
// description to saveXlsx. Row and column numbers are 1-based, as in the host.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/Variant.h"

namespace dalvera::platform::xlsx {

// Horizontal alignment, as the host numbers it.
constexpr long kAlignGeneral = 1;
constexpr long kAlignLeft = -4131;
constexpr long kAlignCenter = -4108;
constexpr long kAlignRight = -4152;
constexpr long kAlignJustify = -4130;

// The host keeps colours as 0xBBGGRR; the description uses 0xRRGGBB.
constexpr std::uint32_t rgbFromHostColor(long hostColor) {
    const auto c = static_cast<std::uint32_t>(hostColor) & 0xFFFFFFu;
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// One interned cell style. Cells and columns refer to it by its index in
// WorkbookDescription::styles; a negative index means the workbook's default.
struct CellStyle {
    std::string numberFormat;              // empty: General
    std::optional<std::uint32_t> fill;     // 0xRRGGBB, solid; none when empty
    std::optional<std::uint32_t> fontColor;
    bool bold = false;
    double fontSize = 11;
    long horizontalAlignment = kAlignGeneral;
    bool borderLeft = false;               // thin when set
    bool borderRight = false;
    bool borderTop = false;
    bool borderBottom = false;
    bool locked = true;
};

struct CellRange {
    long firstRow = 1;
    long firstCol = 1;
    long lastRow = 1;
    long lastCol = 1;
};

struct ColumnEntry {
    long firstCol = 1;
    long lastCol = 1;
    std::optional<double> width;           // characters; the default width when empty
    bool hidden = false;
    int style = -1;
};

struct RowEntry {
    long row = 1;
    std::optional<double> height;          // points; the default height when empty
    bool hidden = false;                   // e.g. left out by the AutoFilter
};

enum class SheetVisibility : int { Visible = -1, Hidden = 0, VeryHidden = 2 };

// The host's validation constants.
enum class ValidationType : int {
    Any = 0, WholeNumber = 1, Decimal = 2, List = 3, Date = 4, Time = 5, TextLength = 6, Custom = 7
};
enum class ValidationOperator : int {
    Between = 1, NotBetween = 2, Equal = 3, NotEqual = 4,
    Greater = 5, Less = 6, GreaterOrEqual = 7, LessOrEqual = 8
};
enum class AlertStyle : int { Stop = 1, Warning = 2, Information = 3 };

struct DataValidation {
    std::vector<CellRange> ranges;
    ValidationType type = ValidationType::Any;
    ValidationOperator op = ValidationOperator::Between;
    // As the host takes them: a number or date serial text ("10"), a formula
    // ("=A1", "=lst_1"), or for a list the items themselves ("a,b,c").
    std::string formula1;
    std::string formula2;                  // only for Between and NotBetween
    AlertStyle alertStyle = AlertStyle::Stop;
    bool ignoreBlank = true;
    bool inCellDropdown = true;
    bool showInput = true;
    bool showError = true;
    std::string inputTitle;
    std::string inputMessage;
    std::string errorTitle;
    std::string errorMessage;
};

struct CellComment {
    long row = 1;
    long col = 1;
    std::string text;
    std::string author;
    bool visible = false;
};

// Allowances left to the user while the sheet is protected.
struct SheetProtection {
    bool on = false;
    std::string password;                  // empty: protected without a password
    bool allowFormattingCells = false;
    bool allowFormattingColumns = false;
    bool allowFormattingRows = false;
    bool allowInsertingColumns = false;
    bool allowInsertingRows = false;
    bool allowInsertingHyperlinks = false;
    bool allowDeletingColumns = false;
    bool allowDeletingRows = false;
    bool allowSorting = false;
    bool allowFiltering = false;
    bool allowUsingPivotTables = false;
    bool selectLockedCells = true;
    bool selectUnlockedCells = true;
};

// The host's AutoFilter operators; only the two joining ones are written.
enum class FilterOperator : int { And = 1, Or = 2 };

struct FilterColumn {
    long field = 1;                        // 1-based within the filter range
    std::string criteria1;                 // "=x", ">5", "<>", "=" (blanks), "x*"
    FilterOperator op = FilterOperator::And;
    std::string criteria2;                 // empty: one criterion
};

struct AutoFilterDescription {
    bool on = false;
    CellRange range;
    std::vector<FilterColumn> filters;
};

struct WindowSettings {
    bool showGridLines = true;
    bool showHeadings = true;
    bool showZeros = true;
    long freezeRows = 0;                   // rows above the frozen split
    long freezeCols = 0;
    long scrollRow = 1;                    // the top-left visible cell (below and right of a frozen split)
    long scrollColumn = 1;
    std::optional<CellRange> selection;    // its first cell is the active cell
};

// Receives the cells of one sheet. Cells must come in row-major order
// (row by row, left to right); the writer streams them to disk as they arrive.
class CellSink {
public:
    virtual void cell(long row, long col, const Variant& value, int style) = 0;

protected:
    ~CellSink() = default;
};
using CellSource = std::function<void(CellSink&)>;

struct SheetDescription {
    std::string name;
    SheetVisibility visibility = SheetVisibility::Visible;
    std::vector<ColumnEntry> columns;
    CellSource cells;                      // may be empty: no cells
    std::vector<RowEntry> rows;            // any order; one entry per row
    std::vector<DataValidation> validations;
    std::vector<CellComment> comments;
    SheetProtection protection;
    AutoFilterDescription autoFilter;
    WindowSettings window;
};

struct DefinedName {
    std::string name;
    std::string refersTo;                  // A1 form: "=Lijsten!$A$1:$A$3"
    std::string scopeSheet;                // empty: the whole workbook
};

struct DocumentProperties {
    std::string title;
    std::string subject;
    std::string author;
    std::string company;
    std::string comments;
    // Written as the custom property "Revision Number": the library writes no
    // built-in revision.
    std::optional<long> revisionNumber;
};

struct WorkbookDescription {
    std::vector<CellStyle> styles;
    std::vector<SheetDescription> sheets;
    std::vector<DefinedName> names;
    bool protectStructure = false;
    std::string structurePassword;
    DocumentProperties properties;
    int activeSheet = 1;                   // 1-based; must be a visible sheet
};

// Writes the workbook to path. The file appears only when it is complete: the
// writer fills a temporary file in the same folder and renames it. Raises
// Error 1004 when the workbook cannot be saved (bad sheet name, cell outside
// the grid, cells out of order, unwritable folder, ...); an existing file at
// path is then left as it was.
void saveXlsx(const WorkbookDescription& workbook, const std::string& path);

// Largest grid the format holds.
constexpr long kMaxRows = 1048576;
constexpr long kMaxCols = 16384;
// Longest text a cell holds, in characters; longer texts are cut to it.
constexpr std::size_t kMaxCellText = 32767;

}  // namespace dalvera::platform::xlsx
