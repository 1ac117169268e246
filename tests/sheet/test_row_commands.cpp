// F6 adds a row, F8 deletes the selected rows, F9 reloads: driven by keys as a
// person would, with the database file checked behind the add-in's back.
#include <sqlite3.h>

#include <cmath>
#include <ctime>
#include <regex>

#include "TableSheetFixture.h"
#include "runtime/DateSerial.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {

namespace {
// The first column of every row a query gives, read straight from the file.
std::vector<std::string> fileColumn(const std::string& path, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        ADD_FAILURE() << "cannot open " << path;
        return out;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db) << " in " << sql;
    } else {
        while (sqlite3_step(st) == SQLITE_ROW) {
            auto text = sqlite3_column_text(st, 0);
            out.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

using Texts = std::vector<std::string>;
}  // namespace

class RowCommandsTest : public TableSheetTest {
protected:
    // Opens a fresh copy of the sample and remembers where it lies.
    void openCopy() {
        path_ = sampleCopy();
        openSample(path_);
    }
    Texts ids(const std::string& table, const std::string& key) {
        return fileColumn(path_, "SELECT " + key + " FROM " + table + " ORDER BY " + key);
    }
    bool press(const std::string& key) { return session_->user().pressKey(key); }
    bool select(const host::RangePtr& range) { return session_->user().select(range); }
    // The optional count notice after a delete.
    void expectCount(std::string* text) { expectHint(text); }
    // Customers 4 to 7 added behind the add-in's back; nothing refers to them.
    void addCustomers() {
        for (const char* name : {"Dune Traders", "Polder Dairy", "Tulip Tea", "Canal Cakes"})
            execute(std::string("INSERT INTO Customers (CompanyName) VALUES ('") + name + "')");
    }
    double clock() {
        std::time_t t = std::time(nullptr);
        std::tm l{};
        localtime_r(&t, &l);
        return dateSerial(l.tm_year + 1900, l.tm_mon + 1, l.tm_mday, l.tm_hour, l.tm_min, l.tm_sec);
    }

    std::string path_;
};

// --- F6 -------------------------------------------------------------------------

TEST_F(RowCommandsTest, F6OnAFilledTableAddsARowReadyForInput) {
    openCopy();
    clickTable("Products");
    // Something a person keeps under the grid must move down, not be overwritten.
    sheet()->Unprotect(clsAux::ProtectionPassword());
    sheet()->Range("A8")->SetValue(Variant("note"));
    form().ProtectSheet();

    ASSERT_TRUE(press("{F6}"));
    EXPECT_EQ(matrix().RowCount(), 5);
    EXPECT_EQ(matrix().LoadedRowCount(), 4);
    EXPECT_EQ(matrix().DataRange()->RowsCount(), 6);
    EXPECT_EQ(sheet()->Range("A9")->Value().text(), "note");
    EXPECT_TRUE(sheet()->Range("A8")->Value().isEmpty());

    // Defaults: constants, the clock, a fresh GUID; the key column stays locked.
    EXPECT_DOUBLE_EQ(cell("TaxRate", 5)->Value().toDouble(), 0.21);
    EXPECT_EQ(cell("UnitsInStock", 5)->Value().toDouble(), 0);
    EXPECT_EQ(cell("Discontinued", 5)->Value(), Variant(false));
    ASSERT_TRUE(cell("AddedOn", 5)->Value().isDate());
    EXPECT_LT(std::fabs(cell("AddedOn", 5)->Value().toDateSerial() - clock()), 2.0 / 1440);
    EXPECT_TRUE(std::regex_match(cell("ProductCode", 5)->Value().text(), std::regex(R"(\{[0-9A-Fa-f-]{36}\})")));
    EXPECT_NE(cell("ProductCode", 5)->Value().text(), cell("ProductCode", 1)->Value().text());
    EXPECT_EQ(cell("ProductID", 5)->Locked(), Variant(true));
    EXPECT_EQ(cell("ProductName", 5)->Locked(), Variant(false));
    // The list of the foreign key is copied from the row above.
    auto above = cell("CategoryID", 4)->Validation();
    auto added = cell("CategoryID", 5)->Validation();
    EXPECT_EQ(added->Type(), host::xl::ValidateList);
    EXPECT_EQ(added->Formula1(), above->Formula1());

    // Input starts in the first editable cell; defaults alone are no change.
    EXPECT_EQ(session_->app().Selection()->Address(), cell("ProductName", 5)->Address());
    EXPECT_FALSE(form().HasChanges());
    EXPECT_GE(form().RowChanged().size(), 6u);
    EXPECT_TRUE(sheet()->ProtectContents());
    EXPECT_TRUE(session_->app().EnableEvents());
    EXPECT_TRUE(session_->app().ScreenUpdating());
    EXPECT_EQ(ui_.shown().size(), 0u);

    // The new row takes typing and is then flagged like any edit.
    EXPECT_EQ(type(cell("ProductName", 5), "Rye bread"), Result::Accepted);
    EXPECT_EQ(form().RowChanged().at(4), "1");
    EXPECT_EQ(Texts{"4"}, fileColumn(path_, "SELECT COUNT(*) FROM Products"));
}

TEST_F(RowCommandsTest, F6OnAnEmptyTableStartsUnderTheHeader) {
    openCopy();
    execute("DELETE FROM OrderLines");
    clickTable("OrderLines");
    ASSERT_EQ(matrix().RowCount(), 0);
    // Delete is offered only once there is a row.
    EXPECT_EQ(session_->app().keyBinding("{F8}"), Variant(""));

    ASSERT_TRUE(press("{F6}"));
    EXPECT_EQ(matrix().RowCount(), 1);
    EXPECT_EQ(cell("ProductID", 1)->Row(), 2);
    EXPECT_EQ(cell("Quantity", 1)->Value().toDouble(), 1);
    EXPECT_EQ(matrix().Fields().Item("Quantity")->Cell()->Font()->Bold(), Variant(true));
    EXPECT_EQ(cell("Quantity", 1)->Font()->Bold(), Variant(false));
    // No row above to copy from: the list of the foreign key is made here.
    EXPECT_EQ(cell("ProductID", 1)->Validation()->Type(), host::xl::ValidateList);
    EXPECT_FALSE(cell("ProductID", 1)->Validation()->Formula1().empty());
    EXPECT_EQ(session_->app().keyBinding("{F8}"), Variant("ThisWorkbook.DeleteRows"));
    EXPECT_TRUE(goApplication->Menu().FindControlByTag(tag::RowDelete)->Enabled());

    // A second F6 appends below the first.
    ASSERT_TRUE(press("{F6}"));
    EXPECT_EQ(cell("ProductID", 2)->Row(), 3);
    EXPECT_EQ(cell("ProductID", 2)->Validation()->Type(), host::xl::ValidateList);
}

// --- F8 -------------------------------------------------------------------------

TEST_F(RowCommandsTest, F8DeletesTheSelectedRecordsAfterAsking) {
    openCopy();
    addCustomers();
    clickTable("Customers");
    ASSERT_EQ(matrix().RowCount(), 7);
    ASSERT_TRUE(select(sheet()->Range("B5:D7")));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(77, Variant(3)), host::mb::Question, host::mb::YesNo);
    std::string notice;
    expectCount(&notice);
    ASSERT_TRUE(press("{F8}"));

    EXPECT_EQ(ui_.last(PromptKind::MsgBox)->text, GetMessage(77, Variant(3)));
    EXPECT_EQ(notice, GetMessage(79, Variant(3)));
    EXPECT_EQ((Texts{"1", "2", "3", "7"}), ids("Customers", "CustomerID"));
    // The sheet is reloaded from the file.
    EXPECT_EQ(matrix().RowCount(), 4);
    EXPECT_EQ(cell("CompanyName", 4)->Value().text(), "Canal Cakes");
    EXPECT_TRUE(sheet()->ProtectContents());
}

