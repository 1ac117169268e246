#include <algorithm>
#include <cstdlib>

#include "platform/sheets/Embedded.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::platform {

namespace {
const char* kSource = "Application";

// Keys as OnKey writes them; case matters only for letters after ^ % +.
std::string keyId(const std::string& key) {
    std::string k = trimBlanks(key);
    if (!k.empty() && k.front() == '{') return upperAscii(k);
    return k;
}
}  // namespace

class WorkbooksImpl : public host::Workbooks {
public:
    explicit WorkbooksImpl(EmbeddedApplication& app) : app_(app) {}
    long Count() const override { return static_cast<long>(app_.workbookList().size()); }
    host::WorkbookPtr Item(long index) override {
        if (index < 1 || index > Count()) raiseStandard(err::SubscriptOutOfRange, kSource);
        return app_.workbookList()[static_cast<size_t>(index - 1)];
    }
    host::WorkbookPtr Item(const std::string& name) override {
        for (auto& b : app_.workbookList())
            if (equalsNoCase(b->Name(), name)) return b;
        raiseStandard(err::SubscriptOutOfRange, kSource);
    }
    host::WorkbookPtr Add() override {
        auto book = std::make_shared<WorkbookImpl>(
            app_, (entryLocale(app_.countryCode()).dutch ? "Map" : "Book") + std::to_string(app_.newWorkbookNumber()));
        for (int i = 0; i < app_.sheetsInNewWorkbook(); ++i) book->addSheet(i);
        book->SetSaved(true);
        app_.workbookList().push_back(book);
        app_.setActiveWorkbook(book, true);
        return book;
    }

private:
    EmbeddedApplication& app_;
};

EmbeddedApplication::EmbeddedApplication()
    : workbooks_(std::make_unique<WorkbooksImpl>(*this)), countryCode_(countryCodeFromEnvironment()) {
    if (const char* home = std::getenv("HOME")) defaultFilePath_ = home;
}

EmbeddedApplication::~EmbeddedApplication() = default;

void EmbeddedApplication::setSheetsInNewWorkbook(int n) {
    if (n < 1 || n > 255) raise(err::HostRefusal, "A new workbook has 1 to 255 sheets.", kSource);
    sheetsInNewWorkbook_ = n;
}

std::shared_ptr<EmbeddedApplication> createEmbeddedApplication() { return std::make_shared<EmbeddedApplication>(); }

void EmbeddedApplication::registerMacro(const std::string& name, std::function<void()> macro) {
    if (trimBlanks(name).empty() || !macro) raise(err::InvalidCall, "A macro needs a name and a body.", kSource);
    macros_[lowerAscii(trimBlanks(name))] = std::move(macro);
}

void EmbeddedApplication::unregisterMacro(const std::string& name) { macros_.erase(lowerAscii(trimBlanks(name))); }

bool EmbeddedApplication::hasMacro(const std::string& name) const {
    std::string n = trimBlanks(name);
    if (auto bang = n.rfind('!'); bang != std::string::npos) n = n.substr(bang + 1);
    return macros_.count(lowerAscii(n)) != 0;
}

Variant EmbeddedApplication::keyBinding(const std::string& key) const {
    auto it = keys_.find(keyId(key));
    return it == keys_.end() ? Variant::missing() : it->second;
}

void EmbeddedApplication::Run(const std::string& macro) {
    std::string name = trimBlanks(macro);
    // "Book.xla!ThisWorkbook.Name" also names the add-in's macro.
    if (auto bang = name.rfind('!'); bang != std::string::npos) name = name.substr(bang + 1);
    auto it = macros_.find(lowerAscii(name));
    if (it == macros_.end())
        raise(err::HostRefusal, "Cannot run the macro '" + macro + "'. The macro may not be available in this workbook.",
              kSource);
    auto body = it->second;  // the macro may unregister itself
    const bool outermost = runDepth_ == 0;
    if (outermost) {
        pendingUndo_.reset();
        auto active = std::dynamic_pointer_cast<WorksheetImpl>(ActiveSheet());
        runSheet_ = active;
        runStructure_ = active ? active->structure() : 0;
    }
    ++runDepth_;
    try {
        body();
    } catch (...) {
        --runDepth_;
        if (outermost) pendingUndo_.reset();  // a macro that failed leaves no step
        throw;
    }
    --runDepth_;
    // Handed over once the macro is done, so the step holds the sheet as the macro left it.
    if (outermost && pendingUndo_) {
        MacroUndo step = std::move(*pendingUndo_);
        pendingUndo_.reset();
        if (undoKeeper_) undoKeeper_(std::move(step));
    }
}

