// Running SQL as a person does: typed statements, stored queries with their
// parameter prompts, the questions each kind of statement asks, result sheets,
// and what the database file holds afterwards.
#include "data/clsDSAccess.h"
#include "sheet/FileDb.h"
#include "sheet/TableSheetFixture.h"
#include "sql/clsCommand.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {
namespace {

using Texts = std::vector<std::string>;

class RunSqlTest : public TableSheetTest {
protected:
    void open(int countryCode = 1) {
        path_ = sampleCopy();
        SessionOptions o;
        o.variant = 12;
        o.countryCode = countryCode;
        start(o);
        openAddinAcceptingHint();
        openThroughDialog(path_);
        ui_.clearShown();
    }
    clsCommand& runner() { return goApplication->Command(); }
    void clickExecuteSql() {
        auto control = goApplication->Toolbar().FindControlByTag(tag::ExecuteSql);
        ASSERT_NE(control, nullptr);
        session_->user().clickControl(control);
    }
    // Types the statement into the prompt of "Execute SQL statement".
    void typeSql(const std::string& sql) {
        ui_.expectInput(Variant(sql));
        clickExecuteSql();
    }
    void clickQuery(const std::string& name) {
        auto popup = goApplication->Toolbar().FindControlByTag(tag::Queries);
        ASSERT_NE(popup, nullptr);
        auto controls = popup->Controls();
        for (long i = 1; i <= controls->Count(); ++i)
            if (controls->Item(i)->Parameter() == name) {
                session_->user().clickControl(controls->Item(i));
                return;
            }
        FAIL() << "no button for " << name;
    }
    host::WorkbookPtr book() { return form().Sheet()->Parent(); }
    Texts sheetNames() {
        Texts names;
        auto sheets = book()->Worksheets();
        for (long i = 1; i <= sheets->Count(); ++i) names.push_back(sheets->Item(i)->Name());
        return names;
    }
    host::WorksheetPtr sheetNamed(const std::string& name) { return book()->Worksheets()->Item(name); }
    // The latest result sheet: each comes right after the table sheet.
    host::WorksheetPtr newestResult() { return book()->Worksheets()->Item(2L); }
    std::string file(const std::string& sql) { return FileDb(path_, true).value(sql); }
    bool connectionOpen() {
        auto* access = dynamic_cast<clsDSAccess*>(goApplication->DataSource().get());
        return access && access->AdoHelper().IsConnectionOpen();
    }
    std::string path_;
};

TEST_F(RunSqlTest, EachKindOfStatementAsksItsOwnQuestions) {
    open();
    EXPECT_EQ(goApplication->Aux().StatementFaceId("SELECT a INTO b FROM c"), 533);
    EXPECT_FALSE(clsCommand::IsSelectStatement("SELECT a INTO b FROM c"));
    EXPECT_TRUE(clsCommand::IsSelectStatement("TRANSFORM Sum(x) SELECT a FROM t GROUP BY a PIVOT b"));
    EXPECT_TRUE(clsCommand::IsSelectStatement("select 1 union select 2"));

    ui_.expectMsgBox(host::answer::Yes, GetMessage(48), host::mb::Question);
    EXPECT_TRUE(runner().ConfirmStatement("SELECT a INTO b FROM c"));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(44), host::mb::Question);
    ui_.expectMsgBox(host::answer::Yes, GetMessage(46), host::mb::Exclamation);
    EXPECT_TRUE(runner().ConfirmStatement("drop table t"));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(44), host::mb::Question);
    EXPECT_TRUE(runner().ConfirmStatement("DROP INDEX i ON t"));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(48), host::mb::Question);
    ui_.expectMsgBox(host::answer::Yes, GetMessage(51), host::mb::Exclamation);
    EXPECT_TRUE(runner().ConfirmStatement("DELETE FROM t"));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(48), host::mb::Question);
    EXPECT_TRUE(runner().ConfirmStatement("DELETE FROM t WHERE id=1"));
    EXPECT_TRUE(runner().ConfirmStatement("EXEC p"));  // asks nothing
    // No at any question stops the statement.
    ui_.expectMsgBox(host::answer::Yes, GetMessage(44));
    ui_.expectMsgBox(host::answer::No, GetMessage(46));
    EXPECT_FALSE(runner().ConfirmStatement("DROP TABLE Products"));
    ui_.expectMsgBox(host::answer::No, GetMessage(48));
    EXPECT_FALSE(runner().ConfirmStatement("UPDATE t SET a = 1"));
    ui_.verifyAllConsumed();
}

