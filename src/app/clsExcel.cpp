#include "app/clsExcel.h"

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "text/modGlobalization.h"

namespace dalvera {

clsExcel::clsExcel() {
    auto& running = host::platform().runningApplication;
    moExcel_ = running ? running() : nullptr;
    if (!moExcel_) return;
    QuitHiddenInstance();
    if (moExcel_->Visible()) {
        SaveUserOptions();
    } else {
        moExcel_->SetVisible(true);
        moExcel_.reset();
        ShowMessage(GetMessage(10), host::mb::Exclamation);
    }
}

void clsExcel::QuitHiddenInstance() {
    auto& running = host::platform().runningApplication;
    host::ApplicationPtr global = running ? running() : nullptr;
    if (global && !global->Visible()) global->Quit();
}

void clsExcel::SaveUserOptions() {
    clsAux& aux = goApplication->Aux();
    aux.WriteSetting(4, setting::UserMoveAfterReturnDirection,
                     Variant::longValue(moExcel_->MoveAfterReturnDirection()));
    bool taskPane = moExcel_->CommandBars().Item("Task Pane")->Visible();
    aux.WriteSetting(1, setting::UserDisplayTaskPane, Variant(taskPane ? "True" : "False"));
}

void clsExcel::RestoreUserOptions() {
    clsAux& aux = goApplication->Aux();
    Variant direction = aux.ReadSetting(setting::UserMoveAfterReturnDirection);
    Variant taskPane = aux.ReadSetting(setting::UserDisplayTaskPane);
    moExcel_->SetMoveAfterReturnDirection(static_cast<int16_t>(direction.toLong()));
    moExcel_->CommandBars().Item("Task Pane")->SetVisible(taskPane.toBool());
}

}  // namespace dalvera
