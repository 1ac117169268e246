#pragma once
// The contract between the system and one open database. Members are listed in
// their fixed order; between user actions neither connection is open, and the
// data source keeps what it needs to connect again.
#include <cstdint>
#include <memory>
#include <string>

#include "host/Ado.h"
#include "host/Dao.h"
#include "runtime/Collection.h"
#include "runtime/Variant.h"
#include "sql/clsQuery.h"

namespace dalvera {

class ITable;

using NameList = Collection<std::string>;
using QueryList = Collection<std::shared_ptr<clsQuery>>;

class IDS {
public:
    virtual ~IDS() = default;
    // Asks which database; an empty Connector afterwards means cancelled.
    virtual void GetConnectionInfo() = 0;
    virtual void ConnectADO() = 0;
    virtual void DisconnectADO() = 0;
    // True when open; false when the person gave up on the password or logon.
    virtual bool ConnectDAO() = 0;
    virtual void DisconnectDAO() = 0;
    virtual std::shared_ptr<host::ado::Recordset> GetRecordSet(const std::string& sSQL, bool CloseConnection) = 0;
    virtual int32_t ExecuteQuery(const std::string& sSQL) = 0;
    virtual void CloseRecordSet(std::shared_ptr<host::ado::Recordset>& recordset) = 0;
    // True: the table names; false: the stored queries.
    virtual void DetermineDbObjects(bool bTables) = 0;
    virtual std::string Convert2Date(const Variant& vDateTime) = 0;
    virtual std::string Convert2GUID(const std::string& sGUID) = 0;
    virtual std::shared_ptr<host::ado::Command> InitializeCommand() = 0;
    virtual void DefineCommand(host::ado::Command& oCommand, const std::string& QueryName) = 0;
    virtual ParameterList DetermineParameters(const host::dao::QueryDef& Object) = 0;
    virtual int32_t GetParameterDirectionTypeADO(const Variant& vType) = 0;
    virtual int32_t MapToTypeADO(const Variant& vTypeDB) = 0;
    virtual std::string Connector() const = 0;
    virtual ITable& Table() = 0;
    virtual std::shared_ptr<host::dao::Database> DbDAO() const = 0;
    virtual void SetTableNames(NameList cTableNames) = 0;
    virtual NameList& TableNames() = 0;
    // Nothing (nullptr) for a source without views.
    virtual NameList* ViewNames() = 0;
    virtual void SetQueryNames(NameList cQueryNames) = 0;
    virtual NameList& QueryNames() = 0;
    virtual void SetQueries(QueryList cQueries) = 0;
    virtual QueryList& Queries() = 0;
    // One transaction around the statements of a write: connects when needed.
    virtual void BeginTransaction() = 0;
    // A failed commit leaves the transaction open; this undoes it.
    virtual void CommitTransaction() = 0;
    virtual void RollbackTransaction() = 0;
    // The auto-number the last insert on the open connection was given.
    // A file that is read, never written (an MS Access file): its tables are shown
    // read-only and statements that would change it are refused.
    virtual bool IsReadOnly() const { return false; }
    virtual Variant LastIdentity() = 0;
    // A name as this database quotes it in a statement; "" leaves it to the
    // engine's brackets.
    virtual std::string QuoteName(const std::string&) const { return {}; }
    // A Yes/No value as this database writes it.
    virtual std::string BooleanLiteral(bool value) const { return value ? "1" : "0"; }
    // What goes before a text literal ("N" where a plain one loses characters).
    virtual std::string TextLiteralPrefix() const { return {}; }
    // The kind of database messages name ("" for the variant's own).
    virtual std::string KindName() const { return {}; }
    // A statement giving at most n rows of a table expression, as this database limits rows.
    virtual std::string FirstRows(const std::string& tableExpression, long long n, const std::string& alias) const {
        return "SELECT TOP " + std::to_string(n) + " * FROM (" + tableExpression + ") AS " + alias;
    }
};

}  // namespace dalvera
