#include "data/frmConnect.h"

#include <cctype>

#include "app/clsAux.h"
#include "data/frmPassword.h"
#include "runtime/Text.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
bool ticked(host::Form& form, const std::string& name) {
    host::FormControl* c = form.control(name);
    return c && c->value.isBoolean() && c->value.toBool();
}
}  // namespace

frmConnect::frmConnect() {
    width = 320;
    height = 250;
    using host::ControlKind;
    controls.push_back(host::makeControl("lblConnectKind", ControlKind::Label, 12, 14, 90, 16));
    auto pg = host::makeControl("optConnectPostgreSQL", ControlKind::OptionButton, 106, 12, 96, 18);
    pg.value = Variant(true);
    pg.caption = "PostgreSQL";  // product names read the same in every language
    controls.push_back(pg);
    auto ms = host::makeControl("optConnectSqlServer", ControlKind::OptionButton, 206, 12, 104, 18);
    ms.value = Variant(false);
    ms.caption = "MS SQL Server";
    controls.push_back(ms);
    int top = 40;
    for (const auto& [label, box] : {std::pair{"lblConnectServer", "txtServer"}, std::pair{"lblConnectPort", "txtPort"},
                                     std::pair{"lblConnectDatabase", "txtDatabase"}}) {
        controls.push_back(host::makeControl(label, ControlKind::Label, 12, top + 2, 90, 16));
        controls.push_back(host::makeControl(box, ControlKind::TextBox, 106, top, 200, 20));
        top += 28;
    }
    auto trusted = host::makeControl("chkConnectTrusted", ControlKind::CheckBox, 106, top, 200, 18);
    trusted.value = Variant(false);
    controls.push_back(trusted);
    top += 26;
    controls.push_back(host::makeControl("lblName", ControlKind::Label, 12, top + 2, 90, 16));
    controls.push_back(host::makeControl("txtUser", ControlKind::TextBox, 106, top, 200, 20));
    top += 28;
    controls.push_back(host::makeControl("lblPassword", ControlKind::Label, 12, top + 2, 90, 16));
    auto password = host::makeControl("txtPassword", ControlKind::TextBox, 106, top, 200, 20);
    password.passwordChar = true;
    controls.push_back(password);
    top += 32;
    auto ok = host::makeControl("cmdOK", ControlKind::CommandButton, 148, top, 76, 24);
    ok.caption = "&OK";
    ok.isDefault = true;
    controls.push_back(ok);
    auto cancel = host::makeControl("cmdCancel", ControlKind::CommandButton, 230, top, 76, 24);
    cancel.isCancel = true;
    controls.push_back(cancel);
}

bool frmConnect::SqlServer() { return ticked(*this, "optConnectSqlServer"); }
void frmConnect::SetSqlServer(bool v) {
    control("optConnectSqlServer")->value = Variant(v);
    control("optConnectPostgreSQL")->value = Variant(!v);
    updateLogon();
}
std::string frmConnect::Server() { return trimBlanks(logonText(*this, "txtServer")); }
std::string frmConnect::Port() { return trimBlanks(logonText(*this, "txtPort")); }
std::string frmConnect::Database() { return trimBlanks(logonText(*this, "txtDatabase")); }
std::string frmConnect::User() { return trimBlanks(logonText(*this, "txtUser")); }
std::string frmConnect::Password() { return logonText(*this, "txtPassword"); }
bool frmConnect::Trusted() { return SqlServer() && ticked(*this, "chkConnectTrusted"); }
void frmConnect::SetServer(const std::string& v) { control("txtServer")->value = Variant(v); }
void frmConnect::SetPort(const std::string& v) { control("txtPort")->value = Variant(v); }
void frmConnect::SetDatabase(const std::string& v) { control("txtDatabase")->value = Variant(v); }
void frmConnect::SetUser(const std::string& v) { control("txtUser")->value = Variant(v); }
void frmConnect::SetPassword(const std::string& v) { control("txtPassword")->value = Variant(v); }

void frmConnect::Activate() {
    caption = GetCaption("frmConnect");
    for (const char* name :
         {"lblConnectKind", "lblConnectServer", "lblConnectPort", "lblConnectDatabase", "chkConnectTrusted"})
        control(name)->caption = GetCaption(name);
    control("lblName")->caption = GetMessage(52);
    control("lblPassword")->caption = GetMessage(176) + ": ";
    control("cmdCancel")->caption = GetMessage(3);
    cancelled_ = true;
    updateLogon();
    // What is remembered only needs the password.
    focus = Server().empty() ? "txtServer" : Database().empty() ? "txtDatabase" : User().empty() ? "txtUser" : "txtPassword";
}

void frmConnect::updateLogon() {
    const bool sqlServer = SqlServer();
    control("chkConnectTrusted")->enabled = sqlServer;
    if (!sqlServer) control("chkConnectTrusted")->value = Variant(false);
    const bool trusted = Trusted();
    control("txtUser")->enabled = !trusted;
    control("txtPassword")->enabled = !trusted;
}

void frmConnect::Click(const std::string& controlName) {
    if (controlName == "optConnectSqlServer" || controlName == "optConnectPostgreSQL" || controlName == "chkConnectTrusted") {
        updateLogon();
    } else if (controlName == "cmdOK") {
        // The dialog stays open until what it holds can make a connection.
        if (Server().empty() || Database().empty()) {
            ShowMessage(GetMessage(274), host::mb::Information);
            focus = Server().empty() ? "txtServer" : "txtDatabase";
            return;
        }
        const std::string port = Port();
        if (!port.empty()) {
            bool digits = port.size() <= 5;
            for (char c : port) digits = digits && std::isdigit(static_cast<unsigned char>(c));
            if (!digits || std::stol(port) < 1 || std::stol(port) > 65535) {
                ShowMessage(GetMessage(275), host::mb::Information);
                focus = "txtPort";
                return;
            }
        }
        cancelled_ = false;
        Hide();
    } else if (controlName == "cmdCancel") {
        SetPassword("");
        cancelled_ = true;
        Hide();
    }
}

void frmConnect::QueryClose() { Click("cmdCancel"); }

}  // namespace dalvera
