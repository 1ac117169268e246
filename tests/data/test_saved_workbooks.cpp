// The table workbook as other programs meet it: saved as .xls and .xlsx and
// read back by this project's reader and by independent readers, against what
// the sheet itself holds.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "PythonReader.h"
#include "XlsReader.h"
#include "addin/XlsWriter.h"
#include "platform/sheets/SheetModel.h"
#include "runtime/DateSerial.h"
#include "sheet/TableSheetFixture.h"

namespace dalvera::testing {

namespace {
const char* kXlrdScript = R"PY(import sys, xlrd
b = xlrd.open_workbook(sys.argv[1], formatting_info=True)
def clean(t): return str(t).replace("\r", "\\r").replace("\n", "\\n").replace("|", "/")
for s in b.sheets():
    print("sheet|%s|%d|%d|%d" % (s.name, s.visibility, s.panes_are_frozen, s.horz_split_pos))
    for (r, c), n in sorted(s.cell_note_map.items()):
        print("note|%s|%d|%d|%s|%s" % (s.name, r, c, clean(n.author), clean(n.text)))
    for r in range(s.nrows):
        for c in range(s.ncols):
            xf = b.xf_list[s.cell_xf_index(r, c)]
            kind = s.cell_type(r, c)
            if kind == xlrd.XL_CELL_EMPTY: continue
            print("cell|%s|%d|%d|%s|%d|%s" % (s.name, r, c, clean(s.cell_value(r, c)), xf.protection.cell_locked,
                                             clean(b.format_map[xf.format_key].format_str)))
    for r, info in sorted(s.rowinfo_map.items()):
        if info.hidden: print("hidden|%s|%d" % (s.name, r))
for n in b.name_obj_list:
    if n.result is not None and n.result.kind == xlrd.formula.oREF:
        a = n.area2d(clipped=False)
        print("name|%s|%d|%d|%s|%d|%d|%d|%d" % (n.name, n.hidden, n.scope, a[0].name, a[1], a[2], a[3], a[4]))
    else:
        print("value|%s|%s" % (n.name, n.result.value if n.result else ""))
)PY";

const char* kOpenpyxlScript = R"PY(import sys, openpyxl
b = openpyxl.load_workbook(sys.argv[1])
def clean(t): return str(t).replace("\r", "\\r").replace("\n", "\\n").replace("|", "/")
print("book|%d|%s" % (1 if b.security is not None and b.security.lockStructure else 0,
                      b.security.workbookPassword if b.security is not None else ""))
for d in b.defined_names.definedName:
    print("name|%s|%s" % (d.name, d.attr_text))
for s in b.worksheets:
    print("sheet|%s|%s|%d|%s|%s|%s" % (s.title, s.sheet_state, 1 if s.protection.sheet else 0, s.freeze_panes, s.auto_filter.ref,
                                      s.protection.password))
    for v in s.data_validations.dataValidation:
        print("dv|%s|%s|%s|%s|%s|%s" % (s.title, v.type, clean(v.formula1), v.sqref, clean(v.errorTitle), clean(v.error)))
    for row in s.iter_rows():
        for c in row:
            if c.comment is not None:
                print("note|%s|%d|%d|%s" % (s.title, c.row - 1, c.column - 1, clean(c.comment.text)))
            if c.value is not None:
                print("cell|%s|%d|%d|%s|%d|%s" % (s.title, c.row - 1, c.column - 1, clean(c.value), 1 if c.protection.locked else 0,
                                                 clean(c.number_format)))
)PY";

std::string escaped(std::string t) {
    std::string out;
    for (char c : t) out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

// A number token of a validation bound, as the format writes it.
bool tokenNumber(const std::vector<uint8_t>& t, double& out) {
    if (t.size() == 3 && t[0] == 0x1E) return out = t[1] | (t[2] << 8), true;
    if (t.size() == 9 && t[0] == 0x1F) return std::memcpy(&out, t.data() + 1, 8), true;
    return false;
}
}  // namespace

