// ADO connections, record sets and commands over real files.
#include "JetFixture.h"
#include "runtime/DateSerial.h"

namespace dalvera::jet::test {
namespace ado = host::ado;

class AdoTest : public JetFixture {
protected:
    std::shared_ptr<ado::Connection> connect(const std::string& name = "orders.sqlite", const std::string& extra = {}) {
        auto c = adoProvider()->NewConnection();
        c->CursorLocation(ado::UseClient);
        c->Open("Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=" + file(name) + ";Uid=Admin;Pwd=;" + extra);
        return c;
    }
    void fill() {
        auto db = buildOrders();
        db->Execute("INSERT INTO Customers (Company, Email, Active, Balance, Since, Notes, Rating, Visits, Score, "
                    "Ratio, Code, Amount) VALUES ('Acme', 'a@x', True, 12.5, #3/14/2024 10:30:00#, 'long', 7, 300, "
                    "1.5, 2.25, '{6f9619ff-8b86-d011-b42d-00c04fc964ff}', 99.95)");
        db->Execute("INSERT INTO Customers (Company, Email, Active) VALUES ('Bolt', 'b@x', False)");
        db->Execute("INSERT INTO Orders (CustomerID, OrderNo, OrderDate) VALUES (1, 1, #1/5/2024#)");
        db->Execute("INSERT INTO Orders (CustomerID, OrderNo, OrderDate) VALUES (1, 2, #6/1/2024#)");
        db->Execute("INSERT INTO Orders (CustomerID, OrderNo, OrderDate) VALUES (2, 1, #7/1/2024#)");
    }
};

TEST(ConnectionStringTest, ParsesAsTheDriversDo) {
    auto kv = parseConnectionString("Driver={A (*.mdb)};DBQ= C:\\d\\a.mdb ;uid=Bob;PWD={se;cr}}et};SystemDB=s.mdw;Dbq=ignored");
    ASSERT_EQ(kv.size(), 5u);
    EXPECT_EQ(kv[0], (std::pair<std::string, std::string>{"driver", "A (*.mdb)"}));
    EXPECT_EQ(kv[1].second, "C:\\d\\a.mdb");
    EXPECT_EQ(kv[2], (std::pair<std::string, std::string>{"uid", "Bob"}));
    EXPECT_EQ(kv[3].second, "se;cr}et");
    EXPECT_EQ(kv[4].first, "systemdb");
}

TEST_F(AdoTest, RecordsetReportsTypesSizesAndValueKinds) {
    fill();
    auto c = connect();
    EXPECT_EQ(c->State(), ado::state::Open);
    auto rs = c->Execute("SELECT * FROM Customers ORDER BY CustomerID");
    ASSERT_EQ(rs->State(), ado::state::Open);
    EXPECT_EQ(rs->RecordCount(), 2);
    const auto& f = rs->Fields();
    struct Expect { const char* name; int type; long size; VarType kind; };
    for (auto e : {Expect{"CustomerID", 3, 4, VarType::Long}, Expect{"Company", 202, 40, VarType::String},
                   Expect{"Active", 11, 2, VarType::Boolean}, Expect{"Balance", 6, 8, VarType::Currency},
                   Expect{"Since", 135, 16, VarType::Date}, Expect{"Notes", 203, 536870910, VarType::String},
                   Expect{"Rating", 17, 1, VarType::Byte}, Expect{"Visits", 2, 2, VarType::Integer},
                   Expect{"Score", 4, 4, VarType::Single}, Expect{"Ratio", 5, 8, VarType::Double},
                   Expect{"Code", 72, 16, VarType::String}, Expect{"Amount", 131, 19, VarType::Double}}) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(f(e.name)->Type(), e.type);
        EXPECT_EQ(f(e.name)->DefinedSize(), e.size);
        EXPECT_EQ(f(e.name)->Value().type(), e.kind);
    }
    EXPECT_EQ(f("Since")->Value(), Variant::date(dateSerial(2024, 3, 14, 10, 30, 0)));
    EXPECT_EQ(f("Code")->Value(), Variant("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
    EXPECT_EQ(f("Balance")->Value(), Variant::currency(12.5));
    EXPECT_TRUE(f("Active")->Value().toBool());
    EXPECT_TRUE(f("Photo")->Value().isNull());
    rs->MoveNext();
    EXPECT_FALSE(f("Active")->Value().toBool());
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(errorOf([&] { f(0)->Value(); }).number(), 3021);
    EXPECT_EQ(errorOf([&] { f("Nope"); }).number(), 3265);
    rs->Close();
    EXPECT_EQ(rs->State(), ado::state::Closed);
    EXPECT_EQ(errorOf([&] { rs->RecordCount(); }).number(), 3704);
}

TEST_F(AdoTest, BinaryValuesComeBackAsByteArrays) {
    fill();
    auto db = daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(file("orders.sqlite"));
    sqlite3_exec(std::static_pointer_cast<Database>(db)->session().db(),
                 "UPDATE Customers SET Photo = X'0102FF', Tag = X'AA' WHERE CustomerID = 1", nullptr, nullptr, nullptr);
    auto rs = connect()->Execute("SELECT Photo, Tag FROM Customers WHERE CustomerID = 1");
    EXPECT_EQ(rs->Fields()("Photo")->Type(), 205);
    EXPECT_EQ(rs->Fields()("Tag")->Type(), 204);
    EXPECT_EQ(rs->Fields()("Tag")->DefinedSize(), 8);
    EXPECT_EQ(rs->Fields()("Photo")->Value(), Variant(std::vector<uint8_t>{1, 2, 255}));
    EXPECT_EQ(rs->Fields()("Tag")->Value(), Variant(std::vector<uint8_t>{0xAA}));
}

TEST_F(AdoTest, DetachedRecordsetKeepsRowsAndBulkCopiesByColumn) {
    fill();
    auto c = connect();
    auto rs = c->Execute("SELECT OrderNo, OrderDate FROM Orders ORDER BY CustomerID, OrderNo");
    rs->ActiveConnection(nullptr);
    c->Close();
    EXPECT_EQ(c->State(), ado::state::Closed);
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->MoveNext();
    std::vector<std::vector<Variant>> cols;
    EXPECT_EQ(rs->FetchColumns(1, cols), 1);
    EXPECT_EQ(rs->FetchColumns(10, cols), 1);
    EXPECT_EQ(rs->FetchColumns(10, cols), 0);
    ASSERT_EQ(cols.size(), 2u);
    ASSERT_EQ(cols[0].size(), 2u);
    EXPECT_EQ(cols[0][0], Variant::longValue(2));
    EXPECT_EQ(cols[1][1], Variant::date(dateSerial(2024, 7, 1)));
    EXPECT_TRUE(rs->Eof());
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields()(0)->Value(), Variant::longValue(1));
    // A field outlives the record set it came from.
    auto field = connect()->Execute("SELECT Company FROM Customers ORDER BY Company")->Fields()(0);
    EXPECT_EQ(field->Value(), Variant("Acme"));
}

TEST_F(AdoTest, ComputedColumnsTakeTheirKindFromTheValues) {
    fill();
    auto c = connect();
    auto rs = c->Execute("SELECT count(*) AS n, max(OrderDate) AS latest, 'x' || 'y' AS t FROM Orders");
    EXPECT_EQ(rs->Fields()("n")->Type(), 3);
    EXPECT_EQ(rs->Fields()("n")->Value(), Variant::longValue(3));
    EXPECT_EQ(rs->Fields()("latest")->Type(), 135);
    EXPECT_EQ(rs->Fields()("latest")->Value(), Variant::date(dateSerial(2024, 7, 1)));
    EXPECT_EQ(rs->Fields()("t")->Type(), 202);
}

TEST_F(AdoTest, ExecuteCountsAffectedRecordsAndGivesClosedRecordsets) {
    fill();
    auto c = connect();
    long n = 0;
    auto rs = c->Execute("UPDATE Customers SET Visits = 1", n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(rs->State(), ado::state::Closed);
    c->Execute("DELETE FROM LogBook WHERE Entry = 'none'", n);
    EXPECT_EQ(n, 0);
    c->Execute("CREATE TABLE Extra (A LONG)", n);
    EXPECT_EQ(n, -1);
    c->Execute("SELECT * FROM Extra", n);
    EXPECT_EQ(n, -1);
    c->Close();
    auto e = errorOf([&] { c->Execute("SELECT 1"); });
    EXPECT_EQ(e.number(), 3709);
}

TEST_F(AdoTest, StoredParameterQueryRunsByNameWithConvertedValues) {
    fill();
    {
        auto db = daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(file("orders.sqlite"));
        std::static_pointer_cast<Database>(db)->CreateQueryDef(
            "Orders since", "PARAMETERS [Start] DateTime, [Who] Text(40); "
                            "SELECT o.OrderNo FROM Orders AS o INNER JOIN Customers AS c ON o.CustomerID = c.CustomerID "
                            "WHERE o.OrderDate >= [Start] AND c.Company = [Who] ORDER BY o.OrderNo");
    }
    auto c = connect();
    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::StoredProc);
    cmd->CommandText("`Orders since`");
    // The answers arrive as typed text; the declared types convert them.
    cmd->Parameters().Append(cmd->CreateParameter("Start", ado::type::DBTimeStamp, ado::direction::Input, 8, Variant(0)));
    cmd->Parameters().Item("Start")->Value(Variant("2024-02-01"));
    cmd->Parameters().Append(cmd->CreateParameter("Who", ado::type::VarWChar, ado::direction::Input, 4, Variant(0)));
    cmd->Parameters().Item("Who")->Value(Variant("Acme"));
    long n = 0;
    auto rs = cmd->Execute(n);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields()(0)->Value().toLong(), 2);

