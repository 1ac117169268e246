#include "gui/app/Journey.h"

#include <algorithm>
#include <cstdio>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QApplication>
#include <QColorDialog>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QTimer>

#include "gui/app/CommandSurface.h"
#include "gui/app/MainWindow.h"
#include "gui/ui/FormDialog.h"

namespace dalvera::gui {

namespace {

struct ButtonName {
    const char* name;
    QMessageBox::StandardButton button;
};
constexpr ButtonName kButtons[] = {
    {"OK", QMessageBox::Ok},       {"Cancel", QMessageBox::Cancel}, {"Yes", QMessageBox::Yes},
    {"No", QMessageBox::No},       {"Retry", QMessageBox::Retry},   {"Abort", QMessageBox::Abort},
    {"Ignore", QMessageBox::Ignore},
};

QString nameOf(QMessageBox::StandardButton b) {
    for (const auto& k : kButtons)
        if (k.button == b) return k.name;
    return "?";
}

QString quoted(const QString& text) { return "\"" + Journey::oneLine(text) + "\""; }

// The buttons of a box in their order, as "Yes/No".
QString buttonList(QMessageBox* box) {
    QStringList names;
    for (QAbstractButton* b : box->buttons()) names << nameOf(box->standardButton(b));
    return names.join('/');
}

QString plainCaption(QString text) {
    text.replace("&&", "\x01");
    text.remove('&');
    text.replace('\x01', '&');
    return text.trimmed();
}

// What a form says: its labels, top to bottom.
QString formText(QWidget* dialog) {
    QStringList parts;
    QList<QLabel*> labels = dialog->findChildren<QLabel*>();
    std::stable_sort(labels.begin(), labels.end(), [dialog](QLabel* a, QLabel* b) {
        return a->mapTo(dialog, QPoint()).y() < b->mapTo(dialog, QPoint()).y();
    });
    for (QLabel* l : labels)
        if (l->isVisibleTo(dialog) && !l->text().trimmed().isEmpty()) parts << l->text().trimmed();
    return parts.join('\n');
}

}  // namespace

Journey::Journey(Options options, Log log) : options_(std::move(options)), log_(std::move(log)) {
    if (!log_)
        log_ = [](const QString& line) { std::fprintf(stderr, "dalvera: %s\n", line.toUtf8().constData()); };
}

QString Journey::oneLine(const QString& text) {
    QString s = text;
    s.replace("\r\n", "\n");
    s.replace('\r', '\n');
    QStringList lines = s.split('\n');
    for (auto& l : lines) l = l.trimmed();
    lines.removeAll(QString());
    return lines.join(" / ");
}

bool Journey::isAnswer(const QString& action) {
    const QString verb = action.left(action.indexOf(':')).trimmed().toLower();
    return verb == "answer" || verb == "input" || verb == "file" || verb == "form" || verb == "color" ||
           verb == "cancel";
}

bool Journey::queue(const QString& action, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const int colon = action.indexOf(':');
    if (colon < 0) return fail(action + " needs a value after the colon");
    const QString verb = action.left(colon).trimmed().toLower();
    const QString value = action.mid(colon + 1);
    Answer a;
    a.written = action;
    if (verb == "answer") {
        a.kind = Kind::Button;
        for (const auto& k : kButtons)
            if (value.trimmed().compare(k.name, Qt::CaseInsensitive) == 0) a.value = k.name;
        if (a.value.isEmpty()) return fail("answer takes OK, Cancel, Yes, No, Retry, Abort or Ignore, not " + value);
    } else if (verb == "input") {
        a.kind = Kind::Input;
        a.value = value;
    } else if (verb == "file") {
        a.kind = Kind::File;
        if (value.trimmed().isEmpty()) return fail("file needs a path");
        a.value = QFileInfo(value.trimmed()).absoluteFilePath();
    } else if (verb == "form") {
        a.kind = Kind::Form;
        a.value = value.trimmed();
    } else if (verb == "color") {
        a.kind = Kind::Color;
        if (!QColor::isValidColorName(value.trimmed())) return fail("color takes a colour such as #FF8000");
        a.value = value.trimmed();
    } else if (verb == "cancel") {
        const QString what = value.trimmed().toLower();
        a.cancel = true;
        if (what == "input") a.kind = Kind::Input;
        else if (what == "file") a.kind = Kind::File;
        else if (what == "form") a.kind = Kind::Form;
        else if (what == "color") a.kind = Kind::Color;
        else return fail("cancel takes input, file, form or color (a message box takes answer:Cancel)");
    } else {
        return fail("not an answer: " + action);
    }
    a.order = ++written_;
    queueOf(a.kind).push_back(a);
    return true;
}

std::deque<Journey::Answer>& Journey::queueOf(Kind kind) {
    switch (kind) {
    case Kind::Button: return buttons_;
    case Kind::Input: return inputs_;
    case Kind::File: return files_;
    case Kind::Form: return forms_;
    case Kind::Color: return colors_;
    }
    return buttons_;
}

bool Journey::takeAnswer(Kind kind, Answer& out) {
    auto& q = queueOf(kind);
    if (q.empty()) return false;
    out = q.front();
    q.pop_front();
    return true;
}

QStringList Journey::pending() const {
    // In the order they were written, whatever their kind.
    std::vector<const Answer*> all;
    for (const auto* q : {&buttons_, &inputs_, &files_, &forms_, &colors_})
        for (const auto& a : *q) all.push_back(&a);
    std::sort(all.begin(), all.end(), [](const Answer* x, const Answer* y) { return x->order < y->order; });
    QStringList out;
    for (const auto* a : all) out << a->written;
    return out;
}

void Journey::say(const QString& line) { log_(line); }

void Journey::problem(const QString& what) {
    problems_ << what;
    say(what);
}

void Journey::picture(QWidget* dialog, const QString& kind) {
    QDir().mkpath(options_.dialogShots);
    const QString file =
        QDir(options_.dialogShots).filePath(QString("%1-%2.png").arg(++pictures_, 2, 10, QChar('0')).arg(kind));
    if (dialog->grab().save(file, "PNG")) say("picture of the " + kind + " written to " + file);
    else problem("cannot write " + file);
}

QtUserInterface::AutoResponder Journey::responder() {
    return [this](QWidget* dialog) {
        if (options_.dialogShots.isEmpty()) return answer(dialog);
        // Answered a moment later from the dialog's own loop, once it is drawn
        // and its picture taken, as a person would.
        QPointer<QWidget> shown(dialog);
        QTimer::singleShot(300, dialog, [this, shown] {
            if (!shown || !shown->isVisible()) return;
            picture(shown, pictureName(shown));
            if (answer(shown) || !shown || !shown->isVisible()) return;
            if (auto* form = dynamic_cast<FormDialog*>(shown.data())) form->closeUnattended();
            else if (auto* d = qobject_cast<QDialog*>(shown.data())) d->reject();
        });
        return true;
    };
}

QString Journey::pictureName(QWidget* dialog) {
    if (qobject_cast<QMessageBox*>(dialog)) return "message";
    if (auto* f = qobject_cast<QFileDialog*>(dialog))
        return f->acceptMode() == QFileDialog::AcceptOpen ? "open-dialog" : "save-dialog";
    if (qobject_cast<QColorDialog*>(dialog)) return "color";
    if (dynamic_cast<FormDialog*>(dialog)) return "form";
    return "input";
}

bool Journey::answer(QWidget* dialog) {
    if (qobject_cast<QMessageBox*>(dialog)) return answerMessageBox(dialog);
    if (qobject_cast<QFileDialog*>(dialog)) return answerFileDialog(dialog);
    if (qobject_cast<QColorDialog*>(dialog)) return answerColor(dialog);
    if (dynamic_cast<FormDialog*>(dialog)) return answerForm(dialog);
    if (dialog->findChild<QLineEdit*>("value") && dialog->findChild<QDialogButtonBox*>("buttons"))
        return answerInputBox(dialog);
    problem("dialog " + quoted(dialog->windowTitle()) + " has no answer of any kind; cancelled");
    return false;
}

bool Journey::answerMessageBox(QWidget* dialog) {
    auto* box = static_cast<QMessageBox*>(dialog);
    const QString shown = "message box " + quoted(box->text()) + " [" + buttonList(box) + "]";
    Answer a;
    if (takeAnswer(Kind::Button, a)) {
        for (const auto& k : kButtons)
            if (a.value == k.name)
                if (QAbstractButton* b = box->button(k.button)) {
                    say(shown + " answered " + a.value);
                    b->click();
                    return true;
                }
        problem(shown + " has no button " + a.value + " (" + a.written + ")");
    } else if (!options_.lenient) {
        problem(shown + ": no answer was queued");
    } else if (QAbstractButton* b = box->defaultButton()) {
        say(shown + " answered " + nameOf(box->standardButton(b)) + " (its default)");
        b->click();
        return true;
    }
    // The way out that does the least.
    QAbstractButton* out = box->escapeButton() ? box->escapeButton() : box->defaultButton();
    say(shown + " answered " + (out ? nameOf(box->standardButton(out)) : QString("by closing it")));
    if (out) out->click();
    else box->reject();
    return true;
}

bool Journey::answerFileDialog(QWidget* dialog) {
    auto* files = static_cast<QFileDialog*>(dialog);
    const bool open = files->acceptMode() == QFileDialog::AcceptOpen;
    QString shown = QString(open ? "open dialog " : "save dialog ") + quoted(files->windowTitle());
    if (!open) {
        const auto* edit = files->findChild<QLineEdit*>("fileNameEdit");
        shown += " proposing " + quoted(QDir(files->directory()).filePath(edit ? edit->text() : QString())) +
                 " as " + quoted(files->selectedNameFilter());
    }
    Answer a;
    QString path;
    if (takeAnswer(Kind::File, a)) {
        if (a.cancel) {
            say(shown + " cancelled");
            return false;
        }
        path = a.value;
    } else if (open && !options_.database.empty()) {
        path = QString::fromStdString(options_.database);
    } else {
        if (options_.lenient) say(shown + " cancelled: no file was queued");
        else problem(shown + ": no file was queued; cancelled");
        return false;
    }
    if (open && !QFileInfo(path).isFile()) {
        problem(shown + ": there is no file " + path + "; cancelled");
        return false;
    }
    say(shown + " answered with " + path);
    // Typed into the name field as a person does (once the folder is listed,
    // selectFile would only mark the file); a file marked in the list would
    // win over the name typed.
    for (auto* view : files->findChildren<QAbstractItemView*>())
        if (view->selectionModel()) view->selectionModel()->clearSelection();
    if (auto* edit = files->findChild<QLineEdit*>("fileNameEdit")) edit->setText(path);
    else files->selectFile(path);
    QMetaObject::invokeMethod(files, "accept");
    return true;
}

bool Journey::answerInputBox(QWidget* dialog) {
    auto* edit = dialog->findChild<QLineEdit*>("value");
    auto* prompt = dialog->findChild<QLabel*>("prompt");
    const QString shown = "input box " + quoted(prompt ? prompt->text() : dialog->windowTitle());
    Answer a;
    if (!takeAnswer(Kind::Input, a)) {
        if (options_.lenient) say(shown + " cancelled: no input was queued");
        else problem(shown + ": no input was queued; cancelled");
        return false;
    }
    if (a.cancel) {
        say(shown + " cancelled");
        return false;
    }
    say(shown + " answered with " + quoted(a.value));
    edit->setText(a.value);
    QPushButton* ok = dialog->findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok);
    ok->click();
    return true;
}

