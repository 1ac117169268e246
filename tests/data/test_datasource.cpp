// The data source's own rules: type and direction codes, SQL literals, the
// connection text, shortcut arguments, the ADO helper's connection handling,
// stored-query commands with prompted parameters, and the two dialogs.
#include "DataFixture.h"
#include "data/clsDSAccess.h"
#include "data/clsFilter.h"
#include "data/frmLogon.h"
#include "data/frmPassword.h"
#include "runtime/DateSerial.h"

namespace dalvera::testing {

namespace {
const char* const kAccessTarget = "C:\\Program Files\\Microsoft Office\\root\\Office16\\MSACCESS.EXE";
}

TEST(DataSourceRules, DaoTypesAndDirectionsMapToAdoCodes) {
    clsDSAccess ds;
    const std::pair<int, int> types[] = {{1, 11},  {2, 17},  {3, 2},   {4, 3},   {5, 6},   {6, 4},  {7, 5},  {8, 7},
                                         {9, 204}, {10, 202}, {11, 205}, {12, 203}, {15, 72}, {20, 131}, {16, 202}, {101, 202}};
    for (auto [dao, ado] : types) EXPECT_EQ(ds.MapToTypeADO(Variant::longValue(dao)), ado) << "DAO type " << dao;
    for (int d : {1, 2, 3}) EXPECT_EQ(ds.GetParameterDirectionTypeADO(Variant::longValue(d)), d);
    EXPECT_EQ(ds.GetParameterDirectionTypeADO(Variant::longValue(4)), 0);
    EXPECT_EQ(ds.GetParameterDirectionTypeADO(Variant::longValue(0)), 0);

    EXPECT_EQ(clsDS::GetDataTypeGroup(11), 0);
    EXPECT_EQ(clsDS::GetDataTypeGroup(131), 1);
    EXPECT_EQ(clsDS::GetDataTypeGroup(17), 1);
    EXPECT_EQ(clsDS::GetDataTypeGroup(135), 2);
    EXPECT_EQ(clsDS::GetDataTypeGroup(72), 3);
    EXPECT_EQ(clsDS::GetDataTypeGroup(202), 3);
}

TEST(DataSourceRules, DateLiteralsKeepTheSecondsAndGuidLiteralsStayOneLiteral) {
    clsDSAccess ds;
    EXPECT_EQ(ds.Convert2Date(Variant::date(dateSerial(2024, 3, 7, 9, 5, 42))), "#03/07/2024 09:05:42#");
    EXPECT_EQ(ds.Convert2Date(Variant::date(dateSerial(1999, 12, 31))), "#12/31/1999 00:00:00#");
    EXPECT_EQ(ds.Convert2Date(Variant("2024-01-05 23:59:59")), "#01/05/2024 23:59:59#");
    EXPECT_THROW(ds.Convert2Date(Variant("no date")), Error);
    EXPECT_THROW(ds.Convert2Date(Variant::null()), Error);

    EXPECT_EQ(ds.Convert2GUID("{0F8FAD5B-D9CB-469F-A165-70867728950E}"), "'{0F8FAD5B-D9CB-469F-A165-70867728950E}'");
    EXPECT_EQ(ds.Convert2GUID("x' OR '1'='1"), "'x'' OR ''1''=''1'");
}

TEST(DataSourceRules, AnUnfilteredColumnKeepsNoCriteria) {
    clsFilter active, inactive;
    active.Init(2, true, ">=10", 1, "<=20");
    inactive.Init(3, false, "left over", 7, "stale");
    EXPECT_EQ(active.ColumnIndex(), 2);
    EXPECT_EQ(active.Criteria1(), ">=10");
    EXPECT_EQ(active.FilterOperator(), 1);
    EXPECT_EQ(active.Criteria2(), "<=20");
    EXPECT_FALSE(inactive.IsActive());
    EXPECT_EQ(inactive.Criteria1(), "");
    EXPECT_EQ(inactive.FilterOperator(), 0);
    EXPECT_EQ(inactive.Criteria2(), "");
}

TEST(DataSourceRules, ConnectionValuesAreBracedOnlyWhenTheyNeedIt) {
    EXPECT_EQ(OdbcValue("plain"), "plain");
    EXPECT_EQ(OdbcValue(""), "");
    EXPECT_EQ(OdbcValue("a;Dbq=other.mdb"), "{a;Dbq=other.mdb}");
    EXPECT_EQ(OdbcValue("we{ir}d"), "{we{ir}}d}");
    EXPECT_EQ(OdbcValue(" padded"), "{ padded}");
    EXPECT_EQ(OdbcValue("padded "), "{padded }");
    EXPECT_EQ(OdbcValue("in between"), "in between");
}

TEST_F(DataTest, TheConnectionTextNamesDriverFileLogonAndWorkgroup) {
    startAddin(12);
    clsDSAccess ds;
    ds.SetDbPath("C:\\db\\a.mdb");
    ds.SetUserName("ignored without workgroup");
    ds.SetPassword("x;y");
    EXPECT_EQ(ds.UserName(), "Admin");
    EXPECT_EQ(ds.ConnectionString(),
              "Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=C:\\db\\a.mdb;Uid=Admin;Pwd={x;y};");
    ds.SetWorkgroupFile("C:\\db\\s.mdw");
    ds.SetUserName("Bob");
    ds.SetPassword("");
    EXPECT_EQ(ds.ConnectionString(),
              "Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=C:\\db\\a.mdb;Uid=Bob;Pwd=;SystemDB=C:\\db\\s.mdw;");
}

TEST_F(DataTest, TheOlderVariantUsesTheOlderDriverName) {
    startAddin(11, "11.0");
    clsDSAccess ds;
    ds.SetDbPath("a.mdb");
    EXPECT_TRUE(ds.ConnectionString().starts_with("Driver={Microsoft Access Driver (*.mdb)};Dbq=a.mdb;"));
}

TEST_F(DataTest, ShortcutArgumentsGiveDatabaseWorkgroupUserAndPassword) {
    startAddin(12);
    struct Case {
        const char* arguments;
        bool unicode;
        const char *database, *workgroup, *user, *password;
    };
    const Case cases[] = {
        {"\"C:\\db\\a.mdb\" /wrkgrp \"C:\\db\\s.mdw\" /user Bob", true, "C:\\db\\a.mdb", "C:\\db\\s.mdw", "Bob", ""},
        {"\"C:\\db\\a.mdb\" /WRKGRP \"C:\\db\\s.mdw\" /User Bob /Pwd p w /excl", false, "C:\\db\\a.mdb", "C:\\db\\s.mdw",
         "Bob", "p w"},
        // Paths of this platform: a "/" inside a path never starts an option.
        {"/data/shop/a.sqlite /wrkgrp \"/data/my groups/s.mdw\" /user Ann /ro", true, "/data/shop/a.sqlite",
         "/data/my groups/s.mdw", "Ann", ""},
        {"\"C:\\only.mdb\"", true, "C:\\only.mdb", "", "Admin", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::string lnk = dir_ + "/case.lnk";
        writeShortcut(lnk, kAccessTarget, c.arguments, c.unicode);
        clsDSAccess ds;
        EXPECT_EQ(ds.ReadWorkgroupShortcut(lnk), c.database);
        EXPECT_EQ(ds.WorkgroupFile(), c.workgroup);
        EXPECT_EQ(ds.UserName(), c.user);
        EXPECT_EQ(ds.Password(), c.password);
    }
}

TEST_F(DataTest, TheAdoHelperDropsClosedConnectionsAndDetachesRecordsets) {
    startAddin(12);
    std::string path;
    auto db = makeDatabase("rows.sqlite", {"CREATE TABLE T (Id LONG, Name TEXT(10))"}, &path);
    db->Execute("INSERT INTO T VALUES (1, 'one')");
    db->Execute("INSERT INTO T VALUES (2, 'two')");
    db->Close();
    clsDSAccess ds;
    ds.SetDbPath(path);

    auto rs = ds.GetRecordSet("SELECT * FROM T ORDER BY Id", true);
    EXPECT_EQ(ds.AdoHelper().Connection, nullptr) << "closed before returning";
    ASSERT_EQ(rs->RecordCount(), 2);
    rs->MoveLast();
    EXPECT_EQ(rs->Fields().Item("Name")->Value().text(), "two");
    ds.CloseRecordSet(rs);
    EXPECT_EQ(rs, nullptr);

    ds.ConnectADO();
    auto connection = ds.AdoHelper().Connection;
    ASSERT_NE(connection, nullptr);
    connection->Close();
    EXPECT_FALSE(ds.AdoHelper().IsConnectionOpen());
    EXPECT_EQ(ds.AdoHelper().Connection, nullptr);
    // The next unit of work connects again by itself.
    EXPECT_EQ(ds.ExecuteQuery("UPDATE T SET Name = 'uno' WHERE Id = 1"), 1);
    EXPECT_NE(ds.AdoHelper().Connection, connection);
    ds.DisconnectADO();
    EXPECT_EQ(ds.AdoHelper().Connection, nullptr);
}

TEST_F(DataTest, EngineErrorsReachTheCallerAs670WithNumberAndText) {
    startAddin(12);
    std::string path;
    makeDatabase("err.sqlite", {"CREATE TABLE T (Id LONG PRIMARY KEY)"}, &path)->Close();
    clsDSAccess ds;
    ds.SetDbPath(path);
    for (auto run : {std::function<void()>([&] { ds.GetRecordSet("SELECT * FROM Missing", false); }),
                     std::function<void()>([&] { ds.ExecuteQuery("DELETE FROM Missing"); })}) {
        try {
            run();
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), err::Database);
            EXPECT_NE(e.description().find("Missing"), std::string::npos) << e.description();
            EXPECT_NE(e.description().find("(Error Number: "), std::string::npos) << e.description();
        }
    }
}

