#pragma once
// The web formats: a web page (.htm/.html) and a single-file web archive
// (.mht/.mhtml) holding that page.
//
// The page shows every visible sheet as a table (hidden and very hidden
// sheets are left out, as they are not for the reader): a caption with the
// sheet name, the column widths, and per cell the text it shows through its
// number format with bold, italic, size, font colour, fill, alignment and
// borders as inline styles; a cell's comment becomes its tooltip. Hidden rows
// and columns stay in the table but are not displayed. UTF-8, CR LF line ends.
//
// The archive is a MIME multipart/related message (RFC 2557) with the page as
// its one part, quoted-printable encoded.
#include <string>

#include "platform/sheets/Embedded.h"

namespace dalvera::platform::formats {

std::string buildHtmlPage(const WorkbookModel& model, const std::string& title);
// The archive around a page; location names the page (a relative file URL).
std::string buildWebArchive(const std::string& html, const std::string& location);
// Quoted-printable encoding (RFC 2045) of text with CR LF line breaks.
std::string encodeQuotedPrintable(const std::string& text);

void saveHtml(const host::Workbook& workbook, const WorkbookModel& model, const std::string& path, int fileFormat);
void saveWebArchive(const host::Workbook& workbook, const WorkbookModel& model, const std::string& path,
                    int fileFormat);

}  // namespace dalvera::platform::formats
