// Opening a database as a person does: the file dialog, the password and logon
// dialogs, the object buttons of menu and toolbar, the table workbook.
#include <algorithm>
#include <filesystem>
#include <map>

#include "DataFixture.h"
#include "app/clsAux.h"
#include "data/clsDSAccess.h"
#include "data/frmLogon.h"
#include "platform/jet/Security.h"
#include "sheet/clsForm.h"

namespace dalvera::testing {

namespace {
const std::vector<std::string> kSampleTables = {"Categories", "Products",  "Customers",   "Employees",
                                                "Orders",     "OrderLines", "PriceHistory"};
const std::vector<std::string> kSampleQueries = {"Products by category", "Orders since for customer",
                                                 "Raise prices of beverages"};
const char* const kAccessTarget = "C:\\Program Files\\Microsoft Office\\Office16\\MSACCESS.EXE";

clsDSAccess& currentSource() { return dynamic_cast<clsDSAccess&>(*goApplication->DataSource()); }

// The names in the order the database's own catalogue reports them.
template <typename List>
std::vector<std::string> inCatalogueOrder(const List& list, const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const auto& item : list)
        if (std::find(names.begin(), names.end(), item->Name()) != names.end()) out.push_back(item->Name());
    EXPECT_EQ(out.size(), names.size());
    return out;
}
}  // namespace

TEST_F(DataTest, OpeningTheSampleFillsTablesAndQueriesOfMenuAndToolbar) {
    startAddin(12);
    std::string db = sampleCopy();
    auto catalogue = jet::daoProvider()->NewPrivateEngine()->Workspaces(0)->OpenDatabase(db);
    auto tables = inCatalogueOrder(catalogue->TableDefs(), kSampleTables);
    auto queries = inCatalogueOrder(catalogue->QueryDefs(), kSampleQueries);
    catalogue->Close();
    std::string hint;
    openThroughDialog(db, &hint);
    ui_.verifyAllConsumed();
    ASSERT_TRUE(goApplication->IsConnected());
    EXPECT_EQ(goApplication->DataSource()->Connector(), db);
    EXPECT_EQ(hint, GetMessage(25));

    for (ICB* bar : {&goApplication->MenuBar(), &goApplication->CommandBar()}) {
        // Hidden ones (x_ tables, ~ queries, the engine's own) are absent.
        EXPECT_EQ(captions(*bar, tag::Tables), tables);
        EXPECT_EQ(captions(*bar, tag::Queries), queries);
        auto popup = bar->FindControlByTag(tag::Tables);
        EXPECT_TRUE(popup->Enabled());
        auto first = popup->Controls()->Item(1);
        EXPECT_EQ(first->Type(), host::ctl::Button);
        EXPECT_EQ(first->Parameter(), tables[0]);
        EXPECT_EQ(first->FaceId(), 333);
        EXPECT_EQ(first->OnAction(), "ThisWorkbook.Show");

        // Icons by statement kind: select, parameter query, update.
        std::map<std::string, int> faces = {{"Products by category", 531},
                                            {"Orders since for customer", 628},
                                            {"Raise prices of beverages", 534}};
        auto buttons = bar->FindControlByTag(tag::Queries)->Controls();
        for (long i = 1; i <= buttons->Count(); ++i) {
            auto button = buttons->Item(i);
            SCOPED_TRACE(button->Caption());
            EXPECT_EQ(button->FaceId(), faces[button->Caption()]);
            EXPECT_EQ(button->Parameter(), button->Caption());
            EXPECT_EQ(button->OnAction(), "ThisWorkbook.ExecuteQuery");
            // On a ribbon host the tool tip shows the SQL.
            EXPECT_EQ(button->ToolTipText(), goApplication->DataSource()->Queries().Item(button->Caption())->SQL());
        }
    }
}

