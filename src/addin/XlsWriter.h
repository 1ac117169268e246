#pragma once
// Saving in the binary workbook format of the older hosts (".xls"): the
// workbook stream of records inside a compound file. Values, sheet names and
// visibility, column widths and hidden columns, cell styles (number format,
// font, fill, borders, alignment, locking), the palette, frozen panes,
// workbook and sheet protection with their password hashes and allowances,
// workbook names, data validation, the AutoFilter with its criteria and
// comments and hidden rows are written. Row heights are not, nor the
// AutoFilter's drop-down buttons as drawing objects.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sheets/Embedded.h"

namespace dalvera::platform {

// Raises 1004 when the workbook does not fit the format (65536 rows, 256 columns).
void saveXls(const host::Workbook& workbook, const WorkbookModel& model, const std::string& path, int fileFormat);
Saver xlsSaver();

// The workbook stream alone and the compound file around a stream, for readers and tests.
std::vector<uint8_t> buildXlsWorkbookStream(const WorkbookModel& model);
std::vector<uint8_t> buildCompoundFile(const std::string& streamName, const std::vector<uint8_t>& stream);

// The format's short hash of a protection password.
uint16_t xlsPasswordHash(const std::string& password);

}  // namespace dalvera::platform