    cmd->Parameters().Item("Start")->Value(Variant("not a date"));
    auto bad = errorOf([&] { cmd->Execute(n); });
    EXPECT_EQ(bad.number(), ado::ProviderError);
    EXPECT_EQ(lastEngineError(), 3464);

    auto few = adoProvider()->NewCommand();
    few->ActiveConnection(c);
    few->CommandType(ado::command::StoredProc);
    few->CommandText("`Orders since`");
    auto e = errorOf([&] { few->Execute(n); });
    EXPECT_EQ(e.description(), "[Microsoft][ODBC Microsoft Access Driver] Too few parameters. Expected 2.");

    EXPECT_EQ(errorOf([&] { few->Parameters().Item("Start"); }).number(), 3265);
    few->CommandText("`No such query`");
    EXPECT_EQ(errorOf([&] { few->Execute(n); }).number(), ado::ProviderError);
    EXPECT_EQ(lastEngineError(), 3078);
}

TEST_F(AdoTest, ConstraintFailuresNameTableAndColumn) {
    fill();
    auto c = connect();
    auto fails = [&](const std::string& sql) {
        auto e = errorOf([&] { c->Execute(sql); });
        EXPECT_EQ(e.number(), ado::ProviderError) << sql;
        EXPECT_EQ(e.description().rfind("[Microsoft][ODBC Microsoft Access Driver] ", 0), 0u) << e.description();
        return std::make_pair(lastEngineError(), e.description());
    };
    auto [n1, t1] = fails("INSERT INTO Customers (Email) VALUES ('c@x')");
    EXPECT_EQ(n1, 3314);
    EXPECT_NE(t1.find(" Customers.Company "), std::string::npos) << t1;
    auto [n2, t2] = fails("INSERT INTO Customers (Company, Email) VALUES ('Dup', 'a@x')");
    EXPECT_EQ(n2, 3022);
    EXPECT_NE(t2.find(" Customers.Email "), std::string::npos) << t2;
    auto [n3, t3] = fails("INSERT INTO Orders (CustomerID, OrderNo) VALUES (42, 1)");
    EXPECT_EQ(n3, 3201);
    EXPECT_NE(t3.find("'Customers'"), std::string::npos) << t3;
    auto [n4, t4] = fails("DELETE FROM Customers WHERE CustomerID = 1");
    EXPECT_EQ(n4, 3200);
    EXPECT_NE(t4.find("'Orders'"), std::string::npos) << t4;
    auto [n5, t5] = fails("SELECT * FROM Missing");
    EXPECT_EQ(n5, 3078);
    // A text longer than its declared size is refused, on insert and on update.
    auto [n6, t6] = fails("INSERT INTO Customers (Company) VALUES ('" + std::string(41, 'x') + "')");
    EXPECT_EQ(n6, 3163);
    EXPECT_NE(t6.find(" Customers.Company "), std::string::npos) << t6;
    EXPECT_EQ(fails("UPDATE Customers SET Email = '" + std::string(81, 'y') + "'").first, 3163);
    long ok = 0;
    c->Execute("UPDATE Customers SET Company = '" + std::string(40, 'z') + "' WHERE CustomerID = 2", ok);
    EXPECT_EQ(ok, 1);
    // Nothing of the refused statements was written.
    EXPECT_EQ(c->Execute("SELECT * FROM Customers")->RecordCount(), 2);
    EXPECT_EQ(c->Execute("SELECT * FROM Customers WHERE length(Email) > 80")->RecordCount(), 0);
}

