#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/Error.h"
#include "runtime/Text.h"
#include "runtime/Variant.h"
#include "text/modGlobalization.h"

using namespace dalvera;

namespace {

// Taken before any test touches the module, to see the state at load.
const double kCountryCodeAtLoad = GetCountryCode();
const std::string kReadyAtLoad = GetMessage(6);

const MessageText& entry(int16_t number) {
    for (const MessageText& m : MessageTable())
        if (m.number == number) return m;
    throw std::runtime_error("no entry " + std::to_string(number));
}

const CaptionText& captionEntry(std::string_view control) {
    for (const CaptionText& c : CaptionTable())
        if (control == c.control) return c;
    throw std::runtime_error("no caption " + std::string(control));
}

std::string stripAmp(std::string s) { return replaceAll(std::move(s), "&", ""); }

size_t count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + what.size())) ++n;
    return n;
}

long errorNumberOf(int16_t number) {
    try {
        GetMessage(number);
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

class Globalization : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        SetCountryCode(0);
        SetProductName(GetTitle());
        ClearCurrentError();
    }
    static void english() { SetCountryCode(1); }
    static void dutch() { SetCountryCode(31); }
};

// --- language choice ---------------------------------------------------------

TEST_F(Globalization, EnglishUntilACountryCodeIsSet) {
    EXPECT_EQ(kCountryCodeAtLoad, 0.0);
    EXPECT_EQ(kReadyAtLoad, entry(6).english);
}

TEST_F(Globalization, DutchExactlyForCountryCode31) {
    for (int32_t code : {0, 1, 3, 13, 30, 32, 44, 310, -31, 131}) {
        SetCountryCode(code);
        EXPECT_FALSE(IsDutch()) << code;
        EXPECT_EQ(GetMessage(6), entry(6).english) << code;
        EXPECT_EQ(GetCaption("frmSettings"), captionEntry("frmSettings").english) << code;
    }
    dutch();
    EXPECT_TRUE(IsDutch());
    EXPECT_EQ(GetCountryCode(), 31.0);
    EXPECT_EQ(GetMessage(6), entry(6).dutch);
    EXPECT_EQ(GetCaption("frmSettings"), captionEntry("frmSettings").dutch);
}

TEST_F(Globalization, ALaterCountryCodeChangesLaterTexts) {
    dutch();
    const std::string nlMessage = GetMessage(15);
    const std::string nlCaption = GetCaption("frmPassword");
    english();
    EXPECT_NE(GetMessage(15), nlMessage);
    EXPECT_NE(GetCaption("frmPassword"), nlCaption);
    dutch();
    EXPECT_EQ(GetMessage(15), nlMessage);
    EXPECT_EQ(GetCaption("frmPassword"), nlCaption);
}

// --- arguments --------------------------------------------------------------

TEST_F(Globalization, ArgumentsFillTheirPlaceholders) {
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        const std::string s = GetMessage(187, "LOWMARK", "HIGHMARK");
        ASSERT_NE(s.find("LOWMARK"), std::string::npos) << s;
        ASSERT_NE(s.find("HIGHMARK"), std::string::npos) << s;
        EXPECT_LT(s.find("LOWMARK"), s.find("HIGHMARK"));
        EXPECT_EQ(s.find('{'), std::string::npos) << s;
    }
}

TEST_F(Globalization, EveryOccurrenceOfAnArgumentIsFilled) {
    // Message 13 names its argument three times in both languages.
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        const std::string s = GetMessage(13, "EDITIONMARK");
        EXPECT_EQ(count(s, "EDITIONMARK"), count(nl ? entry(13).dutch : entry(13).english, "{1}"));
        EXPECT_EQ(s.find("{1}"), std::string::npos);
    }
}

TEST_F(Globalization, ArgumentsAreShownAsText) {
    EXPECT_NE(GetMessage(37, 12).find("12 "), std::string::npos);
    EXPECT_NE(GetMessage(37, 2.5).find("2.5 "), std::string::npos);
    EXPECT_NE(GetMessage(37, Variant::longLong(70000LL)).find("70000"), std::string::npos);
    // No value shows nothing, without an error.
    const std::string none = GetMessage(37);
    EXPECT_EQ(GetMessage(37, Variant()), none);
    EXPECT_EQ(GetMessage(37, Variant::null()), none);
    EXPECT_EQ(none.find("{1}"), std::string::npos);
    EXPECT_EQ(none.size() + 2, GetMessage(37, "xy").size());
}

