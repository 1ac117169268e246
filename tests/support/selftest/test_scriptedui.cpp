#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "support/ScriptedUI.h"

using namespace dalvera;
using namespace dalvera::testing;
namespace mb = dalvera::host::mb;
namespace answer = dalvera::host::answer;

namespace {

host::FormControl make(std::string name, host::ControlKind kind, std::string caption = {}, Variant value = {}) {
    host::FormControl c;
    c.name = std::move(name);
    c.kind = kind;
    c.caption = std::move(caption);
    c.value = std::move(value);
    return c;
}

// A small dialog in the manner of the engine's forms.
class PasswordForm : public host::Form {
public:
    PasswordForm() {
        caption = "Password";
        controls.push_back(make("lblPrompt", host::ControlKind::Label, "Enter the password"));
        controls.push_back(make("txtPassword", host::ControlKind::TextBox));
        controls.push_back(make("chkRemember", host::ControlKind::CheckBox, "Remember", Variant(false)));
        controls.push_back(make("optA", host::ControlKind::OptionButton, "A", Variant(true)));
        controls.push_back(make("optB", host::ControlKind::OptionButton, "B", Variant(false)));
        controls.push_back(make("cmdOK", host::ControlKind::CommandButton, "OK"));
        controls.push_back(make("cmdCancel", host::ControlKind::CommandButton, "Cancel"));
    }
    std::string Name() const override { return "frmPassword"; }
    void Activate() override {
        ++activations;
        control("cmdOK")->enabled = false;
    }
    void Change(const std::string& name) override {
        if (name == "txtPassword") control("cmdOK")->enabled = !control("txtPassword")->value.text().empty();
    }
    void Click(const std::string& name) override {
        clicks.push_back(name);
        if (name == "cmdOK") {
            password = control("txtPassword")->value.text();
            Hide();
        } else if (name == "cmdCancel") {
            cancelled = true;
            Hide();
        }
    }
    int activations = 0;
    std::vector<std::string> clicks;
    std::string password;
    bool cancelled = false;
};

}  // namespace

TEST(ScriptedUIAnswers, BoxesAndDialogsInOrder) {
    ScriptedUI ui;
    ui.expectMsgBox(answer::Yes, "Delete", mb::Question, mb::YesNo)
        .expectInput(Variant(42))
        .expectInputCancel()
        .expectInput(Variant("typed"))
        .expectOpenFile("/tmp/db.sqlite")
        .expectOpenFileCancel()
        .expectSaveAs("/tmp/out.xlsx")
        .expectSaveAsCancel()
        .expectColor(true, 0x00FF00)
        .expectColor(false);
    EXPECT_EQ(ui.MsgBox("Delete 3 rows?", mb::YesNo | mb::Question | mb::SetForeground, "Dalvera"), answer::Yes);
    EXPECT_EQ(ui.ApplicationInputBox("Number", "T", Variant(), 1), Variant(42));
    EXPECT_EQ(ui.ApplicationInputBox("Number", "T", Variant(), 1), Variant(false));
    EXPECT_EQ(ui.InputBox("Name", "T", "x"), "typed");
    host::OpenFileRequest request;
    request.title = "Open";
    request.filters = {{"Databases", "*.sqlite;*.db"}, {"All files", "*.*"}};
    EXPECT_EQ(ui.GetOpenFileName(request), "/tmp/db.sqlite");
    EXPECT_EQ(ui.GetOpenFileName(request), "");
    EXPECT_EQ(ui.GetSaveAsFilename("a.xlsx", "", 1, "Save"), Variant("/tmp/out.xlsx"));
    EXPECT_EQ(ui.GetSaveAsFilename("a.xlsx", "", 1, "Save"), Variant(false));
    long rgb = 7;
    EXPECT_TRUE(ui.EditColor(3, rgb));
    EXPECT_EQ(rgb, 0x00FF00);
    EXPECT_FALSE(ui.EditColor(3, rgb));
    EXPECT_EQ(rgb, 0x00FF00);
    ui.verifyAllConsumed();

    ASSERT_EQ(ui.shown().size(), 10u);
    EXPECT_EQ(ui.shown()[0].title, "Dalvera");
    EXPECT_EQ(ui.shown()[0].icon(), mb::Question);
    EXPECT_EQ(ScriptedUI::buttons(ui.shown()[0].style), mb::YesNo);
    EXPECT_EQ(ui.lastMessage(), "Delete 3 rows?");
    EXPECT_EQ(ui.count(PromptKind::OpenFile), 2u);
    EXPECT_EQ(ui.last(PromptKind::SaveAs)->text, "a.xlsx");
    EXPECT_EQ(ui.last(PromptKind::OpenFile)->filter, "Databases|*.sqlite;*.db\nAll files|*.*\n");
    EXPECT_EQ(ui.last(PromptKind::InputBox)->defaultValue, Variant("x"));
}

