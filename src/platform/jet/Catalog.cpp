#include "platform/jet/Catalog.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>

#include "platform/jet/Session.h"
#include "platform/jet/sql/JetSql.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace dao = host::dao;

namespace {

struct Token {
    std::string text;
    bool ident = false;   // a word or a quoted name (not a string or a sign)
    bool quoted = false;  // a quoted name is never a keyword
};

// Tokens of a CREATE statement: names (bare or quoted), strings, single signs.
std::vector<Token> tokenize(const std::string& sql) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < sql.size()) {
        char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            while (i < sql.size() && sql[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t j = sql.find("*/", i + 2);
            i = j == std::string::npos ? sql.size() : j + 2;
        } else if (c == '[' || c == '"' || c == '`' || c == '\'') {
            char close = c == '[' ? ']' : c;
            std::string t;
            size_t j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == close) {
                    if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
                        t += close;
                        j += 2;
                        continue;
                    }
                    break;
                }
                t += sql[j++];
            }
            out.push_back({t, c != '\'', true});
            i = j + 1;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80) {
            size_t j = i;
            while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_' ||
                                      sql[j] == '$' || static_cast<unsigned char>(sql[j]) >= 0x80))
                ++j;
            out.push_back({sql.substr(i, j - i), true, false});
            i = j;
        } else {
            out.push_back({std::string(1, c), false, false});
            ++i;
        }
    }
    return out;
}

bool isWord(const Token& t, const char* w) { return t.ident && !t.quoted && equalsNoCase(t.text, w); }

struct DeclaredKey {
    std::string name;
    std::vector<std::string> from;
    std::string parent;
};

struct TableSyntax {
    bool autoincrement = false;
    std::string primaryKeyName;
    std::vector<DeclaredKey> foreignKeys;
};

// Constraint names and AUTOINCREMENT from the CREATE TABLE text, which SQLite's
// pragmas do not report.
TableSyntax parseCreateTable(const std::string& sql) {
    TableSyntax r;
    auto toks = tokenize(sql);
    size_t i = 0;
    while (i < toks.size() && toks[i].text != "(") ++i;
    ++i;
    // Split the definitions at commas of depth 0.
    std::vector<std::vector<Token>> items(1);
    int depth = 0;
    for (; i < toks.size(); ++i) {
        const auto& t = toks[i];
        if (!t.ident && t.text == "(") ++depth;
        if (!t.ident && t.text == ")") {
            if (depth == 0) break;
            --depth;
        }
        if (!t.ident && t.text == "," && depth == 0) {
            items.emplace_back();
            continue;
        }
        items.back().push_back(t);
        if (isWord(t, "AUTOINCREMENT")) r.autoincrement = true;
    }
    auto parenList = [](const std::vector<Token>& it, size_t& k) {
        std::vector<std::string> names;
        while (k < it.size() && it[k].text != "(") ++k;
        for (++k; k < it.size() && it[k].text != ")"; ++k)
            if (it[k].ident) names.push_back(it[k].text);
        return names;
    };
    for (const auto& it : items) {
        if (it.empty()) continue;
        size_t k = 0;
        std::string cname;
        if (isWord(it[0], "CONSTRAINT") && it.size() > 2) {
            cname = it[1].text;
            k = 2;
        }
        if (k < it.size() && isWord(it[k], "FOREIGN")) {
            DeclaredKey fk{cname, parenList(it, k), {}};
            while (k < it.size() && !isWord(it[k], "REFERENCES")) ++k;
            if (k + 1 < it.size()) fk.parent = it[k + 1].text;
            r.foreignKeys.push_back(fk);
        } else if (k < it.size() && isWord(it[k], "PRIMARY")) {
            r.primaryKeyName = cname;
        } else if (k == 0 && !isWord(it[0], "UNIQUE") && !isWord(it[0], "CHECK")) {
            // A column definition with its own constraints.
            std::string column = it[0].text, pending;
            for (size_t j = 1; j < it.size(); ++j) {
                if (isWord(it[j], "CONSTRAINT") && j + 1 < it.size()) {
                    pending = it[j + 1].text;
                    ++j;
                } else if (isWord(it[j], "PRIMARY")) {
                    if (!pending.empty()) r.primaryKeyName = pending;
                    pending.clear();
                } else if (isWord(it[j], "REFERENCES") && j + 1 < it.size()) {
                    r.foreignKeys.push_back({pending, {column}, it[j + 1].text});
                    pending.clear();
                } else if (isWord(it[j], "NOT") || isWord(it[j], "UNIQUE") || isWord(it[j], "CHECK") ||
                           isWord(it[j], "DEFAULT")) {
                    pending.clear();
                }
            }
        }
    }
    return r;
}

