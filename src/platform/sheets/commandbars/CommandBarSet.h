#pragma once
// The spreadsheet application's command bars: the worksheet menu bar, the
// toolbars and popup bars, with the controls on them. Front ends draw them from
// this state and click controls through Execute; the application runs the
// on-action macros through the runner it hands in.
#include <functional>
#include <memory>
#include <string>

#include "host/CommandBars.h"

namespace dalvera::platform {

struct CommandBarOptions {
    // A host without a Help menu on its worksheet menu bar (some localised or
    // trimmed hosts); the add-in's menu then lands on position 2.
    bool helpMenu = true;
    // A Dutch host: its own controls carry Dutch captions.
    bool dutch = false;
};

namespace cbdetail {
struct Hub;
}

class CommandBarSet : public host::CommandBars {
public:
    using MacroRunner = std::function<void(const std::string& onAction)>;

    explicit CommandBarSet(MacroRunner runner = {}, CommandBarOptions options = {});
    ~CommandBarSet() override;
    CommandBarSet(const CommandBarSet&) = delete;
    CommandBarSet& operator=(const CommandBarSet&) = delete;

    long Count() const override;
    host::BarPtr Item(long index) override;
    host::BarPtr Item(const std::string& name) override;
    host::BarPtr Add(const std::string& name, int position = host::barpos::Floating, bool menuBar = false,
                     bool temporary = false) override;
    host::ControlPtr FindControl(int type = 0, long id = 0, const std::string& tag = {},
                                 bool visibleOnly = false) override;
    host::ControlPtr ActionControl() override;

    // Called after any change of a bar or control, so a front end can redraw.
    void setChangeHandler(std::function<void()> handler);
    // Runs a built-in control that has no on-action macro (the host's own
    // commands: Save, Cut, Help ...). Without a handler such a click does nothing.
    void setBuiltInHandler(std::function<void(long id)> handler);
    void setMacroRunner(MacroRunner runner);

    // Custom bars that are not temporary survive a restart of the host: the
    // application saves them at quit and loads them at start. Temporary
    // controls on those bars are left out. Saving writes a new file and renames
    // it over the old one, so a failed save leaves the previous state intact.
    void save(const std::string& path) const;
    // Loads the bars saved by save(); a bar with the name of a custom bar
    // already present replaces it, one with the name of a built-in bar is
    // skipped. Returns false when the file does not exist; a damaged file raises
    // error 1004 and changes nothing.
    bool load(const std::string& path);

private:
    std::shared_ptr<cbdetail::Hub> hub_;
};

}  // namespace dalvera::platform
