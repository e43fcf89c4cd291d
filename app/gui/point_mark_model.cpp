#include "app/gui/point_mark_model.h"

#include <QColor>
#include <QStringList>

#include "text/code_page_932.h"

QString cellToQString(std::string_view cell) {
    const std::u16string wide = cp932::decode(cell);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string qStringToCell(const QString& text) {
    return cp932::encode(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
}

TPointMarkModel::TPointMarkModel(TPointMarkTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), rows_(table.rowCount() - table.fixedRows()) {
    table_.OnCellsChanged.add(this, [this](int c0, int r0, int c1, int r1) { cellsChanged(c0, r0, c1, r1); });
    table_.OnRowCountChanged.add(this, [this](int oldCount, int newCount) { rowCountChanged(oldCount, newCount); });
    table_.OnRowsInserted.add(this, [this](int first, int count) { rowsInserted(first, count); });
    table_.OnRowsRemoved.add(this, [this](int first, int count) { rowsRemoved(first, count); });
    table_.OnReset.add(this, [this] { reset(); });
}

TPointMarkModel::~TPointMarkModel() {
    table_.OnCellsChanged.remove(this);
    table_.OnRowCountChanged.remove(this);
    table_.OnRowsInserted.remove(this);
    table_.OnRowsRemoved.remove(this);
    table_.OnReset.remove(this);
}

int TPointMarkModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TPointMarkModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant TPointMarkModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return cellToQString(table_.cell(index.column(), tableRow(index.row())));
    if ((role != Qt::BackgroundRole && role != Qt::ToolTipRole) || !Checks) return QVariant();
    const TRecordProblems problems = Checks->problemsOf(index.column(), tableRow(index.row()));
    if (problems.empty()) return QVariant();
    if (role == Qt::BackgroundRole)
        return problems.count(TSeverity::error) > 0 ? QColor(255, 200, 200) : QColor(255, 236, 170);
    QStringList reasons;
    for (const TFieldProblem problem : problems) {
        const TFieldProblemInfo& info = fieldProblemInfo(problem);
        reasons.push_back(QString::fromUtf8(info.severity == TSeverity::error ? "エラー: " : "警告: ") +
                          QString::fromUtf8(info.reasonJapanese));
    }
    return reasons.join(u'\n');
}

QVariant TPointMarkModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Vertical) return tableRow(section);
    return table_.fixedRows() > 0 ? cellToQString(table_.cell(section, 0)) : QString();
}

Qt::ItemFlags TPointMarkModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TPointMarkModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    const int row = tableRow(index.row());
    const std::string& old = table_.cell(index.column(), row);
    const QString text = value.toString();
    if (text == cellToQString(old)) return true;
    if (OnEdit)
        OnEdit(index.column(), row, qStringToCell(text));
    else
        table_.setCell(index.column(), row, qStringToCell(text));
    return true;
}

void TPointMarkModel::cellsChanged(int firstColumn, int firstRow, int lastColumn, int lastRow) {
    const int fixed = table_.fixedRows();
    if (fixed > 0 && firstRow == 0) {
        emit headerDataChanged(Qt::Horizontal, firstColumn, lastColumn);
        firstRow = 1;
    }
    const int first = firstRow - fixed;
    const int last = std::min(lastRow - fixed, rows_ - 1);
    if (first <= last) emit dataChanged(index(first, firstColumn), index(last, lastColumn), {Qt::DisplayRole});
}

void TPointMarkModel::rowCountChanged(int oldCount, int newCount) {
    const int fixed = table_.fixedRows();
    const int oldRows = rows_;
    const int newRows = newCount - fixed;
    (void)oldCount;
    if (newRows > oldRows) {
        beginInsertRows(QModelIndex(), oldRows, newRows - 1);
        rows_ = newRows;
        endInsertRows();
    } else if (newRows < oldRows) {
        beginRemoveRows(QModelIndex(), newRows, oldRows - 1);
        rows_ = newRows;
        endRemoveRows();
    }
}

void TPointMarkModel::rowsInserted(int first, int count) {
    const int modelFirst = first - table_.fixedRows();
    if (modelFirst < 0) return reset();
    beginInsertRows(QModelIndex(), modelFirst, modelFirst + count - 1);
    rows_ += count;
    endInsertRows();
}

void TPointMarkModel::rowsRemoved(int first, int count) {
    const int modelFirst = first - table_.fixedRows();
    if (modelFirst < 0) return reset();
    beginRemoveRows(QModelIndex(), modelFirst, modelFirst + count - 1);
    rows_ -= count;
    endRemoveRows();
}

void TPointMarkModel::reset() {
    beginResetModel();
    rows_ = table_.rowCount() - table_.fixedRows();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}
