// Ctrl+Z and Ctrl+Y of F6 through the host's history: the added row goes and
// comes back with its flag, defaults and formats; a row that holds typed data
// or is stored is never taken; F7 writes exactly the rows that show, checked
// in the database file with its own reads.
#include "FileDb.h"
#include "TableSheetFixture.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {

namespace {
using Texts = std::vector<std::string>;
}  // namespace

class UndoAddRowTest : public TableSheetTest {
protected:
    void SetUp() override {
        TableSheetTest::SetUp();
        path_ = sampleCopy();
        openSample(path_);
        clickTable("Products");
        ASSERT_EQ(matrix().RowCount(), 4);
    }
    platform::UserOperations& user() { return session_->user(); }
    bool press(const char* key) { return user().pressKey(key); }
    Texts file(const std::string& sql) { return FileDb(path_, true).column(sql); }
    // F7 with its result notice.
    void writeBack() {
        expectHint();
        ASSERT_TRUE(press("{F7}"));
        ui_.verifyAllConsumed();
    }
    std::string path_;
};

TEST_F(UndoAddRowTest, F6IsUndoneAfterTheTypingInItsRowAndRedoneAsF6DoesIt) {
    sheet()->Unprotect(clsAux::ProtectionPassword());
    sheet()->Range("A8")->SetValue(Variant("note"));  // kept under the grid by a person
    form().ProtectSheet();
    const size_t flags = form().RowChanged().size();
    const auto belowBefore = cell("ProductName", 5)->Locked();

    ASSERT_TRUE(press("{F6}"));
    ASSERT_EQ(type(cell("ProductName", 5), "Rye bread"), Result::Accepted);
    ASSERT_TRUE(form().HasChanges());

    // The typing comes off first: the row holds only its defaults again.
    ASSERT_TRUE(user().undo());
    EXPECT_EQ(matrix().RowCount(), 5);
    EXPECT_TRUE(cell("ProductName", 5)->Value().isEmpty());
    EXPECT_FALSE(form().HasChanges());

    ASSERT_TRUE(user().undo());
    EXPECT_EQ(matrix().RowCount(), 4);
    EXPECT_EQ(matrix().LoadedRowCount(), 4);
    EXPECT_EQ(matrix().DataRange()->RowsCount(), 5);
    EXPECT_EQ(form().RowChanged().size(), flags);
    EXPECT_EQ(sheet()->Range("A8")->Value().text(), "note");
    // Below the grid again: locked, no input rule, no default.
    EXPECT_EQ(cell("ProductName", 5)->Locked(), belowBefore);
    EXPECT_ANY_THROW(cell("CategoryID", 5)->Validation()->Type());
    EXPECT_TRUE(cell("TaxRate", 5)->Value().isEmpty());
    EXPECT_EQ(session_->app().Selection()->Address(), cell("ProductName", 4)->Address());
    EXPECT_EQ(session_->app().keyBinding("{F7}"), Variant(""));
    EXPECT_EQ(session_->app().keyBinding("{F8}"), Variant("ThisWorkbook.DeleteRows"));
    EXPECT_TRUE(sheet()->ProtectContents());
    EXPECT_TRUE(session_->app().EnableEvents());
    EXPECT_FALSE(user().canUndo()) << "the load before F6 ends the history";
    EXPECT_EQ(ui_.shown().size(), 0u);

    // Redo adds the row as F6 does, then the typing comes back into it.
    ASSERT_TRUE(user().redo());
    EXPECT_EQ(matrix().RowCount(), 5);
    EXPECT_EQ(sheet()->Range("A9")->Value().text(), "note");
    EXPECT_DOUBLE_EQ(cell("TaxRate", 5)->Value().toDouble(), 0.21);
    EXPECT_EQ(cell("ProductName", 5)->Locked(), Variant(false));
    EXPECT_EQ(cell("ProductID", 5)->Locked(), Variant(true));
    EXPECT_EQ(cell("CategoryID", 5)->Validation()->Formula1(), cell("CategoryID", 4)->Validation()->Formula1());
    EXPECT_FALSE(form().HasChanges());
    ASSERT_TRUE(user().redo());
    EXPECT_EQ(cell("ProductName", 5)->Value().text(), "Rye bread");
    EXPECT_EQ(form().RowChanged().at(4), "1");
    EXPECT_EQ(session_->app().keyBinding("{F7}"), Variant("ThisWorkbook.WriteData"));
    EXPECT_FALSE(user().redo());
    EXPECT_EQ(file("SELECT COUNT(*) FROM Products"), Texts{"4"}) << "nothing reaches the file before F7";

    writeBack();
    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID > 4"), Texts{"Rye bread"});
}

