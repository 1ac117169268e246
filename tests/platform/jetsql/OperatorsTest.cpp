// The ! qualifier, Xor / Eqv / Imp, GUID literals and DatePart's week rules,
// each against values worked out by hand.
#include <gtest/gtest.h>

#include "platform/jet/sql/JetSql.h"
#include "platform/jetsql/JetDb.h"
#include "runtime/Error.h"

using dalvera::Error;
using dalvera::jet::translate;
using dalvera::jet::testing::JetDb;
using dalvera::jet::testing::errorNumber;

namespace {


}  // namespace

TEST(JetOperators, BangQualifiesLikeDot) {
    EXPECT_EQ(translate("SELECT Orders!OrderDate FROM Orders").sql, "SELECT Orders.OrderDate FROM Orders");
    EXPECT_EQ(translate("SELECT [Order Details]![Qty] FROM [Order Details] WHERE [Order Details]!Qty > 1").sql,
              "SELECT \"Order Details\".\"Qty\" FROM \"Order Details\" WHERE \"Order Details\".Qty > 1");
    // Neither side of a qualifier is a parameter, even when a parameter has that name.
    EXPECT_EQ(translate("SELECT t!x FROM tbl AS t WHERE y = [x]", {"t", "x"}).sql,
              "SELECT t.x FROM tbl AS t WHERE y = ?1");
    // != is still "not equal".
    EXPECT_EQ(translate("SELECT a FROM t WHERE a!=1").sql, "SELECT a FROM t WHERE a!=1");

    JetDb db;
    db.runNative("CREATE TABLE [Order Details] (Qty INTEGER, Item TEXT)");
    db.runNative("INSERT INTO \"Order Details\" VALUES (2, 'a'), (5, 'b')");
    EXPECT_EQ(db.run("SELECT [Order Details]!Item FROM [Order Details] WHERE [Order Details]![Qty] > 3"),
              std::vector<std::string>{"b"});
}

TEST(JetOperators, XorEqvImpAreBitwiseWithTrueAsMinusOne) {
    JetDb db;
    EXPECT_EQ(db.value("SELECT 5 Xor 3"), "6");
    EXPECT_EQ(db.value("SELECT 5 Eqv 3"), "-7");
    EXPECT_EQ(db.value("SELECT 5 Imp 3"), "-5");
    EXPECT_EQ(db.value("SELECT True Xor False, True Xor True, True Eqv True, True Eqv False"), "-1|0|-1|0");
    EXPECT_EQ(db.value("SELECT True Imp False, False Imp False, False Imp True"), "0|-1|-1");
    // Numbers become Longs first, halves to even.
    EXPECT_EQ(db.value("SELECT 2.5 Xor 0, 3.5 Xor 0, '6' Xor 1"), "2|4|7");
    EXPECT_THROW(db.value("SELECT 3000000000 Xor 1"), std::runtime_error);
    EXPECT_THROW(db.value("SELECT 'x' Xor 1"), std::runtime_error);
}

TEST(JetOperators, NullFollowsThreeValuedLogic) {
    JetDb db;
    EXPECT_EQ(db.value("SELECT Null Xor True, Null Eqv False, True Imp Null, Null Imp False"), "NULL|NULL|NULL|NULL");
    // False implies anything; anything implies True.
    EXPECT_EQ(db.value("SELECT False Imp Null, Null Imp True"), "-1|-1");
}

TEST(JetOperators, PrecedenceIsNotAndOrXorEqvImp) {
    JetDb db;
    // Or binds tighter than Xor: (True Or False) Xor True.
    EXPECT_EQ(db.value("SELECT True Or False Xor True"), "0");
    // And binds tighter than Xor: True Xor (True And False).
    EXPECT_EQ(db.value("SELECT True Xor True And False"), "-1");
    // Not binds tightest: (Not True) Xor True.
    EXPECT_EQ(db.value("SELECT Not True Xor True"), "-1");
    // Xor above Eqv above Imp, and parentheses first.
    EXPECT_EQ(db.value("SELECT 6 Eqv 3 Imp 5"), "5");
    EXPECT_EQ(db.value("SELECT 5 Imp 6 Eqv 3"), "-6");
    EXPECT_EQ(db.value("SELECT (5 Imp 6) Eqv 3"), "2");
    // Comparisons go first and count as -1 / 0, also in parentheses.
    EXPECT_EQ(db.value("SELECT 1 = 1 Xor 2 = 2, (1 = 1) Eqv (2 = 3), 'a' Like 'a*' Imp 1 > 2"), "0|0|0");
    // A subquery's value is a number, whatever its WHERE compares.
    EXPECT_EQ(db.value("SELECT (SELECT 6 WHERE 1 = 1) Xor 3, IIf(1 > 0, 6, 0) Xor 3"), "5|5");
    EXPECT_EQ(errorNumber("SELECT Xor 1"), 3075);
    EXPECT_EQ(errorNumber("SELECT 1 Imp FROM t"), 3075);
}

TEST(JetOperators, LogicalOperatorsFilterRows) {
    JetDb db;
    db.runNative("CREATE TABLE t (id INTEGER, a INTEGER, b INTEGER, f INTEGER)");
    db.runNative("INSERT INTO t (id, a, b) VALUES (1, 0, 0), (2, 2, 0), (3, 0, 2), (4, 2, 2), (5, NULL, 2), (6, NULL, 0)");
    auto ids = [&](const std::string& where) {
        std::string r;
        for (const auto& row : db.run("SELECT id FROM t WHERE " + where + " ORDER BY id")) r += row;
        return r;
    };
    EXPECT_EQ(ids("a > 1 Xor b > 1"), "23");
    EXPECT_EQ(ids("a > 1 Eqv b > 1"), "14");
    // Null Imp True is True, Null Imp False is Null.
    EXPECT_EQ(ids("a > 1 Imp b > 1"), "1345");
    EXPECT_EQ(ids("id < 5 AND a > 1 Xor b > 1"), "235");
    // In a SET list the '=' assigns; the operator takes the rest.
    db.run("UPDATE t SET f = a > 1 Xor b > 1 WHERE id <= 4");
    EXPECT_EQ(db.run("SELECT f FROM t WHERE id <= 4 ORDER BY id"), (std::vector<std::string>{"0", "-1", "-1", "0"}));
}

