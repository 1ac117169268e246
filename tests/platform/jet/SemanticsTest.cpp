// Statements whose answer must be the engine's, not SQLite's: division,
// unknown names, counts, typed comparisons, make-table, DISTINCTROW, names
// of computed columns, NUL bytes and tables that others refer to. Every
// expected value is worked out by hand from the rows below.
#include "JetFixture.h"
#include "runtime/DateSerial.h"

namespace dalvera::jet::test {
namespace ado = host::ado;
namespace dao = host::dao;

class SemanticsTest : public JetFixture {
protected:
    void SetUp() override {
        JetFixture::SetUp();
        db = buildOrders();
        db->Execute("INSERT INTO Customers (Company, Email, Active, Balance, Since, Code, Amount) VALUES "
                    "('Acme', 'a@x', True, 12.5, #3/14/2024 10:30#, '{6F9619FF-8B86-D011-B42D-00C04FC964FF}', 99.95)");
        db->Execute("INSERT INTO Customers (Company, Email, Active, Balance) VALUES ('Bolt', 'b@x', False, 0.25)");
        db->Execute("INSERT INTO Customers (Company, Email) VALUES ('Cask', 'c@x')");
        db->Execute("INSERT INTO Orders (CustomerID, OrderNo, OrderDate) VALUES (1, 1, #1/5/2024#), "
                    "(1, 2, #1/20/2024#), (2, 1, #2/1/2024#)");
        db->Execute("INSERT INTO OrderLines (CustomerID, OrderNo, Quantity) VALUES (1, 1, 3), (1, 1, 4), (1, 2, 2), "
                    "(2, 1, 5)");
        c = adoProvider()->NewConnection();
        c->Open("Dbq=" + file("orders.sqlite"));
    }
    std::string path() const { return file("orders.sqlite"); }
    // The rows of a query through ADO, fields joined by '|'.
    std::vector<std::string> rows(const std::string& sql) {
        auto rs = c->Execute(sql);
        std::vector<std::string> out;
        for (; !rs->Eof(); rs->MoveNext()) {
            std::string row;
            for (long i = 0; i < rs->Fields().Count(); ++i)
                row += (i ? "|" : "") + rs->Fields()(i)->Value().toString();
            out.push_back(row);
        }
        return out;
    }
    std::vector<std::string> names(const std::string& sql) {
        auto rs = c->Execute(sql);
        std::vector<std::string> out;
        for (long i = 0; i < rs->Fields().Count(); ++i) out.push_back(rs->Fields()(i)->Name());
        return out;
    }
    // The engine's number and text of a statement refused through ADO.
    std::pair<long, std::string> refused(const std::string& sql) {
        auto e = errorOf([&] { c->Execute(sql); });
        if (e.number() == 0) return {0, "accepted: " + sql};
        return {lastEngineError(), e.description()};
    }
    long affected(const std::string& sql) {
        long n = -2;
        c->Execute(sql, n);
        return n;
    }
    std::shared_ptr<Database> db;
    std::shared_ptr<ado::Connection> c;
};

TEST_F(SemanticsTest, SlashDividesAsFloatingPointAndBackslashRoundsFirst) {
    EXPECT_EQ(rows("SELECT 5/2, 1 + 6 / 4, 2 * 3 / 4, 9 / 3 / 2, 10 \\ 4 / 2, -3 / 2"),
              std::vector<std::string>{"2.5|2.5|1.5|1.5|5|-1.5"});
    // Lines: 3, 4, 2 and 5; 14 / 4.
    EXPECT_EQ(rows("SELECT Sum(Quantity) / Count(*) FROM OrderLines"), std::vector<std::string>{"3.5"});
    EXPECT_EQ(c->Execute("SELECT 6 / 3")->Fields()(0)->Type(), ado::type::Double);
    // \ rounds both sides half to even, then drops the fraction of the quotient.
    EXPECT_EQ(rows("SELECT 7 \\ 2, -7 \\ 2, 2.5 \\ 1, 3.5 \\ 1, 7.6 \\ 2.5, 5 Mod 3 / 2"),
              std::vector<std::string>{"3|-3|2|4|4|1"});
    EXPECT_EQ(refused("SELECT 1 / 0").first, 11);
    EXPECT_EQ(refused("SELECT 0 / 0").first, 6);
    EXPECT_EQ(refused("SELECT Quantity / (OrderNo - 1) FROM OrderLines").first, 11);
    // A written quotient and a default keep the fraction in the file.
    EXPECT_EQ(affected("UPDATE OrderLines SET Quantity = 9 / 2 WHERE LineID = 1"), 1);  // 4.5 to even: 4
    db->Execute("CREATE TABLE Halves (K LONG, H DOUBLE DEFAULT 1 / 2, C CURRENCY)");
    db->Execute("INSERT INTO Halves (K, C) VALUES (1, 5 / 4)");
    EXPECT_EQ(fileValue(path(), "SELECT Quantity FROM OrderLines WHERE LineID = 1"), "int:4");
    EXPECT_EQ(fileValue(path(), "SELECT H, C FROM Halves"), "real:0.5|real:1.25");
}

TEST_F(SemanticsTest, UnknownNamesAreParametersNeverTexts) {
    auto few = [&](const std::string& sql, int expected) {
        SCOPED_TRACE(sql);
        auto e = errorOf([&] { c->Execute(sql); });
        EXPECT_EQ(e.number(), -2147217904);
        EXPECT_EQ(lastEngineError(), 3061);
        EXPECT_EQ(e.description(), "[Microsoft][ODBC Microsoft Access Driver] Too few parameters. Expected " +
                                       std::to_string(expected) + ".");
    };
    few("SELECT [Nmae] FROM Orders", 1);
    few("SELECT Nmae FROM Orders", 1);
    few("SELECT o.Nmae FROM Orders AS o", 1);
    few("SELECT * FROM Orders WHERE OrderNo > [Low] AND OrderNo < [High] OR OrderNo = [low]", 2);
    few("SELECT * FROM Orders WHERE OrderDate IN (SELECT Since FROM Customers WHERE Company = [Who])", 1);
    few("INSERT INTO LogBook (Entry) SELECT [What] FROM Customers", 1);
    // A write names no value it does not have.
    auto e = errorOf([&] { db->Execute("UPDATE Customers SET Company = [New name] WHERE CustomerID = 1"); });
    EXPECT_EQ(e.number(), 3061);
    EXPECT_EQ(e.description(), "Too few parameters. Expected 1.");
    EXPECT_EQ(errorOf([&] { db->Execute("DELETE FROM Customers WHERE Company <> [Keep]"); }).number(), 3061);
    EXPECT_EQ(fileRows(path(), "SELECT Company FROM Customers ORDER BY CustomerID"),
              (std::vector<std::string>{"text:Acme", "text:Bolt", "text:Cask"}));
    // With a value given by name it is the value.
    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::Text);
    cmd->CommandText("UPDATE Customers SET Company = [New name] WHERE CustomerID = [Which]");
    cmd->Parameters().Append(cmd->CreateParameter("New name", ado::type::VarWChar, ado::direction::Input, 40, Variant("Anvil")));
    cmd->Parameters().Append(cmd->CreateParameter("Which", ado::type::Integer, ado::direction::Input, 4, Variant(1)));
    long n = 0;
    cmd->Execute(n);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(fileValue(path(), "SELECT Company FROM Customers WHERE CustomerID = 1"), "text:Anvil");
    // Names the statement does define are no parameters: aliases in ORDER BY
    // and HAVING, outer names in a subquery, and double quotes still delimit texts.
    EXPECT_EQ(rows("SELECT Quantity * 2 AS Twice FROM OrderLines ORDER BY Twice DESC"),
              (std::vector<std::string>{"10", "8", "6", "4"}));
    EXPECT_EQ(rows("SELECT CustomerID, Sum(Quantity) AS Total FROM OrderLines GROUP BY CustomerID HAVING Total > 5"),
              std::vector<std::string>{"1|9"});
    EXPECT_EQ(rows("SELECT c.Company FROM Customers AS c WHERE EXISTS (SELECT * FROM Orders AS o WHERE "
                   "o.CustomerID = c.CustomerID AND o.OrderDate > #1/10/2024#) ORDER BY c.Company"),
              (std::vector<std::string>{"Anvil", "Bolt"}));
    EXPECT_EQ(rows("SELECT Email FROM Customers WHERE Company = \"Bolt\""), std::vector<std::string>{"b@x"});
}

