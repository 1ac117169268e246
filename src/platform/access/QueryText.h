#pragma once
// Saved queries of an MS Access file: the rows MSysQueries keeps for one
// query, put back together as the Jet SQL text the query was saved from.
#include <string>
#include <vector>

namespace dalvera::access {

struct QueryRow {
    int attribute = 0;
    std::string name1, name2, expression;
    int flag = 0;
    std::string order;  // the binary sort key of the row within its attribute
};

struct RebuiltQuery {
    int type = 0;  // DAO query type (Select 0, Crosstab 16, ... SetOperation 128)
    std::string sql;
    std::string connect;  // pass-through: the connection text
};

// Raises 3343 naming the query when the rows describe no query this code knows.
RebuiltQuery rebuildQuery(const std::string& name, std::vector<QueryRow> rows);

// A name as Jet SQL writes it: bare when it is a plain word, else in brackets.
std::string jetName(const std::string& name);

}  // namespace dalvera::access
