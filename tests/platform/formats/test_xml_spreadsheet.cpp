#include <map>
#include <memory>
#include <stdexcept>

#include "FormatsFixture.h"

namespace dalvera::test {

namespace {
// A small XML reader: elements with attributes, text and children; the five
// named entities and numeric references.
struct Element {
    std::string name, text;
    std::map<std::string, std::string> attrs;
    std::vector<std::unique_ptr<Element>> children;

    std::vector<const Element*> all(const std::string& n) const {
        std::vector<const Element*> out;
        for (const auto& c : children)
            if (c->name == n) out.push_back(c.get());
        return out;
    }
    const Element* first(const std::string& n) const {
        auto v = all(n);
        return v.empty() ? nullptr : v.front();
    }
    std::string attr(const std::string& n) const {
        auto it = attrs.find(n);
        return it == attrs.end() ? std::string() : it->second;
    }
};

class XmlReader {
public:
    explicit XmlReader(const std::string& s) : s_(s) {}
    std::unique_ptr<Element> document() {
        skipMisc();
        auto root = element();
        skipMisc();
        EXPECT_EQ(pos_, s_.size()) << "content after the root element";
        return root;
    }

private:
    void skipSpace() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    void skipMisc() {
        for (skipSpace(); s_.compare(pos_, 2, "<?") == 0; skipSpace()) pos_ = s_.find("?>", pos_) + 2;
    }
    std::string decode(const std::string& raw) {
        std::string out;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            size_t semi = raw.find(';', i);
            std::string ent = raw.substr(i + 1, semi - i - 1);
            if (ent == "amp") out += '&';
            else if (ent == "lt") out += '<';
            else if (ent == "gt") out += '>';
            else if (ent == "quot") out += '"';
            else if (ent == "apos") out += '\'';
            else if (!ent.empty() && ent[0] == '#') out += static_cast<char>(std::stoi(ent.substr(1)));
            else ADD_FAILURE() << "unknown entity " << ent;
            i = semi;
        }
        return out;
    }
    std::string name() {
        size_t start = pos_;
        while (pos_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[pos_])) && s_[pos_] != '>' &&
               s_[pos_] != '/' && s_[pos_] != '=')
            ++pos_;
        return s_.substr(start, pos_ - start);
    }
    // Past the end reads as NUL, so a truncated document fails instead of overrunning.
    char peek(size_t ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }
    std::unique_ptr<Element> element() {
        auto e = std::make_unique<Element>();
        EXPECT_EQ(peek(), '<');
        ++pos_;
        e->name = name();
        for (skipSpace(); peek() != '>' && peek() != '/'; skipSpace()) {
            if (!peek()) throw std::runtime_error("unterminated tag <" + e->name);
            std::string key = name();
            EXPECT_EQ(peek(), '=');
            char quote = peek(1);
            size_t end = s_.find(quote, pos_ + 2);
            if (end == std::string::npos) throw std::runtime_error("unterminated attribute " + key);
            EXPECT_TRUE(e->attrs.emplace(key, decode(s_.substr(pos_ + 2, end - pos_ - 2))).second) << key;
            pos_ = end + 1;
        }
        if (peek() == '/') {
            pos_ += 2;
            return e;
        }
        ++pos_;
        while (true) {
            size_t lt = s_.find('<', pos_);
            if (lt == std::string::npos) throw std::runtime_error("unterminated <" + e->name + ">");
            e->text += decode(s_.substr(pos_, lt - pos_));
            pos_ = lt;
            if (s_.compare(pos_, 2, "</") == 0) {
                pos_ += 2;
                EXPECT_EQ(name(), e->name);
                pos_ = s_.find('>', pos_) + 1;
                return e;
            }
            e->children.push_back(element());
        }
    }
    const std::string& s_;
    size_t pos_ = 0;
};