class SavedTableWorkbookTest : public TableSheetTest {
protected:
    // The Products table (descriptions as comments, a category list, yes/no lists) on its sheet.
    void showProducts(int variant) { showTable("Products", variant); }
    void showTable(const std::string& table, int variant) {
        startAddin(variant, variant == 11 ? "11.0" : "16.0");
        setSetting(setting::DisplayFieldDescription, "True");
        openThroughDialog(sampleCopy());
        ui_.clearShown();
        clickTable(table);
        ASSERT_NE(sheet(), nullptr);
    }
    std::string save(const std::string& name, int format) {
        std::string path = dir_ + "/" + name;
        // As the add-in saves its own workbook: without asking about the connection.
        HostApp().SetEnableEvents(false);
        sheet()->Parent()->SaveAs(path, Variant(static_cast<long>(format)));
        HostApp().SetEnableEvents(true);
        return path;
    }
    const platform::SheetModel& tableModel() { return platform::sheetModel(*sheet()); }
    const platform::WorkbookModel& bookModel() { return platform::workbookModel(*sheet()->Parent()); }
    int categoryColumn() { return static_cast<int>(matrix().Fields().Item("CategoryID")->Cell()->Column()); }
};

TEST_F(SavedTableWorkbookTest, TheXlsTableWorkbookKeepsProtectionNamesValidationFilterPanesAndComments) {
    showProducts(11);
    XlsBook book = readXls(save("products.xls", host::xl::Excel8));
    ASSERT_TRUE(book.ok);
    const auto& model = tableModel();
    const auto& wb = bookModel();
    const uint16_t hash = platform::xlsPasswordHash(clsAux::ProtectionPassword());

    // Protection of the structure and of the table sheet, with the password's hash and the allowances.
    ASSERT_EQ(book.sheets.size(), 2u);
    EXPECT_TRUE(book.isProtected);
    EXPECT_EQ(book.passwordHash, hash);
    const XlsSheet& table = book.sheets[0];
    EXPECT_TRUE(table.isProtected);
    EXPECT_EQ(table.passwordHash, hash);
    ASSERT_GE(table.protectionOptions, 0);
    EXPECT_EQ((table.protectionOptions & 0x1000) != 0, model.protection().options.allowFiltering);
    EXPECT_EQ((table.protectionOptions & 0x8) != 0, model.protection().options.allowFormattingColumns);
    EXPECT_EQ((table.protectionOptions & 0x400) != 0, model.enableSelection() == host::xl::NoRestrictions);
    EXPECT_EQ(book.sheets[1].state, 2) << "the list sheet is very hidden";

    // Every cell's XF carries the cell's own locked flag: headers locked, editable data not.
    ASSERT_FALSE(table.xf.empty());
    int locked = 0, unlocked = 0;
    for (const auto& [pos, xf] : table.xf) {
        ASSERT_LT(static_cast<size_t>(xf), book.xfLocked.size());
        bool expected = wb.styles()[model.styleAt(pos.first + 1, pos.second + 1)].locked;
        EXPECT_EQ(book.xfLocked[static_cast<size_t>(xf)], expected) << "row " << pos.first << " column " << pos.second;
        (expected ? locked : unlocked)++;
    }
    EXPECT_GT(locked, 0);
    EXPECT_GT(unlocked, 0);

    // Names: each of the workbook's names, as a 3-D area through the list sheet's EXTERNSHEET entry.
    std::vector<XlsName> user;
    for (const auto& n : book.names)
        if (n.name.rfind("builtin:", 0) != 0) user.push_back(n);
    ASSERT_EQ(user.size(), wb.names().size());
    for (size_t i = 0; i < user.size(); ++i) {
        const platform::NameDef& def = wb.names()[i];
        const auto& t = user[i].tokens;
        EXPECT_EQ(user[i].name, def.name);
        ASSERT_EQ(t.size(), 11u) << def.name;
        EXPECT_EQ(t[0], 0x3B);
        uint32_t ixti = t[1] | (t[2] << 8);
        ASSERT_LT(ixti, book.externSheets.size());
        EXPECT_EQ(wb.sheets()[static_cast<size_t>(book.externSheets[ixti][1])]->id(), def.sheetId) << def.name;
        EXPECT_EQ(static_cast<int>(t[3] | (t[4] << 8)), def.area.r1 - 1);
        EXPECT_EQ(static_cast<int>(t[5] | (t[6] << 8)), def.area.r2 - 1);
        EXPECT_EQ(static_cast<int>(t[7] | (t[8] << 8)), def.area.c1 - 1);
        EXPECT_EQ(static_cast<int>(t[9] | (t[10] << 8)), def.area.c2 - 1);
    }

    // Validation: one DV per rule with its type, alert, messages and cells; lists through their names.
    ASSERT_FALSE(model.validations().empty());
    EXPECT_EQ(table.validationCount, static_cast<int>(model.validations().size()));
    ASSERT_EQ(table.validations.size(), model.validations().size());
    bool categoryList = false;
    for (size_t i = 0; i < table.validations.size(); ++i) {
        const XlsValidation& v = table.validations[i];
        const platform::ValidationRule& rule = model.validations()[i];
        EXPECT_EQ(v.type(), rule.type);
        EXPECT_EQ(static_cast<int>((v.flags >> 4) & 7), rule.alertStyle - 1);
        EXPECT_EQ(v.errorTitle, rule.errorTitle);
        EXPECT_EQ(v.errorMessage, rule.errorMessage.substr(0, 225));
        ASSERT_EQ(v.ranges.size(), rule.areas.size());
        EXPECT_EQ(v.ranges[0][0], rule.areas[0].r1 - 1);
        EXPECT_EQ(v.ranges[0][2], rule.areas[0].c1 - 1);
        if (rule.type == host::xl::ValidateList) {
            ASSERT_EQ(v.formula1.size(), 5u);
            EXPECT_EQ(v.formula1[0], 0x23);
            size_t index = v.formula1[1] | (v.formula1[2] << 8);
            ASSERT_GE(index, 1u);
            ASSERT_LE(index, book.names.size());
            EXPECT_EQ("=" + book.names[index - 1].name, rule.formula1);
            EXPECT_EQ(v.flags & 0x200, 0u) << "the list shows its drop-down";
            if (rule.areas[0].c1 == categoryColumn()) categoryList = true;
        } else if (rule.type == host::xl::ValidateWholeNumber || rule.type == host::xl::ValidateDecimal) {
            double low, expected;
            ASSERT_TRUE(tokenNumber(v.formula1, low)) << rule.formula1;
            ASSERT_TRUE(platform::parseRuleNumber(rule.formula1, expected));
            EXPECT_DOUBLE_EQ(low, expected);
            EXPECT_EQ(static_cast<int>((v.flags >> 20) & 0xF), rule.op - 1);
        }
    }
    EXPECT_TRUE(categoryList) << "the foreign key's drop-down list";

    // AutoFilter over the table's columns, with its hidden _FilterDatabase name on the sheet.
    ASSERT_TRUE(model.autoFilter().has_value());
    EXPECT_EQ(table.filterButtons, model.autoFilter()->range.cols());
    EXPECT_FALSE(table.filterMode);
    // Each button is a drawn control on its heading cell, or a host shows no arrows.
    ASSERT_EQ(static_cast<int>(table.filterObjects.size()), model.autoFilter()->range.cols());
    ASSERT_EQ(table.controlAnchors.size(), table.filterObjects.size());
    for (size_t k = 0; k < table.controlAnchors.size(); ++k) {
        EXPECT_EQ(table.controlAnchors[k], std::make_pair(model.autoFilter()->range.c1 - 1 + static_cast<int>(k), model.autoFilter()->range.r1 - 1));
        EXPECT_EQ(table.filterObjects[k].listKind, 3);
        EXPECT_FALSE(table.filterObjects[k].filtering);
    }
    auto filterName = std::find_if(book.names.begin(), book.names.end(), [](const XlsName& n) { return n.name == "builtin:13"; });
    ASSERT_NE(filterName, book.names.end());
    EXPECT_TRUE(filterName->hidden);
    EXPECT_EQ(filterName->sheet, 1);
    ASSERT_EQ(filterName->tokens.size(), 11u);
    EXPECT_EQ(static_cast<int>(filterName->tokens[3] | (filterName->tokens[4] << 8)), model.autoFilter()->range.r1 - 1);

    // The frozen header row.
    EXPECT_TRUE(table.frozen);
    EXPECT_EQ(table.paneRows, model.view().splitRow);

    // Comments: every description, with a consistent drawing behind it.
    ASSERT_FALSE(model.comments().empty());
    EXPECT_TRUE(book.drawingGroup);
    EXPECT_TRUE(table.drawingErrors.empty()) << table.drawingErrors.front();
    ASSERT_EQ(table.notes.size(), model.comments().size());
    std::set<uint32_t> ids(table.noteObjects.begin(), table.noteObjects.end());
    for (const auto& b : table.filterObjects) ids.insert(b.id);
    EXPECT_EQ(ids.size(), table.noteObjects.size() + table.filterObjects.size()) << "object ids are unique";
    for (const auto& [pos, c] : model.comments()) {
        auto it = table.notes.find({pos.first - 1, pos.second - 1});
        ASSERT_NE(it, table.notes.end()) << pos.first << "," << pos.second;
        EXPECT_EQ(it->second.text, c.text);
        EXPECT_EQ(it->second.author, c.author);
        EXPECT_TRUE(ids.count(it->second.objectId));
    }
}