void EmbeddedApplication::OnUndo(const std::string& text, const std::string& undoProcedure,
                                 const std::string& redoProcedure) {
    MacroUndo step{std::dynamic_pointer_cast<WorksheetImpl>(ActiveSheet()), std::nullopt, text,
                   trimBlanks(undoProcedure), trimBlanks(redoProcedure)};
    if (runDepth_ == 0) {
        if (undoKeeper_) undoKeeper_(std::move(step));
        return;
    }
    if (step.sheet && step.sheet == runSheet_.lock()) step.structureBefore = runStructure_;
    pendingUndo_ = std::move(step);  // the last word of the macro counts
}

void EmbeddedApplication::runFromControl(const std::string& macro, const host::ControlPtr& control) {
    auto before = actionControl_;
    actionControl_ = control;
    try {
        Run(macro);
    } catch (...) {
        actionControl_ = before;
        throw;
    }
    actionControl_ = before;
}

Variant EmbeddedApplication::International(int index) const {
    EntryLocale l = entryLocale(countryCode_);
    switch (index) {
    case host::xl::CountryCode:
    case host::xl::CountrySetting: return Variant(countryCode_);
    case host::xl::DecimalSeparator: return Variant(std::string(1, l.decimal));
    case host::xl::ThousandsSeparator: return Variant(std::string(1, l.thousands));
    case host::xl::ListSeparator: return Variant(std::string(l.decimal == ',' ? ";" : ","));
    default: raise(err::HostRefusal, "International: index " + std::to_string(index) + " is not supported.", kSource);
    }
}

std::string EmbeddedApplication::OperatingSystem() const { return "Linux"; }

void EmbeddedApplication::Quit() {
    // Closing each workbook gives its handlers and the person their say.
    auto books = books_;
    for (auto& b : books) {
        if (b->closed()) continue;
        b->Close(Variant::missing());
        if (!b->closed()) return;  // cancelled
    }
    quit_ = true;
}

host::WorkbookPtr EmbeddedApplication::ActiveWorkbook() {
    auto a = active_.lock();
    if (a && !a->closed()) return a;
    return nullptr;
}

host::WorksheetPtr EmbeddedApplication::ActiveSheet() {
    auto a = active_.lock();
    if (!a || a->closed()) return nullptr;
    return a->activeSheetImpl();
}

std::shared_ptr<host::Window> EmbeddedApplication::ActiveWindow() {
    auto a = active_.lock();
    if (!a || a->closed()) return nullptr;
    return a->Window();
}

host::RangePtr EmbeddedApplication::Selection() {
    auto a = active_.lock();
    if (!a || a->closed()) return nullptr;
    auto s = a->activeSheetImpl();
    return s->range(s->model().view().selection);
}

host::RangePtr EmbeddedApplication::Intersect(const host::RangePtr& a, const host::RangePtr& b) {
    if (!a || !b) raise(err::HostRefusal, "Intersect needs two ranges.", kSource);
    auto sa = rangeSheet(a), sb = rangeSheet(b);
    if (sa != sb) raise(err::HostRefusal, "Method 'Intersect' failed: the ranges lie on different sheets.", kSource);
    std::vector<Rect> out;
    for (const Rect& x : rangeAreas(a))
        for (const Rect& y : rangeAreas(b))
            if (x.intersects(y)) out.push_back(x.intersect(y));
    if (out.empty()) return nullptr;
    return sa->range(out);
}

