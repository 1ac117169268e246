#pragma once
// The database engine: DAO and ADO objects over SQLite files.
#include <memory>
#include <string>

#include "host/Ado.h"
#include "host/Dao.h"

namespace dalvera::jet {

class Session;

// The engine's DAO database, with the members beyond what the data sources
// call that the tools and tests use to build a database.
class Database : public host::dao::Database {
public:
    explicit Database(std::shared_ptr<Session> session);
    using host::dao::Database::QueryDefs;
    using host::dao::Database::TableDefs;
    std::string Name() const override;
    const host::dao::TableDefs& TableDefs() override;
    const host::dao::QueryDefs& QueryDefs() override;
    const host::dao::Relations& Relations() override;
    void Execute(const std::string& sql, long options = 0) override;
    long RecordsAffected() const override { return affected_; }
    void Close() override;
    bool Updatable() const override;
    std::vector<host::dao::FileNotice> Notices() const override;

    // Stores a query; type -1 takes it from the statement.
    void CreateQueryDef(const std::string& name, const std::string& sql, int type = -1);
    void DeleteQueryDef(const std::string& name);
    // A property of a table (field empty) or a field; Null removes it.
    void SetProperty(const std::string& table, const std::string& field, const std::string& name, const Variant& value);
    // Changes the database password; the old one must match (3031).
    void NewPassword(const std::string& oldPassword, const std::string& newPassword);
    // Lists the workgroup accounts that may open the database (empty: anyone).
    void SetSecuredAccounts(const std::vector<std::string>& accounts);
    Session& session();

private:
    void invalidate();
    std::shared_ptr<Session> session_;
    std::unique_ptr<host::dao::TableDefs> tables_;
    std::unique_ptr<host::dao::QueryDefs> queries_;
    std::unique_ptr<host::dao::Relations> relations_;
    long affected_ = 0;
};

// Creates a new database file (3204 when the path exists).
std::shared_ptr<Database> CreateDatabase(const std::string& path);

// The dialect's literal of a value read from a record set, such that
// "WHERE [c] = <literal>" finds the row it was read from: digits for whole
// numbers, the shortest text that reads back as the same double for Double and
// Single (the Single's double), Currency's exact four-decimal text, dates as
// #yyyy-mm-dd hh:mm:ss[.fff]#, True/False, texts in single quotes with quotes
// doubled. Null gives "Null" (compare with IS NULL); binary data raises 13.
std::string sqlLiteral(const Variant& value);

std::shared_ptr<host::dao::DaoProvider> daoProvider();
std::shared_ptr<host::ado::AdoProvider> adoProvider();

// The engine's number behind the last provider error raised on this thread
// (ADO reports them all as one number).
long lastEngineError();

// Parsed "key=value;" connection text; keys are lower-cased, values in braces
// keep their text ("}}" stands for "}").
std::vector<std::pair<std::string, std::string>> parseConnectionString(const std::string& text);

}  // namespace dalvera::jet