TEST_F(SavedTableWorkbookTest, XlrdReadsTheXlsTableWorkbookAsTheSheetShowsIt) {
    showProducts(11);
    std::string path = save("products.xls", host::xl::Excel8);
    PythonOutput out = runPythonReader("xlrd", dir_, kXlrdScript, path);
    if (!out.skipReason.empty()) GTEST_SKIP() << out.skipReason;
    ASSERT_EQ(out.status, 0) << out.raw;
    EXPECT_EQ(out.otherLines({"sheet", "note", "cell", "name", "value", "hidden", "book", "dv"}), "") << "the reader warned";
    const auto& model = tableModel();
    const auto& wb = bookModel();

    auto sheets = out.of("sheet");
    ASSERT_EQ(sheets.size(), 2u) << out.raw;
    EXPECT_EQ(sheets[0][0], model.name());
    EXPECT_EQ(sheets[0][1], "0");
    EXPECT_EQ(sheets[0][2], "1") << "frozen";
    EXPECT_EQ(sheets[0][3], std::to_string(model.view().splitRow));
    EXPECT_EQ(sheets[1][1], "2") << "the list sheet is very hidden";

    // Texts, numbers and the locked flag of every cell of the table sheet; formats of the numbers.
    size_t checked = 0;
    bool currency = false;
    for (const auto& c : out.of("cell")) {
        if (c[0] != model.name()) continue;
        int r = std::stoi(c[1]) + 1, col = std::stoi(c[2]) + 1;
        Variant v = model.value(r, col);
        const platform::CellStyle& style = wb.styles()[model.styleAt(r, col)];
        if (v.isString()) EXPECT_EQ(c[3], escaped(v.text())) << r << "," << col;
        else if (v.isNumber() || v.isDate()) EXPECT_NEAR(std::stod(c[3]), v.toDouble(), 1e-9) << r << "," << col;
        EXPECT_EQ(c[4], style.locked ? "1" : "0") << r << "," << col;
        if (!v.isDate() && style.numberFormat != "General") {
            EXPECT_EQ(c[5], style.numberFormat) << r << "," << col;
            currency = currency || c[5].find("0.00") != std::string::npos;
        }
        ++checked;
    }
    EXPECT_GT(checked, 20u) << out.raw;
    EXPECT_TRUE(currency) << "the price column keeps its number format";

    // Names with the areas they stand for, and the AutoFilter's own name on the table sheet.
    auto names = out.of("name");
    bool filterDatabase = false;
    size_t user = 0;
    for (const auto& n : names) {
        if (n[0] == "_FilterDatabase") {
            filterDatabase = true;
            EXPECT_EQ(n[1], "1");
            EXPECT_EQ(n[3], model.name());
            EXPECT_EQ(n[4], std::to_string(model.autoFilter()->range.r1 - 1));
            continue;
        }
        auto def = std::find_if(wb.names().begin(), wb.names().end(), [&](const platform::NameDef& d) { return d.name == n[0]; });
        ASSERT_NE(def, wb.names().end()) << n[0];
        EXPECT_EQ(n[3], wb.sheetById(def->sheetId)->name());
        EXPECT_EQ(n[4], std::to_string(def->area.r1 - 1)) << n[0];
        EXPECT_EQ(n[5], std::to_string(def->area.r2)) << n[0];
        EXPECT_EQ(n[6], std::to_string(def->area.c1 - 1)) << n[0];
        EXPECT_EQ(n[7], std::to_string(def->area.c2)) << n[0];
        ++user;
    }
    EXPECT_TRUE(filterDatabase);
    EXPECT_EQ(user, wb.names().size());

    // Cell notes with their texts.
    auto notes = out.of("note");
    EXPECT_EQ(notes.size(), model.comments().size());
    for (const auto& n : notes) {
        auto it = model.comments().find({std::stoi(n[1]) + 1, std::stoi(n[2]) + 1});
        ASSERT_NE(it, model.comments().end()) << n[1] << "," << n[2];
        EXPECT_EQ(n[4], escaped(it->second.text));
    }
}

