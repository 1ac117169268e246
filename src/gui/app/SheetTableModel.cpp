#include "gui/app/SheetTableModel.h"

#include <algorithm>
#include <cmath>

#include <QBrush>
#include <QFont>

#include "runtime/Error.h"

namespace dalvera::gui {

using platform::CellStyle;

namespace {
QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

SheetTableModel::SheetTableModel(platform::EmbeddedApplication& app, QObject* parent)
    : QAbstractTableModel(parent), app_(app) {
    locale_ = platform::entryLocale(app.countryCode()).dutch ? FormatLocale::dutch() : FormatLocale::english();
}

const platform::SheetModel* SheetTableModel::sheet() const {
    return sheet_ && !sheet_->deleted() ? &sheet_->model() : nullptr;
}

void SheetTableModel::setSheet(std::shared_ptr<platform::WorksheetImpl> sheet) {
    beginResetModel();
    sheet_ = std::move(sheet);
    measure(rows_, cols_);
    endResetModel();
}

void SheetTableModel::measure(int& rows, int& cols) const {
    rows = cols = 0;
    const auto* m = sheet();
    if (!m) return;
    int32_t lastRow = m->view().activeRow, lastCol = m->view().activeColumn;
    if (auto used = m->usedRect()) lastRow = std::max(lastRow, used->r2), lastCol = std::max(lastCol, used->c2);
    rows = static_cast<int>(std::clamp<int64_t>(int64_t(lastRow) + kSpareRows, kMinRows, platform::kMaxRows));
    cols = static_cast<int>(std::clamp<int64_t>(int64_t(lastCol) + kSpareColumns, kMinColumns, platform::kMaxCols));
}

void SheetTableModel::refresh() {
    int rows = 0, cols = 0;
    measure(rows, cols);
    // Growing and shrinking keep the views' scroll position and selection.
    if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    } else if (rows < rows_) {
        beginRemoveRows({}, rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    }
    if (cols > cols_) {
        beginInsertColumns({}, cols_, cols - 1);
        cols_ = cols;
        endInsertColumns();
    } else if (cols < cols_) {
        beginRemoveColumns({}, cols, cols_ - 1);
        cols_ = cols;
        endRemoveColumns();
    }
    // One range: a view repaints what it shows and reads nothing else.
    if (rows_ > 0 && cols_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1));
}

int SheetTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int SheetTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols_; }

const CellStyle& SheetTableModel::styleAt(int32_t row, int32_t col) const {
    static const CellStyle plain;
    const auto* m = sheet();
    return m ? m->workbook().styles()[m->styleAt(row, col)] : plain;
}

QString SheetTableModel::displayText(int32_t row, int32_t col) const {
    const auto* m = sheet();
    if (!m) return {};
    Variant v = m->value(row, col);
    if (v.isEmpty()) return {};
    if (!m->view().displayZeros && (v.isNumber() || v.isDate()) && v.toDouble() == 0) return {};
    try {
        return QString::fromStdString(formatValue(v, styleAt(row, col).numberFormat, locale_));
    } catch (const Error&) {
        return QString::fromStdString(v.text());  // a malformed format still shows the value
    }
}

QString SheetTableModel::editText(int32_t row, int32_t col) const {
    const auto* m = sheet();
    if (!m) return {};
    // The text that reads back as the same value in this cell: a confirmed,
    // unchanged edit must not turn 007 into 7, swap day and month, or cut digits.
    return QString::fromStdString(
        platform::entryText(m->value(row, col), styleAt(row, col).numberFormat, platform::entryLocale(app_.countryCode())));
}

std::vector<QString> SheetTableModel::listValues(int32_t row, int32_t col) const {
    const auto* m = sheet();
    if (!m) return {};
    const auto* rule = m->validationAt(row, col);
    if (!rule || rule->type != host::xl::ValidateList || !rule->inCellDropdown) return {};
    std::vector<QString> out;
    for (const auto& v : sheet_->listValues(*rule)) out.push_back(QString::fromStdString(v.text()));
    return out;
}

bool SheetTableModel::hasDropDown(int32_t row, int32_t col) const {
    const auto* m = sheet();
    if (!m) return false;
    const auto* rule = m->validationAt(row, col);
    return rule && rule->type == host::xl::ValidateList && rule->inCellDropdown;
}

