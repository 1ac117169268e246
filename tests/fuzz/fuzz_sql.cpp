// One statement of the database dialect, run by the engine on a fresh copy of
// a small database that has every column type, keys, a relation, a stored
// query and rows. The engine's errors are expected; anything else is a fault.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/jet/Jet.h"
#include "platform/jet/Session.h"
#include "runtime/Error.h"

using namespace dalvera;
namespace fs = std::filesystem;

namespace {

std::string gDir, gWork, gTemplate;

void buildTemplate() {
    // Every write of the engine is synced; in memory that costs nothing.
    fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    gDir = (base / ("dalvera-fuzz-sql-" + std::to_string(::getpid()))).string();
    fs::remove_all(gDir);
    fs::create_directories(gDir);
    std::string path = gDir + "/template.sqlite";
    {
        auto db = jet::CreateDatabase(path);
        db->Execute("CREATE TABLE Customers (CustomerID COUNTER CONSTRAINT PK_Customers PRIMARY KEY, "
                    "Company TEXT(40) NOT NULL, Email TEXT(80), Active YESNO DEFAULT True, "
                    "Balance CURRENCY DEFAULT 0, Since DATETIME, Notes MEMO, Rating BYTE, Visits SHORT, "
                    "Score SINGLE, Ratio DOUBLE, Photo LONGBINARY, Tag BINARY(8), Code GUID, Amount DECIMAL(12,2), "
                    "CONSTRAINT UQ_Email UNIQUE (Email))");
        db->Execute("CREATE TABLE Orders (CustomerID LONG NOT NULL, OrderNo LONG NOT NULL, OrderDate DATETIME, "
                    "CONSTRAINT PK_Orders PRIMARY KEY (CustomerID, OrderNo), "
                    "CONSTRAINT CustomersOrders FOREIGN KEY (CustomerID) REFERENCES Customers (CustomerID))");
        db->Execute("CREATE TABLE [Order Lines] (LineID COUNTER PRIMARY KEY, CustomerID LONG, OrderNo LONG, "
                    "Quantity SHORT, CONSTRAINT LinesOfOrder FOREIGN KEY (CustomerID, OrderNo) "
                    "REFERENCES Orders (CustomerID, OrderNo))");
        db->Execute("CREATE TABLE t (k LONG PRIMARY KEY, n SMALLINT, s SINGLE, w DATETIME, x TEXT(10), "
                    "y YESNO, c CURRENCY, d DOUBLE, b BYTE, m MEMO)");
        db->Execute("CREATE INDEX ByCompany ON Customers (Company)");
        db->Execute("INSERT INTO Customers (Company, Email, Active, Balance, Since, Notes, Rating, Visits, Score, "
                    "Ratio, Code, Amount) VALUES ('Acme', 'a@x', True, 12.5, #3/14/2024 10:30:00#, 'long', 7, "
                    "300, 1.5, 2.25, '{6f9619ff-8b86-d011-b42d-00c04fc964ff}', 99.95)");
        db->Execute("INSERT INTO Customers (Company, Email, Active, Since) VALUES ('Bolt''s', 'b@x', False, "
                    "#1899-12-29 06:00:00#)");
        db->Execute("INSERT INTO Customers (Company) VALUES ('Zed')");
        db->Execute("INSERT INTO Orders VALUES (1, 1, #1/5/2024#)");
        db->Execute("INSERT INTO Orders VALUES (1, 2, #6/1/2024 23:59:59#)");
        db->Execute("INSERT INTO Orders VALUES (2, 1, Null)");
        db->Execute("INSERT INTO [Order Lines] (CustomerID, OrderNo, Quantity) VALUES (1, 1, 5)");
        db->Execute("INSERT INTO [Order Lines] (CustomerID, OrderNo, Quantity) VALUES (1, 2, -32768)");
        db->Execute("INSERT INTO t VALUES (1, 2, 0.1, #2024-02-29 12:00:00#, 'ten chars!', True, 922337203685477.5, "
                    "1E+300, 255, 'memo')");
        db->Execute("INSERT INTO t VALUES (2, -1, -3.4E+38, #1/1/100#, '', False, -0.0001, 5E-324, 0, Null)");
        db->Execute("INSERT INTO t (k) VALUES (3)");
        db->CreateQueryDef("Orders since", "PARAMETERS [Start] DateTime, [Who] Text(40); "
                                           "SELECT o.OrderNo FROM Orders AS o INNER JOIN Customers AS c ON "
                                           "o.CustomerID = c.CustomerID WHERE o.OrderDate >= [Start] AND c.Company = [Who]");
        db->CreateQueryDef("Purge", "DELETE FROM t WHERE k > 2");
        db->SetProperty("Customers", "Company", "Caption", Variant("Company name"));
        db->SetProperty("Customers", "", "Description", Variant("Who buys"));
        db->Close();
    }
    std::ifstream in(path, std::ios::binary);
    gTemplate.assign(std::istreambuf_iterator<char>(in), {});
    gWork = gDir + "/work.sqlite";
    std::atexit([] { fs::remove_all(gDir); });
}

// Parameter values of several kinds, chosen by the name; some stay missing.
Variant parameter(const std::string& name, int) {
    size_t h = std::hash<std::string>()(name);
    switch (h % 8) {
    case 0: return Variant(42);
    case 1: return Variant("Acme");
    case 2: return Variant::date(45000.5);
    case 3: return Variant::null();
    case 4: return Variant(-1.5e300);
    case 5: return Variant("2024-02-01");
    case 6: return Variant(true);
    default: return Variant::missing();
    }
}

// A runaway statement (a recursive query without end) is the statement's
// doing, not the engine's: it is stopped as SQLite would be interrupted.
int progress(void* counter) { return ++*static_cast<long*>(counter) > 20000; }

void visit(const Variant& v) {
    try {
        (void)v.text();
        if (v.isNumber() || v.isDate() || v.isBoolean()) (void)v.toDouble();
    } catch (const Error&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (gTemplate.empty()) buildTemplate();
    if (size > 4096) return -1;
    std::string sql(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(gWork, std::ios::binary | std::ios::trunc);
        out << gTemplate;
    }
    fs::remove(gWork + "-journal");
    std::shared_ptr<jet::Session> session;
    try {
        session = jet::Session::open(gWork, false, {}, {});
    } catch (const Error&) {
        std::abort();  // the template must always open
    }
    long steps = 0;
    sqlite3_progress_handler(session->db(), 1000, progress, &steps);
    sqlite3_limit(session->db(), SQLITE_LIMIT_LENGTH, 1 << 20);
    bool ran = false;
    try {
        auto r = session->execute(sql, parameter);
        if (r.rows.data)
            for (size_t c = 0; c < r.rows.data->columnCount(); ++c)
                for (size_t i = 0; i < r.rows.data->column(c).size(); ++i) visit(r.rows.data->at(c, i));
        ran = !r.hasRows;
    } catch (const Error&) {
    }
    if (ran) {
        // What a statement changed is read back as metadata.
        steps = 0;
        try {
            jet::Database db(session);
            for (const auto& t : db.TableDefs()) {
                for (const auto& f : t->Fields()) {
                    visit(f->DefaultValue());
                    for (const auto& p : f->Properties()) visit(p->Value());
                }
                for (const auto& i : t->Indexes()) (void)i->Fields().Count();
            }
            for (const auto& q : db.QueryDefs()) (void)q->Parameters().Count();
            for (const auto& rel : db.Relations()) (void)rel->Fields().Count();
        } catch (const Error&) {
        }
    }
    return 0;
}
