// TRANSFORM ... PIVOT: a crosstab. Each pivot value becomes a column whose
// aggregates take only that value's rows (SQLite's FILTER clause); the values
// themselves come from the data, so the statement is finished by crosstabSql
// once the session has run the values query.
#include <cmath>
#include <cstdio>
#include <deque>
#include <set>

#include "platform/jet/sql/Ddl.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace detail {

// Comments become blanks: the pieces are put together in another order, and a
// "--" comment would swallow what follows it.
std::vector<Node> withoutComments(const std::vector<Node>& seq, std::deque<Token>& made) {
    std::vector<Node> out;
    for (const Node& n : seq) {
        Node c = n;
        if (n.group) {
            c.kids = withoutComments(n.kids, made);
        } else if (n.tok->kind == Tok::Comment) {
            made.push_back(Token{Tok::Space, " ", n.tok->pos});
            c.tok = &made.back();
        }
        out.push_back(std::move(c));
    }
    return out;
}


namespace {

constexpr const char* kSource = "Jet SQL";
// Where a column's condition goes in the value expression; no translated text holds it.
const std::string kCondition = "\x1f" "dv_pivot_condition" "\x1f";

[[noreturn]] void crosstabError(const std::string& detail) {
    raise(3000, "Syntax error in TRANSFORM statement: " + detail + ".", kSource);
}

bool isAggregate(const Node& n) {
    static const std::set<std::string> names = {"SUM",   "AVG",  "COUNT", "MIN",    "MAX", "FIRST",
                                                "LAST",  "STDEV", "STDEVP", "VAR",  "VARP"};
    return !n.group && n.tok->kind == Tok::Word && names.count(upperAscii(n.tok->text)) > 0;
}

bool isSubquery(const Node& n) {
    size_t f = nextSignificant(n.kids, 0);
    return n.group && f < n.kids.size() && isWord(n.kids[f], "SELECT");
}

// The value expression with each aggregate call replaced by one word holding
// its SQLite text with a FILTER for the column's condition.
std::vector<Node> filterAggregates(const std::vector<Node>& seq, ExprContext& ctx, std::deque<Token>& made,
                                   int& count) {
    std::vector<Node> out;
    for (size_t i = 0; i < seq.size(); ++i) {
        const Node& n = seq[i];
        if (n.group) {
            Node g = n;
            if (!isSubquery(n)) g.kids = filterAggregates(n.kids, ctx, made, count);
            out.push_back(std::move(g));
            continue;
        }
        size_t j = nextSignificant(seq, i + 1);
        if (isAggregate(n) && j < seq.size() && seq[j].group) {
            std::string call = n.tok->text + "(" + translateSeq(seq[j].kids, ctx) + ") FILTER (WHERE " + kCondition + ")";
            made.push_back(Token{Tok::Word, call, n.tok->pos});
            Node w;
            w.tok = &made.back();
            out.push_back(std::move(w));
            ++count;
            i = j;
            continue;
        }
        out.push_back(n);
    }
    return out;
}


std::vector<Node> slice(const std::vector<Node>& seq, size_t from, size_t to) {
    return std::vector<Node>(seq.begin() + static_cast<long>(from), seq.begin() + static_cast<long>(to));
}

std::string trimmed(const std::string& s) { return trimBlanks(s); }

// The column name an IN list entry gives: the text as written, a date as the engine shows it.
std::string entryName(const std::vector<Node>& part) {
    std::string name;
    for (const Node& n : part) {
        if (isBlank(n)) continue;
        if (n.group) crosstabError("a value of the IN list must be a constant");
        if (n.tok->kind == Tok::Date) {
            double serial = 0;
            storageToDate(n.tok->text, serial);
            name += formatDateDefault(serial);
        } else {
            name += n.tok->text;
        }
    }
    return name;
}

}  // namespace

