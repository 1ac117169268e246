// Writing the edited rows of the table sheet back to the database.
#include <ctime>

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
bool isNumberType(int32_t t) {
    return adotype::IsSignedInteger(t) || adotype::IsUnsignedInteger(t) || adotype::IsFractional(t);
}

std::string quoteText(const std::string& text) { return "'" + replaceAll(text, "'", "''") + "'"; }

// A number as the machine writes it, with the decimal comma a statement cannot hold.
std::string numberLiteral(const std::string& text) { return replaceAll(text, ",", "."); }

bool cellIsTrue(const Variant& value) {
    if (value.isBoolean()) return value.toBool();
    if (value.isNumeric()) return value.toDouble() != 0;
    return IsTrueText(value);
}

// The host's clock as a date serial, to wait a moment at a time.
double nowSerial() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return dateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                      local.tm_sec);
}
}  // namespace

bool clsForm::IsEditedCell(const host::RangePtr& cell) const {
    Variant colour = cell->Interior()->Color();
    return !colour.isNull() && colour.toLong() == editedColour_;
}

std::vector<bool> clsForm::WritableColumns() const {
    std::vector<bool> flags;
    if (!matrix_) return flags;
    flags.resize(static_cast<size_t>(matrix_->FieldCount()));
    for (long i = 0; i < matrix_->FieldCount(); ++i) flags[static_cast<size_t>(i)] = !matrix_->Field(i).ReadOnly();
    return flags;
}

std::vector<clsField*> clsForm::writtenColumns(const std::vector<bool>& flags, long row) {
    std::vector<clsField*> columns;
    for (long i = 0; i < matrix_->FieldCount(); ++i) {
        clsField& field = matrix_->Field(i);
        const size_t index = static_cast<size_t>(field.Index());
        if (index >= flags.size() || !flags[index]) continue;
        if (IsEditedCell(field.Cell()->Offset(row, 0))) columns.push_back(&field);
    }
    return columns;
}

std::string clsForm::BuildInsertStatement(const std::vector<bool>& flags, long row) {
    std::string names, values;
    for (clsField* field : writtenColumns(flags, row)) {
        if (!names.empty()) {
            names += ", ";
            values += ", ";
        }
        names += QuoteFieldName(field->Name());
        values += FormatCellValue(*field, field->Cell()->Offset(row, 0), true);
    }
    return "Insert Into " + QuoteTableName(tableName_) + " (" + names + ") Values (" + values + ")";
}

std::string clsForm::BuildUpdateStatement(const std::vector<bool>& flags, long row) {
    std::string sql = "Update " + QuoteTableName(tableName_) + " SET ";
    bool first = true;
    for (clsField* field : writtenColumns(flags, row)) {
        if (!first) sql += ", ";
        first = false;
        sql += QuoteFieldName(field->Name()) + " = " + FormatCellValue(*field, field->Cell()->Offset(row, 0), true);
    }
    Collection<std::string>& keys = goApplication->DataSource()->Table().PrimaryKeys();
    const KeyValues& loaded = loadedKeys_.at(static_cast<size_t>(row - 1));
    const long keyCount = std::min(keys.Count(), 255L);
    for (long n = 1; n <= keyCount; ++n) {
        const std::string& name = keys.Item(n);
        sql += n == 1 ? " WHERE " : " AND ";
        sql += QuoteFieldName(name) + " = " + FormatKeyValue(*matrix_->Fields().Item(name), loaded.Item(name));
    }
    return sql;
}

std::string clsForm::FormatCellValue(const clsField& column, const host::RangePtr& cell, bool truncate) {
    const std::string text = cell->Text();
    if (trimBlanks(text).empty()) return "NULL";
    const int32_t type = column.TypeADO();
    if (isNumberType(type)) return numberLiteral(cell->Value().text());
    if (adotype::IsDateTime(type)) return goApplication->DataSource()->Convert2Date(cell->Value());
    if (type == adotype::Boolean) return cellIsTrue(cell->Value()) ? "1" : "0";
    if (type == adotype::Guid) return goApplication->DataSource()->Convert2GUID(text);
    if (truncate && column.Size() > 0) return quoteText(utf8Left(text, static_cast<size_t>(column.Size())));
    return quoteText(text);
}

std::string clsForm::FormatKeyValue(const clsField& column, const std::string& text) {
    const int32_t type = column.TypeADO();
    if (isNumberType(type)) return numberLiteral(text);
    if (adotype::IsDateTime(type)) return goApplication->DataSource()->Convert2Date(Variant(text));
    if (type == adotype::Boolean) {
        const std::string t = lowerAscii(trimBlanks(text));
        return t == "waar" || t == "true" ? "1" : "0";
    }
    if (type == adotype::Guid) return goApplication->DataSource()->Convert2GUID(text);
    return quoteText(text);
}

std::string clsForm::QuoteFieldName(const std::string& name) { return "[" + name + "]"; }

std::string clsForm::WriteResultMessage(long updated, long inserted) {
    const long total = updated + inserted;
    return GetMessage(total == 0 ? 86 : total == 1 ? 87 : 88);
}

