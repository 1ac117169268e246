// Saving the table workbook as a person does: Save As (F12) and Save (Ctrl+S)
// go through the host's save, the engine takes it over, asks, offers its
// formats and writes the chosen one; the files are read back here.
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TableSheetFixture.h"
#include "app/clsExcel.h"
#include "data/XlsReader.h"
#include "platform/xlsx/ZipEntries.h"

namespace dalvera::testing {

namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

std::string companyName(const std::string& db, int id) {
    sqlite3* h = nullptr;
    std::string out = "<none>";
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        const std::string sql = "SELECT CompanyName FROM Customers WHERE CustomerID = " + std::to_string(id);
        if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return out;
}

}  // namespace

class SaveTableWorkbookTest : public TableSheetTest {
protected:
    // The add-in of the variant with the sample open and its Customers shown.
    void showCustomers(int variant = 12) {
        startAddin(variant, variant % 10 == 1 ? "11.0" : "16.0");
        db_ = sampleCopy();
        openThroughDialog(db_);
        clickTable("Customers");
        ui_.verifyAllConsumed();
        ui_.clearShown();
        book_ = sheet()->Parent();
    }
    // Opens the sample again after a save let go of it.
    void showCustomersAgain() {
        openThroughDialog(db_);
        clickTable("Customers");
        ui_.verifyAllConsumed();
        ui_.clearShown();
        book_ = sheet()->Parent();
    }
    bool keyDoesSomething(const std::string& key) {
        Variant b = session_->app().keyBinding(key);
        return !b.isMissing() && !b.text().empty();
    }
    void expectDetached(const std::string& savedName) {
        EXPECT_EQ(form().Sheet(), nullptr);
        EXPECT_EQ(goApplication->DataSource(), nullptr);
        EXPECT_EQ(book_->Name(), savedName);
        EXPECT_EQ(session_->app().ActiveWorkbook(), book_) << "it stays open";
        // No command that needs a table sheet is left working, keys included.
        for (ICB* bar : std::initializer_list<ICB*>{&goApplication->Menu(), &goApplication->Toolbar()}) {
            EXPECT_FALSE(bar->FindControlByTag(tag::ExecuteSql)->Enabled());
            EXPECT_FALSE(bar->FindControlByTag(tag::Tables)->Enabled());
            EXPECT_FALSE(bar->FindControlByTag(tag::RowAdd)->Visible());
            EXPECT_FALSE(bar->FindControlByTag(tag::RefreshData)->Visible());
        }
        EXPECT_FALSE(goApplication->Menu().FindControlByTag(tag::CloseApplication)->Enabled());
        for (const char* key : {"{F6}", "{F7}", "{F8}", "{F9}"}) EXPECT_FALSE(keyDoesSomething(key)) << key;
        EXPECT_FALSE(session_->user().pressKey("{F9}"));
        EXPECT_TRUE(session_->app().EnableEvents());
    }
    std::string db_;
    host::WorkbookPtr book_;
};

