// ALTER COLUMN, ADD / DROP CONSTRAINT and the index options, which rebuild
// or extend a table: the rows, properties, indexes and relations afterwards,
// read from the file on a connection of its own.
#include "JetFixture.h"

namespace dalvera::jet::test {
namespace ado = host::ado;
namespace dao = host::dao;

class SchemaChangeTest : public JetFixture {
protected:
    using Rows = std::vector<std::string>;
    std::string path;
    std::shared_ptr<Database> db;

    void SetUp() override {
        JetFixture::SetUp();
        path = file("shop.sqlite");
        db = CreateDatabase(path);
        db->Execute("CREATE TABLE Customers (CustID COUNTER CONSTRAINT PK_Customers PRIMARY KEY, Name TEXT(20) NOT NULL, "
                    "Code TEXT(10), Rating TEXT(5) DEFAULT '3')");
        db->Execute("CREATE TABLE Orders (OrderID LONG, CustID LONG, Amount CURRENCY, Note TEXT(50), "
                    "CONSTRAINT FK_Cust FOREIGN KEY (CustID) REFERENCES Customers (CustID))");
        db->Execute("CREATE INDEX ByName ON Customers (Name)");
        db->SetProperty("Customers", "Name", "Caption", Variant("Customer"));
        db->Execute("INSERT INTO Customers (Name, Code, Rating) VALUES ('Ann', 'A1', '5')");
        db->Execute("INSERT INTO Customers (Name, Code, Rating) VALUES ('Bob', 'B2', '12')");
        db->Execute("INSERT INTO Customers (Name, Code, Rating) VALUES ('Cy', Null, '7')");
        db->Execute("DELETE FROM Customers WHERE Name = 'Cy'");
        db->Execute("INSERT INTO Orders VALUES (10, 1, 5.5, 'first'), (11, 2, 7.25, Null), (12, 1, 1, 'x')");
    }
    long errorNumber(const std::string& sql) { return errorOf([&] { db->Execute(sql); }).number(); }
    Rows customers() { return fileRows(path, "SELECT CustID, Name, Code, Rating FROM Customers ORDER BY CustID"); }
    Rows columns(const std::string& table) {
        return fileRows(path, "SELECT name, type, \"notnull\", dflt_value FROM pragma_table_info('" + table + "')");
    }
    Rows faults() { return fileRows(path, "SELECT * FROM pragma_foreign_key_check"); }
    std::shared_ptr<dao::Index> index(const std::string& table, const std::string& name) {
        return db->TableDefs(table)->Indexes()(name);
    }
    const Rows original{"int:1|text:Ann|text:A1|text:5", "int:2|text:Bob|text:B2|text:12"};
};

TEST_F(SchemaChangeTest, AlterColumnWidensATextAndKeepsEverythingElse) {
    db->Execute("ALTER TABLE Customers ALTER COLUMN Name TEXT(40)");
    EXPECT_EQ(customers(), original);
    EXPECT_EQ(columns("Customers")[1], "text:Name|text:TEXT(40)|int:1|null");
    // Still compared without regard to case, and still indexed.
    EXPECT_EQ(fileValue(path, "SELECT CustID FROM Customers WHERE Name = 'BOB'"), "int:2");
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'ByName'"), "int:1");
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM sqlite_master WHERE name LIKE 'dv_sys_rebuild'"), "int:0");
    // The orders keep their customers.
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM Orders"), "int:3");
    EXPECT_TRUE(faults().empty());
    auto t = db->TableDefs("Customers");
    EXPECT_EQ(t->Fields("Name")->Size(), 40);
    EXPECT_EQ(t->Fields("Name")->Properties()("Caption")->Value().text(), "Customer");
    EXPECT_TRUE(t->Indexes()("PK_Customers")->Primary());
    EXPECT_TRUE(t->Fields("CustID")->Attributes() & dao::AutoIncrField);
    EXPECT_EQ(db->Relations()("FK_Cust")->Table(), "Customers");
    // The new size is checked, and the auto-number does not reuse the deleted customer's 3.
    db->Execute("INSERT INTO Customers (Name) VALUES ('A name of thirty characters...')");
    EXPECT_EQ(fileValue(path, "SELECT max(CustID) FROM Customers"), "int:4");
    EXPECT_EQ(errorNumber("INSERT INTO Customers (Name) VALUES ('" + std::string(41, 'x') + "')"), 3163);
    // The relation is still enforced.
    EXPECT_EQ(errorNumber("INSERT INTO Orders (OrderID, CustID) VALUES (13, 99)"), 3201);
}

TEST_F(SchemaChangeTest, AlterColumnConvertsTheValuesOrChangesNothing) {
    db->Execute("ALTER TABLE Customers ALTER COLUMN Rating LONG");
    EXPECT_EQ(fileRows(path, "SELECT Rating FROM Customers ORDER BY CustID"), (Rows{"int:5", "int:12"}));
    EXPECT_EQ(columns("Customers")[3], "text:Rating|text:LONG|int:0|text:'3'");
    EXPECT_EQ(db->TableDefs("Customers")->Fields("Rating")->Type(), dao::type::Long);

    // 'A1' is no number: refused, and the table stays as it was.
    EXPECT_EQ(errorNumber("ALTER TABLE Customers ALTER COLUMN Code LONG"), 3464);
    EXPECT_EQ(columns("Customers")[2], "text:Code|text:TEXT(10)|int:0|null");
    EXPECT_EQ(fileRows(path, "SELECT Code FROM Customers ORDER BY CustID"), (Rows{"text:A1", "text:B2"}));
    // Nothing is cut to fit a smaller size.
    EXPECT_EQ(errorNumber("ALTER TABLE Customers ALTER COLUMN Name TEXT(2)"), 3163);
    EXPECT_EQ(columns("Customers")[1], "text:Name|text:TEXT(20)|int:1|null");
    // NOT NULL over a Null.
    EXPECT_EQ(errorNumber("ALTER TABLE Orders ALTER COLUMN Note TEXT(50) NOT NULL"), 3314);
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM Orders WHERE Note IS NULL"), "int:1");
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM sqlite_master WHERE name = 'dv_sys_rebuild'"), "int:0");

    // A restated default replaces the old one; NOT NULL where every row has a value.
    db->Execute("ALTER TABLE Customers ALTER COLUMN Code TEXT(12) NOT NULL DEFAULT 'none'");
    EXPECT_EQ(columns("Customers")[2], "text:Code|text:TEXT(12)|int:1|text:'none'");
    db->Execute("INSERT INTO Customers (Name) VALUES ('Dee')");
    EXPECT_EQ(fileValue(path, "SELECT Code FROM Customers WHERE Name = 'Dee'"), "text:none");
    // A decimal default is replaced whole.
    db->Execute("ALTER TABLE Orders ADD COLUMN Rate DOUBLE DEFAULT 1.5");
    db->Execute("ALTER TABLE Orders ALTER COLUMN Rate SINGLE DEFAULT -2.25");
    EXPECT_EQ(columns("Orders")[4], "text:Rate|text:SINGLE|int:0|text:-2.25");
    EXPECT_EQ(fileValue(path, "SELECT Rate FROM Orders WHERE OrderID = 11"), "real:1.5");
    EXPECT_EQ(errorNumber("ALTER TABLE Customers ALTER COLUMN Nope LONG"), 3265);
    EXPECT_EQ(errorNumber("ALTER TABLE Customers ADD CONSTRAINT PK_X PRIMARY KEY (Nope)"), 3265);
    EXPECT_EQ(errorNumber("CREATE INDEX ByNope ON Customers (Nope) WITH DISALLOW NULL"), 3265);
    EXPECT_EQ(errorNumber("ALTER TABLE Nowhere ALTER COLUMN Code LONG"), 3376);
    EXPECT_EQ(errorNumber("ALTER TABLE Customers ALTER COLUMN Code COUNTER"), 3293);
}

TEST_F(SchemaChangeTest, AlterColumnOfTheAutoNumberKeepsItsValuesAndKey) {
    db->Execute("ALTER TABLE Orders ALTER COLUMN Amount DOUBLE");
    db->Execute("ALTER TABLE Customers ALTER COLUMN CustID LONG");
    EXPECT_EQ(customers(), original);
    EXPECT_EQ(fileRows(path, "SELECT Amount FROM Orders ORDER BY OrderID"), (Rows{"real:5.5", "real:7.25", "real:1"}));
    auto t = db->TableDefs("Customers");
    EXPECT_FALSE(t->Fields("CustID")->Attributes() & dao::AutoIncrField);
    EXPECT_EQ(t->Fields("CustID")->Type(), dao::type::Long);
    EXPECT_TRUE(t->Indexes()("PK_Customers")->Primary());
    EXPECT_TRUE(faults().empty());
    EXPECT_EQ(errorNumber("INSERT INTO Customers (CustID, Name) VALUES (1, 'Twin')"), 3022);
}

TEST_F(SchemaChangeTest, AddPrimaryKeyAndForeignKey) {
    db->Execute("ALTER TABLE Orders ADD CONSTRAINT PK_Orders PRIMARY KEY (OrderID)");
    auto pk = index("Orders", "PK_Orders");
    EXPECT_TRUE(pk->Primary());
    EXPECT_TRUE(pk->Required());
    EXPECT_EQ(pk->Fields()(0)->Name(), "OrderID");
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM pragma_index_list('Orders') WHERE origin = 'pk'"), "int:1");
    EXPECT_EQ(db->Relations()("FK_Cust")->ForeignTable(), "Orders");
    EXPECT_EQ(errorNumber("ALTER TABLE Orders ADD CONSTRAINT Again PRIMARY KEY (CustID)"), 3283);
    EXPECT_EQ(errorNumber("INSERT INTO Orders (OrderID, CustID) VALUES (10, 2)"), 3022);

    db->Execute("CREATE TABLE Visits (CustID LONG, Day DATETIME)");
    db->Execute("INSERT INTO Visits VALUES (1, #1/1/2024#), (7, #1/2/2024#)");
    // Customer 7 does not exist: the key is refused and the table stays as it was.
    EXPECT_EQ(errorNumber("ALTER TABLE Visits ADD CONSTRAINT FK_Visit FOREIGN KEY (CustID) REFERENCES Customers (CustID)"),
              3201);
    EXPECT_FALSE(db->Relations().Exists("FK_Visit"));
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM Visits"), "int:2");
    db->Execute("DELETE FROM Visits WHERE CustID = 7");
    db->Execute("ALTER TABLE Visits ADD CONSTRAINT FK_Visit FOREIGN KEY (CustID) REFERENCES Customers (CustID)");
    EXPECT_EQ(db->Relations()("FK_Visit")->Table(), "Customers");
    EXPECT_EQ(errorNumber("INSERT INTO Visits VALUES (8, #1/3/2024#)"), 3201);
    EXPECT_EQ(errorNumber("ALTER TABLE Visits ADD CONSTRAINT FK_Other FOREIGN KEY (CustID) REFERENCES Nobody (Id)"), 3078);
    EXPECT_TRUE(faults().empty());
}

TEST_F(SchemaChangeTest, KeysThatFailTheDataAreNotAdded) {
    db->Execute("CREATE TABLE Log (N LONG, T TEXT(5))");
    db->Execute("INSERT INTO Log VALUES (1, 'a'), (1, 'b'), (Null, 'c')");
    EXPECT_EQ(errorNumber("ALTER TABLE Log ADD CONSTRAINT PK_Log PRIMARY KEY (T, N)"), 3058);
    db->Execute("UPDATE Log SET N = 2 WHERE T = 'c'");
    EXPECT_EQ(errorNumber("ALTER TABLE Log ADD CONSTRAINT PK_Log PRIMARY KEY (N)"), 3022);
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM pragma_index_list('Log')"), "int:0");
    EXPECT_EQ(fileRows(path, "SELECT N, T FROM Log ORDER BY T"), (Rows{"int:1|text:a", "int:1|text:b", "int:2|text:c"}));
    // Without a name the key is the table's PrimaryKey.
    db->Execute("ALTER TABLE Log ADD PRIMARY KEY (N, T)");
    EXPECT_TRUE(index("Log", "PrimaryKey")->Primary());
    db->Execute("ALTER TABLE Log DROP CONSTRAINT PrimaryKey");
    EXPECT_EQ(db->TableDefs("Log")->Indexes().Count(), 0);
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM Log"), "int:3");
}

TEST_F(SchemaChangeTest, UniqueConstraintsAreNamedIndexes) {
    db->Execute("ALTER TABLE Customers ADD CONSTRAINT UQ_Code UNIQUE (Code)");
    EXPECT_TRUE(index("Customers", "UQ_Code")->Unique());
    EXPECT_FALSE(index("Customers", "UQ_Code")->Primary());
    EXPECT_EQ(errorNumber("INSERT INTO Customers (Name, Code) VALUES ('Eve', 'A1')"), 3022);
    db->Execute("ALTER TABLE Customers DROP CONSTRAINT UQ_Code");
    EXPECT_FALSE(db->TableDefs("Customers")->Indexes().Exists("UQ_Code"));
    db->Execute("INSERT INTO Customers (Name, Code) VALUES ('Eve', 'A1')");
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM Customers WHERE Code = 'A1'"), "int:2");
    EXPECT_EQ(errorNumber("ALTER TABLE Customers ADD UNIQUE (Code)"), 3293);
}

TEST_F(SchemaChangeTest, DropConstraintRemovesRelationsAndRefusesKeysInUse) {
    // The customers' key carries the orders' relation.
    EXPECT_EQ(errorNumber("ALTER TABLE Customers DROP CONSTRAINT PK_Customers"), 3281);
    EXPECT_EQ(errorNumber("ALTER TABLE Customers DROP CONSTRAINT Nothing"), 3371);
    db->Execute("ALTER TABLE Orders DROP CONSTRAINT FK_Cust");
    // An auto-number keeps its key.
    EXPECT_EQ(errorNumber("ALTER TABLE Customers DROP CONSTRAINT PK_Customers"), 3293);
    EXPECT_FALSE(db->Relations().Exists("FK_Cust"));
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM pragma_foreign_key_list('Orders')"), "int:0");
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM Orders"), "int:3");
    db->Execute("INSERT INTO Orders (OrderID, CustID) VALUES (13, 99)");
    // A relation made with its column (ADD COLUMN ... REFERENCES) goes the same way.
    db->Execute("ALTER TABLE Orders ADD COLUMN Rep LONG CONSTRAINT FK_Rep REFERENCES Customers (CustID)");
    db->Execute("UPDATE Orders SET Rep = 2 WHERE OrderID = 10");
    EXPECT_TRUE(db->Relations().Exists("FK_Rep"));
    db->Execute("ALTER TABLE Orders DROP CONSTRAINT FK_Rep");
    EXPECT_FALSE(db->Relations().Exists("FK_Rep"));
    EXPECT_EQ(columns("Orders")[4], "text:Rep|text:LONG|int:0|null");
    EXPECT_EQ(fileValue(path, "SELECT Rep FROM Orders WHERE OrderID = 10"), "int:2");
    // With no relation left the key may go; the rows stay.
    db->Execute("ALTER TABLE Customers ALTER COLUMN CustID LONG");
    db->Execute("ALTER TABLE Customers DROP CONSTRAINT PK_Customers");
    EXPECT_FALSE(db->TableDefs("Customers")->Indexes().Exists("PK_Customers"));
    EXPECT_EQ(customers(), original);
}

TEST_F(SchemaChangeTest, IndexesThatRefuseOrIgnoreNulls) {
    db->Execute("INSERT INTO Customers (Name) VALUES ('Cy')");
    // A Null is there already.
    EXPECT_EQ(errorNumber("CREATE INDEX ByCode ON Customers (Code) WITH DISALLOW NULL"), 3058);
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM sqlite_master WHERE name LIKE '%ByCode%'"), "int:0");
    db->Execute("UPDATE Customers SET Code = 'C3' WHERE Name = 'Cy'");
    db->Execute("CREATE INDEX ByCode ON Customers (Code) WITH DISALLOW NULL");
    auto byCode = index("Customers", "ByCode");
    EXPECT_TRUE(byCode->Required());
    EXPECT_FALSE(byCode->IgnoreNulls());
    EXPECT_FALSE(index("Customers", "ByName")->Required());
    EXPECT_EQ(errorNumber("INSERT INTO Customers (Name) VALUES ('Dee')"), 3058);
    EXPECT_EQ(errorNumber("UPDATE Customers SET Code = Null WHERE Name = 'Ann'"), 3058);
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM Customers WHERE Code IS NULL"), "int:0");
    // The rule outlives a rebuild of the table.
    db->Execute("ALTER TABLE Customers ALTER COLUMN Name TEXT(30)");
    EXPECT_EQ(errorNumber("INSERT INTO Customers (Name) VALUES ('Dee')"), 3058);
    EXPECT_TRUE(index("Customers", "ByCode")->Required());
    // Dropping the index drops the rule.
    db->Execute("DROP INDEX ByCode ON Customers");
    db->Execute("INSERT INTO Customers (Name) VALUES ('Dee')");
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name LIKE '%nonull%'"),
              "int:0");

