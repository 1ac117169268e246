// Writing the edited rows of the table sheet back to the database.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>

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

std::string quoteText(const std::string& text) {
    // A server may keep only the characters of its code page in a plain literal.
    auto ds = goApplication ? goApplication->DataSource() : nullptr;
    return (ds ? ds->TextLiteralPrefix() : std::string()) + "'" + replaceAll(text, "'", "''") + "'";
}

// Yes/No as the open database writes it (a server may want TRUE, not 1).
std::string booleanLiteral(bool value) {
    auto ds = goApplication ? goApplication->DataSource() : nullptr;
    return ds ? ds->BooleanLiteral(value) : std::string(value ? "1" : "0");
}

// A number as the machine writes it, with the decimal comma a statement cannot hold.
std::string numberLiteral(const std::string& text) { return replaceAll(text, ",", "."); }

// The shortest decimal that reads back as exactly this double.
std::string exactDouble(double d) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return ec == std::errc() ? std::string(buf, end) : std::to_string(d);
}

// Currency is kept in units of 1/10000: its decimal text is exact.
std::string exactCurrency(int64_t scaled) {
    const bool negative = scaled < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string text = std::to_string(magnitude / 10000);
    if (const uint64_t frac = magnitude % 10000) {
        std::string digits = std::to_string(frac);
        digits.insert(digits.begin(), 4 - digits.size(), '0');
        while (digits.back() == '0') digits.pop_back();
        text += "." + digits;
    }
    return negative ? "-" + text : text;
}

// A number value as a literal, never through its display text; false for anything else.
bool numberValueLiteral(const Variant& value, std::string& out) {
    switch (value.type()) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::LongLong:
    case VarType::Byte: out = std::to_string(value.toLongLong()); return true;
    case VarType::Single:
    case VarType::Double: {
        const double d = value.toDouble();
        if (!std::isfinite(d)) return false;
        out = exactDouble(d);
        return true;
    }
    case VarType::Currency: out = exactCurrency(value.currencyScaledValue()); return true;
    default: return false;
    }
}

bool cellIsTrue(const Variant& value) {
    if (value.isBoolean()) return value.toBool();
    if (value.isNumeric()) return value.toDouble() != 0;
    return IsTrueText(value);
}

// What a text column's cell holds: the text itself, never its display form.
std::string cellText(const host::RangePtr& cell) {
    const Variant value = cell->Value();
    if (value.isString()) return value.stringRef();
    if (value.isEmpty() || value.isNull()) return std::string();
    std::string number;
    if (numberValueLiteral(value, number)) return number;
    return cell->Text();
}

// The host's clock as a date serial, to wait a moment at a time.
double nowSerial() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return dateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                      local.tm_sec);
}

double gReadyTimeout = 30.0;
bool gChangeCheck = true;
}  // namespace

void clsForm::SetReadyTimeout(double seconds) { gReadyTimeout = seconds; }

void clsForm::SetChangeCheck(bool on) { gChangeCheck = on; }

bool clsForm::IsStoredRow(long row) const {
    if (row < 1) return false;
    // A sorted row keeps the place it was read at.
    const long read = static_cast<long>(loaded_.sourceRow(static_cast<size_t>(row - 1))) + 1;
    return (matrix_ && read <= matrix_->LoadedRowCount()) || insertedRows_.count(row) > 0;
}

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
    const std::vector<clsField*> columns = writtenColumns(flags, row);
    bool first = true;
    for (clsField* field : columns) {
        if (!first) sql += ", ";
        first = false;
        sql += QuoteFieldName(field->Name()) + " = " + FormatCellValue(*field, field->Cell()->Offset(row, 0), true);
    }
    Collection<std::string>& keys = goApplication->DataSource()->Table().PrimaryKeys();
    const long keyCount = std::min(keys.Count(), 255L);
    for (long n = 1; n <= keyCount; ++n) {
        const std::string& name = keys.Item(n);
        sql += n == 1 ? " WHERE " : " AND ";
        sql += SameValueCondition(name, LoadedKey(row, name));
    }
    // Only while the record still holds what was loaded for the columns written:
    // otherwise someone else changed it since, and their change is not overwritten.
    for (clsField* field : columns) {
        if (!gChangeCheck || field->IsPrimary()) continue;
        const auto index = static_cast<size_t>(field->Index());
        if (!loaded_.hasRow(static_cast<size_t>(row - 1)) || index >= loaded_.columnCount()) continue;
        sql += " AND " + SameValueCondition(field->Name(), loaded_.value(index, static_cast<size_t>(row - 1)));
    }
    return sql;
}

