#pragma once
// The single-sheet text formats: comma-separated values (.csv) and
// tab-delimited text (.txt). Both hold the active sheet only, as the host does
// for these formats; the other sheets are not part of such a file.
//
// Each line is one row of the sheet's used range at its full width (empty
// cells give empty fields); lines end with CR LF, the last one too. A field is
// the text the cell shows through its number format, in English notation
// (decimal point, month-first dates), so the file reads the same on every
// locale. A field holding the separator, a double quote, CR or LF is put in
// double quotes with its quotes doubled. The file is UTF-8 and starts with a
// byte-order mark, so that spreadsheet programs read its non-ASCII texts as
// UTF-8 instead of a legacy code page.
#include <string>

#include "platform/sheets/Embedded.h"

namespace dalvera::platform::formats {

// The file's bytes for one sheet, with ',' or '\t' between fields.
std::string buildDelimitedText(const SheetModel& sheet, char separator);

void saveCsv(const host::Workbook& workbook, const WorkbookModel& model, const std::string& path, int fileFormat);
void saveTabText(const host::Workbook& workbook, const WorkbookModel& model, const std::string& path, int fileFormat);

}  // namespace dalvera::platform::formats
