#pragma once
// The validation lists of the table workbook: the Boolean list and one list per
// relation of the table shown, kept on the list sheet under "lst_" names.
#include <cstdint>
#include <string>

#include "host/Excel.h"

namespace dalvera {

class clsRelation;

class clsFormNames {
public:
    // Empties the list sheet and builds the Boolean list.
    explicit clsFormNames(host::WorksheetPtr listSheet);

    void Reset();
    // The workbook name of a new list of the related table's distinct values.
    std::string CreateRelationList(const clsRelation& relation);
    void FormatList(const host::RangePtr& range);
    void WriteListCaption(const host::RangePtr& cell, const std::string& text);
    int16_t ListCount() const { return listCount_; }

private:
    // The first text field of the related table other than the related one; "" for none.
    static std::string LabelField(const clsRelation& relation);
    host::WorksheetPtr listSheet_;
    int16_t listCount_ = 0;
};

}  // namespace dalvera