    db->Execute("CREATE UNIQUE INDEX ByNote ON Orders (Note) WITH IGNORE NULL");
    auto byNote = index("Orders", "ByNote");
    EXPECT_TRUE(byNote->IgnoreNulls());
    EXPECT_FALSE(byNote->Required());
    EXPECT_TRUE(byNote->Unique());
    db->Execute("INSERT INTO Orders (OrderID, CustID) VALUES (13, 1)");
    EXPECT_EQ(fileValue(path, "SELECT count(*) FROM Orders WHERE Note IS NULL"), "int:2");
    EXPECT_EQ(errorNumber("INSERT INTO Orders (OrderID, CustID, Note) VALUES (14, 1, 'x')"), 3022);
}

TEST_F(SchemaChangeTest, IndexWithPrimaryIsThePrimaryKey) {
    db->Execute("CREATE TABLE Log (N LONG, T TEXT(5))");
    db->Execute("INSERT INTO Log VALUES (1, 'a'), (2, 'b')");
    db->Execute("CREATE UNIQUE INDEX LogKey ON Log (N) WITH PRIMARY");
    auto key = index("Log", "LogKey");
    EXPECT_TRUE(key->Primary());
    EXPECT_TRUE(key->Unique());
    EXPECT_TRUE(key->Required());
    EXPECT_EQ(errorNumber("INSERT INTO Log VALUES (2, 'c')"), 3022);
    EXPECT_EQ(errorNumber("CREATE INDEX Other ON Log (T) WITH PRIMARY"), 3283);
    db->Execute("DROP INDEX LogKey ON Log");
    EXPECT_EQ(db->TableDefs("Log")->Indexes().Count(), 0);
    EXPECT_EQ(fileRows(path, "SELECT N, T FROM Log ORDER BY N"), (Rows{"int:1|text:a", "int:2|text:b"}));
    EXPECT_EQ(errorNumber("DROP INDEX Missing ON Log"), 3371);
}

