#pragma once
// An engine form drawn as a modal dialog: one widget per control, placed as
// designed, kept in step with the form's state after every handler call.
#include <exception>
#include <map>
#include <string>

#include <QDialog>
#include <QPalette>

#include "host/Form.h"

namespace dalvera::gui {

class FormDialog : public QDialog {
public:
    FormDialog(host::Form& form, QWidget* parent);

    // Re-reads the whole form state into the widgets.
    void refresh();
    // The close box on behalf of nobody: QueryClose, then closed all the same.
    void closeUnattended();
    // An error a handler raised; it ended the dialog and belongs to the caller.
    std::exception_ptr failure() const { return failure_; }

    // Points to pixels at the usual 96 dots per inch.
    static int px(int points);

protected:
    void reject() override;                        // Escape
    void closeEvent(QCloseEvent* event) override;  // the close box
    bool eventFilter(QObject* watched, QEvent* event) override;  // keys and focus of text boxes

private:
    struct Rendered {
        QWidget* widget = nullptr;
        host::ControlKind kind = host::ControlKind::Label;
        QPalette palette;     // as created, to return to when a back colour is dropped
        long backColor = -1;  // as last drawn
    };

    QWidget* create(const host::FormControl& control);
    void applyBackColor(Rendered& rendered, long color);
    void click(const std::string& name);
    void type(const std::string& name, const QString& text);
    void queryClose();
    template <class Handler>
    void dispatch(Handler&& handler);

    host::Form& form_;
    std::map<std::string, Rendered> widgets_;
    std::exception_ptr failure_;
};

}  // namespace dalvera::gui