TEST_F(RowCommandsTest, F8OnOneRecordWithPendingEditsWarnsAndNoKeepsEverything) {
    openCopy();
    clickTable("Customers");
    EXPECT_EQ(type(cell("ContactName", 1), "Bram"), Result::Accepted);
    ASSERT_TRUE(select(cell("Phone", 3)));
    ui_.expectMsgBox(host::answer::No, GetMessage(16) + GetMessage(76), host::mb::Question, host::mb::YesNo);
    std::string notice;
    expectCount(&notice);
    ASSERT_TRUE(press("{F8}"));

    EXPECT_EQ(ui_.last(PromptKind::MsgBox)->text, GetMessage(16) + GetMessage(76));
    EXPECT_EQ(notice, GetMessage(79, Variant(0)));
    EXPECT_EQ((Texts{"1", "2", "3"}), ids("Customers", "CustomerID"));
    EXPECT_TRUE(form().HasChanges());
    EXPECT_EQ(cell("ContactName", 1)->Value().text(), "Bram");

    // Yes on a single record: its own question, its own notice.
    ui_.expectMsgBox(host::answer::Yes, GetMessage(16) + GetMessage(76));
    expectCount(&notice);
    ASSERT_TRUE(press("{F8}"));
    EXPECT_EQ(notice, GetMessage(78));
    EXPECT_EQ((Texts{"1", "2"}), ids("Customers", "CustomerID"));
}

