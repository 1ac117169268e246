#pragma once
// Declared column types as the dialect writes them (and as plain SQLite
// schemas spell them), mapped to the engine's DAO and ADO type codes.
#include <string>
#include <string_view>

#include "platform/jet/sql/JetSql.h"

namespace dalvera::jet {

struct ColumnType {
    int dao = 12;          // DAO type code
    long daoSize = 0;      // DAO Size: characters for text, bytes for fixed types, 0 for long ones
    int ado = 203;         // ADO type code as the record set reports it
    long adoSize = 0;      // ADO DefinedSize
};

ColumnType typeFromDeclaration(std::string_view declared);
ColumnType typeFromDao(int daoType, long textSize = 255);
// What the values written to a column of this declared type are checked and
// converted as. Jet's Long is 32 bits; SQLite's own INTEGER (and INT, BIGINT)
// columns of other tools keep 64-bit values.
StoreKind storeKindOf(std::string_view declared);

}  // namespace dalvera::jet
