#include "SheetsFixture.h"

namespace dalvera::test {

TEST_F(SheetsTest, EndMovesLikeTheCtrlArrowKeys) {
    cell("B1")->SetValue("Lists:");
    cell("B2:B4")->SetValue(1);
    cell("B7")->SetValue(2);
    EXPECT_EQ(cell("B1")->End(host::xl::Down)->Row(), 4);
    EXPECT_EQ(cell("B4")->End(host::xl::Down)->Row(), 7);  // jumps the gap
    EXPECT_EQ(cell("B7")->End(host::xl::Down)->Row(), host::xl::MaxRows);
    EXPECT_EQ(cell("C1")->End(host::xl::Down)->Row(), host::xl::MaxRows);  // empty column
    EXPECT_EQ(cell("B7")->End(host::xl::Up)->Row(), 4);
    EXPECT_EQ(cell("B3")->End(host::xl::Up)->Row(), 1);
    cell("D2")->SetValue(1);
    EXPECT_EQ(cell("B2")->End(host::xl::ToRight)->Address(), "$D$2");
    EXPECT_EQ(cell("D2")->End(host::xl::ToLeft)->Address(), "$B$2");
    cell("B100000")->SetValue(9);  // far down, in another block
    EXPECT_EQ(cell("B7")->End(host::xl::Down)->Row(), 100000);
}

TEST_F(SheetsTest, IntersectUnionAreasOffsetResize) {
    auto u = app->Union(cell("A1:B2"), cell("D4"));
    EXPECT_EQ(u->Areas()->Count(), 2);
    EXPECT_EQ(u->Areas()->Item(2)->Address(), "$D$4");
    EXPECT_EQ(u->Count(), 5);
    auto i = app->Intersect(u, sheet->Columns(2));
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->Address(), "$B$1:$B$2");
    EXPECT_EQ(app->Intersect(cell("A1"), cell("C3")), nullptr);
    EXPECT_EQ(errorOf([&] { app->Intersect(cell("A1"), book->Worksheets()->Item(2)->Range("A1")); }), err::HostRefusal);

