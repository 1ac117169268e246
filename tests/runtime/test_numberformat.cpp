#include <gtest/gtest.h>

#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/NumberFormat.h"

using namespace dalvera;

namespace {
const FormatLocale en = FormatLocale::english();
const FormatLocale nl = FormatLocale::dutch();

std::string fmt(const Variant& v, std::string_view f, const FormatLocale& loc = en) { return formatValue(v, f, loc); }
}  // namespace

TEST(NumberFormatGeneral, ElevenCharactersAtMost) {
    EXPECT_EQ(fmt(0, "General"), "0");
    EXPECT_EQ(fmt(42, "General"), "42");
    EXPECT_EQ(fmt(-1234.5, ""), "-1234.5");
    EXPECT_EQ(fmt(1234.5, "General", nl), "1234,5");
    EXPECT_EQ(fmt(0.1 + 0.2, "General"), "0.3");
    EXPECT_EQ(fmt(1.0 / 3.0, "General"), "0.333333333");       // 11 characters
    EXPECT_EQ(fmt(2.0 / 3.0 * 100, "General"), "66.66666667");  // rounded, not cut
    EXPECT_EQ(fmt(12345678901.0, "General"), "12345678901");
    EXPECT_EQ(fmt(123456789012.0, "General"), "1.23457E+11");
    EXPECT_EQ(fmt(-123456789012.0, "General"), "-1.23457E+11");
    EXPECT_EQ(fmt(1e20, "General"), "1E+20");
    EXPECT_EQ(fmt(0.0001, "General"), "0.0001");
    EXPECT_EQ(fmt(0.00001, "General"), "1E-05");
    EXPECT_EQ(fmt(0.000012345, "General", nl), "1,2345E-05");
    EXPECT_EQ(fmt(99999999999.7, "General"), "1E+11");
    EXPECT_EQ(fmt(1e150, "General"), "1E+150");
}

TEST(NumberFormatGeneral, OtherValueKinds) {
    EXPECT_EQ(fmt(Variant(), "0.00"), "");
    EXPECT_EQ(fmt(Variant::null(), "General"), "");
    EXPECT_EQ(fmt(true, "General"), "TRUE");
    EXPECT_EQ(fmt(false, "0.00", nl), "ONWAAR");
    EXPECT_EQ(fmt("abc", "General"), "abc");
    EXPECT_EQ(fmt("12", "0.00"), "12");  // text stays text
    EXPECT_EQ(fmt(Variant::date(45000.5), "General"), "45000.5");
    EXPECT_EQ(fmt(Variant::currency(12.5), "0.00"), "12.50");
    EXPECT_EQ(fmt(Variant::integer(-7), "0"), "-7");
    EXPECT_EQ(fmt(Variant::single(1.1f), "General"), "1.1");
}

TEST(NumberFormatNumbers, PlaceholdersAndRounding) {
    EXPECT_EQ(fmt(1234.5, "0"), "1235");
    EXPECT_EQ(fmt(2.5, "0"), "3");  // half away from zero
    EXPECT_EQ(fmt(-2.5, "0"), "-3");
    EXPECT_EQ(fmt(2.675, "0.00"), "2.68");
    EXPECT_EQ(fmt(1.005, "0.00"), "1.01");
    EXPECT_EQ(fmt(0.5, "0.00"), "0.50");
    EXPECT_EQ(fmt(0.5, "#.##"), ".5");
    EXPECT_EQ(fmt(12, "#.##"), "12.");
    EXPECT_EQ(fmt(12.5, ".00"), "12.50");
    EXPECT_EQ(fmt(7, "000"), "007");
    EXPECT_EQ(fmt(1.5, "0.0?"), "1.5 ");
    EXPECT_EQ(fmt(9.996, "0.00"), "10.00");
    EXPECT_EQ(fmt(-0.001, "0.00"), "-0.00");  // the host keeps the sign
    EXPECT_EQ(fmt(123456789, "000-00-0000"), "123-45-6789");
}

