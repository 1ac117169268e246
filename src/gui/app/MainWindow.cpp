#include "gui/app/MainWindow.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "addin/Session.h"
#include "entry/Globals.h"
#include "app/clsApplication.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"
#include "gui/app/CommandSurface.h"
#include "gui/app/SheetGrid.h"
#include "platform/sheets/commandbars/CommandBarSet.h"
#include "runtime/Error.h"
#include "text/modGlobalization.h"

namespace dalvera::gui {

using platform::WorkbookImpl;
using platform::WorksheetImpl;

namespace {
// Commands of this window's own, numbered beyond the host's control ids.
constexpr long kFindCommand = 70001;
constexpr long kFillDownCommand = 70002;
}  // namespace

// ---- options

bool AppOptions::parse(const QStringList& args, AppOptions& out, QString& error) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& v) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        QString v;
        if (a == "-h" || a == "--help") {
            out.help = true;
        } else if (a == "--variant") {
            if (!value(v)) return false;
            bool ok = false;
            int n = v.toInt(&ok);
            if (!ok || (n != 11 && n != 12 && n != 21 && n != 22)) {
                error = "--variant takes 11, 12, 21 or 22";
                return false;
            }
            out.variant = n;
        } else if (a == "--host-version") {
            if (!value(v)) return false;
            bool ok = false;
            v.toDouble(&ok);
            if (!ok) {
                error = "--host-version takes a version number such as 16.0";
                return false;
            }
            out.hostVersion = v.contains('.') ? v.toStdString() : (v + ".0").toStdString();
        } else if (a == "--lang") {
            if (!value(v)) return false;
            if (v == "en") out.countryCode = 1;
            else if (v == "nl") out.countryCode = 31;
            else {
                error = "--lang takes en or nl";
                return false;
            }
        } else if (a == "--database") {
            if (!value(v)) return false;
            out.database = QFileInfo(v).absoluteFilePath().toStdString();
        } else if (a == "--screenshot") {
            if (!value(v)) return false;
            out.screenshot = v.toStdString();
        } else if (a == "--actions") {
            if (!value(v)) return false;
            // ";;" stands for a semicolon inside an action.
            v.replace(";;", QChar(0x1F));
            for (auto part : v.split(';', Qt::SkipEmptyParts)) {
                part.replace(QChar(0x1F), ';');
                if (!part.trimmed().isEmpty()) out.actions << part.trimmed();
            }
        } else if (a == "--action") {
            if (!value(v)) return false;
            out.actions << v;  // taken as it is, semicolons and all
        } else if (a == "--lenient") {
            out.lenient = true;
        } else if (a == "--dialog-shots") {
            if (!value(v)) return false;
            out.dialogShots = v.toStdString();
        } else if (a == "--registry") {
            if (!value(v)) return false;
            out.registry = v.toStdString();
        } else {
            error = "unknown argument " + a;
            return false;
        }
    }
    return true;
}

