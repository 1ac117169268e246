// The sample database script, run through the engine, read as the data source reads it.
#include <cstdlib>

#include "JetFixture.h"
#include "platform/jet/Script.h"
#include "runtime/DateSerial.h"

namespace dalvera::jet::test {
namespace dao = host::dao;
namespace ado = host::ado;

class SampleDatabaseTest : public JetFixture {
protected:
    void SetUp() override {
        JetFixture::SetUp();
        const char* src = std::getenv("DALVERA_SOURCE_DIR");
        std::string root = src ? src : DALVERA_TEST_SOURCE_DIR;
        auto db = CreateDatabase(file("sample.sqlite"));
        runScript(*db, readBytes(root + "/examples/sample.sql"));
        db->Close();
        database = daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(file("sample.sqlite"), false, false, ";pwd=");
    }
    std::shared_ptr<dao::Database> database;
};

TEST_F(SampleDatabaseTest, ListsTablesAndQueriesAsTheDataSourceFiltersThem) {
    std::vector<std::string> tables, queries;
    for (const auto& t : database->TableDefs())
        if (!(t->Attributes() & dao::SystemObject) && t->Name().rfind("x_", 0) != 0) tables.push_back(t->Name());
    EXPECT_EQ(tables, (std::vector<std::string>{"Categories", "Customers", "Employees", "OrderLines", "Orders",
                                                "PriceHistory", "Products"}));
    EXPECT_TRUE(database->TableDefs().Exists("x_ChangeLog"));
    for (const auto& q : database->QueryDefs())
        if (q->Name()[0] != '~') queries.push_back(q->Name());
    EXPECT_EQ(queries.size(), 3u);
    EXPECT_TRUE(database->QueryDefs().Exists("~sq_cOrders"));
    EXPECT_EQ(database->QueryDefs("Raise prices of beverages")->Type(), dao::query::Update);
}

TEST_F(SampleDatabaseTest, TableMetadataAsTheTableSheetReadsIt) {
    auto products = database->TableDefs("Products");
    EXPECT_TRUE(products->Fields("ProductID")->Attributes() & dao::AutoIncrField);
    EXPECT_EQ(products->Fields("AddedOn")->DefaultValue(), Variant("Now()"));
    EXPECT_EQ(products->Fields("ProductCode")->DefaultValue(), Variant("newid"));
    EXPECT_EQ(products->Fields("Discontinued")->DefaultValue(), Variant("0"));
    EXPECT_EQ(products->Fields("UnitPriceUSD")->Properties()("Format")->Value(), Variant("$#,##0.00"));
    EXPECT_EQ(products->Fields("TaxRate")->Properties()("Format")->Value(), Variant("€#,##0.0000"));
    EXPECT_EQ(products->Fields("Discount")->Properties()("ValidationText")->Value(),
              Variant("A discount lies between 0 and 1."));
    auto customers = database->TableDefs("Customers");
    EXPECT_TRUE(customers->Fields("InternalCode")->Properties()("ColumnHidden")->Value().toBool());
    EXPECT_EQ(customers->Fields("CompanyName")->Properties()("ColumnWidth")->Value().toLong(), 3200);
    EXPECT_TRUE(customers->Fields("Notes")->Properties()("AppendOnly")->Value().toBool());
    EXPECT_EQ(customers->Fields("Country")->DefaultValue(), Variant("\"Netherlands\""));
    // Two field pairs, and no primary key on the history table.
    auto r = database->Relations()("OrdersOrderLines");
    EXPECT_EQ(r->Fields().Count(), 2);
    for (const auto& ix : database->TableDefs("PriceHistory")->Indexes()) EXPECT_FALSE(ix->Primary());
}

TEST_F(SampleDatabaseTest, ParameterQueryRunsByNameAndDefaultsFillNewRows) {
    auto c = adoProvider()->NewConnection();
    c->Open("Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=" + file("sample.sqlite") + ";Uid=Admin;Pwd=;");
    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::StoredProc);
    cmd->CommandText("`Orders since for customer`");
    for (const auto& p : database->QueryDefs("Orders since for customer")->Parameters()) {
        cmd->Parameters().Append(cmd->CreateParameter(p->Name(), p->Type() == 8 ? 7 : 202, 1, 10, Variant(0)));
        cmd->Parameters().Item(p->Name())->Value(Variant(p->Type() == 8 ? "1/1/2024" : "Harbour Foods"));
    }
    long n = 0;
    auto rs = cmd->Execute(n);
    ASSERT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Fields()("OrderDate")->Value(), Variant::date(dateSerial(2024, 1, 20, 10, 15, 0)));
    rs->MoveLast();
    EXPECT_EQ(rs->Fields()("OrderYear")->Value().toLong(), 2025);

    long affected = 0;
    c->Execute("INSERT INTO Orders (OrderYear, OrderNo, CustomerID) VALUES (2025, 2, 3)", affected);
    EXPECT_EQ(affected, 1);
    auto row = c->Execute("SELECT OrderDate, Freight FROM Orders WHERE OrderYear = 2025 AND OrderNo = 2");
    EXPECT_TRUE(row->Fields()(0)->Value().isDate());
    EXPECT_EQ(row->Fields()(1)->Value(), Variant::currency(0));
}

TEST(ScriptTest, SplitsAtSemicolonsOutsideQuotesNamesAndComments) {
    auto s = splitStatements("CREATE TABLE [a;b] (x TEXT(5)); -- note; here\n"
                             "INSERT INTO [a;b] VALUES ('1;2');\n"
                             "QUERY [q] AS\n PARAMETERS [p] Long; SELECT * FROM [a;b] WHERE x = [p];;");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1], "INSERT INTO [a;b] VALUES ('1;2')");
    EXPECT_EQ(s[2], "QUERY [q] AS\n PARAMETERS [p] Long; SELECT * FROM [a;b] WHERE x = [p]");
}

class ScriptRunTest : public JetFixture {};

TEST_F(ScriptRunTest, DirectivesStoreTypedPropertiesAndFailuresNameTheStatement) {
    auto db = CreateDatabase(file("s.sqlite"));
    runScript(*db, "CREATE TABLE T (A TEXT(10), B LONG);"
                   "PROPERTY [T].[A] Caption = 'It''s A', ColumnWidth = 1200, ColumnHidden = Yes;"
                   "PROPERTY T Description = \"Table T\";"
                   "QUERY [Pass] TYPE 112 AS SELECT 1");
    const auto& p = db->TableDefs("T")->Fields("A")->Properties();
    EXPECT_EQ(p("Caption")->Value(), Variant("It's A"));
    EXPECT_EQ(p("ColumnWidth")->Value(), Variant::longValue(1200));
    EXPECT_EQ(p("ColumnHidden")->Value(), Variant(true));
    EXPECT_EQ(db->TableDefs("T")->Properties()("Description")->Value(), Variant("Table T"));
    EXPECT_EQ(db->QueryDefs("Pass")->Type(), dao::query::PassThrough);

    auto e = errorOf([&] { runScript(*db, "INSERT INTO T (B) VALUES (1); PROPERTY [T].[Nope] Caption = 'x'"); });
    EXPECT_EQ(e.number(), 3265);
    EXPECT_NE(e.description().find("Statement 2: PROPERTY [T].[Nope]"), std::string::npos);
    EXPECT_EQ(errorOf([&] { runScript(*db, "PROPERTY [T].[A] Caption 'x'"); }).number(), 3292);
    // The failed scripts left nothing behind.
    db->Execute("DELETE FROM T");
    EXPECT_EQ(db->RecordsAffected(), 0);
}

}  // namespace dalvera::jet::test
