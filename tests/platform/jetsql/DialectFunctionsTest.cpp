// The dialect's functions by their own meaning: names SQLite also has, the
// functions people type, the calendar's bounds and the limit on texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "platform/jetsql/JetDb.h"

using dalvera::jet::testing::JetDb;

namespace {

class DialectFunctions : public ::testing::Test {
protected:
    JetDb db;

    std::string v(const std::string& expr) { return db.value("SELECT " + expr); }

    std::string message(const std::string& expr) {
        try {
            db.run("SELECT " + expr);
        } catch (const std::exception& e) {
            return e.what();
        }
        return {};
    }

    // The engine's number of the error the expression raises; 0 when it runs, -1 without a number.
    long error(const std::string& expr) {
        std::string m = message(expr);
        if (m.empty()) return 0;
        size_t at = m.rfind("(error ");
        return at == std::string::npos ? -1 : std::atol(m.c_str() + at + 7);
    }
};

}  // namespace

TEST_F(DialectFunctions, NamesSqliteAlsoHasMeanWhatTheyMeanInTheDialect) {
    EXPECT_EQ(v("Hex(255)"), "FF");
    EXPECT_EQ(v("Hex(-1) & ' ' & Hex$(4096) & ' ' & Hex(2.5) & Hex(3.5) & ' ' & Hex('255')"), "FFFFFFFF 1000 24 FF");
    EXPECT_EQ(v("Oct(8) & ' ' & Oct(-1)"), "10 37777777777");
    EXPECT_EQ(v("Hex(Null)"), "NULL");
    EXPECT_EQ(error("Hex(2147483648)"), 6);

    EXPECT_EQ(v("Round(Log(10), 6)"), "2.302585");  // natural, not base 10
    EXPECT_EQ(v("Log(Exp(2)) & ' ' & Exp(0)"), "2 1");
    EXPECT_EQ(error("Log(0)"), 5);
    EXPECT_EQ(error("Exp(710)"), 6);
    EXPECT_EQ(v("Sin(0) & Cos(0) & Tan(0) & ' ' & Round(Atn(1) * 4, 10)"), "010 3.1415926536");
    EXPECT_EQ(v("Sin(Null)"), "NULL");

    EXPECT_EQ(v("Round(0.125, 2) & ' ' & Round(0.135, 2) & ' ' & Round(-2.5) & ' ' & Round(1e300, 10)"),
              "0.12 0.14 -2 1E+300");
    EXPECT_EQ(v("Round(9007199254740994.0) & ' ' & Round(2.675, 2)"), "9007199254740994 2.68");
    EXPECT_EQ(v("Left(Format(-1e308, '0.00'), 5)"), "-1000");  // not "inf."
    EXPECT_EQ(error("1e308 + 1e308"), 6);
    EXPECT_EQ(error("Round(2.5, Null)"), 94);
    EXPECT_EQ(error("Round(2.5, -1)"), 5);
    EXPECT_EQ(v("Int(-2.5) & ' ' & Fix(-2.5) & ' ' & Int(2.5) & ' ' & Abs('-3') & ' ' & Sgn(-0.5)"), "-3 -2 2 3 -1");

    // Only blanks are trimmed; Replace and InStr compare without regard to case.
    EXPECT_EQ(v("'[' & Trim(Chr(9) & ' a ') & ']'"), "[\t a]");
    EXPECT_EQ(v("Replace('aAa', 'a', 'x') & InStr('ABC', 'b')"), "xxx2");
    EXPECT_EQ(v("Format(#1/7/2024#, 'yyyy-mm-dd', 1, 1)"), "2024-01-07");
    EXPECT_EQ(error("Format(#1/7/2024#, 'ww', 2)"), 5);  // refused rather than counted from Sunday

    // Null in the text gives Null; Null as a count or position is an error.
    EXPECT_EQ(v("Left(Null, 2) & '|' & Right(Null, 1) & '|' & Mid(Null, 1) & '|' & LTrim(Null)"), "|||");
    EXPECT_EQ(v("Left(Null, 2)"), "NULL");
    EXPECT_EQ(error("Left('abc', Null)"), 94);
    EXPECT_EQ(error("Mid('abc', 1, Null)"), 94);

    // With another number of arguments SQLite's functions of these names would answer.
    for (const char* call : {"Trim('xxaxx', 'x')", "LTrim('xa', 'x')", "Log(2, 8)", "Max(1, 2)", "Min(1, 2)",
                             "Round(1, 2, 3)", "Format(1, '0', 1, 1, 1)", "Abs(1, 2)", "Replace('a', 'b')",
                             "InStr('a')", "IIf(1, 2)", "Hex(1, 2)"})
        EXPECT_EQ(error(call), 3075) << call;
    EXPECT_NE(message("Max(1, 2)").find("Wrong number of arguments"), std::string::npos);
}

