#include <gtest/gtest.h>

#include <ctime>

#include "platform/jet/sql/JetSql.h"
#include "platform/jetsql/JetDb.h"

using dalvera::jet::translate;
using dalvera::jet::testing::JetDb;

namespace {

class JetFunctions : public ::testing::Test {
protected:
    JetDb db;

    std::string v(const std::string& expr) { return db.value("SELECT " + expr); }

    // The SQLite error a statement raises, or "" when it runs.
    std::string failure(const std::string& expr) {
        try {
            db.run("SELECT " + expr);
        } catch (const std::exception& e) {
            return e.what();
        }
        return {};
    }
};

}  // namespace

TEST_F(JetFunctions, LikeUsesTheDialectWildcards) {
    db.run("CREATE TABLE Names (N TEXT(20))");
    for (const char* n : {"Anna", "anton", "Bert", "Carl", "Dora", "A1b", "A12", "50%"})
        db.run(std::string("INSERT INTO Names VALUES ('") + n + "')");
    auto like = [&](const std::string& pattern) {
        std::string out;
        for (const auto& r : db.run("SELECT N FROM Names WHERE N LIKE '" + pattern + "' ORDER BY N"))
            out += (out.empty() ? "" : ",") + r;
        return out;
    };
    EXPECT_EQ(like("a*"), "A12,A1b,Anna,anton");  // case-insensitive
    EXPECT_EQ(like("?ert"), "Bert");
    EXPECT_EQ(like("A#?"), "A12,A1b");
    EXPECT_EQ(like("A##"), "A12");
    EXPECT_EQ(like("[!a-c]*"), "50%,Dora");
    EXPECT_EQ(like("[b-d]*"), "Bert,Carl,Dora");
    EXPECT_EQ(like("50[%]"), "50%");
    EXPECT_EQ(like("%"), "");  // % is no wildcard in the dialect
    EXPECT_EQ(db.value("SELECT count(*) FROM Names WHERE N NOT LIKE '*n*'"), "6");
    EXPECT_EQ(v("Null LIKE 'a'"), "NULL");
    EXPECT_NE(failure("'a' LIKE '[a'"), "");
    // SQLite's own LIKE is left alone for statements that are not translated.
    EXPECT_EQ(db.runNative("SELECT 'abc' LIKE 'a%'").at(0), "1");
}

TEST_F(JetFunctions, ConcatenationAndNullHandling) {
    EXPECT_EQ(v("Null & 'x'"), "x");
    EXPECT_EQ(v("'x' & Null & 1"), "x1");
    EXPECT_EQ(v("Null & Null"), "NULL");
    EXPECT_EQ(v("1 + 2 & 'a'"), "3a");
    EXPECT_EQ(v("0.5 & ''"), "0.5");
    EXPECT_EQ(v("IIf(Null, 'y', 'n')"), "n");
    EXPECT_EQ(v("IIf(1 > 0, 'y', 'n')"), "y");
    EXPECT_EQ(v("IIf(0, 'y', Null)"), "NULL");
    EXPECT_EQ(v("Nz(Null, 5)"), "5");
    EXPECT_EQ(v("Nz(Null) = ''"), "1");
    EXPECT_EQ(v("Nz('a', 'b')"), "a");
    EXPECT_EQ(v("IsNull(Null) & IsNull(1)"), "-10");
    EXPECT_EQ(v("True = -1 AND No = 0"), "1");
    EXPECT_EQ(v("Choose(2, 'a', 'b', 'c') & Choose(4, 'a', 'b', 'c') & Choose(1.9, 'x')"), "bx");
    EXPECT_EQ(v("Switch(1 > 2, 'a', Null, 'b', 2 > 1, 'c')"), "c");
    EXPECT_EQ(v("Switch(1 > 2, 'a')"), "NULL");
    EXPECT_NE(failure("Switch(1 > 2)"), "");
    EXPECT_EQ(v("StrComp('abc', 'ABC') & StrComp('abc', 'ABC', 0) & StrComp('a', 'b')"), "01-1");
}

