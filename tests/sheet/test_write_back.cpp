// F7 writes the edited rows to the database file; the file is checked with its
// own queries, not through the data source that wrote it.
#include <sqlite3.h>

#include "TableSheetFixture.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {

namespace {
// One value read straight from the file; "<null>" for NULL, "<none>" when no row.
std::string fileValue(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string out = "<none>";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "<cannot open>";
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        out = std::string("<bad query: ") + sqlite3_errmsg(db) + ">";
    } else if (sqlite3_step(st) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(st, 0);
        out = text ? reinterpret_cast<const char*>(text) : "<null>";
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}
}  // namespace

class WriteBackTest : public TableSheetTest {
protected:
    void SetUp() override {
        TableSheetTest::SetUp();
        path_ = sampleCopy();
        openSample(path_);
        clickTable("Products");
    }
    std::string product(const std::string& column, int id) {
        return fileValue(path_, "SELECT " + column + " FROM Products WHERE ProductID = " + std::to_string(id));
    }
    // The optional result notice after a write; its text is kept.
    void expectResult(std::string* text) { expectHint(text); }
    long edited() { return goApplication->Aux().SettingColor(setting::ColorMatrixBackEdited); }
    long normal() { return goApplication->Aux().SettingColor(setting::ColorMatrixBack); }
    std::string path_;
};

TEST_F(WriteBackTest, OneTypedCellUpdatesOnlyItsColumn) {
    ASSERT_EQ(type(cell("ProductName", 2), "Earl grey"), Result::Accepted);
    form().SetEditedColour(edited());
    EXPECT_EQ(form().BuildUpdateStatement(form().WritableColumns(), 2),
              "Update [Products] SET [ProductName] = 'Earl grey' WHERE [ProductID] = 2 AND [ProductName] = 'Green tea'");
    // Another column of the row changes behind the sheet's back; the write must leave it alone.
    execute("UPDATE Products SET Weight = 0.25 WHERE ProductID = 2");
    std::string result;
    expectResult(&result);
    EXPECT_TRUE(session_->user().pressKey("{F7}"));
    ui_.verifyAllConsumed();
    EXPECT_EQ(result, GetMessage(87));
    EXPECT_EQ(product("ProductName", 2), "Earl grey");
    EXPECT_EQ(product("Weight", 2), "0.25");
    EXPECT_EQ(product("ProductName", 1), "Dark roast coffee");
    // Reloaded: fresh flags and colours, the other change now on the sheet, F7 unbound.
    EXPECT_FALSE(form().HasChanges());
    EXPECT_EQ(cell("ProductName", 2)->Interior()->Color().toLong(), normal());
    EXPECT_DOUBLE_EQ(cell("Weight", 2)->Value().toDouble(), 0.25);
    EXPECT_EQ(session_->app().keyBinding("{F7}"), Variant(""));
    EXPECT_TRUE(sheet()->ProtectContents());
}

TEST_F(WriteBackTest, APastedBlockWritesExactlyItsCells) {
    auto result = session_->user().pasteBlock(cell("ProductName", 1), {{"Mocha", "2", "1.5", "2.5"},
                                                                       {"Rye bread", "2", "3", "3.5"},
                                                                       {"Brie", "3", "9", "9.75"}});
    ASSERT_EQ(result, Result::Accepted);
    EXPECT_EQ(form().RowChanged().at(0), "1");
    EXPECT_EQ(form().RowChanged().at(2), "1");
    EXPECT_NE(form().RowChanged().at(3), "1");
    execute("UPDATE Products SET Weight = 7 WHERE ProductID IN (1, 2, 3)");
    std::string text;
    expectResult(&text);
    session_->user().pressKey("{F7}");
    EXPECT_EQ(text, GetMessage(88));
    EXPECT_EQ(product("ProductName", 1), "Mocha");
    EXPECT_EQ(product("ProductName", 3), "Brie");
    EXPECT_EQ(product("CategoryID", 1), "2");
    EXPECT_EQ(product("CategoryID", 3), "3");
    EXPECT_DOUBLE_EQ(std::stod(product("UnitPrice", 2)), 3.0);
    EXPECT_DOUBLE_EQ(std::stod(product("UnitPriceUSD", 3)), 9.75);
    EXPECT_DOUBLE_EQ(std::stod(product("UnitPriceUSD", 1)), 2.5);
    // Cells outside the block were not written over.
    for (int id : {1, 2, 3}) EXPECT_EQ(product("Weight", id), "7.0") << id;
    EXPECT_EQ(product("ProductName", 4), "Aged gouda");
}

