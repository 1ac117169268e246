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
        source_.clear();
    }
    void setRead(std::shared_ptr<const ValueTable> rows) {
        read_ = std::move(rows);
        readBack_.clear();
        source_.clear();
    }
    // The index a data row (0-based, as shown) had when the table was read;
    // rows keep it through a sort, so their read values go with them.
    size_t sourceRow(size_t row) const { return row < source_.size() ? source_[row] : row; }
    // Data row index (0-based) whose values are known.
    bool hasRow(size_t row) const {
        return (read_ && sourceRow(row) < read_->rowCount()) || readBack_.count(row) > 0;
    }
    // Rows first.. were reordered: shown row first+i is the row that was at first+order[i].
    void reorder(size_t first, const std::vector<size_t>& order);
    size_t columnCount() const { return read_ ? read_->columnCount() : readBack_.empty() ? 0 : readBack_.begin()->second.size(); }
    // The value as read; raises 668 for a row or column that was never read.
    Variant value(size_t column, size_t row) const;
    // A row as a write read it back: it replaces what was loaded for that row.
    void setRow(size_t row, std::vector<Variant> values) { readBack_[row] = std::move(values); }
    size_t memoryBytes() const { return read_ ? read_->memoryBytes() : 0; }

private:
    std::shared_ptr<const ValueTable> read_;
    std::map<size_t, std::vector<Variant>> readBack_;  // by shown row
    std::vector<size_t> source_;  // shown row -> read row; identity past its end
};

}  // namespace dalvera
