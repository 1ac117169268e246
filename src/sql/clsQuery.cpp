#include "sql/clsQuery.h"

namespace dalvera {

clsQuery::~clsQuery() { parameters_.Clear(); }

void clsQuery::Init(const std::string& name, const std::string& sql, ParameterList parameters) {
    name_ = name;
    sql_ = sql;
    parameters_ = std::move(parameters);
}

}  // namespace dalvera
