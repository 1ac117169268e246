#include "SheetsFixture.h"

namespace dalvera::test {

namespace {
VariantArray2D column(std::initializer_list<Variant> v) {
    VariantArray2D a(static_cast<long>(v.size()), 1);
    long i = 1;
    for (auto& x : v) a(i++, 1) = x;
    return a;
}
}  // namespace

TEST_F(SheetsTest, InsertAndDeleteRowsShiftValuesValidationNamesAndComments) {
    cell("A1:A4")->SetValues(column({"h", "r1", "r2", "r3"}));
    cell("A2:A4")->Validation()->Add(host::xl::ValidateTextLength, 1, host::xl::LessEqual, 5);
    cell("A3")->AddComment("note");
    book->Names()->AddR1C1("lst_1", "=Sheet1!R2C1:R4C1");
    book->Names()->AddR1C1("tail", "=Sheet1!R4C1");

    sheet->Rows(3)->Insert();
    EXPECT_EQ(cell("A3")->Value(), Variant());
    EXPECT_EQ(cell("A4")->Value(), Variant("r2"));
    EXPECT_EQ(cell("A5")->Value(), Variant("r3"));
    EXPECT_EQ(book->Names()->Item("lst_1")->RefersToR1C1(), "=Sheet1!R2C1:R5C1");
    EXPECT_EQ(book->Names()->Item("tail")->RefersTo(), "=Sheet1!$A$5");
    EXPECT_EQ(cell("A5")->Validation()->Type(), host::xl::ValidateTextLength);
    EXPECT_EQ(cell("A3")->Validation()->Type(), host::xl::ValidateTextLength);  // inside the rule's area
    EXPECT_EQ(cell("A3")->Comment(), nullptr);
    ASSERT_NE(cell("A4")->Comment(), nullptr);
    EXPECT_EQ(cell("A4")->Comment()->Text(), "note");

    sheet->Rows("2:4")->Delete();
    EXPECT_EQ(cell("A2")->Value(), Variant("r3"));
    EXPECT_EQ(book->Names()->Item("lst_1")->RefersToR1C1(), "=Sheet1!R2C1");
    EXPECT_EQ(cell("A2")->Validation()->Type(), host::xl::ValidateTextLength);
    EXPECT_EQ(errorOf([&] { cell("A3")->Validation()->Type(); }), err::HostRefusal);
    EXPECT_EQ(cell("A2")->Comment(), nullptr);  // its row went

    sheet->Rows(2)->Delete();
    EXPECT_EQ(book->Names()->Item("tail")->RefersTo(), "=#REF!");
    EXPECT_EQ(errorOf([&] { book->Names()->Item("tail")->RefersToRange(); }), err::HostRefusal);
}

TEST_F(SheetsTest, InsertedRowTakesTheFormatOfTheRowAbove) {
    cell("A2:B2")->Interior()->SetColor(0x99FFFF);
    cell("A2:B2")->SetLocked(false);
    sheet->Rows(3)->Insert();
    EXPECT_EQ(cell("A3:B3")->Interior()->Color(), Variant(0x99FFFF));
    EXPECT_EQ(cell("B3")->Locked(), Variant(false));
    EXPECT_EQ(cell("A4")->Locked(), Variant(true));
}

TEST_F(SheetsTest, InsertAndDeleteColumns) {
    cell("A1:C1")->SetValues([] {
        VariantArray2D a(1, 3);
        a(1, 1) = "a", a(1, 2) = "b", a(1, 3) = "c";
        return a;
    }());
    sheet->Columns(2)->SetColumnWidth(30);
    book->Names()->Add("third", "=Sheet1!$C$1");
    sheet->Columns("B")->Insert();
    EXPECT_EQ(cell("C1")->Value(), Variant("b"));
    EXPECT_EQ(cell("C1")->ColumnWidth(), Variant(30.0));
    EXPECT_EQ(book->Names()->Item("third")->RefersTo(), "=Sheet1!$D$1");
    sheet->Columns("A:B")->Delete();
    EXPECT_EQ(cell("A1")->Value(), Variant("b"));
    EXPECT_EQ(book->Names()->Item("third")->RefersToR1C1(), "=Sheet1!R1C2");
    EXPECT_EQ(errorOf([&] { cell("A1:B2")->Delete(); }), err::HostRefusal);
}

TEST_F(SheetsTest, NamesRejectBadInput) {
    EXPECT_EQ(errorOf([&] { book->Names()->Add("A1", "=Sheet1!$A$1"); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { book->Names()->Add("has space", "=Sheet1!$A$1"); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { book->Names()->AddR1C1("x", "=Nowhere!R1C1"); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { book->Names()->Item("none"); }), err::HostRefusal);
    book->Names()->Add("k", "=42");
    EXPECT_EQ(book->Names()->Item("K")->RefersTo(), "=42");
    EXPECT_EQ(errorOf([&] { book->Names()->Item("k")->RefersToRange(); }), err::HostRefusal);
    // Names follow a renamed sheet.
    book->Names()->AddR1C1("lst_Boolean", "=Sheet2!R3C2:R4C2");
    book->Worksheets()->Item(2)->SetName("Lists");
    EXPECT_EQ(book->Names()->Item("lst_Boolean")->RefersToR1C1(), "=Lists!R3C2:R4C2");
    EXPECT_EQ(book->Worksheets()->Item(2)->Range("lst_Boolean")->Address(), "$B$3:$B$4");
    EXPECT_EQ(errorOf([&] { sheet->Range("lst_Boolean"); }), err::HostRefusal);  // another sheet's cells
}

TEST_F(SheetsTest, SheetsVisibilityNamesAndDeletion) {
    auto lists = book->Worksheets()->Item(2);
    lists->SetVisible(host::xl::SheetVeryHidden);
    EXPECT_EQ(lists->Visible(), 2);
    EXPECT_EQ(errorOf([&] { sheet->SetVisible(host::xl::SheetHidden); }), err::HostRefusal);  // the last visible one
    EXPECT_EQ(errorOf([&] { lists->Activate(); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { sheet->SetName("bad/name"); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { sheet->SetName(std::string(32, 'x')); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { sheet->SetName("sheet2"); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { book->Worksheets()->Item(3); }), err::SubscriptOutOfRange);
    ui.answers = {host::answer::OK};
    lists->Delete();
    EXPECT_EQ(book->Worksheets()->Count(), 1);
    EXPECT_EQ(errorOf([&] { lists->Name(); }), err::ObjectRequired);
}

}  // namespace dalvera::test
