#include <gtest/gtest.h>

#include "platform/jet/sql/JetSql.h"
#include "platform/jetsql/JetDb.h"
#include "runtime/Error.h"

using dalvera::Error;
using dalvera::jet::StatementKind;
using dalvera::jet::translate;
using dalvera::jet::testing::JetDb;
using dalvera::jet::testing::errorNumber;

namespace {


// name|declared type|notnull|default|pk, per column.
std::vector<std::string> columns(JetDb& db, const std::string& table) {
    std::vector<std::string> out;
    for (const auto& row : db.runNative("SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info('" +
                                        table + "')"))
        out.push_back(row);
    return out;
}

}  // namespace

TEST(JetDdl, CreateTableDeclaresTheAgreedTypes) {
    JetDb db;
    auto t = translate(
        "CREATE TABLE [All Types] (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Flag YESNO, B BYTE, S SHORT, "
        "L LONG, C CURRENCY, F SINGLE, D DOUBLE, W DATETIME, Bin BINARY(16), T TEXT(50), Plain TEXT, "
        "Blob LONGBINARY, M MEMO, G GUID, N DECIMAL(10, 2), N2 NUMERIC, I INTEGER, V VARCHAR(20), Bt BIT, "
        "Fl FLOAT, Img OLEOBJECT, U UNIQUEIDENTIFIER, Dt DATE, Note LONGTEXT)");
    EXPECT_EQ(t.kind, StatementKind::CreateTable);
    EXPECT_EQ(t.table, "All Types");
    db.runNative(t.sql);
    EXPECT_EQ(columns(db, "All Types"),
              (std::vector<std::string>{"ID|INTEGER|0|NULL|1",     "Flag|YESNO|0|NULL|0",    "B|BYTE|0|NULL|0",
                                        "S|SMALLINT|0|NULL|0",     "L|LONG|0|NULL|0",        "C|CURRENCY|0|NULL|0",
                                        "F|SINGLE|0|NULL|0",       "D|DOUBLE|0|NULL|0",      "W|DATETIME|0|NULL|0",
                                        "Bin|BINARY(16)|0|NULL|0", "T|TEXT(50)|0|NULL|0",    "Plain|TEXT(255)|0|NULL|0",
                                        "Blob|LONGBINARY|0|NULL|0", "M|LONGTEXT|0|NULL|0",   "G|GUID|0|NULL|0",
                                        "N|DECIMAL(10,2)|0|NULL|0", "N2|DECIMAL(18,0)|0|NULL|0", "I|LONG|0|NULL|0",
                                        "V|TEXT(20)|0|NULL|0",     "Bt|YESNO|0|NULL|0",      "Fl|DOUBLE|0|NULL|0",
                                        "Img|LONGBINARY|0|NULL|0", "U|GUID|0|NULL|0",        "Dt|DATETIME|0|NULL|0",
                                        "Note|LONGTEXT|0|NULL|0"}));
    EXPECT_NE(t.sql.find("\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT"), std::string::npos);
}

TEST(JetDdl, CounterNumbersRowsAndMustBeTheKey) {
    JetDb db;
    db.run("CREATE TABLE Customers (Id AUTOINCREMENT(1,1), Name TEXT(40) NOT NULL, "
           "CONSTRAINT pk PRIMARY KEY (Id))");
    db.run("INSERT INTO Customers (Name) VALUES ('Ann')");
    db.run("INSERT INTO Customers (Name) VALUES (\"Bob\")");
    EXPECT_EQ(db.run("SELECT Id, Name FROM Customers ORDER BY Id"), (std::vector<std::string>{"1|Ann", "2|Bob"}));
    // Text compares without regard to case, as the engine does.
    EXPECT_EQ(db.value("SELECT Id FROM Customers WHERE Name = 'BOB'"), "2");
    // A counter without any key becomes the key.
    db.run("CREATE TABLE Log (N COUNTER, Msg MEMO)");
    db.run("INSERT INTO Log (Msg) VALUES ('x')");
    EXPECT_EQ(db.value("SELECT N FROM Log"), "1");

    EXPECT_EQ(errorNumber("CREATE TABLE x (Id COUNTER, K LONG, CONSTRAINT pk PRIMARY KEY (Id, K))"), 3290);
    EXPECT_EQ(errorNumber("CREATE TABLE x (Id COUNTER, K LONG PRIMARY KEY)"), 3290);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A COUNTER, B COUNTER)"), 3290);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A COUNTER(100, 5))"), 3292);
}

