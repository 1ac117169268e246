// Statement translation: the dialect's text to SQLite text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

#include "platform/jet/sql/Ddl.h"
#include "platform/jet/sql/JetSql.h"
#include "platform/jet/sql/Lexer.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace detail {

namespace {

constexpr const char* kSource = "Jet SQL";

// Words that end an operand of the operators turned into calls: clause and logical keywords.
const std::set<std::string> kBoundaryWords = {
    "SELECT", "FROM",   "WHERE",  "AND",   "OR",      "NOT",   "LIKE",    "IS",       "IN",
    "BETWEEN", "AS",    "ON",     "SET",   "WHEN",    "THEN",  "ELSE",    "END",      "CASE",
    "BY",     "HAVING", "VALUES", "INTO",  "ORDER",   "GROUP", "UNION",   "DISTINCT", "ALL",
    "JOIN",   "INNER",  "OUTER",  "LEFT",  "RIGHT",   "LIMIT", "ASC",     "DESC",     "EXISTS",
    "ESCAPE", "TOP",    "PERCENT", "WITH", "UPDATE",  "DELETE", "INSERT", "CREATE",   "TABLE",
    "ALTER",  "DROP",   "INDEX",  "ADD",   "COLUMN",  "CONSTRAINT", "PRIMARY", "KEY", "REFERENCES",
    "UNIQUE", "DEFAULT", "ANY",   "SOME",
};

bool isSpace(const Token& t) { return t.kind == Tok::Space || t.kind == Tok::Comment; }

struct Item {
    enum Kind { Space, Atom, Op, Stop } kind;
    std::string text;
    const Token* tok = nullptr;  // the name or literal an atom was written as, if it is one
    bool logical = false;  // an atom that is a comparison or logical value (SQLite's 1 / 0)
    bool assign = false;   // the '=' of a SET assignment
};

// Keeps SELECT ... TOP's count while the select list is translated.
struct Top {
    bool present = false;
    std::string count;
    bool percent = false;
};

}  // namespace

std::vector<Node> buildTree(const std::vector<Token>& tokens, size_t from, size_t to) {
    std::vector<std::vector<Node>*> stack;
    std::vector<Node> root;
    stack.push_back(&root);
    for (size_t i = from; i < to; ++i) {
        const Token& t = tokens[i];
        if (t.kind == Tok::Punct && t.text == "(") {
            Node g;
            g.group = true;
            g.tok = &t;
            stack.back()->push_back(std::move(g));
            stack.push_back(&stack.back()->back().kids);
            // The translation recurses per level; keep it far from the stack's end.
            if (stack.size() > 200) raise(3075, "Syntax error: the expression is nested too deeply.", kSource);
        } else if (t.kind == Tok::Punct && t.text == ")") {
            if (stack.size() == 1)
                raise(3075, "Syntax error (extra ')') in query expression near position " + std::to_string(t.pos + 1) + ".", kSource);
            stack.pop_back();
        } else {
            Node n;
            n.tok = &t;
            stack.back()->push_back(std::move(n));
        }
    }
    if (stack.size() != 1) raise(3075, "Syntax error (missing ')') in query expression.", kSource);
    return root;
}

bool isWord(const Node& n, std::string_view upper) {
    return !n.group && n.tok->kind == Tok::Word && equalsNoCase(n.tok->text, upper);
}

bool isPunct(const Node& n, std::string_view p) {
    return !n.group && n.tok->kind == Tok::Punct && n.tok->text == p;
}

bool isBlank(const Node& n) { return !n.group && isSpace(*n.tok); }

size_t nextSignificant(const std::vector<Node>& seq, size_t i) {
    while (i < seq.size() && isBlank(seq[i])) ++i;
    return i;
}

std::string ExprContext::placeholder(const std::string& name) {
    for (size_t i = 0; i < bindNames->size(); ++i)
        if (!(*bindNames)[i].empty() && equalsNoCase((*bindNames)[i], name)) return "?" + std::to_string(i + 1);
    bindNames->push_back(name);
    return "?" + std::to_string(bindNames->size());
}

const std::string* ExprContext::parameter(std::string_view name) const {
    for (const auto& p : parameters)
        if (equalsNoCase(p, name)) return &p;
    return nullptr;
}

namespace {

// Operand of a binary operator at items[op]: the run of items next to it up to
// a boundary. Returns [first, last] inclusive, spaces at the edges excluded.
bool stopsOperand(const Item& it, const std::string& op, bool first) {
    if (it.kind == Item::Stop) return true;
    if (it.kind != Item::Op) return false;
    if (op == "&") return it.text == "&";
    if (op == "\\" || op == "%") {
        if (first && (it.text == "-" || it.text == "+")) return false;
        return it.text == "+" || it.text == "-" || it.text == "&" || it.text == "\\" || it.text == "%";
    }
    // ^ binds tightest: only names, literals, calls and qualifiers.
    if (first && (it.text == "-" || it.text == "+")) return false;
    return it.text != ".";
}

void foldOperator(std::vector<Item>& items, const std::string& op, const std::string& function) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind != Item::Op || items[i].text != op) continue;
        // Left operand.
        size_t l = i;
        bool any = false;
        while (l > 0) {
            const Item& it = items[l - 1];
            if (it.kind == Item::Space) {
                if (any && op == "^") break;
                --l;
                continue;
            }
            if ((op == "\\" || op == "%") && any && it.kind == Item::Op && (it.text == "-" || it.text == "+")) {
                // A sign after an operator or at the start is unary and binds tighter than \.
                size_t p = l - 1;
                while (p > 0 && items[p - 1].kind == Item::Space) --p;
                if (p == 0 || items[p - 1].kind != Item::Atom) {
                    --l;
                    continue;
                }
            }
            if (stopsOperand(it, op, false)) break;
            any = true;
            --l;
        }
        while (l < i && items[l].kind == Item::Space) ++l;
        // Right operand.
        size_t r = i + 1;
        bool first = true;
        size_t lastRight = i;
        while (r < items.size()) {
            const Item& it = items[r];
            if (it.kind == Item::Space) {
                if (!first && op == "^") break;
                ++r;
                continue;
            }
            if (stopsOperand(it, op, first)) break;
            if (op == "^" && !first && it.kind == Item::Atom && items[r - 1].kind == Item::Atom) break;
            first = false;
            lastRight = r;
            ++r;
        }
        if (l == i || lastRight == i)
            raise(3075, "Syntax error (missing operand) in query expression near '" + op + "'.", kSource);
        std::string left, right;
        for (size_t k = l; k < i; ++k) left += items[k].text;
        for (size_t k = i + 1; k <= lastRight; ++k) right += items[k].text;
        while (!left.empty() && std::isspace(static_cast<unsigned char>(left.back()))) left.pop_back();
        size_t lead = right.find_first_not_of(" \t\r\n");
        right = right.substr(lead == std::string::npos ? 0 : lead);
        Item folded{Item::Atom, function + "(" + left + ", " + right + ")"};
        items.erase(items.begin() + static_cast<long>(l), items.begin() + static_cast<long>(lastRight) + 1);
        items.insert(items.begin() + static_cast<long>(l), folded);
        i = l;
    }
}

// The item before index i, blanks skipped; nullptr at the start.
const Item* itemBefore(const std::vector<Item>& items, size_t i) {
    while (i > 0) {
        --i;
        if (items[i].kind != Item::Space) return &items[i];
    }
    return nullptr;
}

// A + or - that follows an operand is binary; elsewhere it is a sign.
bool isBinarySign(const std::vector<Item>& items, size_t i) {
    if (items[i].kind != Item::Op || (items[i].text != "+" && items[i].text != "-")) return false;
    const Item* b = itemBefore(items, i);
    return b && b->kind == Item::Atom;
}

// Binary + and - (left to right, below * / \ Mod, above &) become calls, so
// that dates stored as text move by days and texts added with + are joined.
void foldAdditive(std::vector<Item>& items) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (!isBinarySign(items, i)) continue;
        size_t l = i;
        while (l > 0) {
            const Item& it = items[l - 1];
            if (it.kind == Item::Stop || (it.kind == Item::Op && it.text == "&")) break;
            --l;
        }
        while (l < i && items[l].kind == Item::Space) ++l;
        size_t r = i + 1, lastRight = i;
        for (; r < items.size(); ++r) {
            const Item& it = items[r];
            if (it.kind == Item::Space) continue;
            if (it.kind == Item::Stop || (it.kind == Item::Op && it.text == "&") || isBinarySign(items, r)) break;
            lastRight = r;
        }
        if (l == i || lastRight == i)
            raise(3075, "Syntax error (missing operand) in query expression near '" + items[i].text + "'.", kSource);
        std::string left, right;
        for (size_t k = l; k < i; ++k) left += items[k].text;
        for (size_t k = i + 1; k <= lastRight; ++k) right += items[k].text;
        while (!left.empty() && std::isspace(static_cast<unsigned char>(left.back()))) left.pop_back();
        size_t lead = right.find_first_not_of(" \t\r\n");
        right = right.substr(lead == std::string::npos ? 0 : lead);
        const std::string function = items[i].text == "+" ? "jet_add" : "jet_sub";
        Item folded{Item::Atom, function + "(" + left + ", " + right + ")"};
        items.erase(items.begin() + static_cast<long>(l), items.begin() + static_cast<long>(lastRight) + 1);
        items.insert(items.begin() + static_cast<long>(l), folded);
        i = l;
    }
}

