#include "platform/jet/Session.h"

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <filesystem>
#include <fstream>
#include <set>

#include "host/Dao.h"
#include "host/Progress.h"
#include "platform/access/Mirror.h"
#include "platform/access/Password.h"
#include "platform/jet/Catalog.h"
#include "platform/jet/Security.h"
#include "platform/jet/sql/JetSql.h"
#include "runtime/DateSerial.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace fs = std::filesystem;
namespace dt = host::dao::type;

namespace {

std::atomic<int> gLockTimeout{3000};
const char* const Source = "DAO.Database";

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;

struct StmtCloser {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtCloser>;

[[noreturn]] void unrecognized(const std::string& path) {
    raise(3343, "Unrecognized database format '" + path + "'.", Source);
}

std::string fileName(const std::string& path) { return fs::path(path).filename().string(); }

// Words of a statement, enough to tell its verb and the table it names.
std::vector<std::string> leadingWords(std::string_view sql, size_t max) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < sql.size() && words.size() < max) {
        char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == '(' || c == ')' || c == ',' || c == ';') {
            ++i;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            while (i < sql.size() && sql[i] != '\n') ++i;
        } else if (c == '[' || c == '"' || c == '`') {
            char close = c == '[' ? ']' : c;
            std::string name;
            size_t j = i + 1;
            for (; j < sql.size(); ++j) {
                if (sql[j] == close) {
                    // A doubled quote stands for itself.
                    if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
                        name += close;
                        ++j;
                        continue;
                    }
                    break;
                }
                name += sql[j];
            }
            words.push_back(std::move(name));
            i = j + 1;
        } else if (c == '\'') {
            size_t j = sql.find('\'', i + 1);
            if (j == std::string_view::npos) j = sql.size();
            words.emplace_back("'");
            i = j + 1;
        } else {
            size_t j = i;
            while (j < sql.size() && !std::isspace(static_cast<unsigned char>(sql[j])) && sql[j] != '(' &&
                   sql[j] != ')' && sql[j] != ',' && sql[j] != ';')
                ++j;
            words.emplace_back(sql.substr(i, j - i));
            i = j;
        }
    }
    return words;
}

enum Verb { VSelect, VInsert, VUpdate, VDelete, VDropTable, VDefineTable, VOther };

// The verb and target table of a translated statement, for error texts and upkeep.
Verb verbOf(std::string_view sql, std::string& table) {
    auto w = leadingWords(sql, 64);
    auto up = [&](size_t i) { return i < w.size() ? upperAscii(w[i]) : std::string(); };
    auto at = [&](size_t i) { return i < w.size() ? w[i] : std::string(); };
    std::string v = up(0);
    if (v == "INSERT" || v == "REPLACE") {
        size_t i = 1;
        while (i < w.size() && up(i) != "INTO") ++i;
        table = at(i + 1);
        return VInsert;
    }
    if (v == "UPDATE") {
        table = up(1) == "OR" ? at(3) : at(1);
        return VUpdate;
    }
    if (v == "DELETE") {
        size_t i = 1;
        while (i < w.size() && up(i) != "FROM") ++i;
        table = at(i + 1);
        return VDelete;
    }
    if (v == "DROP" && up(1) == "TABLE") {
        table = up(2) == "IF" ? at(4) : at(2);
        return VDropTable;
    }
    if (v == "SELECT" || v == "WITH" || v == "VALUES") {
        for (size_t i = 1; i + 1 < w.size(); ++i)
            if (up(i) == "FROM") {
                table = at(i + 1);
                break;
            }
        return VSelect;
    }
    if ((v == "CREATE" || v == "ALTER") && up(1) == "TABLE") {
        table = up(2) == "IF" ? at(5) : at(2);
        return VDefineTable;
    }
    if (v == "CREATE" && w.size() > 2) table = at(2);
    return VOther;
}

std::vector<std::string> stringColumn(sqlite3* db, const std::string& sql, int col) {
    std::vector<std::string> out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        auto t = sqlite3_column_text(st, col);
        out.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
    }
    sqlite3_finalize(st);
    return out;
}

std::string quoteIdent(const std::string& s) { return "\"" + replaceAll(s, "\"", "\"\"") + "\""; }
std::string quoteText(const std::string& s) { return "'" + replaceAll(s, "'", "''") + "'"; }

std::string joinQuoted(const std::vector<std::string>& names) {
    std::string r;
    for (size_t i = 0; i < names.size(); ++i) r += (i ? (i + 1 == names.size() ? "' or '" : "', '") : "'") + names[i];
    return r + "'";
}

void bindValue(sqlite3_stmt* st, int i, const Variant& v) {
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Error: sqlite3_bind_null(st, i); break;
    case VarType::Boolean: sqlite3_bind_int(st, i, v.toBool() ? -1 : 0); break;
    case VarType::Integer:
    case VarType::Long:
    case VarType::LongLong:
    case VarType::Byte: sqlite3_bind_int64(st, i, v.toLongLong()); break;
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency: sqlite3_bind_double(st, i, v.toDouble()); break;
    case VarType::Date: {
        std::string s = dateToStorage(v.toDateSerial());
        sqlite3_bind_text(st, i, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        break;
    }
    case VarType::ByteArray:
        sqlite3_bind_blob(st, i, v.bytes().data(), static_cast<int>(v.bytes().size()), SQLITE_TRANSIENT);
        break;
    default: {
        const std::string& s = v.stringRef();
        sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    }
}

Variant rawColumn(sqlite3_stmt* st, int i) {
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL: return Variant::null();
    case SQLITE_INTEGER: return Variant::longLong(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT: return Variant(sqlite3_column_double(st, i));
    case SQLITE_BLOB: {
        auto p = static_cast<const uint8_t*>(sqlite3_column_blob(st, i));
        return Variant(std::vector<uint8_t>(p, p + sqlite3_column_bytes(st, i)));
    }
    default:
        return Variant(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                   static_cast<size_t>(sqlite3_column_bytes(st, i))));
    }
}

