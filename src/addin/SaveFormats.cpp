#include "addin/SaveFormats.h"

#include "addin/XlsWriter.h"
#include "platform/sheets/formats/DelimitedText.h"
#include "platform/sheets/formats/WebPage.h"
#include "platform/sheets/formats/XmlSpreadsheet.h"
#include "platform/sheets/XlsxSaver.h"

namespace dalvera::platform {

void registerSaveFormats(EmbeddedApplication& app) {
    // Only formats whose content matches their extension.
    app.registerSaver(host::xl::OpenXMLWorkbook, xlsxSaver());
    app.registerSaver(host::xl::Excel8, xlsSaver());
    app.registerSaver(host::xl::CSV, formats::saveCsv);
    app.registerSaver(host::xl::CurrentPlatformText, formats::saveTabText);
    app.registerSaver(host::xl::Html, formats::saveHtml);
    app.registerSaver(host::xl::WebArchive, formats::saveWebArchive);
    app.registerSaver(host::xl::XMLSpreadsheet, formats::saveXmlSpreadsheet);
}

}  // namespace dalvera::platform
