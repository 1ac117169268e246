#pragma once
// The module-level references that hold the system: the controller, the host
// wrapper and the add-in workbook.
#include <memory>

#include "host/Excel.h"

namespace dalvera {

class clsApplication;
class clsExcel;

extern std::shared_ptr<clsApplication> goApplication;
extern std::shared_ptr<clsExcel> goExcel;
extern host::WorkbookPtr goWorkbook;

// The running host application through the wrapper; error 91 when the add-in
// holds none (it was never initialised, or the instance was refused).
host::Application& HostApp();

}  // namespace dalvera
