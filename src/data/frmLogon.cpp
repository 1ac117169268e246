#include "data/frmLogon.h"

#include "data/frmPassword.h"
#include "text/modGlobalization.h"

namespace dalvera {

frmLogon::frmLogon() {
    width = 280;
    height = 130;
    controls.push_back(host::makeControl("lblName", host::ControlKind::Label, 12, 14, 80, 16));
    controls.push_back(host::makeControl("txtUser", host::ControlKind::TextBox, 96, 12, 168, 20));
    controls.push_back(host::makeControl("lblPassword", host::ControlKind::Label, 12, 42, 80, 16));
    auto password = host::makeControl("txtPassword", host::ControlKind::TextBox, 96, 40, 168, 20);
    password.passwordChar = true;
    controls.push_back(password);
    auto ok = host::makeControl("cmdOK", host::ControlKind::CommandButton, 108, 74, 76, 24);
    ok.caption = "&OK";
    ok.isDefault = true;
    controls.push_back(ok);
    auto cancel = host::makeControl("cmdCancel", host::ControlKind::CommandButton, 188, 74, 76, 24);
    cancel.isCancel = true;
    controls.push_back(cancel);
}

std::string frmLogon::User() { return logonText(*this, "txtUser"); }
std::string frmLogon::Password() { return logonText(*this, "txtPassword"); }
void frmLogon::SetUser(const std::string& v) { control("txtUser")->value = Variant(v); }
void frmLogon::SetPassword(const std::string& v) { control("txtPassword")->value = Variant(v); }

void frmLogon::Activate() {
    caption = GetCaption("frmLogon");
    control("lblName")->caption = GetMessage(52);
    control("lblPassword")->caption = GetMessage(176) + ": ";
    control("cmdCancel")->caption = GetMessage(3);
    // A known user only needs the password.
    focus_ = !User().empty() && Password().empty() ? "txtPassword" : "txtUser";
}

void frmLogon::Click(const std::string& controlName) {
    if (controlName == "cmdOK") {
        Hide();
    } else if (controlName == "cmdCancel") {
        SetPassword("");
        Hide();
    }
}

void frmLogon::QueryClose() { Click("cmdCancel"); }

}  // namespace dalvera
