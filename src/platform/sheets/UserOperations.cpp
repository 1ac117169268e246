#include <algorithm>
#include <functional>
#include <map>

#include "platform/sheets/Embedded.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::platform {

namespace {
const char* kProtectedEn =
    "The cell or chart you're trying to change is on a protected sheet. To make a change, unprotect the sheet. "
    "You might be requested to enter a password.";
const char* kProtectedNl =
    "De cel of grafiek die u probeert te wijzigen, bevindt zich op een beveiligd blad. Hef de beveiliging van het "
    "blad op om een wijziging aan te brengen. Mogelijk wordt u gevraagd een wachtwoord op te geven.";
const char* kInvalidEn = "This value doesn't match the data validation restrictions defined for this cell.";
const char* kInvalidNl = "Deze waarde komt niet overeen met de beperkingen voor gegevensvalidatie die voor deze cel zijn gedefinieerd.";

// Restores EnableEvents however the block ends.
struct EventsOff {
    EmbeddedApplication& app;
    bool was;
    explicit EventsOff(EmbeddedApplication& a) : app(a), was(a.EnableEvents()) { app.SetEnableEvents(false); }
    ~EventsOff() { app.SetEnableEvents(was); }
};
}  // namespace

UserOperations::UserOperations(EmbeddedApplication& app) : app_(app) {
    app_.setUndoKeeper([this](EmbeddedApplication::MacroUndo made) { keepMacroStep(std::move(made)); });
}

UserOperations::~UserOperations() { app_.setUndoKeeper({}); }

bool UserOperations::refuseProtected(WorksheetImpl& sheet, const std::vector<Rect>& areas) {
    const auto& p = sheet.model().protection();
    if (!p.on || !p.options.contents) return false;
    for (auto& a : areas)
        if (sheet.anyLocked(a)) {
            bool dutch = entryLocale(app_.countryCode()).dutch;
            app_.messageBox(dutch ? kProtectedNl : kProtectedEn, host::mb::OKOnly + host::mb::Exclamation);
            return true;
        }
    return false;
}

bool UserOperations::acceptByValidation(WorksheetImpl& sheet, int32_t row, int32_t col, const Variant& value) {
    const ValidationRule* rule = sheet.model().validationAt(row, col);
    if (!rule || !rule->showError || sheet.passes(*rule, value)) return true;
    bool dutch = entryLocale(app_.countryCode()).dutch;
    std::string message = rule->errorMessage.empty() ? (dutch ? kInvalidNl : kInvalidEn) : rule->errorMessage;
    const std::string& title = rule->errorTitle;
    switch (rule->alertStyle) {
    case host::xl::ValidAlertWarning: {
        std::string prompt = message + "\n\n" + (dutch ? "Wilt u doorgaan?" : "Continue?");
        return app_.messageBox(prompt, host::mb::YesNoCancel + host::mb::Exclamation, title) == host::answer::Yes;
    }
    case host::xl::ValidAlertInformation:
        return app_.messageBox(message, host::mb::OKCancel + host::mb::Information, title) == host::answer::OK;
    default:
        // Retry goes back to editing the cell; either way the entry is not stored.
        retry_ = app_.messageBox(message, host::mb::RetryCancel + host::mb::Critical, title) == host::answer::Retry;
        return false;
    }
}

UserOperations::Result UserOperations::typeText(const host::RangePtr& cell, const std::string& text) {
    auto sheet = rangeSheet(cell);
    const Rect& a = rangeAreas(cell).front();
    if (app_.ActiveSheet().get() != sheet.get()) sheet->Activate();
    Rect target{a.r1, a.c1, a.r1, a.c1};
    if (refuseProtected(*sheet, {target})) return Result::Refused;
    std::string implied;
    const std::string format = sheet->styles()[sheet->model().styleAt(a.r1, a.c1)].numberFormat;
    Variant value = parseCellEntry(text, entryLocale(app_.countryCode()), format, &implied);
    if (!acceptByValidation(*sheet, a.r1, a.c1, value)) return Result::Refused;
    Step step;
    const bool kept = begin(sheet, {target}, step);
    sheet->writeCell(a.r1, a.c1, value);
    if (!implied.empty() && format == "General")
        sheet->applyStyle({target}, [&](CellStyle& s) { s.numberFormat = implied; });
    sheet->changed({target});
    if (kept) finish(std::move(step), Result::Accepted);
    moveAfterReturn(*sheet, a.r1, a.c1);
    return Result::Accepted;
}

