#pragma once
// The workgroup logon dialog: user name and password. Cancel (or the close box)
// leaves an empty password, which the data source takes as giving up.
#include <string>

#include "host/Form.h"

namespace dalvera {

class frmLogon : public host::Form {
public:
    frmLogon();
    std::string Name() const override { return "frmLogon"; }

    std::string User();
    std::string Password();
    void SetUser(const std::string& v);
    void SetPassword(const std::string& v);
    // The control that has the focus when the dialog comes up.
    const std::string& FocusControl() const { return focus_; }

    void Activate() override;
    void Click(const std::string& controlName) override;
    void QueryClose() override;

private:
    std::string focus_ = "txtUser";
};

}  // namespace dalvera