TEST_F(DataTest, TheTableWorkbookIsCreatedInTheTempFolderWithTwoProtectedSheets) {
    Session& s = startAddin(12);
    openThroughDialog(sampleCopy());
    ui_.verifyAllConsumed();
    std::string file = temp_ + "/" + GetProductName() + ".xlsx";
    EXPECT_TRUE(std::filesystem::exists(file)) << file;

    auto sheet = goApplication->Form().Sheet();
    ASSERT_NE(sheet, nullptr);
    auto book = sheet->Parent();
    EXPECT_EQ(book->FullName(), file);
    EXPECT_EQ(book->Worksheets()->Count(), 2);
    EXPECT_EQ(sheet->Name(), GetProductName());
    EXPECT_EQ(goApplication->Form().ListSheet()->Visible(), host::xl::SheetVeryHidden);
    EXPECT_TRUE(book->ProtectStructure());
    EXPECT_TRUE(sheet->ProtectContents());
    // Between commands no connection stays open.
    ASSERT_TRUE(goApplication->IsConnected());
    auto& source = currentSource();
    EXPECT_EQ(source.DbDAO(), nullptr);
    EXPECT_EQ(source.AdoHelper().Connection, nullptr);
    // The host is handed back as it was.
    EXPECT_TRUE(s.app().ScreenUpdating());
    EXPECT_TRUE(s.app().EnableEvents());
    EXPECT_EQ(s.app().StatusBar().text(), GetMessage(6));
}

TEST_F(DataTest, ASecondDatabaseReplacesTheButtonsOfTheFirst) {
    startAddin(12);
    openThroughDialog(sampleCopy());
    std::string other;
    makeDatabase("other.sqlite", {"CREATE TABLE Alpha (Id COUNTER PRIMARY KEY, Name TEXT(20))"}, &other);
    openThroughDialog(other);
    ui_.verifyAllConsumed();
    ASSERT_TRUE(goApplication->IsConnected());
    for (ICB* bar : {&goApplication->MenuBar(), &goApplication->CommandBar()}) {
        EXPECT_EQ(captions(*bar, tag::Tables), std::vector<std::string>{"Alpha"});
        // No stored queries: the popup is empty and disabled.
        EXPECT_EQ(captions(*bar, tag::Queries), std::vector<std::string>{});
        EXPECT_FALSE(bar->FindControlByTag(tag::Queries)->Enabled());
    }
    EXPECT_EQ(goApplication->DataSource()->Connector(), other);
    // Still one table workbook.
    ASSERT_NE(goApplication->Form().Sheet(), nullptr);
    EXPECT_EQ(goApplication->Form().Sheet()->Parent()->Worksheets()->Count(), 2);
}

TEST_F(DataTest, CancellingTheDialogKeepsThePreviousDatabaseSilently) {
    startAddin(12);
    openThroughDialog(sampleCopy());
    auto before = goApplication->DataSource();
    ui_.clearShown();
    ui_.expectOpenFileCancel();
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    EXPECT_EQ(goApplication->DataSource(), before);
    EXPECT_EQ(ui_.count(PromptKind::MsgBox), 0u);
    EXPECT_EQ(ui_.count(PromptKind::Form), 0u);
    EXPECT_EQ(captions(goApplication->CommandBar(), tag::Tables).size(), kSampleTables.size());
}

TEST_F(DataTest, ADatabaseWithoutTablesGivesMessage26AndDisabledPopups) {
    startAddin(12);
    std::string empty;
    makeDatabase("empty.sqlite", {}, &empty);
    std::string hint;
    openThroughDialog(empty, &hint);
    ui_.verifyAllConsumed();
    EXPECT_EQ(hint, GetMessage(26));
    EXPECT_FALSE(goApplication->MenuBar().FindControlByTag(tag::Tables)->Enabled());
    EXPECT_EQ(captions(goApplication->MenuBar(), tag::Tables), std::vector<std::string>{});
}

TEST_F(DataTest, ATextFileShowsMessage57AndTheDialogAgain) {
    startAddin(12);
    std::string txt = dir_ + "/notes.txt";
    std::ofstream(txt) << "hello";
    ui_.expectOpenFile(txt);
    ui_.expectMsgBox(host::answer::OK, GetMessage(57), host::mb::Information);
    ui_.expectOpenFileCancel();
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    EXPECT_FALSE(goApplication->IsConnected());
}

