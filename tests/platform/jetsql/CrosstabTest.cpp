// TRANSFORM ... PIVOT translated and run on a small table, against cells worked out by hand.
#include <gtest/gtest.h>

#include "platform/jet/sql/JetSql.h"
#include "platform/jetsql/JetDb.h"
#include "runtime/Error.h"

using dalvera::Error;
using dalvera::Variant;
using dalvera::jet::crosstabSql;
using dalvera::jet::translate;
using dalvera::jet::testing::JetDb;
using dalvera::jet::testing::errorNumber;

namespace {


// The session's two steps: the pivot values, then the statement for them.
struct Crosstab {
    std::vector<std::string> columns;
    std::vector<std::string> rows;
};

Crosstab run(JetDb& db, const std::string& jetSql) {
    auto t = translate(jetSql);
    EXPECT_TRUE(t.crosstab.present);
    EXPECT_TRUE(t.sql.empty());
    std::vector<Variant> values;
    if (!t.crosstab.valuesSql.empty()) {
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db.handle(), t.crosstab.valuesSql.c_str(), -1, &st, nullptr), SQLITE_OK)
            << t.crosstab.valuesSql;
        while (sqlite3_step(st) == SQLITE_ROW) {
            switch (sqlite3_column_type(st, 0)) {
            case SQLITE_NULL: values.push_back(Variant::null()); break;
            case SQLITE_INTEGER: values.push_back(Variant::longLong(sqlite3_column_int64(st, 0))); break;
            case SQLITE_FLOAT: values.push_back(Variant(sqlite3_column_double(st, 0))); break;
            default: values.push_back(Variant(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)))));
            }
        }
        sqlite3_finalize(st);
    }
    std::string sql = crosstabSql(t.crosstab, values);
    Crosstab r;
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db.handle());
    for (int c = 0; c < sqlite3_column_count(st); ++c) r.columns.push_back(sqlite3_column_name(st, c));
    sqlite3_finalize(st);
    r.rows = db.runNative(sql);
    return r;
}

void fill(JetDb& db) {
    db.run("CREATE TABLE Sales (Product TEXT(20), Region TEXT(20), Qty LONG, Price DOUBLE, Sold DATETIME)");
    db.run("INSERT INTO Sales VALUES ('Apple', 'North', 10, 1.5, #1/5/2024#), ('Apple', 'South', 5, 2, #2/1/2024#), "
           "('Apple', 'north', 3, 1, #2/2/2024#), ('Pear', 'South', 7, 0.5, #1/9/2024#), "
           "('Pear', Null, 2, 1, #3/1/2024#), ('Plum', 'East', 4, 3, #3/3/2024#)");
}

using Rows = std::vector<std::string>;

}  // namespace

TEST(JetCrosstab, ColumnsComeFromTheDataSortedWithNullFirst) {
    JetDb db;
    fill(db);
    auto r = run(db, "TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product PIVOT Region");
    // Region compares without regard to case, so 'north' joins 'North'.
    EXPECT_EQ(r.columns, (Rows{"Product", "<>", "East", "North", "South"}));
    EXPECT_EQ(r.rows, (Rows{"Apple|NULL|NULL|13|5", "Pear|2|NULL|NULL|7", "Plum|NULL|4|NULL|NULL"}));
}

TEST(JetCrosstab, MissingCombinationsAreNullForEveryAggregate) {
    JetDb db;
    fill(db);
    auto count = run(db, "TRANSFORM Count(*) SELECT Product FROM Sales GROUP BY Product PIVOT Region");
    EXPECT_EQ(count.rows, (Rows{"Apple|NULL|NULL|2|1", "Pear|1|NULL|NULL|1", "Plum|NULL|1|NULL|NULL"}));
    // An expression around aggregates; each aggregate takes the column's rows only.
    auto value = run(db, "TRANSFORM Sum(Qty * Price) / Sum(Qty) SELECT Product FROM Sales WHERE Region Is Not Null "
                         "GROUP BY Product PIVOT Region");
    EXPECT_EQ(value.columns, (Rows{"Product", "East", "North", "South"}));
    // Apple North: (10 * 1.5 + 3 * 1) / 13 = 18 / 13.
    EXPECT_EQ(value.rows[0], "Apple|NULL|" + db.value("SELECT 18.0 / 13") + "|2.0");
    EXPECT_EQ(value.rows.size(), 3u);
}

