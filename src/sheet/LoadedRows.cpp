#include "sheet/LoadedRows.h"

#include <string>

#include "runtime/Error.h"

namespace dalvera {

Variant LoadedRows::value(size_t column, size_t row) const {
    auto it = readBack_.find(row);
    if (it != readBack_.end()) {
        if (column < it->second.size()) return it->second[column];
    } else if (read_ && row < read_->rowCount() && column < read_->columnCount()) {
        return read_->at(column, row);
    }
    raise(err::Critical, "No values were loaded for row " + std::to_string(row + 1) + "!", "clsForm");
}

}  // namespace dalvera