bool Journey::answerForm(QWidget* dialog) {
    const QString shown = "form " + quoted(dialog->windowTitle()) + " " + quoted(formText(dialog));
    Answer a;
    if (!takeAnswer(Kind::Form, a)) {
        // The notices a form brings are read and closed with OK.
        auto* ok = dialog->findChild<QPushButton*>("cmdOK");
        if (ok && ok->isEnabled() && ok->isVisibleTo(dialog)) {
            say(shown + " answered with OK");
            ok->click();
            return true;
        }
        if (options_.lenient) say(shown + " closed: it has no OK to press");
        else problem(shown + ": no form answer was queued and it has no OK to press; closed");
        return false;
    }
    if (a.cancel) {
        say(shown + " closed");
        return false;
    }
    // "name=text" types into a text box; "name" clicks a button, check box or
    // option button, by its name or its caption.
    QStringList steps = a.value.split(',', Qt::SkipEmptyParts);
    if (steps.isEmpty()) steps << "cmdOK";
    say(shown + " answered with " + a.value);
    for (const QString& raw : steps) {
        if (!dialog->isVisible()) {
            problem(shown + " closed before " + raw.trimmed() + " (" + a.written + ")");
            return true;
        }
        const int eq = raw.indexOf('=');
        const QString name = (eq < 0 ? raw : raw.left(eq)).trimmed();
        if (eq >= 0) {
            auto* edit = dialog->findChild<QLineEdit*>(name);
            if (!edit || !edit->isEnabled()) {
                problem(shown + " has no text box " + name + " to type into (" + a.written + ")");
                return false;
            }
            const QString text = raw.mid(eq + 1);
            edit->setText(text);
            emit edit->textEdited(text);
            continue;
        }
        QAbstractButton* target = nullptr;
        for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
            if (!b->isVisibleTo(dialog)) continue;
            if (b->objectName().compare(name, Qt::CaseInsensitive) == 0 ||
                plainCaption(b->text()).compare(name, Qt::CaseInsensitive) == 0) {
                target = b;
                break;
            }
        }
        if (!target || !target->isEnabled()) {
            problem(shown + " has no button " + name + " to click (" + a.written + ")");
            return false;
        }
        target->click();
    }
    if (dialog->isVisible()) {
        problem(shown + " stayed open after " + a.written);
        return false;
    }
    return true;
}

