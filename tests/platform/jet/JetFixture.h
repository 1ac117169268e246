#pragma once
// A temporary folder with an order database built through the engine's own DDL.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

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
