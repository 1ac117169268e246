// The server variant against a private PostgreSQL: a click on the button of a
// 100,000 x 10 table until the sheet is shown, the same rows read by the ODBC
// layer alone (in bound blocks, and cell by cell for comparison), and
// `psql \copy ... to stdout csv` of them as the yardstick; then F7 of 10,000
// edited rows. Prints the best of each and the ratio. Driver options to try go
// in DALVERA_BENCH_DRIVER_OPTIONS.
#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BenchSession.h"
#include "addin/Session.h"
#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "entry/Globals.h"
#include "platform/odbc/Odbc.h"
#include "sheet/clsField.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"

namespace {

using namespace dalvera;

constexpr long kRows = 100000;
constexpr long kColumns = 10;
constexpr long kEdited = 10000;
std::string gDir, gSocket, gConnection;
const int kPort = 55432;
double gBestClick = 1e9, gBestFetch = 1e9, gBestDriverFetch = 1e9, gBestCopy = 1e9, gBestWrite = 1e9, gBestBare = 1e9;
long gWrittenChecked = -1;

std::string run(const std::string& cmd) {
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    ::pclose(p);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string psqlCommand(const std::string& extra) {
    return "PGOPTIONS='-c client_min_messages=warning' psql -X -q -A -t -h '" + gSocket + "' -p " + std::to_string(kPort) +
           " -U dalvera -d dalvera_bench " + extra;
}

bool startServer() {
    const std::string state = std::string(DALVERA_BENCH_STATE);
    if (std::system(("'" + std::string(DALVERA_SOURCE_DIR) + "/scripts/test-server' start '" + state + "' >/dev/null").c_str()) != 0)
        return false;
    std::ifstream location(state + "/location");
    std::string home;
    std::getline(location, home);
    gSocket = home + "/socket";
    gConnection = "Driver={PostgreSQL Unicode};Servername=" + gSocket + ";Port=" + std::to_string(kPort) +
                  ";Database=dalvera_bench;Uid=dalvera";
    // Driver options to try, e.g. "UseDeclareFetch=1;Fetch=10000".
    if (const char* extra = std::getenv("DALVERA_BENCH_DRIVER_OPTIONS"); extra && *extra) gConnection += ";" + std::string(extra);
    const std::string base = "PGOPTIONS='-c client_min_messages=warning' psql -X -q -h '" + gSocket + "' -p " +
                             std::to_string(kPort) + " -U dalvera ";
    std::system((base + "-d postgres -c 'DROP DATABASE IF EXISTS dalvera_bench' -c 'CREATE DATABASE dalvera_bench'").c_str());
    const std::string sql =
        "CREATE TABLE regions (region_id integer PRIMARY KEY, region varchar(20));"
        "INSERT INTO regions SELECT i, 'Region ' || i FROM generate_series(1, 20) i;"
        "CREATE TABLE sales (id integer PRIMARY KEY, name varchar(50), amount numeric(10,2), "
        "region_id integer REFERENCES regions, price double precision, created timestamp, active boolean, "
        "code uuid, notes varchar(100), ratio real);"
        "INSERT INTO sales SELECT i, 'Customer ' || i, (i % 1000) + 0.25, i % 20 + 1, i * 1.123456789, "
        "timestamp '2024-01-01' + i * interval '17 minutes', i % 2 = 0, md5(i::text)::uuid, 'Note for row ' || i, "
        "(i % 100) / 100.0 FROM generate_series(1, 100000) i;"
        "CREATE TABLE items (id integer PRIMARY KEY, name varchar(50), qty integer, price numeric(10,2), "
        "changed timestamp);"
        "INSERT INTO items SELECT i, 'Item ' || i, i % 50, i * 0.5, timestamp '2024-01-01' + i * interval '1 hour' "
        "FROM generate_series(1, 10000) i; VACUUM ANALYZE;";
    std::ofstream(gDir + "/build.sql") << sql;
    return std::system((base + "-d dalvera_bench -v ON_ERROR_STOP=1 -f '" + gDir + "/build.sql' >/dev/null").c_str()) == 0;
}

// Answers the connection prompt with the bench database and agrees to everything else.
class ServerUI : public bench::AgreeingUI {
public:
    ServerUI() : AgreeingUI(none_) {}
    Variant ApplicationInputBox(const std::string&, const std::string&, const Variant&, int) override {
        return Variant(gConnection);
    }

private:
    std::string none_;
};

ServerUI gUI;
std::unique_ptr<Session> gSession;

void startSession() {
    setenv("TMPDIR", (gDir + "/temp").c_str(), 1);
    SessionOptions o;
    o.variant = 22;
    o.registryFile = gDir + "/registry.reg";
    o.countryCode = 1;
    gSession = std::make_unique<Session>(gUI, o);
    gSession->openAddin();
    goApplication->Aux().WriteSetting(4, setting::WarningNrOfCells, Variant::longValue(100000000));
    gSession->user().clickControl(goApplication->Toolbar().FindControlByTag(tag::OpenDatabase));
}

void ClickToSheet(benchmark::State& state) {
    auto button = bench::tableButton("sales");
    if (!button) {
        state.SkipWithError("no table button");
        return;
    }
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        gSession->user().clickControl(button);
        gBestClick = std::min(gBestClick, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        clsMatrix* m = goApplication->Form().Matrix();
        if (!m || m->RowCount() != kRows || m->FieldCount() != kColumns) {
            state.SkipWithError("the table was not shown");
            return;
        }
    }
}

void OdbcFetch(benchmark::State& state) {
    // Arg 1: cell by cell instead of in bound blocks.
    const bool driver = state.range(0) == 1;
    odbc::rowByRow() = driver;
    double& best = driver ? gBestDriverFetch : gBestFetch;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        auto c = odbc::adoProvider()->NewConnection();
        c->Open(gConnection);
        auto rs = c->Execute("SELECT * FROM sales");
        // Every row in: a large result is still arriving when the statement returns.
        const long n = static_cast<long>(rs->Snapshot()->rowCount());
        c->Close();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (n != kRows) {
            state.SkipWithError("not every row was read");
            return;
        }
    }
    odbc::rowByRow() = false;
}

// The driver alone: the same rows fetched in blocks into text buffers with
// nothing done to them, so that what our layer adds shows apart from the
// driver's own cost.
void DriverAlone(benchmark::State& state) {
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::string text = gConnection;
    constexpr SQLULEN kBlock = 1024;
    constexpr SQLLEN kWidth = 80;
    std::vector<char> buffers(static_cast<size_t>(kColumns * kWidth) * kBlock);
    std::vector<SQLLEN> indicators(static_cast<size_t>(kColumns) * kBlock);
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        SQLHSTMT stmt = nullptr;
        long rows = 0;
        if (SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, nullptr, 0,
                                           nullptr, SQL_DRIVER_NOPROMPT)) &&
            SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) {
            SQLULEN got = 0;
            SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlock), 0);
            SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &got, 0);
            for (SQLUSMALLINT c = 0; c < kColumns; ++c)
                SQLBindCol(stmt, c + 1, SQL_C_CHAR, buffers.data() + c * kWidth * kBlock, kWidth,
                           indicators.data() + c * kBlock);
            if (SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT * FROM sales")), SQL_NTS)))
                while (SQL_SUCCEEDED(SQLFetch(stmt))) rows += static_cast<long>(got);
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        }
        SQLDisconnect(dbc);
        gBestBare = std::min(gBestBare, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (rows != kRows) {
            state.SkipWithError("the driver did not read every row");
            break;
        }
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
}

