// The grid: what it shows of the sheet, and typing, pasting and deleting
// through the host's user operations with their refusals and events.
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>

#include "WindowFixture.h"
#include "platform/sheets/SheetModel.h"

namespace dalvera::testing {
namespace {

QString shown(gui::SheetGrid& g, int row, int col, int role = Qt::DisplayRole) {
    return g.model()->data(g.model()->index(row - 1, col - 1), role).toString();
}

TEST_F(WindowTest, TypingIntoACellGoesThroughTheHost) {
    auto& w = open(12);
    goTo(2, 2);
    typeIntoCell("42", false);
    // The editor is open: the host is not Ready and says so.
    EXPECT_TRUE(session_->user().editing());
    EXPECT_FALSE(session_->app().Ready());
    w.refresh();
    EXPECT_EQ(w.statusText(), "Enter");
    ASSERT_NE(cellEditor(), nullptr);
    QTest::keyClick(cellEditor(), Qt::Key_Return);
    settle();
    EXPECT_TRUE(session_->app().Ready());
    EXPECT_EQ(sheet()->Range("B2")->Value().toDouble(), 42);
    EXPECT_EQ(events_.changes, 1);
    EXPECT_EQ(events_.lastAddress, "$B$2");
    // The host moved the active cell down after Enter; the grid follows.
    EXPECT_EQ(grid().currentIndex().row(), 2);
    EXPECT_EQ(shown(grid(), 2, 2), "42");

    // Escape leaves the cell as it was and ends editing.
    goTo(2, 2);
    typeIntoCell("7", false);
    ASSERT_NE(cellEditor(), nullptr);
    QTest::keyClick(cellEditor(), Qt::Key_Escape);
    EXPECT_FALSE(session_->user().editing());
    EXPECT_TRUE(session_->app().Ready());
    EXPECT_EQ(sheet()->Range("B2")->Value().toDouble(), 42);
    EXPECT_EQ(events_.changes, 1);
}

TEST_F(WindowTest, PasteAndDeleteUseTheHostsOperations) {
    open(12);
    goTo(3, 1);
    QApplication::clipboard()->setText("1\tx\n2\ty\n");
    QTest::keyClick(&grid(), Qt::Key_V, Qt::ControlModifier);
    settle();
    EXPECT_EQ(sheet()->Range("A4")->Value().toDouble(), 2);
    EXPECT_EQ(sheet()->Range("B4")->Value().text(), "y");
    EXPECT_EQ(events_.lastAddress, "$A$3:$B$4");
    // The host selected the pasted block; Delete clears it.
    QTest::keyClick(&grid(), Qt::Key_Delete);
    settle();
    EXPECT_TRUE(sheet()->Range("B4")->Value().isEmpty());
    EXPECT_TRUE(sheet()->Range("A3")->Value().isEmpty());
    EXPECT_EQ(events_.changes, 2);
}

TEST_F(WindowTest, ALockedCellOfAProtectedSheetRefusesWithTheHostsMessage) {
    open(12);
    sheet()->Range("A1")->SetValue(Variant("keep"));
    sheet()->Range("B1")->SetLocked(false);
    sheet()->Protect("pw");
    settle();
    events_.changes = 0;  // the set-up's own change
    goTo(1, 1);
    ui_.expectMsgBox(host::answer::OK, std::string("protected sheet"), host::mb::Exclamation);
    QTest::keyClick(&grid(), Qt::Key_X);
    ui_.verifyAllConsumed();
    EXPECT_FALSE(session_->user().editing());
    EXPECT_TRUE(session_->app().Ready());
    EXPECT_EQ(cellEditor(), nullptr);
    EXPECT_EQ(sheet()->Range("A1")->Value().text(), "keep");
    ui_.expectMsgBox(host::answer::OK, std::string("protected sheet"));
    QTest::keyClick(&grid(), Qt::Key_Delete);
    ui_.verifyAllConsumed();
    EXPECT_EQ(sheet()->Range("A1")->Value().text(), "keep");
    // The unlocked cell next to it takes the entry.
    goTo(1, 2);
    typeIntoCell("ok");
    EXPECT_EQ(sheet()->Range("B1")->Value().text(), "ok");
    EXPECT_EQ(events_.changes, 1);
}

TEST_F(WindowTest, AListRuleOffersItsValuesAndItsAlertRefusesOthers) {
    open(12);
    auto cell = sheet()->Range("C3");
    cell->Validation()->Add(host::xl::ValidateList, Variant(host::xl::ValidAlertStop), Variant(host::xl::Between),
                            Variant("Red,Green,Blue"));
    settle();
    goTo(3, 3);
    QTest::keyClick(&grid(), Qt::Key_F2);
    auto* combo = grid().findChild<QComboBox*>("listEditor");
    ASSERT_NE(combo, nullptr);
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    EXPECT_EQ(items, (QStringList{"Red", "Green", "Blue"}));
    combo->setCurrentIndex(1);
    QTest::keyClick(combo, Qt::Key_Return);
    settle();
    EXPECT_EQ(cell->Value().text(), "Green");

    // Typed text outside the list meets the rule's stop alert and is not stored.
    goTo(3, 3);
    ui_.expectMsgBox(host::answer::Cancel, std::nullopt, host::mb::Critical, host::mb::RetryCancel);
    typeIntoCell("Purple");
    ui_.verifyAllConsumed();
    EXPECT_EQ(cell->Value().text(), "Green");
    EXPECT_FALSE(session_->user().editing());
    // Other cells keep a plain editor.
    goTo(4, 3);
    QTest::keyClick(&grid(), Qt::Key_F2);
    EXPECT_EQ(grid().findChild<QComboBox*>("listEditor"), nullptr);
    ASSERT_NE(cellEditor(), nullptr);
    EXPECT_NE(qobject_cast<QLineEdit*>(cellEditor()), nullptr);
    QTest::keyClick(cellEditor(), Qt::Key_Escape);
}

TEST_F(WindowTest, CellsShowTheirFormatsColoursAndComments) {
    open(12);
    auto s = sheet();
    s->Range("A1")->SetValue(Variant(1234.5));
    s->Range("A1")->SetNumberFormat("#,##0.00");
    s->Range("A2")->SetValue(Variant::date(45000));  // 15 March 2023
    s->Range("A2")->SetNumberFormat("dd-mm-yyyy");
    s->Range("B1")->SetValue(Variant("Name"));
    s->Range("B1")->Font()->SetBold(true);
    s->Range("B1")->Interior()->SetColor(0x00FFFF);  // yellow: red + green
    s->Range("B1")->Font()->SetColor(0x0000FF);      // red
    s->Range("B1")->AddComment("Who ordered");
    s->Range("C1")->SetValue(Variant(true));
    s->Columns("D")->SetHidden(true);
    s->Columns("E")->SetColumnWidth(20);
    settle();
    auto& g = grid();
    EXPECT_EQ(shown(g, 1, 1), "1,234.50");
    EXPECT_EQ(shown(g, 2, 1), "15-03-2023");
    EXPECT_EQ(g.model()->data(g.model()->index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(g.model()->data(g.model()->index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    auto index = g.model()->index(0, 1);
    EXPECT_TRUE(g.model()->data(index, Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(g.model()->data(index, Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 255, 0));
    EXPECT_EQ(g.model()->data(index, Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
    EXPECT_EQ(g.model()->data(index, Qt::ToolTipRole).toString(), "Who ordered");
    EXPECT_TRUE(g.sheetModel().hasComment(1, 2));
    EXPECT_TRUE(g.isColumnHidden(3));
    EXPECT_GT(g.columnWidth(4), 2 * g.columnWidth(0));
    // The editor gets the value, not its rendering.
    EXPECT_EQ(shown(g, 1, 1, Qt::EditRole), "1234.5");
}

TEST_F(WindowTest, DutchHostsShowDutchSeparators) {
    open(12, 31);
    sheet()->Range("A1")->SetValue(Variant(1234.5));
    sheet()->Range("A1")->SetNumberFormat("#,##0.00");
    settle();
    EXPECT_EQ(shown(grid(), 1, 1), "1.234,50");
    EXPECT_EQ(shown(grid(), 1, 1, Qt::EditRole), "1234,5");
}

TEST_F(WindowTest, WindowSettingsFrozenRowsAndTheAutoFilter) {
    open(12);
    auto s = sheet();
    const char* names[] = {"Name", "Beer", "Wine", "Beer", "Tea"};
    for (int r = 1; r <= 5; ++r) {
        s->Cells(r, 1)->SetValue(Variant(names[r - 1]));
        s->Cells(r, 2)->SetValue(Variant(r));
    }
    s->Range("A1:B5")->AutoFilter();
    s->Range("A2")->Select();
    auto window = book_->Window();
    window->SetFreezePanes(true);
    window->SetDisplayHeadings(false);
    window->SetDisplayGridlines(false);
    settle();
    auto& g = grid();
    EXPECT_FALSE(g.horizontalHeader()->isVisible());
    EXPECT_FALSE(g.showGrid());
    ASSERT_TRUE(g.frozenView()->isVisible());
    EXPECT_GE(g.frozenView()->height(), g.rowHeight(0));
    EXPECT_LT(g.frozenView()->height(), 2 * g.rowHeight(0) + 4);

    EXPECT_TRUE(g.sheetModel().isFilterButton(1, 1));
    EXPECT_FALSE(g.sheetModel().isFilterButton(2, 1));
    auto choices = g.filterChoices(1);
    ASSERT_EQ(choices.size(), 4u);
    EXPECT_EQ(choices[1], "Beer");
    EXPECT_EQ(choices[3], "Wine");
    g.applyFilter(1, "Beer");
    settle();
    EXPECT_TRUE(s->FilterMode());
    EXPECT_TRUE(g.isRowHidden(2));   // Wine
    EXPECT_FALSE(g.isRowHidden(3));  // Beer
    EXPECT_TRUE(g.isRowHidden(4));   // Tea
    bool filtering = false;
    g.sheetModel().isFilterButton(1, 1, &filtering);
    EXPECT_TRUE(filtering);
    g.applyFilter(1, choices[0]);  // all again
    settle();
    EXPECT_FALSE(g.isRowHidden(2));
    EXPECT_FALSE(g.isRowHidden(4));
}

TEST_F(WindowTest, TheFilterListOrdersNumbersByValueBeforeTextsAsTheSortDoes) {
    open(12);
    auto s = sheet();
    s->Cells(1, 1)->SetValue(Variant("Value"));
    const Variant cells[] = {Variant(10L), Variant("beta"), Variant(9L), Variant("Alpha"), Variant(-2.5),
                             Variant("10"), Variant(9L)};
    for (int r = 0; r < 7; ++r) s->Cells(r + 2, 1)->SetValue(cells[r]);
    s->Range("A1:A8")->AutoFilter();
    settle();
    auto choices = grid().filterChoices(1);
    // Each shown text once: the text "10" is the same choice as the number 10.
    const std::vector<QString> expected{"(Select all)", "-2.5", "9", "10", "Alpha", "beta"};
    EXPECT_EQ(choices, expected);
}

TEST_F(WindowTest, ALargeSheetIsReadOnlyWhereTheViewLooks) {
    open(12);
    constexpr int kRows = 100000;
    VariantArray2D values(kRows, 2);
    for (long r = 1; r <= kRows; ++r) {
        values(r, 1) = Variant(static_cast<double>(r));
        values(r, 2) = Variant("row " + std::to_string(r));
    }
    sheet()->Range("A1:B" + std::to_string(kRows))->SetValues(values);
    settle();
    auto& g = grid();
    auto& model = g.sheetModel();
    EXPECT_EQ(model.rowCount(), kRows + gui::SheetTableModel::kSpareRows);
    model.resetCellReads();
    g.viewport()->repaint();
    const uint64_t firstPage = model.cellReads();
    EXPECT_GT(firstPage, 0u);
    EXPECT_LT(firstPage, 3000u);  // a screenful, not the sheet

    model.resetCellReads();
    g.verticalScrollBar()->setValue(kRows - 10);
    g.viewport()->repaint();
    EXPECT_LT(model.cellReads(), 3000u);
    EXPECT_EQ(shown(g, kRows, 2), QString("row %1").arg(kRows));

    // A change elsewhere redraws without reading the sheet through.
    model.resetCellReads();
    sheet()->Range("A5")->SetValue(Variant("x"));
    settle();
    EXPECT_LT(model.cellReads(), 3000u);
}

}  // namespace
}  // namespace dalvera::testing

namespace dalvera::testing {
namespace {

TEST_F(WindowTest, FrozenRowsAreEditedInTheOverlayThatShowsThem) {
    open(12);
    sheet()->Range("A2")->Select();
    book_->Window()->SetFreezePanes(true);
    settle();
    ASSERT_TRUE(grid().frozenView()->isVisible());
    goTo(1, 1);
    typeIntoCell("Head", false);
    ASSERT_NE(cellEditor(), nullptr);
    // An editor of the grid itself would lie hidden under the overlay.
    EXPECT_TRUE(grid().frozenView()->isAncestorOf(cellEditor()));
    QTest::keyClick(cellEditor(), Qt::Key_Return);
    settle();
    EXPECT_EQ(sheet()->Range("A1")->Value().text(), "Head");
    EXPECT_EQ(events_.lastAddress, "$A$1");
}

TEST_F(WindowTest, ASheetThatAllowsOnlyUnlockedCellsKeepsTheSelectionOffLockedOnes) {
    open(12);
    sheet()->Range("C3")->SetLocked(false);
    sheet()->Protect("");
    sheet()->SetEnableSelection(host::xl::UnlockedCells);
    sheet()->Range("C3")->Select();
    settle();
    goTo(1, 1);  // locked
    settle();
    EXPECT_EQ(grid().currentIndex().row(), 2);
    EXPECT_EQ(grid().currentIndex().column(), 2);
    EXPECT_EQ(session_->app().Selection()->Address(), "$C$3");
}

}  // namespace
}  // namespace dalvera::testing
