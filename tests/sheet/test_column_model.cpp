// The column model: the rule each type calls for, and what a new row receives.
#include "TableSheetFixture.h"

#include "runtime/Like.h"

namespace dalvera::testing {
namespace {

namespace xl = host::xl;

clsField makeField(int32_t typeADO, const std::string& notation = {}, int32_t size = 0,
                   const std::string& validationText = {}) {
    clsField f;
    f.Init("F", 0, "", size, Variant(), false, false, false, validationText, notation, "", -1, false, typeADO, 0, {});
    return f;
}

TEST(ColumnRules, DateTypesTakeTheTimeRuleWhenTheFormatSaysTime) {
    for (int32_t t : {7, 133, 135}) {
        EXPECT_EQ(RuleForField(makeField(t)).type, xl::ValidateDate) << t;
        EXPECT_EQ(RuleForField(makeField(t, "Long TIME")).type, xl::ValidateTime) << t;
        EXPECT_EQ(RuleForField(makeField(t, "Short Date")).type, xl::ValidateDate) << t;
    }
    for (int32_t t : {64, 134}) {
        ColumnRule r = RuleForField(makeField(t));
        EXPECT_EQ(r.type, xl::ValidateTime);
        EXPECT_EQ(r.op.toLong(), xl::GreaterEqual);
        EXPECT_EQ(r.formula1.text(), "00:00");
        EXPECT_EQ(r.errorMessage, GetMessage(111));
    }
}

TEST(ColumnRules, NumbersCurrencyAndTextsByTheirGroups) {
    // Both bounds of the type: a value the column cannot hold is refused as it is typed.
    struct Range {
        int32_t type;
        double low, high;
    };
    for (const Range& r : {Range{16, -128, 127}, Range{2, -32768, 32767}, Range{3, -2147483648.0, 2147483647.0},
                           Range{17, 0, 255}, Range{18, 0, 65535}, Range{19, 0, 4294967295.0}}) {
        ColumnRule rule = RuleForField(makeField(r.type));
        EXPECT_EQ(rule.type, xl::ValidateWholeNumber) << r.type;
        EXPECT_EQ(rule.op.toLong(), xl::Between) << r.type;
        EXPECT_EQ(rule.formula1.toDouble(), r.low) << r.type;
        EXPECT_EQ(rule.formula2.toDouble(), r.high) << r.type;
        const std::string range = GetMessage(230, Variant(rule.formula1.text()), Variant(rule.formula2.text()));
        EXPECT_EQ(rule.errorMessage, GetMessage(r.low < 0 ? 99 : 100) + "\r" + range) << r.type;
    }
    for (int32_t t : {20, 21}) EXPECT_EQ(RuleForField(makeField(t)).type, xl::ValidateWholeNumber) << t;
    for (int32_t t : {4, 5, 14, 131}) {
        ColumnRule rule = RuleForField(makeField(t));
        EXPECT_EQ(rule.type, xl::ValidateDecimal) << t;
        EXPECT_EQ(rule.op.toLong(), xl::Between) << t;
        EXPECT_TRUE(rule.formula1.toDouble() < -3e38 && rule.formula2.toDouble() > 3e38) << t;
        EXPECT_EQ(rule.errorMessage, GetMessage(109)) << t;
    }
    ColumnRule money = RuleForField(makeField(6));
    EXPECT_EQ(money.formula2.toDouble(), 922337203685477.5807);
    EXPECT_EQ(money.errorMessage, GetMessage(108));
    for (int32_t t : {129, 130, 200, 201, 202, 203}) {
        ColumnRule r = RuleForField(makeField(t, "", 25));
        EXPECT_EQ(r.alertStyle, xl::ValidAlertWarning) << t;
        EXPECT_EQ(r.formula1.toLong(), 25) << t;
        EXPECT_EQ(r.errorTitle, GetMessage(115)) << t;
    }
    for (int32_t t : {0, 128, 204, 205}) EXPECT_EQ(RuleForField(makeField(t)).type, 0) << t;
}

TEST(ColumnRules, ValidationTextPrefixesEveryTypeRule) {
    ColumnRule r = RuleForField(makeField(3, "", 0, "Positive please"));
    EXPECT_EQ(r.errorMessage, "Positive please\r" + GetMessage(99) + "\r" +
                                  GetMessage(230, Variant("-2147483648"), Variant("2147483647")));
    EXPECT_EQ(r.errorTitle, GetMessage(97));
    EXPECT_EQ(RuleForField(makeField(202, "", 10, "Short")).errorMessage, "Short\r" + GetMessage(116, Variant(10)));
}

TEST_F(TableSheetTest, NewRowReceivesDefaultsAndRules) {
    openSample();
    clickTable("Orders");
    sheet()->Unprotect(clsAux::ProtectionPassword());
    // As the add-row command does: the new row's defaults are no edits.
    session_->app().SetEnableEvents(false);
    const long last = matrix().RowCount();
    ASSERT_GT(last, 0);
    matrix().SetRowCount(last + 1);
    matrix().FormatNewFields();
    matrix().SetRowCount(last + 2);
    matrix().FormatNewFields();

    const std::string g1 = cell("TrackingID", last + 1)->Value().text();
    const std::string g2 = cell("TrackingID", last + 2)->Value().text();
    EXPECT_EQ(g1.size(), 38u);
    EXPECT_TRUE(Like(g1, "{[0-9A-F]*-*-*-*-*[0-9A-F]}")) << g1;
    EXPECT_NE(g1, g2);
    EXPECT_TRUE(cell("OrderDate", last + 1)->Value().isDate());
    EXPECT_EQ(cell("Freight", last + 1)->Value().text(), "0");
    EXPECT_TRUE(cell("ShippedDate", last + 1)->Value().isEmpty());
    // The foreign-key column takes the list of the row above.
    EXPECT_EQ(cell("CustomerID", last + 2)->Validation()->Formula1(), cell("CustomerID", 1)->Validation()->Formula1());
    EXPECT_EQ(cell("Freight", last + 2)->Validation()->ErrorMessage(),
              "Freight cannot be negative.\r" + GetMessage(108));
    EXPECT_FALSE(cell("OrderYear", 1)->Font()->Bold().toBool());
}

TEST_F(TableSheetTest, BooleanAndTextDefaultsInANewRow) {
    openSample();
    clickTable("Customers");
    sheet()->Unprotect(clsAux::ProtectionPassword());
    // As the add-row command does: the new row's defaults are no edits.
    session_->app().SetEnableEvents(false);
    const long row = matrix().RowCount() + 1;
    matrix().SetRowCount(row);
    matrix().FormatNewFields();
    EXPECT_TRUE(cell("IsActive", row)->Value().isBoolean());
    EXPECT_TRUE(cell("IsActive", row)->Value().toBool());
    EXPECT_EQ(cell("Country", row)->Value().text(), "Netherlands");
    EXPECT_TRUE(cell("CustomerID", row)->Value().isEmpty());  // auto-number
    EXPECT_EQ(cell("CompanyName", row)->Validation()->ErrorTitle(), GetMessage(115));
}

TEST(ColumnModel, RandomNumbersLieInTheUnitInterval) {
    double first = clsMatrix::RandomNumber();
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        double x = clsMatrix::RandomNumber();
        EXPECT_GE(x, 0.0);
        EXPECT_LT(x, 1.0);
        differs = differs || x != first;
    }
    EXPECT_TRUE(differs);
}

}  // namespace
}  // namespace dalvera::testing
