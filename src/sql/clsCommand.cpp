#include "sql/clsCommand.h"

#include "runtime/Error.h"

namespace dalvera {

void clsCommand::Run(bool, bool, int) { raise(err::Critical, "Run is not implemented!", "clsCommand"); }

}  // namespace dalvera
