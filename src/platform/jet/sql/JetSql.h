#pragma once
// The database dialect: statements as users of the engine write them,
// translated to SQLite, and the dialect's functions registered on a connection.
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Variant.h"

struct sqlite3;

namespace dalvera::jet {

enum class StatementKind { Select, Insert, Update, Delete, CreateTable, CreateIndex, DropTable, DropIndex, AlterTable, Other };

// A parameter declared in a PARAMETERS clause.
struct DeclaredParameter {
    std::string name;      // as declared, without brackets
    std::string typeName;  // the declared type word, e.g. "DateTime", "Text"
    int daoType = 10;      // the engine's type code for it (Text = 10)
};

struct Translation {
    std::string sql;                              // SQLite text, ready to prepare
    StatementKind kind = StatementKind::Other;
    std::vector<DeclaredParameter> parameters;    // from the PARAMETERS clause, in order
    // For each "?NNN" placeholder number i (1-based), bindNames[i-1] is the name of
    // the declared (or undeclared, bracketed-but-unknown) parameter it stands for.
    std::vector<std::string> bindNames;
    std::string table;                            // the table a DDL or DML statement names
};

// Translates one statement. Identifiers that name no column are left to SQLite.
// Declared parameters (and names in knownParameters) referenced as [name] or
// bare name become ?NNN placeholders recorded in bindNames.
// Raises Error 3000-range numbers with the engine's texts on syntax it refuses
// (e.g. 3075 / 3131 / "Syntax error in ..."), never a silent wrong translation.
Translation translate(std::string_view jetSql, const std::vector<std::string>& knownParameters = {});

// Storage form of a date value: "yyyy-mm-dd hh:mm:ss".
std::string dateToStorage(double serial);
// Reads the storage form (and "yyyy-mm-dd"); false when it is not one.
bool storageToDate(std::string_view text, double& serial);

// Registers the dialect's functions (Now, Date, IIf, Nz, Left, Format, ...) and
// the LIKE with the dialect's wildcards on a connection.
void registerFunctions(sqlite3* db);

}  // namespace dalvera::jet
