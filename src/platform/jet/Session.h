#pragma once
// One open database file: the SQLite connection, how it was opened and
// authenticated, statement execution with the dialect, and the mapping of
// SQLite's failures to the engine's numbers and texts. The DAO database and
// the ADO connection each hold one.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/Types.h"
#include "runtime/Error.h"
#include "runtime/ValueTable.h"
#include "runtime/Variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace dalvera::jet {

// Names of the engine's metadata tables in a database file.
inline constexpr const char* PropertiesTable = "dv_sys_properties";
inline constexpr const char* QueriesTable = "dv_sys_queries";
inline constexpr const char* AccessTable = "dv_sys_access";
inline constexpr const char* AccountsTable = "dv_sys_accounts";
// The accounts of a workgroup file.
inline constexpr const char* UsersTable = "dv_sys_users";
inline constexpr const char* WorkgroupTable = "dv_sys_workgroup";
// True for SQLite's own tables and the engine's metadata tables.
bool isSystemTable(std::string_view name);

enum class FileKind { Missing, NotAFile, Unreadable, SQLite, JetOrAce, Unknown };
// Tells a file by its header, without opening it as a database.
FileKind probeFile(const std::string& path);

// How long a statement waits for a lock held by another process (ms).
void setLockTimeout(int milliseconds);
int lockTimeout();

struct Logon {
    std::string user = "Admin";
    bool workgroup = false;     // authenticated against a workgroup file
    std::string workgroupId;    // the identity of that file
};

struct ColumnInfo {
    std::string name;
    ColumnType type;
};

// Rows of a query, column by column.
struct RowSet {
    std::vector<ColumnInfo> columns;
    std::shared_ptr<ValueTable> data;  // held compactly, shared with the record sets over it
    long rows = 0;  // counted
    long held = 0;  // kept in data: at most kHeldRowsMax
};

// No sheet shows more rows than this; a larger result is counted, not held,
// so that asking for a huge table gives a message instead of exhausting memory.
constexpr long kHeldRowsMax = 1048576;

struct ExecResult {
    bool hasRows = false;
    RowSet rows;
    long affected = -1;
};

// A parameter value by its name (as declared or as written in the statement);
// Missing when the caller has none. declaredDaoType is 0 when undeclared.
using ParameterLookup = std::function<Variant(const std::string& name, int declaredDaoType)>;

class Session {
public:
    // Opens an existing database file; raises 3024, 3044, 3051, 3343, 3031, 3033, 3045.
    // A file that cannot be written (or whose folder cannot) opens read-only;
    // writing to it then raises 3027.
    static std::shared_ptr<Session> open(const std::string& path, bool readOnly, const std::string& password,
                                         const Logon& logon);
    // Creates a new, empty database file (3204 when the path exists).
    static std::shared_ptr<Session> create(const std::string& path);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    sqlite3* db() const { return db_; }
    const std::string& path() const { return path_; }
    const Logon& logon() const { return logon_; }
    // Opened read-only, asked for or because the file or its folder cannot be written.
    bool readOnly() const { return readOnly_; }
    // A real MS Access file, read through its mirror.
    bool foreign() const { return foreign_; }

    // Runs one statement of the dialect. Parameters (declared in a PARAMETERS
    // clause or unknown names) come from lookup; a missing one is 3061.
    ExecResult execute(std::string_view jetSql, const ParameterLookup& lookup = {},
                       const std::vector<std::string>& knownParameters = {});
    // The parameters a statement asks for: the declared ones, then the names
    // that are no field of its tables (Text), in the order of their first use.
    std::vector<DeclaredParameter> parametersOf(std::string_view jetSql);
    // Runs SQLite text directly (metadata upkeep), with positional text/Variant values.
    void exec(const std::string& sql, const std::vector<Variant>& values = {});
    // First column of the first row, or Empty.
    Variant scalar(const std::string& sql, const std::vector<Variant>& values = {});
    bool tableExists(const std::string& name);
    // Creates the metadata tables when they are missing.
    void ensureMetadata();
    // Raises the engine's error for a failed SQLite call.
    [[noreturn]] void fail(int rc, const std::string& table = {}, int kind = -1) const;

private:
    Session(sqlite3* db, std::string path, Logon logon);
    // Translates and prepares; each name SQLite finds no column for becomes a
    // parameter and the statement is translated again. Returns SQLite's code.
    int prepareDialect(std::string_view jetSql, const std::vector<std::string>& knownParameters, Translation& t,
                       sqlite3_stmt** out);
    // Binds what lookup has; returns how many parameters had no value.
    int bindParameters(sqlite3_stmt* st, const Translation& t, const ParameterLookup& lookup);
    // 3303 when other tables refer to this one.
    void refuseDropOfRelated(const std::string& table);
    // SELECT ... INTO: the new table with its source's types; returns the rows written.
    long makeTable(const Translation& t, sqlite3_stmt* select);
    std::string makeTableType(sqlite3_stmt* select, int i, int column);
    void refreshLengthChecks(const std::string& table);
    // ALTER TABLE forms and index options SQLite cannot carry out in place (TableChange.cpp).
    ExecResult changeTable(const Translation& t);
    // The columns of a table with the checks their written values get; kept
    // until the schema changes.
    std::vector<StoreColumn> storeColumns(const std::string& table);
    sqlite3* db_;
    std::string path_;
    Logon logon_;
    bool readOnly_ = false;
    bool notWritable_ = false;  // read-only because of the file system, not asked for
    bool foreign_ = false;
    sqlite3_stmt* schemaVersion_ = nullptr;
    long long cachedSchema_ = -1;
    std::vector<std::pair<std::string, std::vector<StoreColumn>>> storeCache_;
};

// A value converted to the storage of a declared type; 3464 when it cannot be.
Variant convertToDeclared(const Variant& v, int daoType);
// The value of column i of the current row as the record set gives it.
Variant readColumn(sqlite3_stmt* st, int i, const ColumnType& type);

}  // namespace dalvera::jet
