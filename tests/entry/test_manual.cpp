// The manual that ships beside the program: both languages name every command
// and setting as the program shows them, and no page links to a missing file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "platform/os/DesktopShell.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {

namespace {
namespace fs = std::filesystem;

std::string helpFolder() { return platform::DesktopShell().ComponentFolder() + "/help"; }

std::string read(const fs::path& p) {
    std::ifstream in(p);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The pages of one language: the top folder for English, nl/ for Dutch.
std::string pagesOf(const fs::path& folder) {
    std::string all;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".html") all += read(e.path());
    return all;
}

// A menu caption as a person reads it: no accelerator, no key hint, no dots.
std::string plain(std::string caption) {
    std::erase(caption, '&');
    while (!caption.empty() && caption.back() == ' ') caption.pop_back();
    if (auto k = caption.find(" (F"); k != std::string::npos) caption.erase(k);
    if (caption.ends_with("...")) caption.erase(caption.size() - 3);
    return caption;
}
}  // namespace

TEST(Manual, BothLanguagesNameEveryCommandSettingAndKey) {
    for (bool nl : {false, true}) {
        SCOPED_TRACE(nl ? "nl" : "en");
        SetCountryCode(nl ? 31 : 1);
        std::string pages = pagesOf(nl ? helpFolder() + "/nl" : helpFolder());
        ASSERT_FALSE(pages.empty());
        for (int n : {122, 124, 125, 126, 127, 128, 133, 134, 135, 136, 138, 205, 206, 207})
            EXPECT_NE(pages.find(plain(GetMessage(static_cast<int16_t>(n)))), std::string::npos) << n;
        for (const char* c : {"lblTitleBack", "lblTitleFront", "lblMatrixBack", "lblMatrixFront",
                              "lblMatrixBackReadOnly", "lblMatrixFrontReadOnly", "lblMatrixBackEdited",
                              "lblMatrixFrontEdited", "lblMatrixEdges", "lblFormBack", "chkShowHeadings",
                              "chkShowFilter", "chkShowZeros", "chkShowFieldDescription", "chkFreezeTopRow",
                              "lblCellsWarning", "cmdRestoreUserMsg", "cmdApplyDefaults",
                              "chkAutoAdjustColumnWidths", "chkApplyColumnPropsAccess", "lblFixedColumnWidth",
                              "chkDontShowAgain", "cmdSysInfo"})
            EXPECT_NE(pages.find(plain(GetCaption(c))), std::string::npos) << c;
        for (const char* key : {"F6", "F7", "F8", "F9"}) EXPECT_NE(pages.find(key), std::string::npos) << key;
        for (const char* option : {"--variant", "--host-version", "--lang", "--database", "--registry",
                                   "--screenshot", "--actions"})
            EXPECT_NE(pages.find(option), std::string::npos) << option;
    }
    SetCountryCode(0);
}

TEST(Manual, EveryLinkLeadsToAFileAndTheIndexPagesLinkEachOther) {
    const std::regex link(R"re((?:href|src)="([^"#:]+)")re");
    int links = 0;
    for (const auto& e : fs::recursive_directory_iterator(helpFolder())) {
        if (e.path().extension() != ".html") continue;
        std::string text = read(e.path());
        for (std::sregex_iterator m(text.begin(), text.end(), link), end; m != end; ++m) {
            ++links;
            EXPECT_TRUE(fs::exists(e.path().parent_path() / (*m)[1].str())) << e.path() << " -> " << (*m)[1];
        }
    }
    EXPECT_GT(links, 20);
    EXPECT_NE(read(helpFolder() + "/index.html").find("href=\"nl/index.html\""), std::string::npos);
    EXPECT_NE(read(helpFolder() + "/nl/index.html").find("href=\"../index.html\""), std::string::npos);
    // Pages the program itself opens.
    for (const char* page : {"index.html", "nl/index.html", "ribbon-desk.html", "ribbon-server.html",
                             "components-engine.html", "components-rows.html"})
        EXPECT_TRUE(fs::exists(helpFolder() + "/" + page)) << page;
}

}  // namespace dalvera::testing
