// A click on a table button: what the person sees on the table sheet.
#include "FileDb.h"
#include "TableSheetFixture.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {
namespace {

namespace xl = host::xl;

TEST_F(TableSheetTest, HeaderShowsCaptionsWhereDefinedAndNamesElsewhere) {
    openSample();
    clickTable("Products");
    EXPECT_EQ(sheet()->Cells(1, 1)->Value().text(), "ProductID");
    EXPECT_EQ(sheet()->Cells(1, 2)->Value().text(), "Product");
    EXPECT_EQ(matrix().Fields().Item("UnitPriceUSD")->Cell()->Value().text(), "Price (USD)");
    EXPECT_EQ(sheet()->Name(), "Products Table");
    EXPECT_GT(matrix().RowCount(), 0);
    EXPECT_EQ(matrix().RowCount(), matrix().LoadedRowCount());
    EXPECT_EQ(matrix().DataRange()->RowsCount(), matrix().RowCount() + 1);
    EXPECT_EQ(static_cast<size_t>(matrix().RowCount()), form().RowChanged().size());
    EXPECT_FALSE(form().HasChanges());
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, ColumnsAreFormattedByNotationAndType) {
    openSample();
    clickTable("Products");
    EXPECT_EQ(cell("UnitPriceUSD", 1)->NumberFormat().text(), "[$$-409] #,##0.00_-");
    EXPECT_EQ(cell("TaxRate", 1)->NumberFormat().text(), "\u20AC #,##0.00_-");
    EXPECT_EQ(cell("Weight", 1)->Style(), "Comma");
    EXPECT_EQ(cell("Discount", 1)->Style(), "Percent");
    EXPECT_EQ(cell("AddedOn", 1)->NumberFormat().text(), "d/m/yyyy h:mm:ss");
    // "Currency" is no notation of the table: the cells keep the host's format.
    EXPECT_EQ(cell("UnitPrice", 1)->NumberFormat().text(), "General");
    EXPECT_EQ(cell("ProductName", 1)->HorizontalAlignment().toLong(), xl::HAlignLeft);
    EXPECT_NE(cell("UnitsInStock", 1)->HorizontalAlignment().toLong(), xl::HAlignLeft);
}

TEST_F(TableSheetTest, DoublesAreRoundedToFiveDecimals) {
    openSample();
    execute("UPDATE Products SET Weight = 1.123456789 WHERE ProductID = 1");
    clickTable("Products");
    EXPECT_DOUBLE_EQ(cell("Weight", 1)->Value().toDouble(), 1.12346);
}

TEST_F(TableSheetTest, EditableAndReadOnlyColumnsAreColouredAndLocked) {
    openSample();
    clickTable("Products");
    clsAux& aux = goApplication->Aux();
    auto id = cell("ProductID", 1);  // auto-number: read-only
    auto name = cell("ProductName", 1);
    EXPECT_EQ(id->Interior()->Color().toLong(), aux.SettingColor(setting::ColorMatrixBackReadOnly));
    EXPECT_EQ(id->Font()->Color().toLong(), aux.SettingColor(setting::ColorMatrixFrontReadOnly));
    EXPECT_TRUE(id->Locked().toBool());
    EXPECT_EQ(name->Interior()->Color().toLong(), aux.SettingColor(setting::ColorMatrixBack));
    EXPECT_FALSE(name->Locked().toBool());
    auto header = sheet()->Cells(1, 2);
    EXPECT_EQ(header->Interior()->Color().toLong(), aux.SettingColor(setting::ColorTitleBack));
    EXPECT_TRUE(header->Locked().toBool());
    EXPECT_TRUE(header->Font()->Bold().toBool());
    // Below the grid nothing can be selected or typed.
    auto below = sheet()->Cells(matrix().RowCount() + 3, 2);
    EXPECT_TRUE(below->Locked().toBool());
}

TEST_F(TableSheetTest, SheetIsProtectedAndOnlyUnlockedCellsAreSelectable) {
    openSample();
    clickTable("Products");
    EXPECT_TRUE(sheet()->ProtectContents());
    EXPECT_TRUE(sheet()->Parent()->ProtectStructure());
    EXPECT_EQ(sheet()->EnableSelection(), xl::UnlockedCells);
    EXPECT_FALSE(session_->user().select(cell("ProductID", 1)));
    EXPECT_TRUE(session_->user().select(cell("ProductName", 1)));
    // The first editable cell is selected for the person.
    EXPECT_EQ(HostApp().Selection()->Address(), cell("ProductName", 1)->Address());
    ui_.expectMsgBox(host::answer::OK, std::string("protected sheet"));
    EXPECT_EQ(type(cell("ProductID", 1), "99"), Result::Refused);
    EXPECT_TRUE(HostApp().EnableEvents());
    EXPECT_TRUE(HostApp().ScreenUpdating());
    EXPECT_EQ(HostApp().Calculation(), xl::CalculationAutomatic);
    EXPECT_EQ(HostApp().StatusBar().text(), GetMessage(6));
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, DescriptionsBecomeCommentsOnlyWhileTheSettingIsOn) {
    openSample();
    setSetting(setting::DisplayFieldDescription, "True");
    clickTable("Products");
    auto comment = matrix().Fields().Item("ProductName")->Cell()->Comment();
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->Text(), "Name as printed on invoices");
    EXPECT_EQ(comment->Shape()->TextColorIndex(), 11);
    EXPECT_FALSE(comment->Shape()->Shadow());
    EXPECT_EQ(matrix().Fields().Item("Weight")->Cell()->Comment(), nullptr);

