#include "sheet/clsField.h"

namespace dalvera {

void clsField::Init(const std::string& name, int16_t index, const std::string& caption, int32_t size,
                    const Variant& defaultValue, bool allowZeroLength, bool isAutoIncr, bool readOnly,
                    const std::string& validationText, const std::string& notation, const std::string& description,
                    int32_t columnWidth, bool columnHidden, int32_t typeADO, int32_t typeDAO,
                    const Collection<std::string>& primaryKeys) {
    name_ = name;
    index_ = index;
    caption_ = caption;
    size_ = size;
    defaultValue_ = defaultValue;
    allowZeroLength_ = allowZeroLength;
    isAutoIncr_ = isAutoIncr;
    readOnly_ = readOnly;
    validationText_ = validationText;
    notation_ = notation;
    description_ = description;
    columnWidth_ = columnWidth;
    columnHidden_ = columnHidden;
    typeADO_ = typeADO;
    typeDAO_ = typeDAO;
    isPrimary_ = false;
    for (long i = 1; i <= primaryKeys.Count(); ++i) {
        if (primaryKeys.Item(i) == name_) {
            isPrimary_ = true;
            break;
        }
    }
}

}  // namespace dalvera
