// The front end tells the information dialog which Qt it runs on: the library
// loaded at run time, which may be newer than the one it was built with.
#include <QtGlobal>

#include "host/Platform.h"

namespace {
const bool kRegistered = (dalvera::host::registerSystemFact("qt", qVersion()), true);
}  // namespace
