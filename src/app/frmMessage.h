#pragma once
// The optional-notice dialog: the text, OK, and "Don't show this message again"
// bound to one message switch in the settings.
#include <string>

#include "host/Form.h"

namespace dalvera {

class frmMessage : public host::Form {
public:
    frmMessage();
    std::string Name() const override { return "frmMessage"; }

    void SetMessageSetting(const std::string& name) { messageSetting_ = name; }
    const std::string& MessageSetting() const { return messageSetting_; }
    void SetText(const std::string& text);

    void Load();
    void Activate() override;
    void Click(const std::string& controlName) override;

private:
    void SetCheckValue(bool ticked);
    std::string messageSetting_;
    bool touched_ = false;  // the person clicked the box
};

}  // namespace dalvera
