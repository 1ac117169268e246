#pragma once
// The spreadsheet host's object model, as far as the engine uses it: the
// application, workbooks, worksheets, ranges and their formatting, validation,
// comments, names, AutoFilter and the window. Members carry the host's names so
// the engine reads like the automation code it stands for. Shared automation
// objects are std::shared_ptr; a member that the host would raise on raises an
// Error with the host's number (1004 for a refusal).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/CommandBars.h"
#include "host/RecordSource.h"
#include "host/UserInterface.h"
#include "runtime/Variant.h"

namespace dalvera::host {

// The host's constants, by the names of its enumerations.
namespace xl {
// Sheet visibility.
constexpr int SheetVisible = -1;
constexpr int SheetHidden = 0;
constexpr int SheetVeryHidden = 2;
// Directions for End and for Insert/Delete shifts.
constexpr int Down = -4121;
constexpr int Up = -4162;
constexpr int ToLeft = -4159;
constexpr int ToRight = -4161;
constexpr int ShiftDown = -4121;
constexpr int ShiftUp = -4162;
constexpr int ShiftToLeft = -4159;
constexpr int ShiftToRight = -4161;
// Horizontal alignment.
constexpr int HAlignGeneral = 1;
constexpr int HAlignLeft = -4131;
constexpr int HAlignCenter = -4108;
constexpr int HAlignRight = -4152;
// Colours and lines.
constexpr int None = -4142;
constexpr int ColorIndexNone = -4142;
constexpr int ColorIndexAutomatic = -4105;
constexpr int Automatic = -4105;
constexpr int Continuous = 1;
constexpr int Dash = -4115;
constexpr int Dot = -4118;
constexpr int Double = -4119;
constexpr int Hairline = 1;
constexpr int Thin = 2;
constexpr int Medium = -4138;
constexpr int Thick = 4;
// Border indexes.
constexpr int EdgeLeft = 7;
constexpr int EdgeTop = 8;
constexpr int EdgeBottom = 9;
constexpr int EdgeRight = 10;
constexpr int InsideVertical = 11;
constexpr int InsideHorizontal = 12;
// Calculation.
constexpr int CalculationAutomatic = -4105;
constexpr int CalculationManual = -4135;
constexpr int CalculationSemiautomatic = 2;
// Cursor.
constexpr int CursorDefault = -4143;
constexpr int CursorWait = 2;
constexpr int CursorNorthwestArrow = 1;
constexpr int CursorIBeam = 3;
// Cut/copy mode.
constexpr int CutCopyNone = 0;
constexpr int Copy = 1;
constexpr int Cut = 2;
// PasteSpecial.
constexpr int PasteAll = -4104;
constexpr int PasteValues = -4163;
constexpr int PasteFormats = -4122;
constexpr int PasteComments = -4144;
constexpr int PasteValidation = 6;
// Validation types, alert styles and operators.
constexpr int ValidateInputOnly = 0;
constexpr int ValidateWholeNumber = 1;
constexpr int ValidateDecimal = 2;
constexpr int ValidateList = 3;
constexpr int ValidateDate = 4;
constexpr int ValidateTime = 5;
constexpr int ValidateTextLength = 6;
constexpr int ValidateCustom = 7;
constexpr int ValidAlertStop = 1;
constexpr int ValidAlertWarning = 2;
constexpr int ValidAlertInformation = 3;
constexpr int Between = 1;
constexpr int NotBetween = 2;
constexpr int Equal = 3;
constexpr int NotEqual = 4;
constexpr int Greater = 5;
constexpr int Less = 6;
constexpr int GreaterEqual = 7;
constexpr int LessEqual = 8;
// AutoFilter operators.
constexpr int And = 1;
constexpr int Or = 2;
// EnableSelection.
constexpr int NoRestrictions = 0;
constexpr int UnlockedCells = 1;
constexpr int NoSelection = -4142;
// International indexes.
constexpr int CountryCode = 1;
constexpr int CountrySetting = 2;
constexpr int DecimalSeparator = 3;
constexpr int ThousandsSeparator = 4;
constexpr int ListSeparator = 5;
// File formats for SaveAs.
constexpr int WorkbookNormal = -4143;
constexpr int Excel8 = 56;
constexpr int OpenXMLWorkbook = 51;
constexpr int XMLSpreadsheet = 46;
constexpr int WebArchive = 45;
constexpr int Html = 44;
constexpr int CurrentPlatformText = -4158;
constexpr int CSV = 6;
// Dialogs.
constexpr int DialogEditColor = 223;
// Worksheet dimensions.
constexpr long MaxRows = 1048576;
constexpr long MaxColumns = 16384;
}  // namespace xl

class Application;
class Workbook;
class Worksheet;
class Range;
class Name;
class Comment;
class Validation;
using ApplicationPtr = std::shared_ptr<Application>;
using WorkbookPtr = std::shared_ptr<Workbook>;
using WorksheetPtr = std::shared_ptr<Worksheet>;
using RangePtr = std::shared_ptr<Range>;
using NamePtr = std::shared_ptr<Name>;
using CommentPtr = std::shared_ptr<Comment>;
using ValidationPtr = std::shared_ptr<Validation>;

class Font {
public:
    virtual ~Font() = default;
    // Reads give Null when the cells of the range differ.
    virtual Variant Bold() const = 0;
    virtual void SetBold(bool v) = 0;
    virtual Variant Italic() const = 0;
    virtual void SetItalic(bool v) = 0;
    virtual Variant Color() const = 0;  // RGB as red + 256 green + 65536 blue
    virtual void SetColor(long rgb) = 0;
    virtual Variant ColorIndex() const = 0;
    virtual void SetColorIndex(long index) = 0;  // palette 1..56, or automatic
    virtual Variant Size() const = 0;
    virtual void SetSize(double points) = 0;
};

class Interior {
public:
    virtual ~Interior() = default;
    virtual Variant Color() const = 0;  // white (16777215) when there is no fill
    virtual void SetColor(long rgb) = 0;
    virtual Variant ColorIndex() const = 0;  // xl::ColorIndexNone when there is no fill
    virtual void SetColorIndex(long index) = 0;
};

class Border {
public:
    virtual ~Border() = default;
    virtual Variant LineStyle() const = 0;
    virtual void SetLineStyle(long style) = 0;
    virtual Variant Color() const = 0;
    virtual void SetColor(long rgb) = 0;
    virtual Variant Weight() const = 0;
    virtual void SetWeight(long weight) = 0;
};

class Borders {
public:
    virtual ~Borders() = default;
    // xl::EdgeLeft .. xl::InsideHorizontal; anything else raises 1004.
    virtual std::shared_ptr<Border> Item(long index) = 0;
    // All edges and inside lines at once.
    virtual void SetLineStyle(long style) = 0;
    virtual void SetColor(long rgb) = 0;
};

// The drawing shape of a comment: size and look of its box.
class Shape {
public:
    virtual ~Shape() = default;
    virtual double Width() const = 0;
    virtual void SetWidth(double v) = 0;
    virtual double Height() const = 0;
    virtual void SetHeight(double v) = 0;
    // Relative to the current size, from the top-left corner.
    virtual void ScaleWidth(double factor) = 0;
    virtual void ScaleHeight(double factor) = 0;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool v) = 0;
    virtual long FillColor() const = 0;  // RGB
    virtual void SetFillColor(long rgb) = 0;
    virtual void SetFillSchemeColor(int scheme) = 0;
    virtual long LineColor() const = 0;
    virtual void SetLineColor(long rgb) = 0;
    virtual bool Shadow() const = 0;
    virtual void SetShadow(bool v) = 0;
    // The font of the comment's text.
    virtual long TextColorIndex() const = 0;
    virtual void SetTextColorIndex(long index) = 0;
    virtual double TextSize() const = 0;
    virtual void SetTextSize(double points) = 0;
};

