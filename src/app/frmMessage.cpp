#include "app/frmMessage.h"

#include "app/clsApplication.h"
#include "entry/Globals.h"
#include "text/modGlobalization.h"

namespace dalvera {

frmMessage::frmMessage() {
    width = 330;
    height = 170;
    using host::ControlKind;
    controls.push_back(host::makeControl("lblText", ControlKind::Label, 12, 12, 300, 80));
    controls.push_back(host::makeControl("Line1", ControlKind::Frame, 12, 98, 300, 1));
    auto check = host::makeControl("chkDontShowAgain", ControlKind::CheckBox, 12, 108, 210, 18);
    check.value = Variant(false);
    controls.push_back(check);
    auto ok = host::makeControl("cmdOK", ControlKind::CommandButton, 236, 106, 76, 24);
    ok.caption = "&OK";
    ok.isDefault = true;
    ok.isCancel = true;
    controls.push_back(ok);
}

void frmMessage::SetText(const std::string& text) { control("lblText")->caption = text; }

void frmMessage::Load() { caption = GetProductName(); }

void frmMessage::Activate() {
    caption = GetProductName();
    control("chkDontShowAgain")->caption = GetCaption("chkDontShowAgain");
    // The start-up hint offers itself switched off; the choice is kept only
    // once the person confirms it with OK, so a killed program keeps showing it.
    SetCheckValue(messageSetting_ == "Show message select db");
    touched_ = false;
}

void frmMessage::SetCheckValue(bool ticked) {
    host::FormControl* box = control("chkDontShowAgain");
    bool before = box->value.isBoolean() && box->value.toBool();
    box->value = Variant(ticked);
    if (before != ticked) Click("chkDontShowAgain");
}

void frmMessage::Click(const std::string& controlName) {
    if (controlName == "chkDontShowAgain") {
        touched_ = true;
    } else if (controlName == "cmdOK") {
        host::FormControl* box = control("chkDontShowAgain");
        const bool ticked = box->value.isBoolean() && box->value.toBool();
        if (ticked || touched_) goApplication->Aux().WriteSetting(1, messageSetting_, Variant(ticked ? "False" : "True"));
        Hide();
    }
}

}  // namespace dalvera
