// Saving a table sheet of a million cells: 100,000 rows of 10 columns with
// numbers, texts and dates, a few styles, a column style and one validation
// rule over the whole key column.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/sheets/xlsx/XlsxWriter.h"

namespace {

using namespace dalvera;
using namespace dalvera::platform::xlsx;

WorkbookDescription millionCells(long rows) {
    WorkbookDescription wb;
    CellStyle header;
    header.bold = true;
    header.fill = 0xC0C0C0;
    header.borderBottom = true;
    CellStyle editable;
    editable.locked = false;
    editable.fill = 0xFFFFCC;
    CellStyle date = editable;
    date.numberFormat = "dd-mm-yyyy";
    CellStyle money = editable;
    money.numberFormat = "#,##0.00";
    money.horizontalAlignment = kAlignRight;
    wb.styles = {header, editable, date, money};

    SheetDescription sheet;
    sheet.name = "Orders Tabel";
    sheet.columns = {{1, 10, 14.0, false, 1}};
    sheet.window.freezeRows = 1;
    sheet.autoFilter = {true, {1, 1, rows + 1, 10}, {}};
    sheet.protection.on = true;
    sheet.protection.password = "w58w";
    sheet.protection.allowFormattingColumns = true;
    sheet.protection.allowFiltering = true;
    DataValidation key;
    key.ranges = {{2, 1, rows + 1, 1}};
    key.type = ValidationType::WholeNumber;
    key.op = ValidationOperator::GreaterOrEqual;
    key.formula1 = "1";
    key.errorTitle = "Ongeldig";
    key.errorMessage = "Geef een geheel getal";
    sheet.validations = {key};
    sheet.comments = {{1, 1, "Sleutelveld", "Dalvera", false}};
    sheet.cells = [rows](CellSink& sink) {
        static const char* const kCities[] = {"Amsterdam", "Rotterdam", "Utrecht", "Den Haag", "Groningen"};
        for (long c = 1; c <= 10; ++c) sink.cell(1, c, Variant("Kolom " + std::to_string(c)), 0);
        // One Variant per kind, reassigned in place: the model hands over
        // references to its own values, not fresh copies.
        Variant number, text, when, amount;
        for (long r = 2; r <= rows + 1; ++r) {
            number = Variant::longValue(static_cast<int32_t>(r - 1));
            sink.cell(r, 1, number, 1);
            text = Variant(std::string_view(kCities[r % 5]));
            sink.cell(r, 2, text, 1);
            when = Variant::date(40000.0 + static_cast<double>(r % 3650));
            sink.cell(r, 3, when, 2);
            amount = Variant(static_cast<double>(r) * 1.25);
            sink.cell(r, 4, amount, 3);
            for (long c = 5; c <= 8; ++c) sink.cell(r, c, number, 1);
            sink.cell(r, 9, text, 1);
            sink.cell(r, 10, when, 2);
        }
    };
    SheetDescription lists;
    lists.name = "Lijsten";
    lists.visibility = SheetVisibility::VeryHidden;
    wb.sheets = {std::move(sheet), std::move(lists)};
    wb.names = {{"lst_1", "=Lijsten!$A$1:$A$3", ""}};
    wb.protectStructure = true;
    wb.structurePassword = "w58w";
    return wb;
}

void BM_SaveMillionCells(benchmark::State& state) {
    const WorkbookDescription wb = millionCells(state.range(0));
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench_xlsx_" + std::to_string(::getpid()) + ".xlsx")).string();
    for (auto _ : state) saveXlsx(wb, path);
    state.counters["cells"] = static_cast<double>(state.range(0) * 10);
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
}
BENCHMARK(BM_SaveMillionCells)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
