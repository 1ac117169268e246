#include "app/clsApplication.h"

#include <cctype>

#include "data/IDS.h"
#include "data/clsDSAccess.h"
#include "data/clsDSSQLServer.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "menus/clsCommandBar.h"
#include "menus/clsMenuBarControl.h"
#include "runtime/Text.h"
#include "settings/clsRegistry.h"
#include "settings/frmSettings.h"
#include "sheet/clsForm.h"
#include "sql/clsCommand.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
[[noreturn]] void noSuchVersion() { raise(err::Critical, "No such version!"); }

// The edition word of a database kind, used in product names and message 13.
std::string editionWord(int kind) { return kind == 1 ? "Server" : "Desk"; }


// Restores the host after a command that switched it off, whatever happens.
void restoreHost() {
    auto& app = HostApp();
    app.SetCursor(host::xl::CursorDefault);
    app.SetScreenUpdating(true);
    app.SetEnableEvents(true);
    app.SetDisplayAlerts(true);
    app.SetStatusBar(Variant(GetMessage(6)));
}
}  // namespace

std::string ManualPage(const std::string& page) {
    auto& fs = host::fileSystem();
    return fs.BuildPath(fs.BuildPath(host::shell().ComponentFolder(), "help"), page);
}

std::string ManualIndex() { return IsDutch() ? "nl/index.html" : "index.html"; }