bool looksLikeStoredDate(const std::string& s) {
    double serial;
    if (s.size() == 23) return canonicalStorageDate(s, serial);
    if (s.size() != 10 && s.size() != 19) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        bool sep = i == 4 || i == 7 || i == 10 || i == 13 || i == 16;
        if (sep) {
            if (c != (i < 10 ? '-' : i == 10 ? ' ' : ':')) return false;
        } else if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// The kind of a computed column (no declared type) from the values it holds.
void inferColumn(ColumnInfo& col, ValueColumn& column) {
    bool anyInt = false, anyReal = false, anyText = false, anyBlob = false, allDates = true, bigInt = false;
    size_t maxLen = 0;
    for (size_t r = 0; r < column.size(); ++r) {
        switch (column.type(r)) {
        case VarType::Null: break;
        case VarType::LongLong: {
            const auto n = static_cast<int64_t>(column.bits(r));
            anyInt = true;
            if (n > INT32_MAX || n < INT32_MIN) bigInt = true;
            break;
        }
        case VarType::Double: anyReal = true; break;
        case VarType::ByteArray: anyBlob = true; break;
        default: {
            const std::string text(column.text(r));
            anyText = true;
            maxLen = std::max(maxLen, utf8Length(text));
            if (!looksLikeStoredDate(text)) allDates = false;
        }
        }
    }
    // Each kind below turns the column's values into that kind's values.
    auto convert = [&column](auto f) {
        ValueColumn out;
        out.reserve(column.size());
        for (size_t r = 0; r < column.size(); ++r) {
            Variant v = column.at(r);
            out.push(v.isNull() ? v : f(v));
        }
        out.shrink();
        column = std::move(out);
    };
    if (anyBlob && !anyText && !anyInt && !anyReal) {
        col.type = typeFromDao(dt::LongBinary);
    } else if (anyText && !anyInt && !anyReal && !anyBlob && allDates) {
        col.type = typeFromDao(dt::Date);
        convert([](const Variant& v) {
            double serial;
            return v.isString() && storageToDate(v.stringRef(), serial) ? Variant::date(serial) : v;
        });
    } else if (anyText || anyBlob) {
        col.type = maxLen > 255 ? typeFromDao(dt::Memo) : typeFromDao(dt::Text, 255);
        convert([](const Variant& v) {
            if (v.isString()) return v;
            return Variant(v.isBytes() ? std::string(v.bytes().begin(), v.bytes().end()) : v.toString());
        });
    } else if (anyReal) {
        col.type = typeFromDao(dt::Double);
        convert([](const Variant& v) { return Variant(v.toDouble()); });
    } else if (bigInt) {
        col.type = typeFromDao(dt::BigInt);
    } else {
        col.type = typeFromDao(dt::Long);
        (void)anyInt;
        convert([](const Variant& v) { return Variant::longValue(static_cast<int32_t>(v.toLongLong())); });
    }
}

[[noreturn]] void mismatch() { raise(3464, "Data type mismatch in criteria expression.", Source); }

std::optional<bool> truthOf(const std::string& text) {
    std::string t = lowerAscii(trimBlanks(text));
    for (const char* w : {"true", "yes", "on", "waar", "ja", "-1", "1"})
        if (t == w) return true;
    for (const char* w : {"false", "no", "off", "onwaar", "nee", "0"})
        if (t == w) return false;
    return std::nullopt;
}

}  // namespace

bool isSystemTable(std::string_view name) {
    return startsWithNoCase(name, "sqlite_") || startsWithNoCase(name, "dv_sys_");
}

FileKind probeFile(const std::string& path) {
    std::error_code ec;
    auto st = fs::status(path, ec);
    if (ec || !fs::exists(st)) return FileKind::Missing;
    if (!fs::is_regular_file(st)) return FileKind::NotAFile;
    if (::access(path.c_str(), R_OK) != 0) return FileKind::Unreadable;
    std::ifstream in(path, std::ios::binary);
    char h[32] = {};
    in.read(h, sizeof h);
    auto n = in.gcount();
    if (n >= 16 && std::memcmp(h, "SQLite format 3\0", 16) == 0) return FileKind::SQLite;
    if (n >= 19 && h[0] == 0 && h[1] == 1 && h[2] == 0 && h[3] == 0 &&
        (std::memcmp(h + 4, "Standard Jet DB", 15) == 0 || std::memcmp(h + 4, "Standard ACE DB", 15) == 0))
        return FileKind::JetOrAce;
    return FileKind::Unknown;
}

void setLockTimeout(int ms) { gLockTimeout = ms; }
int lockTimeout() { return gLockTimeout; }

Session::Session(sqlite3* db, std::string path, Logon logon) : db_(db), path_(std::move(path)), logon_(std::move(logon)) {}

Session::~Session() {
    sqlite3_finalize(schemaVersion_);
    if (db_) sqlite3_close_v2(db_);
}

static void configure(sqlite3* db, bool writable) {
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, gLockTimeout);
    // DELETE journal + FULL sync: a reported commit is on disk, and the file
    // needs no shared-memory side files, so it works on network shares too.
    if (writable) sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr);
    // "x" is a name, never a text: an unknown name must not turn into its own spelling.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    registerFunctions(db);
}

std::shared_ptr<Session> Session::open(const std::string& path, bool readOnly, const std::string& password,
                                       const Logon& logon) {
    switch (probeFile(path)) {
    case FileKind::Missing: raise(3024, "Could not find file '" + path + "'.", Source);
    case FileKind::NotAFile: raise(3044, "'" + path + "' isn't a valid path. Make sure that the path name is spelled correctly.", Source);
    case FileKind::Unreadable:
        raise(3051, "The database engine cannot open the file '" + path + "'. You need permission to read it.", Source);
    case FileKind::JetOrAce: {
        // libmdb reads a file with a password without it: the header is asked first.
        access::checkPassword(path, password);
        // An Access file is read into a mirror in the engine's format; the file itself is never written.
        auto s = open(access::mirrorFor(path), true, std::string(), logon);
        s->path_ = path;
        s->foreign_ = true;
        return s;
    }
    case FileKind::Unknown: unrecognized(path);
    case FileKind::SQLite: break;
    }
    // Writing needs the file and its folder (for the journal); without them it opens for reading.
    auto parent = fs::absolute(path).parent_path().string();
    bool notWritable = !readOnly && (::access(path.c_str(), W_OK) != 0 || ::access(parent.c_str(), W_OK) != 0);
    if (notWritable) readOnly = true;
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) raise(3051, "The database engine cannot open the file '" + path + "'.", Source);
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, gLockTimeout);
    // Reading the schema proves the file is a whole database before anything is written.
    rc = sqlite3_exec(raw, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        raise(3045, "Could not use '" + path + "'; file already in use.", Source);
    if (rc != SQLITE_OK) unrecognized(path);
    std::shared_ptr<Session> s(new Session(db.release(), path, logon));
    s->readOnly_ = readOnly;
    s->notWritable_ = notWritable;
    configure(s->db_, !readOnly);
    if (hasDatabasePassword(*s)) {
        auto verifier = s->scalar(std::string("SELECT value FROM ") + AccessTable + " WHERE item='password'").text();
        if (!verifyPassword(verifier, password)) raise(3031, "Not a valid password.", Source);
    }
    auto accounts = securedAccounts(*s);
    if (!accounts.empty()) {
        bool allowed = false;
        auto boundTo = s->scalar(std::string("SELECT value FROM ") + AccessTable + " WHERE item='workgroup'").text();
        if (logon.workgroup && logon.workgroupId == boundTo)
            for (const auto& a : accounts) allowed = allowed || equalsNoCase(a, logon.user);
        if (!allowed)
            raise(3033,
                  "You do not have the necessary permissions to use the '" + path +
                      "' object. Have your system administrator or the person who created this object "
                      "establish the appropriate permissions for you.",
                  Source);
    }
    return s;
}