TEST_F(DialectFunctions, AggregatesSkipNullsAndMaxMinCompareAsColumnsDo) {
    db.run("CREATE TABLE T (K TEXT(5), N LONG, S TEXT(10), D DATETIME)");
    db.run("INSERT INTO T VALUES ('a', 5, 'apple', #1/2/2024#), ('a', Null, 'Banana', #12/31/2023#), "
           "('a', -2, Null, Null), ('b', Null, Null, Null), ('c', 10, 'x', Null), ('c', 9, 'X', Null)");
    EXPECT_EQ(db.value("SELECT Max(N) & '|' & Min(N) & '|' & Sum(N) & '|' & Avg(N) & '|' & Count(N) & '|' & Count(*) "
                       "FROM T WHERE K = 'a'"),
              "5|-2|3|1.5|2|3");
    // Texts without regard to case ('Banana' after 'apple'), dates in order.
    EXPECT_EQ(db.value("SELECT Max(S) & '|' & Min(S) & '|' & Max(D) & '|' & Min(D) FROM T WHERE K = 'a'"),
              "Banana|apple|2024-01-02 00:00:00|2023-12-31 00:00:00");
    EXPECT_EQ(db.run("SELECT K, Max(N), Min(N), Sum(N), Count(N) FROM T GROUP BY K ORDER BY K"),
              (std::vector<std::string>{"a|5|-2|3|2", "b|NULL|NULL|NULL|0", "c|10|9|19|2"}));
    EXPECT_EQ(db.value("SELECT Max(N) FROM T WHERE N > 100"), "NULL");
    EXPECT_EQ(db.value("SELECT Max(S) FROM T WHERE K = 'c'"), "x");  // a tie keeps the first
}

TEST_F(DialectFunctions, TextsStopAtTheLimitWithAClearError) {
    EXPECT_EQ(error("Space(1e9)"), 14);
    EXPECT_NE(message("Space(1e9)").find("67108864"), std::string::npos);
    EXPECT_EQ(error("String(1e9, 'x')"), 14);
    EXPECT_EQ(error("Space(3e9)"), 6);  // beyond a Long
    EXPECT_EQ(error("Space(-1)"), 5);
    EXPECT_EQ(error("Space(40000000) & Space(40000000)"), 14);
    EXPECT_EQ(error("Space(40000000) + Space(40000000)"), 14);
    EXPECT_EQ(error("Replace(Space(10000000), ' ', '1234567')"), 14);
    EXPECT_EQ(v("Len(String(67108864, 'x'))"), "67108864");  // the limit itself is allowed
    EXPECT_EQ(v("String(3, 'é') & Len(String(3, 'é'))"), "ééé3");
}

