// The registry wrapper over the file store and over a store that refuses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "platform/registry/FileRegistry.h"
#include "runtime/Error.h"
#include "runtime/Text.h"
#include "settings/clsRegistry.h"

using namespace dalvera;
namespace fs = std::filesystem;
using host::hkey::CurrentUser;
using host::hkey::LocalMachine;

namespace {

const std::string Key = "SOFTWARE\\Dalvera11";

// A store that can be told to refuse creating keys or setting values.
class RefusingRegistry : public platform::FileRegistry {
public:
    using FileRegistry::FileRegistry;
    bool refuseCreate = false;
    bool refuseSet = false;
    long CreateKey(int32_t root, const std::string& path) override {
        return refuseCreate ? host::regresult::AccessDenied : FileRegistry::CreateKey(root, path);
    }
    long SetValue(int32_t root, const std::string& path, const std::string& name, uint32_t kind,
                  const std::vector<uint8_t>& data) override {
        return refuseSet ? host::regresult::AccessDenied : FileRegistry::SetValue(root, path, name, kind, data);
    }
};

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() {
        std::string t = (fs::temp_directory_path() / "dalvera-clsreg-XXXXXX").string();
        dir_ = ::mkdtemp(t.data());
        store = std::make_unique<RefusingRegistry>(dir_ + "/registry.reg");
        reg = std::make_unique<clsRegistry>(*store);
        reg->RootKey(CurrentUser);
        reg->KeyPath(Key);
    }
    ~RegistryTest() override { fs::remove_all(dir_); }

    void write(const std::string& name, int32_t kind, const Variant& v) {
        reg->ValueName(name);
        reg->ValueKind(kind);
        reg->Value(v);
    }
    Variant read(const std::string& name) {
        reg->ValueName(name);
        return reg->Value();
    }
    uint32_t storedKind(const std::string& name) {
        uint32_t kind = 0;
        std::vector<uint8_t> data;
        EXPECT_EQ(store->QueryValue(CurrentUser, Key, name, kind, data), 0) << name;
        return kind;
    }
    void put(const std::string& name, uint32_t kind, std::vector<uint8_t> data) {
        ASSERT_EQ(store->CreateKey(CurrentUser, Key), 0);
        ASSERT_EQ(store->SetValue(CurrentUser, Key, name, kind, data), 0);
    }
    Error errorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const Error& e) {
            return e;
        }
        ADD_FAILURE() << "no error raised";
        return Error(0, "");
    }

    std::string dir_;
    std::unique_ptr<RefusingRegistry> store;
    std::unique_ptr<clsRegistry> reg;
};

}  // namespace

TEST_F(RegistryTest, MissingKeyOrValueReadsEmpty) {
    reg->ValueKind(4);
    EXPECT_TRUE(read("Never written").isEmpty());
    EXPECT_EQ(reg->ValueKind(), 4);  // nothing found, nothing recorded
    EXPECT_FALSE(reg->KeyExists());
    write("Something", 1, Variant("x"));
    EXPECT_TRUE(reg->KeyExists());
    EXPECT_TRUE(read("Never written").isEmpty());
}

TEST_F(RegistryTest, KeysUnderEitherRoot) {
    reg->RootKey(LocalMachine);
    reg->KeyPath("SOFTWARE\\Vendor\\Engine");
    EXPECT_FALSE(reg->KeyExists());
    EXPECT_TRUE(reg->CreateKey());
    EXPECT_TRUE(reg->KeyExists());
    reg->RootKey(CurrentUser);
    EXPECT_FALSE(reg->KeyExists());  // the roots are separate trees
    reg->RootKey(LocalMachine);
    reg->KeyPath("software\\VENDOR");
    EXPECT_TRUE(reg->KeyExists());
}