QString AppOptions::usage() {
    return "Usage: dalvera [--variant 11|12|21|22] [--host-version V] [--lang en|nl]\n"
           "               [--database FILE] [--registry FILE]\n"
           "               [--actions \"A;B;...\"] [--action A]... [--lenient]\n"
           "               [--screenshot FILE.png] [--dialog-shots FOLDER]\n"
           "\n"
           "With --actions (or --action, or --screenshot) Dalvera runs a journey by itself and\n"
           "ends: exit status 0 when every action worked and every dialog got the answer queued\n"
           "for it, 1 otherwise, 2 for wrong arguments. Every message box, input box, file\n"
           "dialog and form is told on standard error on one line (line breaks as \" / \").\n"
           "\n"
           "Actions, separated by ';' (';;' is a semicolon; --action takes one as it is):\n"
           "  click:CAPTIONS     a control, by captions separated by / (click:Tables/Orders,\n"
           "                     click:Execute SQL statement, click:File/Save As)\n"
           "  key:KEY            a key: F7, F12, ^s (Ctrl+S), +F6 (Shift+F6), {F9}\n"
           "  select:B2          select cells          type:B2=text   type into a cell\n"
           "  sheet:NAME         show a sheet          filter:B=value  pick an AutoFilter value\n"
           "  book:NAME          show a workbook                       (filter:B= shows all)\n"
           "  save:PATH          Save As of the shown workbook, its dialog answered with PATH;\n"
           "                     the format follows the extension (.xlsx .xls .csv .txt .htm\n"
           "                     .mht .xml); fails unless PATH was written\n"
           "Answers, queued for the dialogs the journey brings, each kind in its own order;\n"
           "those written right after an action are queued before it runs, those before\n"
           "the first action are there for the program's start:\n"
           "  answer:BUTTON      the next message box: OK, Cancel, Yes, No, Retry, Abort, Ignore\n"
           "  input:TEXT         the next input box (the SQL prompt, a parameter prompt)\n"
           "  file:PATH          the next open or save dialog\n"
           "  form:STEPS         the next form: name=text types, name clicks (by name or caption),\n"
           "                     e.g. form:txtPassword=secret,cmdOK\n"
           "  color:#RRGGBB      the next colour dialog\n"
           "  cancel:input|file|form|color   cancels the next one of that kind\n"
           "Without an answer a form is closed with OK and the open dialog takes --database;\n"
           "any other dialog fails the run, and so does an answer left over at the end.\n"
           "--lenient answers dialogs without an answer with their default button instead.\n"
           "--dialog-shots writes a picture of each dialog to FOLDER.\n"
           "\n"
           "Example: dalvera --database sample.sqlite --actions \\\n"
           "  \"click:Open database;click:Execute SQL statement;input:SELECT * FROM Orders;\\\n"
           "   save:orders.csv;answer:Yes\"\n";
}

std::string AppOptions::effectiveHostVersion() const {
    if (!hostVersion.empty()) return hostVersion;
    // The menu variants were made for the hosts that still had menus.
    return variant % 10 == 1 ? "11.0" : "16.0";
}

DesktopUserInterface::DesktopUserInterface() {
    setReplaceQuestion([](const std::string& path) {
        return GetMessage(231, Variant(QFileInfo(QString::fromStdString(path)).fileName().toStdString()));
    });
}

std::string DesktopUserInterface::GetOpenFileName(const host::OpenFileRequest& request) {
    if (database_.empty()) return QtUserInterface::GetOpenFileName(request);
    host::OpenFileRequest preset = request;
    preset.initialFolder = QFileInfo(QString::fromStdString(database_)).absolutePath().toStdString();
    return QtUserInterface::GetOpenFileName(preset);
}

std::string keyFromAction(const QString& text) {
    QString t = text.trimmed();
    QString prefix;
    while (!t.isEmpty() && QString("+^%").contains(t.front()) && t.size() > 1) {
        prefix += t.front();
        t.remove(0, 1);
    }
    if (t.isEmpty()) return {};
    if (t.size() == 1) return (prefix + t.toLower()).toStdString();
    if (!t.startsWith('{')) t = "{" + t.toUpper() + "}";
    return (prefix + t).toStdString();
}

std::string onKeyName(int key, Qt::KeyboardModifiers modifiers) {
    std::string base;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F15) {
        base = "{F" + std::to_string(key - Qt::Key_F1 + 1) + "}";
    } else if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        // Plain letters are typing; only with Ctrl or Alt are they keys of their own.
        if (!(modifiers & (Qt::ControlModifier | Qt::AltModifier))) return {};
        base = std::string(1, static_cast<char>(key >= Qt::Key_A && key <= Qt::Key_Z ? key - Qt::Key_A + 'a' : key));
    } else {
        switch (key) {
        case Qt::Key_Delete: base = "{DEL}"; break;
        case Qt::Key_Insert: base = "{INSERT}"; break;
        case Qt::Key_Home: base = "{HOME}"; break;
        case Qt::Key_End: base = "{END}"; break;
        case Qt::Key_PageUp: base = "{PGUP}"; break;
        case Qt::Key_PageDown: base = "{PGDN}"; break;
        case Qt::Key_Escape: base = "{ESC}"; break;
        case Qt::Key_Return: base = "~"; break;
        case Qt::Key_Enter: base = "{ENTER}"; break;
        case Qt::Key_Tab: base = "{TAB}"; break;
        case Qt::Key_Backspace: base = "{BS}"; break;
        case Qt::Key_Up: base = "{UP}"; break;
        case Qt::Key_Down: base = "{DOWN}"; break;
        case Qt::Key_Left: base = "{LEFT}"; break;
        case Qt::Key_Right: base = "{RIGHT}"; break;
        default: return {};
        }
    }
    std::string prefix;
    if (modifiers & Qt::ShiftModifier) prefix += '+';
    if (modifiers & Qt::ControlModifier) prefix += '^';
    if (modifiers & Qt::AltModifier) prefix += '%';
    return prefix + base;
}

