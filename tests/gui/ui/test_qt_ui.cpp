// The Qt dialogs driven through their real widgets, offscreen.
#include <gtest/gtest.h>

#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "gui/ui/QtUserInterface.h"
#include "host/Form.h"
#include "runtime/Error.h"

namespace dalvera::gui {
namespace {

using host::ControlKind;
using Strings = std::vector<std::string>;

class QtUiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QApplication::instance()) {
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "test_gui_ui";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);  // lives as long as the process
        }
        // A dialog left open by a fault fails the test instead of hanging it.
        watchdog_ = std::make_unique<QTimer>();
        QObject::connect(watchdog_.get(), &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "dialog '" << dialog->windowTitle().toStdString() << "' was left open";
                dialog->done(QDialog::Rejected);
            }
        });
        watchdog_->start(10000);
    }

    QtUserInterface ui;
    std::unique_ptr<QTimer> watchdog_;
};

// The named widget; a stand-in after a failure, so the test goes on to report more.
template <class W>
W* child(QWidget* dialog, const char* name) {
    if (W* w = dialog->findChild<W*>(name)) return w;
    ADD_FAILURE() << "no " << name;
    return new W;
}

void pressOk(QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); }  // as its OK button does
const auto decline = [](QWidget*) { return false; };

TEST_F(QtUiTest, AShortMessageStillShowsItsWholeTitle) {
    QWidget mainWindow;
    ui.setParent(&mainWindow);
    int width = 0, needed = 0;
    ui.setAutoResponder([&](QWidget* dialog) {
        width = dialog->width();
        QFont bold = dialog->font();
        bold.setBold(true);
        needed = QFontMetrics(bold).horizontalAdvance(dialog->windowTitle() + " - " +
                                                      QApplication::applicationDisplayName());
        qobject_cast<QMessageBox*>(dialog)->button(QMessageBox::Retry)->click();
        return true;
    });
    EXPECT_EQ(ui.MsgBox("No.", host::mb::RetryCancel | host::mb::Critical, "Invalid input"), host::answer::Retry);
    EXPECT_GT(width, needed + 100);  // room for the title bar's buttons and the application's name
}

TEST_F(QtUiTest, MessageBoxShowsItsStyleAndAnswersWhatWasClicked) {
    QWidget mainWindow;
    ui.setParent(&mainWindow);
    ui.setAutoResponder([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        EXPECT_EQ(box->parentWidget(), &mainWindow);
        EXPECT_EQ(box->text(), "Delete 3 rows?\nThey cannot be restored.");
        EXPECT_EQ(box->windowTitle(), "Dalvera");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        box->button(QMessageBox::Yes)->click();
        return true;
    });
    EXPECT_EQ(ui.MsgBox("Delete 3 rows?\rThey cannot be restored.",
                        host::mb::YesNo | host::mb::Question | host::mb::DefaultButton2 | host::mb::SetForeground,
                        "Dalvera"),
              host::answer::Yes);

    using B = QMessageBox;
    namespace mb = host::mb;
    struct Case {
        int style;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
        QMessageBox::StandardButton defaultButton;
        int escapeAnswer;
    };
    const Case cases[] = {
        {mb::OKOnly | mb::Information, B::Ok, B::Information, B::Ok, host::answer::OK},
        {mb::OKCancel | mb::Exclamation | mb::DefaultButton2, B::Ok | B::Cancel, B::Warning, B::Cancel,
         host::answer::Cancel},
        {mb::AbortRetryIgnore | mb::Critical | mb::DefaultButton3, B::Abort | B::Retry | B::Ignore, B::Critical,
         B::Ignore, host::answer::Abort},
        {mb::YesNoCancel | mb::DefaultButton3, B::Yes | B::No | B::Cancel, B::NoIcon, B::Cancel, host::answer::Cancel},
        {mb::YesNo, B::Yes | B::No, B::NoIcon, B::Yes, host::answer::No},
        // A default beyond the buttons falls back to the first.
        {mb::RetryCancel | mb::DefaultButton3, B::Retry | B::Cancel, B::NoIcon, B::Retry, host::answer::Cancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("style " + std::to_string(c.style));
        ui.setAutoResponder([&](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            EXPECT_EQ(box->standardButtons(), c.buttons);
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_EQ(box->defaultButton(), box->button(c.defaultButton));
            QTest::keyClick(box, Qt::Key_Escape);
            return true;
        });
        EXPECT_EQ(ui.MsgBox("Text", c.style, "T"), c.escapeAnswer);
    }
}

// Types the entries in turn, each confirmed with OK; the message box of a refused
// entry is counted and closed. Cancels after the last entry if still open.
QtUserInterface::AutoResponder typeEntries(std::vector<QString> entries, int& refusals) {
    return [entries, &refusals](QWidget* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            ++refusals;
            box->button(QMessageBox::Ok)->click();
            return true;
        }
        auto* edit = child<QLineEdit>(dialog, "value");
        for (const auto& entry : entries) {
            edit->clear();
            QTest::keyClicks(edit, entry);
            child<QDialogButtonBox>(dialog, "buttons")->button(QDialogButtonBox::Ok)->click();
        }
        return !dialog->isVisible();
    };
}

