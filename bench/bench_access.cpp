// The largest MS Access test file opened to its menus through the add-in, and
// converted to an engine database, against mdb-export writing every one of its
// tables as CSV, in one run; prints the three and the ratios.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include "BenchSession.h"
#include "data/IDS.h"
#include "platform/access/Mirror.h"

namespace fs = std::filesystem;

namespace {

std::string gFile, gDir;
std::vector<std::string> gTables;
double gBestOpen = 1e9, gBestEngineOpen = 1e9, gBestConvert = 1e9, gBestExport = 1e9;
int gRun = 0;

std::string largestFile() {
    std::string best;
    std::uintmax_t size = 0;
    for (const auto& e : fs::directory_iterator(DALVERA_ACCESS_TESTDATA)) {
        auto ext = e.path().extension().string();
        if ((ext == ".mdb" || ext == ".accdb") && e.file_size() > size) {
            size = e.file_size();
            best = e.path().string();
        }
    }
    return best;
}

std::string output(const std::string& cmd) {
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[1 << 16];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    ::pclose(p);
    return out;
}

double seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each run reads its own copy: a file opened before is read from its mirror.
std::string freshCopy() {
    std::string to = gDir + "/run" + std::to_string(++gRun) + fs::path(gFile).extension().string();
    fs::copy_file(gFile, to);
    return to;
}

// Opens the file through the add-in's dialog; the add-in starts untimed before the click.
void openToMenus(benchmark::State& state, bool accessFile, double& best) {
    for (auto _ : state) {
        state.PauseTiming();
        // A first file warms the person's settings (the notices once written); the second is timed.
        std::string first = freshCopy(), file = freshCopy(), dir = gDir + "/session" + std::to_string(gRun);
        if (!accessFile) {
            dalvera::access::writeEngineDatabase(first, first + ".sqlite");
            dalvera::access::writeEngineDatabase(file, file + ".sqlite");
            first += ".sqlite";
            file += ".sqlite";
        }
        std::string chosen = first;
        fs::create_directories(dir + "/temp");
        dalvera::bench::AgreeingUI ui(chosen);
        setenv("TMPDIR", (dir + "/temp").c_str(), 1);
        dalvera::SessionOptions o;
        o.registryFile = dir + "/registry.reg";
        o.countryCode = 1;
        auto session = std::make_unique<dalvera::Session>(ui, o);
        session->openAddin();
        auto open = dalvera::goApplication->Toolbar().FindControlByTag(dalvera::tag::OpenDatabase);
        session->user().clickControl(open);
        chosen = file;
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        session->user().clickControl(open);
        long tables = dalvera::goApplication->DataSource() ? dalvera::goApplication->DataSource()->TableNames().Count() : 0;
        best = std::min(best, seconds(start));
        if (tables != static_cast<long>(gTables.size())) state.SkipWithError("the menu lists the wrong tables");
        state.PauseTiming();
        session.reset();
        state.ResumeTiming();
    }
}

void OpenToMenus(benchmark::State& state) { openToMenus(state, true, gBestOpen); }
// The same file converted: what the add-in itself takes to open a database and fill its menus.
void OpenEngineCopyToMenus(benchmark::State& state) { openToMenus(state, false, gBestEngineOpen); }

void Convert(benchmark::State& state) {
    for (auto _ : state) {
        std::string out = gDir + "/convert" + std::to_string(++gRun) + ".sqlite";
        auto start = std::chrono::steady_clock::now();
        auto report = dalvera::access::writeEngineDatabase(gFile, out);
        gBestConvert = std::min(gBestConvert, seconds(start));
        if (report.tables != static_cast<long>(gTables.size())) state.SkipWithError("wrong table count");
    }
}

void MdbExportEveryTable(benchmark::State& state) {
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        size_t total = 0;
        for (const auto& t : gTables) total += output("mdb-export '" + gFile + "' '" + t + "'").size();
        gBestExport = std::min(gBestExport, seconds(start));
        if (total == 0) state.SkipWithError("mdb-export gave nothing");
    }
}

BENCHMARK(OpenToMenus)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(OpenEngineCopyToMenus)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Convert)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(MdbExportEveryTable)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    gFile = largestFile();
    gDir = (fs::temp_directory_path() / ("dalvera-bench-access-" + std::to_string(::getpid()))).string();
    fs::create_directories(gDir);
    std::string list = output("mdb-tables -1 '" + gFile + "'");
    for (size_t from = 0, p; (p = list.find('\n', from)) != std::string::npos; from = p + 1)
        if (p > from) gTables.push_back(list.substr(from, p - from));
    std::printf("File %s (%ju bytes), %zu tables\n", gFile.c_str(), static_cast<uintmax_t>(fs::file_size(gFile)),
                gTables.size());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nBest of 5: open to menus %.1f ms (its engine copy: %.1f ms), convert %.1f ms, mdb-export of every "
                "table %.1f ms;\nratios to mdb-export: open %.2f, convert %.2f (target <= 1.5)\n",
                gBestOpen * 1000, gBestEngineOpen * 1000, gBestConvert * 1000, gBestExport * 1000,
                gBestOpen / gBestExport, gBestConvert / gBestExport);
    fs::remove_all(gDir);
    return 0;
}
