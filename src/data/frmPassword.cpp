#include "data/frmPassword.h"

#include "text/modGlobalization.h"

namespace dalvera {

std::string logonText(host::Form& form, const std::string& controlName) {
    host::FormControl* c = form.control(controlName);
    return c ? c->value.text() : std::string();
}

frmPassword::frmPassword() {
    width = 260;
    height = 110;
    controls.push_back(host::makeControl("lblDbPassword", host::ControlKind::Label, 12, 12, 230, 16));
    auto password = host::makeControl("txtPassword", host::ControlKind::TextBox, 12, 32, 230, 20);
    password.passwordChar = true;
    controls.push_back(password);
    // Never shown: the database password needs no user name.
    auto user = host::makeControl("txtUser", host::ControlKind::TextBox, 12, 32, 0, 0);
    user.visible = false;
    controls.push_back(user);
    auto ok = host::makeControl("cmdOK", host::ControlKind::CommandButton, 86, 62, 76, 24);
    ok.caption = "&OK";
    ok.isDefault = true;
    controls.push_back(ok);
    auto cancel = host::makeControl("cmdCancel", host::ControlKind::CommandButton, 166, 62, 76, 24);
    cancel.isCancel = true;
    controls.push_back(cancel);
}

std::string frmPassword::User() { return logonText(*this, "txtUser"); }
std::string frmPassword::Password() { return logonText(*this, "txtPassword"); }
void frmPassword::SetUser(const std::string& v) { control("txtUser")->value = Variant(v); }
void frmPassword::SetPassword(const std::string& v) { control("txtPassword")->value = Variant(v); }

void frmPassword::Activate() {
    caption = GetCaption("frmPassword");
    control("lblDbPassword")->caption = GetCaption("lblDbPassword");
    control("cmdCancel")->caption = GetMessage(3);
}

void frmPassword::Click(const std::string& controlName) {
    if (controlName == "cmdOK") {
        Hide();
    } else if (controlName == "cmdCancel") {
        SetPassword("");
        Hide();
    }
}

void frmPassword::QueryClose() { Click("cmdCancel"); }

}  // namespace dalvera
