#include "gui/ui/QtUserInterface.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include <QColorDialog>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QSpacerItem>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::gui {

namespace {

QString tr(const char* text) { return QCoreApplication::translate("dalvera::gui::QtUserInterface", text); }

QString qs(const std::string& s) { return QString::fromStdString(s); }

// ---- message boxes

struct BoxButton {
    QMessageBox::StandardButton button;
    int answer;
};

// The buttons of each style, in the host's order (the order DefaultButton2/3 count in).
std::vector<BoxButton> buttonsOf(int style) {
    using B = QMessageBox;
    switch (style & host::mb::ButtonsMask) {
    case host::mb::OKCancel: return {{B::Ok, host::answer::OK}, {B::Cancel, host::answer::Cancel}};
    case host::mb::AbortRetryIgnore:
        return {{B::Abort, host::answer::Abort}, {B::Retry, host::answer::Retry}, {B::Ignore, host::answer::Ignore}};
    case host::mb::YesNoCancel:
        return {{B::Yes, host::answer::Yes}, {B::No, host::answer::No}, {B::Cancel, host::answer::Cancel}};
    case host::mb::YesNo: return {{B::Yes, host::answer::Yes}, {B::No, host::answer::No}};
    case host::mb::RetryCancel: return {{B::Retry, host::answer::Retry}, {B::Cancel, host::answer::Cancel}};
    default: return {{B::Ok, host::answer::OK}};
    }
}

// What Escape and the close box answer. The host offers no way out of Yes/No
// or Abort/Retry/Ignore; a Qt window always has one, so it takes the answer
// that does the least: No, Abort.
QMessageBox::StandardButton escapeOf(int style) {
    switch (style & host::mb::ButtonsMask) {
    case host::mb::OKCancel:
    case host::mb::YesNoCancel:
    case host::mb::RetryCancel: return QMessageBox::Cancel;
    case host::mb::AbortRetryIgnore: return QMessageBox::Abort;
    case host::mb::YesNo: return QMessageBox::No;
    default: return QMessageBox::Ok;
    }
}

QMessageBox::Icon iconOf(int style) {
    switch (style & host::mb::IconMask) {
    case host::mb::Critical: return QMessageBox::Critical;
    case host::mb::Question: return QMessageBox::Question;
    case host::mb::Exclamation: return QMessageBox::Warning;
    case host::mb::Information: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

QString boxTitle(const std::string& title) {
    return title.empty() ? QApplication::applicationDisplayName() : qs(title);
}

// The width a dialog needs for its whole title: the window manager adds the
// application's name and its buttons, and a short message would otherwise
// leave the title cut to "Invali... lvera".
int titleWidth(const QWidget& dialog) {
    QFont font = dialog.font();
    font.setBold(true);
    const QString shown = dialog.windowTitle() + " \u2014 " + QApplication::applicationDisplayName();
    return QFontMetrics(font).horizontalAdvance(shown) * 6 / 5 + 140;
}

// ---- input boxes

class InputDialog : public QDialog {
public:
    InputDialog(QWidget* parent, const std::string& prompt, const std::string& title, const QString& value)
        : QDialog(parent) {
        setWindowTitle(boxTitle(title));
        auto* layout = new QVBoxLayout(this);
        auto* label = new QLabel(displayText(prompt), this);
        label->setObjectName("prompt");
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        layout->addWidget(label);
        edit = new QLineEdit(value, this);
        edit->setObjectName("value");
        edit->selectAll();
        layout->addWidget(edit);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->setObjectName("buttons");
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        setMinimumWidth(std::max(360, titleWidth(*this)));
    }

    // Returns false to keep the dialog open (the entry was refused).
    std::function<bool(const QString&)> validate;
    QLineEdit* edit = nullptr;

    void accept() override {
        if (validate && !validate(edit->text())) {
            edit->selectAll();
            edit->setFocus();
            return;
        }
        QDialog::accept();
    }
};

// The entry as the typed input box takes it: a number first when numbers are
// allowed, then a Boolean, then text. Nothing when the entry fits no allowed type.
std::optional<Variant> readEntry(const QString& entry, int kinds) {
    const std::string text = entry.toStdString();
    if (kinds & 1) {
        double d = 0;
        if (parseNumber(text, d)) return Variant(d);
        // A person types the decimal separator of their own locale; a group
        // separator would silently turn "1,5" into 15.
        QLocale locale;
        locale.setNumberOptions(QLocale::RejectGroupSeparator);
        bool ok = false;
        d = locale.toDouble(entry.trimmed(), &ok);
        if (ok) return Variant(d);
    }
    if (kinds & 4) {
        try {
            if (!trimBlanks(text).empty()) return Variant(Variant(trimBlanks(text)).toBool());
        } catch (const Error&) {
        }
    }
    if (kinds & 2) return Variant(text);
    return std::nullopt;
}

// ---- file dialogs

struct FileFilter {
    QString qt;            // "Description (*.a *.b)"
    QStringList patterns;  // "*.a", "*.b"
};

FileFilter makeFilter(const std::string& description, const std::string& patterns) {
    FileFilter f;
    for (const auto& p : split(patterns, ';')) {
        QString pattern = qs(trimBlanks(p));
        if (pattern.isEmpty()) continue;
        // "*.*" would only match names that have a dot.
        f.patterns << (pattern == "*.*" ? QString("*") : pattern);
    }
    if (f.patterns.isEmpty()) f.patterns << "*";
    QString text = qs(trimBlanks(description));
    // The host's descriptions often show their patterns already: "Text (*.txt)".
    const auto open = text.lastIndexOf('(');
    if (text.endsWith(')') && open >= 0 && text.indexOf('*', open) > open) text = text.left(open).trimmed();
    const QString list = f.patterns.join(' ');
    f.qt = text.isEmpty() ? list : text + " (" + list + ")";
    return f;
}

QStringList qtFilters(const std::vector<FileFilter>& filters) {
    QStringList list;
    for (const auto& f : filters) list << f.qt;
    return list;
}

void offerFilters(QFileDialog& dialog, std::vector<FileFilter>& filters, int filterIndex) {
    if (filters.empty()) filters.push_back(makeFilter(tr("All files").toStdString(), "*"));
    dialog.setNameFilters(qtFilters(filters));
    size_t index = filterIndex >= 1 && static_cast<size_t>(filterIndex) <= filters.size() ? filterIndex - 1 : 0;
    dialog.selectNameFilter(filters[index].qt);
}

// The extension of a filter's first plain pattern ("*.csv" gives "csv").
QString extensionOf(const FileFilter& filter) {
    for (const auto& p : filter.patterns) {
        if (!p.startsWith("*.")) continue;
        QString ext = p.mid(2);
        if (!ext.isEmpty() && !ext.contains('*') && !ext.contains('?')) return ext;
    }
    return {};
}

}  // namespace

QString displayText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace("\r\n", "\n");
    s.replace('\r', '\n');
    return s;
}

QWidget* QtUserInterface::owner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return parent_;
}