// x [NOT] LIKE p becomes a call, so the dialect's wildcards apply without
// changing SQLite's own LIKE for the connection's other statements.
void foldLike(std::vector<Item>& items) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind != Item::Stop || !equalsNoCase(items[i].text, "LIKE")) continue;
        size_t opStart = i;
        bool negated = false;
        size_t p = i;
        while (p > 0 && items[p - 1].kind == Item::Space) --p;
        if (p > 0 && items[p - 1].kind == Item::Stop && equalsNoCase(items[p - 1].text, "NOT")) {
            negated = true;
            opStart = p - 1;
        }
        size_t l = opStart;
        while (l > 0 && items[l - 1].kind != Item::Stop) --l;
        while (l < opStart && items[l].kind == Item::Space) ++l;
        size_t r = i + 1, lastRight = i;
        for (; r < items.size() && items[r].kind != Item::Stop; ++r)
            if (items[r].kind != Item::Space) lastRight = r;
        if (r < items.size() && equalsNoCase(items[r].text, "ESCAPE"))
            raise(3000, "Syntax error: LIKE ... ESCAPE is not supported; put the character in brackets, e.g. [*].",
                  kSource);
        if (l == opStart || lastRight == i)
            raise(3075, "Syntax error (missing operand) in query expression near 'LIKE'.", kSource);
        std::string left, right;
        for (size_t k = l; k < opStart; ++k) left += items[k].text;
        for (size_t k = i + 1; k <= lastRight; ++k) right += items[k].text;
        while (!left.empty() && std::isspace(static_cast<unsigned char>(left.back()))) left.pop_back();
        size_t lead = right.find_first_not_of(" \t\r\n");
        right = right.substr(lead == std::string::npos ? 0 : lead);
        std::string call = "jet_like(" + left + ", " + right + ")";
        Item folded{Item::Atom, negated ? "(NOT " + call + ")" : call, nullptr, true};
        items.erase(items.begin() + static_cast<long>(l), items.begin() + static_cast<long>(lastRight) + 1);
        items.insert(items.begin() + static_cast<long>(l), folded);
        i = l;
    }
}

std::string itemText(const std::vector<Item>& items, size_t from, size_t to) {
    std::string r;
    for (size_t k = from; k < to && k < items.size(); ++k) r += items[k].text;
    size_t a = r.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    size_t b = r.find_last_not_of(" \t\r\n");
    return r.substr(a, b - a + 1);
}

// Words and signs that stay inside an operand of Xor, Eqv and Imp: they bind tighter.
bool insideLogicalOperand(const Item& it) {
    if (it.kind != Item::Stop) return true;
    if (it.assign) return false;
    static const std::set<std::string> inside = {"AND", "OR", "NOT", "LIKE", "IS",  "IN", "BETWEEN", "EXISTS",
                                                 "ANY", "SOME", "=",  "<",    "<=", ">",  ">=",      "<>", "!="};
    return inside.count(upperAscii(it.text)) > 0;
}

// Xor, Eqv and Imp work bit by bit as Jet's do, on -1 for True; what SQLite
// evaluates as a comparison (1 / 0) is turned into -1 / 0 first.
void foldLogical(std::vector<Item>& items, std::string_view word, const std::string& function) {
    auto operand = [&](size_t from, size_t to) {
        bool logical = false;
        for (size_t k = from; k < to; ++k) logical = logical || items[k].kind == Item::Stop || items[k].logical;
        std::string text = itemText(items, from, to);
        return logical ? "-((" + text + ") <> 0)" : text;
    };
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind != Item::Stop || !equalsNoCase(items[i].text, word)) continue;
        size_t l = i;
        while (l > 0 && insideLogicalOperand(items[l - 1])) --l;
        while (l < i && items[l].kind == Item::Space) ++l;
        size_t r = i + 1, lastRight = i;
        for (; r < items.size() && insideLogicalOperand(items[r]); ++r)
            if (items[r].kind != Item::Space) lastRight = r;
        if (l == i || lastRight == i)
            raise(3075, "Syntax error (missing operand) in query expression near '" + items[i].text + "'.", kSource);
        Item folded{Item::Atom, function + "(" + operand(l, i) + ", " + operand(i + 1, lastRight + 1) + ")"};
        items.erase(items.begin() + static_cast<long>(l), items.begin() + static_cast<long>(lastRight) + 1);
        items.insert(items.begin() + static_cast<long>(l), folded);
        i = l;
    }
}

// '/' (left to right, at the level of *) becomes jet_div, so that whole
// numbers divide with their fraction as the dialect's '/' always does.
void foldDivision(std::vector<Item>& items) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind != Item::Op || items[i].text != "/") continue;
        // Left: back over names, products and signs up to another operator or a stop.
        size_t l = i;
        while (l > 0) {
            const Item& it = items[l - 1];
            if (it.kind == Item::Stop) break;
            if (it.kind == Item::Op && it.text != "*" && it.text != "." &&
                !((it.text == "-" || it.text == "+") && !isBinarySign(items, l - 1)))
                break;
            --l;
        }
        while (l < i && items[l].kind == Item::Space) ++l;
        // Right: an optional sign, then one operand.
        size_t r = i + 1, lastRight = i;
        bool first = true;
        for (; r < items.size(); ++r) {
            const Item& it = items[r];
            if (it.kind == Item::Space) continue;
            if (it.kind == Item::Stop) break;
            if (it.kind == Item::Op && it.text != "." && !(first && (it.text == "-" || it.text == "+"))) break;
            first = false;
            lastRight = r;
        }
        if (l == i || lastRight == i)
            raise(3075, "Syntax error (missing operand) in query expression near '/'.", kSource);
        std::string left = itemText(items, l, i), right = itemText(items, i + 1, lastRight + 1);
        items.erase(items.begin() + static_cast<long>(l), items.begin() + static_cast<long>(lastRight) + 1);
        items.insert(items.begin() + static_cast<long>(l), Item{Item::Atom, "jet_div(" + left + ", " + right + ")"});
        i = l;
    }
}

bool isStop(const Item& it, std::string_view word) { return it.kind == Item::Stop && equalsNoCase(it.text, word); }

// Index ranges of the comma-separated parts of items[from, to).
std::vector<std::pair<size_t, size_t>> commaParts(const std::vector<Item>& items, size_t from, size_t to) {
    std::vector<std::pair<size_t, size_t>> parts;
    size_t start = from;
    for (size_t k = from; k < to; ++k)
        if (isStop(items[k], ",")) {
            parts.push_back({start, k});
            start = k + 1;
        }
    parts.push_back({start, to});
    return parts;
}

// TOP n returns the rows that tie with the n-th on the ORDER BY keys as well.
// The limit becomes the number of rows whose rank is at most n. Returns "" when
// the statement has no ORDER BY (no ties to add) and when the keys cannot be
// resolved outside the select list (DISTINCT, or a position with SELECT *).
std::string limitWithTies(const std::vector<Item>& items, const std::string& count) {
    size_t sel = items.size(), from = items.size(), order = items.size();
    for (size_t k = 0; k < items.size(); ++k) {
        if (sel == items.size() && isStop(items[k], "SELECT")) sel = k;
        if (sel != items.size() && from == items.size() && isStop(items[k], "FROM")) from = k;
        if (from != items.size() && isStop(items[k], "ORDER")) order = k;
    }
    if (order == items.size()) return {};
    size_t first = sel + 1;
    while (first < from && items[first].kind == Item::Space) ++first;
    if (first < from && isStop(items[first], "DISTINCT")) return {};
    size_t by = order + 1;
    while (by < items.size() && items[by].kind == Item::Space) ++by;
    if (by >= items.size() || !isStop(items[by], "BY")) return {};

    // The select list: expressions and their aliases.
    struct Column {
        std::string expr, alias;
    };
    std::vector<Column> columns;
    for (auto [a, b] : commaParts(items, sel + 1, from)) {
        Column c;
        size_t as = b;
        for (size_t k = a; k < b; ++k)
            if (isStop(items[k], "AS")) as = k;
        c.expr = itemText(items, a, as);
        if (as < b) {
            c.alias = itemText(items, as + 1, b);
            if (c.alias.size() >= 2 && c.alias.front() == '"') c.alias = c.alias.substr(1, c.alias.size() - 2);
        }
        columns.push_back(c);
    }
    std::string keys;
    for (auto [a, b] : commaParts(items, by + 1, items.size())) {
        size_t end = b;
        std::string direction;
        for (size_t k = a; k < b; ++k)
            if (isStop(items[k], "ASC") || isStop(items[k], "DESC")) {
                direction = " " + items[k].text;
                end = k;
            }
        std::string key = itemText(items, a, end);
        std::string bare = key.size() >= 2 && key.front() == '"' ? key.substr(1, key.size() - 2) : key;
        if (!key.empty() && key.find_first_not_of("0123456789") == std::string::npos) {
            size_t pos = std::stoul(key);
            if (pos < 1 || pos > columns.size() || columns[pos - 1].expr.find('*') != std::string::npos) return {};
            key = columns[pos - 1].expr;
        } else {
            for (const auto& c : columns)
                if (!c.alias.empty() && equalsNoCase(c.alias, bare)) key = c.expr;
        }
        keys += (keys.empty() ? "" : ", ") + key + direction;
    }
    return "(SELECT count(*) FROM (" + itemText(items, sel, from) + ", RANK() OVER (ORDER BY " + keys +
           ") AS jet_rank " + itemText(items, from, order) + ") WHERE jet_rank <= " + count + ")";
}