TEST_F(SemanticsTest, StoredQueriesListTheirUndeclaredParametersInOrderOfUse) {
    db->CreateQueryDef("Window", "PARAMETERS [Start] DateTime; SELECT OrderNo FROM Orders WHERE OrderDate >= [Start] "
                                 "AND OrderNo < [Top no] AND CustomerID = [Who] OR OrderNo = [top NO] ORDER BY OrderNo");
    db->CreateQueryDef("Rename", "UPDATE Customers SET Company = [New name] WHERE Company = [Old name]");
    db->CreateQueryDef("Plain", "SELECT Company FROM Customers ORDER BY Company");
    auto q = db->QueryDefs("Window");
    ASSERT_EQ(q->Parameters().Count(), 3);
    EXPECT_EQ(q->Parameters()(0)->Name(), "Start");
    EXPECT_EQ(q->Parameters()(0)->Type(), dao::type::Date);
    EXPECT_EQ(q->Parameters()(1)->Name(), "Top no");
    EXPECT_EQ(q->Parameters()(1)->Type(), dao::type::Text);
    EXPECT_EQ(q->Parameters()(2)->Name(), "Who");
    EXPECT_EQ(q->Parameters()(2)->Type(), dao::type::Text);
    auto r = db->QueryDefs("Rename");
    ASSERT_EQ(r->Parameters().Count(), 2);
    EXPECT_EQ(r->Parameters()(0)->Name(), "New name");
    EXPECT_EQ(r->Parameters()(1)->Name(), "Old name");
    EXPECT_EQ(db->QueryDefs("Plain")->Parameters().Count(), 0);

    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::StoredProc);
    cmd->CommandText("Window");
    cmd->Parameters().Append(cmd->CreateParameter("Start", ado::type::DBTimeStamp, ado::direction::Input, 8,
                                                  Variant("2024-01-10")));
    cmd->Parameters().Append(cmd->CreateParameter("Top no", ado::type::Integer, ado::direction::Input, 4, Variant(5)));
    long n = 0;
    EXPECT_EQ(errorOf([&] { cmd->Execute(n); }).number(), -2147217904);  // Who is missing
    cmd->Parameters().Append(cmd->CreateParameter("Who", ado::type::Integer, ado::direction::Input, 4, Variant(1)));
    auto rs = cmd->Execute(n);
    // Orders of customer 1 from 1/10 on: order 2; or order number 5: none.
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields()(0)->Value().toLong(), 2);
}