TEST_F(UndoAddRowTest, F7AfterUndoAndRedoWritesExactlyTheRowsThatShow) {
    ASSERT_TRUE(press("{F6}"));
    ASSERT_EQ(type(cell("ProductName", 5), "Rye bread"), Result::Accepted);
    ASSERT_EQ(type(cell("UnitsInStock", 5), "12"), Result::Accepted);
    ASSERT_TRUE(press("{F6}"));
    ASSERT_EQ(type(cell("ProductName", 6), "Spelt loaf"), Result::Accepted);
    ASSERT_EQ(type(cell("Weight", 6), "0.5"), Result::Accepted);

    for (int i = 0; i < 3; ++i) ASSERT_TRUE(user().undo()) << i;  // both typings, then the second F6
    EXPECT_EQ(matrix().RowCount(), 5);
    EXPECT_EQ(cell("ProductName", 5)->Value().text(), "Rye bread");
    EXPECT_TRUE(cell("ProductName", 6)->Value().isEmpty());
    ASSERT_TRUE(user().canRedo());

    writeBack();
    EXPECT_EQ(file("SELECT COUNT(*) FROM Products"), Texts{"5"});
    EXPECT_EQ(file("SELECT ProductName || '/' || UnitsInStock FROM Products WHERE ProductID > 4"),
              Texts{"Rye bread/12"});
    // Written and reloaded: what was undone is not redone into a written table.
    EXPECT_FALSE(user().canRedo());
    EXPECT_FALSE(user().redo());
    EXPECT_FALSE(user().undo());
    EXPECT_EQ(matrix().RowCount(), 5);
    EXPECT_FALSE(form().HasChanges());
    EXPECT_EQ(file("SELECT COUNT(*) FROM Products"), Texts{"5"});
}

TEST_F(UndoAddRowTest, SeveralF6AreUndoneOneByOne) {
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(press("{F6}"));
    ASSERT_EQ(matrix().RowCount(), 7);
    for (long rows : {6, 5, 4}) {
        ASSERT_TRUE(user().undo());
        EXPECT_EQ(matrix().RowCount(), rows);
        EXPECT_EQ(matrix().DataRange()->RowsCount(), rows + 1);
    }
    EXPECT_FALSE(user().undo());
    EXPECT_EQ(matrix().RowCount(), 4);
    for (long rows : {5, 6}) {
        ASSERT_TRUE(user().redo());
        EXPECT_EQ(matrix().RowCount(), rows);
        EXPECT_EQ(cell("ProductName", rows)->Locked(), Variant(false));
    }
    // A row typed into after the redo is taken back only once the typing is.
    ASSERT_EQ(type(cell("ProductName", 6), "Oat cake"), Result::Accepted);
    EXPECT_FALSE(user().canRedo()) << "a new edit ends what could be redone";
    ASSERT_TRUE(user().undo());
    ASSERT_TRUE(user().undo());
    EXPECT_EQ(matrix().RowCount(), 5);
    EXPECT_EQ(session_->app().keyBinding("{F7}"), Variant(""));
    std::string result;
    expectHint(&result);
    form().WriteData();  // as the menu's write command, which stays offered
    EXPECT_EQ(result, GetMessage(86));
    EXPECT_EQ(file("SELECT COUNT(*) FROM Products"), Texts{"4"}) << "a row of defaults alone is never written";
}

TEST_F(UndoAddRowTest, ARowThatIsNoLongerWhatF6AddedIsNeverTaken) {
    // Data put into the added row behind the history's back: the undo is refused.
    ASSERT_TRUE(press("{F6}"));
    sheet()->Unprotect(clsAux::ProtectionPassword());
    session_->app().SetEnableEvents(false);
    cell("ProductName", 5)->SetValue(Variant("by code"));
    session_->app().SetEnableEvents(true);
    form().ProtectSheet();
    ui_.expectMsgBox(host::answer::OK, GetMessage(293), host::mb::Information);
    EXPECT_FALSE(user().undo());
    ui_.verifyAllConsumed();
    EXPECT_EQ(matrix().RowCount(), 5);
    EXPECT_EQ(cell("ProductName", 5)->Value().text(), "by code");
    EXPECT_FALSE(user().canUndo());
    EXPECT_FALSE(user().canRedo());
    EXPECT_TRUE(sheet()->ProtectContents());
}

