#pragma once
// The table sheet: the worksheet of the table workbook that shows one table.
// This holds its worksheets and answers the questions the controller and the
// command rules ask; showing and editing tables are served as they arrive.
#include <string>
#include <vector>

#include "host/Excel.h"

namespace dalvera {

struct ColumnProperty {
    bool hidden = false;
    long width = -1;  // in the database's unit (twips); -1 when not set
};

class clsForm {
public:
    host::WorksheetPtr Sheet() const { return sheet_; }
    void SetSheet(host::WorksheetPtr sheet) { sheet_ = std::move(sheet); }
    host::WorksheetPtr ListSheet() const { return listSheet_; }
    void SetListSheet(host::WorksheetPtr sheet) { listSheet_ = std::move(sheet); }
    // The table the sheet shows ("" when none); its metadata is read for this name.
    const std::string& TableName() const { return tableName_; }
    void SetTableName(std::string name) { tableName_ = std::move(name); }

    // Whether a table is shown (a column model exists).
    bool HasMatrix() const { return false; }
    long RowCount() const { return 0; }
    bool HasChanges() const { return false; }
    bool TableHasPrimaryKeyInfo() const { return false; }
    bool TableHasPrimaryKey() const { return false; }
    // Width and hidden state of each column of the table shown.
    std::vector<ColumnProperty> ColumnLayout() const { return {}; }

    // Forgets the table shown (nothing is shown yet, so nothing to forget).
    void Clear() {}
    void ClearSheet();
    void ShowTable(const std::string& name, int kind);
    void AddRow();
    void WriteData();
    void DeleteRows();
    void Refresh();
    void CloseWorkbook();

private:
    host::WorksheetPtr sheet_;
    host::WorksheetPtr listSheet_;
    std::string tableName_;
};

}  // namespace dalvera
