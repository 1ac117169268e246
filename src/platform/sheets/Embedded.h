#pragma once
// The embedded spreadsheet application: our implementation of the host object
// model in host/Excel.h, and the operations a person performs on it (typing,
// pasting, clicking, saving) for front ends and tests.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/Excel.h"
#include "platform/sheets/SheetModel.h"

namespace dalvera::platform {

class EmbeddedApplication;
class WorkbookImpl;
class WorksheetImpl;

// How a person's typing is read: by the country code of the application.
struct EntryLocale {
    char decimal = '.';
    char thousands = ',';
    bool dayFirst = false;
    std::string trueWord = "TRUE", falseWord = "FALSE";
    bool dutch = false;
};
EntryLocale entryLocale(int countryCode);
// A typed entry as the host reads it: Empty, number, Boolean, date or text.
// impliedFormat receives the number format the entry implies ("" for none).
Variant parseEntry(const std::string& text, const EntryLocale& locale, std::string* impliedFormat = nullptr);
// An entry typed or pasted into a cell with this number format. A text format
// ("@") keeps the entry exactly as given (an empty entry empties the cell); a
// date format reads day and month in the order it shows them (d/m/yyyy day
// first, m/d/yyyy month first) in either language; other formats read as
// parseEntry does. ISO dates are read in any cell that is not text.
Variant parseCellEntry(const std::string& text, const EntryLocale& locale, std::string_view numberFormat,
                       std::string* impliedFormat = nullptr);
// The text an editor shows for a cell's value: confirming it unchanged through
// parseCellEntry gives the same value back (dates in the order the cell reads
// them, all digits of a number, an apostrophe before a text that would
// otherwise read as a number, date or Boolean).
std::string entryText(const Variant& value, std::string_view numberFormat, const EntryLocale& locale);
// The country code of the process locale (LC_ALL, LC_NUMERIC, LANG): 31 for nl, 1 otherwise.
int countryCodeFromEnvironment();

// Writes a workbook to a file in one format.
using Saver = std::function<void(const host::Workbook& workbook, const WorkbookModel& model,
                                 const std::string& path, int fileFormat)>;

class EmbeddedApplication : public host::Application, public std::enable_shared_from_this<EmbeddedApplication> {
public:
    EmbeddedApplication();
    ~EmbeddedApplication() override;

    // Wiring.
    void setCommandBars(std::unique_ptr<host::CommandBars> bars) { commandBars_ = std::move(bars); }
    void setUserInterface(host::UserInterface* ui) { ui_ = ui; }
    host::UserInterface* userInterface() const { return ui_; }
    void registerMacro(const std::string& name, std::function<void()> macro);
    void unregisterMacro(const std::string& name);
    bool hasMacro(const std::string& name) const;
    void registerSaver(int fileFormat, Saver saver) { savers_[fileFormat] = std::move(saver); }
    bool canSave(int fileFormat) const { return savers_.count(fileFormat) > 0; }
    void setCountryCode(int code) { countryCode_ = code; }
    int countryCode() const { return countryCode_; }
    void setVersion(const std::string& v) { version_ = v; }
    // How many sheets Workbooks.Add creates (the person's option; 1 by default).
    void setSheetsInNewWorkbook(int n);
    int sheetsInNewWorkbook() const { return sheetsInNewWorkbook_; }
    const std::string& caption() const { return caption_; }
    // The macro bound to a key; Missing when the key keeps its normal meaning.
    Variant keyBinding(const std::string& key) const;
    // Runs a macro with the control that started it; the command bars ask for it.
    void runFromControl(const std::string& macro, const host::ControlPtr& control);
    host::ControlPtr actionControl() const { return actionControl_; }
    void setReady(bool v) { ready_ = v; }
    bool quitRequested() const { return quit_; }
    // Grows with every change to a workbook's content or format; front ends
    // compare it to know when to redraw, also while events are off.
    uint64_t revision() const { return revision_; }
    void bumpRevision() { ++revision_; }