TEST_F(RunSqlTest, TypedSelectsLandOnResultSheetsNamedAfterTheStatement) {
    open();
    clickTable("Products");
    typeSql("SELECT c.CategoryName, p.ProductName FROM Categories AS c INNER JOIN Products AS p "
            "ON p.CategoryID = c.CategoryID WHERE p.AddedOn >= #1/1/2000# ORDER BY p.ProductName");
    ui_.verifyAllConsumed();
    host::WorksheetPtr result = sheetNamed(GetMessage(45));
    EXPECT_EQ(result->Cells(1, 1)->Value().text(), "CategoryName");
    EXPECT_EQ(result->Cells(2, 2)->Value().text(), "Aged gouda");
    EXPECT_EQ(result->Cells(5, 2)->Value().text(), "Sourdough loaf");
    EXPECT_TRUE(result->Cells(6, 2)->Value().isEmpty());
    // Right after the table sheet; a second run gets the next number.
    typeSql("SELECT COUNT(*) AS n FROM Products");
    EXPECT_EQ(sheetNames(), (Texts{form().Sheet()->Name(), GetMessage(45) + " (2)", GetMessage(45),
                                   book()->Worksheets()->Item(4L)->Name()}));
    EXPECT_EQ(sheetNamed(GetMessage(45) + " (2)")->Cells(2, 1)->Value().toLong(), 4);
    // Dates show as dates and amounts as money, not as the numbers they are stored as.
    typeSql("SELECT OrderDate, Freight FROM Orders WHERE OrderNo = 1 AND OrderYear = 2024");
    EXPECT_EQ(newestResult()->Cells(2, 1)->Text(), "20/1/2024 10:15:00");
    EXPECT_EQ(newestResult()->Cells(2, 2)->Text(), "$ 12.50 ");
    EXPECT_TRUE(book()->ProtectStructure());
    EXPECT_FALSE(connectionOpen());
}

TEST_F(RunSqlTest, ResultSheetNamesKeepToThirtyOneCharacters) {
    open();
    clickTable("Products");
    const std::string name(30, 'q');
    EXPECT_EQ(runner().ResultSheetName(name, false), "Query " + name.substr(0, 25));
    book()->Unprotect(clsAux::ProtectionPassword());
    book()->Worksheets()->Add()->SetName("Query " + name.substr(0, 25));
    const std::string second = runner().ResultSheetName(name, false);
    EXPECT_EQ(second, "Query " + name.substr(0, 21) + " (2)");
    EXPECT_EQ(second.size(), 31u);
    EXPECT_EQ(runner().ResultSheetName("Orders", true), "View Orders");
    EXPECT_TRUE(runner().SheetExists("query " + name.substr(0, 25)));  // in any case
}

TEST_F(RunSqlTest, AnActionStatementReportsWhatItDidAndTheFileHoldsIt) {
    open();
    clickTable("Products");
    ui_.expectInput(Variant("UPDATE Products SET UnitsInStock = 5 WHERE ProductID = 1"));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(48));
    std::string report;
    expectHint(&report);
    clickExecuteSql();
    ui_.verifyAllConsumed();
    EXPECT_EQ(report, GetMessage(35) + "\r" + GetMessage(36) + "\r" + GetMessage(41));
    EXPECT_EQ(file("SELECT UnitsInStock FROM Products WHERE ProductID = 1"), "5");
    EXPECT_TRUE(book()->ProtectStructure());

    // No to the question: nothing runs.
    ui_.expectInput(Variant("DELETE FROM PriceHistory"));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(48));
    ui_.expectMsgBox(host::answer::No, GetMessage(51));
    clickExecuteSql();
    ui_.verifyAllConsumed();
    EXPECT_NE(file("SELECT COUNT(*) FROM PriceHistory"), "0");
}

