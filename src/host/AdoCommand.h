#pragma once
// What every platform's command keeps: its connection, kind, text and parameters.
// A platform adds only how it runs them.
#include <memory>
#include <string>

#include "host/Ado.h"

namespace dalvera::host::ado {

class CommandBase : public Command {
public:
    void ActiveConnection(std::shared_ptr<Connection> c) override { connection_ = std::move(c); }
    std::shared_ptr<Connection> ActiveConnection() const override { return connection_; }
    int CommandType() const override { return type_; }
    void CommandType(int type) override { type_ = type; }
    std::string CommandText() const override { return text_; }
    void CommandText(const std::string& text) override { text_ = text; }
    std::shared_ptr<Parameter> CreateParameter(const std::string& name, int type, int direction, long size,
                                               const Variant& value) override {
        return std::make_shared<Parameter>(name, type, direction, size, value);
    }
    ado::Parameters& Parameters() override { return params_; }

protected:
    std::shared_ptr<Connection> connection_;
    int type_ = command::Unknown;
    std::string text_;
    ado::Parameters params_;
};

}  // namespace dalvera::host::ado
