#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "ZipEntries.h"
#include "platform/sheets/xlsx/XlsxWriter.h"
#include "runtime/Error.h"

namespace dalvera::platform::xlsx {
namespace {

namespace fs = std::filesystem;
using test::readZipEntries;

// The start tag of the first element <tag ...> whose text holds mark.
std::string elementWith(const std::string& xml, const std::string& tag, const std::string& mark = "") {
    const std::string open = "<" + tag;
    for (size_t p = xml.find(open); p != std::string::npos; p = xml.find(open, p + 1)) {
        const char after = xml[p + open.size()];
        if (after != ' ' && after != '>' && after != '/') continue;
        const size_t end = xml.find('>', p);
        const std::string element = xml.substr(p, end - p + 1);
        if (element.find(mark) != std::string::npos) return element;
    }
    return {};
}

// The text between <tag ...> and </tag> of the first such element holding mark in its start tag.
std::string contentOf(const std::string& xml, const std::string& tag, const std::string& mark = "") {
    const std::string start = elementWith(xml, tag, mark);
    if (start.empty()) return {};
    const size_t from = xml.find(start) + start.size();
    return xml.substr(from, xml.find("</" + tag + ">", from) - from);
}

std::string attribute(const std::string& element, const std::string& name) {
    const std::string key = " " + name + "=\"";
    const size_t p = element.find(key);
    if (p == std::string::npos) return "<absent>";
    const size_t from = p + key.size();
    return element.substr(from, element.find('"', from) - from);
}

class Cells {
public:
    struct Cell {
        long row, col;
        Variant value;
        int style;
    };
    Cells& add(long row, long col, Variant value, int style = -1) {
        cells_.push_back({row, col, std::move(value), style});
        return *this;
    }
    CellSource source() const {
        return [cells = cells_](CellSink& sink) {
            for (const auto& c : cells) sink.cell(c.row, c.col, c.value, c.style);
        };
    }

private:
    std::vector<Cell> cells_;
};

class XlsxTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("dalvera_xlsx_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string file(const std::string& name = "book.xlsx") const { return (dir_ / name).string(); }
    std::vector<std::string> folderListing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string fileText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static WorkbookDescription oneSheet(Cells cells, std::vector<CellStyle> styles = {}) {
        WorkbookDescription wb;
        wb.styles = std::move(styles);
        wb.sheets.push_back({});
        wb.sheets[0].name = "Data";
        wb.sheets[0].cells = cells.source();
        return wb;
    }
    // Saves and returns the package's parts; fails the test when saving fails.
    std::map<std::string, std::string> saveAndRead(const WorkbookDescription& wb) {
        try {
            saveXlsx(wb, file());
        } catch (const Error& e) {
            ADD_FAILURE() << "save failed: " << e.number() << " " << e.description();
        }
        return readZipEntries(file());
    }

    fs::path dir_;
};

// The table workbook as the system saves it: a protected, filtered table sheet
// and a very hidden list sheet feeding its drop-down through a workbook name.
WorkbookDescription tableWorkbook() {
    WorkbookDescription wb;
    CellStyle header;
    header.bold = true;
    header.fill = 0xC0C0C0;
    header.fontColor = 0x000080;
    header.borderBottom = true;
    header.horizontalAlignment = kAlignCenter;
    CellStyle editable;
    editable.locked = false;
    editable.fill = 0xFFFFCC;
    CellStyle date = editable;
    date.numberFormat = "dd-mm-yyyy";
    wb.styles = {header, editable, date};

    SheetDescription table;
    table.name = "Klanten Tabel";
    table.columns = {{1, 1, 12.0, false, 1}, {2, 2, 30.0, true, -1}, {3, 3, 20.0, false, 2}, {4, 4, {}, false, 1}};
    Cells cells;
    cells.add(1, 1, "Id", 0).add(1, 2, "Code", 0).add(1, 3, "Geboren", 0).add(1, 4, "Stad", 0);
    cells.add(2, 1, 1, 1).add(2, 2, "a", 1).add(2, 3, Variant::date(36526), 2).add(2, 4, "Jan", 1);
    cells.add(3, 1, 2, 1).add(3, 2, "b", 1).add(3, 3, Variant::date(36527), 2).add(3, 4, "Piet", 1);
    cells.add(4, 1, 3, 1).add(4, 2, "c", 1).add(4, 4, "Jan", 1);
    table.cells = cells.source();
    table.rows = {{3, {}, true}};

    DataValidation list;
    list.ranges = {{2, 2, 4, 2}};
    list.type = ValidationType::List;
    list.formula1 = "=lst_1";
    DataValidation whole;
    whole.ranges = {{2, 1, 4, 1}};
    whole.type = ValidationType::WholeNumber;
    whole.op = ValidationOperator::Between;
    whole.formula1 = "1";
    whole.formula2 = "100";
    whole.errorTitle = "Ongeldig";
    whole.errorMessage = "Geef een geheel getal";
    table.validations = {list, whole};
    table.comments = {{1, 1, "Sleutelveld van de\x02 tabel", "Dalvera", false}};
    table.protection.on = true;
    table.protection.password = "w58w";
    table.protection.allowFormattingColumns = true;
    table.protection.allowFiltering = true;
    table.window.freezeRows = 1;
    table.autoFilter.on = true;
    table.autoFilter.range = {1, 1, 4, 4};
    table.autoFilter.filters = {{4, "=Jan", FilterOperator::And, ""}};

    SheetDescription lists;
    lists.name = "Lijsten";
    lists.visibility = SheetVisibility::VeryHidden;
    lists.cells = Cells().add(1, 1, "a").add(2, 1, "b").add(3, 1, "c").source();
    lists.protection.on = true;
    lists.protection.password = "w58w";

    wb.sheets = {table, lists};
    wb.names = {{"lst_1", "=Lijsten!$A$1:$A$3", ""}};
    wb.protectStructure = true;
    wb.structurePassword = "w58w";
    wb.properties.title = "Klanten";
    wb.properties.author = "Dalvera";
    wb.properties.revisionNumber = 12;
    return wb;
}

// ---------------------------------------------------------------- the table workbook

class TableWorkbookTest : public XlsxTest {
protected:
    void SetUp() override {
        XlsxTest::SetUp();
        parts_ = saveAndRead(tableWorkbook());
    }
    const std::string& part(const std::string& name) {
        static const std::string none;
        auto it = parts_.find(name);
        EXPECT_NE(it, parts_.end()) << "missing part " << name;
        return it == parts_.end() ? none : it->second;
    }
    std::map<std::string, std::string> parts_;
};

TEST_F(TableWorkbookTest, PackageIsCompleteAndReadable) {
    for (const char* name : {"[Content_Types].xml", "xl/workbook.xml", "xl/styles.xml", "xl/worksheets/sheet1.xml",
                             "xl/worksheets/sheet2.xml", "xl/comments1.xml", "docProps/core.xml", "docProps/custom.xml"})
        EXPECT_TRUE(parts_.count(name)) << name;
    for (const auto& [name, content] : parts_) EXPECT_NE(content, "<unreadable>") << name;
    EXPECT_EQ(folderListing(), std::vector<std::string>{"book.xlsx"});
}

TEST_F(TableWorkbookTest, ListSheetIsVeryHiddenAndTableSheetVisible) {
    const std::string& wb = part("xl/workbook.xml");
    EXPECT_EQ(attribute(elementWith(wb, "sheet", "name=\"Lijsten\""), "state"), "veryHidden");
    EXPECT_EQ(attribute(elementWith(wb, "sheet", "name=\"Klanten Tabel\""), "state"), "<absent>");
    EXPECT_EQ(wb.find("state=\"hidden\""), std::string::npos);
}

TEST_F(TableWorkbookTest, NamesAndStructureProtection) {
    const std::string& wb = part("xl/workbook.xml");
    EXPECT_EQ(contentOf(wb, "definedName", "name=\"lst_1\""), "Lijsten!$A$1:$A$3");
    // The filter range gets its hidden built-in name.
    EXPECT_EQ(contentOf(wb, "definedName", "_xlnm._FilterDatabase"), "'Klanten Tabel'!$A$1:$D$4");
    const std::string protection = elementWith(wb, "workbookProtection");
    ASSERT_FALSE(protection.empty());
    EXPECT_EQ(attribute(protection, "lockStructure"), "1");
    // Same password, same hash as the library gives the sheet.
    const std::string sheetHash = attribute(elementWith(part("xl/worksheets/sheet1.xml"), "sheetProtection"), "password");
    EXPECT_EQ(attribute(protection, "workbookPassword"), sheetHash);
    EXPECT_LT(wb.find("<workbookProtection"), wb.find("<bookViews"));
}

TEST_F(TableWorkbookTest, ValidationsReferToTheListNameAndCarryTheirAlerts) {
    const std::string& sheet = part("xl/worksheets/sheet1.xml");
    const std::string list = elementWith(sheet, "dataValidation", "type=\"list\"");
    EXPECT_EQ(attribute(list, "sqref"), "B2:B4");
    EXPECT_EQ(contentOf(sheet, "dataValidation", "type=\"list\""), "<formula1>lst_1</formula1>");
    const std::string whole = elementWith(sheet, "dataValidation", "type=\"whole\"");
    EXPECT_EQ(attribute(whole, "sqref"), "A2:A4");
    EXPECT_EQ(attribute(whole, "errorStyle"), "<absent>");  // stop is the default
    EXPECT_EQ(attribute(whole, "errorTitle"), "Ongeldig");
    EXPECT_EQ(attribute(whole, "error"), "Geef een geheel getal");
    EXPECT_EQ(attribute(whole, "showErrorMessage"), "1");
    EXPECT_EQ(contentOf(sheet, "dataValidation", "type=\"whole\""), "<formula1>1</formula1><formula2>100</formula2>");
}

TEST_F(TableWorkbookTest, SheetProtectionAllowsColumnsAndFilterOnly) {
    const std::string protection = elementWith(part("xl/worksheets/sheet1.xml"), "sheetProtection");
    ASSERT_FALSE(protection.empty());
    EXPECT_NE(attribute(protection, "password"), "<absent>");
    EXPECT_EQ(attribute(protection, "sheet"), "1");
    EXPECT_EQ(attribute(protection, "formatColumns"), "0");
    EXPECT_EQ(attribute(protection, "autoFilter"), "0");
    EXPECT_EQ(attribute(protection, "formatCells"), "<absent>");
    EXPECT_EQ(attribute(protection, "sort"), "<absent>");
    EXPECT_EQ(attribute(protection, "selectLockedCells"), "<absent>");
    EXPECT_FALSE(elementWith(part("xl/worksheets/sheet2.xml"), "sheetProtection").empty());
}

TEST_F(TableWorkbookTest, FrozenHeaderRowAutoFilterAndHiddenRowsAndColumns) {
    const std::string& sheet = part("xl/worksheets/sheet1.xml");
    const std::string pane = elementWith(sheet, "pane");
    EXPECT_EQ(attribute(pane, "ySplit"), "1");
    EXPECT_EQ(attribute(pane, "topLeftCell"), "A2");
    EXPECT_EQ(attribute(pane, "state"), "frozen");
    EXPECT_EQ(attribute(elementWith(sheet, "autoFilter"), "ref"), "A1:D4");
    EXPECT_EQ(attribute(elementWith(sheet, "filterColumn"), "colId"), "3");
    EXPECT_EQ(attribute(elementWith(sheet, "filter"), "val"), "Jan");
    EXPECT_EQ(attribute(elementWith(sheet, "col", "min=\"2\""), "hidden"), "1");
    EXPECT_EQ(attribute(elementWith(sheet, "col", "min=\"1\""), "hidden"), "<absent>");
    EXPECT_EQ(attribute(elementWith(sheet, "col", "min=\"3\""), "width"), "20.7109375");
    EXPECT_EQ(attribute(elementWith(sheet, "row", "r=\"3\""), "hidden"), "1");
    EXPECT_EQ(attribute(elementWith(sheet, "row", "r=\"2\""), "hidden"), "<absent>");
}

TEST_F(TableWorkbookTest, CellValuesAndTheirStyles) {
    const std::string& sheet = part("xl/worksheets/sheet1.xml");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"A2\""), "<v>1</v>");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"C2\""), "<v>36526</v>");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"D3\""), "<is><t>Piet</t></is>");
    EXPECT_TRUE(elementWith(sheet, "c", "r=\"C4\"").empty());
    // Header, editable and date cells each point at a different style.
    const std::string sHeader = attribute(elementWith(sheet, "c", "r=\"A1\""), "s");
    const std::string sEdit = attribute(elementWith(sheet, "c", "r=\"A2\""), "s");
    const std::string sDate = attribute(elementWith(sheet, "c", "r=\"C2\""), "s");
    EXPECT_NE(sHeader, sEdit);
    EXPECT_NE(sEdit, sDate);
    EXPECT_EQ(attribute(elementWith(sheet, "c", "r=\"D4\""), "s"), sEdit);
    EXPECT_EQ(attribute(elementWith(sheet, "col", "min=\"4\""), "style"), sEdit);
}

