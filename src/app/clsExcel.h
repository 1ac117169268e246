#pragma once
// The host wrapper: attaches to the running spreadsheet application, refuses an
// instance the person cannot see, keeps the person's own host options, and
// receives the application's events for the table workbook.
#include <string>

#include "host/Excel.h"
#include "runtime/Error.h"

namespace dalvera {

class clsExcel : public host::ApplicationEvents {
public:
    clsExcel();
    ~clsExcel() override;
    clsExcel(const clsExcel&) = delete;
    clsExcel& operator=(const clsExcel&) = delete;

    host::ApplicationPtr GetApplication() const { return moExcel_; }
    void SaveUserOptions();
    void RestoreUserOptions();
    bool RestoreOptionsPending() const { return restoreOptionsPending_; }
    void SetRestoreOptionsPending(bool v) { restoreOptionsPending_ = v; }

    // Command states by the active workbook and sheet.
    void UpdateCommandStates();
    void UpdateWorkbookCommands();
    void UpdateSheetCommands();
    // The save-as dialog's filter for the variant, and the host's format code of an extension.
    std::string GetSaveAsFilter();
    static int GetFileFormat(const std::string& extension);
    // "close" or "save": asks what needs asking; True to go on.
    bool ConfirmWorkbookAction(const std::string& action);

    // Host events.
    void SheetChange(const host::WorksheetPtr& sheet, const host::RangePtr& target) override;
    void SheetUndo(const host::WorksheetPtr& sheet, const host::RangePtr& target) override;
    void SheetSort(const host::WorksheetPtr& sheet, long firstRow, const std::vector<long>& order) override;
    void SheetActivate(const host::WorksheetPtr& sheet) override;
    void WorkbookActivate(const host::WorkbookPtr& workbook) override;
    void WorkbookBeforeSave(const host::WorkbookPtr& workbook, bool saveAsUI, bool& cancel) override;
    void WorkbookBeforeClose(const host::WorkbookPtr& workbook, bool& cancel) override;

private:
    void QuitHiddenInstance();
    bool IsTableWorkbook(const host::WorkbookPtr& workbook) const;
    // The table workbook becomes an ordinary workbook: the system lets go of it.
    void Detach();
    void ReportEventError(const Error& e);
    host::ApplicationPtr moExcel_;
    bool restoreOptionsPending_ = false;
};

}  // namespace dalvera
