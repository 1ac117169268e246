// The row commands of the table sheet: add a row, delete rows, reload.
#include <algorithm>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "data/IDS.h"
#include "data/ITable.h"
#include "entry/Globals.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/Text.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
double clockSerial() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return dateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                      local.tm_sec);
}

// The table's key fields as the statements use them; a table declares at most 255.
std::vector<std::string> keyFieldNames() {
    Collection<std::string>& keys = goApplication->DataSource()->Table().PrimaryKeys();
    std::vector<std::string> names;
    const long count = std::min(keys.Count(), 255L);
    for (long k = 1; k <= count; ++k) names.push_back(keys.Item(k));
    return names;
}
}  // namespace

void clsForm::waitUntilReady() {
    auto& app = HostApp();
    // The host is not ready while a cell is still being edited; its value is not in yet.
    while (!app.Ready()) app.Wait(clockSerial() + 1.0 / 86400);
}

void clsForm::reportRowCommandError(const Error& e, bool deleting) {
    CurrentErrorScope current(e);
    const long n = e.number();
    if (n == err::Cancelled) return;
    if (n == err::InvalidCall) ShowMessage(GetMessage(216), host::mb::Exclamation);
    else if (n == err::Information) ShowMessage(e.description(), host::mb::Information);
    else if (n == err::Exclamation) ShowMessage(e.description(), host::mb::Exclamation);
    else if (n == err::Critical && deleting) ShowMessage(e.description(), host::mb::Critical);
    else if (n == err::Database && deleting)
        ShowMessage(goApplication->Aux().CleanOdbcMessage(e.description()), host::mb::Information);
    else ShowMessage(GetMessage(2), host::mb::Critical);
}

namespace {
// The host's procedures that take back and redo an F6.
const char* const kUndoAddRow = "ThisWorkbook.UndoAddRow";
const char* const kRedoAddRow = "ThisWorkbook.RedoAddRow";

void protectAfterRowCommand(const host::WorksheetPtr& sheet, const std::function<void(const Error&)>& report) {
    try {
        host::ProtectOptions options;
        options.allowFormattingColumns = true;
        options.allowFiltering = true;
        options.allowSorting = true;
        sheet->Protect(clsAux::ProtectionPassword(), options);
    } catch (const Error& e) {
        report(e);
    }
    auto& app = HostApp();
    app.SetCutCopyMode(0);
    app.SetEnableEvents(true);
    app.SetScreenUpdating(true);
}
}  // namespace

void clsForm::AddRow() {
    // Only an added row is taken back by an undo: never a stored one, never typing.
    if (appendRow()) HostApp().OnUndo(GetCaption("undoAddRecord"), kUndoAddRow, kRedoAddRow);
}

bool clsForm::appendRow() {
    // A read-only sheet (no primary key) takes no new rows, whoever calls.
    if (!sheet_ || !matrix_ || !TableHasPrimaryKey()) return false;
    auto& app = HostApp();
    clsAux& aux = goApplication->Aux();
    bool added = false, pushed = false;
    try {
        waitUntilReady();
        sheet_->Unprotect(clsAux::ProtectionPassword());
        app.SetScreenUpdating(false);
        app.SetEnableEvents(false);

        const long rows = matrix_->RowCount() + 1;
        const size_t flags = rowChanged_.size();
        // A whole row, so that whatever lies below the grid moves down with it. It goes
        // first: a host that refuses it (a full sheet) leaves the grid as it was.
        sheet_->Rows(rows + 1)->EntireRow()->Insert();
        matrix_->SetRowCount(rows);
        if (rowChanged_.size() < static_cast<size_t>(rows) + 1) rowChanged_.resize(static_cast<size_t>(rows) + 1);
        host::RangePtr data = matrix_->DataRange();
        matrix_->SetDataRange(data->Resize(rows + 1, data->ColumnsCount()));
        addedRows_.push_back({rows, flags});
        pushed = true;

        host::RangePtr newRow = matrix_->HeaderRow()->Offset(rows, 0);
        ApplyEditability(newRow, true);
        aux.DrawGridLines(newRow);
        matrix_->FormatNewFields();
        RememberNewRowDefaults(rows);
        SelectFirstEditableCell(newRow);

        aux.EnableSheetCommands(goApplication->MenuBar(), true);
        aux.EnableSheetCommands(goApplication->CommandBar(), true);
        added = true;
    } catch (const Error& e) {
        reportRowCommandError(e, false);
        // A row half prepared is no row an undo may take back.
        if (pushed) forgetAddedRows();
    }
    protectAfterRowCommand(sheet_, [this](const Error& e) { reportRowCommandError(e, false); });
    return added;
}