class Comment {
public:
    virtual ~Comment() = default;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool v) = 0;
    virtual std::shared_ptr<host::Shape> Shape() = 0;
    virtual void Delete() = 0;
};

// The data-validation rule of a range. Reading a rule property of cells that
// have no rule raises 1004, except the titles and messages, which read as "".
class Validation {
public:
    virtual ~Validation() = default;
    // A range that already has a rule raises 1004: Delete first, as the host wants.
    virtual void Add(int type, const Variant& alertStyle = Variant::missing(),
                     const Variant& op = Variant::missing(), const Variant& formula1 = Variant::missing(),
                     const Variant& formula2 = Variant::missing()) = 0;
    virtual void Modify(int type, const Variant& alertStyle = Variant::missing(),
                        const Variant& op = Variant::missing(), const Variant& formula1 = Variant::missing(),
                        const Variant& formula2 = Variant::missing()) = 0;
    virtual void Delete() = 0;
    virtual int Type() const = 0;
    virtual int AlertStyle() const = 0;
    virtual int Operator() const = 0;
    virtual std::string Formula1() const = 0;
    virtual std::string Formula2() const = 0;
    virtual std::string ErrorTitle() const = 0;
    virtual void SetErrorTitle(const std::string& v) = 0;
    virtual std::string ErrorMessage() const = 0;
    virtual void SetErrorMessage(const std::string& v) = 0;
    virtual std::string InputTitle() const = 0;
    virtual void SetInputTitle(const std::string& v) = 0;
    virtual std::string InputMessage() const = 0;
    virtual void SetInputMessage(const std::string& v) = 0;
    virtual bool IgnoreBlank() const = 0;
    virtual void SetIgnoreBlank(bool v) = 0;
    virtual bool InCellDropdown() const = 0;
    virtual void SetInCellDropdown(bool v) = 0;
    virtual bool ShowError() const = 0;
    virtual void SetShowError(bool v) = 0;
    // Whether the value would pass the rule (true for cells without one).
    virtual bool Value() const = 0;
};