TEST_F(DataTest, AWrongLogonOfTheOdbcSideIsRefusedWithThePasswordText) {
    startAddin(12);
    std::string path;
    makeDatabase("pw.sqlite", {"CREATE TABLE T (Id LONG)"}, &path)->NewPassword("", "right");
    clsDSAccess ds;
    ds.SetDbPath(path);
    ds.SetPassword("wrong");
    try {
        ds.ConnectADO();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::Exclamation);
        EXPECT_EQ(e.description(), GetMessage(66));
    }
    EXPECT_EQ(HostApp().Cursor(), host::xl::CursorDefault);
}

TEST_F(DataTest, AParameterQueryPromptsEachInputAndRunsByName) {
    startAddin(12);
    std::string path;
    auto db = makeDatabase("q.sqlite", {"CREATE TABLE T (Id LONG, Placed DATETIME, Who TEXT(20))"}, &path);
    db->CreateQueryDef("Since", "PARAMETERS [Start] DateTime, [Who] Text(20); SELECT * FROM T WHERE Placed >= [Start] AND Who = [Who]");
    db->CreateQueryDef("Quoted", "SELECT * FROM T WHERE Who = \"Ann\"");
    db->Close();
    clsDSAccess ds;
    ds.SetDbPath(path);
    ASSERT_TRUE(ds.ConnectDAO());
    ds.DetermineDbObjects(false);
    ds.ConnectADO();

    auto command = ds.InitializeCommand();
    EXPECT_EQ(command->ActiveConnection(), ds.AdoHelper().Connection);
    ds.DefineCommand(*command, "Quoted");
    EXPECT_EQ(command->CommandType(), host::ado::command::Text);
    EXPECT_EQ(command->CommandText(), "SELECT * FROM T WHERE Who = 'Ann'");

    command = ds.InitializeCommand();
    ui_.clearShown();
    ui_.expectInput(Variant("1/2/2024"));
    ui_.expectInput(Variant("Ann"));
    ds.DefineCommand(*command, "Since");
    ui_.verifyAllConsumed();
    EXPECT_EQ(command->CommandType(), host::ado::command::StoredProc);
    EXPECT_EQ(command->CommandText(), "`Since`");
    ASSERT_EQ(ui_.count(PromptKind::ApplicationInputBox), 2u);
    EXPECT_EQ(ui_.shown()[0].text, "Input parameter: Start\r" + GetMessage(112));
    EXPECT_EQ(ui_.shown()[1].text, "Input parameter: Who\r" + GetMessage(114));
    ASSERT_EQ(command->Parameters().Count(), 2);
    EXPECT_EQ(command->Parameters().Item("Who")->Value().text(), "Ann");
    long affected = 0;
    auto rs = command->Execute(affected);
    EXPECT_EQ(rs->RecordCount(), 0);

    // Cancel at the first prompt ends the run silently.
    command = ds.InitializeCommand();
    ui_.expectInputCancel();
    try {
        ds.DefineCommand(*command, "Since");
        ADD_FAILURE() << "no cancel";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::Cancelled);
    }
    EXPECT_EQ(command->Parameters().Count(), 0);
    ds.DisconnectADO();
    ds.DisconnectDAO();
}

