// What a person types or pastes into the cells of a table sheet is what the
// cell holds: text cells keep the text, dates follow the order the cell shows,
// number rules refuse what is not a number in range.
#include <limits>

#include "SheetsFixture.h"
#include "runtime/DateSerial.h"

namespace dalvera::test {

using Result = platform::UserOperations::Result;

namespace {
const char* const kTextEntries[] = {"0612345678", "+31612345678", "8712345678906", "007",      "1.50",
                                    "2024-01-02", "TRUE",         "12/31/1899",    "1e5",      " padded ",
                                    "1,5",        "WAAR",         "50%",           "13:45",    "-0"};
}  // namespace

TEST_F(SheetsTest, TextCellsKeepWhatWasTypedInEitherLanguage) {
    for (int country : {1, 31}) {
        app->setCountryCode(country);
        cell("A1:A20")->SetNumberFormat("@");
        cell("A1")->SetColumnWidth(1);  // narrow: a text is never shown as ####
        int row = 1;
        for (const char* entry : kTextEntries) {
            auto c = sheet->Cells(row++, 1);
            ASSERT_EQ(user->typeText(c, entry), Result::Accepted) << entry;
            EXPECT_EQ(c->Value(), Variant(entry)) << country << ": " << entry;
            EXPECT_EQ(c->Text(), entry) << country << ": " << entry;
            EXPECT_EQ(c->NumberFormat(), Variant("@")) << entry;  // no implied format
        }
    }
    // Editing ends the same way, and an empty entry empties the cell.
    user->beginEdit(cell("A2"));
    EXPECT_EQ(user->endEdit("0031"), Result::Accepted);
    EXPECT_EQ(cell("A2")->Value(), Variant("0031"));
    EXPECT_EQ(user->typeText(cell("A2"), ""), Result::Accepted);
    EXPECT_TRUE(cell("A2")->Value().isEmpty());
    // The same entries in a General cell are read as numbers, dates and Booleans.
    app->setCountryCode(1);
    user->typeText(cell("B1"), "007");
    EXPECT_EQ(cell("B1")->Value(), Variant(7.0));
    user->typeText(cell("B2"), "TRUE");
    EXPECT_EQ(cell("B2")->Value(), Variant(true));
}

TEST_F(SheetsTest, TextCellsKeepALeadingApostrophe) {
    cell("A1:A2")->SetNumberFormat("@");
    user->typeText(cell("A1"), "'s-Hertogenbosch");
    EXPECT_EQ(cell("A1")->Value(), Variant("'s-Hertogenbosch"));
    EXPECT_EQ(cell("A1")->Text(), "'s-Hertogenbosch");
    user->pasteBlock(cell("A2"), {{"'t Zand"}});
    EXPECT_EQ(cell("A2")->Value(), Variant("'t Zand"));
    // In a General cell the apostrophe only forces text, as it does in the host.
    user->typeText(cell("B1"), "'007");
    EXPECT_EQ(cell("B1")->Value(), Variant("007"));
}

TEST_F(SheetsTest, PastedBlocksAreReadByEachCellsFormat) {
    cell("A1:A3")->SetNumberFormat("@");
    cell("C1:C3")->SetNumberFormat("d/m/yyyy");
    ASSERT_EQ(user->pasteBlock(cell("A1"), {{"0612345678", "0612345678", "5/3/2024", "5/3/2024"},
                                            {"TRUE", "TRUE", "2024-01-02", "2024-01-02"},
                                            {"1.50", "1.50", "31/2/2024", "31/2/2024"}}),
              Result::Accepted);
    EXPECT_EQ(cell("A1")->Value(), Variant("0612345678"));
    EXPECT_EQ(cell("A2")->Value(), Variant("TRUE"));
    EXPECT_EQ(cell("A3")->Value(), Variant("1.50"));
    EXPECT_EQ(cell("B1")->Value(), Variant(612345678.0));
    EXPECT_EQ(cell("B2")->Value(), Variant(true));
    EXPECT_EQ(cell("B3")->Value(), Variant(1.5));
    EXPECT_EQ(cell("C1")->Value(), Variant::date(dateSerial(2024, 3, 5)));  // as the cell shows: day first
    EXPECT_EQ(cell("D1")->Value(), Variant::date(dateSerial(2024, 5, 3)));  // General: the locale's month first
    EXPECT_EQ(cell("C2")->Value(), Variant::date(dateSerial(2024, 1, 2)));
    EXPECT_EQ(cell("D2")->Value(), Variant::date(dateSerial(2024, 1, 2)));
    EXPECT_EQ(cell("C3")->Value(), Variant("31/2/2024"));
    // A pasted date shows as a date in a General cell, as a typed one does.
    EXPECT_EQ(cell("D1")->NumberFormat(), Variant("m/d/yyyy"));
    EXPECT_EQ(cell("D1")->Text(), "5/3/2024");
    EXPECT_EQ(cell("B1")->NumberFormat(), Variant("General"));
    EXPECT_EQ(cell("C1")->NumberFormat(), Variant("d/m/yyyy"));
}

TEST_F(SheetsTest, FilteringTextKeysComparesTheirText) {
    cell("A2:A5")->SetNumberFormat("@");
    user->pasteBlock(cell("A1"), {{"Code"}, {"007"}, {"7"}, {"0070"}, {"007"}});
    cell("A1:A5")->AutoFilter();
    cell("A1:A5")->AutoFilter(1, "=007");
    EXPECT_FALSE(sheet->Rows(2)->Hidden().toBool());
    EXPECT_TRUE(sheet->Rows(3)->Hidden().toBool());
    EXPECT_TRUE(sheet->Rows(4)->Hidden().toBool());
    EXPECT_FALSE(sheet->Rows(5)->Hidden().toBool());
}

TEST_F(SheetsTest, DatesAreReadInTheOrderTheCellShows) {
    struct Case {
        int country;
        const char* format;
        const char* typed;
        int y, m, d;
    } cases[] = {
        {1, "d/m/yyyy", "5/3/2024", 2024, 3, 5},
        {1, "d/m/yyyy", "5-3-2024", 2024, 3, 5},
        {1, "dd-mm-yyyy h:mm:ss", "5/3/2024 10:00", 2024, 3, 5},
        {1, "m/d/yyyy", "5/3/2024", 2024, 5, 3},
        {1, "General", "5/3/2024", 2024, 5, 3},
        {1, "0.00", "5/3/2024", 2024, 5, 3},
        {31, "d-m-yyyy", "5-3-2024", 2024, 3, 5},
        {31, "d-m-yyyy", "5/3/2024", 2024, 3, 5},
        {31, "m/d/yyyy", "5-3-2024", 2024, 5, 3},
        {31, "General", "5-3-2024", 2024, 3, 5},
        {1, "m/d/yyyy", "2024-03-05", 2024, 3, 5},
        {31, "d-m-yyyy", "2024-03-05", 2024, 3, 5},
    };
    int row = 1;
    for (const auto& c : cases) {
        app->setCountryCode(c.country);
        auto target = sheet->Cells(row++, 1);
        target->SetNumberFormat(c.format);
        ASSERT_EQ(user->typeText(target, c.typed), Result::Accepted);
        Variant v = target->Value();
        ASSERT_TRUE(v.isDate()) << c.format << " " << c.typed;
        DateParts p = dateParts(v.toDateSerial());
        EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, c.y * 10000 + c.m * 100 + c.d) << c.format << " " << c.typed;
    }
}

