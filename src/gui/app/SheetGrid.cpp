#include "gui/app/SheetGrid.h"

#include <algorithm>
#include <cmath>
#include <set>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QRegularExpression>
#include <QCompleter>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

#include "runtime/Error.h"
#include "text/modGlobalization.h"

namespace dalvera::gui {

using platform::Rect;

namespace {

constexpr int kButton = 15;  // side of the AutoFilter and drop-down buttons

QRect buttonRect(const QRect& cell) {
    int side = std::min(kButton, cell.height() - 2);
    return QRect(cell.right() - side, cell.top() + (cell.height() - side) / 2, side, side);
}

void drawArrowButton(QPainter* p, const QRect& r, bool active, const QPalette& pal) {
    p->save();
    p->setPen(pal.color(QPalette::Mid));
    p->setBrush(pal.color(QPalette::Button));
    p->drawRect(r.adjusted(0, 0, -1, -1));
    QColor ink = active ? QColor(0x1f, 0x5f, 0xbf) : pal.color(QPalette::ButtonText);
    p->setPen(Qt::NoPen);
    p->setBrush(ink);
    QPointF c = QRectF(r).center();
    QPolygonF tri{QPointF(c.x() - 3.5, c.y() - 1.5), QPointF(c.x() + 3.5, c.y() - 1.5), QPointF(c.x(), c.y() + 2.5)};
    p->drawPolygon(tri);
    if (active) p->drawRect(QRectF(c.x() - 3.5, c.y() + 3.5, 7, 1));  // a filtered column shows a mark
    p->restore();
}

// One border edge as the host draws it: weight sets the width, line style the dashes.
void drawEdge(QPainter* p, const platform::Edge& e, QPointF a, QPointF b, bool horizontal) {
    if (e.lineStyle == host::xl::None) return;
    QPen pen(SheetTableModel::hostColor(e.color));
    pen.setWidthF(e.weight == host::xl::Thick ? 3 : e.weight == host::xl::Medium ? 2 : 1);
    if (e.lineStyle == host::xl::Dash) pen.setStyle(Qt::DashLine);
    else if (e.lineStyle == host::xl::Dot) pen.setStyle(Qt::DotLine);
    p->setPen(pen);
    if (e.lineStyle == host::xl::Double) {
        QPointF d = horizontal ? QPointF(0, 1.5) : QPointF(1.5, 0);
        p->drawLine(a - d, b - d);
        p->drawLine(a + d, b + d);
    } else {
        p->drawLine(a, b);
    }
}

class CellDelegate : public QStyledItemDelegate {
public:
    CellDelegate(SheetTableModel& model, platform::UserOperations& user, SheetGrid::Guard guard, QObject* parent)
        : QStyledItemDelegate(parent), model_(model), user_(user), guard_(std::move(guard)) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const int32_t row = SheetTableModel::sheetRow(index), col = SheetTableModel::sheetColumn(index);
        const bool selected = opt.state & QStyle::State_Selected;
        // The active cell is marked whether or not the grid has the focus.
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        const bool current = view ? view->currentIndex() == index : bool(opt.state & QStyle::State_HasFocus);
        opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        // The view has painted its own selection colour under the cell; a
        // spreadsheet shows the fill and tints the selection instead.
        const QPalette& palette = option.widget ? option.widget->palette() : QApplication::palette();
        p->fillRect(option.rect, opt.backgroundBrush.style() != Qt::NoBrush ? opt.backgroundBrush : palette.base());
        opt.backgroundBrush = Qt::NoBrush;
        opt.textElideMode = Qt::ElideNone;  // a spreadsheet clips, it does not abbreviate
        bool filtering = false;
        const bool filterButton = model_.isFilterButton(row, col, &filtering);
        const bool dropDown = current && model_.hasDropDown(row, col);
        if (filterButton || dropDown) opt.rect.adjust(0, 0, -kButton, 0);
        opt.rect.adjust(2, 0, -2, 0);
        if (!opt.text.isEmpty() && QFontMetrics(opt.font).horizontalAdvance(opt.text) > opt.rect.width() &&
            model_.isNumber(row, col)) {
            const int hash = std::max(1, QFontMetrics(opt.font).horizontalAdvance('#'));
            opt.text = QString(std::max(1, opt.rect.width() / hash), '#');
        }
        const QWidget* w = option.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, p, w);

