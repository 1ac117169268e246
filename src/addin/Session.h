#pragma once
// A running Dalvera: the embedded spreadsheet application with its command
// bars and savers, the platform services installed for the engine, and the
// add-in workbook loaded into the application. Front ends and scenario tests
// start one and drive it as a person would.
#include <memory>
#include <string>

#include "host/Registry.h"
#include "host/Shell.h"
#include "host/UserInterface.h"
#include "platform/sheets/Embedded.h"

namespace dalvera {

class Interface11;

struct SessionOptions {
    int variant = 12;                   // the add-in workbook's "Revision Number"
    std::string hostVersion = "16.0";
    int countryCode = 0;                // 0: from the process locale
    bool hostVisible = true;
    bool helpMenu = true;               // the host's menu bar has a Help menu
    std::string registryFile;           // "": the user's own registry file
    std::string commandBarsFile;        // "": none kept between starts
};

class AddinWorkbook;

class Session {
public:
    Session(host::UserInterface& ui, SessionOptions options = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the add-in workbook: creates the entry object and initialises it.
    void openAddin();
    // Closes the add-in workbook as the host does when it quits.
    void closeAddin();

    platform::EmbeddedApplication& app() { return *app_; }
    std::shared_ptr<platform::EmbeddedApplication> appPtr() { return app_; }
    platform::UserOperations& user() { return *user_; }
    AddinWorkbook& addin() { return *addin_; }
    host::UserInterface& ui() { return ui_; }
    const SessionOptions& options() const { return options_; }

private:
    host::UserInterface& ui_;
    SessionOptions options_;
    std::shared_ptr<platform::EmbeddedApplication> app_;
    std::unique_ptr<platform::UserOperations> user_;
    std::unique_ptr<host::Registry> registry_;
    std::unique_ptr<host::Shell> shell_;
    std::unique_ptr<host::FileSystem> fileSystem_;
    std::unique_ptr<AddinWorkbook> addin_;
};

// The add-in workbook: carries the variant, maps the "ThisWorkbook.<Name>"
// macros to the entry object, calls Initialize when it opens and
// AddinUninstall when the add-in is removed.
class AddinWorkbook {
public:
    AddinWorkbook(platform::EmbeddedApplication& app, int variant);
    ~AddinWorkbook();
    host::WorkbookPtr workbook() const { return workbook_; }
    Interface11* entry() const { return entry_.get(); }
    void open();
    void uninstall();
    void close();
    // Every on-action name the add-in's controls may carry.
    static const std::vector<std::string>& MacroNames();

private:
    platform::EmbeddedApplication& app_;
    host::WorkbookPtr workbook_;
    std::unique_ptr<Interface11> entry_;
};

}  // namespace dalvera