bool Journey::answerColor(QWidget* dialog) {
    auto* colors = static_cast<QColorDialog*>(dialog);
    const QString shown = "colour dialog " + quoted(colors->windowTitle());
    Answer a;
    if (!takeAnswer(Kind::Color, a)) {
        if (options_.lenient) say(shown + " cancelled: no colour was queued");
        else problem(shown + ": no colour was queued; cancelled");
        return false;
    }
    if (a.cancel) {
        say(shown + " cancelled");
        return false;
    }
    say(shown + " answered with " + a.value);
    colors->setCurrentColor(QColor(a.value));
    colors->accept();
    return true;
}

bool Journey::saveAs(MainWindow& window, const QString& path, QString& why) {
    const QString file = QFileInfo(path.trimmed()).absoluteFilePath();
    if (path.trimmed().isEmpty()) {
        why = "save needs a path";
        return false;
    }
    const QFileInfo before(file);
    const bool existed = before.exists();
    const QDateTime modified = existed ? before.lastModified() : QDateTime();
    const qint64 size = existed ? before.size() : -1;
    Answer a;
    a.kind = Kind::File;
    a.value = file;
    a.written = "save:" + path;
    a.order = ++written_;
    // Its own dialog comes before any other file dialog still waiting.
    files_.push_front(a);
    auto control = window.commands().find("File/Save As");
    QString failure;
    if (control) window.runControl(control);
    else if (!window.pressKey("{F12}")) failure = "there is no Save As here";
    bool asked = true;
    for (auto it = files_.begin(); it != files_.end(); ++it)
        if (it->order == a.order) {
            asked = false;
            files_.erase(it);
            break;
        }
    if (!failure.isEmpty()) {
        why = failure;
        return false;
    }
    if (!asked) {
        why = "no save dialog came, so nothing was saved";
        return false;
    }
    const QFileInfo after(file);
    if (!after.exists() || (existed && after.lastModified() == modified && after.size() == size)) {
        why = "nothing was written to " + file;
        return false;
    }
    say("saved " + file);
    return true;
}

