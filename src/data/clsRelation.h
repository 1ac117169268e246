#pragma once
// One field pair of a foreign-key relation that starts at the table shown.
#include <string>

namespace dalvera {

class clsRelation {
public:
    void Init(const std::string& relationKey, const std::string& relatedTable, const std::string& relatedField,
              const std::string& foreignTable, const std::string& foreignField) {
        relationKey_ = relationKey;
        relatedTable_ = relatedTable;
        relatedField_ = relatedField;
        foreignTable_ = foreignTable;
        foreignField_ = foreignField;
    }
    // The relation's name, "_" and the pair's zero-based number.
    const std::string& RelationKey() const { return relationKey_; }
    // The referenced (one) side.
    const std::string& RelatedTable() const { return relatedTable_; }
    const std::string& RelatedField() const { return relatedField_; }
    void SetRelatedField(const std::string& v) { relatedField_ = v; }
    // The referencing side: the table shown.
    const std::string& ForeignTable() const { return foreignTable_; }
    const std::string& ForeignField() const { return foreignField_; }

private:
    std::string relationKey_, relatedTable_, relatedField_, foreignTable_, foreignField_;
};

}  // namespace dalvera
