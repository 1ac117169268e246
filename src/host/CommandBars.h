#pragma once
// Command bars of the host: menu bars, toolbars, popups and their controls.
// Objects are shared automation objects; a deleted one raises on use.
#include <memory>
#include <string>
#include <vector>

namespace dalvera::host {

// Control types of the host.
namespace ctl {
constexpr int Button = 1;
constexpr int Edit = 2;
constexpr int Dropdown = 3;
constexpr int ComboBox = 4;
constexpr int Popup = 10;
}  // namespace ctl

// Positions of a new bar.
namespace barpos {
constexpr int Left = 0;
constexpr int Top = 1;
constexpr int Right = 2;
constexpr int Bottom = 3;
constexpr int Floating = 4;
constexpr int Popup = 5;
constexpr int MenuBar = 6;
}  // namespace barpos

class CommandBar;
class CommandBarControls;

class CommandBarControl {
public:
    virtual ~CommandBarControl() = default;
    virtual int Type() const = 0;
    virtual long Id() const = 0;              // built-in id, 1 for custom controls
    virtual long Index() const = 0;           // 1-based position in its parent
    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& v) = 0;
    virtual std::string Tag() const = 0;
    virtual void SetTag(const std::string& v) = 0;
    virtual std::string Parameter() const = 0;
    virtual void SetParameter(const std::string& v) = 0;
    virtual std::string OnAction() const = 0;
    virtual void SetOnAction(const std::string& v) = 0;
    virtual int FaceId() const = 0;
    virtual void SetFaceId(int v) = 0;
    virtual std::string ToolTipText() const = 0;  // the caption when none was set
    virtual void SetToolTipText(const std::string& v) = 0;
    virtual bool BeginGroup() const = 0;
    virtual void SetBeginGroup(bool v) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool v) = 0;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool v) = 0;
    virtual bool Temporary() const = 0;
    // The controls of a popup; error 438 for other types.
    virtual std::shared_ptr<CommandBarControls> Controls() = 0;
    // Copies the control (with its sub-controls) onto a bar, before the 1-based
    // position, or at the end when before is 0.
    virtual std::shared_ptr<CommandBarControl> Copy(const std::shared_ptr<CommandBar>& bar, long before = 0) = 0;
    virtual void Delete() = 0;
    // Runs the on-action macro as a click does, with this control as the
    // action control while it runs.
    virtual void Execute() = 0;
};

using ControlPtr = std::shared_ptr<CommandBarControl>;

class CommandBarControls {
public:
    virtual ~CommandBarControls() = default;
    virtual long Count() const = 0;
    virtual ControlPtr Item(long index) = 0;  // 1-based; error 5 when out of range
    // Adds a control of the type, before the 1-based position (0: at the end).
    virtual ControlPtr Add(int type, long id = 1, const std::string& parameter = {}, long before = 0,
                           bool temporary = false) = 0;
};

class CommandBar {
public:
    virtual ~CommandBar() = default;
    virtual std::string Name() const = 0;
    virtual void SetName(const std::string& v) = 0;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool v) = 0;
    virtual bool BuiltIn() const = 0;
    virtual bool Temporary() const = 0;
    virtual int Position() const = 0;
    virtual long Index() const = 0;
    virtual std::shared_ptr<CommandBarControls> Controls() = 0;
    // The first control with the tag (and type, when not 0), searching popups too.
    virtual ControlPtr FindControl(int type = 0, long id = 0, const std::string& tag = {},
                                   bool visibleOnly = false, bool recursive = true) = 0;
    virtual void Delete() = 0;  // built-in bars refuse with error 5
};

using BarPtr = std::shared_ptr<CommandBar>;

class CommandBars {
public:
    virtual ~CommandBars() = default;
    virtual long Count() const = 0;
    virtual BarPtr Item(long index) = 0;               // 1-based; error 5 when out of range
    virtual BarPtr Item(const std::string& name) = 0;  // error 5 when there is none
    virtual BarPtr Add(const std::string& name, int position = barpos::Floating, bool menuBar = false,
                       bool temporary = false) = 0;
    // Searches all bars, popups included; nullptr when nothing matches.
    virtual ControlPtr FindControl(int type = 0, long id = 0, const std::string& tag = {},
                                   bool visibleOnly = false) = 0;
    // The control whose click started the running macro; nullptr otherwise.
    virtual ControlPtr ActionControl() = 0;
};

}  // namespace dalvera::host