    // Re-applying the settings to the sheet shown takes the comments away.
    setSetting(setting::DisplayFieldDescription, "False");
    form().UnprotectSheet();
    form().FormatSheet(true, false, "");
    form().ProtectSheet();
    EXPECT_EQ(matrix().Fields().Item("ProductName")->Cell()->Comment(), nullptr);
    EXPECT_EQ(cell("ProductName", 1)->Validation()->ErrorTitle(), GetMessage(115));
}

TEST_F(TableSheetTest, AutoFilterAndFrozenHeaderFollowTheSettings) {
    openSample();
    clickTable("Customers");
    EXPECT_TRUE(sheet()->AutoFilterMode());
    EXPECT_TRUE(HostApp().ActiveWindow()->FreezePanes());
    EXPECT_EQ(HostApp().ActiveWindow()->SplitRow(), 1);

    setSetting(setting::DisplayFilter, "False");
    setSetting(setting::FreezeTopRow, "False");
    clickTable("Products");
    EXPECT_FALSE(sheet()->AutoFilterMode());
    EXPECT_FALSE(HostApp().ActiveWindow()->FreezePanes());
}

TEST_F(TableSheetTest, SheetNameIsCutToThirtyOneCharacters) {
    std::string path;
    makeDatabase("names.sqlite",
                 {"CREATE TABLE [An extraordinarily long table name 40] (ID COUNTER PRIMARY KEY, T TEXT(5))",
                  "CREATE TABLE [Twenty characters ok] (ID COUNTER PRIMARY KEY, T TEXT(5))",
                  "CREATE TABLE [Sales/Returns?] (ID COUNTER PRIMARY KEY, T TEXT(5))",
                  "CREATE TABLE [Caf\u00E9s and their longer names \u00E9\u00E9] (ID COUNTER PRIMARY KEY)"},
                 &path)
        ->Close();
    openSample(path);
    clickTable("An extraordinarily long table name 40");
    EXPECT_EQ(sheet()->Name(), "An extraordinarily long table n");
    clickTable("Twenty characters ok");
    EXPECT_EQ(sheet()->Name(), "Twenty characters ok Table");
    EXPECT_EQ(sheet()->Name().size(), 26u);
    // Characters a sheet name cannot hold do not keep the table from being shown.
    clickTable("Sales/Returns?");
    EXPECT_EQ(sheet()->Name(), "Sales_Returns_ Table");
    EXPECT_EQ(form().TableName(), "Sales/Returns?");
    // The cut counts characters and never splits one.
    clickTable("Caf\u00E9s and their longer names \u00E9\u00E9");
    EXPECT_EQ(sheet()->Name(), "Caf\u00E9s and their longer names \u00E9\u00E9");
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, TableWithoutPrimaryKeyIsShownReadOnlyWithMessage72) {
    openSample();
    std::string hint;
    expectHint(&hint);
    clickTable("PriceHistory");
    EXPECT_EQ(hint, GetMessage(72, Variant("PriceHistory")));
    EXPECT_EQ(sheet()->EnableSelection(), xl::NoRestrictions);
    EXPECT_TRUE(session_->user().select(cell("OldPrice", 1)));
    EXPECT_TRUE(cell("OldPrice", 1)->Locked().toBool());
    EXPECT_FALSE(cell("OldPrice", 1)->Validation()->ErrorTitle().size());
    ui_.expectMsgBox(host::answer::OK, std::string("protected sheet"));
    EXPECT_EQ(type(cell("OldPrice", 1), "5"), Result::Refused);
    EXPECT_FALSE(form().TableHasPrimaryKey());
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, PendingEditsAskMessage20AndNoChangesNothing) {
    openSample();
    clickTable("Products");
    const long rows = matrix().RowCount();
    const std::string value = cell("ProductName", 1)->Text();
    form().RowChanged()[0] = "1";
    ui_.expectMsgBox(host::answer::No, GetMessage(20, Variant("Customers")), host::mb::Question, host::mb::YesNo);
    clickTable("Customers");
    EXPECT_EQ(form().TableName(), "Products");
    EXPECT_EQ(sheet()->Name(), "Products Table");
    EXPECT_EQ(matrix().RowCount(), rows);
    EXPECT_EQ(cell("ProductName", 1)->Text(), value);
    EXPECT_TRUE(form().HasChanges());

    ui_.expectMsgBox(host::answer::Yes, GetMessage(20, Variant("Customers")));
    clickTable("Customers");
    EXPECT_EQ(form().TableName(), "Customers");
    EXPECT_FALSE(form().HasChanges());
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, ReloadKeepsTheSelectionAndTwoCriteriaFilters) {
    openSample();
    clickTable("Products");
    auto target = cell("ProductName", 2);
    ASSERT_TRUE(session_->user().select(target));
    const long column = matrix().Fields().Item("UnitPrice")->Index() + 1;
    matrix().DataRange()->AutoFilter(column, Variant(">=2"), xl::And, Variant("<=20"));
    ASSERT_TRUE(sheet()->FilterMode());

    form().ShowTable("Products", 0);
    EXPECT_EQ(HostApp().Selection()->Address(), target->Address());
    ASSERT_TRUE(sheet()->FilterMode());
    auto filter = sheet()->AutoFilter()->Filters()->Item(column);
    EXPECT_TRUE(filter->On());
    EXPECT_EQ(filter->Criteria1().text(), ">=2");
    EXPECT_EQ(filter->Criteria2().text(), "<=20");
    EXPECT_EQ(filter->Operator(), xl::And);
    EXPECT_EQ(form().Filters().Count(), matrix().FieldCount());
}

