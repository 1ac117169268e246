// Crosstabs, UPDATE / DELETE over joins and GUID literals through the engine's
// DAO and ADO objects on a real file; writes are checked on a connection of its own.
#include "JetFixture.h"

namespace dalvera::jet::test {
namespace ado = host::ado;
namespace dao = host::dao;

class QueryFormsTest : public JetFixture {
protected:
    std::shared_ptr<Database> sales() {
        auto db = CreateDatabase(file("sales.sqlite"));
        db->Execute("CREATE TABLE Sales (Product TEXT(20), Region TEXT(20), Qty LONG, Sold DATETIME)");
        for (const char* row : {"'Apple', 'North', 10, #1/5/2024#", "'Apple', 'South', 5, #2/1/2024#",
                                "'Apple', 'North', 3, #2/2/2024#", "'Pear', 'South', 7, #1/9/2024#",
                                "'Pear', Null, 2, #3/1/2024#", "'Plum', 'East', 4, #3/3/2024#"})
            db->Execute(std::string("INSERT INTO Sales VALUES (") + row + ")");
        return db;
    }
    std::shared_ptr<ado::Connection> connect(const std::string& name) {
        auto c = adoProvider()->NewConnection();
        c->Open("Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=" + file(name) + ";");
        return c;
    }
    // Names and rows of a record set, values as text ("Null" for Null), fields joined by '|'.
    static std::pair<std::vector<std::string>, std::vector<std::string>> table(ado::Recordset& rs) {
        std::vector<std::string> names, rows;
        for (long i = 0; i < rs.Fields().Count(); ++i) names.push_back(rs.Fields()(i)->Name());
        for (; !rs.Eof(); rs.MoveNext()) {
            std::string row;
            for (long i = 0; i < rs.Fields().Count(); ++i) {
                Variant v = rs.Fields()(i)->Value();
                row += (i ? "|" : "") + (v.isNull() ? std::string("Null") : v.toString());
            }
            rows.push_back(row);
        }
        return {names, rows};
    }
    using Rows = std::vector<std::string>;
};

TEST_F(QueryFormsTest, CrosstabRunsThroughAdoExecute) {
    sales();
    auto c = connect("sales.sqlite");
    auto rs = c->Execute("TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product PIVOT Region");
    auto [names, rows] = table(*rs);
    EXPECT_EQ(names, (Rows{"Product", "<>", "East", "North", "South"}));
    EXPECT_EQ(rows, (Rows{"Apple|Null|Null|13|5", "Pear|2|Null|Null|7", "Plum|Null|4|Null|Null"}));
    // The cells are numbers, the headings texts.
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields()("North")->Value().toLong(), 13);
    EXPECT_TRUE(rs->Fields()("Product")->Value().isString());
    // A crosstab is a select query: DAO's Execute refuses it as one.
    auto db = daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(file("sales.sqlite"));
    EXPECT_EQ(errorOf([&] { db->Execute("TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product PIVOT Region"); })
                  .number(),
              3065);
}

TEST_F(QueryFormsTest, StoredCrosstabIsACrosstabQueryDefAndTakesParameters) {
    auto db = sales();
    db->CreateQueryDef("Sales by month", "PARAMETERS [From] DateTime; TRANSFORM Sum(Qty) SELECT Product FROM Sales "
                                         "WHERE Sold >= [From] GROUP BY Product PIVOT Month(Sold) IN (1, 2, 3)");
    db->CreateQueryDef("Regions", "TRANSFORM Count(*) SELECT Product FROM Sales GROUP BY Product PIVOT Region");
    auto q = db->QueryDefs("Sales by month");
    EXPECT_EQ(q->Type(), dao::query::Crosstab);
    ASSERT_EQ(q->Parameters().Count(), 1);
    EXPECT_EQ(q->Parameters()(0)->Type(), dao::type::Date);
    EXPECT_EQ(db->QueryDefs("Regions")->Type(), dao::query::Crosstab);
    EXPECT_EQ(fileValue(file("sales.sqlite"), "SELECT type FROM dv_sys_queries WHERE name = 'Regions'"), "int:16");

    auto c = connect("sales.sqlite");
    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::StoredProc);
    cmd->CommandText("[Sales by month]");
    cmd->Parameters().Append(cmd->CreateParameter("From", ado::type::DBTimeStamp, ado::direction::Input, 8, Variant(0)));
    cmd->Parameters().Item("From")->Value(Variant("2024-02-01"));
    long n = 0;
    auto rs = cmd->Execute(n);
    auto [names, rows] = table(*rs);
    EXPECT_EQ(names, (Rows{"Product", "1", "2", "3"}));
    EXPECT_EQ(rows, (Rows{"Apple|Null|8|Null", "Pear|Null|Null|2", "Plum|Null|Null|4"}));

    auto count = adoProvider()->NewCommand();
    count->ActiveConnection(c);
    count->CommandType(ado::command::StoredProc);
    count->CommandText("Regions");
    auto r2 = count->Execute(n);
    EXPECT_EQ(table(*r2).second, (Rows{"Apple|Null|Null|2|1", "Pear|1|Null|Null|1", "Plum|Null|1|Null|Null"}));
    // Without its parameter the crosstab is refused as any query is.
    auto few = adoProvider()->NewCommand();
    few->ActiveConnection(c);
    few->CommandType(ado::command::StoredProc);
    few->CommandText("[Sales by month]");
    EXPECT_EQ(errorOf([&] { few->Execute(n); }).number(), -2147217904);
    EXPECT_EQ(lastEngineError(), 3061);
}

