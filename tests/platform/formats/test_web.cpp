#include "FormatsFixture.h"

namespace dalvera::test {

namespace {
struct HtmlCell {
    std::string attributes, text;
};
struct HtmlTable {
    std::string sheet;
    std::vector<std::string> cols;
    std::vector<std::vector<HtmlCell>> rows;
};

std::string unescape(std::string s) {
    for (auto [from, to] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#13;", "\r"}, {"&amp;", "&"}}) {
        for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += std::string(to).size())
            s.replace(at, std::string(from).size(), to);
    }
    return s;
}

std::string attribute(const std::string& attrs, const std::string& name) {
    auto at = attrs.find(" " + name + "=\"");
    if (at == std::string::npos) return {};
    at += name.size() + 3;
    return unescape(attrs.substr(at, attrs.find('"', at) - at));
}

// Tables, rows and cells of the page; tag attributes never hold '>' as it is escaped.
std::vector<HtmlTable> parseTables(const std::string& html) {
    std::vector<HtmlTable> tables;
    size_t at = 0;
    while ((at = html.find("<table", at)) != std::string::npos) {
        size_t end = html.find("</table>", at);
        EXPECT_NE(end, std::string::npos);
        size_t tagEnd = html.find('>', at);
        HtmlTable t;
        t.sheet = attribute(html.substr(at + 6, tagEnd - at - 6), "data-sheet");
        std::string body = html.substr(tagEnd + 1, end - tagEnd - 1);
        for (size_t c = 0; (c = body.find("<col ", c)) != std::string::npos; ++c)
            t.cols.push_back(attribute(body.substr(c, body.find('>', c) - c), "style"));
        for (size_t r = 0; (r = body.find("<tr", r)) != std::string::npos;) {
            size_t rowEnd = body.find("</tr>", r);
            std::vector<HtmlCell> row;
            for (size_t c = r; (c = body.find("<td", c)) != std::string::npos && c < rowEnd;) {
                size_t open = body.find('>', c), close = body.find("</td>", open);
                row.push_back({body.substr(c + 3, open - c - 3), unescape(body.substr(open + 1, close - open - 1))});
                c = close;
            }
            t.rows.push_back(row);
            r = rowEnd;
        }
        tables.push_back(t);
        at = end;
    }
    return tables;
}

std::string decodeQuotedPrintable(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '=') {
            out += s[i];
        } else if (s.compare(i, 3, "=\r\n") == 0) {
            i += 2;
        } else {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
    }
    return out;
}

std::string header(const std::string& block, const std::string& name) {
    auto at = block.find(name + ": ");
    if (at == std::string::npos) return {};
    at += name.size() + 2;
    return block.substr(at, block.find("\r\n", at) - at);
}
}  // namespace

TEST_F(FormatsTest, WebPageShowsVisibleSheetsWithTheirStyles) {
    std::string html = saveAndRead("page.htm", host::xl::Html);
    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(html.find("<title>page</title>"), std::string::npos);
    EXPECT_EQ(html.find("hidden-value"), std::string::npos);
    EXPECT_EQ(html.find("notes-value"), std::string::npos);
    EXPECT_EQ(html.find("Secret"), std::string::npos);

    auto tables = parseTables(html);
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].sheet, "Data");
    EXPECT_EQ(tables[1].sheet, "Other");

    const HtmlTable& t = tables[0];
    std::vector<std::vector<std::string>> texts;
    for (const auto& row : t.rows) {
        texts.emplace_back();
        for (const auto& c : row) texts.back().push_back(c.text);
    }
    EXPECT_EQ(texts, (std::vector<std::vector<std::string>>{
                         {"Name", "Amount", "When", "Flag", "Note"},
                         {"Smith, John", "$1,234.50", "2024-03-15", "TRUE", "He said \"hi\""},
                         {"Zoë € ünï", "3.25", "", "FALSE", "line1\nline2"},
                         {"tab\there", "-42", "12/31/2023 13:45", "", "<b>&amp;</b>"}}));
    std::string a1 = attribute(t.rows[0][0].attributes, "style");
    EXPECT_NE(a1.find("font-weight:bold"), std::string::npos);
    EXPECT_NE(a1.find("background-color:#FFFF00"), std::string::npos);
    EXPECT_NE(attribute(t.rows[0][1].attributes, "style").find("color:#FF0000"), std::string::npos);
    EXPECT_EQ(attribute(t.rows[1][0].attributes, "style").find("font-weight"), std::string::npos);
    EXPECT_NE(attribute(t.rows[1][1].attributes, "style").find("text-align:right"), std::string::npos);
    EXPECT_EQ(attribute(t.rows[1][4].attributes, "title"), "checked by \"Ann\"");
    ASSERT_EQ(t.cols.size(), 5u);
    EXPECT_EQ(t.cols[0], "width:145px");
    EXPECT_EQ(t.cols[1], "width:64px");
}

