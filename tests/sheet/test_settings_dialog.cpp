// The settings dialog as a person uses it: colours picked, boxes typed into,
// tabs switched, OK, Apply and Cancel; what the registry holds afterwards and
// how the open table sheet looks.
#include "TableSheetFixture.h"
#include "settings/frmSettings.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {
namespace {

class SettingsDialogTest : public TableSheetTest {
protected:
    void clickSettings() {
        auto control = goApplication->Toolbar().FindControlByTag(tag::Settings);
        ASSERT_NE(control, nullptr);
        session_->user().clickControl(control);
    }
    // Opens the dialog and runs the script in it.
    void inDialog(ScriptedUI::FormScript script) {
        ui_.expectForm("frmSettings", std::move(script));
        clickSettings();
    }
    Variant stored(const char* name) { return goApplication->Aux().ReadSetting(name); }
    // What a setting holds, its default when it was never written.
    Variant current(const char* name) { return goApplication->Aux().ReadSettingOrDefault(name); }
    static bool visible(host::Form& f, const std::string& name) { return f.control(name)->visible; }
};

TEST_F(SettingsDialogTest, OkWritesTheSettingsAndTheOpenTableSheetTakesThemAtOnce) {
    openSample();
    clickTable("Products");
    ASSERT_EQ(type(cell("ProductName", 2), "Earl grey"), Result::Accepted);  // a row not yet written
    const long paletteBefore = session_->app().ActiveWorkbook()->Colors(32);
    inDialog([&](host::Form& f) {
        EXPECT_EQ(f.caption, GetCaption("frmSettings"));
        EXPECT_EQ(f.control("TabStrip1")->tabs, (std::vector<std::string>{GetMessage(205), GetMessage(206), GetMessage(207)}));
        EXPECT_EQ(f.control("lblColor9")->backColor, 16777215);  // the default form back
        ui_.expectColor(true, 0xCCFFCC);
        click(f, "cmdChangeColor9");
        EXPECT_EQ(f.control("lblColor9")->backColor, 0xCCFFCC);
        ui_.expectColor(true, 0x00FFFF00);
        click(f, "cmdChangeColor7");  // edited cells
        selectTab(f, "TabStrip1", 1);
        EXPECT_FALSE(visible(f, "fraTab0"));
        click(f, "chkShowHeadings");
        click(f, "cmdOK");
    });
    ui_.verifyAllConsumed();
    EXPECT_EQ(stored(setting::ColorFormBack).toLong(), 0xCCFFCC);
    EXPECT_EQ(stored(setting::ColorMatrixBackEdited).toLong(), 0x00FFFF00);
    EXPECT_EQ(stored(setting::DisplayHeadings).text(), "True");
    // The palette entry borrowed for the colour dialog is the workbook's again.
    EXPECT_EQ(session_->app().ActiveWorkbook()->Colors(32), paletteBefore);
    // The sheet shows it: form back around the grid, headings on, the unwritten row in the new edited colour.
    EXPECT_EQ(sheet()->Cells(1, 30)->Interior()->Color().toLong(), 0xCCFFCC);
    EXPECT_TRUE(session_->app().ActiveWindow()->DisplayHeadings());
    EXPECT_EQ(cell("ProductName", 2)->Interior()->Color().toLong(), 0x00FFFF00);
    EXPECT_TRUE(sheet()->ProtectContents());
    // And F7 still writes the row, found by its new edited colour.
    expectHint();
    EXPECT_TRUE(session_->user().pressKey("{F7}"));
    EXPECT_FALSE(form().HasChanges());
}

TEST_F(SettingsDialogTest, ColoursTheSheetCouldNotTellApartAreRefusedAndNothingIsWritten) {
    openSample();
    const Variant before = current(setting::ColorMatrixBackReadOnly);
    inDialog([&](host::Form& f) {
        auto& dialog = static_cast<frmSettings&>(f);
        ui_.expectColor(true, dialog.Colour(2));  // locked cells as editable ones
        click(f, "cmdChangeColor5");
        ui_.expectMsgBox(host::answer::OK, GetMessage(188), host::mb::Information);
        click(f, "cmdOK");
        EXPECT_TRUE(f.visible());
        // Cancelling the colour dialog keeps the colour as it was.
        const long edited = dialog.Colour(7);
        ui_.expectColor(false);
        click(f, "cmdChangeColor7");
        EXPECT_EQ(dialog.Colour(7), edited);
        click(f, "cmdCancel");
    });
    ui_.verifyAllConsumed();
    EXPECT_EQ(stored(setting::ColorMatrixBackReadOnly), before);
}

TEST_F(SettingsDialogTest, NumberBoxesTakeDigitsOnlyAndRefuseWhatLiesOutsideTheirRange) {
    openSample();
    const Variant warningBefore = current(setting::WarningNrOfCells);
    const Variant widthBefore = current(setting::FixedColumnWidth);
    inDialog([&](host::Form& f) {
        selectTab(f, "TabStrip1", 2);
        testing::type(f, "txtCellsWarning", "12a3x4");
        EXPECT_EQ(f.control("txtCellsWarning")->value.text(), "1234");
        ui_.expectMsgBox(host::answer::OK, GetMessage(187, Variant("10,000"), Variant("500,000")), host::mb::Information);
        click(f, "cmdApply");
        testing::type(f, "txtCellsWarning", "99999999999");
        ui_.expectMsgBox(host::answer::OK, GetMessage(187, Variant("10,000"), Variant("500,000")));
        click(f, "cmdApply");
        testing::type(f, "txtCellsWarning", "250000");
        testing::type(f, "txtFixedColumnWidth", "");
        ui_.expectMsgBox(host::answer::OK, GetMessage(186), host::mb::Information);
        click(f, "cmdOK");
        EXPECT_EQ(f.focus, "txtFixedColumnWidth");
        EXPECT_TRUE(f.visible());
        click(f, "cmdCancel");
    });
    ui_.verifyAllConsumed();
    EXPECT_EQ(stored(setting::WarningNrOfCells), warningBefore);
    EXPECT_EQ(stored(setting::FixedColumnWidth), widthBefore);

    // In Dutch the bounds are grouped the Dutch way.
    SetCountryCode(31);
    inDialog([&](host::Form& f) {
        selectTab(f, "TabStrip1", 2);
        testing::type(f, "txtCellsWarning", "5");
        ui_.expectMsgBox(host::answer::OK, GetMessage(187, Variant("10.000"), Variant("500.000")));
        click(f, "cmdOK");
        click(f, "cmdCancel");
    });
    ui_.verifyAllConsumed();
}

TEST_F(SettingsDialogTest, ColumnPropertiesOfTheDatabaseHideTheFixedWidth) {
    openSample();
    inDialog([&](host::Form& f) {
        selectTab(f, "TabStrip1", 2);
        EXPECT_TRUE(visible(f, "txtFixedColumnWidth"));
        click(f, "chkApplyColumnPropsAccess");
        EXPECT_FALSE(f.control("chkAutoAdjustColumnWidths")->enabled);
        EXPECT_FALSE(visible(f, "txtFixedColumnWidth"));
        EXPECT_FALSE(visible(f, "lblFixedColumnWidth"));
        click(f, "chkApplyColumnPropsAccess");
        EXPECT_TRUE(f.control("chkAutoAdjustColumnWidths")->enabled);
        EXPECT_TRUE(visible(f, "txtFixedColumnWidth"));
        click(f, "chkAutoAdjustColumnWidths");
        EXPECT_FALSE(visible(f, "txtFixedColumnWidth"));
        click(f, "cmdCancel");
    });
    ui_.verifyAllConsumed();
}

TEST_F(SettingsDialogTest, DefaultsAndRestoredMessagesAreWrittenAtOnceAndStayAfterCancel) {
    openSample();
    goApplication->Aux().WriteSetting(4, setting::ColorFormBack, Variant::longValue(123));
    goApplication->Aux().WriteSetting(1, setting::ShowUpdatedRecords, Variant("False"));
    inDialog([&](host::Form& f) {
        selectTab(f, "TabStrip1", 2);
        ui_.expectMsgBox(host::answer::Yes, GetMessage(15), host::mb::Question);
        ui_.expectMsgBox(host::answer::OK, GetMessage(212), host::mb::Information);
        click(f, "cmdApplyDefaults");
        EXPECT_EQ(f.control("lblColor9")->backColor, 16777215);
        ui_.expectMsgBox(host::answer::No, GetMessage(15));
        click(f, "cmdRestoreUserMsg");
        EXPECT_EQ(stored(setting::ShowUpdatedRecords).text(), "False");
        ui_.expectMsgBox(host::answer::Yes, GetMessage(15));
        ui_.expectMsgBox(host::answer::OK, GetMessage(211), host::mb::Information);
        click(f, "cmdRestoreUserMsg");
        click(f, "cmdCancel");
    });
    ui_.verifyAllConsumed();
    EXPECT_EQ(stored(setting::ColorFormBack).toLong(), 16777215);
    EXPECT_EQ(stored(setting::ShowUpdatedRecords).text(), "True");
}

TEST_F(SettingsDialogTest, AServerVariantHidesTheDatabaseFileBoxesAndKeepsTheirValues) {
    startAddin(22);
    goApplication->Aux().WriteSetting(1, setting::DisplayFieldDescription, Variant("True"));
    inDialog([&](host::Form& f) {
        EXPECT_FALSE(visible(f, "chkShowFieldDescription"));
        EXPECT_FALSE(visible(f, "chkApplyColumnPropsAccess"));
        click(f, "cmdOK");
    });
    ui_.verifyAllConsumed();
    EXPECT_EQ(stored(setting::DisplayFieldDescription).text(), "True");
}

}  // namespace
}  // namespace dalvera::testing