class Areas {
public:
    virtual ~Areas() = default;
    virtual long Count() const = 0;
    virtual RangePtr Item(long index) = 0;  // 1-based
};

class Range {
public:
    virtual ~Range() = default;
    // Value of the first cell.
    virtual Variant Value() const = 0;
    // Every cell of the range gets the value.
    virtual void SetValue(const Variant& v) = 0;
    // All cells of the first area as a 1-based array.
    virtual VariantArray2D Values() const = 0;
    // Fills from the top-left; cells beyond the array's size get #N/A in the
    // host; here the array must fit the range or be 1x1 (else error 1004).
    virtual void SetValues(const VariantArray2D& values) = 0;
    // The value as the cell shows it.
    virtual std::string Text() const = 0;

    virtual WorksheetPtr Worksheet() const = 0;  // Parent
    virtual long Row() const = 0;
    virtual long Column() const = 0;
    virtual long Count() const = 0;  // cells of all areas
    // "$A$1:$B$2"; areas separated by commas.
    virtual std::string Address(bool rowAbsolute = true, bool columnAbsolute = true) const = 0;

    // Relative to the range's top-left (1-based, may go outside the range).
    virtual RangePtr Cells(long row, long column) = 0;
    virtual RangePtr Cells() = 0;
    virtual RangePtr Item(long index) = 0;  // nth cell, row by row
    virtual RangePtr Rows() = 0;
    virtual RangePtr Rows(long index) = 0;
    virtual RangePtr Columns() = 0;
    virtual RangePtr Columns(long index) = 0;
    virtual long RowsCount() const = 0;
    virtual long ColumnsCount() const = 0;
    virtual RangePtr EntireRow() = 0;
    virtual RangePtr EntireColumn() = 0;
    virtual RangePtr Offset(long rows, long columns) = 0;
    virtual RangePtr Resize(long rows, long columns) = 0;
    virtual RangePtr End(int direction) = 0;
    virtual std::shared_ptr<host::Areas> Areas() = 0;

    virtual Variant ColumnWidth() const = 0;
    virtual void SetColumnWidth(double width) = 0;
    // Hidden of entire rows or columns.
    virtual Variant Hidden() const = 0;
    virtual void SetHidden(bool v) = 0;
    virtual void AutoFit() = 0;

    virtual std::shared_ptr<host::Interior> Interior() = 0;
    virtual std::shared_ptr<host::Font> Font() = 0;
    virtual std::shared_ptr<host::Borders> Borders() = 0;
    virtual void BorderAround(long lineStyle = xl::Continuous, long weight = xl::Thin,
                              long colorIndex = xl::ColorIndexAutomatic, const Variant& color = Variant::missing()) = 0;
    virtual Variant Locked() const = 0;  // Null when mixed
    virtual void SetLocked(bool v) = 0;
    virtual Variant NumberFormat() const = 0;
    virtual void SetNumberFormat(const std::string& format) = 0;
    virtual std::string Style() const = 0;
    // "Normal", "Comma", "Percent", "Currency"; others raise 1004.
    virtual void SetStyle(const std::string& name) = 0;
    virtual Variant HorizontalAlignment() const = 0;
    virtual void SetHorizontalAlignment(long v) = 0;

