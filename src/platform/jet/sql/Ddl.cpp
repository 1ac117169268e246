// Data definition: the dialect's CREATE / DROP / ALTER to SQLite, with the
// declared types written the way the DAO side reads them back.
#include <cstdlib>
#include <optional>

#include "platform/jet/sql/Ddl.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::jet::detail {

namespace {

constexpr const char* kSource = "Jet SQL";

[[noreturn]] void createError(const std::string& detail) {
    raise(3290, "Syntax error in CREATE TABLE statement: " + detail + ".", kSource);
}
[[noreturn]] void fieldError(const std::string& detail) {
    raise(3292, "Syntax error in field definition: " + detail + ".", kSource);
}
[[noreturn]] void constraintError(const std::string& detail) {
    raise(3289, "Syntax error in CONSTRAINT clause: " + detail + ".", kSource);
}

[[noreturn]] void alterError(const std::string& detail) {
    raise(3293, "Syntax error in ALTER TABLE statement: " + detail + ".", kSource);
}
[[noreturn]] void dropError(const std::string& detail) {
    raise(3295, "Syntax error in DROP TABLE or DROP INDEX: " + detail + ".", kSource);
}

using Sig = std::vector<const Node*>;  // significant nodes of a clause

Sig significant(const std::vector<Node>& seq, size_t from = 0, size_t to = SIZE_MAX) {
    Sig out;
    for (size_t i = from; i < seq.size() && i < to; ++i)
        if (!isBlank(seq[i])) out.push_back(&seq[i]);
    return out;
}

std::vector<std::vector<Node>> splitCommas(const std::vector<Node>& seq) {
    std::vector<std::vector<Node>> parts(1);
    for (const Node& n : seq) {
        if (isPunct(n, ","))
            parts.emplace_back();
        else
            parts.back().push_back(n);
    }
    return parts;
}

bool word(const Sig& s, size_t i, std::string_view w) { return i < s.size() && isWord(*s[i], w); }

std::string nameAt(const Sig& s, size_t i) {
    if (i >= s.size() || s[i]->group) return {};
    const Token& t = *s[i]->tok;
    return (t.kind == Tok::Word || t.kind == Tok::Name) ? t.text : std::string();
}

// Names in a "(a, b)" group.
std::vector<std::string> nameList(const Node& group, const std::string& where) {
    std::vector<std::string> names;
    for (const auto& part : splitCommas(group.kids)) {
        Sig s = significant(part);
        std::string n = nameAt(s, 0);
        if (s.empty() || n.empty()) constraintError("a column name is missing in " + where);
        std::string entry = quoteName(n);
        if (s.size() == 2 && (word(s, 1, "ASC") || word(s, 1, "DESC")))
            entry += " " + upperAscii(s[1]->tok->text);
        else if (s.size() != 1)
            constraintError("unexpected text after " + n + " in " + where);
        names.push_back(entry);
    }
    return names;
}

std::string joinNames(const std::vector<std::string>& v) {
    std::string r;
    for (const auto& s : v) r += (r.empty() ? "" : ", ") + s;
    return r;
}

// Numbers in a "(n[, m])" group.
std::vector<long> sizeList(const Node& group, const std::string& column) {
    std::vector<long> out;
    for (const auto& part : splitCommas(group.kids)) {
        Sig s = significant(part);
        if (s.size() != 1 || s[0]->group || s[0]->tok->kind != Tok::Number ||
            s[0]->tok->text.find_first_not_of("0123456789") != std::string::npos)
            fieldError("the size of " + column + " must be a whole number");
        out.push_back(std::strtol(s[0]->tok->text.c_str(), nullptr, 10));
    }
    return out;
}

struct ForeignKey {
    std::string name;  // may be generated
    std::vector<std::string> columns;
    std::string table;
    std::vector<std::string> refColumns;
    std::string actions;  // ON DELETE / ON UPDATE clauses
};

// Reads "REFERENCES t [(x, ...)] [ON DELETE|UPDATE action ...]" at s[i] (the keyword).
size_t readReferences(const Sig& s, size_t i, ForeignKey& fk) {
    fk.table = nameAt(s, i + 1);
    if (fk.table.empty()) constraintError("REFERENCES needs a table name");
    i += 2;
    if (i < s.size() && s[i]->group) {
        fk.refColumns = nameList(*s[i], "REFERENCES " + fk.table);
        ++i;
    }
    while (word(s, i, "ON") && (word(s, i + 1, "DELETE") || word(s, i + 1, "UPDATE"))) {
        std::string clause = " ON " + upperAscii(s[i + 1]->tok->text);
        i += 2;
        if (word(s, i, "CASCADE")) {
            clause += " CASCADE";
            i += 1;
        } else if (word(s, i, "SET") && word(s, i + 1, "NULL")) {
            clause += " SET NULL";
            i += 2;
        } else if (word(s, i, "NO") && word(s, i + 1, "ACTION")) {
            clause += " NO ACTION";
            i += 2;
        } else {
            constraintError("unknown referential action");
        }
        fk.actions += clause;
    }
    return i;
}

std::string foreignKeyText(const ForeignKey& fk) {
    std::string r = "CONSTRAINT " + quoteName(fk.name) + " FOREIGN KEY (" + joinNames(fk.columns) + ") REFERENCES " +
                    quoteName(fk.table);
    if (!fk.refColumns.empty()) r += " (" + joinNames(fk.refColumns) + ")";
    return r + fk.actions;
}

struct KeyConstraint {
    std::string name;  // empty when unnamed
    std::vector<std::string> columns;
};

struct Column {
    std::string name;
    std::string type;  // declared type as written to SQLite
    bool counter = false;
    bool text = false;
    std::string modifiers;  // NOT NULL, DEFAULT, COLLATE
    bool inlinePrimary = false;
    std::string inlinePrimaryName;
    bool expressionDefault = false;
    bool notNull = false;       // NOT NULL was given
    bool unique = false;        // an unnamed UNIQUE was given
    std::string defaultClause;  // " DEFAULT ..." when given
};

std::string mapType(const std::string& column, const std::string& typeWord, const Node* sizeGroup, bool& counter,
                    bool& text) {
    const std::string t = upperAscii(typeWord);
    std::vector<long> sz;
    if (sizeGroup) sz = sizeList(*sizeGroup, column);
    auto noSize = [&](const std::string& declared) {
        if (sizeGroup) fieldError("the type " + typeWord + " of " + column + " takes no size");
        return declared;
    };
    counter = false;
    text = false;
    if (t == "COUNTER" || t == "AUTOINCREMENT" || t == "IDENTITY") {
        if (!sz.empty() && !(sz.size() == 2 && sz[0] == 1 && sz[1] == 1))
            fieldError("only a COUNTER starting at 1 with increment 1 is supported for " + column);
        counter = true;
        return "INTEGER PRIMARY KEY AUTOINCREMENT";
    }
    if (t == "TEXT" || t == "VARCHAR" || t == "CHAR" || t == "STRING" || t == "CHARACTER" || t == "ALPHANUMERIC" ||
        t == "NVARCHAR" || t == "NCHAR") {
        text = true;
        if (sz.empty()) return "TEXT(255)";
        if (sz.size() != 1 || sz[0] < 1 || sz[0] > 255)
            fieldError("the size of the text column " + column + " must be 1 to 255");
        return "TEXT(" + std::to_string(sz[0]) + ")";
    }
    if (t == "MEMO" || t == "LONGTEXT" || t == "NOTE" || t == "HYPERLINK" || t == "LONGCHAR" || t == "NTEXT") {
        text = true;
        return noSize("LONGTEXT");
    }
    if (t == "YESNO" || t == "BIT" || t == "BOOLEAN" || t == "LOGICAL" || t == "LOGICAL1") return noSize("YESNO");
    if (t == "BYTE" || t == "TINYINT" || t == "INTEGER1") return noSize("BYTE");
    if (t == "SHORT" || t == "SMALLINT" || t == "INTEGER2") return noSize("SMALLINT");
    if (t == "LONG" || t == "INTEGER" || t == "INT" || t == "INTEGER4") return noSize("LONG");
    if (t == "CURRENCY" || t == "MONEY") return noSize("CURRENCY");
    if (t == "SINGLE" || t == "REAL" || t == "FLOAT4" || t == "IEEESINGLE") return noSize("SINGLE");
    if (t == "DOUBLE" || t == "FLOAT" || t == "FLOAT8" || t == "NUMBER" || t == "IEEEDOUBLE") return noSize("DOUBLE");
    if (t == "DATETIME" || t == "DATE" || t == "TIME" || t == "TIMESTAMP") return noSize("DATETIME");
    if (t == "BINARY" || t == "VARBINARY") {
        if (sz.empty()) return "BINARY(255)";
        if (sz.size() != 1 || sz[0] < 1 || sz[0] > 255)
            fieldError("the size of the binary column " + column + " must be 1 to 255");
        return "BINARY(" + std::to_string(sz[0]) + ")";
    }
    if (t == "LONGBINARY" || t == "OLEOBJECT" || t == "IMAGE" || t == "BLOB" || t == "GENERAL")
        return noSize("LONGBINARY");
    if (t == "GUID" || t == "UNIQUEIDENTIFIER") return noSize("GUID");
    if (t == "DECIMAL" || t == "NUMERIC" || t == "DEC") {
        long p = 18, s = 0;
        if (sz.size() >= 1) p = sz[0];
        if (sz.size() == 2) s = sz[1];
        if (sz.size() > 2 || p < 1 || p > 28 || s < 0 || s > p)
            fieldError("DECIMAL precision must be 1 to 28 and scale 0 to the precision for " + column);
        return "DECIMAL(" + std::to_string(p) + "," + std::to_string(s) + ")";
    }
    fieldError("unknown data type " + typeWord + " for " + column);
}

bool endsDefault(const Sig& s, size_t i) {
    return word(s, i, "UNIQUE") || word(s, i, "PRIMARY") || word(s, i, "CONSTRAINT") || word(s, i, "REFERENCES") ||
           word(s, i, "WITH") || word(s, i, "NULL") || (word(s, i, "NOT") && word(s, i + 1, "NULL"));
}

// DEFAULT's expression; SQLite takes literals bare and anything else in parentheses.
std::string defaultText(const std::vector<Node>& part, const Sig& s, size_t from, size_t to, ExprContext& ctx) {
    if (from >= to) fieldError("DEFAULT needs a value");
    const Node* first = s[from];
    const Node* last = s[to - 1];
    size_t a = static_cast<size_t>(first - part.data());
    size_t b = static_cast<size_t>(last - part.data()) + 1;
    std::vector<Node> expr(part.begin() + static_cast<long>(a), part.begin() + static_cast<long>(b));
    std::vector<std::string> noBinds;
    ExprContext local;
    local.bindNames = &noBinds;
    (void)ctx;
    std::string text = translateSeq(expr, local);
    if (!noBinds.empty()) fieldError("a DEFAULT cannot use parameters");
    bool literal = false;
    if (to - from == 1 && !first->group) {
        Tok k = first->tok->kind;
        literal = k == Tok::Number || k == Tok::String || k == Tok::Date ||
                  (k == Tok::Word && (isWord(*first, "NULL") || isWord(*first, "TRUE") || isWord(*first, "FALSE") ||
                                      isWord(*first, "YES") || isWord(*first, "NO")));
    } else if (to - from == 2 && (isPunct(*first, "-") || isPunct(*first, "+")) && !last->group &&
               last->tok->kind == Tok::Number) {
        literal = true;
    }
    // A number default keeps its text, so that DAO reports it as written.
    if (literal && last->tok->kind == Tok::Number) return (first == last ? "" : first->tok->text) + last->tok->text;
    return literal ? text : "(" + text + ")";
}

// A number default must fit its column: the rows that take it are written
// without the checks of INSERT and UPDATE.
void checkDefault(const std::string& column, const std::string& type, const std::string& text) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end) return;
    double lo = 0, hi = 0;
    if (type == "BYTE") lo = 0, hi = 255;
    else if (type == "SMALLINT") lo = -32768, hi = 32767;
    else if (type == "LONG") lo = -2147483648.0, hi = 2147483647.0;
    else if (type == "CURRENCY") lo = -922337203685477.5, hi = 922337203685477.5;
    else if (type == "SINGLE") lo = -3.4028234663852886e38, hi = 3.4028234663852886e38;
    else if (type == "DOUBLE") lo = -1.7976931348623157e308, hi = 1.7976931348623157e308;
    else return;
    if (!(v >= lo && v <= hi))
        raise(3349, "Numeric field overflow. The default " + text + " does not fit the field '" + column + "' (" + type + ").",
              kSource);
}