TEST_F(DataTest, TheDialogsEmptyThePasswordOnCancelAndSpeakTheLanguage) {
    startAddin(12);
    frmPassword password;
    password.SetPassword("typed");
    password.markShown();
    password.Click("cmdCancel");
    EXPECT_EQ(password.Password(), "");
    EXPECT_FALSE(password.visible());
    password.SetPassword("typed");
    password.markShown();
    password.QueryClose();
    EXPECT_EQ(password.Password(), "") << "the close box gives up as Cancel does";

    SetCountryCode(31);
    frmLogon logon;
    logon.Activate();
    EXPECT_EQ(logon.control("lblName")->caption, "Naam: ");
    EXPECT_EQ(logon.control("lblPassword")->caption, "Wachtwoord: ");
    EXPECT_EQ(logon.control("cmdCancel")->caption, "&Annuleren");
    EXPECT_EQ(logon.caption, "Aanmelden");
    EXPECT_EQ(logon.FocusControl(), "txtUser");
    logon.SetUser("Bob");
    logon.SetPassword("known");
    logon.Activate();
    EXPECT_EQ(logon.FocusControl(), "txtUser") << "both known: nothing to jump to";
    logon.markShown();
    logon.Click("cmdOK");
    EXPECT_EQ(logon.Password(), "known");
    EXPECT_FALSE(logon.visible());
}

}  // namespace dalvera::testing
