// Table metadata and the object lists, read through the database engine from
// databases built for the purpose.
#include "DataFixture.h"
#include "data/clsDSAccess.h"
#include "sheet/clsField.h"

namespace dalvera::testing {

namespace {
const std::vector<std::string> kSchema = {
    "CREATE TABLE Customers (Region TEXT(10) NOT NULL, CustNo LONG NOT NULL, Name TEXT(40), "
    "CONSTRAINT PK_Customers PRIMARY KEY (CustNo, Region))",
    "CREATE TABLE Orders (OrderId COUNTER CONSTRAINT PK_Orders PRIMARY KEY, Region TEXT(10), CustNo LONG, "
    "Note MEMO, Placed DATETIME, Total CURRENCY DEFAULT 0, "
    "CONSTRAINT CustOrders FOREIGN KEY (Region, CustNo) REFERENCES Customers (Region, CustNo))",
    "CREATE TABLE Lines (OrderId LONG CONSTRAINT OrdersLines REFERENCES Orders (OrderId), Qty SHORT)",
    "CREATE TABLE x_log (Id COUNTER PRIMARY KEY)",
    "CREATE TABLE X_Audit (Id COUNTER PRIMARY KEY)",
};
}  // namespace

class MetadataTest : public DataTest {
protected:
    void SetUp() override {
        DataTest::SetUp();
        db_ = makeDatabase("meta.sqlite", kSchema, &path_);
        db_->SetProperty("Orders", "Note", "Caption", Variant("Remarks"));
        db_->SetProperty("Orders", "Note", "ColumnWidth", Variant::longValue(1800));
        db_->SetProperty("Orders", "Note", "ColumnHidden", Variant(true));
        db_->SetProperty("Orders", "Note", "Description", Variant("Free text"));
        db_->SetProperty("Orders", "Note", "AppendOnly", Variant(true));
        db_->SetProperty("Orders", "Total", "Format", Variant("Currency"));
        db_->SetProperty("Orders", "Total", "ValidationText", Variant("Never negative."));
        db_->CreateQueryDef("Since", "PARAMETERS [Start] DateTime, [Who] Text(20); "
                                     "SELECT * FROM Orders WHERE Placed >= [Start] AND Region = [Who]");
        db_->CreateQueryDef("All orders", "SELECT * FROM Orders");
        db_->CreateQueryDef("~sq_temp", "SELECT * FROM Orders");
        db_->CreateQueryDef("x_hidden", "SELECT * FROM Orders");
        db_->CreateQueryDef("Remote", "SELECT 1", 112);
        db_->Close();
    }

    // A data source on the database, showing `table`, with its metadata read.
    std::unique_ptr<clsDSAccess> source(const std::string& table) {
        auto ds = std::make_unique<clsDSAccess>();
        ds->SetDbPath(path_);
        ds->TableAccess().SetTableNameSource([table] { return table; });
        ds->Table().Initialize();
        return ds;
    }

    std::shared_ptr<clsField> field(clsDSAccess& ds, const std::string& table, const std::string& name,
                                    int16_t index = 0) {
        auto rs = ds.GetRecordSet("SELECT * FROM [" + table + "]", true);
        return ds.Table().InitializeField(name, index, *rs);
    }