    // host::Application
    Variant International(int index) const override;
    std::string Version() const override { return version_; }
    std::string OperatingSystem() const override;
    bool Visible() const override { return visible_; }
    void SetVisible(bool v) override { visible_ = v; }
    void Quit() override;
    long Hwnd() const override { return 0x10010; }
    long Hinstance() const override { return 0x400000; }
    host::Workbooks& Workbooks() override { return *workbooks_; }
    host::WorkbookPtr ActiveWorkbook() override;
    host::WorksheetPtr ActiveSheet() override;
    std::shared_ptr<host::Window> ActiveWindow() override;
    host::RangePtr Selection() override;
    host::RangePtr Intersect(const host::RangePtr& a, const host::RangePtr& b) override;
    host::RangePtr Union(const host::RangePtr& a, const host::RangePtr& b) override;
    host::CommandBars& CommandBars() override;
    Variant StatusBar() const override { return statusBar_; }
    void SetStatusBar(const Variant& v) override;
    bool ScreenUpdating() const override { return screenUpdating_; }
    void SetScreenUpdating(bool v) override { screenUpdating_ = v; }
    bool EnableEvents() const override { return enableEvents_; }
    void SetEnableEvents(bool v) override { enableEvents_ = v; }
    bool DisplayAlerts() const override { return displayAlerts_; }
    void SetDisplayAlerts(bool v) override { displayAlerts_ = v; }
    int Calculation() const override { return calculation_; }
    void SetCalculation(int v) override;
    int Cursor() const override { return cursor_; }
    void SetCursor(int v) override;
    int CutCopyMode() const override { return clipboard_ ? host::xl::Copy : 0; }
    void SetCutCopyMode(int v) override;
    bool MoveAfterReturn() const override { return moveAfterReturn_; }
    void SetMoveAfterReturn(bool v) override { moveAfterReturn_ = v; }
    int MoveAfterReturnDirection() const override { return moveDirection_; }
    void SetMoveAfterReturnDirection(int v) override;
    bool Ready() const override { return ready_; }
    bool Wait(double) override { return true; }
    std::string DefaultFilePath() const override { return defaultFilePath_; }
    void SetDefaultFilePath(const std::string& v) override { defaultFilePath_ = v; }
    Variant GetSaveAsFilename(const std::string& initialName, const std::string& filter, int filterIndex,
                              const std::string& title) override;
    Variant InputBox(const std::string& prompt, const std::string& title, const Variant& defaultValue,
                     int type) override;
    bool ShowDialog(int id, const std::vector<Variant>& args) override;
    void OnKey(const std::string& key, const Variant& procedure) override;
    void Run(const std::string& macro) override;
    void OnUndo(const std::string& text, const std::string& undoProcedure, const std::string& redoProcedure) override;

    // A step a macro put on the undo history, handed to the history's keeper
    // when the macro that made it has returned.
    struct MacroUndo {
        std::shared_ptr<WorksheetImpl> sheet;     // active when the step was made
        std::optional<uint64_t> structureBefore;  // its rows and columns as the macro found them
        std::string text, undoProcedure, redoProcedure;
    };
    void setUndoKeeper(std::function<void(MacroUndo)> keeper) { undoKeeper_ = std::move(keeper); }
    void addEventSink(host::ApplicationEvents* sink) override;
    void removeEventSink(host::ApplicationEvents* sink) override;

