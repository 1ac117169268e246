#include "platform/access/Mirror.h"

#include <sqlite3.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

#include "host/Dao.h"
#include "platform/access/AccessFile.h"
#include "platform/access/QueryText.h"
#include "platform/jet/Session.h"
#include "platform/jet/sql/JetSql.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::access {

namespace fs = std::filesystem;

namespace {

std::string bracket(const std::string& name) { return "[" + name + "]"; }

// In the process that reads the file for the watchdog: where it says it is still going.
int progressFd = -1;
void tick() {
    if (progressFd >= 0) {
        char c = '.';
        (void)!::write(progressFd, &c, 1);
    }
}
std::string quoteIdent(const std::string& s) { return "\"" + replaceAll(s, "\"", "\"\"") + "\""; }

struct Relation {
    std::string name, table, foreignTable;  // table: the one side; foreignTable: the many side
    std::vector<std::string> fields, foreignFields;
    long flags = 0;
};
// MSysRelationships grbit.
constexpr long UpdateCascade = 0x100, DeleteCascade = 0x1000;

std::string text(const Cell& c) { return c.kind == Cell::Text ? c.s : c.kind == Cell::Int ? std::to_string(c.i) : ""; }

std::vector<Relation> readRelations(File& f) {
    std::map<std::string, Relation> byName;
    std::vector<std::string> order;
    std::map<std::string, std::vector<std::pair<long, std::pair<std::string, std::string>>>> pairs;
    for (auto& row : f.rows("MSysRelationships")) {
        std::string name, object, column, refObject, refColumn;
        long grbit = 0, icolumn = 0;
        for (auto& [k, v] : row) {
            if (k == "szRelationship") name = text(v);
            else if (k == "szObject") object = text(v);
            else if (k == "szColumn") column = text(v);
            else if (k == "szReferencedObject") refObject = text(v);
            else if (k == "szReferencedColumn") refColumn = text(v);
            else if (k == "grbit") grbit = static_cast<long>(v.i);
            else if (k == "icolumn") icolumn = static_cast<long>(v.i);
        }
        if (name.empty()) continue;
        if (!byName.count(name)) {
            order.push_back(name);
            byName[name] = Relation{name, refObject, object, {}, {}, grbit};
        }
        pairs[name].push_back({icolumn, {refColumn, column}});
    }
    std::vector<Relation> out;
    for (const auto& n : order) {
        Relation r = byName[n];
        auto& p = pairs[n];
        std::sort(p.begin(), p.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [i, fields] : p) {
            r.fields.push_back(fields.first);
            r.foreignFields.push_back(fields.second);
        }
        out.push_back(std::move(r));
    }
    return out;
}

// The declaration of a column in the dialect's CREATE TABLE.
std::string declaration(const Column& c, bool counter) {
    switch (c.type) {
    case jettype::Boolean: return "BIT";
    case jettype::Byte: return "BYTE";
    case jettype::Integer: return "SHORT";
    case jettype::Long: return counter ? "COUNTER" : "LONG";
    case jettype::BigInt: return "BIGINT";
    case jettype::Currency: return "CURRENCY";
    case jettype::Single: return "SINGLE";
    case jettype::Double: return "DOUBLE";
    case jettype::DateTime:
    case jettype::ExtDateTime: return "DATETIME";
    case jettype::Binary: return "BINARY(" + std::to_string(c.size > 0 ? c.size : 255) + ")";
    case jettype::Text: return "TEXT(" + std::to_string(c.size > 0 ? c.size : 255) + ")";
    case jettype::OLE: return "LONGBINARY";
    case jettype::GUID: return "GUID";
    case jettype::Numeric: {
        int p = c.precision >= 1 && c.precision <= 28 ? c.precision : 18;
        int s = c.scale >= 0 && c.scale <= p ? c.scale : 0;
        return "DECIMAL(" + std::to_string(p) + "," + std::to_string(s) + ")";
    }
    case jettype::Memo:
    default: return "LONGTEXT";
    }
}

std::string guidText(const std::string& b) {
    if (b.size() != 16) return {};
    auto u = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(b[i])); };
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", u(3), u(2),
                  u(1), u(0), u(5), u(4), u(7), u(6), u(8), u(9), u(10), u(11), u(12), u(13), u(14), u(15));
    return buf;
}