// Removes "TOP n [PERCENT]" that follows SELECT [DISTINCT|DISTINCTROW|ALL] at
// this level and reports it.
Top takeTop(std::vector<Node>& seq, std::vector<bool>& dropped) {
    Top top;
    for (size_t i = 0; i < seq.size(); ++i) {
        if (!isWord(seq[i], "SELECT")) continue;
        size_t j = nextSignificant(seq, i + 1);
        if (j < seq.size() && (isWord(seq[j], "DISTINCT") || isWord(seq[j], "DISTINCTROW") || isWord(seq[j], "ALL")))
            j = nextSignificant(seq, j + 1);
        if (j >= seq.size() || !isWord(seq[j], "TOP")) continue;
        if (top.present) raise(3000, "Syntax error: TOP in more than one SELECT of a UNION is not supported.", kSource);
        size_t k = nextSignificant(seq, j + 1);
        if (k >= seq.size() || seq[k].group || seq[k].tok->kind != Tok::Number)
            raise(3075, "Syntax error: TOP must be followed by a number.", kSource);
        top.present = true;
        top.count = seq[k].tok->text;
        size_t end = k;
        size_t p = nextSignificant(seq, k + 1);
        if (p < seq.size() && isWord(seq[p], "PERCENT")) {
            top.percent = true;
            end = p;
        } else if (top.count.find_first_not_of("0123456789") != std::string::npos) {
            raise(3075, "Syntax error: TOP needs a whole number, not " + top.count + ".", kSource);
        }
        if (end + 1 < seq.size() && isBlank(seq[end + 1])) ++end;
        for (size_t d = j; d <= end; ++d) dropped[d] = true;
        // TOP belongs to one SELECT; SQLite's LIMIT would cut the whole union.
        for (size_t u = 0; u < seq.size(); ++u)
            if (isWord(seq[u], "UNION"))
                raise(3000, "Syntax error: TOP in a UNION query is not supported; put the SELECT with TOP in parentheses.",
                      kSource);
    }
    return top;
}

// A parenthesised expression that SQLite evaluates as a comparison or a logical value.
bool logicalNodes(const std::vector<Node>& kids) {
    static const std::set<std::string> words = {"AND", "OR", "NOT", "LIKE", "IS", "IN", "BETWEEN", "EXISTS"};
    size_t significant = 0;
    const Node* only = nullptr;
    size_t first = nextSignificant(kids, 0);
    if (first < kids.size() && isWord(kids[first], "SELECT")) return false;  // a subquery's value
    for (const Node& n : kids) {
        if (isBlank(n)) continue;
        ++significant;
        only = &n;
        if (n.group) continue;
        if (n.tok->kind == Tok::Word && words.count(upperAscii(n.tok->text))) return true;
        if (n.tok->kind == Tok::Punct && (n.tok->text == "=" || n.tok->text == "<" || n.tok->text == ">" ||
                                          n.tok->text == "<=" || n.tok->text == ">=" || n.tok->text == "<>" ||
                                          n.tok->text == "!="))
            return true;
    }
    return significant == 1 && only->group && logicalNodes(only->kids);
}

// ---- names of the statement's tables ----

const std::set<std::string> kClauseWords = {"WHERE", "GROUP", "HAVING", "ORDER", "UNION", "PIVOT", "INTO"};
const std::set<std::string> kJoinWords = {"INNER", "LEFT", "RIGHT", "OUTER", "FULL", "CROSS", "JOIN", "ON"};

bool isWordIn(const Node& n, const std::set<std::string>& words) {
    return !n.group && n.tok->kind == Tok::Word && words.count(upperAscii(n.tok->text));
}

// The tables of a FROM clause (seq[from, to)), with their aliases; a subquery
// is a source with no table name.
void collectSources(const std::vector<Node>& seq, size_t from, size_t to, Scope& out) {
    bool expect = true;
    for (size_t k = from; k < to && k < seq.size(); ++k) {
        const Node& n = seq[k];
        if (isBlank(n)) continue;
        if (isPunct(n, ",") || isWord(n, "JOIN")) {
            expect = true;
            continue;
        }
        if (!expect) continue;  // join words and ON conditions
        expect = false;
        std::string table;
        if (n.group) {
            size_t f = nextSignificant(n.kids, 0);
            if (f >= n.kids.size() || !isWord(n.kids[f], "SELECT")) {
                collectSources(n.kids, 0, n.kids.size(), out);  // a join in parentheses
                continue;
            }
        } else {
            table = n.tok->kind == Tok::Word || n.tok->kind == Tok::Name ? n.tok->text : std::string();
            if (table.empty() || isWordIn(n, kJoinWords)) continue;
        }
        std::string alias;
        size_t j = nextSignificant(seq, k + 1);
        if (j < to && isWord(seq[j], "AS")) j = nextSignificant(seq, j + 1);
        if (j < to && !seq[j].group && (seq[j].tok->kind == Tok::Name || seq[j].tok->kind == Tok::Word) &&
            !isWordIn(seq[j], kJoinWords) && !isWordIn(seq[j], kClauseWords)) {
            alias = seq[j].tok->text;
            k = j;
        }
        out.push_back({table, alias});
    }
}

// The sources of the SELECT at seq[select]: its FROM clause up to the next clause.
Scope sourcesOf(const std::vector<Node>& seq, size_t select, size_t end) {
    Scope out;
    size_t from = select + 1;
    while (from < end && !isWord(seq[from], "FROM") && !isWord(seq[from], "UNION")) ++from;
    if (from >= end || !isWord(seq[from], "FROM")) return out;
    size_t to = from + 1;
    while (to < end && !isWordIn(seq[to], kClauseWords)) ++to;
    collectSources(seq, from + 1, to, out);
    return out;
}

const std::string& sourceName(const std::pair<std::string, std::string>& s) {
    return s.second.empty() ? s.first : s.second;
}

// The kind of the column a (qualified) name stands for, from the tables in
// scope, innermost first; Any when it is no known column or could be several.
StoreKind columnKind(const ExprContext& ctx, const std::string& qualifier, const std::string& name) {
    if (!ctx.columns || !*ctx.columns) return StoreKind::Any;
    auto find = [&](const std::string& table, StoreKind& kind) {
        if (table.empty()) return false;
        for (const auto& c : (*ctx.columns)(table))
            if (equalsNoCase(c.name, name)) {
                kind = c.kind;
                return true;
            }
        return false;
    };
    for (auto scope = ctx.scopes.rbegin(); scope != ctx.scopes.rend(); ++scope) {
        StoreKind kind = StoreKind::Any;
        if (!qualifier.empty()) {
            for (const auto& src : *scope)
                if (equalsNoCase(sourceName(src), qualifier)) return find(src.first, kind) ? kind : StoreKind::Any;
            continue;
        }
        int found = 0;
        for (const auto& src : *scope) {
            StoreKind k = StoreKind::Any;
            if (find(src.first, k)) {
                kind = k;
                ++found;
            }
        }
        if (found == 1) return kind;
        if (found > 1) return StoreKind::Any;
    }
    return StoreKind::Any;
}

bool isNameAtom(const Item& it) {
    return it.kind == Item::Atom && it.tok && (it.tok->kind == Tok::Name || it.tok->kind == Tok::Word) &&
           it.text.rfind('?', 0) != 0;
}

size_t significantBefore(const std::vector<Item>& items, size_t end) {
    while (end > 0 && items[end - 1].kind == Item::Space) --end;
    return end == 0 ? std::string::npos : end - 1;
}