    // For the objects of this application.
    struct Clipboard {
        std::shared_ptr<WorksheetImpl> sheet;
        Rect area;
    };
    const std::optional<Clipboard>& clipboard() const { return clipboard_; }
    void setClipboard(std::optional<Clipboard> c) { clipboard_ = std::move(c); }
    void fireSheetChange(const host::WorksheetPtr& sheet, const host::RangePtr& target);
    void fireSheetUndo(const host::WorksheetPtr& sheet, const host::RangePtr& target);
    void fireSheetSort(const host::WorksheetPtr& sheet, long firstRow, const std::vector<long>& order);
    void fireSheetActivate(const host::WorksheetPtr& sheet);
    void fireWorkbookActivate(const host::WorkbookPtr& wb);
    bool fireBeforeSave(const host::WorkbookPtr& wb, bool saveAsUI);  // true when cancelled
    bool fireBeforeClose(const host::WorkbookPtr& wb);                 // true when cancelled
    void saveWorkbook(WorkbookImpl& wb, const std::string& path, int fileFormat);
    std::vector<std::shared_ptr<WorkbookImpl>>& workbookList() { return books_; }
    void setActiveWorkbook(const std::shared_ptr<WorkbookImpl>& wb, bool fireEvent);
    void removeWorkbook(WorkbookImpl* wb);
    int newWorkbookNumber() { return ++bookCounter_; }
    int messageBox(const std::string& prompt, int style, const std::string& title = {});

private:
    std::unique_ptr<host::Workbooks> workbooks_;
    std::vector<std::shared_ptr<WorkbookImpl>> books_;
    std::weak_ptr<WorkbookImpl> active_;
    std::unique_ptr<host::CommandBars> commandBars_;
    host::UserInterface* ui_ = nullptr;
    std::vector<host::ApplicationEvents*> sinks_;
    std::map<std::string, std::function<void()>> macros_;  // lower-case names
    std::map<std::string, Variant> keys_;                  // upper-case keys
    std::map<int, Saver> savers_;
    std::optional<Clipboard> clipboard_;
    host::ControlPtr actionControl_;
    std::function<void(MacroUndo)> undoKeeper_;
    std::optional<MacroUndo> pendingUndo_;
    int runDepth_ = 0;
    // The active sheet and its layout when the outermost macro began.
    std::weak_ptr<WorksheetImpl> runSheet_;
    uint64_t runStructure_ = 0;
    Variant statusBar_ = false;
    std::string version_ = "16.0";
    std::string caption_ = "Dalvera";
    std::string defaultFilePath_;
    int countryCode_;
    int calculation_ = host::xl::CalculationAutomatic;
    int cursor_ = host::xl::CursorDefault;
    int moveDirection_ = host::xl::Down;
    int bookCounter_ = 0;
    int sheetsInNewWorkbook_ = 1;
    uint64_t revision_ = 0;
    bool visible_ = true, screenUpdating_ = true, enableEvents_ = true, displayAlerts_ = true;
    bool moveAfterReturn_ = true, ready_ = true, quit_ = false;
};

// The application the wiring code starts with: no workbooks, no command bars.
std::shared_ptr<EmbeddedApplication> createEmbeddedApplication();

class WorkbookImpl : public host::Workbook, public std::enable_shared_from_this<WorkbookImpl> {
public:
    WorkbookImpl(EmbeddedApplication& app, std::string name);
    ~WorkbookImpl() override;
    EmbeddedApplication& app() const;
    WorkbookModel& model() { return model_; }
    const WorkbookModel& model() const { return model_; }
    std::shared_ptr<WorksheetImpl> sheetObject(const SheetModel* m) const;
    std::shared_ptr<WorksheetImpl> sheetById(uint32_t id) const;
    std::shared_ptr<WorksheetImpl> addSheet(int position);  // 0-based position
    void removeSheet(WorksheetImpl& sheet);
    void requireStructureUnprotected(const char* what) const;
    void markChanged();
    bool closed() const { return closed_; }
    void closeNow();
    const std::vector<std::shared_ptr<WorksheetImpl>>& sheetObjects() const { return sheetObjs_; }
    void activateSheet(const std::shared_ptr<WorksheetImpl>& sheet, bool fireEvent);
    std::shared_ptr<WorksheetImpl> activeSheetImpl() const;
    // Names follow rows and columns that move.
    void shiftNames(uint32_t sheetId, bool rows, int32_t at, int32_t n);
    // A name's cells, or nullptr.
    host::RangePtr nameRange(const std::string& name);
    int fileFormat() const { return fileFormat_; }