        const QRectF r = QRectF(option.rect).adjusted(0, 0, -0.5, -0.5);
        const auto& s = model_.styleAt(row, col);
        p->save();
        // Neighbours share an edge: the cell to the left or above draws it
        // when it has one, so a grid of borders is not drawn twice as thick.
        if (col == 1 || model_.styleAt(row, col - 1).right.lineStyle == host::xl::None)
            drawEdge(p, s.left, r.topLeft(), r.bottomLeft(), false);
        if (row == 1 || model_.styleAt(row - 1, col).bottom.lineStyle == host::xl::None)
            drawEdge(p, s.top, r.topLeft(), r.topRight(), true);
        drawEdge(p, s.right, r.topRight(), r.bottomRight(), false);
        drawEdge(p, s.bottom, r.bottomLeft(), r.bottomRight(), true);
        if (model_.hasComment(row, col)) {
            // The red corner mark of a cell with a comment.
            QPainterPath mark;
            QPointF tr = option.rect.topRight() + QPointF(1, 0);
            mark.moveTo(tr);
            mark.lineTo(tr - QPointF(6, 0));
            mark.lineTo(tr + QPointF(0, 6));
            mark.closeSubpath();
            p->fillPath(mark, QColor(0xd0, 0x10, 0x10));
        }
        if (selected) p->fillRect(option.rect, QColor(0x21, 0x73, 0x46, current ? 0 : 40));
        if (current) {
            p->setPen(QPen(QColor(0x21, 0x73, 0x46), 2));
            p->setBrush(Qt::NoBrush);
            p->drawRect(QRectF(option.rect).adjusted(1, 1, -1, -1));
        }
        p->restore();
        const QPalette& pal = w ? w->palette() : QApplication::palette();
        if (filterButton) drawArrowButton(p, buttonRect(option.rect), filtering, pal);
        else if (dropDown) drawArrowButton(p, buttonRect(option.rect), false, pal);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        auto sheet = model_.worksheet();
        if (!sheet) return nullptr;
        const int32_t row = SheetTableModel::sheetRow(index), col = SheetTableModel::sheetColumn(index);
        // The host decides: a locked cell of a protected sheet shows its message and no editor.
        guard_([&] { user_.beginEdit(sheet->Cells(row, col)); });
        if (!user_.editing()) return nullptr;
        const auto choices = model_.listChoices(row, col);
        if (!choices.empty()) {
            auto* combo = new QComboBox(parent);
            combo->setObjectName("listEditor");
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            for (const auto& c : choices) combo->addItem(c.label, c.entry);
            // Typing part of a name finds it among the choices.
            combo->completer()->setFilterMode(Qt::MatchContains);
            combo->completer()->setCaseSensitivity(Qt::CaseInsensitive);
            combo->completer()->setCompletionMode(QCompleter::PopupCompletion);
            // A choice picked with the mouse is the entry, as Enter is.
            auto* self = const_cast<CellDelegate*>(this);
            QObject::connect(combo, &QComboBox::activated, combo, [self, combo](int) {
                if (!combo->property("entered").toBool()) {
                    combo->setProperty("entered", true);
                    emit self->commitData(combo);
                    emit self->closeEditor(combo, QAbstractItemDelegate::SubmitModelCache);
                }
            });
            return combo;
        }
        auto* edit = new QLineEdit(parent);
        edit->setObjectName("cellEditor");
        edit->setFrame(false);
        return edit;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        // A refused entry given back for another try keeps what was typed.
        QVariant retyped;
        if (grid_) retyped = grid_->takeRetyped();
        const QString text = retyped.isValid()
                                 ? retyped.toString()
                                 : model_.editText(SheetTableModel::sheetRow(index), SheetTableModel::sheetColumn(index));
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            const int at = combo->findData(text);
            if (at >= 0 && !retyped.isValid()) combo->setCurrentIndex(at);
            combo->setEditText(text);
            // The key that opened the editor replaces the value, as in a plain cell.
            if (combo->lineEdit()) combo->lineEdit()->selectAll();
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            edit->setText(text);
        }
    }

    // The text an editor enters: a choice's entry for its label.
    static QString entryOf(QWidget* editor, QString* typed = nullptr) {
        QString text;
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            text = combo->currentText();
            if (typed) *typed = text;
            const int at = combo->findText(text, Qt::MatchExactly);
            if (at >= 0) return combo->itemData(at).toString();
            return text;
        }
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) text = edit->text();
        if (typed) *typed = text;
        return text;
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        // A message box of the entry takes the focus and commits a second
        // time; the first entry has ended editing by then.
        if (!user_.editing()) return;
        QString typed;
        const QString text = entryOf(editor, &typed);
        auto result = platform::UserOperations::Result::Accepted;
        guard_([&] { result = user_.endEdit(text.toStdString()); });
        if (result == platform::UserOperations::Result::Retry && grid_) {
            QPointer<SheetGrid> grid = grid_;
            const QPersistentModelIndex at(index);
            QTimer::singleShot(0, grid, [grid, at, typed] {
                if (grid && at.isValid()) grid->reopenEditor(at, typed);
            });
        }
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        if (user_.editing()) user_.cancelEdit();  // Escape, or the editor went away unused
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    void setGrid(SheetGrid* grid) { grid_ = grid; }

private:
    SheetTableModel& model_;
    platform::UserOperations& user_;
    SheetGrid::Guard guard_;
    SheetGrid* grid_ = nullptr;
};

std::vector<int32_t> viewKey(const platform::SheetView& v) {
    return {v.displayHeadings, v.displayGridlines, v.displayZeros, v.frozen, v.splitRow, v.splitColumn};
}

// What changes the rows and columns shown without touching a cell (filters,
// hiding); compared between redraws.
std::vector<int32_t> layoutKey(const platform::SheetModel& m) {
    auto key = viewKey(m.view());
    key.push_back(static_cast<int32_t>(m.filterHiddenRows().size()));
    key.push_back(static_cast<int32_t>(m.manualHiddenRows().size()));
    key.push_back(static_cast<int32_t>(m.hiddenColumns().size()));
    key.push_back(m.autoFilter().has_value());
    if (m.autoFilter())
        for (const auto& c : m.autoFilter()->columns) key.push_back(c.on);
    return key;
}