// Cells of a Table by their row and column, following ss:Index skips.
std::map<std::pair<int, int>, const Element*> cellsOf(const Element& table) {
    std::map<std::pair<int, int>, const Element*> cells;
    int r = 0;
    for (const Element* row : table.all("Row")) {
        r = row->attr("ss:Index").empty() ? r + 1 : std::stoi(row->attr("ss:Index"));
        int c = 0;
        for (const Element* cell : row->all("Cell")) {
            c = cell->attr("ss:Index").empty() ? c + 1 : std::stoi(cell->attr("ss:Index"));
            cells[{r, c}] = cell;
        }
    }
    return cells;
}

// Readers refuse tables whose rows, cells or columns lie beyond the declared size.
void expectWithinDeclaredSize(const Element& table) {
    int columns = std::stoi(table.attr("ss:ExpandedColumnCount")), rows = std::stoi(table.attr("ss:ExpandedRowCount"));
    int c = 0;
    for (const Element* col : table.all("Column")) {
        c = col->attr("ss:Index").empty() ? c + 1 : std::stoi(col->attr("ss:Index"));
        EXPECT_LE(c, columns);
    }
    for (const auto& [at, cell] : cellsOf(table)) {
        EXPECT_LE(at.first, rows);
        EXPECT_LE(at.second, columns);
    }
}

std::pair<std::string, std::string> dataOf(const Element* cell) {
    const Element* d = cell ? cell->first("Data") : nullptr;
    return d ? std::pair{d->attr("ss:Type"), d->text} : std::pair<std::string, std::string>{};
}
}  // namespace