TEST_F(SavedTableWorkbookTest, OpenpyxlReadsTheXlsxTableWorkbookAsTheSheetShowsIt) {
    showProducts(12);
    std::string path = save("products.xlsx", host::xl::OpenXMLWorkbook);
    PythonOutput out = runPythonReader("openpyxl", dir_, kOpenpyxlScript, path);
    if (!out.skipReason.empty()) GTEST_SKIP() << out.skipReason;
    ASSERT_EQ(out.status, 0) << out.raw;
    EXPECT_EQ(out.otherLines({"sheet", "note", "cell", "name", "value", "hidden", "book", "dv"}), "") << "the reader warned";
    const auto& model = tableModel();
    const auto& wb = bookModel();

    ASSERT_EQ(out.of("book").size(), 1u) << out.raw;
    EXPECT_EQ(out.of("book")[0][0], "1") << "the structure is protected";
    // Both formats keep the same short hash of the password.
    char hash[8];
    std::snprintf(hash, sizeof hash, "%04X", platform::xlsPasswordHash(clsAux::ProtectionPassword()));
    EXPECT_EQ(out.of("book")[0][1], hash);
    auto sheets = out.of("sheet");
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0][0], model.name());
    EXPECT_EQ(sheets[0][1], "visible");
    EXPECT_EQ(sheets[0][2], "1") << "the table sheet is protected";
    EXPECT_EQ(sheets[0][3], "A" + std::to_string(model.view().splitRow + 1));
    EXPECT_EQ(sheets[0][4], platform::addressA1(model.autoFilter()->range, false, false));
    EXPECT_EQ(sheets[0][5], hash);
    EXPECT_EQ(sheets[1][1], "veryHidden");

    // Validation rules with their lists' names and messages.
    std::vector<std::vector<std::string>> rules;
    for (const auto& r : out.of("dv"))
        if (r[0] == model.name()) rules.push_back(r);
    // The .xlsx writer gives each area of a rule a rule of its own.
    size_t areas = 0;
    for (const auto& rule : model.validations()) areas += rule.areas.size();
    EXPECT_EQ(rules.size(), areas) << out.raw;
    bool categoryList = false, dateRule = false;
    for (const auto& rule : model.validations()) {
        std::string where = platform::addressA1(rule.areas[0], false, false);
        auto it = std::find_if(rules.begin(), rules.end(), [&](const auto& r) { return r[3] == where; });
        ASSERT_NE(it, rules.end()) << where << "\n" << out.raw;
        if (rule.type == host::xl::ValidateDate) {
            // A date bound is the date's serial, not a formula text.
            double serial;
            ASSERT_TRUE(parseDateText(rule.formula1, serial));
            EXPECT_EQ((*it)[2], serial >= 1 && serial < 61 ? std::to_string(static_cast<int>(serial) - 1) : std::to_string(static_cast<int>(serial)));
            dateRule = true;
        }
        if (rule.type != host::xl::ValidateList) continue;
        EXPECT_EQ((*it)[1], "list");
        EXPECT_EQ((*it)[2], rule.formula1.substr(1));
        EXPECT_EQ((*it)[4], escaped(rule.errorTitle));
        if (rule.areas[0].c1 == categoryColumn()) categoryList = true;
    }
    EXPECT_TRUE(categoryList);
    EXPECT_TRUE(dateRule);

    auto names = out.of("name");
    for (const auto& def : wb.names()) {
        auto it = std::find_if(names.begin(), names.end(), [&](const auto& n) { return n[0] == def.name; });
        ASSERT_NE(it, names.end()) << def.name;
        EXPECT_EQ((*it)[1].find(platform::addressA1(def.area)) != std::string::npos, true) << (*it)[1];
    }

    auto notes = out.of("note");
    EXPECT_EQ(notes.size(), model.comments().size());
    for (const auto& n : notes) {
        auto it = model.comments().find({std::stoi(n[1]) + 1, std::stoi(n[2]) + 1});
        ASSERT_NE(it, model.comments().end());
        EXPECT_NE(n[3].find(escaped(it->second.text)), std::string::npos) << n[3];
    }

    size_t checked = 0;
    for (const auto& c : out.of("cell")) {
        if (c[0] != model.name()) continue;
        int r = std::stoi(c[1]) + 1, col = std::stoi(c[2]) + 1;
        const platform::CellStyle& style = wb.styles()[model.styleAt(r, col)];
        Variant v = model.value(r, col);
        if (v.isString()) EXPECT_EQ(c[3], escaped(v.text()));
        EXPECT_EQ(c[4], style.locked ? "1" : "0") << r << "," << col;
        if (style.numberFormat != "General" && !v.isString()) EXPECT_EQ(c[5], style.numberFormat) << r << "," << col;
        ++checked;
    }
    EXPECT_GT(checked, 20u);
}