// ---- the window

MainWindow::MainWindow(Session& session, const AppOptions& options, QWidget* parent)
    : QMainWindow(parent), session_(session), options_(options) {
    setObjectName("mainWindow");
    setWindowTitle("Dalvera");
    auto& app = session_.app();
    commands_ = std::make_unique<CommandSurface>(*this, app.CommandBars(), options_.variant % 10 == 2,
                                                 [this](const host::ControlPtr& c) { runControl(c); });
    if (auto* bars = dynamic_cast<platform::CommandBarSet*>(&app.CommandBars())) {
        bars->setChangeHandler([this] { commandsChanged(); });
        bars->setBuiltInHandler([this](long id) { runBuiltIn(id); });
    }

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    grid_ = new SheetGrid(app, session_.user(), [this](const std::function<void()>& a) { guard(a); }, central);
    layout->addWidget(grid_, 1);
    grid_->setKeyRunner([this](const std::string& key) { return pressKey(key); });
    buildFindBar(central, layout);
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(0, 0, 0, 0);
    books_ = new QComboBox(central);
    books_->setObjectName("workbooks");
    books_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    books_->hide();
    bottom->addWidget(books_);
    tabs_ = new QTabBar(central);
    tabs_->setObjectName("sheetTabs");
    tabs_->setShape(QTabBar::RoundedSouth);
    tabs_->setExpanding(false);
    tabs_->setDrawBase(false);
    bottom->addWidget(tabs_);
    bottom->addStretch(1);
    layout->addLayout(bottom);
    connect(books_, &QComboBox::activated, this, [this](int index) {
        const QString name = books_->itemText(index);
        for (const auto& b : session_.app().workbookList())
            if (!b->closed() && !b->IsAddin() && QString::fromStdString(b->Name()) == name) {
                host::WorkbookPtr book = b;
                guard([&] { session_.user().activate(book); });
                return;
            }
    });
    setCentralWidget(central);
    connect(tabs_, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0) return;
        auto book = std::dynamic_pointer_cast<WorkbookImpl>(shownWorkbook());
        if (!book) return;
        auto sheet = book->sheetById(tabs_->tabData(index).toUInt());
        if (sheet) guard([&] { session_.user().activate(sheet); });
    });

    status_ = new QLabel(this);
    status_->setObjectName("hostStatus");
    statusBar()->addWidget(status_, 1);
    records_ = new QLabel(this);
    records_->setObjectName("recordCount");
    statusBar()->addPermanentWidget(records_);
    buildLoadProgress();

    commands_->rebuild();
    addEditButtons();
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { refresh(); });
    timer_->start(100);
    qApp->installEventFilter(this);
    progress_ = std::make_unique<Progress>(*this);
    host::setLoadProgress(progress_.get());
    refresh();
}

MainWindow::~MainWindow() {
    // An open cell editor loses its focus while the window goes; that must not
    // count as an entry.
    if (session_.user().editing()) session_.user().cancelEdit();
    destroying_ = true;
    if (host::detail::installedProgress == progress_.get()) host::setLoadProgress(nullptr);
    timer_->stop();
    qApp->removeEventFilter(this);
    if (auto* bars = dynamic_cast<platform::CommandBarSet*>(&session_.app().CommandBars())) {
        bars->setChangeHandler({});
        bars->setBuiltInHandler({});
    }
    if (busyCursor_) QApplication::restoreOverrideCursor();
}

void MainWindow::start() {
    guard([this] { session_.openAddin(); });
}

void MainWindow::startWhenDrawn() {
    if (!isVisible()) show();
    QElapsedTimer waited;
    waited.start();
    // A window manager may take a while to map the window; not for ever.
    while (!drawn_ && waited.elapsed() < 3000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!drawn_ && windowHandle() && windowHandle()->isExposed()) repaint();
    }
    start();
}

