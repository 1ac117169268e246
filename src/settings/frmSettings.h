#pragma once
// The settings dialog: the display settings on three tabs, the optional
// messages restored, the defaults applied. Nothing is written before OK, Apply,
// Apply default settings or Restore user messages.
#include <array>
#include <cstdint>
#include <string>

#include "host/Form.h"
#include "runtime/Error.h"

namespace dalvera {

class frmSettings : public host::Form {
public:
    frmSettings();
    std::string Name() const override { return "frmSettings"; }

    void Activate() override;
    void Click(const std::string& controlName) override;
    bool KeyPress(const std::string& controlName, int keyAscii) override;
    void QueryClose() override { Hide(); }

    static constexpr int ColourCount = 10;
    // The colour of row i as the dialog holds it.
    long Colour(int i) const { return colours_.at(static_cast<size_t>(i)); }

    void LoadSettings();
    void SaveSettings(bool useDefaults);
    // Raises 666 with message 188 or 189 when the sheet could not tell cells apart.
    void CheckColours();
    void ApplyToTableSheet();
    void ApplySettings(bool closeAfter);
    long PickColour(long current);
    void PaintColourSample(int index);
    void UpdateWidthControls();
    // The leave-the-box check of a number box: false (after saying why) refuses it.
    bool ValidateNumberBox(const std::string& controlName);

private:
    void showTab(long index);
    bool checked(const std::string& name);
    void setChecked(const std::string& name, bool on);
    void reportError(const Error& e);

    std::array<long, ColourCount> colours_{};
};

}  // namespace dalvera