TEST_F(SemanticsTest, RecordsAffectedCountsTheStatementsOwnRows) {
    db->Execute("CREATE TABLE Parent (P LONG PRIMARY KEY)");
    db->Execute("CREATE TABLE Child (C LONG PRIMARY KEY, P LONG CONSTRAINT ParentChild REFERENCES Parent (P) "
                "ON DELETE CASCADE ON UPDATE CASCADE)");
    db->Execute("INSERT INTO Parent (P) VALUES (1), (2)");
    db->Execute("INSERT INTO Child (C, P) VALUES (10, 1), (11, 1), (12, 2)");
    db->Execute("DELETE FROM Parent WHERE P = 1");
    EXPECT_EQ(db->RecordsAffected(), 1);
    EXPECT_EQ(fileValue(path(), "SELECT group_concat(C) FROM Child"), "text:12");
    EXPECT_EQ(affected("UPDATE Parent SET P = 3 WHERE P = 2"), 1);
    EXPECT_EQ(fileValue(path(), "SELECT P FROM Child"), "int:3");
    EXPECT_EQ(affected("INSERT INTO Parent (P) SELECT C FROM Child"), 1);
    EXPECT_EQ(affected("DELETE FROM Parent"), 2);
    EXPECT_EQ(fileValue(path(), "SELECT count(*) FROM Child"), "int:0");
}