// The kind of the column reference that ends just before items[end] and is a
// whole operand (a stop or the start before it); Any for anything else.
StoreKind columnBefore(const std::vector<Item>& items, size_t end, const ExprContext& ctx) {
    size_t n = significantBefore(items, end);
    if (n == std::string::npos || !isNameAtom(items[n])) return StoreKind::Any;
    std::string qualifier;
    size_t first = n;
    size_t dot = significantBefore(items, n);
    if (dot != std::string::npos && items[dot].kind == Item::Op && items[dot].text == ".") {
        size_t q = significantBefore(items, dot);
        if (q == std::string::npos || !isNameAtom(items[q])) return StoreKind::Any;
        qualifier = items[q].tok->text;
        first = q;
    }
    size_t b = significantBefore(items, first);
    if (b != std::string::npos && items[b].kind != Item::Stop) return StoreKind::Any;
    return columnKind(ctx, qualifier, items[n].tok->text);
}

bool isComparison(const Item& it) {
    if (it.kind != Item::Stop) return false;
    for (const char* op : {"=", "<>", "!=", "<", ">", "<=", ">="})
        if (it.text == op) return true;
    return false;
}

[[noreturn]] void criteriaMismatch() { raise(3464, "Data type mismatch in criteria expression.", kSource); }

enum class Typed { AsIs, Converted, NotOfType };

// A text (or, for a date, a number) compared with a column, as the value of
// the column's type it reads as: dates compare as dates, not as the text typed.
Typed typedLiteral(const Token& tok, StoreKind kind, std::string& out) {
    const bool text = tok.kind == Tok::String;
    if (!text && !(tok.kind == Tok::Number && kind == StoreKind::Date)) return Typed::AsIs;
    const std::string value = trimBlanks(tok.text);
    double d = 0;
    switch (kind) {
    case StoreKind::Date:
        if (text ? !readDateText(value, d) : !parseNumber(value, d)) return Typed::NotOfType;
        if (!(d > -657435.0 && d < 2958466.0)) return Typed::NotOfType;
        out = quoteString(dateToStorage(d));
        return Typed::Converted;
    case StoreKind::Boolean: {
        const std::string t = lowerAscii(value);
        if (t == "true" || t == "yes" || t == "on") out = "-1";
        else if (t == "false" || t == "no" || t == "off") out = "0";
        else if (parseNumber(value, d)) out = d != 0 ? "-1" : "0";
        else return Typed::NotOfType;
        return Typed::Converted;
    }
    case StoreKind::Guid: {
        std::string g;
        if (!normalizeGuid(value, g)) return Typed::NotOfType;
        out = quoteString(g);
        return Typed::Converted;
    }
    case StoreKind::Any: return Typed::AsIs;
    default: {
        if (!parseNumber(value, d) || !std::isfinite(d)) return Typed::NotOfType;
        if (value.find_first_not_of("0123456789") == std::string::npos) {
            out = exactNumberText(value);
        } else {
            char buf[40];
            auto r = std::to_chars(buf, buf + sizeof buf, d);
            out = exactNumberText(std::string(buf, r.ptr));
        }
        return Typed::Converted;
    }
    }
}

// True when seq[next] is an operator that makes the operand before it part of a larger one.
bool beforeOperator(const std::vector<Node>& seq, size_t next, size_t end) {
    if (next >= end || seq[next].group) return false;
    if (isWord(seq[next], "MOD")) return true;
    const Token& t = *seq[next].tok;
    if (t.kind != Tok::Punct) return false;
    for (const char* op : {"+", "-", "*", "/", "\\", "^", "&", "."})
        if (t.text == op) return true;
    return false;
}

bool isLiteralAtom(const Item& it) {
    return it.kind == Item::Atom && it.tok && (it.tok->kind == Tok::String || it.tok->kind == Tok::Number);
}

// After a literal or a column was added: a literal compared with a typed
// column (x = 'lit', 'lit' = x, x BETWEEN 'a' AND 'b') takes the column's type.
// An equality also keeps the literal as written, so that a value another tool
// stored in its own form is still found; an order needs a value of the type.
void typeComparedLiteral(std::vector<Item>& items, const ExprContext& ctx) {
    if (!ctx.columns) return;
    size_t last = items.size() - 1;
    size_t op = significantBefore(items, last);
    if (op == std::string::npos) return;
    const bool literal = isLiteralAtom(items[last]);
    if (!literal && items[op].kind == Item::Op && items[op].text == ".") {
        // The field of a qualified name: the comparison is before its qualifier.
        size_t q = significantBefore(items, op);
        if (q == std::string::npos || !isNameAtom(items[q])) return;
        op = significantBefore(items, q);
        if (op == std::string::npos) return;
    }
    if (items[op].kind != Item::Stop) return;
    // An assignment of SET is no comparison (jet_store converts what it writes).
    for (size_t k = op; k-- > 0;) {
        if (isStop(items[k], "SET")) return;
        if (isStop(items[k], "WHERE") || isStop(items[k], "SELECT")) break;
    }
    // equality: the comparison item to turn into [NOT] IN, or npos.
    auto convert = [&](size_t at, StoreKind kind, size_t equality) {
        if (kind == StoreKind::Any) return;
        std::string typed;
        Typed r = typedLiteral(*items[at].tok, kind, typed);
        if (r == Typed::NotOfType && equality == std::string::npos) criteriaMismatch();
        if (r != Typed::Converted || typed == items[at].text) return;
        if (equality == std::string::npos) {
            items[at].text = typed;
            return;
        }
        items[equality].text = items[equality].text == "=" ? "IN" : "NOT IN";
        items[at].text = "(" + typed + ", " + items[at].text + ")";
    };
    auto equalityOp = [&](size_t k) {
        const std::string& o = items[k].text;
        return o == "=" || o == "<>" || o == "!=" ? k : std::string::npos;
    };
    if (literal) {
        if (isComparison(items[op])) return convert(last, columnBefore(items, op, ctx), equalityOp(op));
        size_t between = op;
        if (isStop(items[op], "AND")) {
            size_t low = significantBefore(items, op);
            if (low == std::string::npos || !isLiteralAtom(items[low])) return;
            between = significantBefore(items, low);
        }
        if (between == std::string::npos || !isStop(items[between], "BETWEEN")) return;
        size_t subject = between;
        size_t neg = significantBefore(items, between);
        if (neg != std::string::npos && isStop(items[neg], "NOT")) subject = neg;
        return convert(last, columnBefore(items, subject, ctx), std::string::npos);
    }
    // The column on the right: 'lit' = x.
    if (!isComparison(items[op])) return;
    size_t lit = significantBefore(items, op);
    if (lit == std::string::npos || !isLiteralAtom(items[lit])) return;
    size_t b = significantBefore(items, lit);
    if (b != std::string::npos && items[b].kind != Item::Stop) return;
    StoreKind kind = columnBefore(items, items.size(), ctx);
    std::string typed;
    Typed r = kind == StoreKind::Any ? Typed::AsIs : typedLiteral(*items[lit].tok, kind, typed);
    if (r == Typed::NotOfType && equalityOp(op) == std::string::npos) criteriaMismatch();
    if (r == Typed::Converted) items[lit].text = typed;
}

// x [NOT] IN ('a', 'b'): the list of literals in the type of the column x,
// each also as written.
std::string typedInList(const std::vector<Item>& items, const Node& group, const ExprContext& ctx) {
    size_t in = significantBefore(items, items.size());
    if (!ctx.columns || in == std::string::npos || !isStop(items[in], "IN")) return {};
    size_t subject = in;
    size_t neg = significantBefore(items, in);
    if (neg != std::string::npos && isStop(items[neg], "NOT")) subject = neg;
    StoreKind kind = columnBefore(items, subject, ctx);
    if (kind == StoreKind::Any) return {};
    std::vector<std::vector<Node>> parts(1);
    for (const Node& k : group.kids) {
        if (isPunct(k, ","))
            parts.emplace_back();
        else
            parts.back().push_back(k);
    }
    std::string list;
    for (auto& part : parts) {
        size_t f = nextSignificant(part, 0);
        if (f >= part.size() || part[f].group || nextSignificant(part, f + 1) < part.size()) return {};
        const Token& tok = *part[f].tok;
        if (tok.kind != Tok::String && tok.kind != Tok::Number && tok.kind != Tok::Date) return {};
        std::string raw = tok.kind == Tok::Number ? exactNumberText(tok.text) : quoteString(tok.text), typed;
        list += (list.empty() ? "(" : ", ") + raw;
        if (typedLiteral(tok, kind, typed) == Typed::Converted && typed != raw) list += ", " + typed;
    }
    return list + ")";
}

// ---- DISTINCTROW and the names of computed columns ----

const std::set<std::string> kAggregates = {"COUNT", "SUM", "AVG", "MIN", "MAX", "FIRST", "LAST",
                                          "STDEV", "STDEVP", "VAR", "VARP"};

