// The grid as a spreadsheet user's hands expect it: the keys that move and
// select, list drop-downs, command keys during an entry, the alert's Retry,
// and what the table sheet shows after F6 and F8. Typing and clicking go
// through Qt's test tools; writes are checked in the database file itself.
#include <sqlite3.h>

#include <QAbstractItemView>
#include <QMenu>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QToolButton>

#include "WindowFixture.h"
#include "app/clsAux.h"
#include "sheet/clsField.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"

namespace dalvera::testing {
namespace {

// One value read from the file itself ("" for none or NULL).
std::string valueInFile(const std::string& db, const std::string& sql) {
    sqlite3* h = nullptr;
    std::string out;
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW &&
            sqlite3_column_text(st, 0))
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return out;
}

void execInFile(const std::string& db, const std::string& sql) {
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(h);
}

class SheetKeysTest : public WindowTest {
protected:
    // The current cell as 1-based (row, column).
    std::pair<int, int> at() { return {grid().currentIndex().row() + 1, grid().currentIndex().column() + 1}; }
    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(&grid(), static_cast<Qt::Key>(key), mods);
        settle();
    }
    QComboBox* listEditor() {
        for (auto* c : grid().findChildren<QComboBox*>("listEditor"))
            if (c->isVisible()) return c;
        return nullptr;
    }
    // The sample database copied into the scratch folder and shown at a table.
    std::string openTable(const std::string& table, const std::string& prepare = {}) {
        const std::string sample = sampleDatabase();
        if (sample.empty()) return {};
        const std::string db = dir_ + "/sample.sqlite";
        std::filesystem::copy_file(sample, db, std::filesystem::copy_options::overwrite_existing);
        if (!prepare.empty()) execInFile(db, prepare);
        auto& w = open(12);
        ui_.expectOpenFile(db);
        ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
        EXPECT_TRUE(w.perform("click:Open database"));
        QString why;
        EXPECT_TRUE(w.perform(QString::fromStdString("click:Tables/" + table), &why)) << why.toStdString();
        settle();
        return db;
    }
    host::RangePtr fieldCell(const std::string& field, long row) {
        return goApplication->Form().Matrix()->Fields().Item(field)->Cell()->Offset(row, 0);
    }
    using WindowTest::goTo;
    void goTo(const host::RangePtr& cell) { WindowTest::goTo(cell->Row(), cell->Column()); }
};

