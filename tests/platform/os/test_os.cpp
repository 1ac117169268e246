// File names, deletion, folders, the environment, the opener, GUIDs.
#include <gtest/gtest.h>

#include "support/Scratch.h"
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "platform/os/DesktopShell.h"
#include "platform/os/LocalFileSystem.h"
#include "runtime/Error.h"

using namespace dalvera;
using namespace dalvera::platform;
namespace fs = std::filesystem;

namespace {

using dalvera::testing::EnvVar;

struct TempDir : dalvera::testing::TempDir {
    TempDir() : dalvera::testing::TempDir("dalvera-os") {}
};

void touch(const std::string& p, const std::string& content = "x") { std::ofstream(p) << content; }

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(FileNames, PartsOfAPath) {
    LocalFileSystem fso;
    EXPECT_EQ(fso.GetFileName("/tmp/Dalvera.xlsx"), "Dalvera.xlsx");
    EXPECT_EQ(fso.GetFileName("C:\\db\\a.MDB"), "a.MDB");
    EXPECT_EQ(fso.GetFileName("/tmp/folder/"), "folder");
    EXPECT_EQ(fso.GetFileName("plain"), "plain");
    EXPECT_EQ(fso.GetFileName("/"), "");
    EXPECT_EQ(fso.GetExtensionName("/x/archive.tar.GZ"), "GZ");
    EXPECT_EQ(fso.GetExtensionName("/x.d/noext"), "");
    EXPECT_EQ(fso.GetBaseName("/x/archive.tar.gz"), "archive.tar");
    EXPECT_EQ(fso.GetBaseName("/x.d/noext"), "noext");
    EXPECT_EQ(fso.GetParentFolderName("/home/u/db/a.mdb"), "/home/u/db");
    EXPECT_EQ(fso.GetParentFolderName("C:\\db\\a.mdb"), "C:\\db");
    EXPECT_EQ(fso.GetParentFolderName("/a.mdb"), "/");
    EXPECT_EQ(fso.GetParentFolderName("/home/u/"), "/home");
    EXPECT_EQ(fso.GetParentFolderName("a.mdb"), "");
    EXPECT_EQ(fso.GetParentFolderName("/"), "");
    EXPECT_EQ(fso.BuildPath("/tmp", "Dalvera.xlsx"), "/tmp/Dalvera.xlsx");
    EXPECT_EQ(fso.BuildPath("/tmp/", "/x"), "/tmp/x");
    EXPECT_EQ(fso.BuildPath("", "x"), "x");
}

TEST(FileSystem, ExistenceAndDeletion) {
    TempDir dir;
    LocalFileSystem fso;
    std::string f = dir / "a.xlsx";
    touch(f);
    EXPECT_TRUE(fso.FileExists(f));
    EXPECT_FALSE(fso.FolderExists(f));
    EXPECT_TRUE(fso.FolderExists(dir.path()));
    EXPECT_FALSE(fso.FileExists(dir.path()));
    EXPECT_FALSE(fso.FileExists(""));
    fso.DeleteFile(f);
    EXPECT_FALSE(fso.FileExists(f));
    EXPECT_EQ(errorOf([&] { fso.DeleteFile(f); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { fso.DeleteFile(dir.path()); }), err::FileNotFound);  // a folder is no file
    EXPECT_TRUE(fso.FolderExists(dir.path()));
    // Even root cannot unlink from /proc: the refusal is "Permission denied".
    try {
        fso.DeleteFile("/proc/version");
        FAIL() << "deleted /proc/version";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::PermissionDenied);
        EXPECT_EQ(e.description(), "Permission denied");
    }
}

TEST(DesktopShell, TempFolderFollowsTmpdir) {
    DesktopShell sh;
    {
        EnvVar t("TMPDIR", "/var/tmp/");
        EXPECT_EQ(sh.TempFolder(), "/var/tmp");
    }
    EnvVar t("TMPDIR", nullptr);
    EXPECT_EQ(sh.TempFolder(), "/tmp");
}

TEST(DesktopShell, DocumentsFolderByXdgRules) {
    TempDir home;
    DesktopShell sh;
    EnvVar h("HOME", home.path().c_str());
    EnvVar d("XDG_DOCUMENTS_DIR", nullptr);
    EnvVar c("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(sh.DocumentsFolder(), home.path());  // nothing else exists
    fs::create_directory(home / "Documents");
    EXPECT_EQ(sh.DocumentsFolder(), home / "Documents");
    fs::create_directories(home / ".config");
    fs::create_directory(home / "Docs");
    touch(home / ".config/user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    EXPECT_EQ(sh.DocumentsFolder(), home / "Docs");
    {
        // An entry naming a folder that is gone falls back.
        touch(home / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Gone\"\n");
        EXPECT_EQ(sh.DocumentsFolder(), home / "Documents");
    }
    EnvVar d2("XDG_DOCUMENTS_DIR", home.path().c_str());
    EXPECT_EQ(sh.DocumentsFolder(), home.path());
}

TEST(DesktopShell, EnvironmentVariables) {
    DesktopShell sh;
    EnvVar v("DALVERA_OS_TEST", "value");
    EXPECT_EQ(sh.Environ("DALVERA_OS_TEST"), "value");
    EXPECT_EQ(sh.Environ("dalvera_os_test"), "value");
    EXPECT_EQ(sh.Environ("DALVERA_OS_NOT_SET"), "");
    EXPECT_EQ(sh.Environ(""), "");
    // The other platform's temporary and profile folders map to ours when unset.
    EnvVar t1("TEMP", nullptr), t2("temp", nullptr), tmp("TMPDIR", "/var/tmp"), home("HOME", "/home/u");
    EXPECT_EQ(sh.Environ("temp"), "/var/tmp");
    EXPECT_EQ(sh.Environ("USERPROFILE"), "/home/u");
    EnvVar set("TEMP", "/custom");
    EXPECT_EQ(sh.Environ("temp"), "/custom");
}

TEST(DesktopShell, OpensThroughTheOpenerWithoutAShell) {
    TempDir dir;
    std::string log = dir / "opened.txt";
    // A stand-in opener that records its arguments, one per line.
    std::string opener = dir / "xdg-open";
    touch(opener, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + log + "'; done\n");
    ::chmod(opener.c_str(), 0755);
    EnvVar p("PATH", (dir.path() + ":/usr/bin:/bin").c_str());
    DesktopShell sh;
    std::string tricky = "https://example.org/?q=a;touch " + dir.path() + "/pwned&x=$(id)";
    sh.OpenDocument(tricky);
    std::string doc = dir / "help file.html";
    touch(doc);
    sh.OpenDocument(doc);
    std::string seen;
    for (int i = 0; i < 100; ++i) {
        std::ifstream in(log);
        std::stringstream ss;
        ss << in.rdbuf();
        seen = ss.str();
        if (seen.find("help file") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_NE(seen.find(tricky + "\n"), std::string::npos);  // one argument, untouched
    EXPECT_NE(seen.find(doc + "\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "pwned"));
}

TEST(DesktopShell, MissingOpenerOrFileIsAClearError) {
    TempDir dir;
    DesktopShell sh;
    {
        EnvVar p("PATH", dir.path().c_str());  // no xdg-open here
        try {
            sh.OpenDocument("https://example.org/");
            FAIL() << "no error without an opener";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), err::Critical);
            EXPECT_NE(e.description().find("xdg-open"), std::string::npos);
        }
    }
    EXPECT_EQ(errorOf([&] { sh.OpenDocument(dir / "Help.html"); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sh.OpenDocument(""); }), err::InvalidCall);
}

TEST(DesktopShell, ComponentFolderAndVersion) {
    DesktopShell sh;
    EXPECT_EQ(sh.ComponentFolder(), fs::canonical("/proc/self/exe").parent_path().string());
    EXPECT_EQ(sh.Version().Major, EXPECTED_VERSION_MAJOR);
    EXPECT_EQ(sh.Version().Minor, EXPECTED_VERSION_MINOR);
}

TEST(DesktopShell, GuidsAreRandomVersion4) {
    DesktopShell sh;
    std::regex form("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        std::string g = sh.CreateGuid();
        EXPECT_TRUE(std::regex_match(g, form)) << g;
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(DesktopShell, ReadsShortcutFiles) {
    TempDir dir;
    DesktopShell sh;
    EXPECT_EQ(errorOf([&] { sh.ReadShortcut(dir / "none.lnk"); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { sh.ReadShortcut(dir.path()); }), err::FileNotFound);
    touch(dir / "empty.lnk", "");
    EXPECT_EQ(errorOf([&] { sh.ReadShortcut(dir / "empty.lnk"); }), err::InvalidCall);
    touch(dir / "text.lnk", "just some text that is long enough to fill a header of seventy-six bytes....");
    try {
        sh.ReadShortcut(dir / "text.lnk");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::InvalidCall);
        EXPECT_NE(e.description().find("text.lnk"), std::string::npos);
    }
}
