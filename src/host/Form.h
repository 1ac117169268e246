#pragma once
// A dialog whose state and event handlers live in the engine. A front end draws
// the controls from this state and forwards clicks and typing to the handlers;
// the form hides itself to end the modal loop.
#include <string>
#include <vector>

#include "runtime/Variant.h"

namespace dalvera::host {

enum class ControlKind { Label, CheckBox, CommandButton, TextBox, Frame, OptionButton, Image, Hyperlink, TabStrip };

struct FormControl {
    std::string name;      // lblMessage, chkDontShowAgain, cmdOK, txtPassword ...
    ControlKind kind = ControlKind::Label;
    std::string caption;
    Variant value;         // text of a text box, Boolean of a check box
    bool enabled = true;
    bool visible = true;
    bool isDefault = false;  // Enter presses it
    bool isCancel = false;   // Escape presses it
    bool passwordChar = false;
    std::string container;   // the frame it sits in, if any
    // Position and size in points, for front ends that lay out as designed.
    int left = 0, top = 0, width = 0, height = 0;
    long backColor = -1;     // -1: the front end's default
    std::vector<std::string> tabs;  // a tab strip's captions; its value is the selected index
};

// A control at its place, in points; a text box starts with an empty text.
inline FormControl makeControl(const std::string& name, ControlKind kind, int left, int top, int width, int height) {
    FormControl c;
    c.name = name;
    c.kind = kind;
    c.left = left, c.top = top, c.width = width, c.height = height;
    if (kind == ControlKind::TextBox) c.value = Variant(std::string());
    return c;
}

class Form {
public:
    virtual ~Form() = default;
    virtual std::string Name() const = 0;
    std::string caption;
    int width = 300, height = 200;
    std::vector<FormControl> controls;
    // The text box that has the focus ("" when none); the front end keeps it current.
    std::string focus;

    bool visible() const { return visible_; }
    void Hide() { visible_ = false; }
    void markShown() { visible_ = true; }

    FormControl* control(const std::string& name) {
        for (auto& c : controls)
            if (c.name == name) return &c;
        return nullptr;
    }

    // Called by the front end before the form is first drawn.
    virtual void Activate() {}
    // A command button, check box or option button was clicked (check boxes
    // have their value toggled before this is called).
    virtual void Click(const std::string& controlName) {}
    // The text of a text box changed.
    virtual void Change(const std::string& controlName) {}
    // A character typed into a text box; false drops it (the front end beeps).
    virtual bool KeyPress(const std::string& controlName, int keyAscii) { return true; }
    // The close box: the front end calls it; the form decides.
    virtual void QueryClose() { Hide(); }

private:
    bool visible_ = false;
};

}  // namespace dalvera::host
