#include "SheetsFixture.h"

namespace dalvera::test {

using Result = platform::UserOperations::Result;

TEST_F(SheetsTest, ClearFormatsAndNamedStyles) {
    auto r = cell("A1:B2");
    r->SetValue(0.25);
    r->SetStyle("Percent");
    EXPECT_EQ(r->NumberFormat(), Variant("0%"));
    EXPECT_EQ(r->Style(), "Percent");
    EXPECT_EQ(cell("A1")->Text(), "25%");
    EXPECT_EQ(errorOf([&] { r->SetNumberFormat("\"open"); }), err::HostRefusal);
    EXPECT_EQ(r->NumberFormat(), Variant("0%"));
    cell("A1")->SetStyle("Comma");
    EXPECT_TRUE(r->NumberFormat().isNull());  // mixed
    EXPECT_EQ(errorOf([&] { r->SetStyle("Fancy"); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { r->SetHorizontalAlignment(12345); }), err::HostRefusal);
    r->Validation()->Add(host::xl::ValidateDecimal, 1, host::xl::Greater, 0);
    r->AddComment("c");

    cell("A1:B1")->ClearFormats();
    EXPECT_EQ(cell("A1")->NumberFormat(), Variant("General"));
    EXPECT_EQ(cell("A1")->Value(), Variant(0.25));
    r->Clear();
    EXPECT_TRUE(cell("B2")->Value().isEmpty());
    EXPECT_EQ(cell("B2")->NumberFormat(), Variant("General"));
    EXPECT_EQ(cell("A1")->Comment(), nullptr);
    EXPECT_EQ(cell("B2")->Validation()->ErrorTitle(), "");
    EXPECT_EQ(errorOf([&] { cell("B2")->Validation()->Type(); }), err::HostRefusal);
}

TEST_F(SheetsTest, StylesAreSharedNotCopiedPerCell) {
    const auto& styles = platform::sheetModel(*sheet).workbook().styles();
    size_t before = styles.size();
    for (int r = 1; r <= 500; ++r) {
        sheet->Cells(r, 2)->Interior()->SetColor(0x00FFFF);
        sheet->Cells(r, 2)->Font()->SetColor(0x0000FF);
    }
    EXPECT_LE(styles.size(), before + 2);
    // And the column holds one run for the block, not 500 entries.
    EXPECT_LE(platform::sheetModel(*sheet).columnStyles(2).runs().size(), 3u);
}

TEST_F(SheetsTest, CommentsAndTheirShape) {
    auto c = cell("B1")->AddComment("Customer name");
    EXPECT_EQ(errorOf([&] { cell("B1")->AddComment("again"); }), err::HostRefusal);
    auto shape = c->Shape();
    double w = shape->Width(), h = shape->Height();
    shape->ScaleWidth(1.6);
    shape->ScaleHeight(0.7);
    EXPECT_DOUBLE_EQ(shape->Width(), w * 1.6);
    EXPECT_DOUBLE_EQ(shape->Height(), h * 0.7);
    shape->SetTextColorIndex(11);
    shape->SetTextSize(10);
    shape->SetFillSchemeColor(9);
    shape->SetLineColor(0xFFFFFF);
    shape->SetShadow(false);
    const auto& data = platform::sheetModel(*sheet).comments().at({1, 2});
    EXPECT_EQ(data.textColorIndex, 11);
    EXPECT_EQ(data.fillColor, book->Colors(2));
    EXPECT_FALSE(data.shadow);
    EXPECT_EQ(errorOf([&] { shape->SetTextColorIndex(60); }), err::HostRefusal);
    c->Delete();
    EXPECT_EQ(cell("B1")->Comment(), nullptr);
    EXPECT_EQ(errorOf([&] { c->Text(); }), err::ObjectRequired);  // a stale comment fails cleanly
    sheet->Protect("p");
    EXPECT_EQ(errorOf([&] { cell("C1")->AddComment("x"); }), err::HostRefusal);
}

TEST_F(SheetsTest, CopyToADestinationTakesValuesFormatsAndRules) {
    cell("A1:A2")->SetValue("v");
    cell("A1:A2")->Font()->SetBold(true);
    cell("A1:A2")->Validation()->Add(host::xl::ValidateTextLength, 2, host::xl::LessEqual, 3);
    cell("A1:A2")->Copy(cell("C5"));
    EXPECT_EQ(cell("C6")->Value(), Variant("v"));
    EXPECT_EQ(cell("C6")->Font()->Bold(), Variant(true));
    EXPECT_EQ(cell("C6")->Validation()->AlertStyle(), 2);
    EXPECT_EQ(app->CutCopyMode(), 0);  // a direct copy leaves the clipboard alone

    // A single copied cell repeats over a larger target.
    cell("A1")->Copy();
    cell("E1:E4")->PasteSpecial(host::xl::PasteValues);
    EXPECT_EQ(cell("E4")->Value(), Variant("v"));
    EXPECT_EQ(cell("E4")->Font()->Bold(), Variant(false));
}

TEST_F(SheetsTest, BadInputIsRefusedWithoutDamage) {
    EXPECT_EQ(errorOf([&] { sheet->Cells()->SetValue(1); }), err::HostRefusal);  // 17 billion cells
    EXPECT_EQ(errorOf([&] { sheet->Cells()->Values(); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A1")->SetColumnWidth(300); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A1")->Font()->SetSize(0); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A1")->Borders()->Item(3); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A1")->End(0); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A1")->SetValue(std::string(40000, 'x')); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A1")->Hidden(); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { sheet->SetVisible(7); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { sheet->Rows("x:y"); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { book->SaveAs(""); }), err::HostRefusal);
    EXPECT_EQ(sheet->UsedRange()->Address(), "$A$1");  // still empty
    EXPECT_TRUE(cell("A1")->Value().isEmpty());
}

TEST_F(SheetsTest, InsertThatWouldPushDataOffTheSheetIsRefused) {
    sheet->Cells(host::xl::MaxRows, 1)->SetValue("last");
    cell("A1")->SetValue("first");
    EXPECT_EQ(errorOf([&] { sheet->Rows(1)->Insert(); }), err::HostRefusal);
    EXPECT_EQ(cell("A1")->Value(), Variant("first"));
    EXPECT_EQ(sheet->Cells(host::xl::MaxRows, 1)->Value(), Variant("last"));
}

TEST_F(SheetsTest, InformationAlertAndSilentRules) {
    auto v = cell("A1:A2")->Validation();
    v->Add(host::xl::ValidateWholeNumber, host::xl::ValidAlertInformation, host::xl::Less, 10);
    ui.answers = {host::answer::OK, host::answer::Cancel};
    EXPECT_EQ(user->typeText(cell("A1"), "50"), Result::Accepted);
    EXPECT_EQ(user->typeText(cell("A2"), "50"), Result::Refused);
    EXPECT_EQ(ui.boxes[0].style & host::mb::IconMask, host::mb::Information);
    EXPECT_EQ(ui.boxes[0].prompt, "This value doesn't match the data validation restrictions defined for this cell.");
    v->SetShowError(false);  // no alert: anything goes
    EXPECT_EQ(user->typeText(cell("A2"), "50"), Result::Accepted);
    EXPECT_FALSE(cell("A2")->Validation()->Value());
}

TEST_F(SheetsTest, TypingMovesTheActiveCellAndTypingElsewhereActivates) {
    user->typeText(cell("B2"), "x");
    EXPECT_EQ(app->Selection()->Address(), "$B$3");
    app->SetMoveAfterReturnDirection(host::xl::ToRight);
    user->typeText(cell("B3"), "y");
    EXPECT_EQ(app->Selection()->Address(), "$C$3");
    auto other = book->Worksheets()->Item(2);
    user->typeText(other->Range("A1"), "z");
    EXPECT_EQ(app->ActiveSheet()->Name(), "Sheet2");
    EXPECT_EQ(other->Range("A1")->Value(), Variant("z"));
    user->beginEdit(other->Range("A2"));
    app->OnKey("{F9}", "ThisWorkbook.Refresh");
    EXPECT_FALSE(user->pressKey("{F9}"));  // keys go to the cell while editing
    user->cancelEdit();
    EXPECT_EQ(errorOf([&] { user->pressKey("{F9}"); }), err::HostRefusal);  // bound, but no such macro
}

TEST_F(SheetsTest, CodeSaveCancelledByAHandlerIsAnError) {
    app->registerSaver(host::xl::OpenXMLWorkbook, [](const host::Workbook&, const platform::WorkbookModel&,
                                                     const std::string&, int) {});
    events.cancelSave = true;
    EXPECT_EQ(errorOf([&] { book->SaveAs("/tmp/x.xlsx"); }), err::HostRefusal);
    EXPECT_EQ(book->Path(), "");
    app->SetEnableEvents(false);
    book->SaveAs("/tmp/x.xlsx");
    EXPECT_EQ(book->Path(), "/tmp");
    EXPECT_EQ(events.saves, 1);
}

TEST_F(SheetsTest, RangesOfAClosedWorkbookFailCleanly) {
    auto r = cell("A1");
    book->Close(false);
    EXPECT_EQ(errorOf([&] { r->Value(); }), err::ObjectRequired);
    EXPECT_EQ(errorOf([&] { r->SetValue(1); }), err::ObjectRequired);
    EXPECT_EQ(errorOf([&] { book->Worksheets(); }), err::ObjectRequired);
    EXPECT_EQ(app->ActiveSheet(), nullptr);
    EXPECT_EQ(app->Selection(), nullptr);
}

}  // namespace dalvera::test