std::vector<SheetTableModel::ListChoice> SheetTableModel::listChoices(int32_t row, int32_t col) const {
    std::vector<ListChoice> out;
    const auto* m = sheet();
    if (!hasDropDown(row, col)) return out;
    const auto* rule = m->validationAt(row, col);
    const auto entryLocale = platform::entryLocale(app_.countryCode());
    const std::string& targetFormat = styleAt(row, col).numberFormat;
    // The source cells, when the list is a reference to one column.
    std::shared_ptr<platform::WorksheetImpl> source;
    platform::Rect area{};
    const std::string f = rule->formula1;
    if (!f.empty() && f[0] == '=') {
        host::RangePtr r = sheet_->book().nameRange(f.substr(1));
        platform::Rect a;
        if (!r && platform::parseA1(f.substr(1), a)) r = sheet_->range(a);
        if (r && platform::rangeAreas(r).size() == 1 && platform::rangeAreas(r).front().c1 == platform::rangeAreas(r).front().c2) {
            source = platform::rangeSheet(r);
            area = platform::rangeAreas(r).front();
        }
    }
    if (source) {
        const auto& sm = source->model();
        const auto& styles = source->styles();
        for (int32_t r = area.r1; r <= std::min(area.r2, area.r1 + 100000); ++r) {
            const Variant v = sm.value(r, area.c1);
            ListChoice choice;
            choice.entry = QString::fromStdString(platform::entryText(v, targetFormat, entryLocale));
            QString shown;
            try {
                shown = QString::fromStdString(formatValue(v, styles[sm.styleAt(r, area.c1)].numberFormat, locale_));
            } catch (const Error&) {
                shown = QString::fromStdString(v.text());
            }
            const Variant beside = area.c1 < platform::kMaxCols ? sm.value(r, area.c1 + 1) : Variant();
            if (!beside.isEmpty() && !beside.isNull()) shown += QString::fromUtf8(" \u00b7 ") + QString::fromStdString(beside.text());
            choice.label = shown;
            out.push_back(std::move(choice));
        }
        return out;
    }
    for (const auto& v : sheet_->listValues(*rule)) {
        QString text = QString::fromStdString(v.text());
        out.push_back({text, text});
    }
    return out;
}

bool SheetTableModel::isNumber(int32_t row, int32_t col) const {
    const auto* m = sheet();
    if (!m) return false;
    auto kind = m->cell(row, col).kind;
    return kind == platform::CellKind::Number || kind == platform::CellKind::Date ||
           kind == platform::CellKind::Currency;
}

bool SheetTableModel::hasComment(int32_t row, int32_t col) const {
    const auto* m = sheet();
    return m && m->comments().count({row, col}) != 0;
}

bool SheetTableModel::isFilterButton(int32_t row, int32_t col, bool* filtering) const {
    const auto* m = sheet();
    if (!m || !m->autoFilter()) return false;
    const auto& af = *m->autoFilter();
    if (row != af.range.r1 || col < af.range.c1 || col > af.range.c2) return false;
    if (filtering) {
        size_t i = static_cast<size_t>(col - af.range.c1);
        *filtering = i < af.columns.size() && af.columns[i].on;
    }
    return true;
}

QVariant SheetTableModel::data(const QModelIndex& index, int role) const {
    const auto* m = sheet();
    if (!m || !index.isValid()) return {};
    const int32_t row = sheetRow(index), col = sheetColumn(index);
    switch (role) {
    case Qt::DisplayRole: ++reads_; return displayText(row, col);
    case Qt::EditRole: ++reads_; return editText(row, col);
    case Qt::BackgroundRole: {
        const auto& s = styleAt(row, col);
        return s.fillColor >= 0 ? QVariant(QBrush(hostColor(s.fillColor))) : QVariant();
    }
    case Qt::ForegroundRole: {
        const auto& s = styleAt(row, col);
        return s.fontColor >= 0 ? QVariant(QBrush(hostColor(s.fontColor))) : QVariant();
    }
    case Qt::FontRole: {
        const auto& s = styleAt(row, col);
        if (!s.bold && !s.italic && s.fontSize == 11) return {};
        QFont f;
        f.setBold(s.bold);
        f.setItalic(s.italic);
        // Sizes relative to the host's 11 points, so the grid keeps the theme's font.
        if (s.fontSize != 11 && s.fontSize > 0) f.setPointSizeF(f.pointSizeF() * s.fontSize / 11.0);
        return f;
    }
    case Qt::TextAlignmentRole: {
        const auto& s = styleAt(row, col);
        Qt::Alignment v = Qt::AlignVCenter;
        switch (s.horizontalAlignment) {
        case host::xl::HAlignLeft: return QVariant::fromValue(v | Qt::AlignLeft);
        case host::xl::HAlignCenter: return QVariant::fromValue(v | Qt::AlignHCenter);
        case host::xl::HAlignRight: return QVariant::fromValue(v | Qt::AlignRight);
        default: break;
        }
        // General: numbers and dates right, truth values centred, text left.
        ++reads_;
        Variant value = m->value(row, col);
        if (value.isBoolean()) return QVariant::fromValue(v | Qt::AlignHCenter);
        if (value.isNumber() || value.isDate()) return QVariant::fromValue(v | Qt::AlignRight);
        return QVariant::fromValue(v | Qt::AlignLeft);
    }
    case Qt::ToolTipRole: {
        auto it = m->comments().find({row, col});
        return it == m->comments().end() ? QVariant() : QVariant(qs(it->second.text));
    }
    default: return {};
    }
}

QVariant SheetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal) return QString::fromStdString(platform::columnLetters(section + 1));
    return section + 1;
}

Qt::ItemFlags SheetTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Every cell offers an editor; the host refuses locked cells itself, with
    // its own message, when the person starts typing.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

}  // namespace dalvera::gui
