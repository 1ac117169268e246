// UPDATE and DELETE over joins. SQLite changes one table per statement, so
// the join runs as a subquery that names the target's rows by rowid:
//   UPDATE t SET c = j.v1 FROM (SELECT t.rowid AS dv_sys_rowid, <value> AS v1
//                               FROM <join> WHERE ...) AS j WHERE t.rowid = j.dv_sys_rowid
//   DELETE FROM t WHERE t.rowid IN (SELECT t.rowid FROM <join> WHERE ...)
// Each target row is changed once, and only the target's rows count as affected.
#include <deque>
#include <set>

#include "platform/jet/sql/Ddl.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::jet::detail {

namespace {

constexpr const char* kSource = "Jet SQL";

struct TableRef {
    std::string table;  // empty for a subquery
    std::string alias;
    bool nullable = false;  // on the outer side of a LEFT or RIGHT join
};

std::string nameOf(const Node& n) {
    if (n.group || (n.tok->kind != Tok::Word && n.tok->kind != Tok::Name)) return {};
    return n.tok->text;
}

bool isJoinWord(const Node& n) {
    static const std::set<std::string> words = {"INNER", "LEFT", "RIGHT", "OUTER", "JOIN", "ON",  "CROSS",
                                                "FULL",  "SET",  "WHERE", "FROM",  "AS",   "ORDER"};
    return !n.group && n.tok->kind == Tok::Word && words.count(upperAscii(n.tok->text)) > 0;
}

bool isSubquery(const Node& n) {
    size_t f = nextSignificant(n.kids, 0);
    return n.group && f < n.kids.size() && isWord(n.kids[f], "SELECT");
}

// The tables a FROM part names, with their aliases and which ones a LEFT or
// RIGHT join may leave without a row.
void collectTables(const std::vector<Node>& seq, std::vector<TableRef>& out) {
    bool expectTable = true;
    std::string joinSide;  // "LEFT" / "RIGHT" before the pending JOIN
    for (size_t i = nextSignificant(seq, 0); i < seq.size(); i = nextSignificant(seq, i + 1)) {
        const Node& n = seq[i];
        if (!expectTable) {
            size_t next = nextSignificant(seq, i + 1);
            bool call = next < seq.size() && seq[next].group;  // Left(...) in an ON condition
            if ((isWord(n, "LEFT") || isWord(n, "RIGHT")) && !call) joinSide = upperAscii(n.tok->text);
            if (isWord(n, "INNER")) joinSide.clear();
            if (isWord(n, "JOIN") || isPunct(n, ",")) {
                expectTable = true;
                if (joinSide == "RIGHT")
                    for (auto& r : out) r.nullable = true;
            }
            continue;
        }
        size_t before = out.size();
        if (n.group && !isSubquery(n)) {
            collectTables(n.kids, out);
        } else {
            TableRef ref;
            ref.table = n.group ? std::string() : nameOf(n);
            size_t a = nextSignificant(seq, i + 1);
            if (a < seq.size() && isWord(seq[a], "AS")) a = nextSignificant(seq, a + 1);
            if (a < seq.size() && !isJoinWord(seq[a]) && !nameOf(seq[a]).empty()) {
                ref.alias = nameOf(seq[a]);
                i = a;
            }
            out.push_back(ref);
        }
        if (joinSide == "LEFT")
            for (size_t k = before; k < out.size(); ++k) out[k].nullable = true;
        joinSide.clear();
        expectTable = false;
    }
}

// The reference a qualifier names: an alias, else a table named once.
const TableRef* byQualifier(const std::vector<TableRef>& refs, const std::string& q) {
    for (const auto& r : refs)
        if (!r.alias.empty() && equalsNoCase(r.alias, q)) return &r;
    const TableRef* found = nullptr;
    for (const auto& r : refs)
        if (r.alias.empty() && !r.table.empty() && equalsNoCase(r.table, q)) {
            if (found) return nullptr;
            found = &r;
        }
    return found;
}

std::string refName(const TableRef& r) { return quoteName(r.alias.empty() ? r.table : r.alias); }

std::vector<Node> slice(const std::vector<Node>& seq, size_t from, size_t to) {
    return std::vector<Node>(seq.begin() + static_cast<long>(from), seq.begin() + static_cast<long>(to));
}


size_t topLevel(const std::vector<Node>& seq, size_t from, std::string_view word) {
    for (size_t i = from; i < seq.size(); ++i)
        if (isWord(seq[i], word)) return i;
    return seq.size();
}

}  // namespace