int QtUserInterface::runModal(QDialog& dialog, const std::function<void()>& cancel, bool foreground) {
    QTimer::singleShot(0, &dialog, [this, &dialog, cancel, foreground] {
        if (foreground) {
            dialog.raise();
            dialog.activateWindow();
        }
        if (!responder_) return;
        // A copy: the responder may answer nested dialogs or be replaced meanwhile.
        AutoResponder responder = responder_;
        if (!responder(&dialog) && dialog.isVisible()) cancel();
    });
    return dialog.exec();
}

int QtUserInterface::MsgBox(const std::string& prompt, int style, const std::string& title) {
    QMessageBox box(owner());
    box.setWindowTitle(boxTitle(title));
    box.setIcon(iconOf(style));
    box.setTextFormat(Qt::PlainText);
    box.setText(displayText(prompt));
    const auto buttons = buttonsOf(style);
    for (const auto& b : buttons) box.addButton(b.button);
    size_t defaultIndex = (style & host::mb::DefaultButton3) ? 2 : (style & host::mb::DefaultButton2) ? 1 : 0;
    if (defaultIndex >= buttons.size()) defaultIndex = 0;
    box.setDefaultButton(buttons[defaultIndex].button);
    const auto escape = escapeOf(style);
    box.setEscapeButton(escape);
    // A message box sizes itself to its text and ignores a minimum width; a
    // spacer in its own layout keeps the title whole.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(titleWidth(box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0,
                      1, grid->columnCount());
    runModal(
        box,
        [&box] {
            if (QAbstractButton* b = box.escapeButton()) b->click();
            else box.reject();
        },
        (style & host::mb::SetForeground) != 0);
    QMessageBox::StandardButton chosen = box.clickedButton() ? box.standardButton(box.clickedButton()) : escape;
    for (const auto& b : buttons)
        if (b.button == chosen) return b.answer;
    for (const auto& b : buttons)
        if (b.button == escape) return b.answer;
    return buttons.front().answer;
}

Variant QtUserInterface::ApplicationInputBox(const std::string& prompt, const std::string& title,
                                             const Variant& defaultValue, int type) {
    int kinds = type & (1 | 2 | 4);
    if (kinds == 0) kinds = 2;
    InputDialog dialog(owner(), prompt, title, qs(defaultValue.text()));
    Variant result;
    dialog.validate = [&](const QString& entry) {
        if (auto value = readEntry(entry, kinds)) {
            result = *value;
            return true;
        }
        MsgBox(((kinds & 1) ? tr("The number is not valid.") : tr("Enter True or False.")).toStdString(),
               host::mb::Exclamation, title);
        return false;
    };
    if (runModal(dialog, [&dialog] { dialog.reject(); }) != QDialog::Accepted) return Variant(false);
    return result;
}

