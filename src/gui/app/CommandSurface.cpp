#include "gui/app/CommandSurface.h"

#include <cstdlib>
#include <map>

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "menus/ICB.h"
#include "runtime/Error.h"

namespace dalvera::gui {

namespace {

QString plain(const std::string& caption) {
    QString s = QString::fromStdString(caption);
    s.replace("&&", "\x01");
    s.remove('&');
    s.replace('\x01', '&');
    return s;
}

bool matches(const host::ControlPtr& c, const QString& segment) {
    return CommandSurface::buttonText(c->Caption()).compare(segment, Qt::CaseInsensitive) == 0 ||
           plain(c->Caption()).compare(segment, Qt::CaseInsensitive) == 0 ||
           (!c->Tag().empty() && QString::fromStdString(c->Tag()).compare(segment, Qt::CaseInsensitive) == 0);
}

host::ControlPtr findPath(const std::shared_ptr<host::CommandBarControls>& controls, const QStringList& parts,
                          int i) {
    if (!controls) return nullptr;
    const long n = controls->Count();
    for (long k = 1; k <= n; ++k) {
        auto c = controls->Item(k);
        if (!c->Visible() && c->Type() != host::ctl::Popup) continue;
        if (!matches(c, parts[i])) continue;
        if (i + 1 == parts.size()) return c;
        if (c->Type() == host::ctl::Popup)
            if (auto found = findPath(c->Controls(), parts, i + 1)) return found;
    }
    // A segment may sit one popup deeper (Info lives under Help).
    for (long k = 1; k <= n; ++k) {
        auto c = controls->Item(k);
        if (c->Type() != host::ctl::Popup) continue;
        auto inner = c->Controls();
        for (long j = 1; j <= inner->Count(); ++j) {
            auto d = inner->Item(j);
            if (!matches(d, parts[i])) continue;
            if (i + 1 == parts.size()) return d;
            if (d->Type() == host::ctl::Popup)
                if (auto found = findPath(d->Controls(), parts, i + 1)) return found;
        }
    }
    return nullptr;
}

struct Face {
    const char* theme;
    QStyle::StandardPixmap fallback;
};

// The faces the add-in and the host's own bars use, by what they stand for.
const std::map<int, Face>& faces() {
    static const std::map<int, Face> map = {
        {23, {"document-open", QStyle::SP_DialogOpenButton}},
        {264, {"document-open", QStyle::SP_DialogOpenButton}},
        {6457, {"document-open", QStyle::SP_DialogOpenButton}},
        {9965, {"document-open", QStyle::SP_DialogOpenButton}},
        {18, {"document-new", QStyle::SP_FileIcon}},
        {3, {"document-save", QStyle::SP_DialogSaveButton}},
        {748, {"document-save-as", QStyle::SP_DialogSaveButton}},
        {4, {"document-print", QStyle::SP_FileIcon}},
        {106, {"window-close", QStyle::SP_DialogCloseButton}},
        {752, {"application-exit", QStyle::SP_DialogCloseButton}},
        {128, {"edit-undo", QStyle::SP_ArrowBack}},
        {21, {"edit-cut", QStyle::SP_TrashIcon}},
        {19, {"edit-copy", QStyle::SP_FileIcon}},
        {22, {"edit-paste", QStyle::SP_FileIcon}},
        {3125, {"edit-clear", QStyle::SP_LineEditClearButton}},
        {113, {"format-text-bold", QStyle::SP_CustomBase}},
        {114, {"format-text-italic", QStyle::SP_CustomBase}},
        {115, {"format-text-underline", QStyle::SP_CustomBase}},
        {539, {"list-add", QStyle::SP_FileDialogNewFolder}},
        {538, {"document-save", QStyle::SP_DialogSaveButton}},
        {644, {"edit-delete", QStyle::SP_TrashIcon}},
        {1020, {"view-refresh", QStyle::SP_BrowserReload}},
        {528, {"system-run", QStyle::SP_MediaPlay}},
        {548, {"preferences-system", QStyle::SP_FileDialogDetailedView}},
        {984, {"help-browser", QStyle::SP_DialogHelpButton}},
        {487, {"help-about", QStyle::SP_MessageBoxInformation}},
        {927, {"help-about", QStyle::SP_MessageBoxInformation}},
        {923, {"window-close", QStyle::SP_DialogCloseButton}},
        {333, {"x-office-spreadsheet", QStyle::SP_FileDialogListView}},
        {531, {"edit-find", QStyle::SP_FileDialogContentsView}},
        {628, {"edit-find-replace", QStyle::SP_FileDialogInfoView}},
        {534, {"document-edit", QStyle::SP_DialogApplyButton}},
    };
    return map;
}

// The drop-down buttons of the ribbon show what they list.
int popupFace(const host::ControlPtr& popup) {
    const std::string& t = popup->Tag();
    if (t == tag::Tables || t == tag::Views) return 333;
    if (t == tag::Queries) return 531;
    return 0;
}

}  // namespace

QString CommandSurface::ribbonLabel(const QString& text) {
    // Two lines at the space nearest the middle, as a ribbon shows long
    // labels; a button is then never so wide that the tab must cut it.
    int best = -1;
    for (int i = 0; i < text.size(); ++i)
        if (text[i] == ' ' && (best < 0 || std::abs(i - text.size() / 2) < std::abs(best - text.size() / 2))) best = i;
    if (best < 0 || text.size() < 10) return text;
    QString out = text;
    out[best] = '\n';
    return out;
}

namespace {

QToolButton* ribbonButton(QWidget* parent, const QString& text, const QIcon& icon) {
    auto* b = new QToolButton(parent);
    b->setText(CommandSurface::ribbonLabel(text));
    b->setIcon(icon);
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setMinimumWidth(64);
    // Its whole label or nothing: squeezed, a tool button cuts its text mid-word.
    b->setMinimumSize(b->sizeHint().expandedTo(QSize(64, 0)));
    return b;
}

}  // namespace

QString CommandSurface::buttonText(const std::string& caption) {
    QString s = plain(caption).trimmed();
    static const QRegularExpression keyHint(R"(\s*\((?:[\^+%]*F\d+|Ctrl\+.)\)$)");
    s.remove(keyHint);
    if (s.endsWith("...")) s.chop(3);
    return s.trimmed();
}

QIcon CommandSurface::faceIcon(int faceId) {
    auto it = faces().find(faceId);
    if (it == faces().end()) return {};
    QIcon themed = QIcon::fromTheme(it->second.theme);
    if (!themed.isNull()) return themed;
    if (it->second.fallback == QStyle::SP_CustomBase) return {};
    return QApplication::style()->standardIcon(it->second.fallback);
}

CommandSurface::CommandSurface(QMainWindow& window, host::CommandBars& bars, bool ribbon, Runner run)
    : window_(window), bars_(bars), ribbon_(ribbon), run_(std::move(run)) {
    if (ribbon_) {
        ribbonWidget_ = new QWidget(&window_);
        ribbonWidget_->setObjectName("ribbon");
        auto* layout = new QVBoxLayout(ribbonWidget_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto* tabRow = new QHBoxLayout;
        tabRow->setContentsMargins(0, 0, 0, 0);
        tabRow->setSpacing(0);
        // The File entry of a spreadsheet's ribbon: the host's own file
        // commands, which the add-in's tab does not carry.
        fileButton_ = new QToolButton(ribbonWidget_);
        fileButton_->setObjectName("fileButton");
        fileButton_->setPopupMode(QToolButton::InstantPopup);
        fileButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
        fileButton_->setAutoRaise(true);
        auto* fileMenu = new QMenu(fileButton_);
        fileMenu->setObjectName("fileMenu");
        fileButton_->setMenu(fileMenu);
        tabRow->addWidget(fileButton_);
        ribbonTabs_ = new QTabBar(ribbonWidget_);
        ribbonTabs_->setObjectName("ribbonTabs");
        ribbonTabs_->setDrawBase(false);
        ribbonTabs_->setExpanding(false);
        tabRow->addWidget(ribbonTabs_);
        tabRow->addStretch(1);
        layout->addLayout(tabRow);
        auto* frame = new QFrame(ribbonWidget_);
        frame->setObjectName("ribbonFrame");
        frame->setFrameShape(QFrame::StyledPanel);
        auto* frameLayout = new QHBoxLayout(frame);
        frameLayout->setContentsMargins(4, 2, 4, 2);
        ribbonPanel_ = new QWidget(frame);
        ribbonPanel_->setObjectName("ribbonPanel");
        new QHBoxLayout(ribbonPanel_);
        ribbonPanel_->layout()->setContentsMargins(0, 0, 0, 0);
        ribbonPanel_->layout()->setSpacing(2);
        frameLayout->addWidget(ribbonPanel_);
        frameLayout->addStretch(1);
        layout->addWidget(frame);
        window_.setMenuWidget(ribbonWidget_);
    }
}

bool CommandSurface::onFileEntry(long id) {
    // New, Close, Save, Save As and Exit: the ones this window carries out.
    return id == 18 || id == 106 || id == 3 || id == 748 || id == 752;
}

host::ControlPtr CommandSurface::filePopup() {
    try {
        auto controls = bars_.Item(1)->Controls();
        for (long i = 1; i <= controls->Count(); ++i)
            if (controls->Item(i)->Id() == 30002) return controls->Item(i);
    } catch (const Error&) {
    }
    return nullptr;
}

host::ControlPtr CommandSurface::addinMenu() {
    try {
        auto controls = bars_.Item(1)->Controls();
        for (long i = 1; i <= controls->Count(); ++i) {
            auto c = controls->Item(i);
            if (c->Type() != host::ctl::Popup) continue;
            auto inner = c->Controls();
            for (long j = 1; j <= inner->Count(); ++j)
                if (inner->Item(j)->Tag() == tag::OpenDatabase) return c;
        }
    } catch (const Error&) {
    }
    return nullptr;
}

host::ControlPtr CommandSurface::find(const QString& path) {
    const QStringList parts = path.split('/', Qt::SkipEmptyParts);
    if (parts.isEmpty()) return nullptr;
    try {
        if (auto menu = addinMenu())
            if (auto c = findPath(menu->Controls(), parts, 0)) return c;
        return findPath(bars_.Item(1)->Controls(), parts, 0);
    } catch (const Error&) {
        return nullptr;
    }
}

void CommandSurface::rebuild() {
    try {
        if (ribbon_) buildRibbon();
        else buildMenus();
    } catch (const Error&) {
        // A bar deleted while it was read: the next change notice draws again.
    }
}

void CommandSurface::fillMenu(QMenu* menu, const host::ControlPtr& popup,
                              std::function<bool(const host::ControlPtr&)> shown) {
    // Filled when it opens, so it always lists the popup's controls of the moment.
    QObject::connect(menu, &QMenu::aboutToShow, menu, [this, menu, popup, shown] {
        for (QMenu* old : menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) old->deleteLater();
        menu->clear();
        try {
            auto controls = popup->Controls();
            for (long i = 1; i <= controls->Count(); ++i) {
                auto c = controls->Item(i);
                if (!c->Visible() || (shown && !shown(c))) continue;
                if (c->BeginGroup() && i > 1) menu->addSeparator();
                const QString text = QString::fromStdString(c->Caption());
                if (c->Type() == host::ctl::Popup) {
                    auto* sub = new QMenu(text, menu);
                    sub->setEnabled(c->Enabled());
                    fillMenu(sub, c);
                    menu->addMenu(sub);
                    continue;
                }
                QAction* a = menu->addAction(faceIcon(c->FaceId()), text);
                a->setEnabled(c->Enabled());
                a->setToolTip(QString::fromStdString(c->ToolTipText()));
                QObject::connect(a, &QAction::triggered, menu, [this, c] { run_(c); });
            }
            menu->setToolTipsVisible(true);
        } catch (const Error&) {
        }
    });
}

void CommandSurface::buildRibbon() {
    if (auto file = filePopup(); file && !fileFilled_) {
        fileButton_->setText(buttonText(file->Caption()));
        fileFilled_ = true;
        fillMenu(fileButton_->menu(), file, [](const host::ControlPtr& c) { return onFileEntry(c->Id()); });
    }
    auto menu = addinMenu();
    const QString tab = menu ? buttonText(menu->Caption()) : QString();
    if (ribbonTabs_->count() == 0 || ribbonTabs_->tabText(0) != tab) {
        while (ribbonTabs_->count()) ribbonTabs_->removeTab(0);
        if (!tab.isEmpty()) ribbonTabs_->addTab(tab);
    }
    auto* layout = static_cast<QHBoxLayout*>(ribbonPanel_->layout());
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    // The File entry stays, with or without the add-in's tab.
    fileButton_->setVisible(fileFilled_);
    ribbonWidget_->setVisible(menu != nullptr || fileFilled_);
    if (!menu) return;

    bool first = true;
    auto separator = [&] {
        if (first) return;
        auto* line = new QFrame(ribbonPanel_);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        layout->addWidget(line);
    };
    auto addButton = [&](const host::ControlPtr& c) {
        if (!c->Visible()) return;
        if (c->BeginGroup()) separator();
        auto* b = ribbonButton(ribbonPanel_, buttonText(c->Caption()), faceIcon(c->FaceId()));
        b->setObjectName(QString::fromStdString(c->Tag().empty() ? c->Caption() : c->Tag()));
        b->setEnabled(c->Enabled());
        b->setToolTip(QString::fromStdString(c->ToolTipText()).remove('&'));
        QObject::connect(b, &QToolButton::clicked, b, [this, c] { run_(c); });
        layout->addWidget(b);
        first = false;
    };
    auto controls = menu->Controls();
    for (long i = 1; i <= controls->Count(); ++i) {
        auto c = controls->Item(i);
        if (c->Type() != host::ctl::Popup) {
            addButton(c);
            continue;
        }
        if (!c->Visible()) continue;
        if (c->Tag() == tag::Help) {
            // Help and Info stand on the tab itself.
            if (c->BeginGroup()) separator();
            auto inner = c->Controls();
            for (long j = 1; j <= inner->Count(); ++j) addButton(inner->Item(j));
            continue;
        }
        if (c->BeginGroup()) separator();
        auto* b = ribbonButton(ribbonPanel_, buttonText(c->Caption()), faceIcon(popupFace(c)));
        b->setObjectName(QString::fromStdString(c->Tag()));
        b->setEnabled(c->Enabled());
        b->setPopupMode(QToolButton::InstantPopup);
        auto* list = new QMenu(b);
        list->setObjectName(QString::fromStdString(c->Tag()) + "Menu");
        fillMenu(list, c);
        b->setMenu(list);
        layout->addWidget(b);
        first = false;
    }
}

QToolBar* CommandSurface::buildToolbar(const host::BarPtr& bar) {
    auto* tb = new QToolBar(QString::fromStdString(bar->Name()), &window_);
    tb->setObjectName(QString::fromStdString(bar->Name()));
    tb->setIconSize(QSize(18, 18));
    auto controls = bar->Controls();
    for (long i = 1; i <= controls->Count(); ++i) {
        auto c = controls->Item(i);
        if (!c->Visible()) continue;
        if (c->BeginGroup() && i > 1) tb->addSeparator();
        auto* b = new QToolButton(tb);
        b->setEnabled(c->Enabled());
        b->setToolTip(QString::fromStdString(c->ToolTipText()).remove('&'));
        if (c->Type() == host::ctl::Popup) {
            b->setText(buttonText(c->Caption()));
            b->setToolButtonStyle(Qt::ToolButtonTextOnly);
            b->setPopupMode(QToolButton::InstantPopup);
            auto* list = new QMenu(b);
            fillMenu(list, c);
            b->setMenu(list);
        } else {
            QIcon icon = faceIcon(c->FaceId());
            b->setText(buttonText(c->Caption()));
            if (icon.isNull()) b->setToolButtonStyle(Qt::ToolButtonTextOnly);
            else b->setIcon(icon);
            QObject::connect(b, &QToolButton::clicked, b, [this, c] { run_(c); });
        }
        tb->addWidget(b);
    }
    return tb;
}

void CommandSurface::buildMenus() {
    QMenuBar* mb = window_.menuBar();
    mb->clear();
    for (auto& m : menus_)
        if (m) m->deleteLater();
    menus_.clear();
    auto bar = bars_.Item(1);
    auto controls = bar->Controls();
    for (long i = 1; i <= controls->Count(); ++i) {
        auto c = controls->Item(i);
        if (!c->Visible()) continue;
        const QString text = QString::fromStdString(c->Caption());
        if (c->Type() == host::ctl::Popup) {
            auto* menu = new QMenu(text, mb);
            menu->setEnabled(c->Enabled());
            fillMenu(menu, c);
            mb->addMenu(menu);
            menus_.emplace_back(menu);
        } else {
            QAction* a = mb->addAction(text);
            a->setEnabled(c->Enabled());
            QObject::connect(a, &QAction::triggered, mb, [this, c] { run_(c); });
        }
    }
    for (auto& t : toolbars_)
        if (t) {
            window_.removeToolBar(t);
            t->deleteLater();
        }
    toolbars_.clear();
    for (long i = 2; i <= bars_.Count(); ++i) {
        auto b = bars_.Item(i);
        if (!b->Visible() || b->Position() == host::barpos::Popup || b->Position() == host::barpos::MenuBar) continue;
        QToolBar* tb = buildToolbar(b);
        Qt::ToolBarArea area = b->Position() == host::barpos::Left     ? Qt::LeftToolBarArea
                               : b->Position() == host::barpos::Right  ? Qt::RightToolBarArea
                               : b->Position() == host::barpos::Bottom ? Qt::BottomToolBarArea
                                                                       : Qt::TopToolBarArea;
        window_.addToolBar(area, tb);
        toolbars_.emplace_back(tb);
    }
}

}  // namespace dalvera::gui