void UserOperations::moveAfterReturn(WorksheetImpl& sheet, int32_t row, int32_t col) {
    if (!app_.MoveAfterReturn()) return;
    int32_t r = row, c = col;
    switch (app_.MoveAfterReturnDirection()) {
    case host::xl::Down: r = std::min(r + 1, kMaxRows); break;
    case host::xl::Up: r = std::max(r - 1, 1); break;
    case host::xl::ToRight: c = std::min(c + 1, kMaxCols); break;
    case host::xl::ToLeft: c = std::max(c - 1, 1); break;
    }
    sheet.setSelection({{r, c, r, c}}, r, c);
}

UserOperations::Result UserOperations::pasteBlock(const host::RangePtr& topLeft,
                                                  const std::vector<std::vector<std::string>>& rows) {
    auto sheet = rangeSheet(topLeft);
    const Rect& a = rangeAreas(topLeft).front();
    size_t width = 0;
    for (auto& r : rows) width = std::max(width, r.size());
    if (rows.empty() || width == 0) return Result::Accepted;
    if (a.r1 + int64_t(rows.size()) - 1 > kMaxRows || a.c1 + int64_t(width) - 1 > kMaxCols) {
        app_.messageBox("The data cannot be pasted because it does not fit on the sheet.",
                        host::mb::OKOnly + host::mb::Exclamation);
        return Result::Refused;
    }
    Rect target{a.r1, a.c1, int32_t(a.r1 + rows.size() - 1), int32_t(a.c1 + width - 1)};
    static const std::string none;
    return writeBlock(sheet, target, [&](int32_t r, int32_t c) -> std::string {
        const auto& line = rows[size_t(r - target.r1)];
        const size_t j = size_t(c - target.c1);
        return j < line.size() ? line[j] : none;
    });
}

UserOperations::Result UserOperations::fillBlock(const host::RangePtr& block, const std::string& text) {
    return writeBlock(rangeSheet(block), rangeAreas(block).front(), [&](int32_t, int32_t) { return text; });
}

UserOperations::Result UserOperations::fillDown(const host::RangePtr& selection) {
    auto sheet = rangeSheet(selection);
    const Rect a = rangeAreas(selection).front();
    if (a.r2 <= a.r1) return Result::Accepted;  // one row: nothing below it to fill
    // The top row as a person would type it, so the rules of each cell below apply.
    EntryLocale locale = entryLocale(app_.countryCode());
    std::vector<std::string> top;
    for (int32_t c = a.c1; c <= a.c2; ++c)
        top.push_back(entryText(sheet->model().value(a.r1, c), sheet->styles()[sheet->model().styleAt(a.r1, c)].numberFormat,
                                locale));
    Rect below{a.r1 + 1, a.c1, a.r2, a.c2};
    Result result = writeBlock(sheet, below, [&](int32_t, int32_t c) { return top[size_t(c - a.c1)]; });
    if (result == Result::Accepted) sheet->setSelection({a}, a.r1, a.c1);
    return result;
}