TEST_F(SheetsTest, IsoStampsWithFractionsOfSecondsAreReadAndShown) {
    cell("A1")->SetNumberFormat("d/m/yyyy h:mm:ss.000");
    user->typeText(cell("A1"), "2024-01-02 10:20:30.125");
    EXPECT_EQ(cell("A1")->Text(), "2/1/2024 10:20:30.125");
    user->typeText(cell("A2"), "2024-01-02T10:20:30.5");  // General cell
    ASSERT_TRUE(cell("A2")->Value().isDate());
    EXPECT_NEAR(cell("A2")->Value().toDateSerial(), dateSerial(2024, 1, 2, 10, 20, 30) + 0.5 / 86400, 1e-9);
    app->setCountryCode(31);
    cell("A3")->SetNumberFormat("d-m-yyyy h:mm:ss.000");
    user->pasteBlock(cell("A3"), {{"2024-01-02 10:20:30.125"}});
    EXPECT_EQ(cell("A3")->Text(), "2-1-2024 10:20:30,125");
}

TEST_F(SheetsTest, ImpossibleDatesStayTextAndADateRuleRefusesThem) {
    cell("A1:A9")->SetNumberFormat("d/m/yyyy");
    cell("B1:B9")->SetNumberFormat("m/d/yyyy");
    user->typeText(cell("A1"), "31/2/2024");
    EXPECT_EQ(cell("A1")->Value(), Variant("31/2/2024"));
    user->typeText(cell("A2"), "13/13/2024");
    EXPECT_EQ(cell("A2")->Value(), Variant("13/13/2024"));
    user->typeText(cell("B1"), "31/12/2024");  // no month 31: not read the other way round
    EXPECT_EQ(cell("B1")->Value(), Variant("31/12/2024"));

    cell("A5:A9")->Validation()->Add(host::xl::ValidateDate, host::xl::ValidAlertStop, host::xl::Greater, "1/1/1900");
    EXPECT_EQ(user->typeText(cell("A5"), "31/2/2024"), Result::Refused);
    EXPECT_EQ(user->pasteBlock(cell("A5"), {{"13/13/2024"}}), Result::Refused);
    EXPECT_TRUE(cell("A5")->Value().isEmpty());
    EXPECT_EQ(user->typeText(cell("A5"), "28/2/2024"), Result::Accepted);
    EXPECT_EQ(cell("A5")->Value(), Variant::date(dateSerial(2024, 2, 28)));
}

