#pragma once
// A command bar of the add-in, menu or toolbar, as the controller and the
// command-state rules see it. Controls are found by tag, never by caption.
#include <string>

#include "host/CommandBars.h"

namespace dalvera {

class ICB {
public:
    virtual ~ICB() = default;
    virtual void AddObject() = 0;
    virtual void DeleteObject() = 0;
    virtual bool ObjectExists() = 0;
    // nullptr when no control carries the tag.
    virtual host::ControlPtr FindControlByTag(const std::string& sTag) = 0;
    // The host object behind the bar: the menu's popup control, or the toolbar.
    virtual std::shared_ptr<void> Object() = 0;
    // The host's controls of the bar's first level.
    virtual std::shared_ptr<host::CommandBarControls> Controls() = 0;
    // Visible of the host object.
    virtual void SetVisible(bool visible) = 0;
};

// Tags of the add-in's controls, spelled as the rules look for them.
namespace tag {
inline constexpr const char* OpenDatabase = "Open database";
inline constexpr const char* Tables = "Tables";
inline constexpr const char* Views = "Views";
inline constexpr const char* Queries = "Queries";
inline constexpr const char* RowAdd = "Row Add";
inline constexpr const char* RowUpdate = "Row Update";
inline constexpr const char* RowDelete = "Row Delete";
inline constexpr const char* RefreshData = "Refresh data";
inline constexpr const char* ExecuteSql = "Excecute SQL";
inline constexpr const char* Settings = "Settings";
inline constexpr const char* ConvertDatabase = "Convert database";
inline constexpr const char* Help = "Help";
inline constexpr const char* CloseApplication = "Close application";
}  // namespace tag

}  // namespace dalvera