UserOperations::Result UserOperations::writeBlock(const std::shared_ptr<WorksheetImpl>& sheet, const Rect& target,
                                                  const std::function<std::string(int32_t, int32_t)>& textAt) {
    if (app_.ActiveSheet().get() != sheet.get()) sheet->Activate();
    if (refuseProtected(*sheet, {target})) return Result::Refused;
    // Pasted entries are read and checked as typed ones, cell by cell, so a
    // paste cannot slip values past a column's format or input rule.
    EntryLocale locale = entryLocale(app_.countryCode());
    const size_t height = size_t(target.r2 - target.r1 + 1), width = size_t(target.c2 - target.c1 + 1);
    std::vector<std::vector<Variant>> values(height);
    std::map<std::string, std::vector<Rect>> implied;  // General cells an entry gives a format
    for (size_t i = 0; i < height; ++i)
        for (size_t j = 0; j < width; ++j) {
            const int32_t r = target.r1 + int32_t(i), c = target.c1 + int32_t(j);
            const std::string& format = sheet->styles()[sheet->model().styleAt(r, c)].numberFormat;
            std::string fmt;
            Variant v = parseCellEntry(textAt(r, c), locale, format, &fmt);
            if (!acceptByValidation(*sheet, r, c, v)) return Result::Refused;
            if (!fmt.empty() && format == "General") implied[fmt].push_back({r, c, r, c});
            values[i].push_back(std::move(v));
        }
    Step step;
    const bool kept = begin(sheet, {target}, step);
    for (size_t i = 0; i < height; ++i)
        for (size_t j = 0; j < width; ++j) sheet->writeCell(target.r1 + int32_t(i), target.c1 + int32_t(j), values[i][j]);
    // Not the binding itself in the lambda: clang before 16 cannot capture one.
    for (auto& entry : implied) {
        const std::string& fmt = entry.first;
        sheet->applyStyle(entry.second, [&](CellStyle& s) { s.numberFormat = fmt; });
    }
    sheet->setSelection({target}, target.r1, target.c1);
    sheet->changed({target});
    if (kept) finish(std::move(step), Result::Accepted);
    return Result::Accepted;
}

UserOperations::Result UserOperations::clear(const host::RangePtr& range) {
    auto sheet = rangeSheet(range);
    const auto& areas = rangeAreas(range);
    if (app_.ActiveSheet().get() != sheet.get()) sheet->Activate();
    if (refuseProtected(*sheet, areas)) return Result::Refused;
    Step step;
    const bool kept = begin(sheet, areas, step);
    for (auto& a : areas) sheet->clearValues(a);
    sheet->changed(areas);
    if (kept) finish(std::move(step), Result::Accepted);
    return Result::Accepted;
}

namespace {
// Blanks last whichever way; numbers (dates, amounts) before texts.
int sortClass(const Variant& v) {
    if (v.isEmpty() || v.isNull()) return 2;
    if (v.isString()) return v.text().empty() ? 2 : 1;
    return 0;
}
}  // namespace

