#include <gtest/gtest.h>

#include "platform/jet/sql/JetSql.h"
#include "runtime/Error.h"

using dalvera::Error;
using dalvera::jet::StatementKind;
using dalvera::jet::translate;

namespace {

long errorNumber(const std::string& sql) {
    try {
        translate(sql);
    } catch (const Error& e) {
        EXPECT_FALSE(e.description().empty());
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(JetTranslate, NamesAndLiterals) {
    EXPECT_EQ(translate("SELECT [Order Date], [Date] FROM [My Table]").sql,
              "SELECT \"Order Date\", \"Date\" FROM \"My Table\"");
    EXPECT_EQ(translate("SELECT `a b`.x FROM `a b`").sql, "SELECT \"a b\".x FROM \"a b\"");
    EXPECT_EQ(translate("SELECT [say \"hi\"] FROM t").sql, "SELECT \"say \"\"hi\"\"\" FROM t");
    // Double quotes delimit texts in the dialect.
    EXPECT_EQ(translate("SELECT * FROM t WHERE a = \"It's\"").sql, "SELECT * FROM t WHERE a = 'It''s'");
    EXPECT_EQ(translate("SELECT \"say \"\"x\"\"\"").sql, "SELECT 'say \"x\"'");
    EXPECT_EQ(translate("SELECT True, False, Yes, No, [Yes]").sql, "SELECT -1, 0, -1, 0, \"Yes\"");
    EXPECT_EQ(translate("SELECT #1/31/2024#, #1/31/2024 13:05#, #2024-01-31#, #13:05:10#").sql,
              "SELECT '2024-01-31 00:00:00', '2024-01-31 13:05:00', '2024-01-31 00:00:00', "
              "'1899-12-30 13:05:10'");
    EXPECT_EQ(translate("SELECT #31-Jan-2024#, #Feb 29, 2024 1:05 PM#, #march 3 24#, #1/2/24#").sql,
              "SELECT '2024-01-31 00:00:00', '2024-02-29 13:05:00', '2024-03-03 00:00:00', '2024-01-02 00:00:00'");
}

TEST(JetTranslate, TextInsideStringsAndCommentsStays) {
    EXPECT_EQ(translate("SELECT 'It''s #1/2/2024# & [x]' FROM t").sql, "SELECT 'It''s #1/2/2024# & [x]' FROM t");
    EXPECT_EQ(translate("SELECT a -- True & [b] #x\nFROM t").sql, "SELECT a -- True & [b] #x\nFROM t");
    EXPECT_EQ(translate("SELECT /* TOP 5 [x] */ a FROM t").sql, "SELECT /* TOP 5 [x] */ a FROM t");
}

TEST(JetTranslate, Concatenation) {
    EXPECT_EQ(translate("SELECT a & b FROM t").sql, "SELECT jet_concat(a, b) FROM t");
    EXPECT_EQ(translate("SELECT [First] & ' ' & [Last] AS N FROM t").sql,
              "SELECT jet_concat(jet_concat(\"First\", ' '), \"Last\") AS N FROM t");
    // + binds tighter than &, comparison looser.
    EXPECT_EQ(translate("SELECT * FROM t WHERE x = a + 1 & Left(b, 2)").sql,
              "SELECT * FROM t WHERE x = jet_concat(jet_add(a, 1), \"Left\"(b, 2))");
    EXPECT_EQ(translate("SELECT (a & (b & c)) FROM t").sql, "SELECT (jet_concat(a, (jet_concat(b, c)))) FROM t");
    EXPECT_EQ(errorNumber("SELECT a & FROM t"), 3075);
}

TEST(JetTranslate, OperatorsAndKeywords) {
    EXPECT_EQ(translate("SELECT a Mod 3, a \\ 2 FROM t").sql, "SELECT jet_mod(a, 3), jet_intdiv(a, 2) FROM t");
    EXPECT_EQ(translate("SELECT a * b \\ c + 1 FROM t").sql, "SELECT jet_add(jet_intdiv(a * b, c), 1) FROM t");
    // + and - are left-associative, below * and /, and a sign is no operator.
    EXPECT_EQ(translate("SELECT a - b + c * -d, -e, (+f) FROM t WHERE g BETWEEN h - 1 AND 2").sql,
              "SELECT jet_add(jet_sub(a, b), c * -d), -e, (+f) FROM t WHERE g BETWEEN jet_sub(h, 1) AND 2");
    EXPECT_EQ(translate("SELECT 2 ^ 3 * 4 FROM t").sql, "SELECT jet_pow(2, 3) * 4 FROM t");
    EXPECT_EQ(translate("SELECT DISTINCTROW a FROM t").sql, "SELECT a FROM t");
    EXPECT_EQ(translate("SELECT a FROM t WHERE Not a Is Null And b <> 1").sql,
              "SELECT a FROM t WHERE Not a Is Null And b <> 1");
    EXPECT_EQ(translate("SELECT Left(a, 1), Right(a, 1) FROM t LEFT JOIN u ON t.a = u.a").sql,
              "SELECT \"Left\"(a, 1), \"Right\"(a, 1) FROM t LEFT JOIN u ON t.a = u.a");
    EXPECT_EQ(translate("SELECT a Xor b FROM t").sql, "SELECT jet_xor(a, b) FROM t");
}

TEST(JetTranslate, Like) {
    EXPECT_EQ(translate("SELECT * FROM t WHERE [a b] LIKE 'x*' AND c NOT LIKE \"?#\" OR d Like e & '*'").sql,
              "SELECT * FROM t WHERE jet_like(\"a b\", 'x*') AND (NOT jet_like(c, '?#')) OR jet_like(d, jet_concat(e, '*'))");
    EXPECT_EQ(translate("SELECT IIf(a LIKE '[!a-c]*', 1, 0) AS m FROM t").sql,
              "SELECT IIf(jet_like(a, '[!a-c]*'), 1, 0) AS m FROM t");
    EXPECT_EQ(errorNumber("SELECT * FROM t WHERE a LIKE 'x!*' ESCAPE '!'"), 3000);
    EXPECT_EQ(errorNumber("SELECT * FROM t WHERE LIKE 'x'"), 3075);
}

TEST(JetTranslate, Top) {
    EXPECT_EQ(translate("SELECT TOP 5 a FROM t;").sql, "SELECT a FROM t LIMIT 5;");
    EXPECT_EQ(translate("SELECT DISTINCT TOP 2 a FROM t ORDER BY a -- last\n").sql,
              "SELECT DISTINCT a FROM t ORDER BY a LIMIT 2 -- last\n");
    // With ORDER BY, rows tying with the last one count too; aliases and positions are resolved.
    EXPECT_EQ(translate("SELECT TOP 5 a, b * 2 AS [Double B] FROM t WHERE c = 1 ORDER BY [Double B] DESC, 1;").sql,
              "SELECT a, b * 2 AS \"Double B\" FROM t WHERE c = 1 ORDER BY \"Double B\" DESC, 1 LIMIT (SELECT count(*) "
              "FROM (SELECT a, b * 2 AS \"Double B\", RANK() OVER (ORDER BY b * 2 DESC, a) AS jet_rank FROM t WHERE c = "
              "1) WHERE jet_rank <= 5);");
    EXPECT_EQ(translate("SELECT * FROM t WHERE a IN (SELECT TOP 1 b FROM u ORDER BY b)").sql,
              "SELECT * FROM t WHERE a IN (SELECT b FROM u ORDER BY b LIMIT 1)");
    EXPECT_NE(translate("SELECT TOP 10 PERCENT a FROM t").sql.find("LIMIT (SELECT"), std::string::npos);
    EXPECT_EQ(errorNumber("SELECT TOP x a FROM t"), 3075);
    EXPECT_EQ(errorNumber("SELECT TOP 2.5 a FROM t"), 3075);
    EXPECT_EQ(errorNumber("SELECT TOP 1 a FROM t UNION SELECT b FROM u"), 3000);
}

TEST(JetTranslate, Parameters) {
    auto t = translate("PARAMETERS [Start Date] DateTime, Cust Text (50);\n"
                       "SELECT * FROM Orders WHERE d >= [Start Date] AND c = Cust AND e < [start date] + 7");
    ASSERT_EQ(t.parameters.size(), 2u);
    EXPECT_EQ(t.parameters[0].name, "Start Date");
    EXPECT_EQ(t.parameters[0].typeName, "DateTime");
    EXPECT_EQ(t.parameters[0].daoType, 8);
    EXPECT_EQ(t.parameters[1].name, "Cust");
    EXPECT_EQ(t.parameters[1].daoType, 10);
    EXPECT_EQ(t.sql, "SELECT * FROM Orders WHERE d >= ?1 AND c = ?2 AND e < jet_add(?1, 7)");
    EXPECT_EQ(t.bindNames, (std::vector<std::string>{"Start Date", "Cust"}));
    EXPECT_EQ(t.kind, StatementKind::Select);

    // Qualified names and calls are not parameters; known names are.
    auto k = translate("SELECT o.Cust, Cust(1), 1 AS Who, 2 AS [who] FROM o WHERE x = [Who] AND y = ?", {"who"});
    EXPECT_EQ(k.sql, "SELECT o.Cust, Cust(1), 1 AS Who, 2 AS \"who\" FROM o WHERE x = ?1 AND y = ?2");
    EXPECT_EQ(k.bindNames, (std::vector<std::string>{"who", ""}));

    EXPECT_EQ(errorNumber("PARAMETERS x Widget; SELECT x"), 3075);
    EXPECT_EQ(errorNumber("PARAMETERS x Long SELECT x"), 3075);
    EXPECT_EQ(errorNumber("PARAMETERS x Long, x Text; SELECT x"), 3075);
}

TEST(JetTranslate, KindsAndTables) {
    auto ins = translate("INSERT INTO [Order Lines] (a, [b c]) VALUES (1, 'x')");
    EXPECT_EQ(ins.kind, StatementKind::Insert);
    EXPECT_EQ(ins.table, "Order Lines");
    EXPECT_EQ(ins.sql, "INSERT INTO \"Order Lines\" (a, \"b c\") VALUES (1, 'x')");
    auto upd = translate("UPDATE t SET a = a & 'x' WHERE b = True");
    EXPECT_EQ(upd.kind, StatementKind::Update);
    EXPECT_EQ(upd.table, "t");
    EXPECT_EQ(upd.sql, "UPDATE t SET a = jet_concat(a, 'x') WHERE b = -1");
    auto del = translate("DELETE * FROM [Old Rows] WHERE d < #1/1/2020#");
    EXPECT_EQ(del.kind, StatementKind::Delete);
    EXPECT_EQ(del.table, "Old Rows");
    EXPECT_EQ(del.sql, "DELETE FROM \"Old Rows\" WHERE d < '2020-01-01 00:00:00'");
    EXPECT_EQ(translate("DELETE t.* FROM t").sql, "DELETE FROM t");
    EXPECT_EQ(translate("DELETE FROM t").sql, "DELETE FROM t");
    auto into = translate("SELECT a, b INTO [New T] FROM t WHERE a > 1");
    EXPECT_EQ(into.kind, StatementKind::CreateTable);
    EXPECT_EQ(into.table, "New T");
    EXPECT_EQ(into.sql, "CREATE TABLE \"New T\" AS SELECT a, b FROM t WHERE a > 1");
    auto u = translate("(SELECT TOP 1 a FROM t ORDER BY a) UNION ALL (SELECT a FROM u) ORDER BY 1");
    EXPECT_EQ(u.kind, StatementKind::Select);
    EXPECT_EQ(u.sql, "SELECT * FROM (SELECT a FROM t ORDER BY a LIMIT 1) UNION ALL SELECT * FROM (SELECT a FROM u) "
                     "ORDER BY 1");
    EXPECT_EQ(translate("SELECT a FROM t WHERE a IN (SELECT b FROM u) UNION SELECT c FROM v").sql,
              "SELECT a FROM t WHERE a IN (SELECT b FROM u) UNION SELECT c FROM v");
}

TEST(JetTranslate, RefusedConstructs) {
    EXPECT_TRUE(translate("TRANSFORM Sum(x) SELECT a FROM t GROUP BY a PIVOT b").crosstab.present);
    EXPECT_EQ(errorNumber("SELECT a FROM t PIVOT b"), 3000);
    EXPECT_EQ(translate("UPDATE t INNER JOIN u ON t.a = u.a SET t.b = 1").table, "t");
    EXPECT_EQ(translate("DELETE t.* FROM t INNER JOIN u ON t.a = u.a").table, "t");
    EXPECT_EQ(errorNumber("DELETE x y FROM t"), 3000);
    EXPECT_EQ(errorNumber("SELECT a INTO b IN 'other.db' FROM t"), 3000);
    EXPECT_EQ(errorNumber("SELECT 1; SELECT 2"), 3142);
    EXPECT_EQ(errorNumber("   "), 3129);
    EXPECT_EQ(errorNumber("PRAGMA table_info(t)"), 3129);
    EXPECT_EQ(errorNumber("SELECT 'open"), 3075);
    EXPECT_EQ(errorNumber("SELECT [open FROM t"), 3075);
    EXPECT_EQ(errorNumber("SELECT #13/45/2024#"), 3075);
    EXPECT_EQ(errorNumber("SELECT #2/30/2024#"), 3075);
    EXPECT_EQ(errorNumber("SELECT #30-Feb-2024#"), 3075);
    EXPECT_EQ(errorNumber("SELECT #31-Foo-2024#"), 3075);
    EXPECT_EQ(errorNumber("SELECT #1/2/2024 25:00#"), 3075);
    EXPECT_EQ(errorNumber("SELECT (a FROM t"), 3075);
    EXPECT_EQ(errorNumber("SELECT a) FROM t"), 3075);
    EXPECT_EQ(errorNumber("SELECT a /* open"), 3075);
    // A form reference is a name SQLite will not find (a missing parameter when run).
    EXPECT_EQ(translate("SELECT Forms!f!c").sql, "SELECT Forms.f.c");
}