std::shared_ptr<Session> Session::create(const std::string& path) {
    if (probeFile(path) != FileKind::Missing) raise(3204, "Database already exists.", "DAO.Workspace");
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) raise(3044, "'" + path + "' isn't a valid path. Make sure that the path name is spelled correctly.", "DAO.Workspace");
    std::shared_ptr<Session> s(new Session(db.release(), path, {}));
    configure(s->db_, true);
    // Writing the header now makes the new file recognisable at once.
    s->exec("PRAGMA user_version=0");
    s->exec("CREATE TABLE IF NOT EXISTS dv_sys_created (at TEXT)");
    s->exec("DROP TABLE dv_sys_created");
    return s;
}

// SQLite keeps any length in a TEXT(n) column; these triggers refuse what the
// declared size cannot hold, as the engine's users expect.
void Session::refreshLengthChecks(const std::string& table) {
    std::string ins, upd, cols;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT name, type FROM pragma_table_info(?)", -1, &raw, nullptr) != SQLITE_OK) return;
    StmtHandle st(raw);
    sqlite3_bind_text(raw, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(raw) == SQLITE_ROW) {
        std::string col = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
        auto decl = sqlite3_column_text(raw, 1);
        ColumnType ct = typeFromDeclaration(decl ? reinterpret_cast<const char*>(decl) : "");
        if (ct.dao != dt::Text || ct.daoSize <= 0) continue;
        std::string label = replaceAll(table + "." + col, "'", "''");
        std::string check = "SELECT RAISE(ABORT, 'length:" + label + "') WHERE typeof(NEW." + quoteIdent(col) +
                            ") = 'text' AND length(NEW." + quoteIdent(col) + ") > " + std::to_string(ct.daoSize) + ";";
        ins += check;
        upd += check;
        cols += (cols.empty() ? "" : ", ") + quoteIdent(col);
    }
    std::string base = "dv_sys_len_" + table;
    exec("DROP TRIGGER IF EXISTS " + quoteIdent(base + "_ins"));
    exec("DROP TRIGGER IF EXISTS " + quoteIdent(base + "_upd"));
    if (ins.empty()) return;
    exec("CREATE TRIGGER " + quoteIdent(base + "_ins") + " BEFORE INSERT ON " + quoteIdent(table) + " BEGIN " + ins + " END");
    exec("CREATE TRIGGER " + quoteIdent(base + "_upd") + " BEFORE UPDATE OF " + cols + " ON " + quoteIdent(table) +
         " BEGIN " + upd + " END");
}

std::vector<StoreColumn> Session::storeColumns(const std::string& table) {
    if (!schemaVersion_ && sqlite3_prepare_v2(db_, "PRAGMA schema_version", -1, &schemaVersion_, nullptr) != SQLITE_OK)
        return {};
    long long version = -1;
    if (sqlite3_step(schemaVersion_) == SQLITE_ROW) version = sqlite3_column_int64(schemaVersion_, 0);
    sqlite3_reset(schemaVersion_);
    if (version != cachedSchema_) {
        storeCache_.clear();
        cachedSchema_ = version;
    }
    for (const auto& [name, columns] : storeCache_)
        if (equalsNoCase(name, table)) return columns;
    std::vector<StoreColumn> columns;
    sqlite3_stmt* raw = nullptr;
    // Tables only: a view has no row ids, nor values to check.
    if (sqlite3_prepare_v2(db_,
                           "SELECT name, type FROM pragma_table_info(?1) WHERE EXISTS (SELECT 1 FROM sqlite_master "
                           "WHERE type = 'table' AND name = ?1 COLLATE NOCASE)",
                           -1, &raw, nullptr) != SQLITE_OK)
        return {};
    StmtHandle st(raw);
    sqlite3_bind_text(raw, 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(raw) == SQLITE_ROW) {
        auto decl = sqlite3_column_text(raw, 1);
        columns.push_back({reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)),
                           storeKindOf(decl ? reinterpret_cast<const char*>(decl) : "")});
    }
    storeCache_.emplace_back(table, columns);
    return columns;
}

bool Session::tableExists(const std::string& name) {
    return scalar("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE", {Variant(name)})
               .toLongLong() > 0;
}

void Session::ensureMetadata() {
    exec(std::string("CREATE TABLE IF NOT EXISTS ") + PropertiesTable +
         " (object TEXT NOT NULL COLLATE NOCASE, field TEXT NOT NULL DEFAULT '' COLLATE NOCASE, "
         "name TEXT NOT NULL COLLATE NOCASE, value, kind INTEGER NOT NULL DEFAULT 8, PRIMARY KEY (object, field, name))");
    exec(std::string("CREATE TABLE IF NOT EXISTS ") + QueriesTable +
         " (name TEXT PRIMARY KEY COLLATE NOCASE, type INTEGER NOT NULL DEFAULT 0, sql TEXT NOT NULL)");
    exec(std::string("CREATE TABLE IF NOT EXISTS ") + AccessTable + " (item TEXT PRIMARY KEY, value TEXT)");
    exec(std::string("CREATE TABLE IF NOT EXISTS ") + AccountsTable + " (name TEXT PRIMARY KEY COLLATE NOCASE)");
}

void Session::exec(const std::string& sql, const std::vector<Variant>& values) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) fail(sqlite3_extended_errcode(db_));
    StmtHandle st(raw);
    for (size_t i = 0; i < values.size(); ++i) bindValue(raw, static_cast<int>(i + 1), values[i]);
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) fail(sqlite3_extended_errcode(db_));
}