std::string clsForm::FormatCellValue(const clsField& column, const host::RangePtr& cell, bool truncate) {
    const int32_t type = column.TypeADO();
    const bool textual = !isNumberType(type) && !adotype::IsDateTime(type) && type != adotype::Boolean;
    const std::string text = textual ? cellText(cell) : cell->Text();
    if (trimBlanks(text).empty() && (textual || trimBlanks(cell->Value().text()).empty())) return "NULL";
    const Variant value = cell->Value();
    if (isNumberType(type)) {
        // The value itself at full precision: its display text is rounded, and a
        // date or a text is no number, whatever it looks like.
        std::string literal;
        if (!numberValueLiteral(value, literal))
            raise(err::Information, GetMessage(222, Variant(value.text()), Variant(column.Cell()->Text())), "clsForm");
        return literal;
    }
    if (adotype::IsDateTime(type)) {
        if (!value.isDate() && !value.isNumber())
            raise(err::Information, GetMessage(223, Variant(value.text()), Variant(column.Cell()->Text())), "clsForm");
        return goApplication->DataSource()->Convert2Date(Variant::date(value.toDouble()));
    }
    if (type == adotype::Boolean) return booleanLiteral(cellIsTrue(value));
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
        return booleanLiteral(t == "waar" || t == "true");
    }
    if (type == adotype::Guid) return goApplication->DataSource()->Convert2GUID(text);
    return quoteText(text);
}

std::string clsForm::ValueLiteral(const Variant& value) {
    if (value.isNull() || value.isEmpty()) return "NULL";
    std::string literal;
    if (numberValueLiteral(value, literal)) return literal;
    if (value.isDate()) return goApplication->DataSource()->Convert2Date(value);
    if (value.isBoolean()) return booleanLiteral(value.toBool());
    if (value.isString()) return quoteText(value.stringRef());
    // A value a statement cannot name (a binary, say) cannot find its row.
    raise(err::Critical, "A " + value.typeName() + " value cannot be written as a literal.", "clsForm");
}

std::string clsForm::SameValueCondition(const std::string& name, const Variant& value) {
    if (value.isNull() || value.isEmpty()) return QuoteFieldName(name) + " IS NULL";
    // Yes is stored as -1 by some and as 1 by others: any non-zero is Yes.
    if (value.isBoolean()) {
        const std::string literal = booleanLiteral(value.toBool());
        if (literal != "1" && literal != "0") return QuoteFieldName(name) + " = " + literal;
        return QuoteFieldName(name) + (value.toBool() ? " <> 0" : " = 0");
    }
    if (value.type() == VarType::Single && std::isfinite(value.toDouble())) {
        // A Single is read from a stored number rounded to float: any stored number
        // that reads as this Single is the value that was loaded.
        const float f = static_cast<float>(value.toDouble());
        const float below = std::nextafter(f, -std::numeric_limits<float>::infinity());
        const float above = std::nextafter(f, std::numeric_limits<float>::infinity());
        const double low = std::isfinite(below) ? (static_cast<double>(below) + f) / 2 : f;
        const double high = std::isfinite(above) ? (static_cast<double>(above) + f) / 2 : f;
        return QuoteFieldName(name) + " BETWEEN " + exactDouble(low) + " AND " + exactDouble(high);
    }
    return QuoteFieldName(name) + " = " + ValueLiteral(value);
}

std::string clsForm::QuoteFieldName(const std::string& name) {
    if (goApplication)
        if (auto ds = goApplication->DataSource()) {
            std::string quoted = ds->QuoteName(name);
            if (!quoted.empty()) return quoted;
        }
    if (name.find(']') == std::string::npos) return "[" + name + "]";
    if (name.find('`') == std::string::npos) return "`" + name + "`";
    raise(err::Information, GetMessage(224, Variant(name), Variant("] `")), "clsForm");
}

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
        // Only "table.column" names a column: a server's constraint name merely begins with the table's.
        if (qualifier.empty() || qualifier.size() != tableName_.size()) return;
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
    case err::Information: {
        std::string text = e.description();
        LocateErrorCell(row, text);
        ShowMessage(text, host::mb::Information);
        break;
    }
    case err::Exclamation: ShowMessage(e.description(), host::mb::Exclamation); break;
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

