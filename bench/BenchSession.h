#pragma once
// A session for the benchmarks that go through the add-in: a person who agrees
// to everything, and the add-in opened on the benchmark's own database.
#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "addin/Session.h"
#include "app/clsApplication.h"
#include "entry/Globals.h"
#include "host/Form.h"
#include "host/UserInterface.h"
#include "menus/ICB.h"
#include "menus/clsCommandBar.h"

namespace dalvera::bench {

// Agrees to every question and picks the given database in the open dialog.
class AgreeingUI : public host::UserInterface {
public:
    explicit AgreeingUI(const std::string& database) : database_(database) {}
    int MsgBox(const std::string& prompt, int style, const std::string&) override {
        // What the bench was told shows beside its figures: a refusal explains a missing result.
        std::fprintf(stderr, "[message] %s\n", prompt.c_str());
        int buttons = style & host::mb::ButtonsMask;
        return buttons == host::mb::YesNo || buttons == host::mb::YesNoCancel ? host::answer::Yes : host::answer::OK;
    }
    Variant ApplicationInputBox(const std::string&, const std::string&, const Variant&, int) override {
        return Variant(false);
    }
    std::string InputBox(const std::string&, const std::string&, const std::string&) override { return {}; }
    std::string GetOpenFileName(const host::OpenFileRequest&) override { return database_; }
    Variant GetSaveAsFilename(const std::string&, const std::string&, int, const std::string&) override {
        return Variant(false);
    }
    bool EditColor(int, long&) override { return false; }
    void ShowForm(host::Form& form) override {
        if (form.control("cmdOK")) form.Click("cmdOK");
        form.Hide();
    }

private:
    const std::string& database_;
};

// Starts the add-in with its temporary and settings files in dir and opens the
// database the person picks.
inline std::unique_ptr<Session> openDatabaseSession(host::UserInterface& ui, const std::string& dir) {
    setenv("TMPDIR", (dir + "/temp").c_str(), 1);
    SessionOptions o;
    o.registryFile = dir + "/registry.reg";
    o.countryCode = 1;
    auto session = std::make_unique<Session>(ui, o);
    session->openAddin();
    session->user().clickControl(goApplication->Toolbar().FindControlByTag(tag::OpenDatabase));
    return session;
}

// The button of a table in the Tables list; nullptr when there is none.
inline host::ControlPtr tableButton(const std::string& table) {
    auto controls = goApplication->Toolbar().FindControlByTag(tag::Tables)->Controls();
    for (long i = 1; i <= controls->Count(); ++i)
        if (controls->Item(i)->Parameter() == table) return controls->Item(i);
    return nullptr;
}

}  // namespace dalvera::bench