    // To the application's clipboard (cut/copy mode becomes xl::Copy), or straight
    // to a destination.
    virtual void Copy() = 0;
    virtual void Copy(const RangePtr& destination) = 0;
    virtual void PasteSpecial(int paste = xl::PasteAll) = 0;
    virtual void Select() = 0;
    virtual void Activate() = 0;
    virtual void Clear() = 0;
    virtual void ClearContents() = 0;
    virtual void ClearFormats() = 0;
    virtual void ClearComments() = 0;
    // Entire rows or columns only; other shapes raise 1004.
    virtual void Delete(const Variant& shift = Variant::missing()) = 0;
    virtual void Insert(const Variant& shift = Variant::missing()) = 0;

    // Rows from the source's current position, column by column; returns the
    // number of rows written.
    virtual long CopyFromRecordset(RecordSource& data, long maxRows = -1, long maxColumns = -1) = 0;
    virtual CommentPtr AddComment(const std::string& text) = 0;
    virtual CommentPtr Comment() = 0;  // nullptr when the first cell has none
    virtual ValidationPtr Validation() = 0;

    // Without arguments: switches the AutoFilter on (or off when it is on).
    virtual void AutoFilter() = 0;
    virtual void AutoFilter(long field, const Variant& criteria1, int op = xl::And,
                            const Variant& criteria2 = Variant::missing()) = 0;
};

class Filter {
public:
    virtual ~Filter() = default;
    virtual bool On() const = 0;
    virtual Variant Criteria1() const = 0;  // 1004 when the filter is off
    virtual Variant Criteria2() const = 0;  // 1004 when there is no second criterion
    virtual int Operator() const = 0;
};

class Filters {
public:
    virtual ~Filters() = default;
    virtual long Count() const = 0;
    virtual std::shared_ptr<Filter> Item(long index) = 0;
};

class AutoFilter {
public:
    virtual ~AutoFilter() = default;
    virtual RangePtr Range() = 0;
    virtual std::shared_ptr<host::Filters> Filters() = 0;
    virtual void ShowAllData() = 0;
};

struct ProtectOptions {
    bool drawingObjects = true;
    bool contents = true;
    bool scenarios = true;
    bool userInterfaceOnly = false;
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
};

class Worksheet {
public:
    virtual ~Worksheet() = default;
    virtual WorkbookPtr Parent() const = 0;
    virtual std::string Name() const = 0;
    virtual void SetName(const std::string& name) = 0;
    virtual long Index() const = 0;
    virtual void Activate() = 0;
    virtual void Delete() = 0;
    virtual int Visible() const = 0;
    virtual void SetVisible(int visibility) = 0;
    virtual void Protect(const std::string& password = {}, const ProtectOptions& options = {}) = 0;
    // A wrong password raises 1004.
    virtual void Unprotect(const std::string& password = {}) = 0;
    virtual bool ProtectContents() const = 0;
    virtual int EnableSelection() const = 0;
    virtual void SetEnableSelection(int v) = 0;
    virtual bool AutoFilterMode() const = 0;
    virtual void SetAutoFilterMode(bool v) = 0;  // only False is accepted, as in the host
    virtual bool FilterMode() const = 0;
    virtual std::shared_ptr<host::AutoFilter> AutoFilter() = 0;  // nullptr when off
    virtual void ShowAllData() = 0;

    virtual RangePtr Cells() = 0;
    virtual RangePtr Cells(long row, long column) = 0;
    virtual RangePtr Rows() = 0;
    virtual RangePtr Rows(long row) = 0;
    virtual RangePtr Rows(const std::string& ref) = 0;     // "1:5"
    virtual RangePtr Columns() = 0;
    virtual RangePtr Columns(long column) = 0;
    virtual RangePtr Columns(const std::string& ref) = 0;  // "A:C"
    virtual RangePtr Range(const std::string& address) = 0;  // A1 address or a name
    virtual RangePtr Range(const RangePtr& cell1, const RangePtr& cell2) = 0;
    virtual RangePtr UsedRange() = 0;
};

class Sheets {
public:
    virtual ~Sheets() = default;
    virtual long Count() const = 0;
    virtual WorksheetPtr Item(long index) = 0;               // error 9 when out of range
    virtual WorksheetPtr Item(const std::string& name) = 0;  // error 9 when missing
    // A new sheet before or after the given one; before the active one when neither.
    virtual WorksheetPtr Add(const WorksheetPtr& before = nullptr, const WorksheetPtr& after = nullptr) = 0;
};

class Name {
public:
    virtual ~Name() = default;
    virtual std::string NameText() const = 0;  // the host's Name.Name
    virtual std::string RefersTo() const = 0;     // "=Sheet!$B$3:$B$4"
    virtual std::string RefersToR1C1() const = 0; // "=Sheet!R3C2:R4C2"
    virtual RangePtr RefersToRange() = 0;         // 1004 when not a range
    virtual bool Visible() const = 0;
    virtual void Delete() = 0;
};

