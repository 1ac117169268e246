#pragma once
// The XML spreadsheet format (.xml): the whole workbook in the 2003 XML
// spreadsheet vocabulary.
//
// Kept: every sheet with its visibility (hidden and very hidden), column
// widths and hidden columns, hidden rows, values with their types (numbers,
// currency as numbers, texts, truth values, dates as ISO date-times), cell
// styles (number format, bold, italic, size, font colour, fill, alignment,
// borders, unlocked cells), comments, workbook names, frozen panes, sheet
// protection with its allowances, and data validation whose limits are
// numbers or literal lists. Validation rules that refer to cells or use
// formulas are left out: the format writes those in R1C1 notation, which this
// writer does not translate. The active sheet is marked selected.
#include <string>

#include "platform/sheets/Embedded.h"

namespace dalvera::platform::formats {

std::string buildXmlSpreadsheet(const WorkbookModel& model);

void saveXmlSpreadsheet(const host::Workbook& workbook, const WorkbookModel& model, const std::string& path,
                        int fileFormat);

}  // namespace dalvera::platform::formats
