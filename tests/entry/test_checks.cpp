// The checks before the add-in starts: database components, other copies of the
// add-in, the edition the add-in workbook names; and what is left after a refusal.
#include "SessionFixture.h"

#include "entry/Interface11.h"
#include "host/Registry.h"
#include "menus/clsMenuBarControl.h"

namespace dalvera::testing {

namespace {
constexpr const char* kRows = "Microsoft Data Access Components (MDAC) 2.8";
constexpr const char* kJet = "Microsoft Jet 4.0 database-engine";
constexpr const char* k2007 = "2007 Office System Driver: Data Connectivity Components";
constexpr const char* k2010 = "Microsoft Access Database Engine 2010 Redistributable";

bool menuExists(platform::EmbeddedApplication& app) {
    auto controls = app.CommandBars().Item(1)->Controls();
    for (long i = 1; i <= controls->Count(); ++i)
        if (controls->Item(i)->Caption() == clsMenuBarControl::Name()) return true;
    return false;
}
}  // namespace

class ChecksTest : public SessionTest {
protected:
    // Answers the first-run hint of a start that passes: variant 21 on an old host
    // and the ribbon variants show just the hint.
    void expectHint() { ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); }); }
    void expectRefused(Session& s) {
        EXPECT_FALSE(goApplication);
        EXPECT_FALSE(goExcel);
        EXPECT_FALSE(isOpen(s.addin().workbook()));
        EXPECT_FALSE(menuExists(s.app()));
    }
    void writeOption(const std::string& version, const std::string& name, const std::string& text) {
        std::string key = "Software\\Microsoft\\Office\\" + version + "\\Excel\\Options";
        host::registry().CreateKey(host::hkey::CurrentUser, key);
        std::vector<uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        host::registry().SetValue(host::hkey::CurrentUser, key, name, host::regkind::String, data);
    }
    std::string fullName() { return session_->addin().workbook()->FullName(); }
};

// On this platform a component is missing when the platform was wired without
// its database engine: the DAO classes need the table engine, the ADO classes
// the row engine. The test removes one, as a build without it would be.
TEST_F(ChecksTest, AMissingComponentIsNamedByVariantAndHostVersion) {
    struct Case {
        int variant;
        const char* hostVersion;
        bool noTables, noRows;
        const char* missing;  // nullptr: the check passes
        const char* page;
    };
    const Case cases[] = {
        {11, "11.0", true, false, kJet, "components-engine.html"},
        {12, "12.0", true, false, k2007, "components-engine.html"},
        {12, "14.0", true, false, k2010, "components-engine.html"},
        {12, "16.0", true, false, k2010, "components-engine.html"},
        {12, "16.0", false, true, kRows, "components-rows.html"},
        {11, "11.0", true, true, kRows, "components-rows.html"},
        {21, "11.0", true, false, nullptr, nullptr},
        {22, "16.0", true, false, nullptr, nullptr},
        {22, "16.0", false, true, kRows, "components-rows.html"},
        {12, "16.0", false, false, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.variant) + " on " + c.hostVersion + (c.noTables ? " without tables" : "") +
                     (c.noRows ? " without rows" : ""));
        std::string log = installOpener();
        std::filesystem::remove(log);
        SessionOptions o;
        o.variant = c.variant;
        o.hostVersion = c.hostVersion;
        Session& s = start(o);
        if (c.noTables) host::platform().dao.reset();
        if (c.noRows) host::platform().ado.reset();
        if (c.missing) {
            ui_.expectMsgBox(host::answer::OK, GetMessage(29, Variant(std::string(c.missing))), host::mb::Information);
        } else {
            expectHint();
        }
        s.openAddin();
        ui_.verifyAllConsumed();
        if (c.missing) {
            EXPECT_EQ(ui_.last(PromptKind::MsgBox)->title, GetProductName());
            EXPECT_EQ(waitFor(log), host::shell().ComponentFolder() + "/help/" + c.page);
            EXPECT_TRUE(std::filesystem::exists(host::shell().ComponentFolder() + "/help/" + c.page));
            expectRefused(s);
        } else {
            EXPECT_TRUE(menuExists(s.app()));
            EXPECT_TRUE(isOpen(s.addin().workbook()));
        }
        session_.reset();
        std::filesystem::remove(dir_ + "/registry.reg");
        ui_.clearShown();
    }
}