TEST_F(RunSqlTest, StoredQueriesRunFromTheirButtons) {
    open();
    clickTable("Products");
    const std::string before = file("SELECT group_concat(UnitPrice) FROM Products WHERE CategoryID = 1");
    const std::string count = file("SELECT COUNT(*) FROM Products WHERE CategoryID = 1");
    ui_.expectMsgBox(host::answer::Yes, GetMessage(48));
    std::string report;
    expectHint(&report);
    clickQuery("Raise prices of beverages");
    ui_.verifyAllConsumed();
    EXPECT_EQ(report, GetMessage(34, Variant("query")) + "\r" +
                          (count == "1" ? GetMessage(36) : GetMessage(37, Variant(std::stol(count)))) + "\r" +
                          GetMessage(41));
    EXPECT_NE(file("SELECT group_concat(UnitPrice) FROM Products WHERE CategoryID = 1"), before);

    clickQuery("Products by category");
    ui_.verifyAllConsumed();
    host::WorksheetPtr result = sheetNamed("Query Products by category");
    EXPECT_EQ(result->Cells(1, 2)->Value().text(), "ProductName");
    EXPECT_EQ(result->Cells(2, 1)->Value().text(), "Bakery");
}

TEST_F(RunSqlTest, ParameterQueriesPromptInOrderAndOnlyARealCancelCancels) {
    open();
    clickTable("Products");
    ui_.expectInput(Variant("1/15/2024"));
    ui_.expectInput(Variant("Harbour Foods"));
    clickQuery("Orders since for customer");
    ui_.verifyAllConsumed();
    ASSERT_EQ(ui_.count(PromptKind::ApplicationInputBox), 2u);
    EXPECT_NE(ui_.shown()[0].text.find("Start date"), std::string::npos);
    EXPECT_NE(ui_.shown()[0].text.find(GetMessage(112)), std::string::npos);
    EXPECT_NE(ui_.shown()[1].text.find(GetMessage(114)), std::string::npos);
    host::WorksheetPtr result = sheetNamed("Query Orders since for customer");
    EXPECT_EQ(result->Cells(2, 4)->Value().text(), "Harbour Foods");

    // A typed "false" is a text to look for, not a Cancel: the query runs and finds nothing.
    ui_.clearShown();
    ui_.expectInput(Variant("2024-01-01"));
    ui_.expectInput(Variant("false"));
    clickQuery("Orders since for customer");
    ui_.verifyAllConsumed();
    host::WorksheetPtr none = newestResult();
    EXPECT_EQ(none->Name(), "Query Orders since for cust (2)");
    EXPECT_EQ(none->Cells(1, 4)->Value().text(), "CompanyName");
    EXPECT_TRUE(none->Cells(2, 1)->Value().isEmpty());

    // Cancel at the first prompt ends the run silently; nothing is shown or run.
    const size_t sheets = sheetNames().size();
    ui_.expectInputCancel();
    clickQuery("Orders since for customer");
    ui_.verifyAllConsumed();
    EXPECT_EQ(sheetNames().size(), sheets);
    EXPECT_FALSE(connectionOpen());
}

TEST_F(RunSqlTest, ADateParameterIsReadAsThePersonWritesDatesAndAskedAgainWhenUnreadable) {
    open(31);
    clickTable("Products");
    ui_.expectInput(Variant("2-1-2025"));  // day first in Dutch: 2 January, not 1 February
    ui_.expectInput(Variant("Harbour Foods"));
    clickQuery("Orders since for customer");
    ui_.verifyAllConsumed();
    // That customer's orders are of 20 January 2024 and 3 January 2025.
    host::WorksheetPtr late = sheetNamed("Query Orders since for customer");
    EXPECT_EQ(late->Cells(2, 1)->Value().toLong(), 2025);
    EXPECT_TRUE(late->Cells(3, 1)->Value().isEmpty());

    ui_.clearShown();
    ui_.expectInput(Variant("de twintigste"));
    ui_.expectInput(Variant("20-1-2024"));
    ui_.expectInput(Variant("Harbour Foods"));
    clickQuery("Orders since for customer");
    ui_.verifyAllConsumed();
    ASSERT_EQ(ui_.count(PromptKind::ApplicationInputBox), 3u);
    EXPECT_NE(ui_.shown()[1].text.find(GetMessage(112)), ui_.shown()[1].text.rfind(GetMessage(112)));
    host::WorksheetPtr both = newestResult();
    EXPECT_EQ(both->Cells(2, 4)->Value().text(), "Harbour Foods");
    EXPECT_EQ(both->Cells(3, 1)->Value().toLong(), 2025);
}

