#pragma once
// One column of a table sheet: the field's database properties, its flags and
// the header cell that anchors it on the sheet.
#include <cstdint>
#include <string>

#include "host/Excel.h"
#include "runtime/Collection.h"
#include "runtime/Variant.h"

namespace dalvera {

class clsField {
public:
    // Stores the properties; IsPrimary follows from the table's primary-key
    // field names (exact comparison).
    void Init(const std::string& name, int16_t index, const std::string& caption, int32_t size,
              const Variant& defaultValue, bool allowZeroLength, bool isAutoIncr, bool readOnly,
              const std::string& validationText, const std::string& notation, const std::string& description,
              int32_t columnWidth, bool columnHidden, int32_t typeADO, int32_t typeDAO,
              const Collection<std::string>& primaryKeys);

    const std::string& Name() const { return name_; }
    int16_t Index() const { return index_; }
    const std::string& Caption() const { return caption_; }
    void SetCell(host::RangePtr cell) { cell_ = std::move(cell); }
    host::RangePtr Cell() const { return cell_; }
    int32_t TypeADO() const { return typeADO_; }
    int32_t TypeDAO() const { return typeDAO_; }
    bool IsPrimary() const { return isPrimary_; }
    bool AllowZeroLength() const { return allowZeroLength_; }
    bool IsAutoIncr() const { return isAutoIncr_; }
    const Variant& DefaultValue() const { return defaultValue_; }
    bool ReadOnly() const { return readOnly_; }
    const std::string& ValidationText() const { return validationText_; }
    const std::string& Notation() const { return notation_; }
    const std::string& Description() const { return description_; }
    // -1 when the database keeps no width for the field.
    int32_t ColumnWidth() const { return columnWidth_; }
    bool ColumnHidden() const { return columnHidden_; }
    int32_t Size() const { return size_; }

private:
    std::string name_;
    int16_t index_ = 0;
    std::string caption_;
    int32_t size_ = 0;
    Variant defaultValue_;
    bool allowZeroLength_ = false;
    bool isAutoIncr_ = false;
    bool readOnly_ = false;
    std::string validationText_, notation_, description_;
    int32_t columnWidth_ = -1;
    bool columnHidden_ = false;
    int32_t typeADO_ = 0, typeDAO_ = 0;
    bool isPrimary_ = false;
    host::RangePtr cell_;
};

}  // namespace dalvera
