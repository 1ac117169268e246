// The values rows were read with stay with their rows when a sort reorders
// them, also rows a write read back and new rows that were never read.
#include <gtest/gtest.h>

#include "runtime/Error.h"
#include "sheet/LoadedRows.h"

namespace dalvera {
namespace {

LoadedRows threeReadRows() {
    auto table = std::make_shared<ValueTable>(1);
    for (long key : {10L, 20L, 30L}) table->column(0).push(Variant(key));
    LoadedRows rows;
    rows.setRead(table);
    return rows;
}

TEST(LoadedRowsTest, ReadAndReadBackRowsFollowASortAndNewRowsStayUnread) {
    LoadedRows rows = threeReadRows();
    // Row 3 (0-based) is a new row a write read back; row 4 a new one never written.
    rows.setRow(3, {Variant(40L)});
    ASSERT_FALSE(rows.hasRow(4));

    // Shown order becomes: new, 30, read-back 40, 10, 20.
    rows.reorder(0, {4, 2, 3, 0, 1});
    EXPECT_FALSE(rows.hasRow(0));
    EXPECT_EQ(rows.value(0, 1), Variant(30L));
    EXPECT_EQ(rows.value(0, 2), Variant(40L));
    EXPECT_EQ(rows.value(0, 3), Variant(10L));
    EXPECT_EQ(rows.value(0, 4), Variant(20L));
    EXPECT_EQ(rows.sourceRow(0), 4u);
    EXPECT_THROW(rows.value(0, 0), Error);

    // A second sort composes with the first; a row added later is unread.
    rows.reorder(1, {3, 2, 1, 0});  // rows 1..4 reversed: 20, 10, 40, 30
    EXPECT_FALSE(rows.hasRow(0));
    EXPECT_EQ(rows.value(0, 1), Variant(20L));
    EXPECT_EQ(rows.value(0, 3), Variant(40L));
    EXPECT_EQ(rows.value(0, 4), Variant(30L));
    EXPECT_FALSE(rows.hasRow(5));

    // A new read forgets the order.
    rows.setRead(std::make_shared<ValueTable>(1));
    EXPECT_EQ(rows.sourceRow(1), 1u);
    EXPECT_FALSE(rows.hasRow(2));
}

}  // namespace
}  // namespace dalvera
