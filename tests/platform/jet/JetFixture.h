#pragma once
// A temporary folder with an order database built through the engine's own DDL.
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sqlite3.h>
#include <unistd.h>

#include "platform/jet/Catalog.h"
#include "platform/jet/Jet.h"
#include "platform/jet/Session.h"
#include "runtime/Error.h"

namespace dalvera::jet::test {

class JetFixture : public ::testing::Test {
protected:
    void SetUp() override {
        auto base = std::filesystem::temp_directory_path() /
                    ("dalvera-jet-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(base);
        std::filesystem::create_directories(base);
        dir = base.string();
    }
    void TearDown() override {
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
        std::filesystem::remove_all(dir);
    }
    std::string file(const std::string& name) const { return dir + "/" + name; }

    // Customers, orders with a two-field relation to order lines, products.
    std::shared_ptr<Database> buildOrders(const std::string& name = "orders.sqlite") {
        auto db = CreateDatabase(file(name));
        db->Execute("CREATE TABLE Customers (CustomerID COUNTER CONSTRAINT PK_Customers PRIMARY KEY, "
                    "Company TEXT(40) NOT NULL, Email TEXT(80), Active YESNO DEFAULT True, "
                    "Balance CURRENCY DEFAULT 0, Since DATETIME, Notes MEMO, Rating BYTE, Visits SHORT, "
                    "Score SINGLE, Ratio DOUBLE, Photo LONGBINARY, Tag BINARY(8), Code GUID, Amount DECIMAL(12,2), "
                    "CONSTRAINT UQ_Email UNIQUE (Email))");
        db->Execute("CREATE TABLE Orders (CustomerID LONG NOT NULL, OrderNo LONG NOT NULL, OrderDate DATETIME, "
                    "CONSTRAINT PK_Orders PRIMARY KEY (CustomerID, OrderNo), "
                    "CONSTRAINT CustomersOrders FOREIGN KEY (CustomerID) REFERENCES Customers (CustomerID))");
        db->Execute("CREATE TABLE OrderLines (LineID COUNTER PRIMARY KEY, CustomerID LONG, OrderNo LONG, "
                    "Quantity SHORT, CONSTRAINT OrderLinesOfOrder FOREIGN KEY (CustomerID, OrderNo) "
                    "REFERENCES Orders (CustomerID, OrderNo))");
        db->Execute("CREATE TABLE LogBook (Entry TEXT(100))");
        return db;
    }

    static void writeBytes(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string readBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string dir;
};

// Rows of a query run on a connection of its own to the file, each value as
// "type:value" (real numbers in their shortest exact form), joined by '|';
// "error:<message>" when the query fails.
inline std::vector<std::string> fileRows(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return {"error:cannot open"};
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        rows.push_back(std::string("error:") + sqlite3_errmsg(db));
        sqlite3_close(db);
        return rows;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            if (c) row += "|";
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL: row += "null"; break;
            case SQLITE_INTEGER: row += "int:" + std::to_string(sqlite3_column_int64(st, c)); break;
            case SQLITE_FLOAT: {
                char buf[40];
                auto r = std::to_chars(buf, buf + sizeof buf, sqlite3_column_double(st, c));
                row += "real:" + std::string(buf, r.ptr);
                break;
            }
            case SQLITE_BLOB: row += "blob:" + std::to_string(sqlite3_column_bytes(st, c)); break;
            default: row += std::string("text:") + reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            }
        }
        rows.push_back(row);
    }
    if (rc != SQLITE_DONE) rows.push_back(std::string("error:") + sqlite3_errmsg(db));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

// The single value of a one-row query on a connection of its own.
inline std::string fileValue(const std::string& path, const std::string& sql) {
    auto rows = fileRows(path, sql);
    return rows.size() == 1 ? rows[0] : "rows:" + std::to_string(rows.size()) + (rows.empty() ? "" : " " + rows[0]);
}

// Runs SQLite text on a connection of its own, as another tool would.
inline void fileExec(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "") << " in " << sql;
    sqlite3_free(err);
    sqlite3_close(db);
}

// Runs f and returns the error it raises (number 0 when none).
template <typename F>
Error errorOf(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    return Error(0, "no error");
}

}  // namespace dalvera::jet::test