// The extended date/time of ACE 17: days since 1/1/0001 and the time in
// 100-nanosecond ticks, as digits separated by ':'. Returns false when the
// text is not one, or the date lies outside the engine's range.
bool extendedDate(const std::string& s, double& serial) {
    auto colon = s.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    char* end = nullptr;
    long long days = std::strtoll(s.c_str(), &end, 10);
    if (end != s.c_str() + colon) return false;
    auto rest = s.substr(colon + 1);
    auto colon2 = rest.find(':');
    long long ticks = std::strtoll(rest.substr(0, colon2).c_str(), nullptr, 10);
    // 1/1/0001 is day -693593 of the serial count (12/30/1899 is day 0).
    double day = static_cast<double>(days - 693593);
    double fraction = static_cast<double>(ticks) / 864000000000.0;
    if (day < -657434 || day > 2958465) return false;
    serial = day >= 0 ? day + fraction : day - fraction;
    return true;
}

// Field properties the engine keeps; binary ones and Access's own bookkeeping are left out.
bool carriedProperty(const Property& p) {
    if (p.value.rfind("(binary data", 0) == 0) return false;
    for (const char* n : {"GUID", "NameMap", "ColumnOrder", "DisplayControl", "IMEMode", "IMESentenceMode",
                          "UnicodeCompression", "CurrencyLCID", "TextAlign", "AggregateType", "ResultType"})
        if (equalsNoCase(p.name, n)) return false;
    return true;
}

void storeProperty(sqlite3* db, sqlite3_stmt* st, const std::string& object, const std::string& field, const Property& p) {
    sqlite3_reset(st);
    sqlite3_bind_text(st, 1, object.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, field.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 3, p.name.c_str(), -1, SQLITE_TRANSIENT);
    std::string v = lowerAscii(p.value);
    char* end = nullptr;
    long long n = p.value.empty() ? 0 : std::strtoll(p.value.c_str(), &end, 10);
    if (v == "yes" || v == "no") {
        sqlite3_bind_int(st, 4, v == "yes" ? 1 : 0);
        sqlite3_bind_int(st, 5, static_cast<int>(VarType::Boolean));
    } else if (!p.value.empty() && end && *end == 0 && n >= INT32_MIN && n <= INT32_MAX &&
               !equalsNoCase(p.name, "DefaultValue") && !equalsNoCase(p.name, "Format") &&
               !equalsNoCase(p.name, "Caption") && !equalsNoCase(p.name, "Description")) {
        sqlite3_bind_int64(st, 4, n);
        sqlite3_bind_int(st, 5, static_cast<int>(VarType::Long));
    } else {
        sqlite3_bind_text(st, 4, p.value.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 5, static_cast<int>(VarType::String));
    }
    sqlite3_step(st);
    (void)db;
}

