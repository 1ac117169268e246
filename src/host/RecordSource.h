#pragma once
// Rows that a range can copy in bulk from a record set's current position.
#include <string>
#include <vector>

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
};

}  // namespace dalvera::host
