#include <sys/resource.h>

#include <csignal>

#include "FormatsFixture.h"

namespace dalvera::test {

namespace {
// RFC 4180 reading: quoted fields may hold separators, doubled quotes and line breaks.
std::vector<std::vector<std::string>> parseDelimited(const std::string& text, char sep) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
            else if (ch == '"') quoted = false;
            else field += ch;
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == sep) {
            row.push_back(field), field.clear();
        } else if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row.push_back(field), field.clear();
            rows.push_back(row), row.clear();
            ++i;
        } else {
            EXPECT_NE(ch, '\n') << "bare LF outside quotes at " << i;
            field += ch;
        }
    }
    EXPECT_FALSE(quoted);
    EXPECT_TRUE(field.empty() && row.empty()) << "last line without CR LF";
    return rows;
}

const std::string kBom = "\xEF\xBB\xBF";

std::string withoutBom(const std::string& s) {
    EXPECT_EQ(s.substr(0, 3), kBom);
    return s.substr(3);
}

const std::vector<std::vector<std::string>> kExpected = {
    {"Name", "Amount", "When", "Flag", "Note"},
    {"Smith, John", "$1,234.50", "2024-03-15", "TRUE", "He said \"hi\""},
    {"Zoë € ünï", "3.25", "", "FALSE", "line1\nline2"},
    {"tab\there", "-42", "12/31/2023 13:45", "", "<b>&amp;</b>"},
};
}  // namespace

TEST_F(FormatsTest, CsvHoldsTheActiveSheetAsDisplayed) {
    std::string raw = saveAndRead("out.csv", host::xl::CSV);
    EXPECT_EQ(parseDelimited(withoutBom(raw), ','), kExpected);
    // Quoting only where needed: separators, quotes and line breaks.
    EXPECT_NE(raw.find("\r\n\"Smith, John\",\"$1,234.50\",2024-03-15,TRUE,"), std::string::npos) << raw;
    EXPECT_NE(raw.find("\"He said \"\"hi\"\"\"\r\n"), std::string::npos);
    EXPECT_NE(raw.find("\r\ntab\there,"), std::string::npos);
    EXPECT_EQ(raw.find("hidden-value"), std::string::npos);
    EXPECT_EQ(raw.find("notes-value"), std::string::npos);
    EXPECT_EQ(book->Name(), "out.csv");
}

TEST_F(FormatsTest, TabTextQuotesTabsButNotCommas) {
    std::string raw = saveAndRead("out.txt", host::xl::CurrentPlatformText);
    EXPECT_EQ(parseDelimited(withoutBom(raw), '\t'), kExpected);
    EXPECT_NE(raw.find("\r\nSmith, John\t"), std::string::npos);
    EXPECT_NE(raw.find("\"tab\there\"\t-42"), std::string::npos);
}

TEST_F(FormatsTest, DelimitedTextCoversTheUsedRangeOfTheActiveSheet) {
    auto other = book->Worksheets()->Item("Other");
    other->Range("D5")->SetValue("x");
    other->Range("C3")->Interior()->SetColor(0xFF);  // formatted, empty: still part of the used range
    other->Activate();
    std::string raw = saveAndRead("other.csv", host::xl::CSV);
    // B2:D5, full width on every line, the blank row kept.
    EXPECT_EQ(withoutBom(raw), "7,,\r\n,,\r\n,,\r\n,,x\r\n");

    // An empty sheet gives an empty file.
    auto empty = book->Worksheets()->Add(nullptr, other);
    empty->Activate();
    EXPECT_EQ(saveAndRead("empty.csv", host::xl::CSV), kBom);
}

TEST_F(FormatsTest, FailedSaveLeavesNoFileAndKeepsTheOldOne) {
    // A folder that does not exist, a folder below a file, and a folder as the target.
    EXPECT_EQ(errorOf([&] { book->SaveAs(path("missing/out.csv"), Variant(host::xl::CSV)); }), err::HostRefusal);
    EXPECT_FALSE(fs::exists(path("missing")));
    std::ofstream(path("plain")) << "x";
    EXPECT_EQ(errorOf([&] { book->SaveAs(path("plain/out.xml"), Variant(host::xl::XMLSpreadsheet)); }),
              err::HostRefusal);
    fs::create_directory(path("folder.htm"));
    EXPECT_EQ(errorOf([&] { book->SaveAs(path("folder.htm"), Variant(host::xl::Html)); }), err::HostRefusal);
    EXPECT_TRUE(fs::is_directory(path("folder.htm")));

    // A write that fails half-way (file size limit) keeps the earlier file intact.
    std::ofstream(path("keep.csv")) << "old";
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    long failed = errorOf([&] { book->SaveAs(path("keep.csv"), Variant(host::xl::CSV)); });
    ::setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(failed, err::HostRefusal);
    EXPECT_EQ(read(path("keep.csv")), "old");
    EXPECT_NE(book->Name(), "keep.csv");

    // Nothing but what the test created is left in the folder.
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"folder.htm", "keep.csv", "plain"}));

    // A save that succeeds replaces the file; the temporary name stays short enough.
    book->SaveAs(path("keep.csv"), Variant(host::xl::CSV));
    EXPECT_EQ(parseDelimited(withoutBom(read(path("keep.csv"))), ','), kExpected);
    const std::string longest = std::string(251, 'n') + ".csv";
    EXPECT_EQ(saveAndRead(longest, host::xl::CSV), read(path("keep.csv")));
}

}  // namespace dalvera::test