TEST_F(JetFunctions, DatePartsAndArithmetic) {
    EXPECT_EQ(v("Year(#1/31/2024 13:05:09#) & '-' & Month('2024-01-31') & '-' & Day('2024-01-31 00:00:00')"),
              "2024-1-31");
    EXPECT_EQ(v("Hour(#1/31/2024 13:05:09#) & ':' & Minute(#13:05:09#) & ':' & Second(#13:05:09#)"), "13:5:9");
    EXPECT_EQ(v("Year(45322)"), "2024");  // a serial number
    EXPECT_EQ(v("Year(Null)"), "NULL");
    EXPECT_EQ(v("DateAdd('m', 1, #1/31/2024#)"), "2024-02-29 00:00:00");
    EXPECT_EQ(v("DateAdd('m', 1, #1/31/2023#)"), "2023-02-28 00:00:00");
    EXPECT_EQ(v("DateAdd('yyyy', 1, #2/29/2024#)"), "2025-02-28 00:00:00");
    EXPECT_EQ(v("DateAdd('q', -1, #5/31/2024#)"), "2024-02-29 00:00:00");
    EXPECT_EQ(v("DateAdd('d', 1, #12/31/2024 23:00#)"), "2025-01-01 23:00:00");
    EXPECT_EQ(v("DateAdd('ww', 2, #1/1/2024#)"), "2024-01-15 00:00:00");
    EXPECT_EQ(v("DateAdd('h', 2, #1/1/2024 23:30#)"), "2024-01-02 01:30:00");
    EXPECT_EQ(v("DateAdd('n', -31, #1/1/2024 00:30#)"), "2023-12-31 23:59:00");
    EXPECT_EQ(v("DateAdd('s', 30, '2024-01-01 00:00:45')"), "2024-01-01 00:01:15");
    EXPECT_EQ(v("DateAdd('d', Null, #1/1/2024#)"), "NULL");
    EXPECT_NE(failure("DateAdd('x', 1, #1/1/2024#)"), "");
    EXPECT_NE(failure("DateAdd('d', 1, 'not a date')"), "");

    EXPECT_EQ(v("DateDiff('d', #1/31/2024 23:59#, #2/1/2024 00:01#)"), "1");
    EXPECT_EQ(v("DateDiff('m', #1/31/2024#, #2/1/2024#)"), "1");
    EXPECT_EQ(v("DateDiff('yyyy', #12/31/2023#, #1/1/2024#)"), "1");
    EXPECT_EQ(v("DateDiff('q', #3/31/2024#, #4/1/2024#)"), "1");
    EXPECT_EQ(v("DateDiff('d', #3/1/2024#, #2/1/2024#)"), "-29");
    EXPECT_EQ(v("DateDiff('w', #1/1/2024#, #1/14/2024#)"), "1");
    EXPECT_EQ(v("DateDiff('ww', #1/6/2024#, #1/7/2024#)"), "1");  // Saturday to Sunday
    EXPECT_EQ(v("DateDiff('h', #1/1/2024 10:59#, #1/1/2024 11:00#)"), "1");
    EXPECT_EQ(v("DateDiff('n', #1/1/2024 10:00#, #1/1/2024 09:58:30#)"), "-2");
    EXPECT_EQ(v("DateDiff('s', '2024-01-01', '2024-01-02')"), "86400");
    EXPECT_EQ(v("DateSerial(2024, 14, 1)"), "2025-02-01 00:00:00");
    EXPECT_EQ(v("Weekday(#1/7/2024#)"), "1");
    EXPECT_EQ(v("DatePart('q', #8/1/2024#) & DatePart('y', #2/1/2024#) & DatePart('ww', #1/7/2024#)"), "3322");
    EXPECT_EQ(v("DatePart('yyyy', Null)"), "NULL");
}

TEST_F(JetFunctions, PlusAndMinusKnowDatesAndTexts) {
    EXPECT_EQ(v("#1/31/2024# + 1"), "2024-02-01 00:00:00");
    EXPECT_EQ(v("0.5 + #1/31/2024#"), "2024-01-31 12:00:00");
    EXPECT_EQ(v("#3/1/2024# - 1"), "2024-02-29 00:00:00");
    EXPECT_EQ(v("#3/1/2024# - #2/1/2024#"), "29.0");
    EXPECT_EQ(v("'ab' + 'cd'"), "abcd");
    EXPECT_EQ(v("'5' + 2"), "7.0");
    EXPECT_EQ(v("2 + 3 - 10"), "-5");
    EXPECT_EQ(v("1.5 + 1"), "2.5");
    EXPECT_EQ(v("9223372036854775807 + 1 > 0"), "1");  // no wrap-around
    EXPECT_EQ(v("Null + 1"), "NULL");
    EXPECT_EQ(v("'x' + Null"), "NULL");
    EXPECT_NE(failure("'x' + 1"), "");
    EXPECT_EQ(v("Date() - 1 < Date()"), "1");
}