TEST_F(QtUiTest, InputBoxesKeepRefusedEntriesOpenAndAnswerByType) {
    int refusals = 0;
    QString shownDefault;
    ui.setAutoResponder([&](QWidget* dialog) {
        shownDefault = child<QLineEdit>(dialog, "value")->text();
        return false;
    });
    EXPECT_EQ(ui.ApplicationInputBox("How many?", "Count", Variant(3.0), 1), Variant(false));
    EXPECT_EQ(shownDefault, "3");

    ui.setAutoResponder(typeEntries({"abc", "12.5"}, refusals));
    EXPECT_EQ(ui.ApplicationInputBox("How many?", "Count", Variant(), 1), Variant(12.5));
    EXPECT_EQ(refusals, 1);
    ui.setAutoResponder(typeEntries({"maybe", "true"}, refusals));
    EXPECT_EQ(ui.ApplicationInputBox("Sure?", "", Variant(), 4), Variant(true));
    EXPECT_EQ(refusals, 2);
    ui.setAutoResponder(typeEntries({"42"}, refusals));
    EXPECT_EQ(ui.ApplicationInputBox("Name?", "", Variant(), 2), Variant("42"));
    EXPECT_EQ(ui.InputBox("Name?", "", "x"), "42");
    // Never a valid entry: the box stays until cancelled, and cancelling answers False.
    ui.setAutoResponder(typeEntries({"x"}, refusals));
    EXPECT_EQ(ui.ApplicationInputBox("How many?", "", Variant(), 1), Variant(false));
    ui.setAutoResponder(decline);
    EXPECT_EQ(ui.InputBox("Name?", "", "x"), "");
}

