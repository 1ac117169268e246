#pragma once
// The file formats the embedded application can save a workbook in.
#include "platform/sheets/Embedded.h"

namespace dalvera::platform {

void registerSaveFormats(EmbeddedApplication& app);

}  // namespace dalvera::platform