TEST_F(SheetKeysTest, KeysMoveAndSelectAsInASpreadsheet) {
    open(12);
    auto s = sheet();
    for (int r = 1; r <= 5; ++r)
        for (int c = 1; c <= 3; ++c) s->Cells(r, c)->SetValue(Variant(r * 10 + c));
    s->Range("E2")->SetValue(Variant("far"));
    settle();
    events_.changes = 0;  // the set-up's own

    goTo(3, 2);
    press(Qt::Key_Home);
    EXPECT_EQ(at(), std::make_pair(3, 1));
    press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(at(), std::make_pair(5, 5));  // the last row and column with values, not the grid's end
    press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(at(), std::make_pair(1, 1));
    EXPECT_EQ(session_->app().Selection()->Address(), "$A$1");
    // Ctrl+arrows jump to the edge of the data, and over a gap to the next value.
    press(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(at(), std::make_pair(5, 1));
    EXPECT_EQ(session_->app().Selection()->Address(), "$A$5");  // moved, not grown
    goTo(2, 1);
    press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(at(), std::make_pair(2, 3));
    press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(at(), std::make_pair(2, 5));
    press(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(at(), std::make_pair(2, 3));
    // Shift extends from where it started.
    goTo(2, 2);
    press(Qt::Key_Down, Qt::ShiftModifier);
    press(Qt::Key_Down, Qt::ShiftModifier);
    press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(session_->app().Selection()->Address(), "$B$2:$C$4");
    press(Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(session_->app().Selection()->Address(), "$B$2:$C$5");
    // Enter goes down, Tab right, Shift+Tab left; PgDn a screenful.
    goTo(2, 2);
    press(Qt::Key_Return);
    EXPECT_EQ(at(), std::make_pair(3, 2));
    press(Qt::Key_Tab);
    EXPECT_EQ(at(), std::make_pair(3, 3));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(at(), std::make_pair(3, 2));
    press(Qt::Key_PageDown);
    const int paged = at().first;
    EXPECT_GT(paged, 8);
    press(Qt::Key_PageUp);
    EXPECT_LT(at().first, paged);
    goTo(3, 2);
    press(Qt::Key_Up);
    press(Qt::Key_Left);
    EXPECT_EQ(at(), std::make_pair(2, 1));
    press(Qt::Key_Left);  // at the sheet's edge it stays
    EXPECT_EQ(at(), std::make_pair(2, 1));

    // F2 edits what is there, Escape leaves it, Delete clears.
    goTo(2, 2);
    press(Qt::Key_F2);
    auto* edit = qobject_cast<QLineEdit*>(cellEditor());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "22");
    QTest::keyClicks(edit, "9");
    QTest::keyClick(edit, Qt::Key_Escape);
    settle();
    EXPECT_EQ(s->Range("B2")->Value().toDouble(), 22);
    press(Qt::Key_Delete);
    EXPECT_TRUE(s->Range("B2")->Value().isEmpty());
    EXPECT_EQ(events_.changes, 1);
}

TEST_F(SheetKeysTest, OnAProtectedSheetTheKeysPassOverLockedCells) {
    open(12);
    auto s = sheet();
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 3; ++c) s->Cells(r, c)->SetValue(Variant(r * 10 + c));
    s->Range("B2:C4")->SetLocked(false);
    s->Protect("");
    s->SetEnableSelection(host::xl::UnlockedCells);
    s->Range("C3")->Select();
    settle();
    press(Qt::Key_Home);  // column A is locked: the first cell of the row that can be selected
    EXPECT_EQ(at(), std::make_pair(3, 2));
    press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(at(), std::make_pair(2, 2));
    press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(at(), std::make_pair(4, 3));
    press(Qt::Key_Down);  // the row below is locked: the cursor stays
    EXPECT_EQ(at(), std::make_pair(4, 3));
    press(Qt::Key_Up, Qt::ControlModifier);  // the header is locked: stops below it
    EXPECT_EQ(at(), std::make_pair(2, 3));
    EXPECT_EQ(session_->app().Selection()->Address(), "$C$2");
}

TEST_F(SheetKeysTest, ADropDownOpensOnOneClickOrAltDownAndTheSameChoiceChangesNothing) {
    open(12);
    auto cell = sheet()->Range("C3");
    cell->Validation()->Add(host::xl::ValidateList, Variant(host::xl::ValidAlertStop), Variant(host::xl::Between),
                            Variant("Red,Green,Blue"));
    cell->SetValue(Variant("Green"));
    settle();
    events_.changes = 0;
    goTo(3, 3);
    settle();
    const QModelIndex index = grid().model()->index(2, 2);
    const QRect r = grid().visualRect(index);
    const QPoint arrow(r.right() - 6, r.center().y());
    QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, arrow);
    settle();
    auto* combo = listEditor();
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->view()->isVisible()) << "the list must stay open after the click";
    EXPECT_EQ(combo->currentText(), "Green");
    EXPECT_EQ(events_.changes, 0);
    EXPECT_TRUE(session_->user().editing());
    // Taking the value that is there changes nothing and raises no event.
    QTest::keyClick(combo->view(), Qt::Key_Return);
    settle();
    EXPECT_FALSE(session_->user().editing());
    EXPECT_EQ(cell->Value().text(), "Green");
    EXPECT_EQ(events_.changes, 0);

    // Alt+Down opens it from the keyboard; another choice is an entry.
    goTo(3, 3);
    press(Qt::Key_Down, Qt::AltModifier);
    combo = listEditor();
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->view()->isVisible());
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    settle();
    EXPECT_EQ(cell->Value().text(), "Blue");
    EXPECT_EQ(events_.changes, 1);
    // A cell without a list opens nothing on Alt+Down.
    goTo(5, 5);
    press(Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(listEditor(), nullptr);
    EXPECT_FALSE(session_->user().editing());
}