struct Stmt {
    sqlite3_stmt* st = nullptr;
    Stmt(Session& s, const std::string& sql, const std::vector<std::string>& args = {}) {
        if (sqlite3_prepare_v2(s.db(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) s.fail(sqlite3_extended_errcode(s.db()));
        for (size_t i = 0; i < args.size(); ++i)
            sqlite3_bind_text(st, static_cast<int>(i + 1), args[i].c_str(), -1, SQLITE_TRANSIENT);
    }
    ~Stmt() { sqlite3_finalize(st); }
    bool next() { return sqlite3_step(st) == SQLITE_ROW; }
    std::string text(int i) const {
        auto t = sqlite3_column_text(st, i);
        return t ? reinterpret_cast<const char*>(t) : "";
    }
    bool isNull(int i) const { return sqlite3_column_type(st, i) == SQLITE_NULL; }
    long long integer(int i) const { return sqlite3_column_int64(st, i); }
};

// The default expression as the database's users write it.
std::string reportDefault(std::string d) {
    d = trimBlanks(d);
    while (d.size() >= 2 && d.front() == '(' && d.back() == ')') d = trimBlanks(d.substr(1, d.size() - 2));
    if (d.size() >= 2 && d.front() == '\'' && d.back() == '\'')
        return "\"" + replaceAll(d.substr(1, d.size() - 2), "''", "'") + "\"";
    std::string u = upperAscii(d);
    if (u == "CURRENT_TIMESTAMP" || u == "NOW()") return "Now()";
    if (u == "CURRENT_DATE" || u == "DATE()") return "Date()";
    if (u == "CURRENT_TIME" || u == "TIME()") return "Time()";
    return d;
}

Variant propertyValue(sqlite3_stmt* st, int valueCol, int kindCol) {
    if (sqlite3_column_type(st, valueCol) == SQLITE_NULL) return Variant::null();
    switch (sqlite3_column_int(st, kindCol)) {
    case static_cast<int>(VarType::Boolean): return Variant(sqlite3_column_int64(st, valueCol) != 0);
    case static_cast<int>(VarType::Integer): return Variant::integer(static_cast<int16_t>(sqlite3_column_int(st, valueCol)));
    case static_cast<int>(VarType::Long): return Variant::longValue(sqlite3_column_int(st, valueCol));
    case static_cast<int>(VarType::Double): return Variant(sqlite3_column_double(st, valueCol));
    default: return Variant(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, valueCol))));
    }
}

using PropertyMap = std::map<std::string, std::vector<std::pair<std::string, Variant>>>;  // by lower(field)

PropertyMap tableProperties(Session& s, const std::string& table) {
    PropertyMap m;
    if (!s.tableExists(PropertiesTable)) return m;
    Stmt q(s, std::string("SELECT field, name, value, kind FROM ") + PropertiesTable +
                  " WHERE object = ? ORDER BY rowid", {table});
    while (q.next()) m[lowerAscii(q.text(0))].emplace_back(q.text(1), propertyValue(q.st, 2, 3));
    return m;
}

bool isBuiltin(const std::string& name) {
    for (const char* n : {"Name", "Type", "Size", "Attributes", "OrdinalPosition"})
        if (equalsNoCase(name, n)) return true;
    return false;
}