std::string QtUserInterface::InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultValue) {
    InputDialog dialog(owner(), prompt, title, qs(defaultValue));
    if (runModal(dialog, [&dialog] { dialog.reject(); }) != QDialog::Accepted) return {};
    return dialog.edit->text().toStdString();
}

std::string QtUserInterface::GetOpenFileName(const host::OpenFileRequest& request) {
    QFileDialog dialog(owner(), qs(request.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    std::vector<FileFilter> filters;
    for (const auto& [description, patterns] : request.filters) filters.push_back(makeFilter(description, patterns));
    offerFilters(dialog, filters, request.filterIndex);
    if (!request.initialFolder.empty()) dialog.setDirectory(qs(request.initialFolder));
    if (runModal(dialog, [&dialog] { dialog.reject(); }) != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? std::string() : files.first().toStdString();
}

Variant QtUserInterface::GetSaveAsFilename(const std::string& initialName, const std::string& filter,
                                           int filterIndex, const std::string& title) {
    // "Description (*.ext), *.ext, Other (*.x), *.x": descriptions and patterns alternate.
    std::vector<FileFilter> filters;
    const auto parts = split(filter, ',');
    for (size_t i = 0; i < parts.size(); i += 2) {
        if (trimBlanks(parts[i]).empty() && i + 1 >= parts.size()) continue;
        filters.push_back(makeFilter(parts[i], i + 1 < parts.size() ? parts[i + 1] : std::string("*")));
    }
    QStringList offeredExtensions;
    for (const auto& f : filters)
        for (const auto& p : f.patterns)
            if (p.startsWith("*.") && p.size() > 2) offeredExtensions << p.mid(2).toLower();
    QString proposed = qs(initialName);
    int index = filterIndex;
    while (true) {
        QFileDialog dialog(owner(), qs(title));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        // Replacing is asked below, through the host's own message box.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        std::vector<FileFilter> offered = filters;
        offerFilters(dialog, offered, index);
        if (!proposed.isEmpty()) {
            QFileInfo initial(proposed);
            if (proposed.contains('/')) dialog.setDirectory(initial.absolutePath());
            dialog.selectFile(initial.fileName());
        }
        const QStringList names = qtFilters(offered);
        // Another format chosen: the name's extension follows it, as people expect.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &offered, names,
                                                                          offeredExtensions](const QString& chosen) {
            auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
            const auto at = names.indexOf(chosen);
            if (!edit || at < 0) return;
            const QString ext = extensionOf(offered[static_cast<size_t>(at)]);
            QString name = edit->text();
            const auto dot = name.lastIndexOf('.');
            if (ext.isEmpty() || dot <= 0 || !offeredExtensions.contains(name.mid(dot + 1).toLower())) return;
            edit->setText(name.left(dot + 1) + ext);
        });
        if (runModal(dialog, [&dialog] { dialog.reject(); }) != QDialog::Accepted) return Variant(false);
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty()) return Variant(false);
        QString path = files.first();
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix.isEmpty() || !offeredExtensions.contains(suffix)) {
            // A name without one of the offered extensions gets the chosen format's.
            const auto chosen = names.indexOf(dialog.selectedNameFilter());
            const QString ext = chosen >= 0 ? extensionOf(offered[static_cast<size_t>(chosen)]) : QString();
            if (!ext.isEmpty()) {
                if (path.endsWith('.')) path.chop(1);
                path += "." + ext;
            }
        }
        if (replaceQuestion_ && QFileInfo(path).isFile()) {
            const int answer = MsgBox(replaceQuestion_(path.toStdString()),
                                      host::mb::YesNo | host::mb::Exclamation | host::mb::DefaultButton2, title);
            if (answer != host::answer::Yes) {
                // Back to the dialog, with the name chosen, for another one.
                proposed = path;
                const auto chosen = names.indexOf(dialog.selectedNameFilter());
                index = chosen >= 0 ? static_cast<int>(chosen) + 1 : filterIndex;
                continue;
            }
        }
        return Variant(path.toStdString());
    }
}

bool QtUserInterface::EditColor(int, long& rgb) {
    // Host colours are red + 256 * green + 65536 * blue.
    QColor current = rgb >= 0 && rgb <= 0xFFFFFF
                         ? QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                                  static_cast<int>((rgb >> 16) & 0xFF))
                         : QColor(Qt::white);
    QColorDialog dialog(current, owner());
    dialog.setWindowTitle(tr("Edit Color"));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (runModal(dialog, [&dialog] { dialog.reject(); }) != QDialog::Accepted) return false;
    const QColor chosen = dialog.selectedColor();
    if (!chosen.isValid()) return false;
    rgb = chosen.red() + 256L * chosen.green() + 65536L * chosen.blue();
    return true;
}

}  // namespace dalvera::gui