TEST_F(SemanticsTest, TextsWrittenToTypedColumnsAreConvertedOrRefused) {
    db->Execute("INSERT INTO Orders (CustomerID, OrderNo, OrderDate) VALUES (3, 1, '1/22/2024'), (3, 2, '23-Jan-2024'), "
                "(3, 3, '2024-01-24T08:30:00')");
    EXPECT_EQ(fileRows(path(), "SELECT OrderDate FROM Orders WHERE CustomerID = 3 ORDER BY OrderNo"),
              (std::vector<std::string>{"text:2024-01-22 00:00:00", "text:2024-01-23 00:00:00",
                                        "text:2024-01-24 08:30:00"}));
    EXPECT_EQ(affected("UPDATE Customers SET Active = 'No', Code = '6f9619ff-8b86-d011-b42d-00c04fc964fe', "
                       "Ratio = ' 2.5 ', Visits = '12' WHERE CustomerID = 2"),
              1);
    EXPECT_EQ(fileValue(path(), "SELECT Active, Code, Ratio, Visits FROM Customers WHERE CustomerID = 2"),
              "int:0|text:{6F9619FF-8B86-D011-B42D-00C04FC964FE}|real:2.5|int:12");
    struct Case {
        const char* sql;
        const char* field;
    };
    for (auto k : {Case{"UPDATE Customers SET Active = 'maybe' WHERE CustomerID = 3", "'Active'"},
                   Case{"UPDATE Customers SET Code = 'not a guid' WHERE CustomerID = 3", "'Code'"},
                   Case{"UPDATE Customers SET Code = 42 WHERE CustomerID = 3", "'Code'"},
                   Case{"UPDATE Customers SET Ratio = 'two' WHERE CustomerID = 3", "'Ratio'"},
                   Case{"UPDATE Customers SET Amount = '12,5 EUR' WHERE CustomerID = 3", "'Amount'"},
                   Case{"INSERT INTO Orders (CustomerID, OrderNo, OrderDate) VALUES (3, 9, 'soon')", "'OrderDate'"}}) {
        SCOPED_TRACE(k.sql);
        auto [number, text] = refused(k.sql);
        EXPECT_EQ(number, 3464);
        EXPECT_NE(text.find(std::string("the field ") + k.field), std::string::npos) << text;
    }
    EXPECT_EQ(fileValue(path(), "SELECT Active, Code, Ratio, Amount FROM Customers WHERE CustomerID = 3"),
              "int:-1|null|null|null");
    EXPECT_EQ(affected("UPDATE Customers SET Amount = '7.25' WHERE CustomerID = 3"), 1);
    EXPECT_EQ(fileValue(path(), "SELECT Amount FROM Customers WHERE CustomerID = 3"), "real:7.25");
    EXPECT_EQ(fileValue(path(), "SELECT count(*) FROM Orders WHERE OrderNo = 9"), "int:0");
}