// What the table sheet does not use but the writer must still write right:
// literal lists, date bounds, filter criteria, names that are not ranges.
TEST_F(DataTest, XlsValidationListsDateBoundsFilterCriteriaAndNames) {
    Session& s = startAddin(11, "11.0");
    auto book = s.app().Workbooks().Add();
    auto sheet = book->Worksheets()->Item(1);
    sheet->SetName("Data");
    for (int r = 1; r <= 4; ++r) sheet->Cells(r, 1)->SetValue(Variant(r == 1 ? std::string("Kind") : "k" + std::to_string(r)));
    sheet->Range("B2:B4")->Validation()->Add(host::xl::ValidateList, host::xl::ValidAlertWarning, Variant::missing(),
                                             Variant("red, green,blue"));
    sheet->Range("C2:C4")->Validation()->Add(host::xl::ValidateDate, host::xl::ValidAlertStop, Variant(static_cast<long>(host::xl::Greater)),
                                             Variant("1/1/1900"));
    sheet->Range("D2")->Validation()->Add(host::xl::ValidateList, host::xl::ValidAlertStop, Variant::missing(),
                                          Variant("=$A$2:$A$4"));
    sheet->Range("A1:A4")->AutoFilter(1, Variant("=k3"));
    book->Names()->Add("Kinds", "=Data!$A$2:$A$4");
    book->Names()->Add("Rate", "=0.21");
    std::string path = dir_ + "/rules.xls";
    book->SaveAs(path, Variant(static_cast<long>(host::xl::Excel8)));
    XlsBook read = readXls(path);
    ASSERT_TRUE(read.ok);
    const XlsSheet& data = read.sheets[0];
    ASSERT_EQ(data.validations.size(), 3u);

    const XlsValidation& list = data.validations[0];
    EXPECT_EQ(list.type(), 3);
    EXPECT_NE(list.flags & 0x80, 0u) << "a literal list";
    EXPECT_EQ((list.flags >> 4) & 7, 1u) << "warning";
    ASSERT_GT(list.formula1.size(), 3u);
    EXPECT_EQ(list.formula1[0], 0x17);
    std::string items;
    for (size_t i = 3; i + 1 < list.formula1.size(); i += 2) items += static_cast<char>(list.formula1[i]);
    EXPECT_EQ(items, std::string("red\0green\0blue", 14));

    double bound;
    ASSERT_TRUE(tokenNumber(data.validations[1].formula1, bound));
    EXPECT_EQ(bound, 1) << "1 January 1900 is day 1 of the format";
    EXPECT_EQ((data.validations[1].flags >> 20) & 0xF, 4u) << "greater than";

    // A reference on the rule's own sheet is a plain area.
    const auto& ref = data.validations[2].formula1;
    ASSERT_EQ(ref.size(), 9u);
    EXPECT_EQ(ref[0], 0x25);
    EXPECT_EQ(ref[1] | (ref[2] << 8), 1);
    EXPECT_EQ(ref[3] | (ref[4] << 8), 3);

    EXPECT_TRUE(data.filterMode) << "criteria hide rows";
    EXPECT_EQ(data.hiddenRows, (std::set<int>{1, 3})) << "k2 and k4 are filtered out";
    EXPECT_EQ(data.filterButtons, 1);
    EXPECT_EQ(data.autoFilterRecords, 1);
    ASSERT_EQ(data.filterObjects.size(), 1u);
    EXPECT_TRUE(data.filterObjects[0].filtering) << "the arrow shows that its column filters";
    EXPECT_TRUE(data.drawingErrors.empty()) << data.drawingErrors.front();
    ASSERT_EQ(read.names.size(), 3u);
    EXPECT_EQ(read.names[0].name, "Kinds");
    EXPECT_FALSE(read.names[0].hidden);
    double rate;
    ASSERT_TRUE(tokenNumber(read.names[1].tokens, rate)) << "a constant name";
    EXPECT_DOUBLE_EQ(rate, 0.21);
    EXPECT_EQ(read.names[2].name, "builtin:13");
    EXPECT_EQ(read.names[2].sheet, 1);
    EXPECT_FALSE(data.isProtected);
    EXPECT_EQ(data.protectionOptions, -1) << "no allowances without protection";

    // A name the format cannot express refuses the save and leaves no file.
    book->Names()->Add("Odd", "=NOW()");
    try {
        book->SaveAs(dir_ + "/odd.xls", Variant(static_cast<long>(host::xl::Excel8)));
        ADD_FAILURE() << "saved";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::HostRefusal);
        EXPECT_NE(e.description().find("Odd"), std::string::npos) << e.description();
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/odd.xls"));

    // The same file as an independent reader sees it.
    PythonOutput out = runPythonReader("xlrd", dir_, kXlrdScript, path);
    if (!out.skipReason.empty()) GTEST_SKIP() << out.skipReason;
    ASSERT_EQ(out.status, 0) << out.raw;
    EXPECT_EQ(out.otherLines({"sheet", "note", "cell", "name", "value", "hidden", "book", "dv"}), "") << "the reader warned";
    auto hidden = out.of("hidden");
    ASSERT_EQ(hidden.size(), 2u) << out.raw;
    EXPECT_EQ(hidden[0][1], "1");
    EXPECT_EQ(hidden[1][1], "3");
    auto names = out.of("name");
    ASSERT_EQ(names.size(), 2u) << out.raw;
    EXPECT_EQ(names[0], (std::vector<std::string>{"Kinds", "0", "-1", "Data", "1", "4", "0", "1"}));
    EXPECT_EQ(names[1], (std::vector<std::string>{"_FilterDatabase", "1", "0", "Data", "0", "4", "0", "1"}));
    ASSERT_EQ(out.of("value").size(), 1u) << out.raw;
    EXPECT_EQ(out.of("value")[0], (std::vector<std::string>{"Rate", "0.21"}));
}

}  // namespace dalvera::testing

