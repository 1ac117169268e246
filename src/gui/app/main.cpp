// dalvera: the desktop front end. Starts the embedded spreadsheet application
// with the add-in workbook, in one main window; --screenshot runs unattended.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "addin/Session.h"
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

// Answers the dialogs of an unattended run as a person in a hurry would:
// the open dialog with --database, message boxes with their default button,
// forms with OK; anything else is cancelled. Each answer is logged.
QtUserInterface::AutoResponder unattended(const std::string& database) {
    return [database](QWidget* dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
            if (database.empty() || files->acceptMode() != QFileDialog::AcceptOpen) return false;
            files->selectFile(QString::fromStdString(database));
            std::fprintf(stderr, "dalvera: open dialog answered with %s\n", database.c_str());
            QMetaObject::invokeMethod(files, "accept");
            return true;
        }
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            std::fprintf(stderr, "dalvera: message \"%s\" answered\n", box->text().toUtf8().constData());
            if (auto* b = box->defaultButton()) b->click();
            else box->accept();
            return true;
        }
        if (auto* ok = dialog->findChild<QPushButton*>("cmdOK"); ok && ok->isEnabled()) {
            std::fprintf(stderr, "dalvera: form \"%s\" answered with OK\n", dialog->windowTitle().toUtf8().constData());
            ok->click();
            return true;
        }
        std::fprintf(stderr, "dalvera: dialog \"%s\" cancelled\n", dialog->windowTitle().toUtf8().constData());
        return false;
    };
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
    if (!options.screenshot.empty() && !display && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Dalvera");
    QApplication::setApplicationDisplayName("Dalvera");
    ensureIconTheme();
    // Qt's own button texts (Yes, Cancel) in the host's language, where installed.
    QTranslator qtTexts;
    if (options.countryCode == 31 &&
        qtTexts.load("qtbase_nl", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    DesktopUserInterface ui;
    ui.setDatabase(options.database);
    SessionOptions so;
    so.variant = options.variant;
    so.hostVersion = options.effectiveHostVersion();
    so.countryCode = options.countryCode;
    so.registryFile = options.registry;
    Session session(ui, so);
    // The host starts with an empty workbook, as a spreadsheet does.
    session.app().Workbooks().Add()->SetSaved(true);

    MainWindow window(session, options);
    ui.setParent(&window);
    window.resize(1280, 800);
    window.show();

    auto runActions = [&] {
        bool ok = true;
        for (const auto& action : options.actions) {
            QString why;
            if (!window.perform(action, &why)) {
                std::fprintf(stderr, "dalvera: action \"%s\" failed: %s\n", action.toUtf8().constData(),
                             why.toUtf8().constData());
                ok = false;
            }
            QApplication::processEvents();
        }
        return ok;
    };

    if (!options.screenshot.empty()) {
        ui.setAutoResponder(unattended(options.database));
        window.start();
        bool ok = runActions();
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        window.refresh();
        QApplication::processEvents();
        const QString file = QString::fromStdString(options.screenshot);
        if (!window.grab().save(file, "PNG")) {
            std::fprintf(stderr, "dalvera: cannot write %s\n", options.screenshot.c_str());
            return 1;
        }
        std::fprintf(stderr, "dalvera: screenshot written to %s\n", QFileInfo(file).absoluteFilePath().toUtf8().constData());
        session.closeAddin();
        return ok ? 0 : 1;
    }

    ui.setAutoResponder(preselect(options.database));
    QTimer::singleShot(0, &window, [&] {
        window.start();
        runActions();
    });
    const int rc = qapp.exec();
    session.closeAddin();
    return rc;
}
