#include "app/frmAbout.h"

#include "app/clsApplication.h"
#include "app/frmSysInfo.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "text/modGlobalization.h"

namespace dalvera {

using host::makeControl;

frmAbout::frmAbout() {
    // Wide enough for the manual's address, which names the program's folder.
    width = 520;
    height = 160;
    controls.push_back(makeControl("lblProduct", host::ControlKind::Label, 12, 12, 496, 20));
    controls.push_back(makeControl("lblVersion", host::ControlKind::Label, 12, 36, 496, 20));
    controls.push_back(makeControl("lblLink", host::ControlKind::Hyperlink, 12, 60, 496, 20));
    auto ok = makeControl("cmdOK", host::ControlKind::CommandButton, 428, 96, 80, 24);
    ok.caption = "&OK";
    ok.isDefault = ok.isCancel = true;
    controls.push_back(ok);
    controls.push_back(makeControl("cmdSysInfo", host::ControlKind::CommandButton, 12, 96, 140, 24));
}

void frmAbout::Prepare() {
    caption = GetCaption("frmAbout");
    control("lblProduct")->caption = GetProductName();
    control("lblVersion")->caption = GetMessage(241, Variant(ComponentVersionText()));
    control("lblLink")->caption = FileUrl(ManualPage(ManualIndex()));
    control("cmdSysInfo")->caption = GetCaption("cmdSysInfo");
}

void frmAbout::Click(const std::string& controlName) {
    if (controlName == "cmdOK") {
        Hide();
    } else if (controlName == "lblLink") {
        if (!goApplication) raise(91, "Object variable or With block variable not set");
        goApplication->OpenUrl(control("lblLink")->caption);
    } else if (controlName == "cmdSysInfo") {
        frmSysInfo info;
        if (info.Prepare()) host::ui().ShowForm(info);
    }
}

}  // namespace dalvera