namespace dalvera::testing {

// Comments on two sheets: each drawing has its own shape ids, a long text runs
// over several records, a shown comment stays shown.
TEST_F(DataTest, XlsCommentsOnTwoSheetsWithLongAndShownTexts) {
    Session& s = startAddin(11, "11.0");
    auto book = s.app().Workbooks().Add();
    auto first = book->Worksheets()->Item(1);
    first->SetName("One");
    std::string longText;
    while (longText.size() < 12000) longText += "Zeeën € " + std::to_string(longText.size()) + "\n";
    first->Cells(1, 1)->AddComment(longText);
    first->Cells(3, 2)->AddComment("shown")->SetVisible(true);
    auto second = book->Worksheets()->Add(nullptr, first);
    second->SetName("Two");
    second->Cells(10, 5)->AddComment("on the second sheet");
    std::string path = dir_ + "/comments.xls";
    book->SaveAs(path, Variant(static_cast<long>(host::xl::Excel8)));

    XlsBook read = readXls(path);
    ASSERT_TRUE(read.ok);
    ASSERT_EQ(read.sheets.size(), 2u);
    EXPECT_TRUE(read.drawingGroup);
    for (const auto& sheet : read.sheets) EXPECT_TRUE(sheet.drawingErrors.empty()) << sheet.name << ": " << sheet.drawingErrors.front();
    const auto& one = read.sheets[0].notes;
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one.at({0, 0}).text, longText);
    EXPECT_FALSE(one.at({0, 0}).shown);
    EXPECT_EQ(one.at({2, 1}).text, "shown");
    EXPECT_TRUE(one.at({2, 1}).shown);
    ASSERT_EQ(read.sheets[1].notes.size(), 1u);
    EXPECT_EQ(read.sheets[1].notes.at({9, 4}).text, "on the second sheet");

