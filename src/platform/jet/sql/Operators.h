#pragma once
// The logical operators Xor, Eqv and Imp as SQLite functions. Internal to the
// dialect; registerFunctions registers them with the rest.
struct sqlite3;

namespace dalvera::jet::detail {

// jet_xor, jet_eqv, jet_imp; returns SQLite's result code.
int registerLogicalOperators(sqlite3* db);

}  // namespace dalvera::jet::detail