std::string FileUrl(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

std::string ComponentVersionText() {
    host::ComponentVersion v = host::shell().Version();
    return std::to_string(v.Major) + "." + std::to_string(v.Minor);
}

clsApplication::clsApplication()
    : form_(std::make_unique<clsForm>()),
      command_(std::make_unique<clsCommand>()),
      menuBar_(std::make_unique<clsMenuBarControl>()),
      commandBar_(std::make_unique<clsCommandBar>()),
      registry_(std::make_unique<clsRegistry>(host::registry())),
      aux_(std::make_unique<clsAux>()) {}

clsApplication::~clsApplication() {
    settings_.reset();
    form_.reset();
    command_.reset();
    menuBar_.reset();
    commandBar_.reset();
    registry_.reset();
    aux_.reset();
}

ICB& clsApplication::MenuBar() { return *menuBar_; }
ICB& clsApplication::CommandBar() { return *commandBar_; }

int16_t clsApplication::VariantCode() const {
    if (!goWorkbook) raise(91, "Object variable or With block variable not set");
    Variant v = goWorkbook->BuiltinDocumentProperties("Revision Number");
    int32_t code = v.toLong();
    if (code < -32768 || code > 32767) raiseStandard(err::Overflow);
    return static_cast<int16_t>(code);
}

int clsApplication::DbKind() const {
    switch (VariantCode()) {
    case 11: case 12: return 0;
    case 21: case 22: return 1;
    default: noSuchVersion();
    }
}

std::string clsApplication::GetDbKindName(int kind) const {
    if (kind == 0) return "MS Access";
    // A server names itself: the same variant reaches more than one kind.
    if (kind == 1 && dataSource_ && !dataSource_->KindName().empty()) return dataSource_->KindName();
    if (kind == 1) return "MS SQL Server";
    return {};
}

std::string clsApplication::ProductName() const {
    switch (VariantCode()) {
    case 11: return GetTitle() + " " + editionWord(0) + " Classic";
    case 12: return GetTitle() + " " + editionWord(0);
    case 21: return GetTitle() + " " + editionWord(1) + " Classic";
    case 22: return GetTitle() + " " + editionWord(1);
    default: noSuchVersion();
    }
}

double clsApplication::HostVersion() const {
    Variant v(HostApp().Version());
    return v.isNumeric() ? v.toDouble() : 0;
}

bool clsApplication::HasTableSheet() const { return dataSource_ != nullptr && form_->HasMatrix(); }

void clsApplication::StartUp() {
    menuBar_->AddObject();
    if (IsFirstRun())
        InitFirstRun();
    else
        commandBar_->ShowToolbar(false);
    switch (VariantCode()) {
    case 11: case 21:
        if (HostVersion() > 11) {
            menuBar_->SetVisible(true);
            commandBar_->SetVisible(false);
        }
        break;
    case 12: case 22:
        menuBar_->SetVisible(false);
        commandBar_->SetVisible(false);
        break;
    default:
        noSuchVersion();
    }
}

bool clsApplication::IsFirstRun() { return aux_->ReadSetting(setting::Version).text().empty(); }

void clsApplication::InitFirstRun() {
    commandBar_->ShowToolbar(true);
    aux_->WriteSetting(1, setting::Version, Variant(ComponentVersionText()));
}

void clsApplication::ShowFirstMessage() {
    std::string hint;
    switch (VariantCode()) {
    case 11: case 21:
        if (HostVersion() > 11) {
            if (aux_->IsMessageEnabled(setting::ShowSelectDb)) {
                std::string arg = GetTitle() + " " + editionWord(DbKind());
                int answer = ShowMessage(GetMessage(13, Variant(arg)), host::mb::YesNo | host::mb::Exclamation);
                if (answer == host::answer::Yes) OpenUrl(ManualPage(DbKind() == 1 ? "ribbon-server.html" : "ribbon-desk.html"));
            }
            hint = GetMessage(14);
        } else {
            hint = GetMessage(11);
        }
        break;
    case 12: case 22:
        hint = GetMessage(12);
        break;
    default:
        noSuchVersion();
    }
    aux_->ShowOptionalMessage(setting::ShowSelectDb, hint);
}

void clsApplication::GetDatabase() {
    auto& app = HostApp();
    try {
        if (form_->HasChanges()) {
            if (ShowMessage(GetMessage(17), host::mb::YesNo | host::mb::Question) == host::answer::No) return;
        }
        if (!OpenDataSource()) {
            app.SetCursor(host::xl::CursorDefault);
            return;
        }
        app.SetStatusBar(Variant(GetMessage(5)));
        app.SetScreenUpdating(false);
        app.SetEnableEvents(false);
        app.SetDisplayAlerts(false);
        if (!form_->Sheet()) {
            host::WorkbookPtr book = app.Workbooks().Add();
            auto sheets = book->Worksheets();
            host::WorksheetPtr sheet = sheets->Item(1);
            form_->SetSheet(sheet);
            sheet->SetEnableSelection(host::xl::UnlockedCells);
            sheet->Cells()->Interior()->SetColor(aux_->SettingColor(setting::ColorFormBack));
            sheet->SetName(GetProductName());
            app.ActiveWindow()->SetDisplayHeadings(aux_->ReadSettingOrDefault(setting::DisplayHeadings).text() == "True");
            if (sheets->Count() == 1) {
                form_->SetListSheet(sheets->Add(nullptr, sheet));
            } else {
                form_->SetListSheet(sheets->Item(2));
                while (sheets->Count() > 2) sheets->Item(3)->Delete();
            }
            SetOtherSheetsVisible(host::xl::SheetVeryHidden);
            book->SaveAs(GetWorkbookFileName());
            ShowRowCommands(*menuBar_, true);
            ShowRowCommands(*commandBar_, true);
            aux_->EnableControl(*menuBar_, tag::CloseApplication, true);
            aux_->EnableControl(*commandBar_, tag::CloseApplication, true);
        } else {
            form_->Sheet()->Parent()->Unprotect(clsAux::ProtectionPassword());
            form_->Sheet()->Unprotect(clsAux::ProtectionPassword());
            form_->ClearSheet();
        }
        FillObjectMenus();
        app.SetCursor(host::xl::CursorDefault);
        std::string hint;
        if (dataSource_->TableNames().Count() > 0) {
            if (HostVersion() <= 11) {
                hint = GetMessage(24);
            } else {
                switch (VariantCode()) {
                case 11: case 21: hint = GetMessage(24); break;
                case 12: case 22: hint = GetMessage(25); break;
                default: noSuchVersion();
                }
            }
        } else {
            hint = GetMessage(26);
        }
        aux_->ShowOptionalMessage(setting::ShowSelectTable, hint);
    } catch (const Error& e) {
        CurrentErrorScope current(e);
        switch (e.number()) {
        case 5: ShowMessage(GetMessage(216), host::mb::Exclamation); break;
        case err::Cancelled: break;
        case err::Information: ShowMessage(e.description(), host::mb::Information); break;
        case err::Exclamation: ShowMessage(e.description(), host::mb::Exclamation); break;
        default: ShowMessage(GetMessage(2), host::mb::Critical); break;
        }
    }
    // Closing block: the database stays chosen; later commands connect again.
    try {
        if (dataSource_) {
            dataSource_->DisconnectDAO();
            dataSource_->DisconnectADO();
        }
        if (form_->Sheet()) {
            host::ProtectOptions options;
            options.allowFormattingColumns = true;
            options.allowFiltering = true;
            form_->Sheet()->Protect(clsAux::ProtectionPassword(), options);
            form_->Sheet()->Parent()->Protect(clsAux::ProtectionPassword());
        }
    } catch (const Error&) {
        restoreHost();
        throw;
    }
    restoreHost();
}

bool clsApplication::OpenDataSource() {
    std::shared_ptr<IDS> source;
    switch (DbKind()) {
    case 0: source = std::make_shared<clsDSAccess>(); break;
    case 1: source = std::make_shared<clsDSSQLServer>(); break;
    default: noSuchVersion();
    }
    auto* access = dynamic_cast<clsDSAccess*>(source.get());
    if (!openPath_.empty() && access) access->SetDbPath(openPath_);
    else source->GetConnectionInfo();
    openPath_.clear();
    if (source->Connector().empty()) return false;
    try {
        if (!source->ConnectDAO()) return false;
        source->ConnectADO();
    } catch (const Error& e) {
        // The attempt failed: the previous database stays the current one.
        try {
            source->DisconnectADO();
            source->DisconnectDAO();
        } catch (const Error&) {
        }
        if (e.number() == 3031 || e.number() == 3029) return false;
        ShowMessage(aux_->CleanOdbcMessage(e.description()), host::mb::Information);
        return false;
    }
    CloseDataSource();
    form_->Clear();
    dataSource_ = source;
    return true;
}

void clsApplication::CloseDataSource() { dataSource_.reset(); }

std::string clsApplication::BuildWorkbookFileName(int16_t i) {
    std::string name = GetProductName();
    if (i > 0) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%02d", static_cast<int>(i));
        name += digits;
    }
    switch (VariantCode()) {
    case 11: case 21: name += ".xls"; break;
    case 12: case 22: name += ".xlsx"; break;
    default: noSuchVersion();
    }
    return host::fileSystem().BuildPath(host::shell().TempFolder(), name);
}

