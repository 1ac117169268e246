// Table changes SQLite cannot make in place: a column's type, a primary or
// foreign key added or dropped, an index that refuses Nulls. The table is
// rebuilt under its own name inside a transaction: a copy with the new
// definition takes every row (through the checks of the column's new type),
// the old table goes, and its indexes and triggers come back. Field
// properties are kept by table and field name, so they stay; relations refer
// to the table by name, so they stay too. The foreign keys of the table and of
// the tables that refer to it are checked before the transaction commits.
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <set>

#include "host/Dao.h"
#include "platform/jet/Session.h"
#include "platform/jet/Types.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace {

const char* const Source = "DAO.Database";
using Kind = TableChange::Kind;

std::string quoteIdent(const std::string& s) { return "\"" + replaceAll(s, "\"", "\"\"") + "\""; }
std::string quoteText(const std::string& s) { return "'" + replaceAll(s, "'", "''") + "'"; }

// Rows of a query, read as texts.
class Rows {
public:
    Rows(Session& s, const std::string& sql, const std::vector<std::string>& args = {}) : session_(s) {
        if (sqlite3_prepare_v2(s.db(), sql.c_str(), -1, &st_, nullptr) != SQLITE_OK) s.fail(sqlite3_extended_errcode(s.db()));
        for (size_t i = 0; i < args.size(); ++i)
            sqlite3_bind_text(st_, static_cast<int>(i + 1), args[i].c_str(), -1, SQLITE_TRANSIENT);
    }
    ~Rows() { sqlite3_finalize(st_); }
    Rows(const Rows&) = delete;
    Rows& operator=(const Rows&) = delete;
    bool next() {
        int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) session_.fail(sqlite3_extended_errcode(session_.db()));
        return false;
    }
    std::string text(int i) const {
        auto t = sqlite3_column_text(st_, i);
        return t ? reinterpret_cast<const char*>(t) : "";
    }
    bool isNull(int i) const { return sqlite3_column_type(st_, i) == SQLITE_NULL; }
    long long integer(int i) const { return sqlite3_column_int64(st_, i); }

private:
    Session& session_;
    sqlite3_stmt* st_ = nullptr;
};

// ---- the CREATE TABLE text, token by token ----

struct SqlToken {
    std::string text;  // names unquoted
    size_t begin = 0, end = 0;
    bool word = false;  // a bare word (keywords are bare)
    bool name = false;  // a quoted name
};

std::vector<SqlToken> scan(const std::string& s) {
    std::vector<SqlToken> out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            while (i < s.size() && s[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            size_t e = s.find("*/", i + 2);
            i = e == std::string::npos ? s.size() : e + 2;
        } else if (c == '"' || c == '[' || c == '`' || c == '\'') {
            char close = c == '[' ? ']' : static_cast<char>(c);
            SqlToken t;
            t.begin = i;
            size_t j = i + 1;
            for (; j < s.size(); ++j) {
                if (s[j] == close) {
                    if (close != ']' && j + 1 < s.size() && s[j + 1] == close) {
                        t.text += close;
                        ++j;
                        continue;
                    }
                    break;
                }
                t.text += s[j];
            }
            t.end = std::min(j + 1, s.size());
            t.name = c != '\'';
            if (!t.name) t.text = s.substr(t.begin, t.end - t.begin);
            out.push_back(t);
            i = t.end;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            // A number is one token: 1.5, 2e-3.
            SqlToken t;
            t.begin = i;
            while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '.' ||
                                    ((s[i] == '+' || s[i] == '-') && (s[i - 1] == 'e' || s[i - 1] == 'E'))))
                ++i;
            t.end = i;
            t.text = s.substr(t.begin, t.end - t.begin);
            t.word = true;
            out.push_back(t);
        } else if (std::isalnum(c) || c == '_' || c >= 0x80) {
            SqlToken t;
            t.begin = i;
            while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_' || s[i] == '$' ||
                                    static_cast<unsigned char>(s[i]) >= 0x80))
                ++i;
            t.end = i;
            t.text = s.substr(t.begin, t.end - t.begin);
            t.word = true;
            out.push_back(t);
        } else {
            out.push_back({std::string(1, static_cast<char>(c)), i, i + 1, false, false});
            ++i;
        }
    }
    return out;
}

