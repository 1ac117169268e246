#pragma once
// The table sheet: the worksheet of the table workbook that shows one table,
// formatted by the display settings and protected so that only editable cells
// can be changed.
#include <memory>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/clsFilter.h"
#include "host/Excel.h"
#include "runtime/Collection.h"
#include "sheet/LoadedRows.h"

namespace dalvera {

class clsField;
class clsMatrix;

struct ColumnProperty {
    bool hidden = false;
    long width = -1;  // in the database's unit (twips); -1 when not set
};

// Values as they were read, so that a statement names exactly the row that was read.
using KeyValues = Collection<Variant>;
using FilterList = Collection<std::shared_ptr<clsFilter>>;

class clsForm {
public:
    clsForm();
    ~clsForm();
    clsForm(const clsForm&) = delete;
    clsForm& operator=(const clsForm&) = delete;

    host::WorksheetPtr Sheet() const { return sheet_; }
    void SetSheet(host::WorksheetPtr sheet) { sheet_ = std::move(sheet); }
    host::WorksheetPtr ListSheet() const { return listSheet_; }
    void SetListSheet(host::WorksheetPtr sheet) { listSheet_ = std::move(sheet); }
    // The table the sheet shows ("" when none); its metadata is read for this name.
    const std::string& TableName() const { return tableName_; }
    void SetTableName(std::string name) { tableName_ = std::move(name); }
    // The grid; nullptr before a table is shown.
    clsMatrix* Matrix() const { return matrix_.get(); }
    // Per data row: "1" when the row has unwritten edits.
    std::vector<std::string>& RowChanged() { return rowChanged_; }
    // Per column, per data row: every value as read, keys included, for the
    // check that nobody changed the record since; rows inserted by a write that
    // did not reload too.
    const LoadedRows& LoadedValues() const { return loaded_; }
    // The value of key field `name` in data row `row` (1-based) as read.
    Variant LoadedKey(long row, const std::string& name) const;
    // A row that exists in the database: loaded, or inserted by an earlier write.
    bool IsStoredRow(long row) const;
    FilterList& Filters() { return filters_; }
    long EditedColour() const { return editedColour_; }
    void SetEditedColour(long c) { editedColour_ = c; }

    // Whether a table is shown (a column model exists).
    bool HasMatrix() const { return matrix_ != nullptr; }
    long RowCount() const;
    bool HasChanges() const;
    // Whether the metadata of the shown table is at hand to answer the next question.
    bool TableHasPrimaryKeyInfo() const;
    bool TableHasPrimaryKey() const;
    // Width and hidden state of each column of the table shown.
    std::vector<ColumnProperty> ColumnLayout() const;

    // Forgets grid, flags, keys and filters.
    void Clear();
    void ShowTable(const std::string& tableName, int index);
    void LoadData(bool isNew, const std::string& sql);
    void FormatSheet(bool settingsOnly, bool isNew, const std::string& selectionAddress);
    void ClearSheet();
    void UnprotectSheet();
    void ProtectSheet();
    void ApplyEditability(const host::RangePtr& range, bool newRowOnly);
    void SetRangeEditable(const host::RangePtr& range, bool editable);
    void FinalizeAllColumns();
    void ApplyFieldComments();
    void AddFieldComment(const host::RangePtr& cell, const std::string& text);
    void SelectFirstEditableCell(const host::RangePtr& range);
    void ScrollIntoView(const host::RangePtr& cell);
    void SaveFilter();
    void RestoreFilter();
    void PrepareForSave();
    // After a save that failed once the sheet was prepared: the sheet is
    // protected again and every unwritten edit marked again, so F7 still finds it.
    void RestoreAfterFailedSave();
    void CloseWorkbook();

    // A change on the sheet: flags its rows and paints its cells as edited.
    void RecordChange(const host::RangePtr& target);
    // An undone or redone edit: its rows are flagged again exactly when one
    // of their cells still shows the edited colour, which came back with it.
    void RecordUndo(const host::RangePtr& target);
    // A sort moved data rows first.. (1-based): row first+i is the one that was
    // at first+order[i]. Flags, read values and inserted-row state go along.
    void RecordSort(long firstDataRow, const std::vector<long>& order);
    // Remembers the texts of a new row's cells as F6 filled them.
    void RememberNewRowDefaults(long dataRow);
    void AddRow();
    // Ctrl+Z of F6: takes back the row the last F6 added while it holds only
    // what F6 put in it. A stored row or one with typed data is refused (the
    // person is told, then error 665 tells the host to end its history).
    void UndoAddRow();
    // Ctrl+Y after that: the row is added again as F6 adds it.
    void RedoAddRow();
    void WriteData();
    void DeleteRows();
    void Refresh();