TEST(NumberFormatNumbers, GroupingAndScaling) {
    EXPECT_EQ(fmt(1234567.891, "#,##0"), "1,234,568");
    EXPECT_EQ(fmt(1234567.891, "#,##0.00"), "1,234,567.89");
    EXPECT_EQ(fmt(1234567.891, "#,##0.00", nl), "1.234.567,89");
    EXPECT_EQ(fmt(999.999, "#,##0.00"), "1,000.00");
    EXPECT_EQ(fmt(0, "#,##0"), "0");
    EXPECT_EQ(fmt(0, "#,###"), "");
    EXPECT_EQ(fmt(123, "#,##0"), "123");
    EXPECT_EQ(fmt(-1234, "#,##0"), "-1,234");
    EXPECT_EQ(fmt(5, "0,000"), "0,005");
    EXPECT_EQ(fmt(1234567, "#,##0,"), "1,235");
    EXPECT_EQ(fmt(1234567, "0.0,,"), "1.2");
    EXPECT_EQ(fmt(10000, "#,###,##0", nl), "10.000");
    EXPECT_EQ(fmt(500000, "#,###,##0"), "500,000");
}

TEST(NumberFormatNumbers, CurrencyFormatsOfTheTableSheet) {
    EXPECT_EQ(fmt(1234.5, "\xE2\x82\xAC #,##0.00_-", nl), "\xE2\x82\xAC 1.234,50 ");
    EXPECT_EQ(fmt(1234.5, "\xE2\x82\xAC #,##0.00_-", en), "\xE2\x82\xAC 1,234.50 ");
    EXPECT_EQ(fmt(1234.5, "$ #,##0.00_-"), "$ 1,234.50 ");
    EXPECT_EQ(fmt(-1234.5, "$ #,##0.00_-"), "-$ 1,234.50 ");
    EXPECT_EQ(fmt(1234.5, "[$$-409] #,##0.00_-", nl), "$ 1.234,50 ");
    EXPECT_EQ(fmt(0.456, "[$\xE2\x82\xAC-413] #,##0.00"), "\xE2\x82\xAC 0.46");
    EXPECT_EQ(fmt(3, "\xC2\xA3 #,##0.00_-"), "\xC2\xA3 3.00 ");
}

TEST(NumberFormatNumbers, PercentAndScientific) {
    EXPECT_EQ(fmt(0.125, "0%"), "13%");
    EXPECT_EQ(fmt(0.125, "0.00%"), "12.50%");
    EXPECT_EQ(fmt(0.125, "0.00%", nl), "12,50%");
    EXPECT_EQ(fmt(-0.5, kPercentStyleFormat), "-50%");
    EXPECT_EQ(fmt(1234.5, "0.00E+00"), "1.23E+03");
    EXPECT_EQ(fmt(0.000123, "0.00E+00"), "1.23E-04");
    EXPECT_EQ(fmt(0.000123, "0.0E-0"), "1.2E-4");
    EXPECT_EQ(fmt(1234.5, "0.0E-0"), "1.2E3");
    EXPECT_EQ(fmt(9.999, "0.00E+00"), "1.00E+01");
    EXPECT_EQ(fmt(0, "0.00E+00"), "0.00E+00");
    EXPECT_EQ(fmt(12345, "##0.0E+0"), "12.3E+3");
}

TEST(NumberFormatNumbers, PercentBeyondTheLargestDoubleShowsNum) {
    EXPECT_EQ(fmt(1e300, "0.00E+00%"), "1.00E+302%");
    EXPECT_EQ(fmt(1e307, "0%"), "#NUM!");
    EXPECT_EQ(fmt(-1e307, "0.00E+00%"), "#NUM!");
    EXPECT_EQ(fmt(99, "0E+0" + std::string(160, '%')), "#NUM!");
}