TEST_F(DialectFunctions, DatesOutsideTheCalendarAreRefused) {
    EXPECT_EQ(error("DateAdd('yyyy', -1e308, Date())"), 5);
    EXPECT_EQ(error("DateAdd('yyyy', 1e308, Date())"), 5);
    EXPECT_EQ(error("DateAdd('d', 1, #12/31/9999#)"), 5);
    EXPECT_EQ(error("DateAdd('s', -1, #1/1/100#)"), 5);
    EXPECT_EQ(v("DateAdd('yyyy', 7975, #12/31/2024#)"), "9999-12-31 00:00:00");
    EXPECT_EQ(v("DateAdd('s', 1e10, #1/1/2000#)"), "2316-11-20 17:46:40");

    EXPECT_EQ(error("DateSerial(10000, 1, 1)"), 6);
    EXPECT_EQ(error("DateSerial(9999, 13, 1)"), 6);
    EXPECT_EQ(error("DateSerial(100, 0, 1)"), 6);
    EXPECT_EQ(error("DateSerial(2024, 1, 40000)"), 6);  // the day is an Integer
    EXPECT_EQ(v("DateSerial(2024, 1, 32767)"), "2113-09-17 00:00:00");
    EXPECT_EQ(v("DateSerial(2024, -1, 1)"), "2023-11-01 00:00:00");
    EXPECT_EQ(v("DateSerial(29, 2, 29) & ' ' & DateSerial(30, 1, 1)"), "2029-03-01 00:00:00 1930-01-01 00:00:00");

    EXPECT_EQ(error("CDate(1e20)"), 6);
    EXPECT_EQ(error("CDate(-1e20)"), 6);
    EXPECT_EQ(error("CDate(2958466)"), 6);
    EXPECT_EQ(v("CDate(2958465.5) & ' ' & CDate(-657434)"), "9999-12-31 12:00:00 0100-01-01 00:00:00");
    EXPECT_EQ(error("Year(1e20)"), 6);
    EXPECT_EQ(error("Month(9e8)"), 6);
    EXPECT_EQ(error("Weekday(-1e9)"), 6);
    EXPECT_EQ(error("#12/31/9999# + 1"), 6);
    EXPECT_EQ(error("#1/1/100# - 1"), 6);
    EXPECT_EQ(error("#1/1/2024# + 1e20"), 6);
    EXPECT_EQ(error("Format(9e8, 'yyyy')"), 6);
    EXPECT_EQ(v("Format(45322, 'yyyy')"), "2024");
    EXPECT_EQ(error("TimeSerial(40000, 0, 0)"), 6);
}

TEST_F(DialectFunctions, DateAddKeepsTheTimeOfDayBeforeTheZeroDay) {
    EXPECT_EQ(v("DateAdd('h', 1, #1/1/1800#)"), "1800-01-01 01:00:00");
    EXPECT_EQ(v("DateAdd('d', 2, #12/29/1899 06:00#)"), "1899-12-31 06:00:00");
    EXPECT_EQ(v("DateAdd('h', 25, #12/29/1899 06:00#)"), "1899-12-30 07:00:00");
    EXPECT_EQ(v("DateAdd('n', -1, #12/30/1899#)"), "1899-12-29 23:59:00");
    EXPECT_EQ(v("DateAdd('s', 1, #12/29/1899 23:59:59#)"), "1899-12-30 00:00:00");
    EXPECT_EQ(v("DateAdd('ww', -1, #1/3/1900 12:00#)"), "1899-12-27 12:00:00");
}