TEST(JetDdl, NamedRelationsAndKeys) {
    JetDb db;
    db.runNative("PRAGMA foreign_keys = ON");
    db.run("CREATE TABLE Customers (Id LONG CONSTRAINT PK_Customers PRIMARY KEY, Name TEXT(40))");
    auto orders = translate(
        "CREATE TABLE Orders (OrderId COUNTER PRIMARY KEY, CustId LONG CONSTRAINT FK_Cust REFERENCES Customers (Id), "
        "Other LONG, Rep LONG REFERENCES Customers, "
        "CONSTRAINT FK_Other FOREIGN KEY (Other) REFERENCES Customers (Id) ON DELETE CASCADE)");
    db.runNative(orders.sql);
    // The relation names survive in the stored CREATE text.
    std::string stored = db.runNative("SELECT sql FROM sqlite_master WHERE name = 'Orders'").at(0);
    EXPECT_NE(stored.find("CONSTRAINT \"FK_Cust\" FOREIGN KEY (\"CustId\") REFERENCES \"Customers\" (\"Id\")"),
              std::string::npos);
    EXPECT_NE(stored.find("CONSTRAINT \"FK_Other\" FOREIGN KEY (\"Other\") REFERENCES \"Customers\" (\"Id\") ON DELETE "
                          "CASCADE"),
              std::string::npos);
    EXPECT_NE(stored.find("CONSTRAINT \"CustomersOrders\" FOREIGN KEY (\"Rep\")"), std::string::npos);
    std::string customers = db.runNative("SELECT sql FROM sqlite_master WHERE name = 'Customers'").at(0);
    EXPECT_NE(customers.find("CONSTRAINT \"PK_Customers\" PRIMARY KEY (\"Id\")"), std::string::npos);
    // The constraint is enforced.
    db.run("INSERT INTO Customers (Id, Name) VALUES (1, 'Ann')");
    db.run("INSERT INTO Orders (CustId) VALUES (1)");
    EXPECT_THROW(db.run("INSERT INTO Orders (CustId) VALUES (99)"), std::runtime_error);

    db.run("CREATE TABLE Pairs (A LONG, B LONG, CONSTRAINT PK_Pairs PRIMARY KEY (A, B), CONSTRAINT U1 UNIQUE (B))");
    EXPECT_EQ(db.run("SELECT name, pk FROM pragma_table_info('Pairs')"), (std::vector<std::string>{"A|1", "B|2"}));
    EXPECT_EQ(errorNumber("CREATE TABLE x (A LONG PRIMARY KEY, B LONG, PRIMARY KEY (B))"), 3283);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A LONG, CONSTRAINT f FOREIGN KEY (A) REFERENCES y (p, q))"), 3289);
}

TEST(JetDdl, DefaultsAreTranslated) {
    JetDb db;
    auto t = translate("CREATE TABLE D (Id COUNTER, Added DATETIME DEFAULT Now(), Active YESNO DEFAULT True, "
                       "Start DATETIME DEFAULT #1/31/2024#, Qty LONG DEFAULT -1 NOT NULL, Nm TEXT(10) DEFAULT \"n/a\", "
                       "Half DOUBLE DEFAULT 1 / 2)");
    db.runNative(t.sql);
    EXPECT_NE(t.sql.find("DEFAULT (Now())"), std::string::npos);
    EXPECT_EQ(columns(db, "D"), (std::vector<std::string>{
                                    "Id|INTEGER|0|NULL|1", "Added|DATETIME|0|Now()|0", "Active|YESNO|0|-1|0",
                                    "Start|DATETIME|0|'2024-01-31 00:00:00'|0", "Qty|LONG|1|-1|0",
                                    "Nm|TEXT(10)|0|'n/a'|0", "Half|DOUBLE|0|jet_div(1, 2)|0"}));
    db.run("INSERT INTO D (Qty) VALUES (5)");
    // '/' keeps the fraction in a default too.
    EXPECT_EQ(db.run("SELECT Half FROM D"), std::vector<std::string>{"0.5"});
    auto row = db.run("SELECT Added, Active, Start, Nm FROM D").at(0);
    // Now() gives storage text: "yyyy-mm-dd hh:mm:ss".
    ASSERT_EQ(row.size(), std::string("2024-01-01 00:00:00|-1|2024-01-31 00:00:00|n/a").size());
    EXPECT_EQ(row[4], '-');
    EXPECT_EQ(row[13], ':');
    EXPECT_EQ(row.substr(19), "|-1|2024-01-31 00:00:00|n/a");
    EXPECT_EQ(translate("CREATE TABLE x (A LONG DEFAULT 0 NULL, B TEXT(5) DEFAULT Null)").sql,
              "CREATE TABLE \"x\" (\"A\" LONG DEFAULT 0, \"B\" TEXT(5) DEFAULT Null COLLATE NOCASE)");
    EXPECT_EQ(errorNumber("CREATE TABLE x (A COUNTER DEFAULT 1)"), 3292);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A LONG DEFAULT)"), 3292);
}