TEST_F(FormatsTest, XmlSpreadsheetHoldsEverySheetWithTypedValues) {
    data->Columns(9)->SetColumnWidth(3);  // beyond the used range
    data->Range("A6")->SetValue(std::string("a<b>&\"c\"") + '\x01' + "\r\n");  // control character dropped
    book->Worksheets()->Item("Other")->SetName("R&D <2>");
    std::string xml = saveAndRead("book.xml", host::xl::XMLSpreadsheet);
    XmlReader reader(xml);
    auto root = reader.document();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name, "Workbook");
    EXPECT_EQ(root->attr("xmlns"), "urn:schemas-microsoft-com:office:spreadsheet");
    EXPECT_EQ(root->attr("xmlns:ss"), root->attr("xmlns"));

    auto sheets = root->all("Worksheet");
    ASSERT_EQ(sheets.size(), 4u);
    std::vector<std::string> names, visibility;
    for (const Element* s : sheets) {
        names.push_back(s->attr("ss:Name"));
        const Element* o = s->first("WorksheetOptions");
        const Element* v = o ? o->first("Visible") : nullptr;
        visibility.push_back(v ? v->text : "");
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Data", "Secret", "Notes", "R&D <2>"}));
    EXPECT_EQ(visibility, (std::vector<std::string>{"", "SheetVeryHidden", "SheetHidden", ""}));
    ASSERT_TRUE(sheets[0]->first("WorksheetOptions"));
    EXPECT_TRUE(sheets[0]->first("WorksheetOptions")->first("Selected"));

    const Element* table = sheets[0]->first("Table");
    ASSERT_TRUE(table);
    auto cells = cellsOf(*table);
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(dataOf(cells[{1, 1}]), (P{"String", "Name"}));
    EXPECT_EQ(dataOf(cells[{2, 1}]), (P{"String", "Smith, John"}));
    EXPECT_EQ(dataOf(cells[{2, 2}]), (P{"Number", "1234.5"}));
    EXPECT_EQ(dataOf(cells[{2, 3}]), (P{"DateTime", "2024-03-15T00:00:00.000"}));
    EXPECT_EQ(dataOf(cells[{2, 4}]), (P{"Boolean", "1"}));
    EXPECT_EQ(dataOf(cells[{2, 5}]), (P{"String", "He said \"hi\""}));
    EXPECT_EQ(dataOf(cells[{3, 1}]), (P{"String", "Zoë € ünï"}));
    EXPECT_EQ(dataOf(cells[{3, 2}]), (P{"Number", "3.25"}));
    EXPECT_EQ(cells.count({3, 3}), 0u);
    EXPECT_EQ(dataOf(cells[{3, 4}]), (P{"Boolean", "0"}));
    EXPECT_EQ(dataOf(cells[{3, 5}]), (P{"String", "line1\nline2"}));
    EXPECT_EQ(dataOf(cells[{4, 1}]), (P{"String", "tab\there"}));
    EXPECT_EQ(dataOf(cells[{4, 2}]), (P{"Number", "-42"}));
    EXPECT_EQ(dataOf(cells[{4, 3}]), (P{"DateTime", "2023-12-31T13:45:00.000"}));
    EXPECT_EQ(dataOf(cells[{4, 5}]), (P{"String", "<b>&amp;</b>"}));
    EXPECT_EQ(dataOf(cells[{6, 1}]), (P{"String", "a<b>&\"c\"\r\n"}));
    const Element* comment = cells[{2, 5}]->first("Comment");
    ASSERT_TRUE(comment);
    EXPECT_EQ(comment->first("ss:Data")->text, "checked by \"Ann\"");

    auto hidden = cellsOf(*sheets[1]->first("Table"));
    EXPECT_EQ(dataOf(hidden[{1, 1}]), (P{"String", "hidden-value"}));
    auto other = cellsOf(*sheets[3]->first("Table"));
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other.begin()->first, (std::pair<int, int>(2, 2)));

    // Styles by id: what the cells refer to exists and says what was set.
    std::map<std::string, const Element*> styles;
    for (const Element* s : root->first("Styles")->all("Style")) styles[s->attr("ss:ID")] = s;
    auto styleOf = [&](int r, int c) -> const Element* {
        auto it = styles.find(cells[{r, c}]->attr("ss:StyleID"));
        return it == styles.end() ? nullptr : it->second;
    };
    const Element* a1 = styleOf(1, 1);
    ASSERT_TRUE(a1);
    EXPECT_EQ(a1->first("Font")->attr("ss:Bold"), "1");
    EXPECT_EQ(a1->first("Interior")->attr("ss:Color"), "#FFFF00");
    EXPECT_EQ(a1->first("Interior")->attr("ss:Pattern"), "Solid");
    ASSERT_TRUE(styleOf(1, 2));
    EXPECT_EQ(styleOf(1, 2)->first("Font")->attr("ss:Color"), "#FF0000");
    ASSERT_TRUE(styleOf(2, 2));
    EXPECT_EQ(styleOf(2, 2)->first("NumberFormat")->attr("ss:Format"), "$#,##0.00");
    ASSERT_TRUE(styleOf(2, 3));
    EXPECT_EQ(styleOf(2, 3)->first("NumberFormat")->attr("ss:Format"), "yyyy-mm-dd");
    EXPECT_EQ((cells[{2, 1}]->attr("ss:StyleID")), "");

    auto cols = table->all("Column");
    ASSERT_EQ(cols.size(), 2u);
    EXPECT_EQ(cols[0]->attr("ss:Index"), "");
    EXPECT_GT(std::stod(cols[0]->attr("ss:Width")), 100.0);
    EXPECT_EQ(cols[1]->attr("ss:Index"), "9");
    EXPECT_LT(std::stod(cols[1]->attr("ss:Width")), 48.0);
    for (const Element* s : sheets) expectWithinDeclaredSize(*s->first("Table"));
}

TEST_F(FormatsTest, XmlSpreadsheetSeparatesColumnAndCellFormats) {
    data->Columns(6)->Interior()->SetColor(0xFF0000);  // blue column
    data->Range("F2")->Interior()->SetColorIndex(host::xl::ColorIndexNone);
    data->Range("F3")->SetValue(1.0);
    auto root = XmlReader(saveAndRead("columns.xml", host::xl::XMLSpreadsheet)).document();
    const Element* table = root->first("Worksheet")->first("Table");
    std::map<std::string, const Element*> styles;
    for (const Element* s : root->first("Styles")->all("Style")) styles[s->attr("ss:ID")] = s;
    const Element* column = nullptr;
    for (const Element* c : table->all("Column"))
        if (c->attr("ss:Index") == "6") column = c;
    ASSERT_TRUE(column);
    ASSERT_TRUE(styles.count(column->attr("ss:StyleID")));
    EXPECT_EQ(styles[column->attr("ss:StyleID")]->first("Interior")->attr("ss:Color"), "#0000FF");
    auto cells = cellsOf(*table);
    ASSERT_TRUE((cells.count({2, 6})));
    EXPECT_EQ((cells[{2, 6}]->attr("ss:StyleID")), "Default");
    EXPECT_EQ(dataOf(cells[{3, 6}]), (std::pair<std::string, std::string>{"Number", "1"}));
    expectWithinDeclaredSize(*table);
}