TEST_F(QtUiTest, FileDialogsOfferTheFiltersAndReturnThePath) {
    QTemporaryDir dir;
    const QString file = dir.filePath("sample.sqlite");
    QFile(file).open(QIODevice::WriteOnly);
    host::OpenFileRequest request;
    request.title = "Open database";
    request.filters = {{"Databases", "*.sqlite;*.db"}, {"All files (*.*)", "*.*"}};
    request.filterIndex = 2;
    request.initialFolder = dir.path().toStdString();
    ui.setAutoResponder([&](QWidget* dialog) {
        auto* fd = qobject_cast<QFileDialog*>(dialog);
        EXPECT_EQ(fd->windowTitle(), "Open database");
        EXPECT_EQ(fd->nameFilters(), QStringList({"Databases (*.sqlite *.db)", "All files (*)"}));
        EXPECT_EQ(fd->selectedNameFilter(), "All files (*)");
        EXPECT_EQ(fd->directory().absolutePath(), QDir(dir.path()).absolutePath());
        fd->selectFile(file);
        pressOk(fd);
        return true;
    });
    EXPECT_EQ(ui.GetOpenFileName(request), file.toStdString());
    ui.setAutoResponder(decline);
    EXPECT_EQ(ui.GetOpenFileName(request), "");

    const std::string filter = "Text (*.txt), *.txt, CSV (Comma delimited) (*.csv), *.csv";
    const std::string initial = dir.filePath("Book1").toStdString();
    QString typed;
    ui.setAutoResponder([&](QWidget* dialog) {
        auto* fd = qobject_cast<QFileDialog*>(dialog);
        EXPECT_EQ(fd->nameFilters(), QStringList({"Text (*.txt)", "CSV (Comma delimited) (*.csv)"}));
        EXPECT_EQ(fd->selectedNameFilter(), "CSV (Comma delimited) (*.csv)");
        fd->selectFile(typed);
        pressOk(fd);
        return true;
    });
    typed = "export";
    EXPECT_EQ(ui.GetSaveAsFilename(initial, filter, 2, "Save"), Variant(dir.filePath("export.csv").toStdString()));
    typed = "notes.txt";
    EXPECT_EQ(ui.GetSaveAsFilename(initial, filter, 2, "Save"), Variant(dir.filePath("notes.txt").toStdString()));
    ui.setAutoResponder(decline);
    EXPECT_EQ(ui.GetSaveAsFilename(initial, filter, 2, "Save"), Variant(false));
}

TEST_F(QtUiTest, ColorDialogSpeaksHostColours) {
    QColor shown;
    ui.setAutoResponder([&](QWidget* dialog) {
        auto* cd = qobject_cast<QColorDialog*>(dialog);
        shown = cd->currentColor();
        cd->setCurrentColor(QColor(200, 100, 50));
        pressOk(cd);
        return true;
    });
    long rgb = 10 + 256 * 20 + 65536 * 30;
    EXPECT_TRUE(ui.EditColor(32, rgb));
    EXPECT_EQ(shown, QColor(10, 20, 30));
    EXPECT_EQ(rgb, 200 + 256 * 100 + 65536 * 50);
    ui.setAutoResponder(decline);
    EXPECT_FALSE(ui.EditColor(32, rgb));
    EXPECT_EQ(rgb, 200 + 256 * 100 + 65536 * 50);
}

// ---- forms

class TestForm : public host::Form {
public:
    explicit TestForm(QtUserInterface* ui = nullptr) : ui_(ui) {
        width = 300, height = 150;
        add("lblInfo", ControlKind::Label, "Line one\rLine two", 12, 12, 200, 30);
        add("chkRemember", ControlKind::CheckBox, "&Remember", 12, 45, 150, 18).value = Variant(false);
        add("txtName", ControlKind::TextBox, "", 12, 68, 150, 18);
        add("txtPassword", ControlKind::TextBox, "", 12, 90, 150, 18).passwordChar = true;
        add("cmdOK", ControlKind::CommandButton, "&OK", 180, 115, 50, 24).isDefault = true;
        add("cmdCancel", ControlKind::CommandButton, "&Cancel", 240, 115, 50, 24).isCancel = true;
    }
    std::string Name() const override { return "frmTest"; }

    host::FormControl& add(const std::string& name, ControlKind kind, const std::string& text, int l, int t, int w,
                           int h) {
        host::FormControl& c = controls.emplace_back();
        c.name = name, c.kind = kind, c.caption = text;
        c.left = l, c.top = t, c.width = w, c.height = h;
        return c;
    }

    void Activate() override {
        ++activations;
        visibleWhenActivated = visible();
        caption = "Test form";
    }
    void Click(const std::string& name) override {
        host::FormControl* c = control(name);
        clicks.push_back(c->kind == ControlKind::CheckBox ? name + "=" + c->value.toString() : name);
        if (failOnClick) raise(err::Critical, "handler failed");
        if (name == "chkRemember") {
            control("lblInfo")->caption = c->value.toBool() ? "Remembered" : "Forgotten";
            control("txtName")->enabled = !c->value.toBool();
        } else if (name == "cmdOK" || (name == "cmdCancel" && (!ui_ || ui_->MsgBox("Discard?", host::mb::YesNo, "") ==
                                                                               host::answer::Yes))) {
            Hide();
        }
    }
    void Change(const std::string& name) override {
        changes.push_back(name + "=" + control(name)->value.text());
        control("lblInfo")->caption = "Hello " + control(name)->value.text();
    }
    void QueryClose() override {
        ++queryCloses;
        if (allowClose) Hide();
    }

