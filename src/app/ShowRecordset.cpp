// Putting record sets on sheets: the table sheet, result sheets and the list sheet.
#include <cfenv>
#include <cmath>

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "app/ColumnFormat.h"
#include "entry/Globals.h"
#include "runtime/Error.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
bool sameSheet(const host::WorksheetPtr& a, const host::WorksheetPtr& b) {
    if (!a || !b) return false;
    if (a == b) return true;
    return a->Name() == b->Name() && a->Parent()->FullName() == b->Parent()->FullName();
}

bool isFloating(int t) { return t == 4 || t == 5; }
}  // namespace

void ApplyNotation(const host::RangePtr& cells, const std::string& notation, int type) {
    static const char* kMoney = "$ #,##0.00_-";
    static const char* kGeneralDate = "d/m/yyyy h:mm:ss";
    if (notation.empty()) {
        if (type == 6) cells->SetNumberFormat(kMoney);
        // A date of any date type shows as a date, on result sheets too, not as its serial.
        else if (type == 135 || type == 7) cells->SetNumberFormat(kGeneralDate);
        // A server's date and time types carry only their own half.
        else if (type == 133) cells->SetNumberFormat("d/m/yyyy");
        else if (type == 134) cells->SetNumberFormat("h:mm:ss");
        return;
    }
    if (notation == "Valuta") cells->SetNumberFormat(kMoney);
    else if (notation == "Standard") cells->SetStyle("Comma");
    else if (notation == "Percent") cells->SetStyle("Percent");
    else if (notation == "General Date") cells->SetNumberFormat(kGeneralDate);
    else if (notation == "Long Date") cells->SetNumberFormat("dddd d mmmm yyyy");
    else if (notation == "Medium Date") cells->SetNumberFormat("dd/mmm/yy");
    else if (notation == "Short Date") cells->SetNumberFormat("d/m/yyyy");
    else if (notation == "Long Time") cells->SetNumberFormat("h:mm:ss");
    else if (notation == "Medium Time" || notation == "Short Time") cells->SetNumberFormat("h:mm");
    else {
        for (const char* sign : {"\u20AC", "\u00A3", "\u00A5"}) {
            if (notation.starts_with(sign)) {
                cells->SetNumberFormat(std::string(sign) + " #,##0.00_-");
                return;
            }
        }
        if (notation.starts_with("$")) cells->SetNumberFormat("[$$-409] #,##0.00_-");
    }
}

void CheckRecordCountFits(const host::WorksheetPtr& tableSheet, long recordCount) {
    long rows = tableSheet ? tableSheet->Rows()->RowsCount() : host::xl::MaxRows;
    if (recordCount >= rows - 1) raise(err::Information, GetMessage(31, Variant(recordCount)), "ShowRecordset");
}

VariantArray2D clsApplication::GetFieldNames(const host::ado::Recordset& recordset) {
    const auto& fields = recordset.Fields();
    VariantArray2D names(1, fields.Count());
    for (long i = 0; i < fields.Count(); ++i) names(1, i + 1) = Variant(fields.Item(i)->Name());
    return names;
}

void clsApplication::RoundRangeValues(const host::RangePtr& range, int digits) {
    // A tall column goes in slices, so that a million rows never stand as Variants at once.
    constexpr long kSlice = 65536;
    const long rows = range->RowsCount();
    if (range->ColumnsCount() == 1 && rows > kSlice) {
        for (long top = 1; top <= rows; top += kSlice)
            RoundRangeValues(range->Cells(1, 1)->Offset(top - 1, 0)->Resize(std::min(kSlice, rows - top + 1), 1), digits);
        return;
    }
    // Rounded where they stand: a second array of the slice would cost as much again.
    VariantArray2D values = range->Values();
    const double scale = std::pow(10.0, digits);
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);  // a tie goes to the even neighbour
    for (long r = 1; r <= values.rows(); ++r) {
        for (long c = 1; c <= values.cols(); ++c) {
            Variant& v = values(r, c);
            if (!v.isNumber()) continue;  // a text in a number column stays as it is
            const double x = v.toDouble();
            const double scaled = x * scale;
            v = std::isfinite(scaled) ? Variant(std::nearbyint(scaled) / scale) : Variant(x);
        }
    }
    std::fesetround(mode);
    range->SetValues(values);
}

