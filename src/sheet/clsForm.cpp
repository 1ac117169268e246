#include "sheet/clsForm.h"

#include "runtime/Error.h"

namespace dalvera {

namespace {
[[noreturn]] void notYet(const char* what) {
    raise(err::Critical, std::string(what) + " is not implemented!", "clsForm");
}
}  // namespace

void clsForm::ClearSheet() { notYet("ClearSheet"); }
void clsForm::ShowTable(const std::string&, int) { notYet("ShowTable"); }
void clsForm::AddRow() { notYet("AddRow"); }
void clsForm::WriteData() { notYet("WriteData"); }
void clsForm::DeleteRows() { notYet("DeleteRows"); }
void clsForm::Refresh() { notYet("Refresh"); }
void clsForm::CloseWorkbook() { notYet("CloseWorkbook"); }

}  // namespace dalvera