TEST_F(RunSqlTest, AFailingStatementLeavesNoSheetNoOpenConnectionAndAProtectedWorkbook) {
    open();
    clickTable("Products");
    const Texts before = sheetNames();
    const std::string bad = "SELECT FROM WHERE Products";
    ui_.expectInput(Variant(bad));
    ui_.expectMsgBox(host::answer::OK, std::nullopt, host::mb::Information);
    clickExecuteSql();
    ui_.verifyAllConsumed();
    const std::string text = ui_.lastMessage();
    EXPECT_EQ(text.find(GetMessage(7) + " MS Access:\r"), 0u) << text;
    EXPECT_NE(text.find("\r\rSQL: " + bad + "\r"), std::string::npos) << text;
    EXPECT_EQ(sheetNames(), before);
    EXPECT_TRUE(book()->ProtectStructure());
    EXPECT_FALSE(connectionOpen());

    // A statement the file refuses: its own message, the statement named, nothing changed.
    ui_.expectInput(Variant("UPDATE Products SET UnitsInStock = 99999"));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(48));
    ui_.expectMsgBox(host::answer::OK, std::nullopt, host::mb::Information);
    clickExecuteSql();
    ui_.verifyAllConsumed();
    EXPECT_NE(ui_.lastMessage().find("99999"), std::string::npos);
    EXPECT_EQ(file("SELECT MAX(UnitsInStock) FROM Products"), "120");
    EXPECT_TRUE(book()->ProtectStructure());
    EXPECT_FALSE(connectionOpen());
}

}  // namespace
}  // namespace dalvera::testing

#include <malloc.h>
#include <unistd.h>

#include <fstream>

namespace dalvera::testing {
namespace {

// What the process holds, with what the allocator keeps in reserve given back.
long residentBytes() {
    ::malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

TEST_F(RunSqlTest, ALargeResultIsAskedAboutBeforeItsRowsAreFetched) {
    open();
    constexpr long kRows = 200000;
    execute("CREATE TABLE Bulky (ID LONG CONSTRAINT PK_Bulky PRIMARY KEY, Note MEMO)");
    FileDb(path_).exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                       std::to_string(kRows) + ") INSERT INTO Bulky SELECT i, printf('%300d', i) FROM n");
    const Texts before = sheetNames();

    // No: the rows (60 MB of text) were not fetched while the question waited, and no sheet was made.
    const long before0 = residentBytes();
    long whileAsked = 0;
    ui_.expectInput(Variant("SELECT * FROM Bulky;"));
    ui_.expectMsgBox(host::answer::No, GetMessage(32)).whenShown([&] { whileAsked = residentBytes(); });
    clickExecuteSql();
    ui_.verifyAllConsumed();
    EXPECT_LT(whileAsked - before0, 30L << 20);
    EXPECT_EQ(sheetNames(), before);
    EXPECT_FALSE(connectionOpen());

    // Yes: every row lands on the result sheet, and nobody is asked twice.
    ui_.expectInput(Variant("SELECT * FROM Bulky"));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(32));
    clickExecuteSql();
    ui_.verifyAllConsumed();
    ASSERT_EQ(sheetNames().size(), before.size() + 1);
    EXPECT_EQ(newestResult()->Cells(kRows + 1, 1)->Value().toLong(), kRows);
    EXPECT_TRUE(newestResult()->Cells(kRows + 2, 1)->Value().isEmpty());

    // A small result asks nothing; a statement that cannot be counted first is asked about after it ran.
    typeSql("SELECT * FROM Bulky WHERE ID < 5");
    ui_.verifyAllConsumed();
    EXPECT_EQ(newestResult()->UsedRange()->RowsCount(), 5);
    ui_.expectInput(Variant("TRANSFORM Count(ID) SELECT ID Mod 40000 AS k FROM Bulky GROUP BY ID Mod 40000 PIVOT ID Mod 3"));
    ui_.expectMsgBox(host::answer::No, GetMessage(32));
    clickExecuteSql();
    ui_.verifyAllConsumed();
    EXPECT_EQ(sheetNames().size(), before.size() + 2);
}

}  // namespace
}  // namespace dalvera::testing
