// Number literals read exactly, dates with milliseconds, and the checked
// writes of INSERT and UPDATE.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>

#include "platform/jet/sql/JetSql.h"
#include "platform/jetsql/JetDb.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"

using namespace dalvera;
using dalvera::jet::testing::JetDb;

namespace {

std::string shortest(double d) {
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

double evaluate(JetDb& db, const std::string& jetSql) {
    auto sql = jet::translate(jetSql).sql;
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
    double v = std::nan("");
    if (st && sqlite3_step(st) == SQLITE_ROW) v = sqlite3_column_double(st, 0);
    sqlite3_finalize(st);
    return v;
}

}  // namespace

// SQLite's own reading of some 16- and 17-digit numbers is one bit off; the
// translation must give exactly what strtod reads.
TEST(JetExactNumbers, LiteralsEvaluateToTheNearestDouble) {
    JetDb db;
    for (const char* known : {"32.99609607468118", "1.858761689554061e-05", "3.248667363247756e-15",
                              "0.30000000000000004", "123456789.123456789", "1e-300", "5e-324", "4.9e-324",
                              "2.2250738585072014e-308", "1.7976931348623157e308", "99999999999999999999", "0.1",
                              "12.25", "1e22", "1e23", "9007199254740993.5"}) {
        SCOPED_TRACE(known);
        double want = std::strtod(known, nullptr);
        EXPECT_EQ(shortest(evaluate(db, std::string("SELECT ") + known)), shortest(want));
    }
    std::mt19937_64 rng(20240120);
    int wrong = 0;
    for (int i = 0; i < 4000; ++i) {
        uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        d = std::fabs(d);
        if (!std::isfinite(d)) continue;
        if (i % 2) d = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 120) - 90);
        std::string lit = shortest(d);
        if (evaluate(db, "SELECT " + lit) != d && ++wrong < 5) ADD_FAILURE() << lit;
    }
    EXPECT_EQ(wrong, 0);
    // Short literals stay as written; whole numbers and positions too.
    EXPECT_EQ(jet::translate("SELECT 12.5, 0.001, 42, 1.5e3 FROM t ORDER BY 1").sql,
              "SELECT 12.5, 0.001, 42, 1.5e3 FROM t ORDER BY 1");
    EXPECT_EQ(jet::exactNumberText("0.30000000000000004"), "(1351079888211149.0/4503599627370496)");
}

TEST(JetExactNumbers, CurrencyUnitsRoundHalfToEvenAtFourDecimals) {
    int64_t u = 0;
    ASSERT_TRUE(jet::currencyUnits(0.1 + 0.2, u));
    EXPECT_EQ(u, 3000);
    ASSERT_TRUE(jet::currencyUnits(2.00005, u));
    EXPECT_EQ(u, 20000);
    ASSERT_TRUE(jet::currencyUnits(2.00015, u));
    EXPECT_EQ(u, 20002);
    ASSERT_TRUE(jet::currencyUnits(-1.23456, u));
    EXPECT_EQ(u, -12346);
    ASSERT_TRUE(jet::currencyUnits(922337203685477.5, u));
    EXPECT_EQ(u, 9223372036854775000);
    EXPECT_FALSE(jet::currencyUnits(922337203685478.0, u));
    EXPECT_FALSE(jet::currencyUnits(1e20, u));
    EXPECT_FALSE(jet::currencyUnits(std::nan(""), u));
    // The double of the units is what their literal reads as.
    EXPECT_EQ(jet::currencyDouble(3000), 0.3);
    EXPECT_EQ(jet::currencyDouble(-1), -0.0001);
    EXPECT_EQ(jet::currencyDouble(1234567890123456), 123456789012.3456);
    EXPECT_EQ(jet::currencyDouble(9223372036854775000), 922337203685477.5);
}

