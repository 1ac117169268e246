#include "addin/SaveFormats.h"

#include "platform/sheets/xlsx/XlsxWriter.h"
#include "runtime/Error.h"

namespace dalvera::platform {

namespace {
xlsx::CellStyle describeStyle(const CellStyle& s) {
    xlsx::CellStyle d;
    if (s.numberFormat != "General") d.numberFormat = s.numberFormat;
    if (s.fillColor >= 0) d.fill = xlsx::rgbFromHostColor(s.fillColor);
    if (s.fontColor >= 0) d.fontColor = xlsx::rgbFromHostColor(s.fontColor);
    d.bold = s.bold;
    d.fontSize = s.fontSize;
    d.horizontalAlignment = s.horizontalAlignment;
    auto drawn = [](const Edge& e) { return e.lineStyle != host::xl::None; };
    d.borderLeft = drawn(s.left);
    d.borderRight = drawn(s.right);
    d.borderTop = drawn(s.top);
    d.borderBottom = drawn(s.bottom);
    d.locked = s.locked;
    return d;
}

Variant cellVariant(const SheetModel& sheet, const CellValue& v) {
    switch (v.kind) {
    case CellKind::Number: return Variant(v.number());
    case CellKind::Text: return Variant(std::string(sheet.text(v)));
    case CellKind::Boolean: return Variant(v.boolean());
    case CellKind::Date: return Variant::date(v.number());
    case CellKind::Currency: return Variant::currencyScaled(v.currencyScaled());
    case CellKind::Empty: break;
    }
    return Variant();
}

xlsx::CellRange describeRect(const Rect& r) { return {r.r1, r.c1, r.r2, r.c2}; }

std::string criteriaText(const Variant& v) { return v.isMissing() ? std::string() : v.text(); }

class ModelCells {
public:
    explicit ModelCells(const SheetModel& sheet) : sheet_(sheet) {}
    void operator()(xlsx::CellSink& sink) const {
        sheet_.forEachCell(
            [&](int32_t row, int32_t col, const CellValue& v, uint32_t style) {
                sink.cell(row, col, cellVariant(sheet_, v), static_cast<int>(style));
            },
            true);
    }

private:
    const SheetModel& sheet_;
};

xlsx::SheetDescription describeSheet(const SheetModel& sm) {
    xlsx::SheetDescription s;
    s.name = sm.name();
    s.visibility = static_cast<xlsx::SheetVisibility>(sm.visibility());
    int32_t lastCol = sm.columnCount();
    if (!sm.columnWidths().empty()) lastCol = std::max(lastCol, sm.columnWidths().rbegin()->first);
    if (!sm.hiddenColumns().empty()) lastCol = std::max(lastCol, *sm.hiddenColumns().rbegin());
    for (int32_t c = 1; c <= lastCol; ++c) {
        auto width = sm.columnWidths().find(c);
        bool hidden = sm.columnHidden(c);
        uint32_t base = sm.columnStyles(c).base();
        if (width == sm.columnWidths().end() && !hidden && base == 0) continue;
        xlsx::ColumnEntry e;
        e.firstCol = e.lastCol = c;
        if (width != sm.columnWidths().end()) e.width = width->second;
        e.hidden = hidden;
        e.style = base == 0 ? -1 : static_cast<int>(base);
        s.columns.push_back(e);
    }
    s.cells = ModelCells(sm);
    for (int32_t r : sm.filterHiddenRows()) s.rows.push_back({r, std::nullopt, true});
    for (int32_t r : sm.manualHiddenRows())
        if (!sm.filterHiddenRows().count(r)) s.rows.push_back({r, std::nullopt, true});
    for (const auto& rule : sm.validations()) {
        xlsx::DataValidation v;
        for (const auto& a : rule.areas) v.ranges.push_back(describeRect(a));
        v.type = static_cast<xlsx::ValidationType>(rule.type);
        v.op = static_cast<xlsx::ValidationOperator>(rule.op);
        v.formula1 = rule.formula1;
        v.formula2 = rule.formula2;
        v.alertStyle = static_cast<xlsx::AlertStyle>(rule.alertStyle);
        v.ignoreBlank = rule.ignoreBlank;
        v.inCellDropdown = rule.inCellDropdown;
        v.showInput = rule.showInput;
        v.showError = rule.showError;
        v.inputTitle = rule.inputTitle;
        v.inputMessage = rule.inputMessage;
        v.errorTitle = rule.errorTitle;
        v.errorMessage = rule.errorMessage;
        s.validations.push_back(std::move(v));
    }
    for (const auto& [at, c] : sm.comments()) s.comments.push_back({at.first, at.second, c.text, c.author, c.visible});
    const auto& p = sm.protection();
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
    s.protection.selectLockedCells = sm.enableSelection() == host::xl::NoRestrictions;
    s.protection.selectUnlockedCells = sm.enableSelection() != host::xl::NoSelection;
    if (const auto& f = sm.autoFilter()) {
        s.autoFilter.on = true;
        s.autoFilter.range = describeRect(f->range);
        for (size_t i = 0; i < f->columns.size(); ++i) {
            const auto& c = f->columns[i];
            if (!c.on) continue;
            xlsx::FilterColumn fc;
            fc.field = static_cast<long>(i + 1);
            fc.criteria1 = criteriaText(c.criteria1);
            fc.criteria2 = criteriaText(c.criteria2);
            fc.op = c.op == host::xl::Or ? xlsx::FilterOperator::Or : xlsx::FilterOperator::And;
            s.autoFilter.filters.push_back(fc);
        }
    }
    const auto& v = sm.view();
    s.window.showGridLines = v.displayGridlines;
    s.window.showHeadings = v.displayHeadings;
    s.window.showZeros = v.displayZeros;
    if (v.frozen) {
        s.window.freezeRows = v.splitRow;
        s.window.freezeCols = v.splitColumn;
    }
    s.window.scrollRow = v.scrollRow;
    s.window.scrollColumn = v.scrollColumn;
    if (!v.selection.empty()) s.window.selection = describeRect(v.selection.front());
    return s;
}

void saveAsXlsx(const host::Workbook&, const WorkbookModel& model, const std::string& path, int) {
    xlsx::WorkbookDescription d;
    for (size_t i = 0; i < model.styles().size(); ++i)
        d.styles.push_back(describeStyle(model.styles()[static_cast<uint32_t>(i)]));
    for (const auto& sheet : model.sheets()) d.sheets.push_back(describeSheet(*sheet));
    for (const auto& n : model.names()) {
        if (n.refError) continue;
        d.names.push_back({n.name, model.refersToA1(n), {}});
    }
    d.protectStructure = model.structureProtected();
    d.structurePassword = model.structurePassword();
    const auto& props = model.documentProperties();
    auto text = [&](const char* name) {
        auto it = props.find(name);
        return it == props.end() ? std::string() : it->second.text();
    };
    d.properties.title = text("Title");
    d.properties.subject = text("Subject");
    d.properties.author = text("Author");
    d.properties.company = text("Company");
    d.properties.comments = text("Comments");
    auto rev = props.find("Revision Number");
    if (rev != props.end() && rev->second.isNumeric() && !rev->second.isEmpty())
        d.properties.revisionNumber = rev->second.toLong();
    // The active sheet must be a visible one.
    int active = model.activeSheetIndex();
    if (active < 0 || active >= static_cast<int>(model.sheets().size()) ||
        model.sheets()[static_cast<size_t>(active)]->visibility() != host::xl::SheetVisible) {
        active = 0;
        for (size_t i = 0; i < model.sheets().size(); ++i)
            if (model.sheets()[i]->visibility() == host::xl::SheetVisible) {
                active = static_cast<int>(i);
                break;
            }
    }
    d.activeSheet = active + 1;
    xlsx::saveXlsx(d, path);
}
}  // namespace

void registerSaveFormats(EmbeddedApplication& app) {
    app.registerSaver(host::xl::OpenXMLWorkbook, saveAsXlsx);
}

}  // namespace dalvera::platform
