// Find, the context menu of the cells and the headings with their widths,
// driven as a person drives them.
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include "WindowFixture.h"
#include "sheet/clsField.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"

namespace dalvera::testing {
namespace {

class FindMenuTest : public WindowTest {
protected:
    std::pair<int, int> at() { return {grid().currentIndex().row() + 1, grid().currentIndex().column() + 1}; }
    QAction* action(QMenu* menu, const char* name) {
        for (QAction* a : menu->actions())
            if (a->objectName() == name) return a;
        return nullptr;
    }
};

TEST_F(FindMenuTest, CtrlFFindsNextAndPreviousWithCaseAndWholeCell) {
    auto& w = open(12);
    const char* words[] = {"Beer", "beer", "Root beer", "Wine"};
    for (int r = 1; r <= 4; ++r) sheet()->Cells(r, 1)->SetValue(Variant(words[r - 1]));
    sheet()->Range("B2")->SetValue(Variant(1.5));
    sheet()->Range("B2")->SetNumberFormat("0.00");
    settle();
    goTo(1, 1);
    QTest::keyClick(&grid(), Qt::Key_F, Qt::ControlModifier);
    settle();
    auto* bar = w.findChild<QWidget*>("findBar");
    ASSERT_TRUE(bar && bar->isVisible());
    auto* text = w.findChild<QLineEdit*>("findText");
    EXPECT_EQ(w.findChild<QLabel*>("findLabel")->text(), "Find what:");
    QTest::keyClicks(text, "beer");
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(at(), std::make_pair(2, 1));  // from the cell after the current one
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(at(), std::make_pair(3, 1));
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(at(), std::make_pair(1, 1));  // round the sheet
    EXPECT_EQ(session_->app().Selection()->Address(), "$A$1");
    EXPECT_TRUE(w.findNext(false));
    EXPECT_EQ(at(), std::make_pair(3, 1));

    w.findChild<QCheckBox*>("findWholeCell")->setChecked(true);
    w.findChild<QCheckBox*>("findMatchCase")->setChecked(true);
    EXPECT_TRUE(w.findNext(true));
    EXPECT_EQ(at(), std::make_pair(2, 1));
    EXPECT_TRUE(w.findNext(true));
    EXPECT_EQ(at(), std::make_pair(2, 1));  // the only one
    // The shown text is searched, as the cell shows it.
    text->setText("1.50");
    EXPECT_TRUE(w.findNext(true));
    EXPECT_EQ(at(), std::make_pair(2, 2));
    text->setText("Tea");
    EXPECT_FALSE(w.findNext(true));
    EXPECT_EQ(at(), std::make_pair(2, 2));
    EXPECT_EQ(w.findChild<QLabel*>("findResult")->text(), "\"Tea\" was not found.");
    if (const char* dir = std::getenv("DALVERA_SHOTS")) w.grab().save(QString(dir) + "/find.png");
    // Escape closes the bar; the grid has the keys again.
    QApplication::setActiveWindow(&w);
    text->setFocus();
    QTest::keyClick(text, Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(FindMenuTest, FindPassesOverCellsThatCannotBeSelected) {
    auto& w = open(12, 31);
    sheet()->Range("A2")->SetValue(Variant("x"));
    sheet()->Range("B3")->SetValue(Variant("x"));
    sheet()->Range("B3")->SetLocked(false);
    sheet()->Protect("");
    sheet()->SetEnableSelection(host::xl::UnlockedCells);
    sheet()->Range("B3")->Select();
    settle();
    w.showFind();
    EXPECT_EQ(w.findChild<QLabel*>("findLabel")->text(), "Zoeken naar:");
    w.findChild<QLineEdit*>("findText")->setText("x");
    EXPECT_TRUE(w.findNext(true));
    EXPECT_EQ(at(), std::make_pair(3, 2));  // A2 is locked
}

TEST_F(FindMenuTest, TheCellMenuCutsCopiesPastesAndClears) {
    open(12);
    sheet()->Range("B2")->SetValue(Variant("one"));
    settle();
    goTo(2, 2);
    QMenu* menu = grid().contextMenu(false);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(action(menu, "addRecord"), nullptr);  // no table here: no record commands
    ASSERT_NE(action(menu, "cut"), nullptr);
    action(menu, "cut")->trigger();
    settle();
    EXPECT_TRUE(sheet()->Range("B2")->Value().isEmpty());
    goTo(4, 3);
    grid().contextMenu(false);
    action(grid().contextMenu(false), "paste")->trigger();
    settle();
    EXPECT_EQ(sheet()->Range("C4")->Value().text(), "one");
    action(grid().contextMenu(false), "clear")->trigger();
    settle();
    EXPECT_TRUE(sheet()->Range("C4")->Value().isEmpty());
}

TEST_F(FindMenuTest, TheCellMenuOfTheTableSheetAddsARecord) {
    const std::string sample = sampleDatabase();
    if (sample.empty()) GTEST_SKIP() << "the sample database was not built";
    const std::string db = dir_ + "/sample.sqlite";
    std::filesystem::copy_file(sample, db);
    auto& w = open(12);
    ui_.expectOpenFile(db);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    ASSERT_TRUE(w.perform("click:Open database"));
    ASSERT_TRUE(w.perform("click:Tables/Customers"));
    settle();
    clsForm& form = goApplication->Form();
    const long before = form.Matrix()->RowCount();
    auto cell = form.Matrix()->Fields().Item("CompanyName")->Cell()->Offset(1, 0);
    goTo(cell->Row(), cell->Column());
    QMenu* menu = grid().contextMenu(false);
    ASSERT_NE(action(menu, "addRecord"), nullptr);
    EXPECT_EQ(action(menu, "addRecord")->text(), "Add record");
    EXPECT_TRUE(action(menu, "addRecord")->isEnabled());
    ASSERT_NE(action(menu, "refresh"), nullptr);
    action(menu, "addRecord")->trigger();
    settle();
    EXPECT_EQ(form.Matrix()->RowCount(), before + 1);
    EXPECT_EQ(w.findChild<QLabel*>("recordCount")->text(), QString("Records: %1").arg(before + 1));
}

TEST_F(FindMenuTest, HeadingsShowLettersAndNumbersAndADraggedWidthReachesTheHost) {
    open(12);
    book_->Window()->SetDisplayHeadings(true);
    sheet()->Range("B1")->SetValue(Variant("a rather long text in B"));
    sheet()->Columns("C")->SetHidden(true);
    settle();
    auto& g = grid();
    ASSERT_TRUE(g.horizontalHeader()->isVisible());
    EXPECT_EQ(g.model()->headerData(1, Qt::Horizontal).toString(), "B");
    EXPECT_EQ(g.model()->headerData(26, Qt::Horizontal).toString(), "AA");
    EXPECT_EQ(g.model()->headerData(4, Qt::Vertical).toInt(), 5);
    EXPECT_TRUE(g.isColumnHidden(2));

    const int digit = g.fontMetrics().horizontalAdvance('0');
    g.horizontalHeader()->resizeSection(1, 20 * digit + 6);
    settle();
    EXPECT_NEAR(sheet()->Columns("B")->ColumnWidth().toDouble(), 20, 0.2);
    EXPECT_NEAR(g.columnWidth(1), 20 * digit + 6, 1);  // the host keeps whole hundredths of a character
    emit g.horizontalHeader()->sectionHandleDoubleClicked(1);
    settle();
    EXPECT_GT(sheet()->Columns("B")->ColumnWidth().toDouble(), 20);  // fitted to its long text
    EXPECT_TRUE(g.isColumnHidden(2));
    if (const char* dir = std::getenv("DALVERA_SHOTS")) window_->grab().save(QString(dir) + "/headings.png");
    book_->Window()->SetDisplayHeadings(false);
    settle();
    EXPECT_FALSE(g.horizontalHeader()->isVisible());
    EXPECT_FALSE(g.verticalHeader()->isVisible());
}

}  // namespace
}  // namespace dalvera::testing
