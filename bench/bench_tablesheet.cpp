// A click on the table button of a 100,000 x 10 table (every column type, one
// relation) until the sheet is shown, and the same table dumped by
// `sqlite3 -csv`, in one run; prints both, their ratio and the memory held per cell.
// --rows=N measures another size (1000000 for the million-row table).
#include <benchmark/benchmark.h>

#include "BenchSession.h"

#include "SalesTable.h"
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
#include "host/Progress.h"
#include "menus/ICB.h"
#include "menus/clsCommandBar.h"
#include "platform/jet/Jet.h"
#include "platform/jet/Session.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"

namespace {

using namespace dalvera;

long kRows = 100000;
constexpr long kColumns = 10;
std::string gDir, gPath;
double gBestClick = 1e9, gBestShell = 1e9;
long gBytesPerCell = -1;


void buildTable() {
    gDir = (std::filesystem::temp_directory_path() / ("dalvera-bench-sheet-" + std::to_string(::getpid()))).string();
    gPath = bench::buildSalesTable(gDir, kRows);
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

// As the window's: the clock is read each time the load asks, the rows told
// and events let through only every 50 ms.
struct ClockedProgress : host::LoadProgress {
    std::chrono::steady_clock::time_point start, last;
    long pauses = 0;
    void Begin() override { start = last = std::chrono::steady_clock::now(); }
    bool Rows(long) override {
        auto now = std::chrono::steady_clock::now();
        if (now - last >= std::chrono::milliseconds(50)) {
            last = now;
            ++pauses;
        }
        return true;
    }
} gProgress;

void startSession() {
    host::setLoadProgress(&gProgress);
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

// The most the process held at any time.
long peakBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6) * 1024;
    return -1;
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]).rfind("--rows=", 0) != 0) continue;
        kRows = std::atol(argv[i] + 7);
        for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
        --argc;
        break;
    }
    buildTable();
    startSession();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gBestClick < 1e9 && gBestShell < 1e9)
        std::printf("\n%ld x %ld rows. Best: click to sheet %.1f ms, sqlite3 -csv %.1f ms, ratio %.2f; "
                    "%ld bytes held per cell; peak resident %ld MB\n",
                    kRows, kColumns, gBestClick * 1000, gBestShell * 1000, gBestClick / gBestShell, gBytesPerCell,
                    peakBytes() >> 20);
    gSession.reset();
    std::filesystem::remove_all(gDir);
    return 0;
}