bool clsForm::waitUntilReadyFor(double seconds) {
    auto& app = HostApp();
    const double giveUp = nowSerial() + seconds / 86400;
    while (!app.Ready()) {
        if (nowSerial() >= giveUp) {
            // Nothing happens while a cell is being edited; the person must know why.
            ShowMessage(GetMessage(225), host::mb::Information);
            return false;
        }
        app.Wait(nowSerial() + 1.0 / 86400);
    }
    return true;
}

std::string clsForm::keyConditionAfterWrite(const std::vector<bool>& flags, long row, bool inserted,
                                            const Variant& identity) {
    Collection<std::string>& keys = goApplication->DataSource()->Table().PrimaryKeys();
    const std::vector<clsField*> columns = writtenColumns(flags, row);
    std::string where;
    for (long n = 1; n <= std::min(keys.Count(), 255L); ++n) {
        const std::string& name = keys.Item(n);
        clsField& field = *matrix_->Fields().Item(name);
        std::string literal;
        if (std::find(columns.begin(), columns.end(), &field) != columns.end()) {
            literal = FormatCellValue(field, field.Cell()->Offset(row, 0), true);
        } else if (!inserted) {
            where += (where.empty() ? "" : " AND ") + SameValueCondition(name, LoadedKey(row, name));
            continue;
        } else if (field.IsAutoIncr() && !identity.isEmpty() && !identity.isNull()) {
            literal = ValueLiteral(identity);
        } else {
            return std::string();  // the database chose this key; the row cannot be named
        }
        if (literal == "NULL") return std::string();
        where += (where.empty() ? "" : " AND ") + QuoteFieldName(name) + " = " + literal;
    }
    return where;
}

bool clsForm::rememberWrittenRow(long row, const std::string& where) {
    if (where.empty()) return false;
    auto ds = goApplication->DataSource();
    auto rs = ds->GetRecordSet("SELECT * FROM " + QuoteTableName(tableName_) + " WHERE " + where, false);
    std::vector<std::vector<Variant>> columns;
    long got = 0;
    try {
        got = rs->RecordCount() == 1 ? rs->FetchColumns(1, columns) : 0;
    } catch (...) {
        ds->CloseRecordSet(rs);
        throw;
    }
    ds->CloseRecordSet(rs);
    if (got != 1 || static_cast<long>(columns.size()) != matrix_->FieldCount()) return false;
    const size_t index = static_cast<size_t>(row - 1);
    std::vector<Variant> values;
    for (auto& column : columns) values.push_back(std::move(column.front()));
    loaded_.setRow(index, std::move(values));
    if (static_cast<long>(loaded_.sourceRow(index)) + 1 > matrix_->LoadedRowCount()) insertedRows_.insert(row);
    // What the database made of the row (an auto-number, a default, a cut text) is what the sheet shows.
    for (long c = 0; c < matrix_->FieldCount(); ++c) {
        clsField& field = matrix_->Field(c);
        const Variant stored = loaded_.value(static_cast<size_t>(c), index);
        host::RangePtr cell = field.Cell()->Offset(row, 0);
        if (cell->Value() != stored) cell->SetValue(stored);
    }
    return true;
}

void clsForm::finishWrite(const std::vector<WrittenRow>& written, const std::vector<long>& notFound,
                          bool reload) {
    for (const WrittenRow& w : written) rowChanged_[static_cast<size_t>(w.row - 1)] = "0";
    if (reload) {
        ShowTable(tableName_, 0);
        return;
    }
    // No reload, so that nothing typed is lost; the written rows become stored rows
    // with what the database now holds, and only unwritten edits stay painted.
    clsAux& aux = goApplication->Aux();
    UnprotectSheet();
    try {
        const long back = aux.SettingColor(setting::ColorMatrixBack);
        const long front = aux.SettingColor(setting::ColorMatrixFront);
        for (const WrittenRow& w : written) {
            bool known = false;
            try {
                known = rememberWrittenRow(w.row, w.where);
            } catch (const Error&) {
                // Not read back: below, the row is kept from being written twice.
            }
            for (long c = 0; c < matrix_->FieldCount(); ++c) {
                host::RangePtr cell = matrix_->Field(c).Cell()->Offset(w.row, 0);
                if (!IsEditedCell(cell)) continue;
                cell->Interior()->SetColor(back);
                cell->Font()->SetColor(front);
            }
            // An inserted row that cannot be named again must not be inserted again
            // either: it stays read-only until the next reload shows it as stored.
            if (!known && w.insert) SetRangeEditable(matrix_->HeaderRow()->Offset(w.row, 0), false);
        }
    } catch (const Error&) {
        ProtectSheet();
        throw;
    }
    ProtectSheet();
    if (!notFound.empty()) {
        std::string rows;
        for (long r : notFound) rows += (rows.empty() ? "" : ", ") + std::to_string(r + 1);
        ShowMessage(GetMessage(219, Variant(rows)), host::mb::Exclamation);
    }
}

