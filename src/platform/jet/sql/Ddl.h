#pragma once
// Pieces the statement and DDL translators share. Internal to the translator.
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/sql/JetSql.h"
#include "platform/jet/sql/Lexer.h"

namespace dalvera::jet::detail {

// A token, or a parenthesised group of nodes (tok is then the '(').
struct Node {
    const Token* tok = nullptr;
    bool group = false;
    std::vector<Node> kids;
};

std::vector<Node> buildTree(const std::vector<Token>& tokens, size_t from, size_t to);
bool isWord(const Node& n, std::string_view upper);
bool isPunct(const Node& n, std::string_view p);
bool isBlank(const Node& n);
size_t nextSignificant(const std::vector<Node>& seq, size_t i);
// The sequence with its comments made blanks, for pieces put together in another
// order (a "--" comment would swallow what follows); the blanks live in made.
std::vector<Node> withoutComments(const std::vector<Node>& seq, std::deque<Token>& made);

// The tables a SELECT reads: (table, alias); a subquery has no table name.
using Scope = std::vector<std::pair<std::string, std::string>>;

// Parameter names in scope and the placeholders handed out so far.
struct ExprContext {
    std::vector<std::string> parameters;
    std::vector<std::string>* bindNames = nullptr;
    int depth = 0;  // parentheses around the part being translated
    const ColumnLookup* columns = nullptr;  // the database's tables, when the statement runs on one
    std::vector<Scope> scopes;              // the FROM clauses around the part being translated, innermost last
    // "?N" for a named parameter; the same name gets the same number.
    std::string placeholder(const std::string& name);
    // "?N" for a positional '?'; each gets its own number.
    std::string positional();
    const std::string* parameter(std::string_view name) const;
};

// Translates a run of nodes as expression text (names, literals, operators,
// TOP, calls), keeping blanks and comments.
std::string translateSeq(const std::vector<Node>& seq, ExprContext& ctx);

// CREATE TABLE / CREATE INDEX / DROP / ALTER TABLE; fills sql, kind and table
// (or change, for what the session carries out).
void translateDdl(const std::vector<Node>& seq, ExprContext& ctx, Translation& t);

// TRANSFORM ... PIVOT; fills crosstab.
void translateCrosstab(const std::vector<Node>& seq, ExprContext& ctx, Translation& t);

// True when seq[from, to) names more than one table: a join, a list or a parenthesised join.
bool isJoinSource(const std::vector<Node>& seq, size_t from, size_t to);
// UPDATE <join> SET ... [WHERE ...] and DELETE t.* FROM <join> [WHERE ...]; fill sql and table.
void translateJoinUpdate(const std::vector<Node>& seq, ExprContext& ctx, const ColumnLookup& columns, Translation& t);
void translateJoinDelete(const std::vector<Node>& seq, ExprContext& ctx, Translation& t);

}  // namespace dalvera::jet::detail
