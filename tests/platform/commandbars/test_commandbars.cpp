#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

#include "platform/sheets/commandbars/CommandBarSet.h"
#include "runtime/Error.h"

using namespace dalvera;
using dalvera::platform::CommandBarOptions;
using dalvera::platform::CommandBarSet;
namespace ctl = dalvera::host::ctl;
namespace barpos = dalvera::host::barpos;

namespace {

long errorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        EXPECT_FALSE(e.description().empty());
        return e.number();
    }
    return 0;
}

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("dalvera_cb_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

}  // namespace

TEST(CommandBarsStart, WorksheetMenuBarHoldsTheHostMenus) {
    CommandBarSet bars;
    auto menu = bars.Item(1);
    EXPECT_EQ(menu->Name(), "Worksheet Menu Bar");
    EXPECT_TRUE(menu->BuiltIn());
    EXPECT_TRUE(menu->Visible());
    auto help = menu->FindControl(0, 30010, {}, false, false);
    ASSERT_TRUE(help);
    EXPECT_EQ(help->Caption(), "&Help");
    EXPECT_EQ(help->Type(), ctl::Popup);
    EXPECT_EQ(help->Index(), menu->Controls()->Count());
    EXPECT_GT(help->Controls()->Count(), 0);
    for (const char* name : {"Standard", "Formatting", "Cell", "Task Pane"}) EXPECT_TRUE(bars.Item(name)->BuiltIn());
    EXPECT_EQ(bars.Item("cell")->Position(), barpos::Popup);  // names compare without case
}

TEST(CommandBarsStart, HostWithoutHelpMenuPutsAddInMenuSecond) {
    CommandBarSet bars({}, CommandBarOptions{.helpMenu = false});
    auto menu = bars.Item(1);
    EXPECT_FALSE(bars.FindControl(0, 30010));
    auto mine = menu->Controls()->Add(ctl::Popup, 1, {}, 2, true);
    EXPECT_EQ(mine->Index(), 2);
    EXPECT_EQ(menu->Controls()->Item(2).get(), mine.get());
}

TEST(CommandBarsCollection, AddFindAndRefuse) {
    CommandBarSet bars;
    long before = bars.Count();
    auto bar = bars.Add("Dalvera", barpos::Floating, false, false);
    EXPECT_EQ(bars.Count(), before + 1);
    EXPECT_EQ(bar->Index(), before + 1);
    EXPECT_FALSE(bar->BuiltIn());
    EXPECT_FALSE(bar->Visible());
    EXPECT_EQ(bars.Item("Dalvera").get(), bar.get());
    EXPECT_EQ(errorNumber([&] { bars.Add("dalvera"); }), err::InvalidCall);
    EXPECT_EQ(errorNumber([&] { bars.Add("x", 9); }), err::InvalidCall);
    EXPECT_EQ(errorNumber([&] { bars.Item("No such bar"); }), err::InvalidCall);
    EXPECT_EQ(errorNumber([&] { bars.Item(0L); }), err::InvalidCall);
    EXPECT_EQ(errorNumber([&] { bars.Item(bars.Count() + 1); }), err::InvalidCall);
    EXPECT_EQ(errorNumber([&] { bars.Item("Standard")->Delete(); }), err::InvalidCall);
    EXPECT_EQ(errorNumber([&] { bar->SetName("Standard"); }), err::InvalidCall);
    bar->SetName("Renamed");
    EXPECT_EQ(errorNumber([&] { bars.Item("Dalvera"); }), err::InvalidCall);
    EXPECT_NE(bars.Add("")->Name(), bars.Add("")->Name());  // unnamed bars get their own names
}