host::RangePtr EmbeddedApplication::Union(const host::RangePtr& a, const host::RangePtr& b) {
    if (!a || !b) raise(err::HostRefusal, "Union needs two ranges.", kSource);
    auto sa = rangeSheet(a), sb = rangeSheet(b);
    if (sa != sb) raise(err::HostRefusal, "Method 'Union' failed: the ranges lie on different sheets.", kSource);
    std::vector<Rect> out = rangeAreas(a);
    for (const Rect& y : rangeAreas(b)) out.push_back(y);
    return sa->range(out);
}

host::CommandBars& EmbeddedApplication::CommandBars() {
    if (!commandBars_) raise(err::HostRefusal, "The application has no command bars attached.", kSource);
    return *commandBars_;
}

void EmbeddedApplication::SetStatusBar(const Variant& v) {
    // False gives the bar back to the host; anything else is shown as text.
    if (v.isBoolean() && !v.toBool()) statusBar_ = false;
    else statusBar_ = Variant(v.text());
}

void EmbeddedApplication::SetCalculation(int v) {
    if (v != host::xl::CalculationAutomatic && v != host::xl::CalculationManual && v != host::xl::CalculationSemiautomatic)
        raise(err::HostRefusal, "Unknown calculation mode " + std::to_string(v) + ".", kSource);
    calculation_ = v;
}

void EmbeddedApplication::SetCursor(int v) {
    if (v != host::xl::CursorDefault && v != host::xl::CursorWait && v != host::xl::CursorNorthwestArrow &&
        v != host::xl::CursorIBeam)
        raise(err::HostRefusal, "Unknown cursor " + std::to_string(v) + ".", kSource);
    cursor_ = v;
}

void EmbeddedApplication::SetCutCopyMode(int v) {
    if (v == 0) clipboard_.reset();  // the host only lets code end copy mode
}

void EmbeddedApplication::SetMoveAfterReturnDirection(int v) {
    if (v != host::xl::Down && v != host::xl::Up && v != host::xl::ToLeft && v != host::xl::ToRight)
        raise(err::HostRefusal, "Unknown direction " + std::to_string(v) + ".", kSource);
    moveDirection_ = v;
}

int EmbeddedApplication::messageBox(const std::string& prompt, int style, const std::string& title) {
    if (!ui_) raise(err::HostRefusal, "The application has no user interface to ask: " + prompt, kSource);
    return ui_->MsgBox(prompt, style, title.empty() ? caption_ : title);
}

Variant EmbeddedApplication::GetSaveAsFilename(const std::string& initialName, const std::string& filter,
                                               int filterIndex, const std::string& title) {
    if (!ui_) raise(err::HostRefusal, "The application has no user interface for the save dialog.", kSource);
    return ui_->GetSaveAsFilename(initialName, filter, filterIndex, title);
}

Variant EmbeddedApplication::InputBox(const std::string& prompt, const std::string& title, const Variant& defaultValue,
                                      int type) {
    if (!ui_) raise(err::HostRefusal, "The application has no user interface for the input box.", kSource);
    return ui_->ApplicationInputBox(prompt, title.empty() ? "Input" : title, defaultValue, type);
}

bool EmbeddedApplication::ShowDialog(int id, const std::vector<Variant>& args) {
    if (id != host::xl::DialogEditColor) raise(err::HostRefusal, "Dialog " + std::to_string(id) + " is not available.", kSource);
    if (!ui_) raise(err::HostRefusal, "The application has no user interface for the colour dialog.", kSource);
    auto book = ActiveWorkbook();
    if (!book) raise(err::HostRefusal, "The colour dialog needs an active workbook.", kSource);
    long index = args.empty() ? 1 : args[0].toLong();
    if (index < 1 || index > 56) raise(err::HostRefusal, "The colour dialog takes a palette index from 1 to 56.", kSource);
    long rgb = book->Colors(index);
    if (args.size() >= 4) {
        long r = args[1].toLong(), g = args[2].toLong(), b = args[3].toLong();
        if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255)
            raise(err::HostRefusal, "Red, green and blue lie between 0 and 255.", kSource);
        rgb = r + 256 * g + 65536 * b;
    }
    if (!ui_->EditColor(static_cast<int>(index), rgb)) return false;
    book->SetColors(index, rgb);
    return true;
}

