#pragma once
// The values of the table's rows as they were read, for the check that nobody
// changed a record since: the record set's own compact rows, shared rather than
// copied, and the few rows a write read back afterwards.
#include <map>
#include <memory>
#include <vector>

#include "runtime/ValueTable.h"
#include "runtime/Variant.h"

namespace dalvera {

class LoadedRows {
public:
    void clear() {
        read_.reset();
        readBack_.clear();
    }
    void setRead(std::shared_ptr<const ValueTable> rows) {
        read_ = std::move(rows);
        readBack_.clear();
    }
    // Data row index (0-based) whose values are known.
    bool hasRow(size_t row) const { return (read_ && row < read_->rowCount()) || readBack_.count(row) > 0; }
    size_t columnCount() const { return read_ ? read_->columnCount() : readBack_.empty() ? 0 : readBack_.begin()->second.size(); }
    // The value as read; raises 668 for a row or column that was never read.
    Variant value(size_t column, size_t row) const;
    // A row as a write read it back: it replaces what was loaded for that row.
    void setRow(size_t row, std::vector<Variant> values) { readBack_[row] = std::move(values); }
    size_t memoryBytes() const { return read_ ? read_->memoryBytes() : 0; }

private:
    std::shared_ptr<const ValueTable> read_;
    std::map<size_t, std::vector<Variant>> readBack_;
};

}  // namespace dalvera