bool kw(const SqlToken& t, const char* w) { return t.word && equalsNoCase(t.text, w); }
bool punct(const SqlToken& t, const char* p) { return !t.word && !t.name && t.text == p; }

// The index after the group that opens at toks[i] ('(').
size_t skipGroup(const std::vector<SqlToken>& toks, size_t i) {
    int depth = 0;
    for (; i < toks.size(); ++i) {
        if (punct(toks[i], "(")) ++depth;
        if (punct(toks[i], ")") && --depth == 0) return i + 1;
    }
    return toks.size();
}

// One definition of the column list: a column or a table constraint.
struct Item {
    std::string text;
    std::vector<SqlToken> toks;  // offsets into text
    bool constraint = false;
    std::string constraintName;
};

struct TableText {
    std::string tail;  // after the column list: WITHOUT ROWID, STRICT
    std::vector<Item> items;
};

TableText parseTable(const std::string& sql) {
    auto toks = scan(sql);
    size_t open = 0;
    while (open < toks.size() && !punct(toks[open], "(")) ++open;
    size_t close = skipGroup(toks, open);
    if (open >= toks.size() || close > toks.size() || close == 0)
        raise(3000, "The database engine could not read the definition of the table.", Source);
    TableText t;
    t.tail = sql.substr(toks[close - 1].end);
    size_t start = toks[open].end;
    int depth = 0;
    auto add = [&](size_t end) {
        Item it;
        it.text = trimBlanks(sql.substr(start, end - start));
        it.toks = scan(it.text);
        if (!it.toks.empty()) {
            const SqlToken& f = it.toks[0];
            it.constraint = kw(f, "CONSTRAINT") || kw(f, "PRIMARY") || kw(f, "UNIQUE") || kw(f, "CHECK") || kw(f, "FOREIGN");
            if (kw(f, "CONSTRAINT") && it.toks.size() > 1) it.constraintName = it.toks[1].text;
            t.items.push_back(std::move(it));
        }
    };
    for (size_t i = open + 1; i + 1 < close; ++i) {
        if (punct(toks[i], "(")) ++depth;
        if (punct(toks[i], ")")) --depth;
        if (depth == 0 && punct(toks[i], ",")) {
            add(toks[i].begin);
            start = toks[i].end;
        }
    }
    add(toks[close - 1].begin);
    return t;
}

bool startsColumnConstraint(const SqlToken& t) {
    for (const char* w : {"CONSTRAINT", "PRIMARY", "NOT", "NULL", "UNIQUE", "CHECK", "DEFAULT", "COLLATE", "REFERENCES",
                          "GENERATED", "AS"})
        if (kw(t, w)) return true;
    return false;
}

// Where a column's constraints start: after its name, type words and size.
size_t typeEnd(const Item& it) {
    size_t i = 1;
    while (i < it.toks.size() && it.toks[i].word && !startsColumnConstraint(it.toks[i])) ++i;
    if (i < it.toks.size() && punct(it.toks[i], "(")) i = skipGroup(it.toks, i);
    return i;
}

// The end (token index) of the column constraint whose keyword is at toks[i].
size_t constraintEnd(const std::vector<SqlToken>& toks, size_t i) {
    if (kw(toks[i], "REFERENCES")) {
        i += 2;
        if (i < toks.size() && punct(toks[i], "(")) i = skipGroup(toks, i);
        for (;;) {
            if (i + 1 < toks.size() && kw(toks[i], "ON") && (kw(toks[i + 1], "DELETE") || kw(toks[i + 1], "UPDATE"))) {
                i += 2;
                if (i < toks.size() && (kw(toks[i], "SET") || kw(toks[i], "NO"))) ++i;
                ++i;
            } else if (i < toks.size() && kw(toks[i], "MATCH")) {
                i += 2;
            } else if (i < toks.size() && (kw(toks[i], "NOT") || kw(toks[i], "DEFERRABLE")) &&
                       (kw(toks[i], "DEFERRABLE") || (i + 1 < toks.size() && kw(toks[i + 1], "DEFERRABLE")))) {
                i += kw(toks[i], "NOT") ? 2 : 1;
                if (i < toks.size() && kw(toks[i], "INITIALLY")) i += 2;
            } else {
                return std::min(i, toks.size());
            }
        }
    }
    ++i;
    while (i < toks.size() && !startsColumnConstraint(toks[i])) i = punct(toks[i], "(") ? skipGroup(toks, i) : i + 1;
    return i;
}

