#pragma once
// The number format a column's data cells get from the field's display
// format and database type, wherever the column's values are shown.
#include <string>

#include "host/Excel.h"

namespace dalvera {

void ApplyNotation(const host::RangePtr& cells, const std::string& notation, int type);

}  // namespace dalvera
