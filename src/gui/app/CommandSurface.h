#pragma once
// The command bars drawn as a person meets them: the worksheet menu bar and
// the visible toolbars for the menu variants, or one ribbon tab for the ribbon
// variants, built from the add-in's menu (hidden there) so its buttons run the
// same macros with the action control set. Drawn again whenever the bars change.
#include <functional>
#include <vector>

#include <QIcon>
#include <QPointer>
#include <QString>

#include "host/CommandBars.h"

class QMainWindow;
class QMenu;
class QToolBar;
class QWidget;
class QHBoxLayout;
class QTabBar;
class QToolButton;

namespace dalvera::gui {

class CommandSurface {
public:
    using Runner = std::function<void(const host::ControlPtr&)>;

    CommandSurface(QMainWindow& window, host::CommandBars& bars, bool ribbon, Runner run);

    // Draws everything again from the command bars.
    void rebuild();
    bool isRibbon() const { return ribbon_; }
    QWidget* ribbonWidget() const { return ribbonWidget_; }
    // The ribbon's File entry (Save, Save As, Close...); nullptr with menus.
    QToolButton* fileButton() const { return fileButton_; }
    // The host's commands the ribbon's File entry lists, by built-in id.
    static bool onFileEntry(long id);

    // The control a path of captions leads to ("Tables/Orders", "Info"):
    // searched in the add-in's menu first, then on the worksheet menu bar; a
    // segment may skip one level of popups. nullptr when none matches.
    host::ControlPtr find(const QString& path);
    // The add-in's popup on the worksheet menu bar (it carries the
    // "Open database" control); nullptr before the add-in made its menu.
    host::ControlPtr addinMenu();

    // A caption as a button shows it: no accelerator marks, no "...", the key
    // hint in brackets left to the tool tip.
    static QString buttonText(const std::string& caption);
    // A ribbon button's label: long ones on two lines.
    static QString ribbonLabel(const QString& text);
    // The theme's icon for a face id; a null icon for faces without one.
    static QIcon faceIcon(int faceId);

private:
    void buildRibbon();
    void buildMenus();
    // `shown` picks the controls listed; all visible ones without it.
    void fillMenu(QMenu* menu, const host::ControlPtr& popup,
                  std::function<bool(const host::ControlPtr&)> shown = {});
    // The worksheet menu bar's File popup, which the ribbon's File entry lists.
    host::ControlPtr filePopup();
    QToolBar* buildToolbar(const host::BarPtr& bar);

    QMainWindow& window_;
    host::CommandBars& bars_;
    bool ribbon_;
    Runner run_;
    QWidget* ribbonWidget_ = nullptr;
    QTabBar* ribbonTabs_ = nullptr;
    QToolButton* fileButton_ = nullptr;  // the ribbon's File entry
    bool fileFilled_ = false;
    QWidget* ribbonPanel_ = nullptr;
    std::vector<QPointer<QToolBar>> toolbars_;
    std::vector<QPointer<QMenu>> menus_;
};

}  // namespace dalvera::gui