TEST_F(TableWorkbookTest, StylesHoldBoldFillLockAndDateFormat) {
    const std::string& styles = part("xl/styles.xml");
    EXPECT_NE(styles.find("<b/>"), std::string::npos);
    EXPECT_NE(styles.find("<fgColor rgb=\"FFC0C0C0\"/>"), std::string::npos);
    EXPECT_NE(styles.find("<fgColor rgb=\"FFFFFFCC\"/>"), std::string::npos);
    EXPECT_NE(styles.find("<color rgb=\"FF000080\"/>"), std::string::npos);
    EXPECT_NE(styles.find("formatCode=\"dd-mm-yyyy\""), std::string::npos);
    EXPECT_NE(styles.find("<protection locked=\"0\"/>"), std::string::npos);
    EXPECT_NE(styles.find("<bottom style=\"thin\">"), std::string::npos);
    EXPECT_NE(styles.find("horizontal=\"center\""), std::string::npos);
}

TEST_F(TableWorkbookTest, CommentAndDocumentProperties) {
    const std::string& comments = part("xl/comments1.xml");
    EXPECT_NE(comments.find("Sleutelveld van de tabel"), std::string::npos);  // control character dropped
    EXPECT_NE(comments.find("<author>Dalvera</author>"), std::string::npos);
    EXPECT_EQ(attribute(elementWith(comments, "comment"), "ref"), "A1");
    EXPECT_EQ(contentOf(part("docProps/core.xml"), "dc:title"), "Klanten");
    EXPECT_EQ(contentOf(part("docProps/core.xml"), "dc:creator"), "Dalvera");
    const std::string& custom = part("docProps/custom.xml");
    EXPECT_EQ(contentOf(custom, "property", "name=\"Revision Number\""), "<vt:i4>12</vt:i4>");
}

