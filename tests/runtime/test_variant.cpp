#include <gtest/gtest.h>

#include "runtime/Collection.h"
#include "runtime/DateSerial.h"
#include "runtime/Variant.h"

using namespace dalvera;

TEST(Variant, ConversionsFollowTheHost) {
    EXPECT_EQ(Variant(true).toDouble(), -1.0);
    EXPECT_EQ(Variant(2.5).toLong(), 2);   // half to even
    EXPECT_EQ(Variant(3.5).toLong(), 4);
    EXPECT_EQ(Variant("12.5").toDouble(), 12.5);
    EXPECT_TRUE(Variant(" 42 ").isNumeric());
    EXPECT_FALSE(Variant("0x10").isNumeric());
    EXPECT_FALSE(Variant("inf").isNumeric());
    EXPECT_FALSE(Variant::null().isNumeric());
    EXPECT_EQ(Variant(0.1 + 0.2).toString(), "0.3");
    EXPECT_EQ(Variant(1e20).toString(), "1E+20");
    EXPECT_EQ(Variant::currency(1.23456).toString(), "1.2346");
    EXPECT_THROW(Variant("abc").toDouble(), Error);
    try {
        Variant::null().toString();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 94);
    }
    EXPECT_EQ(Variant::null().text(), "");
    EXPECT_TRUE(Variant("Onwaar").isString());
    EXPECT_FALSE(Variant("Onwaar").toBool());
    EXPECT_THROW(Variant(3e9).toLong(), Error);
}

TEST(DateSerial, RoundTripsAndKnownDays) {
    EXPECT_EQ(dateSerial(1899, 12, 30), 0);
    EXPECT_EQ(dateSerial(1900, 1, 1), 2);
    EXPECT_EQ(dateSerial(2024, 2, 29), 45351);
    DateParts p = dateParts(45351.5 + 1.0 / 86400 * 7);
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 2);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 12);
    EXPECT_EQ(p.second, 7);
    EXPECT_EQ(weekday(dateSerial(2024, 2, 29)), 5);  // a Thursday
    double s;
    EXPECT_TRUE(parseDateText("2/29/2024 13:05:09", s));
    EXPECT_EQ(formatDateIso(s), "2024-02-29 13:05:09");
    EXPECT_FALSE(parseDateText("2/30/2024", s));
    EXPECT_TRUE(parseDateEntry("31-12-2023", true, s));
    EXPECT_EQ(formatDateDefault(s), "12/31/2023");
    EXPECT_TRUE(parseDateEntry("2023-12-31", true, s));
    EXPECT_EQ(formatDateDefault(s), "12/31/2023");
    // Before the epoch the time counts away from zero.
    EXPECT_TRUE(parseDateText("12/29/1899 6:00", s));
    EXPECT_DOUBLE_EQ(s, -1.25);
    EXPECT_EQ(dateParts(-1.25).hour, 6);
}

TEST(Collection, OrderKeysAndErrors) {
    Collection<int> c;
    c.Add(10, "Alpha");
    c.Add(20);
    c.Add(30, "beta");
    EXPECT_EQ(c.Count(), 3);
    EXPECT_EQ(c.Item(2), 20);
    EXPECT_EQ(c.Item("ALPHA"), 10);
    EXPECT_THROW(c.Add(1, "alpha"), Error);
    try {
        c.Item("gamma");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 5);
    }
    c.Remove("alpha");
    EXPECT_EQ(c.Item(1), 20);
    EXPECT_EQ(c.Item("Beta"), 30);
    EXPECT_THROW(c.Item(0), Error);
    int sum = 0;
    for (int v : c) sum += v;
    EXPECT_EQ(sum, 50);
}
