// Saved queries: the rows of MSysQueries put back together as Jet SQL, and the
// queries of the three queryTest files as DAO lists them and as they run.
#include <map>
#include <set>

#include "host/Ado.h"
#include "host/Dao.h"
#include "platform/access/Mirror.h"
#include "platform/access/QueryText.h"
#include "platform/jet/Jet.h"
#include "runtime/Error.h"
#include "platform/access/AccessFixture.h"

namespace dalvera::access::test {
namespace {

namespace q = host::dao::query;

QueryRow row(int attribute, std::string name1 = {}, std::string name2 = {}, std::string expression = {}, int flag = 0) {
    return QueryRow{attribute, std::move(name1), std::move(name2), std::move(expression), flag, {}};
}

TEST(QueryText, JoinsNestInTheOrderTheyChainAndKeepEveryCondition) {
    auto r = rebuildQuery("q", {row(1, "", "", "", 1), row(5, "Orders"), row(5, "Order Lines", "L"), row(5, "Customers"),
                                row(5, "Notes"), row(6, "", "", "Orders.Id"), row(6, "Total", "", "Sum(L.Amount)"),
                                row(7, "Customers", "Orders", "Customers.Id = Orders.Customer", 2),
                                row(7, "Orders", "L", "Orders.Id = L.OrderId", 1),
                                row(7, "Orders", "L", "Orders.Year = L.Year", 1), row(9, "", "", "Orders.Id"),
                                row(11, "D", "", "Orders.Id"), row(3, "7", "", "", 0x10 | 0x20)});
    EXPECT_EQ(r.type, q::Select);
    EXPECT_EQ(r.sql,
              "SELECT TOP 7 PERCENT Orders.Id, Sum(L.Amount) AS Total\n"
              "FROM (Customers LEFT JOIN Orders ON Customers.Id = Orders.Customer) INNER JOIN [Order Lines] AS L ON "
              "(Orders.Id = L.OrderId) AND (Orders.Year = L.Year), Notes\n"
              "GROUP BY Orders.Id\nORDER BY Orders.Id DESC;");
}

TEST(QueryText, EveryKindOfQueryComesBackAsItsStatement) {
    // Union: the parts are texts; flag 1 keeps duplicates.
    auto u = rebuildQuery("u", {row(1, "", "", "", 9), row(3, "", "", "", 1), row(5, "", "X7YZ_____1", "SELECT a FROM t"),
                                row(5, "", "X7YZ_____2", "SELECT b FROM s"), row(11, "", "", "a")});
    EXPECT_EQ(u.type, q::SetOperation);
    EXPECT_EQ(u.sql, "SELECT a FROM t\nUNION ALL SELECT b FROM s\nORDER BY a;");
    auto crosstab = rebuildQuery("c", {row(1, "", "", "", 6), row(5, "Sales"), row(6, "Total", "", "Sum(Amount)", 0),
                                       row(6, "", "", "Region", 2), row(6, "", "", "Year", 1),
                                       row(9, "", "", "Region", 2), row(9, "", "", "Year", 1)});
    EXPECT_EQ(crosstab.type, q::Crosstab);
    EXPECT_EQ(crosstab.sql, "TRANSFORM Sum(Amount) AS Total\nSELECT Region\nFROM Sales\nGROUP BY Region\nPIVOT Year;");
    auto update = rebuildQuery("p", {row(1, "", "", "", 4), row(2, "Since", "", "", 8), row(2, "Rate", "", "", 7),
                                     row(5, "Prices"), row(6, "", "Prices.Amount", "Prices.Amount*[Rate]"),
                                     row(8, "", "", "Prices.Changed > [Since]")});
    EXPECT_EQ(update.type, q::Update);
    EXPECT_EQ(update.sql, "PARAMETERS Since DateTime, Rate IEEEDouble;\n"
                          "UPDATE Prices SET Prices.Amount = Prices.Amount*[Rate]\nWHERE Prices.Changed > [Since];");
    auto append = rebuildQuery("a", {row(1, "Archive", "", "", 3), row(5, "Orders"), row(6, "", "Id", "Orders.Id"),
                                     row(6, "", "When", "Orders.Date")});
    EXPECT_EQ(append.sql, "INSERT INTO Archive ( Id, When )\nSELECT Orders.Id, Orders.Date\nFROM Orders;");
    auto make = rebuildQuery("m", {row(1, "Copy", "", "", 2), row(3, "", "", "", 0x1), row(5, "Orders")});
    EXPECT_EQ(make.sql, "SELECT *\nINTO Copy\nFROM Orders;");
    auto del = rebuildQuery("d", {row(1, "", "", "", 5), row(5, "Orders"), row(6, "", "", "Orders.Id"),
                                  row(6, "", "", "Orders.Date"), row(8, "", "", "Orders.Id > 3")});
    EXPECT_EQ(del.sql, "DELETE Orders.*\nFROM Orders\nWHERE Orders.Id > 3;");
    auto pass = rebuildQuery("s", {row(1, "ODBC;DSN=x", "", "EXEC proc", 8)});
    EXPECT_EQ(pass.type, q::PassThrough);
    EXPECT_EQ(pass.sql, "EXEC proc");
    EXPECT_EQ(pass.connect, "ODBC;DSN=x");

    try {
        rebuildQuery("Odd", {row(1, "", "", "", 42)});
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3343);
        EXPECT_NE(e.description().find("'Odd'"), std::string::npos);
    }
}

class SavedQueries : public ::testing::Test {
protected:
    void SetUp() override { DALVERA_NEED_ACCESS_FILES(); }
    testing::TempDir dir{"dalvera-access"};
};

TEST_F(SavedQueries, EveryQueryOfTheQueryTestFilesIsListedWithItsType) {
    const std::map<std::string, int> types = {
        {"SelectQuery", q::Select},     {"CrosstabQuery", q::Crosstab}, {"DeleteQuery", q::Delete},
        {"UpdateQuery", q::Update},     {"AppendQuery", q::Append},     {"MakeTableQuery", q::MakeTable},
        {"DataDefinitionQuery", q::DDL}, {"PassthroughQuery", q::PassThrough}, {"UnionQuery", q::SetOperation}};
    for (const char* name : {"queryTestV1997.mdb", "queryTestV2003.mdb", "queryTestV2010.accdb"}) {
        SCOPED_TRACE(name);
        const std::string file = dataFile(name);
        std::set<std::string> listed;
        for (const auto& n : splitOn(run({"mdb-queries", "-1", file}), "\n"))
            if (!n.empty()) listed.insert(n);
        ASSERT_EQ(listed.size(), 9u);
        auto db = jet::daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(file);
        std::map<std::string, std::string> sql;
        for (const auto& qd : db->QueryDefs()) {
            EXPECT_TRUE(listed.count(qd->Name())) << qd->Name();
            EXPECT_EQ(qd->Type(), types.at(qd->Name())) << qd->Name();
            sql[qd->Name()] = qd->SQL();
        }
        EXPECT_EQ(sql.size(), 9u);
        // What the command-line tools lose: TRANSFORM and PIVOT, both halves of a union, the verbs.
        EXPECT_EQ(sql["CrosstabQuery"].rfind("TRANSFORM Count([Table2].[col2]) AS CountOfcol2\nSELECT ", 0), 0u);
        EXPECT_NE(sql["CrosstabQuery"].find("\nPIVOT [Table1].[col1];"), std::string::npos);
        EXPECT_NE(sql["UnionQuery"].find("\nUNION ALL Select Table3.col1, Table3.col2"), std::string::npos);
        EXPECT_EQ(sql["UpdateQuery"].rfind("PARAMETERS [User Name] Text ( 255 );\nUPDATE Table1 SET ", 0), 0u);
        EXPECT_EQ(sql["AppendQuery"].rfind("INSERT INTO Table3 ", 0), 0u);
        EXPECT_EQ(sql["MakeTableQuery"].find("\nINTO Table4\n") != std::string::npos, true);
        EXPECT_EQ(sql["DataDefinitionQuery"], "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);");
        // The parameter query declares its parameter with its type.
        auto params = db->QueryDefs("UpdateQuery")->Parameters();
        ASSERT_GE(params.Count(), 1);
        EXPECT_EQ(params.Item(0)->Name(), "User Name");
        EXPECT_EQ(params.Item(0)->Type(), host::dao::type::Text);
        db->Close();
    }
}

TEST_F(SavedQueries, TheSelectQueryReturnsWhatItsJoinsAndConditionsSelect) {
    // The file's tables are empty: rows are added to a converted copy, and the
    // saved query is run by its name against the same rows read by SQLite itself.
    const std::string out = dir / "q.sqlite";
    writeEngineDatabase(dataFile("queryTestV2010.accdb"), out);
    auto db = jet::daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(out);
    for (const char* sql :
         {"INSERT INTO Table1 VALUES ('foo', 't1a', 't1b')", "INSERT INTO Table1 VALUES ('buzz', 't1c', 't1d')",
          "INSERT INTO Table1 VALUES ('nope', 'x', 'y')", "INSERT INTO Table3 VALUES ('foo', 'u', 'v')",
          "INSERT INTO Table3 VALUES ('buzz', 'w', 'x2')", "INSERT INTO Table2 VALUES ('foo', 'foo', 'c3')",
          "INSERT INTO Table2 VALUES ('buzz', 'buzz', 'c4')", "INSERT INTO Table2 VALUES ('buzz', 'bazz', 'c5')",
          "INSERT INTO Table2 VALUES ('zzz', 'foo', 'c6')"})
        db->Execute(sql);
    db->Close();

    auto c = jet::adoProvider()->NewConnection();
    c->Open("Dbq={" + out + "};");
    auto cmd = jet::adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(host::ado::command::StoredProc);
    cmd->CommandText("SelectQuery");
    long affected = -1;
    auto rs = cmd->Execute(affected, -1);
    std::vector<std::vector<std::string>> got;
    for (; !rs->Eof(); rs->MoveNext()) {
        std::vector<std::string> r;
        for (long i = 0; i < rs->Fields().Count(); ++i) r.push_back(rs->Fields()(i)->Value().text());
        got.push_back(r);
    }
    c->Close();
    Sqlite check(out);
    auto want = check.rows(
        "SELECT DISTINCT t1.col1, t1.col2, t1.col3, t2.col1, t2.col2, t3.col3 FROM (Table1 t1 LEFT JOIN Table3 t3 ON "
        "t1.col1 = t3.col1) JOIN Table2 t2 ON t3.col1 = t2.col1 AND t3.col1 = t2.col2 "
        "WHERE t2.col2 = 'foo' OR t2.col2 IN ('buzz', 'bazz') ORDER BY t2.col1");
    ASSERT_EQ(want.size(), 2u);
    EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace dalvera::access::test