TEST(NumberFormatSections, PickedBySignAndKind) {
    const char* f = "0.00;(0.00);\"zero\";\"text: \"@";
    EXPECT_EQ(fmt(1.5, f), "1.50");
    EXPECT_EQ(fmt(-1.5, f), "(1.50)");
    EXPECT_EQ(fmt(0, f), "zero");
    EXPECT_EQ(fmt("abc", f), "text: abc");
    EXPECT_EQ(fmt(-3, "0;0"), "3");  // a negative section carries its own sign
    EXPECT_EQ(fmt(-3, "0;"), "");
    EXPECT_EQ(fmt("abc", "0;0"), "abc");
    EXPECT_EQ(fmt("abc", "@"), "abc");
    EXPECT_EQ(fmt(5, "@"), "5");
    EXPECT_EQ(fmt(5, "[Red]0.0;[Blue]-0.0"), "5.0");
    EXPECT_EQ(fmt(-5, "[Red]0.0;[Blue]-0.0"), "-5.0");
    EXPECT_EQ(fmt(5, "0\" pcs\""), "5 pcs");
    EXPECT_EQ(fmt(5, "0\\x"), "5x");
    EXPECT_EQ(fmt(5, "**0"), "5");  // fill draws nothing in text
}

TEST(NumberFormatSections, CommaStyle) {
    EXPECT_EQ(fmt(1234.5, kCommaStyleFormat), " 1,234.50 ");
    EXPECT_EQ(fmt(-1234.5, kCommaStyleFormat), "-1,234.50 ");
    EXPECT_EQ(fmt(1234.5, kCommaStyleFormat, nl), " 1.234,50 ");
    EXPECT_EQ(fmt(0, kCommaStyleFormat), " -   ");
    EXPECT_EQ(fmt("n/a", kCommaStyleFormat), " n/a ");
}

TEST(NumberFormatDates, TableSheetFormats) {
    const double stamp = dateSerial(2024, 3, 5, 14, 7, 9);  // a Tuesday
    EXPECT_EQ(fmt(Variant::date(stamp), "d/m/yyyy h:mm:ss"), "5/3/2024 14:07:09");
    EXPECT_EQ(fmt(Variant::date(stamp), "dddd d mmmm yyyy"), "Tuesday 5 March 2024");
    EXPECT_EQ(fmt(Variant::date(stamp), "dddd d mmmm yyyy", nl), "dinsdag 5 maart 2024");
    EXPECT_EQ(fmt(Variant::date(stamp), "dd/mmm/yy"), "05/Mar/24");
    EXPECT_EQ(fmt(Variant::date(stamp), "dd/mmm/yy", nl), "05/mrt/24");
    EXPECT_EQ(fmt(Variant::date(dateSerial(2024, 5, 1)), "dd/mmm/yy", nl), "01/mei/24");
    EXPECT_EQ(fmt(Variant::date(dateSerial(2024, 10, 1)), "ddd mmm", nl), "di okt");
    EXPECT_EQ(fmt(Variant::date(stamp), "d/m/yyyy"), "5/3/2024");
    EXPECT_EQ(fmt(Variant::date(stamp), "h:mm:ss"), "14:07:09");
    EXPECT_EQ(fmt(Variant::date(stamp), "h:mm"), "14:07");
    EXPECT_EQ(fmt(stamp, "d/m/yyyy"), "5/3/2024");  // a plain number is a serial too
}

