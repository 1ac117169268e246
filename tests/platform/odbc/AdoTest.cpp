// The ADO objects over ODBC against the private PostgreSQL: types, commands
// with parameters, transactions and the driver's diagnostics.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

#include "host/Progress.h"
#include "platform/odbc/Odbc.h"
#include "platform/odbc/PgServer.h"
#include "runtime/DateSerial.h"
#include "runtime/Text.h"
#include "runtime/ValueTable.h"
#include "support/CancelLoad.h"

namespace dalvera {
namespace {

namespace ado = host::ado;

class OdbcAdo : public test::PgTest {
protected:
    std::shared_ptr<ado::Connection> open() {
        auto c = odbc::adoProvider()->NewConnection();
        c->ConnectionString(connection());
        c->Open();
        return c;
    }
};

TEST_F(OdbcAdo, ReadsTypedValuesWithTheirCodesAndSizes) {
    auto c = open();
    EXPECT_EQ(odbc::serverOf(c->DbmsName()), odbc::Server::PostgreSQL);
    auto rs = c->Execute(
        "SELECT product_id, product_name, unit_price, units_in_stock, discontinued, added_on FROM products "
        "WHERE product_id = 4");
    ASSERT_EQ(rs->RecordCount(), 1);
    const auto& f = rs->Fields();
    EXPECT_EQ(f.Item("product_id")->Type(), ado::type::Integer);
    EXPECT_EQ(f.Item("product_name")->Type(), ado::type::VarWChar);
    EXPECT_EQ(f.Item("product_name")->DefinedSize(), 50);
    EXPECT_EQ(f.Item("unit_price")->Type(), ado::type::Numeric);
    EXPECT_EQ(f.Item("units_in_stock")->Type(), ado::type::SmallInt);
    EXPECT_EQ(f.Item("discontinued")->Type(), ado::type::Boolean);
    EXPECT_EQ(f.Item("added_on")->Type(), ado::type::DBTimeStamp);
    EXPECT_EQ(f.Item("product_name")->Value().text(), "Gouda");
    EXPECT_DOUBLE_EQ(f.Item("unit_price")->Value().toDouble(), 21.5);
    EXPECT_TRUE(f.Item("discontinued")->Value().isBoolean());
    EXPECT_TRUE(f.Item("discontinued")->Value().toBool());
    EXPECT_TRUE(f.Item("added_on")->Value().isDate());
    EXPECT_DOUBLE_EQ(f.Item("added_on")->Value().toDateSerial(), dateSerial(2024, 3, 10, 8, 0, 0));
}

// The driver's trace files of this process in the temporary folder.
// This process's trace files with their sizes: a dead process of the same
// number may have left one, so a trace shows as a new or grown file.
std::map<std::string, std::uintmax_t> traceFiles() {
    std::map<std::string, std::uintmax_t> found;
    const std::string tail = std::to_string(::getpid()) + ".log";
    for (const auto& e : std::filesystem::directory_iterator("/tmp")) {
        const std::string name = e.path().filename().string();
        if ((name.starts_with("psqlodbc_") || name.starts_with("mylog_")) && name.size() > tail.size() &&
            name.ends_with(tail) && !std::isdigit(static_cast<unsigned char>(name[name.size() - tail.size() - 1])))
            found.emplace(e.path().string(), e.file_size());
    }
    return found;
}

TEST_F(OdbcAdo, ConnectionsLeaveNoTraceFilesUnlessTheirStringAsksForThem) {
    const auto before = traceFiles();
    // Two at once and closed in turn: the last close is where the driver fell back to its own setup.
    {
        auto a = open();
        auto b = open();
        EXPECT_EQ(b->Execute("SELECT count(*) FROM customers")->Fields().Item(0L)->Value().toLong(), 3);
        b->Close();
        a->Close();
    }
    auto c = open();
    c->Close();
    EXPECT_EQ(traceFiles(), before);

    // Asked for, the trace is written.
    auto traced = odbc::adoProvider()->NewConnection();
    traced->Open(connection() + ";CommLog=1");
    traced->Execute("SELECT 1");
    traced->Close();
    const auto files = traceFiles();
    EXPECT_NE(files, before);
    for (const auto& f : files)
        if (!before.count(f.first)) std::filesystem::remove(f.first);
}

TEST_F(OdbcAdo, KeepsNullsLongAndNonAsciiTexts) {
    auto c = open();
    const std::string longText(20000, 'x');
    long n = 0;
    c->Execute("UPDATE customers SET notes = '" + longText + "' WHERE customer_id = 1", n);
    EXPECT_EQ(n, 1);
    auto rs = c->Execute("SELECT contact_name, notes, shipped FROM (SELECT c.*, NULL::timestamp AS shipped FROM customers c) x "
                         "ORDER BY customer_id");
    ASSERT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->Fields().Item("notes")->Value().text().size(), longText.size());
    EXPECT_TRUE(rs->Fields().Item("shipped")->Value().isNull());
    rs->MoveLast();
    EXPECT_EQ(rs->Fields().Item("contact_name")->Value().text(), "Zoë Müller");
    EXPECT_TRUE(rs->Fields().Item("notes")->Value().isNull());
    // A text longer than the size the driver declares for its column is read in full.
    rs = c->Execute("SELECT 'short'::varchar AS v UNION ALL SELECT repeat('é', 3000)::varchar UNION ALL SELECT NULL");
    ASSERT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->Fields().Item(0L)->Value().text(), "short");
    rs->MoveNext();
    EXPECT_EQ(utf8Length(rs->Fields().Item(0L)->Value().text()), 3000u);
    rs->MoveNext();
    EXPECT_TRUE(rs->Fields().Item(0L)->Value().isNull());
}

