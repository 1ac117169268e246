#include "addin/SaveFormats.h"

#include "addin/XlsWriter.h"
#include "platform/sheets/XlsxSaver.h"

namespace dalvera::platform {

void registerSaveFormats(EmbeddedApplication& app) {
    // Only formats whose content matches their extension.
    app.registerSaver(host::xl::OpenXMLWorkbook, xlsxSaver());
    app.registerSaver(host::xl::Excel8, xlsSaver());
}

}  // namespace dalvera::platform
