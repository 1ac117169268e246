// Database passwords of Jet files: copies with one written into their header
// (HeaderPassword.h tells how), opened, converted and refused.
// The encoder is checked first: writing "" must give each real file's own bytes.
#include <cstring>
#include <optional>

#include "platform/access/AccessFile.h"
#include "platform/access/Password.h"
#include "platform/jet/Jet.h"
#include "runtime/Error.h"
#include "platform/access/AccessFixture.h"
#include "platform/access/HeaderPassword.h"

namespace dalvera::access::test {
namespace {


class AccessPassword : public ::testing::Test {
protected:
    void SetUp() override { DALVERA_NEED_ACCESS_FILES(); }
    std::string copyWithPassword(const std::string& name, const std::u16string& password) {
        std::string to = dir / name;
        std::filesystem::copy_file(dataFile(name), to);
        writePassword(to, password);
        return to;
    }
    // Column A of Table1 as the engine reads it over ADO with this password.
    static std::vector<std::string> columnA(const std::string& path, const std::string& password) {
        auto c = jet::adoProvider()->NewConnection();
        c->Open("Dbq={" + path + "};Pwd={" + password + "};");
        long affected = -1;
        auto rs = c->Execute("SELECT A FROM Table1", affected);
        std::vector<std::string> out;
        for (; !rs->Eof(); rs->MoveNext()) out.push_back("\"" + rs->Fields()(0)->Value().text() + "\"");
        c->Close();
        return out;
    }
    static std::vector<std::string> exportedA(const std::string& file) {
        std::vector<std::string> out;
        for (const auto& line : splitOn(run({"mdb-export", "-H", file, "Table1"}), "\n"))
            if (!line.empty()) out.push_back(splitOn(line, ",").at(0));
        return out;
    }
    testing::TempDir dir{"dalvera-access"};
};

TEST_F(AccessPassword, RealFilesHaveNoneAndTheEncoderGivesTheirOwnBytesBack) {
    long jet = 0, ace = 0;
    for (const auto& name : accessFiles()) {
        SCOPED_TRACE(name);
        const std::string original = dataFile(name);
        auto stored = headerPassword(original);
        if (fileBytes(original).substr(4, 15) == "Standard ACE DB") {
            EXPECT_FALSE(stored.has_value());
            ++ace;
            continue;
        }
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(*stored, "");
        std::string copy = copyWithPassword(name, u"");
        EXPECT_EQ(fileBytes(copy), fileBytes(original));
        ++jet;
    }
    EXPECT_GE(jet, 10);
    EXPECT_GE(ace, 10);
}

TEST_F(AccessPassword, WrittenPasswordsReadBackInBothFormats) {
    // Jet 4: capitals, accents, a character outside the BMP (two units) and the full 20 units.
    EXPECT_EQ(headerPassword(copyWithPassword("testV2003.mdb", u"Geheim \u00fc\u20ac\U0001F600")), "Geheim ü€😀");
    std::filesystem::remove(dir / "testV2003.mdb");
    EXPECT_EQ(headerPassword(copyWithPassword("testV2003.mdb", u"abcdefghijKLMNOPQRST")), "abcdefghijKLMNOPQRST");
    // Jet 3: Windows-1252 bytes, the euro sign at 0x80.
    EXPECT_EQ(headerPassword(copyWithPassword("testV1997.mdb", u"Wachtwoord \u00e9\x80")), "Wachtwoord é€");
}

TEST_F(AccessPassword, OpensOnlyWithTheRightPasswordAndThenReadsWhatMdbExportReads) {
    for (const char* name : {"testV1997.mdb", "testV2003.mdb"}) {
        SCOPED_TRACE(name);
        const std::string original = dataFile(name), before = fileBytes(original);
        const std::string copy = copyWithPassword(name, u"Sesam");
        const std::string written = fileBytes(copy);
        auto workspace = jet::daoProvider()->NewPrivateEngine()->Workspaces(0);
        EXPECT_EQ(errorOf([&] { workspace->OpenDatabase(copy); }), 3031);
        EXPECT_EQ(errorOf([&] { workspace->OpenDatabase(copy, false, false, ";pwd=sesam"); }), 3031);
        EXPECT_EQ(errorOf([&] { workspace->OpenDatabase(copy, false, false, ";pwd=Sesam "); }), 3031);
        EXPECT_EQ(errorOf([&] { workspace->OpenDatabase(copy, false, false, ";pwd=Sesam")->Close(); }), 0);
        // Once its mirror is built, a wrong password is still refused.
        EXPECT_EQ(errorOf([&] { workspace->OpenDatabase(copy, false, false, ";pwd=x"); }), 3031);
        EXPECT_NE(errorOf([&] { columnA(copy, "wrong"); }), 0);
        auto exported = exportedA(original);
        ASSERT_FALSE(exported.empty());
        auto read = columnA(copy, "Sesam");
        std::sort(read.begin(), read.end());
        std::sort(exported.begin(), exported.end());
        EXPECT_EQ(read, exported);
        EXPECT_EQ(fileBytes(copy), written);
        EXPECT_EQ(fileBytes(original), before);
    }
}

TEST_F(AccessPassword, ConvertNeedsThePasswordOption) {
    const std::string copy = copyWithPassword("testV2003.mdb", u"Sesam");
    const std::string out = dir / "out.sqlite";
    auto convert = [&](const std::string& extra, int* status) {
        return run({"sh", "-c", std::string(DALVERA_DB_TOOL) + " convert '" + copy + "' '" + out + "' " + extra + " 2>&1"},
                   status);
    };
    int status = 0;
    std::string said = convert("", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("--password"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(out));
    said = convert("--password sesam", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("3031"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(out));
    said = convert("--password Sesam", &status);
    ASSERT_EQ(status, 0) << said;
    Sqlite db(out);
    std::vector<std::string> got;
    for (const auto& r : db.rows("SELECT A FROM Table1 ORDER BY rowid")) got.push_back("\"" + r[0] + "\"");
    EXPECT_EQ(got, exportedA(dataFile("testV2003.mdb")));
}

// An ACE file with a password is encrypted past its header page: the pages
// after it are scrambled here with a fixed seed, as encryption leaves them.
TEST_F(AccessPassword, AnAceFileThatCannotBeReadIsToldAsEncryptedAJetFileAsDamaged) {
    for (const char* name : {"testV2010.accdb", "testV2003.mdb"}) {
        SCOPED_TRACE(name);
        std::string bytes = fileBytes(dataFile(name));
        uint32_t seed = 7;
        for (size_t k = 4096; k < bytes.size(); ++k) {
            seed = seed * 1103515245u + 12345u;
            bytes[k] ^= static_cast<char>(seed >> 16);
        }
        const std::string path = dir / (std::string("scrambled-") + name);
        std::ofstream(path, std::ios::binary) << bytes;
        std::string text;
        long number = errorOf([&] { jet::daoProvider()->NewPrivateEngine()->Workspaces(0)->OpenDatabase(path); }, &text);
        if (std::string(name).find(".accdb") != std::string::npos) {
            EXPECT_EQ(number, EncryptedFile) << text;
            EXPECT_NE(text.find("encrypted with a password"), std::string::npos) << text;
        } else {
            EXPECT_EQ(number, 3343) << text;
            EXPECT_EQ(text.find("encrypted"), std::string::npos) << text;
        }
        EXPECT_EQ(fileBytes(path), bytes);
    }
    // Cut short, a file with a password is refused as damaged before anything is asked.
    const std::string cut = copyWithPassword("testV2003.mdb", u"Sesam");
    std::filesystem::resize_file(cut, 4096 * 2 + 100);
    EXPECT_EQ(errorOf([&] { jet::daoProvider()->NewPrivateEngine()->Workspaces(0)->OpenDatabase(cut); }), 3343);
}

}  // namespace
}  // namespace dalvera::access::test