// Every value of a result as [row][column], read in bound blocks or cell by cell.
std::vector<std::vector<Variant>> readAll(ado::Connection& c, const std::string& sql, bool cellByCell) {
    odbc::rowByRow() = cellByCell;
    std::vector<std::vector<Variant>> rows;
    auto rs = c.Execute(sql);
    odbc::rowByRow() = false;
    for (; !rs->Eof(); rs->MoveNext()) {
        rows.emplace_back();
        for (long i = 0; i < rs->Fields().Count(); ++i) rows.back().push_back(rs->Fields().Item(i)->Value());
    }
    return rows;
}

// Same type and the same value to the last bit.
::testing::AssertionResult sameValue(const Variant& a, const Variant& b) {
    if (a.type() != b.type())
        return ::testing::AssertionFailure() << "types " << int(a.type()) << " and " << int(b.type()) << " of " << a.text() << " / " << b.text();
    bool same = true;
    switch (a.type()) {
    case VarType::Null:
    case VarType::Empty: break;
    case VarType::String: same = a.text() == b.text(); break;
    case VarType::ByteArray: same = a.bytes() == b.bytes(); break;
    case VarType::Currency: same = a.currencyScaledValue() == b.currencyScaledValue(); break;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date: {
        const double x = a.isDate() ? a.toDateSerial() : a.toDouble(), y = b.isDate() ? b.toDateSerial() : b.toDouble();
        same = std::memcmp(&x, &y, sizeof x) == 0;
        break;
    }
    default: same = a.toLongLong() == b.toLongLong(); break;
    }
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a.text() << " != " << b.text();
}