// Marks the sources the names in seq[from, to) read from; false when one cannot be told.
bool markSources(const std::vector<Node>& seq, size_t from, size_t to, const Scope& scope, const ExprContext& ctx,
                 std::vector<bool>& used, bool top) {
    for (size_t k = from; k < to && k < seq.size(); ++k) {
        const Node& n = seq[k];
        if (n.group) {
            size_t f = nextSignificant(n.kids, 0);
            if (f < n.kids.size() && isWord(n.kids[f], "SELECT")) continue;  // a subquery reads its own tables
            if (!markSources(n.kids, 0, n.kids.size(), scope, ctx, used, false)) return false;
            continue;
        }
        if (top && isPunct(n, "*") && !(k > from && isPunct(seq[k - 1], "."))) return false;  // every table's fields
        if (n.tok->kind != Tok::Word && n.tok->kind != Tok::Name) continue;
        size_t next = nextSignificant(seq, k + 1);
        if (n.tok->kind == Tok::Word && (kBoundaryWords.count(upperAscii(n.tok->text)) || isWordIn(n, {"NULL", "TRUE", "FALSE", "YES", "NO", "MOD"})))
            continue;
        if (next < seq.size() && seq[next].group) {
            if (isWordIn(n, kAggregates)) return false;  // rows of groups, not of tables
            continue;  // a function's name
        }
        size_t prev = k;
        while (prev > from && isBlank(seq[prev - 1])) --prev;
        if (prev > from && isWord(seq[prev - 1], "AS")) continue;  // an alias
        if (prev > from && isPunct(seq[prev - 1], ".")) continue;  // the field of a qualifier
        if (next < seq.size() && isPunct(seq[next], ".")) {
            bool found = false;
            for (size_t s = 0; s < scope.size(); ++s)
                if (equalsNoCase(sourceName(scope[s]), n.tok->text)) used[s] = found = true;
            if (!found) return false;
            continue;
        }
        if (ctx.parameter(n.tok->text)) continue;
        int found = 0;
        for (size_t s = 0; s < scope.size(); ++s) {
            if (scope[s].first.empty()) return false;  // a subquery's fields are not known
            for (const auto& c : (*ctx.columns)(scope[s].first))
                if (equalsNoCase(c.name, n.tok->text)) {
                    used[s] = true;
                    ++found;
                    break;
                }
        }
        if (found != 1) return false;
    }
    return true;
}

// DISTINCTROW: one row for each combination of rows of the tables whose
// fields are selected (their row ids). Empty when that is every table, when
// it cannot be told, and with aggregates, where it has no meaning.
std::string distinctRowGroups(const std::vector<Node>& seq, size_t select, size_t end, const ExprContext& ctx) {
    size_t d = nextSignificant(seq, select + 1);
    if (d >= end || !isWord(seq[d], "DISTINCTROW") || !ctx.columns || !*ctx.columns) return {};
    Scope scope = sourcesOf(seq, select, end);
    if (scope.size() < 2) return {};
    size_t from = d + 1;
    while (from < end && !isWord(seq[from], "FROM")) ++from;
    for (size_t k = from; k < end && !isWord(seq[k], "UNION"); ++k)
        if (isWord(seq[k], "GROUP")) return {};
    std::vector<bool> used(scope.size(), false);
    if (!markSources(seq, d + 1, from, scope, ctx, used, true)) return {};
    std::string keys;
    for (size_t s = 0; s < scope.size(); ++s)
        if (used[s]) keys += (keys.empty() ? "" : ", ") + quoteName(sourceName(scope[s])) + ".rowid";
    if (keys.empty() || std::find(used.begin(), used.end(), false) == used.end()) return {};
    return "GROUP BY " + keys;
}

// Unaliased computed columns of each select list are named Expr1000,
// Expr1001, ... in the order of the list, as the engine names them.
void nameComputedColumns(std::vector<Item>& items) {
    auto plainName = [&](size_t k) { return isNameAtom(items[k]) && !equalsNoCase(items[k].text, "NULL"); };
    auto star = [&](size_t k) { return items[k].kind == Item::Op && items[k].text == "*"; };
    for (size_t sel = 0; sel < items.size(); ++sel) {
        if (!isStop(items[sel], "SELECT")) continue;
        size_t end = sel + 1;
        while (end < items.size() && !isStop(items[end], "FROM") && !isStop(items[end], "UNION") &&
               !isStop(items[end], "SELECT"))
            ++end;
        std::vector<size_t> computed;  // the last item of each computed column
        for (auto [a, b] : commaParts(items, sel + 1, end)) {
            std::vector<size_t> sig;
            bool aliased = false;
            for (size_t k = a; k < b; ++k) {
                if (items[k].kind == Item::Space || isStop(items[k], "DISTINCT") || isStop(items[k], "ALL")) continue;
                aliased = aliased || isStop(items[k], "AS");
                sig.push_back(k);
            }
            if (aliased || sig.empty()) continue;
            bool plain = (sig.size() == 1 && (plainName(sig[0]) || star(sig[0]))) ||
                         (sig.size() == 3 && plainName(sig[0]) && items[sig[1]].kind == Item::Op &&
                          items[sig[1]].text == "." && (plainName(sig[2]) || star(sig[2])));
            if (!plain) computed.push_back(sig.back());
        }
        for (size_t k = computed.size(); k-- > 0;) {
            auto at = items.begin() + static_cast<long>(computed[k]) + 1;
            items.insert(at, {Item{Item::Space, " "}, Item{Item::Stop, "AS"}, Item{Item::Space, " "},
                              Item{Item::Atom, quoteName("Expr" + std::to_string(1000 + k))}});
        }
    }
}

}  // namespace