void MainWindow::guard(const std::function<void()>& action) {
    // Nothing runs into a sheet that is still being filled.
    if (loading_) {
        QApplication::beep();
        return;
    }
    ++running_;
    try {
        action();
    } catch (const Error& e) {
        try {
            session_.app().messageBox(e.description(), host::mb::OKOnly + host::mb::Critical);
        } catch (const Error&) {
        }
    } catch (const std::exception& e) {
        try {
            session_.app().messageBox(e.what(), host::mb::OKOnly + host::mb::Critical);
        } catch (const Error&) {
        }
    }
    --running_;
    // As the host does when the code that switched it off has ended.
    if (running_ == 0 && !session_.app().ScreenUpdating()) session_.app().SetScreenUpdating(true);
    if (running_ == 0 && !destroying_) {
        // Drawn after the click that changed them has returned: its button may go.
        if (barsDirty_) commandsChanged();
        // An entry ends inside the view's commit of its editor; the view
        // closes that editor itself once the commit returns.
        if (grid_->editorOpen())
            QTimer::singleShot(0, this, [this] { refresh(true); });
        else
            refresh(true);
    }
}

void MainWindow::addEditButtons() {
    auto make = [this](const char* name, const char* theme, QStyle::StandardPixmap fallback, long command) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        QIcon icon = QIcon::fromTheme(theme);
        b->setIcon(icon.isNull() ? style()->standardIcon(fallback) : icon);
        b->setAutoRaise(true);
        b->setEnabled(false);
        connect(b, &QToolButton::clicked, this, [this, command] { guard([&] { runBuiltIn(command); }); });
        return b;
    };
    undo_ = make("undoButton", "edit-undo", QStyle::SP_ArrowBack, 128);
    redo_ = make("redoButton", "edit-redo", QStyle::SP_ArrowForward, 129);
    QWidget* ribbon = commands_->ribbonWidget();
    auto* rows = ribbon ? qobject_cast<QBoxLayout*>(ribbon->layout()) : nullptr;
    auto* tabRow = rows && rows->count() > 0 ? qobject_cast<QBoxLayout*>(rows->itemAt(0)->layout()) : nullptr;
    if (tabRow) {
        // Beside the File entry, where a spreadsheet's ribbon keeps them.
        undo_->setParent(ribbon);
        redo_->setParent(ribbon);
        tabRow->insertWidget(1, undo_);
        tabRow->insertWidget(2, redo_);
    } else {
        auto* bar = addToolBar("Edit");
        bar->setObjectName("editBar");
        bar->addWidget(undo_);
        bar->addWidget(redo_);
    }
}

void MainWindow::buildFindBar(QWidget* parent, QBoxLayout* layout) {
    findBar_ = new QWidget(parent);
    findBar_->setObjectName("findBar");
    auto* row = new QHBoxLayout(findBar_);
    row->setContentsMargins(4, 2, 4, 2);
    auto* label = new QLabel(findBar_);
    label->setObjectName("findLabel");
    row->addWidget(label);
    findText_ = new QLineEdit(findBar_);
    findText_->setObjectName("findText");
    findText_->setClearButtonEnabled(true);
    findText_->setMinimumWidth(160);
    findText_->setMaximumWidth(360);
    row->addWidget(findText_, 1);
    matchCase_ = new QCheckBox(findBar_);
    matchCase_->setObjectName("findMatchCase");
    row->addWidget(matchCase_);
    wholeCell_ = new QCheckBox(findBar_);
    wholeCell_->setObjectName("findWholeCell");
    row->addWidget(wholeCell_);
    auto* previous = new QToolButton(findBar_);
    previous->setObjectName("findPrevious");
    previous->setArrowType(Qt::UpArrow);
    row->addWidget(previous);
    auto* next = new QToolButton(findBar_);
    next->setObjectName("findNext");
    next->setArrowType(Qt::DownArrow);
    row->addWidget(next);
    findResult_ = new QLabel(findBar_);
    findResult_->setObjectName("findResult");
    row->addWidget(findResult_, 1);
    auto* close = new QToolButton(findBar_);
    close->setObjectName("findClose");
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setAutoRaise(true);
    row->addWidget(close);
    layout->addWidget(findBar_);
    findBar_->hide();
    connect(next, &QToolButton::clicked, this, [this] { findNext(true); });
    connect(previous, &QToolButton::clicked, this, [this] { findNext(false); });
    connect(findText_, &QLineEdit::returnPressed, this, [this] {
        findNext(!(QApplication::keyboardModifiers() & Qt::ShiftModifier));
    });
    connect(close, &QToolButton::clicked, this, [this] {
        findBar_->hide();
        grid_->setFocus();
    });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), findBar_);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, close, &QToolButton::click);
}