struct Table {
    std::string name;
    std::vector<Column> columns;
    std::optional<KeyConstraint> primary;
    std::vector<KeyConstraint> uniques;
    std::vector<ForeignKey> foreignKeys;
};

void setPrimary(Table& t, KeyConstraint k) {
    if (t.primary) raise(3283, "Primary key already exists in table '" + t.name + "'.", kSource);
    t.primary = std::move(k);
}

// A column definition; for ALTER TABLE ADD COLUMN the constraints stay inline.
Column readColumn(const std::vector<Node>& part, Table& table, ExprContext& ctx) {
    Sig s = significant(part);
    Column c;
    c.name = nameAt(s, 0);
    if (c.name.empty()) fieldError("a column name is missing");
    if (s.size() < 2 || s[1]->group || s[1]->tok->kind != Tok::Word) fieldError("the column " + c.name + " has no type");
    const std::string typeWord = s[1]->tok->text;
    size_t i = 2;
    const Node* sizeGroup = nullptr;
    if (i < s.size() && s[i]->group) sizeGroup = s[i++];
    c.type = mapType(c.name, typeWord, sizeGroup, c.counter, c.text);
    bool notNull = false;
    std::string defaultClause;
    bool unique = false;
    while (i < s.size()) {
        if (word(s, i, "NOT") && word(s, i + 1, "NULL")) {
            notNull = true;
            i += 2;
        } else if (word(s, i, "NULL")) {
            ++i;
        } else if (word(s, i, "DEFAULT")) {
            size_t end = i + 1;
            while (end < s.size() && (end == i + 1 || !endsDefault(s, end))) ++end;
            defaultClause = " DEFAULT " + defaultText(part, s, i + 1, end, ctx);
            c.expressionDefault = defaultClause.back() == ')';
            if (!c.expressionDefault) checkDefault(c.name, c.type, defaultClause.substr(9));
            i = end;
        } else if (word(s, i, "WITH") && (word(s, i + 1, "COMPRESSION") || word(s, i + 1, "COMP"))) {
            i += 2;  // storage hint without meaning here
        } else {
            std::string cname;
            if (word(s, i, "CONSTRAINT")) {
                cname = nameAt(s, i + 1);
                if (cname.empty()) constraintError("CONSTRAINT needs a name");
                i += 2;
            }
            if (word(s, i, "PRIMARY") && word(s, i + 1, "KEY")) {
                if (c.inlinePrimary) constraintError("PRIMARY KEY given twice for " + c.name);
                c.inlinePrimary = true;
                c.inlinePrimaryName = cname;
                i += 2;
            } else if (word(s, i, "UNIQUE")) {
                if (cname.empty())
                    unique = true;
                else
                    table.uniques.push_back({cname, {quoteName(c.name)}});
                ++i;
            } else if (word(s, i, "REFERENCES")) {
                ForeignKey fk;
                fk.name = cname;
                fk.columns = {quoteName(c.name)};
                i = readReferences(s, i, fk);
                table.foreignKeys.push_back(std::move(fk));
            } else {
                // A CONSTRAINT name may end the definition with no constraint after it.
                if (i >= s.size()) constraintError("CONSTRAINT " + cname + " of " + c.name + " names no constraint");
                std::string what = s[i]->group ? "(" : s[i]->tok->text;
                fieldError("unexpected '" + what + "' in the definition of " + c.name);
            }
        }
    }
    if (c.counter && !defaultClause.empty()) fieldError("the COUNTER column " + c.name + " cannot have a DEFAULT");
    c.notNull = notNull;
    c.unique = unique;
    c.defaultClause = defaultClause;
    if (notNull && !c.counter) c.modifiers += " NOT NULL";
    c.modifiers += defaultClause;
    if (unique && !c.counter) c.modifiers += " UNIQUE";
    // The engine compares text without regard to case.
    if (c.text) c.modifiers += " COLLATE NOCASE";
    return c;
}

