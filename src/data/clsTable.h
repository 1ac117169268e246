#pragma once
// The lists of the table shown: its primary-key field names and its relations.
#include <memory>
#include <string>

#include "data/ITable.h"

namespace dalvera {

class clsTable {
public:
    ~clsTable() { ClearRelations(); }
    RelationList& Relations() { return relations_; }
    void SetRelations(RelationList relations) { relations_ = std::move(relations); }
    Collection<std::string>& PrimaryKeys() { return primaryKeys_; }
    void SetPrimaryKeys(Collection<std::string> keys) { primaryKeys_ = std::move(keys); }
    bool HasPrimaryKey() const { return primaryKeys_.Count() > 0; }
    void ClearRelations() { relations_.Clear(); }

private:
    RelationList relations_;
    Collection<std::string> primaryKeys_;
};

}  // namespace dalvera
