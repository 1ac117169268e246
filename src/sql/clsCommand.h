#pragma once
// The command runner: stored queries, views and typed SQL.
#include <memory>
#include <string>

#include "host/Ado.h"

namespace dalvera {

class IDS;

class clsCommand {
public:
    // view: a stored view; query: a stored query or view (else a typed statement);
    // index: the object by its position in the lists, below 1 the clicked button's.
    void Run(bool view, bool query, int index);
    void RunStatement(bool view, bool query, std::string statement, int index);
    bool ConfirmStatement(const std::string& statement);
    static bool IsSelectStatement(const std::string& statement);
    void ShowResultSheet(host::ado::Recordset& recordset, const std::string& name, bool view);
    void ShowOutputParameters(host::ado::Command& command);
    std::string ResultSheetName(const std::string& name, bool view);
    bool SheetExists(const std::string& name);

private:
    // For a SELECT whose rows can be counted first: asks about a large result
    // before anything is fetched. Returns false when the person declined;
    // `asked` tells whether the count was possible (else ask afterwards).
    bool confirmBeforeFetch(IDS& ds, const std::string& statement, bool& asked);
    // The box for a failure of RunStatement.
    void reportRunError(const Error& e, bool query, const std::string& objectName, const std::string& statement);
};

}  // namespace dalvera