bool isJoinSource(const std::vector<Node>& seq, size_t from, size_t to) {
    for (size_t i = from; i < to && i < seq.size(); ++i)
        if (isWord(seq[i], "JOIN") || isPunct(seq[i], ",") || (seq[i].group && !isSubquery(seq[i]))) return true;
    return false;
}

void translateJoinUpdate(const std::vector<Node>& seqIn, ExprContext& ctx, const ColumnLookup& columns,
                         Translation& t) {
    std::deque<Token> made;
    std::vector<Node> seq = withoutComments(seqIn, made);
    const size_t verb = nextSignificant(seq, 0);
    const size_t set = topLevel(seq, verb + 1, "SET");
    if (set >= seq.size()) raise(3144, "Syntax error in UPDATE statement.", kSource);
    const size_t where = topLevel(seq, set + 1, "WHERE");
    std::vector<Node> source = slice(seq, verb + 1, set);
    std::vector<TableRef> refs;
    collectTables(source, refs);
    if (refs.empty()) raise(3144, "Syntax error in UPDATE statement.", kSource);

    struct Assignment {
        const TableRef* ref = nullptr;
        std::string column;
        std::vector<Node> value;
    };
    std::vector<Assignment> list;
    std::vector<Node> part;
    auto take = [&] {
        std::vector<size_t> sig;
        for (size_t k = 0; k < part.size(); ++k)
            if (!isBlank(part[k])) sig.push_back(k);
        size_t eq = 0;
        while (eq < sig.size() && !isPunct(part[sig[eq]], "=")) ++eq;
        Assignment a;
        if (eq == 1) {
            a.column = nameOf(part[sig[0]]);
            // A field without its table belongs to the one table that has it.
            std::vector<const TableRef*> owners;
            if (columns)
                for (const auto& r : refs) {
                    if (r.table.empty()) continue;
                    for (const auto& c : columns(r.table))
                        if (equalsNoCase(c.name, a.column)) owners.push_back(&r);
                }
            if (owners.size() > 1)
                raise(3079,
                      "The specified field '" + a.column +
                          "' could refer to more than one table listed in the FROM clause of your SQL statement.",
                      kSource);
            a.ref = owners.empty() ? &refs.front() : owners.front();
        } else if (eq == 3 && (isPunct(part[sig[1]], ".") || isPunct(part[sig[1]], "!"))) {
            a.column = nameOf(part[sig[2]]);
            a.ref = byQualifier(refs, nameOf(part[sig[0]]));
            if (!a.ref && !a.column.empty())
                raise(3061, "Too few parameters. Expected 1. '" + nameOf(part[sig[0]]) + "." + a.column +
                                "' is not a field of the statement's tables.",
                      kSource);
        }
        if (a.column.empty() || eq + 1 >= sig.size()) raise(3144, "Syntax error in UPDATE statement.", kSource);
        a.value = slice(part, sig[eq] + 1, part.size());
        list.push_back(std::move(a));
        part.clear();
    };
    for (size_t i = set + 1; i < where; ++i) {
        if (isPunct(seq[i], ",")) take();
        else part.push_back(seq[i]);
    }
    take();
    const TableRef* target = list.front().ref;
    for (const auto& a : list)
        if (a.ref != target)
            raise(3073, "Operation must use an updatable query. One UPDATE changes the fields of one table only.",
                  kSource);
    if (target->table.empty())
        raise(3073, "Operation must use an updatable query. The rows of a subquery cannot be changed.", kSource);
    if (target->nullable)
        raise(3073,
              "Operation must use an updatable query. The table '" + target->table +
                  "' is on the outer side of its join; change the join or the table.",
              kSource);
    t.table = target->table;
    std::vector<StoreColumn> kinds;
    if (columns) kinds = columns(t.table);

    // In the order of the text, so that positional parameters keep their numbers.
    std::string from = trimBlanks(translateSeq(source, ctx));
    std::string select = "SELECT " + refName(*target) + ".rowid AS dv_sys_rowid";
    std::string assignments;
    for (size_t i = 0; i < list.size(); ++i) {
        std::string v = "v" + std::to_string(i + 1);
        select += ", " + trimBlanks(translateSeq(list[i].value, ctx)) + " AS " + v;
        StoreKind kind = StoreKind::Any;
        for (const auto& c : kinds)
            if (equalsNoCase(c.name, list[i].column)) kind = c.kind;
        std::string value = "dv_sys_join." + v;
        if (kind != StoreKind::Any)
            value = "jet_store(" + value + ", " + std::to_string(static_cast<int>(kind)) + ", " + quoteString(t.table) +
                    ", " + quoteString(list[i].column) + ")";
        assignments += (i ? ", " : "") + quoteName(list[i].column) + " = " + value;
    }
    std::string condition;
    if (where < seq.size()) condition = " " + trimBlanks(translateSeq(slice(seq, where, seq.size()), ctx));
    t.sql = "UPDATE " + quoteName(t.table) + " SET " + assignments + " FROM (" + select + " FROM " + from + condition +
            ") AS dv_sys_join WHERE " + quoteName(t.table) + ".rowid = dv_sys_join.dv_sys_rowid";
}

