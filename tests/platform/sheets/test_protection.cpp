#include "SheetsFixture.h"

namespace dalvera::test {

class Protection : public SheetsTest {
protected:
    void SetUp() override {
        SheetsTest::SetUp();
        cell("A1")->SetValue("header");
        cell("A2:B3")->SetLocked(false);
        host::ProtectOptions o;
        o.allowFormattingColumns = true;
        o.allowFiltering = true;
        sheet->Protect("w58w", o);
        events.changes.clear();
    }
};

TEST_F(Protection, LockedCellRefusesTypingAndCodeWhileUnlockedOneAccepts) {
    EXPECT_EQ(user->typeText(cell("A1"), "new"), platform::UserOperations::Result::Refused);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].prompt.find("protected sheet"), std::string::npos);
    EXPECT_EQ(cell("A1")->Value(), Variant("header"));
    EXPECT_EQ(errorOf([&] { cell("A1")->SetValue(5); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A1:B2")->ClearContents(); }), err::HostRefusal);  // one locked cell is enough
    EXPECT_EQ(cell("A1")->Value(), Variant("header"));

    EXPECT_EQ(user->typeText(cell("B2"), "42"), platform::UserOperations::Result::Accepted);
    EXPECT_EQ(cell("B2")->Value(), Variant(42.0));
    cell("A3")->SetValue("code");
    EXPECT_EQ(cell("A3")->Value(), Variant("code"));
}

TEST_F(Protection, DutchRefusalText) {
    app->setCountryCode(31);
    user->typeText(cell("A1"), "x");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].prompt.find("beveiligd blad"), std::string::npos);
}

TEST_F(Protection, WrongPasswordIs1004AndKeepsTheProtection) {
    EXPECT_EQ(errorOf([&] { sheet->Unprotect("wrong"); }), err::HostRefusal);
    EXPECT_TRUE(sheet->ProtectContents());
    sheet->Unprotect("w58w");
    EXPECT_FALSE(sheet->ProtectContents());
    cell("A1")->SetValue("free");
    EXPECT_EQ(cell("A1")->Value(), Variant("free"));

    book->Protect("w58w");
    EXPECT_EQ(errorOf([&] { book->Worksheets()->Add(); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { sheet->SetName("Other"); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { book->Unprotect("nope"); }), err::HostRefusal);
    book->Unprotect("w58w");
    sheet->SetName("Other");
    EXPECT_EQ(sheet->Name(), "Other");
}

TEST_F(Protection, AllowancesForColumnsAndFilteringOnly) {
    cell("A1")->EntireColumn()->SetColumnWidth(20);  // formatting columns is allowed
    EXPECT_EQ(cell("A1")->ColumnWidth(), Variant(20.0));
    cell("C1")->EntireColumn()->SetHidden(true);
    EXPECT_TRUE(sheet->Columns(3)->Hidden().toBool());
    EXPECT_EQ(errorOf([&] { cell("A2")->Interior()->SetColor(255); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A2")->SetLocked(true); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { sheet->Rows(2)->Delete(); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { cell("A1")->AutoFilter(); }), err::HostRefusal);  // none yet: cannot add one
}

TEST_F(Protection, FilteringAllowedOnExistingAutoFilter) {
    sheet->Unprotect("w58w");
    cell("A1:A4")->SetValues([] {
        VariantArray2D a(4, 1);
        a(1, 1) = "h", a(2, 1) = "x", a(3, 1) = "y", a(4, 1) = "x";
        return a;
    }());
    cell("A1:A4")->AutoFilter();
    host::ProtectOptions o;
    o.allowFiltering = true;
    sheet->Protect("w58w", o);
    cell("A1:A4")->AutoFilter(1, "=x");
    EXPECT_TRUE(sheet->FilterMode());
    EXPECT_TRUE(sheet->Rows(3)->Hidden().toBool());
}

TEST_F(Protection, SelectionLimitedToUnlockedCells) {
    sheet->SetEnableSelection(host::xl::UnlockedCells);
    EXPECT_FALSE(user->select(cell("A1")));
    EXPECT_TRUE(user->select(cell("B3")));
    EXPECT_EQ(app->Selection()->Address(), "$B$3");
}

TEST_F(Protection, EditingMakesTheApplicationNotReady) {
    user->beginEdit(cell("B2"));
    EXPECT_FALSE(app->Ready());
    EXPECT_EQ(user->endEdit("7"), platform::UserOperations::Result::Accepted);
    EXPECT_TRUE(app->Ready());
    user->beginEdit(cell("A1"));  // locked: refused at once, no edit starts
    EXPECT_TRUE(app->Ready());
    EXPECT_FALSE(user->editing());
}

}  // namespace dalvera::test
