#pragma once
// One parameter of a stored query or procedure, in ADO terms.
#include <cstdint>
#include <string>

namespace dalvera {

class clsParameter {
public:
    void Init(const std::string& name, int32_t parameterType, int32_t direction) {
        name_ = name;
        type_ = parameterType;
        direction_ = direction;
    }
    const std::string& Name() const { return name_; }
    // An ADO data-type code.
    int32_t ParameterType() const { return type_; }
    // 0 none or return value, 1 input, 2 output, 3 input/output.
    int32_t Direction() const { return direction_; }

private:
    std::string name_;
    int32_t type_ = 0;
    int32_t direction_ = 0;
};

}  // namespace dalvera