    // Write-back of the flagged rows (F7).
    bool IsEditedCell(const host::RangePtr& cell) const;
    // Entry i: column i may be written (it is not read-only).
    std::vector<bool> WritableColumns() const;
    std::string BuildInsertStatement(const std::vector<bool>& flags, long row);
    std::string BuildUpdateStatement(const std::vector<bool>& flags, long row);
    std::string FormatCellValue(const clsField& column, const host::RangePtr& cell, bool truncate);
    std::string FormatKeyValue(const clsField& column, const std::string& text);
    // The exact literal of a value as the database gave it; NULL for Null and Empty.
    std::string ValueLiteral(const Variant& value);
    // "[name] = literal", or "[name] IS NULL" for a value read as Null.
    std::string SameValueCondition(const std::string& name, const Variant& value);
    // How long F7 waits for the person to finish editing a cell before it says why nothing happens.
    static void SetReadyTimeout(double seconds);
    // The check that nobody changed a record since the load; off only to measure what it costs.
    static void SetChangeCheck(bool on);
    // "[name]"; "`name`" for a name holding "]"; a name the dialect cannot quote is refused.
    static std::string QuoteFieldName(const std::string& name);
    static std::string WriteResultMessage(long updated, long inserted);
    // Selects the cell a database error names and puts its caption in the text; never raises.
    void LocateErrorCell(long row, std::string& text);

private:
    void handleShowError(const Error& e);
    // Row commands (F6, F8, F9).
    void waitUntilReady();
    // F6 itself; false when it failed (the person has been told).
    bool appendRow();
    // Whether data row `row` is the last F6's row, holding only what F6 put there.
    bool isUntouchedAddedRow(long row);
    // Forgets which rows F6 added, so none of them can be taken back any more.
    void forgetAddedRows();
    // The box a row command shows for a caught error; deleting follows the delete command's table.
    void reportRowCommandError(const Error& e, bool deleting);
    // The DELETE for the record loaded in a worksheet row; keyText names its key values for people.
    std::string deleteStatement(long worksheetRow, std::string& keyText);
    // The columns of data row `row` that go into its statement.
    std::vector<clsField*> writtenColumns(const std::vector<bool>& flags, long row);
    void handleWriteError(const Error& e, long row, const std::string& sql);
    // The condition that finds data row `row` after its statement ran: the keys it
    // was written with, or the loaded ones; empty when no key is known.
    std::string keyConditionAfterWrite(const std::vector<bool>& flags, long row, bool inserted, const Variant& identity);
    struct WrittenRow {
        long row;
        bool insert;
        std::string where;  // finds the row as it now is
    };
    // After a stored write: flags reset, then a reload, or the written rows made stored rows.
    void finishWrite(const std::vector<WrittenRow>& written, const std::vector<long>& notFound, bool reload);
    // Reads a written row back, so that it is a stored row with the values the database holds.
    bool rememberWrittenRow(long row, const std::string& where);
    // Waits until the host is ready; false (after telling the person) when it stays busy.
    bool waitUntilReadyFor(double seconds);
    // Refuses, up front, a table whose name or columns cannot be put in a statement.
    void checkNamesQuotable();

    host::WorksheetPtr sheet_;
    host::WorksheetPtr listSheet_;
    std::string tableName_;
    std::unique_ptr<clsMatrix> matrix_;
    std::vector<std::string> rowChanged_;
    // What F6 put into each new row (by data row): a row still holding exactly
    // that is a row of defaults, also where a default is computed (Now, newid).
    std::map<long, std::vector<std::string>> newRowDefaults_;
    // The rows F6 added, last on top, and those an undo took back: the size
    // RowChanged had before each, so an undo leaves it as it found it.
    struct AddedRow {
        long row;
        size_t flags;
    };
    std::vector<AddedRow> addedRows_, undoneRows_;
    LoadedRows loaded_;
    // Data rows past LoadedRowCount that a write inserted without reloading.
    std::set<long> insertedRows_;
    FilterList filters_;
    long editedColour_ = 0;
    // The colours of the cells of edited rows, as they were before a save prepared the sheet.
    struct CellLook {
        host::RangePtr cell;
        Variant back, front;
    };
    std::vector<CellLook> lookBeforeSave_;
};

}  // namespace dalvera
