#include "platform/access/QueryText.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "host/Dao.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::access {

namespace {

namespace q = host::dao::query;

// Attributes of MSysQueries rows.
enum Attr {
    Start = 0, Type = 1, Parameter = 2, Flags = 3, RemoteDb = 4, Table = 5, Column = 6, Join = 7, Where = 8,
    GroupBy = 9, Having = 10, OrderBy = 11, End = 255
};
// Flags of attribute 3.
constexpr int SelectStar = 0x1, Distinct = 0x2, OwnerAccess = 0x4, DistinctRow = 0x8, Top = 0x10, Percent = 0x20;
// Flags of attribute 3 on a union query.
constexpr int UnionAll = 0x1;

const char* parameterType(int daoType) {
    switch (daoType) {
    case 1: return "Bit";
    case 2: return "Byte";
    case 3: return "Short";
    case 4: return "Long";
    case 5: return "Currency";
    case 6: return "IEEESingle";
    case 7: return "IEEEDouble";
    case 8: return "DateTime";
    case 9: return "Binary";
    case 11: return "LongBinary";
    case 12: return "Memo";
    case 15: return "Guid";
    case 20: return "Decimal";
    default: return "Text ( 255 )";
    }
}

std::string joinList(const std::vector<std::string>& items) {
    std::string r;
    for (size_t i = 0; i < items.size(); ++i) r += (i ? ", " : "") + items[i];
    return r;
}

// The FROM clause: tables, aliases and subqueries, with the joins nested as
// the rows chain them; tables no join names stay in a comma list.
std::string fromClause(const std::vector<const QueryRow*>& tables, const std::vector<const QueryRow*>& joins) {
    struct Item {
        std::set<std::string> names;  // lower-cased names and aliases it holds
        std::string text;
        bool join = false;
        std::string lastPair;  // the two names of its last join, for conditions added to it
    };
    std::vector<Item> items;
    for (const auto* t : tables) {
        Item it;
        std::string shown;
        if (!t->expression.empty()) {
            shown = "(" + trimBlanks(t->expression) + ")";
        } else {
            shown = jetName(t->name1);
        }
        if (!t->name2.empty()) shown += " AS " + jetName(t->name2);
        it.names.insert(lowerAscii(t->name2.empty() ? t->name1 : t->name2));
        it.text = shown;
        items.push_back(std::move(it));
    }
    auto find = [&](const std::string& name) -> int {
        std::string n = lowerAscii(name);
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].names.count(n)) return static_cast<int>(i);
        return -1;
    };
    for (const auto* j : joins) {
        int l = find(j->name1), r = find(j->name2);
        std::string pair = lowerAscii(j->name1) + "\x1f" + lowerAscii(j->name2);
        if (l < 0 || r < 0) continue;
        if (l == r) {
            // A second condition between tables already joined: Access keeps one row per condition.
            Item& it = items[static_cast<size_t>(l)];
            if (it.join) {
                auto on = it.text.rfind(" ON ");
                if (on != std::string::npos) {
                    std::string cond = it.text.substr(on + 4);
                    if (cond.front() != '(' || cond.find(") AND (") == std::string::npos)
                        cond = "(" + cond + ")";
                    it.text = it.text.substr(0, on) + " ON " + cond + " AND (" + j->expression + ")";
                }
            }
            continue;
        }
        const char* kind = j->flag == 2 ? " LEFT JOIN " : j->flag == 3 ? " RIGHT JOIN " : " INNER JOIN ";
        Item left = items[static_cast<size_t>(l)], right = items[static_cast<size_t>(r)];
        Item merged;
        merged.names = left.names;
        merged.names.insert(right.names.begin(), right.names.end());
        merged.join = true;
        merged.lastPair = pair;
        merged.text = (left.join ? "(" + left.text + ")" : left.text) + kind +
                      (right.join ? "(" + right.text + ")" : right.text) + " ON " + j->expression;
        int lo = std::min(l, r), hi = std::max(l, r);
        items.erase(items.begin() + hi);
        items[static_cast<size_t>(lo)] = std::move(merged);
    }
    std::vector<std::string> parts;
    for (auto& it : items) parts.push_back(it.text);
    return joinList(parts);
}

}  // namespace