TEST_F(AdoTest, OpenRefusesBadInputWithTheProviderNumber) {
    fill();
    auto c = adoProvider()->NewConnection();
    auto e = errorOf([&] { c->Open("Driver={x};Dbq=" + file("none.sqlite") + ";"); });
    EXPECT_EQ(e.number(), ado::ProviderError);
    EXPECT_NE(e.description().find("Could not find file"), std::string::npos);
    EXPECT_EQ(c->State(), ado::state::Closed);
    EXPECT_FALSE(std::filesystem::exists(file("none.sqlite")));
    EXPECT_EQ(errorOf([&] { c->Open("Driver={x};"); }).number(), ado::ProviderError);
}

}  // namespace dalvera::jet::test

namespace dalvera::jet::test {

TEST_F(AdoTest, TransactionsCommitOrRollBackTheirStatements) {
    fill();
    auto c = connect();
    auto count = [&] {
        auto rs = c->Execute("SELECT * FROM Customers");
        return rs->RecordCount();
    };
    long affected = 0;
    EXPECT_EQ(c->BeginTrans(), 1);
    EXPECT_THROW(c->BeginTrans(), Error);  // one at a time
    c->Execute("INSERT INTO Customers (Company, Email) VALUES ('Cask', 'c@x')", affected);
    c->RollbackTrans();
    EXPECT_EQ(count(), 2);
    c->BeginTrans();
    c->Execute("INSERT INTO Customers (Company, Email) VALUES ('Cask', 'c@x')", affected);
    // A refused statement inside the transaction leaves the earlier ones in it.
    EXPECT_THROW(c->Execute("INSERT INTO Customers (Company) VALUES (NULL)", affected), Error);
    c->CommitTrans();
    EXPECT_EQ(count(), 3);
    EXPECT_THROW(c->CommitTrans(), Error);  // none active
}

}  // namespace dalvera::jet::test

