#pragma once
// Declared column types as the dialect writes them (and as plain SQLite
// schemas spell them), mapped to the engine's DAO and ADO type codes.
#include <string>
#include <string_view>

namespace dalvera::jet {

struct ColumnType {
    int dao = 12;          // DAO type code
    long daoSize = 0;      // DAO Size: characters for text, bytes for fixed types, 0 for long ones
    int ado = 203;         // ADO type code as the record set reports it
    long adoSize = 0;      // ADO DefinedSize
};

ColumnType typeFromDeclaration(std::string_view declared);
ColumnType typeFromDao(int daoType, long textSize = 255);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from a GUID text with or without
// braces; false when it is not one.
bool normalizeGuid(std::string_view text, std::string& out);

}  // namespace dalvera::jet