// ---------------------------------------------------------------- values and sheet options

TEST_F(XlsxTest, ValuesAreWrittenByTheirType) {
    CellStyle shaded;
    shaded.fill = 0xEEEEEE;
    Cells cells;
    cells.add(1, 1, true)
        .add(1, 2, Variant::currencyScaled(123456))
        .add(1, 3, Variant::date(45000.5))
        .add(1, 4, Variant(), 0)
        .add(1, 5, Variant::null())
        .add(1, 6, std::numeric_limits<double>::quiet_NaN(), 0)
        .add(1, 7, "<a & \"b\">")
        .add(1, 8, "Zo\xC3\xAB \xE2\x82\xAC")
        .add(1, 9, "bad\xFF")
        .add(1, 10, Variant::longLong(9007199254740993LL))
        .add(1, 11, std::vector<std::uint8_t>{1, 2, 3}, 0)
        .add(1, 12, "a\x01" "b\tc _x0041_");
    auto parts = saveAndRead(oneSheet(cells, {shaded}));
    const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
    EXPECT_EQ(attribute(elementWith(sheet, "c", "r=\"A1\""), "t"), "b");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"A1\""), "<v>1</v>");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"B1\""), "<v>12.3456</v>");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"C1\""), "<v>45000.5</v>");
    // A date without a number format of its own still shows as a date.
    const std::string dateStyle = attribute(elementWith(sheet, "c", "r=\"C1\""), "s");
    EXPECT_NE(dateStyle, "<absent>");
    EXPECT_NE(parts["xl/styles.xml"].find("formatCode=\"m/d/yyyy h:mm\""), std::string::npos);
    // Blanks keep their style: Empty, NaN and byte arrays alike.
    const std::string shadedStyle = attribute(elementWith(sheet, "c", "r=\"D1\""), "s");
    EXPECT_NE(shadedStyle, "<absent>");
    EXPECT_NE(shadedStyle, dateStyle);
    EXPECT_EQ(elementWith(sheet, "c", "r=\"D1\""), "<c r=\"D1\" s=\"" + shadedStyle + "\"/>");
    EXPECT_TRUE(elementWith(sheet, "c", "r=\"E1\"").empty());  // unstyled Null: nothing to keep
    EXPECT_EQ(elementWith(sheet, "c", "r=\"F1\""), "<c r=\"F1\" s=\"" + shadedStyle + "\"/>");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"G1\""), "<is><t>&lt;a &amp; \"b\"&gt;</t></is>");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"H1\""), "<is><t>Zo\xC3\xAB \xE2\x82\xAC</t></is>");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"I1\""), "<is><t>bad\xEF\xBF\xBD</t></is>");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"J1\""), "<v>9007199254740992</v>");
    EXPECT_EQ(elementWith(sheet, "c", "r=\"K1\""), "<c r=\"K1\" s=\"" + shadedStyle + "\"/>");
    // Control characters are escaped; a literal escape-like text is kept literal.
    EXPECT_EQ(contentOf(sheet, "c", "r=\"L1\""), "<is><t>a_x0001_b\tc _x005F_x0041_</t></is>");
}