TEST_F(JetFunctions, NowDateTimeAreStorageText) {
    std::string now = v("Now()");
    ASSERT_EQ(now.size(), 19u);
    EXPECT_EQ(now[10], ' ');
    std::string today = v("Date()");
    EXPECT_EQ(today.substr(10), " 00:00:00");
    EXPECT_EQ(today.substr(0, 10), now.substr(0, 10));  // may race at midnight only
    EXPECT_EQ(v("Time()").substr(0, 11), "1899-12-30 ");
    // Storage text sorts and compares as dates.
    EXPECT_EQ(v("Now() > #1/1/2020#"), "1");
    // SQLite's own date() with arguments still works.
    EXPECT_EQ(db.runNative("SELECT date('2024-03-01')").at(0), "2024-03-01");
}

TEST_F(JetFunctions, TextFunctionsCountCharacters) {
    EXPECT_EQ(v("Len('café')"), "4");
    EXPECT_EQ(v("Len(Null)"), "NULL");
    EXPECT_EQ(v("Len(123)"), "3");
    EXPECT_EQ(v("Mid('café au lait', 4, 3)"), "é a");
    EXPECT_EQ(v("Mid('café', 4)"), "é");
    EXPECT_EQ(v("Mid('café', 9)"), "");
    EXPECT_EQ(v("Left('café', 4) & '|' & Right('café', 2) & '|' & Left('ab', 9)"), "café|fé|ab");
    EXPECT_EQ(v("InStr('café au lait', 'au')"), "6");
    EXPECT_EQ(v("InStr('café', 'É')"), "4");  // text comparison
    EXPECT_EQ(v("InStr(1, 'café', 'É', 0)"), "0");
    EXPECT_EQ(v("InStr(3, 'abcabc', 'a')"), "4");
    EXPECT_EQ(v("InStr('abc', 'x')"), "0");
    EXPECT_EQ(v("InStr('abc', '')"), "1");
    EXPECT_EQ(v("InStr(Null, 'x')"), "NULL");
    EXPECT_EQ(v("UCase('café') & LCase('ÉCOLE')"), "CAFÉécole");
    EXPECT_EQ(v("'[' & Trim('  a b  ') & '][' & LTrim('  a ') & '][' & RTrim(' a  ') & ']'"), "[a b][a ][ a]");
    EXPECT_EQ(v("Chr(233) & Chr$(65) & Asc('é') & Str(5) & Str(-5)"), "éA233 5-5");
    EXPECT_EQ(v("Sqr(16)"), "4.0");
    EXPECT_NE(failure("Left('abc', -1)"), "");
    EXPECT_NE(failure("Asc('')"), "");
    EXPECT_NE(failure("Mid('abc', 0)"), "");
}

TEST_F(JetFunctions, Conversions) {
    EXPECT_EQ(v("CStr(12) & CStr(1.5)"), "121.5");
    EXPECT_NE(failure("CStr(Null)").find("Null"), std::string::npos);
    EXPECT_EQ(v("CLng(2.5) & ',' & CLng(3.5) & ',' & CLng(-2.5) & ',' & CLng('7')"), "2,4,-2,7");
    EXPECT_EQ(v("CInt(32767.4)"), "32767");
    EXPECT_NE(failure("CInt(32767.6)").find("Overflow"), std::string::npos);
    EXPECT_NE(failure("CLng(3000000000)").find("Overflow"), std::string::npos);
    EXPECT_NE(failure("CLng('abc')").find("mismatch"), std::string::npos);
    EXPECT_EQ(v("CDbl('2.5') * 2"), "5.0");
    EXPECT_EQ(v("CBool(5) & CBool(0) & CBool('True')"), "-10-1");
    EXPECT_EQ(v("CDate('1/31/2024 1:02 PM')"), "2024-01-31 13:02:00");
    EXPECT_EQ(v("CDate(45322.5)"), "2024-01-31 12:00:00");
    EXPECT_NE(failure("CDate('someday')"), "");
    EXPECT_EQ(v("Val('  12 34abc')"), "1234");
    EXPECT_EQ(v("Val('-1.5e2x')"), "-150");
    EXPECT_EQ(v("Val('&HFF')"), "255");
    EXPECT_EQ(v("Val('abc')"), "0");
    EXPECT_EQ(v("Round(2.5) & ',' & Round(3.5) & ',' & Round(2.675, 2) & ',' & Round(-1.25, 1)"), "2,4,2.68,-1.2");
    EXPECT_EQ(v("Round(Null)"), "NULL");
    EXPECT_EQ(v("Abs(-3) & ',' & Abs(-2.5) & ',' & Abs(Null)"), "3,2.5,");
    EXPECT_EQ(v("7 \\ 2 & ',' & -7 \\ 2 & ',' & 2 ^ 10"), "3,-3,1024");
    EXPECT_NE(failure("1 \\ 0").find("Division by zero"), std::string::npos);
}

