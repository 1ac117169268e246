// Starting the add-in as the host does: the add-in workbook opens, creates the
// entry object and initialises it.
#include "SessionFixture.h"

#include "app/clsAux.h"
#include "entry/Interface11.h"
#include "menus/clsCommandBar.h"
#include "menus/clsMenuBarControl.h"
#include "settings/clsRegistry.h"

namespace dalvera::testing {

namespace {
host::ControlPtr menuControl(platform::EmbeddedApplication& app) {
    auto controls = app.CommandBars().Item(1)->Controls();
    for (long i = 1; i <= controls->Count(); ++i)
        if (controls->Item(i)->Caption() == clsMenuBarControl::Name()) return controls->Item(i);
    return nullptr;
}
}  // namespace

TEST_F(SessionTest, SayHelloWorksBeforeInitialize) {
    start();
    Interface11 entry;
    ui_.expectMsgBox(host::answer::OK, "Hello", host::mb::Information, host::mb::OKOnly);
    entry.SayHello();
    const Shown* box = ui_.last(PromptKind::MsgBox);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->title, "Dalvera");
    EXPECT_TRUE(box->style & host::mb::SetForeground);
    ui_.verifyAllConsumed();
}

TEST_F(SessionTest, FirstStartRecordsVersionAndHidesBarsOfARibbonVariant) {
    Session& s = start();
    openAddinAcceptingHint();
    EXPECT_EQ(rawText("Version"), ComponentVersionText());
    // Variant 12 brings its own ribbon tab: menu and toolbar exist but are hidden.
    auto menu = menuControl(s.app());
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->Visible());
    auto bar = s.app().CommandBars().Item(GetProductName());
    EXPECT_FALSE(bar->Visible());
    // The person's host options were saved on attaching.
    EXPECT_EQ(rawText("User display taskPane"), "False");
    uint32_t kind = 0;
    std::vector<uint8_t> data;
    ASSERT_TRUE(rawValue("User MoveAfterReturnDirection", kind, data));
    EXPECT_EQ(kind, 4u);
    ui_.verifyAllConsumed();
}

TEST_F(SessionTest, VisibilityOfMenuAndToolbarByVariantAndHostVersion) {
    struct Case {
        int variant;
        const char* hostVersion;
        bool menu, toolbar;
    };
    for (Case c : {Case{11, "11.0", true, true}, Case{11, "16.0", true, false}, Case{21, "11.0", true, true},
                   Case{21, "16.0", true, false}, Case{12, "11.0", false, false}, Case{22, "16.0", false, false}}) {
        SCOPED_TRACE(std::to_string(c.variant) + " on " + c.hostVersion);
        SessionOptions o;
        o.variant = c.variant;
        o.hostVersion = c.hostVersion;
        Session& s = start(o);
        if (c.variant % 10 == 1 && std::string(c.hostVersion) != "11.0") {
            // The older variants on a ribbon host first offer the ribbon edition.
            ui_.expectMsgBox(host::answer::No, std::nullopt, host::mb::Exclamation, host::mb::YesNo);
        }
        openAddinAcceptingHint();
        auto menu = menuControl(s.app());
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->Visible(), c.menu);
        EXPECT_EQ(s.app().CommandBars().Item(GetProductName())->Visible(), c.toolbar);
        ui_.verifyAllConsumed();
        session_.reset();
        std::filesystem::remove(dir_ + "/registry.reg");
    }
}

TEST_F(SessionTest, DutchCountryCodeGivesDutchTexts) {
    SessionOptions o;
    o.countryCode = 31;
    start(o);
    std::string label;
    std::string box;
    ui_.expectForm("frmMessage", [&](host::Form& f) {
        label = f.control("lblText")->caption;
        box = f.control("chkDontShowAgain")->caption;
        click(f, "cmdOK");
    });
    session_->openAddin();
    EXPECT_TRUE(IsDutch());
    EXPECT_EQ(label, GetMessage(12));
    EXPECT_EQ(box, GetCaption("chkDontShowAgain"));
    ui_.verifyAllConsumed();
    session_.reset();
    std::filesystem::remove(dir_ + "/registry.reg");

    // Any other country, 32 among them, is English.
    o.countryCode = 32;
    start(o);
    std::string english;
    ui_.expectForm("frmMessage", [&](host::Form& f) {
        english = f.control("lblText")->caption;
        click(f, "cmdOK");
    });
    session_->openAddin();
    EXPECT_FALSE(IsDutch());
    EXPECT_EQ(english, GetMessage(12));
    EXPECT_NE(english, label);
    ui_.verifyAllConsumed();
}

TEST_F(SessionTest, FirstRunHintIsShownOnceUnlessTheBoxIsCleared) {
    start();
    openAddinAcceptingHint();
    EXPECT_EQ(rawText("Show message select db"), "False");
    // Next start: the switch is off, nothing is shown.
    session_->closeAddin();
    session_->openAddin();
    EXPECT_EQ(ui_.count(PromptKind::Form), 1u);
    ui_.verifyAllConsumed();
}

