// The start state of the add-in's controls and the rules that switch them.
#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "entry/Globals.h"
#include "menus/ICB.h"
#include "sheet/clsForm.h"

namespace dalvera {

namespace {
void bindKey(const char* key, const char* macro, bool enabled) {
    HostApp().OnKey(key, Variant(enabled ? macro : ""));
}
}  // namespace

void clsAux::ResetControlStates(ICB& bar) {
    if (!bar.ObjectExists()) return;
    auto controls = bar.Controls();
    bool workbookOpen = goApplication->Form().Sheet() != nullptr;
    for (long i = 1; i <= controls->Count(); ++i) {
        auto c = controls->Item(i);
        const std::string t = c->Tag();
        if (t == tag::RowAdd || t == tag::RowUpdate || t == tag::RowDelete || t == tag::RefreshData) {
            c->SetVisible(false);
        } else if (t == tag::OpenDatabase || t == tag::Settings || t == tag::Help || t == tag::ConvertDatabase) {
            c->SetEnabled(true);
        } else if (t == tag::Tables || t == tag::Views || t == tag::Queries) {
            InitSubMenuControl(c);
            c->SetEnabled(false);
        } else if (t == tag::CloseApplication) {
            c->SetEnabled(workbookOpen);
        } else {
            c->SetEnabled(false);
        }
    }
}

void clsAux::InitSubMenuControl(const host::ControlPtr& oSubMenuControl) {
    auto controls = oSubMenuControl->Controls();
    while (controls->Count() > 0) controls->Item(controls->Count())->Delete();
}

void clsAux::EnableControl(ICB& bar, const std::string& sTag, bool enabled) {
    auto c = bar.FindControlByTag(sTag);
    if (c) c->SetEnabled(enabled);
}

void clsAux::EnableWorkbookCommands(ICB& bar, bool enabled) { EnableControl(bar, tag::ExecuteSql, enabled); }

void clsAux::EnableSheetCommands(ICB& bar, bool enabled) {
    clsApplication& app = *goApplication;
    bool table = app.HasTableSheet();
    bool e = table && enabled;
    EnableControl(bar, tag::RefreshData, e);
    bindKey("{F9}", "ThisWorkbook.Refresh", e);

    if (table) {
        clsForm& form = app.Form();
        e = form.TableHasPrimaryKeyInfo() ? e && form.TableHasPrimaryKey() : false;
    } else {
        e = false;
    }
    EnableControl(bar, tag::RowAdd, e);
    bindKey("{F6}", "ThisWorkbook.AddRow", e);

    if (table) {
        if (app.Form().RowCount() < 1) e = false;
    } else {
        e = false;
    }
    EnableControl(bar, tag::RowDelete, e);
    bindKey("{F8}", "ThisWorkbook.DeleteRows", e);

    e = table ? e && app.Form().HasChanges() : false;
    EnableControl(bar, tag::RowUpdate, e);
    bindKey("{F7}", "ThisWorkbook.WriteData", e);
}

}  // namespace dalvera
