// Compactly held rows give back exactly the values that went in.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/ValueTable.h"

namespace dalvera {
namespace {

TEST(ValueTable, EveryKindOfValueComesBackWithItsTypeAndValue) {
    const std::vector<Variant> values = {
        Variant(),
        Variant::null(),
        Variant::missing(),
        Variant(true),
        Variant(false),
        Variant::integer(-32768),
        Variant::longValue(-2147483647 - 1),
        Variant::longLong(std::numeric_limits<int64_t>::max()),
        Variant::byteValue(255),
        Variant::single(0.1f),
        Variant(0.1),
        Variant(-0.0),
        Variant::date(45000.75),
        Variant::currencyScaled(-922337203685477LL),
        Variant(std::string()),  // an empty text is no Empty
        Variant("O'Brien \xE2\x82\xAC"),
        Variant(std::string("nul\0inside", 10)),
        Variant(std::vector<uint8_t>{0, 1, 255}),
        Variant(std::vector<uint8_t>{}),
    };
    ValueColumn column;
    for (const auto& v : values) column.push(v);
    column.shrink();
    ASSERT_EQ(column.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(column.at(i), values[i]) << "row " << i << ": " << values[i].typeName();
        EXPECT_EQ(column.type(i), values[i].type()) << "row " << i;
    }
    EXPECT_EQ(column.text(15), "O'Brien \xE2\x82\xAC");
    EXPECT_EQ(column.text(3), "");  // only texts have a text
    // The float's exact value, not the double nearest to 0.1.
    EXPECT_EQ(static_cast<float>(column.at(9).toDouble()), 0.1f);
    EXPECT_TRUE(std::signbit(column.at(11).toDouble()));
}

TEST(ValueTable, ARowReplacedOrAddedLaterLeavesTheOthersAlone) {
    ValueColumn column;
    column.push(Variant("first"));
    column.push(Variant(2.5));
    column.pushText("third");
    column.set(1, Variant("second, now a text"));
    column.set(0, Variant::null());
    column.set(5, Variant::longValue(6));
    ASSERT_EQ(column.size(), 6u);
    EXPECT_TRUE(column.at(0).isNull());
    EXPECT_EQ(column.at(1), Variant("second, now a text"));
    EXPECT_EQ(column.at(2), Variant("third"));
    EXPECT_TRUE(column.at(3).isEmpty());
    EXPECT_TRUE(column.at(4).isEmpty());
    EXPECT_EQ(column.at(5), Variant::longValue(6));
}

TEST(ValueTable, AMillionCellsTakeAFractionOfWhatVariantsWould) {
    ValueTable table(4);
    for (long i = 0; i < 250000; ++i) {
        table.column(0).push(Variant::longValue(static_cast<int32_t>(i)));
        table.column(1).push(Variant("Customer " + std::to_string(i)));
        table.column(2).push(Variant(i * 1.5));
        table.column(3).push(i % 7 ? Variant(i % 2 == 0) : Variant::null());
    }
    table.shrink();
    ASSERT_EQ(table.rowCount(), 250000u);
    EXPECT_EQ(table.at(1, 249999), Variant("Customer 249999"));
    EXPECT_TRUE(table.at(3, 7).isNull());
    const double perCell = static_cast<double>(table.memoryBytes()) / 1e6;
    EXPECT_LT(perCell, 16.0);
    EXPECT_LT(perCell * 4, static_cast<double>(sizeof(Variant)));
}

}  // namespace
}  // namespace dalvera
