#pragma once
// Describes a workbook of the embedded application for the .xlsx writer, and
// the saver that the wiring code registers for the .xlsx and .xls formats.
// Header-only, so the object model does not link the writer; whoever includes
// this links dalvera_xlsx.
#include <cmath>
#include <cstdio>
#include <set>

#include "platform/sheets/Embedded.h"
#include "platform/sheets/xlsx/XlsxWriter.h"
#include "runtime/DateSerial.h"
#include "runtime/Text.h"

namespace dalvera::platform {

// A date or time bound typed as text ("1/1/1900", "00:00") is a serial in the file;
// written as text it would be read as a formula (1/1/1900 a division).
inline std::string serialBound(int type, const std::string& formula) {
    if ((type != host::xl::ValidateDate && type != host::xl::ValidateTime) || formula.empty() || formula[0] == '=')
        return formula;
    double serial;
    if (parseRuleNumber(formula, serial) || !parseDateText(formula, serial)) return formula;
    if (serial >= 1 && serial < 61) serial -= 1;  // the file's calendar counts 29 February 1900
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", serial);
    return text;
}

inline xlsx::WorkbookDescription describeForXlsx(const WorkbookModel& book) {
    xlsx::WorkbookDescription d;
    const StyleTable& styles = book.styles();
    for (size_t i = 0; i < styles.size(); ++i) {
        const CellStyle& s = styles[static_cast<uint32_t>(i)];
        xlsx::CellStyle x;
        x.numberFormat = s.numberFormat == "General" ? std::string() : s.numberFormat;
        if (s.fillColor >= 0) x.fill = xlsx::rgbFromHostColor(s.fillColor);
        if (s.fontColor >= 0) x.fontColor = xlsx::rgbFromHostColor(s.fontColor);
        x.bold = s.bold;
        x.fontSize = s.fontSize;
        x.horizontalAlignment = s.horizontalAlignment;
        x.borderLeft = s.left.lineStyle != host::xl::None;
        x.borderRight = s.right.lineStyle != host::xl::None;
        x.borderTop = s.top.lineStyle != host::xl::None;
        x.borderBottom = s.bottom.lineStyle != host::xl::None;
        x.locked = s.locked;
        d.styles.push_back(std::move(x));
    }
    int visibleIndex = 0;
    for (size_t i = 0; i < book.sheets().size(); ++i) {
        const SheetModel& m = *book.sheets()[i];
        xlsx::SheetDescription s;
        s.name = m.name();
        s.visibility = static_cast<xlsx::SheetVisibility>(m.visibility());
        // Columns: widths, hidden flags and whole-column formats.
        int32_t last = std::max(m.columnCount(), m.columnWidths().empty() ? 0 : m.columnWidths().rbegin()->first);
        if (!m.hiddenColumns().empty()) last = std::max(last, *m.hiddenColumns().rbegin());
        for (int32_t c = 1; c <= last; ++c) {
            uint32_t base = m.columnStyles(c).base();
            bool hasWidth = m.columnWidths().count(c) != 0;
            if (!hasWidth && !m.columnHidden(c) && base == 0) continue;
            xlsx::ColumnEntry e;
            e.firstCol = e.lastCol = c;
            if (hasWidth) e.width = m.columnWidth(c);
            e.hidden = m.columnHidden(c);
            e.style = base == 0 ? -1 : static_cast<int>(base);
            s.columns.push_back(e);
        }
        if (uint32_t rest = m.columnStyles(last + 1).base(); rest != 0 && last < kMaxCols) {
            xlsx::ColumnEntry e;  // a whole-sheet format reaches the columns never touched
            e.firstCol = last + 1, e.lastCol = kMaxCols, e.style = static_cast<int>(rest);
            s.columns.push_back(e);
        }
        s.cells = [&m](xlsx::CellSink& sink) {
            m.forEachCell([&](int32_t r, int32_t c, const CellValue& v, uint32_t style) {
                sink.cell(r, c, m.toVariant(v), static_cast<int>(style));
            }, true);
        };
        std::set<int32_t> hidden = m.manualHiddenRows();
        hidden.insert(m.filterHiddenRows().begin(), m.filterHiddenRows().end());
        for (int32_t r : hidden) s.rows.push_back({r, std::nullopt, true});
        for (const ValidationRule& v : m.validations()) {
            xlsx::DataValidation x;
            for (const Rect& a : v.areas) x.ranges.push_back({a.r1, a.c1, a.r2, a.c2});
            x.type = static_cast<xlsx::ValidationType>(v.type);
            x.op = static_cast<xlsx::ValidationOperator>(v.op);
            x.formula1 = serialBound(v.type, v.formula1);
            x.formula2 = serialBound(v.type, v.formula2);
            x.alertStyle = static_cast<xlsx::AlertStyle>(v.alertStyle);
            x.ignoreBlank = v.ignoreBlank;
            x.inCellDropdown = v.inCellDropdown;
            x.showInput = v.showInput;
            x.showError = v.showError;
            x.inputTitle = v.inputTitle;
            x.inputMessage = v.inputMessage;
            x.errorTitle = v.errorTitle;
            x.errorMessage = v.errorMessage;
            s.validations.push_back(std::move(x));
        }
        for (const auto& [pos, c] : m.comments()) s.comments.push_back({pos.first, pos.second, c.text, c.author, c.visible});
        const SheetProtection& p = m.protection();
        s.protection.on = p.on;
        s.protection.password = p.password;
        s.protection.allowFormattingCells = p.options.allowFormattingCells;
        s.protection.allowFormattingColumns = p.options.allowFormattingColumns;
        s.protection.allowFormattingRows = p.options.allowFormattingRows;
        s.protection.allowInsertingColumns = p.options.allowInsertingColumns;
        s.protection.allowInsertingRows = p.options.allowInsertingRows;
        s.protection.allowInsertingHyperlinks = p.options.allowInsertingHyperlinks;
        s.protection.allowDeletingColumns = p.options.allowDeletingColumns;
        s.protection.allowDeletingRows = p.options.allowDeletingRows;
        s.protection.allowSorting = p.options.allowSorting;
        s.protection.allowFiltering = p.options.allowFiltering;
        s.protection.allowUsingPivotTables = p.options.allowUsingPivotTables;
        s.protection.selectLockedCells = m.enableSelection() == host::xl::NoRestrictions;
        s.protection.selectUnlockedCells = m.enableSelection() != host::xl::NoSelection;
        if (const auto& af = m.autoFilter()) {
            s.autoFilter.on = true;
            s.autoFilter.range = {af->range.r1, af->range.c1, af->range.r2, af->range.c2};
            for (size_t f = 0; f < af->columns.size(); ++f) {
                const FilterCriteria& c = af->columns[f];
                if (!c.on) continue;
                xlsx::FilterColumn x;
                x.field = static_cast<long>(f + 1);
                x.criteria1 = c.criteria1.text();
                x.op = static_cast<xlsx::FilterOperator>(c.op);
                if (!c.criteria2.isMissing()) x.criteria2 = c.criteria2.text();
                s.autoFilter.filters.push_back(std::move(x));
            }
        }
        const SheetView& v = m.view();
        s.window.showGridLines = v.displayGridlines;
        s.window.showHeadings = v.displayHeadings;
        s.window.showZeros = v.displayZeros;
        s.window.freezeRows = v.frozen ? v.splitRow : 0;
        s.window.freezeCols = v.frozen ? v.splitColumn : 0;
        s.window.scrollRow = v.scrollRow;
        s.window.scrollColumn = v.scrollColumn;
        if (!v.selection.empty()) {
            const Rect& a = v.selection.front();
            s.window.selection = xlsx::CellRange{a.r1, a.c1, a.r2, a.c2};
        }
        if (static_cast<int>(i) == book.activeSheetIndex() && m.visibility() == host::xl::SheetVisible)
            d.activeSheet = static_cast<int>(i) + 1;
        else if (!visibleIndex && m.visibility() == host::xl::SheetVisible)
            visibleIndex = static_cast<int>(i) + 1;
        d.sheets.push_back(std::move(s));
    }
    // The active sheet must be a visible one.
    if (d.activeSheet < 1 || d.activeSheet > static_cast<int>(d.sheets.size()) ||
        d.sheets[static_cast<size_t>(d.activeSheet - 1)].visibility != xlsx::SheetVisibility::Visible)
        d.activeSheet = visibleIndex ? visibleIndex : 1;
    for (const NameDef& n : book.names()) {
        if (n.refError) continue;  // nothing left to point at
        d.names.push_back({n.name, book.refersToA1(n), {}});
    }
    d.protectStructure = book.structureProtected();
    d.structurePassword = book.structurePassword();
    auto prop = [&book](const char* name) {
        for (const auto& [k, v] : book.documentProperties())
            if (equalsNoCase(k, name)) return v;
        return Variant();
    };
    d.properties.title = prop("Title").text();
    d.properties.subject = prop("Subject").text();
    d.properties.author = prop("Author").text();
    d.properties.company = prop("Company").text();
    d.properties.comments = prop("Comments").text();
    double revision;
    Variant rev = prop("Revision number");
    if ((rev.isNumber() && (revision = rev.toDouble(), true)) || parseNumber(rev.text(), revision))
        d.properties.revisionNumber = std::lround(revision);
    return d;
}

// The saver for the workbook formats; register it for host::xl::OpenXMLWorkbook
// (and host::xl::Excel8 when .xls requests should be written as .xlsx content).
inline Saver xlsxSaver() {
    return [](const host::Workbook&, const WorkbookModel& model, const std::string& path, int) {
        xlsx::saveXlsx(describeForXlsx(model), path);
    };
}

}  // namespace dalvera::platform
