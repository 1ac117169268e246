#pragma once
// The table sheet: the worksheet of the table workbook that shows one table,
// formatted by the display settings and protected so that only editable cells
// can be changed.
#include <memory>
#include <string>
#include <vector>

#include "data/clsFilter.h"
#include "host/Excel.h"
#include "runtime/Collection.h"

namespace dalvera {

class clsMatrix;

struct ColumnProperty {
    bool hidden = false;
    long width = -1;  // in the database's unit (twips); -1 when not set
};

using KeyValues = Collection<std::string>;
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
    // Per data row: the key values read at load time, by key-field name.
    std::vector<KeyValues>& LoadedKeys() { return loadedKeys_; }
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
    void CloseWorkbook();

    // A change on the sheet: flags its rows and paints its cells as edited.
    void RecordChange(const host::RangePtr& target);
    void AddRow();
    void WriteData();
    void DeleteRows();
    void Refresh();

private:
    void handleShowError(const Error& e);

    host::WorksheetPtr sheet_;
    host::WorksheetPtr listSheet_;
    std::string tableName_;
    std::unique_ptr<clsMatrix> matrix_;
    std::vector<std::string> rowChanged_;
    std::vector<KeyValues> loadedKeys_;
    FilterList filters_;
    long editedColour_ = 0;
};

}  // namespace dalvera