// Column widths are in characters of the standard font's digits.
int widthPixels(const QFontMetrics& fm, double chars) {
    if (chars <= 0) return 0;
    return static_cast<int>(chars * fm.horizontalAdvance('0') + 5.5);
}

}  // namespace

// The overlay of frozen rows; the grid hands it the editing of those rows,
// since an editor in the grid itself would lie under the overlay.
class FrozenRows : public QTableView {
public:
    using QTableView::QTableView;
    using QTableView::edit;
    using QTableView::state;
};

QTableView* SheetGrid::frozenView() const { return frozen_; }

bool SheetGrid::editorOpen() const {
    return state() == QAbstractItemView::EditingState ||
           (frozen_ && frozen_->state() == QAbstractItemView::EditingState);
}

bool SheetGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (frozen_ && frozen_->isVisible() && index.isValid() && index.row() < frozenRows_)
        return frozen_->edit(index, trigger, event);
    return QTableView::edit(index, trigger, event);
}

SheetGrid::SheetGrid(platform::EmbeddedApplication& app, platform::UserOperations& user, Guard guard,
                     QWidget* parent)
    : QTableView(parent), app_(app), user_(user), guard_(std::move(guard)) {
    setObjectName("grid");
    model_ = new SheetTableModel(app, this);
    setModel(model_);
    auto* delegate = new CellDelegate(*model_, user_, guard_, this);
    delegate->setGrid(this);
    setItemDelegate(delegate);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(true);
    // Fixed sizes: measuring contents would read every cell of the sheet.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultSectionSize(widthPixels(fontMetrics(), platform::SheetModel::kDefaultColumnWidth));
    horizontalHeader()->setHighlightSections(true);
    viewport()->installEventFilter(this);

    // The frozen rows: a second view over the same model and selection,
    // laid over the top of this one and never scrolled vertically.
    frozen_ = new FrozenRows(this);
    frozen_->setObjectName("frozenRows");
    frozen_->setModel(model_);
    frozen_->setSelectionModel(selectionModel());
    // A delegate of its own: a delegate's commit and close signals go to every view using it.
    auto* frozenDelegate = new CellDelegate(*model_, user_, guard_, frozen_);
    frozenDelegate->setGrid(this);
    frozen_->setItemDelegate(frozenDelegate);
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->setEditTriggers(editTriggers());
    frozen_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setFrameShape(QFrame::NoFrame);
    // It would follow the current cell down the sheet; it must stay at the top.
    frozen_->setAutoScroll(false);
    connect(frozen_->verticalScrollBar(), &QScrollBar::valueChanged, frozen_, [this](int v) {
        if (v != 0) frozen_->verticalScrollBar()->setValue(0);
    });
    frozen_->setWordWrap(false);
    frozen_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    frozen_->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    frozen_->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    frozen_->horizontalHeader()->setDefaultSectionSize(horizontalHeader()->defaultSectionSize());
    frozen_->setStyleSheet("QTableView { border-bottom: 1px solid palette(dark); }");
    frozen_->viewport()->installEventFilter(this);
    frozen_->hide();
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, frozen_->horizontalScrollBar(), &QScrollBar::setValue);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        frozen_->setColumnWidth(section, size);
        // A heading dragged by the person: the host's column width follows.
        if (syncing_ || !model_->worksheet() || size <= 0 || !horizontalHeader()->isVisible()) return;
        const double chars = std::max(0.0, (size - 5.5) / std::max(1, fontMetrics().horizontalAdvance('0')));
        auto sheet = model_->worksheet();
        guard_([&] { sheet->Columns(section + 1)->SetColumnWidth(std::round(chars * 100) / 100); });
    });
    connect(horizontalHeader(), &QHeaderView::sectionHandleDoubleClicked, this, [this](int section) {
        auto sheet = model_->worksheet();
        if (!sheet) return;
        guard_([&] { sheet->Columns(section + 1)->AutoFit(); });
    });
}

SheetGrid::~SheetGrid() {
    // The overlay goes first: it uses this view's model and selection model.
    delete frozen_;
    frozen_ = nullptr;
}

void SheetGrid::showSheet(std::shared_ptr<platform::WorksheetImpl> sheet) {
    hiddenRows_.clear();
    shownSelection_.clear();
    syncing_ = true;
    model_->setSheet(std::move(sheet));
    syncing_ = false;
    sync();
    if (const auto* m = model_->sheet()) {
        // With frozen rows the host's scroll row is the first one below them,
        // and those lie under the overlay at the top of this view.
        verticalScrollBar()->setValue(std::max(0, m->view().scrollRow - 1 - frozenRows_));
        horizontalScrollBar()->setValue(std::max(0, m->view().scrollColumn - 1));
    }
}