    std::shared_ptr<jet::Database> db_;
    std::string path_;
};

TEST_F(MetadataTest, PrimaryKeysComeInIndexOrder) {
    startAddin(12);
    auto customers = source("Customers");
    EXPECT_TRUE(customers->Table().HasPrimaryKey());
    ASSERT_EQ(customers->Table().PrimaryKeys().Count(), 2);
    EXPECT_EQ(customers->Table().PrimaryKeys().Item(1), "CustNo");
    EXPECT_EQ(customers->Table().PrimaryKeys().Item(2), "Region");

    auto lines = source("Lines");
    EXPECT_FALSE(lines->Table().HasPrimaryKey());
    EXPECT_EQ(lines->Table().PrimaryKeys().Count(), 0);
}

TEST_F(MetadataTest, RelationsStartAtTheShownTableWithOneEntryPerFieldPair) {
    startAddin(12);
    auto orders = source("Orders");
    auto& relations = orders->Table().Relations();
    ASSERT_EQ(relations.Count(), 2);
    const auto& first = *relations.Item("CustOrders_0");
    EXPECT_EQ(first.RelatedTable(), "Customers");
    EXPECT_EQ(first.RelatedField(), "Region");
    EXPECT_EQ(first.ForeignTable(), "Orders");
    EXPECT_EQ(first.ForeignField(), "Region");
    EXPECT_EQ(relations.Item("CustOrders_1")->RelatedField(), "CustNo");
    // Orders is the one side of OrdersLines: not listed for Orders.
    EXPECT_FALSE(relations.Exists("OrdersLines_0"));
    // Customers only is referenced.
    EXPECT_EQ(source("Customers")->Table().Relations().Count(), 0);
}

TEST_F(MetadataTest, ColumnsCarryTheFieldPropertiesOrTheirAbsence) {
    startAddin(12);
    auto orders = source("Orders");
    auto note = field(*orders, "Orders", "Note", 3);
    EXPECT_EQ(note->Name(), "Note");
    EXPECT_EQ(note->Index(), 3);
    EXPECT_EQ(note->Caption(), "Remarks");
    EXPECT_EQ(note->ColumnWidth(), 1800);
    EXPECT_TRUE(note->ColumnHidden());
    EXPECT_EQ(note->Description(), "Free text");
    EXPECT_EQ(note->TypeDAO(), host::dao::type::Memo);
    EXPECT_TRUE(note->ReadOnly()) << "append-only in the current variant";
    EXPECT_FALSE(note->IsPrimary());

    auto total = field(*orders, "Orders", "Total");
    EXPECT_EQ(total->Caption(), "");
    EXPECT_EQ(total->ColumnWidth(), -1);
    EXPECT_FALSE(total->ColumnHidden());
    EXPECT_EQ(total->Notation(), "Currency");
    EXPECT_EQ(total->ValidationText(), "Never negative.");
    EXPECT_EQ(total->DefaultValue().text(), "0");
    EXPECT_EQ(total->TypeADO(), host::ado::type::Currency);
    // No AppendOnly property at all: simply editable.
    EXPECT_FALSE(total->ReadOnly());

    auto region = field(*orders, "Orders", "Region");
    EXPECT_EQ(region->TypeADO(), host::ado::type::VarWChar);
    EXPECT_EQ(region->Size(), 10);
}

TEST_F(MetadataTest, AnAutoNumberKeyIsReadOnly) {
    startAddin(12);
    auto orders = source("Orders");
    auto id = field(*orders, "Orders", "OrderId");
    EXPECT_TRUE(id->IsAutoIncr());
    EXPECT_TRUE(id->ReadOnly());
    EXPECT_TRUE(id->IsPrimary());
}

TEST_F(MetadataTest, TheOlderVariantDoesNotReadAppendOnly) {
    SessionOptions o;
    o.variant = 11;
    o.hostVersion = "11.0";
    start(o);
    openAddinAcceptingHint();
    auto orders = source("Orders");
    EXPECT_FALSE(field(*orders, "Orders", "Note")->ReadOnly());
}

TEST_F(MetadataTest, ListsSkipHiddenSystemAndPassThroughObjects) {
    startAddin(12);
    auto ds = source("Orders");
    ds->DetermineDbObjects(true);
    std::vector<std::string> tables;
    for (const auto& t : ds->TableNames()) tables.push_back(t);
    std::sort(tables.begin(), tables.end());
    // x_ is case-sensitive: X_Audit is listed.
    EXPECT_EQ(tables, (std::vector<std::string>{"Customers", "Lines", "Orders", "X_Audit"}));

    ds->DetermineDbObjects(false);
    std::vector<std::string> queries;
    for (const auto& q : ds->QueryNames()) queries.push_back(q);
    std::sort(queries.begin(), queries.end());
    EXPECT_EQ(queries, (std::vector<std::string>{"All orders", "Since"}));
    EXPECT_EQ(ds->Queries().Count(), 2);
    const auto& since = *ds->Queries().Item("Since");
    EXPECT_NE(since.SQL().find("SELECT * FROM Orders"), std::string::npos);
    ASSERT_EQ(since.Parameters().Count(), 2);
    EXPECT_EQ(since.Parameters().Item(1)->Name(), "Start");
    EXPECT_EQ(since.Parameters().Item(1)->ParameterType(), host::ado::type::Date);
    EXPECT_EQ(since.Parameters().Item(1)->Direction(), 1);
    EXPECT_EQ(since.Parameters().Item("Who")->ParameterType(), host::ado::type::VarWChar);
    EXPECT_EQ(ds->Queries().Item("All orders")->Parameters().Count(), 0);
}

}  // namespace dalvera::testing
