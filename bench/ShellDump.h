#pragma once
// The yardstick of the database benchmarks: the sqlite3 shell dumping a table as CSV.
#include <benchmark/benchmark.h>
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace dalvera::bench {

// Times `sqlite3 -csv` over the table; keeps the best run in best (seconds).
inline void shellCsvDump(benchmark::State& state, const std::string& path, const std::string& table, double& best) {
    std::string cmd = "sqlite3 -csv '" + path + "' 'SELECT * FROM " + table + "'";
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        FILE* p = ::popen(cmd.c_str(), "r");
        if (!p) {
            state.SkipWithError("sqlite3 shell not available");
            return;
        }
        char buf[1 << 16];
        size_t total = 0;
        while (size_t n = std::fread(buf, 1, sizeof buf, p)) total += n;
        int rc = ::pclose(p);
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (rc != 0 || total == 0) {
            state.SkipWithError("sqlite3 shell failed");
            return;
        }
        best = std::min(best, s);
        benchmark::DoNotOptimize(total);
    }
}

}  // namespace dalvera::bench
