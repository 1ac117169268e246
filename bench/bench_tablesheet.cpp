// A click on the table button of a 100,000 x 10 table (every column type, one
// relation) until the sheet is shown, and the same table dumped by
// `sqlite3 -csv`, in one run; prints both, their ratio and the memory held per cell.
#include <benchmark/benchmark.h>

#include "BenchSession.h"

#include "ShellDump.h"
#include <sqlite3.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "addin/Session.h"
#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "entry/Globals.h"
#include "host/Form.h"
#include "menus/ICB.h"
#include "menus/clsCommandBar.h"
#include "platform/jet/Jet.h"
#include "platform/jet/Session.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"

namespace {

using namespace dalvera;

constexpr long kRows = 100000;
constexpr long kColumns = 10;
std::string gDir, gPath;
double gBestClick = 1e9, gBestShell = 1e9;
long gBytesPerCell = -1;


void buildTable() {
    gDir = (std::filesystem::temp_directory_path() / ("dalvera-bench-sheet-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(gDir + "/temp");
    gPath = gDir + "/sales.sqlite";
    auto db = jet::CreateDatabase(gPath);
    db->Execute("CREATE TABLE Regions (RegionID LONG CONSTRAINT PK_Regions PRIMARY KEY, Region TEXT(20))");
    db->Execute("CREATE TABLE Sales (ID LONG CONSTRAINT PK_Sales PRIMARY KEY, Name TEXT(50), Amount CURRENCY, "
                "RegionID LONG CONSTRAINT SalesRegions REFERENCES Regions (RegionID), Price DOUBLE, "
                "Created DATETIME, Active YESNO, Code GUID, Notes MEMO, Ratio SINGLE)");
    sqlite3_exec(db->session().db(),
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20) "
                 "INSERT INTO Regions SELECT i, 'Region ' || i FROM n;"
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
                 "INSERT INTO Sales SELECT i, 'Customer ' || i, (i % 1000) + 0.25, i % 20 + 1, i * 1.123456789, "
                 "printf('2024-%02d-%02d %02d:%02d:00', i % 12 + 1, i % 28 + 1, i % 24, i % 60), "
                 "CASE WHEN i % 2 THEN -1 ELSE 0 END, printf('{%08X-0000-4000-8000-%012X}', i, i), "
                 "'Note for row ' || i, (i % 100) / 100.0 FROM n",
                 nullptr, nullptr, nullptr);
    db->Close();
}

// What the process holds; memory freed but kept by the allocator is given back first.
long residentBytes() {
    ::malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

bench::AgreeingUI gUI(gPath);
std::unique_ptr<Session> gSession;

void startSession() {
    gSession = bench::openDatabaseSession(gUI, gDir);
    // A million cells is what this measures: no question about the size.
    goApplication->Aux().WriteSetting(4, setting::WarningNrOfCells, Variant::longValue(100000000));
}


void ClickToSheet(benchmark::State& state) {
    auto button = bench::tableButton("Sales");
    if (!button) {
        state.SkipWithError("no table button");
        return;
    }
    long before = residentBytes();
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        gSession->user().clickControl(button);
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        gBestClick = std::min(gBestClick, s);
        clsMatrix* m = goApplication->Form().Matrix();
        if (!m || m->RowCount() != kRows || m->FieldCount() != kColumns) {
            state.SkipWithError("the table was not shown");
            return;
        }
    }
    gBytesPerCell = (residentBytes() - before) / (kRows * kColumns);
}

void ShellCsvDump(benchmark::State& state) { dalvera::bench::shellCsvDump(state, gPath, "Sales", gBestShell); }

BENCHMARK(ClickToSheet)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ShellCsvDump)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    buildTable();
    startSession();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gBestClick < 1e9 && gBestShell < 1e9)
        std::printf("\nBest: click to sheet %.1f ms (target <= 1000), sqlite3 -csv %.1f ms, ratio %.2f (target <= 3); "
                    "%ld bytes held per cell (target <= 100)\n",
                    gBestClick * 1000, gBestShell * 1000, gBestClick / gBestShell, gBytesPerCell);
    gSession.reset();
    std::filesystem::remove_all(gDir);
    return 0;
}