TEST_F(SheetKeysTest, RetryOfAStopAlertGivesTheTypedTextBack) {
    open(12);
    auto cell = sheet()->Range("B2");
    cell->Validation()->Add(host::xl::ValidateWholeNumber, Variant(host::xl::ValidAlertStop),
                            Variant(host::xl::Between), Variant("1"), Variant("9"));
    settle();
    goTo(2, 2);
    ui_.expectMsgBox(host::answer::Retry, std::nullopt, host::mb::Critical, host::mb::RetryCancel);
    typeIntoCell("42");
    settle();
    ui_.verifyAllConsumed();
    auto* edit = qobject_cast<QLineEdit*>(cellEditor());
    ASSERT_NE(edit, nullptr) << "Retry must reopen the editor";
    EXPECT_EQ(edit->text(), "42");
    EXPECT_TRUE(session_->user().editing());
    EXPECT_EQ(at(), std::make_pair(2, 2));
    // Mended, it is taken; Cancel on a second refusal drops it.
    edit->setText("7");
    QTest::keyClick(edit, Qt::Key_Return);
    settle();
    EXPECT_EQ(cell->Value().toDouble(), 7);
    goTo(2, 2);
    ui_.expectMsgBox(host::answer::Cancel, std::nullopt, host::mb::Critical, host::mb::RetryCancel);
    typeIntoCell("99");
    ui_.verifyAllConsumed();
    EXPECT_EQ(cellEditor(), nullptr);
    EXPECT_EQ(cell->Value().toDouble(), 7);
}

TEST_F(SheetKeysTest, RelatedListsShowNamesFilterAsTypedAndEnterTheKey) {
    const std::string db = openTable("Orders");
    if (db.empty()) GTEST_SKIP() << "the sample database was not built";
    clsForm& form = goApplication->Form();
    auto customer = fieldCell("CustomerID", 2);  // order 2024/2, customer 2
    goTo(customer);
    press(Qt::Key_Down, Qt::AltModifier);
    auto* combo = listEditor();
    ASSERT_NE(combo, nullptr);
    QStringList labels;
    for (int i = 0; i < combo->count(); ++i) labels << combo->itemText(i);
    EXPECT_EQ(labels, (QStringList{QString::fromUtf8("1 \u00b7 Harbour Foods"), QString::fromUtf8("2 \u00b7 Corner Caf\u00e9"),
                                   QString::fromUtf8("3 \u00b7 Old Mill Bakery")}));
    EXPECT_EQ(combo->currentIndex(), 1);
    if (const char* dir = std::getenv("DALVERA_SHOTS")) {
        window_->grab().save(QString(dir) + "/dropdown-window.png");
        combo->view()->window()->grab().save(QString(dir) + "/dropdown-list.png");
    }
    // Picking the customer already there is no edit.
    QTest::keyClick(combo->view(), Qt::Key_Return);
    settle();
    EXPECT_FALSE(form.HasChanges());

    // Typing part of a name finds it; the cell gets the key.
    goTo(customer);
    typeIntoCell("m", false);
    combo = listEditor();
    ASSERT_NE(combo, nullptr);
    QApplication::setActiveWindow(window_.get());
    combo->lineEdit()->setFocus();
    QTest::keyClicks(combo->lineEdit(), "ill");
    QAbstractItemView* found = combo->completer()->popup();
    ASSERT_TRUE(found->isVisible());
    ASSERT_EQ(combo->completer()->completionCount(), 1);
    EXPECT_EQ(combo->completer()->currentCompletion(), QString::fromUtf8("3 \u00b7 Old Mill Bakery"));
    QTest::keyClick(found, Qt::Key_Down);
    QTest::keyClick(found, Qt::Key_Return);
    QTest::keyClick(combo, Qt::Key_Return);
    settle();
    EXPECT_EQ(customer->Value().toDouble(), 3);
    EXPECT_TRUE(form.HasChanges());
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    press(Qt::Key_F7);
    ui_.verifyAllConsumed();
    EXPECT_EQ(valueInFile(db, "SELECT CustomerID FROM Orders WHERE OrderYear = 2024 AND OrderNo = 2"), "3");
}