void translateCrosstab(const std::vector<Node>& seqIn, ExprContext& ctx, Translation& t) {
    std::deque<Token> made;
    std::vector<Node> seq = withoutComments(seqIn, made);
    while (!seq.empty() && (isBlank(seq.back()) || isPunct(seq.back(), ";"))) seq.pop_back();
    size_t lead = nextSignificant(seq, 0);
    size_t sel = seq.size(), pivot = seq.size();
    for (size_t i = lead + 1; i < seq.size(); ++i) {
        if (sel == seq.size() && isWord(seq[i], "SELECT")) sel = i;
        if (sel != seq.size() && isWord(seq[i], "PIVOT")) pivot = i;
    }
    if (sel == seq.size()) crosstabError("SELECT is missing");
    if (pivot == seq.size()) crosstabError("PIVOT is missing");
    size_t from = seq.size(), where = pivot, group = pivot, having = pivot, order = pivot;
    for (size_t i = sel + 1; i < pivot; ++i) {
        if (isWord(seq[i], "FROM") && from == seq.size()) from = i;
        if (isWord(seq[i], "WHERE") && where == pivot) where = i;
        if (isWord(seq[i], "GROUP") && group == pivot) group = i;
        if (isWord(seq[i], "HAVING") && having == pivot) having = i;
        if (isWord(seq[i], "ORDER") && order == pivot) order = i;
        if (isWord(seq[i], "INTO") || isWord(seq[i], "UNION"))
            crosstabError(seq[i].tok->text + " cannot be part of a crosstab query");
    }
    if (from == seq.size()) crosstabError("FROM is missing");
    size_t afterSelect = nextSignificant(seq, sel + 1);
    if (afterSelect < from && (isWord(seq[afterSelect], "DISTINCT") || isWord(seq[afterSelect], "DISTINCTROW")))
        afterSelect = nextSignificant(seq, afterSelect + 1);
    if (afterSelect < from && isWord(seq[afterSelect], "TOP")) crosstabError("TOP cannot be part of a crosstab query");
    if (afterSelect >= from) crosstabError("the row headings are missing");
    const size_t sourceEnd = std::min({group, having, order});

    Crosstab& c = t.crosstab;
    c.present = true;
    // In the order of the text, so that positional parameters keep their numbers.
    int aggregates = 0;
    std::string value = trimmed(translateSeq(filterAggregates(slice(seq, lead + 1, sel), ctx, made, aggregates), ctx));
    if (aggregates == 0)
        raise(3122,
              "You tried to execute a query that does not include the specified expression '" + value +
                  "' as part of an aggregate function.",
              kSource);
    for (size_t p = 0;;) {
        size_t q = value.find(kCondition, p);
        c.valueParts.push_back(value.substr(p, q == std::string::npos ? std::string::npos : q - p));
        if (q == std::string::npos) break;
        p = q + kCondition.size();
    }
    if (c.valueParts.size() != static_cast<size_t>(aggregates) + 1) crosstabError("the value expression cannot be read");

    std::vector<Node> head = slice(seq, sel, from);
    c.select = trimmed(translateSeq(head, ctx));
    c.headings = 1;
    for (const Node& n : head)
        if (isPunct(n, ",")) ++c.headings;
    c.source = " " + trimmed(translateSeq(slice(seq, from, sourceEnd), ctx));
    std::string groupList;
    if (group < pivot) {
        size_t by = nextSignificant(seq, group + 1);
        if (by >= pivot || !isWord(seq[by], "BY")) crosstabError("GROUP needs BY");
        groupList = trimmed(translateSeq(slice(seq, by + 1, std::min(having, order)), ctx));
        c.rest = " GROUP BY " + groupList;
    }
    if (having < pivot) c.rest += " " + trimmed(translateSeq(slice(seq, having, order), ctx));
    // Rows come in the order of their headings unless the statement orders them.
    if (order < pivot) c.rest += " " + trimmed(translateSeq(slice(seq, order, pivot), ctx));
    else if (!groupList.empty()) c.rest += " ORDER BY " + groupList;

    size_t in = seq.size();
    for (size_t i = pivot + 1; i < seq.size(); ++i)
        if (isWord(seq[i], "IN")) in = i;
    c.pivot = trimmed(translateSeq(slice(seq, pivot + 1, in), ctx));
    if (c.pivot.empty()) crosstabError("PIVOT needs an expression");
    if (in < seq.size()) {
        size_t list = nextSignificant(seq, in + 1);
        if (list >= seq.size() || !seq[list].group || nextSignificant(seq, list + 1) < seq.size())
            crosstabError("IN needs a list of values in parentheses");
        std::vector<Node> entry;
        auto take = [&] {
            std::string text = trimmed(translateSeq(entry, ctx));
            if (text.empty()) crosstabError("an empty value in the IN list");
            c.fixedValues.push_back(text);
            c.fixedNames.push_back(entryName(entry));
            entry.clear();
        };
        for (const Node& n : seq[list].kids) {
            if (isPunct(n, ",")) take();
            else entry.push_back(n);
        }
        take();
    } else {
        c.valuesSql = "SELECT DISTINCT " + c.pivot + c.source + " ORDER BY 1";
    }
}

}  // namespace detail