void clsForm::WriteData() {
    auto& app = HostApp();
    // The host is not ready while the person is still typing in a cell.
    if (!waitUntilReadyFor(gReadyTimeout)) return;
    clsApplication& controller = *goApplication;
    clsAux& aux = controller.Aux();
    std::shared_ptr<IDS> ds = controller.DataSource();
    long updated = 0, inserted = 0;
    std::vector<long> notFound;
    std::vector<WrittenRow> written;
    std::optional<Error> statementError;
    long errorRow = 0;
    std::string errorSql;
    bool stored = false;
    try {
        if (!ds || !matrix_) raise(91, "Object variable or With block variable not set", "clsForm");
        const std::vector<bool> flags = WritableColumns();
        editedColour_ = aux.SettingColor(setting::ColorMatrixBackEdited);
        // A table whose key the database fills is told the key it gave.
        bool autoKey = false;
        Collection<std::string>& keys = ds->Table().PrimaryKeys();
        for (long n = 1; n <= keys.Count(); ++n)
            if (matrix_->Fields().Item(keys.Item(n))->IsAutoIncr()) autoKey = true;
        bool anyFlagged = false;
        for (const auto& f : rowChanged_) anyFlagged = anyFlagged || f == "1";
        // One transaction: a file committed once, not once per row, and a failed
        // commit leaves nothing half written.
        if (anyFlagged) ds->BeginTransaction();
        long row = 0;
        std::string sql;
        try {
            for (size_t i = 0; i < rowChanged_.size(); ++i) {
                if (rowChanged_[i] != "1") continue;
                row = static_cast<long>(i) + 1;
                sql.clear();
                const bool existing = IsStoredRow(row);
                // A row whose edited marks were all removed has nothing to write.
                if (writtenColumns(flags, row).empty()) {
                    rowChanged_[i] = "0";
                    continue;
                }
                sql = existing ? BuildUpdateStatement(flags, row) : BuildInsertStatement(flags, row);
                const int32_t affected = ds->ExecuteQuery(sql);
                if (existing && affected == 0) {
                    // Changed or deleted by someone else since the load: keep what was typed.
                    notFound.push_back(row);
                    continue;
                }
                Variant identity;
                if (!existing && autoKey) identity = ds->LastIdentity();
                (existing ? updated : inserted) += affected;
                written.push_back({row, !existing, keyConditionAfterWrite(flags, row, !existing, identity)});
            }
        } catch (const Error& e) {
            // The rows above the failing one are still written, as the message
            // that names the failing row lets the person expect.
            statementError = e;
            errorRow = row;
            errorSql = sql;
        }
        if (anyFlagged) {
            try {
                ds->CommitTransaction();
            } catch (const Error& e) {
                // Nothing is stored: undone explicitly, every row stays flagged and painted.
                try {
                    ds->RollbackTransaction();
                } catch (const Error&) {
                    // Closing the connection below undoes it as well.
                }
                statementError.reset();
                CurrentErrorScope current(e);
                raise(err::Exclamation, GetMessage(221, Variant(aux.CleanOdbcMessage(e.description()))), "clsForm");
            }
        }
        stored = true;
    } catch (const Error& e) {
        handleWriteError(e, 0, std::string());
    }
    if (!stored) {
        written.clear();
        notFound.clear();
        updated = inserted = 0;
    }
    if (statementError) handleWriteError(*statementError, errorRow, errorSql);
    if (stored) {
        try {
            finishWrite(written, notFound, !statementError && notFound.empty());
        } catch (const Error& e) {
            handleWriteError(e, 0, std::string());
        }
    }
    try {
        if (ds) ds->DisconnectADO();
    } catch (const Error&) {
        // The counts below are still what the person needs to hear.
    }
    // What was written is in the database: no undo takes it or the rows before it back.
    forgetAddedRows();
    app.OnUndo("", "", "");
    app.SetStatusBar(Variant(GetMessage(6)));
    aux.ShowOptionalMessage(setting::ShowUpdatedRecords, WriteResultMessage(updated, inserted));
}

}  // namespace dalvera
