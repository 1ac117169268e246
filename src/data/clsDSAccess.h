#pragma once
// The data source for database files: picks the file (or a workgroup
// shortcut), opens it through DAO with the password or logon loops, builds the
// ADO connection text from what the logon established, lists tables and
// stored queries, and maps DAO types and directions to ADO codes.
#include <memory>
#include <string>

#include "data/IDS.h"
#include "data/clsDS.h"
#include "data/clsTableAccess.h"

namespace dalvera {

class clsDSAccess : public IDS {
public:
    clsDSAccess();
    ~clsDSAccess() override;

    void GetConnectionInfo() override;
    void ConnectADO() override;
    void DisconnectADO() override;
    void BeginTransaction() override;
    void CommitTransaction() override;
    void RollbackTransaction() override;
    Variant LastIdentity() override;
    bool ConnectDAO() override;
    bool IsReadOnly() const override { return readOnlyFile_; }
    void DisconnectDAO() override;
    std::shared_ptr<host::ado::Recordset> GetRecordSet(const std::string& sSQL, bool CloseConnection) override;
    int32_t ExecuteQuery(const std::string& sSQL) override;
    void CloseRecordSet(std::shared_ptr<host::ado::Recordset>& recordset) override;
    void DetermineDbObjects(bool bTables) override;
    std::string Convert2Date(const Variant& vDateTime) override;
    std::string Convert2GUID(const std::string& sGUID) override;
    std::shared_ptr<host::ado::Command> InitializeCommand() override;
    void DefineCommand(host::ado::Command& oCommand, const std::string& QueryName) override;
    ParameterList DetermineParameters(const host::dao::QueryDef& Object) override;
    int32_t GetParameterDirectionTypeADO(const Variant& vType) override;
    int32_t MapToTypeADO(const Variant& vTypeDB) override;
    std::string Connector() const override { return dbPath_; }
    ITable& Table() override { return *table_; }
    clsTableAccess& TableAccess() { return *table_; }
    std::shared_ptr<host::dao::Database> DbDAO() const override { return dbDAO_; }
    void SetTableNames(NameList names) override { adoHelper_->SetTableNames(std::move(names)); }
    NameList& TableNames() override { return adoHelper_->TableNames(); }
    NameList* ViewNames() override { return nullptr; }
    void SetQueryNames(NameList names) override { adoHelper_->SetQueryNames(std::move(names)); }
    NameList& QueryNames() override { return adoHelper_->QueryNames(); }
    void SetQueries(QueryList queries) override { adoHelper_->SetQueries(std::move(queries)); }
    QueryList& Queries() override { return adoHelper_->Queries(); }

    clsDS& AdoHelper() { return *adoHelper_; }
    const std::string& DbPath() const { return dbPath_; }
    void SetDbPath(const std::string& v) { dbPath_ = v; }
    // "Admin" whenever there is no workgroup file.
    std::string UserName() const;
    void SetUserName(const std::string& v) { userName_ = v; }
    const std::string& WorkgroupFile() const { return workgroupFile_; }
    void SetWorkgroupFile(const std::string& v) { workgroupFile_ = v; }
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& v) { password_ = v; }

    // The chosen database path, "" when cancelled.
    std::string SelectDatabaseFile();
    std::string BrowseDatabaseFile();
    // Reads a shortcut that starts the database program with a workgroup file;
    // returns the database path and keeps the workgroup file, user and password.
    std::string ReadWorkgroupShortcut(const std::string& path);
    std::string DefaultFolder();
    std::string PasswordErrorText();
    // The ADO connection text for the current path and logon.
    std::string ConnectionString();
    void DetermineTables();
    void DetermineQueries();

private:
    void openDatabase(const std::string& user, const std::string& password);
    void OpenWithWorkgroup(const std::string& user, const std::string& password);

    std::unique_ptr<clsTableAccess> table_;
    std::unique_ptr<clsDS> adoHelper_;
    std::shared_ptr<host::dao::Database> dbDAO_;
    std::string dbPath_, userName_, workgroupFile_, password_;
    bool readOnlyFile_ = false, toldReadOnly_ = false;
    // Learns from the open database whether the file is read-only; tells the person once.
    void noteReadOnly();
};

// A value for a "key=value;" connection text: braced (with "}" doubled) when
// it holds ";", "{", "}" or blanks at its edges, as the drivers read it.
std::string OdbcValue(const std::string& value);

}  // namespace dalvera