std::shared_ptr<dao::TableDef> loadTable(Session& s, const std::string& name, const std::string& sql) {
    TableSyntax syn = parseCreateTable(sql);
    PropertyMap props = tableProperties(s, name);
    dao::Fields fields;
    std::vector<std::pair<int, std::string>> pkCols;
    Stmt q(s, "SELECT cid, name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?)", {name});
    int ordinal = 0;
    std::vector<std::string> fieldNames;
    while (q.next()) {
        dao::Field::Data d;
        d.name = q.text(1);
        std::string decl = q.text(2);
        ColumnType ct = typeFromDeclaration(decl);
        d.type = ct.dao;
        d.size = ct.daoSize;
        d.required = q.integer(3) != 0;
        d.defaultValue = Variant(q.isNull(4) ? std::string() : reportDefault(q.text(4)));
        d.ordinalPosition = ordinal++;
        int pk = static_cast<int>(q.integer(5));
        if (pk > 0) pkCols.emplace_back(pk, d.name);
        bool variable = ct.dao == dao::type::Text || ct.dao == dao::type::Memo || ct.dao == dao::type::Binary ||
                        ct.dao == dao::type::LongBinary;
        d.allowZeroLength = ct.dao == dao::type::Text || ct.dao == dao::type::Memo;
        std::string u = upperAscii(trimBlanks(decl));
        bool autoNumber = (u == "COUNTER" || u == "AUTOINCREMENT") ||
                          (syn.autoincrement && pk == 1 && u == "INTEGER");
        d.attributes = (variable ? dao::VariableField : dao::FixedField) |
                       (autoNumber ? dao::AutoIncrField : dao::UpdatableField);
        fieldNames.push_back(d.name);
        // Overrides stored with the field (a default the file cannot hold, such as newid).
        auto fp = props.find(lowerAscii(d.name));
        if (fp != props.end())
            for (auto& [pn, pv] : fp->second) {
                if (equalsNoCase(pn, "DefaultValue")) d.defaultValue = Variant(pv.text());
                if (equalsNoCase(pn, "AllowZeroLength")) d.allowZeroLength = pv.toBool();
                if (equalsNoCase(pn, "Required")) d.required = pv.toBool();
            }
        dao::Properties pl;
        pl.Append(std::make_shared<dao::Property>("Name", Variant(d.name)));
        pl.Append(std::make_shared<dao::Property>("Type", Variant::integer(static_cast<int16_t>(d.type))));
        pl.Append(std::make_shared<dao::Property>("Size", Variant::longValue(d.size)));
        pl.Append(std::make_shared<dao::Property>("Attributes", Variant::longValue(d.attributes)));
        pl.Append(std::make_shared<dao::Property>("OrdinalPosition", Variant::integer(static_cast<int16_t>(d.ordinalPosition))));
        pl.Append(std::make_shared<dao::Property>("DefaultValue", d.defaultValue));
        pl.Append(std::make_shared<dao::Property>("Required", Variant(d.required)));
        pl.Append(std::make_shared<dao::Property>("AllowZeroLength", Variant(d.allowZeroLength)));
        Variant validationRule = std::string();  // kept with the field when a file brought one
        if (fp != props.end())
            for (auto& [pn, pv] : fp->second)
                if (equalsNoCase(pn, "ValidationRule")) validationRule = pv;
        pl.Append(std::make_shared<dao::Property>("ValidationRule", validationRule));
        std::vector<std::pair<std::string, Variant>> custom;
        Variant validationText = std::string(), appendOnly = false;
        if (fp != props.end())
            for (auto& [pn, pv] : fp->second) {
                if (equalsNoCase(pn, "ValidationText")) validationText = pv;
                else if (equalsNoCase(pn, "AppendOnly")) appendOnly = pv;
                else if (!isBuiltin(pn) && !equalsNoCase(pn, "DefaultValue") && !equalsNoCase(pn, "Required") &&
                         !equalsNoCase(pn, "AllowZeroLength") && !equalsNoCase(pn, "ValidationRule"))
                    custom.emplace_back(pn, pv);
            }
        pl.Append(std::make_shared<dao::Property>("ValidationText", validationText));
        pl.Append(std::make_shared<dao::Property>("AppendOnly", appendOnly));
        for (auto& [pn, pv] : custom) pl.Append(std::make_shared<dao::Property>(pn, pv));
        fields.Append(std::make_shared<dao::Field>(std::move(d), std::move(pl)));
    }

    dao::Indexes indexes;
    bool havePkIndex = false;
    Stmt il(s, "SELECT name, \"unique\", origin, partial FROM pragma_index_list(?) ORDER BY seq DESC", {name});
    while (il.next()) {
        std::string iname = il.text(0), origin = il.text(2);
        // WITH IGNORE NULL is a partial index; WITH DISALLOW NULL has the triggers that refuse Nulls.
        bool ignoreNulls = il.integer(3) != 0;
        bool required = false;
        {
            Stmt tr(s, "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name = ?",
                    {"dv_sys_nonull_" + iname + "_ins"});
            required = tr.next() && tr.integer(0) > 0;
        }
        bool primary = origin == "pk";
        havePkIndex = havePkIndex || primary;
        dao::Fields ifields;
        Stmt ii(s, "SELECT name FROM pragma_index_info(?) ORDER BY seqno", {iname});
        while (ii.next()) {
            dao::Field::Data d;
            d.name = ii.text(0);
            ifields.Append(std::make_shared<dao::Field>(d));
        }
        if (primary) iname = syn.primaryKeyName.empty() ? "PrimaryKey" : syn.primaryKeyName;
        indexes.Append(
            std::make_shared<dao::Index>(iname, primary, il.integer(1) != 0, std::move(ifields), required, ignoreNulls));
    }
    // An INTEGER PRIMARY KEY is the row id itself and has no index of its own.
    if (!havePkIndex && !pkCols.empty()) {
        std::sort(pkCols.begin(), pkCols.end());
        dao::Fields ifields;
        for (auto& [n, c] : pkCols) {
            dao::Field::Data d;
            d.name = c;
            ifields.Append(std::make_shared<dao::Field>(d));
        }
        indexes.Append(std::make_shared<dao::Index>(syn.primaryKeyName.empty() ? "PrimaryKey" : syn.primaryKeyName,
                                                    true, true, std::move(ifields)));
    }
    dao::Properties tprops;
    auto tp = props.find("");
    if (tp != props.end())
        for (auto& [pn, pv] : tp->second) tprops.Append(std::make_shared<dao::Property>(pn, pv));
    long attributes = isSystemTable(name) ? dao::SystemObject : 0;
    return std::make_shared<dao::TableDef>(name, attributes, std::move(fields), std::move(indexes), std::move(tprops));
}

