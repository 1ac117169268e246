// The .reg text form: what we write reads back to the same tree, and what is not
// the format is refused with the line it is on.
#include <gtest/gtest.h>

#include "host/Registry.h"
#include "platform/registry/RegFile.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

using namespace dalvera;
using namespace dalvera::platform;

namespace {

std::vector<uint8_t> bytes(std::string_view s, bool nul = true) {
    std::vector<uint8_t> b(s.begin(), s.end());
    if (nul) b.push_back(0);
    return b;
}

RegTree sample() {
    RegTree t;
    auto& k = t.create("HKEY_CURRENT_USER\\SOFTWARE\\Dalvera11");
    k.values.push_back({"Text", 1, bytes("C:\\path \"quoted\" \xC3\xA9")});
    k.values.push_back({"Expand", 2, bytes("%TEMP%\\x")});
    k.values.push_back({"Number", 4, {0x0a, 0, 0, 0}});
    k.values.push_back({"Big", 5, {0, 0, 1, 0}});
    k.values.push_back({"List", 7, bytes(std::string("a\0b\0", 4))});
    k.values.push_back({"Blob", 3, {0xde, 0xad, 0xbe, 0xef}});
    k.values.push_back({"", 1, bytes("default")});
    k.values.push_back({"Empty text", 1, {}});
    k.values.push_back({"Two lines", 1, bytes("a\r\nb")});
    k.values.push_back({"Short dword", 4, {1, 2}});
    k.values.push_back({"Quad", 11, {1, 2, 3, 4, 5, 6, 7, 8}});
    t.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Other").values.push_back({"x", 4, {0xff, 0xff, 0xff, 0xff}});
    return t;
}

std::string header() { return "Windows Registry Editor Version 5.00\n\n"; }

long corruptNumber(const std::string& text, std::string* description = nullptr) {
    try {
        parseRegFile(text, "/x/registry.reg");
    } catch (const Error& e) {
        if (description) *description = e.description();
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(RegFile, EveryKindRoundTripsExactly) {
    RegTree t = sample();
    std::string text = formatRegFile(t);
    EXPECT_EQ(parseRegFile(text, "f"), t);
    // Writing again gives the same text: the form is stable.
    EXPECT_EQ(formatRegFile(parseRegFile(text, "f")), text);
}

TEST(RegFile, WritesTheFormsOfTheFormat) {
    std::string text = formatRegFile(sample());
    EXPECT_EQ(text.rfind(header(), 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SOFTWARE\\Dalvera11]\n"), std::string::npos);
    EXPECT_NE(text.find("\"Text\"=\"C:\\\\path \\\"quoted\\\" \xC3\xA9\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Number\"=dword:0000000a\n"), std::string::npos);
    EXPECT_NE(text.find("\"x\"=dword:ffffffff\n"), std::string::npos);
    EXPECT_NE(text.find("\"Big\"=hex(5):00,00,01,00\n"), std::string::npos);
    EXPECT_NE(text.find("\"Blob\"=hex:de,ad,be,ef\n"), std::string::npos);
    EXPECT_NE(text.find("@=\"default\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Empty text\"=hex(1):\n"), std::string::npos);
    EXPECT_NE(text.find("\"Quad\"=hex(b):01,02,03,04,05,06,07,08\n"), std::string::npos);
    // Expandable text and lists are UTF-16LE in the file.
    EXPECT_NE(text.find("\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,78,00,00,00\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"), std::string::npos);
    // Parents appear as keys of their own.
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SOFTWARE]\n"), std::string::npos);
}

TEST(RegFile, LongBinaryValuesWrapAndReadBack) {
    RegTree t;
    std::vector<uint8_t> big(300);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i);
    t.create("HKEY_CURRENT_USER\\K").values.push_back({"b", 3, big});
    std::string text = formatRegFile(t);
    EXPECT_NE(text.find(",\\\n  "), std::string::npos);
    for (const auto& line : split(text, '\n')) EXPECT_LE(line.size(), 80u);
    EXPECT_EQ(parseRegFile(text, "f"), t);
}

TEST(RegFile, ReadsFilesFromTheOtherPlatform) {
    // CRLF lines, a UTF-8 mark, comments, upper-case hex and a wrapped value.
    std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
        "\"A\"=dword:0000FFFF\r\n"
        "\"B\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\"a\"=\"replaces A\"\r\n";
    RegTree t = parseRegFile(text, "f");
    RegKey* k = t.find("hkey_current_user\\software\\test");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->fullName, "HKEY_CURRENT_USER\\Software\\Test");
    ASSERT_EQ(k->values.size(), 2u);
    EXPECT_EQ(k->values[0].name, "A");  // first spelling kept, later value wins
    EXPECT_EQ(k->values[0].kind, 1u);
    EXPECT_EQ(k->values[1].data, (std::vector<uint8_t>{1, 2, 3, 4}));

    // The same file as UTF-16LE with its mark.
    std::string wide = "\xFF\xFE";
    for (char c : std::string(header() + "[HKEY_LOCAL_MACHINE\\S]\r\n\"v\"=\"w\"\r\n")) {
        wide += c;
        wide += '\0';
    }
    RegTree w = parseRegFile(wide, "f");
    ASSERT_NE(w.find("HKEY_LOCAL_MACHINE\\S"), nullptr);
    EXPECT_EQ(w.find("HKEY_LOCAL_MACHINE\\S")->values.at(0).data, bytes("w"));
}

TEST(RegFile, DeletionEntriesRemoveKeysAndValues) {
    RegTree t = parseRegFile(header() +
                                 "[HKEY_CURRENT_USER\\A\\B]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
                                 "[HKEY_CURRENT_USER\\A\\B]\n\"x\"=-\n"
                                 "[HKEY_CURRENT_USER\\C\\D]\n"
                                 "[-HKEY_CURRENT_USER\\C]\n\"ignored\"=\"z\"\n",
                             "f");
    ASSERT_NE(t.find("HKEY_CURRENT_USER\\A\\B"), nullptr);
    EXPECT_EQ(t.find("HKEY_CURRENT_USER\\A\\B")->values.size(), 1u);
    EXPECT_EQ(t.find("HKEY_CURRENT_USER\\C"), nullptr);
    EXPECT_EQ(t.find("HKEY_CURRENT_USER\\C\\D"), nullptr);
}

TEST(RegFile, DamageIsReportedWithFileAndLine) {
    std::string d;
    EXPECT_EQ(corruptNumber("REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n", &d), host::RegistryCorrupt);
    EXPECT_NE(d.find("/x/registry.reg"), std::string::npos);
    EXPECT_NE(d.find("line 1"), std::string::npos);

    EXPECT_EQ(corruptNumber(header() + "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:0g\n", &d), host::RegistryCorrupt);
    EXPECT_NE(d.find("line 4"), std::string::npos);
    const char* bad[] = {
        "\"v\"=\"1\"\n",                                  // value before any key
        "[HKEY_CURRENT_USER\\A\n",                        // no closing bracket
        "[HKEY_NOWHERE\\A]\n",                            // unknown root
        "[HKEY_CURRENT_USER\\A\\\\B]\n",                  // empty level
        "[HKEY_CURRENT_USER\\A]\n\"v\"=\"open\n",         // no closing quote
        "[HKEY_CURRENT_USER\\A]\n\"v\"=\"a\\nb\"\n",      // unknown escape
        "[HKEY_CURRENT_USER\\A]\n\"v\"=\"a\" junk\n",
        "[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123456789\n",
        "[HKEY_CURRENT_USER\\A]\n\"v\"=dword:xyz\n",
        "[HKEY_CURRENT_USER\\A]\n\"v\"=hex(2x):00\n",
        "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:123\n",
        "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,,02\n",
        "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,\\",         // continues past the end
        "[HKEY_CURRENT_USER\\A]\n\"v\"=qword:1\n",
        "[HKEY_CURRENT_USER\\A]\nv=\"1\"\n",
        "[HKEY_CURRENT_USER\\A]\n\"v\"\"1\"\n",
    };
    for (const char* b : bad) EXPECT_EQ(corruptNumber(header() + b), host::RegistryCorrupt) << b;
    EXPECT_EQ(corruptNumber(header() + "[HKEY_CURRENT_USER\\A]\n\"v\"=\"\xFF\"\n"), host::RegistryCorrupt);
}

TEST(RegFile, BlankFileIsEmptyTree) {
    EXPECT_TRUE(parseRegFile("", "f").keys().empty());
    EXPECT_TRUE(parseRegFile("\n  \n", "f").keys().empty());
}

TEST(RegTree, NamesIgnoreCaseAndKeepTheFirstSpelling) {
    RegTree t;
    t.create("HKEY_CURRENT_USER\\Software\\Mixed");
    RegKey& again = t.create("HKEY_CURRENT_USER\\SOFTWARE\\MIXED\\Child");
    EXPECT_EQ(again.fullName, "HKEY_CURRENT_USER\\Software\\Mixed\\Child");
    EXPECT_EQ(t.children("hkey_current_user\\software"), std::vector<std::string>{"Mixed"});
    t.erase("HKEY_CURRENT_USER\\software\\mixed");
    EXPECT_EQ(t.find("HKEY_CURRENT_USER\\Software\\Mixed\\Child"), nullptr);
    EXPECT_NE(t.find("HKEY_CURRENT_USER\\Software"), nullptr);

    std::string full;
    EXPECT_TRUE(RegTree::fullName(host::hkey::LocalMachine, "\\SOFTWARE\\X\\", full));
    EXPECT_EQ(full, "HKEY_LOCAL_MACHINE\\SOFTWARE\\X");
    EXPECT_FALSE(RegTree::fullName(12345, "X", full));
}
