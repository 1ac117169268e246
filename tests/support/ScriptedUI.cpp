#include "support/ScriptedUI.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dalvera::testing {

namespace {

std::string describe(const Shown& s) {
    std::ostringstream os;
    os << kindName(s.kind);
    if (!s.formName.empty()) os << " '" << s.formName << "'";
    if (!s.title.empty()) os << " titled \"" << s.title << "\"";
    if (!s.text.empty()) os << ": \"" << s.text << "\"";
    if (s.kind == PromptKind::MsgBox) os << " (style " << s.style << ")";
    return os.str();
}

// What the person does when a box appears that the test did not foresee:
// the most careful way out of it.
Shown makeShown(PromptKind kind, std::string text, std::string title = {}, int style = 0,
                std::string formName = {}) {
    Shown s;
    s.kind = kind;
    s.text = std::move(text);
    s.title = std::move(title);
    s.style = style;
    s.formName = std::move(formName);
    return s;
}

int dismissAnswer(int style) {
    switch (style & host::mb::ButtonsMask) {
    case host::mb::OKOnly: return host::answer::OK;
    case host::mb::AbortRetryIgnore: return host::answer::Abort;
    case host::mb::YesNo: return host::answer::No;
    default: return host::answer::Cancel;
    }
}

}  // namespace

std::string kindName(PromptKind kind) {
    switch (kind) {
    case PromptKind::MsgBox: return "message box";
    case PromptKind::ApplicationInputBox: return "input box";
    case PromptKind::InputBox: return "plain input box";
    case PromptKind::OpenFile: return "open-file dialog";
    case PromptKind::SaveAs: return "save-as dialog";
    case PromptKind::Color: return "colour dialog";
    case PromptKind::Form: return "form";
    }
    return "prompt";
}

ScriptedUI& ScriptedUI::expectMsgBox(int answer, std::optional<std::string> text, std::optional<int> icon,
                                     std::optional<int> buttons) {
    Expectation e;
    e.kind = Expect::MsgBox;
    e.answer = answer;
    e.text = std::move(text);
    e.icon = icon;
    e.buttons = buttons;
    queue_.push_back(std::move(e));
    return *this;
}

ScriptedUI& ScriptedUI::expectInput(Variant value) {
    Expectation e;
    e.kind = Expect::Input;
    e.value = std::move(value);
    queue_.push_back(std::move(e));
    return *this;
}

ScriptedUI& ScriptedUI::expectInputCancel() {
    Expectation e;
    e.kind = Expect::Input;
    e.cancel = true;
    queue_.push_back(std::move(e));
    return *this;
}

ScriptedUI& ScriptedUI::expectOpenFile(std::string path) {
    Expectation e;
    e.kind = Expect::OpenFile;
    e.path = std::move(path);
    queue_.push_back(std::move(e));
    return *this;
}

ScriptedUI& ScriptedUI::expectOpenFileCancel() {
    Expectation e;
    e.kind = Expect::OpenFile;
    e.cancel = true;
    queue_.push_back(std::move(e));
    return *this;
}

ScriptedUI& ScriptedUI::expectSaveAs(std::string path) {
    Expectation e;
    e.kind = Expect::SaveAs;
    e.path = std::move(path);
    queue_.push_back(std::move(e));
    return *this;
}

ScriptedUI& ScriptedUI::expectSaveAsCancel() {
    Expectation e;
    e.kind = Expect::SaveAs;
    e.cancel = true;
    queue_.push_back(std::move(e));
    return *this;
}

ScriptedUI& ScriptedUI::expectColor(bool ok, long rgb) {
    Expectation e;
    e.kind = Expect::Color;
    e.ok = ok;
    e.rgb = rgb;
    queue_.push_back(std::move(e));
    return *this;
}

ScriptedUI& ScriptedUI::expectForm(std::string name, FormScript script) {
    Expectation e;
    e.kind = Expect::Form;
    e.formName = std::move(name);
    e.script = std::move(script);
    queue_.push_back(std::move(e));
    return *this;
}