TEST_F(XlsxTest, OverlongTextIsCutToTheCellLimitOnACharacterBoundary) {
    std::string text;
    for (size_t i = 0; i < kMaxCellText + 10; ++i) text += "\xC3\xA9";  // two bytes each
    auto parts = saveAndRead(oneSheet(Cells().add(1, 1, text)));
    const std::string value = contentOf(parts["xl/worksheets/sheet1.xml"], "c", "r=\"A1\"");
    EXPECT_EQ(value.size(), std::string("<is><t></t></is>").size() + 2 * kMaxCellText);
}

TEST_F(XlsxTest, WindowSettingsWithoutFrozenPane) {
    auto wb = oneSheet(Cells().add(1, 1, 0));
    auto& w = wb.sheets[0].window;
    w.showGridLines = false;
    w.showHeadings = false;
    w.showZeros = false;
    w.scrollRow = 5;
    w.scrollColumn = 2;
    w.selection = CellRange{3, 3, 4, 4};
    auto parts = saveAndRead(wb);
    const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
    const std::string view = elementWith(sheet, "sheetView");
    EXPECT_EQ(attribute(view, "showGridLines"), "0");
    EXPECT_EQ(attribute(view, "showRowColHeaders"), "0");
    EXPECT_EQ(attribute(view, "showZeros"), "0");
    EXPECT_EQ(attribute(view, "topLeftCell"), "B5");
    const std::string selection = elementWith(sheet, "selection");
    EXPECT_EQ(attribute(selection, "activeCell"), "C3");
    EXPECT_EQ(attribute(selection, "sqref"), "C3:D4");
    EXPECT_TRUE(elementWith(sheet, "pane").empty());
}

