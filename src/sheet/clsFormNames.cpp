#include "sheet/clsFormNames.h"

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "data/IDS.h"
#include "data/clsRelation.h"
#include "entry/Globals.h"
#include "runtime/Error.h"
#include "runtime/Text.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
constexpr const char* kListPrefix = "lst_";
}

clsFormNames::clsFormNames(host::WorksheetPtr listSheet) : listSheet_(std::move(listSheet)) { Reset(); }

void clsFormNames::Reset() {
    try {
        listCount_ = 0;
        auto names = listSheet_->Parent()->Names();
        for (long i = names->Count(); i >= 1; --i) {
            auto name = names->Item(i);
            if (name->NameText().substr(0, 4) == kListPrefix) name->Delete();
        }
        host::RangePtr columns = listSheet_->Columns("A:B");
        columns->Clear();
        listSheet_->Columns("C")->Clear();  // the names beside the keys
        columns->SetColumnWidth(20);
        WriteListCaption(listSheet_->Range("A1"), "Sources:");
        WriteListCaption(listSheet_->Range("B1"), "Lists:");
        listSheet_->Range("B2")->SetValue(Variant("Value"));
        listSheet_->Range("B3")->SetValue(Variant(true));
        listSheet_->Range("B4")->SetValue(Variant(false));
        listSheet_->Range("A2")->SetValue(Variant("Boolean:"));
        FormatList(listSheet_->Range("B2:B4"));
        listSheet_->Parent()->Names()->AddR1C1("lst_Boolean", "=" + listSheet_->Name() + "!R3C2:R4C2");
    } catch (const Error& e) {
        if (e.number() == err::HostRefusal) raise(err::Information, GetMessage(216), e.source());
        throw;
    }
}

std::string clsFormNames::CreateRelationList(const clsRelation& relation) {
    ++listCount_;
    const std::string name = kListPrefix + std::to_string(listCount_);
    const long s = listSheet_->Range("B1")->End(host::xl::Down)->Row() + 1;
    auto ds = goApplication->DataSource();
    const std::string field = clsForm::QuoteFieldName(relation.RelatedField());
    const std::string table = QuoteTableName(relation.RelatedTable());
    // Beside each key, in the column to its right, the related row's first
    // text field: the drop-down shows "1 · Beverages" and still enters 1.
    const std::string label = LabelField(relation);
    const std::string sql =
        label.empty() ? "SELECT DISTINCT " + field + " FROM " + table + " ORDER BY " + field
                      : "SELECT " + field + ", MIN(" + clsForm::QuoteFieldName(label) + ") AS " +
                            clsForm::QuoteFieldName(label) + " FROM " + table + " GROUP BY " + field + " ORDER BY " + field;
    auto rs = ds->GetRecordSet(sql, false);
    try {
        const long rows = listSheet_->Rows()->RowsCount();
        if (rows < s + rs->RecordCount())
            raise(err::Critical, GetMessage(96, Variant(rows)), "clsFormNames");
        listSheet_->Cells(s, 1)->SetValue(Variant(relation.RelatedTable() + ":"));
        listSheet_->Columns(1)->AutoFit();
        host::RangePtr written = goApplication->Aux().WriteList(listSheet_, *rs, name, s, 2);
        FormatList(written);
    } catch (...) {
        ds->CloseRecordSet(rs);
        throw;
    }
    ds->CloseRecordSet(rs);
    return name;
}

std::string clsFormNames::LabelField(const clsRelation& relation) {
    auto ds = goApplication->DataSource();
    auto rs = ds->GetRecordSet("SELECT * FROM " + QuoteTableName(relation.RelatedTable()) + " WHERE 1 = 0", false);
    std::string label;
    try {
        const auto& fields = rs->Fields();
        for (long i = 0; i < fields.Count() && label.empty(); ++i) {
            auto f = fields.Item(i);
            if (adotype::IsText(f->Type()) && !equalsNoCase(f->Name(), relation.RelatedField())) label = f->Name();
        }
    } catch (...) {
        ds->CloseRecordSet(rs);
        throw;
    }
    ds->CloseRecordSet(rs);
    return label;
}

void clsFormNames::FormatList(const host::RangePtr& range) {
    range->Cells(1, 1)->Font()->SetBold(true);
    range->Interior()->SetColorIndex(36);
    range->Rows(1)->Interior()->SetColorIndex(35);
    goApplication->Aux().DrawGridLines(range);
    range->EntireColumn()->AutoFit();
}

void clsFormNames::WriteListCaption(const host::RangePtr& cell, const std::string& text) {
    cell->SetValue(Variant(text));
    cell->BorderAround(host::xl::Continuous);
    cell->Interior()->SetColorIndex(15);
    cell->Font()->SetBold(true);
}

}  // namespace dalvera
