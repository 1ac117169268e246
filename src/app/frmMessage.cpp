#include "app/frmMessage.h"

#include "app/clsApplication.h"
#include "entry/Globals.h"
#include "text/modGlobalization.h"

namespace dalvera {

frmMessage::frmMessage() {
    width = 330;
    height = 170;
    host::FormControl text;
    text.name = "lblText";
    text.kind = host::ControlKind::Label;
    text.left = 12, text.top = 12, text.width = 300, text.height = 80;
    controls.push_back(text);
    host::FormControl line;
    line.name = "Line1";
    line.kind = host::ControlKind::Frame;
    line.left = 12, line.top = 98, line.width = 300, line.height = 1;
    controls.push_back(line);
    host::FormControl check;
    check.name = "chkDontShowAgain";
    check.kind = host::ControlKind::CheckBox;
    check.value = Variant(false);
    check.left = 12, check.top = 108, check.width = 210, check.height = 18;
    controls.push_back(check);
    host::FormControl ok;
    ok.name = "cmdOK";
    ok.kind = host::ControlKind::CommandButton;
    ok.caption = "&OK";
    ok.isDefault = true;
    ok.isCancel = true;
    ok.left = 236, ok.top = 106, ok.width = 76, ok.height = 24;
    controls.push_back(ok);
}

void frmMessage::SetText(const std::string& text) { control("lblText")->caption = text; }

void frmMessage::Load() { caption = GetProductName(); }

void frmMessage::Activate() {
    caption = GetProductName();
    control("chkDontShowAgain")->caption = GetCaption("chkDontShowAgain");
    // Setting the box raises its Click as a person's click would, so the
    // start-up hint is switched off as soon as it is shown.
    SetCheckValue(messageSetting_ == "Show message select db");
}

void frmMessage::SetCheckValue(bool ticked) {
    host::FormControl* box = control("chkDontShowAgain");
    bool before = box->value.isBoolean() && box->value.toBool();
    box->value = Variant(ticked);
    if (before != ticked) Click("chkDontShowAgain");
}

void frmMessage::Click(const std::string& controlName) {
    if (controlName == "chkDontShowAgain") {
        host::FormControl* box = control("chkDontShowAgain");
        bool ticked = box->value.isBoolean() && box->value.toBool();
        goApplication->Aux().WriteSetting(1, messageSetting_, Variant(ticked ? "False" : "True"));
    } else if (controlName == "cmdOK") {
        Hide();
    }
}

}  // namespace dalvera
