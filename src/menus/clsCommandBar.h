#pragma once
// The add-in's floating toolbar, derived from the menu. It keeps no state and
// stays in the host when the object goes: only DeleteObject removes it.
#include "menus/ICB.h"

namespace dalvera {

class clsCommandBar : public ICB {
public:
    void AddObject() override;
    void DeleteObject() override;
    bool ObjectExists() override;
    host::ControlPtr FindControlByTag(const std::string& sTag) override;
    std::shared_ptr<void> Object() override { return Bar(); }
    std::shared_ptr<host::CommandBarControls> Controls() override { return Bar()->Controls(); }
    void SetVisible(bool visible) override { Bar()->SetVisible(visible); }

    // The toolbar's name: the product name while the controller exists.
    static std::string BarName();
    void ShowToolbar(bool recreate);
    host::BarPtr Bar();
};

}  // namespace dalvera