    // host::Workbook
    std::string Name() const override { return model_.name_; }
    std::string FullName() const override;
    std::string Path() const override { return model_.path_; }
    bool Saved() const override { return saved_; }
    void SetSaved(bool v) override { saved_ = v; }
    bool IsAddin() const override { return model_.isAddin_; }
    void SetIsAddin(bool v) override { model_.isAddin_ = v; }
    void Activate() override;
    void Close(const Variant& saveChanges) override;
    void SaveAs(const std::string& fileName, const Variant& fileFormat) override;
    void Save() override;
    std::shared_ptr<host::Sheets> Sheets() override;
    std::shared_ptr<host::Sheets> Worksheets() override { return Sheets(); }
    host::WorksheetPtr ActiveSheet() override;
    void Protect(const std::string& password, bool structure, bool windows) override;
    void Unprotect(const std::string& password) override;
    bool ProtectStructure() const override { return model_.structureProtected_; }
    std::shared_ptr<host::Names> Names() override;
    Variant BuiltinDocumentProperties(const std::string& name) const override;
    void SetBuiltinDocumentProperties(const std::string& name, const Variant& value) override;
    long Colors(long index) const override;
    void SetColors(long index, long rgb) override;
    std::shared_ptr<host::Window> Window() override;

private:
    void requireOpen() const;
    EmbeddedApplication* app_;
    std::weak_ptr<EmbeddedApplication> appRef_;
    WorkbookModel model_;
    std::vector<std::shared_ptr<WorksheetImpl>> sheetObjs_;
    bool saved_ = true, closed_ = false;
    int fileFormat_ = host::xl::OpenXMLWorkbook;
};

class WorksheetImpl : public host::Worksheet, public std::enable_shared_from_this<WorksheetImpl> {
public:
    WorksheetImpl(WorkbookImpl& book, SheetModel& model) : book_(&book), model_(&model) {}
    SheetModel& model() const;
    WorkbookImpl& book() const;
    EmbeddedApplication& app() const { return book().app(); }
    StyleTable& styles() const { return book().model().styles_; }
    void markDeleted() { deleted_ = true; }
    bool deleted() const { return deleted_; }
    // Grows whenever rows or columns are inserted or deleted: cell addresses
    // from before then no longer name the same cells.
    uint64_t structure() const { return structure_; }
    std::shared_ptr<host::Range> range(std::vector<Rect> areas);
    std::shared_ptr<host::Range> range(const Rect& r) { return range(std::vector<Rect>{r}); }

    // Cells.
    void writeCell(int32_t row, int32_t col, const Variant& v);
    // Rows first..first+count-1 of a held column into the cells from (row, col)
    // down; returns how many values had no cell form and were left out.
    long writeHeld(int32_t row, int32_t col, const ValueColumn& src, size_t first, size_t count);
    void clearValues(const Rect& r);
    bool anyLocked(const Rect& r) const;
    // Refusals of a protected sheet, for code; a person meets them as messages.
    void requireEditable(const std::vector<Rect>& areas) const;
    void requireFormatting(bool columns, bool rows) const;
    void requireUnprotected(const char* what) const;
    void applyStyle(const std::vector<Rect>& areas, const std::function<void(CellStyle&)>& change);
    // Reads a style property over the areas: the common value or Null.
    Variant styleProperty(const std::vector<Rect>& areas, const std::function<Variant(const CellStyle&)>& get) const;
    void changed(const std::vector<Rect>& areas);  // marks the workbook and raises SheetChange

    // Rows and columns.
    void insertRows(int32_t at, int32_t n);
    void deleteRows(int32_t at, int32_t n);
    void insertColumns(int32_t at, int32_t n);
    void deleteColumns(int32_t at, int32_t n);
    // Row first+i gets what row first+order[i] held: values, formats, comments.
    void reorderRows(int32_t first, const std::vector<int32_t>& order);
    // The last row holding a value in columns c1..c2; 0 when none does.
    int32_t lastFilledRow(int32_t c1, int32_t c2) const;

    // Validation.
    void setValidation(const std::vector<Rect>& areas, const ValidationRule* rule);  // nullptr deletes
    ValidationRule* ruleAt(int32_t row, int32_t col);
    // Whether the value passes the rule at the cell.
    bool passes(const ValidationRule& rule, const Variant& value);
    std::vector<Variant> listValues(const ValidationRule& rule);

    // AutoFilter.
    void setAutoFilter(const Rect& range);
    void applyFilters();
    void removeAutoFilter();

    void setSelection(const std::vector<Rect>& areas, int32_t activeRow, int32_t activeCol);