namespace {

// SQLite text that reads back as exactly this value.
std::string literalOf(const Variant& v) {
    char buf[40];
    switch (v.type()) {
    case VarType::Null:
    case VarType::Empty: return "NULL";
    case VarType::LongLong:
    case VarType::Long:
    case VarType::Integer:
    case VarType::Byte: return std::to_string(v.toLongLong());
    case VarType::Double:
    case VarType::Single: {
        double d = v.toDouble();
        if (std::isinf(d)) return d > 0 ? "9e999" : "-9e999";
        std::snprintf(buf, sizeof buf, "%.17g", d);
        std::string s = buf;
        if (s.find_first_of(".e") == std::string::npos) s += ".0";
        return s;
    }
    case VarType::ByteArray: {
        std::string hex = "X'";
        for (uint8_t b : v.bytes()) {
            std::snprintf(buf, sizeof buf, "%02X", b);
            hex += buf;
        }
        return hex + "'";
    }
    default: return detail::quoteString(v.text());
    }
}

// The column a pivot value names: the value as the engine shows it, "<>" for Null.
std::string headingOf(const Variant& v) {
    switch (v.type()) {
    case VarType::Null:
    case VarType::Empty: return "<>";
    case VarType::Double:
    case VarType::Single: return formatDouble(v.toDouble());
    case VarType::ByteArray: return literalOf(v);
    case VarType::String: {
        double serial = 0;
        if (canonicalStorageDate(v.stringRef(), serial)) return formatDateDefault(serial);
        return v.stringRef();
    }
    default: return v.text();
    }
}

}  // namespace

std::string crosstabSql(const Crosstab& c, const std::vector<Variant>& pivotValues) {
    std::vector<std::string> literals = c.fixedValues, names = c.fixedNames;
    if (!c.valuesSql.empty()) {
        literals.clear();
        names.clear();
        for (const auto& v : pivotValues) {
            literals.push_back(literalOf(v));
            names.push_back(headingOf(v));
        }
    }
    if (static_cast<size_t>(c.headings) + literals.size() > 255) raise(3190, "Too many fields defined.", "Jet SQL");
    std::string sql = c.select;
    for (size_t i = 0; i < literals.size(); ++i) {
        const std::string condition = "(" + c.pivot + ") IS " + literals[i];
        std::string value;
        for (size_t p = 0; p < c.valueParts.size(); ++p) value += (p ? condition : "") + c.valueParts[p];
        // A heading without rows is empty, whatever the aggregate (Count too).
        sql += ", CASE WHEN count(*) FILTER (WHERE " + condition + ") > 0 THEN " + value + " END AS " +
               detail::quoteName(names[i]);
    }
    return sql + c.source + c.rest;
}

}  // namespace dalvera::jet