void MainWindow::showFind() {
    auto caption = [](const char* name) { return QString::fromStdString(GetCaption(name)); };
    findBar_->findChild<QLabel*>("findLabel")->setText(caption("lblFindWhat"));
    matchCase_->setText(caption("chkMatchCase"));
    wholeCell_->setText(caption("chkWholeCell"));
    findBar_->findChild<QToolButton*>("findNext")->setToolTip(caption("cmdFindNext"));
    findBar_->findChild<QToolButton*>("findPrevious")->setToolTip(caption("cmdFindPrevious"));
    findResult_->clear();
    findBar_->show();
    findText_->setFocus();
    findText_->selectAll();
}

bool MainWindow::findNext(bool forward) {
    const bool found = grid_->find(findText_->text(), forward, matchCase_->isChecked(), wholeCell_->isChecked());
    findResult_->setText(found || findText_->text().isEmpty()
                             ? QString()
                             : QString::fromStdString(GetCaption("lblNotFound")).replace("{1}", findText_->text()));
    refresh(true);
    return found;
}

void MainWindow::refreshEditState() {
    auto& user = session_.user();
    undo_->setEnabled(!user.editing() && user.canUndo());
    redo_->setEnabled(!user.editing() && user.canRedo());
    // A macro's step says what it takes back ("Undo (Ctrl+Z): Add record").
    auto tip = [](const char* caption, const std::string& step) {
        return QString::fromStdString(GetCaption(caption) + (step.empty() ? std::string() : ": " + step));
    };
    undo_->setToolTip(tip("cmdUndo", undo_->isEnabled() ? user.undoText() : std::string()));
    redo_->setToolTip(tip("cmdRedo", redo_->isEnabled() ? user.redoText() : std::string()));
    QString records;
    auto book = shownWorkbook();
    if (goApplication && book) {
        clsForm& form = goApplication->Form();
        if (form.Sheet() && form.Matrix() && form.Sheet() == book->ActiveSheet())
            records = QString::fromStdString(GetCaption("lblRecords"))
                          .replace("{1}", QString::number(form.Matrix()->RowCount()));
    }
    records_->setText(records);
}

void MainWindow::commandsChanged() {
    barsDirty_ = true;
    if (running_ > 0) return;
    QTimer::singleShot(0, this, [this] {
        if (!barsDirty_ || running_ > 0) return;
        barsDirty_ = false;
        commands_->rebuild();
    });
}

void MainWindow::runBuiltIn(long id) {
    // Runs inside the click's guard: what the host raises becomes its message.
    auto& app = session_.app();
    auto& user = session_.user();
    auto book = shownWorkbook();
    auto selection = grid_->selectedRange();
    switch (id) {
    case 18: app.Workbooks().Add(); break;  // New
    // Both go through the host's save, so the before-save event decides first;
    // a handler that takes the save over is no failure.
    case 3:  // Save
        if (book) user.save(book);
        break;
    case 748:  // Save As
        if (book) user.saveAs(book);
        break;
    case 106:  // Close
        if (book) user.close(book);
        break;
    case 752: QTimer::singleShot(0, this, [this] { close(); }); break;  // Exit
    case 128: user.undo(); break;
    case 129: user.redo(); break;
    case kFillDownCommand: grid_->fillDown(); break;
    case kFindCommand: showFind(); break;
    case 19: grid_->copy(); break;
    case 22: grid_->paste(); break;
    case 3125:  // Clear Contents
        if (selection) user.clear(selection);
        break;
    case 113:  // Bold and Italic switch on what the first cell has
    case 114:
        if (selection) {
            auto font = selection->Font();
            Variant now = id == 113 ? font->Bold() : font->Italic();
            bool on = !(now.isBoolean() && now.toBool());
            if (id == 113) font->SetBold(on);
            else font->SetItalic(on);
        }
        break;
    default: break;  // the host's other commands have no rendering here
    }
}

