#include "app/clsExcel.h"

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "data/IDS.h"
#include "data/ITable.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "menus/ICB.h"
#include "runtime/Text.h"
#include "sheet/clsForm.h"
#include "text/modGlobalization.h"

namespace dalvera {

clsExcel::clsExcel() {
    auto& running = host::platform().runningApplication;
    moExcel_ = running ? running() : nullptr;
    if (!moExcel_) return;
    QuitHiddenInstance();
    if (moExcel_->Visible()) {
        SaveUserOptions();
        moExcel_->addEventSink(this);
    } else {
        moExcel_->SetVisible(true);
        moExcel_.reset();
        ShowMessage(GetMessage(10), host::mb::Exclamation);
    }
}

clsExcel::~clsExcel() {
    if (moExcel_) moExcel_->removeEventSink(this);
}

void clsExcel::QuitHiddenInstance() {
    auto& running = host::platform().runningApplication;
    host::ApplicationPtr global = running ? running() : nullptr;
    // Only another hidden instance: quitting the one the add-in lives in would close the add-in workbook.
    if (global && global != moExcel_ && !global->Visible()) global->Quit();
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

bool clsExcel::IsTableWorkbook(const host::WorkbookPtr& workbook) const {
    host::WorksheetPtr sheet = goApplication ? goApplication->Form().Sheet() : nullptr;
    return sheet && workbook && sheet->Parent() == workbook;
}

void clsExcel::UpdateCommandStates() {
    UpdateWorkbookCommands();
    UpdateSheetCommands();
}

void clsExcel::UpdateWorkbookCommands() {
    clsApplication& app = *goApplication;
    host::WorksheetPtr sheet = app.Form().Sheet();
    bool active = sheet && moExcel_->ActiveWorkbook() == sheet->Parent();
    app.Aux().EnableWorkbookCommands(app.MenuBar(), active);
    app.Aux().EnableWorkbookCommands(app.CommandBar(), active);
    if (restoreOptionsPending_) {
        RestoreUserOptions();
        restoreOptionsPending_ = false;
    }
}

void clsExcel::UpdateSheetCommands() {
    clsApplication& app = *goApplication;
    host::WorksheetPtr sheet = app.Form().Sheet();
    bool active = sheet && moExcel_->ActiveSheet() == sheet;
    app.Aux().EnableSheetCommands(app.MenuBar(), active);
    app.Aux().EnableSheetCommands(app.CommandBar(), active);
}

std::string clsExcel::GetSaveAsFilter() {
    std::string extension;
    bool newer = false;
    switch (goApplication->VariantCode()) {
    case 11: case 21: extension = "xls"; break;
    case 12: case 22: extension = "xlsx"; newer = true; break;
    default: raise(err::Critical, "No such version!");
    }
    std::string filter = "Excel" + GetMessage(9) + " (*." + extension + "),*." + extension + ",";
    if (newer) filter += "Excel 97-2003" + GetMessage(9) + " (*.xls),*.xls,";
    for (int16_t n : {197, 198, 199, 200, 201}) filter += GetMessage(n);
    return filter.substr(0, 255);
}

int clsExcel::GetFileFormat(const std::string& extension) {
    if (extension == "xls") return host::xl::Excel8;
    if (extension == "xml") return host::xl::XMLSpreadsheet;
    if (extension == "mht" || extension == "mhtml") return host::xl::WebArchive;
    if (extension == "htm" || extension == "html") return host::xl::Html;
    if (extension == "txt") return host::xl::CurrentPlatformText;
    if (extension == "csv") return host::xl::CSV;
    return 0;
}

bool clsExcel::ConfirmWorkbookAction(const std::string& action) {
    clsForm& form = goApplication->Form();
    auto ask = [](int16_t message) {
        return ShowMessage(GetMessage(message), host::mb::YesNo | host::mb::Question) == host::answer::Yes;
    };
    if (action != "close" && action != "save")
        raise(err::Critical, "The following action is not implemented: " + action);
    if (form.HasChanges() && !ask(action == "close" ? 18 : 19)) return false;
    if (action == "close") {
        if (form.Sheet()->Parent()->Worksheets()->Count() == 2) return true;
        return ask(22);
    }
    return ask(23);
}

void clsExcel::Detach() {
    clsApplication& app = *goApplication;
    app.Form().SetSheet(nullptr);
    app.Form().Clear();
    app.CloseDataSource();
    app.Aux().ResetControlStates(app.MenuBar());
    app.Aux().ResetControlStates(app.CommandBar());
    // The start state hides the row commands but leaves their keys; without a
    // table sheet F6 to F9 must do nothing.
    app.Aux().EnableSheetCommands(app.MenuBar(), false);
    app.Aux().EnableSheetCommands(app.CommandBar(), false);
}

void clsExcel::ReportEventError(const Error& e) {
    CurrentErrorScope current(e);
    if (e.number() == err::InvalidCall)
        ShowMessage(GetMessage(216), host::mb::Exclamation);
    else
        ShowMessage(GetMessage(2), host::mb::Critical);
}

void clsExcel::SheetChange(const host::WorksheetPtr& sheet, const host::RangePtr& target) {
    try {
        clsForm& form = goApplication->Form();
        if (!form.Sheet() || sheet != form.Sheet()) return;
        auto source = goApplication->DataSource();
        // Edits of a table without a primary key cannot be written back: not tracked.
        if (source && source->Table().HasPrimaryKey()) form.RecordChange(target);
    } catch (const Error& e) {
        ReportEventError(e);
    }
}

void clsExcel::SheetUndo(const host::WorksheetPtr& sheet, const host::RangePtr& target) {
    try {
        clsForm& form = goApplication->Form();
        if (!form.Sheet() || sheet != form.Sheet()) return;
        auto source = goApplication->DataSource();
        if (source && source->Table().HasPrimaryKey()) form.RecordUndo(target);
    } catch (const Error& e) {
        ReportEventError(e);
    }
}

void clsExcel::SheetSort(const host::WorksheetPtr& sheet, long firstRow, const std::vector<long>& order) {
    try {
        clsForm& form = goApplication->Form();
        if (!form.Sheet() || sheet != form.Sheet()) return;
        form.RecordSort(firstRow - 1, order);
    } catch (const Error& e) {
        ReportEventError(e);
    }
}

void clsExcel::SheetActivate(const host::WorksheetPtr&) {
    try {
        UpdateCommandStates();
    } catch (const Error& e) {
        ReportEventError(e);
    }
}

void clsExcel::WorkbookActivate(const host::WorkbookPtr&) {
    try {
        UpdateCommandStates();
    } catch (const Error& e) {
        ReportEventError(e);
    }
}

void clsExcel::WorkbookBeforeSave(const host::WorkbookPtr& workbook, bool, bool& cancel) {
    bool prepared = false;
    try {
        if (!IsTableWorkbook(workbook)) return;
        cancel = true;
        if (!ConfirmWorkbookAction("save")) return;
        std::string name = replaceAll(workbook->Name(), "\"", "");
        std::string proposed = host::fileSystem().BuildPath(moExcel_->DefaultFilePath(), name);
        Variant chosen = moExcel_->GetSaveAsFilename(proposed, GetSaveAsFilter());
        // Cancelled: the dialog answers False instead of a path.
        if (!chosen.isString() || chosen.stringRef().empty()) return;
        std::string path = chosen.stringRef();
        moExcel_->SetEnableEvents(false);
        prepared = true;
        goApplication->Form().PrepareForSave();
        std::string extension = goApplication->Aux().GetExtension(path);
        switch (goApplication->VariantCode()) {
        case 11: case 21:
            if (extension == "xls") workbook->SaveAs(path);
            else workbook->SaveAs(path, Variant(GetFileFormat(extension)));
            break;
        case 12: case 22:
            if (extension == "xlsx") workbook->SaveAs(path);
            else workbook->SaveAs(path, Variant(GetFileFormat(extension)));
            break;
        default:
            break;
        }
        moExcel_->SetEnableEvents(true);
        Detach();
    } catch (const Error& e) {
        moExcel_->SetEnableEvents(true);
        cancel = true;
        // Not saved: the table sheet stays the person's, protected, with its edits marked.
        if (prepared) {
            try {
                goApplication->Form().RestoreAfterFailedSave();
            } catch (const Error&) {
            }
        }
        ReportEventError(e);
    }
}

void clsExcel::WorkbookBeforeClose(const host::WorkbookPtr& workbook, bool& cancel) {
    try {
        if (!IsTableWorkbook(workbook)) return;
        if (!ConfirmWorkbookAction("close")) {
            cancel = true;
            return;
        }
        workbook->SetSaved(true);
        Detach();
        restoreOptionsPending_ = true;
    } catch (const Error& e) {
        cancel = true;
        ReportEventError(e);
    }
}

}  // namespace dalvera
