// Writing the edited rows of the table sheet back to the database.
#include "sheet/clsForm.h"

#include "runtime/Error.h"

namespace dalvera {

void clsForm::WriteData() { raise(err::Critical, "WriteData is not implemented!", "clsForm"); }

}  // namespace dalvera