TEST_F(WriteBackTest, ValuesBecomeLiteralsOfTheirKind) {
    // A cleared cell is NULL; a quote is doubled; a text longer than the column is cut.
    ASSERT_EQ(session_->user().clear(cell("Weight", 1)), Result::Accepted);
    ASSERT_EQ(type(cell("ProductName", 2), "O'Brien's tea"), Result::Accepted);
    const std::string longText(300, 'x');
    // The column's input rule only warns; the person keeps the long text.
    ui_.expectMsgBox(host::answer::Yes);
    ASSERT_EQ(session_->user().pasteBlock(cell("ProductName", 3), {{longText}}), Result::Accepted);
    form().SetEditedColour(edited());
    EXPECT_EQ(form().FormatCellValue(matrix().Field(1), cell("ProductName", 3), false).size(), 302u);
    EXPECT_EQ(form().FormatCellValue(matrix().Field(1), cell("ProductName", 2), true), "'O''Brien''s tea'");
    expectResult(nullptr);
    session_->user().pressKey("{F7}");
    ui_.verifyAllConsumed();
    EXPECT_EQ(product("Weight", 1), "<null>");
    EXPECT_EQ(product("ProductName", 1), "Dark roast coffee");
    EXPECT_EQ(product("ProductName", 2), "O'Brien's tea");
    EXPECT_EQ(product("ProductName", 3), std::string(50, 'x'));
}

TEST_F(WriteBackTest, ADecimalCommaIsWrittenWithAPoint) {
    session_->app().setCountryCode(31);
    SetCountryCode(31);
    ASSERT_EQ(type(cell("Weight", 1), "12,5"), Result::Accepted);
    std::string text;
    expectResult(&text);
    session_->user().pressKey("{F7}");
    EXPECT_EQ(text, "De mutatie is verwerkt in de database.");
    EXPECT_EQ(product("Weight", 1), "12.5");
}

TEST_F(WriteBackTest, KeysAndSpecialTypesAsLiterals) {
    clsField& name = *matrix().Fields().Item("ProductName");
    clsField& flag = *matrix().Fields().Item("Discontinued");
    clsField& code = *matrix().Fields().Item("ProductCode");
    clsField& id = *matrix().Fields().Item("ProductID");
    clsField& added = *matrix().Fields().Item("AddedOn");
    // Keys: never NULL, never cut, Booleans from their words in either language.
    EXPECT_EQ(form().FormatKeyValue(name, ""), "''");
    EXPECT_EQ(form().FormatKeyValue(name, std::string(60, 'y')), "'" + std::string(60, 'y') + "'");
    EXPECT_EQ(form().FormatKeyValue(flag, " Waar "), "1");
    EXPECT_EQ(form().FormatKeyValue(flag, "TRUE"), "1");
    EXPECT_EQ(form().FormatKeyValue(flag, "ja"), "0");
    EXPECT_EQ(form().FormatKeyValue(id, "3,0"), "3.0");
    EXPECT_EQ(form().FormatKeyValue(code, "{A'B}"), "'{A''B}'");
    // Cells: a Boolean cell by its value, a date through the data source's literal.
    EXPECT_EQ(form().FormatCellValue(flag, cell("Discontinued", 4), true), "1");
    EXPECT_EQ(form().FormatCellValue(flag, cell("Discontinued", 1), true), "0");
    EXPECT_EQ(form().FormatCellValue(added, cell("AddedOn", 1), true), "#01/15/2024 09:30:00#");
    EXPECT_EQ(clsForm::QuoteFieldName("Unit Price"), "[Unit Price]");
    EXPECT_EQ(clsForm::WriteResultMessage(0, 0), GetMessage(86));
    EXPECT_EQ(clsForm::WriteResultMessage(0, 1), GetMessage(87));
    EXPECT_EQ(clsForm::WriteResultMessage(1, 1), GetMessage(88));
    EXPECT_EQ(form().WritableColumns().at(0), false);  // the counter is read-only
    EXPECT_EQ(form().WritableColumns().at(1), true);
}

