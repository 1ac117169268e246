// DAO objects: the engine, its workspace and databases.
#include <sqlite3.h>

#include "platform/jet/Catalog.h"
#include "platform/jet/Jet.h"

#include "platform/access/Mirror.h"
#include "platform/jet/Security.h"
#include "platform/jet/Session.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace dao = host::dao;

namespace {

[[noreturn]] void invalidObject() { raise(3420, "Object invalid or no longer set.", "DAO.Database"); }

// The password in a DAO connect text ";pwd=...": the rest of the text, since
// the password itself may hold a semicolon.
std::string connectPassword(const std::string& connect) {
    std::string lower = lowerAscii(connect);
    auto p = lower.find("pwd=");
    return p == std::string::npos ? std::string() : connect.substr(p + 4);
}

class JetWorkspace : public dao::Workspace {
public:
    explicit JetWorkspace(Logon logon) : logon_(std::move(logon)) {}
    std::string UserName() const override { return logon_.user; }
    std::shared_ptr<dao::Database> OpenDatabase(const std::string& path, bool, bool readOnly,
                                                const std::string& connect) override {
        return std::make_shared<Database>(Session::open(path, readOnly, connectPassword(connect), logon_));
    }

private:
    Logon logon_;
};

class JetEngine : public dao::DBEngine {
public:
    std::shared_ptr<dao::Workspace> Workspaces(long index) override {
        if (index != 0) raise(3265, "Item not found in this collection.", "DAO.Workspaces");
        if (!workspace_) {
            Logon logon;
            if (!systemDb_.empty()) {
                logon.workgroupId = authenticate(systemDb_, user_, password_);
                logon.user = trimBlanks(user_);
                logon.workgroup = true;
            }
            workspace_ = std::make_shared<JetWorkspace>(logon);
        }
        return workspace_;
    }
    std::string SystemDB() const override { return systemDb_; }
    void SystemDB(const std::string& path) override { systemDb_ = path; workspace_.reset(); }
    void DefaultUser(const std::string& user) override { user_ = user; workspace_.reset(); }
    void DefaultPassword(const std::string& password) override { password_ = password; workspace_.reset(); }
    long CompactDatabase(const std::string& source, const std::string& destination) override {
        // The engine's own files need no conversion; an MS Access file is written out in the engine's format.
        if (probeFile(source) != FileKind::JetOrAce)
            raise(3251, "Only an MS Access file can be converted to an editable database.", "DAO.DBEngine");
        return access::writeEngineDatabase(source, destination).tables;
    }

private:
    std::string systemDb_, user_ = "Admin", password_;
    std::shared_ptr<dao::Workspace> workspace_;
};

class JetDaoProvider : public dao::DaoProvider {
public:
    std::shared_ptr<dao::DBEngine> ThreadEngine() override {
        thread_local std::shared_ptr<dao::DBEngine> engine = std::make_shared<JetEngine>();
        return engine;
    }
    std::shared_ptr<dao::DBEngine> NewPrivateEngine() override { return std::make_shared<JetEngine>(); }
};

}  // namespace

Database::Database(std::shared_ptr<Session> session) : session_(std::move(session)) {}

Session& Database::session() {
    if (!session_) invalidObject();
    return *session_;
}

std::string Database::Name() const {
    if (!session_) invalidObject();
    return session_->path();
}

const dao::TableDefs& Database::TableDefs() {
    if (!tables_) tables_ = std::make_unique<dao::TableDefs>(loadTableDefs(session()));
    return *tables_;
}

const dao::QueryDefs& Database::QueryDefs() {
    if (!queries_) queries_ = std::make_unique<dao::QueryDefs>(loadQueryDefs(session()));
    return *queries_;
}

const dao::Relations& Database::Relations() {
    if (!relations_) relations_ = std::make_unique<dao::Relations>(loadRelations(session()));
    return *relations_;
}

void Database::invalidate() {
    tables_.reset();
    queries_.reset();
    relations_.reset();
}

void Database::Execute(const std::string& sql, long) {
    auto r = session().execute(sql);
    invalidate();
    if (r.hasRows) raise(3065, "Cannot execute a select query.", "DAO.Database");
    affected_ = r.affected < 0 ? 0 : r.affected;
}

void Database::Close() {
    invalidate();
    session_.reset();
}

bool Database::Updatable() const { return !(session_ && session_->foreign()); }

std::vector<host::dao::FileNotice> Database::Notices() const {
    std::vector<host::dao::FileNotice> out;
    if (!session_ || !session_->foreign()) return out;
    using N = access::Notice;
    using F = host::dao::FileNotice;
    for (const auto& n : access::mirrorNotices(session_->path())) {
        int kind = n.kind == N::Attachment || n.kind == N::MultiValued ? F::ComplexField
                   : n.kind == N::LinkMissing                           ? F::LinkMissing
                   : n.kind == N::DamagedTable                          ? F::DamagedTable
                   : n.kind == N::DamagedQuery                          ? F::DamagedQuery
                   : n.kind == N::DroppedRelation                       ? F::DroppedRelation
                                                                        : F::CalculatedField;
        out.push_back({kind, n.object, n.detail});
    }
    return out;
}

void Database::CreateQueryDef(const std::string& name, const std::string& sql, int type) {
    saveQuery(session(), name, sql, type);
    invalidate();
}

void Database::DeleteQueryDef(const std::string& name) {
    deleteQuery(session(), name);
    invalidate();
}

void Database::SetProperty(const std::string& table, const std::string& field, const std::string& name,
                           const Variant& value) {
    setProperty(session(), table, field, name, value);
    invalidate();
}

void Database::NewPassword(const std::string& oldPassword, const std::string& newPassword) {
    Session& s = session();
    if (hasDatabasePassword(s)) {
        auto verifier = s.scalar(std::string("SELECT value FROM ") + AccessTable + " WHERE item='password'").text();
        if (!verifyPassword(verifier, oldPassword)) raise(3031, "Not a valid password.", "DAO.Database");
    } else if (!oldPassword.empty()) {
        raise(3031, "Not a valid password.", "DAO.Database");
    }
    setDatabasePassword(s, newPassword);
    invalidate();
}

void Database::SetSecuredAccounts(const std::vector<std::string>& accounts) {
    setSecuredAccounts(session(), accounts);
    invalidate();
}

std::shared_ptr<Database> CreateDatabase(const std::string& path) {
    auto s = Session::create(path);
    s->ensureMetadata();
    return std::make_shared<Database>(s);
}

std::shared_ptr<host::dao::DaoProvider> daoProvider() {
    static auto p = std::make_shared<JetDaoProvider>();
    return p;
}

}  // namespace dalvera::jet