void MainWindow::runControl(const host::ControlPtr& control) {
    guard([&] { session_.user().clickControl(control); });
}

host::WorkbookPtr MainWindow::shownWorkbook() {
    auto& app = session_.app();
    auto active = app.ActiveWorkbook();
    if (active && !active->IsAddin()) return active;
    // The add-in is never shown: the last workbook opened stands in for it.
    auto& books = app.workbookList();
    for (auto it = books.rbegin(); it != books.rend(); ++it)
        if (!(*it)->closed() && !(*it)->IsAddin()) return *it;
    return nullptr;
}

QString MainWindow::statusText() const {
    auto& app = session_.app();
    Variant s = app.StatusBar();
    if (s.isBoolean() && !s.toBool()) {
        const bool dutch = platform::entryLocale(app.countryCode()).dutch;
        if (app.Ready()) return dutch ? "Gereed" : "Ready";
        return dutch ? "Invoeren" : "Enter";
    }
    return QString::fromStdString(s.text());
}

void MainWindow::refresh(bool full) {
    if (destroying_) return;
    auto& app = session_.app();
    const bool wait = app.Cursor() == host::xl::CursorWait;
    if (wait != busyCursor_) {
        busyCursor_ = wait;
        if (wait) QApplication::setOverrideCursor(Qt::WaitCursor);
        else QApplication::restoreOverrideCursor();
    }
    status_->setText(statusText());
    // While a command runs the sheets may be half-way; and a host that does not
    // update its screen shows the last picture.
    if (running_ > 0 || !app.ScreenUpdating()) return;
    if (app.quitRequested()) {
        timer_->stop();
        QTimer::singleShot(0, this, [this] { close(); });
        return;
    }
    auto book = std::dynamic_pointer_cast<WorkbookImpl>(shownWorkbook());
    std::shared_ptr<WorksheetImpl> sheet = book ? book->activeSheetImpl() : nullptr;
    if (sheet && sheet->deleted()) sheet.reset();
    if (sheet != grid_->sheetModel().worksheet()) {
        revision_ = app.revision();
        grid_->showSheet(sheet);
        refreshEditState();
    } else if (full || app.revision() != revision_) {
        revision_ = app.revision();
        grid_->sync();
        refreshEditState();
    } else {
        grid_->follow();
    }
    refreshTabs(book);
    refreshBooks(book);
    setWindowTitle(book ? QString::fromStdString(book->Name()) + " - Dalvera" : QString("Dalvera"));
}

void MainWindow::refreshTabs(const host::WorkbookPtr& book) {
    auto impl = std::dynamic_pointer_cast<WorkbookImpl>(book);
    QStringList keys;
    std::vector<std::shared_ptr<WorksheetImpl>> visible;
    if (impl)
        for (const auto& s : impl->sheetObjects())
            if (!s->deleted() && s->Visible() == host::xl::SheetVisible) {
                visible.push_back(s);
                keys << QString::number(s->model().id()) + ":" + QString::fromStdString(s->Name());
            }
    const QSignalBlocker block(tabs_);
    if (keys != tabKeys_) {
        tabKeys_ = keys;
        while (tabs_->count()) tabs_->removeTab(0);
        for (const auto& s : visible) {
            int i = tabs_->addTab(QString::fromStdString(s->Name()));
            tabs_->setTabData(i, s->model().id());
        }
    }
    tabs_->setVisible(!visible.empty());
    auto active = impl ? impl->activeSheetImpl() : nullptr;
    for (int i = 0; i < tabs_->count(); ++i)
        if (active && tabs_->tabData(i).toUInt() == active->model().id()) tabs_->setCurrentIndex(i);
}