Variant Session::scalar(const std::string& sql, const std::vector<Variant>& values) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) fail(sqlite3_extended_errcode(db_));
    StmtHandle st(raw);
    for (size_t i = 0; i < values.size(); ++i) bindValue(raw, static_cast<int>(i + 1), values[i]);
    int rc = sqlite3_step(raw);
    if (rc == SQLITE_ROW) return rawColumn(raw, 0);
    if (rc != SQLITE_DONE) fail(sqlite3_extended_errcode(db_));
    return {};
}

void Session::fail(int rc, const std::string& table, int verb) const {
    std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    auto after = [&](const char* prefix) {
        auto p = msg.find(prefix);
        return p == std::string::npos ? std::string() : trimBlanks(msg.substr(p + std::strlen(prefix)));
    };
    if (msg.rfind(StoreErrorTag, 0) == 0) {
        // number, table, column, kind, value: see jet_store.
        auto f = split(msg.substr(std::strlen(StoreErrorTag)), StoreErrorSeparator);
        if (f.size() >= 5) {
            static const char* const kinds[] = {"", "Yes/No", "Byte", "Integer", "Long", "Number", "Currency",
                                                "Single", "Double", "Date/Time", "Replication ID", "Decimal"};
            int k = std::atoi(f[3].c_str());
            std::string kind = k >= 0 && k < 12 ? kinds[k] : "";
            static const char* const ranges[] = {"", "", "0 to 255", "-32768 to 32767",
                                                 "-2147483648 to 2147483647",
                                                 "-9223372036854775808 to 9223372036854775807",
                                                 "-922337203685477.5808 to 922337203685477.5807",
                                                 "about -3.4E+38 to 3.4E+38", "finite values", "years 100 to 9999", "",
                                                 "finite values"};
            std::string range = k >= 0 && k < 12 ? ranges[k] : "";
            std::string where = "the field '" + f[2] + "' of table '" + f[1] + "'";
            if (f[0] == "3349")
                raise(3349,
                      "Numeric field overflow. The value " + f[4] + " does not fit " + where + " (" + kind +
                          (range.empty() ? "" : ": " + range) + ").",
                      Source);
            raise(3464,
                  "Data type mismatch in criteria expression. The value '" + f[4] + "' cannot be stored in " + where +
                      " (" + kind + ").",
                  Source);
        }
    }
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        raise(3218,
              "Could not update; currently locked by another user of '" + fileName(path_) + "'" +
                  (table.empty() ? std::string() : " (table '" + table + "')") +
                  ". Try again when the other user has finished.",
              Source);
    case SQLITE_CONSTRAINT:
        switch (rc) {
        case SQLITE_CONSTRAINT_NOTNULL:
            raise(3314,
                  "The field " + after("failed:") +
                      " cannot contain a Null value because the Required property for this field is set to True. "
                      "Enter a value in this field.",
                  Source);
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY: {
            // "t.a, t.b": split where the next "table." starts, so that names holding ", " stay whole.
            std::string failed = after("failed:");
            std::vector<std::string> cols;
            std::string mark = ", " + table + ".";
            for (size_t from = 0;;) {
                size_t p = table.empty() ? failed.find(", ", from) : failed.find(mark, from);
                cols.push_back(failed.substr(from, p == std::string::npos ? std::string::npos : p - from));
                if (p == std::string::npos) break;
                from = p + 2;
            }
            std::string list;
            for (size_t i = 0; i < cols.size(); ++i) list += (i ? " and " : "") + trimBlanks(cols[i]);
            raise(3022,
                  "The changes you requested to the table were not successful because they would create "
                  "duplicate values in the field" + std::string(cols.size() > 1 ? "s " : " ") + list +
                      " of the index, primary key, or relationship. Change the data and try again.",
                  Source);
        }
        case SQLITE_CONSTRAINT_FOREIGNKEY: {
            // SQLite does not say which relation; name the tables on the other side.
            std::vector<std::string> parents, children;
            if (!table.empty()) {
                for (auto& p : stringColumn(db_, "SELECT DISTINCT \"table\" FROM pragma_foreign_key_list(" +
                                                     quoteText(table) + ")", 0))
                    parents.push_back(p);
                for (auto& t : stringColumn(db_, "SELECT name FROM sqlite_master WHERE type='table'", 0))
                    for (auto& p : stringColumn(db_, "SELECT DISTINCT \"table\" FROM pragma_foreign_key_list(" +
                                                         quoteText(t) + ")", 0))
                        if (equalsNoCase(p, table)) children.push_back(t);
            }
            if (verb == VDelete || (verb == VUpdate && parents.empty()))
                raise(3200,
                      "The record cannot be deleted or changed because table " +
                          (children.empty() ? std::string("'?'") : joinQuoted(children)) +
                          " includes related records.",
                      Source);
            raise(3201,
                  "You cannot add or change a record because a related record is required in table " +
                      (parents.empty() ? std::string("'?'") : joinQuoted(parents)) + ".",
                  Source);
        }
        case SQLITE_CONSTRAINT_TRIGGER:
            if (msg.rfind("nulls:", 0) == 0)
                raise(3058, "Index or primary key cannot contain a Null value (index '" + msg.substr(6) + "').", Source);
            if (msg.rfind("length:", 0) == 0)
                raise(3163,
                      "The field " + msg.substr(7) +
                          " is too small to accept the amount of data you attempted to add. Try inserting or "
                          "pasting less data.",
                      Source);
            raise(3022, "The changes you requested to the table were not successful: " + msg + ".", Source);
        case SQLITE_CONSTRAINT_CHECK:
            raise(3317,
                  "One or more values are prohibited by the validation rule '" + after("failed:") + "' set for '" +
                      table + "'. Enter a value that the expression for this field can accept.",
                  Source);
        default:
            raise(3022, "The changes you requested to the table were not successful: " + msg + ".", Source);
        }
    case SQLITE_READONLY:
        raise(3027,
              std::string("Cannot update. Database or object is read-only.") +
                  (foreign_ ? " The MS Access file '" + path_ + "' is opened read-only; convert it to an editable database to change it."
                   : notWritable_ ? " The file '" + path_ + "' or its folder cannot be written." : ""),
              Source);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: unrecognized(path_);
    case SQLITE_FULL: raise(3026, "Not enough space on disk.", Source);
    case SQLITE_IOERR: raise(3043, "Disk or network error.", Source);
    case SQLITE_CANTOPEN:
    case SQLITE_PERM: raise(3051, "The database engine cannot open the file '" + path_ + "'.", Source);
    case SQLITE_TOOBIG:
        raise(3163, "The field is too small to accept the amount of data you attempted to add.", Source);
    case SQLITE_MISMATCH: mismatch();
    case SQLITE_RANGE: raise(3001, "Invalid argument.", Source);
    default: break;
    }
    if (auto t = after("no such table:"); !t.empty())
        raise(3078,
              "The database engine cannot find the input table or query '" + t +
                  "'. Make sure it exists and that its name is spelled correctly.",
              Source);
    if (auto c = after("no such column:"); !c.empty())
        raise(3061, "Too few parameters. Expected 1. '" + c + "' is not a field of the statement's tables.", Source);
    if (auto c = after("ambiguous column name:"); !c.empty())
        raise(3079,
              "The specified field '" + c +
                  "' could refer to more than one table listed in the FROM clause of your SQL statement.",
              Source);
    if (auto f = after("no such function:"); !f.empty())
        raise(3085, "Undefined function '" + f + "' in expression.", Source);
    if (auto c = msg.find(" has no column named "); c != std::string::npos)
        raise(3127,
              "The INSERT INTO statement contains the following unknown field name: '" + msg.substr(c + 21) +
                  "'. Make sure you have typed the name correctly, and try the operation again.",
              Source);
    if (msg.rfind("wrong number of arguments to function ", 0) == 0)
        raise(3075, "Wrong number of arguments used with function in query expression '" + msg.substr(38) + "'.",
              Source);
    if (msg.rfind("misuse of aggregate", 0) == 0)
        raise(3096, "Cannot have aggregate function in WHERE clause (" + msg.substr(msg.find(':') + 1) + ").", Source);
    if (msg.find("do not have the same number of result columns") != std::string::npos)
        raise(3307,
              "The number of columns in the two selected tables or queries of a union query do not match.", Source);
    if (msg.rfind("sub-select returns ", 0) == 0)
        raise(3306,
              "You have written a subquery that can return more than one field without using the EXISTS reserved "
              "word in the main query's FROM clause. Revise the SELECT statement of the subquery to request only "
              "one field.",
              Source);
    // The errors of the dialect's functions and operators, by the numbers they have.
    if (msg == "Division by zero") raise(11, "Division by zero.", Source);
    if (msg == "Overflow") raise(6, "Overflow.", Source);
    if (msg == "Invalid use of Null") raise(94, "Invalid use of Null.", Source);
    if (msg == "Invalid procedure call or argument") raise(5, "Invalid procedure call or argument.", Source);
    if (msg == "Data type mismatch in criteria expression") mismatch();
    // A function's own failure names its number at the end: "Overflow: ... (error 6)".
    if (const size_t at = msg.rfind(" (error "); at != std::string::npos && !msg.empty() && msg.back() == ')') {
        const std::string digits = msg.substr(at + 8, msg.size() - at - 9);
        if (!digits.empty() && digits.size() <= 5 && digits.find_first_not_of("0123456789") == std::string::npos)
            raise(std::stol(digits), msg.substr(0, at) + ".", Source);
    }
    if (msg.rfind("table ", 0) == 0 && msg.find(" already exists") != std::string::npos) {
        std::string name = msg.substr(6, msg.find(" already exists") - 6);
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = replaceAll(name.substr(1, name.size() - 2), "\"\"", "\"");
        raise(3010, "Table '" + name + "' already exists.", Source);
    }
    if (msg.rfind("index ", 0) == 0 && msg.find(" already exists") != std::string::npos)
        raise(3375, "An index named '" + msg.substr(6, msg.find(" already exists") - 6) + "' already exists.", Source);
    if (auto c = after("duplicate column name:"); !c.empty())
        raise(3191, "Cannot define field '" + c + "' more than once.", Source);
    if (msg.find("syntax error") != std::string::npos || msg.find("incomplete input") != std::string::npos)
        raise(3075, "Syntax error (" + msg + ") in SQL statement.", Source);
    raise(3000, "The database engine could not carry out the statement: " + msg + ".", Source);
}

