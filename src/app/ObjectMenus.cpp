// The object buttons: one per table, view and stored query of the open
// database, in the sub-menus of the add-in's menu and toolbar.
#include <functional>

#include "app/clsApplication.h"
#include "data/IDS.h"
#include "entry/Globals.h"
#include "menus/ICB.h"
#include "menus/clsCommandBar.h"
#include "menus/clsMenuBarControl.h"
#include "sheet/clsForm.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
constexpr int TableFaceId = 333;
constexpr int ViewFaceId = 531;

// The popup of the tag; a bar without it cannot show the objects.
host::ControlPtr requirePopup(ICB& bar, const std::string& sTag) {
    auto popup = bar.FindControlByTag(sTag);
    if (!popup) raise(err::Critical, "The command bar has no '" + sTag + "' menu.", "clsApplication");
    return popup;
}

// Fills one popup; `decorate` runs between the face id and the on-action.
void fillMenu(ICB& bar, const std::string& sTag, const NameList& names, const std::function<int(const std::string&)>& faceId,
              const std::string& onAction, const std::function<void(host::CommandBarControl&, const std::string&)>& decorate) {
    auto popup = requirePopup(bar, sTag);
    if (names.Count() == 0) {
        popup->SetEnabled(false);
        return;
    }
    popup->SetEnabled(true);
    auto controls = popup->Controls();
    for (int16_t i = 1; i <= names.Count(); ++i) {
        const std::string& name = names.Item(i);
        auto button = controls->Add(host::ctl::Button);
        button->SetCaption(name);
        button->SetParameter(name);
        button->SetFaceId(faceId(name));
        if (decorate) decorate(*button, name);
        button->SetOnAction(onAction);
    }
}
}  // namespace

void clsApplication::FillObjectMenus() {
    bool views = DbKind() == 1;
    ClearObjectMenu(*menuBar_, tag::Tables);
    ClearObjectMenu(*commandBar_, tag::Tables);
    if (views) {
        ClearObjectMenu(*menuBar_, tag::Views);
        ClearObjectMenu(*commandBar_, tag::Views);
    }
    ClearObjectMenu(*menuBar_, tag::Queries);
    ClearObjectMenu(*commandBar_, tag::Queries);
    dataSource_->DetermineDbObjects(true);
    dataSource_->DetermineDbObjects(false);
    FillTablesMenu(*menuBar_);
    FillTablesMenu(*commandBar_);
    if (views) {
        FillViewsMenu(*menuBar_);
        FillViewsMenu(*commandBar_);
    }
    FillQueriesMenu(*menuBar_);
    FillQueriesMenu(*commandBar_);
    UpdateCommandStates();
}

void clsApplication::ClearObjectMenu(ICB& bar, const std::string& sTag) {
    auto popup = bar.FindControlByTag(sTag);
    if (popup) aux_->InitSubMenuControl(popup);
}

void clsApplication::FillTablesMenu(ICB& bar) {
    fillMenu(bar, tag::Tables, dataSource_->TableNames(), [](const std::string&) { return TableFaceId; },
             "ThisWorkbook.Show", nullptr);
}

void clsApplication::FillViewsMenu(ICB& bar) {
    NameList* views = dataSource_->ViewNames();
    NameList none;
    fillMenu(bar, tag::Views, views ? *views : none, [](const std::string&) { return ViewFaceId; },
             "ThisWorkbook.ExecuteView", nullptr);
}

void clsApplication::FillQueriesMenu(ICB& bar) {
    QueryList& queries = dataSource_->Queries();
    bool tips = HostVersion() > 11 && DbKind() == 0;
    fillMenu(
        bar, tag::Queries, dataSource_->QueryNames(),
        [&](const std::string& name) { return aux_->StatementFaceId(queries.Item(name)->SQL()); },
        "ThisWorkbook.ExecuteQuery",
        [&](host::CommandBarControl& button, const std::string& name) {
            if (!tips) return;
            try {
                button.SetToolTipText(queries.Item(name)->SQL());
            } catch (const Error&) {
                button.SetToolTipText(GetMessage(27));
            }
        });
}

void clsApplication::UpdateCommandStates() {
    if (goExcel && goExcel->GetApplication()) goExcel->UpdateCommandStates();
}

}  // namespace dalvera