void translateJoinDelete(const std::vector<Node>& seqIn, ExprContext& ctx, Translation& t) {
    std::deque<Token> made;
    std::vector<Node> seq = withoutComments(seqIn, made);
    const size_t verb = nextSignificant(seq, 0);
    const size_t from = topLevel(seq, verb + 1, "FROM");
    const size_t where = topLevel(seq, from + 1, "WHERE");
    // DELETE [DISTINCTROW] t.* FROM ...: the table to delete from.
    std::string qualifier;
    for (size_t i = verb + 1; i < from; ++i) {
        if (isBlank(seq[i]) || isWord(seq[i], "DISTINCTROW") || isPunct(seq[i], "*") || isPunct(seq[i], ",")) continue;
        size_t dot = nextSignificant(seq, i + 1);
        if (!nameOf(seq[i]).empty() && dot < from && (isPunct(seq[dot], ".") || isPunct(seq[dot], "!"))) {
            if (!qualifier.empty())
                raise(3128, "Specify the table containing the records you want to delete.", kSource);
            qualifier = nameOf(seq[i]);
            i = dot;
            continue;
        }
        raise(3000, "Syntax error in DELETE statement: only *, table.* or nothing may stand before FROM.", kSource);
    }
    std::vector<Node> source = slice(seq, from + 1, where);
    std::vector<TableRef> refs;
    collectTables(source, refs);
    if (qualifier.empty()) raise(3128, "Specify the table containing the records you want to delete.", kSource);
    const TableRef* target = byQualifier(refs, qualifier);
    if (!target || target->table.empty()) raise(3086, "Could not delete from specified tables.", kSource);
    t.table = target->table;
    std::string condition;
    std::string join = trimBlanks(translateSeq(source, ctx));
    if (where < seq.size()) condition = " " + trimBlanks(translateSeq(slice(seq, where, seq.size()), ctx));
    t.sql = "DELETE FROM " + quoteName(t.table) + " WHERE " + quoteName(t.table) + ".rowid IN (SELECT " +
            refName(*target) + ".rowid FROM " + join + condition + ")";
}

}  // namespace dalvera::jet::detail
