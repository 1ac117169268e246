#pragma once
// The one main window of Dalvera over the embedded spreadsheet application:
// the command surface, the grid of the active sheet with its sheet tabs, and a
// status bar with the host's status text. It follows the application (timer
// and after every action of the person); it never changes the sheets itself,
// everything goes through the host's user operations and controls.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>

#include "gui/ui/QtUserInterface.h"
#include "host/Excel.h"
#include "host/Progress.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class QBoxLayout;
class QTabBar;
class QTimer;

namespace dalvera {
class Session;
}

namespace dalvera::gui {

class CommandSurface;
class SheetGrid;

struct AppOptions {
    int variant = 12;
    std::string hostVersion;  // "": 11.0 for the menu variants, 16.0 for the ribbon ones
    int countryCode = 0;      // 0: from the process locale
    std::string database;     // preset of the open dialog
    std::string screenshot;   // PNG to write after start-up and the actions
    QStringList actions;      // the journey of an unattended run (see usage())
    std::string registry;     // "": the user's own registry file
    bool lenient = false;     // dialogs without a queued answer get their default
    std::string dialogShots;  // a folder for a picture of each dialog of the run
    bool help = false;

    // Actions or a screenshot: the program runs by itself and ends.
    bool unattended() const { return !actions.isEmpty() || !screenshot.empty(); }

    // Parses the arguments after the program name; false with a reason on a bad one.
    static bool parse(const QStringList& args, AppOptions& out, QString& error);
    static QString usage();
    std::string effectiveHostVersion() const;
};

// The desktop dialogs, with the open dialog starting where --database points.
class DesktopUserInterface : public QtUserInterface {
public:
    // Asks before the save dialog's choice replaces a file, in the catalogue's words.
    DesktopUserInterface();
    void setDatabase(const std::string& path) { database_ = path; }
    std::string GetOpenFileName(const host::OpenFileRequest& request) override;

private:
    std::string database_;
};

// A key press as OnKey names keys ("{F7}", "^s", "+{F6}"); "" for keys it has no name for.
std::string onKeyName(int qtKey, Qt::KeyboardModifiers modifiers);
// A key as a script writes it ("F7", "^s", "+F6", "{F9}") in OnKey's notation.
std::string keyFromAction(const QString& text);
// The host's own command behind a key (Ctrl+S saves, F12 saves as); 0 for none.
long builtInKeyCommand(const std::string& key);

class MainWindow : public QMainWindow {
public:
    MainWindow(Session& session, const AppOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens the add-in workbook, as the host does when it starts.
    void start();
    // start() once the window has been drawn, so a first-start notice
    // stands over the window and not over nothing.
    void startWhenDrawn();
    // The window's contents have been painted at least once.
    bool drawn() const { return drawn_; }
    // Runs a person's action: what the host raises becomes its message box,
    // and the window follows the application afterwards.
    void guard(const std::function<void()>& action);
    // A click on a control of the command bars.
    void runControl(const host::ControlPtr& control);
    // Brings the window in step with the application; `full` reads the cells
    // on screen again even when the application reports no change.
    void refresh(bool full = false);
    // One scripted action (see AppOptions::actions); false with a reason.
    bool perform(const QString& action, QString* error = nullptr);
    // A key as the person presses it: its OnKey binding, else the host's own
    // meaning; false when it means nothing here.
    bool pressKey(const std::string& key);
    // The workbook the window shows (the add-in is never shown).
    host::WorkbookPtr shownWorkbook();

    CommandSurface& commands() { return *commands_; }
    SheetGrid& grid() { return *grid_; }
    QTabBar& sheetTabs() { return *tabs_; }
    QComboBox& workbookChoice() { return *books_; }
    QString statusText() const;
    // Ctrl+F: the find bar under the grid, its text selected.
    void showFind();
    // Find next or previous from the bar's settings; false when nothing matched.
    bool findNext(bool forward);
    // A load shows its progress after delayMs and lets the window breathe every
    // intervalMs, not on every row.
    void setLoadTimings(int delayMs, int intervalMs) {
        loadDelayMs_ = delayMs;
        loadIntervalMs_ = intervalMs;
    }
    // Rows are being read: the person's commands are refused until it ends.
    bool loading() const { return loading_; }
    QWidget& loadProgress() { return *loadBox_; }
    QPushButton& loadCancelButton() { return *loadCancel_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refreshTabs(const host::WorkbookPtr& book);
    void refreshBooks(const host::WorkbookPtr& shown);
    void commandsChanged();
    // The host's own commands behind built-in controls (New, Save, Copy, ...).
    void runBuiltIn(long id);
    // Undo and redo beside the host's command bars.
    void addEditButtons();
    void buildFindBar(QWidget* parent, QBoxLayout* layout);
    void refreshEditState();
    void buildLoadProgress();
    void loadBegin();
    bool loadRows(long read);
    void loadEnd();
    // What the person does while rows are read: Escape and Cancel end the load,
    // the rest is refused.
    bool filterDuringLoad(QObject* watched, QEvent* event);

    struct Progress : host::LoadProgress {
        MainWindow& window;
        explicit Progress(MainWindow& w) : window(w) {}
        void Begin() override { window.loadBegin(); }
        bool Rows(long read) override { return window.loadRows(read); }
        void End() override { window.loadEnd(); }
    };

    Session& session_;
    AppOptions options_;
    std::unique_ptr<CommandSurface> commands_;
    SheetGrid* grid_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QComboBox* books_ = nullptr;  // the open workbooks, when there is a choice
    QStringList bookKeys_;
    QLabel* status_ = nullptr;
    QLabel* records_ = nullptr;  // the record count of the table shown
    QToolButton* undo_ = nullptr;
    QWidget* findBar_ = nullptr;
    QLineEdit* findText_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QCheckBox* wholeCell_ = nullptr;
    QLabel* findResult_ = nullptr;
    QToolButton* redo_ = nullptr;
    QTimer* timer_ = nullptr;
    QWidget* loadBox_ = nullptr;
    QProgressBar* loadBar_ = nullptr;
    QLabel* loadRowsRead_ = nullptr;
    QPushButton* loadCancel_ = nullptr;
    std::unique_ptr<Progress> progress_;
    QElapsedTimer loadClock_;
    qint64 lastPump_ = 0;
    int loadDelayMs_ = 500;
    int loadIntervalMs_ = 50;
    bool loading_ = false;
    bool loadCancelled_ = false;
    int running_ = 0;
    bool barsDirty_ = false;
    bool busyCursor_ = false;
    bool destroying_ = false;
    bool drawn_ = false;
    uint64_t revision_ = ~uint64_t(0);
    const void* shownSheet_ = nullptr;
    QStringList tabKeys_;
};

}  // namespace dalvera::gui