// The statement after a PARAMETERS clause.
std::vector<Token> bodyTokens(const std::string& sql) {
    auto toks = tokenize(sql);
    if (!toks.empty() && isWord(toks[0], "PARAMETERS")) {
        auto semi = std::find_if(toks.begin(), toks.end(), [](const Token& t) { return !t.ident && t.text == ";"; });
        if (semi != toks.end()) toks.erase(toks.begin(), semi + 1);
    }
    return toks;
}

}  // namespace

host::dao::TableDefs loadTableDefs(Session& s) {
    dao::TableDefs defs;
    std::vector<std::pair<std::string, std::string>> tables;
    {
        Stmt q(s, "SELECT name, sql FROM sqlite_master WHERE type='table' ORDER BY name COLLATE NOCASE");
        while (q.next()) tables.emplace_back(q.text(0), q.text(1));
    }
    for (auto& [n, sql] : tables) defs.Append(loadTable(s, n, sql));
    return defs;
}

host::dao::Relations loadRelations(Session& s) {
    dao::Relations rels;
    std::vector<std::pair<std::string, std::string>> tables;
    {
        Stmt q(s, "SELECT name, sql FROM sqlite_master WHERE type='table' ORDER BY name COLLATE NOCASE");
        while (q.next())
            if (!isSystemTable(q.text(0))) tables.emplace_back(q.text(0), q.text(1));
    }
    for (auto& [child, sql] : tables) {
        TableSyntax syn = parseCreateTable(sql);
        struct Pair {
            std::string from, to;
        };
        std::map<long long, std::pair<std::string, std::vector<Pair>>> groups;
        Stmt q(s, "SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?) ORDER BY id, seq", {child});
        while (q.next()) {
            auto& g = groups[q.integer(0)];
            g.first = q.text(1);
            g.second.push_back({q.text(2), q.isNull(3) ? std::string() : q.text(3)});
        }
        // SQLite numbers the keys from the last declared one.
        for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
            auto& [parent, pairs] = it->second;
            // A key without target columns points at the parent's primary key.
            if (std::any_of(pairs.begin(), pairs.end(), [](const Pair& p) { return p.to.empty(); })) {
                std::vector<std::pair<long long, std::string>> pk;
                Stmt pq(s, "SELECT pk, name FROM pragma_table_info(?) WHERE pk > 0", {parent});
                while (pq.next()) pk.emplace_back(pq.integer(0), pq.text(1));
                std::sort(pk.begin(), pk.end());
                for (size_t i = 0; i < pairs.size() && i < pk.size(); ++i)
                    if (pairs[i].to.empty()) pairs[i].to = pk[i].second;
            }
            std::string name;
            for (const auto& fk : syn.foreignKeys) {
                if (!equalsNoCase(fk.parent, parent) || fk.from.size() != pairs.size()) continue;
                bool same = true;
                for (size_t i = 0; i < pairs.size(); ++i) same = same && equalsNoCase(fk.from[i], pairs[i].from);
                if (same && !fk.name.empty()) name = fk.name;
            }
            if (name.empty()) name = parent + child;
            dao::Fields fields;
            for (const auto& p : pairs) {
                dao::Field::Data d;
                d.name = p.to;
                d.foreignName = p.from;
                fields.Append(std::make_shared<dao::Field>(d));
            }
            rels.Append(std::make_shared<dao::Relation>(name, parent, child, std::move(fields)));
        }
    }
    return rels;
}

