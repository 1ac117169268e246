// Files the engine must refuse without writing to them, locks and durability.
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>

#include "JetFixture.h"

namespace dalvera::jet::test {

class FileSafetyTest : public JetFixture {
protected:
    Error openError(const std::string& path) {
        return errorOf([&] { daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(path); });
    }
};

TEST_F(FileSafetyTest, MissingFileIsNotCreated) {
    auto e = openError(file("nope.mdb"));
    EXPECT_EQ(e.number(), 3024);
    EXPECT_EQ(e.description(), "Could not find file '" + file("nope.mdb") + "'.");
    EXPECT_FALSE(std::filesystem::exists(file("nope.mdb")));
}

TEST_F(FileSafetyTest, UnrecognisedFilesAreRefusedAndLeftUntouched) {
    std::string jet("\x00\x01\x00\x00Standard Jet DB\x00\x01\x00\x00\x00", 24);
    std::string ace("\x00\x01\x00\x00Standard ACE DB\x00\x01\x00\x00\x00", 24);
    writeBytes(file("old.mdb"), jet + std::string(2000, 'j'));
    writeBytes(file("new.accdb"), ace + std::string(2000, 'a'));
    writeBytes(file("text.mdb"), "name,value\n1,2\n");
    writeBytes(file("empty.mdb"), "");
    for (auto name : {"old.mdb", "new.accdb", "text.mdb", "empty.mdb"}) {
        SCOPED_TRACE(name);
        std::string before = readBytes(file(name));
        auto e = openError(file(name));
        EXPECT_EQ(e.number(), 3343);
        EXPECT_EQ(e.description(), "Unrecognized database format '" + file(name) + "'.");
        EXPECT_EQ(readBytes(file(name)), before);
    }
    EXPECT_EQ(openError(dir).number(), 3044);
}

TEST_F(FileSafetyTest, TruncatedDatabaseIsRefused) {
    auto db = buildOrders();
    sqlite3_exec(db->session().db(),
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
                 "INSERT INTO LogBook SELECT printf('%090d', i) FROM n",
                 nullptr, nullptr, nullptr);
    db->Close();
    std::string bytes = readBytes(file("orders.sqlite"));
    writeBytes(file("cut.sqlite"), bytes.substr(0, 3000));
    auto e = errorOf([&] {
        auto d = daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(file("cut.sqlite"));
        d->TableDefs();
        auto c = adoProvider()->NewConnection();
        c->Open("Dbq=" + file("cut.sqlite"));
        c->Execute("SELECT * FROM LogBook");
    });
    EXPECT_TRUE(e.number() == 3343 || (e.number() == host::ado::ProviderError && lastEngineError() == 3343))
        << e.number() << " " << e.description();
}

TEST_F(FileSafetyTest, ReadOnlyFileGivesAClearError) {
    buildOrders()->Close();
    // Opened read-only, writes are refused with the engine's read-only error.
    auto ro = daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(file("orders.sqlite"), false, true);
    auto w = errorOf([&] { ro->Execute("INSERT INTO LogBook (Entry) VALUES ('x')"); });
    EXPECT_EQ(w.number(), 3027);
    EXPECT_EQ(w.description(), "Cannot update. Database or object is read-only.");
    ro->Close();
    std::filesystem::create_directories(file("locked"));
    std::filesystem::copy_file(file("orders.sqlite"), file("locked/orders.sqlite"));
    std::filesystem::copy_file(file("orders.sqlite"), file("secret.sqlite"));
    ::chmod(file("orders.sqlite").c_str(), 0444);
    ::chmod(file("secret.sqlite").c_str(), 0000);
    ::chmod(file("locked").c_str(), 0555);
    ::chmod(dir.c_str(), 0755);
    // Rights that ignore file modes (root) are given up in a child process.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::access(file("orders.sqlite").c_str(), W_OK) == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        // A read-only file, and a writable file in a read-only folder, open for
        // reading; a write names the file.
        for (const std::string& path : {file("orders.sqlite"), file("locked/orders.sqlite")}) {
            try {
                auto db = daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(path);
                if (!db->TableDefs().Exists("LogBook")) ::_exit(3);
                auto e = errorOf([&] { db->Execute("INSERT INTO LogBook (Entry) VALUES ('x')"); });
                if (e.number() != 3027 || e.description().find(path) == std::string::npos) ::_exit(4);
            } catch (const Error&) {
                ::_exit(1);
            }
        }
        auto e = openError(file("secret.sqlite"));
        bool named = e.description().find(file("secret.sqlite")) != std::string::npos;
        ::_exit(e.number() == 3051 && named ? 0 : 5);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(file("locked").c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: refused to open; 2: could not drop rights; 3: not readable; 4: write not "
                                         "refused with 3027; 5: unreadable file not refused with 3051";
    EXPECT_EQ(fileValue(file("orders.sqlite"), "SELECT count(*) FROM LogBook"), "int:0");
    EXPECT_EQ(fileValue(file("locked/orders.sqlite"), "SELECT count(*) FROM LogBook"), "int:0");
    // Asked for read-only, it opens.
    EXPECT_NO_THROW(daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(file("orders.sqlite"), false, true));
}

// Each way an open fails has its own number and text through ADO, as the
// data source maps them.
TEST_F(FileSafetyTest, OpenFailuresHaveTheirOwnNumbersThroughAdo) {
    buildOrders()->Close();
    auto db = CreateDatabase(file("guarded.sqlite"));
    db->NewPassword("", "open sesame");
    db->Close();
    writeBytes(file("notes.mdb"), "just some text, not a database\n");
    auto openError = [&](const std::string& path, const std::string& pwd = {}) {
        auto c = adoProvider()->NewConnection();
        auto e = errorOf([&] { c->Open("Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=" + path + ";Pwd=" + pwd + ";"); });
        EXPECT_EQ(e.number(), e.number() ? host::ado::ProviderError : 0) << path;
        EXPECT_EQ(c->State(), e.number() ? host::ado::state::Closed : host::ado::state::Open);
        return std::make_pair(e.number() ? lastEngineError() : 0, e.description());
    };
    const std::string prefix = "[Microsoft][ODBC Microsoft Access Driver] ";
    EXPECT_EQ(openError(file("gone.sqlite")),
              std::make_pair(3024L, prefix + "Could not find file '" + file("gone.sqlite") + "'."));
    EXPECT_EQ(openError(file("notes.mdb")),
              std::make_pair(3343L, prefix + "Unrecognized database format '" + file("notes.mdb") + "'."));
    EXPECT_EQ(openError(file("guarded.sqlite"), "guess"), std::make_pair(3031L, prefix + "Not a valid password."));
    EXPECT_EQ(openError(file("guarded.sqlite"), "open sesame").first, 0);
    EXPECT_EQ(openError(dir).first, 3044);
    // Another process holding the file exclusively.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file("orders.sqlite").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    int saved = lockTimeout();
    setLockTimeout(200);
    auto locked = openError(file("orders.sqlite"));
    setLockTimeout(saved);
    EXPECT_EQ(locked, std::make_pair(3045L, prefix + "Could not use '" + file("orders.sqlite") + "'; file already in use."));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(openError(file("orders.sqlite")).first, 0);
}

TEST_F(FileSafetyTest, LockedDatabaseWaitsABoundedTimeThenReportsTheLock) {
    buildOrders()->Close();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file("orders.sqlite").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO LogBook VALUES ('held');", nullptr, nullptr, nullptr),
              SQLITE_OK);
    int saved = lockTimeout();
    setLockTimeout(300);
    auto c = adoProvider()->NewConnection();
    c->Open("Dbq=" + file("orders.sqlite"));
    auto start = std::chrono::steady_clock::now();
    auto e = errorOf([&] { c->Execute("INSERT INTO LogBook (Entry) VALUES ('mine')"); });
    auto waited = std::chrono::steady_clock::now() - start;
    setLockTimeout(saved);
    EXPECT_EQ(e.number(), host::ado::ProviderError);
    EXPECT_EQ(lastEngineError(), 3218);
    EXPECT_NE(e.description().find("currently locked"), std::string::npos);
    EXPECT_NE(e.description().find("LogBook"), std::string::npos);
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::seconds(3));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    long n = 0;
    c->Execute("INSERT INTO LogBook (Entry) VALUES ('mine')", n);
    EXPECT_EQ(n, 1);
}

TEST_F(FileSafetyTest, CommitsAreDurableAndTheFileStandsAlone) {
    auto db = buildOrders();
    db->Execute("INSERT INTO LogBook (Entry) VALUES ('kept')");
    sqlite3* h = db->session().db();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, "PRAGMA journal_mode", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "delete");
    sqlite3_finalize(st);
    sqlite3_prepare_v2(h, "PRAGMA synchronous", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), 2);  // FULL
    sqlite3_finalize(st);
    // A second process sees the committed row at once, with no side files left.
    sqlite3* other = nullptr;
    sqlite3_open_v2(file("orders.sqlite").c_str(), &other, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_prepare_v2(other, "SELECT count(*) FROM LogBook", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), 1);
    sqlite3_finalize(st);
    sqlite3_close(other);
    EXPECT_FALSE(std::filesystem::exists(file("orders.sqlite-journal")));
    EXPECT_FALSE(std::filesystem::exists(file("orders.sqlite-wal")));
    EXPECT_EQ(errorOf([&] { CreateDatabase(file("orders.sqlite")); }).number(), 3204);
}

}  // namespace dalvera::jet::test
