#include <algorithm>

#include "platform/sheets/Embedded.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::platform {

namespace {
const char* kSource = "Workbook";

bool validName(const std::string& n) {
    if (n.empty() || n.size() > 255 || equalsNoCase(n, "R") || equalsNoCase(n, "C")) return false;
    unsigned char c0 = static_cast<unsigned char>(n[0]);
    if (!(std::isalpha(c0) || c0 == '_' || c0 == '\\' || c0 >= 0x80)) return false;
    for (unsigned char c : n)
        if (!(std::isalnum(c) || c == '_' || c == '.' || c == '\\' || c >= 0x80)) return false;
    // A name must not read as a cell reference.
    Rect r;
    return !parseA1(n, r) && !parseR1C1(n, r);
}
}  // namespace

// ---- Sheets -----------------------------------------------------------------

class SheetsImpl : public host::Sheets {
public:
    explicit SheetsImpl(std::shared_ptr<WorkbookImpl> b) : book_(std::move(b)) {}
    long Count() const override { return static_cast<long>(book_->sheetObjects().size()); }
    host::WorksheetPtr Item(long index) override {
        if (index < 1 || index > Count()) raiseStandard(err::SubscriptOutOfRange, kSource);
        return book_->sheetObjects()[static_cast<size_t>(index - 1)];
    }
    host::WorksheetPtr Item(const std::string& name) override {
        for (auto& s : book_->sheetObjects())
            if (equalsNoCase(s->Name(), name)) return s;
        raiseStandard(err::SubscriptOutOfRange, kSource);
    }
    host::WorksheetPtr Add(const host::WorksheetPtr& before, const host::WorksheetPtr& after) override {
        book_->requireStructureUnprotected("adding a sheet");
        long pos;
        if (before) pos = before->Index() - 1;
        else if (after) pos = after->Index();
        else pos = book_->activeSheetImpl() ? book_->activeSheetImpl()->Index() - 1 : Count();
        auto s = book_->addSheet(static_cast<int>(pos));
        if (book_->app().ActiveWorkbook().get() != book_.get()) book_->Activate();
        book_->activateSheet(s, true);
        return s;
    }

private:
    std::shared_ptr<WorkbookImpl> book_;
};

// ---- Names --------------------------------------------------------------------

class NameImpl : public host::Name {
public:
    NameImpl(std::shared_ptr<WorkbookImpl> b, std::string n) : book_(std::move(b)), name_(std::move(n)) {}
    NameDef& def() const {
        for (auto& d : book_->model().names_)
            if (equalsNoCase(d.name, name_)) return d;
        raise(err::ObjectRequired, "The name " + name_ + " has been deleted.", kSource);
    }
    std::string NameText() const override { return def().name; }
    std::string RefersTo() const override { return book_->model().refersToA1(def()); }
    std::string RefersToR1C1() const override { return book_->model().refersToR1C1(def()); }
    host::RangePtr RefersToRange() override {
        auto r = book_->nameRange(name_);
        if (!r) raise(err::HostRefusal, "The name " + name_ + " does not refer to cells.", kSource);
        return r;
    }
    bool Visible() const override { return def().visible; }
    void Delete() override {
        def();
        std::erase_if(book_->model().names_, [&](const NameDef& d) { return equalsNoCase(d.name, name_); });
        book_->markChanged();
    }

private:
    std::shared_ptr<WorkbookImpl> book_;
    std::string name_;
};