TEST_F(OdbcAdo, BlocksGiveTheValuesCellByCellReadsGive) {
    auto c = open();
    const std::string literals =
        "SELECT (-2147483648)::integer AS i4, (-32768)::smallint AS i2, 9223372036854775807::bigint AS i8, "
        "(-9223372036854775807)::bigint AS i8neg, (-12345.67)::numeric(10,2) AS num, 12345678901234.5678::numeric AS numbig, "
        "'-1234.50'::money AS cash, (-1.5e-300)::double precision AS f8, 'NaN'::float8 AS f8nan, '-Infinity'::float8 AS f8inf, "
        "0.1::real AS f4, true AS yes, false AS no, date '2024-02-29' AS d, date '0044-03-15 BC' AS dbc, "
        "timestamp '2024-03-10 08:00:00.123456' AS ts, timestamp '1800-01-01 23:59:59.5' AS tsold, "
        "'infinity'::timestamp AS tsinf, time '23:59:58.75' AS t, time '10:15:00+02'::timetz AS tz, "
        "'Zoë Müller — ☃'::varchar(20) AS utf8, repeat('é', 400)::text AS longtext, repeat('ü', 600)::varchar(600) AS wide, "
        "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'::uuid AS u, '\\x00ff10'::bytea AS b, decode(repeat('ab', 300), 'hex') AS blong, "
        "'{1,2}'::int[] AS arr, NULL::integer AS ni, NULL::numeric AS nn, NULL::timestamp AS nts, NULL::text AS nt, "
        "NULL::boolean AS nb, NULL::bytea AS nby, NULL::date AS nd, NULL::double precision AS nf, NULL::time AS ntime";
    std::vector<std::string> queries = {literals};
    for (const char* table : {"categories", "products", "customers", "orders", "order_lines", "price_history", "archive.orders_2019"})
        queries.push_back(std::string("SELECT * FROM ") + table + " ORDER BY 1");
    for (const auto& sql : queries) {
        const auto blocks = readAll(*c, sql, false), cells = readAll(*c, sql, true);
        ASSERT_EQ(blocks.size(), cells.size()) << sql;
        ASSERT_FALSE(blocks.empty()) << sql;
        for (size_t r = 0; r < blocks.size(); ++r)
            for (size_t i = 0; i < blocks[r].size(); ++i) EXPECT_TRUE(sameValue(blocks[r][i], cells[r][i])) << sql << ", row " << r << ", column " << i;
    }

    // And what they are, so that both ways cannot be wrong alike.
    auto rs = c->Execute(literals);
    const auto& f = rs->Fields();
    EXPECT_EQ(f.Item("i4")->Value().toLongLong(), -2147483648LL);
    EXPECT_EQ(f.Item("i8")->Value().type(), VarType::LongLong);
    EXPECT_EQ(f.Item("i8")->Value().toLongLong(), 9223372036854775807LL);
    EXPECT_EQ(f.Item("i8neg")->Value().toLongLong(), -9223372036854775807LL);
    EXPECT_DOUBLE_EQ(f.Item("num")->Value().toDouble(), -12345.67);
    EXPECT_DOUBLE_EQ(f.Item("f8")->Value().toDouble(), -1.5e-300);
    EXPECT_TRUE(std::isnan(f.Item("f8nan")->Value().toDouble()));
    EXPECT_EQ(f.Item("f8inf")->Value().toDouble(), -INFINITY);
    EXPECT_EQ(f.Item("f4")->Value().type(), VarType::Single);
    EXPECT_FLOAT_EQ(static_cast<float>(f.Item("f4")->Value().toDouble()), 0.1f);
    EXPECT_TRUE(f.Item("yes")->Value().isBoolean() && f.Item("yes")->Value().toBool());
    EXPECT_TRUE(f.Item("no")->Value().isBoolean() && !f.Item("no")->Value().toBool());
    EXPECT_DOUBLE_EQ(f.Item("d")->Value().toDateSerial(), dateSerial(2024, 2, 29));
    EXPECT_EQ(std::llround((f.Item("ts")->Value().toDateSerial() - dateSerial(2024, 3, 10)) * 86400e6), 8 * 3600000000LL + 123456);
    EXPECT_EQ(std::llround((f.Item("t")->Value().toDateSerial()) * 86400), 86398);
    EXPECT_EQ(f.Item("utf8")->Value().text(), "Zoë Müller — ☃");
    EXPECT_EQ(utf8Length(f.Item("longtext")->Value().text()), 400u);
    EXPECT_EQ(f.Item("wide")->Value().text(), [] { std::string s; for (int i = 0; i < 600; ++i) s += "ü"; return s; }());
    EXPECT_TRUE(equalsNoCase(f.Item("u")->Value().text(), "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11"));
    EXPECT_EQ(f.Item("b")->Value().bytes(), (std::vector<std::uint8_t>{0x00, 0xff, 0x10}));
    EXPECT_EQ(f.Item("blong")->Value().bytes(), std::vector<std::uint8_t>(300, 0xab));
    for (const char* name : {"ni", "nn", "nts", "nt", "nb", "nby", "nd", "nf", "ntime"}) EXPECT_TRUE(f.Item(name)->Value().isNull()) << name;
}