TEST_F(QueryFormsTest, CrosstabColumnsFollowTheData) {
    auto db = sales();
    auto c = connect("sales.sqlite");
    const std::string sql = "TRANSFORM Sum(Qty) SELECT Product FROM Sales WHERE Product <> 'Pear' GROUP BY Product "
                            "PIVOT Region";
    EXPECT_EQ(table(*c->Execute(sql)).first, (Rows{"Product", "East", "North", "South"}));
    db->Execute("INSERT INTO Sales VALUES ('Plum', 'West', 1, #4/1/2024#)");
    EXPECT_EQ(table(*c->Execute(sql)).first, (Rows{"Product", "East", "North", "South", "West"}));
    db->Execute("DELETE FROM Sales");
    auto empty = c->Execute(sql);
    EXPECT_EQ(table(*empty).first, (Rows{"Product"}));
    EXPECT_EQ(empty->RecordCount(), 0);
}

class JoinWriteTest : public QueryFormsTest {
protected:
    std::shared_ptr<Database> stock() {
        auto db = CreateDatabase(file("stock.sqlite"));
        db->Execute("CREATE TABLE Products (ProductID LONG PRIMARY KEY, Name TEXT(20), Price CURRENCY, Stock SHORT)");
        db->Execute("CREATE TABLE Deliveries (ProductID LONG, Qty LONG, Arrived YESNO)");
        db->Execute("INSERT INTO Products VALUES (1, 'Bolt', 0.25, 100), (2, 'Nut', 0.1, 50), (3, 'Gear', 12.5, 0)");
        db->Execute("INSERT INTO Deliveries VALUES (1, 20, True), (2, 5, False), (9, 7, True)");
        return db;
    }
};

TEST_F(JoinWriteTest, UpdateOverAJoinChangesOnlyTheTargetRows) {
    auto db = stock();
    db->Execute("UPDATE Products INNER JOIN Deliveries ON Products.ProductID = Deliveries.ProductID "
                "SET Products.Stock = Products.Stock + Deliveries.Qty WHERE Deliveries.Arrived = True");
    EXPECT_EQ(db->RecordsAffected(), 1);
    EXPECT_EQ(fileRows(file("stock.sqlite"), "SELECT ProductID, Stock FROM Products ORDER BY ProductID"),
              (Rows{"int:1|int:120", "int:2|int:50", "int:3|int:0"}));
    EXPECT_EQ(fileValue(file("stock.sqlite"), "SELECT sum(Qty) FROM Deliveries"), "int:32");

    // LEFT JOIN: every product, Null where no delivery came; Currency keeps four decimals.
    db->Execute("UPDATE Products AS p LEFT JOIN Deliveries AS d ON p.ProductID = d.ProductID "
                "SET p!Price = p.Price * 1.00001, Stock = d.Qty");
    EXPECT_EQ(db->RecordsAffected(), 3);
    EXPECT_EQ(fileRows(file("stock.sqlite"), "SELECT ProductID, Price, Stock FROM Products ORDER BY ProductID"),
              (Rows{"int:1|real:0.25|int:20", "int:2|real:0.1|int:5", "int:3|real:12.5001|null"}));
}