TEST_F(JetFunctions, Format) {
    EXPECT_EQ(v("Format(#1/31/2024 13:05:09#, 'General Date')"), "1/31/2024 1:05:09 PM");
    EXPECT_EQ(v("Format(#1/31/2024#, 'Short Date')"), "1/31/2024");
    EXPECT_EQ(v("Format(#1/31/2024#, 'Long Date')"), "Wednesday, January 31, 2024");
    EXPECT_EQ(v("Format(#1/31/2024 13:05:09#, 'Short Time')"), "13:05");
    EXPECT_EQ(v("Format(#1/31/2024 13:05:09#, 'Long Time')"), "1:05:09 PM");
    EXPECT_EQ(v("Format('2024-01-31 08:04:03', 'yyyy-mm-dd hh:nn:ss')"), "2024-01-31 08:04:03");
    EXPECT_EQ(v("Format(#1/31/2024 08:04#, 'dd.mm.yy h:mm')"), "31.01.24 8:04");
    EXPECT_EQ(v("Format(#3/5/2024#, 'ddd d mmm, \"Q\"q')"), "Tue 5 Mar, Q1");
    EXPECT_EQ(v("Format(1234.5, 'Currency')"), "$1,234.50");
    EXPECT_EQ(v("Format(-1234.5, 'Currency')"), "($1,234.50)");
    EXPECT_EQ(v("Format(1234.567, 'Fixed')"), "1234.57");
    EXPECT_EQ(v("Format(1234567.891, 'Standard')"), "1,234,567.89");
    EXPECT_EQ(v("Format(0.1234, 'Percent')"), "12.34%");
    EXPECT_EQ(v("Format(-1, 'Yes/No') & Format(0, 'Yes/No')"), "YesNo");
    EXPECT_EQ(v("Format(2.5, '0') & '|' & Format(1.005, '0.00') & '|' & Format(1234567, '#,##0')"), "3|1.01|1,234,567");
    EXPECT_EQ(v("Format(0.5, '#.##') & '|' & Format(5, '000') & '|' & Format(-3, '0;(0)') & '|' & Format(0, '0;-0;zero')"),
              ".5|005|(3)|zero");
    EXPECT_EQ(v("Format(-0.001, '0.00')"), "0.00");
    EXPECT_EQ(v("Format(1.5, '0.0 \"kg\"')"), "1.5 kg");
    EXPECT_EQ(v("Format('abc', '0.00') & Format('abc', '>')"), "abcABC");
    EXPECT_EQ(v("Format(12.5)"), "12.5");
    EXPECT_EQ(v("Format(#1/31/2024#) & '|' & Format(#13:05#)"), "1/31/2024|1:05:00 PM");
    EXPECT_EQ(v("Format(Null, 'Fixed')"), "NULL");
}