TEST(CommandBarControls, AddPlacesAndDescribes) {
    CommandBarSet bars;
    auto c = bars.Add("T")->Controls();
    auto a = c->Add(ctl::Button);
    auto b = c->Add(ctl::Button, 1, "param", 1, true);
    EXPECT_EQ(c->Count(), 2);
    EXPECT_EQ(b->Index(), 1);
    EXPECT_EQ(a->Index(), 2);
    EXPECT_EQ(b->Parameter(), "param");
    EXPECT_TRUE(b->Temporary());
    EXPECT_EQ(a->Id(), 1);
    a->SetCaption("&Open");
    EXPECT_EQ(a->ToolTipText(), "&Open");
    a->SetToolTipText("Open a database");
    EXPECT_EQ(a->ToolTipText(), "Open a database");
    EXPECT_TRUE(a->Enabled());
    EXPECT_TRUE(a->Visible());
    EXPECT_FALSE(a->BeginGroup());
    EXPECT_EQ(errorNumber([&] { a->Controls(); }), 438);
    EXPECT_EQ(errorNumber([&] { c->Add(7); }), err::InvalidCall);
    EXPECT_EQ(errorNumber([&] { c->Add(ctl::Button, 1, {}, 4); }), err::InvalidCall);
    EXPECT_EQ(errorNumber([&] { c->Add(ctl::Button, 424242); }), err::InvalidCall);
    EXPECT_EQ(errorNumber([&] { c->Item(3); }), err::InvalidCall);
    auto save = c->Add(ctl::Button, 3);  // a built-in copies the host's control
    EXPECT_EQ(save->Id(), 3);
    EXPECT_EQ(save->Caption(), "&Save");
}

TEST(CommandBarControls, DeletedObjectsRaiseOnUse) {
    CommandBarSet bars;
    auto bar = bars.Add("T");
    auto popup = bar->Controls()->Add(ctl::Popup);
    auto inner = popup->Controls()->Add(ctl::Button);
    auto innerList = popup->Controls();
    popup->Delete();
    EXPECT_EQ(bar->Controls()->Count(), 0);
    EXPECT_NE(errorNumber([&] { popup->Caption(); }), 0);
    EXPECT_NE(errorNumber([&] { inner->SetTag("x"); }), 0);
    EXPECT_NE(errorNumber([&] { innerList->Add(ctl::Button); }), 0);
    auto keep = bar->Controls()->Add(ctl::Button);
    bar->Delete();
    EXPECT_NE(errorNumber([&] { bar->Name(); }), 0);
    EXPECT_NE(errorNumber([&] { keep->Execute(); }), 0);
    EXPECT_EQ(errorNumber([&] { bars.Item("T"); }), err::InvalidCall);
}

TEST(CommandBarControls, ObjectsOutlivingTheHostRaise) {
    host::ControlPtr c;
    {
        CommandBarSet bars;
        c = bars.Item(1)->Controls()->Item(1);
    }
    EXPECT_NE(errorNumber([&] { c->Caption(); }), 0);
}

TEST(CommandBarSearch, FindControlLooksInsidePopups) {
    CommandBarSet bars;
    auto bar = bars.Add("T");
    auto popup = bar->Controls()->Add(ctl::Popup);
    popup->SetTag("Tables");
    auto hidden = popup->Controls()->Add(ctl::Button);
    hidden->SetTag("Orders");
    hidden->SetVisible(false);
    auto shown = popup->Controls()->Add(ctl::Button);
    shown->SetTag("Orders");

    EXPECT_EQ(bar->FindControl(0, 0, "Orders").get(), hidden.get());
    EXPECT_EQ(bar->FindControl(0, 0, "Orders", true).get(), shown.get());
    EXPECT_FALSE(bar->FindControl(0, 0, "Orders", false, false));
    EXPECT_FALSE(bar->FindControl(0, 0, "orders"));  // tags are exact
    EXPECT_FALSE(bar->FindControl(ctl::Popup, 0, "Orders"));
    EXPECT_EQ(bars.FindControl(0, 0, "Orders").get(), hidden.get());
    // An invisible bar is out of a visible-only search.
    EXPECT_FALSE(bars.FindControl(0, 0, "Orders", true));
    bar->SetVisible(true);
    EXPECT_EQ(bars.FindControl(0, 0, "Orders", true).get(), shown.get());
    EXPECT_EQ(bars.FindControl(ctl::Popup, 30010)->Caption(), "&Help");
}

