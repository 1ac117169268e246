#include "menus/clsCommandBar.h"

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "entry/Globals.h"
#include "menus/clsMenuBarControl.h"
#include "text/modGlobalization.h"

namespace dalvera {

std::string clsCommandBar::BarName() { return goApplication ? GetProductName() : std::string(); }

host::BarPtr clsCommandBar::Bar() { return HostApp().CommandBars().Item(BarName()); }

bool clsCommandBar::ObjectExists() {
    if (!goExcel || !goExcel->GetApplication()) return false;
    auto& bars = HostApp().CommandBars();
    std::string name = BarName();
    for (long i = 1; i <= bars.Count(); ++i)
        if (bars.Item(i)->Name() == name) return true;
    return false;
}

void clsCommandBar::DeleteObject() {
    if (ObjectExists()) Bar()->Delete();
}

host::ControlPtr clsCommandBar::FindControlByTag(const std::string& sTag) {
    try {
        return Bar()->FindControl(0, 0, sTag);
    } catch (const Error&) {
        return nullptr;
    }
}

void clsCommandBar::AddObject() {
    auto bar = HostApp().CommandBars().Add(BarName(), host::barpos::Floating, false, false);
    // The controller's menu: a menu object of our own would remove it when it goes.
    auto controls = goApplication->Menu().MenuControl()->Controls();
    for (long i = 1; i <= controls->Count(); ++i) {
        auto c = controls->Item(i);
        switch (c->Type()) {
        case host::ctl::Button: {
            if (c->Tag() == tag::CloseApplication) break;
            auto b = bar->Controls()->Add(host::ctl::Button);
            b->SetBeginGroup(c->BeginGroup());
            b->SetCaption(c->Caption());
            b->SetTag(c->Tag());
            b->SetOnAction(c->OnAction());
            b->SetFaceId(c->FaceId());
            b->SetEnabled(c->Enabled());
            b->SetVisible(c->Visible());
            b->SetToolTipText(c->Caption());
            break;
        }
        case host::ctl::ComboBox:
        case host::ctl::Popup:
            if (c->Tag() != tag::Help) c->Copy(bar);
            break;
        default:
            raise(err::Critical, "CommandBarControltype is not implemented!", "");
        }
    }
    bar->SetVisible(true);
}

void clsCommandBar::ShowToolbar(bool recreate) {
    bool build = true;
    if (ObjectExists()) {
        if (goWorkbook && goWorkbook->IsAddin() && !recreate) {
            goApplication->Aux().ResetControlStates(*this);
            build = false;
        } else {
            DeleteObject();
        }
    }
    if (build) AddObject();
    Bar()->SetVisible(true);
}

}  // namespace dalvera