// A result of many blocks, fetched beside the conversion, with cells that
// must be read on their own scattered over the blocks.
TEST_F(OdbcAdo, ManyBlocksGiveTheValuesCellByCellReadsGive) {
    auto c = open();
    const std::string sql =
        "SELECT i, CASE WHEN i % 997 = 0 THEN repeat('é', 2000 + i) WHEN i % 7 = 0 THEN NULL ELSE 'Row ' || i END::varchar AS t, "
        "CASE WHEN i % 1499 = 0 THEN 'infinity'::timestamp WHEN i % 11 = 0 THEN NULL "
        "ELSE timestamp '2024-01-01' + i * interval '1 minute 0.25 second' END AS ts, "
        "CASE WHEN i % 1301 = 0 THEN 10::numeric ^ 100 + i ELSE i / 8.0 END AS n, "
        "CASE WHEN i % 2003 = 0 THEN decode(repeat('cd', 400 + i % 50), 'hex') ELSE decode('0a0b', 'hex') END AS b, "
        "i % 3 = 0 AS yes FROM generate_series(1, 6000) i ORDER BY i";
    const auto blocks = readAll(*c, sql, false), cells = readAll(*c, sql, true);
    ASSERT_EQ(blocks.size(), 6000u);
    ASSERT_EQ(cells.size(), 6000u);
    for (size_t r = 0; r < blocks.size(); ++r) {
        ASSERT_EQ(blocks[r][0].toLongLong(), static_cast<long long>(r + 1)) << "rows out of order";
        for (size_t i = 0; i < blocks[r].size(); ++i) EXPECT_TRUE(sameValue(blocks[r][i], cells[r][i])) << "row " << r << ", column " << i;
    }
    // Row 3988 (the fourth multiple of 997) holds a text longer than its column's buffer.
    EXPECT_EQ(utf8Length(blocks[3987][1].text()), 2000u + 3988u);
    EXPECT_TRUE(blocks[6][1].isNull());
    EXPECT_EQ(blocks[4005][4].bytes(), std::vector<std::uint8_t>(400 + 4006 % 50, 0xcd));
    // A number of more digits than a buffer holds keeps its size.
    EXPECT_NEAR(blocks[2601][3].toDouble() / 1e100, 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(blocks[4999][3].toDouble(), 5000 / 8.0);
    EXPECT_EQ(std::llround((blocks[5999][2].toDateSerial() - dateSerial(2024, 1, 1)) * 86400e3), 6000LL * 60250);
}

TEST_F(OdbcAdo, ACancelledReadStopsAtOnceAndTheConnectionGoesOn) {
    auto c = open();
    const std::string sql = "SELECT i, 'Row ' || i AS t, i * 0.5 AS n FROM generate_series(1, 50000) i";
    test::CancelLoadAt cancel(4096);
    host::setLoadProgress(&cancel);
    // In a transaction the rows are read before the statement returns; outside
    // one they are read as they are used, and the cancel comes from there.
    for (bool inTransaction : {true, false}) {
        cancel.asked = 0;
        if (inTransaction) c->BeginTrans();
        std::shared_ptr<ado::Recordset> rs;
        try {
            host::LoadScope loading;
            rs = c->Execute(sql);
            rs->Snapshot();
            ADD_FAILURE() << "the read was not cancelled";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), host::LoadCancelled) << inTransaction;
        }
        EXPECT_EQ(cancel.asked, 4096) << inTransaction;
        EXPECT_EQ(rs == nullptr, inTransaction);
        if (rs) {
            // The record set tells every later use that its rows were not all read.
            for (int use = 0; use < 3; ++use) {
                try {
                    if (use == 0) rs->RecordCount();
                    else if (use == 1) rs->MoveLast();
                    else rs->Fields().Item(0L)->Value();
                    ADD_FAILURE() << "use " << use << " of a cancelled read raised nothing";
                } catch (const Error& e) {
                    EXPECT_EQ(e.number(), host::LoadCancelled) << use;
                }
            }
            rs->Close();
        }
        if (inTransaction) c->RollbackTrans();
    }
    host::setLoadProgress(nullptr);
    // The same connection reads and writes on as before.
    auto rs = c->Execute(sql);
    EXPECT_EQ(rs->RecordCount(), 50000);
    long n = 0;
    c->BeginTrans();
    c->Execute("UPDATE customers SET notes = 'after a large read' WHERE customer_id = 2", n);
    c->CommitTrans();
    EXPECT_EQ(n, 1);
    EXPECT_EQ(psql("SELECT notes FROM customers WHERE customer_id = 2"), "after a large read");
    EXPECT_EQ(rs->Snapshot()->rowCount(), 50000u);
    // Outside a load nobody is asked.
    cancel.asked = 0;
    host::setLoadProgress(&cancel);
    EXPECT_EQ(c->Execute(sql)->Snapshot()->rowCount(), 50000u);
    host::setLoadProgress(nullptr);
    EXPECT_EQ(cancel.asked, 0);
}

