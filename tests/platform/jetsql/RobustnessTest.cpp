#include <gtest/gtest.h>

#include "platform/jet/sql/JetSql.h"
#include "platform/jetsql/JetDb.h"
#include "runtime/Error.h"

using dalvera::jet::translate;
using dalvera::jet::testing::JetDb;

namespace {

const char* const kStatements[] = {
    "PARAMETERS [Start] DateTime, Who Text(20); SELECT TOP 5 o.[Order Id], c.Name & ' (' & c.City & ')' AS Label "
    "FROM Orders AS o INNER JOIN [Customer List] AS c ON o.CustId = c.Id WHERE o.[Order Date] >= [Start] "
    "AND c.Name LIKE Who & '*' ORDER BY o.[Order Date] DESC;",
    "SELECT DISTINCTROW TOP 10 PERCENT Id, IIf(Nz(Amount, 0) > 100, \"big\", 'small') FROM Orders",
    "INSERT INTO Orders ([Order Date], Amount, Paid, CustId) VALUES (#2/29/2024 10:00#, 12.5, Yes, 1)",
    "UPDATE Orders SET Amount = Round(Amount * 1.1, 2), Paid = Not Paid WHERE Year([Order Date]) = 2024",
    "DELETE * FROM Orders WHERE [Order Date] < DateAdd('yyyy', -1, Date()) AND Amount \\ 10 Mod 2 = 0",
    "SELECT Format([Order Date], 'Long Date'), Mid(Name, 2, 3), Left(Name, 1) FROM Orders, [Customer List]",
    "SELECT Count(*) FROM Orders WHERE CustId IN (SELECT Id FROM [Customer List] WHERE City = 'It''s [x] & #1#')",
    "CREATE TABLE T2 (Id COUNTER CONSTRAINT pk PRIMARY KEY, Ref LONG CONSTRAINT fk REFERENCES Orders (Id), "
    "Note MEMO DEFAULT 'n/a', Stamp DATETIME DEFAULT Now() NOT NULL, Flag BIT DEFAULT False, Qty DECIMAL(10,2))",
    "CREATE UNIQUE INDEX ByDate ON Orders ([Order Date] DESC, Id)",
    "ALTER TABLE Orders ADD COLUMN Remark TEXT(100) DEFAULT \"-\"",
    "(SELECT TOP 1 Id FROM Orders ORDER BY Id DESC) UNION (SELECT Id FROM [Customer List]) ORDER BY 1",
    "SELECT o.Id FROM (Orders AS o INNER JOIN [Customer List] AS c ON o.CustId = c.Id) "
    "LEFT JOIN Orders AS o2 ON o2.Id = o.Id WHERE o.Amount - 1 > 0",
    "SELECT Name INTO [Name Copy] FROM [Customer List] WHERE City <> \"x\"",
};

}  // namespace

// Every translation of a realistic statement must be accepted by SQLite as is.
TEST(JetRobustness, TranslationsPrepare) {
    JetDb db;
    db.run("CREATE TABLE [Customer List] (Id LONG PRIMARY KEY, Name TEXT(50), City TEXT(50))");
    db.run("CREATE TABLE Orders (Id COUNTER, [Order Id] LONG, CustId LONG, [Order Date] DATETIME, Amount CURRENCY, "
           "Paid YESNO)");
    for (const char* sql : kStatements) {
        auto t = translate(sql);
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db.handle(), t.sql.c_str(), -1, &st, nullptr);
        EXPECT_EQ(rc, SQLITE_OK) << sql << "\n -> " << t.sql << "\n" << sqlite3_errmsg(db.handle());
        if (st) {
            EXPECT_EQ(sqlite3_bind_parameter_count(st), static_cast<int>(t.bindNames.size())) << t.sql;
            sqlite3_step(st);
            sqlite3_finalize(st);
        }
    }
}

// Cut-off and damaged statements translate or raise the engine's error; nothing else.
TEST(JetRobustness, DamagedStatementsGiveErrors) {
    for (const char* sql : kStatements) {
        const std::string full = sql;
        for (size_t n = 0; n <= full.size(); ++n) {
            for (const std::string& text : {full.substr(0, n), full.substr(n)}) {
                try {
                    translate(text);
                } catch (const dalvera::Error& e) {
                    EXPECT_GE(e.number(), 3000) << text;
                    EXPECT_LT(e.number(), 4000) << text;
                    EXPECT_FALSE(e.description().empty());
                } catch (const std::exception& e) {
                    ADD_FAILURE() << "unexpected exception for: " << text << ": " << e.what();
                }
            }
        }
    }
}

TEST(JetRobustness, DeepNestingIsRefused) {
    EXPECT_EQ(translate("SELECT " + std::string(150, '(') + "1" + std::string(150, ')')).sql,
              "SELECT " + std::string(150, '(') + "1" + std::string(150, ')'));
    try {
        translate("SELECT " + std::string(100000, '(') + "1" + std::string(100000, ')'));
        ADD_FAILURE() << "no error";
    } catch (const dalvera::Error& e) {
        EXPECT_EQ(e.number(), 3075);
    }
}