struct Stmt {
    sqlite3_stmt* st = nullptr;
    Stmt(jet::Session& s, const std::string& sql) {
        if (sqlite3_prepare_v2(s.db(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) s.fail(sqlite3_extended_errcode(s.db()));
    }
    ~Stmt() { sqlite3_finalize(st); }
};

class Builder {
public:
    Builder(File& file, jet::Session& s, MirrorReport& report) : f_(file), s_(s), r_(report) {}

    void run() {
        sqlite3* db = s_.db();
        sqlite3_exec(db, "PRAGMA foreign_keys=OFF; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr,
                     nullptr);
        s_.ensureMetadata();
        s_.exec("BEGIN");
        for (const auto& name : f_.tableNames()) {
            try {
                defs_.push_back(f_.table(name));
            } catch (const Error& e) {
                r_.notices.push_back({Notice::DamagedTable, name, e.description()});
            }
        }
        loadLinks();
        relations_ = readRelations(f_);
        for (auto& t : defs_) createTable(t);
        for (auto& t : defs_)
            if (created_.count(t.name)) {
                tick();
                loadRows(t);
            }
        for (auto& t : defs_)
            if (created_.count(t.name)) {
                tick();
                computeColumns(t);
            }
        for (auto& t : defs_)
            if (created_.count(t.name)) {
                tick();
                createIndexes(t);
            }
        storeProperties();
        storeQueries();
        s_.exec("COMMIT");
        sqlite3_exec(db, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr);
    }

private:
    // A linked table reads from its own file: the one named, or a file of
    // that name beside this one (links keep the path of the machine they were made on).
    void loadLinks() {
        for (const auto& link : f_.links()) {
            std::string base = link.database;
            for (auto& c : base)
                if (c == '\\') c = '/';
            fs::path named(base), beside = fs::path(f_.path()).parent_path() / named.filename();
            std::string source = fs::exists(named) ? named.string() : fs::exists(beside) ? beside.string() : "";
            if (source.empty()) {
                r_.notices.push_back({Notice::LinkMissing, link.name, link.database});
                continue;
            }
            try {
                auto other = std::make_unique<File>(source);
                Table t = other->table(link.foreignName.empty() ? link.name : link.foreignName);
                linkSources_[link.name] = {other.get(), t.name};
                t.name = link.name;
                defs_.push_back(std::move(t));
                linked_.push_back(std::move(other));
            } catch (const Error& e) {
                r_.notices.push_back({Notice::LinkMissing, link.name, link.database});
            }
        }
    }

    bool uniqueOn(const Table& t, const std::vector<std::string>& cols) const {
        for (const auto& ix : t.indexes) {
            if (!ix.unique || ix.columns.size() != cols.size()) continue;
            bool same = true;
            for (size_t i = 0; i < cols.size(); ++i) same = same && equalsNoCase(ix.columns[i], cols[i]);
            if (same) return true;
        }
        return false;
    }
    const Table* def(const std::string& name) const {
        for (const auto& t : defs_)
            if (equalsNoCase(t.name, name)) return &t;
        return nullptr;
    }

    void createTable(Table& t) {
        const Index* pk = nullptr;
        for (const auto& ix : t.indexes)
            if (ix.primary) pk = &ix;
        std::string ddl = "CREATE TABLE " + bracket(t.name) + " (";
        bool first = true;
        for (auto& c : t.columns) {
            bool counter = c.autoNumber && c.type == jettype::Long && pk && pk->columns.size() == 1 &&
                           equalsNoCase(pk->columns[0], c.name);
            if (c.type == jettype::Complex) {
                bool attachment = c.property("AppendOnly") == nullptr && t.name.size() >= 0;
                (void)attachment;
                r_.notices.push_back({Notice::Attachment, t.name, c.name});
            }
            const std::string* required = c.property("Required");
            ddl += (first ? "" : ", ") + bracket(c.name) + " " + declaration(c, counter);
            // A Yes/No field is never Null in the file.
            if (((required && equalsNoCase(*required, "yes")) || c.type == jettype::Boolean) && !counter &&
                c.type != jettype::Complex)
                ddl += " NOT NULL";
            first = false;
        }
        if (pk) {
            std::vector<std::string> cols;
            for (const auto& c : pk->columns) cols.push_back(bracket(c));
            ddl += ", CONSTRAINT " + bracket(pk->name) + " PRIMARY KEY (" + join(cols) + ")";
        }
        for (const auto& rel : relations_) {
            if (!equalsNoCase(rel.foreignTable, t.name)) continue;
            const Table* parent = def(rel.table);
            // SQLite checks a key only against a unique set of the other table's columns.
            if (!parent) continue;  // a table left out is told of on its own
            if (!uniqueOn(*parent, rel.fields)) {
                r_.notices.push_back({Notice::DroppedRelation, rel.name, rel.table});
                continue;
            }
            std::vector<std::string> from, to;
            for (const auto& c : rel.foreignFields) from.push_back(bracket(c));
            for (const auto& c : rel.fields) to.push_back(bracket(c));
            ddl += ", CONSTRAINT " + bracket(rel.name) + " FOREIGN KEY (" + join(from) + ") REFERENCES " +
                   bracket(parent->name) + " (" + join(to) + ")";
            if (rel.flags & UpdateCascade) ddl += " ON UPDATE CASCADE";
            if (rel.flags & DeleteCascade) ddl += " ON DELETE CASCADE";
        }
        ddl += ")";
        try {
            s_.execute(ddl);
            created_.insert(t.name);
            ++r_.tables;
        } catch (const Error& e) {
            r_.notices.push_back({Notice::DamagedTable, t.name, e.description()});
        }
    }

    void loadRows(const Table& t) {
        std::string cols, marks;
        for (size_t i = 0; i < t.columns.size(); ++i) {
            cols += (i ? ", " : "") + quoteIdent(t.columns[i].name);
            marks += i ? ", ?" : "?";
        }
        Stmt ins(s_, "INSERT INTO " + quoteIdent(t.name) + " (" + cols + ") VALUES (" + marks + ")");
        sqlite3_stmt* st = ins.st;
        File* source = &f_;
        std::string sourceName = t.name;
        if (auto it = linkSources_.find(t.name); it != linkSources_.end()) {
            source = it->second.first;
            sourceName = it->second.second;
        }
        std::string buffer;
        try {
            source->scan(sourceName, [&](const std::vector<Cell>& row) {
                for (size_t i = 0; i < row.size() && i < t.columns.size(); ++i) bind(st, static_cast<int>(i + 1), t.columns[i], row[i], buffer);
                int rc = sqlite3_step(st);
                sqlite3_reset(st);
                if (rc != SQLITE_DONE) s_.fail(sqlite3_extended_errcode(s_.db()), t.name, 1);
                if ((++r_.rows & 4095) == 0) tick();
            });
        } catch (const Error& e) {
            r_.notices.push_back({Notice::DamagedTable, t.name, e.description()});
        }
    }

    static void bind(sqlite3_stmt* st, int i, const Column& c, const Cell& v, std::string& buffer) {
        switch (v.kind) {
        case Cell::Null: sqlite3_bind_null(st, i); return;
        case Cell::Int:
            if (c.type == jettype::Currency) sqlite3_bind_double(st, i, jet::currencyDouble(v.i));
            else sqlite3_bind_int64(st, i, v.i);
            return;
        case Cell::Real:
            if (c.type == jettype::Single) sqlite3_bind_double(st, i, static_cast<double>(static_cast<float>(v.d)));
            else sqlite3_bind_double(st, i, v.d);
            return;
        case Cell::Date:
            buffer = jet::dateToStorage(v.d);
            sqlite3_bind_text(st, i, buffer.c_str(), static_cast<int>(buffer.size()), SQLITE_TRANSIENT);
            return;
        case Cell::Text:
            if (c.type == jettype::Numeric) {
                sqlite3_bind_double(st, i, std::strtod(v.s.c_str(), nullptr));
            } else if (c.type == jettype::ExtDateTime) {
                double serial;
                if (extendedDate(v.s, serial)) {
                    buffer = jet::dateToStorage(serial);
                    sqlite3_bind_text(st, i, buffer.c_str(), static_cast<int>(buffer.size()), SQLITE_TRANSIENT);
                } else {
                    sqlite3_bind_null(st, i);
                }
            } else {
                sqlite3_bind_text(st, i, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
            }
            return;
        case Cell::Blob:
            if (c.type == jettype::GUID) {
                buffer = guidText(v.s);
                sqlite3_bind_text(st, i, buffer.c_str(), static_cast<int>(buffer.size()), SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_blob(st, i, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
            }
            return;
        }
    }

    // A calculated field's stored value is in a form libmdb does not decode;
    // its expression gives it again. Earlier fields first: later ones may use them.
    void computeColumns(const Table& t) {
        for (const auto& c : t.columns) {
            const std::string* expression = c.property("Expression");
            if (!expression || expression->empty()) continue;
            try {
                // A comparison gives SQLite's 1; a Yes/No field holds True.
                std::string value = c.type == jettype::Boolean ? "IIf(" + *expression + ", True, False)" : *expression;
                s_.execute("UPDATE " + bracket(t.name) + " SET " + bracket(c.name) + " = " + value);
            } catch (const Error& e) {
                s_.exec("UPDATE " + quoteIdent(t.name) + " SET " + quoteIdent(c.name) + " = NULL");
                r_.notices.push_back({Notice::Calculated, t.name, c.name});
            }
        }
    }

    void createIndexes(const Table& t) {
        for (const auto& ix : t.indexes) {
            if (ix.primary) continue;
            bool complex = false;
            for (const auto& c : t.columns)
                for (const auto& ic : ix.columns)
                    complex = complex || (c.type == jettype::Complex && equalsNoCase(c.name, ic));
            if (complex) continue;  // its values are not carried over
            std::string name = ix.name;
            if (s_.scalar("SELECT count(*) FROM sqlite_master WHERE name = ? COLLATE NOCASE", {Variant(name)}).toLongLong() > 0)
                name = t.name + "_" + ix.name;
            std::vector<std::string> cols;
            for (size_t i = 0; i < ix.columns.size(); ++i)
                cols.push_back(bracket(ix.columns[i]) + (ix.descending[i] ? " DESC" : ""));
            std::string ddl = std::string("CREATE ") + (ix.unique ? "UNIQUE " : "") + "INDEX " + bracket(name) + " ON " +
                              bracket(t.name) + " (" + join(cols) + ")";
            if (ix.required) ddl += " WITH DISALLOW NULL";
            else if (ix.ignoreNulls) ddl += " WITH IGNORE NULL";
            try {
                s_.execute(ddl);
            } catch (const Error& e) {
                r_.notices.push_back({Notice::DamagedTable, t.name, e.description()});
            }
        }
    }

    void storeProperties() {
        Stmt st(s_, std::string("INSERT OR REPLACE INTO ") + jet::PropertiesTable +
                        " (object, field, name, value, kind) VALUES (?, ?, ?, ?, ?)");
        for (const auto& t : defs_) {
            if (!created_.count(t.name)) continue;
            for (const auto& p : t.properties)
                if (equalsNoCase(p.name, "Description")) storeProperty(s_.db(), st.st, t.name, "", p);
            for (const auto& c : t.columns)
                for (const auto& p : c.properties)
                    if (carriedProperty(p)) storeProperty(s_.db(), st.st, t.name, c.name, p);
        }
    }

    void storeQueries() {
        // Names and kinds of the objects, by id.
        std::map<long long, std::string> names;
        for (auto& row : f_.rows("MSysObjects")) {
            long long id = 0, type = 0;
            std::string name;
            for (auto& [k, v] : row) {
                if (k == "Id") id = v.i;
                else if (k == "Type") type = v.i;
                else if (k == "Name") name = v.s;
            }
            if (type == 5) names[id] = name;
        }
        std::map<long long, std::vector<QueryRow>> byQuery;
        for (auto& row : f_.rows("MSysQueries")) {
            QueryRow q;
            long long id = 0;
            for (auto& [k, v] : row) {
                if (k == "ObjectId") id = v.i;
                else if (k == "Attribute") q.attribute = static_cast<int>(v.i);
                else if (k == "Name1") q.name1 = v.s;
                else if (k == "Name2") q.name2 = v.s;
                else if (k == "Expression") q.expression = v.s;
                else if (k == "Flag") q.flag = static_cast<int>(v.i);
                else if (k == "Order") q.order = v.s;
            }
            byQuery[id].push_back(std::move(q));
        }
        Stmt st(s_, std::string("INSERT OR REPLACE INTO ") + jet::QueriesTable + " (name, type, sql) VALUES (?, ?, ?)");
        for (auto& [id, rows] : byQuery) {
            auto n = names.find(id);
            if (n == names.end()) continue;
            try {
                RebuiltQuery q = rebuildQuery(n->second, rows);
                sqlite3_reset(st.st);
                sqlite3_bind_text(st.st, 1, n->second.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(st.st, 2, q.type);
                sqlite3_bind_text(st.st, 3, q.sql.c_str(), -1, SQLITE_TRANSIENT);
                if (sqlite3_step(st.st) != SQLITE_DONE) s_.fail(sqlite3_extended_errcode(s_.db()));
                ++r_.queries;
            } catch (const Error& e) {
                r_.notices.push_back({Notice::DamagedQuery, n->second, e.description()});
            }
        }
    }

    static std::string join(const std::vector<std::string>& v) {
        std::string r;
        for (size_t i = 0; i < v.size(); ++i) r += (i ? ", " : "") + v[i];
        return r;
    }

    File& f_;
    jet::Session& s_;
    MirrorReport& r_;
    std::vector<Table> defs_;
    std::vector<Relation> relations_;
    std::set<std::string> created_;
    std::vector<std::unique_ptr<File>> linked_;
    std::map<std::string, std::pair<File*, std::string>> linkSources_;
};

struct CacheEntry {
    std::string mirror;
    long long size = 0, mtime = 0;
    std::vector<Notice> notices;
};

// Mirrors made by this process; their files go when it ends.
struct Cache {
    std::mutex lock;
    std::map<std::string, CacheEntry> entries;
    long counter = 0;
    ~Cache() {
        for (auto& [k, e] : entries) ::unlink(e.mirror.c_str());
    }
};
Cache& cache() {
    static Cache c;
    return c;
}

// The build itself does not wait for the disk; a copy the person keeps is synced once, whole.
void syncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A new, empty database file made without the waits for the disk that the
// engine's own create makes: the file is complete only when renamed at the end.
std::shared_ptr<jet::Session> createUnsynced(const std::string& path) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(raw, "PRAGMA synchronous=OFF; PRAGMA journal_mode=OFF; CREATE TABLE dv_sys_created (at TEXT); DROP TABLE dv_sys_created",
                          nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    if (rc != SQLITE_OK) raise(3044, "'" + path + "' cannot be written.", "DAO.Workspace");
    return jet::Session::open(path, false, std::string(), jet::Logon{});
}

}  // namespace

namespace {

std::atomic<long> stallLimitMs{20000};

void putNumber(std::string& b, long long n) { b += std::to_string(n) + "\n"; }
void putText(std::string& b, const std::string& s) {
    putNumber(b, static_cast<long long>(s.size()));
    b += s;
}
struct Reader {
    const std::string& b;
    size_t at = 0;
    long long number() {
        size_t end = b.find('\n', at);
        if (end == std::string::npos) throw std::runtime_error("short");
        long long n = std::stoll(b.substr(at, end - at));
        at = end + 1;
        return n;
    }
    std::string text() {
        auto n = static_cast<size_t>(number());
        if (at + n > b.size()) throw std::runtime_error("short");
        std::string s = b.substr(at, n);
        at += n;
        return s;
    }
};

void writeAll(int fd, const std::string& b) {
    size_t done = 0;
    while (done < b.size()) {
        ssize_t n = ::write(fd, b.data() + done, b.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

MirrorReport writeDirect(const std::string& accessPath, const std::string& out, bool durable);

[[noreturn]] void raiseDamaged(const std::string& accessPath, const std::string& why) {
    raise(DamagedFile, "The file '" + accessPath + "' is damaged: " + why + ".", "DAO.Database");
}

}  // namespace

void setStallLimit(std::chrono::milliseconds limit) { stallLimitMs = static_cast<long>(limit.count()); }

// A damaged file can make libmdb loop or crash; it is read in a child process
// that can be stopped, so the program itself goes on.
MirrorReport writeEngineDatabase(const std::string& accessPath, const std::string& out, bool durable) {
    int fd[2];
    if (::pipe2(fd, O_CLOEXEC) != 0) return writeDirect(accessPath, out, durable);
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fd[0]);
        ::close(fd[1]);
        return writeDirect(accessPath, out, durable);
    }
    if (pid == 0) {
        // No Qt, no exit handlers: only the reader, SQLite and this pipe.
        ::close(fd[0]);
        progressFd = fd[1];
        std::string b;
        int code = 0;
        try {
            MirrorReport r = writeDirect(accessPath, out, durable);
            b = "R";
            putNumber(b, r.tables);
            putNumber(b, r.rows);
            putNumber(b, r.queries);
            putNumber(b, static_cast<long long>(r.notices.size()));
            for (const auto& n : r.notices) {
                putNumber(b, n.kind);
                putText(b, n.object);
                putText(b, n.detail);
            }
        } catch (const Error& e) {
            b = "E";
            putNumber(b, e.number());
            putText(b, e.description());
            putText(b, e.source());
            code = 1;
        } catch (const std::exception& e) {
            b = "E";
            putNumber(b, 3049);
            putText(b, std::string("The file '") + accessPath + "' cannot be read: " + e.what() + ".");
            putText(b, "DAO.Database");
            code = 1;
        }
        writeAll(fd[1], b);
        ::_exit(code);
    }
    ::close(fd[1]);
    std::string b;
    bool stalled = false;
    const long limit = stallLimitMs.load();
    auto last = std::chrono::steady_clock::now();
    for (;;) {
        long left = limit - static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                   std::chrono::steady_clock::now() - last)
                                                   .count());
        if (left <= 0) {
            stalled = true;
            break;
        }
        pollfd p{fd[0], POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) continue;
        char buf[4096];
        ssize_t n = ::read(fd[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        b.append(buf, static_cast<size_t>(n));
        last = std::chrono::steady_clock::now();
    }
    ::close(fd[0]);
    if (stalled) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    size_t start = b.find_first_not_of('.');
    bool answered = start != std::string::npos && WIFEXITED(status);
    if (!answered) {
        // What the child left half-written is removed here; it could not do it itself.
        std::error_code ec;
        fs::remove(out + ".part", ec);
        fs::remove(out + ".part-journal", ec);
        if (!stalled && WIFEXITED(status) && WEXITSTATUS(status) == 0) fs::remove(out, ec);
        if (stalled)
            raiseDamaged(accessPath, "reading it did not finish within " + std::to_string(limit / 1000) + " seconds");
        raiseDamaged(accessPath, WIFSIGNALED(status) ? "the reader broke off on it (signal " +
                                                           std::to_string(WTERMSIG(status)) + ")"
                                                     : "the reader stopped without an answer");
    }
    std::string body = b.substr(start + 1);
    Reader rd{body};
    if (b[start] == 'E') {
        long number = 0;
        std::string description, source;
        try {
            number = static_cast<long>(rd.number());
            description = rd.text();
            source = rd.text();
        } catch (const std::exception&) {
            raiseDamaged(accessPath, "the reader stopped without an answer");
        }
        throw Error(number, description, source);
    }
    MirrorReport report;
    try {
        report.tables = static_cast<long>(rd.number());
        report.rows = static_cast<long>(rd.number());
        report.queries = static_cast<long>(rd.number());
        auto count = rd.number();
        for (long long i = 0; i < count; ++i) {
            Notice n;
            n.kind = static_cast<Notice::Kind>(rd.number());
            n.object = rd.text();
            n.detail = rd.text();
            report.notices.push_back(std::move(n));
        }
    } catch (const std::exception&) {
        std::error_code ec;
        fs::remove(out, ec);
        raiseDamaged(accessPath, "the reader stopped without an answer");
    }
    return report;
}

namespace {
MirrorReport writeDirect(const std::string& accessPath, const std::string& out, bool durable) {
    File file(accessPath);
    std::error_code ec;
    if (fs::exists(out, ec)) raise(3204, "Database already exists.", "DAO.Workspace");
    std::string part = out + ".part";
    fs::remove(part, ec);
    MirrorReport report;
    try {
        auto s = createUnsynced(part);
        Builder(file, *s, report).run();
        s.reset();
        if (durable) syncFile(part);
        fs::rename(part, out, ec);
        if (durable && !ec) syncFile(fs::absolute(out).parent_path().string());
        if (ec) raise(3044, "'" + out + "' cannot be written: " + ec.message() + ".", "DAO.Workspace");
    } catch (...) {
        fs::remove(part, ec);
        throw;
    }
    return report;
}
}  // namespace

// One entry per file, however its path is written.
static std::string cacheKey(const std::string& accessPath) {
    std::error_code ec;
    std::string key = fs::weakly_canonical(accessPath, ec).string();
    return ec ? accessPath : key;
}

static const std::string MirrorPrefix = "dalvera-access-";

void removeStaleMirrors() {
    std::error_code ec;
    const fs::path folder = fs::temp_directory_path(ec);
    if (ec) return;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code kind;
        if (name.rfind(MirrorPrefix, 0) != 0 || !it->is_regular_file(kind)) continue;
        char* stop = nullptr;
        long pid = std::strtol(name.c_str() + MirrorPrefix.size(), &stop, 10);
        if (pid <= 0 || *stop != '-' || pid == ::getpid()) continue;
        // Only a process that no longer runs loses its mirrors; one we may not signal still runs.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        std::error_code gone;
        fs::remove(it->path(), gone);
    }
}

std::string mirrorFor(const std::string& accessPath) {
    static std::once_flag swept;
    std::call_once(swept, removeStaleMirrors);
    struct stat st {};
    if (::stat(accessPath.c_str(), &st) != 0) raise(3024, "Could not find file '" + accessPath + "'.", "DAO.Database");
    const std::string key = cacheKey(accessPath);
    Cache& c = cache();
    std::lock_guard<std::mutex> guard(c.lock);
    auto it = c.entries.find(key);
    if (it != c.entries.end() && it->second.size == st.st_size && it->second.mtime == st.st_mtime &&
        fs::exists(it->second.mirror))
        return it->second.mirror;
    if (it != c.entries.end()) {
        ::unlink(it->second.mirror.c_str());
        c.entries.erase(it);
    }
    std::string mirror = (fs::temp_directory_path() / (MirrorPrefix + std::to_string(::getpid()) + "-" +
                                                       std::to_string(++c.counter) + ".db"))
                             .string();
    MirrorReport report = writeEngineDatabase(accessPath, mirror, false);
    c.entries[key] = {mirror, static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtime), report.notices};
    return mirror;
}

std::vector<Notice> mirrorNotices(const std::string& accessPath) {
    const std::string key = cacheKey(accessPath);
    Cache& c = cache();
    std::lock_guard<std::mutex> guard(c.lock);
    auto it = c.entries.find(key);
    return it == c.entries.end() ? std::vector<Notice>{} : it->second.notices;
}

}  // namespace dalvera::access