TEST_F(WriteBackTest, NothingFlaggedReportsNoChangeAndReloads) {
    execute("UPDATE Products SET ProductName = 'Changed elsewhere' WHERE ProductID = 1");
    std::string text;
    expectResult(&text);
    goApplication->Form().WriteData();
    ui_.verifyAllConsumed();
    EXPECT_EQ(text, GetMessage(86));
    EXPECT_EQ(cell("ProductName", 1)->Value().text(), "Changed elsewhere");
}

TEST_F(WriteBackTest, ARowWithoutEditedCellsIsSkippedAndUnflagged) {
    ASSERT_EQ(type(cell("ProductName", 1), "Latte"), Result::Accepted);
    sheet()->Unprotect(clsAux::ProtectionPassword());
    cell("ProductName", 1)->Interior()->SetColor(normal());
    std::string text;
    expectResult(&text);
    session_->user().pressKey("{F7}");
    ui_.verifyAllConsumed();  // no error box: no statement without columns was run
    EXPECT_EQ(text, GetMessage(86));
    EXPECT_FALSE(form().HasChanges());
    EXPECT_EQ(product("ProductName", 1), "Dark roast coffee");
}

TEST_F(WriteBackTest, AFailingRowStopsTheWriteAndIsPointedAt) {
    ASSERT_EQ(type(cell("ProductName", 1), "First"), Result::Accepted);
    // The name is required: this row's statement fails.
    ASSERT_EQ(session_->user().clear(cell("ProductName", 2)), Result::Accepted);
    ASSERT_EQ(type(cell("Weight", 3), "3"), Result::Accepted);
    ui_.expectMsgBox(host::answer::OK, std::nullopt, host::mb::Information);
    std::string text;
    expectResult(&text);
    session_->user().pressKey("{F7}");
    ui_.verifyAllConsumed();
    EXPECT_EQ(text, GetMessage(87));
    const std::string error = ui_.shown().at(ui_.shown().size() - 2).text;
    EXPECT_NE(error.find("The field Product cannot contain a Null value"), std::string::npos) << error;
    EXPECT_EQ(error.find("Products."), std::string::npos) << error;
    EXPECT_EQ(product("ProductName", 1), "First");
    EXPECT_EQ(product("ProductName", 2), "Green tea");
    EXPECT_EQ(product("Weight", 3), "0.8");  // later rows wait for the next write
    EXPECT_EQ(form().RowChanged().at(0), "0");
    EXPECT_EQ(form().RowChanged().at(1), "1");
    EXPECT_EQ(form().RowChanged().at(2), "1");
    EXPECT_EQ(cell("ProductName", 2)->Interior()->Color().toLong(), edited());
    EXPECT_EQ(session_->app().Selection()->Address(), cell("ProductName", 2)->Address());
    EXPECT_EQ(session_->app().keyBinding("{F7}"), Variant("ThisWorkbook.WriteData"));
}