void SheetGrid::sync() {
    syncing_ = true;
    model_->refresh();
    syncing_ = false;
    const auto* m = model_->sheet();
    if (!m) {
        frozen_->hide();
        return;
    }
    const QFontMetrics fm = fontMetrics();
    syncing_ = true;  // widths set here are the host's, not the person's
    for (int c = 0; c < model_->columnCount(); ++c) {
        const bool hidden = m->columnHidden(c + 1);
        const int w = widthPixels(fm, m->columnWidth(c + 1));
        for (QTableView* v : {static_cast<QTableView*>(this), static_cast<QTableView*>(frozen_)}) {
            if (v->isColumnHidden(c) != hidden) v->setColumnHidden(c, hidden);
            if (!hidden && w > 0 && v->columnWidth(c) != w) v->setColumnWidth(c, w);
        }
    }
    syncing_ = false;
    // Only the rows that are hidden are visited, not the sheet.
    std::vector<int32_t> hidden;
    std::set_union(m->filterHiddenRows().begin(), m->filterHiddenRows().end(), m->manualHiddenRows().begin(),
                   m->manualHiddenRows().end(), std::back_inserter(hidden));
    if (hidden != hiddenRows_) {
        for (int32_t r : hiddenRows_)
            if (!std::binary_search(hidden.begin(), hidden.end(), r)) setRowHidden(r - 1, false);
        for (int32_t r : hidden)
            if (r <= model_->rowCount()) setRowHidden(r - 1, true);
        hiddenRows_ = std::move(hidden);
    }
    const auto& view = m->view();
    if (layoutKey(*m) != shownView_) {
        shownView_ = layoutKey(*m);
        viewport()->update();  // zeros shown or not
    }
    for (QTableView* v : {static_cast<QTableView*>(this), static_cast<QTableView*>(frozen_)}) {
        v->horizontalHeader()->setVisible(view.displayHeadings);
        v->verticalHeader()->setVisible(view.displayHeadings);
        v->setShowGrid(view.displayGridlines);
    }
    frozenRows_ = view.frozen ? std::min(view.splitRow, model_->rowCount()) : 0;
    placeFrozen();
    syncSelection();
}

void SheetGrid::follow() {
    const auto* m = model_->sheet();
    if (!m) return;
    if (layoutKey(*m) != shownView_) sync();
    else syncSelection();
}

void SheetGrid::placeFrozen() {
    if (!frozen_) return;
    if (frozenRows_ <= 0) {
        frozen_->hide();
        return;
    }
    int height = frozen_->horizontalHeader()->isVisible() ? horizontalHeader()->height() : 0;
    for (int r = 0; r < frozenRows_; ++r)
        if (!isRowHidden(r)) height += rowHeight(r);
    if (verticalHeader()->isVisible()) frozen_->verticalHeader()->setFixedWidth(verticalHeader()->width());
    frozen_->setGeometry(frameWidth(), frameWidth(),
                         viewport()->width() + (verticalHeader()->isVisible() ? verticalHeader()->width() : 0),
                         height + 1);
    frozen_->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
    frozen_->show();
    frozen_->raise();
}

void SheetGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    placeFrozen();
}

QModelIndex SheetGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    QModelIndex next = QTableView::moveCursor(action, modifiers);
    // Keep the current cell out from under the frozen rows.
    if (frozenRows_ > 0 && next.isValid() && next.row() >= frozenRows_ &&
        verticalScrollBar()->value() > next.row() - frozenRows_)
        verticalScrollBar()->setValue(next.row() - frozenRows_);
    return next;
}

void SheetGrid::syncSelection() {
    const auto* m = model_->sheet();
    if (!m) return;
    if (m->protection().on && m->enableSelection() == host::xl::UnlockedCells &&
        !selectable(m->view().activeRow, m->view().activeColumn)) {
        // Code may leave the selection on cells a person cannot select (rows
        // just deleted, below the data): a person's cursor goes to the nearest
        // cell above that can be, and no selection is shown on locked cells.
        const int32_t col = m->view().activeColumn;
        for (int32_t r = std::min<int32_t>(m->view().activeRow, model_->rowCount()); r >= 1; --r)
            if (selectable(r, col)) {
                auto sheet = model_->worksheet();
                guard_([&] { user_.select(sheet->Cells(r, col)); });
                break;
            }
    }
    const auto& view = m->view();
    std::vector<Rect> wanted = view.selection;
    wanted.push_back(Rect{view.activeRow, view.activeColumn, view.activeRow, view.activeColumn});
    if (wanted == shownSelection_) return;
    shownSelection_ = wanted;
    syncing_ = true;
    QItemSelection sel;
    const int rows = model_->rowCount(), cols = model_->columnCount();
    for (const Rect& r : view.selection) {
        if (r.r1 > rows || r.c1 > cols) continue;
        sel.select(model_->index(r.r1 - 1, r.c1 - 1), model_->index(std::min(r.r2, rows) - 1, std::min(r.c2, cols) - 1));
    }
    QModelIndex active = model_->index(std::min(view.activeRow, rows) - 1, std::min(view.activeColumn, cols) - 1);
    selectionModel()->setCurrentIndex(active, QItemSelectionModel::NoUpdate);
    selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
    if (active.row() >= frozenRows_) scrollTo(active);
    syncing_ = false;
}

host::RangePtr SheetGrid::selectedRange() const {
    auto sheet = model_->worksheet();
    if (!sheet) return nullptr;
    std::vector<Rect> areas;
    const QModelIndex current = currentIndex();
    for (const auto& r : selectionModel()->selection()) {
        Rect a{r.top() + 1, r.left() + 1, r.bottom() + 1, r.right() + 1};
        // The area holding the active cell comes first, as the host keeps it.
        if (current.isValid() && r.contains(current)) areas.insert(areas.begin(), a);
        else areas.push_back(a);
    }
    if (areas.empty() && current.isValid())
        areas.push_back(Rect{current.row() + 1, current.column() + 1, current.row() + 1, current.column() + 1});
    if (areas.empty()) return nullptr;
    return sheet->range(areas);
}

