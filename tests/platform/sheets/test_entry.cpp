#include "SheetsFixture.h"

#include "runtime/DateSerial.h"

namespace dalvera::test {

using platform::entryLocale;
using platform::parseEntry;

TEST(EntryParsing, DutchEntries) {
    auto nl = entryLocale(31);
    EXPECT_EQ(parseEntry("1,5", nl), Variant(1.5));
    EXPECT_EQ(parseEntry("1.234,5", nl), Variant(1234.5));
    EXPECT_EQ(parseEntry("-3", nl), Variant(-3.0));
    EXPECT_EQ(parseEntry("WAAR", nl), Variant(true));
    EXPECT_EQ(parseEntry("onwaar", nl), Variant(false));
    EXPECT_EQ(parseEntry("TRUE", nl), Variant("TRUE"));  // the English word is text here
    std::string fmt;
    Variant d = parseEntry("3-2-2024", nl, &fmt);
    ASSERT_TRUE(d.isDate());
    EXPECT_EQ(d.toDateSerial(), dateSerial(2024, 2, 3));  // day first
    EXPECT_EQ(fmt, "d-m-yyyy");
    EXPECT_EQ(parseEntry("12,34,5", nl), Variant("12,34,5"));
}

TEST(EntryParsing, EnglishEntries) {
    auto us = entryLocale(1);
    EXPECT_EQ(parseEntry("1.5", us), Variant(1.5));
    EXPECT_EQ(parseEntry("1,234.5", us), Variant(1234.5));
    EXPECT_EQ(parseEntry("1,5", us), Variant("1,5"));  // bad grouping stays text
    EXPECT_EQ(parseEntry("true", us), Variant(true));
    EXPECT_EQ(parseEntry("3/2/2024", us).toDateSerial(), dateSerial(2024, 3, 2));  // month first
    std::string fmt;
    EXPECT_EQ(parseEntry("50%", us, &fmt), Variant(0.5));
    EXPECT_EQ(fmt, "0%");
    EXPECT_TRUE(parseEntry("", us).isEmpty());
    EXPECT_EQ(parseEntry("'007", us), Variant("007"));
    EXPECT_EQ(parseEntry("13:45", us).toDouble(), 13.75 / 24);
    EXPECT_EQ(parseEntry("abc", us), Variant("abc"));
}

TEST_F(SheetsTest, TypingUsesTheCountryCodeAndImpliedFormat) {
    app->setCountryCode(31);
    EXPECT_EQ(app->International(host::xl::CountryCode), Variant(31));
    user->typeText(cell("A1"), "2,5");
    EXPECT_EQ(cell("A1")->Value(), Variant(2.5));
    user->typeText(cell("A2"), "1-2-2024");
    EXPECT_TRUE(cell("A2")->Value().isDate());
    EXPECT_EQ(cell("A2")->NumberFormat(), Variant("d-m-yyyy"));
    cell("A3")->SetNumberFormat("dd/mm/yy");
    user->typeText(cell("A3"), "1-2-2024");
    EXPECT_EQ(cell("A3")->NumberFormat(), Variant("dd/mm/yy"));  // an explicit format stays
}

}  // namespace dalvera::test
