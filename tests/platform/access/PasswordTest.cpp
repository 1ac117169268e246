// Database passwords of Jet files. No test file has one, so copies get one
// written into their header here, byte by byte from the file layout:
//   page 0 from 0x18 on, 126 bytes, is XORed with the RC4 stream of the key
//   C7 DA 39 6B; in that part the password starts at 0x42. Jet 3 keeps 20
//   bytes of Windows-1252 text, zero-padded. Jet 4 keeps 40 bytes of UTF-16LE,
//   zero-padded, each 4 bytes XORed with the creation date's whole days
//   (the double at 0x72) as a little-endian 32-bit number.
// The encoder is checked first: writing "" must give each real file's own bytes.
#include <cstring>
#include <optional>

#include "platform/access/Password.h"
#include "platform/jet/Jet.h"
#include "runtime/Error.h"
#include "platform/access/AccessFixture.h"

namespace dalvera::access::test {
namespace {

std::string keyStream(size_t n) {
    const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 255;
        std::swap(s[i], s[j]);
    }
    std::string out;
    for (size_t k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        out += static_cast<char>(s[(s[i] + s[j]) & 255]);
    }
    return out;
}

// The header bytes of the password field: Jet 3 takes Latin-1 bytes, Jet 4 UTF-16 units.
void writePassword(const std::string& path, const std::u16string& password) {
    std::string bytes = fileBytes(path);
    ASSERT_GT(bytes.size(), 0x100u);
    const std::string ks = keyStream(126);
    std::string plain = bytes.substr(0x18, 126);
    for (size_t k = 0; k < 126; ++k) plain[k] ^= ks[k];
    const bool jet3 = bytes[0x14] == 0;
    std::string field(jet3 ? 20 : 40, '\0');
    for (size_t k = 0; k < password.size(); ++k) {
        if (jet3) {
            field[k] = static_cast<char>(password[k]);
        } else {
            field[2 * k] = static_cast<char>(password[k] & 0xFF);
            field[2 * k + 1] = static_cast<char>(password[k] >> 8);
        }
    }
    if (!jet3) {
        double created;
        std::memcpy(&created, plain.data() + (0x72 - 0x18), 8);
        uint32_t days = static_cast<uint32_t>(created);
        for (size_t k = 0; k < field.size(); ++k) field[k] ^= static_cast<char>(days >> (8 * (k % 4)));
    }
    plain.replace(0x42 - 0x18, field.size(), field);
    for (size_t k = 0; k < 126; ++k) plain[k] ^= ks[k];
    bytes.replace(0x18, 126, plain);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

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

}  // namespace
}  // namespace dalvera::access::test
