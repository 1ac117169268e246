#include "entry/Interface11.h"

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "app/clsExcel.h"
#include "app/frmAbout.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "menus/clsCommandBar.h"
#include "menus/clsMenuBarControl.h"
#include "runtime/Like.h"
#include "sheet/clsForm.h"
#include "sql/clsCommand.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
// After a refused start there is no controller: the command fails as an unset
// object would, instead of reaching through nothing.
clsApplication& controller() {
    if (!goApplication) raise(91, "Object variable or With block variable not set");
    return *goApplication;
}
}  // namespace

Interface11::Interface11() { goApplication = std::make_shared<clsApplication>(); }

Interface11::~Interface11() {
    try {
        if (goExcel && goExcel->GetApplication()) {
            auto& bars = goExcel->GetApplication()->CommandBars();
            for (long i = 1; i <= bars.Count(); ++i) {
                auto bar = bars.Item(i);
                if (Like(bar->Name(), "*" + GetTitle() + "*")) bar->SetVisible(false);
            }
        }
    } catch (const Error&) {
        // Leaving: a host that is going away keeps its bars as they are.
    }
    goExcel.reset();
}

void Interface11::AddinUninstall() {
    if (!goApplication) return;
    goApplication->MenuBar().DeleteObject();
    goApplication->CommandBar().DeleteObject();
    goApplication->Aux().WriteSetting(1, setting::ShowSelectDb, Variant("True"));
}

void Interface11::Initialize(const host::WorkbookPtr& oWorkbook) {
    try {
        if (!goApplication) return;
        goWorkbook = oWorkbook;
        // Everything after this depends on the edition, the settings key first.
        SetProductName(GetTitle());
        if (!goApplication->Aux().CheckEdition()) {
            goWorkbook->Close(Variant(false));
            goApplication.reset();
            return;
        }
        SetProductName(goApplication->ProductName());
        goExcel = std::make_shared<clsExcel>();
        if (!goExcel->GetApplication()) return;
        SetCountryCode(HostApp().International(host::xl::CountryCode).toLong());
        bool passed = goApplication->Aux().CheckComponents();
        if (passed) passed = goApplication->Aux().CheckOtherVersions();
        if (passed) {
            goApplication->StartUp();
        } else {
            goWorkbook->Close(Variant(false));
            goExcel.reset();
            goApplication.reset();
        }
    } catch (const Error& e) {
        CurrentErrorScope current(e);
        host::ui().MsgBox(GetMessage(2), host::mb::Critical | host::mb::SetForeground, GetTitle());
    }
}

void Interface11::GetDatabase() { controller().GetDatabase(); }

void Interface11::Show() { controller().Form().ShowTable("", 0); }

void Interface11::ExecuteView() { controller().Command().Run(true, true, 0); }

void Interface11::ExecuteQuery() { controller().Command().Run(false, true, 0); }

void Interface11::ExecuteSQL() { controller().Command().Run(false, false, 0); }

void Interface11::AddRow() { controller().Form().AddRow(); }

void Interface11::UndoAddRow() { controller().Form().UndoAddRow(); }

void Interface11::RedoAddRow() { controller().Form().RedoAddRow(); }

void Interface11::WriteData() { controller().Form().WriteData(); }

void Interface11::DeleteRows() { controller().Form().DeleteRows(); }

void Interface11::Refresh() { controller().Form().Refresh(); }

void Interface11::ShowHelp() { controller().ShowHelp(); }

void Interface11::ShowInfo() {
    static std::unique_ptr<frmAbout> about;
    if (!about) about = std::make_unique<frmAbout>();
    about->Prepare();
    host::ui().ShowForm(*about);
}

void Interface11::ShowSettings() { controller().ShowSettings(); }
void Interface11::ConvertDatabase() { controller().ConvertDatabase(); }

void Interface11::ShowAllSheets() { controller().ShowAllSheets(); }

void Interface11::CloseWorkbook() { controller().Form().CloseWorkbook(); }

void Interface11::ShowFirstMessage() { controller().ShowFirstMessage(); }

void Interface11::SayHello() {
    host::ui().MsgBox("Hello", host::mb::Information | host::mb::SetForeground, GetTitle());
}

}  // namespace dalvera