TEST_F(FormatsTest, WebPageKeepsHiddenRowsAndColumnsUndisplayed) {
    data->Rows(3)->SetHidden(true);
    data->Columns(2)->SetHidden(true);
    auto tables = parseTables(saveAndRead("hidden.html", host::xl::Html));
    const HtmlTable& t = tables.at(0);
    ASSERT_EQ(t.rows.size(), 4u);
    EXPECT_NE(t.cols[1].find("visibility:collapse"), std::string::npos);
    EXPECT_NE(attribute(t.rows[1][1].attributes, "style").find("display:none"), std::string::npos);
    EXPECT_EQ(attribute(t.rows[1][0].attributes, "style").find("display:none"), std::string::npos);
    std::string html = read(path("hidden.html"));
    EXPECT_NE(html.find("<tr style=\"display:none\"><td>Zoë"), std::string::npos);
}

TEST_F(FormatsTest, WebArchiveHoldsThePageQuotedPrintable) {
    std::string page = saveAndRead("page.htm", host::xl::Html);
    std::string mht = saveAndRead("page.mht", host::xl::WebArchive);

    size_t split = mht.find("\r\n\r\n");
    ASSERT_NE(split, std::string::npos);
    std::string top = mht.substr(0, split + 2);
    EXPECT_EQ(header(top, "MIME-Version"), "1.0");
    std::string type = header(top, "Content-Type");
    ASSERT_EQ(type.rfind("multipart/related;", 0), 0u) << type;
    auto b = type.find("boundary=\"");
    ASSERT_NE(b, std::string::npos);
    std::string boundary = type.substr(b + 10, type.find('"', b + 10) - b - 10);

    // Exactly one part between the opening and the closing delimiter.
    std::string open = "\r\n--" + boundary + "\r\n", close = "\r\n--" + boundary + "--\r\n";
    size_t first = mht.find(open);
    ASSERT_NE(first, std::string::npos);
    size_t last = mht.find(close);
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(last + close.size(), mht.size());
    std::string part = mht.substr(first + open.size(), last - first - open.size());
    EXPECT_EQ(part.find("--" + boundary), std::string::npos);
    size_t body = part.find("\r\n\r\n");
    std::string headers = part.substr(0, body + 2);
    EXPECT_EQ(header(headers, "Content-Location"), "file:///page.htm");
    EXPECT_EQ(header(headers, "Content-Transfer-Encoding"), "quoted-printable");
    EXPECT_EQ(header(headers, "Content-Type"), "text/html; charset=\"utf-8\"");

    std::string encoded = part.substr(body + 4);
    EXPECT_EQ(decodeQuotedPrintable(encoded), page);
    // Encoded lines stay within 76 characters and hold no 8-bit bytes.
    for (size_t at = 0, next; at < encoded.size(); at = next + 2) {
        next = encoded.find("\r\n", at);
        if (next == std::string::npos) next = encoded.size();
        EXPECT_LE(next - at, 76u);
    }
    for (unsigned char ch : encoded) EXPECT_LT(ch, 128);
}

TEST(QuotedPrintable, EncodesWhatMustBeEncodedAndWrapsLongLines) {
    using platform::formats::encodeQuotedPrintable;
    EXPECT_EQ(encodeQuotedPrintable("a=b \r\nc\t\r\n"), "a=3Db=20\r\nc=09\r\n");
    EXPECT_EQ(encodeQuotedPrintable("é"), "=C3=A9");
    EXPECT_EQ(encodeQuotedPrintable("x\ny"), "x=0Ay");  // a lone LF is data, not a line break
    std::string longLine(200, 'z');
    longLine += "€€€€€€€€€€€€€€€€€€€€€€€€€€€€";
    std::string encoded = encodeQuotedPrintable(longLine);
    EXPECT_EQ(decodeQuotedPrintable(encoded), longLine);
    for (size_t at = 0, next; at < encoded.size(); at = next + 2) {
        next = encoded.find("\r\n", at);
        if (next == std::string::npos) next = encoded.size();
        EXPECT_LE(next - at, 76u);
        // A soft break never splits an escape.
        if (next < encoded.size()) {
            EXPECT_EQ(encoded[next - 1], '=');
        }
    }
}

}  // namespace dalvera::test
