// Opening an .accdb through the dialog as a person does: told it is read-only,
// a table with its rules and the list its relationship gives, queries run or
// refused, then converted, and the copy takes an edit with F7; a file with a
// database password asks for it.
#include <sqlite3.h>

#include "platform/access/AccessFixture.h"
#include "platform/access/HeaderPassword.h"
#include "platform/access/Mirror.h"
#include "sheet/TableSheetFixture.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {
namespace {

using access::test::dataFile;
using access::test::fileBytes;
using access::test::run;
using access::test::splitOn;

class AccessScenario : public TableSheetTest {
protected:
    void SetUp() override {
        TableSheetTest::SetUp();
        DALVERA_NEED_ACCESS_FILES();
    }
    std::string copyIn(const std::string& name) {
        std::string to = dir_ + "/" + name;
        std::filesystem::copy_file(dataFile(name), to);
        std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        return to;
    }
    // Opens the file through the dialog; returns the read-only notice it gave.
    std::string openAccess(const std::string& path) {
        std::string notice;
        ui_.expectOpenFile(path);
        ui_.expectForm("frmMessage", [&](host::Form& f) {
            notice = f.control("lblText")->caption;
            click(f, "cmdOK");
        });
        expectHint();
        clickOpenDatabase();
        return notice;
    }
    void clickTool(const char* t) {
        auto control = goApplication->Toolbar().FindControlByTag(t);
        ASSERT_NE(control, nullptr);
        session_->user().clickControl(control);
    }
    void clickQuery(const std::string& name) {
        auto controls = goApplication->Toolbar().FindControlByTag(tag::Queries)->Controls();
        for (long i = 1; i <= controls->Count(); ++i)
            if (controls->Item(i)->Parameter() == name) return session_->user().clickControl(controls->Item(i));
        FAIL() << "no button for " << name;
    }
    // The first column of an mdb-export of the table.
    static std::vector<std::string> exportedColumn(const std::string& file, const std::string& table, size_t column) {
        std::vector<std::string> out;
        for (const auto& line : splitOn(run({"mdb-export", "-H", "-Q", file, table}), "\n"))
            if (!line.empty()) out.push_back(splitOn(line, ",").at(column));
        return out;
    }
    static std::string fileValue(const std::string& path, const std::string& sql) {
        access::test::Sqlite db(path);
        return db.scalar(sql);
    }
};

TEST_F(AccessScenario, AnAccdbOpensReadOnlyShowsItsRulesAndListsConvertsAndTheCopyTakesAnEdit) {
    const std::string path = copyIn("indexTestV2010.accdb");
    const std::string before = fileBytes(path);
    startAddin();
    EXPECT_EQ(openAccess(path), GetMessage(250, Variant(path)));
    EXPECT_EQ(captions(goApplication->Toolbar(), tag::Tables), (std::vector<std::string>{"Table1", "Table2", "Table3"}));

    // The table: its rows as mdb-export reads them, read-only, said once more for the sheet.
    std::string sheetNotice;
    ui_.expectForm("frmMessage", [&](host::Form& f) {
        sheetNotice = f.control("lblText")->caption;
        click(f, "cmdOK");
    });
    clickTable("Table1");
    EXPECT_EQ(sheetNotice, GetMessage(251, Variant("Table1")));
    const auto ids = exportedColumn(path, "Table1", 0);
    ASSERT_EQ(form().RowCount(), static_cast<long>(ids.size()));
    for (size_t k = 0; k < ids.size(); ++k) EXPECT_EQ(cell("id", static_cast<long>(k + 1))->Value().text(), ids[k]);
    EXPECT_EQ(sheet()->Range("A1")->Value().text(), "id");
    // The host's own refusal of a protected cell.
    ui_.expectMsgBox(host::answer::OK, std::string("protected sheet"));
    EXPECT_EQ(type(cell("data", 1), "typed"), Result::Refused);

    // Convert: the copy is written, said, and opened for editing.
    const std::string copy = dir_ + "/indexTest.sqlite";
    ui_.expectSaveAs(copy);
    ui_.expectMsgBox(host::answer::OK, GetMessage(258, Variant(copy), Variant(3L)));
    expectHint();
    clickTool(tag::ConvertDatabase);
    ui_.verifyAllConsumed();
    EXPECT_EQ(goApplication->DataSource()->Connector(), copy);
    EXPECT_FALSE(goApplication->DataSource()->IsReadOnly());

    clickTable("Table1");
    // Editable now: a whole-number rule on the key, and the list of Table2's keys on the field that refers to it.
    EXPECT_EQ(cell("id", 1)->Validation()->Type(), host::xl::ValidateWholeNumber);
    auto rule = cell("otherfk1", 1)->Validation();
    ASSERT_EQ(rule->Type(), host::xl::ValidateList);
    auto list = sheet()->Parent()->Names()->Item(rule->Formula1().substr(1))->RefersToRange()->Values();
    const auto table2 = exportedColumn(path, "Table2", 0);
    ASSERT_EQ(list.rows(), static_cast<long>(table2.size()));
    for (size_t k = 0; k < table2.size(); ++k) EXPECT_EQ(list(static_cast<long>(k + 1), 1).text(), table2[k]);
    ASSERT_EQ(type(cell("data", 1), "edited in the copy"), Result::Accepted);
    expectHint();
    EXPECT_TRUE(session_->user().pressKey("{F7}"));
    ui_.verifyAllConsumed();
    EXPECT_EQ(fileValue(copy, "SELECT data FROM Table1 WHERE id = " + ids[0]), "edited in the copy");
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(AccessScenario, SavedQueriesRunFromTheirButtonsAndActionQueriesAreRefused) {
    const std::string path = copyIn("queryTestV2010.accdb");
    const std::string before = fileBytes(path);
    startAddin();
    openAccess(path);
    // Listed as the design lists them: pass-through queries are left out.
    auto queries = captions(goApplication->Toolbar(), tag::Queries);
    EXPECT_EQ(std::count(queries.begin(), queries.end(), "PassthroughQuery"), 0);
    EXPECT_EQ(queries.size(), 8u);

    ui_.clearShown();
    clickQuery("SelectQuery");
    // A result sheet with the query's six columns.
    auto result = form().Sheet()->Parent()->Worksheets()->Item(2L);
    EXPECT_EQ(result->Name(), "Query SelectQuery");
    EXPECT_EQ(result->Range("F1")->Value().text(), "col3");

    // The parameter query changes the file: refused before anything is asked.
    ui_.expectMsgBox(host::answer::OK, GetMessage(252));
    clickQuery("UpdateQuery");
    ui_.expectInput(Variant("DELETE FROM Table1"));
    ui_.expectMsgBox(host::answer::OK, GetMessage(252));
    clickTool(tag::ExecuteSql);
    ui_.verifyAllConsumed();
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(AccessScenario, WhatCannotBeReadIsToldOnOpeningAndTheRestOpens) {
    // Attachments and multi-valued fields; a linked table whose file is not beside it.
    startAddin();
    std::string notice = openAccess(copyIn("complexDataTestV2010.accdb"));
    EXPECT_NE(notice.find(GetMessage(259)), std::string::npos) << notice;
    for (const char* field : {"attach-data", "multi-value-data"})
        EXPECT_NE(notice.find(GetMessage(260, Variant("Table1"), Variant(field))), std::string::npos) << notice;
    EXPECT_EQ(captions(goApplication->Toolbar(), tag::Tables), (std::vector<std::string>{"Table1"}));

    SetCountryCode(31);
    const std::string linker = copyIn("linkerTestV2007.accdb");
    notice = openAccess(linker);
    // The file the link names, as MSysObjects keeps it.
    std::string source;
    for (const auto& line : splitOn(run({"mdb-export", "-H", "-Q", "-d", "|", linker, "MSysObjects"}), "\n")) {
        auto f = splitOn(line, "|");
        if (f.size() > 10 && f[2] == "Table2") source = f[8];
    }
    ASSERT_FALSE(source.empty());
    EXPECT_NE(notice.find(GetMessage(261, Variant("Table2"), Variant(source))), std::string::npos) << notice;
    EXPECT_NE(notice.find("alleen-lezen"), std::string::npos) << notice;
    EXPECT_EQ(captions(goApplication->Toolbar(), tag::Tables), (std::vector<std::string>{"Table1"}));
}

TEST_F(AccessScenario, AFileThatMakesTheReaderLoopIsToldAsDamagedInDutchAndTheProgramGoesOn) {
    SKIP_WHERE_THE_HEAP_IS_SANITIZED();
    startAddin();
    SetCountryCode(31);
    access::setStallLimit(std::chrono::milliseconds(1500));
    // A byte of the catalogue that makes libmdb go round for ever.
    std::string bytes = fileBytes(dataFile("queryTestV2003.mdb"));
    bytes[32 * 4096 + 3869] = 47;
    const std::string path = dir_ + "/loops.mdb";
    std::ofstream(path, std::ios::binary) << bytes;
    ui_.expectOpenFile(path);
    const std::string message = GetMessage(266, Variant(path));
    ui_.expectMsgBox(host::answer::OK, message.substr(0, message.find('\r')));
    clickOpenDatabase();
    access::setStallLimit(std::chrono::milliseconds(20000));
    EXPECT_NE(ui_.lastMessage().find("beschadigd"), std::string::npos) << ui_.lastMessage();
    EXPECT_EQ(captions(goApplication->Toolbar(), tag::Tables), std::vector<std::string>{});
    EXPECT_EQ(fileBytes(path), bytes);
    // The next file opens as ever.
    openAccess(copyIn("queryTestV2003.mdb"));
    EXPECT_FALSE(captions(goApplication->Toolbar(), tag::Tables).empty());
}

TEST_F(AccessScenario, AnMdbWithAPasswordAsksForItRefusesAWrongOneAndOpensWithTheRightOne) {
    const std::string path = copyIn("testV2003.mdb");
    access::test::writePassword(path, u"Sesam");
    const std::string before = fileBytes(path);
    startAddin();
    ui_.expectOpenFile(path);
    ui_.expectForm("frmPassword", [](host::Form& f) {
        EXPECT_EQ(f.caption, GetCaption("frmPassword"));
        testing::type(f, "txtPassword", "sesam");
        click(f, "cmdOK");
    });
    const std::string wrong = GetMessage(267, Variant(path));
    ui_.expectMsgBox(host::answer::OK, wrong.substr(0, wrong.find('\r')), host::mb::Exclamation);
    ui_.expectForm("frmPassword", [](host::Form& f) {
        testing::type(f, "txtPassword", "Sesam");
        click(f, "cmdOK");
    });
    ui_.expectForm("frmMessage", [&](host::Form& f) { click(f, "cmdOK"); });
    expectHint();
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    EXPECT_NE(wrong.find("not correct"), std::string::npos) << wrong;
    ASSERT_EQ(goApplication->DataSource()->Connector(), path);
    auto tables = captions(goApplication->Toolbar(), tag::Tables);
    EXPECT_NE(std::find(tables.begin(), tables.end(), "Table1"), tables.end());

    ui_.expectForm("frmMessage", [&](host::Form& f) { click(f, "cmdOK"); });
    clickTable("Table1");
    const auto exported = exportedColumn(path, "Table1", 0);
    ASSERT_EQ(form().RowCount(), static_cast<long>(exported.size()));
    std::vector<std::string> shown;
    for (size_t k = 0; k < exported.size(); ++k) shown.push_back(cell("A", static_cast<long>(k + 1))->Value().text());
    auto sortedExport = exported;
    std::sort(shown.begin(), shown.end());
    std::sort(sortedExport.begin(), sortedExport.end());
    EXPECT_EQ(shown, sortedExport);
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(AccessScenario, AWrongPasswordIsToldInDutchAndCancelOpensNothing) {
    startAddin();
    openAccess(copyIn("testV1997.mdb"));
    auto previous = goApplication->DataSource();
    const auto previousTables = captions(goApplication->Toolbar(), tag::Tables);
    SetCountryCode(31);
    const std::string path = dir_ + "/geheim.mdb";
    std::filesystem::copy_file(dataFile("testV2003.mdb"), path);
    access::test::writePassword(path, u"Sesam");
    ui_.clearShown();
    ui_.expectOpenFile(path);
    ui_.expectForm("frmPassword", [](host::Form& f) {
        testing::type(f, "txtPassword", "fout");
        click(f, "cmdOK");
    });
    const std::string wrong = GetMessage(267, Variant(path));
    ui_.expectMsgBox(host::answer::OK, wrong.substr(0, wrong.find('\r')), host::mb::Exclamation);
    ui_.expectForm("frmPassword", [](host::Form& f) {
        testing::type(f, "txtPassword", "Sesam");
        click(f, "cmdCancel");
    });
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    EXPECT_NE(ui_.lastMessage().find("onjuist"), std::string::npos) << ui_.lastMessage();
    EXPECT_EQ(ui_.count(PromptKind::MsgBox), 1u);
    EXPECT_EQ(goApplication->DataSource(), previous);
    EXPECT_EQ(captions(goApplication->Toolbar(), tag::Tables), previousTables);
}

TEST_F(AccessScenario, AnAccdbThatIsEncryptedIsToldSoInDutchAndHowToProceed) {
    startAddin();
    SetCountryCode(31);
    // Its pages after the header scrambled, as a password's encryption leaves them.
    std::string bytes = fileBytes(dataFile("testV2010.accdb"));
    for (size_t k = 4096; k < bytes.size(); ++k) bytes[k] ^= static_cast<char>(0x5A + k % 7);
    const std::string path = dir_ + "/versleuteld.accdb";
    std::ofstream(path, std::ios::binary) << bytes;
    ui_.expectOpenFile(path);
    const std::string message = GetMessage(268, Variant(path));
    ui_.expectMsgBox(host::answer::OK, message.substr(0, message.find('\r')));
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    EXPECT_NE(ui_.lastMessage().find("wachtwoord versleuteld"), std::string::npos) << ui_.lastMessage();
    EXPECT_NE(ui_.lastMessage().find("verwijder daar het wachtwoord"), std::string::npos) << ui_.lastMessage();
    EXPECT_EQ(captions(goApplication->Toolbar(), tag::Tables), std::vector<std::string>{});
    EXPECT_EQ(fileBytes(path), bytes);
}

}  // namespace
}  // namespace dalvera::testing