    // host::Worksheet
    host::WorkbookPtr Parent() const override;
    std::string Name() const override { return model().name_; }
    void SetName(const std::string& name) override;
    long Index() const override;
    void Activate() override;
    void Delete() override;
    int Visible() const override { return model().visibility_; }
    void SetVisible(int visibility) override;
    void Protect(const std::string& password, const host::ProtectOptions& options) override;
    void Unprotect(const std::string& password) override;
    bool ProtectContents() const override { return model().protection_.on && model().protection_.options.contents; }
    int EnableSelection() const override { return model().enableSelection_; }
    void SetEnableSelection(int v) override;
    bool AutoFilterMode() const override { return model().autoFilter_.has_value(); }
    void SetAutoFilterMode(bool v) override;
    bool FilterMode() const override;
    std::shared_ptr<host::AutoFilter> AutoFilter() override;
    void ShowAllData() override;
    host::RangePtr Cells() override { return range(Rect{1, 1, kMaxRows, kMaxCols}); }
    host::RangePtr Cells(long row, long column) override;
    host::RangePtr Rows() override { return Cells(); }
    host::RangePtr Rows(long row) override;
    host::RangePtr Rows(const std::string& ref) override;
    host::RangePtr Columns() override { return Cells(); }
    host::RangePtr Columns(long column) override;
    host::RangePtr Columns(const std::string& ref) override;
    host::RangePtr Range(const std::string& address) override;
    host::RangePtr Range(const host::RangePtr& cell1, const host::RangePtr& cell2) override;
    host::RangePtr UsedRange() override;

private:
    WorkbookImpl* book_;
    SheetModel* model_;
    bool deleted_ = false;
    uint64_t structure_ = 0;
};

// Parses "A1", "$A$1:$B$2", "A:C", "1:5" (one area); false when it is not one.
bool parseA1(const std::string& text, Rect& out);
// Parses "R1C1:R2C2", "R3C2", "C2", "R2" (absolute); false when it is not one.
bool parseR1C1(const std::string& text, Rect& out);
// The platform object behind a host range, or error 13.
class RangeImpl;
RangeImpl& rangeImpl(const host::RangePtr& r);
std::shared_ptr<WorksheetImpl> rangeSheet(const host::RangePtr& r);
const std::vector<Rect>& rangeAreas(const host::RangePtr& r);

// What a person does, with the refusals, alerts and events a person meets.
// The file format a path's extension stands for (any case); `current` for
// an extension that stands for none.
int fileFormatOfPath(const std::string& path, int current);

class UserOperations {
public:
    // Retry: refused by a stop alert whose Retry the person chose; the entry
    // goes back into the editor.
    enum class Result { Accepted, Refused, Retry };
    // Keeps the steps the application's macros put on the undo history (OnUndo).
    explicit UserOperations(EmbeddedApplication& app);
    ~UserOperations();
    UserOperations(const UserOperations&) = delete;
    UserOperations& operator=(const UserOperations&) = delete;

    // Types text into one cell and presses Enter.
    Result typeText(const host::RangePtr& cell, const std::string& text);
    // Pastes a block of texts with the cell as top-left.
    Result pasteBlock(const host::RangePtr& topLeft, const std::vector<std::vector<std::string>>& rows);
    // The Delete key on a selection.
    Result clear(const host::RangePtr& range);
    // Clicking cells; false when the sheet does not let them be selected.
    bool select(const host::RangePtr& range);
    // F2 on a cell: Ready is False until the entry ends.
    void beginEdit(const host::RangePtr& cell);
    // An entry that reads as the value the cell already holds writes nothing
    // and raises no event: the active cell only moves on, as after Enter.
    Result endEdit(const std::string& text);
    void cancelEdit();
    // The cell being edited, or nullptr.
    const host::RangePtr& editCell() const { return editCell_; }
    bool editing() const { return editCell_ != nullptr; }
    void clickControl(const host::ControlPtr& control);
    // A key as OnKey names it ("{F7}"); true when a macro ran.
    bool pressKey(const std::string& key);
    void activate(const host::WorksheetPtr& sheet);
    void activate(const host::WorkbookPtr& workbook);
    // Ctrl+S; true when the workbook was written. One never saved asks where, as Save As does.
    bool save(const host::WorkbookPtr& workbook);
    // F12 or File > Save As: the before-save event comes first, and a handler
    // that cancels it has taken the save over (that is no failure). Otherwise
    // the host's dialog proposes the workbook's name and format; true when
    // the workbook was written.
    bool saveAs(const host::WorkbookPtr& workbook);
    // The formats the host's own dialog offers, in the dialog's filter
    // notation; asked each time, so it follows the language.
    void setSaveFilter(std::function<std::string()> filter) { saveFilter_ = std::move(filter); }
    // What the dialog proposes: the folder, the name with an extension the
    // host can write (never one added to another), and the 1-based filter
    // that matches it.
    struct SaveSuggestion {
        std::string path;
        int filterIndex = 1;
    };
    SaveSuggestion suggestSaveName(const host::WorkbookPtr& workbook, const std::string& filter) const;
    // The close box; true when the workbook closed.
    bool close(const host::WorkbookPtr& workbook);