void EmbeddedApplication::OnKey(const std::string& key, const Variant& procedure) {
    std::string k = keyId(key);
    if (k.empty()) raise(err::HostRefusal, "OnKey needs a key.", kSource);
    if (procedure.isMissing()) keys_.erase(k);
    else keys_[k] = Variant(procedure.text());
}

void EmbeddedApplication::addEventSink(host::ApplicationEvents* sink) {
    if (sink && std::find(sinks_.begin(), sinks_.end(), sink) == sinks_.end()) sinks_.push_back(sink);
}

void EmbeddedApplication::removeEventSink(host::ApplicationEvents* sink) { std::erase(sinks_, sink); }

void EmbeddedApplication::fireSheetChange(const host::WorksheetPtr& sheet, const host::RangePtr& target) {
    if (!enableEvents_) return;
    auto sinks = sinks_;
    for (auto* s : sinks) s->SheetChange(sheet, target);
}

void EmbeddedApplication::fireSheetUndo(const host::WorksheetPtr& sheet, const host::RangePtr& target) {
    if (!enableEvents_) return;
    auto sinks = sinks_;
    for (auto* s : sinks) s->SheetUndo(sheet, target);
}

void EmbeddedApplication::fireSheetSort(const host::WorksheetPtr& sheet, long firstRow, const std::vector<long>& order) {
    if (!enableEvents_) return;
    auto sinks = sinks_;
    for (auto* s : sinks) s->SheetSort(sheet, firstRow, order);
}

void EmbeddedApplication::fireSheetActivate(const host::WorksheetPtr& sheet) {
    if (!enableEvents_) return;
    auto sinks = sinks_;
    for (auto* s : sinks) s->SheetActivate(sheet);
}

void EmbeddedApplication::fireWorkbookActivate(const host::WorkbookPtr& wb) {
    if (!enableEvents_) return;
    auto sinks = sinks_;
    for (auto* s : sinks) s->WorkbookActivate(wb);
}

bool EmbeddedApplication::fireBeforeSave(const host::WorkbookPtr& wb, bool saveAsUI) {
    if (!enableEvents_) return false;
    bool cancel = false;
    auto sinks = sinks_;
    for (auto* s : sinks) s->WorkbookBeforeSave(wb, saveAsUI, cancel);
    return cancel;
}

bool EmbeddedApplication::fireBeforeClose(const host::WorkbookPtr& wb) {
    if (!enableEvents_) return false;
    bool cancel = false;
    auto sinks = sinks_;
    for (auto* s : sinks) s->WorkbookBeforeClose(wb, cancel);
    return cancel;
}

void EmbeddedApplication::saveWorkbook(WorkbookImpl& wb, const std::string& path, int fileFormat) {
    auto it = savers_.find(fileFormat);
    if (it == savers_.end())
        raise(err::HostRefusal,
              "The workbook cannot be saved as \"" + path + "\": the application cannot save in this format (" +
                  std::to_string(fileFormat) + ").", kSource);
    it->second(wb, wb.model(), path, fileFormat);
}

void EmbeddedApplication::setActiveWorkbook(const std::shared_ptr<WorkbookImpl>& wb, bool fireEvent) {
    auto before = active_.lock();
    active_ = wb;
    if (fireEvent && before != wb) fireWorkbookActivate(wb);
}

void EmbeddedApplication::removeWorkbook(WorkbookImpl* wb) {
    bool wasActive = active_.lock().get() == wb;
    std::erase_if(books_, [wb](const std::shared_ptr<WorkbookImpl>& b) { return b.get() == wb; });
    if (wasActive) {
        active_.reset();
        if (!books_.empty()) setActiveWorkbook(books_.back(), true);
    }
}

}  // namespace dalvera::platform