Variant convertToDeclared(const Variant& v, int daoType) {
    if (v.isNull() || v.isEmpty() || v.isMissing()) return Variant::null();
    switch (daoType) {
    case dt::Boolean:
        if (v.isString()) {
            if (auto b = truthOf(v.stringRef())) return Variant::longValue(*b ? -1 : 0);
            double d;
            if (parseNumber(v.stringRef(), d)) return Variant::longValue(d != 0 ? -1 : 0);
            mismatch();
        }
        return Variant::longValue(v.toBool() ? -1 : 0);
    case dt::Byte:
    case dt::Integer:
    case dt::Long:
    case dt::BigInt: {
        if (v.isString()) {
            double d;
            if (!parseNumber(v.stringRef(), d)) mismatch();
            return Variant::longLong(static_cast<int64_t>(std::nearbyint(d)));
        }
        if (v.isBoolean()) return Variant::longLong(v.toBool() ? -1 : 0);
        return Variant::longLong(v.toLongLong());
    }
    case dt::Currency:
    case dt::Single:
    case dt::Double:
    case dt::Decimal: {
        if (v.isString()) {
            double d;
            if (!parseNumber(v.stringRef(), d)) mismatch();
            return Variant(d);
        }
        if (v.isBytes()) mismatch();
        return Variant(v.toDouble());
    }
    case dt::Date: {
        double serial;
        if (v.isString()) {
            if (!readDateText(v.stringRef(), serial)) mismatch();
        } else if (v.isDate() || v.isNumber()) {
            serial = v.toDateSerial();
        } else {
            mismatch();
        }
        return Variant(dateToStorage(serial));
    }
    case dt::GUID: {
        std::string g;
        if (!v.isString() || !normalizeGuid(trimBlanks(v.stringRef()), g)) mismatch();
        return Variant(g);
    }
    case dt::Binary:
    case dt::LongBinary: return v.isBytes() ? v : Variant(std::vector<uint8_t>(v.text().begin(), v.text().end()));
    case dt::Text:
    case dt::Memo:
        if (v.isDate()) return Variant(dateToStorage(v.toDateSerial()));
        return Variant(v.text());
    default: return v;
    }
}

