// What DAO and ADO report of an MS Access file, checked against the file's
// own system tables as mdb-export reads them; the file is never written; and
// damaged, foreign and half-linked files get a clear refusal or still open.
#include <functional>
#include <map>
#include <regex>
#include <set>

#include "host/Ado.h"
#include "platform/access/AccessFile.h"
#include "platform/access/Mirror.h"
#include "platform/jet/Jet.h"
#include "runtime/Error.h"
#include "runtime/Text.h"
#include "platform/access/AccessFixture.h"

namespace dalvera::access::test {
namespace {

namespace dao = host::dao;

class AccessReader : public ::testing::Test {
protected:
    void SetUp() override { DALVERA_NEED_ACCESS_FILES(); }
    testing::TempDir dir{"dalvera-access"};
    std::shared_ptr<dao::Database> open(const std::string& path) {
        return jet::daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(path);
    }
    std::string copy(const std::string& name) {
        std::string to = dir / name;
        std::filesystem::copy_file(dataFile(name), to);
        std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        return to;
    }
};

TEST_F(AccessReader, RelationsAndPrimaryKeysAreThoseTheFileKeeps) {
    for (const char* name : {"indexTestV2003.mdb", "indexTestV2010.accdb"}) {
        SCOPED_TRACE(name);
        const std::string file = dataFile(name);
        // szRelationship, grbit, ccolumn, icolumn, szObject, szColumn, szReferencedObject, szReferencedColumn
        std::set<std::string> expected, actual;
        for (const auto& line : splitOn(run({"mdb-export", "-H", "-Q", file, "MSysRelationships"}), "\n")) {
            auto f = splitOn(line, ",");
            if (f.size() == 8) expected.insert(f[0] + ":" + f[6] + "." + f[7] + "<-" + f[4] + "." + f[5]);
        }
        ASSERT_GE(expected.size(), 2u);
        auto db = open(file);
        for (const auto& r : db->Relations())
            for (const auto& pair : r->Fields())
                actual.insert(r->Name() + ":" + r->Table() + "." + pair->Name() + "<-" + r->ForeignTable() + "." +
                              pair->ForeignName());
        EXPECT_EQ(actual, expected);

        // mdb-schema names each table's primary key.
        std::set<std::string> keys, reported;
        std::regex pk(R"re(ALTER TABLE "(\w+)" ADD CONSTRAINT "\w+" PRIMARY KEY \("(\w+)"\);)re");
        for (const auto& line : splitOn(run({"mdb-schema", "--indexes", file, "postgres"}), "\n")) {
            std::smatch m;
            if (std::regex_search(line, m, pk)) keys.insert(std::string(m[1]) + "." + std::string(m[2]));
        }
        ASSERT_FALSE(keys.empty());
        for (const auto& t : db->TableDefs()) {
            if (t->Attributes() & dao::SystemObject) continue;
            for (const auto& ix : t->Indexes())
                if (ix->Primary())
                    for (const auto& f : ix->Fields()) reported.insert(lowerAscii(t->Name() + "." + f->Name()));
        }
        EXPECT_EQ(reported, keys);
        db->Close();
    }
}

TEST_F(AccessReader, FieldPropertiesAreThoseMdbPropReads) {
    long checked = 0;
    for (const char* name : {"testV2003.mdb", "testV2010.accdb", "indexTestV2003.mdb", "calcFieldTestV2010.accdb"}) {
        SCOPED_TRACE(name);
        const std::string file = dataFile(name);
        auto db = open(file);
        for (const auto& t : db->TableDefs()) {
            if (t->Attributes() & dao::SystemObject) continue;
            std::string field;
            for (const auto& line : splitOn(run({"mdb-prop", file, t->Name()}), "\n")) {
                if (line.rfind("name: ", 0) == 0) field = line.substr(6);
                auto colon = line.find(": ");
                if (line.empty() || line[0] != '\t' || colon == std::string::npos || field == "(none)") continue;
                std::string prop = line.substr(1, colon - 1), value = line.substr(colon + 2);
                if (prop != "Format" && prop != "DefaultValue" && prop != "DecimalPlaces" && prop != "Caption" &&
                    prop != "Description" && prop != "ValidationRule" && prop != "ValidationText" &&
                    prop != "ColumnWidth" && prop != "Expression")
                    continue;
                SCOPED_TRACE(t->Name() + "." + field + "." + prop);
                auto f = t->Fields(field);
                Variant v;
                for (const auto& p : f->Properties())
                    if (p->Name() == prop) v = p->Value();
                EXPECT_EQ(prop == "DefaultValue" ? f->DefaultValue().text() : v.text(), value);
                ++checked;
            }
        }
        db->Close();
    }
    EXPECT_GT(checked, 30);
}

TEST_F(AccessReader, TheFileIsNeverWrittenAndWritesAreRefusedWithItsName) {
    const std::string file = copy("testV2003.mdb");
    const std::string before = fileBytes(file);
    const auto stamp = std::filesystem::last_write_time(file);

    auto db = open(file);
    EXPECT_FALSE(db->Updatable());
    std::string text;
    EXPECT_EQ(errorOf([&] { db->Execute("UPDATE Table1 SET B = 'x'"); }, &text), 3027);
    EXPECT_NE(text.find("MS Access file '" + file + "' is opened read-only"), std::string::npos) << text;
    db->Close();

    auto c = jet::adoProvider()->NewConnection();
    c->Open("Dbq={" + file + "};");
    long affected = -1;
    EXPECT_NE(errorOf([&] { c->Execute("DELETE FROM Table1", affected); }), 0);
    EXPECT_EQ(jet::lastEngineError(), 3027);
    auto rs = c->Execute("SELECT count(*) AS n FROM Table1", affected);
    EXPECT_EQ(rs->Fields()(0)->Value().toLongLong(), 2);
    c->Close();

    EXPECT_EQ(fileBytes(file), before);
    EXPECT_EQ(std::filesystem::last_write_time(file), stamp);
}

TEST_F(AccessReader, DamagedAndForeignFilesAreRefusedClearly) {
    const std::string good = fileBytes(dataFile("testV2003.mdb"));
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    };
    // Cut off after its header page, cut off in the middle of a page, and garbage behind a real header.
    std::string garbage = good.substr(0, 4096) + std::string(4096 * 8, '\x5a');
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"head.mdb", good.substr(0, 4096)}, {"half.mdb", good.substr(0, 4096 * 5 + 100)},
             {"garbage.mdb", garbage}, {"text.accdb", "not a database\n"}}) {
        SCOPED_TRACE(name);
        std::string path = write(name, bytes), text;
        long number = errorOf([&] { open(path)->Close(); }, &text);
        EXPECT_EQ(number, 3343) << text;
        EXPECT_NE(text.find(path), std::string::npos) << text;
        EXPECT_EQ(fileBytes(path), bytes);
    }
    EXPECT_EQ(errorOf([&] { open(dir / "missing.accdb"); }), 3024);
}

