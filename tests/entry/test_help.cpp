// Help, the information dialog and web addresses go through the desktop's opener.
#include "SessionFixture.h"

#include <sqlite3.h>
#include <unistd.h>

#include "app/frmAbout.h"
#include "app/frmSysInfo.h"
#include "platform/os/DesktopShell.h"

namespace dalvera::testing {

namespace {
// The machine's shell with another program folder, or another place for /etc and /proc.
class MovedShell : public platform::DesktopShell {
public:
    MovedShell(std::string folder, std::string root) : DesktopShell(std::move(root)), folder_(std::move(folder)) {}
    std::string ComponentFolder() override { return folder_.empty() ? DesktopShell::ComponentFolder() : folder_; }

private:
    std::string folder_;
};
}  // namespace

class HelpTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        start();
        openAddinAcceptingHint();
    }
    void useShell(std::string folder, std::string root = {}) {
        shell_ = std::make_unique<MovedShell>(std::move(folder), std::move(root));
        host::platform().shell = shell_.get();
    }
    std::string manual(const std::string& page = "index.html") {
        return host::shell().ComponentFolder() + "/help/" + page;
    }
    std::unique_ptr<MovedShell> shell_;
};

TEST_F(HelpTest, HelpOpensTheManualBesideTheProgram) {
    std::string log = installOpener();
    session_->app().Run("ThisWorkbook.ShowHelp");
    std::string opened = waitFor(log);
    EXPECT_EQ(opened, host::shell().ComponentFolder() + "/help/index.html");
    EXPECT_TRUE(std::filesystem::exists(opened));
    ui_.verifyAllConsumed();
}

TEST_F(HelpTest, DutchHelpOpensTheDutchManual) {
    SetCountryCode(31);
    std::string log = installOpener();
    session_->app().Run("ThisWorkbook.ShowHelp");
    std::string opened = waitFor(log);
    EXPECT_EQ(opened, manual("nl/index.html"));
    EXPECT_TRUE(std::filesystem::exists(opened));
    ui_.verifyAllConsumed();
}

TEST_F(HelpTest, WithoutAnOpenerHelpNamesTheManualsPath) {
    removeOpener();
    // The manual is there: saying it cannot be found would send the person looking for nothing.
    ui_.expectMsgBox(host::answer::OK, GetMessage(240, Variant(manual())), host::mb::Exclamation);
    session_->app().Run("ThisWorkbook.ShowHelp");
    EXPECT_EQ(ui_.lastMessage().find(GetMessage(194)), std::string::npos);
    EXPECT_NE(ui_.lastMessage().find(manual()), std::string::npos);
    ui_.verifyAllConsumed();

    SetCountryCode(31);
    ui_.expectMsgBox(host::answer::OK, GetMessage(240, Variant(manual("nl/index.html"))), host::mb::Exclamation);
    session_->app().Run("ThisWorkbook.ShowHelp");
    ui_.verifyAllConsumed();
}

TEST_F(HelpTest, AManualThatIsReallyMissingCannotBeFound) {
    std::string log = installOpener();
    useShell(dir_ + "/program");  // a program folder without a help folder
    ui_.expectMsgBox(host::answer::OK, GetMessage(194), host::mb::Exclamation);
    session_->app().Run("ThisWorkbook.ShowHelp");
    ui_.verifyAllConsumed();
    EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(HelpTest, AnAddressThatCannotBeOpenedIsShownWithTheAddress) {
    removeOpener();
    ui_.expectMsgBox(host::answer::OK, GetMessage(153) + "\r\rURL: \rhttps://example.org/x", host::mb::Information);
    goApplication->OpenUrl("https://example.org/x");
    std::string log = installOpener();
    goApplication->OpenUrl("https://example.org/y");
    EXPECT_EQ(waitFor(log), "https://example.org/y");
    ui_.verifyAllConsumed();
}

TEST(FileUrl, EscapesWhatAnAddressCannotHold) {
    EXPECT_EQ(FileUrl("/opt/dalvera/help/index.html"), "file:///opt/dalvera/help/index.html");
    EXPECT_EQ(FileUrl("/home/an na/50%/#1?.html"), "file:///home/an%20na/50%25/%231%3F.html");
    EXPECT_EQ(FileUrl("/h\xC3\xA9"), "file:///h%C3%A9");
}

TEST_F(HelpTest, AboutShowsTheVersionAndLinksToTheManual) {
    std::string log = installOpener();
    std::string link;
    ui_.expectForm("frmAbout", [&](host::Form& f) {
        EXPECT_EQ(f.caption, GetCaption("frmAbout"));
        EXPECT_EQ(f.control("lblProduct")->caption, GetProductName());
        EXPECT_EQ(f.control("lblVersion")->caption, "Version " + ComponentVersionText());
        link = f.control("lblLink")->caption;
        click(f, "lblLink");
        click(f, "cmdOK");
    });
    session_->app().Run("ThisWorkbook.ShowInfo");
    EXPECT_EQ(link, "file://" + manual());
    EXPECT_EQ(waitFor(log), link);
    ui_.verifyAllConsumed();

    // Without an opener the link is named as a page on this disk, not as a network failure.
    removeOpener();
    ui_.expectForm("frmAbout", [&](host::Form& f) {
        click(f, "lblLink");
        click(f, "cmdOK");
    });
    ui_.expectMsgBox(host::answer::OK, GetMessage(240, Variant(link)), host::mb::Exclamation);
    session_->app().Run("ThisWorkbook.ShowInfo");
    EXPECT_EQ(ui_.lastMessage().find(GetMessage(153)), std::string::npos);
    ui_.verifyAllConsumed();

    // In Dutch the link leads to the Dutch pages.
    SetCountryCode(31);
    ui_.expectForm("frmAbout", [&](host::Form& f) {
        EXPECT_EQ(f.control("lblVersion")->caption, "Versie " + ComponentVersionText());
        link = f.control("lblLink")->caption;
        click(f, "cmdOK");
    });
    session_->app().Run("ThisWorkbook.ShowInfo");
    EXPECT_EQ(link, "file://" + manual("nl/index.html"));
    EXPECT_TRUE(std::filesystem::exists(manual("nl/index.html")));
    ui_.verifyAllConsumed();
}

namespace {
std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}
}  // namespace