TEST_F(XlsxTest, FrozenPaneScrolledPastTheSplit) {
    auto wb = oneSheet(Cells().add(1, 1, 1));
    wb.sheets[0].window.freezeRows = 1;
    wb.sheets[0].window.freezeCols = 2;
    wb.sheets[0].window.scrollRow = 40;
    auto parts = saveAndRead(wb);
    const std::string pane = elementWith(parts["xl/worksheets/sheet1.xml"], "pane");
    EXPECT_EQ(attribute(pane, "xSplit"), "2");
    EXPECT_EQ(attribute(pane, "ySplit"), "1");
    EXPECT_EQ(attribute(pane, "topLeftCell"), "C40");
    EXPECT_EQ(attribute(pane, "state"), "frozen");
}

TEST_F(XlsxTest, FilterCriteriaWithOperators) {
    auto wb = oneSheet(Cells().add(1, 1, "a").add(1, 2, "b").add(1, 3, "c").add(2, 1, 1));
    wb.sheets[0].autoFilter.on = true;
    wb.sheets[0].autoFilter.range = {1, 1, 9, 3};
    wb.sheets[0].autoFilter.filters = {{1, ">5", FilterOperator::Or, "<=2"}, {3, "=", FilterOperator::And, ""}};
    auto parts = saveAndRead(wb);
    const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
    const std::string first = contentOf(sheet, "filterColumn", "colId=\"0\"");
    EXPECT_EQ(attribute(elementWith(first, "customFilters"), "and"), "<absent>");  // or
    EXPECT_EQ(attribute(elementWith(first, "customFilter", "greaterThan"), "val"), "5");
    EXPECT_EQ(attribute(elementWith(first, "customFilter", "lessThanOrEqual"), "val"), "2");
    const std::string blanks = contentOf(sheet, "filterColumn", "colId=\"2\"");
    EXPECT_EQ(attribute(elementWith(blanks, "filters"), "blank"), "1");
}

