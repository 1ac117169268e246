// Translations whose meaning differs from SQLite's reading of the same text:
// division, Mod, comparisons with typed columns, DISTINCTROW and the names of
// computed columns (the last three need the tables' columns).
#include <gtest/gtest.h>

#include "platform/jet/sql/JetSql.h"
#include "platform/jetsql/JetDb.h"
#include "runtime/Error.h"

using dalvera::Error;
using dalvera::jet::ColumnLookup;
using dalvera::jet::StoreColumn;
using dalvera::jet::StoreKind;
using dalvera::jet::translate;
using dalvera::jet::testing::JetDb;

namespace {

const ColumnLookup kTables = [](const std::string& table) -> std::vector<StoreColumn> {
    if (table == "Orders" || table == "orders")
        return {{"Id", StoreKind::Long}, {"OrderDate", StoreKind::Date}, {"Qty", StoreKind::Integer},
                {"Paid", StoreKind::Boolean}, {"Code", StoreKind::Guid}, {"Note", StoreKind::Any}};
    if (table == "Customers") return {{"Id", StoreKind::Long}, {"Name", StoreKind::Any}};
    return {};
};

std::string withTables(const std::string& sql) { return translate(sql, {}, kTables).sql; }

long errorNumber(const std::string& sql, const ColumnLookup& columns = {}) {
    try {
        translate(sql, {}, columns);
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(JetSemantics, SlashAndModFoldAtTheirPrecedence) {
    EXPECT_EQ(translate("SELECT a / b * c, a * b / c, a - b / -c, -a / t.b FROM t").sql,
              "SELECT jet_div(a, b) * c, jet_div(a * b, c), jet_sub(a, jet_div(b, -c)), jet_div(-a, t.b) FROM t");
    EXPECT_EQ(translate("SELECT a / b \\ c, a \\ b / c, a Mod b / c, a / b Mod c + 1 FROM t").sql,
              "SELECT jet_intdiv(jet_div(a, b), c), jet_intdiv(a, jet_div(b, c)), jet_mod(a, jet_div(b, c)), "
              "jet_add(jet_mod(jet_div(a, b), c), 1) FROM t");
    EXPECT_EQ(errorNumber("SELECT / 2"), 3075);
    EXPECT_EQ(errorNumber("SELECT 2 / FROM t"), 3075);

    JetDb db;
    EXPECT_EQ(db.value("SELECT 7 / 2, 6 / 3, '9' / 2, Null / 2"), "3.5|2.0|4.5|NULL");
    // Mod rounds half to even first; the remainder has the dividend's sign.
    EXPECT_EQ(db.value("SELECT 7.5 Mod 2, 6.5 Mod 4, -7 Mod 3, 7 Mod -3, 10 Mod 2.5"), "0|2|-1|1|0");
    EXPECT_THROW(db.value("SELECT 5 Mod 0"), std::runtime_error);
    EXPECT_THROW(db.value("SELECT 5 / 0"), std::runtime_error);
    EXPECT_THROW(db.value("SELECT 'five' / 2"), std::runtime_error);
}

TEST(JetSemantics, LiteralsComparedWithTypedColumnsTakeTheirType) {
    EXPECT_EQ(withTables("SELECT Id FROM Orders WHERE OrderDate = '1/20/2024' AND Note = '1/20/2024'"),
              "SELECT Id FROM Orders WHERE OrderDate IN ('2024-01-20 00:00:00', '1/20/2024') AND Note = '1/20/2024'");
    EXPECT_EQ(withTables("SELECT Id FROM Orders AS o WHERE o.OrderDate >= '2024-01-01' AND '20-Jan-2024' > o.OrderDate"),
              "SELECT Id FROM Orders AS o WHERE o.OrderDate >= '2024-01-01 00:00:00' AND '2024-01-20 00:00:00' > "
              "o.OrderDate");
    EXPECT_EQ(withTables("DELETE FROM Orders WHERE OrderDate BETWEEN '1/1/2024' AND #1/31/2024# OR Qty < ' 3'"),
              "DELETE FROM Orders WHERE OrderDate BETWEEN '2024-01-01 00:00:00' AND '2024-01-31 00:00:00' OR Qty < 3");
    EXPECT_EQ(withTables("SELECT * FROM Orders WHERE Paid = 'Yes' AND Code <> '6f9619ff-8b86-d011-b42d-00c04fc964ff'"),
              "SELECT * FROM Orders WHERE Paid IN (-1, 'Yes') AND Code NOT IN ('{6F9619FF-8B86-D011-B42D-00C04FC964FF}', "
              "'6f9619ff-8b86-d011-b42d-00c04fc964ff')");
    EXPECT_EQ(withTables("SELECT * FROM Orders WHERE OrderDate NOT IN ('1/5/2024', #2/1/2024#)"),
              "SELECT * FROM Orders WHERE OrderDate NOT IN ('1/5/2024', '2024-01-05 00:00:00', '2024-02-01 00:00:00')");
    // Not a whole operand, a name of no table in scope, or a column of the outer query.
    EXPECT_EQ(withTables("SELECT * FROM Orders WHERE OrderDate + 1 = '1/20/2024' AND Missing = '1/20/2024'"),
              "SELECT * FROM Orders WHERE jet_add(OrderDate, 1) = '1/20/2024' AND Missing = '1/20/2024'");
    EXPECT_EQ(withTables("SELECT Name FROM Customers WHERE EXISTS (SELECT 1 FROM Orders AS o WHERE o.Qty = Customers.Id "
                         "AND OrderDate < '2/1/2024')"),
              "SELECT Name FROM Customers WHERE EXISTS (SELECT 1 AS \"Expr1000\" FROM Orders AS o WHERE o.Qty = "
              "Customers.Id AND OrderDate < '2024-02-01 00:00:00')");
    EXPECT_EQ(withTables("UPDATE Orders SET Note = 'x' WHERE OrderDate = 45310"),
              "UPDATE Orders SET \"Note\" = 'x' WHERE OrderDate IN ('2024-01-19 00:00:00', 45310)");
    // A SET assignment written as is (a shape the checked writes leave alone) is no comparison.
    EXPECT_EQ(withTables("UPDATE Orders SET (Note) = ('x'), OrderDate = '1/20/2024' WHERE OrderDate = '1/5/2024'"),
              "UPDATE Orders SET (Note) = ('x'), OrderDate = '1/20/2024' WHERE OrderDate IN ('2024-01-05 00:00:00', "
              "'1/5/2024')");
    // An order against a text that is no value of the type cannot be answered.
    EXPECT_EQ(errorNumber("SELECT * FROM Orders WHERE OrderDate < 'soon'", kTables), 3464);
    EXPECT_EQ(errorNumber("SELECT * FROM Orders WHERE Qty BETWEEN 1 AND 'ten'", kTables), 3464);
    EXPECT_EQ(errorNumber("SELECT * FROM Orders WHERE OrderDate = 'soon'", kTables), 0);
    // Without the tables' columns nothing is assumed.
    EXPECT_EQ(translate("SELECT * FROM Orders WHERE OrderDate = '1/20/2024'").sql,
              "SELECT * FROM Orders WHERE OrderDate = '1/20/2024'");
}

TEST(JetSemantics, DistinctRowGroupsByTheRowsOfTheSelectedTables) {
    const std::string from = " FROM Customers AS c INNER JOIN Orders AS o ON c.Id = o.Id";
    EXPECT_EQ(withTables("SELECT DISTINCTROW c.Name, Name & '!'" + from + " WHERE o.Qty > 1 ORDER BY c.Name"),
              "SELECT c.Name, jet_concat(Name, '!') AS \"Expr1000\"" + from +
                  " WHERE o.Qty > 1 GROUP BY \"c\".rowid ORDER BY c.Name");
    EXPECT_EQ(withTables("SELECT DISTINCTROW o.* FROM (Orders AS o INNER JOIN Customers ON o.Id = Customers.Id)"),
              "SELECT o.* FROM (Orders AS o INNER JOIN Customers ON o.Id = Customers.Id) GROUP BY \"o\".rowid");
    EXPECT_EQ(withTables("SELECT DISTINCTROW Qty, Paid FROM Orders, Customers UNION SELECT Id, 1 FROM Customers"),
              "SELECT Qty, Paid FROM Orders, Customers GROUP BY \"Orders\".rowid UNION SELECT Id, 1 AS \"Expr1000\" "
              "FROM Customers");
    // Fields of every table, all fields, aggregates, names it cannot place, or one table: as written.
    for (const char* list : {"c.Name, o.Qty", "*", "Count(*)", "Id", "c.Name, Missing"})
        EXPECT_EQ(withTables(std::string("SELECT DISTINCTROW ") + list + from).find("GROUP BY"), std::string::npos) << list;
    EXPECT_EQ(withTables("SELECT DISTINCTROW Qty FROM Orders"), "SELECT Qty FROM Orders");
    EXPECT_EQ(translate("SELECT DISTINCTROW c.Name" + from).sql, "SELECT c.Name" + from);

    JetDb db;
    db.run("CREATE TABLE Customers (Id LONG, Name TEXT(10))");
    db.run("CREATE TABLE Orders (Id LONG, Qty SHORT)");
    db.run("INSERT INTO Customers VALUES (1, 'Ann'), (2, 'Ann'), (3, 'Bob')");
    db.run("INSERT INTO Orders VALUES (1, 5), (1, 6), (2, 7), (3, 8), (3, 9)");
    auto run = [&](const std::string& sql) { return db.runNative(withTables(sql)); };
    EXPECT_EQ(run("SELECT DISTINCTROW c.Name" + from + " ORDER BY c.Name"),
              (std::vector<std::string>{"Ann", "Ann", "Bob"}));
    EXPECT_EQ(run("SELECT DISTINCTROW TOP 1 c.Name" + from + " ORDER BY c.Name DESC"), std::vector<std::string>{"Bob"});
}

TEST(JetSemantics, ComputedColumnsAreNamedInListOrder) {
    EXPECT_EQ(withTables("SELECT Qty + 1, Qty, o.Qty, o.*, Qty * 2 AS d, 'x', Null, [Paid] FROM Orders AS o"),
              "SELECT jet_add(Qty, 1) AS \"Expr1000\", Qty, o.Qty, o.*, Qty * 2 AS d, 'x' AS \"Expr1001\", Null AS "
              "\"Expr1002\", \"Paid\" FROM Orders AS o");
    EXPECT_EQ(withTables("SELECT DISTINCT TOP 2 Qty / 2 FROM Orders ORDER BY 1"),
              "SELECT DISTINCT jet_div(Qty, 2) AS \"Expr1000\" FROM Orders ORDER BY 1 LIMIT 2");
    EXPECT_EQ(withTables("SELECT [Some value] FROM Orders"), "SELECT \"Some value\" FROM Orders");
    EXPECT_EQ(translate("SELECT [Some value] FROM Orders", {"Some value"}, kTables).sql,
              "SELECT ?1 AS \"Expr1000\" FROM Orders");
}

TEST(JetSemantics, UnknownQualifiedNamesBecomeOneParameter) {
    auto t = translate("SELECT o.Id FROM Orders AS o WHERE o.Nmae = 1 OR [o].[Nmae] = 2", {"o.Nmae"});
    EXPECT_EQ(t.sql, "SELECT o.Id FROM Orders AS o WHERE ?1 = 1 OR ?1 = 2");
    EXPECT_EQ(t.bindNames, std::vector<std::string>{"o.Nmae"});
}

TEST(JetSemantics, ANulByteEndsNothingQuietly) {
    EXPECT_EQ(errorNumber(std::string("DELETE FROM t WHERE a = 3") + '\0' + " AND b = 4"), 3075);
    EXPECT_EQ(errorNumber(std::string("SELECT '\0'", 10)), 3075);
    EXPECT_EQ(errorNumber(std::string("\0", 1)), 3075);
}
