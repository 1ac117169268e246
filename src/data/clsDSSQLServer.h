#pragma once
// The data source of the server variants: a database on MS SQL Server or
// PostgreSQL, reached through ODBC with a connection string, a data source
// name or the native connection dialog. It speaks ADO only; what the file
// source reads through DAO (object lists, keys, relations, columns) comes from
// the server's own catalogue.
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "data/IDS.h"
#include "data/clsDS.h"
#include "data/clsTableSQLServer.h"

namespace dalvera {

class frmConnect;

class clsDSSQLServer : public IDS {
public:
    enum class Kind { Unknown, SqlServer, PostgreSQL };

    clsDSSQLServer();
    ~clsDSSQLServer() override;

    void GetConnectionInfo() override;
    void ConnectADO() override;
    void DisconnectADO() override;
    void BeginTransaction() override;
    void CommitTransaction() override;
    void RollbackTransaction() override;
    Variant LastIdentity() override;
    // Logs on: asks again (native dialog) until the server accepts or the person cancels.
    bool ConnectDAO() override;
    void DisconnectDAO() override {}
    std::shared_ptr<host::ado::Recordset> GetRecordSet(const std::string& sSQL, bool CloseConnection) override;
    int32_t ExecuteQuery(const std::string& sSQL) override;
    void CloseRecordSet(std::shared_ptr<host::ado::Recordset>& recordset) override;
    void DetermineDbObjects(bool bTables) override;
    std::string Convert2Date(const Variant& vDateTime) override;
    std::string Convert2GUID(const std::string& sGUID) override;
    std::shared_ptr<host::ado::Command> InitializeCommand() override;
    void DefineCommand(host::ado::Command& oCommand, const std::string& QueryName) override;
    // There are no DAO query definitions on a server: the routines' arguments
    // come from the catalogue (DetermineQueries).
    ParameterList DetermineParameters(const host::dao::QueryDef&) override { return {}; }
    // The catalogue's argument mode ("i", "o", "b", or ADO's own number).
    int32_t GetParameterDirectionTypeADO(const Variant& vType) override;
    // The server's type name ("integer", "nvarchar", ...).
    int32_t MapToTypeADO(const Variant& vTypeDB) override;
    // The connection text without its password.
    std::string Connector() const override;
    ITable& Table() override { return *table_; }
    std::shared_ptr<host::dao::Database> DbDAO() const override { return nullptr; }
    void SetTableNames(NameList names) override { adoHelper_->SetTableNames(std::move(names)); }
    NameList& TableNames() override { return adoHelper_->TableNames(); }
    NameList* ViewNames() override { return &viewNames_; }
    void SetQueryNames(NameList names) override { adoHelper_->SetQueryNames(std::move(names)); }
    NameList& QueryNames() override { return adoHelper_->QueryNames(); }
    void SetQueries(QueryList queries) override { adoHelper_->SetQueries(std::move(queries)); }
    QueryList& Queries() override { return adoHelper_->Queries(); }
    std::string QuoteName(const std::string& name) const override;
    std::string BooleanLiteral(bool value) const override;
    std::string KindName() const override;
    std::string FirstRows(const std::string& tableExpression, long long n, const std::string& alias) const override;
    std::string TextLiteralPrefix() const override { return kind_ == Kind::SqlServer ? "N" : ""; }

    clsDS& AdoHelper() { return *adoHelper_; }
    Kind ServerKind() const { return kind_; }
    // Where a listed name lives: schema and table.
    std::pair<std::string, std::string> Locate(const std::string& listedName) const;
    // How a table is listed: with its schema where the name alone is ambiguous
    // or not in the default schema.
    std::string ListedName(const std::string& schema, const std::string& table) const;
    // The connection text of the native dialog's answers, without the password.
    static std::string NativeConnectionString(bool sqlServer, const std::string& server, const std::string& port,
                                              const std::string& database, const std::string& user, bool trusted);
    // A column default as the sheet's new-row defaults read it: now(), a number, a text.
    static std::string NormalizeDefault(const std::string& serverDefault);
    // The connection text with every password entry taken out.
    static std::string WithoutPassword(const std::string& connection);
    // Takes a connection text as typed; the kind of server follows from its driver.
    void SetConnection(const std::string& text);
    // How long a statement waits for a row another session holds, in ms.
    static void SetLockTimeout(long milliseconds);

private:
    bool askNative();
    void openConnection();
    void DetermineTables();
    void DetermineQueries();
    [[noreturn]] void raiseServerError(const Error& e);
    void guessKind();

    std::unique_ptr<clsTableSQLServer> table_;
    std::unique_ptr<clsDS> adoHelper_;
    NameList viewNames_;
    std::string connection_;  // as given, without a password the dialog asked for
    std::string password_;    // from the dialog; never stored anywhere else
    bool native_ = false;
    bool inTransaction_ = false;
    Kind kind_ = Kind::Unknown;
    std::string defaultSchema_;
    std::map<std::string, std::pair<std::string, std::string>> located_;
    std::map<std::string, int> nameCount_;
};

}  // namespace dalvera