TEST_F(SchemaChangeTest, ChangesInsideAnAdoTransaction) {
    db->Execute("CREATE TABLE Log (N LONG, T TEXT(5))");
    db->Execute("INSERT INTO Log VALUES (1, 'a')");
    db->Close();
    auto c = adoProvider()->NewConnection();
    c->Open("Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=" + path + ";");
    c->BeginTrans();
    long n = 0;
    c->Execute("ALTER TABLE Log ALTER COLUMN N DOUBLE", n);
    c->RollbackTrans();
    EXPECT_EQ(columns("Log")[0], "text:N|text:LONG|int:0|null");
    c->BeginTrans();
    c->Execute("ALTER TABLE Log ALTER COLUMN N DOUBLE", n);
    c->CommitTrans();
    EXPECT_EQ(columns("Log")[0], "text:N|text:DOUBLE|int:0|null");
    EXPECT_EQ(fileValue(path, "SELECT N FROM Log"), "real:1");
    // A table others refer to cannot be rebuilt while the foreign keys are on.
    c->BeginTrans();
    EXPECT_EQ(errorOf([&] { c->Execute("ALTER TABLE Customers ALTER COLUMN Name TEXT(30)", n); }).number(),
              ado::ProviderError);
    EXPECT_EQ(lastEngineError(), 3246);
    c->RollbackTrans();
    EXPECT_EQ(columns("Customers")[1], "text:Name|text:TEXT(20)|int:1|null");
    EXPECT_TRUE(faults().empty());
}

}  // namespace dalvera::jet::test
