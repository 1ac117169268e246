// Typing on the table sheet reaches the edit tracking through the host's event.
#include "TableSheetFixture.h"

namespace dalvera::testing {

TEST_F(TableSheetTest, ATypedCellFlagsItsRowAndPaintsItEdited) {
    openSample();
    clickTable("Products");
    clsAux& aux = goApplication->Aux();
    EXPECT_FALSE(form().HasChanges());
    EXPECT_FALSE(goApplication->Menu().FindControlByTag(tag::RowUpdate)->Enabled());
    EXPECT_EQ(type(cell("ProductName", 2), "Green tea"), Result::Accepted);
    EXPECT_TRUE(form().HasChanges());
    EXPECT_EQ(form().RowChanged().at(1), "1");
    EXPECT_NE(form().RowChanged().at(0), "1");
    EXPECT_EQ(cell("ProductName", 2)->Interior()->Color().toLong(), aux.SettingColor(setting::ColorMatrixBackEdited));
    EXPECT_EQ(cell("ProductName", 2)->Font()->Color().toLong(), aux.SettingColor(setting::ColorMatrixFrontEdited));
    EXPECT_EQ(cell("ProductName", 1)->Interior()->Color().toLong(), aux.SettingColor(setting::ColorMatrixBack));
    EXPECT_TRUE(goApplication->Menu().FindControlByTag(tag::RowUpdate)->Enabled());
    EXPECT_TRUE(goApplication->Toolbar().FindControlByTag(tag::RowUpdate)->Enabled());
    EXPECT_EQ(session_->app().keyBinding("{F7}"), Variant("ThisWorkbook.WriteData"));
    // The sheet is protected again and events are back on.
    EXPECT_TRUE(sheet()->ProtectContents());
    EXPECT_TRUE(session_->app().EnableEvents());
}

TEST_F(TableSheetTest, APastedBlockFlagsEveryRowItCovers) {
    openSample();
    clickTable("Products");
    auto topLeft = cell("ProductName", 1);
    EXPECT_EQ(session_->user().pasteBlock(topLeft, {{"a"}, {"b"}, {"c"}}), Result::Accepted);
    EXPECT_EQ(form().RowChanged().at(0), "1");
    EXPECT_EQ(form().RowChanged().at(1), "1");
    EXPECT_EQ(form().RowChanged().at(2), "1");
}

TEST_F(TableSheetTest, ChangesElsewhereAreNotTracked) {
    openSample();
    clickTable("Products");
    auto other = session_->app().Workbooks().Add();
    session_->user().typeText(other->Worksheets()->Item(1)->Range("B2"), "x");
    EXPECT_FALSE(form().HasChanges());
}

}  // namespace dalvera::testing

namespace dalvera::testing {

TEST_F(TableSheetTest, ANewRowHoldingOnlyItsDefaultsIsNotFlagged) {
    openSample();
    clickTable("Products");
    ASSERT_TRUE(session_->user().pressKey("{F6}"));
    const long k = matrix().RowCount();
    EXPECT_FALSE(form().HasChanges()) << "after F6";
    // Typing a column's own default leaves the row a row of defaults.
    EXPECT_EQ(type(cell("UnitsInStock", k), "0"), Result::Accepted);
    EXPECT_FALSE(form().HasChanges()) << "row " << k;
    EXPECT_EQ(cell("UnitsInStock", k)->Interior()->Color().toLong(),
              goApplication->Aux().SettingColor(setting::ColorMatrixBack));
    // A real value makes it a record to write.
    EXPECT_EQ(type(cell("ProductName", k), "Rooibos"), Result::Accepted);
    EXPECT_TRUE(form().HasChanges());
}

}  // namespace dalvera::testing

namespace dalvera::testing {

TEST_F(TableSheetTest, ClosingTheTableWorkbookWithPendingEditsAsksFirst) {
    openSample();
    clickTable("Products");
    EXPECT_EQ(type(cell("ProductName", 1), "Changed"), Result::Accepted);
    auto book = sheet()->Parent();
    ui_.expectMsgBox(host::answer::No, GetMessage(18), host::mb::Question, host::mb::YesNo);
    EXPECT_FALSE(session_->user().close(book));
    EXPECT_TRUE(form().HasChanges());
    EXPECT_EQ(form().Sheet()->Parent(), book);
    ui_.verifyAllConsumed();
}

}  // namespace dalvera::testing