TEST(CommandBarCopy, CopiesPopupsDeepAndIndependently) {
    CommandBarSet bars;
    auto menu = bars.Item(1)->Controls()->Add(ctl::Popup, 1, {}, 0, true);
    auto tables = menu->Controls()->Add(ctl::Popup);
    tables->SetTag("Tables");
    tables->SetCaption("&Tables");
    auto orders = tables->Controls()->Add(ctl::Button);
    orders->SetParameter("Orders");
    orders->SetOnAction("ThisWorkbook.Show");
    orders->SetBeginGroup(true);
    orders->SetEnabled(false);

    auto toolbar = bars.Add("Toolbar");
    toolbar->Controls()->Add(ctl::Button);
    auto copy = tables->Copy(toolbar, 1);
    EXPECT_EQ(copy->Index(), 1);
    EXPECT_EQ(toolbar->Controls()->Count(), 2);
    EXPECT_EQ(copy->Caption(), "&Tables");
    EXPECT_FALSE(copy->Temporary());
    ASSERT_EQ(copy->Controls()->Count(), 1);
    auto orderCopy = copy->Controls()->Item(1);
    EXPECT_EQ(orderCopy->Parameter(), "Orders");
    EXPECT_EQ(orderCopy->OnAction(), "ThisWorkbook.Show");
    EXPECT_TRUE(orderCopy->BeginGroup());
    EXPECT_FALSE(orderCopy->Enabled());
    // The copy is its own object: emptying the original leaves it alone.
    orders->Delete();
    EXPECT_EQ(tables->Controls()->Count(), 0);
    EXPECT_EQ(copy->Controls()->Count(), 1);
    EXPECT_EQ(errorNumber([&] { tables->Copy(toolbar, 9); }), err::InvalidCall);
    auto sameBar = orderCopy->Copy(nullptr);
    EXPECT_EQ(copy->Controls()->Count(), 2);
    EXPECT_EQ(sameBar->Parameter(), "Orders");
}

TEST(CommandBarExecute, ActionControlDuringMacro) {
    CommandBarSet* self = nullptr;
    std::vector<std::string> seen;
    host::ControlPtr inner;
    CommandBarSet bars([&](const std::string& macro) {
        auto ac = self->ActionControl();
        ASSERT_TRUE(ac);
        seen.push_back(macro + ":" + ac->Parameter());
        if (macro == "Outer") {
            inner->Execute();
            seen.push_back("back:" + self->ActionControl()->Parameter());
        }
        if (macro == "Fail") throw Error(668, "boom");
    });
    self = &bars;
    auto c = bars.Add("T")->Controls();
    auto outer = c->Add(ctl::Button, 1, "A");
    outer->SetOnAction("Outer");
    inner = c->Add(ctl::Button, 1, "B");
    inner->SetOnAction("Inner");
    auto failing = c->Add(ctl::Button, 1, "C");
    failing->SetOnAction("Fail");

    EXPECT_FALSE(bars.ActionControl());
    outer->Execute();
    EXPECT_EQ(seen, (std::vector<std::string>{"Outer:A", "Inner:B", "back:A"}));
    EXPECT_FALSE(bars.ActionControl());
    EXPECT_EQ(errorNumber([&] { failing->Execute(); }), 668);
    EXPECT_FALSE(bars.ActionControl());

    failing->SetEnabled(false);
    seen.clear();
    EXPECT_NE(errorNumber([&] { failing->Execute(); }), 0);
    EXPECT_TRUE(seen.empty());
}

TEST(CommandBarExecute, BuiltInsAndMissingRunner) {
    CommandBarSet bars;
    long ran = 0;
    bars.setBuiltInHandler([&](long id) { ran = id; });
    bars.Item("Standard")->FindControl(0, 3)->Execute();
    EXPECT_EQ(ran, 3);
    auto b = bars.Add("T")->Controls()->Add(ctl::Button);
    b->SetOnAction("ThisWorkbook.Nothing");
    EXPECT_EQ(errorNumber([&] { b->Execute(); }), err::HostRefusal);
}

TEST(CommandBarNotify, ChangesAreReportedOnce) {
    CommandBarSet bars;
    int changes = 0;
    bars.setChangeHandler([&] { ++changes; });
    auto bar = bars.Add("T");
    auto b = bar->Controls()->Add(ctl::Button);
    b->SetCaption("x");
    b->SetCaption("x");  // no change, no notice
    b->SetEnabled(false);
    bar->SetVisible(true);
    b->Delete();
    EXPECT_EQ(changes, 6);
}