TEST(JetOperators, GuidLiteralsReadAsTheStoredText) {
    EXPECT_EQ(translate("SELECT * FROM t WHERE g = {guid {6f9619ff-8b86-d011-b42d-00c04fc964ff}}").sql,
              "SELECT * FROM t WHERE g = '{6F9619FF-8B86-D011-B42D-00C04FC964FF}'");
    EXPECT_EQ(translate("SELECT {GUID{12345678-1234-1234-1234-123456789012} }").sql,
              "SELECT '{12345678-1234-1234-1234-123456789012}'");
    EXPECT_EQ(errorNumber("SELECT {guid {12345678-1234-1234-1234-12345678901}}"), 3075);
    EXPECT_EQ(errorNumber("SELECT {guid {1234567x-1234-1234-1234-123456789012}}"), 3075);
    EXPECT_EQ(errorNumber("SELECT {guid {12345678-1234-1234-1234-123456789012}"), 3075);
    // Inside a text it is text.
    EXPECT_EQ(translate("SELECT '{guid {x}}'").sql, "SELECT '{guid {x}}'");

    JetDb db;
    db.runNative("CREATE TABLE t (id INTEGER, g GUID)");
    db.run("INSERT INTO t VALUES (1, {guid {6f9619ff-8b86-d011-b42d-00c04fc964ff}})");
    db.runNative("INSERT INTO t VALUES (2, '{12345678-1234-1234-1234-123456789012}')");
    EXPECT_EQ(db.value("SELECT g FROM t WHERE id = 1"), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_EQ(db.value("SELECT id FROM t WHERE g = {guid {6F9619FF-8B86-D011-B42D-00C04FC964FF}}"), "1");
    EXPECT_EQ(db.value("SELECT id FROM t WHERE g = {guid {12345678-1234-1234-1234-123456789012}}"), "2");
}

TEST(JetOperators, DatePartWeekdayFollowsTheFirstDayOfWeek) {
    JetDb db;
    // 1/3/2024 is a Wednesday.
    EXPECT_EQ(db.value("SELECT DatePart('w', #1/3/2024#), DatePart('w', #1/3/2024#, 0), DatePart('w', #1/3/2024#, 2), "
                       "DatePart('w', #1/3/2024#, 7)"),
              "4|4|3|5");
    // The other intervals do not depend on the week rules.
    EXPECT_EQ(db.value("SELECT DatePart('yyyy', #2/29/2024 13:14:15#, 2, 2), DatePart('q', #2/29/2024#, 3, 3), "
                       "DatePart('y', #2/29/2024#, 2), DatePart('D', #2/29/2024#), DatePart('h', #2/29/2024 13:14:15#), "
                       "DatePart('n', #2/29/2024 13:14:15#), DatePart('s', #2/29/2024 13:14:15#), DatePart('m', #2/29/2024#)"),
              "2024|1|60|29|13|14|15|2");
}

TEST(JetOperators, DatePartWeekOfYearRules) {
    JetDb db;
    auto ww = [&](const std::string& date, const std::string& rules) {
        return db.value("SELECT DatePart('ww', #" + date + "#" + rules + ")");
    };
    // January 1 2024 is a Monday: with Sunday weeks week 1 ends on Saturday 1/6.
    EXPECT_EQ(ww("1/6/2024", ""), "1");
    EXPECT_EQ(ww("1/7/2024", ""), "2");
    EXPECT_EQ(ww("1/7/2024", ", 2"), "1");
    EXPECT_EQ(ww("1/8/2024", ", 2, 1"), "2");
    // The week of January 1 keeps the last days of December in this year.
    EXPECT_EQ(ww("12/31/2024", ""), "53");
    EXPECT_EQ(ww("12/30/2024", ", 2, 0"), "53");
    // Four-day weeks starting Monday: 1/1/2021 (a Friday) is in week 53 of 2020,
    // 1/4/2021 starts week 1, and 12/30/2024 is already week 1 of 2025.
    EXPECT_EQ(ww("1/1/2021", ", 2, 2"), "53");
    EXPECT_EQ(ww("1/3/2021", ", 2, 2"), "53");
    EXPECT_EQ(ww("1/4/2021", ", 2, 2"), "1");
    EXPECT_EQ(ww("12/29/2024", ", 2, 2"), "52");
    EXPECT_EQ(ww("12/30/2024", ", 2, 2"), "1");
    // First full week, Sunday start: 2024's starts on 1/7; 1/6 is week 53 of 2023.
    EXPECT_EQ(ww("1/6/2024", ", 1, 3"), "53");
    EXPECT_EQ(ww("1/7/2024", ", 1, 3"), "1");
    EXPECT_EQ(ww("1/1/2023", ", 1, 3"), "1");
    EXPECT_EQ(db.value("SELECT DatePart('ww', Null, 2, 2)"), "NULL");
    EXPECT_THROW(ww("1/1/2024", ", 8"), std::runtime_error);
    EXPECT_THROW(ww("1/1/2024", ", 1, 4"), std::runtime_error);
    EXPECT_THROW(ww("1/1/2024", ", -1"), std::runtime_error);
}
