#pragma once
// One column filter of the table sheet, saved before a reload and applied again after it.
#include <cstdint>
#include <string>

namespace dalvera {

class clsFilter {
public:
    void Init(int16_t columnIndex, bool isActive, const std::string& criteria1, int32_t filterOperator,
              const std::string& criteria2) {
        columnIndex_ = columnIndex;
        isActive_ = isActive;
        // An unfiltered column keeps nothing that could be applied by mistake.
        criteria1_ = isActive ? criteria1 : std::string();
        filterOperator_ = isActive ? filterOperator : 0;
        criteria2_ = isActive ? criteria2 : std::string();
    }
    int16_t ColumnIndex() const { return columnIndex_; }
    bool IsActive() const { return isActive_; }
    const std::string& Criteria1() const { return criteria1_; }
    int32_t FilterOperator() const { return filterOperator_; }
    const std::string& Criteria2() const { return criteria2_; }

private:
    int16_t columnIndex_ = 0;
    bool isActive_ = false;
    std::string criteria1_;
    int32_t filterOperator_ = 0;
    std::string criteria2_;
};

}  // namespace dalvera