class NamesImpl : public host::Names {
public:
    explicit NamesImpl(std::shared_ptr<WorkbookImpl> b) : book_(std::move(b)) {}
    long Count() const override { return static_cast<long>(book_->model().names().size()); }
    host::NamePtr Item(long index) override {
        if (index < 1 || index > Count()) raise(err::HostRefusal, "There is no name number " + std::to_string(index) + ".", kSource);
        return std::make_shared<NameImpl>(book_, book_->model().names()[static_cast<size_t>(index - 1)].name);
    }
    host::NamePtr Item(const std::string& name) override {
        if (!Exists(name)) raise(err::HostRefusal, "The name " + name + " does not exist.", kSource);
        return std::make_shared<NameImpl>(book_, name);
    }
    bool Exists(const std::string& name) const override {
        for (auto& d : book_->model().names())
            if (equalsNoCase(d.name, name)) return true;
        return false;
    }
    host::NamePtr Add(const std::string& name, const std::string& refersTo) override { return add(name, refersTo, false); }
    host::NamePtr AddR1C1(const std::string& name, const std::string& refersToR1C1) override {
        return add(name, refersToR1C1, true);
    }

private:
    host::NamePtr add(const std::string& name, const std::string& formula, bool r1c1) {
        if (!validName(name))
            raise(err::HostRefusal, "The name \"" + name + "\" is not valid: use letters, digits, _ and ., start with a letter, and do not write a cell reference.", kSource);
        NameDef d;
        d.name = name;
        std::string f = trimBlanks(formula);
        if (f.empty()) raise(err::HostRefusal, "The name " + name + " needs a reference.", kSource);
        if (f[0] != '=') f = "=" + f;
        // "=Sheet!ref" or "='Sheet name'!ref" points at cells; anything else stays a formula.
        std::string body = f.substr(1);
        auto bang = body.rfind('!');
        bool isRange = false;
        if (bang != std::string::npos) {
            std::string sheet = body.substr(0, bang), ref = body.substr(bang + 1);
            if (sheet.size() >= 2 && sheet.front() == '\'' && sheet.back() == '\'') sheet = sheet.substr(1, sheet.size() - 2);
            Rect r;
            bool parsed = r1c1 ? parseR1C1(ref, r) : parseA1(ref, r);
            if (parsed) {
                const SheetModel* target = nullptr;
                for (auto& s : book_->model().sheets())
                    if (equalsNoCase(s->name(), sheet)) target = s.get();
                if (!target) raise(err::HostRefusal, "The name " + name + " refers to the sheet \"" + sheet + "\", which does not exist.", kSource);
                d.sheetId = target->id();
                d.area = r;
                isRange = true;
            }
        }
        if (!isRange) {
            if (bang != std::string::npos)
                raise(err::HostRefusal, "The reference \"" + formula + "\" of the name " + name + " is not valid.", kSource);
            d.formula = f;
        }
        auto& names = book_->model().names_;
        auto it = std::find_if(names.begin(), names.end(), [&](const NameDef& n) { return equalsNoCase(n.name, name); });
        if (it != names.end()) *it = d;
        else names.push_back(d);
        book_->markChanged();
        return std::make_shared<NameImpl>(book_, name);
    }
    std::shared_ptr<WorkbookImpl> book_;
};

// ---- Window -------------------------------------------------------------------------

class WindowImpl : public host::Window {
public:
    explicit WindowImpl(std::shared_ptr<WorkbookImpl> b) : book_(std::move(b)) {}
    bool DisplayHeadings() const override { return view().displayHeadings; }
    void SetDisplayHeadings(bool v) override { view().displayHeadings = v; }
    bool DisplayZeros() const override { return view().displayZeros; }
    void SetDisplayZeros(bool v) override { view().displayZeros = v; }
    bool DisplayGridlines() const override { return view().displayGridlines; }
    void SetDisplayGridlines(bool v) override { view().displayGridlines = v; }
    bool FreezePanes() const override { return view().frozen; }
    void SetFreezePanes(bool v) override {
        SheetView& w = view();
        if (!v) {
            w.frozen = false, w.splitRow = w.splitColumn = 0;
            return;
        }
        if (w.frozen) return;
        // Frozen above and left of the active cell, as far as it lies below the scroll position.
        w.splitRow = std::max(0, w.activeRow - w.scrollRow);
        w.splitColumn = std::max(0, w.activeColumn - w.scrollColumn);
        if (w.splitRow == 0 && w.splitColumn == 0) {
            // The host then freezes at the middle of the window; we use a fixed pane.
            w.splitRow = 10, w.splitColumn = 5;
        }
        w.frozen = true;
    }
    long SplitRow() const override { return view().splitRow; }
    long SplitColumn() const override { return view().splitColumn; }
    long ScrollRow() const override { return view().scrollRow; }
    void SetScrollRow(long v) override {
        if (v < 1 || v > kMaxRows) raise(err::HostRefusal, "ScrollRow lies between 1 and the last row.", kSource);
        view().scrollRow = static_cast<int32_t>(v);
    }
    long ScrollColumn() const override { return view().scrollColumn; }
    void SetScrollColumn(long v) override {
        if (v < 1 || v > kMaxCols) raise(err::HostRefusal, "ScrollColumn lies between 1 and the last column.", kSource);
        view().scrollColumn = static_cast<int32_t>(v);
    }
    void SmallScroll(long down, long up, long toRight, long toLeft) override {
        SheetView& w = view();
        w.scrollRow = static_cast<int32_t>(std::clamp<long>(w.scrollRow + down - up, 1, kMaxRows));
        w.scrollColumn = static_cast<int32_t>(std::clamp<long>(w.scrollColumn + toRight - toLeft, 1, kMaxCols));
    }
    host::WorksheetPtr ActiveSheet() override { return book_->activeSheetImpl(); }

private:
    SheetView& view() const {
        auto s = book_->activeSheetImpl();
        if (!s) raise(err::HostRefusal, "The window shows no sheet.", kSource);
        return const_cast<SheetView&>(s->model().view());
    }
    std::shared_ptr<WorkbookImpl> book_;
};