bool Journey::run(MainWindow& window, const QStringList& actions, const std::function<void()>& start) {
    int first = 0;
    for (; first < actions.size() && isAnswer(actions[first]); ++first) {
        QString why;
        if (!queue(actions[first], &why)) {
            problem("action " + quoted(actions[first]) + " failed: " + why);
            return false;
        }
    }
    if (start) start();
    if (!problems_.isEmpty()) return false;  // the start already went wrong
    for (int i = first; i < actions.size(); ++i) {
        const QString& action = actions[i];
        QString why;
        if (isAnswer(action)) {
            if (!queue(action, &why)) {
                problem("action " + quoted(action) + " failed: " + why);
                return false;
            }
            continue;
        }
        // The answers written right after the action are for it: queued first.
        int next = i + 1;
        for (; next < actions.size() && isAnswer(actions[next]); ++next)
            if (!queue(actions[next], &why)) {
                problem("action " + quoted(actions[next]) + " failed: " + why);
                return false;
            }
        const int problemsBefore = static_cast<int>(problems_.size());
        bool ok = true;
        if (action.section(':', 0, 0).trimmed().toLower() == "save") ok = saveAs(window, action.section(':', 1), why);
        else ok = window.perform(action, &why);
        QApplication::processEvents();
        if (!ok) {
            problem("action " + quoted(action) + " failed: " + why);
            return false;
        }
        if (problems_.size() > problemsBefore) {
            problem("action " + quoted(action) + " failed: its dialogs were not answered as queued");
            return false;
        }
        i = next - 1;
    }
    const QStringList left = pending();
    if (!left.isEmpty()) {
        problem("never asked for: " + left.join("; "));
        return false;
    }
    return true;
}

}  // namespace dalvera::gui