// Lends the rest of the rows as they arrive and checks them: i, 'Row ' || i, i * 0.25.
long lendAll(ado::Recordset& rs, long total, long from = 0) {
    std::shared_ptr<const ValueTable> held;
    long first = -1, lent = from, got = 0;
    while ((got = rs.FetchHeld(1000000, held, first)) > 0) {
        EXPECT_EQ(first, lent);
        for (long r = first; r < first + got; ++r) {
            const auto k = static_cast<size_t>(r);
            if (held->at(0, k).toLongLong() != r + 1 || held->at(1, k).text() != "Row " + std::to_string(r + 1) ||
                held->at(2, k).toDouble() != (r + 1) * 0.25) {
                ADD_FAILURE() << "row " << r << " is " << held->at(0, k).text() << ", " << held->at(1, k).text();
                return -1;
            }
        }
        lent += got;
    }
    EXPECT_EQ(lent, total);
    return lent;
}

// A large result is lent while its rows still arrive; whatever else needs
// the connection or every row waits for the rest, and nothing is lost.
TEST_F(OdbcAdo, ALargeResultIsLentAsItArrivesAndAnythingElseWaitsForTheRest) {
    auto c = open();
    const std::string sql = "SELECT i, 'Row ' || i AS t, i * 0.25 AS q FROM generate_series(1, 30000) i ORDER BY i";
    auto rs = c->Execute(sql);
    EXPECT_EQ(rs->RecordCount(), 30000);  // known before the rows are
    std::shared_ptr<const ValueTable> held;
    long first = -1;
    const long part = rs->FetchHeld(1000000, held, first);
    EXPECT_EQ(first, 0);
    EXPECT_GT(part, 0);
    EXPECT_LT(part, 30000);
    EXPECT_EQ(held->at(1, static_cast<size_t>(part - 1)).text(), "Row " + std::to_string(part));
    // A statement on the connection meanwhile: the rest is read in first.
    long n = 0;
    c->Execute("UPDATE customers SET notes = 'meanwhile' WHERE customer_id = 3", n);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(psql("SELECT notes FROM customers WHERE customer_id = 3"), "meanwhile");
    EXPECT_EQ(lendAll(*rs, 30000, part), 30000);
    EXPECT_TRUE(rs->Eof());
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields().Item("t")->Value().text(), "Row 1");

    // A second large result while the first still arrives.
    auto a = c->Execute(sql);
    auto b = c->Execute(sql);
    EXPECT_EQ(lendAll(*b, 30000), 30000);
    EXPECT_EQ(lendAll(*a, 30000), 30000);

    // The fields of a result just returned, and its snapshot after a part was lent.
    auto d = c->Execute(sql);
    EXPECT_EQ(d->Fields().Item("t")->Value().text(), "Row 1");
    auto e = c->Execute(sql);
    e->FetchHeld(10, held, first);
    const auto table = e->Snapshot();
    ASSERT_EQ(table->rowCount(), 30000u);
    EXPECT_EQ(table->at(1, 29999).text(), "Row 30000");
    EXPECT_EQ(d->Snapshot()->rowCount(), 30000u);

    // A transaction begun meanwhile waits for the rows as well: only then is it begun.
    auto f = c->Execute(sql);
    c->BeginTrans();
    c->Execute("UPDATE customers SET notes = 'in the transaction' WHERE customer_id = 3", n);
    c->RollbackTrans();
    EXPECT_EQ(psql("SELECT notes FROM customers WHERE customer_id = 3"), "meanwhile");
    EXPECT_EQ(lendAll(*f, 30000), 30000);
}