// ---- AutoFilter objects -------------------------------------------------------------------

class FilterImpl : public host::Filter {
public:
    FilterImpl(std::shared_ptr<WorksheetImpl> s, size_t i) : sheet_(std::move(s)), index_(i) {}
    bool On() const override { return get().on; }
    Variant Criteria1() const override {
        if (!get().on) raise(err::HostRefusal, "The filter is not on: it has no criteria.", kSource);
        return get().criteria1;
    }
    Variant Criteria2() const override {
        if (!get().on || get().criteria2.isMissing())
            raise(err::HostRefusal, "The filter has no second criterion.", kSource);
        return get().criteria2;
    }
    int Operator() const override { return get().on && !get().criteria2.isMissing() ? get().op : 0; }

private:
    const FilterCriteria& get() const {
        const auto& af = sheet_->model().autoFilter();
        if (!af || index_ >= af->columns.size()) raise(err::ObjectRequired, "The AutoFilter has been removed.", kSource);
        return af->columns[index_];
    }
    std::shared_ptr<WorksheetImpl> sheet_;
    size_t index_;
};

class FiltersImpl : public host::Filters {
public:
    explicit FiltersImpl(std::shared_ptr<WorksheetImpl> s) : sheet_(std::move(s)) {}
    long Count() const override {
        const auto& af = sheet_->model().autoFilter();
        return af ? static_cast<long>(af->columns.size()) : 0;
    }
    std::shared_ptr<host::Filter> Item(long i) override {
        if (i < 1 || i > Count()) raiseStandard(err::SubscriptOutOfRange, kSource);
        return std::make_shared<FilterImpl>(sheet_, static_cast<size_t>(i - 1));
    }

private:
    std::shared_ptr<WorksheetImpl> sheet_;
};

class AutoFilterImpl : public host::AutoFilter {
public:
    explicit AutoFilterImpl(std::shared_ptr<WorksheetImpl> s) : sheet_(std::move(s)) {}
    host::RangePtr Range() override {
        const auto& af = sheet_->model().autoFilter();
        if (!af) raise(err::ObjectRequired, "The AutoFilter has been removed.", kSource);
        return sheet_->range(af->range);
    }
    std::shared_ptr<host::Filters> Filters() override { return std::make_shared<FiltersImpl>(sheet_); }
    void ShowAllData() override { sheet_->ShowAllData(); }

private:
    std::shared_ptr<WorksheetImpl> sheet_;
};

std::shared_ptr<host::AutoFilter> WorksheetImpl::AutoFilter() {
    if (!model().autoFilter_) return nullptr;
    return std::make_shared<AutoFilterImpl>(shared_from_this());
}

// ---- Workbook ---------------------------------------------------------------------------

WorkbookImpl::WorkbookImpl(EmbeddedApplication& app, std::string name) : app_(&app), appRef_(app.weak_from_this()) {
    model_.name_ = std::move(name);
}

WorkbookImpl::~WorkbookImpl() {
    // Ranges that outlive the workbook then fail cleanly instead of reaching freed state.
    for (auto& s : sheetObjs_) s->markDeleted();
}

EmbeddedApplication& WorkbookImpl::app() const {
    if (appRef_.expired()) raise(err::ObjectRequired, "The application has ended.", kSource);
    return *app_;
}

