#pragma once
// A user interface for tests: every prompt is answered from a queue of
// expectations written by the test, and everything shown is recorded. A
// prompt nobody expected fails the test with the text it showed.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/Form.h"
#include "host/UserInterface.h"
#include "runtime/Variant.h"

namespace dalvera::testing {

enum class PromptKind { MsgBox, ApplicationInputBox, InputBox, OpenFile, SaveAs, Color, Form };

std::string kindName(PromptKind kind);

// One thing the person saw.
struct Shown {
    PromptKind kind = PromptKind::MsgBox;
    std::string text;   // prompt of a box; for a form its caption
    std::string title;  // title of a box or dialog
    int style = 0;      // message box style bits
    std::string formName;
    std::vector<std::string> captions;  // a form's control captions, in order, as first drawn
    Variant defaultValue;               // what an input box offered
    std::string filter;                 // a file dialog's filters ("Description|patterns", one per line)
    int buttons() const { return style & host::mb::ButtonsMask; }
    int icon() const { return style & host::mb::IconMask; }
};

class ScriptedUI : public host::UserInterface {
public:
    using FormScript = std::function<void(host::Form&)>;

    ScriptedUI() = default;
    ~ScriptedUI() override = default;

    // A message box answered with `answer`. When given, the prompt must
    // contain `text`, and the icon and buttons bits must be these.
    ScriptedUI& expectMsgBox(int answer, std::optional<std::string> text = std::nullopt,
                             std::optional<int> icon = std::nullopt, std::optional<int> buttons = std::nullopt);
    // Either input box, answered with the value or cancelled.
    ScriptedUI& expectInput(Variant value);
    ScriptedUI& expectInputCancel();
    ScriptedUI& expectOpenFile(std::string path);
    ScriptedUI& expectOpenFileCancel();
    ScriptedUI& expectSaveAs(std::string path);
    ScriptedUI& expectSaveAsCancel();
    ScriptedUI& expectColor(bool ok, long rgb = 0);
    // The form must be hidden when the script returns, as a person's click
    // on OK or Cancel would leave it.
    ScriptedUI& expectForm(std::string name, FormScript script);

    // Runs `look` when the last queued message box is shown, before it is
    // answered: what the system holds while it waits for the person.
    ScriptedUI& whenShown(std::function<void()> look);

    // Fails the test when expectations are left over.
    void verifyAllConsumed();
    size_t pending() const { return queue_.size(); }

    const std::vector<Shown>& shown() const { return shown_; }
    // Prompt of the last message box; "" when none was shown.
    std::string lastMessage() const;
    const Shown* last(PromptKind kind) const;
    size_t count(PromptKind kind) const;
    void clearShown() { shown_.clear(); }

    static int icon(int style) { return style & host::mb::IconMask; }
    static int buttons(int style) { return style & host::mb::ButtonsMask; }

    int MsgBox(const std::string& prompt, int style, const std::string& title) override;
    Variant ApplicationInputBox(const std::string& prompt, const std::string& title, const Variant& defaultValue,
                                int type) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultValue) override;
    std::string GetOpenFileName(const host::OpenFileRequest& request) override;
    Variant GetSaveAsFilename(const std::string& initialName, const std::string& filter, int filterIndex,
                              const std::string& title) override;
    bool EditColor(int index, long& rgb) override;
    void ShowForm(host::Form& form) override;

private:
    enum class Expect { MsgBox, Input, OpenFile, SaveAs, Color, Form };
    struct Expectation {
        Expect kind = Expect::MsgBox;
        int answer = 0;
        std::optional<std::string> text;
        std::optional<int> icon, buttons;
        bool cancel = false;
        Variant value;
        std::string path;
        bool ok = false;
        long rgb = 0;
        std::string formName;
        FormScript script;
        std::function<void()> whenShown;
    };

    // The next expectation if it is of this kind; otherwise fails the test
    // (naming what was shown) and returns nothing.
    std::optional<Expectation> take(Expect kind, const Shown& shown);

    std::deque<Expectation> queue_;
    std::vector<Shown> shown_;
};

// What a person does on a form: a click on an enabled, visible control (a
// check box toggles first), typing into a text box. A control that is not
// there or not usable fails the test instead.
void click(host::Form& form, const std::string& controlName);
// Picks a tab of a tab strip, as a click on it does.
void selectTab(host::Form& form, const std::string& tabStrip, long index);
void type(host::Form& form, const std::string& controlName, const std::string& text);

}  // namespace dalvera::testing