TEST_F(Globalization, ArgumentsATemplateDoesNotNameAreIgnored) {
    EXPECT_EQ(GetMessage(15, "IGNORED", "ALSO"), GetMessage(15));
    EXPECT_EQ(GetMessage(37, 5, "IGNORED"), GetMessage(37, 5));
}

TEST_F(Globalization, InsertedValuesAreNotScannedAgain) {
    SetProductName("PRODUCTMARK");
    const std::string s = GetMessage(187, "{2}{product}{msg 122}", "B");
    EXPECT_NE(s.find("{2}{product}{msg 122}"), std::string::npos) << s;
    EXPECT_EQ(count(s, "PRODUCTMARK"), 0u);
    EXPECT_EQ(count(s, "B"), 1u);
}

TEST_F(Globalization, BracesThatAreNoPlaceholderStayAsTheyAre) {
    // Message 113 shows the GUID pattern in braces.
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        EXPECT_EQ(GetMessage(113, "A", "B"), nl ? entry(113).dutch : entry(113).english);
    }
}

// --- product, title, support -------------------------------------------------

TEST_F(Globalization, ProductNameIsReadAtTheMomentOfTheCall) {
    EXPECT_EQ(GetProductName(), GetTitle());
    const std::string before = GetMessage(216);
    EXPECT_EQ(before.rfind(GetTitle(), 0), 0u);
    SetProductName("Product Edition Mark");
    EXPECT_EQ(GetProductName(), "Product Edition Mark");
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        EXPECT_EQ(GetMessage(216).rfind("Product Edition Mark", 0), 0u);
        EXPECT_NE(GetMessage(11).find("'Product Edition Mark'"), std::string::npos);
        EXPECT_NE(GetMessage(12).find("'Product Edition Mark'"), std::string::npos);
    }
}

TEST_F(Globalization, TitleIsNotTheProductName) {
    EXPECT_EQ(GetTitle(), "Dalvera");
    SetProductName("Product Edition Mark");
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        const std::string s = GetMessage(30);
        EXPECT_EQ(count(s, "Dalvera"), 2u) << s;
        EXPECT_EQ(count(s, "Product Edition Mark"), 0u);
    }
}

TEST_F(Globalization, SupportAddressIsFilledIn) {
    ASSERT_FALSE(GetSupportAddress().empty());
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        EXPECT_NE(GetMessage(194).find(GetSupportAddress()), std::string::npos);
    }
}

// --- the current error ---------------------------------------------------------

TEST_F(Globalization, CurrentErrorFillsDescriptionAndNumber) {
    SetCurrentError(Error(3031, "Not a valid password DESCMARK", "DAO.Workspace"));
    EXPECT_EQ(CurrentErrorNumber(), 3031);
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        for (int16_t n : {1, 2}) {
            const std::string s = GetMessage(n);
            const size_t desc = s.find("Not a valid password DESCMARK\r");
            ASSERT_NE(desc, std::string::npos) << n << ": " << s;
            EXPECT_NE(s.find("3031)", desc), std::string::npos) << s;
            EXPECT_EQ(s.find('{'), std::string::npos) << s;
        }
    }
    SetCurrentError(-2147217900, "automation DESCMARK");
    EXPECT_NE(GetMessage(1).find("-2147217900)"), std::string::npos);
}

TEST_F(Globalization, NoCurrentErrorShowsNumberZero) {
    SetCurrentError(13, "Type mismatch");
    ClearCurrentError();
    const std::string s = GetMessage(1);
    EXPECT_EQ(s.rfind("\r", 0), 0u) << "the description is empty";
    EXPECT_NE(s.find("0)"), std::string::npos);
    EXPECT_EQ(s.find("13"), std::string::npos);
}