void WorkbookImpl::markChanged() {
    saved_ = false;
    if (!appRef_.expired()) app_->bumpRevision();
}

void WorkbookImpl::requireOpen() const {
    if (closed_) raise(err::ObjectRequired, "The workbook has been closed.", kSource);
}

std::shared_ptr<WorksheetImpl> WorkbookImpl::sheetObject(const SheetModel* m) const {
    for (auto& s : sheetObjs_)
        if (&s->model() == m) return s;
    return nullptr;
}

std::shared_ptr<WorksheetImpl> WorkbookImpl::sheetById(uint32_t id) const {
    return sheetObject(model_.sheetById(id));
}

std::shared_ptr<WorksheetImpl> WorkbookImpl::addSheet(int position) {
    requireOpen();
    position = std::clamp(position, 0, static_cast<int>(sheetObjs_.size()));
    auto m = std::make_unique<SheetModel>(model_, model_.nextSheetId_++);
    // "Sheet<n>" with the first free number, in the host's language.
    const std::string word = entryLocale(app().countryCode()).dutch ? "Blad" : "Sheet";
    for (int n = 1;; ++n) {
        std::string name = word + std::to_string(n);
        bool taken = false;
        for (auto& s : model_.sheets_) taken = taken || equalsNoCase(s->name_, name);
        if (!taken) {
            m->name_ = name;
            break;
        }
    }
    auto obj = std::make_shared<WorksheetImpl>(*this, *m);
    int active = model_.activeSheet_;
    model_.sheets_.insert(model_.sheets_.begin() + position, std::move(m));
    sheetObjs_.insert(sheetObjs_.begin() + position, obj);
    if (position <= active && sheetObjs_.size() > 1) model_.activeSheet_ = active + 1;
    markChanged();
    return obj;
}

void WorkbookImpl::removeSheet(WorksheetImpl& sheet) {
    auto active = activeSheetImpl();
    size_t i = 0;
    while (i < sheetObjs_.size() && sheetObjs_[i].get() != &sheet) ++i;
    if (i == sheetObjs_.size()) return;
    uint32_t id = sheet.model().id();
    // Names that pointed at the sheet lose their cells.
    for (auto& n : model_.names_)
        if (n.sheetId == id) n.refError = true, n.sheetId = 0, n.formula = "=#REF!";
    if (app().clipboard() && app().clipboard()->sheet.get() == &sheet) app().setClipboard(std::nullopt);
    sheet.markDeleted();
    sheetObjs_.erase(sheetObjs_.begin() + static_cast<long>(i));
    model_.sheets_.erase(model_.sheets_.begin() + static_cast<long>(i));
    if (active.get() == &sheet) {
        // The next visible sheet becomes active.
        for (size_t k = 0; k < sheetObjs_.size(); ++k) {
            size_t j = (std::min(i, sheetObjs_.size() - 1) + k) % sheetObjs_.size();
            if (sheetObjs_[j]->Visible() == host::xl::SheetVisible) {
                activateSheet(sheetObjs_[j], app().ActiveWorkbook().get() == this);
                break;
            }
        }
    } else if (active) {
        model_.activeSheet_ = static_cast<int>(active->Index() - 1);
    }
    markChanged();
}

void WorkbookImpl::requireStructureUnprotected(const char* what) const {
    if (model_.structureProtected_)
        raise(err::HostRefusal, std::string("The workbook's structure is protected: ") + what + " is not possible.", kSource);
}

std::shared_ptr<WorksheetImpl> WorkbookImpl::activeSheetImpl() const {
    if (sheetObjs_.empty()) return nullptr;
    return sheetObjs_[static_cast<size_t>(std::clamp(model_.activeSheet_, 0, static_cast<int>(sheetObjs_.size()) - 1))];
}

void WorkbookImpl::activateSheet(const std::shared_ptr<WorksheetImpl>& sheet, bool fireEvent) {
    auto before = activeSheetImpl();
    model_.activeSheet_ = static_cast<int>(sheet->Index() - 1);
    if (fireEvent && before != sheet) app().fireSheetActivate(sheet);
}