// CONSTRAINT name PRIMARY KEY (...) | UNIQUE (...) | FOREIGN KEY (...) REFERENCES ...
void readTableConstraint(const std::vector<Node>& part, Table& table) {
    Sig s = significant(part);
    size_t i = 0;
    std::string cname;
    if (word(s, 0, "CONSTRAINT")) {
        cname = nameAt(s, 1);
        if (cname.empty()) constraintError("CONSTRAINT needs a name");
        i = 2;
    }
    if (word(s, i, "PRIMARY") && word(s, i + 1, "KEY")) {
        if (i + 2 >= s.size() || !s[i + 2]->group) constraintError("PRIMARY KEY needs a column list");
        if (i + 3 != s.size()) constraintError("unexpected text after PRIMARY KEY (...)");
        setPrimary(table, {cname, nameList(*s[i + 2], "PRIMARY KEY")});
    } else if (word(s, i, "UNIQUE")) {
        if (i + 1 >= s.size() || !s[i + 1]->group) constraintError("UNIQUE needs a column list");
        if (i + 2 != s.size()) constraintError("unexpected text after UNIQUE (...)");
        table.uniques.push_back({cname, nameList(*s[i + 1], "UNIQUE")});
    } else if (word(s, i, "FOREIGN") && word(s, i + 1, "KEY")) {
        if (i + 2 >= s.size() || !s[i + 2]->group) constraintError("FOREIGN KEY needs a column list");
        ForeignKey fk;
        fk.name = cname;
        fk.columns = nameList(*s[i + 2], "FOREIGN KEY");
        if (!word(s, i + 3, "REFERENCES")) constraintError("FOREIGN KEY needs REFERENCES");
        size_t end = readReferences(s, i + 3, fk);
        if (end != s.size()) constraintError("unexpected text after REFERENCES");
        if (!fk.refColumns.empty() && fk.refColumns.size() != fk.columns.size())
            constraintError("FOREIGN KEY and REFERENCES name different numbers of columns");
        table.foreignKeys.push_back(std::move(fk));
    } else if (word(s, i, "CHECK")) {
        raise(3000, "Syntax error: CHECK constraints are not supported.", kSource);
    } else {
        constraintError("expected PRIMARY KEY, UNIQUE or FOREIGN KEY");
    }
}

