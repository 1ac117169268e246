#include "sheet/clsForm.h"

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "entry/Globals.h"
#include "runtime/Error.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
[[noreturn]] void notYet(const char* what) {
    raise(err::Critical, std::string(what) + " is not implemented!", "clsForm");
}

// The letters of a column number: 28 gives "AB".
std::string ColumnLetter(long column) {
    std::string letters;
    for (; column > 0; column = (column - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    return letters;
}
}  // namespace

void clsForm::ClearSheet() {
    auto& app = HostApp();
    clsAux& aux = goApplication->Aux();
    sheet_->Activate();
    auto window = app.ActiveWindow();
    window->SetDisplayHeadings(aux.IsSettingOn(setting::DisplayHeadings));
    window->SetDisplayZeros(aux.IsSettingOn(setting::DisplayZeros));
    window->SetFreezePanes(false);
    auto used = sheet_->UsedRange();
    long rows = used->Row() + used->RowsCount() - 1;
    long columns = used->Column() + used->ColumnsCount() - 1;
    sheet_->Rows("1:" + std::to_string(rows))->Delete();
    sheet_->Columns("A:" + ColumnLetter(columns))->Delete();
    sheet_->Cells()->Interior()->SetColor(aux.SettingColor(setting::ColorFormBack));
    sheet_->Cells()->Font()->SetColor(aux.SettingColor(setting::ColorMatrixFront));
    sheet_->SetName(GetProductName());
    window->SetScrollColumn(1);
    window->SetScrollRow(1);
    app.SetMoveAfterReturn(true);
    app.SetMoveAfterReturnDirection(host::xl::ToRight);
    try {
        app.CommandBars().Item("Task Pane")->SetVisible(false);
    } catch (const Error&) {
        // A host without a task pane has nothing to hide.
    }
}

void clsForm::ShowTable(const std::string&, int) { notYet("ShowTable"); }
void clsForm::AddRow() { notYet("AddRow"); }
void clsForm::WriteData() { notYet("WriteData"); }
void clsForm::DeleteRows() { notYet("DeleteRows"); }
void clsForm::Refresh() { notYet("Refresh"); }
void clsForm::CloseWorkbook() { notYet("CloseWorkbook"); }

}  // namespace dalvera