void WorkbookImpl::shiftNames(uint32_t sheetId, bool rows, int32_t at, int32_t n) {
    for (auto& d : model_.names_) {
        if (d.sheetId != sheetId || d.refError) continue;
        int32_t& a1 = rows ? d.area.r1 : d.area.c1;
        int32_t& a2 = rows ? d.area.r2 : d.area.c2;
        int32_t max = rows ? kMaxRows : kMaxCols;
        if (n > 0) {
            if (a1 >= at) a1 = std::min<int64_t>(int64_t(a1) + n, max);
            if (a2 >= at) a2 = std::min<int64_t>(int64_t(a2) + n, max);
        } else {
            int32_t gone = -n, end = at + gone - 1;
            int32_t b1 = a1 < at ? a1 : a1 > end ? a1 - gone : at;
            int32_t b2 = a2 < at ? a2 : a2 > end ? a2 - gone : at - 1;
            if (b2 < b1) {
                d.refError = true;  // every cell of the name was deleted
                d.formula = "=#REF!";
            } else {
                a1 = b1, a2 = b2;
            }
        }
    }
}

host::RangePtr WorkbookImpl::nameRange(const std::string& name) {
    for (auto& d : model_.names_) {
        if (!equalsNoCase(d.name, name)) continue;
        if (d.refError || !d.sheetId) return nullptr;
        auto s = sheetById(d.sheetId);
        return s ? s->range(d.area) : nullptr;
    }
    return nullptr;
}

std::string WorkbookImpl::FullName() const {
    if (model_.path_.empty()) return model_.name_;
    return model_.path_ + "/" + model_.name_;
}

void WorkbookImpl::Activate() {
    requireOpen();
    app().setActiveWorkbook(shared_from_this(), true);
}

void WorkbookImpl::closeNow() {
    closed_ = true;
    for (auto& s : sheetObjs_) s->markDeleted();
    if (app().clipboard()) {
        for (auto& s : sheetObjs_)
            if (app().clipboard()->sheet == s) app().setClipboard(std::nullopt);
    }
    app().removeWorkbook(this);
}

void WorkbookImpl::Close(const Variant& saveChanges) {
    requireOpen();
    auto self = shared_from_this();
    if (app().fireBeforeClose(self)) return;  // a handler cancelled; the host's Close then does nothing
    if (saveChanges.isMissing()) {
        if (!saved_ && app().DisplayAlerts()) {
            int a = app().messageBox("Do you want to save the changes you made to '" + model_.name_ + "'?",
                                     host::mb::YesNoCancel + host::mb::Exclamation);
            if (a == host::answer::Cancel) return;
            if (a == host::answer::Yes) Save();
        }
    } else if (saveChanges.toBool()) {
        Save();
    }
    closeNow();
}

int fileFormatOfPath(const std::string& path, int current) {
    auto dot = path.rfind('.');
    auto slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return current;
    std::string ext = lowerAscii(path.substr(dot + 1));
    if (ext == "xlsx") return host::xl::OpenXMLWorkbook;
    if (ext == "xls") return host::xl::Excel8;
    if (ext == "csv") return host::xl::CSV;
    if (ext == "txt") return host::xl::CurrentPlatformText;
    if (ext == "htm" || ext == "html") return host::xl::Html;
    if (ext == "mht" || ext == "mhtml") return host::xl::WebArchive;
    if (ext == "xml") return host::xl::XMLSpreadsheet;
    return current;
}

void WorkbookImpl::SaveAs(const std::string& fileName, const Variant& fileFormat) {
    requireOpen();
    if (trimBlanks(fileName).empty()) raise(err::HostRefusal, "SaveAs needs a file name.", kSource);
    int format = fileFormat.isMissing() ? fileFormatOfPath(fileName, fileFormat_) : fileFormat.toLong();
    if (format == host::xl::WorkbookNormal) format = host::xl::Excel8;
    auto self = shared_from_this();
    if (app().fireBeforeSave(self, false))
        raise(err::HostRefusal, "Method 'SaveAs' of object 'Workbook' failed: the save was cancelled.", kSource);
    app().saveWorkbook(*this, fileName, format);
    // The workbook now carries the file's name and folder.
    std::string path = fileName;
    std::replace(path.begin(), path.end(), '\\', '/');
    auto slash = path.rfind('/');
    model_.path_ = slash == std::string::npos ? std::string() : path.substr(0, slash);
    model_.name_ = slash == std::string::npos ? path : path.substr(slash + 1);
    fileFormat_ = format;
    saved_ = true;
}