TEST_F(SheetsTest, DatesBeforeNineteenHundredShowAsDates) {
    cell("A1:A4")->SetNumberFormat("d/m/yyyy");
    cell("A1")->SetValue(Variant::date(dateSerial(1850, 3, 1)));
    cell("A1")->SetColumnWidth(3);
    EXPECT_EQ(cell("A1")->Text(), "1/3/1850");
    user->typeText(cell("A2"), "1/3/1850");
    EXPECT_EQ(cell("A2")->Value(), Variant::date(dateSerial(1850, 3, 1)));
    EXPECT_EQ(cell("A2")->Text(), "1/3/1850");
    cell("A3")->SetNumberFormat("d/m/yyyy h:mm");
    user->typeText(cell("A3"), "29/12/1899 6:00");
    EXPECT_EQ(cell("A3")->Value(), Variant::date(-1.25));
    EXPECT_EQ(cell("A3")->Text(), "29/12/1899 6:00");
    cell("A4")->SetValue(Variant::date(dateSerial(100, 1, 1)));
    EXPECT_EQ(cell("A4")->Text(), "1/1/0100");
    app->setCountryCode(31);
    cell("B1")->SetNumberFormat("d-m-yyyy h:mm:ss");
    user->pasteBlock(cell("B1"), {{"1-3-1850 13:45:10"}});
    EXPECT_EQ(cell("B1")->Text(), "1-3-1850 13:45:10");
}

TEST_F(SheetsTest, WholeNumberRuleWithTheBoundsOfAnInteger) {
    auto v = cell("B1:B20")->Validation();
    v->Add(host::xl::ValidateWholeNumber, host::xl::ValidAlertStop, host::xl::Between, Variant(-32768), Variant(32767));
    v->SetErrorTitle("Integer");
    v->SetErrorMessage("Enter a whole number from -32768 to 32767.");
    EXPECT_EQ(user->typeText(cell("B1"), "99999"), Result::Refused);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Integer");
    EXPECT_EQ(ui.boxes[0].prompt, "Enter a whole number from -32768 to 32767.");
    EXPECT_EQ(ui.boxes[0].style & host::mb::IconMask, host::mb::Critical);
    EXPECT_EQ(ui.boxes[0].style & host::mb::ButtonsMask, host::mb::RetryCancel);
    EXPECT_TRUE(cell("B1")->Value().isEmpty());
    for (const char* ok : {"32767", "-32768", "0", "1,000"})
        EXPECT_EQ(user->typeText(cell("B2"), ok), Result::Accepted) << ok;
    // A fraction, a date (its serial would be in range), a Boolean and a text are not whole numbers.
    for (const char* bad : {"32768", "-32769", "1.5", "1/2/1900", "1/2/2024", "12:00", "TRUE", "abc", "'12"})
        EXPECT_EQ(user->typeText(cell("B3"), bad), Result::Refused) << bad;
    EXPECT_TRUE(cell("B3")->Value().isEmpty());
    EXPECT_EQ(user->pasteBlock(cell("B4"), {{"12"}, {"99999"}}), Result::Refused);
    EXPECT_TRUE(cell("B4")->Value().isEmpty());

    // The same bounds given as texts, and those of a 64-bit integer.
    cell("C1:C5")->Validation()->Add(host::xl::ValidateWholeNumber, 1, host::xl::Between, "-32768", "32767");
    EXPECT_EQ(user->typeText(cell("C1"), "99999"), Result::Refused);
    EXPECT_EQ(user->typeText(cell("C1"), "-32768"), Result::Accepted);
    cell("D1:D5")->Validation()->Add(host::xl::ValidateWholeNumber, 1, host::xl::Between, "-9223372036854775808",
                                     "9223372036854775807");
    EXPECT_EQ(user->typeText(cell("D1"), "1000000000000000000"), Result::Accepted);
    EXPECT_EQ(user->typeText(cell("D2"), "1e19"), Result::Refused);
    EXPECT_EQ(user->typeText(cell("D2"), "0.5"), Result::Refused);
}

