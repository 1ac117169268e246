#pragma once
// The database-password dialog. Cancel (or the close box) leaves an empty
// password, which the data source takes as giving up.
#include <string>

#include "host/Form.h"

namespace dalvera {

class frmPassword : public host::Form {
public:
    frmPassword();
    std::string Name() const override { return "frmPassword"; }

    std::string User();
    std::string Password();
    void SetUser(const std::string& v);
    void SetPassword(const std::string& v);

    void Activate() override;
    void Click(const std::string& controlName) override;
    void QueryClose() override;
};

// Shared by both dialogs: the typed text of a text box.
std::string logonText(host::Form& form, const std::string& controlName);

}  // namespace dalvera