class Names {
public:
    virtual ~Names() = default;
    virtual long Count() const = 0;
    virtual NamePtr Item(long index) = 0;
    virtual NamePtr Item(const std::string& name) = 0;  // 1004 when missing
    virtual bool Exists(const std::string& name) const = 0;
    // refersTo in A1 form ("=Sheet!$A$1:$A$3" or "=2"); replaces a name of the same text.
    virtual NamePtr Add(const std::string& name, const std::string& refersTo) = 0;
    virtual NamePtr AddR1C1(const std::string& name, const std::string& refersToR1C1) = 0;
};

class Window {
public:
    virtual ~Window() = default;
    virtual bool DisplayHeadings() const = 0;
    virtual void SetDisplayHeadings(bool v) = 0;
    virtual bool DisplayZeros() const = 0;
    virtual void SetDisplayZeros(bool v) = 0;
    virtual bool DisplayGridlines() const = 0;
    virtual void SetDisplayGridlines(bool v) = 0;
    // Frozen at the active cell of the sheet's selection.
    virtual bool FreezePanes() const = 0;
    virtual void SetFreezePanes(bool v) = 0;
    virtual long SplitRow() const = 0;
    virtual long SplitColumn() const = 0;
    virtual long ScrollRow() const = 0;
    virtual void SetScrollRow(long v) = 0;
    virtual long ScrollColumn() const = 0;
    virtual void SetScrollColumn(long v) = 0;
    virtual void SmallScroll(long down = 0, long up = 0, long toRight = 0, long toLeft = 0) = 0;
    virtual WorksheetPtr ActiveSheet() = 0;
};

class Workbook {
public:
    virtual ~Workbook() = default;
    virtual std::string Name() const = 0;
    virtual std::string FullName() const = 0;
    virtual std::string Path() const = 0;
    virtual bool Saved() const = 0;
    virtual void SetSaved(bool v) = 0;
    virtual bool IsAddin() const = 0;
    virtual void SetIsAddin(bool v) = 0;
    virtual void Activate() = 0;
    // saveChanges: Missing asks the person when there are changes (with alerts on).
    virtual void Close(const Variant& saveChanges = Variant::missing()) = 0;
    // fileFormat Missing: by the extension. Saving is done by the savers
    // registered with the application; a format without one raises 1004.
    virtual void SaveAs(const std::string& fileName, const Variant& fileFormat = Variant::missing()) = 0;
    virtual void Save() = 0;
    virtual std::shared_ptr<host::Sheets> Sheets() = 0;
    virtual std::shared_ptr<host::Sheets> Worksheets() = 0;
    virtual WorksheetPtr ActiveSheet() = 0;
    virtual void Protect(const std::string& password = {}, bool structure = true, bool windows = false) = 0;
    virtual void Unprotect(const std::string& password = {}) = 0;  // wrong password: 1004
    virtual bool ProtectStructure() const = 0;
    virtual std::shared_ptr<host::Names> Names() = 0;
    // "Revision Number", "Title", "Author", ...; an unknown name raises 5.
    virtual Variant BuiltinDocumentProperties(const std::string& name) const = 0;
    virtual void SetBuiltinDocumentProperties(const std::string& name, const Variant& value) = 0;
    // The palette, 1..56 (else error 9).
    virtual long Colors(long index) const = 0;
    virtual void SetColors(long index, long rgb) = 0;
    virtual std::shared_ptr<host::Window> Window() = 0;
};

class Workbooks {
public:
    virtual ~Workbooks() = default;
    virtual long Count() const = 0;
    virtual WorkbookPtr Item(long index) = 0;
    virtual WorkbookPtr Item(const std::string& name) = 0;
    virtual WorkbookPtr Add() = 0;
};

// Receives the application's events while EnableEvents is True.
class ApplicationEvents {
public:
    virtual ~ApplicationEvents() = default;
    virtual void SheetChange(const WorksheetPtr& sheet, const RangePtr& target) {}
    // A person undid or redid an edit: the cells of target have the values
    // and formats back that they had at that point.
    virtual void SheetUndo(const WorksheetPtr& sheet, const RangePtr& target) {}
    // A person sorted rows firstRow..: row firstRow+i holds what was in row
    // firstRow+order[i], cells, formats and comments alike.
    virtual void SheetSort(const WorksheetPtr& sheet, long firstRow, const std::vector<long>& order) {}
    virtual void SheetActivate(const WorksheetPtr& sheet) {}
    virtual void WorkbookActivate(const WorkbookPtr& workbook) {}
    virtual void WorkbookBeforeSave(const WorkbookPtr& workbook, bool saveAsUI, bool& cancel) {}
    virtual void WorkbookBeforeClose(const WorkbookPtr& workbook, bool& cancel) {}
};