void ScriptedUI::verifyAllConsumed() {
    if (queue_.empty()) return;
    static const char* names[] = {"message box", "input", "open-file dialog", "save-as dialog", "colour dialog",
                                  "form"};
    std::ostringstream os;
    os << queue_.size() << " expected prompt(s) never shown:";
    for (const auto& e : queue_) {
        os << "\n  " << names[static_cast<int>(e.kind)];
        if (e.text) os << " with \"" << *e.text << "\"";
        if (!e.formName.empty()) os << " '" << e.formName << "'";
    }
    ADD_FAILURE() << os.str();
    queue_.clear();
}

std::string ScriptedUI::lastMessage() const {
    const Shown* s = last(PromptKind::MsgBox);
    return s ? s->text : std::string();
}

const Shown* ScriptedUI::last(PromptKind kind) const {
    for (auto it = shown_.rbegin(); it != shown_.rend(); ++it)
        if (it->kind == kind) return &*it;
    return nullptr;
}

size_t ScriptedUI::count(PromptKind kind) const {
    size_t n = 0;
    for (const auto& s : shown_) n += s.kind == kind;
    return n;
}

std::optional<ScriptedUI::Expectation> ScriptedUI::take(Expect kind, const Shown& shown) {
    shown_.push_back(shown);
    if (queue_.empty()) {
        ADD_FAILURE() << "Unexpected " << describe(shown) << " (nothing more was expected)";
        return std::nullopt;
    }
    if (queue_.front().kind != kind) {
        ADD_FAILURE() << "Unexpected " << describe(shown) << " (the next expected prompt is of another kind)";
        return std::nullopt;
    }
    Expectation e = std::move(queue_.front());
    queue_.pop_front();
    return e;
}

ScriptedUI& ScriptedUI::whenShown(std::function<void()> look) {
    if (queue_.empty() || queue_.back().kind != Expect::MsgBox) ADD_FAILURE() << "whenShown follows a message box";
    else queue_.back().whenShown = std::move(look);
    return *this;
}

int ScriptedUI::MsgBox(const std::string& prompt, int style, const std::string& title) {
    Shown s = makeShown(PromptKind::MsgBox, prompt, title, style);
    auto e = take(Expect::MsgBox, s);
    if (!e) return dismissAnswer(style);
    if (e->whenShown) e->whenShown();
    if (e->text && prompt.find(*e->text) == std::string::npos)
        ADD_FAILURE() << "Message box \"" << prompt << "\" does not contain \"" << *e->text << "\"";
    if (e->icon && icon(style) != *e->icon)
        ADD_FAILURE() << "Message box \"" << prompt << "\" has icon " << icon(style) << ", expected " << *e->icon;
    if (e->buttons && buttons(style) != *e->buttons)
        ADD_FAILURE() << "Message box \"" << prompt << "\" has buttons " << buttons(style) << ", expected "
                      << *e->buttons;
    return e->answer;
}

Variant ScriptedUI::ApplicationInputBox(const std::string& prompt, const std::string& title, const Variant& defaultValue,
                                        int type) {
    Shown s = makeShown(PromptKind::ApplicationInputBox, prompt, title, type);
    s.defaultValue = defaultValue;
    auto e = take(Expect::Input, s);
    if (!e || e->cancel) return Variant(false);
    return e->value;
}

std::string ScriptedUI::InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultValue) {
    Shown s = makeShown(PromptKind::InputBox, prompt, title);
    s.defaultValue = Variant(defaultValue);
    auto e = take(Expect::Input, s);
    if (!e || e->cancel) return {};
    return e->value.text();
}

std::string ScriptedUI::GetOpenFileName(const host::OpenFileRequest& request) {
    Shown s = makeShown(PromptKind::OpenFile, {}, request.title);
    for (const auto& [description, patterns] : request.filters) s.filter += description + "|" + patterns + "\n";
    auto e = take(Expect::OpenFile, s);
    if (!e || e->cancel) return {};
    return e->path;
}