namespace {

// A whole number in the narrowest kind from `rank` on (0 Byte, 1 Integer, 2 Long) that holds it.
Variant wholeNumber(int64_t n, int rank) {
    if (rank <= 0 && n >= 0 && n <= 255) return Variant::byteValue(static_cast<uint8_t>(n));
    if (rank <= 1 && n >= INT16_MIN && n <= INT16_MAX) return Variant::integer(static_cast<int16_t>(n));
    if (n >= INT32_MIN && n <= INT32_MAX) return Variant::longValue(static_cast<int32_t>(n));
    return Variant::longLong(n);
}

// A stored Currency; a value that is not one (another tool's, or out of range) as the Double it is.
Variant currencyColumn(sqlite3_stmt* st, int i, int storage) {
    if (storage == SQLITE_INTEGER) {
        int64_t n = sqlite3_column_int64(st, i);
        if (n >= -922337203685477LL && n <= 922337203685477LL) return Variant::currencyScaled(n * 10000);
        return Variant::longLong(n);
    }
    double d = sqlite3_column_double(st, i);
    int64_t units = 0;
    if (std::fabs(d) < 2e11) {
        // Exact below 2^51 units: the division gives back d only for a four-decimal value.
        double u = std::nearbyint(d * 10000.0);
        if (u / 10000.0 == d) return Variant::currencyScaled(static_cast<int64_t>(u));
    } else if (currencyUnits(d, units) && currencyDouble(units) == d) {
        return Variant::currencyScaled(units);
    }
    return Variant(d);
}

}  // namespace

Variant readColumn(sqlite3_stmt* st, int i, const ColumnType& type) {
    int storage = sqlite3_column_type(st, i);
    if (storage == SQLITE_NULL) return Variant::null();
    // What does not fit the column's type comes back as stored, never wrapped
    // or rounded, so that a literal of it finds the row again.
    switch (type.ado) {
    case 11:
        if (storage == SQLITE_INTEGER) {
            int64_t n = sqlite3_column_int64(st, i);
            if (n == 0 || n == -1) return Variant(n != 0);
            return wholeNumber(n, 2);
        }
        if (storage == SQLITE_FLOAT) return Variant(sqlite3_column_double(st, i));
        break;
    case 17:
    case 2:
    case 3:
    case 20:
        if (storage == SQLITE_INTEGER) {
            int64_t n = sqlite3_column_int64(st, i);
            if (type.ado == 20) return Variant::longLong(n);
            return wholeNumber(n, type.ado == 17 ? 0 : type.ado == 2 ? 1 : 2);
        }
        if (storage == SQLITE_FLOAT) return Variant(sqlite3_column_double(st, i));
        break;
    case 6:
        if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) return currencyColumn(st, i, storage);
        break;
    case 4:
        if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
            double d = sqlite3_column_double(st, i);
            float f = static_cast<float>(d);
            if (static_cast<double>(f) == d) return Variant::single(f);
            if (storage == SQLITE_INTEGER) return Variant::longLong(sqlite3_column_int64(st, i));
            return Variant(d);
        }
        break;
    case 5:
    case 131:
        if (storage == SQLITE_FLOAT) return Variant(sqlite3_column_double(st, i));
        if (storage == SQLITE_INTEGER) {
            int64_t n = sqlite3_column_int64(st, i);
            if (n > -(1LL << 53) && n < (1LL << 53)) return Variant(static_cast<double>(n));
            return Variant::longLong(n);
        }
        break;
    case 135:
        if (storage == SQLITE_TEXT) {
            double serial;
            auto p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
            std::string_view t(p, static_cast<size_t>(sqlite3_column_bytes(st, i)));
            if (canonicalStorageDate(t, serial)) return Variant::date(serial);
            return Variant(std::string(t));
        }
        break;
    case 72:
        if (storage == SQLITE_BLOB && sqlite3_column_bytes(st, i) == 16) {
            auto b = static_cast<const uint8_t*>(sqlite3_column_blob(st, i));
            char buf[40];
            std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                          b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                          b[14], b[15]);
            return Variant(std::string(buf));
        }
        if (storage == SQLITE_TEXT) {
            std::string g, t(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                             static_cast<size_t>(sqlite3_column_bytes(st, i)));
            return Variant(normalizeGuid(t, g) ? g : t);
        }
        break;
    case 204:
    case 205:
        if (storage == SQLITE_BLOB) return rawColumn(st, i);
        {
            auto p = reinterpret_cast<const uint8_t*>(sqlite3_column_text(st, i));
            return Variant(std::vector<uint8_t>(p, p + sqlite3_column_bytes(st, i)));
        }
    default:
        break;
    }
    // Texts, and values that do not fit their column's type (SQLite keeps them as given).
    if (storage == SQLITE_BLOB) return rawColumn(st, i);
    if ((type.ado == 202 || type.ado == 203) && storage == SQLITE_INTEGER)
        return Variant(std::to_string(sqlite3_column_int64(st, i)));
    return rawColumn(st, i);
}

namespace {
// Nulls, and texts that readColumn would give back as stored, go into the
// column without a Variant in between: most of what a wide table holds.
bool pushDirect(ValueColumn& column, sqlite3_stmt* st, int i, const ColumnType& type) {
    const int storage = sqlite3_column_type(st, i);
    if (storage == SQLITE_NULL) {
        column.pushNull();
        return true;
    }
    if (storage != SQLITE_TEXT) return false;
    switch (type.ado) {
    case 11: case 17: case 2: case 3: case 20: case 6: case 4: case 5: case 131: case 135: case 72: case 204: case 205:
        return false;  // these read their texts in their own way
    default: break;
    }
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    column.pushText(std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(st, i))));
    return true;
}
}  // namespace

