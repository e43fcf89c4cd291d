#include "app/gui/record_filter_model.h"

TRecordFilterModel::TRecordFilterModel(QObject* parent) : QSortFilterProxyModel(parent) {
    setDynamicSortFilter(false);
}

void TRecordFilterModel::setSourceModel(QAbstractItemModel* source) {
    // Connected before the proxy's own handlers, so that the list is up to date when the proxy
    // asks filterAcceptsRow about the changed rows.
    connect(source, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        if (!shown_.empty() && static_cast<std::size_t>(first) <= shown_.size())
            shown_.insert(shown_.begin() + first, static_cast<std::size_t>(last - first + 1), 1);
    });
    connect(source, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
        if (!shown_.empty() && static_cast<std::size_t>(last) < shown_.size())
            shown_.erase(shown_.begin() + first, shown_.begin() + last + 1);
    });
    connect(source, &QAbstractItemModel::modelReset, this, [this] {
        if (!shown_.empty() && OnSourceReset) shown_ = OnSourceReset();
    });
    QSortFilterProxyModel::setSourceModel(source);
}

void TRecordFilterModel::setShownRows(std::vector<char> shown) {
    shown_ = std::move(shown);
    invalidateRowsFilter();
}

bool TRecordFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return shown_.empty() || (static_cast<std::size_t>(sourceRow) < shown_.size() && shown_[sourceRow]);
}