TEST_F(JoinWriteTest, AJoinUpdateThatCannotBeStoredWritesNothing) {
    auto db = stock();
    // 100 + 40000 does not fit a SHORT.
    db->Execute("UPDATE Deliveries SET Qty = 40000 WHERE ProductID = 2");
    auto e = errorOf([&] {
        db->Execute("UPDATE Products INNER JOIN Deliveries ON Products.ProductID = Deliveries.ProductID "
                    "SET Products.Stock = Products.Stock + Deliveries.Qty");
    });
    EXPECT_EQ(e.number(), 3349);
    EXPECT_NE(e.description().find("'Stock'"), std::string::npos) << e.description();
    EXPECT_EQ(fileRows(file("stock.sqlite"), "SELECT Stock FROM Products ORDER BY ProductID"),
              (Rows{"int:100", "int:50", "int:0"}));
}

TEST_F(JoinWriteTest, DeleteOverAJoinCountsTheTargetRows) {
    auto db = stock();
    db->Execute("DELETE Deliveries.* FROM Deliveries LEFT JOIN Products ON Deliveries.ProductID = Products.ProductID "
                "WHERE Products.ProductID Is Null");
    EXPECT_EQ(db->RecordsAffected(), 1);
    EXPECT_EQ(fileRows(file("stock.sqlite"), "SELECT ProductID FROM Deliveries ORDER BY ProductID"),
              (Rows{"int:1", "int:2"}));
    db->Execute("DELETE DISTINCTROW p.* FROM Products AS p INNER JOIN Deliveries AS d ON p.ProductID = d.ProductID "
                "WHERE d.Arrived = False");
    EXPECT_EQ(db->RecordsAffected(), 1);
    EXPECT_EQ(fileRows(file("stock.sqlite"), "SELECT ProductID FROM Products ORDER BY ProductID"),
              (Rows{"int:1", "int:3"}));
    EXPECT_EQ(fileValue(file("stock.sqlite"), "SELECT count(*) FROM Deliveries"), "int:2");
    EXPECT_EQ(errorOf([&] { db->Execute("DELETE * FROM Products INNER JOIN Deliveries ON Products.ProductID = "
                                        "Deliveries.ProductID"); })
                  .number(),
              3128);
    EXPECT_EQ(fileValue(file("stock.sqlite"), "SELECT count(*) FROM Products"), "int:2");
}

TEST_F(JoinWriteTest, BangQualifiersInWrites) {
    auto db = stock();
    db->Execute("UPDATE Products SET Products!Name = 'Big ' & [Products]![Name] WHERE Products!ProductID = 3");
    EXPECT_EQ(db->RecordsAffected(), 1);
    EXPECT_EQ(fileValue(file("stock.sqlite"), "SELECT Name FROM Products WHERE ProductID = 3"), "text:Big Gear");
}

TEST_F(JoinWriteTest, GuidLiteralFindsTheStoredGuid) {
    auto db = buildOrders();
    auto c = connect("orders.sqlite");
    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::Text);
    cmd->CommandText("PARAMETERS [g] Guid; INSERT INTO Customers (Company, Code) VALUES ('Acme', [g])");
    cmd->Parameters().Append(cmd->CreateParameter("g", ado::type::GUID, ado::direction::Input, 16, Variant(0)));
    cmd->Parameters().Item("g")->Value(Variant("6f9619ff-8b86-d011-b42d-00c04fc964ff"));
    long n = 0;
    cmd->Execute(n);
    db->Execute("INSERT INTO Customers (Company, Code) VALUES ('Bolt', {guid {12345678-1234-1234-1234-123456789abc}})");
    EXPECT_EQ(fileRows(file("orders.sqlite"), "SELECT Code FROM Customers ORDER BY CustomerID"),
              (Rows{"text:{6F9619FF-8B86-D011-B42D-00C04FC964FF}", "text:{12345678-1234-1234-1234-123456789ABC}"}));
    auto rs = c->Execute("SELECT Company FROM Customers WHERE Code = {guid {6F9619FF-8b86-D011-B42D-00C04FC964FF}}");
    EXPECT_EQ(table(*rs).second, Rows{"Acme"});
    db->Execute("DELETE FROM Customers WHERE Code = {guid {12345678-1234-1234-1234-123456789ABC}}");
    EXPECT_EQ(db->RecordsAffected(), 1);
}

}  // namespace dalvera::jet::test