int Session::prepareDialect(std::string_view jetSql, const std::vector<std::string>& knownParameters, Translation& t,
                            sqlite3_stmt** out) {
    // Written values go through the checks of their columns' types (see jet_store).
    ColumnLookup columns = [this](const std::string& name) { return storeColumns(name); };
    std::vector<std::string> known = knownParameters;
    for (;;) {
        t = translate(jetSql, known, columns);
        // A table change and a crosstab are carried out by the session itself.
        if (t.change.kind != TableChange::Kind::None || t.crosstab.present) {
            *out = nullptr;
            return SQLITE_OK;
        }
        const std::string& text = t.selectInto.empty() ? t.sql : t.selectInto;
        const char* tail = nullptr;
        *out = nullptr;
        int rc = sqlite3_prepare_v2(db_, text.c_str(), static_cast<int>(text.size()), out, &tail);
        if (rc == SQLITE_OK) {
            for (const char* p = tail; p && p < text.c_str() + text.size(); ++p)
                if (!std::isspace(static_cast<unsigned char>(*p)) && *p != ';') {
                    sqlite3_finalize(*out);
                    *out = nullptr;
                    raise(3142, "Characters found after end of SQL statement.", Source);
                }
            return rc;
        }
        // A name that is no field of the statement's tables is a parameter the
        // statement asks for, as the engine's users expect; never a text.
        const bool queries = t.kind == StatementKind::Select || t.kind == StatementKind::Insert ||
                             t.kind == StatementKind::Update || t.kind == StatementKind::Delete ||
                             !t.selectInto.empty();
        const std::string msg = sqlite3_errmsg(db_);
        const std::string prefix = "no such column: ";
        if (!queries || msg.rfind(prefix, 0) != 0 || known.size() > knownParameters.size() + 200) return rc;
        std::string name = msg.substr(prefix.size());
        for (const auto& k : known)
            if (equalsNoCase(k, name)) return rc;  // where no parameter can stand
        known.push_back(name);
    }
}

std::vector<DeclaredParameter> Session::parametersOf(std::string_view jetSql) {
    Translation t;
    sqlite3_stmt* raw = nullptr;
    prepareDialect(jetSql, {}, t, &raw);
    sqlite3_finalize(raw);
    // The declared ones, then the others as Text in the order of their first use.
    std::vector<DeclaredParameter> out = t.parameters;
    for (const auto& name : t.bindNames) {
        bool listed = name.empty();
        for (const auto& p : out) listed = listed || equalsNoCase(p.name, name);
        if (!listed) out.push_back({name, "Text", dt::Text});
    }
    return out;
}

int Session::bindParameters(sqlite3_stmt* st, const Translation& t, const ParameterLookup& lookup) {
    int n = sqlite3_bind_parameter_count(st);
    int missing = 0;
    for (int i = 1; i <= n; ++i) {
        std::string name;
        if (static_cast<size_t>(i) <= t.bindNames.size()) name = t.bindNames[static_cast<size_t>(i - 1)];
        if (name.empty()) {
            const char* pn = sqlite3_bind_parameter_name(st, i);
            name = pn ? std::string(pn + 1) : std::to_string(i);
        }
        int declared = 0;
        for (const auto& dp : t.parameters)
            if (equalsNoCase(dp.name, name)) declared = dp.daoType;
        Variant v = lookup ? lookup(name, declared) : Variant::missing();
        if (v.isMissing()) {
            ++missing;
            continue;
        }
        bindValue(st, i, declared ? convertToDeclared(v, declared) : v);
    }
    return missing;
}

void Session::refuseDropOfRelated(const std::string& table) {
    std::string names;
    for (const auto& r : loadRelations(*this))
        if (equalsNoCase(r->Table(), table) && !equalsNoCase(r->ForeignTable(), table))
            names += (names.empty() ? "'" : ", '") + r->Name() + "' (table '" + r->ForeignTable() + "')";
    if (!names.empty())
        raise(3303,
              "Cannot delete this table. It is participating in one or more relationships: " + names +
                  ". Delete the relationships first.",
              Source);
}

// The declared type a make-table column gets: the source column's own, an
// auto-number as a Long; a computed column by the values it holds.
std::string Session::makeTableType(sqlite3_stmt* select, int i, int column) {
    if (const char* d = sqlite3_column_decltype(select, i)) {
        std::string decl = d;
        const char* table = sqlite3_column_table_name(select, i);
        const char* origin = sqlite3_column_origin_name(select, i);
        int primary = 0, autoinc = 0;
        if (equalsNoCase(trimBlanks(decl), "INTEGER") && table && origin &&
            sqlite3_table_column_metadata(db_, sqlite3_column_database_name(select, i), table, origin, nullptr,
                                          nullptr, nullptr, &primary, &autoinc) == SQLITE_OK &&
            autoinc)
            decl = "LONG";
        ColumnType ct = typeFromDeclaration(decl);
        return decl + (ct.dao == dt::Text || ct.dao == dt::Memo ? " COLLATE NOCASE" : "");
    }
    std::string c = "c" + std::to_string(column);
    sqlite3_stmt* raw = nullptr;
    std::string q = "SELECT sum(typeof(" + c + ") = 'integer'), sum(typeof(" + c + ") = 'real'), sum(typeof(" + c +
                    ") = 'text'), sum(typeof(" + c + ") = 'blob'), max(CASE WHEN typeof(" + c + ") = 'integer' THEN abs(" +
                    c + ") END), max(CASE WHEN typeof(" + c + ") = 'text' THEN length(" + c +
                    ") END), sum(typeof(" + c + ") = 'text' AND " + c +
                    " GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]*') "
                    "FROM temp.dv_sys_make";
    if (sqlite3_prepare_v2(db_, q.c_str(), -1, &raw, nullptr) != SQLITE_OK) fail(sqlite3_extended_errcode(db_));
    StmtHandle st(raw);
    if (sqlite3_step(raw) != SQLITE_ROW) fail(sqlite3_extended_errcode(db_));
    auto n = [&](int k) { return sqlite3_column_int64(raw, k); };
    long long ints = n(0), reals = n(1), texts = n(2), blobs = n(3), biggest = n(4), longest = n(5), dates = n(6);
    if (texts) {
        if (dates == texts && !ints && !reals && !blobs) return "DATETIME";
        return longest > 255 ? "LONGTEXT COLLATE NOCASE" : "TEXT(255) COLLATE NOCASE";
    }
    if (blobs) return "LONGBINARY";
    if (reals) return "DOUBLE";
    if (ints) return biggest > 2147483647LL ? "INTEGER" : "LONG";
    return "TEXT(255) COLLATE NOCASE";
}