TEST(NumberFormatDates, MinutesMonthsAndClock) {
    const double t = dateSerial(2024, 12, 31, 0, 5, 30);
    EXPECT_EQ(fmt(t, "mm"), "12");
    EXPECT_EQ(fmt(t, "hh:mm"), "00:05");
    EXPECT_EQ(fmt(t, "mm:ss"), "05:30");
    EXPECT_EQ(fmt(t, "m/d h:m"), "12/31 0:5");
    EXPECT_EQ(fmt(t, "h:mm AM/PM"), "12:05 AM");
    EXPECT_EQ(fmt(dateSerial(2024, 1, 1, 13, 0, 0), "h:mm am/pm"), "1:00 pm");
    EXPECT_EQ(fmt(dateSerial(2024, 1, 1, 13, 0, 0), "h A/P"), "1 P");
    EXPECT_EQ(fmt(dateSerial(2024, 1, 1, 23, 59, 59) + 0.6 / 86400, "d/m h:mm:ss"), "2/1 0:00:00");
    EXPECT_EQ(fmt(dateSerial(2024, 1, 1, 23, 59, 59) + 0.6 / 86400, "h:mm:ss.0"), "23:59:59.6");
    EXPECT_EQ(fmt(1.5, "[h]:mm"), "36:00");
    EXPECT_EQ(fmt(Variant::date(-1), "d/m/yyyy"), "29/12/1899");  // a date before the epoch is still a date
    EXPECT_EQ(fmt(-1, "d/m/yyyy"), "########");                     // a negative number is not
    EXPECT_EQ(fmt(Variant::date(dateSerial(2024, 12, 1)), "mmmmm"), "D");
}

TEST(NumberFormatKinds, TellsDateFormats) {
    for (const char* f : {"d/m/yyyy h:mm:ss", "dddd d mmmm yyyy", "dd/mmm/yy", "h:mm", "[h]:mm", "mm:ss", "AM/PM"})
        EXPECT_TRUE(isDateTimeFormat(f)) << f;
    for (const char* f : {"General", "", "0.00", "#,##0", "[Red]0", "\"day\" 0", "\\d0", "0.00E+00", "@",
                          "[$$-409] #,##0.00_-", "0;[Red]-0", "# ?/?"})
        EXPECT_FALSE(isDateTimeFormat(f)) << f;
}

TEST(NumberFormatKinds, MalformedCodesRaise1004) {
    for (const char* f : {"0.00\"", "[Red0", "0\\", "0_", "0*", "0;0;0;@;0"}) {
        try {
            formatValue(1, f);
            ADD_FAILURE() << f;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 1004) << f;
            EXPECT_NE(e.description().find(f), std::string::npos);
        }
        EXPECT_THROW(checkNumberFormat(f), Error);
    }
    EXPECT_NO_THROW(checkNumberFormat(kCommaStyleFormat));
    EXPECT_EQ(fmt(5, "0;\";\""), "5");  // a quoted ';' does not split sections
}

TEST(NumberFormatNumbers, Fractions) {
    EXPECT_EQ(fmt(0.5, "# ?/?"), " 1/2");
    EXPECT_EQ(fmt(2.75, "# ?/?"), "2 3/4");
    EXPECT_EQ(fmt(-2.75, "# ?/?"), "-2 3/4");
    EXPECT_EQ(fmt(3.14159, "# ?\?/?\?\?"), "3 16/113");
    EXPECT_EQ(fmt(0.25, "# ?\?/?\?"), "  1/4 ");
    EXPECT_EQ(fmt(2, "# ?/?"), "2    ");  // a whole number keeps the fraction's width
    EXPECT_EQ(fmt(0, "# ?/?"), "0    ");
    EXPECT_EQ(fmt(1.3, "# ?/8"), "1 2/8");
    EXPECT_EQ(fmt(1.99, "# ?/8"), "2    ");
    EXPECT_EQ(fmt(2.75, "?/?"), "11/4");
}

TEST(NumberFormatSections, Conditions) {
    const char* f = "[<1000]0\" g\";[<1000000]0.0,\" kg\";0.0,,\" t\"";
    EXPECT_EQ(fmt(950, f), "950 g");
    EXPECT_EQ(fmt(12500, f), "12.5 kg");
    EXPECT_EQ(fmt(3400000, f), "3.4 t");
    EXPECT_EQ(fmt(5, "[=1]\"one\";[=2]\"two\""), "########");  // no section takes it
    EXPECT_EQ(fmt(2, "[=1]\"one\";[=2]\"two\""), "two");
    EXPECT_EQ(fmt(-5, "[>=0]0;0"), "-5");
    EXPECT_THROW(fmt(1, "[<abc]0"), Error);
}