TEST(JetExecution, TopParametersAndDates) {
    JetDb db;
    db.run("CREATE TABLE Sales (Id COUNTER, [Sale Date] DATETIME, Amount CURRENCY, Paid YESNO DEFAULT False)");
    for (int i = 1; i <= 25; ++i)
        db.run("INSERT INTO Sales ([Sale Date], Amount, Paid) VALUES (DateAdd('d', " + std::to_string(i) +
               ", #12/31/2023#), " + std::to_string(i * 10) + ", " + (i % 2 ? "True" : "No") + ")");
    EXPECT_EQ(db.run("SELECT TOP 3 Amount FROM Sales ORDER BY Amount DESC"),
              (std::vector<std::string>{"250", "240", "230"}));
    // Rows that tie with the last place come along.
    db.run("UPDATE Sales SET Amount = 240 WHERE Amount = 230");
    EXPECT_EQ(db.run("SELECT TOP 2 Amount AS A FROM Sales ORDER BY A DESC"),
              (std::vector<std::string>{"250", "240", "240"}));
    EXPECT_EQ(db.run("SELECT TOP 2 Amount FROM Sales ORDER BY 1 DESC, Id").size(), 2u);
    // A correlated subquery with TOP still runs.
    EXPECT_EQ(db.value("SELECT count(*) FROM Sales AS s WHERE s.Amount = (SELECT TOP 1 Amount FROM Sales "
                       "WHERE Id >= s.Id ORDER BY Id)"),
              "25");
    db.run("UPDATE Sales SET Amount = 230 WHERE Id = 23");
    // 10 percent of 25 rows, rounded up.
    EXPECT_EQ(db.run("SELECT TOP 10 PERCENT Id FROM Sales ORDER BY Id").size(), 3u);
    EXPECT_EQ(db.value("SELECT count(*) FROM Sales WHERE [Sale Date] BETWEEN #1/10/2024# AND #1/12/2024#"), "3");
    EXPECT_EQ(db.value("SELECT count(*) FROM Sales WHERE Paid = True"), "13");
    EXPECT_EQ(db.value("SELECT Sum(Amount) FROM Sales WHERE Format([Sale Date], 'yyyy-mm') = '2024-01' "
                       "AND Amount Mod 20 = 0"),
              std::to_string(20 + 40 + 60 + 80 + 100 + 120 + 140 + 160 + 180 + 200 + 220 + 240));

    auto t = translate("PARAMETERS [From] DateTime, [To] DateTime; "
                       "SELECT count(*) FROM Sales WHERE [Sale Date] >= [From] AND [Sale Date] < [To] AND "
                       "[Sale Date] <> [From]");
    EXPECT_EQ(db.runNative(t.sql, {"2024-01-05 00:00:00", "2024-01-08 00:00:00"}), (std::vector<std::string>{"2"}));

    db.run("DELETE * FROM Sales WHERE Paid");
    EXPECT_EQ(db.value("SELECT count(*) FROM Sales"), "12");
    db.run("UPDATE Sales SET Amount = Amount * 2 WHERE Id = 2");
    EXPECT_EQ(db.value("SELECT Amount FROM Sales WHERE Id = 2"), "40");
    db.run("SELECT Id, Amount INTO Archive FROM Sales WHERE Id < 5");
    EXPECT_EQ(db.value("SELECT count(*) FROM Archive"), "2");
}

TEST_F(JetFunctions, DollarNamesAndFirstLast) {
    EXPECT_EQ(v("Left$('abc', 2) & Mid$('abc', 2) & UCase$('x') & Format$(1, '00')"), "abbcX01");
    db.run("CREATE TABLE G (K TEXT(5), N LONG)");
    db.run("INSERT INTO G VALUES ('a', 1), ('a', 2), ('b', Null), ('b', 7)");
    EXPECT_EQ(db.run("SELECT K, First(N), Last(N) FROM (SELECT * FROM G ORDER BY K, rowid) GROUP BY K ORDER BY K"),
              (std::vector<std::string>{"a|1|2", "b|NULL|7"}));
    db.run("INSERT INTO G VALUES ('c', 2), ('c', 4), ('c', 4), ('c', 4), ('c', 5), ('c', 5), ('c', 7), ('c', 9)");
    EXPECT_EQ(db.value("SELECT StDevP(N) & ' ' & VarP(N) & ' ' & Var(N) FROM G WHERE K = 'c'"), "2 4 4.57142857142857");
    EXPECT_EQ(db.value("SELECT StDev(N) FROM G WHERE K = 'b'"), "NULL");  // one non-Null value
}

TEST(JetOperators, PrecedenceOfIntegerDivisionAndPowers) {
    JetDb db;
    EXPECT_EQ(db.value("SELECT 3 * -5 \\ 2"), "-7");    // (3 * -5) \ 2
    EXPECT_EQ(db.value("SELECT 10 + 7 \\ 2"), "13");    // 10 + (7 \ 2)
    EXPECT_EQ(db.value("SELECT 17 Mod 7 \\ 2"), "2");   // 17 Mod (7 \ 2)
    EXPECT_EQ(db.value("SELECT -2 ^ 2"), "-4");         // -(2 ^ 2)
    EXPECT_EQ(db.value("SELECT 2 ^ -1 * 4"), "2.0");    // (2 ^ -1) * 4
    EXPECT_EQ(db.value("SELECT 7.6 \\ 2"), "4");        // operands rounded first
    EXPECT_EQ(db.value("SELECT 'n' & 7 \\ 2 & 'x'"), "n3x");
}