TEST_F(SemanticsTest, TextsComparedWithTypedColumnsCompareAsTheirType) {
    EXPECT_EQ(rows("SELECT OrderNo FROM Orders WHERE OrderDate = '1/20/2024'"), std::vector<std::string>{"2"});
    EXPECT_EQ(rows("SELECT OrderNo FROM Orders AS o WHERE '20-Jan-2024' = o.OrderDate"), std::vector<std::string>{"2"});
    EXPECT_EQ(rows("SELECT CustomerID, OrderNo FROM Orders WHERE OrderDate > '2024-01-10' ORDER BY CustomerID"),
              (std::vector<std::string>{"1|2", "2|1"}));
    EXPECT_EQ(rows("SELECT count(*) FROM Orders WHERE OrderDate BETWEEN '1/1/2024' AND '1/31/2024'"),
              std::vector<std::string>{"2"});
    EXPECT_EQ(rows("SELECT count(*) FROM Orders WHERE OrderDate NOT IN ('1/5/2024', '2/1/2024')"),
              std::vector<std::string>{"1"});
    EXPECT_EQ(rows("SELECT count(*) FROM Orders WHERE OrderDate <> '1/5/2024'"), std::vector<std::string>{"2"});
    // A date serial: 45310 is 1/19/2024.
    EXPECT_EQ(rows("SELECT count(*) FROM Orders WHERE OrderDate < 45310"), std::vector<std::string>{"1"});
    EXPECT_EQ(rows("SELECT Company FROM Customers WHERE Code = '{6f9619ff-8b86-d011-b42d-00c04fc964ff}'"),
              std::vector<std::string>{"Acme"});
    EXPECT_EQ(rows("SELECT Company FROM Customers WHERE Active = 'No'"), std::vector<std::string>{"Bolt"});
    EXPECT_EQ(rows("SELECT count(*) FROM OrderLines WHERE Quantity >= ' 4'"), std::vector<std::string>{"2"});
    // In a subquery the names are those of its own tables, then the outer ones.
    EXPECT_EQ(rows("SELECT Company FROM Customers AS c WHERE EXISTS (SELECT 1 FROM Orders WHERE "
                   "Orders.CustomerID = c.CustomerID AND OrderDate = '2/1/2024')"),
              std::vector<std::string>{"Bolt"});
    // The row is found, and its order lines keep it.
    EXPECT_EQ(refused("DELETE FROM Orders WHERE OrderDate = '1/5/2024'").first, 3200);
    EXPECT_EQ(refused("SELECT * FROM Orders WHERE OrderDate > 'soon'").first, 3464);
    EXPECT_EQ(refused("SELECT * FROM OrderLines WHERE Quantity < 'many'").first, 3464);
    // An equality with a text that is no date finds nothing rather than failing.
    EXPECT_TRUE(rows("SELECT * FROM Orders WHERE OrderDate = 'soon'").empty());
}

TEST_F(SemanticsTest, MakeTableKeepsFieldTypesAndCountsItsRows) {
    db->Execute("SELECT CustomerID, Company, Balance, Since, Active, Code, Amount, Balance * 2, Company & '!' AS Shout, "
                "Since + 1 AS Later INTO Copy FROM Customers WHERE CustomerID < 3");
    EXPECT_EQ(db->RecordsAffected(), 2);
    EXPECT_EQ(fileRows(path(), "SELECT name, type FROM pragma_table_info('Copy')"),
              (std::vector<std::string>{"text:CustomerID|text:LONG", "text:Company|text:TEXT(40)",
                                        "text:Balance|text:CURRENCY", "text:Since|text:DATETIME",
                                        "text:Active|text:YESNO", "text:Code|text:GUID",
                                        "text:Amount|text:DECIMAL(12,2)", "text:Expr1000|text:DOUBLE",
                                        "text:Shout|text:TEXT(255)", "text:Later|text:DATETIME"}));
    EXPECT_EQ(fileRows(path(), "SELECT CustomerID, Company, Balance, Since, Active, Expr1000, Shout, Later FROM Copy "
                               "ORDER BY CustomerID"),
              (std::vector<std::string>{
                  "int:1|text:Acme|real:12.5|text:2024-03-14 10:30:00|int:-1|real:25|text:Acme!|text:2024-03-15 10:30:00",
                  "int:2|text:Bolt|real:0.25|null|int:0|real:0.5|text:Bolt!|null"}));
    const auto& fields = db->TableDefs()("Copy")->Fields();
    EXPECT_EQ(fields("Company")->Type(), dao::type::Text);
    EXPECT_EQ(fields("Company")->Size(), 40);
    EXPECT_EQ(fields("Balance")->Type(), dao::type::Currency);
    EXPECT_EQ(fields("Since")->Type(), dao::type::Date);
    EXPECT_EQ(fields("Active")->Type(), dao::type::Boolean);
    EXPECT_EQ(fields("CustomerID")->Type(), dao::type::Long);
    // The copy compares texts as the engine does, and keeps their size.
    EXPECT_EQ(rows("SELECT CustomerID FROM Copy WHERE Company = 'ACME'"), std::vector<std::string>{"1"});
    EXPECT_EQ(refused("INSERT INTO Copy (CustomerID, Company) VALUES (9, '" + std::string(41, 'x') + "')").first, 3163);

    // Through ADO, with a parameter; an empty result still makes the table.
    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::Text);
    cmd->CommandText("SELECT OrderNo, OrderDate INTO [Few orders] FROM Orders WHERE CustomerID = [Who]");
    cmd->Parameters().Append(cmd->CreateParameter("Who", ado::type::Integer, ado::direction::Input, 4, Variant(1)));
    long n = 0;
    cmd->Execute(n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(affected("SELECT * INTO Nothing FROM Orders WHERE OrderNo > 99"), 0);
    EXPECT_EQ(fileRows(path(), "SELECT type FROM pragma_table_info('Nothing')"),
              (std::vector<std::string>{"text:LONG", "text:LONG", "text:DATETIME"}));
    // A target that exists is refused and nothing changes.
    EXPECT_EQ(refused("SELECT Company INTO Customers FROM Customers").first, 3010);
    EXPECT_EQ(fileValue(path(), "SELECT count(*) FROM Customers"), "int:3");
    EXPECT_EQ(rows("SELECT count(*) FROM sqlite_temp_master"), std::vector<std::string>{"0"});
}

