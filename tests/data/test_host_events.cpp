// The host's events around the table workbook: switching, saving and closing.
#include "DataFixture.h"

#include "app/clsExcel.h"
#include "sheet/clsForm.h"

namespace dalvera::testing {

class HostEventsTest : public DataTest {
protected:
    void SetUp() override {
        DataTest::SetUp();
        startAddin();
        openThroughDialog(sampleCopy());
        book_ = goApplication->Form().Sheet()->Parent();
    }
    bool executeSqlEnabled(ICB& bar) { return bar.FindControlByTag(tag::ExecuteSql)->Enabled(); }
    void expectDetached() {
        EXPECT_EQ(goApplication->Form().Sheet(), nullptr);
        EXPECT_EQ(goApplication->DataSource(), nullptr);
        EXPECT_FALSE(goApplication->Menu().FindControlByTag(tag::Tables)->Enabled());
        EXPECT_EQ(goApplication->Menu().FindControlByTag(tag::Tables)->Controls()->Count(), 0);
        EXPECT_FALSE(goApplication->Toolbar().FindControlByTag(tag::RowAdd)->Visible());
    }
    host::WorkbookPtr book_;
};

TEST_F(HostEventsTest, SwitchingWorkbooksSwitchesTheSqlCommand) {
    session_->user().activate(book_);
    EXPECT_TRUE(executeSqlEnabled(goApplication->Menu()));
    auto other = session_->app().Workbooks().Add();
    session_->user().activate(other);
    EXPECT_FALSE(executeSqlEnabled(goApplication->Menu()));
    EXPECT_FALSE(executeSqlEnabled(goApplication->Toolbar()));
    session_->user().activate(book_);
    EXPECT_TRUE(executeSqlEnabled(goApplication->Toolbar()));
}

TEST_F(HostEventsTest, SavingAsCsvUsesThatFormatAndDetachesTheWorkbook) {
    std::string path = dir_ + "/export.csv";
    ui_.expectMsgBox(host::answer::Yes, GetMessage(23), host::mb::Question, host::mb::YesNo);
    ui_.expectSaveAs(path);
    session_->user().save(book_);
    ui_.verifyAllConsumed();
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(book_->Name(), "export.csv");
    expectDetached();
    EXPECT_TRUE(session_->app().EnableEvents());
}

TEST_F(HostEventsTest, CancellingTheSaveKeepsEverything) {
    ui_.expectMsgBox(host::answer::No, GetMessage(23));
    session_->user().save(book_);
    ui_.expectMsgBox(host::answer::Yes, GetMessage(23));
    ui_.expectSaveAsCancel();
    session_->user().save(book_);
    ui_.verifyAllConsumed();
    EXPECT_EQ(goApplication->Form().Sheet()->Parent(), book_);
    EXPECT_NE(goApplication->DataSource(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/export.csv"));
}

TEST_F(HostEventsTest, ClosingWithItsTwoSheetsAsksNothingAndRestoresTheOptionsLater) {
    session_->app().SetMoveAfterReturnDirection(host::xl::ToRight);
    EXPECT_TRUE(session_->user().close(book_));
    ui_.verifyAllConsumed();
    expectDetached();
    // The next activation, whichever workbook it brings, restores the options.
    auto other = session_->app().Workbooks().Add();
    session_->user().activate(other);
    EXPECT_EQ(session_->app().MoveAfterReturnDirection(), host::xl::Down);
    EXPECT_FALSE(goExcel->RestoreOptionsPending());
}

TEST_F(HostEventsTest, ClosingWithGeneratedSheetsAsksFirst) {
    book_->Unprotect("w58w");
    session_->app().SetDisplayAlerts(false);
    book_->Worksheets()->Add();
    ui_.expectMsgBox(host::answer::No, GetMessage(22), host::mb::Question, host::mb::YesNo);
    EXPECT_FALSE(session_->user().close(book_));
    EXPECT_NE(goApplication->Form().Sheet(), nullptr);
    ui_.verifyAllConsumed();
}

TEST_F(HostEventsTest, SaveFilterAndFormats) {
    std::string filter = goExcel->GetSaveAsFilter();
    EXPECT_EQ(filter.size(), 254u);
    EXPECT_EQ(filter.rfind("Excel" + GetMessage(9) + " (*.xlsx),*.xlsx,Excel 97-2003", 0), 0u);
    SetCountryCode(31);
    EXPECT_LE(goExcel->GetSaveAsFilter().size(), 255u);
    SetCountryCode(1);
    EXPECT_EQ(clsExcel::GetFileFormat("csv"), 6);
    EXPECT_EQ(clsExcel::GetFileFormat("txt"), -4158);
    EXPECT_EQ(clsExcel::GetFileFormat("mhtml"), 45);
    EXPECT_EQ(clsExcel::GetFileFormat("CSV"), 0);
    try {
        goExcel->ConfirmWorkbookAction("open");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 668);
        EXPECT_EQ(e.description(), "The following action is not implemented: open");
    }
}

}  // namespace dalvera::testing
