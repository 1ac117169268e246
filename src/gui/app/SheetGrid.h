#pragma once
// The grid of the active worksheet: cells drawn from SheetTableModel with
// fills, borders, comment marks, AutoFilter buttons and list drop-downs; the
// frozen rows as an overlay that does not scroll. Everything a person does to
// the cells goes through the host's UserOperations, so protection, validation
// alerts and events behave as they do for the engine's tests.
#include <functional>
#include <memory>
#include <vector>

#include <QTableView>

class QMenu;

#include "gui/app/SheetTableModel.h"
#include "platform/sheets/Embedded.h"

namespace dalvera::gui {

class FrozenRows;

class SheetGrid : public QTableView {
public:
    // `guard` runs a person's action: it catches what the host raises and
    // refreshes the window afterwards.
    using Guard = std::function<void(const std::function<void()>&)>;

    SheetGrid(platform::EmbeddedApplication& app, platform::UserOperations& user, Guard guard,
              QWidget* parent = nullptr);
    ~SheetGrid() override;

    SheetTableModel& sheetModel() { return *model_; }
    // Shows another sheet, or none.
    void showSheet(std::shared_ptr<platform::WorksheetImpl> sheet);
    // Takes over what changed in the sheet: cells, widths, hidden rows and
    // columns, window settings, frozen rows, the selection.
    void sync();
    // Between changes of the cells: takes over a new selection or window
    // setting without reading any cell.
    void follow();
    // The selected cells as a host range (nullptr without a sheet).
    host::RangePtr selectedRange() const;

    // A click on the AutoFilter button of a column: the menu of its values.
    void showFilterMenu(int32_t col, const QPoint& globalPos);
    // The filter menu's entries for a column: "(all)" then the distinct values.
    std::vector<QString> filterChoices(int32_t col) const;
    void applyFilter(int32_t col, const QString& choice);
    // The filter menu's sort entries, through the host's sort of the filter's rows.
    void sortBy(int32_t col, bool ascending);
    // The open filter menu, or nullptr.
    QMenu* filterMenu() const { return filterMenu_; }

    QTableView* frozenView() const;
    // A cell editor is open, in the grid or in its frozen rows.
    bool editorOpen() const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    using QTableView::edit;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

public:
    // Ctrl+V and Ctrl+C, also for the host's Paste and Copy controls.
    void paste();
    void copy();
    // Ctrl+D: the top row of the selection copied down over the rest.
    void fillDown();

    // Ends an open cell editor as Enter would; false when its entry was
    // refused (the editor then stays open) or there was none.
    bool commitEditor();
    // Opens the editor of a cell again with the text a refused entry had.
    void reopenEditor(const QModelIndex& index, const QString& text);
    // The retyped text the next editor starts with (once).
    QVariant takeRetyped();
    // Opens the list drop-down of the current cell; false when it has none.
    bool openDropDown();
    // Whether a person may put the active cell on this cell (1-based).
    bool selectable(int32_t row, int32_t col) const;

    // Find: the next (or previous) cell after the current one whose shown
    // text holds `text`, round the sheet; it becomes the active cell. False
    // when no cell that can be selected matches.
    bool find(const QString& text, bool forward, bool matchCase, bool wholeCell);
    // The commands of the context menu that are the add-in's keys (F6, F8, F9).
    using KeyRunner = std::function<bool(const std::string& key)>;
    void setKeyRunner(KeyRunner run) { keys_ = std::move(run); }
    // The context menu of the cells at a point of the viewport (not shown when `exec` is false).
    QMenu* contextMenu(bool exec, const QPoint& pos = {});

private:
    // The keys a spreadsheet user moves with; false for other keys.
    bool navigate(QKeyEvent* event);
    // Moves the active cell, or with `extend` the far corner of the selection.
    void moveTo(int32_t row, int32_t col, bool extend);
    // The cell a Ctrl+arrow reaches from (row, col): the edge of the data.
    std::pair<int32_t, int32_t> dataEdge(int32_t row, int32_t col, int dr, int dc) const;
    // The last cell holding a value (Ctrl+End).
    std::pair<int32_t, int32_t> lastDataCell() const;
    void syncSelection();
    void placeFrozen();
    // True when the press at pos (viewport coordinates of view) hit a button of a cell.
    bool pressButton(QTableView* view, const QPoint& pos);

    platform::EmbeddedApplication& app_;
    platform::UserOperations& user_;
    Guard guard_;
    SheetTableModel* model_ = nullptr;
    FrozenRows* frozen_ = nullptr;
    int frozenRows_ = 0;
    bool syncing_ = false;
    std::vector<int32_t> hiddenRows_;  // as last applied
    std::vector<platform::Rect> shownSelection_;
    std::vector<int32_t> shownView_;  // window settings as last applied
    QVariant retyped_;
    KeyRunner keys_;
    QMenu* menu_ = nullptr;
    QMenu* filterMenu_ = nullptr;
    QPersistentModelIndex pressedDropDown_;  // an arrow pressed, opened on release
    QPersistentModelIndex anchor_;           // where a Shift selection started
    bool extending_ = false;                 // a Shift move is changing the current cell
};

}  // namespace dalvera::gui