TEST_F(RegistryTest, TextRoundTripAndKindRecorded) {
    write("Setting name", 1, Variant("Bl\xC3\xA9 \"quoted\" \\ back"));
    reg->ValueKind(0);
    Variant v = read("setting NAME");
    EXPECT_EQ(v, Variant("Bl\xC3\xA9 \"quoted\" \\ back"));
    EXPECT_EQ(reg->ValueKind(), 1);
    // Other variants are stored as their text.
    write("Flag", 1, Variant(true));
    EXPECT_EQ(read("Flag"), Variant("True"));
    write("Number text", 1, Variant::longValue(12));
    EXPECT_EQ(read("Number text"), Variant("12"));
}

TEST_F(RegistryTest, EnvironmentReferencesMakeExpandableText) {
    ::setenv("DALVERA_REG_TEST", "/srv/data", 1);
    write("Folder", 1, Variant("%DALVERA_REG_TEST%/db"));
    EXPECT_EQ(storedKind("Folder"), 2u);
    EXPECT_EQ(read("Folder"), Variant("/srv/data/db"));
    EXPECT_EQ(reg->ValueKind(), 2);

    struct Case { const char* text; uint32_t kind; };
    const Case cases[] = {
        {"100% sure", 1},        // one sign
        {"a%%b", 1},             // two adjacent signs, no third
        {"%a%", 2},
        {"%%x%", 2},             // the third sign is two places after the first
        {"x % y % z", 2},
        {"", 1},
    };
    for (const auto& c : cases) {
        write("Case", 1, Variant(c.text));
        EXPECT_EQ(storedKind("Case"), c.kind) << c.text;
    }
    // Asking for kind 2 without a reference stores plain text.
    write("Plain", 2, Variant("no reference"));
    EXPECT_EQ(storedKind("Plain"), 1u);
    // An unknown variable stays as written.
    write("Unknown", 1, Variant("%DALVERA_NOT_SET_ANYWHERE%"));
    EXPECT_EQ(read("Unknown"), Variant("%DALVERA_NOT_SET_ANYWHERE%"));
}

TEST_F(RegistryTest, NumbersOnlyFrom16And32BitIntegers) {
    write("Width", 4, Variant::integer(20));
    EXPECT_EQ(read("Width"), Variant::longValue(20));
    EXPECT_EQ(reg->ValueKind(), 4);
    write("Colour", 4, Variant::longValue(-16777216));
    EXPECT_EQ(read("Colour"), Variant::longValue(-16777216));
    // Text, even all digits, and other number types write nothing and raise nothing.
    write("Digits", 4, Variant("42"));
    write("Double", 4, Variant(42.0));
    write("Wide", 4, Variant::longLong(42));
    write("Width", 4, Variant("99"));
    EXPECT_TRUE(read("Digits").isEmpty());
    EXPECT_TRUE(read("Double").isEmpty());
    EXPECT_TRUE(read("Wide").isEmpty());
    EXPECT_EQ(read("Width"), Variant::longValue(20));
}

TEST_F(RegistryTest, ReadsTheOtherKinds) {
    put("Big", 5, {0x00, 0x00, 0x01, 0x00});
    EXPECT_EQ(read("Big"), Variant::longValue(256));
    EXPECT_EQ(reg->ValueKind(), 5);
    put("List", 7, {'a', 0, 'b', 'c', 0, 0});
    EXPECT_EQ(read("List"), Variant(std::string("a\0bc\0", 5)));
    EXPECT_EQ(reg->ValueKind(), 7);
    put("Blob", 3, {0xde, 0xad, 0x00});
    Variant blob = read("Blob");
    ASSERT_TRUE(blob.isBytes());
    EXPECT_EQ(blob.bytes(), (std::vector<uint8_t>{0xde, 0xad, 0x00}));
    EXPECT_EQ(reg->ValueKind(), 3);
}

