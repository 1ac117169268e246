#include "entry/Globals.h"

#include "app/clsApplication.h"
#include "app/clsExcel.h"
#include "runtime/Error.h"

namespace dalvera {

std::shared_ptr<clsApplication> goApplication;
std::shared_ptr<clsExcel> goExcel;
host::WorkbookPtr goWorkbook;

host::Application& HostApp() {
    if (!goExcel || !goExcel->GetApplication())
        raise(91, "Object variable or With block variable not set");
    return *goExcel->GetApplication();
}

}  // namespace dalvera