std::string translateSeq(const std::vector<Node>& seqIn, ExprContext& ctx) {
    std::vector<Node> seq = seqIn;
    // Trailing blanks, comments and ';' stay after anything appended.
    size_t coreEnd = seq.size();
    while (coreEnd > 0 && (isBlank(seq[coreEnd - 1]) || isPunct(seq[coreEnd - 1], ";"))) --coreEnd;
    std::vector<bool> dropped(seq.size(), false);
    Top top = takeTop(seq, dropped);

    bool unionLevel = false;
    for (size_t i = 0; i < coreEnd; ++i) unionLevel = unionLevel || isWord(seq[i], "UNION");

    // Each SELECT at this level: the tables its names refer to, and the
    // grouping its DISTINCTROW stands for, before its ORDER BY or UNION.
    struct ScopeLevel {
        ExprContext& ctx;
        bool pushed = false;
        ~ScopeLevel() {
            if (pushed) ctx.scopes.pop_back();
        }
    } level{ctx};
    std::vector<Item> items;
    std::vector<std::pair<size_t, std::string>> groupsAt;
    for (size_t i = 0; i < coreEnd; ++i) {
        if (!isWord(seq[i], "SELECT")) continue;
        if (!level.pushed) {
            ctx.scopes.push_back(sourcesOf(seq, i, coreEnd));
            level.pushed = true;
        }
        std::string groups = distinctRowGroups(seq, i, coreEnd, ctx);
        if (groups.empty()) continue;
        size_t at = i + 1;
        while (at < coreEnd && !isWord(seq[at], "UNION") && !isWord(seq[at], "ORDER")) ++at;
        groupsAt.emplace_back(at, groups);
    }
    auto addGroups = [&](size_t at) {
        for (const auto& [where, text] : groupsAt)
            if (where == at) {
                if (!items.empty() && items.back().kind != Item::Space) items.push_back({Item::Space, " "});
                items.push_back({Item::Stop, text});
                if (at < coreEnd) items.push_back({Item::Space, " "});
            }
    };

    const Node* previous = nullptr;  // the last significant node
    // In a SET list the first '=' of each assignment is no comparison.
    bool inSet = false, assignmentOpen = false;
    for (size_t i = 0; i < coreEnd; ++i) {
        if (!groupsAt.empty()) addGroups(i);
        if (dropped[i]) continue;
        if (i > 0 && level.pushed && isWord(seq[i], "SELECT")) ctx.scopes.back() = sourcesOf(seq, i, coreEnd);
        const Node& n = seq[i];
        const Node* before = previous;
        if (!isBlank(n)) previous = &n;
        if (n.group) {
            if (before && isWord(*before, "IN")) {
                std::string list = typedInList(items, n, ctx);
                if (!list.empty()) {
                    items.push_back({Item::Atom, list});
                    continue;
                }
            }
            ++ctx.depth;
            std::string inner = translateSeq(n.kids, ctx);
            --ctx.depth;
            size_t k = nextSignificant(n.kids, 0);
            bool member = unionLevel && k < n.kids.size() && isWord(n.kids[k], "SELECT") &&
                          (!before || isWord(*before, "UNION") || isWord(*before, "ALL"));
            // SQLite takes no parentheses around the SELECTs of a UNION; a subquery does the same.
            items.push_back({Item::Atom, member ? "SELECT * FROM (" + inner + ")" : "(" + inner + ")",
                             nullptr, !member && logicalNodes(n.kids)});
            continue;
        }
        const Token& t = *n.tok;
        const bool afterDot = !items.empty() && items.back().kind == Item::Op && items.back().text == ".";
        size_t next = nextSignificant(seq, i + 1);
        const bool beforeGroup = next < coreEnd && seq[next].group;
        const bool beforeDot = next < coreEnd && (isPunct(seq[next], ".") || isPunct(seq[next], "!"));
        // An alias after AS names a column, never a parameter.
        const Item* lastItem = itemBefore(items, items.size());
        const bool afterAs = lastItem && lastItem->kind == Item::Stop && equalsNoCase(lastItem->text, "AS");
        // A qualified name that is no field is a parameter by its whole name.
        if (beforeDot && !afterDot && (t.kind == Tok::Name || t.kind == Tok::Word) && !ctx.parameters.empty()) {
            size_t field = nextSignificant(seq, next + 1);
            const std::string* p = nullptr;
            if (field < coreEnd && !seq[field].group &&
                (seq[field].tok->kind == Tok::Name || seq[field].tok->kind == Tok::Word))
                p = ctx.parameter(t.text + "." + seq[field].tok->text);
            if (p) {
                items.push_back({Item::Atom, ctx.placeholder(*p)});
                previous = &seq[field];
                i = field;
                continue;
            }
        }
        switch (t.kind) {
        case Tok::Space:
        case Tok::Comment:
            items.push_back({Item::Space, t.text});
            break;
        case Tok::String:
        case Tok::Date:
            items.push_back({Item::Atom, quoteString(t.text), &t});
            if (!beforeDot && !beforeOperator(seq, next, coreEnd)) typeComparedLiteral(items, ctx);
            break;
        case Tok::Number:
            items.push_back({Item::Atom, exactNumberText(t.text), &t});
            if (!beforeOperator(seq, next, coreEnd)) typeComparedLiteral(items, ctx);
            break;
        case Tok::Name:
            if (const std::string* p = (!afterDot && !beforeDot && !afterAs) ? ctx.parameter(t.text) : nullptr) {
                items.push_back({Item::Atom, ctx.placeholder(*p)});
            } else {
                items.push_back({Item::Atom, quoteName(t.text), &t});
                if (!beforeDot && !afterAs && !beforeOperator(seq, next, coreEnd)) typeComparedLiteral(items, ctx);
            }
            break;
        case Tok::Word: {
            const std::string up = upperAscii(t.text);
            const size_t before = items.size();
            if (afterDot) {
                items.push_back({Item::Atom, t.text, &t});
            } else if (up == "TRUE" || up == "YES") {
                items.push_back({Item::Atom, "-1"});
            } else if (up == "FALSE" || up == "NO") {
                items.push_back({Item::Atom, "0"});
            } else if (up == "MOD") {
                items.push_back({Item::Op, "%"});
            } else if (up == "DISTINCTROW") {
                // Rows of one table are distinct already; SQLite has no row-level DISTINCT.
                if (i + 1 < coreEnd && isBlank(seq[i + 1])) ++i;
            } else if (up == "XOR" || up == "EQV" || up == "IMP") {
                items.push_back({Item::Stop, up});
            } else if (up == "TRANSFORM" || up == "PIVOT") {
                raise(3000, "Syntax error: TRANSFORM ... PIVOT queries are not supported.", kSource);
            } else if ((up == "LEFT" || up == "RIGHT" || up == "ISNULL" || up == "NOTNULL" || up == "ASC") &&
                       beforeGroup) {
                // SQLite reads these words as joins or operators; a quoted name is a call.
                items.push_back({Item::Atom, quoteName(t.text)});
            } else if (kBoundaryWords.count(up)) {
                items.push_back({Item::Stop, t.text});
                if (up == "SET") inSet = assignmentOpen = true;
                if (up == "WHERE") inSet = assignmentOpen = false;
            } else if (const std::string* p =
                           (!beforeDot && !beforeGroup && !afterAs) ? ctx.parameter(t.text) : nullptr) {
                items.push_back({Item::Atom, ctx.placeholder(*p)});
            } else {
                items.push_back({Item::Atom, t.text, &t});
            }
            // A call is one operand with its argument list.
            if (beforeGroup && items.size() == before + 1 && items.back().kind == Item::Atom) {
                std::string call = items.back().text;
                for (size_t s = i + 1; s < next; ++s) call += seq[s].tok->text;
                ++ctx.depth;
                call += "(" + translateSeq(seq[next].kids, ctx) + ")";
                --ctx.depth;
                items.back().text = call;
                items.back().tok = nullptr;
                i = next;
            } else if (items.size() == before + 1 && items.back().tok && !beforeDot && !afterAs &&
                       !beforeOperator(seq, next, coreEnd)) {
                typeComparedLiteral(items, ctx);
            }
            break;
        }
        case Tok::Punct:
            if (t.text == "?") {
                items.push_back({Item::Atom, ctx.positional()});
            } else if (t.text == "," || t.text == ";" || t.text == "=" || t.text == "<" || t.text == ">" ||
                       t.text == "<=" || t.text == ">=" || t.text == "<>" || t.text == "!=") {
                items.push_back({Item::Stop, t.text});
                if (t.text == "=" && assignmentOpen) {
                    items.back().assign = true;
                    assignmentOpen = false;
                }
                if (t.text == "," && inSet) assignmentOpen = true;
            } else if (t.text == "!") {
                // Table!Field is Table.Field.
                items.push_back({Item::Op, "."});
            } else {
                items.push_back({Item::Op, t.text});
            }
            break;
        }
    }
    foldOperator(items, "^", "jet_pow");
    foldDivision(items);
    foldOperator(items, "\\", "jet_intdiv");
    foldOperator(items, "%", "jet_mod");
    foldAdditive(items);
    foldOperator(items, "&", "jet_concat");
    foldLike(items);
    foldLogical(items, "XOR", "jet_xor");
    foldLogical(items, "EQV", "jet_eqv");
    foldLogical(items, "IMP", "jet_imp");
    if (!groupsAt.empty()) addGroups(coreEnd);
    if (ctx.columns) nameComputedColumns(items);

    std::string core;
    for (const Item& it : items) core += it.text;
    std::string tail;
    for (size_t i = coreEnd; i < seq.size(); ++i) tail += seq[i].group ? "" : seq[i].tok->text;
    if (!top.present) return core + tail;
    while (!core.empty() && std::isspace(static_cast<unsigned char>(core.back()))) core.pop_back();
    if (!top.percent) {
        // A subquery may refer to the outer query, which SQLite's LIMIT cannot; ties are added at the top only.
        std::string ties = ctx.depth == 0 ? limitWithTies(items, top.count) : std::string();
        return core + " LIMIT " + (ties.empty() ? top.count : ties) + tail;
    }
    // TOP n PERCENT: n percent of the rows, rounded up.
    return core + " LIMIT (SELECT CAST(p AS INTEGER) + (p > CAST(p AS INTEGER)) FROM (SELECT count(*) * " + top.count +
           " / 100.0 AS p FROM (" + core + ")))" + tail;
}

std::string ExprContext::positional() {
    bindNames->push_back(std::string());
    return "?" + std::to_string(bindNames->size());
}

}  // namespace detail

