// How a statement is classified: by its first words, as the stored queries'
// buttons and the command runner see it.
#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "entry/Globals.h"
#include "runtime/Text.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
// The statement begins with the word, leading blanks included in the comparison.
bool beginsWith(const std::string& statement, std::string_view word) { return startsWithNoCase(statement, word); }
bool contains(const std::string& statement, std::string_view word) {
    return lowerAscii(statement).find(lowerAscii(word)) != std::string::npos;
}
}  // namespace

std::string clsAux::NormalizeStatement(const std::string& statement) {
    std::string out;
    for (char c : statement)
        if (c != ' ' && c != '\n' && c != '\r') out += c;
    return lowerAscii(out);
}

bool clsAux::IsDataDefinition(const std::string& statement) {
    std::string s = NormalizeStatement(statement);
    return s.starts_with("create") || s.starts_with("drop") || s.starts_with("alter");
}

int32_t clsAux::StatementFaceId(const std::string& statement) {
    if (IsDataDefinition(statement)) return 212;
    if (beginsWith(statement, "parameters ")) return 628;
    if (beginsWith(statement, "delete ")) return 536;
    if (beginsWith(statement, "update ")) return 534;
    if (beginsWith(statement, "transform ")) return 532;
    if (beginsWith(statement, "insert into ")) return 535;
    if (contains(statement, " into ")) return 533;
    if (contains(statement, "union ")) return 530;
    if (beginsWith(statement, "select ")) return 531;
    return 463;
}

std::string clsAux::CleanOdbcMessage(const std::string& text) {
    std::string s = text;
    for (const char* prefix : {"[Microsoft][ODBC Microsoft Access-stuurprogramma]",
                               "[Microsoft][ODBC Microsoft Access Driver]",
                               "[Microsoft][ODBC SQL Server Driver][SQL Server]",
                               // The drivers of the server variants on this platform.
                               "[FreeTDS][SQL Server]", "[unixODBC][Driver Manager]", "[unixODBC]",
                               ";\nError while executing the query", "\nError while executing the query",
                               "Error while executing the query"})
        s = replaceAll(s, prefix, "");
    // PostgreSQL's severity word says nothing a message box does not.
    for (const char* severity : {"ERROR:  ", "ERROR: ", "FATAL:  ", "FATAL: "})
        if (s.starts_with(severity)) s.erase(0, std::string_view(severity).size());
    s = replaceAll(s, "\n", "\r");
    return GetMessage(7) + " " + goApplication->GetDbKindName(goApplication->DbKind()) + ":\r" + trimBlanks(s);
}

}  // namespace dalvera