UserOperations::Result UserOperations::sortRows(const host::WorksheetPtr& hostSheet, int32_t column, bool ascending) {
    auto sheet = std::dynamic_pointer_cast<WorksheetImpl>(hostSheet);
    if (!sheet || editing()) return Result::Refused;
    const SheetModel& m = sheet->model();
    if (!m.autoFilter()) return Result::Refused;
    const Rect range = m.autoFilter()->range;
    if (column < range.c1 || column > range.c2 || range.r2 <= range.r1) return Result::Refused;
    const auto& p = m.protection();
    if (p.on && p.options.contents && !p.options.allowSorting) {
        bool dutch = entryLocale(app_.countryCode()).dutch;
        app_.messageBox(dutch ? kProtectedNl : kProtectedEn, host::mb::OKOnly + host::mb::Exclamation);
        return Result::Refused;
    }
    // The rows the filter covers, up to the last one holding anything, and
    // rows added right below it (a new record) as their own region's part.
    const int32_t first = range.r1 + 1;
    int32_t last = std::min(sheet->lastFilledRow(range.c1, range.c2), range.r2);
    auto filled = [&](int32_t r) {
        for (int32_t c = range.c1; c <= range.c2; ++c)
            if (!m.value(r, c).isEmpty()) return true;
        return false;
    };
    if (last == range.r2)
        while (last < kMaxRows && filled(last + 1)) ++last;
    if (last <= first) return Result::Accepted;
    struct Key {
        int cls;
        double number;
        std::string text;
    };
    std::vector<Key> keys;
    keys.reserve(size_t(last - first + 1));
    for (int32_t r = first; r <= last; ++r) {
        Variant v = m.value(r, column);
        Key k{sortClass(v), 0, {}};
        if (k.cls == 0) k.number = v.isBoolean() ? (v.toBool() ? 1 : 0) : v.toDouble();
        else if (k.cls == 1) k.text = lowerAscii(v.text());
        keys.push_back(std::move(k));
    }
    std::vector<int32_t> order(keys.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = int32_t(i);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        const Key &x = keys[size_t(a)], &y = keys[size_t(b)];
        // Descending turns numbers-before-texts round too; blanks stay last.
        if (x.cls != y.cls) return x.cls == 2 || y.cls == 2 ? x.cls < y.cls : ascending == (x.cls < y.cls);
        if (x.cls == 2) return false;
        if (x.cls == 0) return ascending ? x.number < y.number : y.number < x.number;
        return ascending ? x.text < y.text : y.text < x.text;
    });
    bool moved = false;
    for (size_t i = 0; i < order.size() && !moved; ++i) moved = order[i] != int32_t(i);
    if (!moved) return Result::Accepted;
    clearHistory();  // the steps name cells that now hold other rows
    sheet->reorderRows(first, order);
    sheet->book().markChanged();
    if (app_.EnableEvents())
        app_.fireSheetSort(sheet, first, std::vector<long>(order.begin(), order.end()));
    return Result::Accepted;
}

// ---- undo and redo

namespace {
constexpr int64_t kUndoCells = 200000;  // a larger step ends the history instead of filling memory
}

std::vector<UserOperations::CellState> UserOperations::capture(const WorksheetImpl& sheet,
                                                               const std::vector<Rect>& areas) {
    std::vector<CellState> out;
    const SheetModel& m = sheet.model();
    for (const Rect& a : areas)
        for (int32_t r = a.r1; r <= a.r2; ++r)
            for (int32_t c = a.c1; c <= a.c2; ++c) out.push_back({r, c, m.value(r, c), m.styleAt(r, c)});
    return out;
}

bool UserOperations::begin(const std::shared_ptr<WorksheetImpl>& sheet, const std::vector<Rect>& areas, Step& step) {
    int64_t cells = 0;
    for (const Rect& a : areas) cells += int64_t(a.r2 - a.r1 + 1) * (a.c2 - a.c1 + 1);
    if (cells > kUndoCells) {
        clearHistory();
        return false;
    }
    step.sheet = sheet;
    step.structure = sheet->structure();
    step.areas = areas;
    step.before = capture(*sheet, areas);
    return true;
}

void UserOperations::finish(Step&& step, Result result) {
    if (result != Result::Accepted) return;
    auto sheet = step.sheet.lock();
    if (!sheet) return;
    // After the sheet's owner has answered the change (painted, flagged).
    step.after = capture(*sheet, step.areas);
    push(std::move(step));
}

void UserOperations::push(Step&& step) {
    undo_.push_back(std::move(step));
    redo_.clear();
    if (undo_.size() > 100) undo_.erase(undo_.begin());
}

void UserOperations::keepMacroStep(EmbeddedApplication::MacroUndo made) {
    if (replaying_) return;  // a step's own procedure re-registering itself
    if (made.undoProcedure.empty() || !made.sheet) {
        clearHistory();
        return;
    }
    Step step;
    step.sheet = made.sheet;
    step.structure = made.sheet->structure();
    step.structureBefore = made.structureBefore;
    step.text = std::move(made.text);
    step.undoProcedure = std::move(made.undoProcedure);
    step.redoProcedure = std::move(made.redoProcedure);
    push(std::move(step));
}