bool startsConstraint(const std::vector<Node>& part) {
    Sig s = significant(part);
    return word(s, 0, "CONSTRAINT") || (word(s, 0, "PRIMARY") && word(s, 1, "KEY")) ||
           (word(s, 0, "FOREIGN") && word(s, 1, "KEY")) || (word(s, 0, "UNIQUE") && s.size() > 1 && s[1]->group) ||
           word(s, 0, "CHECK");
}

std::string createTable(const Sig& s, ExprContext& ctx, Translation& t) {
    // CREATE TABLE name ( ... )
    Table table;
    table.name = nameAt(s, 2);
    if (table.name.empty()) createError("the table name is missing");
    t.table = table.name;
    if (s.size() < 4 || !s[3]->group) createError("the column list is missing");
    if (s.size() > 4 && !(s.size() == 5 && isPunct(*s[4], ";"))) createError("unexpected text after the column list");
    for (const auto& part : splitCommas(s[3]->kids)) {
        if (significant(part).empty()) createError("an empty column definition");
        if (startsConstraint(part)) {
            readTableConstraint(part, table);
            continue;
        }
        Column c = readColumn(part, table, ctx);
        for (const auto& other : table.columns)
            if (equalsNoCase(other.name, c.name)) createError("the column " + c.name + " is defined twice");
        if (c.inlinePrimary) setPrimary(table, {c.inlinePrimaryName, {quoteName(c.name)}});
        table.columns.push_back(std::move(c));
    }
    // A COUNTER becomes SQLite's auto-numbered rowid, so it must be the whole key.
    const Column* counter = nullptr;
    for (const auto& c : table.columns) {
        if (!c.counter) continue;
        if (counter) createError("a table can have only one COUNTER column");
        counter = &c;
    }
    if (counter) {
        if (table.primary && !(table.primary->columns.size() == 1 &&
                               equalsNoCase(table.primary->columns[0], quoteName(counter->name))))
            createError("COUNTER column must be the primary key (" + counter->name + ")");
        // The key's name goes with the column, so that DAO and DROP CONSTRAINT find it
        // (an unnamed key is reported as PrimaryKey anyway).
        if (table.primary && !table.primary->name.empty() && !equalsNoCase(table.primary->name, "PrimaryKey"))
            for (auto& c : table.columns)
                if (c.counter) c.type = "INTEGER CONSTRAINT " + quoteName(table.primary->name) + " PRIMARY KEY AUTOINCREMENT";
        table.primary.reset();
    }
    // Relations need names; unnamed ones are named after the two tables.
    for (auto& fk : table.foreignKeys) {
        if (!fk.name.empty()) continue;
        std::string base = fk.table + table.name;
        std::string name = base;
        for (int n = 1;; ++n) {
            bool taken = false;
            for (const auto& other : table.foreignKeys)
                if (&other != &fk && equalsNoCase(other.name, name)) taken = true;
            if (!taken) break;
            name = base + std::to_string(n);
        }
        fk.name = name;
    }
    std::string sql = "CREATE TABLE " + quoteName(table.name) + " (";
    bool firstItem = true;
    auto add = [&](const std::string& item) {
        sql += (firstItem ? "" : ", ") + item;
        firstItem = false;
    };
    for (const auto& c : table.columns) add(quoteName(c.name) + " " + c.type + c.modifiers);
    if (table.primary) {
        std::string item;
        if (!table.primary->name.empty()) item = "CONSTRAINT " + quoteName(table.primary->name) + " ";
        add(item + "PRIMARY KEY (" + joinNames(table.primary->columns) + ")");
    }
    for (const auto& u : table.uniques)
        add((u.name.empty() ? "" : "CONSTRAINT " + quoteName(u.name) + " ") + "UNIQUE (" + joinNames(u.columns) + ")");
    for (const auto& fk : table.foreignKeys) add(foreignKeyText(fk));
    return sql + ")";
}