    EXPECT_EQ(cell("A1")->Offset(2, 1)->Address(), "$B$3");
    EXPECT_EQ(cell("B2")->Resize(3, 2)->Address(), "$B$2:$C$4");
    EXPECT_EQ(cell("B2:D5")->Columns(2)->Offset(1, 0)->Resize(3, 1)->Address(), "$C$3:$C$5");
    EXPECT_EQ(cell("B2")->EntireColumn()->Address(), "$B:$B");
    EXPECT_EQ(cell("B2:C3")->EntireRow()->Address(), "$2:$3");
    EXPECT_EQ(cell("B2:C3")->Cells(2, 2)->Address(false, false), "C3");
    EXPECT_EQ(cell("B2:C3")->Item(3)->Address(false, false), "B3");
    EXPECT_EQ(errorOf([&] { cell("A1")->Offset(-1, 0); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A1")->Resize(0, 1); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A1")->Resize(4294967297L, 1); }), err::HostRefusal);  // no wrap-around to 1 row
    EXPECT_EQ(errorOf([&] { cell("A1")->Offset(4294967296L, 0); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { sheet->Range("nonsense!"); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { sheet->Cells(0, 1); }), err::HostRefusal);
}

TEST_F(SheetsTest, AutoFilterHidesRowsAndReportsCriteria) {
    VariantArray2D data(6, 2);
    const char* names[] = {"Name", "Ann", "Bob", "Anna", "Carl", "Bea"};
    for (long r = 1; r <= 6; ++r) data(r, 1) = names[r - 1], data(r, 2) = r == 1 ? Variant("Qty") : Variant(double(r * 10));
    cell("A1:B6")->SetValues(data);
    cell("A1:B6")->AutoFilter();
    EXPECT_TRUE(sheet->AutoFilterMode());
    EXPECT_FALSE(sheet->FilterMode());

    cell("A1:B6")->AutoFilter(1, "=An*");
    EXPECT_TRUE(sheet->FilterMode());
    EXPECT_FALSE(sheet->Rows(2)->Hidden().toBool());
    EXPECT_TRUE(sheet->Rows(3)->Hidden().toBool());
    EXPECT_FALSE(sheet->Rows(4)->Hidden().toBool());

    cell("A1:B6")->AutoFilter(2, ">=30", host::xl::And, "<60");
    EXPECT_TRUE(sheet->Rows(2)->Hidden().toBool());   // Ann, 20
    EXPECT_FALSE(sheet->Rows(4)->Hidden().toBool());  // Anna, 40

    auto f = sheet->AutoFilter()->Filters();
    EXPECT_EQ(f->Count(), 2);
    EXPECT_EQ(f->Item(1)->Criteria1(), Variant("=An*"));
    EXPECT_EQ(errorOf([&] { f->Item(1)->Criteria2(); }), err::HostRefusal);
    EXPECT_EQ(f->Item(2)->Criteria2(), Variant("<60"));
    EXPECT_EQ(f->Item(2)->Operator(), host::xl::And);

    cell("A1:B6")->AutoFilter(1, Variant::missing());  // field 1 off
    EXPECT_FALSE(sheet->Rows(5)->Hidden().toBool());   // Carl, 50
    EXPECT_TRUE(sheet->Rows(6)->Hidden().toBool());    // Bea, 60
    EXPECT_EQ(errorOf([&] { cell("A1:B6")->AutoFilter(3, "x"); }), err::HostRefusal);

    sheet->SetAutoFilterMode(false);
    EXPECT_FALSE(sheet->AutoFilterMode());
    EXPECT_FALSE(sheet->Rows(6)->Hidden().toBool());
}

TEST_F(SheetsTest, StylesOnRangesAndMixedReads) {
    auto r = cell("A1:C3");
    r->Interior()->SetColor(0x804000);
    r->Font()->SetBold(true);
    r->Font()->SetColor(0xFFFFFF);
    r->SetNumberFormat("d/m/yyyy");
    r->SetHorizontalAlignment(host::xl::HAlignLeft);
    EXPECT_EQ(r->Interior()->Color(), Variant(0x804000));
    EXPECT_EQ(r->Font()->Bold(), Variant(true));
    cell("B2")->Font()->SetBold(false);
    EXPECT_TRUE(r->Font()->Bold().isNull());
    EXPECT_EQ(cell("D1")->Interior()->ColorIndex(), Variant(host::xl::ColorIndexNone));
    cell("D1")->Interior()->SetColorIndex(15);
    EXPECT_EQ(cell("D1")->Interior()->Color(), Variant(0xC0C0C0));
    EXPECT_EQ(errorOf([&] { cell("D1")->Interior()->SetColorIndex(99); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("D1")->Font()->SetColor(-5); }), err::HostRefusal);

    r->BorderAround(host::xl::Continuous);
    r->Borders()->Item(host::xl::InsideVertical)->SetLineStyle(host::xl::Continuous);
    const auto& m = platform::sheetModel(*sheet);
    const auto& st = m.workbook().styles();
    EXPECT_EQ(st[m.styleAt(1, 1)].top.lineStyle, host::xl::Continuous);
    EXPECT_EQ(st[m.styleAt(2, 2)].top.lineStyle, host::xl::None);  // inner cell: no horizontal line
    EXPECT_EQ(st[m.styleAt(2, 2)].left.lineStyle, host::xl::Continuous);
    EXPECT_EQ(st[m.styleAt(3, 3)].right.lineStyle, host::xl::Continuous);

    // Whole-sheet formatting stays a column-level format, not a used range.
    sheet->Cells()->Interior()->SetColor(0xFFFFFF);
    EXPECT_EQ(sheet->Range("Z50000")->Interior()->Color(), Variant(0xFFFFFF));
    EXPECT_EQ(cell("D1")->Interior()->Color(), Variant(0xFFFFFF));
    EXPECT_EQ(sheet->UsedRange()->Address(), "$A$1:$C$3");
}

TEST_F(SheetsTest, WindowSettingsAndFrozenTopRow) {
    auto w = app->ActiveWindow();
    w->SetDisplayHeadings(false);
    w->SetDisplayZeros(false);
    sheet->Rows(2)->Select();
    w->SetFreezePanes(true);
    EXPECT_EQ(w->SplitRow(), 1);
    EXPECT_EQ(w->SplitColumn(), 0);
    w->SetScrollRow(40);
    w->SmallScroll(0, 10);
    EXPECT_EQ(w->ScrollRow(), 30);
    EXPECT_EQ(errorOf([&] { w->SetScrollRow(0); }), err::HostRefusal);
    const auto& v = platform::sheetModel(*sheet).view();
    EXPECT_TRUE(v.frozen);
    EXPECT_FALSE(v.displayHeadings);
    EXPECT_EQ(errorOf([&] { book->Worksheets()->Item(2)->Range("A1")->Select(); }), err::HostRefusal);
}

}  // namespace dalvera::test