bool UserOperations::currentMacro(const Step& step, bool undoing) const {
    auto sheet = step.sheet.lock();
    if (!sheet || sheet->deleted()) return false;
    const std::string& procedure = undoing ? step.undoProcedure : step.redoProcedure;
    if (procedure.empty() || !app_.hasMacro(procedure)) return false;
    // Rows or columns moved since (a reload, a sort, code): the procedure would meet another sheet.
    if (undoing) return sheet->structure() == step.structure;
    return step.structureBefore && sheet->structure() == *step.structureBefore;
}

void UserOperations::rebase(const WorksheetImpl& sheet, uint64_t from, uint64_t to) {
    for (auto* list : {&undo_, &redo_})
        for (Step& s : *list) {
            if (s.sheet.lock().get() != &sheet) continue;
            if (s.structure == from) s.structure = to;
            if (s.structureBefore && *s.structureBefore == from) s.structureBefore = to;
        }
}

bool UserOperations::replayMacro(std::vector<Step>& from, std::vector<Step>& to, bool undoing) {
    Step step = std::move(from.back());
    from.pop_back();
    if (!currentMacro(step, undoing)) {
        clearHistory();
        return false;
    }
    auto sheet = step.sheet.lock();
    if (app_.ActiveSheet().get() != sheet.get()) sheet->Activate();
    struct Replaying {
        bool& flag;
        explicit Replaying(bool& f) : flag(f) { flag = true; }
        ~Replaying() { flag = false; }
    };
    try {
        Replaying on(replaying_);
        app_.Run(undoing ? step.undoProcedure : step.redoProcedure);
    } catch (const Error&) {
        // Refused: the procedure has told the person why; nothing older can be trusted now.
        clearHistory();
        return false;
    }
    // The procedure put the rows back as they were on the other side of the
    // step, so what was made in that layout holds again.
    const uint64_t now = sheet->structure();
    if (undoing) {
        if (step.structureBefore) rebase(*sheet, *step.structureBefore, now);
        step.structureBefore = now;
        if (step.redoProcedure.empty()) {
            redo_.clear();
            return true;
        }
    } else {
        rebase(*sheet, step.structure, now);
        step.structure = now;
    }
    to.push_back(std::move(step));
    return true;
}

void UserOperations::clearHistory() {
    undo_.clear();
    redo_.clear();
}

bool UserOperations::current(Step& step) {
    // Still the cells as the step left them: nothing but the person's own
    // undo and redo has been at them since.
    auto sheet = step.sheet.lock();
    if (!sheet || sheet->deleted() || sheet->structure() != step.structure) return false;
    const SheetModel& m = sheet->model();
    for (const auto& cell : step.after)
        if (!(m.value(cell.row, cell.col) == cell.value) || m.styleAt(cell.row, cell.col) != cell.style) return false;
    return true;
}

bool UserOperations::replay(std::vector<Step>& from, std::vector<Step>& to, bool undoing) {
    if (editing()) return false;
    if (from.empty()) return false;
    if (from.back().macro()) return replayMacro(from, to, undoing);
    Step step = std::move(from.back());
    from.pop_back();
    // `after` holds the state the cells must be in now; swapped for a redo.
    if (!undoing) std::swap(step.before, step.after);
    if (!current(step)) {
        clearHistory();
        return false;
    }
    auto sheet = step.sheet.lock();
    {
        EventsOff off(app_);  // what comes back is no new edit
        const StyleTable& styles = sheet->styles();
        for (const auto& cell : step.before) {
            sheet->writeCell(cell.row, cell.col, cell.value);
            if (sheet->model().styleAt(cell.row, cell.col) != cell.style) {
                const CellStyle wanted = styles[cell.style];
                sheet->applyStyle({{cell.row, cell.col, cell.row, cell.col}}, [&](CellStyle& s) { s = wanted; });
            }
        }
    }
    sheet->book().markChanged();
    if (app_.ActiveSheet().get() != sheet.get()) sheet->Activate();
    sheet->setSelection(step.areas, step.areas.front().r1, step.areas.front().c1);
    if (app_.EnableEvents()) app_.fireSheetUndo(sheet, sheet->range(step.areas));
    if (!undoing) std::swap(step.before, step.after);
    // The owner's answer may have changed the cells again: keep what it left.
    auto& kept = undoing ? step.before : step.after;
    kept = capture(*sheet, step.areas);
    to.push_back(std::move(step));
    return true;
}

