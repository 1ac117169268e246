// The registry file store: where it lives, how it writes, what it refuses.
#include <gtest/gtest.h>

#include "support/Scratch.h"
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "host/Registry.h"
#include "platform/registry/FileRegistry.h"
#include "runtime/Error.h"

using namespace dalvera;
using namespace dalvera::platform;
namespace fs = std::filesystem;
using host::hkey::CurrentUser;
using host::hkey::LocalMachine;

namespace {

using dalvera::testing::EnvVar;

struct TempDir : dalvera::testing::TempDir {
    TempDir() : dalvera::testing::TempDir("dalvera-reg") {}
};

std::vector<uint8_t> text(std::string_view s) {
    std::vector<uint8_t> b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

std::string readFile(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& p, const std::string& s) {
    std::ofstream(p, std::ios::binary) << s;
}

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(FileRegistryLocation, EnvironmentDecidesTheFile) {
    {
        EnvVar a("DALVERA_REGISTRY_FILE", "/some/where.reg");
        EXPECT_EQ(FileRegistry::defaultFile(), "/some/where.reg");
    }
    EnvVar a("DALVERA_REGISTRY_FILE", nullptr);
    EnvVar h("HOME", "/home/u");
    {
        EnvVar x("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(FileRegistry::defaultFile(), "/cfg/dalvera/registry.reg");
    }
    {
        EnvVar x("XDG_CONFIG_HOME", "relative/cfg");
        EXPECT_EQ(FileRegistry::defaultFile(), "/home/u/.config/dalvera/registry.reg");
    }
    EnvVar x("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(FileRegistry::defaultFile(), "/home/u/.config/dalvera/registry.reg");
}

TEST(FileRegistry, KeysAndValuesSurviveANewProcess) {
    TempDir dir;
    std::string file = dir / "sub/folder/registry.reg";  // folders are made on demand
    {
        FileRegistry reg(file);
        EXPECT_EQ(reg.OpenKey(CurrentUser, "SOFTWARE\\Dalvera11"), host::regresult::NotFound);
        EXPECT_FALSE(fs::exists(file));  // reading makes nothing
        EXPECT_EQ(reg.SetValue(CurrentUser, "SOFTWARE\\Dalvera11", "x", 1, text("1")), host::regresult::NotFound);
        ASSERT_EQ(reg.CreateKey(CurrentUser, "SOFTWARE\\Dalvera11"), 0);
        ASSERT_EQ(reg.SetValue(CurrentUser, "SOFTWARE\\Dalvera11", "Version", 1, text("0.1")), 0);
        ASSERT_EQ(reg.SetValue(CurrentUser, "SOFTWARE\\Dalvera11", "Width", 4, {20, 0, 0, 0}), 0);
        ASSERT_EQ(reg.SetValue(CurrentUser, "SOFTWARE\\Dalvera11", "Path", 2, text("%HOME%\\x")), 0);
        ASSERT_EQ(reg.SetValue(CurrentUser, "SOFTWARE\\Dalvera11", "Big", 5, {0, 0, 1, 0}), 0);
        ASSERT_EQ(reg.SetValue(CurrentUser, "SOFTWARE\\Dalvera11", "List", 7, text(std::string("a\0b\0", 4))), 0);
        ASSERT_EQ(reg.SetValue(CurrentUser, "SOFTWARE\\Dalvera11", "Raw", 3, {1, 2, 3}), 0);
        ASSERT_EQ(reg.SetValue(CurrentUser, "SOFTWARE\\Dalvera11", "Blank", 1, {}), 0);
        ASSERT_EQ(reg.CreateKey(LocalMachine, "SOFTWARE\\Dalvera11"), 0);
    }
    FileRegistry again(file);
    uint32_t kind = 0;
    std::vector<uint8_t> data;
    ASSERT_EQ(again.QueryValue(CurrentUser, "software\\DALVERA11", "VERSION", kind, data), 0);
    EXPECT_EQ(kind, 1u);
    EXPECT_EQ(data, text("0.1"));
    ASSERT_EQ(again.QueryValue(CurrentUser, "SOFTWARE\\Dalvera11", "Path", kind, data), 0);
    EXPECT_EQ(kind, 2u);
    EXPECT_EQ(data, text("%HOME%\\x"));
    ASSERT_EQ(again.QueryValue(CurrentUser, "SOFTWARE\\Dalvera11", "List", kind, data), 0);
    EXPECT_EQ(data, text(std::string("a\0b\0", 4)));
    ASSERT_EQ(again.QueryValue(CurrentUser, "SOFTWARE\\Dalvera11", "Blank", kind, data), 0);
    EXPECT_EQ(kind, 1u);
    EXPECT_TRUE(data.empty());
    ASSERT_EQ(again.QueryValue(CurrentUser, "SOFTWARE\\Dalvera11", "Big", kind, data), 0);
    EXPECT_EQ(kind, 5u);
    EXPECT_EQ(data, (std::vector<uint8_t>{0, 0, 1, 0}));
    EXPECT_EQ(again.OpenKey(LocalMachine, "SOFTWARE\\Dalvera11"), 0);
    EXPECT_EQ(again.OpenKey(LocalMachine, "SOFTWARE"), 0);  // parents exist with their children
    EXPECT_EQ(again.QueryValue(CurrentUser, "SOFTWARE\\Dalvera11", "nope", kind, data), host::regresult::NotFound);
    EXPECT_EQ(again.QueryValue(CurrentUser, "SOFTWARE\\Nope", "x", kind, data), host::regresult::NotFound);

    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; again.EnumValue(CurrentUser, "SOFTWARE\\Dalvera11", i, name) == 0; ++i) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Version", "Width", "Path", "Big", "List", "Raw", "Blank"}));
    EXPECT_EQ(again.EnumValue(CurrentUser, "SOFTWARE\\Nope", 0, name), host::regresult::NotFound);
    ASSERT_EQ(again.EnumKey(CurrentUser, "SOFTWARE", 0, name), 0);
    EXPECT_EQ(name, "Dalvera11");
    EXPECT_EQ(again.EnumKey(CurrentUser, "SOFTWARE", 1, name), host::regresult::NoMoreItems);
}

TEST(FileRegistry, WritesAtomicallyAndPrivately) {
    TempDir dir;
    std::string file = dir / "registry.reg";
    FileRegistry reg(file);
    ASSERT_EQ(reg.CreateKey(CurrentUser, "K"), 0);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(reg.SetValue(CurrentUser, "K", "v" + std::to_string(i), 4, {1, 0, 0, 0}), 0);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Only the registry itself is left in the folder: no temporary or lock files.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        ++entries;
        EXPECT_EQ(e.path().filename(), "registry.reg");
    }
    EXPECT_EQ(entries, 1);
    // An existing file with loose rights is replaced by a private one.
    ::chmod(file.c_str(), 0644);
    ASSERT_EQ(reg.SetValue(CurrentUser, "K", "v0", 4, {2, 0, 0, 0}), 0);
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(FileRegistry, SeesWritesOfAnotherProcess) {
    TempDir dir;
    std::string file = dir / "registry.reg";
    FileRegistry one(file), two(file);
    uint32_t kind;
    std::vector<uint8_t> data;
    EXPECT_EQ(two.QueryValue(CurrentUser, "K", "v", kind, data), host::regresult::NotFound);  // loaded, empty
    ASSERT_EQ(one.CreateKey(CurrentUser, "K"), 0);
    ASSERT_EQ(one.SetValue(CurrentUser, "K", "v", 1, text("from one")), 0);
    ASSERT_EQ(two.QueryValue(CurrentUser, "K", "v", kind, data), 0);
    EXPECT_EQ(data, text("from one"));
    // A write of the second keeps the first's values: it merges, not overwrites.
    ASSERT_EQ(two.SetValue(CurrentUser, "K", "w", 1, text("from two")), 0);
    ASSERT_EQ(one.SetValue(CurrentUser, "K", "v", 1, text("again")), 0);
    ASSERT_EQ(two.QueryValue(CurrentUser, "K", "w", kind, data), 0);
    ASSERT_EQ(one.QueryValue(CurrentUser, "K", "w", kind, data), 0);
    EXPECT_EQ(data, text("from two"));
    // A change that keeps the size is seen as well.
    ASSERT_EQ(one.SetValue(CurrentUser, "K", "n", 4, {1, 0, 0, 0}), 0);
    ASSERT_EQ(two.QueryValue(CurrentUser, "K", "n", kind, data), 0);
    ASSERT_EQ(one.SetValue(CurrentUser, "K", "n", 4, {2, 0, 0, 0}), 0);
    ASSERT_EQ(two.QueryValue(CurrentUser, "K", "n", kind, data), 0);
    EXPECT_EQ(data, (std::vector<uint8_t>{2, 0, 0, 0}));
    // Removing the file empties the store.
    fs::remove(file);
    EXPECT_EQ(one.OpenKey(CurrentUser, "K"), host::regresult::NotFound);
}

TEST(FileRegistry, ConcurrentWritersLoseNothing) {
    TempDir dir;
    std::string file = dir / "registry.reg";
    ASSERT_EQ(FileRegistry(file).CreateKey(CurrentUser, "K"), 0);
    constexpr int Writers = 4, Each = 15;
    std::vector<pid_t> children;
    for (int w = 0; w < Writers; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            FileRegistry reg(file);
            int failures = 0;
            for (int i = 0; i < Each; ++i)
                failures += reg.SetValue(CurrentUser, "K", "w" + std::to_string(w) + "-" + std::to_string(i), 4,
                                         {static_cast<uint8_t>(i), 0, 0, 0}) != 0;
            ::_exit(failures);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    FileRegistry reg(file);
    std::string name;
    uint32_t count = 0;
    while (reg.EnumValue(CurrentUser, "K", count, name) == 0) ++count;
    EXPECT_EQ(count, static_cast<uint32_t>(Writers * Each));
}

TEST(FileRegistry, DamagedFileIsReportedAndNeverOverwritten) {
    TempDir dir;
    std::string file = dir / "registry.reg";
    std::string damaged = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex:zz\n";
    writeFile(file, damaged);
    FileRegistry reg(file);
    uint32_t kind;
    std::vector<uint8_t> data;
    std::string name;
    EXPECT_EQ(errorOf([&] { reg.OpenKey(CurrentUser, "K"); }), host::RegistryCorrupt);
    EXPECT_EQ(errorOf([&] { reg.QueryValue(CurrentUser, "K", "v", kind, data); }), host::RegistryCorrupt);
    EXPECT_EQ(errorOf([&] { reg.EnumValue(CurrentUser, "K", 0, name); }), host::RegistryCorrupt);
    EXPECT_EQ(errorOf([&] { reg.CreateKey(CurrentUser, "K"); }), host::RegistryCorrupt);
    EXPECT_EQ(errorOf([&] { reg.SetValue(CurrentUser, "K", "v", 1, text("x")); }), host::RegistryCorrupt);
    EXPECT_EQ(errorOf([&] { reg.DeleteTree(CurrentUser, "K"); }), host::RegistryCorrupt);
    EXPECT_EQ(readFile(file), damaged);
    // Once repaired on disk, the store works again.
    writeFile(file, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex:01\n");
    EXPECT_EQ(reg.OpenKey(CurrentUser, "K"), 0);
    EXPECT_EQ(reg.SetValue(CurrentUser, "K", "w", 1, text("x")), 0);
}

TEST(FileRegistry, UnwritableFolderIsAFailureCode) {
    TempDir dir;
    std::string blocker = dir / "plain-file";
    writeFile(blocker, "x");
    FileRegistry reg(blocker + "/registry.reg");  // its "folder" is a file
    EXPECT_EQ(reg.CreateKey(CurrentUser, "K"), host::regresult::IoFailed);
}

TEST(FileRegistry, RefusesWhatTheFileCannotHold) {
    TempDir dir;
    FileRegistry reg(dir / "registry.reg");
    ASSERT_EQ(reg.CreateKey(CurrentUser, "K"), 0);
    EXPECT_EQ(reg.SetValue(CurrentUser, "K", "v", 1, {0xFF, 0xFE, 0}), host::regresult::InvalidData);
    EXPECT_EQ(reg.SetValue(CurrentUser, "K", "line\nbreak", 1, text("x")), host::regresult::InvalidParameter);
    EXPECT_EQ(reg.CreateKey(CurrentUser, "A\\\\B"), host::regresult::InvalidParameter);
    EXPECT_EQ(reg.CreateKey(12345, "A"), host::regresult::InvalidParameter);
    // Binary data of any kind is fine.
    EXPECT_EQ(reg.SetValue(CurrentUser, "K", "v", 3, {0xFF, 0xFE, 0}), 0);
}

TEST(FileRegistry, DeletesValuesAndTrees) {
    TempDir dir;
    FileRegistry reg(dir / "registry.reg");
    ASSERT_EQ(reg.CreateKey(CurrentUser, "A\\B\\C"), 0);
    ASSERT_EQ(reg.SetValue(CurrentUser, "A\\B", "v", 4, {1, 0, 0, 0}), 0);
    EXPECT_EQ(reg.DeleteValue(CurrentUser, "A\\B", "V"), 0);
    EXPECT_EQ(reg.DeleteValue(CurrentUser, "A\\B", "v"), host::regresult::NotFound);
    EXPECT_EQ(reg.DeleteTree(CurrentUser, "a\\b"), 0);
    EXPECT_EQ(reg.OpenKey(CurrentUser, "A\\B\\C"), host::regresult::NotFound);
    EXPECT_EQ(reg.OpenKey(CurrentUser, "A"), 0);
    EXPECT_EQ(reg.DeleteTree(CurrentUser, ""), host::regresult::AccessDenied);
}

TEST(FileRegistry, ExpandsEnvironmentReferences) {
    EnvVar a("DALVERA_TEST_DIR", "/data");
    TempDir dir;
    FileRegistry reg(dir / "registry.reg");
    EXPECT_EQ(reg.ExpandEnvironmentStrings("%DALVERA_TEST_DIR%/x"), "/data/x");
    EXPECT_EQ(reg.ExpandEnvironmentStrings("%dalvera_test_dir%"), "/data");  // any case, as written elsewhere
    EXPECT_EQ(reg.ExpandEnvironmentStrings("%NO_SUCH_VAR_X%%DALVERA_TEST_DIR%"), "%NO_SUCH_VAR_X%/data");
    EXPECT_EQ(reg.ExpandEnvironmentStrings("%NO_SUCH_VAR_X%DALVERA_TEST_DIR%"), "%NO_SUCH_VAR_X/data");
    EXPECT_EQ(reg.ExpandEnvironmentStrings("100% sure"), "100% sure");
    EXPECT_EQ(reg.ExpandEnvironmentStrings("%%"), "%%");
}