bool clsApplication::FileExists(const std::string& path) { return host::fileSystem().FileExists(path); }

bool clsApplication::IsWorkbookOpen(const std::string& name) {
    auto& books = HostApp().Workbooks();
    for (long k = 1; k <= books.Count(); ++k)
        if (equalsNoCase(books.Item(k)->Name(), name)) return true;
    return false;
}

std::string clsApplication::GetWorkbookFileName() {
    auto next = [](int16_t i) -> int16_t {
        if (i == 32767) raiseStandard(err::Overflow);
        return static_cast<int16_t>(i + 1);
    };
    int16_t i = 0;
    std::string path = BuildWorkbookFileName(i);
    if (FileExists(path)) {
        try {
            host::fileSystem().DeleteFile(path);
        } catch (const Error& e) {
            if (e.number() == err::PermissionDenied) {
                // In use: try the numbered names from 02 on until one is free.
                i = 1;
                while (true) {
                    i = next(i);
                    path = BuildWorkbookFileName(i);
                    if (!FileExists(path)) break;
                    try {
                        host::fileSystem().DeleteFile(path);
                        break;
                    } catch (const Error& again) {
                        if (again.number() != err::PermissionDenied) break;
                    }
                }
            }
        }
    }
    while (IsWorkbookOpen(host::fileSystem().GetFileName(path))) {
        i = next(i);
        path = BuildWorkbookFileName(i);
    }
    return path;
}

void clsApplication::SetOtherSheetsVisible(int state) {
    host::WorksheetPtr table = form_->Sheet();
    auto sheets = table->Parent()->Sheets();
    for (long k = 1; k <= sheets->Count(); ++k) {
        auto sheet = sheets->Item(k);
        if (sheet != table) sheet->SetVisible(state);
    }
}