TEST_F(Globalization, ErrorScopePutsBackThePreviousError) {
    SetCurrentError(1004, "outer");
    {
        CurrentErrorScope inner(Error(3265, "inner"));
        EXPECT_EQ(CurrentErrorNumber(), 3265);
        EXPECT_EQ(CurrentErrorDescription(), "inner");
        {
            CurrentErrorScope innermost(70, "innermost");
            EXPECT_NE(GetMessage(1).find("innermost"), std::string::npos);
        }
        EXPECT_EQ(CurrentErrorNumber(), 3265);
        EXPECT_NE(GetMessage(1).find("inner\r"), std::string::npos);
    }
    EXPECT_EQ(CurrentErrorNumber(), 1004);
    EXPECT_EQ(CurrentErrorDescription(), "outer");
}

// --- embedded messages ---------------------------------------------------------

TEST_F(Globalization, EmbeddedMenuCaptionsLoseTheirAccelerators) {
    struct Case { int16_t host; int16_t embedded; };
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        for (Case c : {Case{11, 122}, Case{14, 122}, Case{24, 124}}) {
            const std::string caption = GetMessage(c.embedded);
            ASSERT_NE(caption.find('&'), std::string::npos) << "the menu caption has an accelerator";
            const std::string s = GetMessage(c.host);
            EXPECT_NE(s.find("'" + stripAmp(caption) + "'"), std::string::npos) << c.host << ": " << s;
            EXPECT_EQ(s.find('&'), std::string::npos) << s;
            EXPECT_EQ(s.find("{msg"), std::string::npos) << s;
        }
    }
    // 124 differs by language: the embedding follows the language.
    english();
    const std::string en = GetMessage(24);
    dutch();
    EXPECT_NE(GetMessage(24).find(stripAmp(GetMessage(124))), std::string::npos);
    EXPECT_EQ(en.find(stripAmp(GetMessage(124))), std::string::npos);
}

TEST_F(Globalization, EmbeddedErrorTextKeepsItsAmpersands) {
    CurrentErrorScope current(3146, "ODBC--call failed: Tom & Jerry");
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        const std::string s = GetMessage(182, "DSN=x;PWD=a&b");
        EXPECT_NE(s.find("\r" + GetMessage(1) + "\r"), std::string::npos) << s;
        EXPECT_NE(s.find("Tom & Jerry"), std::string::npos);
        EXPECT_NE(s.find("DSN=x;PWD=a&b"), std::string::npos);
    }
}

// --- numbers without a template ------------------------------------------------

TEST_F(Globalization, NumberWithoutTemplateRaises668) {
    for (int16_t n : {0, 28, 38, 121, 999, -1, 32767}) {
        try {
            GetMessage(n);
            ADD_FAILURE() << n << " returned a text";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), err::Critical);
            EXPECT_EQ(e.description(), "Text ID " + std::to_string(n) + " is not implemented!");
        }
    }
    dutch();
    EXPECT_EQ(errorNumberOf(28), err::Critical);
}

// --- captions ----------------------------------------------------------------

TEST_F(Globalization, CaptionsFollowTheLanguage) {
    for (const CaptionText& c : CaptionTable()) {
        english();
        EXPECT_EQ(GetCaption(c.control), c.english) << c.control;
        dutch();
        EXPECT_EQ(GetCaption(c.control), c.dutch) << c.control;
    }
}

TEST_F(Globalization, UnknownControlHasEmptyCaption) {
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        EXPECT_EQ(GetCaption("cmdNoSuchButton"), "");
        EXPECT_EQ(GetCaption(""), "");
        EXPECT_EQ(GetCaption("frmSettings "), "");
    }
}

