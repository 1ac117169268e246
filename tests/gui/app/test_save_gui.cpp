// Saving from the window as a person does: the ribbon's File entry, Ctrl+S and
// F12, all through the host's save, so the engine's handling of the table
// workbook runs.
#include <QMenu>
#include <QToolButton>

#include <fstream>
#include <sstream>

#include "WindowFixture.h"
#include "data/XlsReader.h"
#include "sheet/clsForm.h"
#include "menus/ICB.h"

namespace dalvera::testing {
namespace {

QAction* menuAction(QMenu* menu, const QString& text) {
    emit menu->aboutToShow();
    for (QAction* a : menu->actions())
        if (a->text() == text) return a;
    return nullptr;
}

std::vector<std::string> fileLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (out.empty() && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // the UTF-8 mark
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

QToolButton* ribbonButton(gui::MainWindow& w, const char* tagName) {
    auto* panel = w.findChild<QWidget*>("ribbonPanel");
    return panel ? panel->findChild<QToolButton*>(tagName, Qt::FindDirectChildrenOnly) : nullptr;
}

TEST_F(WindowTest, TheRibbonsFileEntryCarriesTheHostsFileCommands) {
    auto& w = open(22);
    QToolButton* file = w.commands().fileButton();
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->isVisibleTo(&w));
    EXPECT_EQ(file->text(), "File");
    emit file->menu()->aboutToShow();
    QStringList items;
    for (QAction* a : file->menu()->actions())
        if (!a->isSeparator()) items << a->text();
    // What this window carries out; Open and Print have no rendering here.
    EXPECT_EQ(items, QStringList({"&New...", "&Close", "&Save", "Save &As...", "E&xit"}));
}

TEST_F(WindowTest, MenuVariantsKeepTheirFileMenuAndHaveNoRibbonEntry) {
    auto& w = open(11);
    EXPECT_EQ(w.commands().fileButton(), nullptr);
    EXPECT_NE(w.commands().find("File/Save As"), nullptr);
}

TEST_F(WindowTest, SaveAsFromTheFileEntrySavesTheTableWorkbookOnceAndLetsGoOfIt) {
    const std::string sample = sampleDatabase();
    if (sample.empty()) GTEST_SKIP() << "the sample database was not built";
    const std::string db = dir_ + "/sample.sqlite";
    std::filesystem::copy_file(sample, db);
    auto& w = open(12);
    ui_.expectOpenFile(db);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    ASSERT_TRUE(w.perform("click:Open database"));
    QString why;
    ASSERT_TRUE(w.perform("click:Tables/Customers", &why)) << why.toStdString();
    settle();
    ui_.verifyAllConsumed();
    ui_.clearShown();
    ASSERT_TRUE(ribbonButton(w, tag::ExecuteSql)->isEnabled());

    const std::string path = dir_ + "/customers.csv";
    ui_.expectMsgBox(host::answer::Yes, GetMessage(23));
    ui_.expectSaveAs(path);
    QAction* saveAs = menuAction(w.commands().fileButton()->menu(), "Save &As...");
    ASSERT_NE(saveAs, nullptr);
    saveAs->trigger();
    settle();
    ui_.verifyAllConsumed();
    // One question, one dialog, and no error after a save that worked.
    EXPECT_EQ(ui_.count(PromptKind::MsgBox), 1u) << ui_.lastMessage();
    EXPECT_EQ(ui_.count(PromptKind::SaveAs), 1u);
    const auto lines = fileLines(path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[1].find("Harbour Foods"), std::string::npos);
    EXPECT_EQ(w.windowTitle(), "customers.csv - Dalvera");
    // The table commands are off on the ribbon and their keys do nothing.
    EXPECT_FALSE(ribbonButton(w, tag::ExecuteSql)->isEnabled());
    EXPECT_FALSE(ribbonButton(w, tag::Tables)->isEnabled());
    EXPECT_EQ(ribbonButton(w, tag::RefreshData), nullptr);
    goTo(2, 2);
    QTest::keyClick(&grid(), Qt::Key_F9);
    QTest::keyClick(&grid(), Qt::Key_F7);
    settle();
    EXPECT_EQ(ui_.shown().size(), 2u) << "F7 and F9 asked something";
}

TEST_F(WindowTest, InTheMenuVariantCtrlSAndF12SaveTheTableWorkbookThroughTheEngine) {
    const std::string sample = sampleDatabase();
    if (sample.empty()) GTEST_SKIP() << "the sample database was not built";
    const std::string db = dir_ + "/sample.sqlite";
    std::filesystem::copy_file(sample, db);
    auto& w = open(11);
    ui_.expectOpenFile(db);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    ASSERT_TRUE(w.perform("click:Open database"));
    ASSERT_TRUE(w.perform("click:Tables/Customers"));
    settle();
    ui_.verifyAllConsumed();
    ui_.clearShown();
    auto table = session_->app().ActiveWorkbook();
    ASSERT_EQ(table->Name(), GetProductName() + ".xls");
    // Ctrl+S asks first; No keeps everything and is no failure.
    goTo(2, 2);
    ui_.expectMsgBox(host::answer::No, GetMessage(23));
    QTest::keyClick(&grid(), Qt::Key_S, Qt::ControlModifier);
    settle();
    ui_.verifyAllConsumed();
    EXPECT_EQ(ui_.count(PromptKind::MsgBox), 1u) << ui_.lastMessage();
    EXPECT_NE(goApplication->Form().Sheet(), nullptr);
    // F12: one dialog proposing the variant's own name and format.
    const std::string path = dir_ + "/customers.xls";
    ui_.expectMsgBox(host::answer::Yes, GetMessage(23));
    ui_.expectSaveAs(path);
    QTest::keyClick(&grid(), Qt::Key_F12);
    settle();
    ui_.verifyAllConsumed();
    EXPECT_EQ(ui_.count(PromptKind::SaveAs), 1u);
    EXPECT_EQ(ui_.last(PromptKind::SaveAs)->text, session_->app().DefaultFilePath() + "/" + GetProductName() + ".xls");
    EXPECT_EQ(ui_.count(PromptKind::MsgBox), 2u) << ui_.lastMessage();
    EXPECT_TRUE(readXls(path).ok);
    EXPECT_EQ(w.windowTitle(), "customers.xls - Dalvera");
    // The blank workbook is still there to go back to, by the list beside the tabs.
    EXPECT_TRUE(w.perform("book:" + QString::fromStdString(book_->Name())));
    EXPECT_EQ(session_->app().ActiveWorkbook(), book_);
    QString why;
    EXPECT_FALSE(w.perform("book:No such book", &why));
    EXPECT_EQ(why, "no workbook No such book");
}

class SaveKeysTest : public WindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(SaveKeysTest, CtrlSAndF12SaveTheShownWorkbook) {
    auto& w = open(GetParam());
    sheet()->Range("A1")->SetValue(Variant("kept"));
    settle();
    goTo(1, 1);
    const std::string first = dir_ + "/first.xlsx";
    ui_.expectSaveAs(first);
    QTest::keyClick(&grid(), Qt::Key_S, Qt::ControlModifier);
    settle();
    ui_.verifyAllConsumed();
    ASSERT_TRUE(std::filesystem::exists(first));
    EXPECT_EQ(book_->FullName(), first);
    // Saved before: Ctrl+S writes it again without a dialog.
    std::filesystem::remove(first);
    QTest::keyClick(&grid(), Qt::Key_S, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(std::filesystem::exists(first));
    // F12 always asks, proposing the file it has.
    const std::string second = dir_ + "/second.csv";
    ui_.expectSaveAs(second);
    QTest::keyClick(&grid(), Qt::Key_F12);
    settle();
    ui_.verifyAllConsumed();
    EXPECT_EQ(ui_.last(PromptKind::SaveAs)->text, first);
    EXPECT_EQ(fileLines(second), std::vector<std::string>{"kept"});
    EXPECT_EQ(book_->Name(), "second.csv");
    // A key the add-in switched off does nothing, not even its normal job.
    session_->app().OnKey("{F12}", Variant(""));
    QTest::keyClick(&grid(), Qt::Key_F12);
    settle();
    EXPECT_EQ(ui_.count(PromptKind::SaveAs), 2u);
    (void)w;
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, SaveKeysTest, ::testing::Values(11, 12, 21, 22));

TEST_F(WindowTest, ScriptedKeysUseTheHostsNotation) {
    EXPECT_EQ(gui::keyFromAction("F7"), "{F7}");
    EXPECT_EQ(gui::keyFromAction("{F9}"), "{F9}");
    EXPECT_EQ(gui::keyFromAction("^s"), "^s");
    EXPECT_EQ(gui::keyFromAction("^S"), "^s");
    EXPECT_EQ(gui::keyFromAction("+F6"), "+{F6}");
    EXPECT_EQ(gui::keyFromAction("f12"), "{F12}");
    EXPECT_EQ(gui::keyFromAction(""), "");
    EXPECT_EQ(gui::builtInKeyCommand("^s"), 3);
    EXPECT_EQ(gui::builtInKeyCommand("{F12}"), 748);
    EXPECT_EQ(gui::builtInKeyCommand("{F7}"), 0);
}

}  // namespace
}  // namespace dalvera::testing