void MainWindow::refreshBooks(const host::WorkbookPtr& shown) {
    QStringList names;
    for (const auto& b : session_.app().workbookList())
        if (!b->closed() && !b->IsAddin()) names << QString::fromStdString(b->Name());
    const QSignalBlocker block(books_);
    if (names != bookKeys_) {
        bookKeys_ = names;
        books_->clear();
        books_->addItems(names);
    }
    books_->setVisible(names.size() > 1);
    if (shown) books_->setCurrentText(QString::fromStdString(shown->Name()));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && !drawn_ && watched == centralWidget()) drawn_ = true;
    // A question asked during a load has its own buttons to answer it with.
    if (loading_ && !QApplication::activeModalWidget()) return filterDuringLoad(watched, event);
    if (event->type() != QEvent::KeyPress || QApplication::activeModalWidget()) return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != this) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const std::string name = onKeyName(key->key(), key->modifiers());
    if (name.empty()) return false;
    if (session_.user().editing()) {
        // A command key ends the entry first, as in a spreadsheet, then runs;
        // other keys are typing. A refused entry keeps its editor, and the
        // command waits for a good one.
        // Undo, redo and fill keep their meaning inside the editor.
        const long builtIn = builtInKeyCommand(name);
        const bool command = !session_.app().keyBinding(name).isMissing() || builtIn == 3 || builtIn == 748;
        if (!command) return false;
        if (!grid_->commitEditor()) return true;
    }
    return pressKey(name);
}

long builtInKeyCommand(const std::string& key) {
    if (key == "^s") return 3;       // Save
    if (key == "{F12}") return 748;  // Save As
    if (key == "^z") return 128;     // Undo
    if (key == "^y") return 129;     // Redo
    if (key == "^d") return kFillDownCommand;
    if (key == "^f") return kFindCommand;
    return 0;
}

bool MainWindow::pressKey(const std::string& name) {
    Variant binding = session_.app().keyBinding(name);
    if (binding.isMissing()) {
        // Not taken over by OnKey: the host's own meaning of the key, if it has one.
        const long command = builtInKeyCommand(name);
        if (!command) return false;
        guard([&] { runBuiltIn(command); });
        return true;
    }
    // A key bound to nothing is switched off: it does nothing at all.
    if (!binding.text().empty()) guard([&] { session_.user().pressKey(name); });
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (loading_) {
        event->ignore();
        return;
    }
    // As the host quits: every open workbook closes first, and may refuse.
    auto books = session_.app().workbookList();
    for (const auto& b : books) {
        if (b->closed() || b->IsAddin()) continue;
        bool closed = false;
        guard([&] { closed = session_.user().close(b); });
        if (!closed) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

void MainWindow::buildLoadProgress() {
    loadBox_ = new QWidget(this);
    loadBox_->setObjectName("loadProgress");
    auto* row = new QHBoxLayout(loadBox_);
    row->setContentsMargins(0, 0, 0, 0);
    loadRowsRead_ = new QLabel(loadBox_);
    loadRowsRead_->setObjectName("loadRowsRead");
    // Room for a million rows in either language, so the bar does not jump.
    loadRowsRead_->setMinimumWidth(loadRowsRead_->fontMetrics().horizontalAdvance("Rijen gelezen: 1048576  "));
    row->addWidget(loadRowsRead_);
    loadBar_ = new QProgressBar(loadBox_);
    loadBar_->setObjectName("loadBar");
    loadBar_->setRange(0, 0);  // how many rows there are is known only at the end
    loadBar_->setMaximumWidth(160);
    loadBar_->setTextVisible(false);
    row->addWidget(loadBar_);
    loadCancel_ = new QPushButton(loadBox_);
    loadCancel_->setObjectName("loadCancel");
    loadCancel_->setFocusPolicy(Qt::NoFocus);
    row->addWidget(loadCancel_);
    connect(loadCancel_, &QPushButton::clicked, this, [this] { loadCancelled_ = true; });
    statusBar()->addPermanentWidget(loadBox_);
    loadBox_->hide();
}

void MainWindow::loadBegin() {
    loading_ = true;
    loadCancelled_ = false;
    lastPump_ = 0;
    loadClock_.start();
}

bool MainWindow::loadRows(long read) {
    if (loadCancelled_) return false;
    const qint64 now = loadClock_.elapsed();
    if (now < loadDelayMs_ || (lastPump_ > 0 && now - lastPump_ < loadIntervalMs_)) return true;
    lastPump_ = std::max<qint64>(now, 1);
    if (!loadBox_->isVisible()) {
        loadCancel_->setText(QString::fromStdString(GetCaption("cmdCancelLoad")));
        records_->hide();  // the count of what is being replaced
        loadBox_->show();
    }
    loadRowsRead_->setText(QString::fromStdString(GetMessage(292, Variant(read))));
    QApplication::processEvents();
    return !loadCancelled_;
}

void MainWindow::loadEnd() {
    loading_ = false;
    loadBox_->hide();
    records_->show();
}

bool MainWindow::filterDuringLoad(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Taken as a plain key, so that no shortcut runs its command.
        event->accept();
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) loadCancelled_ = true;
        return true;
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return watched != loadCancel_;
    case QEvent::Close:
        if (watched == this) {
            event->ignore();
            return true;
        }
        return false;
    default: return false;
    }
}