TEST_F(Globalization, DialogsFindTheirCaptions) {
    // Names the dialogs look up; each must exist in both languages.
    const char* names[] = {"frmConnect", "fraOther", "frmLogon", "chkDontShowAgain", "frmPassword",
                           "lblDbPassword", "frmSettings", "lblTitleBack", "lblTitleFront",
                           "lblMatrixBack", "lblMatrixFront", "lblMatrixBackReadOnly",
                           "lblMatrixFrontReadOnly", "lblMatrixBackEdited", "lblMatrixFrontEdited",
                           "lblMatrixEdges", "lblFormBack", "chkShowHeadings", "chkShowFilter",
                           "chkShowZeros", "chkShowFieldDescription", "chkFreezeTopRow",
                           "lblCellsWarning", "cmdRestoreUserMsg", "cmdApplyDefaults",
                           "chkAutoAdjustColumnWidths", "chkApplyColumnPropsAccess",
                           "lblFixedColumnWidth", "frmAbout", "cmdSysInfo", "frmSysInfo", "factos",
                           "factkernel", "factcpu", "factcpus", "factmemory", "factqt", "factsqlite",
                           "cmdUndo", "cmdRedo", "undoAddRecord", "lblFindWhat", "chkMatchCase", "chkWholeCell", "cmdFindNext",
                           "cmdFindPrevious", "lblNotFound", "mnuCut", "mnuCopy", "mnuPaste", "mnuClear",
                           "lblRecords", "cmdCancelLoad",
                           "lblConnectKind", "lblConnectServer", "lblConnectPort", "lblConnectDatabase",
                           "chkConnectTrusted"};
    std::set<std::string> seen;
    for (const char* name : names) {
        english();
        const std::string en = GetCaption(name);
        dutch();
        const std::string nl = GetCaption(name);
        EXPECT_FALSE(en.empty()) << name;
        EXPECT_FALSE(nl.empty()) << name;
        EXPECT_NE(en, nl) << name;
        seen.insert(name);
    }
    EXPECT_EQ(seen.size(), CaptionTable().size()) << "a caption no dialog asks for, or a duplicate";
}

// --- the catalogue as a whole --------------------------------------------------

TEST_F(Globalization, EveryListedNumberHasBothLanguages) {
    const std::vector<int> numbers = {
        1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  15,  16,  17,  18,  19,
        20,  21,  22,  23,  24,  25,  26,  27,  29,  30,  31,  32,  33,  34,  35,  36,  37,  41,  42,
        43,  44,  45,  46,  47,  48,  51,  52,  53,  54,  55,  56,  57,  61,  62,  63,  64,  65,  66,
        71,  72,  73,  74,  75,  76,  77,  78,  79,  86,  87,  88,  90,  96,  97,  98,  99,  100, 107,
        108, 109, 110, 111, 112, 113, 114, 115, 116, 122, 123, 124, 125, 126, 127, 128, 133, 134, 135,
        136, 138, 153, 175, 176, 177, 178, 179, 182, 183, 184, 185, 186, 187, 188, 189, 190, 194, 197,
        198, 199, 200, 201, 205, 206, 207, 208, 211, 212, 213, 214, 215, 216, 217, 218, 219, 220,
        221, 222, 223, 224, 225, 226, 227, 228, 229, 230, 231, 232, 233, 240, 241, 242, 243, 244,
        250, 251, 252, 253, 254, 255, 256, 257, 258, 259, 260, 261, 262, 263, 264, 265, 266,
        267, 268, 270, 271, 272, 273, 274, 275, 276, 277, 278, 290, 291, 292, 293, 294};
    std::vector<int> inTable;
    for (const MessageText& m : MessageTable()) inTable.push_back(m.number);
    EXPECT_EQ(inTable, numbers);

    SetCurrentError(5, "Invalid procedure call");
    for (int n = -2; n <= 309; ++n) {
        const bool listed = std::binary_search(numbers.begin(), numbers.end(), n);
        for (bool nl : {false, true}) {
            SetCountryCode(nl ? 31 : 1);
            if (!listed) {
                EXPECT_EQ(errorNumberOf(static_cast<int16_t>(n)), err::Critical) << n;
                continue;
            }
            const std::string s = GetMessage(static_cast<int16_t>(n), "A1", "A2");
            EXPECT_FALSE(s.empty()) << n << (nl ? " nl" : " en");
            for (const char* token : {"{1}", "{2}", "{product}", "{title}", "{error}", "{errno}",
                                      "{msg", "{support}"})
                EXPECT_EQ(s.find(token), std::string::npos) << n << " still holds " << token;
        }
    }
}

