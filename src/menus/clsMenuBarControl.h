#pragma once
// The add-in's popup menu on the host's worksheet menu bar. It keeps no state:
// it finds its menu by caption every time, and removes it when destroyed.
#include "menus/ICB.h"

namespace dalvera {

class clsMenuBarControl : public ICB {
public:
    ~clsMenuBarControl() override;
    void AddObject() override;
    void DeleteObject() override;
    bool ObjectExists() override;
    host::ControlPtr FindControlByTag(const std::string& sTag) override;
    std::shared_ptr<void> Object() override { return MenuControl(); }
    std::shared_ptr<host::CommandBarControls> Controls() override { return MenuControl()->Controls(); }
    void SetVisible(bool visible) override { MenuControl()->SetVisible(visible); }

    host::ControlPtr FindSubmenuControlByTag(const host::ControlPtr& oSubMenuControl, const std::string& sTag);
    // The product name with "&" before the last two letters of its first word.
    static std::string Name();
    // The popup control; the host's error when it is missing.
    host::ControlPtr MenuControl();
};

}  // namespace dalvera