TEST_F(FormatsTest, XmlSpreadsheetKeepsProtectionValidationAndNames) {
    data->Range("B2:B9")->Validation()->Add(host::xl::ValidateWholeNumber, host::xl::ValidAlertWarning,
                                            host::xl::Between, "1", "10");
    data->Range("B2:B9")->Validation()->SetErrorMessage("1 to 10 & no more");
    data->Range("F2:F3")->Validation()->Add(host::xl::ValidateList, host::xl::ValidAlertStop, host::xl::Between,
                                            "yes,no");
    data->Range("G2")->Validation()->Add(host::xl::ValidateList, host::xl::ValidAlertStop, host::xl::Between,
                                         "=$A$1:$A$4");
    data->Range("A2")->SetLocked(false);
    book->Names()->AddR1C1("Amounts", "=Data!R2C2:R4C2");
    host::ProtectOptions o;
    o.allowFiltering = true;
    data->Protect("pw", o);

    std::string xml = saveAndRead("rules.xml", host::xl::XMLSpreadsheet);
    auto root = XmlReader(xml).document();
    const Element* ws = root->first("Worksheet");
    EXPECT_EQ(ws->attr("ss:Protected"), "1");
    const Element* options = ws->first("WorksheetOptions");
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->first("AllowFilter"));
    EXPECT_FALSE(options->first("AllowSort"));

    auto rules = ws->all("DataValidation");
    ASSERT_EQ(rules.size(), 2u) << "the rule referring to cells is left out";
    EXPECT_EQ(rules[0]->attr("xmlns"), root->attr("xmlns:x"));
    EXPECT_FALSE(rules[0]->attr("xmlns").empty());
    EXPECT_EQ(rules[0]->first("Range")->text, "R2C2:R9C2");
    EXPECT_EQ(rules[0]->first("Type")->text, "Whole");
    EXPECT_EQ(rules[0]->first("Qualifier")->text, "Between");
    EXPECT_EQ(rules[0]->first("Min")->text, "1");
    EXPECT_EQ(rules[0]->first("Max")->text, "10");
    EXPECT_EQ(rules[0]->first("ErrorStyle")->text, "Warn");
    EXPECT_EQ(rules[0]->first("ErrorMessage")->text, "1 to 10 & no more");
    EXPECT_EQ(rules[1]->first("Type")->text, "List");
    EXPECT_EQ(rules[1]->first("Value")->text, "\"yes,no\"");

    // The unlocked cell's style says so; the locked ones keep the default.
    auto cells = cellsOf(*ws->first("Table"));
    std::map<std::string, const Element*> styles;
    for (const Element* s : root->first("Styles")->all("Style")) styles[s->attr("ss:ID")] = s;
    const Element* a2 = styles[cells[{2, 1}]->attr("ss:StyleID")];
    ASSERT_TRUE(a2);
    EXPECT_EQ(a2->first("Protection")->attr("ss:Protected"), "0");
    EXPECT_EQ(styles["Default"]->first("Protection")->attr("ss:Protected"), "");

    const Element* names = root->first("Names");
    ASSERT_TRUE(names);
    EXPECT_EQ(names->first("NamedRange")->attr("ss:Name"), "Amounts");
    EXPECT_EQ(names->first("NamedRange")->attr("ss:RefersTo"), "=Data!R2C2:R4C2");
}

}  // namespace dalvera::test