bool UserOperations::undo() { return replay(undo_, redo_, true); }
bool UserOperations::redo() { return replay(redo_, undo_, false); }

bool UserOperations::canUndo() {
    if (undo_.empty()) return false;
    const bool ok = undo_.back().macro() ? currentMacro(undo_.back(), true) : current(undo_.back());
    if (!ok) {
        clearHistory();
        return false;
    }
    return true;
}

bool UserOperations::canRedo() {
    if (redo_.empty()) return false;
    bool ok;
    if (redo_.back().macro()) {
        ok = currentMacro(redo_.back(), false);
    } else {
        Step probe = redo_.back();
        std::swap(probe.before, probe.after);
        ok = current(probe);
    }
    if (!ok) {
        clearHistory();
        return false;
    }
    return true;
}

bool UserOperations::select(const host::RangePtr& range) {
    auto sheet = rangeSheet(range);
    const auto& areas = rangeAreas(range);
    const auto& p = sheet->model().protection();
    if (p.on) {
        int mode = sheet->model().enableSelection();
        if (mode == host::xl::NoSelection) return false;
        if (mode == host::xl::UnlockedCells)
            for (auto& a : areas)
                if (sheet->anyLocked(a)) return false;
    }
    if (app_.ActiveSheet().get() != sheet.get()) sheet->Activate();
    sheet->setSelection(areas, areas.front().r1, areas.front().c1);
    return true;
}

void UserOperations::beginEdit(const host::RangePtr& cell) {
    auto sheet = rangeSheet(cell);
    const Rect& a = rangeAreas(cell).front();
    if (app_.ActiveSheet().get() != sheet.get()) sheet->Activate();
    if (refuseProtected(*sheet, {{a.r1, a.c1, a.r1, a.c1}})) return;
    editCell_ = cell;
    app_.setReady(false);
}

UserOperations::Result UserOperations::endEdit(const std::string& text) {
    if (!editCell_) raise(err::InvalidCall, "No cell is being edited.", "UserOperations");
    auto cell = std::move(editCell_);
    editCell_.reset();
    app_.setReady(true);
    auto sheet = rangeSheet(cell);
    const Rect& a = rangeAreas(cell).front();
    const std::string& format = sheet->styles()[sheet->model().styleAt(a.r1, a.c1)].numberFormat;
    const Variant now = sheet->model().value(a.r1, a.c1);
    const Variant entry = parseCellEntry(text, entryLocale(app_.countryCode()), format);
    // Confirming what is there is no change: the row it is in must not be taken for edited.
    const bool same = entry == now || (entry.isNumber() && now.isNumber() && entry.toDouble() == now.toDouble());
    if (same) {
        moveAfterReturn(*sheet, a.r1, a.c1);
        return Result::Accepted;
    }
    retry_ = false;
    Result result = typeText(cell, text);
    if (result == Result::Refused && retry_) result = Result::Retry;
    retry_ = false;
    return result;
}

void UserOperations::cancelEdit() {
    editCell_.reset();
    app_.setReady(true);
}

void UserOperations::clickControl(const host::ControlPtr& control) {
    if (!control) raise(err::ObjectRequired, "There is no control to click.", "UserOperations");
    if (editing()) cancelEdit();  // a click outside the cell ends editing without an entry
    if (!control->Enabled() || !control->Visible()) return;
    control->Execute();
}