TEST_F(AccessReader, ALinkedTableReadsItsSourceOrIsLeftOutWhileTheRestOpens) {
    // Alone, the linked table's file is missing.
    const std::string alone = copy("linkerTestV2007.accdb");
    auto db = open(alone);
    bool hasLinked = false;
    for (const auto& t : db->TableDefs()) hasLinked = hasLinked || t->Name() == "Table2";
    EXPECT_FALSE(hasLinked);
    db->Close();
    auto notices = mirrorNotices(alone);
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices[0].kind, Notice::LinkMissing);
    EXPECT_EQ(notices[0].object, "Table2");
    EXPECT_NE(notices[0].detail.find("linkeeTest.accdb"), std::string::npos);

    // Beside its source, the linked table has the rows of the table it names there.
    const std::string linked = dataFile("linkerTestV2007.accdb");
    auto c = jet::adoProvider()->NewConnection();
    c->Open("Dbq={" + linked + "};");
    long affected = -1;
    std::vector<std::string> mirrored;
    auto rs = c->Execute("SELECT * FROM Table2", affected);
    for (; !rs->Eof(); rs->MoveNext()) mirrored.push_back(rs->Fields()(1)->Value().text());
    c->Close();
    std::vector<std::string> source;
    for (auto& line : splitOn(run({"mdb-export", "-H", "-Q", dataFile("linkeeTest.accdb"), "Table1"}), "\n"))
        if (!line.empty()) source.push_back(splitOn(line, ",").at(1));
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(mirrored, source);
}

