#include "gui/ui/FormDialog.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QApplication>
#include <QKeyEvent>
#include <QRadioButton>
#include <QTabBar>

#include "gui/ui/QtUserInterface.h"
#include "runtime/Error.h"

namespace dalvera::gui {

namespace {

using host::ControlKind;

QString qs(const std::string& s) { return QString::fromStdString(s); }

// A check box or option value as the engine may hold it: a Boolean, or a number
// or text the host would read as one.
bool ticked(const Variant& value) {
    if (value.isBoolean()) return value.toBool();
    if (value.isNumber()) return value.toDouble() != 0;
    if (value.isString()) {
        try {
            return value.toBool();
        } catch (const Error&) {
        }
    }
    return false;
}

// A label that reacts to a click like a link.
class LinkLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick) onClick();
    }
};

// A frame this low is drawn as a line.
bool isSeparator(const host::FormControl& c) { return c.kind == ControlKind::Frame && c.height <= 2; }

template <class W>
void setTextIfChanged(W* w, const QString& text) {
    if (w->text() != text) w->setText(text);
}

}  // namespace

int FormDialog::px(int points) { return static_cast<int>(std::lround(points * 4.0 / 3.0)); }

FormDialog::FormDialog(host::Form& form, QWidget* parent) : QDialog(parent), form_(form) {
    setObjectName(qs(form.Name()));
    setFixedSize(px(form.width), px(form.height));
    for (const auto& c : form.controls) {
        Rendered r;
        r.widget = create(c);
        r.kind = c.kind;
        r.palette = r.widget->palette();
        widgets_[c.name] = r;
    }
    // Frames take their contents only now, so the order of the list does not matter.
    for (const auto& c : form.controls) {
        QWidget* w = widgets_[c.name].widget;
        auto frame = c.container.empty() ? widgets_.end() : widgets_.find(c.container);
        if (frame != widgets_.end() && frame->second.kind == ControlKind::Frame && frame->second.widget != w &&
            qobject_cast<QGroupBox*>(frame->second.widget))
            w->setParent(frame->second.widget);
        // A line needs a few pixels to be drawn at all.
        int height = isSeparator(c) ? std::max(px(c.height), 3) : px(c.height);
        w->setGeometry(px(c.left), px(c.top), px(c.width), height);
    }
    refresh();
}

QWidget* FormDialog::create(const host::FormControl& c) {
    const std::string name = c.name;
    QWidget* w = nullptr;
    switch (c.kind) {
    case ControlKind::Label:
    case ControlKind::Image: {
        auto* label = new QLabel(this);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        w = label;
        break;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(this);
        connect(box, &QCheckBox::clicked, this, [this, name](bool checked) {
            dispatch([&] {
                if (host::FormControl* control = form_.control(name)) control->value = Variant(checked);
                form_.Click(name);
            });
        });
        w = box;
        break;
    }
    case ControlKind::CommandButton: {
        auto* button = new QPushButton(this);
        connect(button, &QPushButton::clicked, this, [this, name] { click(name); });
        w = button;
        break;
    }
    case ControlKind::TextBox: {
        auto* edit = new QLineEdit(this);
        connect(edit, &QLineEdit::textEdited, this, [this, name](const QString& text) { type(name, text); });
        // The form hears of every key and of the focus, as its handlers expect.
        edit->installEventFilter(this);
        w = edit;
        break;
    }
    case ControlKind::TabStrip: {
        auto* bar = new QTabBar(this);
        bar->setExpanding(false);
        for (size_t i = 0; i < c.tabs.size(); ++i) bar->addTab(qs(c.tabs[i]));
        connect(bar, &QTabBar::tabBarClicked, this, [this, name](int index) {
            if (index < 0) return;
            dispatch([&] {
                if (host::FormControl* control = form_.control(name)) control->value = Variant(static_cast<long>(index));
                form_.Click(name);
            });
        });
        w = bar;
        break;
    }
    case ControlKind::Frame: {
        if (isSeparator(c)) {
            auto* line = new QFrame(this);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            w = line;
        } else {
            w = new QGroupBox(this);
        }
        break;
    }
    case ControlKind::OptionButton: {
        auto* option = new QRadioButton(this);
        // The form state says which option is on; Qt's own exclusivity could
        // not show "none of them".
        option->setAutoExclusive(false);
        connect(option, &QRadioButton::clicked, this, [this, name] {
            dispatch([&] {
                host::FormControl* control = form_.control(name);
                if (control) {
                    for (auto& other : form_.controls)
                        if (other.kind == ControlKind::OptionButton && other.container == control->container)
                            other.value = Variant(false);
                    control->value = Variant(true);
                }
                form_.Click(name);
            });
        });
        w = option;
        break;
    }
    case ControlKind::Hyperlink: {
        auto* link = new LinkLabel(this);
        link->setTextFormat(Qt::PlainText);
        QFont font = link->font();
        font.setUnderline(true);
        link->setFont(font);
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
        link->setPalette(palette);
        link->setCursor(Qt::PointingHandCursor);
        link->onClick = [this, name] { click(name); };
        w = link;
        break;
    }
    }
    w->setObjectName(qs(name));
    return w;
}

