#include <gtest/gtest.h>

#include <cstring>

#include "SheetsFixture.h"
#include "platform/sheets/CellStore.h"

namespace dalvera::test {

using platform::CellKind;
using platform::CellValue;
using platform::ColumnStore;

namespace {
CellValue num(double d) {
    CellValue v;
    v.kind = CellKind::Number;
    std::memcpy(&v.bits, &d, sizeof d);
    return v;
}
}  // namespace

TEST(ColumnStore, ShiftsAcrossBlockBoundaries) {
    ColumnStore c;
    for (int32_t r = 1; r <= 10000; ++r) c.set(r, num(r));
    c.shift(100, 3);  // insert three rows
    EXPECT_EQ(c.get(99).number(), 99);
    EXPECT_TRUE(c.get(100).empty());
    EXPECT_TRUE(c.get(102).empty());
    EXPECT_EQ(c.get(103).number(), 100);
    EXPECT_EQ(c.get(4099).number(), 4096);  // across the first block's end
    EXPECT_EQ(c.lastRow(), 10003);
    c.shift(100, -3);
    for (int32_t r : {1, 100, 4096, 4097, 8192, 10000}) EXPECT_EQ(c.get(r).number(), r);
    EXPECT_EQ(c.lastRow(), 10000);
    c.shift(1, -10000);
    EXPECT_EQ(c.lastRow(), 0);
    EXPECT_EQ(c.nextFilled(1), 0);
}

TEST(ColumnStore, FindsNeighboursOverGaps) {
    ColumnStore c;
    c.set(5, num(1));
    c.set(900000, num(2));
    EXPECT_EQ(c.nextFilled(6), 900000);
    EXPECT_EQ(c.prevFilled(899999), 5);
    EXPECT_EQ(c.prevFilled(4), 0);
    c.set(900000, {});
    EXPECT_EQ(c.lastRow(), 5);
}

TEST(StyleRuns, TransformKeepsRunsMergedAndShiftsWithRows) {
    platform::StyleRuns s;
    s.set(10, 20, 3);
    s.set(21, 30, 3);
    EXPECT_EQ(s.runs().size(), 3u);  // 1-9, 10-30, 31-
    EXPECT_EQ(s.at(25), 3u);
    s.shift(15, 2);  // inside the run: it grows
    EXPECT_EQ(s.at(32), 3u);
    EXPECT_EQ(s.at(33), 0u);
    s.shift(10, -23);  // the whole run goes
    EXPECT_EQ(s.at(10), 0u);
    EXPECT_EQ(s.runs().size(), 1u);
}

TEST(Rects, SubtractLeavesTheRest) {
    platform::Rect r{1, 1, 10, 10};
    auto parts = platform::subtract(r, {4, 4, 6, 6});
    int64_t cells = 0;
    for (auto& p : parts) cells += p.cells();
    EXPECT_EQ(cells, 100 - 9);
    EXPECT_EQ(platform::subtract(r, {1, 1, 10, 10}).size(), 0u);
    EXPECT_EQ(platform::subtract(r, {20, 20, 30, 30}).size(), 1u);
}

TEST(References, A1AndR1C1Forms) {
    platform::Rect r;
    ASSERT_TRUE(platform::parseA1("$b$3:C4", r));
    EXPECT_EQ(r, (platform::Rect{3, 2, 4, 3}));
    ASSERT_TRUE(platform::parseA1("A:C", r));
    EXPECT_TRUE(r.entireColumns());
    EXPECT_FALSE(platform::parseA1("A0", r));
    EXPECT_FALSE(platform::parseA1("XFE1", r));  // past the last column
    EXPECT_FALSE(platform::parseA1("A1048577", r));
    EXPECT_FALSE(platform::parseA1("lst_1", r));
    ASSERT_TRUE(platform::parseR1C1("R3C2:R4C2", r));
    EXPECT_EQ(r, (platform::Rect{3, 2, 4, 2}));
    EXPECT_FALSE(platform::parseR1C1("R0C1", r));
    EXPECT_EQ(platform::columnLetters(28), "AB");
    EXPECT_EQ(platform::columnLetters(16384), "XFD");
}

TEST_F(SheetsTest, WorkbookPropertiesAndState) {
    book->SetBuiltinDocumentProperties("Revision Number", Variant("12"));
    EXPECT_EQ(book->BuiltinDocumentProperties("revision number"), Variant("12"));
    EXPECT_EQ(errorOf([&] { book->BuiltinDocumentProperties("Nope"); }), err::InvalidCall);
    book->SetIsAddin(true);
    EXPECT_TRUE(platform::workbookModel(*book).isAddin());
    EXPECT_EQ(book->Colors(3), 0x0000FF);  // red in the host's encoding
    app->SetStatusBar("One moment...");
    EXPECT_EQ(app->StatusBar(), Variant("One moment..."));
    app->SetStatusBar(false);
    EXPECT_EQ(app->StatusBar(), Variant(false));
    EXPECT_EQ(errorOf([&] { app->SetCalculation(99); }), err::HostRefusal);
    EXPECT_EQ(app->International(host::xl::DecimalSeparator), Variant("."));
    app->setSheetsInNewWorkbook(3);
    auto three = app->Workbooks().Add();
    EXPECT_EQ(three->Worksheets()->Count(), 3);
    EXPECT_EQ(three->Worksheets()->Item(3)->Name(), "Sheet3");
    EXPECT_EQ(three->ActiveSheet()->Name(), "Sheet1");
}

TEST_F(SheetsTest, ReloadingATableSheetDoesNotGrowTheTextPool) {
    for (int round = 0; round < 3; ++round) {
        sheet->Rows("1:100")->Delete();
        for (int r = 1; r <= 100; ++r) sheet->Cells(r, 1)->SetValue("row " + std::to_string(r + round * 1000));
    }
    EXPECT_EQ(platform::sheetModel(*sheet).strings().size(), 100u);
}

TEST_F(SheetsTest, AutoFilterFollowsDeletedRowsAndGoesWithItsHeader) {
    cell("A3:A6")->SetValues([] {
        VariantArray2D a(4, 1);
        a(1, 1) = "h", a(2, 1) = "x", a(3, 1) = "y", a(4, 1) = "x";
        return a;
    }());
    cell("A3:A6")->AutoFilter(1, "=y");
    sheet->Rows(1)->Delete();
    EXPECT_EQ(sheet->AutoFilter()->Range()->Address(), "$A$2:$A$5");
    EXPECT_TRUE(sheet->Rows(3)->Hidden().toBool());  // "x" moved up with its hidden flag
    sheet->Rows(2)->Delete();
    EXPECT_FALSE(sheet->AutoFilterMode());
    EXPECT_FALSE(sheet->Rows(2)->Hidden().toBool());
}

}  // namespace dalvera::test

