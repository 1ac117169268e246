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