TEST_F(TableSheetTest, DroppedTableGivesMessage214) {
    openSample();
    execute("DROP TABLE PriceHistory");
    ui_.expectMsgBox(host::answer::OK, GetMessage(214, Variant("PriceHistory")), host::mb::Information);
    clickTable("PriceHistory");
    EXPECT_EQ(sheet()->Name(), GetProductName());
    EXPECT_FALSE(form().HasMatrix());
    EXPECT_TRUE(sheet()->ProtectContents());
    EXPECT_TRUE(HostApp().EnableEvents());
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, AFailedPickBeforeTheSheetIsClearedKeepsTheShownTable) {
    openSample();
    clickTable("Products");
    form().RowChanged()[0] = "1";
    ui_.expectMsgBox(host::answer::OK, std::string("Unexpected error"), host::mb::Critical);
    const std::string shown = cell("ProductName", 1)->Text();
    form().ShowTable("", 99);  // no such item in the table list
    EXPECT_TRUE(form().HasMatrix());
    EXPECT_TRUE(form().HasChanges());
    EXPECT_EQ(cell("ProductName", 1)->Text(), shown);
    EXPECT_TRUE(sheet()->ProtectContents());
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, LargeResultAskedAndDeclinedLeavesNothingShown) {
    openSample();
    goApplication->Aux().WriteSetting(4, setting::WarningNrOfCells, Variant::longValue(5));
    ui_.expectMsgBox(host::answer::No, GetMessage(32));
    clickTable("Products");
    EXPECT_FALSE(form().HasMatrix());
    EXPECT_EQ(sheet()->Name(), GetProductName());
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, SavedWorkbookCarriesNoEditingColoursAndCloseDoesNotAsk) {
    openSample();
    clickTable("Products");
    clsAux& aux = goApplication->Aux();
    form().PrepareForSave();
    EXPECT_EQ(cell("ProductName", 1)->Interior()->ColorIndex().toLong(), host::xl::ColorIndexNone);
    EXPECT_EQ(sheet()->Cells(1, 2)->Interior()->Color().toLong(), aux.SettingColor(setting::ColorTitleBack));

    auto book = sheet()->Parent();
    const std::string name = book->Name();
    form().CloseWorkbook();
    for (long i = 1; i <= HostApp().Workbooks().Count(); ++i)
        EXPECT_NE(HostApp().Workbooks().Item(i)->Name(), name);
    ui_.verifyAllConsumed();
}


