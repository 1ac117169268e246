#pragma once
// The ADO side of a data source: the connection, the lists of database objects,
// and the routines that open record sets, run statements, build commands and
// prompt for parameters. Every engine failure leaves here as error 670.
#include <cstdint>
#include <memory>
#include <string>

#include "data/IDS.h"
#include "host/Ado.h"
#include "host/Dao.h"

namespace dalvera {

class clsDS {
public:
    ~clsDS();

    std::shared_ptr<host::ado::Connection> Connection;

    NameList& TableNames() { return tableNames_; }
    void SetTableNames(NameList names) { tableNames_ = std::move(names); }
    NameList& QueryNames() { return queryNames_; }
    void SetQueryNames(NameList names) { queryNames_ = std::move(names); }
    QueryList& Queries() { return queries_; }
    void SetQueries(QueryList queries) { queries_ = std::move(queries); }
    void ClearQueries() { queries_.Clear(); }

    // The message for a file that cannot be opened or written for a reason of its
    // own (missing, locked, read-only, not a database); 0 for any other number.
    static int16_t FileFailureMessage(long engineNumber);
    // 0 Boolean, 1 number, 2 date/time, 3 text and everything else.
    static int GetDataTypeGroup(int32_t lTypeADO);

    // A connection that exists but is not open is dropped.
    bool IsConnectionOpen();
    void CloseAdoConnection();
    static void CloseDaoDatabase(std::shared_ptr<host::dao::Database>& database);
    std::shared_ptr<host::ado::Recordset> OpenRecordset(IDS& source, const std::string& sSQL, bool CloseConnection);
    int32_t ExecuteStatement(IDS& source, const std::string& sSQL);
    static void CloseRecordsetObject(std::shared_ptr<host::ado::Recordset>& recordset);
    std::shared_ptr<host::ado::Command> NewCommand();
    // Asks the person for one parameter's value and appends it to the command.
    void AddPromptedParameter(host::ado::Command& command, const clsParameter& parameter, int dbKind);

private:
    NameList tableNames_;
    NameList queryNames_;
    QueryList queries_;
};

// Raises 670 with the engine's description and number (message 1), keeping the source.
[[noreturn]] void raiseDatabaseError(const Error& e);

}  // namespace dalvera