TEST_F(SemanticsTest, DistinctRowGivesEachRowOfTheSelectedTablesOnce) {
    const std::string join = " FROM Customers AS c INNER JOIN Orders AS o ON c.CustomerID = o.CustomerID ";
    EXPECT_EQ(rows("SELECT c.Company" + join + "ORDER BY c.Company"), (std::vector<std::string>{"Acme", "Acme", "Bolt"}));
    EXPECT_EQ(rows("SELECT DISTINCTROW c.Company" + join + "ORDER BY c.Company"),
              (std::vector<std::string>{"Acme", "Bolt"}));
    EXPECT_EQ(rows("SELECT DISTINCTROW Company, Email FROM Customers INNER JOIN OrderLines ON "
                   "Customers.CustomerID = OrderLines.CustomerID ORDER BY Company"),
              (std::vector<std::string>{"Acme|a@x", "Bolt|b@x"}));
    // Fields of every table: each joined row is its own.
    EXPECT_EQ(rows("SELECT DISTINCTROW c.Company, o.OrderNo" + join + "ORDER BY c.Company, o.OrderNo").size(), 3u);
    // Two rows of one table with equal values stay two rows.
    db->Execute("INSERT INTO Customers (Company, Email) VALUES ('Acme', 'a2@x')");
    db->Execute("INSERT INTO Orders (CustomerID, OrderNo) VALUES (4, 1), (4, 2)");
    EXPECT_EQ(rows("SELECT DISTINCTROW c.Company" + join + "ORDER BY c.Company"),
              (std::vector<std::string>{"Acme", "Acme", "Bolt"}));
    EXPECT_EQ(rows("SELECT DISTINCTROW TOP 1 c.Company" + join + "ORDER BY c.Company DESC"),
              std::vector<std::string>{"Bolt"});
}

TEST_F(SemanticsTest, ComputedColumnsAreNamedExpr1000Onwards) {
    EXPECT_EQ(names("SELECT OrderDate + 1, OrderNo, OrderNo * 2 AS Twice, 'x', o.CustomerID, Count(*) FROM Orders AS o "
                    "GROUP BY OrderDate, OrderNo, o.CustomerID"),
              (std::vector<std::string>{"Expr1000", "OrderNo", "Twice", "Expr1001", "CustomerID", "Expr1002"}));
    EXPECT_EQ(names("SELECT *, [Entry] & '!' FROM LogBook"), (std::vector<std::string>{"Entry", "Expr1000"}));
    EXPECT_EQ(names("SELECT Sum(Quantity) FROM OrderLines UNION SELECT 1"), std::vector<std::string>{"Expr1000"});
    EXPECT_EQ(c->Execute("SELECT TOP 1 OrderNo * 10 FROM Orders ORDER BY 1 DESC")->Fields()("Expr1000")->Value().toLong(),
              20);
}

