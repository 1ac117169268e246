#include "SheetsFixture.h"

namespace dalvera::test {

using Result = platform::UserOperations::Result;

TEST_F(SheetsTest, WholeNumberStopRuleRefusesFractionWithItsTitleAndMessage) {
    auto v = cell("B2:B10")->Validation();
    v->Add(host::xl::ValidateWholeNumber, host::xl::ValidAlertStop, host::xl::Greater, "-100000000");
    v->SetErrorTitle("Invalid input");
    v->SetErrorMessage("Enter an integer");
    EXPECT_EQ(user->typeText(cell("B3"), "1.5"), Result::Refused);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Invalid input");
    EXPECT_EQ(ui.boxes[0].prompt, "Enter an integer");
    EXPECT_EQ(ui.boxes[0].style & host::mb::ButtonsMask, host::mb::RetryCancel);
    EXPECT_TRUE(cell("B3")->Value().isEmpty());
    EXPECT_EQ(user->typeText(cell("B3"), "-99999999"), Result::Accepted);
    EXPECT_EQ(user->typeText(cell("B4"), "-100000000"), Result::Refused);  // the bound itself fails
    EXPECT_EQ(user->typeText(cell("B5"), "abc"), Result::Refused);
    EXPECT_EQ(user->typeText(cell("C5"), "1.5"), Result::Accepted);  // outside the rule
}

TEST_F(SheetsTest, TextLengthWarningLetsThePersonKeepTheEntry) {
    auto v = cell("C2:C5")->Validation();
    v->Add(host::xl::ValidateTextLength, host::xl::ValidAlertWarning, host::xl::LessEqual, 10);
    v->SetErrorTitle("Text is too long");
    ui.answers = {host::answer::Yes};
    EXPECT_EQ(user->typeText(cell("C2"), "eleven chars"), Result::Accepted);
    EXPECT_EQ(cell("C2")->Value(), Variant("eleven chars"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].style & host::mb::ButtonsMask, host::mb::YesNoCancel);
    EXPECT_NE(ui.boxes[0].prompt.find("Continue?"), std::string::npos);
    ui.answers = {host::answer::No};
    EXPECT_EQ(user->typeText(cell("C3"), "eleven chars"), Result::Refused);
    EXPECT_TRUE(cell("C3")->Value().isEmpty());
    EXPECT_EQ(user->typeText(cell("C4"), "short"), Result::Accepted);
    EXPECT_EQ(ui.boxes.size(), 2u);
}

TEST_F(SheetsTest, DateTimeListAndGuidRules) {
    cell("A1")->Validation()->Add(host::xl::ValidateDate, 1, host::xl::Greater, "1/1/1900");
    EXPECT_EQ(user->typeText(cell("A1"), "1/1/1900"), Result::Refused);
    EXPECT_EQ(user->typeText(cell("A1"), "1/2/1900"), Result::Accepted);
    EXPECT_TRUE(cell("A1")->Value().isDate());

    cell("A2")->Validation()->Add(host::xl::ValidateTime, 1, host::xl::GreaterEqual, "00:00");
    EXPECT_EQ(user->typeText(cell("A2"), "13:30"), Result::Accepted);
    EXPECT_EQ(user->typeText(cell("A2"), "3/3/2020"), Result::Refused);

    cell("A3")->Validation()->Add(host::xl::ValidateTextLength, 1, host::xl::Between, "38", "38");
    EXPECT_EQ(user->typeText(cell("A3"), "{12345678-1234-1234-1234-123456789012}"), Result::Accepted);
    EXPECT_EQ(user->typeText(cell("A3"), "{1234}"), Result::Refused);

    // A list that lives on another sheet behind a workbook name.
    auto lists = book->Worksheets()->Item(2);
    lists->Range("B3")->SetValue(true);
    lists->Range("B4")->SetValue(false);
    book->Names()->AddR1C1("lst_Boolean", "=" + lists->Name() + "!R3C2:R4C2");
    cell("A4")->Validation()->Add(host::xl::ValidateList, 1, Variant::missing(), "=lst_Boolean");
    EXPECT_EQ(user->typeText(cell("A4"), "true"), Result::Accepted);
    EXPECT_EQ(cell("A4")->Value(), Variant(true));
    EXPECT_EQ(user->typeText(cell("A4"), "maybe"), Result::Refused);

    // Keys kept as text still accept the number a person types.
    cell("A5")->Validation()->Add(host::xl::ValidateList, 1, Variant::missing(), "10,20");
    EXPECT_EQ(user->typeText(cell("A5"), "20"), Result::Accepted);
    EXPECT_EQ(user->typeText(cell("A5"), "30"), Result::Refused);
}

TEST_F(SheetsTest, ValidationAddOnARuleDeleteAndBadArguments) {
    auto v = cell("A1:A3")->Validation();
    v->Add(host::xl::ValidateDecimal, 1, host::xl::Greater, 0);
    EXPECT_EQ(errorOf([&] { cell("A2")->Validation()->Add(host::xl::ValidateDecimal, 1, 5, 1); }), err::HostRefusal);
    EXPECT_EQ(cell("A2")->Validation()->Type(), host::xl::ValidateDecimal);
    cell("A2")->Validation()->Delete();
    EXPECT_EQ(errorOf([&] { cell("A2")->Validation()->Type(); }), err::HostRefusal);
    EXPECT_EQ(cell("A2")->Validation()->ErrorTitle(), "");
    EXPECT_EQ(cell("A3")->Validation()->Type(), host::xl::ValidateDecimal);  // split, not lost
    EXPECT_EQ(errorOf([&] { cell("B1")->Validation()->Add(9); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("B1")->Validation()->Add(1, 1, host::xl::Between, 1); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("B1")->Validation()->Add(1, 1, 5); }), err::HostRefusal);
}

TEST_F(SheetsTest, CopyAndPasteOfValidationOnly) {
    cell("A2")->SetValue("keep");
    auto v = cell("A2")->Validation();
    v->Add(host::xl::ValidateList, 1, Variant::missing(), "a,b");
    v->SetErrorTitle("Pick");
    cell("A2")->Copy();
    EXPECT_EQ(app->CutCopyMode(), host::xl::Copy);
    cell("A3")->SetValue("x");
    cell("A3")->PasteSpecial(host::xl::PasteValidation);
    EXPECT_EQ(cell("A3")->Value(), Variant("x"));  // values stay
    EXPECT_EQ(cell("A3")->Validation()->ErrorTitle(), "Pick");
    // The two cells share one rule area now.
    const auto& m = platform::sheetModel(*sheet);
    ASSERT_EQ(m.validations().size(), 1u);
    EXPECT_EQ(m.validations()[0].areas.size(), 1u);
    app->SetCutCopyMode(0);
    EXPECT_EQ(errorOf([&] { cell("A4")->PasteSpecial(host::xl::PasteValidation); }), err::HostRefusal);
}

TEST_F(SheetsTest, PastedBlockMeetsTheRules) {
    cell("B1:B5")->Validation()->Add(host::xl::ValidateWholeNumber, 1, host::xl::GreaterEqual, 0);
    EXPECT_EQ(user->pasteBlock(cell("A1"), {{"x", "1"}, {"y", "-2"}}), Result::Refused);
    EXPECT_TRUE(cell("A1")->Value().isEmpty());  // nothing of the block is written
    EXPECT_EQ(user->pasteBlock(cell("A1"), {{"x", "1"}, {"y", "2"}}), Result::Accepted);
    EXPECT_EQ(cell("B2")->Value(), Variant(2.0));
}

}  // namespace dalvera::test