int queryTypeOf(const std::string& jetSql) {
    auto toks = bodyTokens(jetSql);
    if (toks.empty()) return dao::query::Select;
    const Token& first = toks[0];
    if (isWord(first, "TRANSFORM")) return dao::query::Crosstab;
    if (isWord(first, "INSERT")) return dao::query::Append;
    if (isWord(first, "UPDATE")) return dao::query::Update;
    if (isWord(first, "DELETE")) return dao::query::Delete;
    if (isWord(first, "CREATE") || isWord(first, "ALTER") || isWord(first, "DROP")) return dao::query::DDL;
    if (isWord(first, "SELECT") || first.text == "(") {
        int depth = 0;
        bool isUnion = false;
        for (const auto& t : toks) {
            if (!t.ident && t.text == "(") ++depth;
            if (!t.ident && t.text == ")") --depth;
            if (depth == 0 && isWord(t, "INTO")) return dao::query::MakeTable;
            if (depth == 0 && isWord(t, "FROM") && !isUnion) break;
            if (isWord(t, "UNION")) isUnion = true;
        }
        for (const auto& t : toks)
            if (isWord(t, "UNION")) return dao::query::SetOperation;
        return dao::query::Select;
    }
    return dao::query::Select;
}

host::dao::QueryDefs loadQueryDefs(Session& s) {
    dao::QueryDefs defs;
    std::vector<StoredQuery> list;
    if (s.tableExists(QueriesTable)) {
        Stmt q(s, std::string("SELECT name, type, sql FROM ") + QueriesTable + " ORDER BY name COLLATE NOCASE");
        while (q.next()) list.push_back({q.text(0), q.text(2), static_cast<int>(q.integer(1))});
    }
    {
        // Views made outside the engine are select queries too.
        Stmt q(s, "SELECT name, sql FROM sqlite_master WHERE type='view' ORDER BY name COLLATE NOCASE");
        while (q.next()) {
            std::string sql = q.text(1);
            auto toks = tokenize(sql);
            std::string body = sql;
            // The text after the first AS at the top.
            for (size_t i = 0; i < toks.size(); ++i)
                if (isWord(toks[i], "AS")) {
                    auto p = upperAscii(sql).find(" AS ");
                    if (p != std::string::npos) body = trimBlanks(sql.substr(p + 4));
                    break;
                }
            list.push_back({q.text(0), body, dao::query::Select});
        }
    }
    for (auto& sq : list) {
        dao::Parameters params;
        try {
            for (const auto& p : s.parametersOf(sq.sql))
                params.Append(std::make_shared<dao::Parameter>(p.name, p.daoType, dao::ParamInput));
        } catch (const Error&) {
            // A query the dialect cannot read still lists; running it reports the fault.
        }
        defs.Append(std::make_shared<dao::QueryDef>(sq.name, sq.type, sq.sql, std::move(params)));
    }
    return defs;
}