TEST_F(TableSheetTest, OpeningAnotherDatabaseForgetsTheShownTable) {
    openSample();
    clickTable("Products");
    ASSERT_TRUE(form().HasMatrix());
    openThroughDialog(sampleCopy("second.sqlite"));
    EXPECT_FALSE(form().HasMatrix());
    EXPECT_EQ(form().RowCount(), 0);
    EXPECT_TRUE(form().ColumnLayout().empty());
    EXPECT_TRUE(sheet()->Cells(1, 1)->Value().isEmpty());
    ui_.verifyAllConsumed();
}


TEST_F(TableSheetTest, StoredColumnWidthsAndHiddenColumnsApplyWhenTheSettingIsOn) {
    openSample();
    setSetting(setting::ApplyColumnProperties, "True");
    clickTable("Customers");
    auto company = matrix().Fields().Item("CompanyName")->Cell()->EntireColumn();
    EXPECT_NEAR(company->ColumnWidth().toDouble(), 3200.0 / 110.0, 0.01);
    EXPECT_TRUE(matrix().Fields().Item("InternalCode")->Cell()->EntireColumn()->Hidden().toBool());
    EXPECT_FALSE(matrix().Fields().Item("Phone")->Cell()->EntireColumn()->Hidden().toBool());
}


TEST_F(TableSheetTest, RowCommandsFollowThePrimaryKeyAndWritingWaitsForAnEdit) {
    openSample();
    auto enabled = [](const char* t) { return goApplication->Toolbar().FindControlByTag(t)->Enabled(); };
    clickTable("Products");
    EXPECT_TRUE(enabled(tag::RowAdd));
    EXPECT_TRUE(enabled(tag::RowDelete));
    EXPECT_TRUE(enabled(tag::RefreshData));
    EXPECT_FALSE(enabled(tag::RowUpdate));
    EXPECT_FALSE(session_->user().pressKey("{F7}"));

    expectHint();
    clickTable("PriceHistory");
    EXPECT_FALSE(enabled(tag::RowAdd));
    EXPECT_FALSE(enabled(tag::RowDelete));
    EXPECT_TRUE(enabled(tag::RefreshData));
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, NamesAreQuotedWholeInAFileAndPartByPartOnAServer) {
    startAddin(12);
    // In a database file a dot is part of the name; "]" needs the other quotes.
    EXPECT_EQ(QuoteTableName("Orders"), "[Orders]");
    EXPECT_EQ(QuoteTableName("sales.v_Orders"), "[sales.v_Orders]");
    EXPECT_EQ(QuoteTableName("a]b"), "`a]b`");
    EXPECT_EQ(clsForm::QuoteFieldName("c]1"), "`c]1`");
    try {
        clsForm::QuoteFieldName("a]`b");
        ADD_FAILURE() << "a name no quotes can hold was let through";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::Information);
        EXPECT_EQ(e.description(), GetMessage(224, Variant("a]`b"), Variant("] `")));
    }
    session_.reset();
    startAddin(22);
    EXPECT_EQ(QuoteTableName("sales.v_Orders"), "[sales].[v_Orders]");
    EXPECT_EQ(QuoteTableName("a.b.c"), "[a].[b].[c]");
}

}  // namespace
}  // namespace dalvera::testing

namespace dalvera::testing {
namespace {

TEST_F(TableSheetTest, ATableTallerThanTheSheetIsRefusedWithItsCountBeforeAnyOfItIsShown) {
    constexpr long kRows = 1048600;  // past the rows a sheet has
    std::string path;
    {
        auto db = makeDatabase("tall.sqlite", {"CREATE TABLE Tall (ID LONG CONSTRAINT PK_Tall PRIMARY KEY)",
                                               "CREATE TABLE Small (ID LONG CONSTRAINT PK_Small PRIMARY KEY, Name TEXT(20))",
                                               "INSERT INTO Small VALUES (1, 'one')"},
                               &path);
        db->Close();
    }
    {
        FileDb file(path);
        file.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(kRows) +
                  ") INSERT INTO Tall SELECT i FROM n");
    }
    openSample(path);
    clickTable("Small");
    ASSERT_EQ(cell("Name", 1)->Value().text(), "one");
    ui_.expectMsgBox(host::answer::Yes, GetMessage(32));  // more cells than the warning limit
    ui_.expectMsgBox(host::answer::OK, GetMessage(31, Variant(kRows)));
    clickTable("Tall");
    ui_.verifyAllConsumed();
    // Nothing of the tall table reached the sheet.
    EXPECT_LT(sheet()->UsedRange()->RowsCount(), 10);
    EXPECT_TRUE(sheet()->Range("A3")->Value().isEmpty());
    FileDb file(path, true);
    EXPECT_EQ(file.value("SELECT count(*) FROM Tall"), std::to_string(kRows));
}

}  // namespace
}  // namespace dalvera::testing