void PsqlCopy(benchmark::State& state) {
    const std::string cmd = psqlCommand("-c '\\copy (SELECT * FROM sales) to stdout csv'");
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        FILE* p = ::popen(cmd.c_str(), "r");
        char buf[1 << 16];
        size_t total = 0;
        while (size_t n = std::fread(buf, 1, sizeof buf, p)) total += n;
        const int rc = ::pclose(p);
        gBestCopy = std::min(gBestCopy, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (rc != 0 || total == 0) {
            state.SkipWithError("psql failed");
            return;
        }
    }
}

// 10,000 names of a 10,000-row table pasted at once, then F7 (with its reload) until its notice.
void WriteBack10000(benchmark::State& state) {
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        gSession->user().clickControl(bench::tableButton("items"));
        clsMatrix& m = *goApplication->Form().Matrix();
        auto top = m.Fields().Item("name")->Cell()->Offset(1, 0);
        std::vector<std::vector<std::string>> rows(kEdited);
        ++round;
        for (long k = 0; k < kEdited; ++k) rows[static_cast<size_t>(k)] = {"Edited " + std::to_string(round) + " " + std::to_string(k)};
        gSession->user().pasteBlock(top, rows);
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        gSession->user().pressKey("{F7}");
        gBestWrite = std::min(gBestWrite, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        state.PauseTiming();
        gWrittenChecked = std::stol(
            run(psqlCommand("-c \"SELECT count(*) FROM items WHERE name LIKE 'Edited " + std::to_string(round) + " %'\"")));
        state.ResumeTiming();
        if (gWrittenChecked != kEdited) {
            state.SkipWithError("psql does not see every written row");
            return;
        }
    }
}

// Rounds of each, run interleaved (see main), so that a busy spell of the machine falls on every measure alike.
BENCHMARK(ClickToSheet)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(OdbcFetch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(DriverAlone)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(PsqlCopy)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(WriteBack10000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    gDir = (std::filesystem::temp_directory_path() / ("dalvera-bench-server-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(gDir + "/temp");
    if (!startServer()) {
        std::fprintf(stderr, "The private PostgreSQL could not be started (scripts/test-server).\n");
        return 1;
    }
    startSession();
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nBest: click to sheet %.1f ms, ODBC read alone %.1f ms, psql \\copy csv %.1f ms; "
                "ratio click/psql %.2f, read/psql %.2f (target <= 2)\n",
                gBestClick * 1000, gBestFetch * 1000, gBestCopy * 1000, gBestClick / gBestCopy, gBestFetch / gBestCopy);
    std::printf("ODBC read cell by cell %.1f ms, ratio %.2f\n", gBestDriverFetch * 1000,
                gBestDriverFetch / gBestCopy);
    std::printf("The driver alone, rows into text buffers: %.1f ms, ratio to psql %.2f; our read is %.2f of it\n",
                gBestBare * 1000, gBestBare / gBestCopy, gBestFetch / gBestBare);
    std::printf("F7 of %ld edited rows: %.1f ms (target <= 2000); psql counted %ld written\n", kEdited,
                gBestWrite * 1000, gWrittenChecked);
    gSession.reset();
    std::system(("'" + std::string(DALVERA_SOURCE_DIR) + "/scripts/test-server' stop '" + DALVERA_BENCH_STATE + "'").c_str());
    std::filesystem::remove_all(gDir);
    return 0;
}
