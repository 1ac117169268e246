#pragma once
// Scripts that build a database: statements of the dialect separated by ";",
// plus two directives of the engine's own:
//
//   PROPERTY [Table].[Field] Caption = 'Name', ColumnWidth = 1800, ColumnHidden = True;
//   PROPERTY [Table] Description = 'Our customers';
//   QUERY [Name] AS <statement>;
//   QUERY [Name] TYPE 112 AS <statement>;
//
// Values are quoted texts ('..' or ".."), numbers, or True/False/Yes/No.
// A stored query may start with a PARAMETERS clause; its ";" does not end it.
#include <string>
#include <vector>

namespace dalvera::jet {

class Database;

std::vector<std::string> splitStatements(const std::string& script);
// Runs every statement; a failure raises the engine's error with the
// statement's number (1-based) and text added to the description.
int runScript(Database& db, const std::string& script);

}  // namespace dalvera::jet
