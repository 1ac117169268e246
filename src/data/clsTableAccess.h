#pragma once
// Table metadata for the database files: primary key, relations and column
// descriptions, read through DAO for the table the sheet shows.
#include <functional>
#include <memory>
#include <string>

#include "data/ITable.h"
#include "data/clsTable.h"
#include "host/Dao.h"

namespace dalvera {

class IDS;

class clsTableAccess : public ITable {
public:
    // source: the data source this metadata belongs to.
    explicit clsTableAccess(IDS& source);

    void Initialize() override;
    void DeterminePrimaryKeys() override;
    void DetermineRelations() override;
    std::shared_ptr<clsField> InitializeField(const std::string& MatrixFieldName, int16_t Index,
                                              const host::ado::Recordset& recordset) override;
    // A read-only file gives no key to write rows back by.
    bool HasPrimaryKey() const override;
    RelationList& Relations() override { return table_.Relations(); }
    Collection<std::string>& PrimaryKeys() override { return table_.PrimaryKeys(); }

    // The table concerned: by default the one the table sheet holds.
    std::string TableName() const;
    void SetTableNameSource(std::function<std::string()> source) { tableName_ = std::move(source); }

    static bool PropertyExists(const host::dao::Field& oField, const std::string& sPropertyName);
    // The property's value, Empty when the field has no such property.
    static Variant PropertyValue(const host::dao::Field& oField, const std::string& sPropertyName);

private:
    IDS& source_;
    clsTable table_;
    std::function<std::string()> tableName_;
};

}  // namespace dalvera
