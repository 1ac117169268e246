// The row commands of the table sheet: add a row, delete rows, reload.
#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "data/IDS.h"
#include "data/ITable.h"
#include "entry/Globals.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"
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

void clsForm::AddRow() {
    // A read-only sheet (no primary key) takes no new rows, whoever calls.
    if (!sheet_ || !matrix_ || !TableHasPrimaryKey()) return;
    auto& app = HostApp();
    clsAux& aux = goApplication->Aux();
    try {
        waitUntilReady();
        sheet_->Unprotect(clsAux::ProtectionPassword());
        app.SetScreenUpdating(false);
        app.SetEnableEvents(false);

        const long rows = matrix_->RowCount() + 1;
        // A whole row, so that whatever lies below the grid moves down with it. It goes
        // first: a host that refuses it (a full sheet) leaves the grid as it was.
        sheet_->Rows(rows + 1)->EntireRow()->Insert();
        matrix_->SetRowCount(rows);
        if (rowChanged_.size() < static_cast<size_t>(rows) + 1) rowChanged_.resize(static_cast<size_t>(rows) + 1);
        host::RangePtr data = matrix_->DataRange();
        matrix_->SetDataRange(data->Resize(rows + 1, data->ColumnsCount()));

        host::RangePtr newRow = matrix_->HeaderRow()->Offset(rows, 0);
        ApplyEditability(newRow, true);
        aux.DrawGridLines(newRow);
        matrix_->FormatNewFields();
        RememberNewRowDefaults(rows);
        SelectFirstEditableCell(newRow);

        aux.EnableSheetCommands(goApplication->MenuBar(), true);
        aux.EnableSheetCommands(goApplication->CommandBar(), true);
    } catch (const Error& e) {
        reportRowCommandError(e, false);
    }
    try {
        host::ProtectOptions options;
        options.allowFormattingColumns = true;
        options.allowFiltering = true;
        options.allowSorting = true;
        sheet_->Protect(clsAux::ProtectionPassword(), options);
    } catch (const Error& e) {
        reportRowCommandError(e, false);
    }
    app.SetCutCopyMode(0);
    app.SetEnableEvents(true);
    app.SetScreenUpdating(true);
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
