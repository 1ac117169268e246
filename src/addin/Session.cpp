#include "addin/Session.h"

#include <sqlite3.h>

#include <map>

#include "app/clsApplication.h"
#include "entry/Globals.h"
#include "entry/Interface11.h"
#include "host/Platform.h"
#include "platform/jet/Jet.h"
#include "platform/odbc/Odbc.h"
#include "platform/os/DesktopShell.h"
#include "platform/os/LocalFileSystem.h"
#include "platform/registry/FileRegistry.h"
#include "addin/SaveFormats.h"
#include "platform/sheets/Embedded.h"
#include "platform/sheets/commandbars/CommandBarSet.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
using Method = void (Interface11::*)();

const std::map<std::string, Method>& macroTable() {
    static const std::map<std::string, Method> table = {
        {"ThisWorkbook.GetDatabase", &Interface11::GetDatabase},
        {"ThisWorkbook.Show", &Interface11::Show},
        {"ThisWorkbook.ExecuteView", &Interface11::ExecuteView},
        {"ThisWorkbook.ExecuteQuery", &Interface11::ExecuteQuery},
        {"ThisWorkbook.ExecuteSQL", &Interface11::ExecuteSQL},
        {"ThisWorkbook.AddRow", &Interface11::AddRow},
        {"ThisWorkbook.UndoAddRow", &Interface11::UndoAddRow},
        {"ThisWorkbook.RedoAddRow", &Interface11::RedoAddRow},
        {"ThisWorkbook.WriteData", &Interface11::WriteData},
        {"ThisWorkbook.DeleteRows", &Interface11::DeleteRows},
        {"ThisWorkbook.Refresh", &Interface11::Refresh},
        {"ThisWorkbook.ShowSettings", &Interface11::ShowSettings},
        {"ThisWorkbook.ConvertDatabase", &Interface11::ConvertDatabase},
        {"ThisWorkbook.ShowHelp", &Interface11::ShowHelp},
        {"ThisWorkbook.ShowInfo", &Interface11::ShowInfo},
        {"ThisWorkbook.CloseWorkbook", &Interface11::CloseWorkbook},
        {"ThisWorkbook.ShowAllSheets", &Interface11::ShowAllSheets},
        {"ThisWorkbook.ShowFirstMessage", &Interface11::ShowFirstMessage},
        {"ThisWorkbook.SayHello", &Interface11::SayHello},
    };
    return table;
}

// The platform serves these automation classes: the row and table classes only
// while its database engine is installed, the file and shell classes always.
void createObject(const std::string& progId) {
    static const char* const rows[] = {"ADODB.Connection", "ADODB.Command", "ADODB.Recordset"};
    static const char* const tables[] = {"DAO.DBEngine.36", "DAO.DBEngine.120"};
    static const char* const always[] = {"Scripting.FileSystemObject", "WScript.Shell"};
    for (const char* k : rows)
        if (progId == k) {
            if (host::platform().ado) return;
            raise(429, "ActiveX component can't create object", progId);
        }
    for (const char* k : tables)
        if (progId == k) {
            if (host::platform().dao) return;
            raise(429, "ActiveX component can't create object", progId);
        }
    for (const char* k : always)
        if (progId == k) return;
    raise(429, "ActiveX component can't create object", progId);
}
}  // namespace

const std::vector<std::string>& AddinWorkbook::MacroNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const auto& [name, method] : macroTable()) n.push_back(name);
        return n;
    }();
    return names;
}

AddinWorkbook::AddinWorkbook(platform::EmbeddedApplication& app, int variant) : app_(app) {
    workbook_ = app.Workbooks().Add();
    workbook_->SetIsAddin(true);
    workbook_->SetBuiltinDocumentProperties("Revision Number", Variant::longValue(variant));
    workbook_->SetSaved(true);
    for (const auto& [name, method] : macroTable()) {
        Method m = method;
        app.registerMacro(name, [this, m] {
            if (!entry_) raise(91, "Object variable or With block variable not set");
            (entry_.get()->*m)();
        });
    }
}

AddinWorkbook::~AddinWorkbook() {
    for (const auto& name : MacroNames()) app_.unregisterMacro(name);
}

void AddinWorkbook::open() {
    entry_ = std::make_unique<Interface11>();
    entry_->Initialize(workbook_);
    // A refused start closes the workbook and drops the controller.
    if (goApplication && goExcel && goExcel->GetApplication()) entry_->ShowFirstMessage();
}

void AddinWorkbook::uninstall() {
    if (entry_) entry_->AddinUninstall();
}

void AddinWorkbook::close() { entry_.reset(); }

Session::Session(host::UserInterface& ui, SessionOptions options) : ui_(ui), options_(std::move(options)) {
    app_ = platform::createEmbeddedApplication();
    app_->setUserInterface(&ui_);
    app_->setVersion(options_.hostVersion);
    if (options_.countryCode) app_->setCountryCode(options_.countryCode);
    app_->SetVisible(options_.hostVisible);
    platform::CommandBarOptions barOptions;
    barOptions.helpMenu = options_.helpMenu;
    barOptions.dutch = platform::entryLocale(app_->countryCode()).dutch;
    std::weak_ptr<platform::EmbeddedApplication> weak = app_;
    auto bars = std::make_unique<platform::CommandBarSet>(
        [weak](const std::string& macro) {
            if (auto app = weak.lock()) app->Run(macro);
        },
        barOptions);
    if (!options_.commandBarsFile.empty()) bars->load(options_.commandBarsFile);
    app_->setCommandBars(std::move(bars));
    platform::registerSaveFormats(*app_);
    user_ = std::make_unique<platform::UserOperations>(*app_);
    // The host's own Save As offers every format it writes, in the person's language.
    user_->setSaveFilter([] {
        std::string filter = GetMessage(232) + GetMessage(233);
        for (int16_t n : {197, 198, 199, 200, 201}) filter += GetMessage(n);
        return filter;
    });

    registry_ = options_.registryFile.empty() ? std::make_unique<platform::FileRegistry>()
                                              : std::make_unique<platform::FileRegistry>(options_.registryFile);
    shell_ = std::make_unique<platform::DesktopShell>();
    fileSystem_ = std::make_unique<platform::LocalFileSystem>();
    host::Platform p;
    p.runningApplication = [weak]() -> host::ApplicationPtr { return weak.lock(); };
    p.createObject = createObject;
    p.registry = registry_.get();
    p.shell = shell_.get();
    p.fileSystem = fileSystem_.get();
    p.ui = &ui_;
    p.dao = jet::daoProvider();
    p.ado = jet::adoProvider();
    p.serverAdo = odbc::adoProvider();
    host::installPlatform(std::move(p));
    // The version of the SQLite library this process really loaded.
    host::registerSystemFact("sqlite", sqlite3_libversion());
    addin_ = std::make_unique<AddinWorkbook>(*app_, options_.variant);
}

void Session::openAddin() { addin_->open(); }

void Session::closeAddin() {
    if (!options_.commandBarsFile.empty()) {
        if (auto* bars = dynamic_cast<platform::CommandBarSet*>(&app_->CommandBars()))
            bars->save(options_.commandBarsFile);
    }
    addin_->close();
}

Session::~Session() {
    addin_.reset();
    goApplication.reset();
    goExcel.reset();
    goWorkbook.reset();
    host::installPlatform({});
}

}  // namespace dalvera
