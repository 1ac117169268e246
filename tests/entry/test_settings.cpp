// The settings layer and the display routines, over a real registry file.
#include "SessionFixture.h"

#include <set>

#include "app/clsAux.h"

namespace dalvera::testing {

class SettingsTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        start();
        openAddinAcceptingHint();
    }
    clsAux& aux() { return goApplication->Aux(); }
    std::set<std::string> valueNames() {
        std::set<std::string> names;
        std::string name;
        for (uint32_t i = 0; host::registry().EnumValue(host::hkey::CurrentUser, settingsKey(), i, name) == 0; ++i)
            names.insert(name);
        return names;
    }
};

TEST_F(SettingsTest, ReadingEveryDisplaySettingStoresExactlyItsDefault) {
    std::set<std::string> before = valueNames();
    size_t n = 0;
    const DisplaySetting* table = DisplaySettings(n);
    for (size_t i = 0; i < n; ++i) aux().ReadSettingOrDefault(table[i].name);
    std::set<std::string> after = valueNames();
    EXPECT_EQ(after.size(), before.size() + n);
    for (size_t i = 0; i < n; ++i) {
        SCOPED_TRACE(table[i].name);
        uint32_t kind = 0;
        std::vector<uint8_t> data;
        ASSERT_TRUE(rawValue(table[i].name, kind, data));
        EXPECT_EQ(kind, static_cast<uint32_t>(table[i].kind));
        if (kind == 4) {
            ASSERT_EQ(data.size(), 4u);
            uint32_t v = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
            EXPECT_EQ(std::to_string(v), table[i].value);
        } else {
            EXPECT_EQ(rawText(table[i].name), table[i].value);
        }
    }
    // Read again: nothing more is written.
    for (size_t i = 0; i < n; ++i) aux().ReadSettingOrDefault(table[i].name);
    EXPECT_EQ(valueNames(), after);
}

TEST_F(SettingsTest, DefaultsColoursAndSwitches) {
    EXPECT_EQ(aux().ReadSettingOrDefault("Setting color title back"), Variant::longValue(0x804000));
    EXPECT_EQ(aux().ReadSettingOrDefault("Setting color matrix back"), Variant::longValue(0x99FFFF));
    EXPECT_EQ(aux().ReadSettingOrDefault("Setting display filter"), Variant("True"));
    // Only the exact word counts as on.
    aux().WriteSetting(1, "Setting display filter", Variant("true"));
    EXPECT_FALSE(aux().IsSettingOn("Setting display filter"));
    // An empty text is replaced by the default.
    aux().WriteSetting(1, "Setting display zeros", Variant(""));
    EXPECT_EQ(aux().ReadSettingOrDefault("Setting display zeros"), Variant("True"));
    EXPECT_EQ(rawText("Setting display zeros"), "True");
    // A deleted width comes back as 20.
    host::registry().DeleteValue(host::hkey::CurrentUser, settingsKey(), "Setting fixed column width");
    EXPECT_EQ(aux().ReadSettingOrDefault("Setting fixed column width"), Variant::longValue(20));
}

TEST_F(SettingsTest, TextWithAnEnvironmentReferenceIsStoredExpandable) {
    auto kindOf = [&](const std::string& name) {
        uint32_t kind = 0;
        std::vector<uint8_t> data;
        rawValue(name, kind, data);
        return kind;
    };
    aux().WriteSetting(1, "A", Variant("%HOME%/x"));
    aux().WriteSetting(1, "B", Variant("100%"));
    aux().WriteSetting(1, "C", Variant("%%"));
    EXPECT_EQ(kindOf("A"), 2u);
    EXPECT_EQ(kindOf("B"), 1u);
    EXPECT_EQ(kindOf("C"), 1u);
    // Read back expanded.
    EXPECT_EQ(aux().ReadSetting("A").text(), std::string(std::getenv("HOME")) + "/x");
    // A number kind with a text writes nothing and raises nothing.
    aux().WriteSetting(4, "D", Variant("12"));
    EXPECT_EQ(kindOf("D"), 0u);
}

TEST_F(SettingsTest, LargeResultsAskFirst) {
    // 20 fields x 5000 records is exactly the limit: no question.
    EXPECT_FALSE(aux().ConfirmLargeResult(20, 5000));
    ui_.expectMsgBox(host::answer::No, GetMessage(32), host::mb::Question, host::mb::YesNo);
    EXPECT_TRUE(aux().ConfirmLargeResult(20, 5001));
    ui_.expectMsgBox(host::answer::Yes);
    EXPECT_FALSE(aux().ConfirmLargeResult(20, 5001));
    EXPECT_FALSE(aux().ConfirmLargeResult(20, -1));  // count unknown
    ui_.verifyAllConsumed();
}

TEST_F(SettingsTest, DisplayRoutinesFormatARange) {
    auto book = session_->app().Workbooks().Add();
    auto sheet = book->Worksheets()->Item(1);
    auto range = sheet->Range("B2:D5");
    aux().FormatDataRange(range);
    auto title = sheet->Range("B2:D2");
    EXPECT_EQ(title->Font()->Bold(), Variant(true));
    EXPECT_EQ(title->Interior()->Color().toLong(), 0x804000);
    EXPECT_EQ(title->Font()->Color().toLong(), 0xFFFFFF);
    EXPECT_EQ(sheet->Range("B3")->Font()->Bold(), Variant(false));
    EXPECT_EQ(range->Borders()->Item(host::xl::InsideVertical)->LineStyle().toLong(), host::xl::Continuous);
    EXPECT_EQ(range->Borders()->Item(host::xl::EdgeTop)->Color().toLong(), 0x804000);
    EXPECT_EQ(sheet->Range("C1")->ColumnWidth().toDouble(), 20);
    // A single cell: only the outline.
    auto cell = sheet->Range("F8");
    aux().DrawGridLines(cell);
    EXPECT_EQ(cell->Borders()->Item(host::xl::EdgeLeft)->LineStyle().toLong(), host::xl::Continuous);
    EXPECT_NE(cell->Borders()->Item(host::xl::InsideVertical)->LineStyle().toLong(), host::xl::Continuous);
    // Freezing the top row.
    aux().ApplyFreezeTopRow(sheet);
    EXPECT_TRUE(session_->app().ActiveWindow()->FreezePanes());
    EXPECT_EQ(session_->app().ActiveWindow()->SplitRow(), 1);
    aux().WriteSetting(1, "Setting freeze top row", Variant("False"));
    aux().ApplyFreezeTopRow(sheet);
    EXPECT_FALSE(session_->app().ActiveWindow()->FreezePanes());
}

}  // namespace dalvera::testing