TEST_F(ChecksTest, OtherCopiesOfTheAddinRefuseUnlessThisOneIsListedFirst) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> values;  // "%self%" stands for this workbook's path
        bool passes;
    };
    const Case cases[] = {
        {"no Options key", {}, true},
        {"this copy alone", {{"OPEN", "\"%self%\""}}, true},
        {"this one under OPEN1, quoted and in other case", {{"OPEN", "/other/Dalvera.xlam"}, {"OPEN1", "\"%SELF%\""}},
         true},
        {"this one under OPEN", {{"OPEN", "\"%self%\""}, {"OPEN1", "/other/Dalvera.xlam"}}, false},
        {"neither listed first", {{"OPEN", "/a/Dalvera.xlam"}, {"OPEN2", "/b/Dalvera.xlam"}}, false},
        {"the title in another case is not counted", {{"OPEN", "\"%self%\""}, {"OPEN2", "/b/DALVERA.xlam"}}, true},
        {"names not starting with OPEN are ignored",
         {{"OPEN", "\"%self%\""}, {"XOPEN", "/b/Dalvera.xlam"}, {"open3", "/c/Dalvera.xlam"}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session& s = start();
        // The add-in workbook in a folder of its own, named as installed copies are.
        std::filesystem::create_directories(dir_ + "/AddIns");
        s.addin().workbook()->SaveAs(dir_ + "/AddIns/Dalvera Desk.xlsx");
        std::string self = fullName();
        ASSERT_NE(self.find(GetTitle()), std::string::npos);
        std::string upper;
        for (char ch : self) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        for (auto [name, text] : c.values) {
            if (auto at = text.find("%self%"); at != std::string::npos) text.replace(at, 6, self);
            if (auto at = text.find("%SELF%"); at != std::string::npos) text.replace(at, 6, upper);
            writeOption("16.0", name, text);
        }
        // Another host version's list does not count.
        writeOption("15.0", "OPEN1", "/z/Dalvera.xlam");
        if (c.passes) {
            expectHint();
        } else {
            ui_.expectMsgBox(host::answer::OK, GetMessage(30), host::mb::Information);
        }
        s.openAddin();
        ui_.verifyAllConsumed();
        if (c.passes) {
            EXPECT_TRUE(menuExists(s.app()));
        } else {
            EXPECT_EQ(ui_.last(PromptKind::MsgBox)->title, GetProductName());
            expectRefused(s);
        }
        session_.reset();
        std::filesystem::remove(dir_ + "/registry.reg");
    }
}

TEST_F(ChecksTest, AWorkbookThatNamesNoEditionIsRefusedAsSuch) {
    // The add-in workbook's Revision Number decides the edition; anything but
    // 11, 12, 21 and 22 is refused before any component is blamed.
    struct Case {
        Variant revision;
        std::string shown;
    };
    const Case cases[] = {
        {Variant::longValue(13), "13"},
        {Variant::longValue(0), "0"},
        {Variant("twelve"), "twelve"},
        {Variant::longValue(99999), "99999"},
        {Variant(std::string()), "unreadable"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        std::string log = installOpener();
        Session& s = start();
        s.addin().workbook()->SetBuiltinDocumentProperties("Revision Number", c.revision);
        ui_.expectMsgBox(host::answer::OK, GetMessage(242, Variant(c.shown)), host::mb::Critical);
        s.openAddin();
        ui_.verifyAllConsumed();
        EXPECT_EQ(ui_.lastMessage().find("MDAC"), std::string::npos);
        EXPECT_EQ(ui_.last(PromptKind::MsgBox)->title, GetTitle());
        EXPECT_EQ(ui_.count(PromptKind::MsgBox), 1u);  // not message 2 as well
        expectRefused(s);
        EXPECT_FALSE(std::filesystem::exists(log));  // no download page opened
        session_.reset();
        std::filesystem::remove(dir_ + "/registry.reg");
        ui_.clearShown();
    }
    // Told before the host is attached, yet in the host's language.
    SessionOptions o;
    o.countryCode = 31;
    Session& s = start(o);
    s.addin().workbook()->SetBuiltinDocumentProperties("Revision Number", Variant::longValue(13));
    SetCountryCode(31);
    const std::string dutch = GetMessage(242, Variant("13"));
    SetCountryCode(0);
    ui_.expectMsgBox(host::answer::OK, dutch, host::mb::Critical);
    s.openAddin();
    ui_.verifyAllConsumed();
    expectRefused(s);
}

TEST_F(ChecksTest, AfterARefusedStartEveryCommandRaises91) {
    Session& s = start();
    writeOption("16.0", "OPEN", "/a/Dalvera.xlam");
    writeOption("16.0", "OPEN1", "/b/Dalvera.xlam");
    ui_.expectMsgBox(host::answer::OK, GetMessage(30), host::mb::Information);
    s.openAddin();
    ASSERT_FALSE(goApplication);
    Interface11* entry = s.addin().entry();
    ASSERT_NE(entry, nullptr);
    using Method = void (Interface11::*)();
    const std::pair<const char*, Method> methods[] = {
        {"GetDatabase", &Interface11::GetDatabase},   {"Show", &Interface11::Show},
        {"ExecuteView", &Interface11::ExecuteView},   {"ExecuteQuery", &Interface11::ExecuteQuery},
        {"ExecuteSQL", &Interface11::ExecuteSQL},     {"AddRow", &Interface11::AddRow},
        {"WriteData", &Interface11::WriteData},       {"DeleteRows", &Interface11::DeleteRows},
        {"Refresh", &Interface11::Refresh},           {"ShowHelp", &Interface11::ShowHelp},
        {"ShowSettings", &Interface11::ShowSettings}, {"ShowAllSheets", &Interface11::ShowAllSheets},
        {"CloseWorkbook", &Interface11::CloseWorkbook}, {"ShowFirstMessage", &Interface11::ShowFirstMessage},
    };
    for (auto [name, method] : methods) {
        SCOPED_TRACE(name);
        try {
            (entry->*method)();
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 91);
            EXPECT_EQ(e.description(), "Object variable or With block variable not set");
        }
    }
    // These need no controller.
    entry->AddinUninstall();
    ui_.expectMsgBox(host::answer::OK, "Hello", host::mb::Information);
    entry->SayHello();
    ui_.verifyAllConsumed();
}

TEST_F(ChecksTest, AnInvisibleHostLeavesTheAddinWorkbookOpen) {
    SessionOptions o;
    o.hostVisible = false;
    Session& s = start(o);
    ui_.expectMsgBox(host::answer::OK, GetMessage(10), host::mb::Exclamation);
    s.openAddin();
    ui_.verifyAllConsumed();
    // Inert, not refused: no checks ran, so nothing closed the workbook.
    EXPECT_TRUE(isOpen(s.addin().workbook()));
    EXPECT_TRUE(goApplication);
    EXPECT_EQ(ui_.count(PromptKind::MsgBox), 1u);
    EXPECT_FALSE(menuExists(s.app()));
    // Its commands fail as an unset object would.
    try {
        s.addin().entry()->GetDatabase();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 91);
    }
}

}  // namespace dalvera::testing