// The connection closed or let go of while a result still arrives: the rows
// are all read first. A record set closed or let go of meanwhile stops the
// reading and the connection goes on.
TEST_F(OdbcAdo, ALargeResultOutlivesItsConnectionAndStopsWhenLetGo) {
    const std::string sql = "SELECT i, 'Row ' || i AS t, i * 0.25 AS q FROM generate_series(1, 30000) i ORDER BY i";
    std::shared_ptr<const ValueTable> held;
    long first = -1;
    for (int way = 0; way < 2; ++way) {
        auto c = open();
        auto rs = c->Execute(sql);
        const long part = rs->FetchHeld(1000000, held, first);
        rs->ActiveConnection(nullptr);
        if (way == 0) c->Close();
        else c.reset();
        EXPECT_EQ(lendAll(*rs, 30000, part), 30000) << way;
    }
    auto c = open();
    for (int way = 0; way < 2; ++way) {
        auto rs = c->Execute(sql);
        rs->FetchHeld(10, held, first);
        if (way == 0) rs->Close();
        else rs.reset();
        long n = 0;
        c->Execute("UPDATE customers SET notes = 'after a let-go read " + std::to_string(way) + "' WHERE customer_id = 3", n);
        EXPECT_EQ(n, 1);
        EXPECT_EQ(psql("SELECT notes FROM customers WHERE customer_id = 3"), "after a let-go read " + std::to_string(way));
    }
    EXPECT_EQ(held->at(1, 9).text(), "Row 10");  // what was lent stays
    // Results the driver cannot count first, and small ones, are read before they are returned.
    auto small = c->Execute("SELECT i, 'Row ' || i AS t, i * 0.25 AS q FROM generate_series(1, 500) i ORDER BY i");
    EXPECT_EQ(small->FetchHeld(1000000, held, first), 500);
    // So are those of the driver's cursor mode, which cannot count them first.
    auto cursor = odbc::adoProvider()->NewConnection();
    cursor->Open(connection() + ";UseDeclareFetch=1;Fetch=10000");
    auto rs = cursor->Execute(sql);
    EXPECT_EQ(rs->RecordCount(), 30000);
    EXPECT_EQ(lendAll(*rs, 30000), 30000);
}

// The driver's copy of a large result is freed beside the caller: closing,
// a transaction or a statement straight after it waits for that.
TEST_F(OdbcAdo, WorkStraightAfterALargeReadWaitsForItsRelease) {
    for (int round = 0; round < 3; ++round) {
        auto c = open();
        const std::string sql = "SELECT i, repeat('x', 40) AS t FROM generate_series(1, 30000) i";
        EXPECT_EQ(c->Execute(sql)->RecordCount(), 30000);
        long n = 0;
        if (round == 0) {
            c->BeginTrans();
            c->Execute("UPDATE customers SET notes = 'round 0' WHERE customer_id = 1", n);
            c->RollbackTrans();
            EXPECT_EQ(c->Execute(sql)->RecordCount(), 30000);
        } else if (round == 1) {
            c->Execute("UPDATE customers SET notes = 'round 1' WHERE customer_id = 1", n);
            EXPECT_EQ(n, 1);
        }
        c->Close();
    }
    EXPECT_EQ(psql("SELECT notes FROM customers WHERE customer_id = 1"), "round 1");
    // A connection let go of with a release still under way.
    { auto c = open(); c->Execute("SELECT i FROM generate_series(1, 30000) i"); }
}

TEST_F(OdbcAdo, YesIsReadAsYesWhenTheDriverGivesItAsMinusOne) {
    auto c = odbc::adoProvider()->NewConnection();
    c->Open(connection() + ";TrueIsMinus1=1");
    for (bool cellByCell : {false, true}) {
        const auto rows = readAll(*c, "SELECT true AS yes, false AS no, NULL::boolean AS unknown", cellByCell);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_TRUE(rows[0][0].isBoolean() && rows[0][0].toBool()) << cellByCell;
        EXPECT_TRUE(rows[0][1].isBoolean() && !rows[0][1].toBool()) << cellByCell;
        EXPECT_TRUE(rows[0][2].isNull()) << cellByCell;
    }
}

TEST_F(OdbcAdo, RecordSetLendsItsRowsAsReadAndTheyOutliveTheConnection) {
    auto c = open();
    auto rs = c->Execute("SELECT i, 'Row ' || i AS name, CASE WHEN i % 3 = 0 THEN NULL ELSE i * 0.5 END AS half "
                         "FROM generate_series(1, 5000) i ORDER BY i");
    ASSERT_EQ(rs->RecordCount(), 5000);
    c->Close();
    rs->MoveFirst();
    rs->MoveNext();
    std::shared_ptr<const ValueTable> held;
    long first = -1;
    EXPECT_EQ(rs->FetchHeld(10, held, first), 10);
    ASSERT_TRUE(held);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(rs->AbsolutePosition(), 12);
    EXPECT_EQ(held->at(1, 1).text(), "Row 2");
    const auto table = rs->Snapshot();
    ASSERT_EQ(table->rowCount(), 5000u);
    EXPECT_EQ(table->at(0, 4999).toLongLong(), 5000);
    EXPECT_TRUE(table->at(2, 2).isNull());
    EXPECT_DOUBLE_EQ(table->at(2, 3).toDouble(), 2.0);
    EXPECT_TRUE(rs->Eof());
    // What was lent and what the fields give are the same rows.
    rs->MoveLast();
    EXPECT_EQ(rs->Fields().Item("name")->Value().text(), "Row 5000");
    rs->Close();
    EXPECT_EQ(table->at(1, 4999).text(), "Row 5000");
}

