#include "app/frmAbout.h"

#include "app/clsApplication.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "text/modGlobalization.h"

namespace dalvera {

using host::makeControl;

frmAbout::frmAbout() {
    width = 320;
    height = 160;
    controls.push_back(makeControl("lblProduct", host::ControlKind::Label, 12, 12, 290, 20));
    controls.push_back(makeControl("lblVersion", host::ControlKind::Label, 12, 36, 290, 20));
    controls.push_back(makeControl("lblLink", host::ControlKind::Hyperlink, 12, 60, 290, 20));
    auto ok = makeControl("cmdOK", host::ControlKind::CommandButton, 224, 96, 80, 24);
    ok.caption = "&OK";
    ok.isDefault = ok.isCancel = true;
    controls.push_back(ok);
    controls.push_back(makeControl("cmdSysInfo", host::ControlKind::CommandButton, 12, 96, 140, 24));
}

void frmAbout::Prepare() {
    caption = GetCaption("frmAbout");
    control("lblProduct")->caption = GetProductName();
    control("lblVersion")->caption = ComponentVersionText();
    control("lblLink")->caption = "https://dalvera.example";
    control("cmdSysInfo")->caption = GetCaption("cmdSysInfo");
}

void frmAbout::Click(const std::string& controlName) {
    if (controlName == "cmdOK") {
        Hide();
    } else if (controlName == "lblLink") {
        goApplication->OpenUrl(control("lblLink")->caption);
    } else if (controlName == "cmdSysInfo") {
        // The desktop's own system report; a missing one is told, not fatal.
        try {
            host::shell().OpenDocument("/proc/cpuinfo");
        } catch (const Error& e) {
            host::ui().MsgBox(e.description(), host::mb::Information | host::mb::SetForeground, GetProductName());
        }
    }
}

}  // namespace dalvera