TEST_F(RegistryTest, EmptyTextValueReadsAsEmptyText) {
    put("Created without data", 1, {});
    Variant v = read("Created without data");
    EXPECT_TRUE(v.isString());
    EXPECT_EQ(v.stringRef(), "");
    put("Expandable without data", 2, {});
    EXPECT_EQ(read("Expandable without data"), Variant(""));
}

TEST_F(RegistryTest, UnsupportedKindFailsTheWrite) {
    Error e = errorOf([&] { write("Blob", 3, Variant("x")); });
    EXPECT_EQ(e.number(), -2147194455);
    EXPECT_EQ(e.source(), "Dalvera11");
    EXPECT_EQ(e.description(),
              "Failed to set registry value Key: '-2147483647',Section: 'SOFTWARE\\Dalvera11',Key: 'Blob' to value: 'x'");
    EXPECT_TRUE(read("Blob").isEmpty());
}

TEST_F(RegistryTest, RefusedWriteUnderCurrentUserGivesTheFixedText) {
    store->refuseSet = true;
    Error e = errorOf([&] { write("Setting color form back", 4, Variant::longValue(16777215)); });
    EXPECT_EQ(e.number(), -2147194455);
    EXPECT_EQ(e.source(), "Dalvera11");
    EXPECT_TRUE(startsWithNoCase(e.description(), "Failed to set registry value Key: '-2147483647',Section: '"));
    EXPECT_EQ(e.description(),
              "Failed to set registry value Key: '-2147483647',Section: 'SOFTWARE\\Dalvera11',"
              "Key: 'Setting color form back' to value: '16777215'");

    // A key that cannot be made fails the write with the creation number and the same text.
    store->refuseSet = false;
    store->refuseCreate = true;
    reg->RootKey(LocalMachine);
    e = errorOf([&] { write("Version", 1, Variant("0.1")); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(),
              "Failed to set registry value Key: '-2147483646',Section: 'SOFTWARE\\Dalvera11',Key: 'Version' to value: '0.1'");
    // A Null value is reported as blank rather than failing inside the report.
    e = errorOf([&] { write("Version", 1, Variant::null()); });
    EXPECT_EQ(e.number(), 26001);
}

TEST_F(RegistryTest, RefusedCreateKeyRaises26001) {
    EXPECT_TRUE(reg->CreateKey());
    store->refuseCreate = true;
    Error e = errorOf([&] { reg->CreateKey(); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.source(), "Dalvera11");
    EXPECT_EQ(e.description(), "Failed to create registry Key: 'SOFTWARE\\Dalvera11");
}

TEST_F(RegistryTest, ListsValueNamesInOrder) {
    std::vector<std::string> names = {"stale"};
    int16_t count = 99;
    EXPECT_TRUE(reg->ListValueNames(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.empty());
    write("OPEN", 1, Variant("\"/addins/Dalvera.xlam\""));
    write("OPEN1", 1, Variant("/other.xlam"));
    write("Zoom", 4, Variant::longValue(1));
    EXPECT_TRUE(reg->ListValueNames(names, count));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(names, (std::vector<std::string>{"OPEN", "OPEN1", "Zoom"}));
}

TEST_F(RegistryTest, DamagedStoreIsNotMistakenForMissingSettings) {
    write("Version", 1, Variant("0.1"));
    std::ofstream(dir_ + "/registry.reg", std::ios::app) << "garbage line\n";
    EXPECT_EQ(errorOf([&] { read("Version"); }).number(), host::RegistryCorrupt);
    EXPECT_EQ(errorOf([&] { write("Version", 1, Variant("0.2")); }).number(), host::RegistryCorrupt);
}

TEST(HasEnvironmentReference, NeedsANameBetweenTheSigns) {
    EXPECT_TRUE(HasEnvironmentReference("%x%"));
    EXPECT_FALSE(HasEnvironmentReference("%%"));
    EXPECT_FALSE(HasEnvironmentReference("x%"));
    EXPECT_FALSE(HasEnvironmentReference("no signs"));
}
