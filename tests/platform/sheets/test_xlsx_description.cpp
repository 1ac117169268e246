#include "SheetsFixture.h"
#include "platform/sheets/XlsxSaver.h"

namespace dalvera::test {

namespace {
struct Collect : platform::xlsx::CellSink {
    std::vector<std::tuple<long, long, Variant, int>> cells;
    void cell(long r, long c, const Variant& v, int style) override { cells.emplace_back(r, c, v, style); }
};
}  // namespace

TEST_F(SheetsTest, WorkbookDescribedForTheFileWriter) {
    namespace xlsx = platform::xlsx;
    sheet->Cells()->Interior()->SetColor(0xFFFFFF);
    cell("A1:B1")->SetValues([] {
        VariantArray2D a(1, 2);
        a(1, 1) = "Name", a(1, 2) = 3.5;
        return a;
    }());
    cell("A1:B1")->Font()->SetBold(true);
    cell("A2")->SetLocked(false);
    sheet->Columns(2)->SetColumnWidth(15);
    cell("B2:B9")->Validation()->Add(host::xl::ValidateDecimal, 1, host::xl::Greater, "-100000000");
    cell("A1")->AddComment("the name");
    cell("A1:B3")->AutoFilter(1, "=x*");
    auto lists = book->Worksheets()->Item(2);
    lists->SetName("Lists");
    lists->SetVisible(host::xl::SheetVeryHidden);
    book->Names()->AddR1C1("lst_Boolean", "=Lists!R3C2:R4C2");
    book->SetBuiltinDocumentProperties("Revision Number", Variant("12"));
    host::ProtectOptions o;
    o.allowFiltering = true;
    sheet->SetEnableSelection(host::xl::UnlockedCells);
    sheet->Protect("w58w", o);
    book->Protect("w58w");

    auto d = platform::describeForXlsx(platform::workbookModel(*book));
    ASSERT_EQ(d.sheets.size(), 2u);
    EXPECT_EQ(d.activeSheet, 1);
    EXPECT_EQ(d.sheets[1].visibility, xlsx::SheetVisibility::VeryHidden);
    EXPECT_TRUE(d.protectStructure);
    EXPECT_EQ(d.properties.revisionNumber, 12);
    ASSERT_EQ(d.names.size(), 1u);
    EXPECT_EQ(d.names[0].refersTo, "=Lists!$B$3:$B$4");

    const auto& s = d.sheets[0];
    Collect sink;
    s.cells(sink);
    ASSERT_GE(sink.cells.size(), 3u);
    EXPECT_EQ(std::get<2>(sink.cells[0]), Variant("Name"));
    const auto& headerStyle = d.styles[static_cast<size_t>(std::get<3>(sink.cells[0]))];
    EXPECT_TRUE(headerStyle.bold);
    EXPECT_EQ(headerStyle.fill, 0xFFFFFFu);
    EXPECT_EQ(std::get<0>(sink.cells[2]), 2);  // the unlocked blank A2 is written for its format
    EXPECT_FALSE(d.styles[static_cast<size_t>(std::get<3>(sink.cells[2]))].locked);

    bool widthSeen = false, restSeen = false;
    for (auto& c : s.columns) {
        widthSeen = widthSeen || (c.firstCol == 2 && c.width == 15.0);
        restSeen = restSeen || (c.lastCol == xlsx::kMaxCols && c.style >= 0);
    }
    EXPECT_TRUE(widthSeen);
    EXPECT_TRUE(restSeen);
    ASSERT_EQ(s.validations.size(), 1u);
    EXPECT_EQ(s.validations[0].ranges[0].lastRow, 9);
    EXPECT_EQ(s.comments.size(), 1u);
    EXPECT_TRUE(s.protection.on);
    EXPECT_TRUE(s.protection.allowFiltering);
    EXPECT_FALSE(s.protection.selectLockedCells);
    ASSERT_EQ(s.autoFilter.filters.size(), 1u);
    EXPECT_EQ(s.autoFilter.filters[0].criteria1, "=x*");
    ASSERT_EQ(s.rows.size(), 2u);  // rows 2 and 3 have no name starting with x
    EXPECT_TRUE(s.rows[0].hidden);
}

}  // namespace dalvera::test
