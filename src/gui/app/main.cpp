// dalvera: the desktop front end. Starts the embedded spreadsheet application
// with the add-in workbook, in one main window; --actions and --screenshot
// run a journey unattended and end with its outcome.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "addin/Session.h"
#include "gui/app/Journey.h"
#include "gui/app/MainWindow.h"
#include "gui/app/SheetGrid.h"

using namespace dalvera;
using namespace dalvera::gui;

namespace {

// The freedesktop icon names need a theme; a bare platform (offscreen, some
// window managers) names none.
void ensureIconTheme() {
    if (!QIcon::themeName().isEmpty() && QIcon::themeName() != "hicolor") return;
    // Nor does it look where the freedesktop themes live.
    QStringList paths = QIcon::themeSearchPaths();
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    for (const auto& dir : dataDirs.split(':', Qt::SkipEmptyParts))
        if (!paths.contains(dir + "/icons")) paths << dir + "/icons";
    QIcon::setThemeSearchPaths(paths);
    for (const char* theme : {"Adwaita", "breeze", "Tango", "gnome"})
        for (const auto& dir : QIcon::themeSearchPaths())
            if (QFileInfo::exists(dir + "/" + theme + "/index.theme")) {
                QIcon::setThemeName(theme);
                return;
            }
}

QtMessageHandler qtDefaultHandler = nullptr;

void quietUnattended(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg &&
        (message.contains("propagateSizeHints") || message.contains("does not support raise()") ||
         message.startsWith("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    if (qtDefaultHandler) qtDefaultHandler(type, context, message);
}

// For a person: the open dialog shows the --database file already chosen.
QtUserInterface::AutoResponder preselect(const std::string& database) {
    return [database](QWidget* dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(dialog))
            if (!database.empty() && files->acceptMode() == QFileDialog::AcceptOpen)
                files->selectFile(QString::fromStdString(database));
        return true;  // left open for the person
    };
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    AppOptions options;
    QString error;
    if (!AppOptions::parse(args, options, error)) {
        std::fprintf(stderr, "dalvera: %s\n%s", error.toUtf8().constData(), AppOptions::usage().toUtf8().constData());
        return 2;
    }
    if (options.help) {
        std::printf("%s", AppOptions::usage().toUtf8().constData());
        return 0;
    }
    const bool display = qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (options.unattended() && !display && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The account of an unattended run stays readable: the offscreen
    // platform's notes about window hints are no part of it.
    if (options.unattended()) qtDefaultHandler = qInstallMessageHandler(quietUnattended);

    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Dalvera");
    QApplication::setApplicationDisplayName("Dalvera");
    ensureIconTheme();

    DesktopUserInterface ui;
    ui.setDatabase(options.database);
    SessionOptions so;
    so.variant = options.variant;
    so.hostVersion = options.effectiveHostVersion();
    so.countryCode = options.countryCode;
    so.registryFile = options.registry;
    Session session(ui, so);
    // Qt's own texts (the file dialog, Yes, Cancel) in the host's language,
    // which is the process locale's when --lang does not say.
    QTranslator qtTexts;
    if (platform::entryLocale(session.app().countryCode()).dutch &&
        qtTexts.load("qtbase_nl", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    if (platform::entryLocale(session.app().countryCode()).dutch) QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands));
    // The host starts with an empty workbook, as a spreadsheet does.
    session.app().Workbooks().Add()->SetSaved(true);

    MainWindow window(session, options);
    ui.setParent(&window);
    window.resize(1280, 800);
    window.show();

    if (options.unattended()) {
        Journey::Options jo;
        jo.lenient = options.lenient;
        jo.database = options.database;
        jo.dialogShots = QString::fromStdString(options.dialogShots);
        Journey journey(jo);
        ui.setAutoResponder(journey.responder());
        bool ok = journey.run(window, options.actions, [&] { window.startWhenDrawn(); });
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        window.refresh(true);
        QApplication::processEvents();
        if (!options.screenshot.empty()) {
            const QString file = QString::fromStdString(options.screenshot);
            if (!window.grab().save(file, "PNG")) {
                std::fprintf(stderr, "dalvera: cannot write %s\n", options.screenshot.c_str());
                ok = false;
            } else {
                std::fprintf(stderr, "dalvera: screenshot written to %s\n",
                             QFileInfo(file).absoluteFilePath().toUtf8().constData());
            }
        }
        session.closeAddin();
        std::fprintf(stderr, "dalvera: %s\n", ok ? "the journey went as written" : "the journey failed");
        return ok ? 0 : 1;
    }

    ui.setAutoResponder(preselect(options.database));
    QTimer::singleShot(0, &window, [&] { window.startWhenDrawn(); });
    const int rc = qapp.exec();
    session.closeAddin();
    return rc;
}
