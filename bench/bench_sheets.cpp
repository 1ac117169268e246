// Cost of a large table sheet: a million cells written as one array, styled as
// ranges and given one input rule, in time and in heap bytes per cell.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "platform/sheets/Embedded.h"
#include "platform/sheets/XlsxSaver.h"
#include "runtime/DateSerial.h"

namespace {

using namespace dalvera;

constexpr long kRows = 100000, kCols = 10;

size_t heapInUse() {
    struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

// A table like the ones the engine shows: keys, repeated and unique texts, dates, numbers.
VariantArray2D makeTable() {
    VariantArray2D a(kRows, kCols);
    double day = dateSerial(2020, 1, 1);
    for (long r = 1; r <= kRows; ++r) {
        a(r, 1) = Variant(static_cast<double>(r));
        a(r, 2) = Variant("Product " + std::to_string(r % 50));
        a(r, 3) = Variant("Customer " + std::to_string(100000 + r));
        a(r, 4) = Variant::date(day + static_cast<double>(r % 1000));
        for (long c = 5; c <= kCols; ++c) a(r, c) = Variant(static_cast<double>(r * c) / 7.0);
    }
    return a;
}

void styleTable(const host::WorksheetPtr& sheet, const host::RangePtr& data) {
    data->Interior()->SetColor(0x99FFFF);
    data->Font()->SetColor(0x000000);
    data->SetLocked(false);
    data->BorderAround(host::xl::Continuous, host::xl::Thin, host::xl::ColorIndexAutomatic, 0x804000);
    data->Borders()->Item(host::xl::InsideVertical)->SetLineStyle(host::xl::Continuous);
    data->Borders()->Item(host::xl::InsideHorizontal)->SetLineStyle(host::xl::Continuous);
    auto header = data->Rows(1);
    header->Font()->SetBold(true);
    header->SetLocked(true);
    data->Columns(4)->SetNumberFormat("d/m/yyyy");
}

void BM_WriteStyleValidate(benchmark::State& state) {
    double writeStyle = 0, bytesPerCell = 0;
    for (auto _ : state) {
        state.PauseTiming();
        size_t before = heapInUse();
        VariantArray2D table = makeTable();
        auto app = platform::createEmbeddedApplication();
        app->SetEnableEvents(false);
        auto book = app->Workbooks().Add();
        auto sheet = book->Worksheets()->Item(1);
        auto data = sheet->Range("A1")->Resize(kRows, kCols);
        state.ResumeTiming();

        auto t0 = std::chrono::steady_clock::now();
        data->SetValues(table);
        styleTable(sheet, data);
        auto t1 = std::chrono::steady_clock::now();
        auto rule = sheet->Range("C1")->Resize(kRows, 1)->Validation();
        rule->Add(host::xl::ValidateTextLength, host::xl::ValidAlertWarning, host::xl::LessEqual, 50);
        rule->SetErrorTitle("Text is too long");
        sheet->Protect("w58w");

        state.PauseTiming();
        writeStyle += std::chrono::duration<double>(t1 - t0).count();
        table = VariantArray2D();  // only the sheet's own storage counts
        bytesPerCell += (static_cast<double>(heapInUse()) - static_cast<double>(before)) / (kRows * kCols);
        benchmark::DoNotOptimize(sheet->Range("J100000")->Value());
        state.ResumeTiming();
    }
    double n = static_cast<double>(state.iterations());
    state.counters["write_style_s"] = writeStyle / n;
    state.counters["bytes_per_cell"] = bytesPerCell / n;
    state.counters["cells"] = kRows * kCols;
}
BENCHMARK(BM_WriteStyleValidate)->Unit(benchmark::kMillisecond)->Iterations(3);

// Reading everything back, as a writer does.
void BM_IterateCells(benchmark::State& state) {
    auto app = platform::createEmbeddedApplication();
    app->SetEnableEvents(false);
    auto book = app->Workbooks().Add();
    auto sheet = book->Worksheets()->Item(1);
    auto data = sheet->Range("A1")->Resize(kRows, kCols);
    data->SetValues(makeTable());
    styleTable(sheet, data);
    const auto& model = platform::sheetModel(*sheet);
    for (auto _ : state) {
        size_t n = 0;
        model.forEachCell([&](int32_t, int32_t, const platform::CellValue& v, uint32_t style) { n += style + !v.empty(); });
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * kRows * kCols);
}
BENCHMARK(BM_IterateCells)->Unit(benchmark::kMillisecond);

// The whole sheet of the first benchmark saved to .xlsx through the model.
void BM_SaveXlsx(benchmark::State& state) {
    auto app = platform::createEmbeddedApplication();
    app->SetEnableEvents(false);
    app->registerSaver(host::xl::OpenXMLWorkbook, platform::xlsxSaver());
    auto book = app->Workbooks().Add();
    auto sheet = book->Worksheets()->Item(1);
    auto data = sheet->Range("A1")->Resize(kRows, kCols);
    data->SetValues(makeTable());
    styleTable(sheet, data);
    auto rule = sheet->Range("C1")->Resize(kRows, 1)->Validation();
    rule->Add(host::xl::ValidateTextLength, host::xl::ValidAlertWarning, host::xl::LessEqual, 50);
    sheet->Protect("w58w");
    char dir[] = "/tmp/dalvera-bench-XXXXXX";
    std::string path = std::string(mkdtemp(dir)) + "/table.xlsx";
    for (auto _ : state) book->SaveAs(path, host::xl::OpenXMLWorkbook);
    std::remove(path.c_str());
    rmdir(dir);
    state.counters["cells"] = kRows * kCols;
}
BENCHMARK(BM_SaveXlsx)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