namespace {

using namespace detail;
constexpr const char* kJetSource = "Jet SQL";

int parameterTypeCode(const std::string& typeWord) {
    const std::string t = upperAscii(typeWord);
    if (t == "BIT" || t == "YESNO" || t == "BOOLEAN" || t == "LOGICAL" || t == "LOGICAL1") return 1;
    if (t == "BYTE" || t == "TINYINT" || t == "INTEGER1") return 2;
    if (t == "SHORT" || t == "SMALLINT" || t == "INTEGER2") return 3;
    if (t == "LONG" || t == "INT" || t == "INTEGER" || t == "INTEGER4") return 4;
    if (t == "CURRENCY" || t == "MONEY") return 5;
    if (t == "SINGLE" || t == "REAL" || t == "FLOAT4" || t == "IEEESINGLE") return 6;
    if (t == "DOUBLE" || t == "FLOAT" || t == "FLOAT8" || t == "IEEEDOUBLE" || t == "NUMBER" || t == "NUMERIC" ||
        t == "VALUE")
        return 7;
    if (t == "DATETIME" || t == "DATE" || t == "TIME" || t == "TIMESTAMP") return 8;
    if (t == "BINARY" || t == "VARBINARY") return 9;
    if (t == "TEXT" || t == "CHAR" || t == "VARCHAR" || t == "STRING" || t == "ALPHANUMERIC") return 10;
    if (t == "LONGBINARY" || t == "OLEOBJECT" || t == "IMAGE" || t == "GENERAL") return 11;
    if (t == "MEMO" || t == "LONGTEXT" || t == "LONGCHAR" || t == "NOTE") return 12;
    if (t == "GUID" || t == "UNIQUEIDENTIFIER") return 15;
    if (t == "DECIMAL") return 20;
    return 0;
}

[[noreturn]] void parametersError(const std::string& detail) {
    raise(3075, "Syntax error in PARAMETERS clause: " + detail + ".", kJetSource);
}

// Reads "PARAMETERS a Type, [b c] Type(n);" starting at tokens[i] (the keyword);
// returns the index after the ';'.
size_t readParameters(const std::vector<Token>& tokens, size_t i, std::vector<DeclaredParameter>& out) {
    auto skip = [&](size_t k) {
        while (k < tokens.size() && isSpace(tokens[k])) ++k;
        return k;
    };
    size_t k = skip(i + 1);
    for (;;) {
        if (k >= tokens.size()) parametersError("a parameter name is missing");
        const Token& nameTok = tokens[k];
        if (nameTok.kind != Tok::Word && nameTok.kind != Tok::Name) parametersError("a parameter name is missing");
        k = skip(k + 1);
        if (k >= tokens.size() || tokens[k].kind != Tok::Word)
            parametersError("the parameter " + nameTok.text + " has no type");
        DeclaredParameter p;
        p.name = nameTok.text;
        p.typeName = tokens[k].text;
        p.daoType = parameterTypeCode(p.typeName);
        if (p.daoType == 0) parametersError("unknown type " + p.typeName + " for " + p.name);
        k = skip(k + 1);
        // An optional size: Text (50), Decimal (10, 2).
        if (k < tokens.size() && tokens[k].kind == Tok::Punct && tokens[k].text == "(") {
            while (k < tokens.size() && !(tokens[k].kind == Tok::Punct && tokens[k].text == ")")) ++k;
            if (k >= tokens.size()) parametersError("missing ')'");
            k = skip(k + 1);
        }
        for (const auto& d : out)
            if (equalsNoCase(d.name, p.name)) parametersError("the parameter " + p.name + " is declared twice");
        out.push_back(std::move(p));
        if (k < tokens.size() && tokens[k].kind == Tok::Punct && tokens[k].text == ",") {
            k = skip(k + 1);
            continue;
        }
        if (k < tokens.size() && tokens[k].kind == Tok::Punct && tokens[k].text == ";") return k + 1;
        parametersError("expected ',' or ';' after " + out.back().name);
    }
}

std::string nameOf(const Node& n) {
    if (n.group || (n.tok->kind != Tok::Word && n.tok->kind != Tok::Name)) return {};
    return n.tok->text;
}

// ---- checked writes ----

// The statement without its closing ';' and blanks.
std::vector<Node> withoutEnd(const std::vector<Node>& seq) {
    size_t end = seq.size();
    while (end > 0 && (isBlank(seq[end - 1]) || isPunct(seq[end - 1], ";"))) --end;
    return std::vector<Node>(seq.begin(), seq.begin() + static_cast<long>(end));
}

std::string storeCall(const std::string& expr, StoreKind kind, const std::string& table, const std::string& column) {
    return "jet_store(" + expr + ", " + std::to_string(static_cast<int>(kind)) + ", " + quoteString(table) + ", " +
           quoteString(column) + ")";
}

StoreKind kindOf(const std::vector<StoreColumn>& columns, const std::string& name) {
    for (const auto& c : columns)
        if (equalsNoCase(c.name, name)) return c.kind;
    return StoreKind::Any;
}

std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// The nodes of seq[from, to) split at its commas.
std::vector<std::vector<Node>> partsBetween(const std::vector<Node>& seq, size_t from, size_t to) {
    std::vector<std::vector<Node>> parts(1);
    for (size_t i = from; i < to && i < seq.size(); ++i) {
        if (isPunct(seq[i], ","))
            parts.emplace_back();
        else
            parts.back().push_back(seq[i]);
    }
    return parts;
}

std::vector<size_t> significantAt(const std::vector<Node>& seq) {
    std::vector<size_t> out;
    for (size_t i = 0; i < seq.size(); ++i)
        if (!isBlank(seq[i])) out.push_back(i);
    return out;
}

// UPDATE t SET a = x, [t].b = y WHERE ...: each assigned value through jet_store.
// Empty when the statement has another shape (then it is translated as written).
std::string checkedUpdate(const std::vector<Node>& seq, size_t nameAt, const std::string& table,
                          const std::vector<StoreColumn>& columns, ExprContext& ctx) {
    size_t set = nameAt + 1;
    while (set < seq.size() && !isWord(seq[set], "SET")) ++set;
    if (set >= seq.size()) return {};
    size_t where = set + 1;
    while (where < seq.size() && !isWord(seq[where], "WHERE")) ++where;
    struct Assignment {
        std::string column;
        std::vector<Node> value;
    };
    std::vector<Assignment> list;
    for (auto& part : partsBetween(seq, set + 1, where)) {
        auto sig = significantAt(part);
        size_t eq = 0;
        while (eq < sig.size() && !isPunct(part[sig[eq]], "=")) ++eq;
        std::string column;
        if (eq == 1) column = nameOf(part[sig[0]]);
        else if (eq == 3 && (isPunct(part[sig[1]], ".") || isPunct(part[sig[1]], "!")) && !nameOf(part[sig[0]]).empty())
            column = nameOf(part[sig[2]]);
        if (column.empty() || eq + 1 >= sig.size()) return {};
        list.push_back({column, std::vector<Node>(part.begin() + static_cast<long>(sig[eq] + 1), part.end())});
    }
    std::string out = trimmed(translateSeq(std::vector<Node>(seq.begin(), seq.begin() + static_cast<long>(set) + 1), ctx));
    for (size_t i = 0; i < list.size(); ++i) {
        std::string value = trimmed(translateSeq(list[i].value, ctx));
        StoreKind kind = kindOf(columns, list[i].column);
        out += (i ? ", " : " ") + quoteName(list[i].column) + " = " +
               (kind == StoreKind::Any ? value : storeCall(value, kind, table, list[i].column));
    }
    if (where < seq.size()) out += " " + trimmed(translateSeq(std::vector<Node>(seq.begin() + static_cast<long>(where), seq.end()), ctx));
    return out;
}

// INSERT INTO t [(a, b)] VALUES (...), (...) | SELECT ...: each value through jet_store.
std::string checkedInsert(const std::vector<Node>& seq, size_t nameAt, const std::string& table,
                          const std::vector<StoreColumn>& columns, ExprContext& ctx) {
    std::vector<std::string> targets;
    bool listed = false;
    size_t k = nextSignificant(seq, nameAt + 1);
    if (k < seq.size() && seq[k].group) {
        for (auto& part : partsBetween(seq[k].kids, 0, seq[k].kids.size())) {
            auto sig = significantAt(part);
            if (sig.size() != 1 || nameOf(part[sig[0]]).empty()) return {};
            targets.push_back(nameOf(part[sig[0]]));
        }
        listed = true;
        k = nextSignificant(seq, k + 1);
    } else {
        for (const auto& c : columns) targets.push_back(c.name);
    }
    std::vector<StoreKind> kinds;
    bool any = false;
    for (const auto& t : targets) {
        kinds.push_back(kindOf(columns, t));
        any = any || kinds.back() != StoreKind::Any;
    }
    if (!any || k >= seq.size()) return {};
    std::string head = "INSERT INTO " + quoteName(table);
    if (listed) {
        head += " (";
        for (size_t i = 0; i < targets.size(); ++i) head += (i ? ", " : "") + quoteName(targets[i]);
        head += ")";
    }
    auto wrap = [&](size_t i, const std::string& value) {
        return i < kinds.size() && kinds[i] != StoreKind::Any ? storeCall(value, kinds[i], table, targets[i]) : value;
    };
    if (isWord(seq[k], "VALUES")) {
        std::vector<const Node*> rows;
        auto sig = significantAt(seq);
        for (size_t j = 0; j < sig.size(); ++j) {
            if (sig[j] <= k) continue;
            const Node& n = seq[sig[j]];
            bool expectRow = rows.empty() || isPunct(seq[sig[j - 1]], ",");
            if (expectRow && n.group) rows.push_back(&n);
            else if (!(isPunct(n, ",") && !expectRow)) return {};
        }
        if (rows.empty()) return {};
        std::string out = head + " VALUES ";
        for (size_t r = 0; r < rows.size(); ++r) {
            auto parts = partsBetween(rows[r]->kids, 0, rows[r]->kids.size());
            out += r ? ", (" : "(";
            for (size_t i = 0; i < parts.size(); ++i) out += (i ? ", " : "") + wrap(i, trimmed(translateSeq(parts[i], ctx)));
            out += ")";
        }
        return out;
    }
    bool select = isWord(seq[k], "SELECT");
    if (seq[k].group) {
        size_t f = nextSignificant(seq[k].kids, 0);
        select = f < seq[k].kids.size() && isWord(seq[k].kids[f], "SELECT");
    }
    if (!select) return {};
    // The source's columns by position, through a named subquery.
    std::string source = trimmed(translateSeq(std::vector<Node>(seq.begin() + static_cast<long>(k), seq.end()), ctx));
    std::string names, values;
    for (size_t i = 0; i < targets.size(); ++i) {
        std::string c = "c" + std::to_string(i + 1);
        names += (i ? ", " : "") + c;
        values += (i ? ", " : "") + wrap(i, c);
    }
    return "WITH dv_sys_source(" + names + ") AS (" + source + ") " + head + " SELECT " + values + " FROM dv_sys_source";
}

// SQLite reads a statement only up to a NUL; what follows it must not be
// dropped without a word (a WHERE clause cut short deletes more).
void refuseNul(std::string_view jetSql) {
    size_t nul = jetSql.find('\0');
    if (nul == std::string_view::npos) return;
    std::string before(jetSql.substr(nul > 40 ? nul - 40 : 0, nul > 40 ? 40 : nul));
    raise(3075, "Syntax error (null character) in query expression '" + before + "'.", kJetSource);
}

Translation translateSelectInto(std::vector<Node>& seq, ExprContext& ctx, Translation& t) {
    // SELECT ... INTO target FROM ...: a make-table query.
    for (size_t i = 0; i < seq.size(); ++i) {
        if (!isWord(seq[i], "INTO")) continue;
        size_t n = nextSignificant(seq, i + 1);
        if (n >= seq.size() || nameOf(seq[n]).empty())
            raise(3075, "Syntax error: SELECT ... INTO needs a table name.", kJetSource);
        t.table = nameOf(seq[n]);
        size_t after = nextSignificant(seq, n + 1);
        if (after < seq.size() && isWord(seq[after], "IN"))
            raise(3000, "Syntax error: SELECT ... INTO another database (IN) is not supported.", kJetSource);
        if (n + 1 < seq.size() && isBlank(seq[n + 1])) ++n;
        seq.erase(seq.begin() + static_cast<long>(i), seq.begin() + static_cast<long>(n) + 1);
        t.kind = StatementKind::CreateTable;
        t.selectInto = translateSeq(seq, ctx);
        t.sql = "CREATE TABLE " + quoteName(t.table) + " AS " + t.selectInto;
        return t;
    }
    t.sql = translateSeq(seq, ctx);
    return t;
}

}  // namespace

