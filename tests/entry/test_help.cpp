// Help and web addresses go through the desktop's opener.
#include "SessionFixture.h"

#include <chrono>
#include <fstream>
#include <thread>

namespace dalvera::testing {

class HelpTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        start();
        openAddinAcceptingHint();
    }
    void TearDown() override {
        setenv("PATH", oldPath_.c_str(), 1);
        SessionTest::TearDown();
    }
    // An opener that writes what it was given to a file.
    std::string installOpener() {
        std::string bin = dir_ + "/bin";
        std::filesystem::create_directories(bin);
        std::string log = dir_ + "/opened.txt";
        std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nprintf '%s' \"$1\" > '" << log << ".tmp' && mv '" << log
                                         << ".tmp' '" << log << "'\n";
        std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
        setenv("PATH", (bin + ":" + oldPath_).c_str(), 1);
        return log;
    }
    static std::string waitFor(const std::string& file) {
        for (int i = 0; i < 200; ++i) {
            std::ifstream in(file);
            if (in) return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }
    std::string oldPath_;
};

TEST_F(HelpTest, HelpOpensTheManualBesideTheProgram) {
    std::string log = installOpener();
    session_->app().Run("ThisWorkbook.ShowHelp");
    std::string opened = waitFor(log);
    EXPECT_EQ(opened, host::shell().ComponentFolder() + "/help/index.html");
    EXPECT_TRUE(std::filesystem::exists(opened));
    ui_.verifyAllConsumed();
}

TEST_F(HelpTest, WithoutAnOpenerHelpSaysItCannotBeFound) {
    setenv("PATH", (dir_ + "/nothing").c_str(), 1);
    ui_.expectMsgBox(host::answer::OK, GetMessage(194), host::mb::Exclamation);
    session_->app().Run("ThisWorkbook.ShowHelp");
    ui_.verifyAllConsumed();
}

TEST_F(HelpTest, AnAddressThatCannotBeOpenedIsShownWithTheAddress) {
    setenv("PATH", (dir_ + "/nothing").c_str(), 1);
    ui_.expectMsgBox(host::answer::OK, GetMessage(153) + "\r\rURL: \rhttps://example.org/x", host::mb::Information);
    goApplication->OpenUrl("https://example.org/x");
    std::string log = installOpener();
    goApplication->OpenUrl("https://example.org/y");
    EXPECT_EQ(waitFor(log), "https://example.org/y");
    ui_.verifyAllConsumed();
}

}  // namespace dalvera::testing