void SheetGrid::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTableView::selectionChanged(selected, deselected);
    if (!frozen_) return;  // still being built
    frozen_->viewport()->update();
    if (syncing_ || !model_->sheet()) return;
    auto range = selectedRange();
    if (!range) return;
    bool accepted = true;
    guard_([&] {
        accepted = user_.select(range);
        // Taken as shown before the window follows the host, so that following
        // does not put the current cell back on the host's active one.
        if (const auto* m = model_->sheet(); accepted && m) {
            shownSelection_ = m->view().selection;
            shownSelection_.push_back(Rect{m->view().activeRow, m->view().activeColumn, m->view().activeRow,
                                           m->view().activeColumn});
        }
    });
    if (!accepted) {
        // The sheet does not let these cells be selected: back to the host's selection.
        shownSelection_.clear();
        QTimer::singleShot(0, this, [this] { syncSelection(); });
        return;
    }
}

void SheetGrid::keyPressEvent(QKeyEvent* event) {
    if (state() != QAbstractItemView::EditingState && model_->sheet()) {
        if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
            if (auto range = selectedRange()) guard_([&] { user_.clear(range); });
            return;
        }
        if (event->matches(QKeySequence::Paste)) return paste();
        if (event->matches(QKeySequence::Copy)) return copy();
        if (event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier) {
            openDropDown();
            return;
        }
        if (navigate(event)) return;
    }
    QTableView::keyPressEvent(event);
}

bool SheetGrid::selectable(int32_t row, int32_t col) const {
    const auto* m = model_->sheet();
    if (!m || row < 1 || col < 1 || row > model_->rowCount() || col > model_->columnCount()) return false;
    if (isRowHidden(row - 1) || isColumnHidden(col - 1)) return false;
    if (!m->protection().on) return true;
    if (m->enableSelection() == host::xl::NoSelection) return false;
    if (m->enableSelection() == host::xl::UnlockedCells) return !model_->worksheet()->anyLocked({row, col, row, col});
    return true;
}

std::pair<int32_t, int32_t> SheetGrid::dataEdge(int32_t row, int32_t col, int dr, int dc) const {
    const auto* m = model_->sheet();
    const int32_t rows = model_->rowCount(), cols = model_->columnCount();
    auto inside = [&](int32_t r, int32_t c) { return r >= 1 && c >= 1 && r <= rows && c <= cols; };
    auto filled = [&](int32_t r, int32_t c) { return !m->value(r, c).isEmpty(); };
    int32_t r = row + dr, c = col + dc;
    if (!inside(r, c)) return {row, col};
    if (filled(row, col) && filled(r, c)) {
        // Along a block of values: to its last one.
        while (inside(r + dr, c + dc) && filled(r + dr, c + dc)) r += dr, c += dc;
        return {r, c};
    }
    // From a blank or the end of a block: to the next value, or the sheet's edge.
    while (inside(r, c) && !filled(r, c)) r += dr, c += dc;
    if (!inside(r, c)) r -= dr, c -= dc;
    return {r, c};
}

std::pair<int32_t, int32_t> SheetGrid::lastDataCell() const {
    const auto* m = model_->sheet();
    auto used = m ? m->usedRect() : std::nullopt;
    if (!used) return {1, 1};
    // Formats reach beyond the values (a grid drawn one row further): the
    // last row and column that hold a value.
    int32_t lastRow = used->r1, lastCol = used->c1;
    for (int32_t r = used->r2; r >= used->r1; --r) {
        bool any = false;
        for (int32_t c = used->c1; c <= used->c2 && !any; ++c) any = !m->value(r, c).isEmpty();
        if (any) {
            lastRow = r;
            break;
        }
    }
    for (int32_t c = used->c2; c >= used->c1; --c) {
        bool any = false;
        for (int32_t r = used->r1; r <= lastRow && !any; ++r) any = !m->value(r, c).isEmpty();
        if (any) {
            lastCol = c;
            break;
        }
    }
    return {lastRow, lastCol};
}

void SheetGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // A click, a plain move or the host's own selection starts a new anchor.
    if (!extending_) anchor_ = current;
}

void SheetGrid::moveTo(int32_t row, int32_t col, bool extend) {
    const QModelIndex target = model_->index(row - 1, col - 1);
    if (!target.isValid()) return;
    if (!extend || !anchor_.isValid()) anchor_ = target;
    if (extend) {
        extending_ = true;
        const QModelIndex from = anchor_;
        QItemSelection sel(model_->index(std::min(from.row(), target.row()), std::min(from.column(), target.column())),
                           model_->index(std::max(from.row(), target.row()), std::max(from.column(), target.column())));
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
        selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
        extending_ = false;
    } else {
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    }
    scrollTo(target);
    if (frozenRows_ > 0 && target.row() >= frozenRows_ && verticalScrollBar()->value() > target.row() - frozenRows_)
        verticalScrollBar()->setValue(target.row() - frozenRows_);
}

