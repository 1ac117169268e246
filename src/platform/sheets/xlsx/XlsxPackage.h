#pragma once
// After-touches on a written .xlsx package, for what the writing library
// cannot express: very hidden sheets, structure protection, hidden headings,
// the scroll position of an unfrozen sheet.
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace dalvera::platform::xlsx {

std::string xmlEscape(std::string_view text);
std::string xmlUnescape(std::string_view text);

// In xl/workbook.xml: the <sheet> element whose name is sheetName gets
// state="veryHidden". False when there is no such sheet.
bool markSheetVeryHidden(std::string& workbookXml, std::string_view sheetName);
// In xl/workbook.xml: lock the structure, with the host's 16-bit password hash
// when a password is given.
void addStructureProtection(std::string& workbookXml, std::string_view password);
// In a worksheet part: hide the row and column headings and/or scroll the
// first <sheetView> to topLeftCell ("B5"; empty leaves it). False when the
// part has no <sheetView>.
bool patchSheetView(std::string& sheetXml, bool hideHeadings, std::string_view topLeftCell);
// In a worksheet part: the count of <dataValidations>, which the library keeps
// in 8 bits. False when the part has no validations.
bool setValidationCount(std::string& sheetXml, size_t count);

// Copies the zip archive source to target. Entries named in transforms are
// inflated, changed and deflated again; all others are copied as they are,
// compressed. Raises 1004 on a read or write failure or when a named entry
// is missing.
using EntryTransform = std::function<void(std::string&)>;
void rewriteZip(const std::string& source, const std::string& target,
                const std::map<std::string, EntryTransform>& transforms);

// "A1"-style name of a 1-based cell.
std::string cellName(long row, long col);

}  // namespace dalvera::platform::xlsx
