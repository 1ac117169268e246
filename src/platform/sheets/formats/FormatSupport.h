#pragma once
// What the single-file savers share: the atomic file write, a row-by-row walk
// over a sheet's used range with the style of every cell, and the text a cell
// shows.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sheets/SheetModel.h"

namespace dalvera::platform::formats {

// Writes content to a temporary file in the target's folder and renames it
// over the target, so a failed save leaves neither a half-written file nor a
// damaged earlier one. Raises 1004 with the reason.
void writeFileAtomically(const std::string& path, std::string_view content);

struct RowCell {
    CellValue value;
    uint32_t style = 0;
};

// Calls fn(row, cells) for every row of the used range, blank rows included;
// cells[i] is column used.c1 + i. Does nothing for an empty sheet.
void forEachRow(const SheetModel& sheet, const Rect& used,
                const std::function<void(int32_t row, const std::vector<RowCell>& cells)>& fn);

// The text the cell shows through its number format, in English notation.
std::string displayText(const SheetModel& sheet, const CellValue& value, const CellStyle& style);

// The sheet a single-sheet format writes: the workbook's active sheet.
const SheetModel& activeSheet(const WorkbookModel& model);

// "#RRGGBB" of a host colour (red + 256 green + 65536 blue).
std::string hexColor(int32_t hostColor);

// The file name without folder and extension.
std::string fileStem(const std::string& path);

}  // namespace dalvera::platform::formats