TEST_F(SemanticsTest, RefusalsCarryTheEnginesNumbers) {
    EXPECT_EQ(refused("SELECT CustomerID FROM Orders INNER JOIN Customers ON Orders.CustomerID = Customers.CustomerID")
                  .first,
              3079);
    EXPECT_EQ(refused("SELECT NoSuchFunction(1)").first, 3085);
    EXPECT_EQ(refused("INSERT INTO LogBook (Entri) VALUES ('x')").first, 3127);
    EXPECT_EQ(refused("SELECT * FROM Orders WHERE Count(*) > 1").first, 3096);
    EXPECT_EQ(refused("SELECT OrderNo FROM Orders UNION SELECT OrderNo, CustomerID FROM Orders").first, 3307);
    EXPECT_EQ(refused("SELECT * FROM Orders WHERE OrderNo IN (SELECT OrderNo, CustomerID FROM Orders)").first, 3306);
    EXPECT_EQ(refused("SELECT Left('abc')").first, 3075);
    EXPECT_EQ(refused("SELECT Left(Null + 'x', -1)").first, 0);  // Null in, Null out
    EXPECT_EQ(refused("SELECT Left('abc', -1)").first, 5);
    EXPECT_EQ(refused("SELECT CInt(40000)").first, 6);
    EXPECT_EQ(refused("SELECT Mid('abc', Null)").first, 94);
}

TEST_F(SemanticsTest, StatementsHoldingANulAreRefusedOnEveryPath) {
    const std::string cut = std::string("DELETE FROM Customers WHERE CustomerID = 3") + '\0' + " AND Company = 'nobody'";
    auto e = errorOf([&] { db->Execute(cut); });
    EXPECT_EQ(e.number(), 3075);
    EXPECT_NE(e.description().find("Syntax error"), std::string::npos) << e.description();
    EXPECT_EQ(refused(cut).first, 3075);
    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::Text);
    cmd->CommandText(cut);
    long n = 0;
    EXPECT_EQ(errorOf([&] { cmd->Execute(n); }).number(), ado::ProviderError);
    EXPECT_EQ(lastEngineError(), 3075);
    EXPECT_EQ(errorOf([&] { db->CreateQueryDef("Cut", cut); }).number(), 3075);
    EXPECT_FALSE(db->QueryDefs().Exists("Cut"));
    EXPECT_EQ(refused(std::string("SELECT * FROM Customers WHERE Company = 'Acme") + '\0' + "'").first, 3075);
    EXPECT_EQ(fileValue(path(), "SELECT count(*) FROM Customers"), "int:3");
}

TEST_F(SemanticsTest, DroppingATableOthersReferToIsRefused) {
    auto e = errorOf([&] { db->Execute("DROP TABLE Customers"); });
    EXPECT_EQ(e.number(), 3303);
    EXPECT_NE(e.description().find("Cannot delete this table. It is participating in one or more relationships"),
              std::string::npos)
        << e.description();
    EXPECT_NE(e.description().find("'CustomersOrders'"), std::string::npos) << e.description();
    EXPECT_EQ(refused("DROP TABLE Orders").first, 3303);
    EXPECT_EQ(fileValue(path(), "SELECT count(*) FROM sqlite_master WHERE name IN ('Customers', 'Orders')"), "int:2");
    EXPECT_EQ(rows("SELECT count(*) FROM Orders INNER JOIN Customers ON Orders.CustomerID = Customers.CustomerID"),
              std::vector<std::string>{"3"});
    // From the many side the relation goes with the table; then the rest can go.
    db->Execute("DROP TABLE OrderLines");
    db->Execute("DROP TABLE Orders");
    db->Execute("DROP TABLE Customers");
    EXPECT_EQ(fileValue(path(), "SELECT count(*) FROM sqlite_master WHERE name IN ('Customers', 'Orders', 'OrderLines')"),
              "int:0");
}

}  // namespace dalvera::jet::test
