// The row commands of the table sheet: add a row, delete rows, reload.
#include "sheet/clsForm.h"

#include "runtime/Error.h"

namespace dalvera {

void clsForm::AddRow() { raise(err::Critical, "AddRow is not implemented!", "clsForm"); }
void clsForm::DeleteRows() { raise(err::Critical, "DeleteRows is not implemented!", "clsForm"); }
void clsForm::Refresh() { raise(err::Critical, "Refresh is not implemented!", "clsForm"); }

}  // namespace dalvera