TEST(ScriptedUIAnswers, FormScriptsActAsAPerson) {
    ScriptedUI ui;
    PasswordForm form;
    ui.expectForm("frmPassword", [](host::Form& f) {
        EXPECT_FALSE(f.control("cmdOK")->enabled);  // Activate ran first
        click(f, "chkRemember");
        click(f, "optB");
        type(f, "txtPassword", "secret");
        click(f, "cmdOK");
    });
    ui.ShowForm(form);
    EXPECT_FALSE(form.visible());
    EXPECT_EQ(form.activations, 1);
    EXPECT_EQ(form.password, "secret");
    EXPECT_TRUE(form.control("chkRemember")->value.toBool());
    EXPECT_FALSE(form.control("optA")->value.toBool());
    EXPECT_TRUE(form.control("optB")->value.toBool());
    const Shown* s = ui.last(PromptKind::Form);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->formName, "frmPassword");
    EXPECT_EQ(s->text, "Password");
    EXPECT_EQ(s->captions,
              (std::vector<std::string>{"Enter the password", "Remember", "A", "B", "OK", "Cancel"}));
}

TEST(ScriptedUIFailures, UnexpectedPromptsFailTheTest) {
    ScriptedUI ui;
    int got = 0;
    EXPECT_NONFATAL_FAILURE(got = ui.MsgBox("Surprise", mb::YesNo, "T"), "Surprise");
    EXPECT_EQ(got, answer::No);  // the careful way out
    ui.expectOpenFile("/x");
    EXPECT_NONFATAL_FAILURE(ui.MsgBox("Wrong kind", mb::OKOnly, "T"), "Wrong kind");
    EXPECT_EQ(ui.pending(), 1u);  // the dialog expectation waits for its turn
    EXPECT_EQ(ui.GetOpenFileName(host::OpenFileRequest()), "/x");
    EXPECT_EQ(ui.shown().size(), 3u);  // unexpected prompts are recorded too
}

TEST(ScriptedUIFailures, MismatchesAndLeftovers) {
    ScriptedUI ui;
    ui.expectMsgBox(answer::OK, "Saved", mb::Information);
    EXPECT_NONFATAL_FAILURE(ui.MsgBox("Error!", mb::Information, "T"), "does not contain \"Saved\"");
    ui.expectMsgBox(answer::OK, std::nullopt, mb::Information);
    EXPECT_NONFATAL_FAILURE(ui.MsgBox("x", mb::Critical, "T"), "icon 16");
    ui.expectMsgBox(answer::OK, std::nullopt, std::nullopt, mb::YesNo);
    EXPECT_NONFATAL_FAILURE(ui.MsgBox("x", mb::OKOnly, "T"), "buttons 0");
    ui.expectInput(Variant(1)).expectForm("frmLogon", nullptr);
    EXPECT_NONFATAL_FAILURE(ui.verifyAllConsumed(), "2 expected prompt(s) never shown");
    EXPECT_EQ(ui.pending(), 0u);
}

TEST(ScriptedUIFailures, FormsLeftOpenOrMisclicked) {
    ScriptedUI ui;
    PasswordForm form;
    ui.expectForm("frmPassword", [](host::Form&) {});
    EXPECT_NONFATAL_FAILURE(ui.ShowForm(form), "still open");
    EXPECT_FALSE(form.visible());

    PasswordForm other;
    ui.expectForm("frmLogon", [](host::Form&) {});
    EXPECT_NONFATAL_FAILURE(ui.ShowForm(other), "where form 'frmLogon' was expected");
    EXPECT_FALSE(other.visible());
    ui.verifyAllConsumed();
}

TEST(ScriptedUIFailures, OnlyUsableControlsTakeClicksAndTyping) {
    PasswordForm form;
    form.markShown();
    form.Activate();  // disables OK until a password is typed
    EXPECT_NONFATAL_FAILURE(click(form, "cmdOK"), "disabled");
    EXPECT_TRUE(form.clicks.empty());
    EXPECT_NONFATAL_FAILURE(click(form, "cmdNope"), "no control 'cmdNope'");
    EXPECT_NONFATAL_FAILURE(type(form, "lblPrompt", "x"), "does not take typing");
    EXPECT_NONFATAL_FAILURE(type(form, "txtNope", "x"), "no control 'txtNope'");
    form.control("cmdCancel")->visible = false;
    EXPECT_NONFATAL_FAILURE(click(form, "cmdCancel"), "hidden");
    EXPECT_TRUE(form.visible());
}