std::string createIndex(const Sig& s, Translation& t) {
    // CREATE [UNIQUE] INDEX name ON table (columns) [WITH IGNORE NULL]
    size_t i = 1;
    bool unique = false;
    if (word(s, i, "UNIQUE")) {
        unique = true;
        ++i;
    }
    ++i;  // INDEX
    std::string index = nameAt(s, i);
    if (index.empty() || !word(s, i + 1, "ON"))
        raise(3000, "Syntax error in CREATE INDEX statement: expected an index name and ON.", kSource);
    t.table = nameAt(s, i + 2);
    if (t.table.empty() || i + 3 >= s.size() || !s[i + 3]->group)
        raise(3000, "Syntax error in CREATE INDEX statement: expected a table and a column list.", kSource);
    std::vector<std::string> cols = nameList(*s[i + 3], "CREATE INDEX");
    std::vector<std::string> bare;
    for (const auto& part : splitCommas(s[i + 3]->kids)) bare.push_back(nameAt(significant(part), 0));
    size_t k = i + 4;
    enum { Plain, Primary, DisallowNull, IgnoreNull } with = Plain;
    if (word(s, k, "WITH")) {
        if (word(s, k + 1, "PRIMARY")) {
            with = Primary;
            k += 2;
        } else if (word(s, k + 1, "DISALLOW") && word(s, k + 2, "NULL")) {
            with = DisallowNull;
            k += 3;
        } else if (word(s, k + 1, "IGNORE") && word(s, k + 2, "NULL")) {
            with = IgnoreNull;
            k += 3;
        } else {
            raise(3000, "Syntax error in CREATE INDEX statement: WITH takes PRIMARY, DISALLOW NULL or IGNORE NULL.",
                  kSource);
        }
    }
    if (k < s.size() && !(k + 1 == s.size() && isPunct(*s[k], ";")))
        raise(3000, "Syntax error in CREATE INDEX statement: unexpected text after the column list.", kSource);
    std::string sql = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + quoteName(index) + " ON " +
                      quoteName(t.table) + " (" + joinNames(cols) + ")";
    if (with == IgnoreNull) {
        // Rows with a Null in the index's fields stay out of it (the index is partial).
        std::string where;
        for (const auto& c : bare) where += (where.empty() ? "" : " AND ") + quoteName(c) + " IS NOT NULL";
        sql += " WHERE " + where;
    } else if (with == Primary) {
        // SQLite's primary key is part of the table: the session rebuilds it.
        t.change.kind = TableChange::Kind::AddPrimaryKey;
        t.change.definition = "CONSTRAINT " + quoteName(index) + " PRIMARY KEY (" + joinNames(cols) + ")";
    } else if (with == DisallowNull) {
        t.change.kind = TableChange::Kind::RequiredIndex;
        t.change.definition = sql;
    }
    t.change.name = with == Plain || with == IgnoreNull ? std::string() : index;
    t.change.columns = bare;
    return with == Plain || with == IgnoreNull ? sql : std::string();
}

