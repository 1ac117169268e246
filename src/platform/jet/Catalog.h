#pragma once
// The database's structure as DAO reports it: table definitions with fields,
// indexes and properties, relations from foreign keys, stored queries. Read
// from SQLite's schema and the engine's metadata tables.
#include <optional>
#include <string>

#include "host/Dao.h"
#include "runtime/Variant.h"

namespace dalvera::jet {

class Session;

host::dao::TableDefs loadTableDefs(Session& s);
host::dao::Relations loadRelations(Session& s);
host::dao::QueryDefs loadQueryDefs(Session& s);

struct StoredQuery {
    std::string name, sql;
    int type = 0;
};
std::optional<StoredQuery> findStoredQuery(Session& s, const std::string& name);

// The DAO query type a statement has (select, make-table, append, ...).
int queryTypeOf(const std::string& jetSql);
// Stores (or replaces) a query; type -1 derives it from the statement.
void saveQuery(Session& s, const std::string& name, const std::string& jetSql, int type = -1);
void deleteQuery(Session& s, const std::string& name);
// A property of a table (field empty) or of a field; raises 3265 when the
// table or field does not exist. A Null value removes the property.
void setProperty(Session& s, const std::string& table, const std::string& field, const std::string& name,
                 const Variant& value);

}  // namespace dalvera::jet