Translation translate(std::string_view jetSql, const std::vector<std::string>& knownParameters,
                      const ColumnLookup& columns) {
    Translation t;
    refuseNul(jetSql);
    std::vector<Token> tokens = tokenize(jetSql);
    size_t first = 0;
    while (first < tokens.size() && isSpace(tokens[first])) ++first;
    if (first < tokens.size() && tokens[first].kind == Tok::Word && equalsNoCase(tokens[first].text, "PARAMETERS")) {
        first = readParameters(tokens, first, t.parameters);
        while (first < tokens.size() && isSpace(tokens[first])) ++first;
    }
    if (first >= tokens.size())
        raise(3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.", kJetSource);

    // One statement only: after a ';' at the outer level only blanks may follow.
    size_t end = tokens.size();
    int depth = 0;
    for (size_t i = first; i < tokens.size(); ++i) {
        const Token& tk = tokens[i];
        if (tk.kind != Tok::Punct) continue;
        if (tk.text == "(") ++depth;
        if (tk.text == ")") --depth;
        if (tk.text == ";" && depth == 0) {
            for (size_t k = i + 1; k < tokens.size(); ++k)
                if (!isSpace(tokens[k]))
                    raise(3142, "Characters found after end of SQL statement.", kJetSource);
            end = i + 1;
            break;
        }
    }

    std::vector<Node> seq = buildTree(tokens, first, end);
    ExprContext ctx;
    ctx.bindNames = &t.bindNames;
    if (columns) ctx.columns = &columns;
    for (const auto& p : t.parameters) ctx.parameters.push_back(p.name);
    for (const auto& k : knownParameters)
        if (!ctx.parameter(k)) ctx.parameters.push_back(k);

    const Token& lead = tokens[first];
    const std::string verb = lead.kind == Tok::Word ? upperAscii(lead.text) : lead.text;
    if (verb == "SELECT" || verb == "(") {
        t.kind = StatementKind::Select;
        return translateSelectInto(seq, ctx, t);
    }
    if (verb == "TRANSFORM") {
        t.kind = StatementKind::Select;
        translateCrosstab(seq, ctx, t);
        return t;
    }
    if (verb == "INSERT") {
        t.kind = StatementKind::Insert;
        size_t into = nextSignificant(seq, 1);
        if (into >= seq.size() || !isWord(seq[into], "INTO"))
            raise(3134, "Syntax error in INSERT INTO statement.", kJetSource);
        size_t n = nextSignificant(seq, into + 1);
        if (n >= seq.size() || nameOf(seq[n]).empty()) raise(3134, "Syntax error in INSERT INTO statement.", kJetSource);
        t.table = nameOf(seq[n]);
        size_t after = nextSignificant(seq, n + 1);
        if (after < seq.size() && isWord(seq[after], "IN"))
            raise(3000, "Syntax error: INSERT INTO another database (IN) is not supported.", kJetSource);
        if (columns) {
            auto cols = columns(t.table);
            if (!cols.empty()) t.sql = checkedInsert(withoutEnd(seq), n, t.table, cols, ctx);
        }
        if (t.sql.empty()) t.sql = translateSeq(seq, ctx);
        return t;
    }
    if (verb == "UPDATE") {
        t.kind = StatementKind::Update;
        size_t set = 1;
        while (set < seq.size() && !isWord(seq[set], "SET")) ++set;
        if (isJoinSource(seq, 1, set)) {
            translateJoinUpdate(withoutEnd(seq), ctx, columns, t);
            return t;
        }
        size_t n = nextSignificant(seq, 1);
        if (n >= seq.size() || nameOf(seq[n]).empty()) raise(3144, "Syntax error in UPDATE statement.", kJetSource);
        t.table = nameOf(seq[n]);
        ctx.scopes.push_back({{t.table, std::string()}});
        if (columns) {
            auto cols = columns(t.table);
            if (!cols.empty()) t.sql = checkedUpdate(withoutEnd(seq), n, t.table, cols, ctx);
        }
        if (t.sql.empty()) t.sql = translateSeq(seq, ctx);
        return t;
    }
    if (verb == "DELETE") {
        t.kind = StatementKind::Delete;
        size_t from = 1;
        while (from < seq.size() && !isWord(seq[from], "FROM")) ++from;
        if (from >= seq.size()) raise(3000, "Syntax error in DELETE statement: FROM is missing.", kJetSource);
        size_t where = from + 1;
        while (where < seq.size() && !isWord(seq[where], "WHERE")) ++where;
        if (isJoinSource(seq, from + 1, where)) {
            translateJoinDelete(withoutEnd(seq), ctx, t);
            return t;
        }
        // Between DELETE and FROM the dialect allows *, table.* or nothing.
        std::string qualifier;
        for (size_t i = 1; i < from; ++i) {
            if (isBlank(seq[i]) || isPunct(seq[i], "*") || isPunct(seq[i], ".") || isPunct(seq[i], "!") ||
                isWord(seq[i], "DISTINCTROW"))
                continue;
            if (!nameOf(seq[i]).empty() && i + 1 < from && (isPunct(seq[i + 1], ".") || isPunct(seq[i + 1], "!"))) {
                qualifier = nameOf(seq[i]);
                continue;
            }
            raise(3000, "Syntax error in DELETE statement: only *, table.* or nothing may stand before FROM.", kJetSource);
        }
        size_t n = nextSignificant(seq, from + 1);
        if (n >= seq.size() || nameOf(seq[n]).empty())
            raise(3000, "Syntax error in DELETE statement: the table name is missing.", kJetSource);
        t.table = nameOf(seq[n]);
        if (!qualifier.empty() && !equalsNoCase(qualifier, t.table)) {
            // t.* names the table or its alias.
            size_t a = nextSignificant(seq, n + 1);
            if (a < seq.size() && isWord(seq[a], "AS")) a = nextSignificant(seq, a + 1);
            if (a >= where || !equalsNoCase(nameOf(seq[a]), qualifier))
                raise(3086, "Could not delete from specified tables.", kJetSource);
        }
        ctx.scopes.push_back({{t.table, std::string()}});
        std::vector<Node> rest(seq.begin() + static_cast<long>(from), seq.end());
        t.sql = "DELETE " + translateSeq(rest, ctx);
        return t;
    }
    if (verb == "CREATE" || verb == "DROP" || verb == "ALTER") {
        translateDdl(seq, ctx, t);
        return t;
    }
    if (verb == "PROCEDURE" || verb == "EXECUTE" || verb == "EXEC")
        raise(3000, "Syntax error: " + lead.text + " statements are not supported.", kJetSource);
    raise(3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.", kJetSource);
}

}  // namespace dalvera::jet
