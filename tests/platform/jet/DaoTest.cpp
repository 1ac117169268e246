// DAO metadata over a database built with the engine's DDL.
#include "JetFixture.h"

namespace dalvera::jet::test {
namespace dao = host::dao;

class DaoTest : public JetFixture {};

TEST_F(DaoTest, DeclaredTypesReportDaoCodesSizesAndAttributes) {
    auto db = buildOrders();
    auto t = db->TableDefs("Customers");
    struct Expect { const char* field; int type; long size; };
    for (auto e : {Expect{"CustomerID", dao::type::Long, 4}, Expect{"Company", dao::type::Text, 40},
                   Expect{"Active", dao::type::Boolean, 1}, Expect{"Balance", dao::type::Currency, 8},
                   Expect{"Since", dao::type::Date, 8}, Expect{"Notes", dao::type::Memo, 0},
                   Expect{"Rating", dao::type::Byte, 1}, Expect{"Visits", dao::type::Integer, 2},
                   Expect{"Score", dao::type::Single, 4}, Expect{"Ratio", dao::type::Double, 8},
                   Expect{"Photo", dao::type::LongBinary, 0}, Expect{"Tag", dao::type::Binary, 8},
                   Expect{"Code", dao::type::GUID, 16}, Expect{"Amount", dao::type::Decimal, 16}}) {
        SCOPED_TRACE(e.field);
        EXPECT_EQ(t->Fields(e.field)->Type(), e.type);
        EXPECT_EQ(t->Fields(e.field)->Size(), e.size);
    }
    EXPECT_TRUE(t->Fields("CustomerID")->Attributes() & dao::AutoIncrField);
    EXPECT_FALSE(db->TableDefs("Orders")->Fields("OrderNo")->Attributes() & dao::AutoIncrField);
    EXPECT_TRUE(t->Fields("Company")->Required());
    EXPECT_TRUE(t->Fields("Email")->AllowZeroLength());
    EXPECT_FALSE(t->Fields("Ratio")->AllowZeroLength());
}

TEST_F(DaoTest, PlainSqliteDeclarationsMapSensibly) {
    auto db = CreateDatabase(file("plain.sqlite"));
    sqlite3_exec(db->session().db(),
                 "CREATE TABLE p (id INTEGER PRIMARY KEY AUTOINCREMENT, n INTEGER, t TEXT, r REAL, b BLOB, "
                 "x NUMERIC, v VARCHAR(30))",
                 nullptr, nullptr, nullptr);
    auto t = db->TableDefs("p");
    EXPECT_EQ(t->Fields("id")->Type(), dao::type::Long);
    EXPECT_TRUE(t->Fields("id")->Attributes() & dao::AutoIncrField);
    EXPECT_FALSE(t->Fields("n")->Attributes() & dao::AutoIncrField);
    EXPECT_EQ(t->Fields("t")->Type(), dao::type::Memo);
    EXPECT_EQ(t->Fields("r")->Type(), dao::type::Double);
    EXPECT_EQ(t->Fields("b")->Type(), dao::type::LongBinary);
    EXPECT_EQ(t->Fields("x")->Type(), dao::type::Decimal);
    EXPECT_EQ(t->Fields("v")->Size(), 30);
    // The row id primary key has no index of its own but is reported as one.
    ASSERT_EQ(t->Indexes().Count(), 1);
    EXPECT_TRUE(t->Indexes()(0)->Primary());
    EXPECT_EQ(t->Indexes()(0)->Fields()(0)->Name(), "id");
}

TEST_F(DaoTest, SystemTablesCarryTheSystemBitsAndMissingTablesRaise3265) {
    auto db = buildOrders();
    db->SetProperty("Customers", "Company", "Caption", Variant("Company name"));
    bool sawMeta = false, sawSequence = false;
    for (const auto& t : db->TableDefs()) {
        bool system = (t->Attributes() & dao::SystemObject) != 0;
        if (t->Name().rfind("dv_sys_", 0) == 0) sawMeta = system;
        if (t->Name() == "sqlite_sequence") sawSequence = system;
        if (t->Name() == "Customers") {
            EXPECT_FALSE(system);
        }
    }
    EXPECT_TRUE(sawMeta);
    EXPECT_TRUE(sawSequence);
    auto e = errorOf([&] { db->TableDefs("Nope"); });
    EXPECT_EQ(e.number(), 3265);
    EXPECT_EQ(e.description(), "Item not found in this collection.");
    EXPECT_EQ(errorOf([&] { db->TableDefs()(99); }).number(), 3265);
}

TEST_F(DaoTest, PrimaryKeysIncludingCompositeAndRowIdKeys) {
    auto db = buildOrders();
    auto pk = [&](const std::string& table) {
        std::vector<std::string> names;
        for (const auto& ix : db->TableDefs(table)->Indexes())
            if (ix->Primary())
                for (const auto& f : ix->Fields()) names.push_back(f->Name());
        return names;
    };
    EXPECT_EQ(pk("Orders"), (std::vector<std::string>{"CustomerID", "OrderNo"}));
    EXPECT_EQ(pk("Customers"), std::vector<std::string>{"CustomerID"});
    EXPECT_EQ(pk("OrderLines"), std::vector<std::string>{"LineID"});
    EXPECT_TRUE(pk("LogBook").empty());
    // The unique constraint is an index, not a primary key.
    bool unique = false;
    for (const auto& ix : db->TableDefs("Customers")->Indexes())
        if (!ix->Primary() && ix->Fields()(0)->Name() == "Email") unique = ix->Unique();
    EXPECT_TRUE(unique);
}

TEST_F(DaoTest, RelationsCarryConstraintNamesAndFieldPairs) {
    auto db = buildOrders();
    auto r = db->Relations()("OrderLinesOfOrder");
    EXPECT_EQ(r->Table(), "Orders");
    EXPECT_EQ(r->ForeignTable(), "OrderLines");
    ASSERT_EQ(r->Fields().Count(), 2);
    EXPECT_EQ(r->Fields(0)->Name(), "CustomerID");
    EXPECT_EQ(r->Fields(1)->Name(), "OrderNo");
    EXPECT_EQ(r->Fields(1)->ForeignName(), "OrderNo");
    auto c = db->Relations()("CustomersOrders");
    EXPECT_EQ(c->Table(), "Customers");
    EXPECT_EQ(c->ForeignTable(), "Orders");
    EXPECT_EQ(db->Relations().Count(), 2);
}

TEST_F(DaoTest, FieldPropertiesByIndexAndNameAndDefaults) {
    auto db = buildOrders();
    db->SetProperty("Customers", "Company", "Caption", Variant("Company name"));
    db->SetProperty("Customers", "Company", "ColumnWidth", Variant::integer(2400));
    db->SetProperty("Customers", "Company", "ColumnHidden", Variant(true));
    db->SetProperty("Customers", "Balance", "Format", Variant("€#,##0.00"));
    db->SetProperty("Customers", "Code", "DefaultValue", Variant("newid"));
    auto t = db->TableDefs("Customers");
    const auto& props = t->Fields("Company")->Properties();
    EXPECT_EQ(props("Caption")->Value(), Variant("Company name"));
    EXPECT_EQ(props("ColumnWidth")->Value().toLong(), 2400);
    EXPECT_TRUE(props("ColumnHidden")->Value().toBool());
    bool found = false;
    for (long i = 0; i < props.Count(); ++i) found = found || props.Item(i)->Name() == "Caption";
    EXPECT_TRUE(found);
    // Undefined properties are absent; the built-in ones every field has are present.
    EXPECT_FALSE(t->Fields("Email")->Properties().Exists("Caption"));
    EXPECT_FALSE(t->Fields("Email")->Properties().Exists("ColumnWidth"));
    EXPECT_EQ(t->Fields("Email")->Properties()("AppendOnly")->Value(), Variant(false));
    EXPECT_EQ(errorOf([&] { t->Fields("Email")->Properties()("Caption"); }).number(), 3265);
    EXPECT_EQ(t->Fields("Balance")->Properties()("Format")->Value(), Variant("€#,##0.00"));
    EXPECT_EQ(t->Fields("Code")->DefaultValue(), Variant("newid"));
    EXPECT_EQ(t->Fields("Balance")->DefaultValue(), Variant("0"));
    EXPECT_EQ(t->Fields("Email")->DefaultValue(), Variant(""));
    EXPECT_EQ(errorOf([&] { db->SetProperty("Customers", "Nope", "Caption", Variant("x")); }).number(), 3265);
}

TEST_F(DaoTest, StoredQueriesWithTypesAndDeclaredParameters) {
    auto db = buildOrders();
    db->CreateQueryDef("Recent orders", "PARAMETERS [Start] DateTime, [Who] Text(40); "
                                        "SELECT * FROM Orders WHERE OrderDate >= [Start]");
    db->CreateQueryDef("Purge log", "DELETE FROM LogBook");
    db->CreateQueryDef("Pass", "SELECT 1", dao::query::PassThrough);
    auto q = db->QueryDefs("Recent orders");
    EXPECT_EQ(q->Type(), dao::query::Select);
    ASSERT_EQ(q->Parameters().Count(), 2);
    EXPECT_EQ(q->Parameters()(0)->Name(), "Start");
    EXPECT_EQ(q->Parameters()(0)->Type(), dao::type::Date);
    EXPECT_EQ(q->Parameters()(1)->Type(), dao::type::Text);
    EXPECT_EQ(q->Parameters()(1)->Direction(), dao::ParamInput);
    EXPECT_EQ(db->QueryDefs("Purge log")->Type(), dao::query::Delete);
    EXPECT_EQ(db->QueryDefs("Pass")->Type(), dao::query::PassThrough);
    EXPECT_EQ(db->QueryDefs("purge LOG")->SQL(), "DELETE FROM LogBook");
    // A query may not take a table's name.
    EXPECT_EQ(errorOf([&] { db->CreateQueryDef("Orders", "SELECT 1"); }).number(), 3012);
}

TEST_F(DaoTest, DataDefinitionChangesShowInTheNextRead) {
    auto db = buildOrders();
    db->SetProperty("LogBook", "Entry", "Caption", Variant("Entry"));
    EXPECT_EQ(db->TableDefs("LogBook")->Fields().Count(), 1);
    db->Execute("ALTER TABLE LogBook ADD COLUMN Logged DATETIME");
    db->Execute("CREATE UNIQUE INDEX IX_Logged ON LogBook (Logged)");
    auto t = db->TableDefs("LogBook");
    EXPECT_EQ(t->Fields("Logged")->Type(), dao::type::Date);
    EXPECT_EQ(t->Indexes()("IX_Logged")->Fields()(0)->Name(), "Logged");
    EXPECT_FALSE(t->Indexes()("IX_Logged")->Primary());
    db->Execute("DROP TABLE LogBook");
    EXPECT_FALSE(db->TableDefs().Exists("LogBook"));
    // A new table of the same name does not inherit the old one's properties.
    db->Execute("CREATE TABLE LogBook (Entry TEXT(100))");
    EXPECT_FALSE(db->TableDefs("LogBook")->Fields("Entry")->Properties().Exists("Caption"));
}

TEST_F(DaoTest, QueryTypesFollowTheStatement) {
    EXPECT_EQ(queryTypeOf("SELECT a INTO b FROM c"), dao::query::MakeTable);
    EXPECT_EQ(queryTypeOf("INSERT INTO t (a) VALUES (1)"), dao::query::Append);
    EXPECT_EQ(queryTypeOf("UPDATE t SET a = 1"), dao::query::Update);
    EXPECT_EQ(queryTypeOf("select a from t union select a from u"), dao::query::SetOperation);
    EXPECT_EQ(queryTypeOf("SELECT [into] FROM t"), dao::query::Select);
    EXPECT_EQ(queryTypeOf("CREATE TABLE t (a LONG)"), dao::query::DDL);
}

TEST_F(DaoTest, WorkspaceOpensWithTheEngineAndClosedDatabasesRefuse) {
    buildOrders();
    auto engine = daoProvider()->ThreadEngine();
    EXPECT_EQ(engine, daoProvider()->ThreadEngine());
    auto ws = engine->Workspaces(0);
    EXPECT_EQ(ws->UserName(), "Admin");
    EXPECT_EQ(errorOf([&] { engine->Workspaces(1); }).number(), 3265);
    auto db = ws->OpenDatabase(file("orders.sqlite"), false, false, ";pwd=");
    EXPECT_EQ(db->TableDefs("Orders")->Fields().Count(), 3);
    db->Execute("INSERT INTO LogBook (Entry) VALUES ('a')");
    EXPECT_EQ(db->RecordsAffected(), 1);
    EXPECT_EQ(errorOf([&] { db->Execute("SELECT * FROM LogBook"); }).number(), 3065);
    db->Close();
    EXPECT_EQ(errorOf([&] { db->TableDefs(); }).number(), 3420);
}

}  // namespace dalvera::jet::test