void clsApplication::ShowRowCommands(ICB& bar, bool visible) {
    for (const char* t : {tag::RowAdd, tag::RowUpdate, tag::RowDelete, tag::RefreshData}) {
        auto c = bar.FindControlByTag(t);
        if (c) c->SetVisible(visible);
    }
}

void clsApplication::ShowSettings() {
    if (HasTableSheet() && form_->Sheet()->FilterMode()) {
        int answer = ShowMessage(GetMessage(190), host::mb::YesNo | host::mb::Question, GetTitle());
        if (answer != host::answer::Yes) return;
        form_->Sheet()->SetAutoFilterMode(false);
    }
    if (!settings_) settings_ = std::make_unique<frmSettings>();
    host::ui().ShowForm(*settings_);
}

void clsApplication::ConvertDatabase() {
    try {
        if (!dataSource_ || !dataSource_->IsReadOnly()) {
            ShowMessage(GetMessage(253), host::mb::Information);
            return;
        }
        const std::string source = dataSource_->Connector();
        auto dot = source.find_last_of('.');
        auto slash = source.find_last_of("/\\");
        std::string proposed = (dot != std::string::npos && (slash == std::string::npos || dot > slash) ? source.substr(0, dot) : source) + ".sqlite";
        Variant chosen = host::ui().GetSaveAsFilename(proposed, GetMessage(254), 1, GetMessage(256));
        if (chosen.type() == VarType::Boolean || chosen.text().empty()) return;
        const std::string target = chosen.text();
        // Nothing the person has is overwritten: the copy needs a new name.
        if (host::fileSystem().FileExists(target)) {
            ShowMessage(GetMessage(257, Variant(target)), host::mb::Exclamation);
            return;
        }
        HostApp().SetCursor(host::xl::CursorWait);
        long tables = 0;
        try {
            tables = host::daoProvider().ThreadEngine()->CompactDatabase(source, target);
        } catch (...) {
            HostApp().SetCursor(host::xl::CursorDefault);
            throw;
        }
        HostApp().SetCursor(host::xl::CursorDefault);
        ShowMessage(GetMessage(258, Variant(target), Variant(tables)), host::mb::Information);
        openPath_ = target;
        GetDatabase();
    } catch (const Error& e) {
        HostApp().SetCursor(host::xl::CursorDefault);
        // The reader's own text says which file and why; the copy was not made.
        ShowMessage(GetMessage(1, Variant(e.description()), Variant(e.number())), host::mb::Exclamation);
    }
}

void clsApplication::ShowHelp() {
    std::string manual = ManualPage(ManualIndex());
    // A manual that is really missing is the one case for "can not be found".
    if (!host::fileSystem().FileExists(manual)) {
        ShowMessage(GetMessage(194), host::mb::Exclamation);
        return;
    }
    try {
        host::shell().OpenDocument(manual);
    } catch (const Error& e) {
        if (e.number() == err::FileNotFound)
            ShowMessage(GetMessage(194), host::mb::Exclamation);
        else
            ShowMessage(GetMessage(240, Variant(manual)), host::mb::Exclamation);
    }
}

void clsApplication::OpenUrl(const std::string& address) {
    try {
        host::shell().OpenDocument(address);
    } catch (const Error& e) {
        // A page of the manual on this disk: the internet has nothing to do with it.
        const bool local = address.rfind("file://", 0) == 0 || address.find("://") == std::string::npos;
        if (local && e.number() != err::FileNotFound) {
            ShowMessage(GetMessage(240, Variant(address)), host::mb::Exclamation);
            return;
        }
        ShowMessage(GetMessage(153) + "\r\rURL: \r" + address, host::mb::Information);
    }
}

void clsApplication::ShowAllSheets() {
    auto& app = HostApp();
    try {
        if (!form_->Sheet()) raise(err::Information, "Open eerst de interface");
        app.SetScreenUpdating(false);
        form_->Sheet()->Parent()->Unprotect(clsAux::ProtectionPassword());
        SetOtherSheetsVisible(host::xl::SheetVisible);
    } catch (const Error& e) {
        ShowMessage(e.description(), host::mb::Information);
    }
    if (form_->Sheet()) form_->Sheet()->Parent()->Protect(clsAux::ProtectionPassword());
    app.SetScreenUpdating(true);
}

}  // namespace dalvera