long Session::makeTable(const Translation& t, sqlite3_stmt* select) {
    const int n = sqlite3_column_count(select);
    std::string cols, marks;
    for (int i = 0; i < n; ++i) {
        cols += (i ? ", c" : "c") + std::to_string(i + 1);
        marks += i ? ", ?" : "?";
    }
    exec("SAVEPOINT dv_sys_make");
    try {
        // The rows first, so that a computed column's type can follow what it holds.
        exec("DROP TABLE IF EXISTS temp.dv_sys_make");
        exec("CREATE TEMP TABLE dv_sys_make (" + cols + ")");
        sqlite3_stmt* raw = nullptr;
        std::string ins = "INSERT INTO temp.dv_sys_make VALUES (" + marks + ")";
        if (sqlite3_prepare_v2(db_, ins.c_str(), -1, &raw, nullptr) != SQLITE_OK) fail(sqlite3_extended_errcode(db_));
        StmtHandle insert(raw);
        int rc;
        while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
            for (int i = 0; i < n; ++i) sqlite3_bind_value(raw, i + 1, sqlite3_column_value(select, i));
            if (sqlite3_step(raw) != SQLITE_DONE) fail(sqlite3_extended_errcode(db_), t.table, VInsert);
            sqlite3_reset(raw);
        }
        if (rc != SQLITE_DONE) fail(sqlite3_extended_errcode(db_), t.table, VSelect);
        std::string create = "CREATE TABLE " + quoteIdent(t.table) + " (";
        for (int i = 0; i < n; ++i)
            create += (i ? ", " : "") + quoteIdent(sqlite3_column_name(select, i)) + " " + makeTableType(select, i, i + 1);
        exec(create + ")");
        exec("INSERT INTO " + quoteIdent(t.table) + " SELECT " + cols + " FROM temp.dv_sys_make");
        long count = static_cast<long>(sqlite3_changes64(db_));
        exec("DROP TABLE temp.dv_sys_make");
        refreshLengthChecks(t.table);
        exec("RELEASE dv_sys_make");
        return count;
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK TO dv_sys_make; RELEASE dv_sys_make; DROP TABLE IF EXISTS temp.dv_sys_make",
                     nullptr, nullptr, nullptr);
        throw;
    }
}

ExecResult Session::execute(std::string_view jetSql, const ParameterLookup& lookup,
                            const std::vector<std::string>& knownParameters) {
    if (trimBlanks(jetSql).empty())
        raise(3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.", Source);
    Translation t;
    sqlite3_stmt* raw = nullptr;
    int rc = prepareDialect(jetSql, knownParameters, t, &raw);
    StmtHandle st(raw);
    if (t.change.kind != TableChange::Kind::None) return changeTable(t);
    std::string table;
    Verb verb = verbOf(t.sql, table);
    if (t.kind == StatementKind::Insert) verb = VInsert;
    if (t.kind == StatementKind::Update) verb = VUpdate;
    if (t.kind == StatementKind::Delete) verb = VDelete;
    if (!t.table.empty()) table = t.table;
    if (rc != SQLITE_OK) fail(sqlite3_extended_errcode(db_), table, t.selectInto.empty() ? verb : VSelect);
    if (t.crosstab.present) {
        // The crosstab's columns are the pivot values the data holds.
        std::vector<Variant> values;
        if (!t.crosstab.valuesSql.empty()) {
            sqlite3_stmt* valuesRaw = nullptr;
            if (sqlite3_prepare_v2(db_, t.crosstab.valuesSql.c_str(), -1, &valuesRaw, nullptr) != SQLITE_OK)
                fail(sqlite3_extended_errcode(db_), table, verb);
            StmtHandle valuesSt(valuesRaw);
            if (int missing = bindParameters(valuesRaw, t, lookup))
                raise(3061, "Too few parameters. Expected " + std::to_string(missing) + ".", Source);
            while ((rc = sqlite3_step(valuesRaw)) == SQLITE_ROW) values.push_back(rawColumn(valuesRaw, 0));
            if (rc != SQLITE_DONE) fail(sqlite3_extended_errcode(db_), table, verb);
        }
        t.sql = crosstabSql(t.crosstab, values);
        if (sqlite3_prepare_v2(db_, t.sql.c_str(), static_cast<int>(t.sql.size()), &raw, nullptr) != SQLITE_OK)
            fail(sqlite3_extended_errcode(db_), table, verb);
        st.reset(raw);
    }
    if (!raw)
        raise(3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.", Source);

    if (int missing = bindParameters(raw, t, lookup))
        raise(3061, "Too few parameters. Expected " + std::to_string(missing) + ".", Source);

    ExecResult result;
    if (!t.selectInto.empty()) {
        result.affected = makeTable(t, raw);
        return result;
    }
    if (verb == VDropTable) refuseDropOfRelated(table);
    int cols = sqlite3_column_count(raw);
    if (cols > 0) {
        result.hasRows = true;
        RowSet& rs = result.rows;
        rs.columns.resize(static_cast<size_t>(cols));
        rs.data = std::make_shared<ValueTable>(static_cast<size_t>(cols));
        std::vector<bool> declared(static_cast<size_t>(cols));
        for (int i = 0; i < cols; ++i) {
            rs.columns[static_cast<size_t>(i)].name = sqlite3_column_name(raw, i);
            const char* d = sqlite3_column_decltype(raw, i);
            declared[static_cast<size_t>(i)] = d != nullptr;
            if (d) rs.columns[static_cast<size_t>(i)].type = typeFromDeclaration(d);
        }
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
            ++rs.rows;
            host::rowRead(rs.rows);
            if (rs.held == kHeldRowsMax) continue;
            for (int i = 0; i < cols; ++i) {
                auto ui = static_cast<size_t>(i);
                ValueColumn& column = rs.data->column(ui);
                if (!declared[ui]) column.push(rawColumn(raw, i));
                else if (!pushDirect(column, raw, i, rs.columns[ui].type)) column.push(readColumn(raw, i, rs.columns[ui].type));
            }
            ++rs.held;
        }
        if (rc != SQLITE_DONE) fail(sqlite3_extended_errcode(db_), table, verb);
        for (int i = 0; i < cols; ++i)
            if (!declared[static_cast<size_t>(i)]) inferColumn(rs.columns[static_cast<size_t>(i)], rs.data->column(static_cast<size_t>(i)));
        rs.data->shrink();
        return result;
    }
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) fail(sqlite3_extended_errcode(db_), table, verb);
    // The statement's own rows: not those that cascades and triggers changed with them.
    if (verb == VInsert || verb == VUpdate || verb == VDelete) result.affected = static_cast<long>(sqlite3_changes64(db_));
    if (verb == VDefineTable && !table.empty()) refreshLengthChecks(table);
    // A dropped table takes its field properties with it.
    if (verb == VDropTable && tableExists(PropertiesTable))
        exec(std::string("DELETE FROM ") + PropertiesTable + " WHERE object = ? COLLATE NOCASE", {Variant(table)});
    return result;
}

}  // namespace dalvera::jet