TEST_F(RowCommandsTest, F8RefusesSelectionsItCannotDeleteByKey) {
    openCopy();
    clickTable("Customers");
    std::string notice;

    // Two separate blocks.
    auto blocks = session_->app().Union(sheet()->Range("B2:B2"), sheet()->Range("B4:C4"));
    ASSERT_TRUE(select(blocks));
    ui_.expectMsgBox(host::answer::OK, GetMessage(73), host::mb::Information);
    expectCount(&notice);
    ASSERT_TRUE(press("{F8}"));
    EXPECT_EQ(notice, GetMessage(79, Variant(0)));

    // A row added on the sheet and not yet written.
    ASSERT_TRUE(press("{F6}"));
    EXPECT_EQ(type(cell("CompanyName", 4), "Dune Traders"), Result::Accepted);
    ASSERT_TRUE(select(sheet()->Range("B3:B5")));
    ui_.expectMsgBox(host::answer::OK, GetMessage(74), host::mb::Information);
    expectCount(&notice);
    ASSERT_TRUE(press("{F8}"));
    EXPECT_EQ(notice, GetMessage(79, Variant(0)));
    EXPECT_EQ((Texts{"1", "2", "3"}), ids("Customers", "CustomerID"));
    EXPECT_EQ(matrix().RowCount(), 4);
    EXPECT_TRUE(form().HasChanges());
}

TEST_F(RowCommandsTest, F8WithTheNoticeSwitchedOffShowsOnlyTheQuestion) {
    openCopy();
    clickTable("Customers");
    goApplication->Aux().WriteSetting(1, setting::ShowDeletedRecords, Variant("False"));
    ASSERT_TRUE(select(cell("CompanyName", 3)));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(76));
    ASSERT_TRUE(press("{F8}"));
    EXPECT_EQ(ui_.count(PromptKind::Form), 0u);
    EXPECT_EQ((Texts{"1", "2"}), ids("Customers", "CustomerID"));
}

TEST_F(RowCommandsTest, F8ReportsRecordsSomeoneElseDeletedAndReloads) {
    openCopy();
    addCustomers();
    clickTable("Customers");
    execute("DELETE FROM Customers WHERE CustomerID = 5");
    ASSERT_TRUE(select(sheet()->Range("B5:B6")));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(77, Variant(2)));
    ui_.expectMsgBox(host::answer::OK, std::nullopt, host::mb::Exclamation);
    std::string notice;
    expectCount(&notice);
    ASSERT_TRUE(press("{F8}"));

    const std::string report = ui_.last(PromptKind::MsgBox)->text;
    EXPECT_EQ(report, GetMessage(220, Variant(1L), Variant("\rCustomerID = 5")));
    EXPECT_EQ(notice, GetMessage(78));
    EXPECT_EQ((Texts{"1", "2", "3", "6", "7"}), ids("Customers", "CustomerID"));
    EXPECT_EQ(matrix().RowCount(), 5);
}

TEST_F(RowCommandsTest, F8StoppedByTheDatabaseKeepsWhatWasDeletedAndReloads) {
    openCopy();
    addCustomers();
    execute("INSERT INTO Orders (OrderYear, OrderNo, CustomerID) VALUES (2025, 2, 5)");
    clickTable("Customers");
    // Customer 4 goes; customer 5 still has an order.
    ASSERT_TRUE(select(sheet()->Range("C5:C6")));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(77, Variant(2)));
    ui_.expectMsgBox(host::answer::OK, std::nullopt, host::mb::Information);
    std::string notice;
    expectCount(&notice);
    ASSERT_TRUE(press("{F8}"));

    EXPECT_EQ(notice, GetMessage(78));
    EXPECT_EQ((Texts{"1", "2", "3", "5", "6", "7"}), ids("Customers", "CustomerID"));
    // The deleted record is no longer shown.
    EXPECT_EQ(matrix().RowCount(), 6);
    EXPECT_EQ(cell("CompanyName", 4)->Value().text(), "Polder Dairy");
}