TEST(JetDdl, BadFieldDefinitions) {
    EXPECT_EQ(errorNumber("CREATE TABLE x (A TEXT(0))"), 3292);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A TEXT(256))"), 3292);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A WIDGET)"), 3292);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A LONG(4))"), 3292);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A)"), 3292);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A LONG, a TEXT)"), 3290);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A LONG,)"), 3290);
    EXPECT_EQ(errorNumber("CREATE TABLE x"), 3290);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A LONG) junk"), 3290);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A DECIMAL(40, 2))"), 3292);
    EXPECT_EQ(errorNumber("CREATE TABLE x (A LONG, CHECK (A > 0))"), 3000);
    EXPECT_EQ(errorNumber("CREATE VIEW v AS SELECT 1"), 3000);
    // A constraint name with nothing after it ends the clause, not the reading past it.
    EXPECT_EQ(errorNumber("CREATE TABLE x (A LONG CONSTRAINT c)"), 3289);
}

TEST(JetDdl, IndexesDropAndAlter) {
    JetDb db;
    db.run("CREATE TABLE [T 1] (A LONG, B TEXT(10))");
    auto idx = translate("CREATE UNIQUE INDEX ByAB ON [T 1] (A DESC, [B]) WITH IGNORE NULL");
    EXPECT_EQ(idx.kind, StatementKind::CreateIndex);
    EXPECT_EQ(idx.table, "T 1");
    // Rows with Nulls stay out of an index WITH IGNORE NULL: a partial index.
    EXPECT_EQ(idx.sql, "CREATE UNIQUE INDEX \"ByAB\" ON \"T 1\" (\"A\" DESC, \"B\") WHERE \"A\" IS NOT NULL AND \"B\" IS NOT NULL");
    db.runNative(idx.sql);
    db.run("INSERT INTO [T 1] VALUES (1, 'a')");
    EXPECT_THROW(db.run("INSERT INTO [T 1] VALUES (1, 'a')"), std::runtime_error);

    auto alter = translate("ALTER TABLE [T 1] ADD COLUMN Created DATETIME DEFAULT #1/2/2024#");
    EXPECT_EQ(alter.kind, StatementKind::AlterTable);
    EXPECT_EQ(alter.table, "T 1");
    db.runNative(alter.sql);
    db.run("ALTER TABLE [T 1] ADD Flag YESNO");
    EXPECT_EQ(db.run("SELECT name || ' ' || type FROM pragma_table_info('T 1')"),
              (std::vector<std::string>{"A LONG", "B TEXT(10)", "Created DATETIME", "Flag YESNO"}));
    db.run("ALTER TABLE [T 1] DROP COLUMN Flag");
    db.run("CREATE TABLE Other (Id LONG PRIMARY KEY)");
    db.run("ALTER TABLE [T 1] ADD COLUMN Ref LONG CONSTRAINT FK_Ref REFERENCES Other (Id)");
    EXPECT_NE(db.runNative("SELECT sql FROM sqlite_master WHERE name = 'T 1'")
                  .at(0)
                  .find("\"Ref\" LONG CONSTRAINT \"FK_Ref\" REFERENCES \"Other\" (\"Id\")"),
              std::string::npos);
    db.run("DROP TABLE Other");

    auto dropIndex = translate("DROP INDEX ByAB ON [T 1]");
    EXPECT_EQ(dropIndex.kind, StatementKind::DropIndex);
    EXPECT_EQ(dropIndex.table, "T 1");
    db.runNative(dropIndex.sql);
    auto drop = translate("DROP TABLE [T 1];");
    EXPECT_EQ(drop.kind, StatementKind::DropTable);
    EXPECT_EQ(drop.table, "T 1");
    db.runNative(drop.sql);
    EXPECT_TRUE(db.runNative("SELECT name FROM sqlite_master").empty());

    EXPECT_EQ(errorNumber("ALTER TABLE t ADD COLUMN Id COUNTER"), 3293);
    EXPECT_EQ(errorNumber("ALTER TABLE t ADD COLUMN d DATETIME DEFAULT Now()"), 3293);
    // Keys and column types are changed by the session, which rebuilds the table.
    EXPECT_EQ(translate("ALTER TABLE t ADD CONSTRAINT pk PRIMARY KEY (a)").change.kind,
              dalvera::jet::TableChange::Kind::AddPrimaryKey);
    EXPECT_EQ(translate("ALTER TABLE t ALTER COLUMN a TEXT(20)").change.type, "TEXT(20)");
    EXPECT_EQ(translate("CREATE INDEX i ON t (a) WITH PRIMARY").change.definition,
              "CONSTRAINT \"i\" PRIMARY KEY (\"a\")");
    EXPECT_EQ(errorNumber("CREATE INDEX i ON t (a) WITH NOTHING"), 3000);
    EXPECT_EQ(errorNumber("DROP TABLE"), 3295);
    EXPECT_EQ(errorNumber("DROP TABLE a b"), 3295);
}
