// SELECT * of a 100,000 x 10 table into a client record set, and the same
// table dumped by `sqlite3 -csv`, in one run; prints both and their ratio.
#include <benchmark/benchmark.h>

#include "ShellDump.h"
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "platform/jet/Jet.h"
#include "platform/jet/Session.h"

namespace {

std::string gPath;
double gBestEngine = 1e9, gBestShell = 1e9;

void buildTable() {
    gPath = (std::filesystem::temp_directory_path() / ("dalvera-bench-" + std::to_string(::getpid()) + ".sqlite")).string();
    std::filesystem::remove(gPath);
    auto db = dalvera::jet::CreateDatabase(gPath);
    db->Execute("CREATE TABLE Sales (ID LONG PRIMARY KEY, Name TEXT(50), Amount CURRENCY, Qty LONG, Price DOUBLE, "
                "Created DATETIME, Active YESNO, Code GUID, Notes MEMO, Ratio SINGLE)");
    sqlite3_exec(db->session().db(),
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
                 "INSERT INTO Sales SELECT i, 'Customer ' || i, (i % 1000) + 0.25, i % 97, i * 1.5, "
                 "printf('2024-%02d-%02d %02d:%02d:00', i % 12 + 1, i % 28 + 1, i % 24, i % 60), "
                 "CASE WHEN i % 2 THEN -1 ELSE 0 END, printf('{%08X-0000-4000-8000-%012X}', i, i), "
                 "'Note for row ' || i, (i % 100) / 100.0 FROM n",
                 nullptr, nullptr, nullptr);
    db->Close();
}

void EngineClientRecordset(benchmark::State& state) {
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        auto c = dalvera::jet::adoProvider()->NewConnection();
        c->CursorLocation(3);
        c->Open("Dbq=" + gPath);
        auto rs = c->Execute("SELECT * FROM Sales");
        rs->ActiveConnection(nullptr);
        c->Close();
        benchmark::DoNotOptimize(rs->RecordCount());
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        gBestEngine = std::min(gBestEngine, s);
        if (rs->RecordCount() != 100000) state.SkipWithError("wrong row count");
    }
}

void ShellCsvDump(benchmark::State& state) { dalvera::bench::shellCsvDump(state, gPath, "Sales", gBestShell); }

BENCHMARK(EngineClientRecordset)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(ShellCsvDump)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    buildTable();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gBestEngine < 1e9 && gBestShell < 1e9)
        std::printf("\nBest of 5: engine record set %.1f ms, sqlite3 -csv %.1f ms, ratio %.2f (target <= 1.5)\n",
                    gBestEngine * 1000, gBestShell * 1000, gBestEngine / gBestShell);
    std::filesystem::remove(gPath);
    return 0;
}