TEST_F(RowCommandsTest, F8DeletesByEveryKeyFieldOfACompoundKey) {
    openCopy();
    clickTable("OrderLines");
    // Row 2 is (2024, 1, 2); rows sharing part of its key stay.
    ASSERT_TRUE(select(cell("Quantity", 2)));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(76));
    expectCount(nullptr);
    ASSERT_TRUE(press("{F8}"));
    EXPECT_EQ((Texts{"2024-1-1", "2024-2-1", "2025-1-1"}),
              fileColumn(path_, "SELECT OrderYear || '-' || OrderNo || '-' || LineNo FROM OrderLines "
                                "ORDER BY OrderYear, OrderNo, LineNo"));
}

// --- F9 -------------------------------------------------------------------------

TEST_F(RowCommandsTest, F9AsksBeforeDiscardingEdits) {
    openCopy();
    clickTable("Customers");
    clsAux& aux = goApplication->Aux();
    EXPECT_EQ(type(cell("ContactName", 2), "Bram"), Result::Accepted);
    ASSERT_TRUE(press("{F6}"));
    EXPECT_EQ(type(cell("CompanyName", 4), "Dune Traders"), Result::Accepted);

    ui_.expectMsgBox(host::answer::No, GetMessage(21), host::mb::Question, host::mb::YesNo);
    ASSERT_TRUE(press("{F9}"));
    EXPECT_EQ(matrix().RowCount(), 4);
    EXPECT_EQ(form().RowChanged().at(1), "1");
    EXPECT_EQ(form().RowChanged().at(3), "1");
    EXPECT_EQ(cell("ContactName", 2)->Value().text(), "Bram");
    EXPECT_EQ(cell("ContactName", 2)->Interior()->Color().toLong(), aux.SettingColor(setting::ColorMatrixBackEdited));
    EXPECT_EQ(cell("CompanyName", 4)->Value().text(), "Dune Traders");

    ui_.expectMsgBox(host::answer::Yes, GetMessage(21));
    ASSERT_TRUE(press("{F9}"));
    EXPECT_EQ(matrix().RowCount(), 3);
    EXPECT_FALSE(form().HasChanges());
    EXPECT_EQ(cell("ContactName", 2)->Value().text(), "Piet Jansen");
    EXPECT_EQ(cell("ContactName", 2)->Interior()->Color().toLong(), aux.SettingColor(setting::ColorMatrixBack));
}

TEST_F(RowCommandsTest, F9WithoutEditsReloadsAtOnce) {
    openCopy();
    clickTable("Customers");
    execute("INSERT INTO Customers (CompanyName) VALUES ('Dune Traders')");
    ASSERT_TRUE(press("{F9}"));
    EXPECT_EQ(ui_.count(PromptKind::MsgBox), 0u);
    EXPECT_EQ(matrix().RowCount(), 4);
    EXPECT_EQ(cell("CompanyName", 4)->Value().text(), "Dune Traders");
    EXPECT_TRUE(sheet()->ProtectContents());
}

// --- without a primary key ------------------------------------------------------

TEST_F(RowCommandsTest, ATableWithoutPrimaryKeyTakesNoRowCommands) {
    openCopy();
    expectHint();  // the read-only notice
    clickTable("PriceHistory");
    ui_.clearShown();
    const long rows = matrix().RowCount();
    EXPECT_FALSE(press("{F6}"));
    EXPECT_FALSE(press("{F8}"));
    EXPECT_FALSE(goApplication->Menu().FindControlByTag(tag::RowAdd)->Enabled());
    // Reached another way, the commands still leave the read-only sheet alone.
    form().AddRow();
    EXPECT_EQ(matrix().RowCount(), rows);
    EXPECT_EQ(ui_.shown().size(), 0u);
    EXPECT_EQ(Texts{"1"}, fileColumn(path_, "SELECT COUNT(*) FROM PriceHistory"));
}

}  // namespace dalvera::testing
