#pragma once
// The metadata of the table shown on the table sheet: primary key, relations
// from it to other tables, and the description of each column.
#include <cstdint>
#include <memory>
#include <string>

#include "data/clsRelation.h"
#include "host/Ado.h"
#include "runtime/Collection.h"

namespace dalvera {

class clsField;

using RelationList = Collection<std::shared_ptr<clsRelation>>;

class ITable {
public:
    virtual ~ITable() = default;
    virtual void Initialize() = 0;
    virtual void DeterminePrimaryKeys() = 0;
    virtual void DetermineRelations() = 0;
    virtual std::shared_ptr<clsField> InitializeField(const std::string& MatrixFieldName, int16_t Index,
                                                      const host::ado::Recordset& recordset) = 0;
    virtual bool HasPrimaryKey() const = 0;
    virtual RelationList& Relations() = 0;
    virtual Collection<std::string>& PrimaryKeys() = 0;
};

}  // namespace dalvera