TEST_F(HelpTest, SystemInfoShowsThisMachinesFacts) {
    std::map<std::string, std::string> shown;
    std::vector<std::string> order;
    ui_.expectForm("frmAbout", [&](host::Form& f) {
        click(f, "cmdSysInfo");
        click(f, "cmdOK");
    });
    ui_.expectForm("frmSysInfo", [&](host::Form& f) {
        EXPECT_EQ(f.caption, GetCaption("frmSysInfo"));
        for (int i = 1; f.control("lblName" + std::to_string(i)); ++i) {
            std::string name = f.control("lblName" + std::to_string(i))->caption;
            order.push_back(name);
            shown[name] = f.control("lblValue" + std::to_string(i))->caption;
        }
        click(f, "cmdOK");
    });
    session_->app().Run("ThisWorkbook.ShowInfo");
    ui_.verifyAllConsumed();

    // Checked against what the kernel reports by other routes.
    EXPECT_NE(shown[GetCaption("factkernel")].find(firstLine("/proc/sys/kernel/osrelease")), std::string::npos);
    EXPECT_EQ(shown[GetCaption("factcpus")], std::to_string(sysconf(_SC_NPROCESSORS_CONF)));
    EXPECT_FALSE(shown[GetCaption("factcpu")].empty());
    EXPECT_EQ(shown[GetCaption("factsqlite")], sqlite3_libversion());
    double gb = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE) / (1024.0 * 1024 * 1024);
    std::string memory = shown[GetCaption("factmemory")];
    ASSERT_GT(memory.size(), 3u);
    EXPECT_EQ(memory.substr(memory.size() - 3), " GB");
    EXPECT_NEAR(std::stod(memory), gb, 0.5);
    if (std::filesystem::exists("/etc/os-release")) EXPECT_FALSE(shown[GetCaption("factos")].empty());
    EXPECT_EQ(order.front(), GetCaption("factos"));
}

TEST_F(HelpTest, SystemInfoThatCannotBeReadGetsMessage177) {
    useShell({}, dir_ + "/empty-root");  // no /etc, no /proc there
    ui_.expectForm("frmAbout", [&](host::Form& f) {
        click(f, "cmdSysInfo");
        click(f, "cmdOK");
    });
    ui_.expectMsgBox(host::answer::OK, GetMessage(177), host::mb::Information);
    session_->app().Run("ThisWorkbook.ShowInfo");
    ui_.verifyAllConsumed();
    EXPECT_EQ(ui_.count(PromptKind::Form), 2u);  // the hint and the information dialog, no empty facts dialog
}

TEST(FormatMemory, GigabytesWithOneDecimalInThePersonsLanguage) {
    SetCountryCode(1);
    EXPECT_EQ(FormatMemory("17179869184"), "16.0 GB");
    EXPECT_EQ(FormatMemory("1610612736"), "1.5 GB");
    SetCountryCode(31);
    EXPECT_EQ(FormatMemory("1610612736"), "1,5 GB");
    SetCountryCode(0);
    EXPECT_EQ(FormatMemory("lots"), "lots");
}

}  // namespace dalvera::testing