TEST_F(XlsxTest, ValidationKindsAndAlerts) {
    auto wb = oneSheet(Cells().add(1, 1, 1));
    DataValidation literal;
    literal.ranges = {{2, 1, 10, 1}, {2, 3, 10, 3}};
    literal.type = ValidationType::List;
    literal.formula1 = "ja,nee";
    literal.inCellDropdown = false;
    DataValidation length;
    length.ranges = {{2, 2, 10, 2}};
    length.type = ValidationType::TextLength;
    length.op = ValidationOperator::LessOrEqual;
    length.formula1 = "50";
    length.alertStyle = AlertStyle::Warning;
    length.ignoreBlank = false;
    length.inputTitle = "Naam";
    length.inputMessage = "Hoogstens 50 tekens";
    DataValidation date;
    date.ranges = {{2, 4, 10, 4}};
    date.type = ValidationType::Date;
    date.op = ValidationOperator::GreaterOrEqual;
    date.formula1 = "36526";
    date.alertStyle = AlertStyle::Information;
    wb.sheets[0].validations = {literal, length, date};
    auto parts = saveAndRead(wb);
    const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
    EXPECT_EQ(contentOf(sheet, "dataValidation", "sqref=\"A2:A10\""), "<formula1>\"ja,nee\"</formula1>");
    EXPECT_EQ(contentOf(sheet, "dataValidation", "sqref=\"C2:C10\""), "<formula1>\"ja,nee\"</formula1>");
    // The file format's flag for "no drop-down" is named the other way round.
    EXPECT_EQ(attribute(elementWith(sheet, "dataValidation", "sqref=\"A2:A10\""), "showDropDown"), "1");
    const std::string len = elementWith(sheet, "dataValidation", "type=\"textLength\"");
    EXPECT_EQ(attribute(len, "operator"), "lessThanOrEqual");
    EXPECT_EQ(attribute(len, "errorStyle"), "warning");
    EXPECT_EQ(attribute(len, "allowBlank"), "<absent>");
    EXPECT_EQ(attribute(len, "promptTitle"), "Naam");
    EXPECT_EQ(attribute(len, "prompt"), "Hoogstens 50 tekens");
    const std::string d = elementWith(sheet, "dataValidation", "type=\"date\"");
    EXPECT_EQ(attribute(d, "operator"), "greaterThanOrEqual");
    EXPECT_EQ(attribute(d, "errorStyle"), "information");
    EXPECT_EQ(contentOf(sheet, "dataValidation", "type=\"date\""), "<formula1>36526</formula1>");
}

TEST_F(XlsxTest, MoreThan255ValidationsAreCountedRight) {
    auto wb = oneSheet(Cells().add(1, 1, 1));
    for (long c = 1; c <= 300; ++c) {
        DataValidation v;
        v.ranges = {{2, c, 10, c}};
        v.type = ValidationType::Decimal;
        v.op = ValidationOperator::Greater;
        v.formula1 = "0";
        wb.sheets[0].validations.push_back(v);
    }
    auto parts = saveAndRead(wb);
    const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
    EXPECT_EQ(attribute(elementWith(sheet, "dataValidations"), "count"), "300");
    EXPECT_FALSE(elementWith(sheet, "dataValidation", "sqref=\"KN2:KN10\"").empty());
}

TEST_F(XlsxTest, SavingThroughALinkReplacesTheLinkedFile) {
    saveAndRead(oneSheet(Cells().add(1, 1, "oud")));
    fs::create_symlink(file(), file("link.xlsx"));
    saveXlsx(oneSheet(Cells().add(1, 1, "nieuw")), file("link.xlsx"));
    EXPECT_TRUE(fs::is_symlink(file("link.xlsx")));
    auto parts = readZipEntries(file());
    EXPECT_EQ(contentOf(parts["xl/worksheets/sheet1.xml"], "c", "r=\"A1\""), "<is><t>nieuw</t></is>");
}

TEST_F(XlsxTest, VeryHiddenSheetIsFoundByItsExactName) {
    WorkbookDescription wb;
    for (const char* name : {"Lijst", "A&B <\"x\">", "Lijst2", "Verborgen"}) {
        wb.sheets.push_back({});
        wb.sheets.back().name = name;
    }
    wb.sheets[1].visibility = SheetVisibility::VeryHidden;
    wb.sheets[2].visibility = SheetVisibility::Hidden;
    wb.sheets[3].visibility = SheetVisibility::VeryHidden;
    wb.activeSheet = 1;
    auto parts = saveAndRead(wb);
    const std::string& xml = parts["xl/workbook.xml"];
    EXPECT_EQ(attribute(elementWith(xml, "sheet", "sheetId=\"1\""), "state"), "<absent>");
    EXPECT_EQ(attribute(elementWith(xml, "sheet", "sheetId=\"2\""), "state"), "veryHidden");
    EXPECT_EQ(attribute(elementWith(xml, "sheet", "sheetId=\"3\""), "state"), "hidden");
    EXPECT_EQ(attribute(elementWith(xml, "sheet", "sheetId=\"4\""), "state"), "veryHidden");
    EXPECT_EQ(elementWith(xml, "workbookProtection"), "");
}

TEST_F(XlsxTest, ActiveSheetAfterAHiddenFirstSheet) {
    WorkbookDescription wb;
    for (const char* name : {"Verborgen", "Eerste", "Tweede"}) {
        wb.sheets.push_back({});
        wb.sheets.back().name = name;
    }
    wb.sheets[0].visibility = SheetVisibility::Hidden;
    wb.activeSheet = 3;
    auto parts = saveAndRead(wb);
    const std::string view = elementWith(parts["xl/workbook.xml"], "workbookView");
    EXPECT_EQ(attribute(view, "activeTab"), "2");
    EXPECT_EQ(attribute(view, "firstSheet"), "1");
}

