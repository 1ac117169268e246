// The Qt grid over the million-row table sheet, offscreen: painting one screen
// at several scroll positions, the jump to the end with Ctrl+End, and the
// process's resident memory with the table shown; beside `sqlite3 -csv` of the
// same table in the same run. --rows=N measures another size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "BenchSession.h"
#include "SalesTable.h"
#include "ShellDump.h"
#include "app/clsAux.h"
#include "gui/app/MainWindow.h"
#include "gui/app/SheetGrid.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"

namespace {

using namespace dalvera;

long kRows = 1000000;
std::string gDir, gPath;
bench::AgreeingUI gUI(gPath);
std::unique_ptr<Session> gSession;
std::unique_ptr<gui::MainWindow> gWindow;
double gShell = 1e9, gWorstPaint = 0, gBestEnd = 1e9, gShowSeconds = 0;

long statusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// One screen drawn at the given share (0..1) of the scroll range.
void PaintScreen(benchmark::State& state) {
    auto& grid = gWindow->grid();
    QScrollBar* bar = grid.verticalScrollBar();
    // 100 is the last screen of records, not the blank rows after them.
    const int value = static_cast<int>(bar->maximum() * (state.range(0) / 100.0));
    bar->setValue(state.range(0) == 100 ? static_cast<int>(kRows) - 20 : value);
    QApplication::processEvents();
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        grid.viewport()->repaint();
        double s = seconds(start);
        state.SetIterationTime(s);
        gWorstPaint = std::max(gWorstPaint, s);
    }
}

// Ctrl+End from the top: the jump and the screen drawn there.
void CtrlEnd(benchmark::State& state) {
    auto& grid = gWindow->grid();
    for (auto _ : state) {
        grid.setFocus();
        grid.setCurrentIndex(grid.model()->index(1, 0));
        grid.verticalScrollBar()->setValue(0);
        QApplication::processEvents();
        auto start = std::chrono::steady_clock::now();
        QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
        grid.viewport()->repaint();
        double s = seconds(start);
        state.SetIterationTime(s);
        gBestEnd = std::min(gBestEnd, s);
        if (grid.currentIndex().row() + 1 < kRows) {
            state.SkipWithError("Ctrl+End did not reach the last row");
            return;
        }
    }
}

void ShellCsvDump(benchmark::State& state) { bench::shellCsvDump(state, gPath, "Sales", gShell); }

BENCHMARK(PaintScreen)->Arg(0)->Arg(25)->Arg(50)->Arg(75)->Arg(100)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(CtrlEnd)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(ShellCsvDump)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]).rfind("--rows=", 0) != 0) continue;
        kRows = std::atol(argv[i] + 7);
        for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
        --argc;
        break;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    gDir = (std::filesystem::temp_directory_path() / ("dalvera-bench-grid-" + std::to_string(::getpid()))).string();
    gPath = bench::buildSalesTable(gDir, kRows);
    const long before = statusKb("VmRSS:");
    gSession = bench::openDatabaseSession(gUI, gDir);
    goApplication->Aux().WriteSetting(4, setting::WarningNrOfCells, Variant::longValue(100000000));
    gui::AppOptions options;
    gWindow = std::make_unique<gui::MainWindow>(*gSession, options);
    gWindow->resize(1280, 800);
    gWindow->show();
    auto start = std::chrono::steady_clock::now();
    gWindow->runControl(bench::tableButton("Sales"));
    gWindow->refresh();
    QApplication::processEvents();
    gShowSeconds = seconds(start);
    clsMatrix* m = goApplication->Form().Matrix();
    if (!m || m->RowCount() != kRows) {
        std::fprintf(stderr, "the table was not shown\n");
        return 1;
    }
    const long shownRss = statusKb("VmRSS:");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\n%ld rows: shown in %.2f s; worst screen painted in %.2f ms; Ctrl+End %.2f ms; sqlite3 -csv %.1f ms; "
                "resident with the table shown %ld MB (%ld MB before the session), peak %ld MB\n",
                kRows, gShowSeconds, gWorstPaint * 1000, gBestEnd * 1000, gShell * 1000, shownRss >> 10, before >> 10,
                statusKb("VmHWM:") >> 10);
    gWindow.reset();
    gSession.reset();
    std::filesystem::remove_all(gDir);
    return 0;
}
