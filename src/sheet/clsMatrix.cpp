#include "sheet/clsMatrix.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <random>

#include "app/ColumnFormat.h"
#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "data/IDS.h"
#include "data/ITable.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "runtime/DateSerial.h"
#include "runtime/Text.h"
#include "sheet/clsForm.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace adotype {
bool IsSignedInteger(int32_t t) { return t == 2 || t == 3 || t == 16 || t == 20; }
bool IsUnsignedInteger(int32_t t) { return t == 17 || t == 18 || t == 19 || t == 21; }
bool IsFractional(int32_t t) { return t == 4 || t == 5 || t == 6 || t == 14 || t == 131; }
bool IsDateTime(int32_t t) { return t == 7 || t == 64 || t == 133 || t == 134 || t == 135; }
bool IsText(int32_t t) { return t == 129 || t == 130 || (t >= 200 && t <= 203); }
}  // namespace adotype

namespace {
double localNowSerial() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return dateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}
// A number column's default is the number, not its text: what F7 writes is the value.
Variant defaultCellValue(const clsField& field, const std::string& text) {
    const int32_t t = field.TypeADO();
    if (!adotype::IsSignedInteger(t) && !adotype::IsUnsignedInteger(t) && !adotype::IsFractional(t)) return Variant(text);
    const std::string plain = trimBlanks(text);
    double d = 0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), d);
    if (plain.empty() || ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(d))
        return Variant(text);
    if (d == std::trunc(d) && std::fabs(d) < 9e15) return Variant(static_cast<long long>(d));
    return Variant(d);
}
}  // namespace

std::string QuoteTableName(const std::string& name) {
    // A server names its tables with their schema (dbo.Orders); in a database file
    // a dot is part of the name.
    if (!goApplication || goApplication->DbKind() == 0) return clsForm::QuoteFieldName(name);
    std::string quoted;
    size_t start = 0;
    while (true) {
        const size_t dot = name.find('.', start);
        quoted += clsForm::QuoteFieldName(name.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) return quoted;
        quoted += ".";
        start = dot + 1;
    }
}

clsMatrix::clsMatrix(host::WorksheetPtr listSheet) : formNames_(std::make_unique<clsFormNames>(std::move(listSheet))) {}

clsMatrix::~clsMatrix() {
    formNames_.reset();
    fields_.Clear();
}

host::RangePtr clsMatrix::HeaderRow() const { return dataRange_ ? dataRange_->Rows(1) : nullptr; }

void clsMatrix::InitFields(const host::ado::Recordset& recordset) {
    fields_.Clear();
    const auto& rsFields = recordset.Fields();
    const long n = rsFields.Count();
    fieldArray_.assign(static_cast<size_t>(n), nullptr);
    ITable& table = goApplication->DataSource()->Table();
    for (long i = 0; i < n; ++i) {
        const std::string& name = rsFields.Item(i)->Name();
        auto field = table.InitializeField(name, static_cast<int16_t>(i), recordset);
        fieldArray_[static_cast<size_t>(i)] = field;
        fields_.Add(field, field->Name());
    }
}

std::shared_ptr<host::ado::Recordset> clsMatrix::Load(const host::WorksheetPtr& sheet, const std::string& source,
                                                      bool isNewTable) {
    auto ds = goApplication->DataSource();
    auto rs = ds->GetRecordSet(source, false);
    try {
        rowCount_ = loadedRowCount_ = rs->RecordCount();
        if (isNewTable) {
            if (goApplication->Aux().ConfirmLargeResult(rs->Fields().Count(), rowCount_))
                raise(err::Cancelled, "", "clsMatrix");
            InitFields(*rs);
        }
        // Refused here already: a grid taller than the sheet cannot even be addressed.
        CheckRecordCountFits(sheet, rowCount_);
        const long n = FieldCount();
        dataRange_ = sheet->Range(sheet->Cells(1, 1), sheet->Cells(rowCount_ + 1, std::max(n, 1L)));
        host::RangePtr header = HeaderRow();
        for (long i = 1; i <= n; ++i) fieldArray_[static_cast<size_t>(i - 1)]->SetCell(header->Cells(1, i));
        goApplication->ShowRecordset(sheet, *rs, 1, 1);
    } catch (...) {
        ds->CloseRecordSet(rs);
        throw;
    }
    return rs;
}

void clsMatrix::FormatNewFields() {
    for (long i = 1; i <= fields_.Count(); ++i) {
        const clsField& field = *fields_.Item(i);
        host::RangePtr first = field.Cell()->Offset(1, 0);
        first->Font()->SetBold(false);
        host::RangePtr cell = field.Cell()->Offset(rowCount_, 0);
        // As in the loaded rows, a text column's new cell keeps what is typed as typed.
        if (adotype::IsText(field.TypeADO()) || field.TypeADO() == adotype::Guid) cell->SetNumberFormat("@");
        // The first row of an empty table has no row above to take its formats
        // from: its defaults show as the column's values will, 0% not 0.
        else if (rowCount_ == 1) ApplyNotation(cell, field.Notation(), field.TypeADO());
        const Variant& def = field.DefaultValue();
        const bool present = !def.isMissing() && !def.isNull() && !def.isEmpty();
        if (field.TypeADO() == adotype::Boolean) {
            if (present && def.text() != "") {
                bool value = def.isNumeric() ? def.toDouble() != 0 : IsTrueText(def);
                cell->SetValue(Variant(value));
            }
        } else if (!field.IsAutoIncr() && present) {
            const std::string d = lowerAscii(trimBlanks(def.text()));
            const double now = localNowSerial();
            const DateParts parts = dateParts(now);
            const int y = parts.year, m = parts.month, dd = parts.day;
            if (d == "now()" || d == "current_timestamp") cell->SetValue(Variant::date(now));
            else if (d == "date()" || d == "getdate" || d == "getutcdate") cell->SetValue(Variant::date(std::floor(now)));
            else if (d == "time()") cell->SetValue(Variant::date(now - std::floor(now)));
            else if (d == "year(now())" || d == "year(date())") cell->SetValue(Variant(y));
            else if (d == "month(now())" || d == "month(date())") cell->SetValue(Variant(m));
            else if (d == "day(now())" || d == "day(date())") cell->SetValue(Variant(dd));
            else if (d == "newid") cell->SetValue(Variant(NewGuidText()));
            else if (d == "rand") cell->SetValue(Variant(RandomNumber()));
            else if (d.find('(') == std::string::npos) cell->SetValue(defaultCellValue(field, replaceAll(def.text(), "\"", "")));
        }
        FinalizeColumnData(true, field);
    }
}

std::string clsMatrix::NewGuidText() { return host::shell().CreateGuid(); }

double clsMatrix::RandomNumber() {
    // Seeded once from the clock: seeding per call would repeat within one tick.
    static std::mt19937_64 engine(static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                                  static_cast<uint64_t>(std::time(nullptr)));
    return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
}

}  // namespace dalvera
