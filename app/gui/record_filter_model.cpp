#include "app/gui/record_filter_model.h"

#include <algorithm>

TRecordFilterModel::TRecordFilterModel(QObject* parent) : QAbstractProxyModel(parent) {}

void TRecordFilterModel::setSourceModel(QAbstractItemModel* source) {
    beginResetModel();
    if (sourceModel()) sourceModel()->disconnect(this);
    QAbstractProxyModel::setSourceModel(source);
    filtering_ = false;
    rows_.clear();
    inverse_.clear();
    if (source) {
        connect(source, &QAbstractItemModel::dataChanged, this, &TRecordFilterModel::sourceDataChanged);
        connect(source, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
        connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
                [this](const QModelIndex&, int first, int last) { sourceRowsAboutToBeInserted(first, last); });
        connect(source, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) { sourceRowsInserted(first, last); });
        connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex&, int first, int last) { sourceRowsAboutToBeRemoved(first, last); });
        connect(source, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex&, int first, int last) { sourceRowsRemoved(first, last); });
        // The source reports a new order of its rows (a sort) as a reset, never as a layout change.
        connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
        connect(source, &QAbstractItemModel::modelReset, this, [this] {
            if (filtering_ && OnSourceReset)
                setRows(OnSourceReset());
            else
                setRows({});
            endResetModel();
        });
    }
    endResetModel();
}

void TRecordFilterModel::setShownRows(const std::vector<char>& shown) {
    beginResetModel();
    setRows(shown);
    endResetModel();
}

void TRecordFilterModel::setRows(const std::vector<char>& shown) {
    filtering_ = !shown.empty();
    rows_.clear();
    if (filtering_) {
        const int count = sourceModel() ? sourceModel()->rowCount() : 0;
        for (int row = 0; row < count && static_cast<std::size_t>(row) < shown.size(); ++row)
            if (shown[static_cast<std::size_t>(row)]) rows_.push_back(row);
    }
    makeInverse();
}

void TRecordFilterModel::makeInverse() {
    inverse_.clear();
    if (!filtering_) return;
    inverse_.assign(static_cast<std::size_t>(sourceModel()->rowCount()), -1);
    for (std::size_t at = 0; at < rows_.size(); ++at)
        inverse_[static_cast<std::size_t>(rows_[at])] = static_cast<int>(at);
}

bool TRecordFilterModel::isShown(int sourceRow) const {
    if (!filtering_) return sourceRow >= 0 && sourceModel() && sourceRow < sourceModel()->rowCount();
    return sourceRow >= 0 && static_cast<std::size_t>(sourceRow) < inverse_.size() &&
           inverse_[static_cast<std::size_t>(sourceRow)] >= 0;
}

int TRecordFilterModel::lowerBound(int sourceRow) const {
    return static_cast<int>(std::lower_bound(rows_.begin(), rows_.end(), sourceRow) - rows_.begin());
}

QModelIndex TRecordFilterModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount()) return {};
    return createIndex(row, column);
}

QModelIndex TRecordFilterModel::parent(const QModelIndex&) const { return {}; }

QModelIndex TRecordFilterModel::sibling(int row, int column, const QModelIndex&) const { return index(row, column); }

int TRecordFilterModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !sourceModel()) return 0;
    return filtering_ ? static_cast<int>(rows_.size()) : sourceModel()->rowCount();
}

int TRecordFilterModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

QModelIndex TRecordFilterModel::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || !sourceModel()) return {};
    const int row = filtering_ ? rows_[static_cast<std::size_t>(proxyIndex.row())] : proxyIndex.row();
    return sourceModel()->index(row, proxyIndex.column());
}

QModelIndex TRecordFilterModel::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid() || !isShown(sourceIndex.row())) return {};
    return index(filtering_ ? inverse_[static_cast<std::size_t>(sourceIndex.row())] : sourceIndex.row(),
                 sourceIndex.column());
}

void TRecordFilterModel::sourceDataChanged(const QModelIndex& first, const QModelIndex& last, const QList<int>& roles) {
    // Every cell of every row at once is how the source reports rows put in a new order (a sort
    // or its undo): the filter is decided again, so that it keeps showing the records it accepts
    // rather than the rows that now stand where they stood. Other commands that change every
    // record at once (a datum conversion of all of them) are filtered again the same way.
    const bool everyCell = first.row() == 0 && first.column() == 0 && last.row() == sourceModel()->rowCount() - 1 &&
                           last.column() == sourceModel()->columnCount() - 1;
    if (filtering_ && everyCell && OnSourceReset) {
        beginResetModel();
        setRows(OnSourceReset());
        endResetModel();
        return;
    }
    // The shown rows within the changed ones form one range of this model.
    int top = first.row(), bottom = last.row();
    if (filtering_) {
        top = lowerBound(first.row());
        bottom = lowerBound(last.row() + 1) - 1;
    }
    if (top <= bottom) emit dataChanged(index(top, first.column()), index(bottom, last.column()), roles);
}

void TRecordFilterModel::sourceRowsAboutToBeInserted(int first, int last) {
    const int at = filtering_ ? lowerBound(first) : first;
    beginInsertRows(QModelIndex(), at, at + last - first);
}

void TRecordFilterModel::sourceRowsInserted(int first, int last) {
    if (filtering_) {
        // The new rows are shown; the rows after them move down.
        const int count = last - first + 1;
        const auto at = std::lower_bound(rows_.begin(), rows_.end(), first);
        for (auto moved = at; moved != rows_.end(); ++moved) *moved += count;
        std::vector<int> added(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) added[static_cast<std::size_t>(i)] = first + i;
        rows_.insert(at, added.begin(), added.end());
        makeInverse();
    }
    endInsertRows();
}

void TRecordFilterModel::sourceRowsAboutToBeRemoved(int first, int last) {
    const int top = filtering_ ? lowerBound(first) : first;
    const int bottom = filtering_ ? lowerBound(last + 1) - 1 : last;
    removing_ = top <= bottom;
    if (removing_) beginRemoveRows(QModelIndex(), top, bottom);
}

void TRecordFilterModel::sourceRowsRemoved(int first, int last) {
    if (filtering_) {
        const int count = last - first + 1;
        const auto from = std::lower_bound(rows_.begin(), rows_.end(), first);
        const auto to = std::lower_bound(from, rows_.end(), last + 1);
        for (auto moved = to; moved != rows_.end(); ++moved) *moved -= count;
        rows_.erase(from, to);
        makeInverse();
    }
    if (removing_) endRemoveRows();
    removing_ = false;
}