std::optional<StoredQuery> findStoredQuery(Session& s, const std::string& name) {
    if (s.tableExists(QueriesTable)) {
        Stmt q(s, std::string("SELECT name, type, sql FROM ") + QueriesTable + " WHERE name = ?", {name});
        if (q.next()) return StoredQuery{q.text(0), q.text(2), static_cast<int>(q.integer(1))};
    }
    // Views are looked up with the rest of the list; they are few.
    for (const auto& q : loadQueryDefs(s))
        if (equalsNoCase(q->Name(), name)) return StoredQuery{q->Name(), q->SQL(), q->Type()};
    return std::nullopt;
}

void saveQuery(Session& s, const std::string& name, const std::string& jetSql, int type) {
    if (trimBlanks(name).empty()) raise(3125, "'' isn't a valid name.", "DAO.Database");
    if (s.tableExists(name)) raise(3012, "Object '" + name + "' already exists.", "DAO.Database");
    // The statement must be one the dialect accepts; the fault shows now, not at run time.
    translate(jetSql);
    s.ensureMetadata();
    s.exec(std::string("INSERT OR REPLACE INTO ") + QueriesTable + "(name, type, sql) VALUES (?, ?, ?)",
           {Variant(name), Variant(type < 0 ? queryTypeOf(jetSql) : type), Variant(jetSql)});
}

void deleteQuery(Session& s, const std::string& name) {
    if (!findStoredQuery(s, name)) raise(3265, "Item not found in this collection.", "DAO.QueryDefs");
    s.exec(std::string("DELETE FROM ") + QueriesTable + " WHERE name = ?", {Variant(name)});
}

void setProperty(Session& s, const std::string& table, const std::string& field, const std::string& name,
                 const Variant& value) {
    if (!s.tableExists(table)) raise(3265, "Item not found in this collection.", "DAO.TableDefs");
    if (!field.empty() &&
        s.scalar("SELECT count(*) FROM pragma_table_info(?) WHERE name = ? COLLATE NOCASE", {Variant(table), Variant(field)})
                .toLongLong() == 0)
        raise(3265, "Item not found in this collection.", "DAO.Fields");
    if (isBuiltin(name)) raise(3032, "Cannot set the property '" + name + "'; it is set by the table's definition.", "DAO.Property");
    s.ensureMetadata();
    if (value.isNull() || value.isEmpty()) {
        s.exec(std::string("DELETE FROM ") + PropertiesTable + " WHERE object=? AND field=? AND name=?",
               {Variant(table), Variant(field), Variant(name)});
        return;
    }
    Variant stored = value;
    int kind = static_cast<int>(value.type());
    switch (value.type()) {
    case VarType::Boolean: stored = Variant::longValue(value.toBool() ? 1 : 0); break;
    case VarType::Integer:
    case VarType::Long: break;
    case VarType::LongLong:
    case VarType::Byte: kind = static_cast<int>(VarType::Long); break;
    case VarType::Double:
    case VarType::Single:
    case VarType::Currency: stored = Variant(value.toDouble()); kind = static_cast<int>(VarType::Double); break;
    default: stored = Variant(value.text()); kind = static_cast<int>(VarType::String);
    }
    s.exec(std::string("INSERT OR REPLACE INTO ") + PropertiesTable + "(object, field, name, value, kind) VALUES (?,?,?,?,?)",
           {Variant(table), Variant(field), Variant(name), stored, Variant(kind)});
}

}  // namespace dalvera::jet