bool SheetGrid::navigate(QKeyEvent* event) {
    const auto mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (mods & Qt::AltModifier) return false;
    const bool shift = mods & Qt::ShiftModifier, ctrl = mods & Qt::ControlModifier;
    const QModelIndex current = currentIndex();
    int32_t row = current.isValid() ? current.row() + 1 : 1, col = current.isValid() ? current.column() + 1 : 1;
    // With Shift the far corner moves; the anchor stays.
    if (shift && anchor_.isValid() && current.isValid()) {
        row = current.row() + 1;
        col = current.column() + 1;
    }
    int dr = 0, dc = 0;
    switch (event->key()) {
    case Qt::Key_Up: dr = -1; break;
    case Qt::Key_Down: dr = 1; break;
    case Qt::Key_Left: dc = -1; break;
    case Qt::Key_Right: dc = 1; break;
    case Qt::Key_Tab: dc = 1; break;
    case Qt::Key_Backtab: dc = -1; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: dr = shift ? -1 : 1; break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int page = std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()) - 1);
        dr = event->key() == Qt::Key_PageUp ? -page : page;
        break;
    }
    case Qt::Key_Home:
    case Qt::Key_End: break;
    default: return false;
    }
    const bool tabOrEnter = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab ||
                            event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool extend = shift && !tabOrEnter;
    // A target that cannot be selected (a locked cell of a protected sheet,
    // a hidden row) is passed over in the direction of the move; with none
    // beyond it, the active cell stays.
    auto settle = [&](int32_t r, int32_t c, int sr, int sc) {
        const int32_t rows = model_->rowCount(), cols = model_->columnCount();
        r = std::clamp(r, 1, rows), c = std::clamp(c, 1, cols);
        while (r >= 1 && c >= 1 && r <= rows && c <= cols && !selectable(r, c)) {
            if (sr == 0 && sc == 0) return;
            r += sr, c += sc;
        }
        if (r < 1 || c < 1 || r > rows || c > cols) return;
        moveTo(r, c, extend);
    };
    auto sign = [](int v) { return v > 0 ? 1 : v < 0 ? -1 : 0; };
    if (event->key() == Qt::Key_Home) {
        if (ctrl) {
            // The first cell that can be selected, row by row from A1.
            const auto last = lastDataCell();
            for (int32_t r = 1; r <= std::max(last.first, 1); ++r)
                for (int32_t c = 1; c <= std::max(last.second, 1); ++c)
                    if (selectable(r, c)) return moveTo(r, c, extend), true;
            return true;
        }
        settle(row, 1, 0, 1);
        return true;
    }
    if (event->key() == Qt::Key_End) {
        if (!ctrl) return false;
        const auto last = lastDataCell();
        for (int32_t r = last.first; r >= 1; --r)
            for (int32_t c = last.second; c >= 1; --c)
                if (selectable(r, c)) return moveTo(r, c, extend), true;
        return true;
    }
    if (ctrl && !tabOrEnter && (dr == 1 || dr == -1 || dc != 0)) {
        auto [r, c] = dataEdge(row, col, dr, dc);
        // Back towards where the move started, to the nearest selectable cell.
        while ((r != row || c != col) && !selectable(r, c)) r -= dr, c -= dc;
        if (r != row || c != col) moveTo(r, c, extend);
        return true;
    }
    settle(row + dr, col + dc, sign(dr), sign(dc));
    return true;
}

