#include <gtest/gtest.h>

#include <filesystem>

#include "platform/sheets/xlsx/XlsxPackage.h"
#include "platform/sheets/xlsx/XlsxWriter.h"
#include "runtime/Error.h"

namespace dalvera::platform::xlsx {
namespace {

TEST(XlsxPackage, UnescapeUndoesEscapeAndReadsCharacterReferences) {
    const std::string name = "A&B <\"x\"> 'y'";
    EXPECT_EQ(xmlUnescape(xmlEscape(name)), name);
    EXPECT_EQ(xmlUnescape("&#65;&#x42;&apos;&#x20AC;"), "AB'\xE2\x82\xAC");
    EXPECT_EQ(xmlUnescape("a &unknown; b & c"), "a &unknown; b & c");
}

TEST(XlsxPackage, VeryHiddenMatchesTheWholeNameHoweverItIsWritten) {
    // Attributes in another order, single quotes, a character reference and
    // a '>' inside a value: the element must still be read as one.
    std::string xml =
        "<workbook><sheets>"
        "<sheet name=\"Lijst2\" sheetId=\"1\" r:id=\"rId1\"/>"
        "<sheet sheetId='2' state='hidden' name='Lijst' r:id='rId2'/>"
        "<sheet name=\"a&#62;b>\" sheetId=\"3\" state=\"hidden\" r:id=\"rId3\"/>"
        "</sheets></workbook>";
    EXPECT_TRUE(markSheetVeryHidden(xml, "Lijst"));
    EXPECT_TRUE(markSheetVeryHidden(xml, "a>b>"));
    EXPECT_FALSE(markSheetVeryHidden(xml, "Lijst3"));
    EXPECT_EQ(xml,
              "<workbook><sheets>"
              "<sheet name=\"Lijst2\" sheetId=\"1\" r:id=\"rId1\"/>"
              "<sheet sheetId='2' state='veryHidden' name='Lijst' r:id='rId2'/>"
              "<sheet name=\"a&#62;b>\" sheetId=\"3\" state=\"veryHidden\" r:id=\"rId3\"/>"
              "</sheets></workbook>");
    std::string noSheets = "<workbook/>";
    EXPECT_FALSE(markSheetVeryHidden(noSheets, "Lijst"));
}

TEST(XlsxPackage, StructureProtectionGoesBeforeTheBookViews) {
    std::string xml = "<workbook><workbookPr/><bookViews><workbookView/></bookViews><sheets/></workbook>";
    addStructureProtection(xml, "");
    EXPECT_EQ(xml,
              "<workbook><workbookPr/><workbookProtection lockStructure=\"1\"/>"
              "<bookViews><workbookView/></bookViews><sheets/></workbook>");
    std::string noViews = "<workbook><sheets/></workbook>";
    addStructureProtection(noViews, "w58w");
    EXPECT_EQ(noViews.find("<workbookProtection workbookPassword=\""), std::string("<workbook>").size());
    std::string broken = "<workbook/>";
    EXPECT_THROW(addStructureProtection(broken, ""), Error);
}

TEST(XlsxPackage, SheetViewAttributesAreSetOnceAndCountsReplaced) {
    std::string xml = "<sheetViews><sheetView topLeftCell=\"A1\" workbookViewId=\"0\"/></sheetViews>"
                      "<dataValidations count=\"44\"><dataValidation/></dataValidations>";
    EXPECT_TRUE(patchSheetView(xml, true, "C7"));
    EXPECT_TRUE(setValidationCount(xml, 300));
    EXPECT_EQ(xml,
              "<sheetViews><sheetView topLeftCell=\"C7\" workbookViewId=\"0\" showRowColHeaders=\"0\"/></sheetViews>"
              "<dataValidations count=\"300\"><dataValidation/></dataValidations>");
    std::string none = "<sheetData/>";
    EXPECT_FALSE(patchSheetView(none, true, ""));
    EXPECT_FALSE(setValidationCount(none, 1));
}

TEST(XlsxPackage, CellNamesAndHostColours) {
    EXPECT_EQ(rgbFromHostColor(0x0000FF), 0xFF0000u);  // the host's red
    EXPECT_EQ(rgbFromHostColor(0xCCFFFF), 0xFFFFCCu);
    EXPECT_EQ(cellName(1, 1), "A1");
    EXPECT_EQ(cellName(12, 26), "Z12");
    EXPECT_EQ(cellName(3, 27), "AA3");
    EXPECT_EQ(cellName(1048576, 16384), "XFD1048576");
}

TEST(XlsxPackage, RewriteOfAMissingOrDamagedArchiveIsRefused) {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string missing = (dir / "dalvera_no_such_archive.xlsx").string();
    const std::string target = (dir / "dalvera_rewrite_target.xlsx").string();
    try {
        rewriteZip(missing, target, {});
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 1004);
        EXPECT_NE(e.description().find(target), std::string::npos);
    }
    std::filesystem::remove(target);
}

}  // namespace
}  // namespace dalvera::platform::xlsx