TEST_F(XlsxTest, SheetScopedNameAndNamesThatLookLikeReferences) {
    auto wb = oneSheet(Cells().add(1, 1, 1));
    wb.sheets[0].name = "Mijn Data";
    // Past the last column or row, or with more after the reference: plain names.
    wb.names = {{"Totaal", "='Mijn Data'!$A$1", "Mijn Data"}, {"XFE1", "=1", ""}, {"A1048577", "=1", ""},
                {"R1C1x", "=1", ""}, {"_lst.2", "=1", ""}};
    auto parts = saveAndRead(wb);
    const std::string name = elementWith(parts["xl/workbook.xml"], "definedName", "name=\"Totaal\"");
    EXPECT_EQ(attribute(name, "localSheetId"), "0");
    EXPECT_EQ(contentOf(parts["xl/workbook.xml"], "definedName", "name=\"Totaal\""), "'Mijn Data'!$A$1");
}

TEST_F(XlsxTest, RowHeightsInAnyOrderAndRowsWithoutCells) {
    auto wb = oneSheet(Cells().add(2, 1, "x").add(5, 1, "y"));
    wb.sheets[0].rows = {{9, 30.0, false}, {1, {}, true}, {5, 24.0, false}};
    auto parts = saveAndRead(wb);
    const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
    EXPECT_EQ(attribute(elementWith(sheet, "row", "r=\"1\""), "hidden"), "1");
    EXPECT_EQ(attribute(elementWith(sheet, "row", "r=\"5\""), "ht"), "24");
    EXPECT_EQ(attribute(elementWith(sheet, "row", "r=\"9\""), "ht"), "30");
    EXPECT_EQ(contentOf(sheet, "c", "r=\"A5\""), "<is><t>y</t></is>");
}

// ---------------------------------------------------------------- refusals and file safety

long saveError(const WorkbookDescription& wb, const std::string& path, std::string* description = nullptr) {
    try {
        saveXlsx(wb, path);
    } catch (const Error& e) {
        if (description) *description = e.description();
        return e.number();
    }
    return 0;
}

TEST_F(XlsxTest, InvalidSheetNamesAreRefused) {
    for (const std::string& name : {std::string(), std::string(32, 'x'), std::string("a/b"), std::string("[x]"),
                                   std::string("'quoted'"), std::string("what?")}) {
        auto wb = oneSheet(Cells());
        wb.sheets[0].name = name;
        std::string description;
        EXPECT_EQ(saveError(wb, file(), &description), 1004) << name;
        EXPECT_NE(description.find("sheet name"), std::string::npos) << description;
    }
    auto wb = oneSheet(Cells());
    wb.sheets.push_back({});
    wb.sheets[1].name = "DATA";
    EXPECT_EQ(saveError(wb, file()), 1004);
    wb.sheets[1].name = std::string(31, 'x');  // the longest allowed
    EXPECT_EQ(saveError(wb, file()), 0);
    EXPECT_EQ(folderListing(), std::vector<std::string>{"book.xlsx"});
}

TEST_F(XlsxTest, CellsOutsideTheGridOrOutOfOrderAreRefused) {
    std::string description;
    EXPECT_EQ(saveError(oneSheet(Cells().add(kMaxRows + 1, 1, 1)), file(), &description), 1004);
    EXPECT_NE(description.find("1048576 rows"), std::string::npos) << description;
    EXPECT_EQ(saveError(oneSheet(Cells().add(1, kMaxCols + 1, 1)), file()), 1004);
    EXPECT_EQ(saveError(oneSheet(Cells().add(0, 1, 1)), file()), 1004);
    EXPECT_EQ(saveError(oneSheet(Cells().add(2, 1, 1).add(1, 5, 1)), file(), &description), 1004);
    EXPECT_NE(description.find("row by row"), std::string::npos) << description;
    EXPECT_EQ(saveError(oneSheet(Cells().add(1, 2, 1).add(1, 2, 1)), file()), 1004);
    EXPECT_EQ(saveError(oneSheet(Cells().add(kMaxRows, kMaxCols, 1)), file()), 0);
}