// ALTER TABLE t ADD [CONSTRAINT name] PRIMARY KEY | UNIQUE | FOREIGN KEY ... at s[i].
// A unique constraint is a unique index of that name; the others need the
// table rebuilt, which the session does.
std::string addConstraint(const std::vector<Node>& seq, const Sig& s, size_t i, Translation& t) {
    const size_t from = static_cast<size_t>(s[i] - seq.data());
    std::vector<Node> part(seq.begin() + static_cast<long>(from), seq.end());
    while (!part.empty() && (isBlank(part.back()) || isPunct(part.back(), ";"))) part.pop_back();
    Table scratch;
    scratch.name = t.table;
    readTableConstraint(part, scratch);
    Sig p = significant(part);
    // The bare names of the constraint's own column list.
    std::vector<std::string> columns;
    for (const Node* n : p)
        if (n->group) {
            for (const auto& item : splitCommas(n->kids)) columns.push_back(nameAt(significant(item), 0));
            break;
        }
    t.change.columns = columns;
    if (scratch.primary) {
        t.change.kind = TableChange::Kind::AddPrimaryKey;
        t.change.name = scratch.primary->name.empty() ? "PrimaryKey" : scratch.primary->name;
        t.change.definition = "CONSTRAINT " + quoteName(t.change.name) + " PRIMARY KEY (" +
                              joinNames(scratch.primary->columns) + ")";
        return {};
    }
    if (!scratch.uniques.empty()) {
        const KeyConstraint& u = scratch.uniques.front();
        if (u.name.empty()) alterError("a UNIQUE constraint added to a table needs a name (CONSTRAINT name UNIQUE)");
        return "CREATE UNIQUE INDEX " + quoteName(u.name) + " ON " + quoteName(t.table) + " (" + joinNames(u.columns) +
               ")";
    }
    ForeignKey& fk = scratch.foreignKeys.front();
    if (fk.name.empty()) fk.name = fk.table + t.table;
    t.change.kind = TableChange::Kind::AddForeignKey;
    t.change.name = fk.name;
    t.change.referencedTable = fk.table;
    t.change.definition = foreignKeyText(fk);
    return {};
}

