#pragma once
// The active worksheet as a Qt table model. Nothing is copied: every data()
// call reads the one cell it is asked for from the sheet's own store, so a
// view of a 100k-row table costs only the cells on screen.
#include <cstdint>
#include <memory>
#include <vector>

#include <QAbstractTableModel>
#include <QColor>

#include "platform/sheets/Embedded.h"
#include "runtime/NumberFormat.h"

namespace dalvera::gui {

class SheetTableModel : public QAbstractTableModel {
public:
    // Blank rows and columns offered beyond the used range, to type into.
    static constexpr int kSpareRows = 100;
    static constexpr int kSpareColumns = 10;
    static constexpr int kMinRows = 200;
    static constexpr int kMinColumns = 26;

    explicit SheetTableModel(platform::EmbeddedApplication& app, QObject* parent = nullptr);

    // Shows another sheet (nullptr: none); the views start over.
    void setSheet(std::shared_ptr<platform::WorksheetImpl> sheet);
    const std::shared_ptr<platform::WorksheetImpl>& worksheet() const { return sheet_; }
    const platform::SheetModel* sheet() const;
    // After a change of the sheet: new extents, and every cell is read again
    // when it is next drawn.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // 1-based sheet coordinates of a model index and back.
    static int32_t sheetRow(const QModelIndex& i) { return i.row() + 1; }
    static int32_t sheetColumn(const QModelIndex& i) { return i.column() + 1; }

    const platform::CellStyle& styleAt(int32_t row, int32_t col) const;
    // The text a person edits: the value without its number format.
    QString editText(int32_t row, int32_t col) const;
    // The values of a list rule at the cell (empty when there is none, or it
    // shows no drop-down).
    std::vector<QString> listValues(int32_t row, int32_t col) const;
    // Whether the cell shows a list drop-down, without reading the list.
    bool hasDropDown(int32_t row, int32_t col) const;
    // One choice of a list drop-down: what it shows ("1 · Beverages", TRUE
    // as the cells show it) and the text it enters ("1").
    struct ListChoice {
        QString label;
        QString entry;
    };
    // The choices of the list at the cell. A list kept in one column shows
    // beside each value the text in the cell to its right, so lists of keys
    // can carry the names they stand for.
    std::vector<ListChoice> listChoices(int32_t row, int32_t col) const;
    bool hasComment(int32_t row, int32_t col) const;
    // Numbers and dates: shown as #### when they do not fit, never cut.
    bool isNumber(int32_t row, int32_t col) const;
    // The header cell of an AutoFilter column, and whether that column filters.
    bool isFilterButton(int32_t row, int32_t col, bool* filtering = nullptr) const;
    // The value shown in a cell, through its number format.
    QString displayText(int32_t row, int32_t col) const;

    const FormatLocale& locale() const { return locale_; }
    // How many cells data() has read, so tests can see that a view asks only
    // for what it shows.
    uint64_t cellReads() const { return reads_; }
    void resetCellReads() { reads_ = 0; }

    // Host colours are red + 256 green + 65536 blue.
    static QColor hostColor(int32_t rgb) { return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF); }

private:
    void measure(int& rows, int& cols) const;

    platform::EmbeddedApplication& app_;
    std::shared_ptr<platform::WorksheetImpl> sheet_;
    FormatLocale locale_;
    int rows_ = 0, cols_ = 0;
    mutable uint64_t reads_ = 0;
};

}  // namespace dalvera::gui