TEST_F(DialectFunctions, DateValueTimeValueTimeSerialAndNames) {
    EXPECT_EQ(v("DateValue('1/31/2024 13:05') & '|' & DateValue(#1/31/2024 13:05#) & '|' & DateValue(45322.75)"),
              "2024-01-31 00:00:00|2024-01-31 00:00:00|2024-01-31 00:00:00");
    // Dates with their month's name, as the named formats write them.
    EXPECT_EQ(v("DateValue('January 31, 2024') & '|' & DateValue('31-Jan-24') & '|' & "
                "DateValue(Format(#1/31/2024#, 'Long Date'))"),
              "2024-01-31 00:00:00|2024-01-31 00:00:00|2024-01-31 00:00:00");
    EXPECT_EQ(v("CDate('31 Jan 2024 1:05 PM') & '|' & Year('Feb 29, 2024')"), "2024-01-31 13:05:00|2024");
    EXPECT_EQ(error("DateValue(Null)"), 94);
    EXPECT_EQ(error("DateValue('2/30/2024')"), 3464);

    EXPECT_EQ(v("TimeValue('1:05 PM') & '|' & TimeValue(#1/31/2024 13:05:09#) & '|' & TimeValue('2024-01-31')"),
              "1899-12-30 13:05:00|1899-12-30 13:05:09|1899-12-30 00:00:00");
    EXPECT_EQ(v("TimeValue(Null)"), "NULL");
    EXPECT_EQ(error("TimeValue('25:00')"), 3464);

    EXPECT_EQ(v("TimeSerial(13, 5, 9)"), "1899-12-30 13:05:09");
    EXPECT_EQ(v("TimeSerial(12 - 6, -15, 0) & '|' & TimeSerial(0, 90, 0) & '|' & TimeSerial(2.5, 0, 0)"),
              "1899-12-30 05:45:00|1899-12-30 01:30:00|1899-12-30 02:00:00");
    EXPECT_EQ(v("TimeSerial(25, 0, 0)"), "1899-12-31 01:00:00");
    EXPECT_EQ(v("TimeSerial(-1, 0, 0)"), "1899-12-29 23:00:00");  // an hour before the zero day's midnight
    EXPECT_EQ(v("Format(TimeSerial(13, 5, 9), 'Long Time')"), "1:05:09 PM");
    EXPECT_EQ(v("TimeSerial(Null, 0, 0)"), "NULL");

    EXPECT_EQ(v("IsDate('1/31/2024') & IsDate('31 Jan 2024') & IsDate('13:05') & IsDate('2/30/2024') & "
                "IsDate(45000) & IsDate(Null) & IsDate('1/1/10000') & IsDate('') & IsDate('hello')"),
              "-1-1-1000000");

    EXPECT_EQ(v("MonthName(1) & ' ' & MonthName(12, True) & ' ' & MonthName(9, False)"), "January Dec September");
    EXPECT_EQ(error("MonthName(13)"), 5);
    EXPECT_EQ(error("MonthName(0)"), 5);
    EXPECT_EQ(error("MonthName(Null)"), 94);
    EXPECT_EQ(error("MonthName(1, Null)"), 94);
    EXPECT_EQ(v("WeekdayName(1) & ' ' & WeekdayName(7, True) & ' ' & WeekdayName(1, False, 2) & ' ' & "
                "WeekdayName(7, True, 2) & ' ' & WeekdayName(3, False, 0)"),
              "Sunday Sat Monday Sun Tuesday");
    EXPECT_EQ(error("WeekdayName(8)"), 5);
    EXPECT_EQ(error("WeekdayName(1, False, 8)"), 5);
    EXPECT_EQ(error("WeekdayName(Null)"), 94);
}

TEST_F(DialectFunctions, ConversionsRoundAndRefuseAsTheEngineDoes) {
    EXPECT_EQ(v("CInt(2.5) & ' ' & CInt(3.5) & ' ' & CInt(-2.5) & ' ' & CInt(-32768.5) & ' ' & CInt('&HFFFF')"),
              "2 4 -2 -32768 -1");
    EXPECT_EQ(error("CInt(32767.5)"), 6);
    EXPECT_EQ(error("CInt(-32769)"), 6);
    EXPECT_EQ(error("CInt(Null)"), 94);
    EXPECT_EQ(error("CInt('x')"), 3464);

    // Four decimals, ties to the even digit on the decimal form.
    EXPECT_EQ(v("CCur(1.00005) & ' ' & CCur(1.00015) & ' ' & CCur(2.71828) & ' ' & CCur(-0.00005)"), "1 1.0002 2.7183 0");
    EXPECT_EQ(error("CCur(1e20)"), 6);
    EXPECT_EQ(error("CCur(Null)"), 94);

    EXPECT_EQ(v("CSng(1.1) = 1.1"), "0");  // the nearest Single is not the Double
    EXPECT_EQ(v("CSng(0.5) & ' ' & CSng(16777217)"), "0.5 16777216");
    EXPECT_EQ(error("CSng(1e39)"), 6);
    EXPECT_EQ(v("CDec('12.5') * 2 & ' ' & CDec(7)"), "25 7");
    EXPECT_EQ(error("CDec(1e30)"), 6);
    EXPECT_EQ(error("CDec(Null)"), 94);
    EXPECT_EQ(v("CBool('False') & CBool(0.1)"), "0-1");
    EXPECT_EQ(error("CBool(Null)"), 94);
    EXPECT_EQ(v("CDate('13:05') & '|' & CVDate(Null)"), "1899-12-30 13:05:00|");
    EXPECT_EQ(v("CVDate(Null)"), "NULL");
    EXPECT_EQ(error("CDate(Null)"), 94);

    EXPECT_EQ(v("Val('&HFFFF') & ' ' & Val('&H10000') & ' ' & Val('&O17') & ' ' & Val(' 1 2 . 5 x') & ' ' & "
                "Val('1d2') & ' ' & Val('')"),
              "-1 65536 15 12.5 100 0");
    EXPECT_EQ(error("Val('1e400')"), 6);
    EXPECT_EQ(error("Val('&H100000000')"), 6);
    EXPECT_EQ(error("Val(Null)"), 94);

    EXPECT_EQ(v("IsNumeric(12) & IsNumeric(' -1.5e3 ') & IsNumeric('&HFF') & IsNumeric('1,000') & IsNumeric('') & "
                "IsNumeric(Null) & IsNumeric('True') & IsNumeric(#1/1/2024#) & IsNumeric('12abc')"),
              "-1-1-1000000");
    EXPECT_EQ(v("Str(0.5) & '|' & Str(-0.25) & '|' & Str(12) & '|' & Str(Null)"), " .5|-.25| 12|");
}