TEST_F(XlsxTest, InconsistentDescriptionsAreRefused) {
    auto styled = oneSheet(Cells().add(1, 1, 1, 3), {CellStyle{}});
    EXPECT_EQ(saveError(styled, file()), 1004);

    auto hiddenActive = oneSheet(Cells());
    hiddenActive.sheets[0].visibility = SheetVisibility::Hidden;
    hiddenActive.sheets.push_back({});
    hiddenActive.sheets[1].name = "Zichtbaar";
    EXPECT_EQ(saveError(hiddenActive, file()), 1004);
    hiddenActive.sheets[1].visibility = SheetVisibility::VeryHidden;
    hiddenActive.activeSheet = 2;
    EXPECT_EQ(saveError(hiddenActive, file()), 1004);  // nothing visible

    auto noFormula = oneSheet(Cells());
    DataValidation whole;
    whole.ranges = {{1, 1, 1, 1}};
    whole.type = ValidationType::WholeNumber;
    noFormula.sheets[0].validations.push_back(whole);
    EXPECT_EQ(saveError(noFormula, file()), 1004);
    noFormula.sheets[0].validations[0].formula1 = "1";  // between needs two
    EXPECT_EQ(saveError(noFormula, file()), 1004);

    auto badFilter = oneSheet(Cells());
    badFilter.sheets[0].autoFilter = {true, {1, 1, 5, 2}, {{3, "=x", FilterOperator::And, ""}}};
    EXPECT_EQ(saveError(badFilter, file()), 1004);

    auto badScope = oneSheet(Cells());
    badScope.names = {{"x", "=Data!$A$1", "Elders"}};
    EXPECT_EQ(saveError(badScope, file()), 1004);

    for (const char* bad : {"1st", "two words", "A1", "xfd1048576", "R1C1", "r2c", "C", "a-b"}) {
        auto badName = oneSheet(Cells());
        badName.names = {{bad, "=Data!$A$1", ""}};
        EXPECT_EQ(saveError(badName, file()), 1004) << bad;
    }

    auto tooLongTitle = oneSheet(Cells());
    DataValidation v;
    v.ranges = {{1, 1, 1, 1}};
    v.errorTitle = std::string(40, 't');
    tooLongTitle.sheets[0].validations = {v};
    std::string description;
    EXPECT_EQ(saveError(tooLongTitle, file(), &description), 1004);
    EXPECT_NE(description.find("title longer than 32"), std::string::npos) << description;
    EXPECT_NE(description.find("A1"), std::string::npos) << description;
    EXPECT_TRUE(folderListing().empty());
}

TEST_F(XlsxTest, UnwritableFolderGivesAClearRefusal) {
    const std::string path = (dir_ / "missing" / "book.xlsx").string();
    std::string description;
    EXPECT_EQ(saveError(oneSheet(Cells().add(1, 1, 1)), path, &description), 1004);
    EXPECT_NE(description.find(path), std::string::npos) << description;
    EXPECT_NE(description.find("No such file"), std::string::npos) << description;
    EXPECT_EQ(saveError(oneSheet(Cells()), dir_.string()), 1004);  // a folder
    EXPECT_TRUE(folderListing().empty());
}

TEST_F(XlsxTest, AFailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    saveAndRead(oneSheet(Cells().add(1, 1, "oud")));
    const std::string before = fileText(file());

    EXPECT_EQ(saveError(oneSheet(Cells().add(1, 1, "nieuw").add(kMaxRows + 1, 1, 1)), file()), 1004);
    EXPECT_TRUE(fileText(file()) == before);
    EXPECT_EQ(folderListing(), std::vector<std::string>{"book.xlsx"});

    // An error raised by the model while it hands over cells passes unchanged.
    auto failing = oneSheet(Cells());
    failing.sheets[0].cells = [](CellSink& sink) {
        sink.cell(1, 1, "nieuw", -1);
        raise(err::TypeMismatch, "model failure");
    };
    EXPECT_EQ(saveError(failing, file()), err::TypeMismatch);
    EXPECT_TRUE(fileText(file()) == before);
    EXPECT_EQ(folderListing(), std::vector<std::string>{"book.xlsx"});

    // So does a failure on a later sheet of a workbook that needs the after-touches.
    auto tableFailing = tableWorkbook();
    tableFailing.sheets[1].cells = [](CellSink& sink) { raise(err::Overflow, "late failure"); };
    EXPECT_EQ(saveError(tableFailing, file()), err::Overflow);
    EXPECT_TRUE(fileText(file()) == before);

    auto parts = saveAndRead(tableWorkbook());
    EXPECT_FALSE(fileText(file()) == before);
    EXPECT_EQ(attribute(elementWith(parts["xl/workbook.xml"], "sheet", "name=\"Lijsten\""), "state"), "veryHidden");
    EXPECT_EQ(folderListing(), std::vector<std::string>{"book.xlsx"});
}

}  // namespace
}  // namespace dalvera::platform::xlsx
