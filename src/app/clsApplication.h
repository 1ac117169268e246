#pragma once
// The application controller: owns the table sheet, the command runner, the
// add-in's menu and toolbar, the registry wrapper and the shared helpers, holds
// the current data source, and carries out the application-level commands.
#include <cstdint>
#include <memory>
#include <string>

#include "app/clsAux.h"
#include "app/clsExcel.h"
#include "host/Ado.h"
#include "host/Excel.h"

namespace dalvera {

class clsForm;
class clsCommand;
class clsRegistry;
class ICB;
class clsMenuBarControl;
class clsCommandBar;
class IDS;

class frmSettings;

class clsApplication {
public:
    clsApplication();
    ~clsApplication();
    clsApplication(const clsApplication&) = delete;
    clsApplication& operator=(const clsApplication&) = delete;

    // Parts.
    std::shared_ptr<IDS> DataSource() const { return dataSource_; }
    clsForm& Form() { return *form_; }
    clsCommand& Command() { return *command_; }
    ICB& MenuBar();
    ICB& CommandBar();
    clsMenuBarControl& Menu() { return *menuBar_; }
    clsCommandBar& Toolbar() { return *commandBar_; }
    clsAux& Aux() { return *aux_; }
    clsRegistry& Registry() { return *registry_; }

    // The add-in workbook's "Revision Number": 11, 12, 21 or 22.
    int16_t VariantCode() const;
    int DbKind() const;
    std::string GetDbKindName(int kind) const;
    // The product name of the variant.
    std::string ProductName() const;
    // Major version of the host (the numeric value of Application.Version).
    double HostVersion() const;

    // Commands.
    void StartUp();
    void ShowFirstMessage();
    void GetDatabase();
    bool OpenDataSource();
    void CloseDataSource();
    void ShowSettings();
    // Writes the open read-only MS Access file to a new, editable database and opens that.
    void ConvertDatabase();
    void ShowHelp();
    void ShowAllSheets();
    void OpenUrl(const std::string& address);

    bool IsFirstRun();
    void InitFirstRun();
    std::string GetWorkbookFileName();
    std::string BuildWorkbookFileName(int16_t i);
    bool FileExists(const std::string& path);
    bool IsWorkbookOpen(const std::string& name);
    void SetOtherSheetsVisible(int state);
    void ShowRowCommands(ICB& bar, bool visible);
    bool IsConnected() const { return dataSource_ != nullptr; }

    // The object buttons of the menu and the toolbar.
    void FillObjectMenus();
    void ClearObjectMenu(ICB& bar, const std::string& sTag);
    void FillTablesMenu(ICB& bar);
    void FillViewsMenu(ICB& bar);
    void FillQueriesMenu(ICB& bar);
    // The workbook and sheet commands follow the active workbook and sheet.
    void UpdateCommandStates();
    bool HasTableSheet() const;

    // Database rows on a sheet: the header of field names at (row, column), the
    // records below it; returns the header and data range.
    host::RangePtr ShowRecordset(const host::WorksheetPtr& sheet, host::ado::Recordset& recordset, long row,
                                 int16_t column);
    static VariantArray2D GetFieldNames(const host::ado::Recordset& recordset);
    static void RoundRangeValues(const host::RangePtr& range, int digits);

private:
    std::shared_ptr<IDS> dataSource_;
    std::unique_ptr<clsForm> form_;
    std::unique_ptr<clsCommand> command_;
    std::unique_ptr<clsMenuBarControl> menuBar_;
    std::unique_ptr<clsCommandBar> commandBar_;
    std::unique_ptr<clsRegistry> registry_;
    std::unique_ptr<clsAux> aux_;
    std::unique_ptr<frmSettings> settings_;  // made on first use
    std::string openPath_;  // opened instead of asking, once (a converted copy)
};

// The component's version as "major.minor".
std::string ComponentVersionText();
// A page of the manual that ships beside the program.
std::string ManualPage(const std::string& page);
// The manual's first page in the person's language.
std::string ManualIndex();
// A local path as a file:// address, with the characters an address cannot hold escaped.
std::string FileUrl(const std::string& path);

}  // namespace dalvera