std::string alterTable(const std::vector<Node>& seq, const Sig& s, ExprContext& ctx, Translation& t) {
    t.table = nameAt(s, 2);
    if (!word(s, 1, "TABLE") || t.table.empty()) alterError("expected ALTER TABLE and a table name");
    const std::string head = "ALTER TABLE " + quoteName(t.table);
    size_t i = 3;
    if (word(s, i, "ADD")) {
        ++i;
        if (word(s, i, "CONSTRAINT") || (word(s, i, "PRIMARY") && word(s, i + 1, "KEY")) ||
            (word(s, i, "FOREIGN") && word(s, i + 1, "KEY")) || (word(s, i, "UNIQUE") && i + 1 < s.size() && s[i + 1]->group))
            return addConstraint(seq, s, i, t);
        if (word(s, i, "COLUMN")) ++i;
        if (i >= s.size()) alterError("the column definition is missing");
        size_t from = static_cast<size_t>(s[i] - seq.data());
        std::vector<Node> part(seq.begin() + static_cast<long>(from), seq.end());
        while (!part.empty() && (isBlank(part.back()) || isPunct(part.back(), ";"))) part.pop_back();
        Table scratch;
        scratch.name = t.table;
        Column c = readColumn(part, scratch, ctx);
        if (c.counter) alterError("a COUNTER column cannot be added to an existing table");
        // SQLite fills existing rows at once and so takes only constant defaults here.
        if (c.expressionDefault) alterError("a DEFAULT expression cannot be given to a column added to a table");
        if (c.inlinePrimary || !scratch.uniques.empty())
            alterError("a PRIMARY KEY or UNIQUE column cannot be added to an existing table");
        std::string sql = head + " ADD COLUMN " + quoteName(c.name) + " " + c.type + c.modifiers;
        for (auto& fk : scratch.foreignKeys) {
            if (!fk.name.empty()) sql += " CONSTRAINT " + quoteName(fk.name);
            sql += " REFERENCES " + quoteName(fk.table);
            if (!fk.refColumns.empty()) sql += " (" + joinNames(fk.refColumns) + ")";
            sql += fk.actions;
        }
        return sql;
    }
    if (word(s, i, "DROP")) {
        ++i;
        if (word(s, i, "CONSTRAINT")) {
            std::string name = nameAt(s, i + 1);
            if (name.empty() || (i + 2 < s.size() && !(i + 3 == s.size() && isPunct(*s[i + 2], ";"))))
                alterError("expected DROP CONSTRAINT and one constraint name");
            t.change.kind = TableChange::Kind::DropConstraint;
            t.change.name = name;
            return {};
        }
        if (word(s, i, "COLUMN")) ++i;
        std::string col = nameAt(s, i);
        if (col.empty() || (i + 1 < s.size() && !(i + 2 == s.size() && isPunct(*s[i + 1], ";"))))
            alterError("expected DROP COLUMN and one column name");
        return head + " DROP COLUMN " + quoteName(col);
    }
    if (word(s, i, "ALTER")) {
        ++i;
        if (word(s, i, "COLUMN")) ++i;
        if (i >= s.size()) alterError("the column definition is missing");
        size_t from = static_cast<size_t>(s[i] - seq.data());
        std::vector<Node> part(seq.begin() + static_cast<long>(from), seq.end());
        while (!part.empty() && (isBlank(part.back()) || isPunct(part.back(), ";"))) part.pop_back();
        Table scratch;
        scratch.name = t.table;
        Column c = readColumn(part, scratch, ctx);
        if (c.counter) alterError("a column cannot be changed to a COUNTER");
        if (c.inlinePrimary || c.unique || !scratch.uniques.empty() || !scratch.foreignKeys.empty())
            alterError("ALTER COLUMN changes the type, size, NOT NULL and DEFAULT; add keys with ADD CONSTRAINT");
        if (c.expressionDefault) alterError("a DEFAULT expression cannot be given to a column of a table with rows");
        t.change.kind = TableChange::Kind::AlterColumn;
        t.change.name = c.name;
        t.change.type = c.type;
        t.change.textColumn = c.text;
        t.change.notNull = c.notNull;
        t.change.defaultValue = c.defaultClause;
        return {};
    }
    alterError("expected ADD, DROP or ALTER");
}

}  // namespace