bool MainWindow::perform(const QString& action, QString* error) {
    if (loading_) {
        if (error) *error = "refused while rows are being read";
        return false;
    }
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const int colon = action.indexOf(':');
    const QString verb = action.left(colon).trimmed().toLower();
    const QString arg = colon < 0 ? QString() : action.mid(colon + 1);
    auto& user = session_.user();
    auto book = shownWorkbook();
    auto sheet = book ? book->ActiveSheet() : nullptr;
    if (verb == "click") {
        auto control = commands_->find(arg);
        if (!control) return fail("no control " + arg);
        runControl(control);
    } else if (verb == "key") {
        const std::string key = keyFromAction(arg);
        if (key.empty()) return fail("key needs a key such as F7, ^s or +F6");
        if (session_.user().editing()) return fail("a cell is being edited");
        const Variant binding = session_.app().keyBinding(key);
        if (!binding.isMissing() && binding.text().empty()) return fail("the key " + arg + " is switched off here");
        if (!pressKey(key)) return fail("the key " + arg + " does nothing here");
    } else if (verb == "select" || verb == "type") {
        if (!sheet) return fail("no sheet to " + verb + " on");
        const int eq = arg.indexOf('=');
        const QString address = verb == "type" ? arg.left(eq) : arg;
        if (verb == "type" && eq < 0) return fail("type needs CELL=text");
        guard([&] {
            auto range = sheet->Range(address.trimmed().toStdString());
            if (verb == "select") user.select(range);
            else user.typeText(range, arg.mid(eq + 1).toStdString());
        });
    } else if (verb == "filter") {
        // "filter:B=Beer" picks a value of column B's AutoFilter list; "filter:B=" shows all again.
        const int eq = arg.indexOf('=');
        if (eq < 1) return fail("filter needs COLUMN=value");
        int32_t col = 0;
        for (QChar ch : arg.left(eq).trimmed().toUpper()) col = col * 26 + (ch.unicode() - 'A' + 1);
        const QString value = arg.mid(eq + 1);
        if (!grid_->sheetModel().sheet() || !grid_->sheetModel().sheet()->autoFilter()) return fail("no AutoFilter here");
        const auto choices = grid_->filterChoices(col);
        if (!value.isEmpty() && std::find(choices.begin() + 1, choices.end(), value) == choices.end())
            return fail("column " + arg.left(eq) + " has no value " + value);
        grid_->applyFilter(col, value.isEmpty() ? choices.front() : value);
    } else if (verb == "book") {
        // The workbook a person picks in the list beside the sheet tabs.
        for (const auto& b : session_.app().workbookList())
            if (!b->closed() && !b->IsAddin() && QString::fromStdString(b->Name()) == arg.trimmed()) {
                host::WorkbookPtr chosen = b;
                guard([&] { user.activate(chosen); });
                refresh();
                return true;
            }
        return fail("no workbook " + arg);
    } else if (verb == "sheet") {
        if (!book) return fail("no workbook");
        bool found = false;
        guard([&] {
            auto s = book->Worksheets()->Item(arg.toStdString());
            found = true;
            user.activate(s);
        });
        if (!found) return fail("no sheet " + arg);
    } else {
        return fail("unknown action " + action);
    }
    refresh();
    return true;
}

}  // namespace dalvera::gui