void clsForm::forgetAddedRows() {
    addedRows_.clear();
    undoneRows_.clear();
}

bool clsForm::isUntouchedAddedRow(long row) {
    if (!sheet_ || !matrix_ || addedRows_.empty() || addedRows_.back().row != row) return false;
    if (row != matrix_->RowCount() || row <= matrix_->LoadedRowCount() || IsStoredRow(row)) return false;
    const size_t i = static_cast<size_t>(row - 1);
    if (i < rowChanged_.size() && rowChanged_[i] == "1") return false;
    auto remembered = newRowDefaults_.find(row);
    if (remembered == newRowDefaults_.end()) return false;
    for (long k = 0; k < matrix_->FieldCount(); ++k) {
        const std::string text = trimBlanks(matrix_->Field(k).Cell()->Offset(row, 0)->Value().text());
        if (static_cast<size_t>(k) >= remembered->second.size() || text != remembered->second[static_cast<size_t>(k)])
            return false;
    }
    return true;
}

void clsForm::UndoAddRow() {
    const long row = matrix_ ? matrix_->RowCount() : 0;
    if (!isUntouchedAddedRow(row)) {
        // The history no longer matches the sheet: nothing is taken, and nothing older either.
        forgetAddedRows();
        ShowMessage(GetMessage(293), host::mb::Information);
        raise(err::Cancelled, "", "clsForm.UndoAddRow");
    }
    auto& app = HostApp();
    clsAux& aux = goApplication->Aux();
    bool done = false;
    try {
        sheet_->Unprotect(clsAux::ProtectionPassword());
        app.SetScreenUpdating(false);
        app.SetEnableEvents(false);
        const AddedRow added = addedRows_.back();
        // The whole row, as F6 inserted it: what lies below the grid moves back up.
        sheet_->Rows(row + 1)->EntireRow()->Delete();
        addedRows_.pop_back();
        undoneRows_.push_back(added);
        newRowDefaults_.erase(row);
        matrix_->SetRowCount(row - 1);
        rowChanged_.resize(std::max<size_t>(added.flags, 1));
        host::RangePtr data = matrix_->DataRange();
        matrix_->SetDataRange(data->Resize(row, data->ColumnsCount()));
        if (row > 1) SelectFirstEditableCell(matrix_->HeaderRow()->Offset(row - 1, 0));
        else matrix_->HeaderRow()->Cells(1, 1)->Select();

        aux.EnableSheetCommands(goApplication->MenuBar(), true);
        aux.EnableSheetCommands(goApplication->CommandBar(), true);
        done = true;
    } catch (const Error& e) {
        reportRowCommandError(e, false);
        forgetAddedRows();
    }
    protectAfterRowCommand(sheet_, [this](const Error& e) { reportRowCommandError(e, false); });
    if (!done) raise(err::Cancelled, "", "clsForm.UndoAddRow");
}

void clsForm::RedoAddRow() {
    // Only onto the sheet as the undo left it: the row comes back where it was.
    const bool asLeft = matrix_ && !undoneRows_.empty() && undoneRows_.back().row == matrix_->RowCount() + 1;
    if (!asLeft) {
        forgetAddedRows();
        ShowMessage(GetMessage(294), host::mb::Information);
        raise(err::Cancelled, "", "clsForm.RedoAddRow");
    }
    undoneRows_.pop_back();
    std::vector<AddedRow> undone = std::move(undoneRows_);
    if (!appendRow()) raise(err::Cancelled, "", "clsForm.RedoAddRow");
    undoneRows_ = std::move(undone);  // older undone rows can still be redone after this one
}