Variant ScriptedUI::GetSaveAsFilename(const std::string& initialName, const std::string& filter, int,
                                      const std::string& title) {
    Shown s = makeShown(PromptKind::SaveAs, initialName, title);
    s.filter = filter;
    auto e = take(Expect::SaveAs, s);
    if (!e || e->cancel) return Variant(false);
    return Variant(e->path);
}

bool ScriptedUI::EditColor(int index, long& rgb) {
    Shown s = makeShown(PromptKind::Color, std::to_string(index));
    auto e = take(Expect::Color, s);
    if (!e || !e->ok) return false;
    rgb = e->rgb;
    return true;
}

void ScriptedUI::ShowForm(host::Form& form) {
    form.markShown();
    form.Activate();
    Shown s = makeShown(PromptKind::Form, form.caption, {}, 0, form.Name());
    for (const auto& c : form.controls)
        if (!c.caption.empty()) s.captions.push_back(c.caption);
    auto e = take(Expect::Form, s);
    if (e && e->formName != form.Name())
        ADD_FAILURE() << "Form '" << form.Name() << "' shown where form '" << e->formName << "' was expected";
    if (!e || e->formName != form.Name()) {
        form.QueryClose();
        if (form.visible()) form.Hide();
        return;
    }
    if (e->script) e->script(form);
    if (form.visible()) {
        ADD_FAILURE() << "Form '" << form.Name() << "' is still open after its script";
        form.Hide();  // end the modal loop all the same
    }
}

namespace {
// A control inside a hidden frame (another tab) cannot be reached either.
bool reachable(host::Form& form, const host::FormControl& c) {
    if (!c.visible) return false;
    if (c.container.empty()) return true;
    const host::FormControl* frame = form.control(c.container);
    return !frame || reachable(form, *frame);
}
}  // namespace

void click(host::Form& form, const std::string& controlName) {
    host::FormControl* c = form.control(controlName);
    if (!c) {
        ADD_FAILURE() << "Form '" << form.Name() << "' has no control '" << controlName << "' to click";
        return;
    }
    if (!c->enabled || !reachable(form, *c)) {
        ADD_FAILURE() << "Control '" << controlName << "' of form '" << form.Name() << "' cannot be clicked ("
                      << (c->enabled ? "hidden" : "disabled") << ")";
        return;
    }
    if (c->kind == host::ControlKind::CheckBox) {
        c->value = Variant(!(c->value.isBoolean() && c->value.toBool()));
    } else if (c->kind == host::ControlKind::OptionButton) {
        // Option buttons of one frame exclude each other.
        for (auto& other : form.controls)
            if (other.kind == host::ControlKind::OptionButton && other.container == c->container)
                other.value = Variant(false);
        c->value = Variant(true);
    }
    form.Click(controlName);
}

void type(host::Form& form, const std::string& controlName, const std::string& text) {
    host::FormControl* c = form.control(controlName);
    if (!c) {
        ADD_FAILURE() << "Form '" << form.Name() << "' has no control '" << controlName << "' to type into";
        return;
    }
    if (c->kind != host::ControlKind::TextBox || !c->enabled || !reachable(form, *c)) {
        ADD_FAILURE() << "Control '" << controlName << "' of form '" << form.Name() << "' does not take typing";
        return;
    }
    form.focus = controlName;
    // Key by key, as a person types: the form may drop a character.
    std::string kept;
    for (char ch : text)
        if (form.KeyPress(controlName, static_cast<unsigned char>(ch))) kept += ch;
    c->value = Variant(kept);
    form.Change(controlName);
}

void selectTab(host::Form& form, const std::string& tabStrip, long index) {
    host::FormControl* c = form.control(tabStrip);
    if (!c || c->kind != host::ControlKind::TabStrip || index < 0 || index >= static_cast<long>(c->tabs.size())) {
        ADD_FAILURE() << "Form '" << form.Name() << "' has no tab " << index << " on '" << tabStrip << "'";
        return;
    }
    c->value = Variant(index);
    form.Click(tabStrip);
}

}  // namespace dalvera::testing