TEST_F(WriteBackTest, ARowGoneFromTheDatabaseIsReportedAndKept) {
    ASSERT_EQ(type(cell("ProductName", 1), "Espresso"), Result::Accepted);
    ASSERT_EQ(type(cell("ProductName", 3), "Spelt loaf"), Result::Accepted);
    ASSERT_EQ(type(cell("ProductName", 4), "Old gouda"), Result::Accepted);
    execute("DELETE FROM OrderLines WHERE ProductID = 3");
    execute("DELETE FROM Products WHERE ProductID = 3");
    ui_.expectMsgBox(host::answer::OK, std::string("rows 4."), host::mb::Exclamation);
    std::string text;
    expectResult(&text);
    session_->user().pressKey("{F7}");
    ui_.verifyAllConsumed();
    // The rows before and after it are written; the count leaves the lost row out.
    EXPECT_EQ(text, GetMessage(88));
    EXPECT_EQ(product("ProductName", 1), "Espresso");
    EXPECT_EQ(product("ProductName", 4), "Old gouda");
    // Not reloaded: the lost row keeps what was typed, its flag and its colour.
    EXPECT_EQ(cell("ProductName", 3)->Value().text(), "Spelt loaf");
    EXPECT_EQ(form().RowChanged().at(2), "1");
    EXPECT_EQ(form().RowChanged().at(0), "0");
    EXPECT_EQ(cell("ProductName", 3)->Interior()->Color().toLong(), edited());
    // The written rows no longer look unwritten.
    EXPECT_EQ(cell("ProductName", 1)->Interior()->Color().toLong(), normal());
    EXPECT_EQ(cell("ProductName", 4)->Interior()->Color().toLong(), normal());
    EXPECT_EQ(session_->app().keyBinding("{F7}"), Variant("ThisWorkbook.WriteData"));
    EXPECT_TRUE(sheet()->ProtectContents());
}

TEST_F(WriteBackTest, ARowBelowTheLoadedOnesIsInserted) {
    // A fifth row as the add-row command leaves it: one more grid row, its cells open.
    matrix().SetRowCount(5);
    sheet()->Unprotect(clsAux::ProtectionPassword());
    cell("ProductName", 5)->SetLocked(false);
    cell("Weight", 5)->SetLocked(false);
    sheet()->Protect(clsAux::ProtectionPassword());
    ASSERT_EQ(type(cell("ProductName", 5), "Rooibos"), Result::Accepted);
    ASSERT_EQ(type(cell("Weight", 5), "0.2"), Result::Accepted);
    ASSERT_EQ(form().RowChanged().at(4), "1");
    form().SetEditedColour(edited());
    EXPECT_EQ(form().BuildInsertStatement(form().WritableColumns(), 5),
              "Insert Into [Products] ([ProductName], [Weight]) Values ('Rooibos', 0.2)");
    std::string text;
    expectResult(&text);
    session_->user().pressKey("{F7}");
    ui_.verifyAllConsumed();
    EXPECT_EQ(text, GetMessage(87));
    EXPECT_EQ(fileValue(path_, "SELECT Weight FROM Products WHERE ProductName = 'Rooibos'"), "0.2");
    EXPECT_EQ(fileValue(path_, "SELECT COUNT(*) FROM Products"), "5");
    // After the reload the row is a loaded one, keyed by its new number.
    EXPECT_EQ(matrix().LoadedRowCount(), 5);
    EXPECT_FALSE(form().HasChanges());
}

TEST_F(WriteBackTest, ErrorTextsNameTheColumnByItsCaption) {
    std::string text = "The field Products.UnitPrice is wrong; UnitPrice must be positive.";
    form().LocateErrorCell(2, text);
    EXPECT_EQ(text, "The field Price is wrong; Price must be positive.");
    EXPECT_EQ(session_->app().Selection()->Address(), cell("UnitPrice", 2)->Address());
    // A column that does not exist: the qualifier goes, the name stays.
    text = "Bad value in PRODUCTS.Nothing here";
    form().LocateErrorCell(1, text);
    EXPECT_EQ(text, "Bad value in Nothing here");
    // Without the table's name the text is left alone.
    text = "Syntax error. Near Orders.x";
    form().LocateErrorCell(1, text);
    EXPECT_EQ(text, "Syntax error. Near Orders.x");
}

}  // namespace dalvera::testing
