#include "sheet/LoadedRows.h"

#include <string>

#include "runtime/Error.h"

namespace dalvera {

Variant LoadedRows::value(size_t column, size_t row) const {
    auto it = readBack_.find(row);
    if (it != readBack_.end()) {
        if (column < it->second.size()) return it->second[column];
    } else if (read_ && sourceRow(row) < read_->rowCount() && column < read_->columnCount()) {
        return read_->at(column, sourceRow(row));
    }
    raise(err::Critical, "No values were loaded for row " + std::to_string(row + 1) + "!", "clsForm");
}

void LoadedRows::reorder(size_t first, const std::vector<size_t>& order) {
    const size_t end = first + order.size();
    if (source_.size() < end) {
        const size_t had = source_.size();
        source_.resize(end);
        for (size_t i = had; i < end; ++i) source_[i] = i;
    }
    std::vector<size_t> sources(order.size());
    std::map<size_t, std::vector<Variant>> moved;
    for (size_t i = 0; i < order.size(); ++i) {
        const size_t from = first + order[i];
        sources[i] = source_[from];
        auto it = readBack_.find(from);
        if (it != readBack_.end()) moved.emplace(first + i, std::move(it->second));
    }
    for (size_t i = 0; i < order.size(); ++i) {
        source_[first + i] = sources[i];
        readBack_.erase(first + i);
    }
    for (auto& entry : moved) readBack_[entry.first] = std::move(entry.second);
}

}  // namespace dalvera
