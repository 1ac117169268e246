#pragma once
// The metadata of a table on a server: primary key, foreign keys and column
// facts (default, nullability, auto-number, description) from the catalogue.
#include <functional>
#include <map>
#include <string>

#include "data/ITable.h"
#include "data/clsTable.h"
#include "runtime/Variant.h"

namespace dalvera {

class clsDSSQLServer;

class clsTableSQLServer : public ITable {
public:
    explicit clsTableSQLServer(clsDSSQLServer& source);

    void Initialize() override;
    void DeterminePrimaryKeys() override;
    void DetermineRelations() override;
    std::shared_ptr<clsField> InitializeField(const std::string& MatrixFieldName, int16_t Index,
                                              const host::ado::Recordset& recordset) override;
    bool HasPrimaryKey() const override { return table_.HasPrimaryKey(); }
    RelationList& Relations() override { return table_.Relations(); }
    Collection<std::string>& PrimaryKeys() override { return table_.PrimaryKeys(); }

    // The table shown; tests set their own.
    std::function<std::string()> TableName;

    struct ColumnFacts {
        std::string defaultValue;  // normalised
        bool autoNumber = false;
        bool computed = false;
        std::string description;
    };

private:
    void DetermineColumns();

    clsDSSQLServer& source_;
    clsTable table_;
    std::map<std::string, ColumnFacts> columns_;
};

}  // namespace dalvera