TEST_F(UndoAddRowTest, AnF7TheDatabasePartlyRefusesEndsTheHistoryAndKeepsTheRows) {
    ASSERT_TRUE(press("{F6}"));
    ASSERT_EQ(type(cell("ProductName", 5), "Rye bread"), Result::Accepted);
    ASSERT_TRUE(press("{F6}"));
    ASSERT_EQ(type(cell("Weight", 6), "0.5"), Result::Accepted);  // the name it needs is missing
    ui_.expectMsgBox(host::answer::OK, std::string("cannot contain a Null value"), host::mb::Information);
    writeBack();
    // The first row is stored, the second kept as typed; neither can be taken back now.
    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID > 4"), Texts{"Rye bread"});
    EXPECT_EQ(matrix().RowCount(), 6);
    EXPECT_FALSE(user().canUndo());
    EXPECT_FALSE(user().undo());
    EXPECT_EQ(matrix().RowCount(), 6);
    EXPECT_EQ(cell("Weight", 6)->Value().toDouble(), 0.5);
    EXPECT_EQ(cell("ProductName", 5)->Value().text(), "Rye bread");

    // Mended, the kept row is written once and the stored one not again.
    ASSERT_EQ(type(cell("ProductName", 6), "Spelt loaf"), Result::Accepted);
    writeBack();
    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID > 4 ORDER BY ProductID"),
              (Texts{"Rye bread", "Spelt loaf"}));
}

TEST_F(UndoAddRowTest, AStoredRowIsRefusedEvenWhenTheHistoryStillNamesIt) {
    // The table sheet's own guard, asked directly as a stale history would ask it.
    ASSERT_TRUE(press("{F6}"));
    ASSERT_EQ(type(cell("ProductName", 5), "Rye bread"), Result::Accepted);
    writeBack();
    ASSERT_EQ(matrix().RowCount(), 5);
    ui_.expectMsgBox(host::answer::OK, GetMessage(293), host::mb::Information);
    EXPECT_THROW(session_->app().Run("ThisWorkbook.UndoAddRow"), Error);
    ui_.verifyAllConsumed();
    EXPECT_EQ(matrix().RowCount(), 5);
    EXPECT_EQ(cell("ProductName", 5)->Value().text(), "Rye bread");
    ui_.expectMsgBox(host::answer::OK, GetMessage(294), host::mb::Information);
    EXPECT_THROW(session_->app().Run("ThisWorkbook.RedoAddRow"), Error);
    EXPECT_EQ(matrix().RowCount(), 5);
    EXPECT_EQ(file("SELECT COUNT(*) FROM Products"), Texts{"5"});
}

TEST_F(UndoAddRowTest, TheFirstRowOfAnEmptyTableIsTakenBackToTheHeaderAlone) {
    execute("DELETE FROM OrderLines");
    clickTable("OrderLines");
    ASSERT_EQ(matrix().RowCount(), 0);
    ASSERT_TRUE(press("{F6}"));
    ASSERT_EQ(session_->app().keyBinding("{F8}"), Variant("ThisWorkbook.DeleteRows"));
    ASSERT_TRUE(user().undo());
    EXPECT_EQ(matrix().RowCount(), 0);
    EXPECT_EQ(matrix().DataRange()->RowsCount(), 1);
    EXPECT_EQ(form().RowChanged().size(), 1u);
    EXPECT_EQ(session_->app().keyBinding("{F8}"), Variant("")) << "nothing left to delete";
    EXPECT_TRUE(cell("Quantity", 1)->Value().isEmpty());
    // Redone, the row gets its list of related records again, made for it as F6 makes it.
    ASSERT_TRUE(user().redo());
    EXPECT_EQ(matrix().RowCount(), 1);
    EXPECT_EQ(cell("Quantity", 1)->Value().toDouble(), 1);
    EXPECT_EQ(cell("ProductID", 1)->Validation()->Type(), host::xl::ValidateList);
    for (auto [column, text] : {std::pair{"OrderYear", "2024"}, {"OrderNo", "2"}, {"LineNo", "1"}, {"ProductID", "1"}})
        ASSERT_EQ(type(cell(column, 1), text), Result::Accepted) << column;
    writeBack();
    EXPECT_EQ(file("SELECT COUNT(*) || '/' || MIN(Quantity) || '/' || MIN(OrderNo) FROM OrderLines"),
              Texts{"1/1/2"});
}

}  // namespace dalvera::testing