TEST(JetStorageDates, MillisecondsAndEarlyDatesKeepTheirForm) {
    double s = 0;
    ASSERT_TRUE(jet::canonicalStorageDate("2024-01-20 10:00:00.123", s));
    EXPECT_EQ(jet::dateToStorage(s), "2024-01-20 10:00:00.123");
    ASSERT_TRUE(jet::canonicalStorageDate("1850-03-01 00:00:00", s));
    EXPECT_EQ(s, dateSerial(1850, 3, 1));
    ASSERT_TRUE(jet::canonicalStorageDate("1899-12-29 12:00:00.001", s));
    EXPECT_LT(s, -1.5);
    EXPECT_EQ(jet::dateToStorage(s), "1899-12-29 12:00:00.001");
    ASSERT_TRUE(jet::canonicalStorageDate("0100-01-01 23:59:59.999", s));
    EXPECT_EQ(jet::dateToStorage(s), "0100-01-01 23:59:59.999");
    // Only the exact form: what dateToStorage would write back the same way.
    for (const char* other : {"2024-01-20", "2024-1-20 10:00:00", "2024-01-20 10:00:00.000", "2024-01-20T10:00:00",
                              "2024-02-30 10:00:00", "2024-01-20 24:00:00", "0099-12-31 00:00:00", "2024-01-20 10:00:00.12"})
        EXPECT_FALSE(jet::canonicalStorageDate(other, s)) << other;
    // The general reading still takes the other ISO forms.
    ASSERT_TRUE(jet::storageToDate("2024-01-20 10:00:00.5", s));
    EXPECT_EQ(jet::dateToStorage(s), "2024-01-20 10:00:00.500");
    ASSERT_TRUE(jet::parseDateWithMillis("1/20/2024 10:00:00.25", s));
    EXPECT_EQ(jet::dateToStorage(s), "2024-01-20 10:00:00.250");
    // A millisecond that rounds up to the next day moves the date, also before the epoch.
    EXPECT_EQ(jet::dateToStorage(dateSerial(2024, 1, 20) + (86400.0 - 0.0001) / 86400), "2024-01-21 00:00:00");
    EXPECT_EQ(jet::dateToStorage(-1 - (86400.0 - 0.0001) / 86400), "1899-12-30 00:00:00");
}

TEST(JetStorageDates, DateLiteralsTakeMilliseconds) {
    JetDb db;
    EXPECT_EQ(db.value("SELECT #2024-01-20 10:00:00.123#"), "2024-01-20 10:00:00.123");
    EXPECT_EQ(db.value("SELECT #1/20/2024 10:00:00.5#"), "2024-01-20 10:00:00.500");
    EXPECT_EQ(db.value("SELECT #1850-03-01#"), "1850-03-01 00:00:00");
    // The functions read them too, and date arithmetic keeps them.
    EXPECT_EQ(db.value("SELECT Year(#2024-01-20 10:00:00.123#) & '/' & Second(#2024-01-20 10:00:07.123#)"), "2024/7");
    EXPECT_EQ(db.value("SELECT #2024-01-20 10:00:00.123# + 1"), "2024-01-21 10:00:00.123");
    EXPECT_EQ(db.value("SELECT CDate('0100-01-01 12:30:00')"), "0100-01-01 12:30:00");
    try {
        jet::translate("SELECT #2024-01-20 10:00:00.1234#");
        ADD_FAILURE() << "a tenth of a millisecond was taken";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3075);
    }
}

class JetCheckedWrites : public ::testing::Test {
protected:
    void SetUp() override {
        db.runNative("CREATE TABLE t (k LONG PRIMARY KEY, n SMALLINT, s SINGLE, w DATETIME, x TEXT(10))");
        columns = [](const std::string& table) -> std::vector<jet::StoreColumn> {
            if (table != "t") return {};
            return {{"k", jet::StoreKind::Long},
                    {"n", jet::StoreKind::Integer},
                    {"s", jet::StoreKind::Single},
                    {"w", jet::StoreKind::Date},
                    {"x", jet::StoreKind::Any}};
        };
    }
    // Runs a translated write with texts bound in order; "" or the error text.
    std::string write(const std::string& jetSql, const std::vector<std::string>& binds = {}) {
        try {
            db.runNative(jet::translate(jetSql, {}, columns).sql, binds);
            return "";
        } catch (const std::exception& e) {
            return e.what();
        }
    }
    JetDb db;
    jet::ColumnLookup columns;
};

