#pragma once
// The grid of a table sheet: its columns, where it lies on the worksheet and
// how many rows it has; it loads the rows and puts the input rules on them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/Ado.h"
#include "host/Excel.h"
#include "runtime/Collection.h"
#include "sheet/clsField.h"
#include "sheet/clsFormNames.h"

namespace dalvera {

using FieldList = Collection<std::shared_ptr<clsField>>;

// The input rule a column's type calls for (no relation involved).
struct ColumnRule {
    int type = 0;  // 0: no rule
    int alertStyle = 0;
    Variant op = Variant::missing();
    Variant formula1 = Variant::missing();
    Variant formula2 = Variant::missing();
    std::string errorTitle;
    std::string errorMessage;
};
ColumnRule RuleForField(const clsField& field);

// The ADO type groups the sheets tell apart.
namespace adotype {
bool IsSignedInteger(int32_t t);
bool IsUnsignedInteger(int32_t t);
bool IsFractional(int32_t t);
bool IsDateTime(int32_t t);
bool IsText(int32_t t);
constexpr int32_t Boolean = 11;
constexpr int32_t Guid = 72;
constexpr int32_t Currency = 6;
}  // namespace adotype

class clsMatrix {
public:
    // Creating the grid empties the list sheet and builds the Boolean list.
    explicit clsMatrix(host::WorksheetPtr listSheet);
    ~clsMatrix();

    std::shared_ptr<host::ado::Recordset> Load(const host::WorksheetPtr& sheet, const std::string& source,
                                               bool isNewTable);
    void InitFields(const host::ado::Recordset& recordset);
    host::RangePtr HeaderRow() const;
    void FormatNewFields();
    void FinalizeColumnData(bool bInsert, const clsField& oField);
    static std::string NewGuidText();
    static double RandomNumber();

    clsFormNames& FormNames() { return *formNames_; }
    FieldList& Fields() { return fields_; }
    const FieldList& Fields() const { return fields_; }
    long FieldCount() const { return static_cast<long>(fieldArray_.size()); }
    // Zero-based position.
    clsField& Field(long index) { return *fieldArray_.at(static_cast<size_t>(index)); }
    host::RangePtr DataRange() const { return dataRange_; }
    void SetDataRange(host::RangePtr range) { dataRange_ = std::move(range); }
    long RowCount() const { return rowCount_; }
    void SetRowCount(long n) { rowCount_ = n; }
    long LoadedRowCount() const { return loadedRowCount_; }
    void SetLoadedRowCount(long n) { loadedRowCount_ = n; }

private:
    std::unique_ptr<clsFormNames> formNames_;
    std::vector<std::shared_ptr<clsField>> fieldArray_;
    FieldList fields_;
    host::RangePtr dataRange_;
    long rowCount_ = 0;
    long loadedRowCount_ = 0;
};

// "[a]" for a; on a server "[a].[b]" for a.b. A name no statement can hold is refused.
std::string QuoteTableName(const std::string& name);
// Refuses, with message 31, a record count that leaves no room under the header.
void CheckRecordCountFits(const host::WorksheetPtr& tableSheet, long recordCount);

}  // namespace dalvera
