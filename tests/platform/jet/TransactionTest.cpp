// Transactions of the ADO connection when the COMMIT or a statement in them fails.
#include <sys/mount.h>

#include <chrono>

#include "JetFixture.h"

namespace dalvera::jet::test {
namespace ado = host::ado;

// Another process reading: a statement in the middle of its rows keeps the file's shared lock.
class Reader {
public:
    explicit Reader(const std::string& path) {
        sqlite3_open(path.c_str(), &db_);
        sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(db_, "SELECT * FROM Products", -1, &st_, nullptr);
        ok_ = sqlite3_step(st_) == SQLITE_ROW;
    }
    ~Reader() { release(); }
    bool holding() const { return ok_; }
    // What this reader sees of a price.
    double price(int id) {
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db_, ("SELECT Price FROM Products WHERE ProductID = " + std::to_string(id)).c_str(), -1, &q,
                           nullptr);
        double v = sqlite3_step(q) == SQLITE_ROW ? sqlite3_column_double(q, 0) : -1;
        sqlite3_finalize(q);
        return v;
    }
    void release() {
        if (!db_) return;
        sqlite3_finalize(st_);
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* st_ = nullptr;
    bool ok_ = false;
};

class TransactionTest : public JetFixture {
protected:
    void SetUp() override {
        JetFixture::SetUp();
        saved_ = lockTimeout();
        setLockTimeout(300);
        auto db = CreateDatabase(file("shop.sqlite"));
        db->Execute("CREATE TABLE Products (ProductID LONG PRIMARY KEY, Price CURRENCY)");
        db->Execute("INSERT INTO Products VALUES (1, 10)");
        db->Execute("INSERT INTO Products VALUES (2, 12.25)");
        db->Close();
    }
    void TearDown() override {
        setLockTimeout(saved_);
        JetFixture::TearDown();
    }
    std::shared_ptr<ado::Connection> connect(const std::string& path) {
        auto c = adoProvider()->NewConnection();
        c->Open("Dbq=" + path);
        return c;
    }
    std::string price(int id) {
        return fileValue(file("shop.sqlite"), "SELECT Price FROM Products WHERE ProductID = " + std::to_string(id));
    }
    // Begins and changes both prices; the COMMIT then meets the reader's lock.
    std::shared_ptr<ado::Connection> failedCommit(Reader& reader) {
        EXPECT_TRUE(reader.holding());
        auto c = connect(file("shop.sqlite"));
        c->BeginTrans();
        long n = 0;
        c->Execute("Update [Products] SET [Price] = 12.5 WHERE [ProductID] = 2 AND [Price] = 12.25", n);
        EXPECT_EQ(n, 1);
        c->Execute("Update [Products] SET [Price] = 11 WHERE [ProductID] = 1 AND [Price] = 10", n);
        EXPECT_EQ(n, 1);
        auto start = std::chrono::steady_clock::now();
        auto e = errorOf([&] { c->CommitTrans(); });
        auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(e.number(), ado::ProviderError);
        EXPECT_EQ(lastEngineError(), 3218);
        EXPECT_NE(e.description().find("currently locked"), std::string::npos) << e.description();
        EXPECT_GE(waited, std::chrono::milliseconds(250));
        EXPECT_LT(waited, std::chrono::seconds(3));
        // The other process still reads the old values.
        EXPECT_EQ(reader.price(2), 12.25);
        EXPECT_EQ(reader.price(1), 10);
        return c;
    }
    int saved_ = 0;
};

TEST_F(TransactionTest, CommitBlockedByAReaderStaysOpenAndARetryWritesIt) {
    Reader reader(file("shop.sqlite"));
    auto c = failedCommit(reader);
    reader.release();
    // (Until the retry or a rollback, SQLite's pending lock keeps new readers out.)
    c->CommitTrans();
    EXPECT_EQ(price(2), "real:12.5");
    EXPECT_EQ(price(1), "int:11");
    EXPECT_EQ(errorOf([&] { c->CommitTrans(); }).number(), -2147168242);  // none open now
    c->Close();
    EXPECT_EQ(price(2), "real:12.5");
}

TEST_F(TransactionTest, CommitBlockedByAReaderCanBeRolledBack) {
    Reader reader(file("shop.sqlite"));
    auto c = failedCommit(reader);
    c->RollbackTrans();
    reader.release();
    EXPECT_EQ(price(2), "real:12.25");
    EXPECT_EQ(price(1), "int:10");
    // The connection goes on with a new transaction.
    c->BeginTrans();
    long n = 0;
    c->Execute("UPDATE Products SET Price = 13 WHERE ProductID = 2", n);
    c->CommitTrans();
    EXPECT_EQ(price(2), "int:13");
}

TEST_F(TransactionTest, AStatementThatEndsTheTransactionMakesTheCommitFail) {
    // Made by another tool: a NOT NULL failure rolls back the whole transaction.
    fileExec(file("shop.sqlite"), "CREATE TABLE Strict (k INTEGER PRIMARY KEY, v TEXT NOT NULL ON CONFLICT ROLLBACK)");
    auto c = connect(file("shop.sqlite"));
    c->BeginTrans();
    long n = 0;
    c->Execute("INSERT INTO Strict (k, v) VALUES (1, 'a')", n);
    EXPECT_EQ(errorOf([&] { c->Execute("INSERT INTO Strict (k, v) VALUES (2, Null)", n); }).number(), ado::ProviderError);
    EXPECT_EQ(lastEngineError(), 3314);
    // What follows is not written on its own, outside the transaction.
    EXPECT_EQ(errorOf([&] { c->Execute("INSERT INTO Strict (k, v) VALUES (3, 'c')", n); }).number(), ado::ProviderError);
    auto e = errorOf([&] { c->CommitTrans(); });
    EXPECT_EQ(e.number(), ado::ProviderError);
    EXPECT_EQ(lastEngineError(), 3314);
    EXPECT_NE(e.description().find("rolled back"), std::string::npos) << e.description();
    EXPECT_NO_THROW(c->RollbackTrans());
    EXPECT_EQ(fileValue(file("shop.sqlite"), "SELECT count(*) FROM Strict"), "int:0");
    // A new transaction works as usual.
    c->BeginTrans();
    c->Execute("INSERT INTO Strict (k, v) VALUES (4, 'd')", n);
    c->CommitTrans();
    EXPECT_EQ(fileValue(file("shop.sqlite"), "SELECT k FROM Strict"), "int:4");
}

TEST_F(TransactionTest, ClosingUndoesTheTransactionAndTheConnectionCanBeginAgain) {
    auto c = connect(file("shop.sqlite"));
    c->BeginTrans();
    long n = 0;
    c->Execute("UPDATE Products SET Price = 99 WHERE ProductID = 1", n);
    c->Close();
    EXPECT_EQ(price(1), "int:10");
    c->Open("Dbq=" + file("shop.sqlite"));
    EXPECT_EQ(c->BeginTrans(), 1);
    c->Execute("UPDATE Products SET Price = 98 WHERE ProductID = 1", n);
    c->CommitTrans();
    EXPECT_EQ(price(1), "int:98");
}

// A file system too small for the transaction: the COMMIT reports the full
// disk and the file keeps what it had.
TEST_F(TransactionTest, DiskFullAtCommitIsReportedAndNothingIsStored) {
    std::string small = file("small");
    std::filesystem::create_directories(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=192k") != 0) GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount(at.c_str()); }
    } unmount{small};
    std::string path = small + "/full.sqlite";
    {
        auto db = CreateDatabase(path);
        db->Execute("CREATE TABLE Notes (k LONG PRIMARY KEY, t MEMO)");
        db->Execute("INSERT INTO Notes VALUES (1, 'kept')");
    }
    auto c = connect(path);
    c->BeginTrans();
    long n = 0;
    // Kept in the page cache until the COMMIT writes them.
    for (int i = 2; i < 8; ++i) c->Execute("INSERT INTO Notes VALUES (" + std::to_string(i) + ", '" + std::string(40000, 'x') + "')", n);
    auto e = errorOf([&] { c->CommitTrans(); });
    EXPECT_EQ(e.number(), ado::ProviderError);
    EXPECT_EQ(lastEngineError(), 3026) << e.description();
    EXPECT_NE(e.description().find("Not enough space on disk"), std::string::npos) << e.description();
    EXPECT_NO_THROW(c->RollbackTrans());
    c->Close();
    EXPECT_EQ(fileValue(path, "SELECT group_concat(k) FROM Notes"), "text:1");
    EXPECT_EQ(fileValue(path, "PRAGMA integrity_check"), "text:ok");
}

}  // namespace dalvera::jet::test