TEST_F(DialectFunctions, TextFunctions) {
    EXPECT_EQ(v("String(3, 'abc') & '|' & String(2, 321) & '|' & String(2, 128) & '|' & String(0, 'x')"),
              "aaa|AA|€€|");
    EXPECT_EQ(v("String(Null, 'x')"), "NULL");
    EXPECT_EQ(v("String(2, Null)"), "NULL");
    EXPECT_EQ(error("String(2, '')"), 5);
    EXPECT_EQ(error("String(-1, 'x')"), 5);

    EXPECT_EQ(v("InStrRev('abcabc', 'b') & InStrRev('abcabc', 'b', 4) & InStrRev('abcabc', 'bc', 5) & "
                "InStrRev('abcabc', 'B') & InStrRev('abcabc', 'B', -1, 0)"),
              "52250");
    EXPECT_EQ(v("InStrRev('abc', '') & InStrRev('abc', '', 2) & InStrRev('abc', 'a', 9) & InStrRev('', 'a') & "
                "InStrRev('café', 'É')"),
              "32004");
    EXPECT_EQ(v("InStrRev(Null, 'a')"), "NULL");
    EXPECT_EQ(error("InStrRev('abc', 'a', 0)"), 5);
    EXPECT_EQ(error("InStrRev('abc', 'a', Null)"), 94);

    EXPECT_EQ(v("StrReverse('café') & '|' & StrReverse('')"), "éfac|");
    EXPECT_EQ(error("StrReverse(Null)"), 94);

    // The result starts at start; count -1 replaces all; compare 0 is binary.
    EXPECT_EQ(v("Replace('abcabc', 'b', 'x') & '|' & Replace('abcabc', 'b', 'x', 3) & '|' & "
                "Replace('abcabc', 'b', 'x', 1, 1) & '|' & Replace('aAa', 'a', 'x', 1, -1, 0) & '|' & "
                "Replace('Éé', 'é', 'e')"),
              "axcaxc|caxc|axcabc|xAx|ee");
    EXPECT_EQ(v("Replace('abc', '', 'x') & '|' & Replace('abc', 'b', '') & '|' & Replace('abc', 'b', 'x', 5) & '|' & "
                "Replace('abc', 'b', 'x', 2, 0)"),
              "abc|ac||bc");
    EXPECT_EQ(error("Replace(Null, 'a', 'b')"), 94);
    EXPECT_EQ(error("Replace('a', Null, 'b')"), 94);
    EXPECT_EQ(error("Replace('abc', 'b', 'x', 0)"), 5);
    EXPECT_EQ(error("Replace('abc', 'b', 'x', 1, -2)"), 5);
    EXPECT_EQ(error("Replace('abc', 'b', 'x', 1, -1, 3)"), 5);

    // Chr and Asc speak the Western code page; ChrW and AscW Unicode.
    EXPECT_EQ(v("Chr(128) & Chr(153) & ' ' & Asc(Chr(128)) & ' ' & Asc(Chr(255)) & ' ' & Asc('Ω')"), "€™ 128 255 63");
    EXPECT_EQ(error("Chr(256)"), 5);
    EXPECT_EQ(v("ChrW(937) & ChrW(8364) & ' ' & AscW('Ω') & ' ' & AscW(ChrW(-1))"), "Ω€ 937 -1");
    EXPECT_EQ(error("ChrW(55296)"), 5);

    EXPECT_EQ(v("StrConv('hello wORLD', 3) & '|' & StrConv('abc', 1) & '|' & StrConv('ÉCOLE', 2)"),
              "Hello World|ABC|école");
    EXPECT_EQ(v("StrConv(Null, 3)"), "NULL");
    EXPECT_EQ(error("StrConv('a', 4)"), 5);
}