std::string jetName(const std::string& name) {
    bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) plain = false;
    return plain ? name : "[" + name + "]";
}

RebuiltQuery rebuildQuery(const std::string& name, std::vector<QueryRow> rows) {
    // Within an attribute the rows follow their sort key, not their storage order.
    std::stable_sort(rows.begin(), rows.end(), [](const QueryRow& a, const QueryRow& b) {
        if (a.attribute != b.attribute) return a.attribute < b.attribute;
        return a.order < b.order;
    });
    const QueryRow* type = nullptr;
    const QueryRow* flags = nullptr;
    std::vector<const QueryRow*> params, tables, columns, joins, groups, orders;
    std::string where, having, remote;
    for (const auto& r : rows) {
        switch (r.attribute) {
        case Type: type = &r; break;
        case Parameter: params.push_back(&r); break;
        case Flags: flags = &r; break;
        case RemoteDb: remote = r.name1.empty() ? r.expression : r.name1; break;
        case Table: tables.push_back(&r); break;
        case Column: columns.push_back(&r); break;
        case Join: joins.push_back(&r); break;
        case Where: where = r.expression; break;
        case GroupBy: groups.push_back(&r); break;
        case Having: having = r.expression; break;
        case OrderBy: orders.push_back(&r); break;
        default: break;
        }
    }
    if (!type) raise(3343, "The saved query '" + name + "' is damaged: it has no type.", "DAO.QueryDefs");
    RebuiltQuery out;
    const int kind = type->flag;
    const int f = flags ? flags->flag : 0;

    std::string head;
    if (!params.empty()) {
        std::vector<std::string> p;
        for (const auto* r : params) p.push_back(jetName(r->name1) + " " + parameterType(r->flag));
        head = "PARAMETERS " + joinList(p) + ";\n";
    }
    std::vector<std::string> orderItems;
    for (const auto* r : orders)
        orderItems.push_back(r->expression + (equalsNoCase(r->name1, "D") ? " DESC" : ""));
    const std::string orderBy = orderItems.empty() ? "" : "\nORDER BY " + joinList(orderItems);

    auto selectHead = [&]() {
        std::string s = "SELECT ";
        if (f & DistinctRow) s += "DISTINCTROW ";
        else if (f & Distinct) s += "DISTINCT ";
        if (f & Top) s += "TOP " + (flags->name1.empty() ? std::string("100") : flags->name1) + ((f & Percent) ? " PERCENT " : " ");
        return s;
    };
    auto tail = [&](bool withGroups, const std::vector<const QueryRow*>& groupRows) {
        std::string s;
        if (!tables.empty()) {
            s += "\nFROM " + fromClause(tables, joins);
            if (!remote.empty()) s += " IN '" + replaceAll(remote, "'", "''") + "'";
        }
        if (!where.empty()) s += "\nWHERE " + where;
        if (withGroups && !groupRows.empty()) {
            std::vector<std::string> g;
            for (const auto* r : groupRows) g.push_back(r->expression);
            s += "\nGROUP BY " + joinList(g);
        }
        if (!having.empty()) s += "\nHAVING " + having;
        return s;
    };
    auto columnText = [](const QueryRow* r) {
        return r->expression + (r->name1.empty() ? "" : " AS " + jetName(r->name1));
    };
    auto selectList = [&](const std::vector<const QueryRow*>& cols) {
        std::vector<std::string> c;
        if (f & SelectStar) c.emplace_back("*");
        for (const auto* r : cols) c.push_back(columnText(r));
        return c.empty() ? std::string("*") : joinList(c);
    };

    switch (kind) {
    case 1:  // select
        out.type = q::Select;
        out.sql = head + selectHead() + selectList(columns) + tail(true, groups) + orderBy;
        break;
    case 2: {  // make-table
        out.type = q::MakeTable;
        std::string into = "\nINTO " + jetName(type->name1);
        if (!type->expression.empty()) into += " IN '" + replaceAll(type->expression, "'", "''") + "'";
        out.sql = head + selectHead() + selectList(columns) + into + tail(true, groups) + orderBy;
        break;
    }
    case 3: {  // append
        out.type = q::Append;
        std::vector<std::string> targets, values;
        for (const auto* r : columns) {
            values.push_back(columnText(r));
            if (!r->name2.empty()) targets.push_back(r->name2);
        }
        std::string into = "INSERT INTO " + jetName(type->name1);
        if (!type->expression.empty()) into += " IN '" + replaceAll(type->expression, "'", "''") + "'";
        if (!targets.empty() && targets.size() == values.size()) into += " ( " + joinList(targets) + " )";
        out.sql = head + into + "\n" + selectHead() + (values.empty() ? std::string("*") : joinList(values)) +
                  tail(true, groups) + orderBy;
        break;
    }
    case 4: {  // update
        out.type = q::Update;
        std::vector<std::string> sets;
        for (const auto* r : columns) sets.push_back(r->name2 + " = " + r->expression);
        out.sql = head + "UPDATE " + fromClause(tables, joins) + " SET " + joinList(sets);
        if (!where.empty()) out.sql += "\nWHERE " + where;
        break;
    }
    case 5: {  // delete
        out.type = q::Delete;
        // A delete removes whole rows whatever fields it names; Access keeps the
        // fields of its designer, the engine reads "table.*".
        std::set<std::string> owners;
        std::vector<std::string> c;
        for (const auto* r : columns) {
            c.push_back(r->expression);
            auto dot = r->expression.rfind('.');
            owners.insert(dot == std::string::npos ? std::string() : lowerAscii(r->expression.substr(0, dot)));
        }
        std::string what = "*";
        if (owners.size() == 1 && !owners.begin()->empty()) {
            auto dot = columns.front()->expression.rfind('.');
            what = columns.front()->expression.substr(0, dot) + ".*";
        } else if (!c.empty()) {
            what = joinList(c);
        }
        out.sql = head + "DELETE " + what + tail(false, {});
        break;
    }
    case 6: {  // crosstab: value (flag 0), pivot (1), row headings (2)
        out.type = q::Crosstab;
        const QueryRow* value = nullptr;
        const QueryRow* pivot = nullptr;
        std::vector<const QueryRow*> heads, rowGroups;
        for (const auto* r : columns) {
            if (r->flag == 1) pivot = r;
            else if (r->flag == 2) heads.push_back(r);
            else value = r;
        }
        for (const auto* r : groups)
            if (r->flag != 1) rowGroups.push_back(r);
        if (!value || !pivot) raise(3343, "The crosstab query '" + name + "' is damaged: it has no value or no column heading.", "DAO.QueryDefs");
        std::vector<std::string> h;
        for (const auto* r : heads) h.push_back(columnText(r));
        out.sql = head + "TRANSFORM " + columnText(value) + "\n" + selectHead() + (h.empty() ? "*" : joinList(h)) +
                  tail(true, rowGroups) + orderBy + "\nPIVOT " + pivot->expression;
        break;
    }
    case 7:  // data definition
        out.type = q::DDL;
        out.sql = type->expression;
        break;
    case 8:  // pass-through
        out.type = q::PassThrough;
        out.sql = type->expression;
        out.connect = type->name1;
        break;
    case 9: {  // union: the parts are kept as texts, in table rows
        out.type = q::SetOperation;
        std::vector<std::string> parts;
        for (const auto* r : tables)
            if (!r->expression.empty()) parts.push_back(trimBlanks(r->expression));
        if (parts.size() < 2) raise(3343, "The union query '" + name + "' is damaged: it has fewer than two parts.", "DAO.QueryDefs");
        std::string sql;
        for (size_t i = 0; i < parts.size(); ++i)
            sql += i ? ((f & UnionAll) ? "\nUNION ALL " : "\nUNION ") + parts[i] : parts[i];
        out.sql = head + sql + orderBy;
        break;
    }
    default:
        raise(3343, "The saved query '" + name + "' has a type this program does not know (" + std::to_string(kind) + ").",
              "DAO.QueryDefs");
    }
    (void)OwnerAccess;
    if (!out.sql.empty() && out.sql.back() != ';' && kind != 7 && kind != 8) out.sql += ";";
    return out;
}

}  // namespace dalvera::access