void WorkbookImpl::Save() {
    requireOpen();
    if (model_.path_.empty() && model_.name_.find('.') == std::string::npos) {
        // Never saved: the host asks for a name first.
        Variant chosen = app().GetSaveAsFilename(model_.name_ + ".xlsx", {}, 1, {});
        if (!chosen.isString()) raise(err::HostRefusal, "The workbook was not saved: no file name was chosen.", kSource);
        SaveAs(chosen.stringRef(), Variant::missing());
        return;
    }
    auto self = shared_from_this();
    if (app().fireBeforeSave(self, false)) return;
    app().saveWorkbook(*this, FullName(), fileFormat_);
    saved_ = true;
}

std::shared_ptr<host::Sheets> WorkbookImpl::Sheets() {
    requireOpen();
    return std::make_shared<SheetsImpl>(shared_from_this());
}

host::WorksheetPtr WorkbookImpl::ActiveSheet() {
    requireOpen();
    return activeSheetImpl();
}

void WorkbookImpl::Protect(const std::string& password, bool structure, bool windows) {
    requireOpen();
    if (model_.structureProtected_ || model_.windowsProtected_) {
        if (password != model_.structurePassword_)
            raise(err::HostRefusal, "The workbook is already protected with another password.", kSource);
    }
    model_.structureProtected_ = structure;
    model_.windowsProtected_ = windows;
    model_.structurePassword_ = password;
    markChanged();
}

void WorkbookImpl::Unprotect(const std::string& password) {
    requireOpen();
    if (!model_.structureProtected_ && !model_.windowsProtected_) return;
    if (password != model_.structurePassword_)
        raise(err::HostRefusal, "The password you supplied is not correct. Verify that the CAPS LOCK key is off and be sure to use the correct capitalization.", kSource);
    model_.structureProtected_ = model_.windowsProtected_ = false;
    model_.structurePassword_.clear();
    markChanged();
}

std::shared_ptr<host::Names> WorkbookImpl::Names() {
    requireOpen();
    return std::make_shared<NamesImpl>(shared_from_this());
}

Variant WorkbookImpl::BuiltinDocumentProperties(const std::string& name) const {
    for (auto& [k, v] : model_.properties_)
        if (equalsNoCase(k, name)) return v;
    raise(err::InvalidCall, "There is no built-in document property \"" + name + "\".", kSource);
}

void WorkbookImpl::SetBuiltinDocumentProperties(const std::string& name, const Variant& value) {
    for (auto& [k, v] : model_.properties_)
        if (equalsNoCase(k, name)) {
            v = value;
            markChanged();
            return;
        }
    raise(err::InvalidCall, "There is no built-in document property \"" + name + "\".", kSource);
}

long WorkbookImpl::Colors(long index) const {
    if (index < 1 || index > 56) raiseStandard(err::SubscriptOutOfRange, kSource);
    return model_.palette_[static_cast<size_t>(index - 1)];
}

void WorkbookImpl::SetColors(long index, long rgb) {
    if (index < 1 || index > 56) raiseStandard(err::SubscriptOutOfRange, kSource);
    if (rgb < 0 || rgb > 0xFFFFFF) raise(err::HostRefusal, "A colour is a number from 0 to 16777215.", kSource);
    model_.palette_[static_cast<size_t>(index - 1)] = static_cast<int32_t>(rgb);
    markChanged();
}

std::shared_ptr<host::Window> WorkbookImpl::Window() {
    requireOpen();
    return std::make_shared<WindowImpl>(shared_from_this());
}

const WorkbookModel& workbookModel(const host::Workbook& workbook) {
    auto* w = dynamic_cast<const WorkbookImpl*>(&workbook);
    if (!w) raise(err::TypeMismatch, "The workbook does not belong to the embedded application.", kSource);
    return w->model();
}

const SheetModel& sheetModel(const host::Worksheet& sheet) {
    auto* s = dynamic_cast<const WorksheetImpl*>(&sheet);
    if (!s) raise(err::TypeMismatch, "The worksheet does not belong to the embedded application.", kSource);
    return s->model();
}

}  // namespace dalvera::platform