TEST_F(DataTest, TheDialogOffersTheEngineFilesAndRemembersTheFolder) {
    startAddin(12);
    std::string db = sampleCopy();
    openThroughDialog(db);
    const Shown* dialog = ui_.last(PromptKind::OpenFile);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->title, GetMessage(61));
    EXPECT_EQ(dialog->filter,
              "All files (*.*)|*.*\n"
              "MS Access 97-2003 databases (*.mdb)|*.mdb\n"
              "MS Access 97-2003 executable files (*.mde)|*.mde\n"
              "MS Access databases (*.accdb)|*.accdb\n"
              "MS Access executable files (*.accde)|*.accde\n"
              "SQLite databases (*.sqlite, *.sqlite3, *.db)|*.sqlite;*.sqlite3;*.db\n"
              "Workgroup file shortcuts (*.lnk)|*.lnk\n");
    EXPECT_EQ(rawText("InitDir"), dir_);
}

TEST_F(DataTest, ARealAccessFileGetsTheEnginesRefusal) {
    startAddin(12);
    std::string mdb = dir_ + "/Legacy.MDB";
    {
        std::ofstream out(mdb, std::ios::binary);
        const char header[] = "\x00\x01\x00\x00Standard Jet DB\x00";
        out.write(header, sizeof header - 1);
        out << std::string(2048, '\0');
    }
    ui_.expectOpenFile(mdb);
    ui_.expectMsgBox(host::answer::OK, GetMessage(7) + " MS Access:\r", host::mb::Information);
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    EXPECT_NE(ui_.lastMessage().find("Legacy.MDB"), std::string::npos) << ui_.lastMessage();
    EXPECT_FALSE(goApplication->IsConnected());
    EXPECT_EQ(goApplication->Form().Sheet(), nullptr);
}

TEST_F(DataTest, APasswordLoopsOnAWrongOneAndOpensWithTheRightOne) {
    startAddin(12);
    std::string db;
    // A ";" in the password must survive the connection text.
    makeDatabase("locked.sqlite", {"CREATE TABLE Secret (Id COUNTER PRIMARY KEY)"}, &db)->NewPassword("", "pa;ss ");
    ui_.expectOpenFile(db);
    ui_.expectForm("frmPassword", [](host::Form& f) {
        EXPECT_EQ(f.caption, GetCaption("frmPassword"));
        EXPECT_EQ(f.control("lblDbPassword")->caption, GetCaption("lblDbPassword"));
        EXPECT_EQ(f.control("cmdCancel")->caption, GetMessage(3));
        EXPECT_TRUE(f.control("txtPassword")->passwordChar);
        type(f, "txtPassword", "wrong");
        click(f, "cmdOK");
    });
    ui_.expectMsgBox(host::answer::OK, GetMessage(66), host::mb::Exclamation);
    ui_.expectForm("frmPassword", [](host::Form& f) {
        type(f, "txtPassword", "pa;ss ");
        click(f, "cmdOK");
    });
    expectHint();
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    ASSERT_TRUE(goApplication->IsConnected());
    EXPECT_EQ(captions(goApplication->MenuBar(), tag::Tables), std::vector<std::string>{"Secret"});
    auto& source = currentSource();
    EXPECT_EQ(source.Password(), "pa;ss ");
    EXPECT_EQ(source.UserName(), "Admin");
    // Later units of work connect again with the stored password.
    auto rs = source.GetRecordSet("SELECT * FROM Secret", true);
    EXPECT_EQ(rs->RecordCount(), 0);
}

