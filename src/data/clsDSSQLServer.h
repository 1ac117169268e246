#pragma once
// The data source of the server variants. No server engine is available to
// this system yet, so every member refuses with one clear message instead of
// failing somewhere deeper.
#include "data/IDS.h"

namespace dalvera {

class clsDSSQLServer : public IDS {
public:
    void GetConnectionInfo() override { refuse(); }
    void ConnectADO() override { refuse(); }
    void BeginTransaction() override { refuse(); }
    void CommitTransaction() override { refuse(); }
    void RollbackTransaction() override { refuse(); }
    Variant LastIdentity() override { refuse(); }
    void DisconnectADO() override {}
    bool ConnectDAO() override { refuse(); }
    void DisconnectDAO() override {}
    std::shared_ptr<host::ado::Recordset> GetRecordSet(const std::string&, bool) override { refuse(); }
    int32_t ExecuteQuery(const std::string&) override { refuse(); }
    void CloseRecordSet(std::shared_ptr<host::ado::Recordset>& recordset) override { recordset.reset(); }
    void DetermineDbObjects(bool) override { refuse(); }
    std::string Convert2Date(const Variant&) override { refuse(); }
    std::string Convert2GUID(const std::string&) override { refuse(); }
    std::shared_ptr<host::ado::Command> InitializeCommand() override { refuse(); }
    void DefineCommand(host::ado::Command&, const std::string&) override { refuse(); }
    ParameterList DetermineParameters(const host::dao::QueryDef&) override { refuse(); }
    int32_t GetParameterDirectionTypeADO(const Variant&) override { refuse(); }
    int32_t MapToTypeADO(const Variant&) override { refuse(); }
    std::string Connector() const override { return {}; }
    ITable& Table() override { refuse(); }
    std::shared_ptr<host::dao::Database> DbDAO() const override { return nullptr; }
    void SetTableNames(NameList) override { refuse(); }
    NameList& TableNames() override { refuse(); }
    NameList* ViewNames() override { refuse(); }
    void SetQueryNames(NameList) override { refuse(); }
    NameList& QueryNames() override { refuse(); }
    void SetQueries(QueryList) override { refuse(); }
    QueryList& Queries() override { refuse(); }

private:
    // Error 667 with message 218.
    [[noreturn]] static void refuse();
};

}  // namespace dalvera