std::string clsForm::deleteStatement(long worksheetRow, std::string& keyText) {
    const size_t index = static_cast<size_t>(worksheetRow - 2);
    if (worksheetRow < 2 || !loaded_.hasRow(index))
        raise(err::Critical, "No key values were loaded for row " + std::to_string(worksheetRow) + "!", "clsForm");
    std::string where;
    keyText.clear();
    for (const std::string& key : keyFieldNames()) {
        const Variant value = LoadedKey(worksheetRow - 1, key);
        where += (where.empty() ? "" : " AND ") + SameValueCondition(key, value);
        keyText += (keyText.empty() ? "" : ", ") + key + " = " + value.text();
    }
    // Only the record as it was loaded: one that someone changed since is left alone.
    for (long c = 0; c < matrix_->FieldCount(); ++c) {
        const clsField& field = matrix_->Field(c);
        if (field.IsPrimary() || static_cast<size_t>(c) >= loaded_.columnCount()) continue;
        const Variant value = loaded_.value(static_cast<size_t>(c), index);
        if (value.isBytes()) continue;  // no literal names a binary value
        where += " AND " + SameValueCondition(field.Name(), value);
    }
    return "DELETE FROM " + QuoteTableName(tableName_) + " WHERE " + where;
}

void clsForm::DeleteRows() {
    if (!sheet_ || !matrix_) return;
    auto& app = HostApp();
    clsAux& aux = goApplication->Aux();
    std::shared_ptr<IDS> ds = goApplication->DataSource();
    long deleted = 0;
    // Records that were gone before their DELETE ran: someone else removed them.
    std::vector<std::string> notFound;
    try {
        host::RangePtr selection = app.Selection();
        if (!selection) raise(err::Information, GetMessage(75), "clsForm.DeleteRows");
        if (selection->Areas()->Count() > 1) raise(err::Information, GetMessage(73), "clsForm.DeleteRows");

        std::vector<long> candidates;
        // A read-only sheet has no keys to delete by.
        if (ds && selection->Worksheet() == sheet_ && TableHasPrimaryKey() && matrix_->RowCount() > 0) {
            // Cells below the grid are locked anyway; not visiting them keeps a whole-column selection cheap.
            const long first = std::max(selection->Row(), 2L);
            const long last = std::min(selection->Row() + selection->RowsCount() - 1, matrix_->RowCount() + 1);
            const long column = selection->Column();
            for (long r = first; r <= last; ++r) {
                Variant locked = sheet_->Cells(r, column)->Locked();
                if (locked.isBoolean() && locked.toBool()) continue;
                if (!IsStoredRow(r - 1)) raise(err::Information, GetMessage(74), "clsForm.DeleteRows");
                candidates.push_back(r);
            }
        }
        if (candidates.empty()) raise(err::Information, GetMessage(75), "clsForm.DeleteRows");

        const long count = static_cast<long>(candidates.size());
        std::string question = HasChanges() ? GetMessage(16) : std::string();
        question += count == 1 ? GetMessage(76) : GetMessage(77, Variant(count));
        if (ShowMessage(question, host::mb::YesNo | host::mb::Question) == host::answer::No)
            raise(err::Cancelled, "", "clsForm.DeleteRows");

        for (long row : candidates) {
            std::string keyText;
            const std::string sql = deleteStatement(row, keyText);
            const int32_t affected = ds->ExecuteQuery(sql);
            deleted += affected;
            if (affected == 0) notFound.push_back(keyText);
        }
        // Rows found gone are stale on the sheet as well.
        if (deleted > 0 || !notFound.empty()) ShowTable(tableName_, 0);
    } catch (const Error& e) {
        reportRowCommandError(e, true);
        // Records already deleted must not linger on the sheet as if they still existed.
        if (deleted > 0 && e.number() != err::Cancelled) {
            try {
                ShowTable(tableName_, 0);
            } catch (const Error&) {
                // ShowTable reports its own failures.
            }
        }
    }
    try {
        if (ds) ds->DisconnectADO();
    } catch (const Error&) {
        // The count below is owed to the person whatever the connection does.
    }
    if (!notFound.empty()) {
        std::string list;
        for (const auto& k : notFound) list += "\r" + k;
        ShowMessage(GetMessage(220, Variant(static_cast<long>(notFound.size())), Variant(list)),
                    host::mb::Exclamation);
    }
    aux.ShowOptionalMessage(setting::ShowDeletedRecords,
                            deleted == 1 ? GetMessage(78) : GetMessage(79, Variant(deleted)));
}

void clsForm::Refresh() {
    if (!sheet_ || !matrix_ || tableName_.empty()) return;
    try {
        if (HasChanges()) {
            if (ShowMessage(GetMessage(21), host::mb::YesNo | host::mb::Question) == host::answer::No) return;
        } else {
            waitUntilReady();
        }
        ShowTable(tableName_, 0);
    } catch (const Error& e) {
        CurrentErrorScope current(e);
        ShowMessage(GetMessage(2), host::mb::Critical);
    }
}

}  // namespace dalvera