    // Ctrl+Z and Ctrl+Y of typing, pasting, filling and clearing: the cells get
    // their values and formats back exactly, and the SheetUndo event tells the
    // owner of the sheet. The history ends where code changes those cells or
    // moves rows or columns (writing, reloading, another table); false when
    // there was nothing to undo or redo. A macro's own step (OnUndo) is undone
    // and redone by its procedures; a procedure that refuses ends the history.
    bool undo();
    bool redo();
    bool canUndo();
    bool canRedo();
    void clearHistory();
    // The name a macro gave the step Undo (Redo) would take back; "" for the person's own edits.
    std::string undoText() const { return undo_.empty() ? std::string() : undo_.back().text; }
    std::string redoText() const { return redo_.empty() ? std::string() : redo_.back().text; }
    // Copies the top row of the selection down over the rest of it (Ctrl+D),
    // each cell read and checked as a typed entry.
    Result fillDown(const host::RangePtr& selection);
    // One value pasted into every cell of the block.
    Result fillBlock(const host::RangePtr& block, const std::string& text);
    // Sorts the rows of the AutoFilter range below its headings by one of its
    // columns (1-based sheet column): numbers before texts (after them when
    // descending), texts without regard to case, blanks last both ways. The sheet must allow sorting.
    Result sortRows(const host::WorksheetPtr& sheet, int32_t column, bool ascending);

private:
    struct CellState {
        int32_t row, col;
        Variant value;
        uint32_t style;
    };
    struct Step {
        std::weak_ptr<WorksheetImpl> sheet;
        uint64_t structure = 0;  // the sheet's rows and columns after the step
        std::vector<Rect> areas;
        std::vector<CellState> before, after;
        // A macro's step: its procedures instead of cells, and the layout
        // before it (unknown when it was made outside a macro).
        std::string text, undoProcedure, redoProcedure;
        std::optional<uint64_t> structureBefore;
        bool macro() const { return !undoProcedure.empty(); }
    };
    void keepMacroStep(EmbeddedApplication::MacroUndo made);
    bool currentMacro(const Step& step, bool undoing) const;
    bool replayMacro(std::vector<Step>& from, std::vector<Step>& to, bool undoing);
    // After a procedure put the sheet back: steps made in the layout `from` hold for `to`.
    void rebase(const WorksheetImpl& sheet, uint64_t from, uint64_t to);
    void push(Step&& step);
    static std::vector<CellState> capture(const WorksheetImpl& sheet, const std::vector<Rect>& areas);
    // Starts a step over the areas; false when it is too large to keep (the history then ends).
    bool begin(const std::shared_ptr<WorksheetImpl>& sheet, const std::vector<Rect>& areas, Step& step);
    void finish(Step&& step, Result result);
    bool replay(std::vector<Step>& from, std::vector<Step>& to, bool undoing);
    bool current(Step& step);
    Result writeBlock(const std::shared_ptr<WorksheetImpl>& sheet, const Rect& target,
                      const std::function<std::string(int32_t, int32_t)>& textAt);
    bool refuseProtected(WorksheetImpl& sheet, const std::vector<Rect>& areas);
    bool acceptByValidation(WorksheetImpl& sheet, int32_t row, int32_t col, const Variant& value);
    bool saveThroughDialog(const host::WorkbookPtr& workbook);
    void moveAfterReturn(WorksheetImpl& sheet, int32_t row, int32_t col);
    EmbeddedApplication& app_;
    bool retry_ = false;  // the last stop alert was answered with Retry
    bool replaying_ = false;  // a macro step's procedure is running
    std::vector<Step> undo_, redo_;
    host::RangePtr editCell_;
    std::function<std::string()> saveFilter_;
};

}  // namespace dalvera::platform
