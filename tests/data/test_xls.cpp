// The older variants keep their table workbook as ".xls": the file written is
// that binary format, read back here with a reader of its own.
#include <filesystem>

#include "DataFixture.h"
#include "XlsReader.h"
#include "runtime/DateSerial.h"
#include "sheet/clsForm.h"

namespace dalvera::testing {

TEST_F(DataTest, TheOlderVariantOpensTheSampleWithAnXlsTableWorkbook) {
    startAddin(11, "11.0");
    std::string hint;
    openThroughDialog(sampleCopy(), &hint);
    ui_.verifyAllConsumed();
    EXPECT_EQ(hint, GetMessage(24));
    ASSERT_TRUE(goApplication->IsConnected());

    std::string file = temp_ + "/" + GetProductName() + ".xls";
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    XlsBook book = readXls(file);
    ASSERT_TRUE(book.ok);
    ASSERT_EQ(book.sheets.size(), 2u);
    EXPECT_EQ(book.sheets[0].name, GetProductName());
    EXPECT_EQ(book.sheets[0].state, 0);
    EXPECT_EQ(book.sheets[1].state, 2) << "the list sheet is very hidden";

    // An old host shows no tool tips: the query buttons keep their captions.
    auto queries = goApplication->MenuBar().FindControlByTag(tag::Queries)->Controls();
    ASSERT_GT(queries->Count(), 0);
    for (long i = 1; i <= queries->Count(); ++i) EXPECT_EQ(queries->Item(i)->ToolTipText(), queries->Item(i)->Caption());
}

TEST_F(DataTest, TheOlderVariantOnARibbonHostHintsTheMenuAndShowsToolTips) {
    startAddin(11, "16.0");
    std::string hint;
    openThroughDialog(sampleCopy(), &hint);
    ui_.verifyAllConsumed();
    EXPECT_EQ(hint, GetMessage(24));
    ASSERT_TRUE(goApplication->IsConnected());
    EXPECT_TRUE(std::filesystem::exists(temp_ + "/" + GetProductName() + ".xls"));
    auto queries = goApplication->MenuBar().FindControlByTag(tag::Queries)->Controls();
    ASSERT_GT(queries->Count(), 0);
    EXPECT_EQ(queries->Item(1)->ToolTipText(), goApplication->DataSource()->Queries().Item(1)->SQL());
}

TEST_F(DataTest, XlsFilesKeepValuesTextsAndSheetStates) {
    Session& s = startAddin(11, "11.0");
    auto book = s.app().Workbooks().Add();
    auto sheets = book->Worksheets();
    auto first = sheets->Item(1);
    first->SetName("Data");
    first->Cells(1, 1)->SetValue(Variant("Naïve café €"));
    first->Cells(1, 2)->SetValue(Variant(42.5));
    first->Cells(1, 3)->SetValue(Variant(true));
    first->Cells(2, 1)->SetValue(Variant::date(dateSerial(2024, 3, 7)));
    first->Cells(2, 2)->SetValue(Variant("Naïve café €"));
    // Enough text to run over several records of the string table, one text across a boundary.
    std::string longText(5000, 'x');
    first->Cells(3, 1)->SetValue(Variant(longText));
    for (int r = 4; r < 304; ++r) first->Cells(r, 2)->SetValue(Variant("row text number " + std::to_string(r)));
    auto second = sheets->Add(nullptr, first);
    second->SetName("Lists");
    second->Cells(1, 1)->SetValue(Variant("hidden value"));
    second->SetVisible(host::xl::SheetHidden);
    first->Protect("secret");
    book->Protect("w58w");

    std::string path = dir_ + "/values.xls";
    book->SaveAs(path);
    XlsBook read = readXls(path);
    ASSERT_TRUE(read.ok);
    ASSERT_EQ(read.sheets.size(), 2u);
    EXPECT_TRUE(read.isProtected);
    const auto& cells = read.sheets[0].cells;
    EXPECT_EQ(read.sheets[0].name, "Data");
    EXPECT_TRUE(read.sheets[0].isProtected);
    EXPECT_EQ(cells.at({0, 0}), "Naïve café €");
    EXPECT_EQ(cells.at({0, 1}), "42.5");
    EXPECT_EQ(cells.at({0, 2}), "TRUE");
    EXPECT_EQ(cells.at({1, 0}), std::to_string(static_cast<int>(dateSerial(2024, 3, 7))));
    EXPECT_EQ(cells.at({1, 1}), "Naïve café €");
    EXPECT_EQ(cells.at({2, 0}), longText);
    EXPECT_EQ(cells.at({302, 1}), "row text number 303");
    EXPECT_EQ(read.strings.size(), 303u) << "each text is stored once";
    EXPECT_EQ(read.sheets[1].name, "Lists");
    EXPECT_EQ(read.sheets[1].state, 1);
    EXPECT_EQ(read.sheets[1].cells.at({0, 0}), "hidden value");
    EXPECT_FALSE(read.sheets[1].isProtected);
}

TEST_F(DataTest, AWorkbookBeyondTheXlsLimitsIsRefusedAndNothingIsWritten) {
    Session& s = startAddin(11, "11.0");
    auto book = s.app().Workbooks().Add();
    book->Worksheets()->Item(1)->Cells(70000, 1)->SetValue(Variant(1.0));
    std::string path = dir_ + "/big.xls";
    try {
        book->SaveAs(path);
        ADD_FAILURE() << "saved";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::HostRefusal);
        EXPECT_NE(e.description().find("65536"), std::string::npos) << e.description();
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

}  // namespace dalvera::testing