TEST_F(OdbcAdo, CountsAffectedRowsAndGivesClosedRecordSetWithoutRows) {
    auto c = open();
    long n = -5;
    auto rs = c->Execute("UPDATE products SET units_in_stock = units_in_stock + 1 WHERE category_id = 1", n);
    EXPECT_EQ(rs->State(), ado::state::Closed);
    EXPECT_EQ(n, 2);
    c->Execute("DELETE FROM price_history WHERE product_id = 999", n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(psql("SELECT units_in_stock FROM products WHERE category_id = 1 ORDER BY product_id"), "40\n18");
}

TEST_F(OdbcAdo, DetachedRecordSetKeepsItsRowsAfterTheConnectionCloses) {
    auto c = open();
    auto rs = c->Execute("SELECT company_name FROM customers ORDER BY customer_id");
    rs->ActiveConnection(nullptr);
    c->Close();
    EXPECT_EQ(c->State(), ado::state::Closed);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields().Item(0L)->Value().text(), "Bakkerij de Molen");
    EXPECT_EQ(rs->AbsolutePosition(), 2);
}

TEST_F(OdbcAdo, DiagnosticsComeBackAsProviderErrorsWithTheServersState) {
    auto c = open();
    try {
        c->Execute("SELECT * FROM no_such_table");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ado::ProviderError);
        EXPECT_NE(e.description().find("no_such_table"), std::string::npos) << e.description();
    }
    EXPECT_EQ(c->SqlState(), "42P01");
    auto bad = odbc::adoProvider()->NewConnection();
    try {
        bad->Open(server().connection("no_such_database"));
        FAIL() << "opened";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ado::ProviderError);
        EXPECT_NE(e.description().find("no_such_database"), std::string::npos) << e.description();
    }
    EXPECT_EQ(bad->State(), ado::state::Closed);
}

TEST_F(OdbcAdo, TransactionsCommitAndRollBack) {
    auto c = open();
    long n = 0;
    c->BeginTrans();
    c->Execute("UPDATE customers SET country = 'Belgium' WHERE customer_id = 2", n);
    // A second session does not see what is not committed.
    EXPECT_EQ(psql("SELECT country FROM customers WHERE customer_id = 2"), "Netherlands");
    c->RollbackTrans();
    EXPECT_EQ(psql("SELECT country FROM customers WHERE customer_id = 2"), "Netherlands");
    c->BeginTrans();
    c->Execute("UPDATE customers SET country = 'Belgium' WHERE customer_id = 2", n);
    c->CommitTrans();
    EXPECT_EQ(psql("SELECT country FROM customers WHERE customer_id = 2"), "Belgium");
    // Back in autocommit: a statement is stored at once.
    c->Execute("UPDATE customers SET country = 'France' WHERE customer_id = 2", n);
    EXPECT_EQ(psql("SELECT country FROM customers WHERE customer_id = 2"), "France");
}

TEST_F(OdbcAdo, AFailedStatementMakesTheCommitFailInsteadOfSilentlyRollingBack) {
    auto c = open();
    long n = 0;
    c->BeginTrans();
    c->Execute("UPDATE customers SET country = 'Belgium' WHERE customer_id = 2", n);
    EXPECT_THROW(c->Execute("INSERT INTO customers (company_name) VALUES (NULL)", n), Error);
    try {
        c->CommitTrans();
        FAIL() << "the commit of a lost transaction was reported as success";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ado::ProviderError);
        EXPECT_NE(e.description().find("rolled back"), std::string::npos) << e.description();
    }
    EXPECT_EQ(psql("SELECT country FROM customers WHERE customer_id = 2"), "Netherlands");
    // The connection is usable again afterwards.
    c->Execute("UPDATE customers SET country = 'Spain' WHERE customer_id = 2", n);
    EXPECT_EQ(psql("SELECT country FROM customers WHERE customer_id = 2"), "Spain");
}

