// The input rules hold when a person types into the table sheet, and the lists
// of related tables are built on the list sheet.
#include "TableSheetFixture.h"

namespace dalvera::testing {
namespace {

namespace xl = host::xl;

TEST_F(TableSheetTest, IntegerColumnRefusesWhatItsTypeCannotHoldAndFractions) {
    openSample();
    clickTable("Products");
    auto stock = cell("UnitsInStock", 1);  // a 16-bit integer
    for (const char* outside : {"32768", "-32769", "99999"}) {
        ui_.expectMsgBox(host::answer::Cancel, GetMessage(230, Variant("-32768"), Variant("32767")), host::mb::Critical);
        EXPECT_EQ(type(stock, outside), Result::Refused) << outside;
    }
    ui_.expectMsgBox(host::answer::Cancel, GetMessage(99));
    EXPECT_EQ(type(stock, "1.5"), Result::Refused);
    EXPECT_EQ(ui_.last(PromptKind::MsgBox)->title, GetMessage(97));
    EXPECT_EQ(type(stock, "-32768"), Result::Accepted);
    EXPECT_EQ(type(stock, "32767"), Result::Accepted);
    // A byte and an amount alike; a paste meets the same rule.
    ui_.expectMsgBox(host::answer::Cancel, GetMessage(100), host::mb::Critical);
    EXPECT_EQ(type(cell("ShelfNo", 1), "300"), Result::Refused);
    ui_.expectMsgBox(host::answer::Cancel, GetMessage(108), host::mb::Critical);
    EXPECT_EQ(session_->user().pasteBlock(cell("UnitPrice", 1), {{"1e20"}}), Result::Refused);
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, UnsignedColumnRefusesNegativesWithMessage100) {
    openSample();
    clickTable("Products");
    ui_.expectMsgBox(host::answer::Cancel, GetMessage(100));
    EXPECT_EQ(type(cell("ShelfNo", 1), "-1"), Result::Refused);
    EXPECT_EQ(type(cell("ShelfNo", 1), "0"), Result::Accepted);
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, DateColumnRefusesTheFirstOfJanuary1900) {
    openSample();
    clickTable("Employees");
    auto birth = cell("BirthDate", 1);
    ui_.expectMsgBox(host::answer::Cancel, GetMessage(110));
    EXPECT_EQ(type(birth, "1/1/1900"), Result::Refused);
    EXPECT_EQ(type(birth, "1/2/1900"), Result::Accepted);
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, TextColumnWarnsOnOverlongTextAndLetsThePersonKeepIt) {
    openSample();
    clickTable("Employees");
    auto first = cell("FirstName", 1);  // size 10
    EXPECT_EQ(type(first, "TenLetters"), Result::Accepted);
    ui_.expectMsgBox(host::answer::Yes, GetMessage(116, Variant(10)), host::mb::Exclamation);
    EXPECT_EQ(type(first, "ElevenChars"), Result::Accepted);
    EXPECT_EQ(first->Value().text(), "ElevenChars");
    EXPECT_EQ(ui_.last(PromptKind::MsgBox)->title, GetMessage(115));
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, ValidationTextIsTheFirstLineOfTheMessage) {
    openSample();
    clickTable("Products");
    auto discount = cell("Discount", 1);
    EXPECT_EQ(discount->Validation()->ErrorMessage(), "A discount lies between 0 and 1.\r" + GetMessage(109));
    ui_.expectMsgBox(host::answer::Cancel, std::string("A discount lies between 0 and 1."));
    EXPECT_EQ(type(discount, "cheap"), Result::Refused);
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, GuidAndBooleanColumnsGetTheirRules) {
    openSample();
    clickTable("Products");
    auto guid = cell("ProductCode", 1)->Validation();
    EXPECT_EQ(guid->Type(), xl::ValidateTextLength);
    EXPECT_EQ(guid->Operator(), xl::Between);
    EXPECT_EQ(guid->ErrorMessage(), GetMessage(113));
    ui_.expectMsgBox(host::answer::Cancel, std::string("GUID"));
    EXPECT_EQ(type(cell("ProductCode", 1), "{1234}"), Result::Refused);
    auto flag = cell("Discontinued", 1)->Validation();
    EXPECT_EQ(flag->Type(), xl::ValidateList);
    EXPECT_EQ(flag->Formula1(), "=lst_Boolean");
    // A binary column carries no rule at all.
    EXPECT_EQ(cell("Barcode", 1)->Validation()->ErrorTitle(), "");
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, ForeignKeyColumnOffersTheRelatedTablesValues) {
    openSample();
    clickTable("Products");
    auto category = cell("CategoryID", 1);
    auto rule = category->Validation();
    EXPECT_EQ(rule->Type(), xl::ValidateList);
    EXPECT_EQ(rule->Formula1(), "=lst_1");
    EXPECT_EQ(rule->ErrorMessage(), GetMessage(98));
    // The list holds the categories' keys, in order.
    auto names = sheet()->Parent()->Names();
    auto values = names->Item("lst_1")->RefersToRange()->Values();
    ASSERT_GE(values.rows(), 2);
    EXPECT_EQ(values(1, 1).toLong(), 1);
    EXPECT_EQ(values(2, 1).toLong(), 2);
    auto list = form().ListSheet();
    EXPECT_EQ(list->Range("A1")->Value().text(), "Sources:");
    EXPECT_EQ(list->Range("B1")->Value().text(), "Lists:");
    EXPECT_EQ(list->Range("A5")->Value().text(), "Categories:");
    EXPECT_EQ(list->Range("B5")->Value().text(), "CategoryID");
    EXPECT_EQ(names->Item("lst_Boolean")->RefersToR1C1(), "=" + list->Name() + "!R3C2:R4C2");
    EXPECT_TRUE(list->Range("B3")->Value().toBool());
    EXPECT_FALSE(list->Range("B4")->Value().toBool());

    EXPECT_EQ(type(category, "2"), Result::Accepted);
    ui_.expectMsgBox(host::answer::Cancel, GetMessage(98));
    EXPECT_EQ(type(category, "999"), Result::Refused);
    ui_.verifyAllConsumed();
}

TEST_F(TableSheetTest, EachRelationGetsAListFollowingThePreviousOne) {
    openSample();
    clickTable("OrderLines");  // relations to Orders (two fields) and Products
    auto names = sheet()->Parent()->Names();
    ASSERT_TRUE(names->Exists("lst_1"));
    ASSERT_TRUE(names->Exists("lst_2"));
    ASSERT_TRUE(names->Exists("lst_3"));
    EXPECT_FALSE(names->Exists("lst_4"));
    auto first = names->Item("lst_1")->RefersToRange();
    auto second = names->Item("lst_2")->RefersToRange();
    // The next list's header sits right below the last value of the one before.
    EXPECT_EQ(second->Row(), first->Row() + first->RowsCount() + 1);

    // Another table: the old lists are gone and the Boolean list is back.
    clickTable("Customers");
    EXPECT_FALSE(names->Exists("lst_1"));
    EXPECT_TRUE(names->Exists("lst_Boolean"));
    EXPECT_EQ(form().ListSheet()->Range("A5")->Value().text(), "");
}

TEST_F(TableSheetTest, EmptyRelatedTableGivesTheEmptyMarker) {
    std::string path;
    makeDatabase("empty.sqlite",
                 {"CREATE TABLE Parent (ID LONG CONSTRAINT PK_Parent PRIMARY KEY)",
                  "CREATE TABLE Child (ID COUNTER CONSTRAINT PK_Child PRIMARY KEY, "
                  "ParentID LONG CONSTRAINT ChildParent REFERENCES Parent (ID))",
                  "INSERT INTO Child (ParentID) VALUES (NULL)"},
                 &path)
        ->Close();
    openSample(path);
    clickTable("Child");
    auto list = form().ListSheet();
    EXPECT_EQ(list->Range("B6")->Value().text(), "[leeg]");
    ASSERT_NE(list->Range("B5")->Comment(), nullptr);
    EXPECT_EQ(list->Range("B5")->Comment()->Text(), "Geen waarde(s) aangetroffen");
    EXPECT_EQ(sheet()->Parent()->Names()->Item("lst_1")->RefersToR1C1(), "=" + list->Name() + "!R6C2");
    EXPECT_EQ(cell("ParentID", 1)->Validation()->Formula1(), "=lst_1");
}

TEST_F(TableSheetTest, RunningTheRuleTwiceKeepsTheFirst) {
    openSample();
    clickTable("Products");
    auto& field = *matrix().Fields().Item("UnitsInStock");
    sheet()->Unprotect(clsAux::ProtectionPassword());
    cell("UnitsInStock", 1)->Validation()->SetErrorMessage("kept");
    matrix().FinalizeColumnData(false, field);
    EXPECT_EQ(cell("UnitsInStock", 1)->Validation()->ErrorMessage(), "kept");
}

}  // namespace
}  // namespace dalvera::testing