void FormDialog::refresh() {
    if (windowTitle() != qs(form_.caption)) setWindowTitle(qs(form_.caption));
    for (const auto& c : form_.controls) {
        auto it = widgets_.find(c.name);
        if (it == widgets_.end()) continue;  // added after the form was drawn
        Rendered& r = it->second;
        const QString caption = qs(c.caption);
        switch (c.kind) {
        case ControlKind::Label: setTextIfChanged(static_cast<QLabel*>(r.widget), displayText(c.caption)); break;
        case ControlKind::Image: break;
        case ControlKind::Hyperlink: setTextIfChanged(static_cast<QLabel*>(r.widget), caption); break;
        case ControlKind::CheckBox: {
            auto* box = static_cast<QCheckBox*>(r.widget);
            setTextIfChanged(box, caption);
            box->setChecked(ticked(c.value));
            break;
        }
        case ControlKind::OptionButton: {
            auto* option = static_cast<QRadioButton*>(r.widget);
            setTextIfChanged(option, caption);
            option->setChecked(ticked(c.value));
            break;
        }
        case ControlKind::CommandButton: {
            auto* button = static_cast<QPushButton*>(r.widget);
            setTextIfChanged(button, caption);
            button->setDefault(c.isDefault);
            break;
        }
        case ControlKind::TextBox: {
            auto* edit = static_cast<QLineEdit*>(r.widget);
            edit->setEchoMode(c.passwordChar ? QLineEdit::Password : QLineEdit::Normal);
            // Only a different text is set, so the caret stays where the person types.
            setTextIfChanged(edit, qs(c.value.text()));
            break;
        }
        case ControlKind::Frame:
            if (auto* group = qobject_cast<QGroupBox*>(r.widget); group && group->title() != caption)
                group->setTitle(caption);
            break;
        case ControlKind::TabStrip: {
            auto* bar = static_cast<QTabBar*>(r.widget);
            for (size_t i = 0; i < c.tabs.size(); ++i) {
                if (static_cast<int>(i) >= bar->count()) bar->addTab(qs(c.tabs[i]));
                else if (bar->tabText(static_cast<int>(i)) != qs(c.tabs[i])) bar->setTabText(static_cast<int>(i), qs(c.tabs[i]));
            }
            const int selected = c.value.isNumeric() ? static_cast<int>(c.value.toLong()) : 0;
            if (bar->currentIndex() != selected) bar->setCurrentIndex(selected);
            break;
        }
        }
        r.widget->setEnabled(c.enabled);
        r.widget->setVisible(c.visible);
        applyBackColor(r, c.backColor);
    }
}

void FormDialog::applyBackColor(Rendered& r, long color) {
    if (color < 0) color = -1;
    if (color == r.backColor) return;
    r.backColor = color;
    if (color < 0) {
        r.widget->setPalette(r.palette);
        r.widget->setAutoFillBackground(false);
        return;
    }
    QPalette palette = r.palette;
    palette.setColor(r.widget->backgroundRole(), QColor(static_cast<int>(color & 0xFF),
                                                        static_cast<int>((color >> 8) & 0xFF),
                                                        static_cast<int>((color >> 16) & 0xFF)));
    r.widget->setPalette(palette);
    r.widget->setAutoFillBackground(true);
}

template <class Handler>
void FormDialog::dispatch(Handler&& handler) {
    if (failure_) return;
    try {
        handler();
    } catch (...) {
        // Qt cannot carry an exception through its event loop; ShowForm rethrows it.
        failure_ = std::current_exception();
        done(QDialog::Rejected);
        return;
    }
    if (!form_.visible()) {
        done(QDialog::Accepted);
        return;
    }
    refresh();
}

bool FormDialog::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const std::string name = widget ? widget->objectName().toStdString() : std::string();
    if (event->type() == QEvent::FocusIn && form_.control(name)) {
        form_.focus = name;
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Typed characters only; moving keys and shortcuts are the editor's.
        if (!text.isEmpty() && (text.at(0).isPrint() || text.at(0).unicode() == 8) &&
            !form_.KeyPress(name, text.at(0).unicode())) {
            QApplication::beep();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FormDialog::click(const std::string& name) {
    dispatch([&] { form_.Click(name); });
}

void FormDialog::type(const std::string& name, const QString& text) {
    dispatch([&] {
        if (host::FormControl* control = form_.control(name)) control->value = Variant(text.toStdString());
        form_.Change(name);
    });
}

void FormDialog::queryClose() {
    dispatch([&] { form_.QueryClose(); });
}

void FormDialog::reject() {
    std::string cancel;
    bool usable = false;
    for (const auto& c : form_.controls) {
        if (c.kind == ControlKind::CommandButton && c.isCancel) {
            cancel = c.name;
            usable = c.enabled && c.visible;
            break;
        }
    }
    if (cancel.empty()) {
        queryClose();
        return;
    }
    // A disabled or hidden cancel button cannot be pressed, not even by Escape.
    if (!usable) return;
    auto it = widgets_.find(cancel);
    if (it == widgets_.end()) return;
    if (auto* button = qobject_cast<QPushButton*>(it->second.widget)) button->click();
}

void FormDialog::closeEvent(QCloseEvent* event) {
    if (!form_.visible() || failure_) {
        event->accept();
        return;
    }
    queryClose();
    // The form decides: it closes only by hiding itself.
    if (form_.visible() && !failure_) event->ignore();
    else event->accept();
}

void FormDialog::closeUnattended() {
    queryClose();
    if (isVisible()) {
        form_.Hide();
        done(QDialog::Rejected);
    }
}

void QtUserInterface::ShowForm(host::Form& form) {
    form.markShown();
    form.Activate();
    if (!form.visible()) return;  // the form changed its mind while activating
    FormDialog dialog(form, owner());
    runModal(dialog, [&dialog] { dialog.closeUnattended(); });
    if (dialog.failure()) std::rethrow_exception(dialog.failure());
    // Ended from outside (the application quitting): the form is no longer shown.
    if (form.visible()) form.Hide();
}

}  // namespace dalvera::gui