TEST(CommandBarNotify, LoadReportsOneChange) {
    const std::string path = tempPath("notify.txt");
    {
        CommandBarSet bars;
        auto bar = bars.Add("One");
        for (int i = 0; i < 5; ++i) bar->Controls()->Add(ctl::Button);
        bars.save(path);
    }
    CommandBarSet bars;
    int changes = 0;
    bars.setChangeHandler([&] { ++changes; });
    bars.load(path);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(bars.Item("One")->Controls()->Count(), 5);
    std::remove(path.c_str());
}

TEST(CommandBarPersistence, CustomBarsSurviveRestart) {
    const std::string path = tempPath("persist.txt");
    {
        CommandBarSet bars;
        auto bar = bars.Add("Dalvera", barpos::Floating, false, false);
        bar->SetVisible(true);
        auto popup = bar->Controls()->Add(ctl::Popup);
        popup->SetTag("Tables");
        popup->SetCaption("Tab\tle\\s\nnew");
        auto inner = popup->Controls()->Add(ctl::Button);
        inner->SetParameter("Orders");
        inner->SetToolTipText("");
        popup->Controls()->Add(ctl::Button, 1, {}, 0, true);  // temporary: not kept
        auto after = bar->Controls()->Add(ctl::Button);
        after->SetTag("Settings");
        after->SetFaceId(548);
        after->SetBeginGroup(true);
        after->SetVisible(false);
        bars.Add("Gone", barpos::Floating, false, true);  // temporary bar: not kept
        bars.save(path);
    }
    CommandBarSet bars;
    ASSERT_TRUE(bars.load(path));
    auto bar = bars.Item("Dalvera");
    EXPECT_TRUE(bar->Visible());
    EXPECT_EQ(errorNumber([&] { bars.Item("Gone"); }), err::InvalidCall);
    ASSERT_EQ(bar->Controls()->Count(), 2);
    auto popup = bar->Controls()->Item(1);
    EXPECT_EQ(popup->Caption(), "Tab\tle\\s\nnew");
    ASSERT_EQ(popup->Controls()->Count(), 1);
    EXPECT_EQ(popup->Controls()->Item(1)->Parameter(), "Orders");
    EXPECT_EQ(popup->Controls()->Item(1)->ToolTipText(), "");  // an explicit empty tooltip stays empty
    auto after = bar->Controls()->Item(2);
    EXPECT_EQ(after->Tag(), "Settings");
    EXPECT_EQ(after->FaceId(), 548);
    EXPECT_TRUE(after->BeginGroup());
    EXPECT_FALSE(after->Visible());
    // Loading again replaces rather than duplicates.
    long count = bars.Count();
    ASSERT_TRUE(bars.load(path));
    EXPECT_EQ(bars.Count(), count);
    std::remove(path.c_str());
    EXPECT_FALSE(bars.load(path));
}

TEST(CommandBarPersistence, DamagedFileChangesNothing) {
    const std::string path = tempPath("damaged.txt");
    {
        CommandBarSet bars;
        bars.Add("One")->Controls()->Add(ctl::Button);
        bars.save(path);
    }
    std::string text;
    {
        std::ifstream f(path);
        text.assign(std::istreambuf_iterator<char>(f), {});
    }
    for (const std::string& bad : {text.substr(0, text.size() - 4),                          // cut short
                                   std::string("something else\n"),                            // foreign
                                   text.substr(0, text.find("control")) + "control\t2\t1\n" + "end\n"}) {
        {
            std::ofstream f(path, std::ios::trunc);
            f << bad;
        }
        CommandBarSet bars;
        long count = bars.Count();
        EXPECT_EQ(errorNumber([&] { bars.load(path); }), err::HostRefusal) << bad;
        EXPECT_EQ(bars.Count(), count);
    }
    std::remove(path.c_str());
    CommandBarSet bars;
    EXPECT_NE(errorNumber([&] { bars.save("/nonexistent-folder/x/bars.txt"); }), 0);
}
