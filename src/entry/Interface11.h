#pragma once
// The add-in workbook's way into the system: one object, created when the
// workbook opens; every menu command, button and function key calls one method.
#include "host/Excel.h"

namespace dalvera {

class Interface11 {
public:
    // Creates a new controller (replacing any earlier one).
    Interface11();
    // Hides the add-in's command bars and lets go of the host.
    ~Interface11();
    Interface11(const Interface11&) = delete;
    Interface11& operator=(const Interface11&) = delete;

    void AddinUninstall();
    void Initialize(const host::WorkbookPtr& oWorkbook);
    void GetDatabase();
    void Show();
    void ExecuteView();
    void ExecuteQuery();
    void ExecuteSQL();
    void AddRow();
    // Undo and redo of AddRow, called by the host's history.
    void UndoAddRow();
    void RedoAddRow();
    void WriteData();
    void DeleteRows();
    void Refresh();
    void ShowHelp();
    void ShowInfo();
    void ShowSettings();
    void ConvertDatabase();
    void ShowAllSheets();
    void CloseWorkbook();
    void ShowFirstMessage();
    void SayHello();
};

}  // namespace dalvera
