#pragma once
// A stored query of the database: its name, SQL text and parameters.
#include <memory>
#include <string>

#include "runtime/Collection.h"
#include "sql/clsParameter.h"

namespace dalvera {

using ParameterList = Collection<std::shared_ptr<clsParameter>>;

class clsQuery {
public:
    ~clsQuery();
    // The given parameters replace the empty list the query starts with.
    void Init(const std::string& name, const std::string& sql, ParameterList parameters);
    const std::string& Name() const { return name_; }
    const std::string& SQL() const { return sql_; }
    const ParameterList& Parameters() const { return parameters_; }

private:
    std::string name_;
    std::string sql_;
    ParameterList parameters_;
};

}  // namespace dalvera