TEST(JetCrosstab, InListFixesColumnsAndRowTotalsStay) {
    JetDb db;
    fill(db);
    auto r = run(db, "TRANSFORM Sum(Qty) SELECT Product, Sum(Qty) AS Total FROM Sales GROUP BY Product "
                     "PIVOT Region IN ('South', 'North', 'West')");
    EXPECT_EQ(r.columns, (Rows{"Product", "Total", "South", "North", "West"}));
    EXPECT_EQ(r.rows, (Rows{"Apple|18|5|13|NULL", "Pear|9|7|NULL|NULL", "Plum|4|NULL|NULL|NULL"}));
    EXPECT_TRUE(translate("TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product PIVOT Region IN ('a')")
                    .crosstab.valuesSql.empty());
}

TEST(JetCrosstab, PivotOnAnExpressionWithOrderAndHaving) {
    JetDb db;
    fill(db);
    auto r = run(db, "TRANSFORM Max(Qty) SELECT Product FROM Sales WHERE Sold >= #2/1/2024# GROUP BY Product "
                     "HAVING Sum(Qty) > 2 ORDER BY Product DESC PIVOT Month(Sold)");
    EXPECT_EQ(r.columns, (Rows{"Product", "2", "3"}));
    EXPECT_EQ(r.rows, (Rows{"Plum|NULL|4", "Apple|5|NULL"}));
    // Dates head their columns as the engine shows them; comments do not swallow the rest.
    auto d = run(db, "TRANSFORM Sum(Qty) -- per day\nSELECT Product FROM Sales WHERE Product = 'Pear' GROUP BY Product "
                     "PIVOT Sold -- the day\n;");
    EXPECT_EQ(d.columns, (Rows{"Product", "1/9/2024", "3/1/2024"}));
    EXPECT_EQ(d.rows, (Rows{"Pear|7|2"}));
    auto fixedDates = run(db, "TRANSFORM Sum(Qty) SELECT Product FROM Sales GROUP BY Product "
                              "PIVOT Sold IN (#1/9/2024#, #1/1/2000#)");
    EXPECT_EQ(fixedDates.columns, (Rows{"Product", "1/9/2024", "1/1/2000"}));
    EXPECT_EQ(fixedDates.rows[1], "Pear|7|NULL");
}

TEST(JetCrosstab, ParametersKeepTheirPlaces) {
    auto t = translate("PARAMETERS [Min] Long; TRANSFORM Sum(Qty) SELECT Product FROM Sales WHERE Qty >= [Min] "
                       "GROUP BY Product PIVOT Region");
    EXPECT_EQ(t.bindNames, (std::vector<std::string>{"Min"}));
    EXPECT_NE(t.crosstab.valuesSql.find("Qty >= ?1"), std::string::npos) << t.crosstab.valuesSql;
    EXPECT_NE(crosstabSql(t.crosstab, {Variant("x")}).find("Qty >= ?1"), std::string::npos);
    JetDb db;
    fill(db);
    EXPECT_EQ(db.runNative(t.crosstab.valuesSql, {"5"}), (Rows{"North", "South"}));
}

TEST(JetCrosstab, WhatIsNoCrosstabIsRefused) {
    EXPECT_EQ(errorNumber("TRANSFORM Sum(x) SELECT a FROM t GROUP BY a"), 3000);
    EXPECT_EQ(errorNumber("TRANSFORM Sum(x) FROM t PIVOT b"), 3000);
    EXPECT_EQ(errorNumber("TRANSFORM x SELECT a FROM t GROUP BY a PIVOT b"), 3122);
    EXPECT_EQ(errorNumber("TRANSFORM Sum(x) SELECT TOP 2 a FROM t GROUP BY a PIVOT b"), 3000);
    EXPECT_EQ(errorNumber("TRANSFORM Sum(x) SELECT a FROM t GROUP BY a PIVOT"), 3000);
    EXPECT_EQ(errorNumber("TRANSFORM Sum(x) SELECT a FROM t GROUP BY a PIVOT b IN ()"), 3000);
    EXPECT_EQ(errorNumber("TRANSFORM Sum(x) SELECT a FROM t GROUP BY a PIVOT b IN 'x'"), 3000);
    EXPECT_EQ(errorNumber("TRANSFORM Sum(x) SELECT a FROM t GROUP BY a PIVOT b; SELECT 1"), 3142);
    auto t = translate("TRANSFORM Sum(x) SELECT a FROM t GROUP BY a PIVOT b");
    std::vector<Variant> many(255, Variant("v"));
    EXPECT_EQ([&] {
        try {
            crosstabSql(t.crosstab, many);
        } catch (const Error& e) {
            return e.number();
        }
        return 0L;
    }(), 3190);
}