namespace dalvera::test {

TEST(StringPoolTest, EachTextKeepsOneIdThroughEveryGrowthOfThePool) {
    platform::StringPool pool;
    std::vector<uint32_t> ids;
    const long n = 300000;
    for (long i = 0; i < n; ++i) ids.push_back(pool.intern("Customer " + std::to_string(i)));
    const uint32_t empty = pool.intern("");
    // Texts alike but for their last byte, or for a byte after a NUL, are different texts.
    const uint32_t a = pool.intern(std::string("ab\0c", 4)), b = pool.intern(std::string("ab\0d", 4));
    EXPECT_NE(a, b);
    EXPECT_EQ(pool.size(), static_cast<size_t>(n) + 3);
    long wrong = 0;
    for (long i = n; i-- > 0;) {
        const std::string text = "Customer " + std::to_string(i);
        if (pool.intern(text) != ids[static_cast<size_t>(i)] || pool.get(ids[static_cast<size_t>(i)]) != text) ++wrong;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(pool.intern(""), empty);
    EXPECT_EQ(pool.get(empty), "");
    EXPECT_EQ(pool.get(b), std::string_view("ab\0d", 4));
    EXPECT_EQ(pool.size(), static_cast<size_t>(n) + 3);  // nothing was added twice
}

}  // namespace dalvera::test