TEST(NumberFormatDates, BeforeTheEpochAndFractionsOfSeconds) {
    EXPECT_EQ(fmt(Variant::date(dateSerial(1850, 3, 1)), "d/m/yyyy"), "1/3/1850");
    EXPECT_EQ(fmt(Variant::date(dateSerial(1850, 3, 1, 13, 45, 10)), "d/m/yyyy h:mm:ss"), "1/3/1850 13:45:10");
    EXPECT_EQ(fmt(Variant::date(-1.25), "d/m/yyyy h:mm"), "29/12/1899 6:00");
    EXPECT_EQ(fmt(Variant::date(-1.25), "dddd d mmmm yyyy", nl), "vrijdag 29 december 1899");
    EXPECT_EQ(fmt(Variant::date(-0.5), "d/m/yyyy h:mm"), "30/12/1899 12:00");
    EXPECT_EQ(fmt(Variant::date(dateSerial(100, 1, 1)), "yyyy-mm-dd"), "0100-01-01");
    EXPECT_EQ(fmt(Variant::date(dateSerial(100, 1, 1) - 0.5), "d/m/yyyy"), "1/1/0100");  // 12:00 that day
    EXPECT_EQ(fmt(Variant::date(dateSerial(100, 1, 1) - 1), "d/m/yyyy"), "########");    // before year 100
    EXPECT_EQ(fmt(Variant::date(-1.25), "[h]:mm"), "########");  // no negative duration
    EXPECT_EQ(fmt(Variant::date(-1.25), "0.00"), "-1.25");

    const double stamp = dateSerial(2024, 1, 2, 10, 20, 30) + 0.123 / 86400;
    EXPECT_EQ(fmt(Variant::date(stamp), "d/m/yyyy h:mm:ss.000"), "2/1/2024 10:20:30.123");
    EXPECT_EQ(fmt(Variant::date(stamp), "h:mm:ss.000", nl), "10:20:30,123");
    EXPECT_EQ(fmt(Variant::date(stamp), "h:mm:ss"), "10:20:30");
    const double early = dateSerial(1850, 3, 1, 6, 0, 0) - 0.25 / 86400;  // 06:00:00.250
    EXPECT_EQ(fmt(Variant::date(early), "d/m/yyyy hh:mm:ss.00"), "1/3/1850 06:00:00.25");
    // Rounding to the shown unit crosses midnight forward, also before 1900.
    EXPECT_EQ(fmt(Variant::date(-1 - 86399.9996 / 86400), "d/m/yyyy h:mm:ss.000"), "30/12/1899 0:00:00.000");
}

TEST(NumberFormatKinds, TextCellsAndTheOrderOfDayAndMonth) {
    for (const char* f : {"@", "\"ID \"@", "@\" (text)\""}) EXPECT_TRUE(isTextFormat(f)) << f;
    for (const char* f : {"General", "", "0", "0;@", "0.00;-0.00;0;@", "d/m/yyyy", "\"@\""})
        EXPECT_FALSE(isTextFormat(f)) << f;
    EXPECT_THROW(isTextFormat("@\""), Error);

    for (const char* f : {"d/m/yyyy", "d-m-yyyy", "dd/mm/yyyy h:mm:ss", "dddd d mmmm yyyy", "h:mm d/m", "d mmm"})
        EXPECT_EQ(dateOrder(f), DateOrder::DayFirst) << f;
    for (const char* f : {"m/d/yyyy", "mm/dd/yy h:mm", "mmm d, yyyy", "yyyy-mm-dd", "dddd, mmmm d"})
        EXPECT_EQ(dateOrder(f), DateOrder::MonthFirst) << f;
    for (const char* f : {"General", "@", "0.00", "h:mm:ss", "mm:ss", "mmmm yyyy", "ddd mmm", "\"d/m\" 0"})
        EXPECT_EQ(dateOrder(f), DateOrder::Neither) << f;
}