    int activations = 0, queryCloses = 0;
    bool visibleWhenActivated = false, allowClose = true, failOnClick = false;
    Strings clicks, changes;

private:
    QtUserInterface* ui_;
};

TEST_F(QtUiTest, FormIsDrawnAsDesignedAndFollowsItsHandlers) {
    TestForm form;
    ui.setAutoResponder([&](QWidget* dialog) {
        auto* info = child<QLabel>(dialog, "lblInfo");
        auto* remember = child<QCheckBox>(dialog, "chkRemember");
        auto* name = child<QLineEdit>(dialog, "txtName");
        EXPECT_EQ(dialog->windowTitle(), "Test form");  // as Activate left it
        EXPECT_EQ(dialog->size(), QSize(400, 200));
        EXPECT_EQ(info->geometry(), QRect(16, 16, 267, 40));
        EXPECT_EQ(info->text(), "Line one\nLine two");
        EXPECT_EQ(remember->text(), "&Remember");
        EXPECT_EQ(child<QLineEdit>(dialog, "txtPassword")->echoMode(), QLineEdit::Password);
        EXPECT_EQ(name->echoMode(), QLineEdit::Normal);
        EXPECT_TRUE(child<QPushButton>(dialog, "cmdOK")->isDefault());
        EXPECT_FALSE(child<QPushButton>(dialog, "cmdCancel")->isDefault());

        // On the box itself: a check box takes clicks only on its box and caption.
        QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
        EXPECT_EQ(info->text(), "Remembered");
        EXPECT_FALSE(name->isEnabled());
        remember->click();
        EXPECT_EQ(info->text(), "Forgotten");
        EXPECT_TRUE(name->isEnabled());
        QTest::keyClicks(name, "Ann");
        EXPECT_EQ(form.control("txtName")->value, Variant("Ann"));
        EXPECT_EQ(info->text(), "Hello Ann");
        QTest::keyClick(name, Qt::Key_Return);  // presses the default button, whose handler hides the form
        EXPECT_FALSE(dialog->isVisible());
        return true;
    });
    ui.ShowForm(form);
    EXPECT_EQ(form.activations, 1);
    EXPECT_TRUE(form.visibleWhenActivated);
    EXPECT_FALSE(form.visible());
    EXPECT_EQ(form.clicks, (Strings{"chkRemember=True", "chkRemember=False", "cmdOK"}));
    EXPECT_EQ(form.changes, (Strings{"txtName=A", "txtName=An", "txtName=Ann"}));
}

TEST_F(QtUiTest, CloseBoxAsksTheFormWhichMayRefuse) {
    TestForm form;
    form.allowClose = false;
    ui.setAutoResponder([&](QWidget* dialog) {
        dialog->close();
        EXPECT_TRUE(dialog->isVisible()) << "closed although the form stayed";
        form.allowClose = true;
        dialog->close();
        return true;
    });
    ui.ShowForm(form);
    EXPECT_EQ(form.queryCloses, 2);
    EXPECT_TRUE(form.clicks.empty());

    // Unattended, the form ends even when it refuses.
    TestForm stubborn;
    stubborn.allowClose = false;
    ui.setAutoResponder(decline);
    ui.ShowForm(stubborn);
    EXPECT_EQ(stubborn.queryCloses, 1);
    EXPECT_FALSE(stubborn.visible());
}