TEST_F(SaveTableWorkbookTest, SaveAsWritesEveryFormatTheEngineOffersInOneDialog) {
    showCustomers(12);
    struct Case {
        const char* extension;
        std::function<void(const std::string& path)> check;
    };
    auto containsAll = [](const std::string& text, std::initializer_list<const char*> parts) {
        for (const char* p : parts) EXPECT_NE(text.find(p), std::string::npos) << p;
    };
    const std::vector<Case> cases = {
        {"xlsx",
         [](const std::string& path) {
             auto entries = platform::xlsx::test::readZipEntries(path);
             ASSERT_TRUE(entries.count("xl/workbook.xml")) << "not a workbook package";
             std::string all;
             for (const auto& [name, content] : entries) all += content;
             EXPECT_NE(all.find("Harbour Foods"), std::string::npos);
             EXPECT_NE(all.find("Old Mill Bakery"), std::string::npos);
         }},
        {"xls",
         [](const std::string& path) {
             XlsBook book = readXls(path);
             ASSERT_TRUE(book.ok) << "not a binary workbook";
             bool found = false;
             for (const auto& s : book.sheets)
                 for (const auto& [at, text] : s.cells) found = found || text == "Harbour Foods";
             EXPECT_TRUE(found);
         }},
        {"xml",
         [&](const std::string& path) {
             containsAll(fileText(path), {"urn:schemas-microsoft-com:office:spreadsheet", "Harbour Foods"});
         }},
        {"mht", [&](const std::string& path) { containsAll(fileText(path), {"MIME-Version", "Harbour Foods"}); }},
        {"htm", [&](const std::string& path) { containsAll(fileText(path), {"<table", "Harbour Foods"}); }},
        {"txt",
         [](const std::string& path) {
             auto l = lines(fileText(path));
             ASSERT_EQ(l.size(), 4u) << "a title row and the three customers";
             EXPECT_NE(l[0].find('\t'), std::string::npos);
             EXPECT_NE(l[1].find("Harbour Foods\t"), std::string::npos);
         }},
        {"csv",
         [](const std::string& path) {
             auto l = lines(fileText(path));
             ASSERT_EQ(l.size(), 4u) << "a title row and the three customers";
             EXPECT_NE(l[0].find(",Company,"), std::string::npos) << "the captions: " << l[0];
             EXPECT_NE(l[1].find(",Harbour Foods,"), std::string::npos) << l[1];
             EXPECT_NE(l[3].find(",Old Mill Bakery,"), std::string::npos) << l[3];
         }},
    };
    const std::string proposed = session_->app().DefaultFilePath() + "/" + GetProductName() + ".xlsx";
    bool first = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extension);
        if (!first) showCustomersAgain();
        first = false;
        const std::string path = dir_ + "/customers." + c.extension;
        ui_.expectMsgBox(host::answer::Yes, GetMessage(23), host::mb::Question, host::mb::YesNo);
        ui_.expectSaveAs(path);
        // The engine takes the save over: for the host that is a cancel, not a failure.
        EXPECT_FALSE(session_->user().saveAs(book_));
        ui_.verifyAllConsumed();
        EXPECT_EQ(ui_.count(PromptKind::SaveAs), 1u) << "one dialog";
        EXPECT_EQ(ui_.count(PromptKind::MsgBox), 1u) << ui_.lastMessage();
        const Shown* dialog = ui_.last(PromptKind::SaveAs);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->text, proposed);
        EXPECT_EQ(dialog->filter, goExcel->GetSaveAsFilter());
        ASSERT_TRUE(std::filesystem::exists(path));
        c.check(path);
        expectDetached(std::string("customers.") + c.extension);
    }
}

TEST_F(SaveTableWorkbookTest, TheMenuVariantProposesItsOwnNameAndSavesXlsWithCtrlS) {
    showCustomers(11);
    ASSERT_EQ(book_->Name(), GetProductName() + ".xls");
    const std::string tableSheet = sheet()->Name();
    const std::string path = dir_ + "/classic.xls";
    ui_.expectMsgBox(host::answer::Yes, GetMessage(23));
    ui_.expectSaveAs(path);
    EXPECT_FALSE(session_->user().save(book_));  // Ctrl+S: the workbook has a file, so no host dialog
    ui_.verifyAllConsumed();
    const Shown* dialog = ui_.last(PromptKind::SaveAs);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->text, session_->app().DefaultFilePath() + "/" + GetProductName() + ".xls");
    // Its own format first, and no newer one.
    EXPECT_EQ(dialog->filter, goExcel->GetSaveAsFilter());
    EXPECT_LT(dialog->filter.find("(*.xls),*.xls,"), dialog->filter.find("*.xml")) << dialog->filter;
    EXPECT_EQ(dialog->filter.find("xlsx"), std::string::npos) << dialog->filter;
    EXPECT_EQ(ui_.count(PromptKind::SaveAs), 1u);
    XlsBook written = readXls(path);
    ASSERT_TRUE(written.ok);
    EXPECT_EQ(written.sheets.front().name, tableSheet);
    EXPECT_NE(written.sheets.front().cells.size(), 0u);
    expectDetached("classic.xls");
    // An ordinary workbook now: Ctrl+S writes it again, in its format, asking nothing.
    std::filesystem::remove(path);
    EXPECT_TRUE(session_->user().save(book_));
    ui_.verifyAllConsumed();
    EXPECT_TRUE(readXls(path).ok);
}

TEST_F(SaveTableWorkbookTest, NoAndCancelLeaveTheTableSheetAndAreNoFailure) {
    showCustomers(12);
    ui_.expectMsgBox(host::answer::No, GetMessage(23));
    EXPECT_FALSE(session_->user().saveAs(book_));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(23));
    ui_.expectSaveAsCancel();
    EXPECT_FALSE(session_->user().saveAs(book_));
    ui_.verifyAllConsumed();
    // Two questions and one dialog; nothing reported as an error.
    EXPECT_EQ(ui_.count(PromptKind::MsgBox), 2u);
    EXPECT_EQ(ui_.lastMessage(), GetMessage(23));
    EXPECT_EQ(form().Sheet()->Parent(), book_);
    EXPECT_TRUE(sheet()->ProtectContents());
    EXPECT_TRUE(keyDoesSomething("{F9}"));
    EXPECT_TRUE(goApplication->Menu().FindControlByTag(tag::ExecuteSql)->Enabled());
    EXPECT_EQ(book_->Name(), GetProductName() + ".xlsx");
}