TEST_F(SheetsTest, DecimalRulesWithTheLargestBounds) {
    const double dmax = std::numeric_limits<double>::max();
    struct Rule {
        const char* column;
        Variant low, high;
    } rules[] = {
        {"A", Variant("-922337203685477.5807"), Variant("922337203685477.5807")},
        {"B", Variant(-922337203685477.5807), Variant(922337203685477.5807)},
        {"C", Variant("-1.79769313486232E+308"), Variant("1.79769313486232E+308")},
        {"D", Variant(-dmax), Variant(dmax)},
    };
    for (int country : {1, 31}) {
        app->setCountryCode(country);
        const bool nl = country == 31;
        for (const auto& r : rules) {
            std::string col = r.column;
            sheet->Range(col + "1:" + col + "9")->Validation()->Delete();
            sheet->Range(col + "1:" + col + "9")->Validation()->Add(host::xl::ValidateDecimal, 1, host::xl::Between,
                                                                     r.low, r.high);
            auto c = cell(col + "1");
            std::string where = col + (nl ? " nl" : " en");
            EXPECT_EQ(user->typeText(c, nl ? "123,45" : "123.45"), Result::Accepted) << where;
            EXPECT_EQ(user->typeText(c, "-922337203685477"), Result::Accepted) << where;
            EXPECT_EQ(user->typeText(c, "922337203685477"), Result::Accepted) << where;
            for (const char* bad : {"TRUE", "WAAR", "abc", "1/2/2024", "2024-01-02", "12:00"})
                EXPECT_EQ(user->typeText(c, bad), Result::Refused) << where << " " << bad;
            const bool currency = col == "A" || col == "B";
            EXPECT_EQ(user->typeText(c, "922337203685478"), currency ? Result::Refused : Result::Accepted) << where;
            EXPECT_EQ(user->typeText(c, "-1e15"), currency ? Result::Refused : Result::Accepted) << where;
            EXPECT_EQ(user->typeText(c, "1e308"), currency ? Result::Refused : Result::Accepted) << where;
            EXPECT_EQ(user->typeText(c, "-1e308"), currency ? Result::Refused : Result::Accepted) << where;
        }
    }
    // The largest Double keeps the text the host shows for it.
    EXPECT_EQ(cell("D1")->Validation()->Formula2(), "1.79769313486232E+308");
}

TEST_F(SheetsTest, ConfirmingTheEditTextUnchangedKeepsTheValue) {
    const double stamp = dateSerial(2024, 3, 5, 10, 20, 30) + 0.125 / 86400;
    const Variant values[] = {Variant::date(dateSerial(2024, 3, 5)), Variant::date(stamp),
                              Variant::date(dateSerial(1850, 3, 1, 13, 45, 10)), Variant::date(-1.25),
                              Variant::date(dateSerial(100, 1, 1)), Variant::date(13.75 / 24),
                              Variant(123456789.123456), Variant(0.1 + 0.2), Variant(-1.5e-7), Variant(1e20),
                              Variant(true), Variant(false), Variant("007"), Variant("5/3/2024"), Variant("'quoted"),
                              Variant(" 12 "), Variant("WAAR"), Variant("TRUE"), Variant("plain"),
                              Variant::currency(-12345.6789)};
    for (int country : {1, 31}) {
        app->setCountryCode(country);
        auto locale = platform::entryLocale(country);
        for (const char* format : {"General", "d/m/yyyy", "m/d/yyyy h:mm", "d-m-yyyy h:mm:ss.000", "0.00", "@"}) {
            for (const Variant& v : values) {
                std::string shown = platform::entryText(v, format, locale);
                Variant back = platform::parseCellEntry(shown, locale, format);
                if (std::string_view(format) == "@") {
                    // A text cell keeps the edit text itself; texts come back unchanged.
                    if (v.isString()) {
                        EXPECT_EQ(back, v) << format << " " << shown;
                    }
                    continue;
                }
                if (v.isDate()) {
                    ASSERT_TRUE(back.isDate()) << country << " " << format << " " << shown;
                    EXPECT_NEAR(back.toDateSerial(), v.toDateSerial(), 1e-9) << country << " " << format << " " << shown;
                } else if (v.type() == VarType::Currency) {
                    EXPECT_EQ(back.toDouble(), v.toDouble()) << shown;
                } else {
                    EXPECT_EQ(back, v) << country << " " << format << " [" << shown << "]";
                }
            }
        }
    }
    // Through the editor: 5 March in a day-first cell stays 5 March in English too.
    app->setCountryCode(1);
    cell("A1")->SetNumberFormat("d/m/yyyy");
    cell("A1")->SetValue(Variant::date(dateSerial(2024, 3, 5)));
    const auto& model = platform::sheetModel(*sheet);
    user->beginEdit(cell("A1"));
    user->endEdit(platform::entryText(cell("A1")->Value(), "d/m/yyyy", platform::entryLocale(1)));
    EXPECT_EQ(cell("A1")->Value(), Variant::date(dateSerial(2024, 3, 5)));
    EXPECT_EQ(model.value(1, 1), Variant::date(dateSerial(2024, 3, 5)));
}

}  // namespace dalvera::test