host::RangePtr clsApplication::ShowRecordset(const host::WorksheetPtr& sheet, host::ado::Recordset& recordset,
                                             long row, int16_t column) {
    const long n = recordset.RecordCount();
    host::WorksheetPtr tableSheet = form_->Sheet();
    CheckRecordCountFits(tableSheet ? tableSheet : sheet, n);
    // The list sheet is very hidden and cannot be activated; it is written unseen.
    if (sheet->Visible() == host::xl::SheetVisible) sheet->Activate();
    host::WorkbookPtr tableBook = tableSheet ? tableSheet->Parent() : nullptr;
    const bool saved = tableBook ? tableBook->Saved() : false;

    const auto& fields = recordset.Fields();
    const long f = fields.Count();
    if (f > 0) sheet->Range(sheet->Cells(row, column), sheet->Cells(row, column + f - 1))->SetValues(GetFieldNames(recordset));
    try {
        sheet->Cells(row + 1, column)->CopyFromRecordset(recordset);
    } catch (const Error& e) {
        // A value the sheet cannot take does not stop the rest; a read that failed or was cancelled does.
        if (e.number() != err::HostRefusal) throw;
    }
    host::RangePtr result = sheet->Range(sheet->Cells(row, column), sheet->Cells(row + n, column + std::max(f, 1L) - 1));

    const bool onTableSheet = sameSheet(sheet, tableSheet);
    for (int16_t i = 0; i < f; ++i) {
        auto field = fields.Item(i);
        const clsField* columnModel = nullptr;
        if (onTableSheet) {
            clsMatrix* matrix = form_->Matrix();
            if (!matrix) raiseStandard(err::InvalidCall, "ShowRecordset");
            columnModel = matrix->Fields().Item(field->Name()).get();
            if (!columnModel->Caption().empty() && columnModel->Cell())
                columnModel->Cell()->SetValue(Variant(columnModel->Caption()));
        }
        if (n > 0) {
            host::RangePtr cells = result->Columns(i + 1)->Offset(1, 0)->Resize(n, 1);
            const int type = field->Type();
            if (isFloating(type)) RoundRangeValues(cells, 5);
            else if (adotype::IsText(type) || type == adotype::Guid) cells->SetHorizontalAlignment(host::xl::HAlignLeft);
            // Text cells hold text: what is typed there (0612..., 007, 1.50) stays as typed.
            if (adotype::IsText(type) || type == adotype::Guid) cells->SetNumberFormat("@");
            // Result sheets too: a date shows as a date and an amount as money.
            ApplyNotation(cells, columnModel ? columnModel->Notation() : std::string(), type);
        }
    }
    if (tableBook) tableBook->SetSaved(saved);
    return result;
}

host::RangePtr clsAux::WriteList(const host::WorksheetPtr& listSheet, host::ado::Recordset& recordSet,
                                 const std::string& name, long startRow, int16_t column) {
    host::RangePtr written = goApplication->ShowRecordset(listSheet, recordSet, startRow, column);
    const long count = recordSet.RecordCount();
    long empty = 0;
    if (count == 0) {
        // Fixed texts: the list must offer something to pick.
        listSheet->Cells(startRow, column)->AddComment("Geen waarde(s) aangetroffen");
        listSheet->Cells(startRow + 1, column)->SetValue(Variant("[leeg]"));
        empty = 1;
    }
    listSheet->Parent()->Names()->AddR1C1(
        name, "=" + listSheet->Name() + "!R" + std::to_string(startRow + 1) + "C" + std::to_string(column) + ":R" +
                  std::to_string(startRow + count + empty) + "C" + std::to_string(column));
    return written;
}

}  // namespace dalvera