TEST_F(SaveTableWorkbookTest, AFailedSaveIsToldAndKeepsTheEditForF7) {
    showCustomers(12);
    auto name = cell("CompanyName", 1);
    ASSERT_EQ(type(name, "Harbour Foods BV"), Result::Accepted);
    ASSERT_TRUE(form().HasChanges());
    ui_.expectMsgBox(host::answer::Yes, GetMessage(19));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(23));
    ui_.expectSaveAs(dir_ + "/no such folder/customers.csv");
    ui_.expectMsgBox(host::answer::OK, std::nullopt, host::mb::Critical);
    session_->user().saveAs(book_);
    ui_.verifyAllConsumed();
    EXPECT_EQ(ui_.lastMessage().rfind("Unexpected error:", 0), 0u) << ui_.lastMessage();
    // Still the table sheet, protected, the edit still marked and written by F7.
    ASSERT_EQ(form().Sheet()->Parent(), book_);
    EXPECT_TRUE(sheet()->ProtectContents());
    EXPECT_TRUE(book_->ProtectStructure());
    EXPECT_TRUE(session_->app().ScreenUpdating());
    form().SetEditedColour(goApplication->Aux().SettingColor(setting::ColorMatrixBackEdited));
    EXPECT_TRUE(form().IsEditedCell(name));
    EXPECT_FALSE(form().IsEditedCell(cell("CompanyName", 2)));
    ui_.expectMsgBox(host::answer::OK);  // the host's refusal of a locked cell
    EXPECT_EQ(session_->user().typeText(cell("CustomerID", 1), "9"), Result::Refused) << "the key stays locked";
    ui_.verifyAllConsumed();
    expectHint();
    ASSERT_TRUE(session_->user().pressKey("{F7}"));
    EXPECT_EQ(companyName(db_, 1), "Harbour Foods BV");
}

TEST_F(SaveTableWorkbookTest, TheHostsOwnSaveAsProposesANameWithOneExtension) {
    showCustomers(12);
    auto& user = session_->user();
    const std::string filter = GetMessage(232) + GetMessage(233) + GetMessage(197) + GetMessage(198) +
                               GetMessage(199) + GetMessage(200) + GetMessage(201);
    auto book = session_->app().Workbooks().Add();
    const std::string home = session_->app().DefaultFilePath();
    auto proposal = user.suggestSaveName(book, filter);
    EXPECT_EQ(proposal.path, home + "/" + book->Name() + ".xlsx");
    EXPECT_EQ(proposal.filterIndex, 1);
    // A file of its own keeps its folder, name and format.
    const std::string csv = dir_ + "/list.csv";
    book->SaveAs(csv);
    proposal = user.suggestSaveName(book, filter);
    EXPECT_EQ(proposal.path, csv);
    EXPECT_EQ(proposal.filterIndex, 7);
    // Never an extension on top of one the filter does not offer.
    book->SaveAs(dir_ + "/page.mht");
    proposal = user.suggestSaveName(book, GetMessage(232) + GetMessage(201));
    EXPECT_EQ(proposal.path, dir_ + "/page.xlsx");
    // A dot in a name is not yet an extension.
    book->SaveAs(dir_ + "/report.v2.xlsx");
    EXPECT_EQ(user.suggestSaveName(book, filter).path, dir_ + "/report.v2.xlsx");

    // The dialog it shows offers the host's formats; the choice is written in that format.
    const std::string written = dir_ + "/copy.txt";
    ui_.expectSaveAs(written);
    EXPECT_TRUE(user.saveAs(book));
    ui_.verifyAllConsumed();
    EXPECT_EQ(ui_.last(PromptKind::SaveAs)->filter, filter);
    EXPECT_EQ(book->Name(), "copy.txt");
    EXPECT_TRUE(std::filesystem::exists(written));
    // The table workbook was not touched by any of it.
    EXPECT_EQ(form().Sheet()->Parent(), book_);
}

}  // namespace dalvera::testing
