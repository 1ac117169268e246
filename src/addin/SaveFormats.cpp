#include "addin/SaveFormats.h"

#include "platform/sheets/XlsxSaver.h"

namespace dalvera::platform {

void registerSaveFormats(EmbeddedApplication& app) {
    // Only formats whose content matches their extension: an .xls request finds
    // no saver and is refused clearly.
    app.registerSaver(host::xl::OpenXMLWorkbook, xlsxSaver());
}

}  // namespace dalvera::platform
