// Undo and redo of a person's edits, and paste and fill as a spreadsheet
// does them: values, colours and the row's flag come back exactly; the
// history ends where the cells are changed otherwise (writing, reloading).
#include <sqlite3.h>

#include <QClipboard>
#include <QLabel>
#include <QToolButton>

#include "WindowFixture.h"
#include "app/clsAux.h"
#include "sheet/clsField.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"

namespace dalvera::testing {
namespace {

double freightInFile(const std::string& db, int year, int number) {
    sqlite3* h = nullptr;
    double v = -1;
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        std::string sql = "SELECT Freight FROM Orders WHERE OrderYear = " + std::to_string(year) +
                          " AND OrderNo = " + std::to_string(number);
        if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_double(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return v;
}

struct UndoCounter : host::ApplicationEvents {
    int undos = 0;
    void SheetUndo(const host::WorksheetPtr&, const host::RangePtr&) override { ++undos; }
};

class UndoTest : public WindowTest {
protected:
    void TearDown() override {
        if (session_) session_->app().removeEventSink(&undos_);
        WindowTest::TearDown();
    }
    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(&grid(), static_cast<Qt::Key>(key), mods);
        settle();
    }
    bool undoEnabled() { return window_->findChild<QToolButton*>("undoButton")->isEnabled(); }
    bool redoEnabled() { return window_->findChild<QToolButton*>("redoButton")->isEnabled(); }
    UndoCounter undos_;
};

TEST_F(UndoTest, UndoingAnEditBringsBackValueColourAndFlagUntilF7) {
    const std::string sample = sampleDatabase();
    if (sample.empty()) GTEST_SKIP() << "the sample database was not built";
    const std::string db = dir_ + "/sample.sqlite";
    std::filesystem::copy_file(sample, db);
    auto& w = open(12);
    session_->app().addEventSink(&undos_);
    ui_.expectOpenFile(db);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    ASSERT_TRUE(w.perform("click:Open database"));
    ASSERT_TRUE(w.perform("click:Tables/Orders"));
    settle();
    clsForm& form = goApplication->Form();
    auto freight = form.Matrix()->Fields().Item("Freight")->Cell()->Offset(2, 0);  // order 2024/2, 7.25
    const long loadedColour = freight->Interior()->Color().toLong();
    const long edited = goApplication->Aux().SettingColor(setting::ColorMatrixBackEdited);
    ASSERT_NE(loadedColour, edited);
    EXPECT_FALSE(undoEnabled());

    goTo(freight->Row(), freight->Column());
    typeIntoCell("13.75");
    ASSERT_TRUE(form.HasChanges());
    EXPECT_TRUE(undoEnabled());
    EXPECT_EQ(session_->app().keyBinding("{F7}").text(), "ThisWorkbook.WriteData");

    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(freight->Value().toDouble(), 7.25);
    EXPECT_EQ(freight->Interior()->Color().toLong(), loadedColour);
    EXPECT_FALSE(form.HasChanges()) << "a row undone to its loaded values is no longer flagged";
    EXPECT_EQ(session_->app().keyBinding("{F7}").text(), "");
    EXPECT_EQ(undos_.undos, 1);
    EXPECT_FALSE(undoEnabled());
    EXPECT_TRUE(redoEnabled());

    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(freight->Value().toDouble(), 13.75);
    EXPECT_EQ(freight->Interior()->Color().toLong(), edited);
    EXPECT_TRUE(form.HasChanges());

    // Two edits in one row: undoing the second leaves the row flagged by the first.
    auto shipped = form.Matrix()->Fields().Item("EmployeeID")->Cell()->Offset(2, 0);
    goTo(shipped->Row(), shipped->Column());
    typeIntoCell("1");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(shipped->Value().toDouble(), 2);
    EXPECT_TRUE(form.HasChanges());

    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    press(Qt::Key_F7);
    ui_.verifyAllConsumed();
    EXPECT_EQ(freightInFile(db, 2024, 2), 13.75);
    // Written and reloaded: the history has ended, and Ctrl+Z changes nothing.
    EXPECT_FALSE(undoEnabled());
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(freight->Value().toDouble(), 13.75);
    EXPECT_FALSE(form.HasChanges());
    EXPECT_EQ(freightInFile(db, 2024, 2), 13.75);
}

TEST_F(UndoTest, PasteAndClearAreUndoneWithoutAChangeEvent) {
    open(12);
    session_->app().addEventSink(&undos_);
    sheet()->Range("B2")->SetValue(Variant("keep"));
    sheet()->Range("B2")->Interior()->SetColor(0x00FFFF);
    settle();
    events_.changes = 0;
    goTo(3, 1);
    QApplication::clipboard()->setText("1\tx\n2\ty\n");
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(sheet()->Range("B4")->Value().text(), "y");
    goTo(2, 2);
    press(Qt::Key_Delete);
    EXPECT_TRUE(sheet()->Range("B2")->Value().isEmpty());
    EXPECT_EQ(events_.changes, 2);

    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(sheet()->Range("B2")->Value().text(), "keep");
    EXPECT_EQ(sheet()->Range("B2")->Interior()->Color().toLong(), 0x00FFFF);
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(sheet()->Range("A3")->Value().isEmpty());
    EXPECT_TRUE(sheet()->Range("B4")->Value().isEmpty());
    EXPECT_EQ(events_.changes, 2);  // coming back is no new edit
    EXPECT_EQ(undos_.undos, 2);
    EXPECT_EQ(session_->app().Selection()->Address(), "$A$3:$B$4");
    press(Qt::Key_Z, Qt::ControlModifier);  // nothing more to undo
    EXPECT_EQ(sheet()->Range("B2")->Value().text(), "keep");
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(sheet()->Range("A4")->Value().toDouble(), 2);
    // A new edit ends what could be redone.
    goTo(6, 6);
    typeIntoCell("new");
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(sheet()->Range("B2")->Value().text(), "keep");
    EXPECT_FALSE(redoEnabled());
}

TEST_F(UndoTest, TheHistoryEndsWhereCodeChangesTheCellsOrMovesRows) {
    open(12);
    goTo(1, 1);
    typeIntoCell("typed");
    sheet()->Range("A1")->SetValue(Variant("by code"));
    settle();
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(sheet()->Range("A1")->Value().text(), "by code");  // not overwritten with what was before

    goTo(3, 1);
    typeIntoCell("row three");
    sheet()->Rows(1)->Insert();
    settle();
    EXPECT_FALSE(undoEnabled());
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(sheet()->Range("A4")->Value().text(), "row three");
    EXPECT_TRUE(sheet()->Range("A3")->Value().isEmpty());
}

TEST_F(UndoTest, OneCopiedValueFillsTheSelectedBlockAndCtrlDFillsDown) {
    open(12);
    ASSERT_TRUE(session_->user().select(sheet()->Range("B2:C3")));
    settle();
    QApplication::clipboard()->setText("5\n");
    press(Qt::Key_V, Qt::ControlModifier);
    for (const char* a : {"B2", "B3", "C2", "C3"}) EXPECT_EQ(sheet()->Range(a)->Value().toDouble(), 5) << a;
    EXPECT_TRUE(sheet()->Range("D2")->Value().isEmpty());
    EXPECT_EQ(events_.lastAddress, "$B$2:$C$3");

    sheet()->Range("E1")->SetValue(Variant("top"));
    sheet()->Range("F1")->SetValue(Variant(3.5));
    ASSERT_TRUE(session_->user().select(sheet()->Range("E1:F3")));
    settle();
    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(sheet()->Range("E3")->Value().text(), "top");
    EXPECT_EQ(sheet()->Range("F2")->Value().toDouble(), 3.5);
    EXPECT_EQ(events_.lastAddress, "$E$2:$F$3");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(sheet()->Range("E3")->Value().isEmpty());
    EXPECT_EQ(sheet()->Range("E1")->Value().text(), "top");

    // Filled values meet each cell's input rule, and a refusal writes nothing.
    sheet()->Range("H2:H3")->Validation()->Add(host::xl::ValidateWholeNumber, Variant(host::xl::ValidAlertStop),
                                               Variant(host::xl::Between), Variant("1"), Variant("9"));
    ASSERT_TRUE(session_->user().select(sheet()->Range("G2:H3")));
    settle();
    QApplication::clipboard()->setText("abc");
    ui_.expectMsgBox(host::answer::Cancel, std::nullopt, host::mb::Critical);
    press(Qt::Key_V, Qt::ControlModifier);
    ui_.verifyAllConsumed();
    EXPECT_TRUE(sheet()->Range("G2")->Value().isEmpty());
    EXPECT_TRUE(sheet()->Range("H3")->Value().isEmpty());
}

TEST_F(UndoTest, CtrlZAfterF6TakesTheRowBackAndTheRecordCountFollows) {
    const std::string sample = sampleDatabase();
    if (sample.empty()) GTEST_SKIP() << "the sample database was not built";
    const std::string db = dir_ + "/sample.sqlite";
    std::filesystem::copy_file(sample, db);
    {
        // Enough customers that the grid's rows follow the table's, not its minimum.
        sqlite3* h = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(h,
                               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250) "
                               "INSERT INTO Customers (CompanyName) SELECT 'Firm ' || i FROM n",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(h);
    }
    auto& w = open(12);
    session_->app().addEventSink(&undos_);
    ui_.expectOpenFile(db);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    ASSERT_TRUE(w.perform("click:Open database"));
    ASSERT_TRUE(w.perform("click:Tables/Customers"));
    settle();
    clsForm& form = goApplication->Form();
    const long before = form.Matrix()->RowCount();
    ASSERT_GT(before, 250);
    auto* records = w.findChild<QLabel*>("recordCount");
    const int modelRows = grid().model()->rowCount();
    auto name = [&](long k) { return form.Matrix()->Fields().Item("CompanyName")->Cell()->Offset(k, 0); };
    goTo(name(1)->Row(), name(1)->Column());

    press(Qt::Key_F6);
    ASSERT_EQ(form.Matrix()->RowCount(), before + 1);
    EXPECT_EQ(records->text(), QString("Records: %1").arg(before + 1));
    EXPECT_EQ(grid().model()->rowCount(), modelRows + 1);
    EXPECT_EQ(window_->findChild<QToolButton*>("undoButton")->toolTip(), "Undo (Ctrl+Z): Add record");
    goTo(name(before + 1)->Row(), name(before + 1)->Column());
    typeIntoCell("New firm");
    ASSERT_TRUE(form.HasChanges());

    press(Qt::Key_Z, Qt::ControlModifier);  // the typing first
    EXPECT_TRUE(name(before + 1)->Value().isEmpty());
    EXPECT_EQ(form.Matrix()->RowCount(), before + 1);
    press(Qt::Key_Z, Qt::ControlModifier);  // then the row
    EXPECT_EQ(form.Matrix()->RowCount(), before);
    EXPECT_EQ(records->text(), QString("Records: %1").arg(before));
    EXPECT_EQ(grid().model()->rowCount(), modelRows);
    EXPECT_FALSE(form.HasChanges());
    EXPECT_FALSE(undoEnabled());
    EXPECT_TRUE(redoEnabled());
    EXPECT_EQ(undos_.undos, 1) << "only the typing was a cell undo";

    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(form.Matrix()->RowCount(), before + 1);
    EXPECT_EQ(records->text(), QString("Records: %1").arg(before + 1));
    EXPECT_EQ(grid().model()->rowCount(), modelRows + 1);
    EXPECT_EQ(name(before + 1)->Value().text(), "");
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(name(before + 1)->Value().text(), "New firm");

    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    press(Qt::Key_F7);
    ui_.verifyAllConsumed();
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(h, "SELECT COUNT(*), SUM(CompanyName = 'New firm') FROM Customers", -1, &st, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int64(st, 0), before + 1);
    EXPECT_EQ(sqlite3_column_int64(st, 1), 1);
    sqlite3_finalize(st);
    sqlite3_close(h);
    EXPECT_FALSE(undoEnabled());
    EXPECT_FALSE(redoEnabled());
}

}  // namespace
}  // namespace dalvera::testing