TEST_F(OdbcAdo, ClosingWithAnOpenTransactionUndoesIt) {
    auto c = open();
    long n = 0;
    c->BeginTrans();
    c->Execute("DELETE FROM price_history", n);
    c->Close();
    EXPECT_EQ(psql("SELECT count(*) FROM price_history"), "1");
}

TEST_F(OdbcAdo, TextCommandBindsParametersInOrder) {
    auto c = open();
    auto cmd = odbc::adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::Text);
    cmd->CommandText("UPDATE customers SET contact_name = ?, credit_limit = ? WHERE customer_id = ?");
    cmd->Parameters().Append(cmd->CreateParameter("name", ado::type::VarWChar, ado::direction::Input, 30, Variant("Ann O'Neil")));
    cmd->Parameters().Append(cmd->CreateParameter("limit", ado::type::Numeric, ado::direction::Input, 0, Variant(1234.5)));
    cmd->Parameters().Append(cmd->CreateParameter("id", ado::type::Integer, ado::direction::Input, 0, Variant("3")));
    long n = 0;
    cmd->Execute(n);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(psql("SELECT contact_name || '|' || credit_limit FROM customers WHERE customer_id = 3"), "Ann O'Neil|1234.50");
    // A value that does not suit its parameter is refused before anything runs.
    cmd->Parameters().Item("id")->Value(Variant("three"));
    EXPECT_THROW(cmd->Execute(n), Error);
}

TEST_F(OdbcAdo, ProcedureGivesItsOutputParameter) {
    auto c = open();
    auto cmd = odbc::adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::StoredProc);
    cmd->CommandText("`order_total`");
    cmd->Parameters().Append(cmd->CreateParameter("p_order_year", ado::type::SmallInt, ado::direction::Input, 4, Variant("2024")));
    cmd->Parameters().Append(cmd->CreateParameter("p_order_no", ado::type::Integer, ado::direction::Input, 1, Variant("1")));
    cmd->Parameters().Append(cmd->CreateParameter("p_total", ado::type::Numeric, ado::direction::Output, 0, Variant()));
    long n = 0;
    auto rs = cmd->Execute(n);
    EXPECT_EQ(rs->State(), ado::state::Closed);
    EXPECT_DOUBLE_EQ(cmd->Parameters().Item("p_total")->Value().toDouble(), 200.0);
}

TEST_F(OdbcAdo, FunctionReturnsRowsAndASkippedParameterTakesItsDefault) {
    auto c = open();
    auto cmd = odbc::adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::StoredProc);
    cmd->CommandText("`orders_since`");
    cmd->Parameters().Append(
        cmd->CreateParameter("p_since", ado::type::DBTimeStamp, ado::direction::Input, 0, Variant::date(dateSerial(2024, 4, 2))));
    long n = 0;
    auto rs = cmd->Execute(n);
    ASSERT_EQ(rs->State(), ado::state::Open);
    EXPECT_EQ(rs->RecordCount(), 2);
    cmd->Parameters().Append(cmd->CreateParameter("p_country", ado::type::VarWChar, ado::direction::Input, 11, Variant("Netherlands")));
    rs = cmd->Execute(n);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields().Item("company_name")->Value().text(), "Bakkerij de Molen");
}

TEST_F(OdbcAdo, InputOutputParameterComesBackAndTheChangeIsStored) {
    auto c = open();
    auto cmd = odbc::adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::StoredProc);
    cmd->CommandText("public.raise_prices");
    cmd->Parameters().Append(cmd->CreateParameter("p_category", ado::type::Integer, ado::direction::Input, 1, Variant("3")));
    cmd->Parameters().Append(cmd->CreateParameter("p_percent", ado::type::Numeric, ado::direction::InputOutput, 2, Variant("10")));
    long n = 0;
    cmd->Execute(n);
    EXPECT_DOUBLE_EQ(cmd->Parameters().Item("p_percent")->Value().toDouble(), 10.0);
    EXPECT_EQ(psql("SELECT unit_price FROM products WHERE product_id = 4"), "23.65");
    cmd->CommandText("`no_such_procedure`");
    EXPECT_THROW(cmd->Execute(n), Error);
}

}  // namespace
}  // namespace dalvera
