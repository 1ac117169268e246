#include "data/clsDSSQLServer.h"

#include "text/modGlobalization.h"

namespace dalvera {

void clsDSSQLServer::refuse() { raise(err::Exclamation, GetMessage(218), "clsDSSQLServer"); }

}  // namespace dalvera