TEST_F(Globalization, TextsAreCleanUtf8WithCarriageReturnsOnly) {
    for (const MessageText& m : MessageTable()) {
        for (const char* text : {m.english, m.dutch}) {
            ASSERT_NE(text, nullptr) << m.number;
            const std::string s = text;
            EXPECT_FALSE(s.empty()) << m.number;
            EXPECT_EQ(s.find('\n'), std::string::npos) << m.number << ": lines break with CR alone";
            // Each non-ASCII byte belongs to a well-formed sequence.
            size_t chars = 0;
            for (size_t i = 0; i < s.size(); ++chars) {
                const unsigned char c = static_cast<unsigned char>(s[i]);
                const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
                ASSERT_NE(len, 0u) << m.number;
                ASSERT_LE(i + len, s.size()) << m.number;
                for (size_t k = 1; k < len; ++k)
                    ASSERT_EQ(static_cast<unsigned char>(s[i + k]) >> 6, 2) << m.number;
                i += len;
            }
            EXPECT_EQ(chars, utf8Length(s));
        }
    }
    for (const CaptionText& c : CaptionTable()) {
        EXPECT_STRNE(c.english, "") << c.control;
        EXPECT_STRNE(c.dutch, "") << c.control;
    }
    // The accented letters survive as two-byte UTF-8.
    dutch();
    EXPECT_NE(GetMessage(36).find("\xC3\xA9\xC3\xA9n"), std::string::npos);
    EXPECT_NE(GetMessage(10).find("be\xC3\xABindigen"), std::string::npos);
    EXPECT_NE(GetMessage(90).find("ge\xC3\xAFnstalleerd"), std::string::npos);
}

TEST_F(Globalization, OnlyTheSharedTextsAreAlikeInBothLanguages) {
    std::vector<int> same;
    for (const MessageText& m : MessageTable())
        if (std::string(m.english) == m.dutch) same.push_back(m.number);
    EXPECT_EQ(same, (std::vector<int>{122, 136, 175, 244, 254}));  // 244: a unit symbol; 254: a file filter
}

TEST_F(Globalization, ChangesWarningIsTheStartOfTheQuestionsThatFollowIt) {
    for (bool nl : {false, true}) {
        SetCountryCode(nl ? 31 : 1);
        const std::string warning = GetMessage(16);
        ASSERT_EQ(warning.back(), '\r');
        EXPECT_EQ(count(warning, "\r"), 1u);
        for (int16_t n = 17; n <= 21; ++n) {
            const std::string s = GetMessage(n, "Klanten");
            EXPECT_EQ(s.rfind(warning, 0), 0u) << n;
            EXPECT_GT(s.size(), warning.size()) << n;
        }
    }
}

TEST_F(Globalization, LineBreaksAndWordingWhereTheLanguagesDiffer) {
    english();
    const std::string en31 = GetMessage(31, 70000);
    EXPECT_NE(en31.find("\r" "Number of records: 70000"), std::string::npos);
    EXPECT_EQ(en31.find("\r\r"), std::string::npos);
    EXPECT_NE(GetMessage(187, 1, 9).find("1 en 9"), std::string::npos);
    EXPECT_NE(GetMessage(214, "T").find("\rReopen de database."), std::string::npos);
    EXPECT_NE(GetMessage(55).find('\t'), std::string::npos);
    dutch();
    EXPECT_NE(GetMessage(31, 70000).find("\r\rAantal records: 70000"), std::string::npos);
    EXPECT_NE(GetMessage(187, 1, 9).find("1 en 9"), std::string::npos);
    EXPECT_EQ(count(GetMessage(55), "\t"), 2u);
}

// --- yes/no as text ------------------------------------------------------------

TEST_F(Globalization, IsTrueTextKnowsTheFourWords) {
    for (const char* yes : {"waar", "ja", "true", "yes", "  YES  ", "Waar", "JA", "True", " ja"})
        EXPECT_TRUE(IsTrueText(yes)) << '"' << yes << '"';
    EXPECT_TRUE(IsTrueText(true));
    for (const char* no : {"", "nee", "no", "false", "onwaar", "1", "-1", "y", "yes please", "j a", "ja."})
        EXPECT_FALSE(IsTrueText(no)) << '"' << no << '"';
    EXPECT_FALSE(IsTrueText(1));
    EXPECT_FALSE(IsTrueText(-1));
    EXPECT_FALSE(IsTrueText(false));
    EXPECT_FALSE(IsTrueText(Variant()));
    EXPECT_FALSE(IsTrueText(Variant::null()));
    EXPECT_FALSE(IsTrueText(Variant::missing()));
}

TEST_F(Globalization, IsTrueTextDoesNotDependOnTheLanguage) {
    dutch();
    EXPECT_TRUE(IsTrueText("yes"));
    EXPECT_TRUE(IsTrueText("WAAR"));
    english();
    EXPECT_TRUE(IsTrueText("ja"));
}

}  // namespace
