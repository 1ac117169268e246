#pragma once
// Shared helper routines without state: the settings layer over the registry,
// the display settings applied to ranges, optional messages, file-name helpers
// and the start-up checks.
#include <cstdint>
#include <string>

#include "host/Ado.h"
#include "host/Excel.h"
#include "runtime/Variant.h"

namespace dalvera {

class ICB;

// Names of the settings, as written in the settings key.
namespace setting {
inline constexpr const char* ColorTitleBack = "Setting color title back";
inline constexpr const char* ColorTitleFront = "Setting color title front";
inline constexpr const char* ColorMatrixBack = "Setting color matrix back";
inline constexpr const char* ColorMatrixFront = "Setting color matrix front";
inline constexpr const char* ColorMatrixBackReadOnly = "Setting color matrix back read only";
inline constexpr const char* ColorMatrixFrontReadOnly = "Setting color matrix front read only";
inline constexpr const char* ColorMatrixBackEdited = "Setting color matrix back edited";
inline constexpr const char* ColorMatrixFrontEdited = "Setting color matrix front edited";
inline constexpr const char* ColorMatrixLines = "Setting color matrix lines";
inline constexpr const char* ColorFormBack = "Setting color form back";
inline constexpr const char* DisplayHeadings = "Setting display headings";
inline constexpr const char* DisplayFilter = "Setting display filter";
inline constexpr const char* DisplayZeros = "Setting display zeros";
inline constexpr const char* DisplayFieldDescription = "Setting display field description";
inline constexpr const char* FreezeTopRow = "Setting freeze top row";
inline constexpr const char* WarningNrOfCells = "Setting warning nr of cells";
inline constexpr const char* AdjustWidths = "Setting adjust widths columns automatically";
inline constexpr const char* ApplyColumnProperties = "Setting apply column properties MS Access";
inline constexpr const char* FixedColumnWidth = "Setting fixed column width";

inline constexpr const char* ShowSelectDb = "Show message select db";
inline constexpr const char* ShowSelectTable = "Show message select table";
inline constexpr const char* ShowUpdatedRecords = "Show message updated records";
inline constexpr const char* ShowDeletedRecords = "Show message deleted records";
inline constexpr const char* ShowQueryExecuted = "Show message query executed";
inline constexpr const char* ShowNoPrimaryKey = "Show message no primary key";
inline constexpr const char* ShowReadOnlyAccess = "Show message read-only Access file";

inline constexpr const char* Version = "Version";
inline constexpr const char* InitDir = "InitDir";
inline constexpr const char* UserMoveAfterReturnDirection = "User MoveAfterReturnDirection";
inline constexpr const char* UserDisplayTaskPane = "User display taskPane";
}  // namespace setting

// One display setting with its registry kind and default.
struct DisplaySetting {
    const char* name;
    int32_t kind;        // 1 text, 4 number
    const char* value;   // the default as text
};
// The display settings in their fixed order.
const DisplaySetting* DisplaySettings(size_t& count);
// The optional-message switches in their fixed order.
const char* const* MessageSwitches(size_t& count);

class clsAux {
public:
    // Settings layer.
    std::string SettingsKeyPath();
    void WriteRegistryValue(const std::string& keyPath, int32_t kind, const std::string& valueName,
                            const Variant& value);
    Variant ReadRegistryValue(const std::string& keyPath, const std::string& valueName);
    void WriteSetting(int32_t kind, const std::string& valueName, const Variant& value);
    Variant ReadSetting(const std::string& valueName);
    bool MachineKeyExists(const std::string& keyPath);

    // Settings with defaults and the routines that apply them.
    Variant ReadSettingOrDefault(const std::string& valueName);
    // A display setting that is on ("True" exactly).
    bool IsSettingOn(const std::string& valueName);
    long SettingColor(const std::string& valueName);
    bool IsMessageEnabled(const std::string& valueName);
    void ShowOptionalMessage(const std::string& valueName, const std::string& text);
    void FormatTitleRow(const host::RangePtr& range);
    void DrawGridLines(const host::RangePtr& range);
    void SetColumnWidths(const host::RangePtr& range);
    void FormatDataRange(const host::RangePtr& range);
    void ApplyFreezeTopRow(const host::WorksheetPtr& sheet);
    // True when the person declined to show fieldCount x recordCount cells.
    bool ConfirmLargeResult(long fieldCount, long recordCount);
    // Writes every display default, then every switch as "True".
    void ApplyDefaultSettings();
    void RestoreUserMessages();

    // Copies a list record set onto the list sheet at (startRow, column) and
    // names its values; returns the range written.
    host::RangePtr WriteList(const host::WorksheetPtr& listSheet, host::ado::Recordset& recordSet,
                             const std::string& name, long startRow, int16_t column);

    // Helpers.
    static std::string ProtectionPassword() { return "w58w"; }
    std::string GetFileName(const std::string& path);
    std::string GetExtension(const std::string& path);

    // Command states of a bar (menu or toolbar).
    void ResetControlStates(ICB& bar);
    void InitSubMenuControl(const host::ControlPtr& oSubMenuControl);
    void EnableControl(ICB& bar, const std::string& sTag, bool enabled);
    void EnableWorkbookCommands(ICB& bar, bool enabled);
    void EnableSheetCommands(ICB& bar, bool enabled);

    // Statement kinds: the icon of a stored query's button, and what the command runner asks.
    std::string NormalizeStatement(const std::string& statement);
    bool IsDataDefinition(const std::string& statement);
    int32_t StatementFaceId(const std::string& statement);
    // A driver's message without its prefixes, introduced with the database kind.
    std::string CleanOdbcMessage(const std::string& text);

    // Start-up checks; True when passed. CheckEdition runs first, before the host is attached.
    bool CheckEdition();
    bool CheckComponents();
    bool CheckOtherVersions();
};

// The message box as the system shows it: brought to the foreground, titled with
// the product name unless a title is given.
int ShowMessage(const std::string& text, int style, const std::string& title = {});

}  // namespace dalvera
