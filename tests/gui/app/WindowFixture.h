#pragma once
// A session in a scratch folder with the main window over it, offscreen.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <memory>

#include "entry/SessionFixture.h"
#include "gui/app/CommandSurface.h"
#include "gui/app/MainWindow.h"
#include "gui/app/SheetGrid.h"

namespace dalvera::testing {

// Counts the SheetChange events and keeps the last target's address.
struct ChangeCounter : host::ApplicationEvents {
    int changes = 0, activations = 0;
    std::string lastAddress;
    void SheetChange(const host::WorksheetPtr&, const host::RangePtr& target) override {
        ++changes;
        lastAddress = target->Address();
    }
    void SheetActivate(const host::WorksheetPtr&) override { ++activations; }
};

class WindowTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        if (!QApplication::instance()) {
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "test_gui_app";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);  // lives as long as the process
        }
    }
    void TearDown() override {
        if (session_) session_->app().removeEventSink(&events_);
        window_.reset();
        SessionTest::TearDown();
    }

    // The window over a session of the variant with the add-in opened, its
    // start-up hint accepted; a blank workbook like the program's own start.
    gui::MainWindow& open(int variant = 12, int countryCode = 1) {
        SessionOptions o;
        o.variant = variant;
        o.countryCode = countryCode;
        o.hostVersion = variant % 10 == 1 ? "11.0" : "16.0";
        start(o);
        session_->app().addEventSink(&events_);
        book_ = session_->app().Workbooks().Add();
        gui::AppOptions options;
        options.variant = variant;
        window_ = std::make_unique<gui::MainWindow>(*session_, options);
        window_->resize(1000, 700);
        window_->show();
        ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
        window_->start();
        settle();
        return *window_;
    }

    // Lets deferred redraws happen and the window follow the application.
    void settle() {
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        window_->refresh();
        QApplication::processEvents();
    }

    gui::SheetGrid& grid() { return window_->grid(); }
    host::WorksheetPtr sheet() { return book_->ActiveSheet(); }
    // Makes a cell the grid's current one, as a click would.
    void goTo(int row, int col) {
        grid().setFocus();
        grid().setCurrentIndex(grid().model()->index(row - 1, col - 1));
    }

    // The sample database as built, or "" when it was not.
    static std::string sampleDatabase() {
        const char* bin = std::getenv("DALVERA_BINARY_DIR");
#ifdef DALVERA_BUILD_DIR
        if (!bin) bin = DALVERA_BUILD_DIR;
#endif
        std::string path = std::string(bin ? bin : ".") + "/examples/sample.sqlite";
        return std::filesystem::exists(path) ? path : std::string();
    }

    // The open cell editor, or nullptr.
    QWidget* cellEditor() {
        for (auto* c : grid().findChildren<QComboBox*>("listEditor"))
            if (c->isVisible()) return c;
        for (auto* e : grid().findChildren<QLineEdit*>("cellEditor"))
            if (e->isVisible()) return e;
        return nullptr;
    }
    // Types into the current cell as a person does: the first key opens the
    // editor, the rest go to it, and Enter ends the entry.
    void typeIntoCell(const QString& text, bool enter = true) {
        QTest::keyClicks(&grid(), text.left(1));
        QWidget* editor = cellEditor();
        if (!editor) return;  // the host refused the cell
        if (text.size() > 1) QTest::keyClicks(editor, text.mid(1));
        if (enter) QTest::keyClick(editor, Qt::Key_Return);
        settle();
    }

    ChangeCounter events_;
    host::WorkbookPtr book_;
    std::unique_ptr<gui::MainWindow> window_;
};

}  // namespace dalvera::testing