TEST_F(DialectFunctions, PartitionPadsItsRangesToTheWidthOfStopPlusOne) {
    EXPECT_EQ(v("Partition(-1, 0, 99, 5)"), "   : -1");
    EXPECT_EQ(v("Partition(0, 0, 99, 5)"), "  0:  4");
    EXPECT_EQ(v("Partition(97, 0, 99, 5)"), " 95: 99");
    EXPECT_EQ(v("Partition(100, 0, 99, 5)"), "100:   ");
    EXPECT_EQ(v("Partition(19, 20, 199, 10)"), "    :  19");
    EXPECT_EQ(v("Partition(25, 20, 199, 10)"), "  20:  29");
    EXPECT_EQ(v("Partition(199, 20, 199, 10)"), " 190: 199");
    EXPECT_EQ(v("Partition(1005, 100, 1010, 20)"), " 1000: 1010");  // the last range ends at stop
    EXPECT_EQ(v("Partition(1011, 100, 1010, 20)"), " 1011:     ");
    EXPECT_EQ(v("Partition(100, 0, 1000, 1)"), "  100:  100");
    EXPECT_EQ(v("Partition(4.5, 0, 99, 5) & '|' & Partition(5.5, 0, 99, 5)"), "  0:  4|  5:  9");  // half to even
    EXPECT_EQ(v("Partition(Null, 0, 99, 5)"), "NULL");
    EXPECT_EQ(v("Partition(1, Null, 99, 5)"), "NULL");
    EXPECT_EQ(error("Partition(1, -1, 99, 5)"), 5);
    EXPECT_EQ(error("Partition(1, 10, 10, 5)"), 5);
    EXPECT_EQ(error("Partition(1, 0, 99, 0)"), 5);

    db.run("CREATE TABLE P (N LONG)");
    db.run("INSERT INTO P VALUES (3), (12), (7), (105), (-4)");
    EXPECT_EQ(db.run("SELECT Partition(N, 0, 99, 10), Count(*) FROM P GROUP BY Partition(N, 0, 99, 10) ORDER BY 1"),
              (std::vector<std::string>{"   : -1|1", "  0:  9|2", " 10: 19|1", "100:   |1"}));
}

TEST_F(DialectFunctions, RndFollowsTheEnginesSequence) {
    // A new connection starts where the engine starts.
    EXPECT_EQ(v("Round(Rnd(), 7)"), "0.7055475");
    EXPECT_EQ(v("Round(Rnd(), 7)"), "0.533424");
    EXPECT_EQ(v("Round(Rnd(0), 7)"), "0.533424");  // the last number again
    EXPECT_EQ(v("Round(Rnd(5), 7)"), "0.5795186");
    EXPECT_EQ(v("Round(Rnd(-1), 7)"), "0.224007");
    EXPECT_EQ(v("Round(Rnd(-1), 7)"), "0.224007");
    EXPECT_EQ(v("Round(Rnd(), 7)"), "0.0358458");  // the sequence goes on from the seed
    EXPECT_EQ(error("Rnd(Null)"), 94);
    JetDb other;
    EXPECT_EQ(other.value("SELECT Round(Rnd(), 7)"), "0.7055475");

    db.run("CREATE TABLE R (Id LONG)");
    db.run("INSERT INTO R VALUES (1), (2), (3), (4), (5)");
    auto rows = db.run("SELECT Rnd() FROM R");
    std::set<std::string> distinct(rows.begin(), rows.end());
    EXPECT_EQ(distinct.size(), 5u);  // a new number on every row
    for (const auto& r : rows) {
        double x = std::atof(r.c_str());
        EXPECT_TRUE(x >= 0 && x < 1) << r;
    }
    EXPECT_EQ(db.value("SELECT Round(Rnd(-Id), 7) FROM R WHERE Id = 1"), "0.224007");
}