TEST_F(QtUiTest, EscapePressesTheCancelButtonElseAsksTheForm) {
    // The cancel handler asks a question: the nested box comes up over the form.
    TestForm form(&ui);
    QWidget* formDialog = nullptr;
    int questions = 0;
    ui.setAutoResponder([&](QWidget* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            EXPECT_EQ(box->parentWidget(), formDialog);
            box->button(++questions == 1 ? QMessageBox::No : QMessageBox::Yes)->click();
            return true;
        }
        formDialog = dialog;
        QTest::keyClick(dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog->isVisible()) << "closed although the question was answered No";
        QTest::keyClick(dialog, Qt::Key_Escape);
        return true;
    });
    ui.ShowForm(form);
    EXPECT_EQ(form.clicks, (Strings{"cmdCancel", "cmdCancel"}));
    EXPECT_EQ(form.queryCloses, 0);

    TestForm disabled;
    disabled.control("cmdCancel")->enabled = false;
    ui.setAutoResponder([&](QWidget* dialog) {
        QTest::keyClick(dialog, Qt::Key_Escape);
        child<QPushButton>(dialog, "cmdOK")->click();
        return true;
    });
    ui.ShowForm(disabled);
    EXPECT_EQ(disabled.clicks, Strings{"cmdOK"});

    TestForm noCancel;
    noCancel.control("cmdCancel")->isCancel = false;
    ui.setAutoResponder([](QWidget* dialog) {
        QTest::keyClick(dialog, Qt::Key_Escape);
        return true;
    });
    ui.ShowForm(noCancel);
    EXPECT_EQ(noCancel.queryCloses, 1);
    EXPECT_TRUE(noCancel.clicks.empty());
}

TEST_F(QtUiTest, HandlerErrorEndsTheDialogAndReachesTheCaller) {
    TestForm form;
    form.failOnClick = true;
    ui.setAutoResponder([](QWidget* dialog) {
        child<QPushButton>(dialog, "cmdOK")->click();
        return true;
    });
    try {
        ui.ShowForm(form);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::Critical);
    }
}

TEST_F(QtUiTest, FramesHoldTheirControlsAndOptionsExcludeEachOther) {
    TestForm form;
    form.add("fraChoice", ControlKind::Frame, "Choice", 150, 10, 140, 80);
    form.add("optA", ControlKind::OptionButton, "A", 6, 14, 60, 18).container = "fraChoice";
    form.add("optB", ControlKind::OptionButton, "B", 6, 36, 60, 18).container = "fraChoice";
    form.control("optA")->value = Variant(true);
    form.add("Line1", ControlKind::Frame, "", 12, 110, 120, 1);
    form.add("lnkSite", ControlKind::Hyperlink, "example.org", 12, 130, 100, 14);
    form.add("lblSample", ControlKind::Label, "", 150, 95, 30, 12).backColor = 255 + 256 * 128;
    ui.setAutoResponder([&](QWidget* dialog) {
        auto* frame = child<QGroupBox>(dialog, "fraChoice");
        auto* a = child<QRadioButton>(dialog, "optA");
        auto* b = child<QRadioButton>(dialog, "optB");
        auto* sample = child<QLabel>(dialog, "lblSample");
        EXPECT_EQ(frame->title(), "Choice");
        EXPECT_EQ(a->parentWidget(), frame);
        EXPECT_EQ(b->geometry().topLeft(), QPoint(8, 48));
        EXPECT_EQ(dialog->findChild<QGroupBox*>("Line1"), nullptr) << "a low frame is a line";
        EXPECT_TRUE(sample->autoFillBackground());
        EXPECT_EQ(sample->palette().color(sample->backgroundRole()), QColor(255, 128, 0));

        b->click();
        EXPECT_EQ(form.control("optA")->value, Variant(false));
        EXPECT_EQ(form.control("optB")->value, Variant(true));
        EXPECT_FALSE(a->isChecked());
        form.control("fraChoice")->visible = false;  // drawn at the next handler call
        QTest::mouseClick(child<QLabel>(dialog, "lnkSite"), Qt::LeftButton);
        EXPECT_FALSE(b->isVisibleTo(dialog));
        child<QPushButton>(dialog, "cmdOK")->click();
        return true;
    });
    ui.ShowForm(form);
    EXPECT_EQ(form.clicks, (Strings{"optB", "lnkSite", "cmdOK"}));
}

}  // namespace
}  // namespace dalvera::gui