    PythonOutput out = runPythonReader("xlrd", dir_, kXlrdScript, path);
    if (!out.skipReason.empty()) GTEST_SKIP() << out.skipReason;
    ASSERT_EQ(out.status, 0) << out.raw;
    EXPECT_EQ(out.otherLines({"sheet", "note", "cell", "name", "value", "hidden", "book", "dv"}), "") << "the reader warned";
    auto notes = out.of("note");
    ASSERT_EQ(notes.size(), 3u) << out.raw;
    EXPECT_EQ(notes[0][4], escaped(longText));
    EXPECT_EQ(notes[1][4], "shown");
    EXPECT_EQ(notes[2][0], "Two");
    EXPECT_EQ(notes[2][4], "on the second sheet");
}

TEST_F(SavedTableWorkbookTest, OpenpyxlReadsTheOrdersWorkbookWithItsCustomerListCommentsAndProtection) {
    showTable("Orders", 12);
    std::string path = save("orders.xlsx", host::xl::OpenXMLWorkbook);
    PythonOutput out = runPythonReader("openpyxl", dir_, kOpenpyxlScript, path);
    if (!out.skipReason.empty()) GTEST_SKIP() << out.skipReason;
    ASSERT_EQ(out.status, 0) << out.raw;
    const auto& model = tableModel();
    auto sheets = out.of("sheet");
    ASSERT_EQ(sheets.size(), 2u) << out.raw;
    EXPECT_EQ(sheets[0][2], "1") << "the table sheet is protected";
    EXPECT_EQ(sheets[1][1], "veryHidden") << "the list sheet";

    // The foreign key to Customers is a list rule over a name of the list sheet's keys.
    int customer = static_cast<int>(matrix().Fields().Item("CustomerID")->Cell()->Column());
    std::string column = platform::addressA1(platform::Rect{model.autoFilter()->range.r1 + 1, customer, model.autoFilter()->range.r1 + 1, customer}, false, false);
    column.erase(std::remove_if(column.begin(), column.end(), ::isdigit), column.end());
    bool customerList = false;
    const auto names = out.of("name");
    for (const auto& r : out.of("dv")) {
        if (r[0] != model.name() || r[1] != "list" || r[3].rfind(column, 0) != 0) continue;
        auto name = std::find_if(names.begin(), names.end(), [&](const auto& n) { return n[0] == r[2]; });
        ASSERT_NE(name, names.end()) << r[2] << "\n" << out.raw;
        EXPECT_NE((*name)[1].find(sheets[1][0]), std::string::npos) << "the list lives on the hidden sheet: " << (*name)[1];
        customerList = true;
    }
    EXPECT_TRUE(customerList) << out.raw;

    // The field descriptions are the headings' comments.
    std::set<std::string> texts;
    for (const auto& n : out.of("note"))
        if (n[0] == model.name()) texts.insert(n[3]);
    for (const char* d : {"The customer who placed the order", "The employee who took the order", "Day the order came in"})
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(d) != std::string::npos; })) << d << "\n" << out.raw;
}

}  // namespace dalvera::testing