TEST_F(DataTest, CancelInThePasswordDialogEndsSilentlyAndKeepsThePreviousDatabase) {
    startAddin(12);
    openThroughDialog(sampleCopy());
    auto before = goApplication->DataSource();
    std::string db;
    makeDatabase("locked.sqlite", {"CREATE TABLE Secret (Id COUNTER PRIMARY KEY)"}, &db)->NewPassword("", "right");
    ui_.clearShown();
    ui_.expectOpenFile(db);
    ui_.expectForm("frmPassword", [](host::Form& f) {
        type(f, "txtPassword", "typed but cancelled");
        click(f, "cmdCancel");
        EXPECT_EQ(f.control("txtPassword")->value.text(), "");
    });
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    EXPECT_EQ(ui_.count(PromptKind::MsgBox), 0u);
    EXPECT_EQ(goApplication->DataSource(), before);
    EXPECT_EQ(captions(goApplication->CommandBar(), tag::Tables).size(), kSampleTables.size());
}

TEST_F(DataTest, AWorkgroupShortcutLeadsToTheLogonWithTheUserFilledIn) {
    startAddin(12);
    std::string db, mdw = dir_ + "/team work.mdw";
    makeDatabase("shared data.sqlite", {"CREATE TABLE Shared (Id COUNTER PRIMARY KEY)"}, &db);
    jet::addWorkgroupAccount(mdw, "Bob", "bobs secret");
    std::string lnk = dir_ + "/Shared.lnk";
    // Paths with "/" and blanks, quoted; an option without a value is ignored.
    writeShortcut(lnk, kAccessTarget, "\"" + db + "\" /excl /wrkgrp \"" + mdw + "\" /user Bob");
    ui_.expectOpenFile(lnk);
    ui_.expectForm("frmLogon", [](host::Form& f) {
        auto& logon = dynamic_cast<frmLogon&>(f);
        EXPECT_EQ(logon.User(), "Bob");
        EXPECT_EQ(logon.FocusControl(), "txtPassword");
        EXPECT_EQ(f.caption, GetCaption("frmLogon"));
        EXPECT_EQ(f.control("lblName")->caption, "Name: ");
        EXPECT_EQ(f.control("lblPassword")->caption, "Password: ");
        type(f, "txtPassword", "wrong");
        click(f, "cmdOK");
    });
    // With a workgroup the refusal also names the unsupported combination.
    ui_.expectMsgBox(host::answer::OK, GetMessage(66) + "\r\r" + GetMessage(71), host::mb::Exclamation);
    ui_.expectForm("frmLogon", [](host::Form& f) {
        type(f, "txtPassword", "bobs secret");
        click(f, "cmdOK");
    });
    expectHint();
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    ASSERT_TRUE(goApplication->IsConnected());
    auto& source = currentSource();
    EXPECT_EQ(source.DbPath(), db);
    EXPECT_EQ(source.WorkgroupFile(), mdw);
    EXPECT_EQ(source.UserName(), "Bob");
    std::string text = source.ConnectionString();
    EXPECT_TRUE(text.ends_with("SystemDB=" + mdw + ";")) << text;
    EXPECT_EQ(captions(goApplication->MenuBar(), tag::Tables), std::vector<std::string>{"Shared"});
}

TEST_F(DataTest, AShortcutToAnotherProgramOrNoShortcutAtAllIsRefusedWithMessage65) {
    startAddin(12);
    std::string db;
    makeDatabase("a.sqlite", {}, &db);
    std::string notAccess = dir_ + "/Editor.lnk", broken = dir_ + "/Broken.lnk";
    writeShortcut(notAccess, "C:\\Windows\\notepad.exe", "\"" + db + "\"", false);
    std::ofstream(broken) << "not a shortcut";
    for (const std::string& lnk : {notAccess, broken}) {
        SCOPED_TRACE(lnk);
        ui_.expectOpenFile(lnk);
        ui_.expectMsgBox(host::answer::OK, GetMessage(65), host::mb::Information);
        clickOpenDatabase();
        ui_.verifyAllConsumed();
        EXPECT_FALSE(goApplication->IsConnected());
    }
}

TEST_F(DataTest, TheServerVariantAsksForItsConnectionAndCancelOpensNothing) {
    startAddin(22);
    // The server variant asks for a connection instead of refusing; Cancel opens nothing.
    ui_.expectInputCancel();
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    EXPECT_FALSE(goApplication->IsConnected());
}

}  // namespace dalvera::testing