bool UserOperations::pressKey(const std::string& key) {
    if (editing()) return false;  // keys go to the cell editor
    Variant macro = app_.keyBinding(key);
    if (macro.isMissing() || macro.text().empty()) return false;
    app_.Run(macro.text());
    return true;
}

void UserOperations::activate(const host::WorksheetPtr& sheet) { sheet->Activate(); }

void UserOperations::activate(const host::WorkbookPtr& workbook) { workbook->Activate(); }

bool UserOperations::save(const host::WorkbookPtr& workbook) {
    bool neverSaved = workbook->Path().empty();
    if (app_.fireBeforeSave(workbook, neverSaved)) return false;
    EventsOff off(app_);  // the person's save raises the event once
    if (neverSaved) return saveThroughDialog(workbook);
    workbook->Save();
    return true;
}

bool UserOperations::saveAs(const host::WorkbookPtr& workbook) {
    if (app_.fireBeforeSave(workbook, true)) return false;
    EventsOff off(app_);
    return saveThroughDialog(workbook);
}

bool UserOperations::saveThroughDialog(const host::WorkbookPtr& workbook) {
    const std::string filter = saveFilter_ ? saveFilter_() : std::string();
    const SaveSuggestion suggestion = suggestSaveName(workbook, filter);
    Variant chosen = app_.GetSaveAsFilename(suggestion.path, filter, suggestion.filterIndex, {});
    if (!chosen.isString() || chosen.stringRef().empty()) return false;
    workbook->SaveAs(chosen.stringRef(), Variant::missing());  // the format follows the extension
    return true;
}

namespace {
// The extensions of each entry of a filter ("Text (*.txt),*.txt,Web (*.htm),*.htm;*.html").
std::vector<std::vector<std::string>> filterExtensions(const std::string& filter) {
    std::vector<std::vector<std::string>> out;
    const auto parts = split(filter, ',');
    for (size_t i = 1; i < parts.size(); i += 2) {
        std::vector<std::string> exts;
        for (const auto& pattern : split(parts[i], ';')) {
            std::string p = trimBlanks(pattern);
            if (p.rfind("*.", 0) == 0 && p.size() > 2) exts.push_back(lowerAscii(p.substr(2)));
        }
        out.push_back(std::move(exts));
    }
    return out;
}
}  // namespace

UserOperations::SaveSuggestion UserOperations::suggestSaveName(const host::WorkbookPtr& workbook,
                                                               const std::string& filter) const {
    SaveSuggestion s;
    std::string name = workbook->Name();
    const auto entries = filterExtensions(filter);
    std::string ext;
    if (auto dot = name.rfind('.'); dot != std::string::npos) ext = lowerAscii(name.substr(dot + 1));
    const int format = ext.empty() ? 0 : fileFormatOfPath(name, 0);
    bool known = format != 0 && app_.canSave(format);
    if (known && !entries.empty()) {
        known = false;
        for (size_t i = 0; i < entries.size() && !known; ++i)
            for (const auto& e : entries[i])
                if (e == ext) {
                    known = true;
                    s.filterIndex = static_cast<int>(i) + 1;
                    break;
                }
    }
    if (!known) {
        // A name without a format of its own gets the first one offered; one
        // whose format is not offered has its extension replaced, never added to.
        std::string first = "xlsx";
        if (!entries.empty() && !entries.front().empty()) first = entries.front().front();
        if (format != 0) name.erase(name.rfind('.'));
        name += "." + first;
        s.filterIndex = 1;
    }
    const std::string folder = workbook->Path().empty() ? app_.DefaultFilePath() : workbook->Path();
    s.path = folder.empty() ? name : folder + "/" + name;
    return s;
}

bool UserOperations::close(const host::WorkbookPtr& workbook) {
    auto* impl = dynamic_cast<WorkbookImpl*>(workbook.get());
    if (!impl) raise(err::TypeMismatch, "The workbook does not belong to the embedded application.", "UserOperations");
    workbook->Close(Variant::missing());
    return impl->closed();
}

}  // namespace dalvera::platform