TEST_F(SessionTest, ClearingTheBoxKeepsTheFirstRunHint) {
    start();
    ui_.expectForm("frmMessage", [](host::Form& f) {
        EXPECT_TRUE(f.control("chkDontShowAgain")->value.toBool());
        click(f, "chkDontShowAgain");
        click(f, "cmdOK");
    });
    session_->openAddin();
    EXPECT_EQ(rawText("Show message select db"), "True");
}

TEST_F(SessionTest, OtherNoticesKeepTheirSwitchUnlessTicked) {
    start();
    openAddinAcceptingHint();
    clsAux& aux = goApplication->Aux();
    ui_.expectForm("frmMessage", [](host::Form& f) {
        EXPECT_FALSE(f.control("chkDontShowAgain")->value.toBool());
        click(f, "cmdOK");
    });
    aux.ShowOptionalMessage("Show message select table", "a notice");
    EXPECT_EQ(rawText("Show message select table"), "True");

    ui_.expectForm("frmMessage", [](host::Form& f) {
        click(f, "chkDontShowAgain");
        EXPECT_EQ(f.control("lblText")->caption, "a notice");
        click(f, "cmdOK");
    });
    aux.ShowOptionalMessage("Show message select table", "a notice");
    EXPECT_EQ(rawText("Show message select table"), "False");

    // Switched off: nothing shown, and screen updating is left as it was.
    session_->app().SetScreenUpdating(false);
    aux.ShowOptionalMessage("Show message select table", "a notice");
    EXPECT_FALSE(session_->app().ScreenUpdating());

    ui_.expectForm("frmMessage", [](host::Form& f) {
        click(f, "chkDontShowAgain");
        click(f, "chkDontShowAgain");
        click(f, "cmdOK");
    });
    aux.WriteSetting(1, "Show message deleted records", Variant("True"));
    aux.ShowOptionalMessage("Show message deleted records", "x");
    EXPECT_EQ(rawText("Show message deleted records"), "True");
    ui_.verifyAllConsumed();
}

TEST_F(SessionTest, ASwitchHoldingOtherTextCountsAsOn) {
    start();
    openAddinAcceptingHint();
    clsAux& aux = goApplication->Aux();
    aux.WriteSetting(1, "Show message query executed", Variant("perhaps"));
    EXPECT_TRUE(aux.IsMessageEnabled("Show message query executed"));
    aux.WriteSetting(1, "Show message query executed", Variant("False"));
    EXPECT_FALSE(aux.IsMessageEnabled("Show message query executed"));
    // A missing switch is created as "True".
    EXPECT_TRUE(aux.IsMessageEnabled("Show message no primary key"));
    EXPECT_EQ(rawText("Show message no primary key"), "True");
}

TEST_F(SessionTest, AnInvisibleHostGetsMessage10AndNoMenus) {
    SessionOptions o;
    o.hostVisible = false;
    Session& s = start(o);
    ui_.expectMsgBox(host::answer::OK, GetMessage(10), host::mb::Exclamation);
    s.openAddin();
    EXPECT_TRUE(s.app().Visible());
    EXPECT_EQ(menuControl(s.app()), nullptr);
    EXPECT_FALSE(goExcel->GetApplication());
    // The add-in workbook stays open and inert.
    EXPECT_TRUE(goApplication);
    ui_.verifyAllConsumed();
}

TEST_F(SessionTest, ShowAllSheetsBeforeAnyDatabase) {
    Session& s = start();
    openAddinAcceptingHint();
    ui_.expectMsgBox(host::answer::OK, "Open eerst de interface", host::mb::Information);
    s.app().Run("ThisWorkbook.ShowAllSheets");
    EXPECT_TRUE(s.app().ScreenUpdating());
    ui_.verifyAllConsumed();
}

TEST_F(SessionTest, UninstallRemovesMenuAndToolbarAndResetsTheHint) {
    Session& s = start();
    openAddinAcceptingHint();
    s.addin().uninstall();
    EXPECT_EQ(menuControl(s.app()), nullptr);
    EXPECT_THROW(s.app().CommandBars().Item(GetProductName()), Error);
    EXPECT_EQ(rawText("Show message select db"), "True");
}

TEST_F(SessionTest, LeavingHidesEveryBarNamedAfterTheTitle) {
    SessionOptions o;
    o.variant = 11;
    o.hostVersion = "11.0";
    Session& s = start(o);
    openAddinAcceptingHint();
    auto other = s.app().CommandBars().Add("Old Dalvera bar", host::barpos::Floating, false, false);
    other->SetVisible(true);
    auto unrelated = s.app().CommandBars().Add("Mine", host::barpos::Floating, false, false);
    unrelated->SetVisible(true);
    s.closeAddin();
    EXPECT_FALSE(s.app().CommandBars().Item(GetProductName())->Visible());
    EXPECT_FALSE(other->Visible());
    EXPECT_TRUE(unrelated->Visible());
}

}  // namespace dalvera::testing
