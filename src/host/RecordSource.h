#pragma once
// Rows that a range can copy in bulk from a record set's current position.
#include <memory>
#include <string>
#include <vector>

#include "runtime/ValueTable.h"
#include "runtime/Variant.h"

namespace dalvera::host {

class RecordSource {
public:
    virtual ~RecordSource() = default;
    virtual long FieldCount() const = 0;
    // Appends up to maxRows rows from the current position to columns[f] (one
    // vector per field, resized to FieldCount by the callee), moves past them and
    // returns how many rows were copied (0 at the end).
    virtual long FetchColumns(long maxRows, std::vector<std::vector<Variant>>& columns) = 0;
    // A source that holds its rows compactly lends them instead of copying:
    // up to maxRows rows from the current position are rows first.. of table;
    // moves past them and returns how many. -1: the source holds none that way.
    virtual long FetchHeld(long maxRows, std::shared_ptr<const ValueTable>& table, long& first) {
        (void)maxRows, (void)table, (void)first;
        return -1;
    }
};

}  // namespace dalvera::host