TEST_F(SheetKeysTest, TheBooleanListShowsTheWordsTheCellsShow) {
    if (openTable("Customers").empty()) GTEST_SKIP() << "the sample database was not built";
    goTo(fieldCell("IsActive", 3));
    press(Qt::Key_Down, Qt::AltModifier);
    auto* combo = listEditor();
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), "TRUE");
    EXPECT_EQ(combo->itemText(1), "FALSE");
    EXPECT_EQ(combo->currentText(), "FALSE");  // as the cell shows it
    QTest::keyClick(combo->view(), Qt::Key_Escape);
    QTest::keyClick(combo, Qt::Key_Escape);
    settle();
    EXPECT_FALSE(goApplication->Form().HasChanges());
}

TEST_F(SheetKeysTest, F7DuringAnEntryEndsItAndWritesIt) {
    const std::string db = openTable("Orders");
    if (db.empty()) GTEST_SKIP() << "the sample database was not built";
    goTo(fieldCell("Freight", 2));
    typeIntoCell("21.5", false);
    ASSERT_NE(cellEditor(), nullptr);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    QTest::keyClick(cellEditor(), Qt::Key_F7);
    settle();
    ui_.verifyAllConsumed();
    EXPECT_FALSE(session_->user().editing());
    EXPECT_EQ(valueInFile(db, "SELECT Freight FROM Orders WHERE OrderYear = 2024 AND OrderNo = 2"), "21.5");
    EXPECT_FALSE(goApplication->Form().HasChanges());

    // An entry the input rule refuses keeps the editor, and nothing is written.
    goTo(fieldCell("Freight", 2));
    typeIntoCell("lots", false);
    ui_.expectMsgBox(host::answer::Cancel);
    QTest::keyClick(cellEditor(), Qt::Key_F7);
    settle();
    ui_.verifyAllConsumed();
    EXPECT_EQ(valueInFile(db, "SELECT Freight FROM Orders WHERE OrderYear = 2024 AND OrderNo = 2"), "21.5");
}

TEST_F(SheetKeysTest, AfterF8NoSelectionStaysOnTheEmptiedRows) {
    const std::string db = openTable("Customers");
    if (db.empty()) GTEST_SKIP() << "the sample database was not built";
    auto company = fieldCell("CompanyName", 3);  // Old Mill Bakery, without orders
    ASSERT_TRUE(session_->user().select(company->Resize(1, 3)));
    settle();
    ui_.expectMsgBox(host::answer::Yes, std::nullopt, host::mb::Question);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    press(Qt::Key_F8);
    ui_.verifyAllConsumed();
    EXPECT_EQ(valueInFile(db, "SELECT COUNT(*) FROM Customers"), "2");
    // The emptied row shows no selection, and the cursor is on a row that is left.
    const int row = static_cast<int>(company->Row()) - 1;
    for (int c = 1; c <= 3; ++c) EXPECT_FALSE(grid().selectionModel()->isSelected(grid().model()->index(row, c))) << c;
    EXPECT_LT(at().first, static_cast<int>(company->Row()));
    EXPECT_FALSE(session_->app().Selection()->Locked().toBool());
}