struct Span {
    size_t begin, end;  // token indexes, end exclusive
};

std::string withoutSpans(const Item& it, size_t from, std::vector<Span> spans) {
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    std::string out;
    size_t pos = from < it.toks.size() ? it.toks[from].begin : it.text.size();
    for (const Span& s : spans) {
        if (s.begin >= it.toks.size()) continue;
        out += it.text.substr(pos, it.toks[s.begin].begin - pos);
        pos = s.end < it.toks.size() ? it.toks[s.end].begin : it.text.size();
    }
    out += it.text.substr(std::min(pos, it.text.size()));
    return trimBlanks(out);
}

std::string columnName(const Item& it) { return it.toks.empty() ? std::string() : it.toks[0].text; }

// ---- the change itself ----

[[noreturn]] void notFound() { raise(3371, "Cannot find table or constraint.", Source); }

struct ForeignRef {
    std::string child;
    std::vector<std::string> to;  // empty: the parent's primary key
};

}  // namespace

ExecResult Session::changeTable(const Translation& t) {
    if (readOnly_) fail(SQLITE_READONLY, t.table);
    const TableChange& change = t.change;
    const bool outer = sqlite3_get_autocommit(db_) != 0;

    // The table (as the file spells it) and its definition.
    std::string table, createSql;
    auto findTable = [&](const std::string& name) {
        Rows q(*this, "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE", {name});
        if (!q.next()) return false;
        table = q.text(0);
        createSql = q.text(1);
        return true;
    };
    // DROP INDEX / DROP CONSTRAINT of an index: no rebuild.
    std::string indexTable;
    if (change.kind == Kind::DropConstraint) {
        Rows q(*this, "SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL AND name = ? "
                      "COLLATE NOCASE",
               {change.name});
        if (q.next() && (t.table.empty() || equalsNoCase(q.text(1), t.table))) indexTable = q.text(1);
    }
    if (!findTable(indexTable.empty() ? t.table : indexTable)) {
        if (t.table.empty()) notFound();
        raise(3376, "Table '" + t.table + "' doesn't exist.", Source);
    }
    if (isSystemTable(table)) raise(3000, "The engine's own table '" + table + "' cannot be changed.", Source);

    // Tables whose foreign keys point at this one.
    std::vector<ForeignRef> children;
    {
        std::vector<std::string> all;
        Rows q(*this, "SELECT name FROM sqlite_master WHERE type = 'table'");
        while (q.next()) all.push_back(q.text(0));
        for (const auto& other : all) {
            Rows f(*this, "SELECT id, \"table\", \"to\" FROM pragma_foreign_key_list(?) ORDER BY id, seq", {other});
            long long id = -1;
            while (f.next()) {
                if (!equalsNoCase(f.text(1), table)) continue;
                if (f.integer(0) != id) children.push_back({other, {}});
                id = f.integer(0);
                if (!f.isNull(2)) children.back().to.push_back(f.text(2));
            }
        }
    }
    std::vector<std::string> primaryColumns;
    {
        std::vector<std::pair<long long, std::string>> pk;
        Rows q(*this, "SELECT pk, name FROM pragma_table_info(?) WHERE pk > 0", {table});
        while (q.next()) pk.emplace_back(q.integer(0), q.text(1));
        std::sort(pk.begin(), pk.end());
        for (auto& [n, c] : pk) primaryColumns.push_back(c);
    }
    // A key that a relation uses cannot go.
    auto refuseIfReferenced = [&](const std::vector<std::string>& key) {
        auto same = [](std::vector<std::string> a, std::vector<std::string> b) {
            for (auto& s : a) s = lowerAscii(s);
            for (auto& s : b) s = lowerAscii(s);
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            return a == b;
        };
        for (const auto& c : children)
            if (same(c.to.empty() ? primaryColumns : c.to, key))
                raise(3281,
                      "Cannot delete this index or table. It is either the current index or it is used in a "
                      "relationship (with table '" + c.child + "').",
                      Source);
    };
    auto nullRows = [&](const std::vector<std::string>& columns) {
        std::string where;
        for (const auto& c : columns) where += (where.empty() ? "" : " OR ") + quoteIdent(c) + " IS NULL";
        return scalar("SELECT count(*) FROM " + quoteIdent(table) + " WHERE " + where).toLongLong();
    };

    // The fields a key or an index names must be the table's.
    {
        std::vector<std::string> fields;
        Rows q(*this, "SELECT name FROM pragma_table_info(?)", {table});
        while (q.next()) fields.push_back(q.text(0));
        for (const auto& c : change.columns)
            if (std::none_of(fields.begin(), fields.end(), [&](const std::string& f) { return equalsNoCase(f, c); }))
                raise(3265, "Item not found in this collection. The table '" + table + "' has no field '" + c + "'.",
                      Source);
    }
    // What the definition becomes; an index-only change leaves it alone.
    TableText def = parseTable(createSql);
    bool rebuild = true;
    std::vector<std::string> statements;  // run instead of (or after) the rebuild, in the transaction
    switch (change.kind) {
    case Kind::AlterColumn: {
        auto it = std::find_if(def.items.begin(), def.items.end(),
                               [&](const Item& i) { return !i.constraint && equalsNoCase(columnName(i), change.name); });
        if (it == def.items.end()) raise(3265, "Item not found in this collection. The table '" + table + "' has no field '" + change.name + "'.", Source);
        const size_t from = typeEnd(*it);
        std::vector<Span> drop;
        bool hasCollate = false, hasNotNull = false;
        for (size_t i = from; i < it->toks.size();) {
            const SqlToken& k = it->toks[i];
            if (kw(k, "COLLATE")) {
                hasCollate = change.textColumn;
                if (!change.textColumn) drop.push_back({i, i + 2});
                i += 2;
            } else if (kw(k, "AUTOINCREMENT")) {
                drop.push_back({i, i + 1});
                ++i;
            } else if (kw(k, "DEFAULT")) {
                size_t e = i + 1;
                if (e < it->toks.size() && punct(it->toks[e], "(")) e = skipGroup(it->toks, e);
                else if (e < it->toks.size() && (punct(it->toks[e], "-") || punct(it->toks[e], "+"))) e += 2;
                else if (e + 1 < it->toks.size() && kw(it->toks[e], "X") && it->toks[e + 1].begin == it->toks[e].end) e += 2;
                else ++e;
                if (!change.defaultValue.empty()) drop.push_back({i, e});
                i = e;
            } else {
                if (kw(k, "NOT") && i + 1 < it->toks.size() && kw(it->toks[i + 1], "NULL")) hasNotNull = true;
                ++i;
            }
        }
        std::string rest = withoutSpans(*it, from, drop);
        std::string text = quoteIdent(columnName(*it)) + " " + change.type + (rest.empty() ? "" : " " + rest);
        if (change.notNull && !hasNotNull) text += " NOT NULL";
        text += change.defaultValue;
        if (change.textColumn && !hasCollate) text += " COLLATE NOCASE";
        it->text = text;
        break;
    }
    case Kind::AddPrimaryKey: {
        bool has = !primaryColumns.empty();
        for (const auto& i : def.items)
            for (const auto& k : i.toks) has = has || kw(k, "PRIMARY");
        if (has) raise(3283, "Primary key already exists in table '" + table + "'.", Source);
        if (nullRows(change.columns) > 0) raise(3058, "Index or primary key cannot contain a Null value.", Source);
        def.items.push_back({change.definition, scan(change.definition), true, change.name});
        break;
    }
    case Kind::AddForeignKey: {
        Rows q(*this, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
               {change.referencedTable});
        if (!q.next() || q.integer(0) == 0)
            raise(3078,
                  "The database engine cannot find the input table or query '" + change.referencedTable +
                      "'. Make sure it exists and that its name is spelled correctly.",
                  Source);
        for (const auto& i : def.items)
            if (equalsNoCase(i.constraintName, change.name))
                raise(3012, "Object '" + change.name + "' already exists.", Source);
        def.items.push_back({change.definition, scan(change.definition), true, change.name});
        break;
    }
    case Kind::RequiredIndex: {
        if (nullRows(change.columns) > 0) raise(3058, "Index or primary key cannot contain a Null value.", Source);
        rebuild = false;
        // Refused Nulls are a trigger's work: SQLite cannot add NOT NULL to a column in place.
        std::string check, cols;
        for (const auto& c : change.columns) {
            check += (check.empty() ? "" : " OR ") + std::string("NEW.") + quoteIdent(c) + " IS NULL";
            cols += (cols.empty() ? "" : ", ") + quoteIdent(c);
        }
        std::string body = " BEGIN SELECT RAISE(ABORT, " + quoteText("nulls:" + change.name) + ") WHERE " + check + "; END";
        statements = {change.definition,
                      "CREATE TRIGGER " + quoteIdent("dv_sys_nonull_" + change.name + "_ins") + " BEFORE INSERT ON " +
                          quoteIdent(table) + body,
                      "CREATE TRIGGER " + quoteIdent("dv_sys_nonull_" + change.name + "_upd") + " BEFORE UPDATE OF " +
                          cols + " ON " + quoteIdent(table) + body};
        break;
    }
    case Kind::DropConstraint: {
        if (!indexTable.empty()) {
            std::vector<std::string> key;
            Rows u(*this, "SELECT \"unique\" FROM pragma_index_list(?) WHERE name = ? COLLATE NOCASE", {table, change.name});
            bool unique = u.next() && u.integer(0) != 0;
            Rows q(*this, "SELECT name FROM pragma_index_info(?) ORDER BY seqno", {change.name});
            while (q.next()) key.push_back(q.text(0));
            if (unique) refuseIfReferenced(key);
            rebuild = false;
            statements = {"DROP INDEX " + quoteIdent(change.name),
                          "DROP TRIGGER IF EXISTS " + quoteIdent("dv_sys_nonull_" + change.name + "_ins"),
                          "DROP TRIGGER IF EXISTS " + quoteIdent("dv_sys_nonull_" + change.name + "_upd")};
            break;
        }
        bool found = false;
        for (size_t n = 0; n < def.items.size() && !found; ++n) {
            Item& it = def.items[n];
            const auto& k = it.toks;
            // What the constraint is, and for keys their columns.
            auto keyOf = [&](size_t at) {
                std::vector<std::string> cols;
                size_t g = at;
                while (g < k.size() && !punct(k[g], "(")) ++g;
                for (size_t i = g + 1; i < k.size() && !punct(k[i], ")"); ++i)
                    if (k[i].word || k[i].name) {
                        if (!kw(k[i], "ASC") && !kw(k[i], "DESC")) cols.push_back(k[i].text);
                    }
                return cols;
            };
            if (it.constraint) {
                size_t body = kw(k[0], "CONSTRAINT") ? 2 : 0;
                bool named = body == 2 && equalsNoCase(it.constraintName, change.name);
                bool unnamedPrimary = body == 0 && kw(k[0], "PRIMARY") && equalsNoCase(change.name, "PrimaryKey");
                bool unnamedForeign = false;
                if (body == 0 && kw(k[0], "FOREIGN"))
                    for (size_t i = 0; i + 1 < k.size(); ++i)
                        if (kw(k[i], "REFERENCES") && equalsNoCase(k[i + 1].text + table, change.name)) unnamedForeign = true;
                if (!named && !unnamedPrimary && !unnamedForeign) continue;
                if (body < k.size() && kw(k[body], "PRIMARY")) refuseIfReferenced(primaryColumns);
                if (body < k.size() && kw(k[body], "UNIQUE")) refuseIfReferenced(keyOf(body));
                def.items.erase(def.items.begin() + static_cast<long>(n));
                found = true;
                break;
            }
            // A constraint written with its column.
            for (size_t i = typeEnd(it); i < k.size(); ++i) {
                size_t start = i, body = i;
                bool match = false;
                if (kw(k[i], "CONSTRAINT") && i + 2 < k.size()) {
                    body = i + 2;
                    match = equalsNoCase(k[i + 1].text, change.name);
                } else if (kw(k[i], "PRIMARY")) {
                    match = equalsNoCase(change.name, "PrimaryKey");
                } else if (kw(k[i], "REFERENCES") && i + 1 < k.size()) {
                    match = equalsNoCase(k[i + 1].text + table, change.name);
                } else {
                    continue;
                }
                size_t end = constraintEnd(k, body);
                if (!match) {
                    i = end - 1;
                    continue;
                }
                if (kw(k[body], "PRIMARY")) refuseIfReferenced(primaryColumns);
                if (kw(k[body], "UNIQUE")) refuseIfReferenced({columnName(it)});
                for (size_t a = body; a < end; ++a)
                    if (kw(k[a], "AUTOINCREMENT"))
                        raise(3293,
                              "Syntax error in ALTER TABLE statement: the primary key of the COUNTER field '" +
                                  columnName(it) + "' cannot be dropped; change the field to LONG first.",
                              Source);
                it.text = quoteIdent(columnName(it)) + " " +
                          withoutSpans(it, 1, {{start, end}});
                found = true;
                break;
            }
        }
        if (!found) notFound();
        break;
    }
    case Kind::None: return {};
    }

    // Outside a transaction the foreign keys are off while the old table goes, so that
    // its DROP deletes nothing in the tables that refer to it. Inside one they cannot be
    // turned off; then only a table nobody refers to can be rebuilt.
    const bool foreignKeys = scalar("PRAGMA foreign_keys").toLongLong() != 0;
    if (rebuild && !outer && foreignKeys && !children.empty())
        raise(3246,
              "Operation not supported in transactions. The table '" + table + "' is referred to by table '" +
                  children.front().child + "'; change it outside the transaction.",
              Source);
    const bool legacy = scalar("PRAGMA legacy_alter_table").toLongLong() != 0;
    if (rebuild && outer && foreignKeys) exec("PRAGMA foreign_keys = OFF");
    auto restore = [&] {
        if (rebuild && outer && foreignKeys) sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
        if (!legacy) sqlite3_exec(db_, "PRAGMA legacy_alter_table = OFF", nullptr, nullptr, nullptr);
    };
    try {
        exec(outer ? "BEGIN IMMEDIATE" : "SAVEPOINT dv_sys_change");
    } catch (...) {
        restore();
        throw;
    }
    try {
        // Foreign key faults of the table and of those referring to it, to compare after.
        auto faults = [&] {
            long long n = 0;
            std::set<std::string> seen;
            std::vector<std::string> check = {table};
            for (const auto& c : children) check.push_back(c.child);
            for (const auto& c : check)
                if (seen.insert(lowerAscii(c)).second)
                    n += scalar("SELECT count(*) FROM pragma_foreign_key_check(" + quoteText(c) + ")").toLongLong();
            return n;
        };
        const long long faultsBefore = rebuild ? faults() : 0;
        if (rebuild) {
            exec("PRAGMA legacy_alter_table = ON");
            // The columns that hold data (not generated ones), and what each is copied as.
            std::vector<std::string> columns, values;
            {
                Rows q(*this, "SELECT name, hidden FROM pragma_table_xinfo(?)", {table});
                while (q.next())
                    if (q.integer(1) == 0) columns.push_back(q.text(0));
            }
            for (const auto& c : columns) {
                std::string v = quoteIdent(c);
                if (change.kind == Kind::AlterColumn && equalsNoCase(c, change.name)) {
                    ColumnType type = typeFromDeclaration(change.type);
                    StoreKind k = storeKindOf(change.type);
                    // A shorter text keeps its rows only if they fit; nothing is cut.
                    if (type.dao == host::dao::type::Text && type.daoSize > 0 &&
                        scalar("SELECT count(*) FROM " + quoteIdent(table) + " WHERE length(" + v + ") > " +
                               std::to_string(type.daoSize))
                                .toLongLong() > 0)
                        raise(3163,
                              "The field '" + table + "." + c + "' is too small to accept the amount of data you "
                              "attempted to add. Try inserting or pasting less data.",
                              Source);
                    if (k != StoreKind::Any)
                        v = "jet_store(" + v + ", " + std::to_string(static_cast<int>(k)) + ", " + quoteText(table) +
                            ", " + quoteText(c) + ")";
                }
                values.push_back(v);
            }
            std::vector<std::string> keep;  // indexes and triggers to make again (not the length checks)
            {
                Rows q(*this, "SELECT sql FROM sqlite_master WHERE tbl_name = ? COLLATE NOCASE AND sql IS NOT NULL AND "
                              "(type = 'index' OR (type = 'trigger' AND name NOT LIKE 'dv\\_sys\\_len\\_%' ESCAPE '\\'))",
                       {table});
                while (q.next()) keep.push_back(q.text(0));
            }
            Variant sequence;
            if (tableExists("sqlite_sequence"))
                sequence = scalar("SELECT seq FROM sqlite_sequence WHERE name = ?", {Variant(table)});
            const long long rowsBefore = scalar("SELECT count(*) FROM " + quoteIdent(table)).toLongLong();

            std::string body;
            for (const auto& i : def.items) body += (body.empty() ? "" : ", ") + i.text;
            const std::string scratch = "dv_sys_rebuild";
            exec("DROP TABLE IF EXISTS " + quoteIdent(scratch));
            exec("CREATE TABLE " + quoteIdent(scratch) + " (" + body + ")" + def.tail);
            std::string names, selected;
            for (size_t i = 0; i < columns.size(); ++i) {
                names += (i ? ", " : "") + quoteIdent(columns[i]);
                selected += (i ? ", " : "") + values[i];
            }
            exec("INSERT INTO " + quoteIdent(scratch) + " (" + names + ") SELECT " + selected + " FROM " + quoteIdent(table));
            if (scalar("SELECT count(*) FROM " + quoteIdent(scratch)).toLongLong() != rowsBefore)
                raise(3000, "The rows of table '" + table + "' could not all be copied; nothing was changed.", Source);
            exec("DROP TABLE " + quoteIdent(table));
            exec("ALTER TABLE " + quoteIdent(scratch) + " RENAME TO " + quoteIdent(table));
            for (const auto& sql : keep) exec(sql);
            // An auto-number does not hand out numbers of rows deleted before.
            if (!sequence.isEmpty() && !sequence.isNull() && tableExists("sqlite_sequence")) {
                exec("UPDATE sqlite_sequence SET seq = CASE WHEN seq < ? THEN ? ELSE seq END WHERE name = ?",
                     {sequence, sequence, Variant(table)});
                if (scalar("SELECT count(*) FROM sqlite_sequence WHERE name = ?", {Variant(table)}).toLongLong() == 0 &&
                    scalar("SELECT sql LIKE '%AUTOINCREMENT%' FROM sqlite_master WHERE name = ?", {Variant(table)})
                            .toLongLong() != 0)
                    exec("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)", {Variant(table), sequence});
            }
            refreshLengthChecks(table);
        }
        for (const auto& sql : statements) exec(sql);
        if (rebuild && faults() > faultsBefore) {
            std::string parent = change.kind == Kind::AddForeignKey ? change.referencedTable : table;
            raise(3201,
                  "You cannot add or change a record because a related record is required in table '" + parent + "'.",
                  Source);
        }
        exec(outer ? "COMMIT" : "RELEASE dv_sys_change");
    } catch (...) {
        if (outer) {
            if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        } else {
            sqlite3_exec(db_, "ROLLBACK TO dv_sys_change", nullptr, nullptr, nullptr);
            sqlite3_exec(db_, "RELEASE dv_sys_change", nullptr, nullptr, nullptr);
        }
        restore();
        throw;
    }
    restore();
    return {};
}

}  // namespace dalvera::jet