TEST_F(AccessReader, AttachmentAndMultiValuedFieldsAreNamedAndTheTableStillOpens) {
    const std::string out = dir / "complex.sqlite";
    MirrorReport report = writeEngineDatabase(dataFile("complexDataTestV2010.accdb"), out);
    std::set<std::string> named;
    for (const auto& n : report.notices)
        if (n.kind == Notice::Attachment) named.insert(n.detail);
    EXPECT_EQ(named, (std::set<std::string>{"attach-data", "multi-value-data",
                                            "VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880"}));
    Sqlite db(out);
    auto exported = splitOn(run({"mdb-export", "-H", dataFile("complexDataTestV2010.accdb"), "Table1"}), "\n");
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Table1"), std::to_string(exported.size() - 1));
}

TEST_F(AccessReader, ConvertedCopyIsAnEditableEngineDatabase) {
    const std::string out = dir / "copy.sqlite";
    MirrorReport report = writeEngineDatabase(dataFile("indexTestV2010.accdb"), out);
    EXPECT_EQ(report.tables, 3);
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
    // A second convert never overwrites.
    EXPECT_EQ(errorOf([&] { writeEngineDatabase(dataFile("indexTestV2010.accdb"), out); }), 3204);

    auto db = open(out);
    EXPECT_TRUE(db->Updatable());
    db->Execute("UPDATE Table1 SET data = 'changed' WHERE id = 1");
    EXPECT_EQ(db->RecordsAffected(), 1);
    // The relation is enforced in the copy as in the file: no order line without its order.
    EXPECT_EQ(errorOf([&] { db->Execute("UPDATE Table1 SET otherfk1 = 999 WHERE id = 1"); }), 3201);
    db->Close();
    Sqlite check(out);
    EXPECT_EQ(check.scalar("SELECT data FROM Table1 WHERE id = 1"), "changed");
    // The field properties went with it, as many as the file holds.
    long decimals = 0;
    for (const auto& line : splitOn(run({"mdb-prop", dataFile("indexTestV2010.accdb"), "Table1"}), "\n"))
        if (line.find("\tDecimalPlaces:") == 0) ++decimals;
    ASSERT_GT(decimals, 0);
    EXPECT_EQ(check.scalar("SELECT count(*) FROM dv_sys_properties WHERE object = 'Table1' AND name = 'DecimalPlaces'"),
              std::to_string(decimals));
}

TEST_F(AccessReader, AConvertThatCannotFinishLeavesNothingBehind) {
    // No folder to write to, and a source that breaks off after its catalogue.
    std::string text;
    const std::string nowhere = dir / "missing/folder/copy.sqlite";
    EXPECT_EQ(errorOf([&] { writeEngineDatabase(dataFile("testV2003.mdb"), nowhere); }, &text), 3044);
    EXPECT_NE(text.find(nowhere), std::string::npos) << text;
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));

    const std::string good = fileBytes(dataFile("testV2003.mdb"));
    const std::string cut = dir / "cut.mdb", out = dir / "cut.sqlite";
    std::ofstream(cut, std::ios::binary) << good.substr(0, good.size() / 2 / 4096 * 4096);
    long number = errorOf([&] { writeEngineDatabase(cut, out); }, &text);
    if (number == 0) {
        // What libmdb could still read is a whole database, never a part of one.
        Sqlite db(out);
        EXPECT_EQ(db.scalar("PRAGMA integrity_check"), "ok");
    } else {
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
}

}  // namespace
}  // namespace dalvera::access::test
