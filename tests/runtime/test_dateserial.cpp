#include <gtest/gtest.h>

#include <cmath>

#include "runtime/DateSerial.h"

using namespace dalvera;

namespace {
bool sameParts(const DateParts& a, const DateParts& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
           a.second == b.second;
}
}  // namespace

TEST(DateSerialCalendar, RoundTripsBackToYear100) {
    struct Case {
        DateParts parts;
        double wholeDays;  // the serial's integer part
        int weekday;
    } cases[] = {
        {{100, 1, 1, 0, 0, 0}, -657434, 6},
        {{1582, 10, 15, 23, 59, 59}, -115858, 6},
        {{1850, 3, 1, 13, 45, 10}, -18201, 6},
        {{1899, 12, 29, 6, 0, 0}, -1, 6},
        {{1899, 12, 30, 18, 0, 0}, 0, 7},
        {{1900, 2, 28, 0, 0, 1}, 60, 4},
        {{1900, 3, 1, 12, 0, 0}, 61, 5},
        {{9999, 12, 31, 23, 59, 59}, 2958465, 6},
    };
    for (const auto& c : cases) {
        double serial = 0;
        ASSERT_TRUE(makeDateSerial(c.parts, serial)) << c.parts.year;
        EXPECT_EQ(std::trunc(serial), c.wholeDays) << c.parts.year;
        EXPECT_TRUE(sameParts(dateParts(serial), c.parts)) << c.parts.year << " " << formatDateIso(serial);
        double again = 0;
        ASSERT_TRUE(makeDateSerial(dateParts(serial), again));
        EXPECT_EQ(again, serial) << c.parts.year;
        EXPECT_EQ(weekday(serial), c.weekday) << c.parts.year;
    }
    // The fraction counts forward from the midnight of the day the integer part names.
    EXPECT_EQ(dateSerial(1899, 12, 29, 6), -1.25);
    EXPECT_EQ(formatDateIso(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(formatDateIso(-0.5), "1899-12-30 12:00:00");
    EXPECT_EQ(formatDateIso(dateSerial(1850, 3, 1), true), "1850-03-01");
    DateParts out;
    double s;
    EXPECT_FALSE(makeDateSerial({99, 12, 31, 0, 0, 0}, s));
    EXPECT_TRUE(sameParts(dateParts(std::nan("")), out));  // no day, and no undefined cast
}

TEST(DateSerialCalendar, RoundingToMidnightMovesToTheNextDayBeforeTheEpochToo) {
    // 29 December 1899, 23:59:59.7 rounds to 30 December, not back to the 28th.
    DateParts p = dateParts(-1 - 86399.7 / 86400);
    EXPECT_TRUE(sameParts(p, DateParts{1899, 12, 30, 0, 0, 0})) << p.year << "-" << p.month << "-" << p.day;
    p = dateParts(-18201 - 86399.7 / 86400);
    EXPECT_TRUE(sameParts(p, DateParts{1850, 3, 2, 0, 0, 0})) << p.month << "-" << p.day;
    p = dateParts(45000 + 86399.7 / 86400);
    EXPECT_TRUE(sameParts(p, DateParts{2023, 3, 16, 0, 0, 0})) << p.month << "-" << p.day;
}

TEST(DateSerialParsing, FractionsOfSecondsAndImpossibleDates) {
    double s = 0;
    const double base = dateSerial(2024, 1, 2, 10, 20, 30);
    ASSERT_TRUE(parseDateText("2024-01-02 10:20:30.125", s));
    EXPECT_NEAR((s - base) * 86400, 0.125, 1e-6);
    ASSERT_TRUE(parseDateEntry("2024-01-02T10:20:30.5", true, s));
    EXPECT_NEAR((s - base) * 86400, 0.5, 1e-6);
    ASSERT_TRUE(parseDateEntry("10:20:30.25", false, s));
    EXPECT_NEAR(s * 86400, 37230.25, 1e-6);
    ASSERT_TRUE(parseDateEntry("1850-03-01 06:00:00.5", false, s));
    EXPECT_NEAR(s, -18201 - (6 * 3600 + 0.5) / 86400, 1e-9);
    for (const char* bad : {"2024-01-02 10:20.5", "2024-01-02 10:20:30.", "2024-01-02 10:20:30.1x", "10:20:30.5.5"})
        EXPECT_FALSE(parseDateEntry(bad, true, s)) << bad;

    // No date is made of a day or month that does not exist, in either order.
    for (const char* bad : {"31/2/2024", "13/13/2024", "0/5/2024", "29-2-2023", "2024-02-30"}) {
        EXPECT_FALSE(parseDateEntry(bad, true, s)) << bad;
        EXPECT_FALSE(parseDateEntry(bad, false, s)) << bad;
    }
    EXPECT_FALSE(parseDateEntry("31/12/2024", false, s));  // no month 31, and no swapping to make one
    ASSERT_TRUE(parseDateEntry("31/12/2024", true, s));
    EXPECT_EQ(s, dateSerial(2024, 12, 31));
}