namespace dalvera::jet::test {

TEST_F(AdoTest, AResultTallerThanASheetIsCountedButNotHeld) {
    const long rows = kHeldRowsMax + 25;
    {
        auto db = buildOrders();
        db->Execute("CREATE TABLE Tall (ID LONG CONSTRAINT PK_Tall PRIMARY KEY)");
        sqlite3_exec(db->session().db(),
                     ("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(rows) +
                      ") INSERT INTO Tall SELECT i FROM n")
                         .c_str(),
                     nullptr, nullptr, nullptr);
    }
    auto c = connect();
    auto rs = c->Execute("SELECT * FROM Tall ORDER BY ID");
    EXPECT_EQ(rs->RecordCount(), rows);  // the true count, for the message that refuses it
    rs->MoveLast();
    // Reading past what is held says so, rather than giving a wrong or no value.
    try {
        rs->Fields()(0)->Value();
        ADD_FAILURE() << "a row that is not held was read";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ado::ProviderError);
        EXPECT_NE(e.description().find("only the first 1048576 are held"), std::string::npos) << e.description();
    }
    std::shared_ptr<const ValueTable> held;
    long first = 0;
    rs->MoveFirst();
    EXPECT_EQ(rs->FetchHeld(rows, held, first), kHeldRowsMax);
    EXPECT_EQ(held->at(0, kHeldRowsMax - 1), Variant::longValue(static_cast<int32_t>(kHeldRowsMax)));
    std::vector<std::vector<Variant>> columns;
    EXPECT_THROW(rs->FetchColumns(10, columns), Error);
    EXPECT_THROW(rs->Snapshot(), Error);
}

}  // namespace dalvera::jet::test
