// The add-in's menu, toolbar and function keys in the embedded host.
#include "entry/SessionFixture.h"

#include "app/clsAux.h"
#include "menus/clsCommandBar.h"
#include "menus/clsMenuBarControl.h"

namespace dalvera::testing {

namespace {
struct Expected {
    int type;
    std::string caption;
    int faceId;
    std::string tag;
    std::string macro;
    bool group;
};

std::vector<Expected> expectedMenu(int kind) {
    std::vector<Expected> e = {
        {host::ctl::Button, GetMessage(122), kind == 0 ? 264 : 9965, "Open database", "ThisWorkbook.GetDatabase", false},
        {host::ctl::Popup, GetMessage(124), 0, "Tables", "", false},
    };
    if (kind == 1) e.push_back({host::ctl::Popup, "&Views", 0, "Views", "", false});
    e.push_back({host::ctl::Popup, kind == 1 ? "&Stored procedures" : "&Queries", 0, "Queries", "", false});
    e.push_back({host::ctl::Button, GetMessage(125), 539, "Row Add", "ThisWorkbook.AddRow", true});
    e.push_back({host::ctl::Button, GetMessage(126), 538, "Row Update", "ThisWorkbook.WriteData", false});
    e.push_back({host::ctl::Button, GetMessage(127), 644, "Row Delete", "ThisWorkbook.DeleteRows", false});
    e.push_back({host::ctl::Button, GetMessage(128), 1020, "Refresh data", "ThisWorkbook.Refresh", false});
    e.push_back({host::ctl::Button, GetMessage(133), 528, "Excecute SQL", "ThisWorkbook.ExecuteSQL", true});
    e.push_back({host::ctl::Button, GetMessage(255), 3, "Convert database", "ThisWorkbook.ConvertDatabase", false});
    e.push_back({host::ctl::Button, GetMessage(134), 548, "Settings", "ThisWorkbook.ShowSettings", false});
    e.push_back({host::ctl::Popup, GetMessage(136), 0, "Help", "", false});
    e.push_back({host::ctl::Button, GetMessage(138), 923, "Close application", "ThisWorkbook.CloseWorkbook", true});
    return e;
}
}  // namespace

class MenuTest : public SessionTest {
protected:
    Session& startClassic(int variant = 11, int country = 1, bool helpMenu = true) {
        SessionOptions o;
        o.variant = variant;
        o.hostVersion = "11.0";
        o.countryCode = country;
        o.helpMenu = helpMenu;
        Session& s = start(o);
        openAddinAcceptingHint();
        return s;
    }
    host::ControlPtr menu() { return goApplication->Menu().MenuControl(); }
    host::BarPtr toolbar() { return session_->app().CommandBars().Item(GetProductName()); }
};

TEST_F(MenuTest, MenuHoldsEveryCommandInOrderInBothLanguages) {
    for (int country : {1, 31}) {
        SCOPED_TRACE(country);
        startClassic(11, country);
        auto controls = menu()->Controls();
        auto expected = expectedMenu(0);
        ASSERT_EQ(controls->Count(), static_cast<long>(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            auto c = controls->Item(static_cast<long>(i + 1));
            SCOPED_TRACE(expected[i].tag);
            EXPECT_EQ(c->Type(), expected[i].type);
            EXPECT_EQ(c->Caption(), expected[i].caption);
            EXPECT_EQ(c->Tag(), expected[i].tag);
            EXPECT_EQ(c->OnAction(), expected[i].macro);
            EXPECT_EQ(c->BeginGroup(), expected[i].group);
            if (expected[i].faceId) {
                EXPECT_EQ(c->FaceId(), expected[i].faceId);
            }
        }
        auto help = controls->Item(static_cast<long>(expected.size() - 1))->Controls();
        ASSERT_EQ(help->Count(), 2);
        EXPECT_EQ(help->Item(1)->OnAction(), "ThisWorkbook.ShowHelp");
        EXPECT_EQ(help->Item(1)->FaceId(), 984);
        EXPECT_EQ(help->Item(2)->Caption(), GetMessage(135));
        EXPECT_EQ(help->Item(2)->OnAction(), "ThisWorkbook.ShowInfo");
        // The menu sits before the host's Help menu.
        auto bar = session_->app().CommandBars().Item(1)->Controls();
        EXPECT_EQ(bar->Item(bar->Count())->Caption(), "&Help");
        EXPECT_EQ(bar->Item(bar->Count() - 1)->Caption(), clsMenuBarControl::Name());
        session_.reset();
        std::filesystem::remove(dir_ + "/registry.reg");
    }
}

TEST_F(MenuTest, ServerVariantsHaveViewsAndStoredProcedures) {
    startClassic(21);
    auto controls = menu()->Controls();
    EXPECT_EQ(controls->Item(3)->Tag(), "Views");
    EXPECT_EQ(controls->Item(3)->Caption(), "&Views");
    EXPECT_EQ(controls->Item(4)->Caption(), "&Stored procedures");
    EXPECT_EQ(controls->Item(1)->FaceId(), 9965);  // a host above version 10
}

TEST_F(MenuTest, WithoutAHelpMenuTheMenuIsSecond) {
    startClassic(11, 1, false);
    auto bar = session_->app().CommandBars().Item(1)->Controls();
    EXPECT_EQ(bar->Item(2)->Caption(), clsMenuBarControl::Name());
    EXPECT_EQ(clsMenuBarControl::Name(), "Dalve&ra Desk Classic");
}

TEST_F(MenuTest, ToolbarCopiesTheMenuWithoutHelpAndClose) {
    startClassic();
    auto controls = toolbar()->Controls();
    std::vector<std::string> tags;
    for (long i = 1; i <= controls->Count(); ++i) {
        auto c = controls->Item(i);
        tags.push_back(c->Tag());
        if (c->Type() == host::ctl::Button) {
            EXPECT_EQ(c->ToolTipText(), c->Caption());
        }
    }
    EXPECT_EQ(tags, (std::vector<std::string>{"Open database", "Tables", "Queries", "Row Add", "Row Update",
                                              "Row Delete", "Refresh data", "Excecute SQL", "Convert database",
                                              "Settings"}));
    EXPECT_TRUE(toolbar()->Visible());
    EXPECT_FALSE(toolbar()->Temporary());
}

TEST_F(MenuTest, ControlsStartInTheirStartState) {
    startClassic();
    for (auto* bar : {static_cast<ICB*>(&goApplication->Menu()), static_cast<ICB*>(&goApplication->Toolbar())}) {
        auto find = [&](const char* t) { return bar->FindControlByTag(t); };
        for (const char* t : {"Row Add", "Row Update", "Row Delete", "Refresh data"}) EXPECT_FALSE(find(t)->Visible()) << t;
        EXPECT_TRUE(find("Open database")->Enabled());
        EXPECT_TRUE(find("Settings")->Enabled());
        EXPECT_FALSE(find("Tables")->Enabled());
        EXPECT_FALSE(find("Queries")->Enabled());
        EXPECT_FALSE(find("Excecute SQL")->Enabled());
    }
    EXPECT_TRUE(goApplication->Menu().FindControlByTag("Help")->Enabled());
    EXPECT_FALSE(goApplication->Menu().FindControlByTag("Close application")->Enabled());
}

TEST_F(MenuTest, FindingByTagDiffersBetweenMenuAndToolbar) {
    startClassic();
    auto tables = goApplication->Toolbar().FindControlByTag("Tables");
    auto inside = tables->Controls()->Add(host::ctl::Button);
    inside->SetTag("Inner");
    EXPECT_NE(goApplication->Toolbar().FindControlByTag("Inner"), nullptr);
    goApplication->Menu().FindControlByTag("Tables")->Controls()->Add(host::ctl::Button)->SetTag("Inner2");
    EXPECT_EQ(goApplication->Menu().FindControlByTag("Inner2"), nullptr);
    // A missing toolbar answers nothing; a missing menu raises.
    goApplication->Toolbar().DeleteObject();
    EXPECT_EQ(goApplication->Toolbar().FindControlByTag("Tables"), nullptr);
    goApplication->Menu().DeleteObject();
    EXPECT_THROW(goApplication->Menu().FindControlByTag("Tables"), Error);
    EXPECT_FALSE(goApplication->Menu().ObjectExists());
}

TEST_F(MenuTest, SheetCommandsAndKeysFollowTheState) {
    startClassic();
    clsAux& aux = goApplication->Aux();
    aux.EnableSheetCommands(goApplication->Menu(), true);
    // No table is shown: every sheet command is off and its key does nothing.
    for (const char* t : {"Row Add", "Row Update", "Row Delete", "Refresh data"})
        EXPECT_FALSE(goApplication->Menu().FindControlByTag(t)->Enabled()) << t;
    for (const char* k : {"{F6}", "{F7}", "{F8}", "{F9}"}) EXPECT_EQ(session_->app().keyBinding(k), Variant("")) << k;
    aux.EnableWorkbookCommands(goApplication->Menu(), true);
    EXPECT_TRUE(goApplication->Menu().FindControlByTag("Excecute SQL")->Enabled());
    aux.EnableWorkbookCommands(goApplication->Toolbar(), false);
    EXPECT_FALSE(goApplication->Toolbar().FindControlByTag("Excecute SQL")->Enabled());
    // A tag nobody carries changes nothing.
    aux.EnableControl(goApplication->Menu(), "Nothing", true);
}

TEST_F(MenuTest, AnUnsupportedControlStopsTheToolbarBuild) {
    startClassic();
    menu()->Controls()->Add(host::ctl::Edit, 1, {}, 3, true)->SetTag("Odd");
    goApplication->Toolbar().DeleteObject();
    try {
        goApplication->Toolbar().AddObject();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 668);
        EXPECT_EQ(e.description(), "CommandBarControltype is not implemented!");
    }
    // What was copied before it stays.
    EXPECT_EQ(toolbar()->Controls()->Count(), 2);
}

TEST_F(MenuTest, AClickRunsTheMacroWithTheActionControlSet) {
    Session& s = startClassic();
    auto info = menu()->Controls()->Item(menu()->Controls()->Count() - 1)->Controls()->Item(2);
    host::ControlPtr during;
    ui_.expectForm("frmAbout", [&](host::Form& f) {
        during = s.app().CommandBars().ActionControl();
        EXPECT_EQ(f.control("lblProduct")->caption, GetProductName());
        click(f, "cmdOK");
    });
    s.user().clickControl(info);
    EXPECT_EQ(during, info);
    EXPECT_EQ(s.app().CommandBars().ActionControl(), nullptr);
    ui_.verifyAllConsumed();
}

TEST_F(MenuTest, ALaterStartKeepsTheInstalledToolbar) {
    Session& s = startClassic();
    s.addin().workbook()->SetIsAddin(true);
    auto before = toolbar();
    before->Controls()->Item(1)->SetEnabled(false);
    s.closeAddin();
    s.openAddin();
    EXPECT_EQ(toolbar(), before);  // kept, not rebuilt
    EXPECT_TRUE(before->Controls()->Item(1)->Enabled());  // but reset
}

}  // namespace dalvera::testing