void translateDdl(const std::vector<Node>& seq, ExprContext& ctx, Translation& t) {
    Sig s = significant(seq);
    if (word(s, 0, "CREATE")) {
        if (word(s, 1, "TABLE")) {
            t.kind = StatementKind::CreateTable;
            t.sql = createTable(s, ctx, t);
            return;
        }
        if (word(s, 1, "INDEX") || (word(s, 1, "UNIQUE") && word(s, 2, "INDEX"))) {
            t.kind = StatementKind::CreateIndex;
            t.sql = createIndex(s, t);
            return;
        }
        raise(3000, "Syntax error: CREATE " + (s.size() > 1 && !s[1]->group ? s[1]->tok->text : std::string()) +
                        " is not supported; expected CREATE TABLE or CREATE INDEX.",
              kSource);
    }
    if (word(s, 0, "DROP")) {
        std::string name = nameAt(s, 2);
        if (name.empty()) dropError("the name is missing");
        size_t end = s.size();
        if (end > 0 && isPunct(*s[end - 1], ";")) --end;
        if (word(s, 1, "TABLE")) {
            if (end != 3) dropError("unexpected text after the table name");
            t.kind = StatementKind::DropTable;
            t.table = name;
            t.sql = "DROP TABLE " + quoteName(name);
            return;
        }
        if (word(s, 1, "INDEX")) {
            // The dialect names the table; SQLite index names are unique per file.
            if (end == 5 && word(s, 3, "ON") && !nameAt(s, 4).empty())
                t.table = nameAt(s, 4);
            else if (end != 3)
                dropError("expected DROP INDEX name ON table");
            t.kind = StatementKind::DropIndex;
            t.sql = "DROP INDEX " + quoteName(name);
            // The session also drops a primary key of that name, and what an index WITH DISALLOW NULL adds.
            t.change.kind = TableChange::Kind::DropConstraint;
            t.change.name = name;
            return;
        }
        dropError("expected TABLE or INDEX");
    }
    t.kind = StatementKind::AlterTable;
    t.sql = alterTable(seq, s, ctx, t);
}

}  // namespace dalvera::jet::detail