TEST_F(JetCheckedWrites, ValuesConvertAndParametersKeepTheirOrder) {
    EXPECT_EQ(write("INSERT INTO t VALUES (1, 2.5, 0.1, '2024-1-5', 'a'), (2, ?, ?, ?, ?)", {"7", "2.5", "1/2/2024", "b"}), "");
    EXPECT_EQ(db.run("SELECT k, n, typeof(n), s, w, x FROM t ORDER BY k"),
              (std::vector<std::string>{"1|2|integer|0.100000001490116|2024-01-05 00:00:00|a",
                                        "2|7|integer|2.5|2024-01-02 00:00:00|b"}));
    EXPECT_EQ(write("UPDATE [t] SET [t].[n] = ?, x = ?, s = n * ? WHERE k = ?", {"-3.5", "c", "2", "2"}), "");
    EXPECT_EQ(db.run("SELECT n, x, s FROM t WHERE k = 2"), std::vector<std::string>{"-4|c|14"});
    EXPECT_EQ(write("INSERT INTO t (n, k) SELECT TOP 1 n + 1, k + 10 FROM t ORDER BY k DESC;"), "");
    EXPECT_EQ(db.run("SELECT k, n FROM t WHERE k > 10"), std::vector<std::string>{"12|-3"});
    // A statement of another shape is translated as written.
    EXPECT_EQ(jet::translate("UPDATE t SET n = 1", {}, columns).sql, "UPDATE t SET \"n\" = jet_store(1, 3, 't', 'n')");
    EXPECT_EQ(jet::translate("UPDATE u SET n = 1", {}, columns).sql, "UPDATE u SET n = 1");
    EXPECT_EQ(jet::translate("INSERT INTO t (x) VALUES ('y')", {}, columns).sql, "INSERT INTO t (x) VALUES ('y')");
}

TEST_F(JetCheckedWrites, RefusedValuesNameTheTableAndColumn) {
    ASSERT_EQ(write("INSERT INTO t (k, n) VALUES (1, 1)"), "");
    std::string e = write("UPDATE t SET n = 40000");
    EXPECT_NE(e.find(std::string(jet::StoreErrorTag) + "3349\x1f" "t\x1f" "n\x1f" "3\x1f" "40000"), std::string::npos) << e;
    EXPECT_NE(write("INSERT INTO t (k, s) VALUES (5, 1e39)").find("3349"), std::string::npos);
    EXPECT_NE(write("INSERT INTO t (k, w) VALUES (5, 'later')").find("3464"), std::string::npos);
    EXPECT_NE(write("INSERT INTO t (k, w) VALUES (5, #12/31/9999# + 1)").find("Overflow"), std::string::npos);
    // Defaults are written without the checks, so they are checked when declared.
    for (const char* bad : {"CREATE TABLE d (b BYTE DEFAULT 300)", "CREATE TABLE d (n SMALLINT DEFAULT -40000)",
                            "CREATE TABLE d (s SINGLE DEFAULT 1e39)", "ALTER TABLE t ADD COLUMN q LONG DEFAULT 3e9"}) {
        try {
            jet::translate(bad);
            ADD_FAILURE() << bad;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 3349) << bad;
        }
    }
    EXPECT_NE(jet::translate("CREATE TABLE d (b BYTE DEFAULT 255, n SMALLINT DEFAULT -32768)").sql.find("DEFAULT -32768"),
              std::string::npos);
    EXPECT_EQ(db.run("SELECT k, n FROM t"), std::vector<std::string>{"1|1"});
}