void clsForm::LocateErrorCell(long row, std::string& text) {
    try {
        const std::string lower = lowerAscii(text);
        const size_t start = lower.find(lowerAscii(tableName_));
        if (tableName_.empty() || start == std::string::npos) return;
        const size_t dot = text.find('.', start);
        if (dot == std::string::npos) return;
        const std::string qualifier = text.substr(start, dot - start);
        if (qualifier.empty()) return;
        const size_t blank = text.find(' ', dot + 1);
        const std::string name = text.substr(dot + 1, blank == std::string::npos ? std::string::npos : blank - dot - 1);
        if (name.empty()) return;
        clsField* column = nullptr;
        for (long i = 0; matrix_ && i < matrix_->FieldCount(); ++i)
            if (matrix_->Field(i).Name() == name) column = &matrix_->Field(i);
        text = replaceAll(text, qualifier + ".", "");
        if (!column) return;
        try {
            host::RangePtr cell = column->Cell()->Offset(row, 0);
            cell->Select();
            ScrollIntoView(cell);
        } catch (const Error&) {
            // The caption below still helps the person find the column.
        }
        text = replaceAll(text, name, column->Cell()->Text());
    } catch (const Error&) {
        // Locating is a courtesy; the message is shown as it stands.
    }
}

void clsForm::handleWriteError(const Error& e, long row, const std::string& sql) {
    CurrentErrorScope current(e);
    switch (e.number()) {
    case err::Critical: ShowMessage(e.description(), host::mb::Critical); break;
    case err::Database: {
        std::string text = goApplication->Aux().CleanOdbcMessage(e.description());
        if (lowerAscii(e.description()).find("syntax") != std::string::npos) text += "\r\rSQL:\r" + sql;
        LocateErrorCell(row, text);
        ShowMessage(text, host::mb::Information);
        break;
    }
    default: ShowMessage(GetMessage(2), host::mb::Critical); break;
    }
}

void clsForm::WriteData() {
    auto& app = HostApp();
    // The host is not ready while the person is still typing in a cell. A host
    // that never gets ready keeps the edits unwritten rather than hang.
    const double giveUp = nowSerial() + 30.0 / 86400;
    while (!app.Ready()) {
        if (nowSerial() > giveUp) return;
        app.Wait(nowSerial() + 1.0 / 86400);
    }
    clsApplication& controller = *goApplication;
    clsAux& aux = controller.Aux();
    std::shared_ptr<IDS> ds = controller.DataSource();
    long updated = 0, inserted = 0;
    std::vector<long> notFound, written;
    long row = 0;
    std::string sql;
    bool inTransaction = false;
    try {
        if (!ds || !matrix_) raise(91, "Object variable or With block variable not set", "clsForm");
        const std::vector<bool> updateFlags = WritableColumns();
        const std::vector<bool> insertFlags = WritableColumns();
        editedColour_ = aux.SettingColor(setting::ColorMatrixBackEdited);
        const long loaded = matrix_->LoadedRowCount();
        // One transaction: a file committed once, not once per row.
        bool anyFlagged = false;
        for (const auto& f : rowChanged_) anyFlagged = anyFlagged || f == "1";
        if (anyFlagged) {
            ds->BeginTransaction();
            inTransaction = true;
        }
        for (size_t i = 0; i < rowChanged_.size(); ++i) {
            if (rowChanged_[i] != "1") continue;
            row = static_cast<long>(i) + 1;
            sql.clear();
            const bool existing = row <= loaded;
            // A row whose edited marks were all removed has nothing to write.
            if (writtenColumns(existing ? updateFlags : insertFlags, row).empty()) {
                rowChanged_[i] = "0";
                continue;
            }
            sql = existing ? BuildUpdateStatement(updateFlags, row) : BuildInsertStatement(insertFlags, row);
            const int32_t affected = ds->ExecuteQuery(sql);
            if (existing && affected == 0) {
                // Changed or deleted by someone else since the load: keep what was typed.
                notFound.push_back(row);
                continue;
            }
            (existing ? updated : inserted) += affected;
            rowChanged_[i] = "0";
            written.push_back(row);
        }
        row = 0;
        if (inTransaction) {
            inTransaction = false;
            ds->CommitTransaction();
        }
        if (notFound.empty()) {
            ShowTable(tableName_, 0);
        } else {
            // No reload, so that nothing typed is lost; only unwritten edits stay painted.
            UnprotectSheet();
            try {
                const long back = aux.SettingColor(setting::ColorMatrixBack);
                const long front = aux.SettingColor(setting::ColorMatrixFront);
                for (long r : written) {
                    for (long c = 0; c < matrix_->FieldCount(); ++c) {
                        host::RangePtr cell = matrix_->Field(c).Cell()->Offset(r, 0);
                        if (!IsEditedCell(cell)) continue;
                        cell->Interior()->SetColor(back);
                        cell->Font()->SetColor(front);
                    }
                }
            } catch (const Error&) {
                ProtectSheet();
                throw;
            }
            ProtectSheet();
            std::string rows;
            for (long r : notFound) rows += (rows.empty() ? "" : ", ") + std::to_string(r + 1);
            ShowMessage(GetMessage(219, Variant(rows)), host::mb::Exclamation);
        }
    } catch (const Error& e) {
        if (inTransaction) {
            // The rows before the failure stay written, as without a transaction;
            // if even that fails, they are flagged again so nothing typed is lost.
            try {
                ds->CommitTransaction();
            } catch (const Error&) {
                for (long r : written) rowChanged_[static_cast<size_t>(r - 1)] = "1";
                updated = inserted = 0;
            }
        }
        handleWriteError(e, row, sql);
    }
    try {
        if (ds) ds->DisconnectADO();
    } catch (const Error&) {
        // The counts below are still what the person needs to hear.
    }
    app.SetStatusBar(Variant(GetMessage(6)));
    aux.ShowOptionalMessage(setting::ShowUpdatedRecords, WriteResultMessage(updated, inserted));
}

}  // namespace dalvera
