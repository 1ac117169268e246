// The main window's command surface, keys, status bar and sheet tabs, driven
// through its widgets as a person would.
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>

#include "WindowFixture.h"
#include "menus/ICB.h"
#include "menus/clsCommandBar.h"

namespace dalvera::testing {
namespace {

// The ribbon's buttons, left to right.
std::vector<QToolButton*> ribbonButtons(gui::MainWindow& w) {
    std::vector<QToolButton*> out;
    auto* panel = w.findChild<QWidget*>("ribbonPanel");
    if (!panel) return out;
    for (auto* b : panel->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        if (b->isVisibleTo(panel)) out.push_back(b);
    std::sort(out.begin(), out.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
    return out;
}

std::vector<std::string> texts(const std::vector<QToolButton*>& buttons) {
    std::vector<std::string> out;
    for (auto* b : buttons) out.push_back(b->text().replace(QChar(10), QChar(32)).toStdString());  // as one line
    return out;
}

QToolButton* button(gui::MainWindow& w, const QString& text) {
    for (auto* b : ribbonButtons(w))
        if (b->text().replace(QChar(10), QChar(32)) == text) return b;
    return nullptr;
}

TEST_F(WindowTest, TheRibbonCarriesTheAddinsCommandsAndRunsTheirMacros) {
    auto& w = open(12);
    ASSERT_TRUE(w.commands().isRibbon());
    // Without a database the record commands are hidden by the add-in itself.
    EXPECT_EQ(texts(ribbonButtons(w)),
              (std::vector<std::string>{"Open database", "Tables", "Queries", "Execute SQL statement",
                                        "Convert to an editable database", "Settings", "Help", "Info", "Close"}));
    auto* tables = button(w, "Tables");
    ASSERT_NE(tables, nullptr);
    EXPECT_EQ(tables->popupMode(), QToolButton::InstantPopup);
    EXPECT_NE(tables->menu(), nullptr);
    EXPECT_FALSE(tables->isEnabled());  // nothing to list yet
    EXPECT_FALSE(button(w, "Info")->icon().isNull());

    // Info runs the add-in's macro with its control as the action control.
    host::ControlPtr during;
    ui_.expectForm("frmAbout", [&](host::Form& f) {
        during = session_->app().CommandBars().ActionControl();
        click(f, "cmdOK");
    });
    button(w, "Info")->click();
    ui_.verifyAllConsumed();
    ASSERT_NE(during, nullptr);
    EXPECT_EQ(during->OnAction(), "ThisWorkbook.ShowInfo");
}

TEST_F(WindowTest, RibbonFollowsCaptionEnabledAndVisibleChangesAtOnce) {
    auto& w = open(22);
    auto settings = w.commands().find("Settings");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->Tag(), tag::Settings);
    settings->SetCaption("&Options");
    settle();
    ASSERT_NE(button(w, "Options"), nullptr);
    EXPECT_EQ(button(w, "Settings"), nullptr);
    settings->SetEnabled(false);
    settle();
    EXPECT_FALSE(button(w, "Options")->isEnabled());
    settings->SetVisible(false);
    settle();
    EXPECT_EQ(button(w, "Options"), nullptr);

    // A drop-down lists the popup's controls as they are when it opens.
    auto tables = w.commands().find("Tables");
    ASSERT_NE(tables, nullptr);
    auto orders = tables->Controls()->Add(host::ctl::Button);
    orders->SetCaption("Orders");
    tables->SetEnabled(true);
    settle();
    auto* list = button(w, "Tables")->menu();
    emit list->aboutToShow();
    ASSERT_EQ(list->actions().size(), 1);
    EXPECT_EQ(list->actions()[0]->text(), "Orders");
    EXPECT_EQ(w.commands().find("Tables/Orders"), orders);
}

TEST_F(WindowTest, DutchCaptionsComeFromTheAddinsOwnControls) {
    auto& w = open(12, 31);
    auto captions = texts(ribbonButtons(w));
    for (const char* expected : {"Tabellen", "Instellingen", "Informatie", "Afsluiten"})
        EXPECT_NE(std::find(captions.begin(), captions.end(), expected), captions.end()) << expected;
    EXPECT_EQ(std::find(captions.begin(), captions.end(), "Settings"), captions.end());
    EXPECT_EQ(w.statusText(), "Gereed");
}

TEST_F(WindowTest, MenuVariantsDrawTheWorksheetMenuBarAndTheVisibleToolbar) {
    auto& w = open(11);
    EXPECT_FALSE(w.commands().isRibbon());
    QStringList titles;
    QMenu* addin = nullptr;
    for (QAction* a : w.menuBar()->actions()) {
        titles << a->text();
        if (a->menu() && a->text().remove('&').startsWith("Dalvera")) addin = a->menu();
    }
    EXPECT_TRUE(titles.contains("&File")) << titles.join(",").toStdString();
    ASSERT_NE(addin, nullptr) << titles.join(",").toStdString();
    emit addin->aboutToShow();
    QStringList items;
    for (QAction* a : addin->actions())
        if (!a->isSeparator()) items << a->text();
    EXPECT_EQ(items.value(0), "&Open database...");
    EXPECT_TRUE(items.contains("&Settings"));

    // The add-in's toolbar is there while it is visible, and goes when hidden.
    auto bar = session_->app().CommandBars().Item(clsCommandBar::BarName());
    ASSERT_TRUE(bar->Visible());
    EXPECT_NE(w.findChild<QToolBar*>(QString::fromStdString(bar->Name())), nullptr);
    bar->SetVisible(false);
    settle();
    EXPECT_EQ(w.findChild<QToolBar*>(QString::fromStdString(bar->Name())), nullptr);
}

TEST_F(WindowTest, TheHostsOwnMenuCommandsWorkThroughTheHost) {
    auto& w = open(11);
    sheet()->Range("A1")->SetValue(Variant("one"));
    sheet()->Range("B1")->SetValue(Variant("two"));
    sheet()->Range("A1:B1")->Select();
    settle();
    auto bold = w.commands().find("Format/Bold");
    if (!bold) bold = session_->app().CommandBars().FindControl(0, 113);
    ASSERT_NE(bold, nullptr);
    w.runControl(bold);
    EXPECT_TRUE(sheet()->Range("B1")->Font()->Bold().toBool());
    auto clear = w.commands().find("Edit/Clear Contents");
    ASSERT_NE(clear, nullptr);
    w.runControl(clear);
    EXPECT_TRUE(sheet()->Range("A1")->Value().isEmpty());
    EXPECT_TRUE(sheet()->Range("B1")->Value().isEmpty());
    // Save of a workbook never saved asks where, and writes it.
    const std::string file = dir_ + "/book.xlsx";
    ui_.expectSaveAs(file);
    auto save = w.commands().find("File/Save");
    ASSERT_NE(save, nullptr);
    w.runControl(save);
    ui_.verifyAllConsumed();
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(book_->FullName(), file);
}

TEST_F(WindowTest, FunctionKeysGoThroughTheHostsKeyBindings) {
    auto& w = open(12);
    int runs = 0;
    session_->app().registerMacro("Test.Counter", [&] { ++runs; });
    session_->app().OnKey("{F7}", Variant("Test.Counter"));
    session_->app().OnKey("+{F6}", Variant("Test.Counter"));
    session_->app().OnKey("{F8}", Variant(""));  // switched off
    goTo(2, 2);
    QTest::keyClick(&grid(), Qt::Key_F7);
    QTest::keyClick(&grid(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(runs, 2);
    QTest::keyClick(&grid(), Qt::Key_F6);  // unbound: keeps its normal meaning, runs nothing
    EXPECT_EQ(runs, 2);
    // A switched-off key does nothing, not even its normal job.
    QTest::keyClick(&grid(), Qt::Key_F8);
    EXPECT_EQ(runs, 2);
    // A bound key pressed while a cell is being edited ends the entry first, then runs.
    typeIntoCell("x", false);
    ASSERT_TRUE(session_->user().editing());
    ASSERT_NE(cellEditor(), nullptr);
    QTest::keyClick(cellEditor(), Qt::Key_F7);
    settle();
    EXPECT_EQ(runs, 3);
    EXPECT_FALSE(session_->user().editing());
    EXPECT_EQ(sheet()->Range("B2")->Value().text(), "x");
    // Other keys are typing.
    goTo(3, 2);
    typeIntoCell("y", false);
    QTest::keyClick(cellEditor(), Qt::Key_Z);
    EXPECT_TRUE(session_->user().editing());
    QTest::keyClick(cellEditor(), Qt::Key_Escape);
    EXPECT_TRUE(sheet()->Range("B3")->Value().isEmpty());
    session_->app().unregisterMacro("Test.Counter");
    (void)w;
}

TEST_F(WindowTest, KeyNamesFollowTheHostsNotation) {
    EXPECT_EQ(gui::onKeyName(Qt::Key_F9, Qt::NoModifier), "{F9}");
    EXPECT_EQ(gui::onKeyName(Qt::Key_F6, Qt::ShiftModifier | Qt::ControlModifier), "+^{F6}");
    EXPECT_EQ(gui::onKeyName(Qt::Key_S, Qt::ControlModifier), "^s");
    EXPECT_EQ(gui::onKeyName(Qt::Key_S, Qt::NoModifier), "");  // typing, not a key
    EXPECT_EQ(gui::onKeyName(Qt::Key_S, Qt::ShiftModifier), "");
    EXPECT_EQ(gui::onKeyName(Qt::Key_Delete, Qt::NoModifier), "{DEL}");
}

TEST_F(WindowTest, StatusBarAndCursorFollowTheHost) {
    auto& w = open(12);
    EXPECT_EQ(w.statusText(), "Ready");
    session_->app().SetStatusBar(Variant("Reading Orders..."));
    session_->app().SetCursor(host::xl::CursorWait);
    w.refresh();
    EXPECT_EQ(w.findChild<QLabel*>("hostStatus")->text(), "Reading Orders...");
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    session_->app().SetStatusBar(Variant(false));
    session_->app().SetCursor(host::xl::CursorDefault);
    w.refresh();
    EXPECT_EQ(w.findChild<QLabel*>("hostStatus")->text(), "Ready");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, SheetTabsShowTheVisibleSheetsAndActivateThroughTheHost) {
    auto& w = open(12);
    auto sheets = book_->Worksheets();
    auto second = sheets->Add(nullptr, sheets->Item(1));
    second->SetName("Second");
    auto hidden = sheets->Add(nullptr, second);
    hidden->SetName("Secret");
    hidden->SetVisible(host::xl::SheetHidden);
    sheets->Item(1)->Activate();
    settle();
    auto& tabs = w.sheetTabs();
    ASSERT_EQ(tabs.count(), 2);
    EXPECT_EQ(tabs.tabText(1), "Second");
    const int before = events_.activations;
    emit tabs.tabBarClicked(1);
    EXPECT_EQ(book_->ActiveSheet()->Name(), "Second");
    EXPECT_EQ(events_.activations, before + 1);
    settle();
    EXPECT_EQ(grid().sheetModel().worksheet()->Name(), "Second");
    EXPECT_EQ(tabs.currentIndex(), 1);
}

TEST_F(WindowTest, WithMoreWorkbooksOpenThePersonCanSwitchBetweenThem) {
    auto& w = open(12);
    EXPECT_FALSE(w.workbookChoice().isVisibleTo(&w));  // one workbook: nothing to choose
    auto other = session_->app().Workbooks().Add();
    other->Worksheets()->Item(1)->SetName("Other sheet");
    settle();
    ASSERT_TRUE(w.workbookChoice().isVisibleTo(&w));
    EXPECT_EQ(w.workbookChoice().count(), 2);  // the add-in is not among them
    EXPECT_EQ(w.sheetTabs().tabText(0), "Other sheet");
    const int first = w.workbookChoice().findText(QString::fromStdString(book_->Name()));
    ASSERT_GE(first, 0);
    emit w.workbookChoice().activated(first);
    settle();
    EXPECT_EQ(session_->app().ActiveWorkbook(), book_);
    EXPECT_EQ(grid().sheetModel().worksheet()->Name(), book_->ActiveSheet()->Name());
    EXPECT_EQ(w.windowTitle().toStdString(), book_->Name() + " - Dalvera");
}

TEST_F(WindowTest, OptionsPickVariantHostAndLanguage) {
    gui::AppOptions o;
    QString error;
    ASSERT_TRUE(gui::AppOptions::parse({"--variant", "21", "--lang", "nl", "--host-version", "14", "--actions",
                                        "click:Open database; click:Tables/Orders"},
                                       o, error));
    EXPECT_EQ(o.variant, 21);
    EXPECT_EQ(o.countryCode, 31);
    EXPECT_EQ(o.effectiveHostVersion(), "14.0");
    EXPECT_EQ(o.actions, (QStringList{"click:Open database", "click:Tables/Orders"}));
    gui::AppOptions menus;
    ASSERT_TRUE(gui::AppOptions::parse({"--variant", "11"}, menus, error));
    EXPECT_EQ(menus.effectiveHostVersion(), "11.0");
    EXPECT_FALSE(gui::AppOptions::parse({"--variant", "13"}, o, error));
    EXPECT_FALSE(gui::AppOptions::parse({"--lang", "de"}, o, error));
    EXPECT_FALSE(gui::AppOptions::parse({"--database"}, o, error));
}

}  // namespace
}  // namespace dalvera::testing