class Application {
public:
    virtual ~Application() = default;
    virtual Variant International(int index) const = 0;
    virtual std::string Version() const = 0;  // "16.0"
    virtual std::string OperatingSystem() const = 0;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool v) = 0;
    virtual void Quit() = 0;
    virtual long Hwnd() const = 0;
    virtual long Hinstance() const = 0;

    virtual host::Workbooks& Workbooks() = 0;
    virtual WorkbookPtr ActiveWorkbook() = 0;   // nullptr when none is open
    virtual WorksheetPtr ActiveSheet() = 0;     // nullptr when none
    virtual std::shared_ptr<host::Window> ActiveWindow() = 0;
    virtual RangePtr Selection() = 0;
    // nullptr when the ranges do not meet; ranges of different sheets raise 1004.
    virtual RangePtr Intersect(const RangePtr& a, const RangePtr& b) = 0;
    virtual RangePtr Union(const RangePtr& a, const RangePtr& b) = 0;
    virtual host::CommandBars& CommandBars() = 0;  // 1004 when none was attached

    virtual Variant StatusBar() const = 0;  // False when the host shows its own text
    virtual void SetStatusBar(const Variant& v) = 0;
    virtual bool ScreenUpdating() const = 0;
    virtual void SetScreenUpdating(bool v) = 0;
    virtual bool EnableEvents() const = 0;
    virtual void SetEnableEvents(bool v) = 0;
    virtual bool DisplayAlerts() const = 0;
    virtual void SetDisplayAlerts(bool v) = 0;
    virtual int Calculation() const = 0;
    virtual void SetCalculation(int v) = 0;
    virtual int Cursor() const = 0;
    virtual void SetCursor(int v) = 0;
    virtual int CutCopyMode() const = 0;
    virtual void SetCutCopyMode(int v) = 0;  // 0 empties the clipboard
    virtual bool MoveAfterReturn() const = 0;
    virtual void SetMoveAfterReturn(bool v) = 0;
    virtual int MoveAfterReturnDirection() const = 0;
    virtual void SetMoveAfterReturnDirection(int v) = 0;
    virtual bool Ready() const = 0;  // False while a cell is being edited
    virtual bool Wait(double untilSerial) = 0;
    virtual std::string DefaultFilePath() const = 0;
    virtual void SetDefaultFilePath(const std::string& v) = 0;

    // The chosen path, or False when cancelled.
    virtual Variant GetSaveAsFilename(const std::string& initialName = {}, const std::string& filter = {},
                                      int filterIndex = 1, const std::string& title = {}) = 0;
    virtual Variant InputBox(const std::string& prompt, const std::string& title = {},
                             const Variant& defaultValue = Variant::missing(), int type = 2) = 0;
    // Dialogs(id).Show(args): only the colour dialog (223: index, red, green,
    // blue) exists; it sets the active workbook's palette entry when confirmed.
    virtual bool ShowDialog(int id, const std::vector<Variant>& args = {}) = 0;

    // Binds a key ("{F6}", "^s") to a macro; an empty macro disables the key,
    // Missing restores its normal meaning.
    virtual void OnKey(const std::string& key, const Variant& procedure = Variant::missing()) = 0;
    // Runs a macro registered as "ThisWorkbook.<Name>"; unknown ones raise 1004.
    virtual void Run(const std::string& macro) = 0;
    // Called by a running macro: what it did becomes one step of the person's
    // undo history, named `text`, on the sheet that is active. Undo runs
    // undoProcedure and Redo then redoProcedure (macro names as Run takes
    // them); each must put the sheet's rows and columns back as they were
    // before the step or after it, and raises to refuse, which ends the
    // history (telling the person is the procedure's own task). Edits made
    // after the step stack above it. An empty undoProcedure says that what the
    // macro did cannot be undone: the history ends there.
    virtual void OnUndo(const std::string& text, const std::string& undoProcedure,
                        const std::string& redoProcedure) = 0;

    virtual void addEventSink(ApplicationEvents* sink) = 0;
    virtual void removeEventSink(ApplicationEvents* sink) = 0;
};

}  // namespace dalvera::host
