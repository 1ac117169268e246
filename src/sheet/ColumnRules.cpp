// The input rule on a column's data cells: the host itself refuses, or warns
// about, a wrong entry as the person types it.
#include "app/clsApplication.h"
#include "data/IDS.h"
#include "data/ITable.h"
#include "entry/Globals.h"
#include "runtime/Like.h"
#include "runtime/Text.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace xl = host::xl;

namespace {
ColumnRule make(int type, int alertStyle, const Variant& op, const Variant& formula1,
                const Variant& formula2 = Variant::missing()) {
    ColumnRule rule;
    rule.type = type;
    rule.alertStyle = alertStyle;
    rule.op = op;
    rule.formula1 = formula1;
    rule.formula2 = formula2;
    return rule;
}

// Both bounds of a number type: what the column can hold, not an arbitrary floor.
struct Bounds {
    Variant low, high;
    std::string lowText, highText;  // for people; empty where the bounds say nothing useful
};

bool numberBounds(int32_t t, Bounds& b) {
    auto whole = [&](long long low, long long high) {
        b = {Variant(low), Variant(high), std::to_string(low), std::to_string(high)};
        return true;
    };
    switch (t) {
    case 16: return whole(-128, 127);
    case 2: return whole(-32768, 32767);
    case 3: return whole(-2147483648LL, 2147483647LL);
    case 20: b = {Variant(-9223372036854775807.0), Variant(9223372036854775807.0), {}, {}}; return true;
    case 17: return whole(0, 255);
    case 18: return whole(0, 65535);
    case 19: return whole(0, 4294967295LL);
    case 21: b = {Variant(0.0), Variant(18446744073709551615.0), {}, {}}; return true;
    case adotype::Currency:
        b = {Variant(-922337203685477.5807), Variant(922337203685477.5807), {}, {}};
        return true;
    case 4: b = {Variant(-3.402823466e38), Variant(3.402823466e38), {}, {}}; return true;
    case 5:
    case 14:
    case 131: b = {Variant(-1.7976931348623157e308), Variant(1.7976931348623157e308), {}, {}}; return true;
    default: return false;
    }
}
}  // namespace

ColumnRule RuleForField(const clsField& field) {
    ColumnRule rule;
    const int32_t t = field.TypeADO();
    int16_t message = 0;
    Bounds bounds;
    if (numberBounds(t, bounds)) {
        const bool integer = adotype::IsSignedInteger(t) || adotype::IsUnsignedInteger(t);
        rule = make(integer ? xl::ValidateWholeNumber : xl::ValidateDecimal, xl::ValidAlertStop, xl::Between,
                    bounds.low, bounds.high);
        message = adotype::IsUnsignedInteger(t) ? 100 : integer ? 99 : t == adotype::Currency ? 108 : 109;
    } else if (t == 7 || t == 133 || t == 135) {
        if (Like(lowerAscii(field.Notation()), "*time*")) {
            rule = make(xl::ValidateTime, xl::ValidAlertStop, xl::GreaterEqual, Variant("00:00"));
            message = 111;
        } else {
            rule = make(xl::ValidateDate, xl::ValidAlertStop, xl::Greater, Variant("1/1/1900"));
            message = 110;
        }
    } else if (t == 64 || t == 134) {
        rule = make(xl::ValidateTime, xl::ValidAlertStop, xl::GreaterEqual, Variant("00:00"));
        message = 111;
    } else if (t == adotype::Boolean) {
        rule = make(xl::ValidateList, xl::ValidAlertStop, Variant::missing(), Variant("=lst_Boolean"));
        message = 107;
    } else if (t == adotype::Guid) {
        rule = make(xl::ValidateTextLength, xl::ValidAlertStop, xl::Between, Variant("38"), Variant("38"));
        message = 113;
    } else if (adotype::IsText(t)) {
        rule = make(xl::ValidateTextLength, xl::ValidAlertWarning, xl::LessEqual, Variant(static_cast<long>(field.Size())));
        message = 116;
    } else {
        return ColumnRule{};
    }
    const std::string prefix = field.ValidationText().empty() ? std::string() : field.ValidationText() + "\r";
    rule.errorTitle = GetMessage(message == 116 ? 115 : 97);
    rule.errorMessage = prefix + (message == 116 ? GetMessage(116, Variant(static_cast<long>(field.Size())))
                                                 : GetMessage(message));
    // A number too big for the column is refused as well; the person is told the range.
    if (!bounds.lowText.empty())
        rule.errorMessage += "\r" + GetMessage(230, Variant(bounds.lowText), Variant(bounds.highText));
    return rule;
}

void clsMatrix::FinalizeColumnData(bool bInsert, const clsField& oField) {
    const std::string defaultTitle = GetMessage(97);
    host::RangePtr target = bInsert ? oField.Cell()->Offset(rowCount_, 0)
                                    : oField.Cell()->Offset(1, 0)->Resize(rowCount_, 1);
    host::ValidationPtr validation = target->Validation();
    // Cells that carry a titled rule already keep it.
    if (!validation->ErrorTitle().empty()) return;
    validation->Delete();

    clsApplication& app = *goApplication;
    const std::string& shown = app.Form().TableName();
    RelationList& relations = app.DataSource()->Table().Relations();
    for (long i = 1; i <= relations.Count(); ++i) {
        const clsRelation& relation = *relations.Item(i);
        if (relation.ForeignTable() != shown || relation.ForeignField() != oField.Name()) continue;
        if (bInsert && rowCount_ > 1) {
            // The row above carries the list already; no new list per row.
            target->Offset(-1, 0)->Copy();
            target->Select();
            HostApp().Selection()->PasteSpecial(xl::PasteValidation);
            return;
        }
        const std::string name = formNames_->CreateRelationList(relation);
        validation->Add(xl::ValidateList, xl::ValidAlertStop, Variant::missing(), Variant("=" + name));
        validation->SetErrorTitle(defaultTitle);
        validation->SetErrorMessage(GetMessage(98));
        return;
    }

    ColumnRule rule = RuleForField(oField);
    if (rule.type == 0) return;
    validation->Add(rule.type, rule.alertStyle, rule.op, rule.formula1, rule.formula2);
    validation->SetErrorTitle(rule.errorTitle);
    validation->SetErrorMessage(rule.errorMessage);
}

}  // namespace dalvera