bool SheetGrid::commitEditor() {
    if (!editorOpen()) return false;
    QWidget* editor = nullptr;
    QTableView* view = state() == QAbstractItemView::EditingState ? static_cast<QTableView*>(this) : frozen_;
    for (QWidget* w = QApplication::focusWidget(); w && !editor; w = w->parentWidget())
        if (w->parentWidget() == view->viewport()) editor = w;
    if (!editor) {
        for (auto* c : view->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (c->isVisible() && (qobject_cast<QLineEdit*>(c) || qobject_cast<QComboBox*>(c))) editor = c;
    }
    if (!editor) return false;
    auto* delegate = view->itemDelegate();
    emit delegate->commitData(editor);
    // A refused entry leaves the cell being edited; the editor then stays.
    if (user_.editing()) return false;
    emit delegate->closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
    return true;
}

void SheetGrid::reopenEditor(const QModelIndex& index, const QString& text) {
    if (editorOpen()) return;
    setCurrentIndex(index);
    retyped_ = text;
    edit(index);
    retyped_ = QVariant();
}

QVariant SheetGrid::takeRetyped() {
    QVariant v = retyped_;
    retyped_ = QVariant();
    return v;
}

bool SheetGrid::openDropDown() {
    const QModelIndex index = currentIndex();
    if (!index.isValid() || !model_->hasDropDown(SheetTableModel::sheetRow(index), SheetTableModel::sheetColumn(index)))
        return false;
    if (!editorOpen()) edit(index);
    QTableView* view = index.row() < frozenRows_ && frozen_->isVisible() ? static_cast<QTableView*>(frozen_) : this;
    for (auto* combo : view->viewport()->findChildren<QComboBox*>("listEditor"))
        if (combo->isVisible()) {
            combo->showPopup();
            return true;
        }
    return false;
}

void SheetGrid::copy() {
    const QModelIndex current = currentIndex();
    QItemSelectionRange area;
    for (const auto& r : selectionModel()->selection())
        if (r.contains(current)) area = r;
    if (!area.isValid()) return;
    QStringList lines;
    const int lastRow = std::min(area.bottom(), area.top() + 100000);
    for (int r = area.top(); r <= lastRow; ++r) {
        if (isRowHidden(r)) continue;
        QStringList cells;
        for (int c = area.left(); c <= area.right(); ++c) cells << model_->displayText(r + 1, c + 1);
        lines << cells.join('\t');
    }
    QApplication::clipboard()->setText(lines.join('\n') + '\n');
}

void SheetGrid::paste() {
    auto sheet = model_->worksheet();
    const QModelIndex current = currentIndex();
    if (!sheet || !current.isValid()) return;
    QString text = QApplication::clipboard()->text();
    text.replace("\r\n", "\n");
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    std::vector<std::vector<std::string>> rows;
    for (const auto& line : lines) {
        std::vector<std::string> cells;
        for (const auto& cell : line.split('\t')) cells.push_back(cell.toStdString());
        rows.push_back(std::move(cells));
    }
    if (rows.empty()) return;
    // One copied value into a selected block fills the block, as a spreadsheet does.
    if (rows.size() == 1 && rows.front().size() == 1) {
        for (const auto& r : selectionModel()->selection())
            if (r.contains(current) && (r.height() > 1 || r.width() > 1)) {
                const Rect block{r.top() + 1, r.left() + 1, r.bottom() + 1, r.right() + 1};
                guard_([&] { user_.fillBlock(sheet->range(block), rows.front().front()); });
                return;
            }
    }
    guard_([&] { user_.pasteBlock(sheet->Cells(current.row() + 1, current.column() + 1), rows); });
}

void SheetGrid::fillDown() {
    auto range = selectedRange();
    if (!range) return;
    guard_([&] { user_.fillDown(range); });
}

bool SheetGrid::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick) {
        QTableView* view = watched == frozen_->viewport() ? static_cast<QTableView*>(frozen_)
                         : watched == viewport()          ? static_cast<QTableView*>(this)
                                                          : nullptr;
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (view && mouse->button() == Qt::LeftButton) {
            if (type == QEvent::MouseButtonRelease && pressedDropDown_.isValid()) {
                // The list opens once the button is up: opened on the press, the
                // release would land in it and pick the entry under the mouse.
                const QModelIndex index = pressedDropDown_;
                pressedDropDown_ = QModelIndex();
                if (index == currentIndex()) QTimer::singleShot(0, this, [this] { openDropDown(); });
                return true;
            }
            if (type != QEvent::MouseButtonRelease && pressButton(view, mouse->position().toPoint())) return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

bool SheetGrid::pressButton(QTableView* view, const QPoint& pos) {
    const QModelIndex index = view->indexAt(pos);
    if (!index.isValid()) return false;
    const QRect cell = view->visualRect(index);
    if (!buttonRect(cell).adjusted(-1, -1, 1, 1).contains(pos)) return false;
    const int32_t row = SheetTableModel::sheetRow(index), col = SheetTableModel::sheetColumn(index);
    if (model_->isFilterButton(row, col)) {
        showFilterMenu(col, view->viewport()->mapToGlobal(cell.bottomLeft()));
        return true;
    }
    if (index == currentIndex() && model_->hasDropDown(row, col)) {
        pressedDropDown_ = index;
        return true;
    }
    return false;
}

bool SheetGrid::find(const QString& text, bool forward, bool matchCase, bool wholeCell) {
    const auto* m = model_->sheet();
    if (!m || text.isEmpty()) return false;
    const auto used = m->usedRect();
    if (!used) return false;
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    auto matches = [&](int32_t r, int32_t c) {
        const QString shown = model_->displayText(r, c);
        return wholeCell ? shown.compare(text, cs) == 0 : shown.contains(text, cs);
    };
    const int64_t width = used->c2 - used->c1 + 1, height = used->r2 - used->r1 + 1, cells = width * height;
    const QModelIndex cur = currentIndex();
    int64_t start = -1;
    if (cur.isValid() && cur.row() + 1 >= used->r1 && cur.row() + 1 <= used->r2 && cur.column() + 1 >= used->c1 &&
        cur.column() + 1 <= used->c2)
        start = int64_t(cur.row() + 1 - used->r1) * width + (cur.column() + 1 - used->c1);
    else if (!forward)
        start = 0;  // backwards from the top wraps to the last cell
    // Row by row, from the cell after the current one, round to where it started.
    for (int64_t k = 1; k <= cells; ++k) {
        int64_t i = forward ? start + k : start - k;
        i = ((i % cells) + cells) % cells;
        const int32_t r = used->r1 + int32_t(i / width), c = used->c1 + int32_t(i % width);
        if (!selectable(r, c) || !matches(r, c)) continue;
        moveTo(r, c, false);
        return true;
    }
    return false;
}

void SheetGrid::contextMenuEvent(QContextMenuEvent* event) {
    contextMenu(true, event->pos());
}

QMenu* SheetGrid::contextMenu(bool exec, const QPoint& pos) {
    if (!model_->sheet()) return nullptr;
    const QModelIndex index = indexAt(pos);
    // A right-click outside the selection selects the cell first, as a spreadsheet does.
    if (exec && index.isValid() && !selectionModel()->isSelected(index)) setCurrentIndex(index);
    delete menu_;
    menu_ = new QMenu(this);
    menu_->setObjectName("cellMenu");
    auto caption = [](const char* name) { return QString::fromStdString(GetCaption(name)); };
    auto add = [this](const QString& text, const char* name, std::function<void()> run) {
        QAction* a = menu_->addAction(text);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, std::move(run));
        return a;
    };
    add(caption("mnuCut"), "cut", [this] {
        copy();
        if (auto range = selectedRange()) guard_([&] { user_.clear(range); });
    });
    add(caption("mnuCopy"), "copy", [this] { copy(); });
    add(caption("mnuPaste"), "paste", [this] { paste(); });
    add(caption("mnuClear"), "clear", [this] {
        if (auto range = selectedRange()) guard_([&] { user_.clear(range); });
    });
    // The add-in's record commands, where its keys are bound here.
    struct Command {
        int message;
        const char* key;
        const char* name;
    };
    bool first = true;
    for (const Command& c : {Command{125, "{F6}", "addRecord"}, Command{127, "{F8}", "deleteRecords"},
                             Command{128, "{F9}", "refresh"}}) {
        const Variant binding = app_.keyBinding(c.key);
        if (binding.isMissing()) continue;
        if (first) menu_->addSeparator();
        first = false;
        QString text = QString::fromStdString(GetMessage(static_cast<int16_t>(c.message)));
        text.remove(QRegularExpression(R"(\s*\([^)]*\)$)"));
        text.replace("&&", "\x01").remove('&').replace('\x01', '&');
        QAction* a = add(text, c.name, [this, key = std::string(c.key)] {
            if (keys_) keys_(key);
        });
        a->setEnabled(!binding.text().empty());
    }
    if (exec) menu_->exec(viewport()->mapToGlobal(pos));
    return menu_;
}

std::vector<QString> SheetGrid::filterChoices(int32_t col) const {
    const auto* m = model_->sheet();
    if (!m || !m->autoFilter()) return {};
    const Rect& r = m->autoFilter()->range;
    const bool dutch = model_->locale().language == FormatLocale::Language::Dutch;
    std::vector<QString> out{dutch ? QStringLiteral("(Alles selecteren)") : QStringLiteral("(Select all)")};
    // Ordered as an ascending sort orders the rows: numbers by value before texts,
    // texts without regard to case.
    struct Choice {
        QString text;
        bool number;
        double value;
    };
    std::set<QString> seen;
    std::vector<Choice> values;
    for (int32_t row = r.r1 + 1; row <= r.r2; ++row) {
        Variant v = m->value(row, col);
        if (v.isEmpty()) continue;
        QString text = QString::fromStdString(v.text());
        if (!seen.insert(text).second) continue;
        const bool number = v.isNumber() || v.isDate();
        values.push_back({text, number, number ? v.toDouble() : 0.0});
    }
    std::sort(values.begin(), values.end(), [](const Choice& a, const Choice& b) {
        if (a.number != b.number) return a.number;
        if (a.number) return a.value < b.value;
        const int c = QString::localeAwareCompare(a.text.toCaseFolded(), b.text.toCaseFolded());
        return c != 0 ? c < 0 : a.text < b.text;
    });
    for (auto& c : values) out.push_back(std::move(c.text));
    return out;
}

void SheetGrid::applyFilter(int32_t col, const QString& choice) {
    auto sheet = model_->worksheet();
    const auto* m = model_->sheet();
    if (!sheet || !m || !m->autoFilter()) return;
    const Rect r = m->autoFilter()->range;
    const auto choices = filterChoices(col);
    const bool all = !choices.empty() && choice == choices.front();
    guard_([&] {
        auto range = sheet->range(r);
        long field = col - r.c1 + 1;
        if (all) range->AutoFilter(field, Variant::missing());
        else range->AutoFilter(field, Variant("=" + choice.toStdString()));
    });
}

void SheetGrid::showFilterMenu(int32_t col, const QPoint& globalPos) {
    QMenu menu(this);
    menu.setObjectName("filterMenu");
    const bool dutch = model_->locale().language == FormatLocale::Language::Dutch;
    QAction* up = menu.addAction(dutch ? QStringLiteral("Oplopend sorteren") : QStringLiteral("Sort Ascending"));
    up->setObjectName("sortAscending");
    QAction* down = menu.addAction(dutch ? QStringLiteral("Aflopend sorteren") : QStringLiteral("Sort Descending"));
    down->setObjectName("sortDescending");
    menu.addSeparator();
    for (const auto& choice : filterChoices(col)) menu.addAction(choice);
    filterMenu_ = &menu;
    QAction* chosen = menu.exec(globalPos);
    filterMenu_ = nullptr;
    if (chosen == up || chosen == down) sortBy(col, chosen == up);
    else if (chosen) applyFilter(col, chosen->text());
}

void SheetGrid::sortBy(int32_t col, bool ascending) {
    auto sheet = model_->worksheet();
    if (!sheet) return;
    guard_([&] { user_.sortRows(sheet, col, ascending); });
    sync();
}

}  // namespace dalvera::gui
