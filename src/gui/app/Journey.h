#pragma once
// Unattended runs of whole journeys: the actions of --actions in order, the
// answers queued for the dialogs they bring, every dialog told on one line,
// and an outcome a shell can check. A dialog nobody answered, an answer of
// the wrong kind and an answer never asked for all fail the run, unless it
// is lenient, when dialogs without an answer get what a hurried person gives.
#include <deque>
#include <functional>
#include <string>

#include <QString>
#include <QStringList>

#include "gui/ui/QtUserInterface.h"

class QWidget;

namespace dalvera::gui {

class MainWindow;

class Journey {
public:
    struct Options {
        bool lenient = false;
        std::string database;  // answers the open dialog when no file: answer waits
        QString dialogShots;   // a folder for a picture of each dialog; "" for none
    };
    // One line of the run's account, without the program's name.
    using Log = std::function<void(const QString& line)>;

    explicit Journey(Options options, Log log = {});

    // The verbs that answer dialogs rather than act: answer, input, file, form, color, cancel.
    static bool isAnswer(const QString& action);
    // Queues an answer; false with the reason when it is not a valid one.
    bool queue(const QString& action, QString* error = nullptr);
    // What the dialogs get: give it to the user interface before the run.
    QtUserInterface::AutoResponder responder();

    // Runs the actions. The answers written right after an action are queued
    // before it runs, so both orders work; those written before the first
    // action are there for `start` (the program's start, with its notices).
    // False when an action failed, a dialog was not answered as queued, or an
    // answer was never asked for; the first failure ends the run.
    bool run(MainWindow& window, const QStringList& actions, const std::function<void()>& start = {});

    // Answers still waiting, as written.
    QStringList pending() const;
    // What went wrong, one line each.
    const QStringList& problems() const { return problems_; }

    // A text on one line: line breaks become " / ".
    static QString oneLine(const QString& text);

private:
    enum class Kind { Button, Input, File, Form, Color };
    struct Answer {
        Kind kind = Kind::Button;
        bool cancel = false;
        QString value;    // button name, typed text, path, form steps, colour
        QString written;  // as the script has it
        int order = 0;    // place in the script's answers
    };

    bool answer(QWidget* dialog);
    bool answerMessageBox(QWidget* dialog);
    bool answerFileDialog(QWidget* dialog);
    bool answerInputBox(QWidget* dialog);
    bool answerForm(QWidget* dialog);
    bool answerColor(QWidget* dialog);
    std::deque<Answer>& queueOf(Kind kind);
    bool takeAnswer(Kind kind, Answer& out);
    void problem(const QString& what);
    void say(const QString& line);
    void picture(QWidget* dialog, const QString& kind);
    static QString pictureName(QWidget* dialog);
    // save:PATH: the program's own Save As, its dialog answered with PATH.
    bool saveAs(MainWindow& window, const QString& path, QString& why);

    Options options_;
    Log log_;
    std::deque<Answer> buttons_, inputs_, files_, forms_, colors_;
    QStringList problems_;
    int pictures_ = 0;
    int written_ = 0;
};

}  // namespace dalvera::gui