TEST_F(SheetKeysTest, TheNewRowOfAnEmptyTableShowsItsDefaultsFormatted) {
    const std::string db = openTable("Products", "PRAGMA foreign_keys = OFF; DELETE FROM OrderLines; DELETE FROM Products;");
    if (db.empty()) GTEST_SKIP() << "the sample database was not built";
    press(Qt::Key_F6);
    auto discount = fieldCell("Discount", 1);
    const QModelIndex index = grid().model()->index(discount->Row() - 1, discount->Column() - 1);
    EXPECT_EQ(grid().model()->data(index).toString(), "0%");
    EXPECT_EQ(grid().model()->data(index, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_FALSE(goApplication->Form().HasChanges());  // defaults alone are no edit
    EXPECT_EQ(valueInFile(db, "SELECT COUNT(*) FROM Products"), "0");
}

TEST_F(SheetKeysTest, DutchNamesNewSheetsAndTheRibbonNeverCutsALabel) {
    auto& w = open(12, 31);
    EXPECT_EQ(book_->Worksheets()->Item(1)->Name(), "Blad1");
    w.resize(1000, 700);
    settle();
    auto* panel = w.findChild<QWidget*>("ribbonPanel");
    ASSERT_NE(panel, nullptr);
    int shown = 0;
    for (auto* b : panel->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
        if (!b->isVisibleTo(panel)) continue;
        ++shown;
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
        for (const auto& line : b->text().split('\n'))
            EXPECT_LE(b->fontMetrics().horizontalAdvance(line), b->width()) << line.toStdString();
    }
    EXPECT_GE(shown, 5);
    // The host's own File entry speaks the host's language too.
    auto* file = w.findChild<QToolButton*>("fileButton");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->text(), "Bestand");
    emit file->menu()->aboutToShow();  // filled as it opens
    QStringList entries;
    for (QAction* a : file->menu()->actions()) entries << a->text();
    EXPECT_TRUE(entries.contains("Opslaan &als...")) << entries.join(", ").toStdString();
    EXPECT_FALSE(entries.contains("Save &As...")) << entries.join(", ").toStdString();
    if (const char* dir = std::getenv("DALVERA_SHOTS")) w.grab().save(QString(dir) + "/ribbon-nl-1000.png");
}

TEST_F(SheetKeysTest, TheServerRibbonFitsADutchWindowOf1000Pixels) {
    auto& w = open(22, 31);
    w.resize(1000, 700);
    settle();
    auto* panel = w.findChild<QWidget*>("ribbonPanel");
    ASSERT_NE(panel, nullptr);
    for (auto* b : panel->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
        if (!b->isVisibleTo(panel)) continue;
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
        EXPECT_LE(b->mapTo(&w, QPoint(b->width(), 0)).x(), w.width()) << b->text().toStdString() << " lies outside";
    }
    if (const char* dir = std::getenv("DALVERA_SHOTS")) w.grab().save(QString(dir) + "/ribbon-server-nl-1000.png");
}

TEST_F(SheetKeysTest, TheFirstStartNoticeComesOverTheDrawnWindowAndIsKeptOnlyOnOK) {
    SessionOptions o;
    o.variant = 12;
    o.countryCode = 1;
    o.hostVersion = "16.0";
    start(o);
    book_ = session_->app().Workbooks().Add();
    gui::AppOptions options;
    options.variant = 12;
    window_ = std::make_unique<gui::MainWindow>(*session_, options);
    window_->resize(1000, 700);
    bool drawnFirst = false;
    std::string during;
    ui_.expectForm("frmMessage", [&](host::Form& f) {
        drawnFirst = window_->isVisible() && window_->drawn();
        during = rawText("Show message select db");
        EXPECT_TRUE(f.control("chkDontShowAgain")->value.toBool());
        click(f, "cmdOK");
    });
    window_->startWhenDrawn();
    ui_.verifyAllConsumed();
    EXPECT_TRUE(drawnFirst);
    EXPECT_NE(during, "False");  // a program killed now shows the notice again next time
    EXPECT_EQ(rawText("Show message select db"), "False");
}

}  // namespace
}  // namespace dalvera::testing

namespace dalvera::testing {
namespace {

TEST_F(SheetKeysTest, RightAfterF9EveryColumnShowsItsValues) {
    if (openTable("Orders").empty()) GTEST_SKIP() << "the sample database was not built";
    auto& g = grid();
    const int columns = static_cast<int>(goApplication->Form().Matrix()->FieldCount());
    auto check = [&](const char* when) {
        for (int c = 0; c < columns; ++c) {
            EXPECT_FALSE(g.isColumnHidden(c)) << when << " column " << c;
            EXPECT_GT(g.columnWidth(c), 10) << when << " column " << c;
            const QString header = g.model()->data(g.model()->index(0, c)).toString();
            EXPECT_FALSE(header.isEmpty()) << when << " column " << c;
        }
        EXPECT_EQ(g.model()->data(g.model()->index(1, 0)).toString(), "2024") << when;
    };
    check("before");
    QTest::keyClick(&g, Qt::Key_F9);
    if (const char* dir = std::getenv("DALVERA_SHOTS")) window_->grab().save(QString(dir) + "/after-f9.png");
    check("at once");
    settle();
    check("settled");
}

}  // namespace
}  // namespace dalvera::testing
