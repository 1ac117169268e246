#pragma once
// The desktop rendering of what the engine asks of a person: message boxes,
// input boxes, file dialogs, the colour dialog and the engine's forms, each a
// modal Qt dialog centred over the main window.
#include <functional>
#include <string>

#include <QPointer>
#include <QWidget>

#include "host/UserInterface.h"

class QDialog;

namespace dalvera::gui {

// Object names a responder can find with findChild:
//  - input boxes: QLabel "prompt", QLineEdit "value", QDialogButtonBox "buttons"
//    (standard Ok and Cancel buttons);
//  - forms: every control's widget carries the control's name; a contained
//    control is a child of its frame's widget, placed relative to the frame;
//  - message boxes, file and colour dialogs: Qt's own standard buttons.
class QtUserInterface : public host::UserInterface {
public:
    // Called once each dialog is up, from inside its modal loop. Return true when
    // the dialog was dealt with; false cancels it (Escape, or the close box of a
    // form, forced if the form refuses) so an unattended run never waits.
    using AutoResponder = std::function<bool(QWidget* dialog)>;

    QtUserInterface() = default;
    explicit QtUserInterface(QWidget* parent) : parent_(parent) {}

    void setParent(QWidget* parent) { parent_ = parent; }
    QWidget* parent() const { return parent_; }
    void setAutoResponder(AutoResponder responder) { responder_ = std::move(responder); }
    const AutoResponder& autoResponder() const { return responder_; }
    // The question the save dialog asks before a file that exists is replaced
    // (the path goes in); without one, nothing is asked.
    void setReplaceQuestion(std::function<std::string(const std::string& path)> question) {
        replaceQuestion_ = std::move(question);
    }

    int MsgBox(const std::string& prompt, int style, const std::string& title) override;
    Variant ApplicationInputBox(const std::string& prompt, const std::string& title, const Variant& defaultValue,
                                int type) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultValue) override;
    std::string GetOpenFileName(const host::OpenFileRequest& request) override;
    Variant GetSaveAsFilename(const std::string& initialName, const std::string& filter, int filterIndex,
                              const std::string& title) override;
    bool EditColor(int index, long& rgb) override;
    void ShowForm(host::Form& form) override;

    // Runs a dialog modally, giving it to the responder once it is up; `cancel`
    // is what the responder's refusal does. Returns exec()'s result.
    int runModal(QDialog& dialog, const std::function<void()>& cancel, bool foreground = false);

private:
    // A dialog opened from inside another one (a form's handler asking a
    // question) sits over that one; otherwise over the main window.
    QWidget* owner() const;

    QPointer<QWidget> parent_;
    AutoResponder responder_;
    std::function<std::string(const std::string&)> replaceQuestion_;
};

// The host's texts break lines with "\r" (or "\r\n"); Qt wants "\n".
QString displayText(const std::string& text);

}  // namespace dalvera::gui
