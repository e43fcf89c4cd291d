#include "app/gui/record_filter_model.h"

TRecordFilterModel::TRecordFilterModel(QObject* parent) : QSortFilterProxyModel(parent) {
    // Rows keep the table's order; the filter is decided by the window, not re-run per change,
    // so that an edit does not make the edited row vanish under the cursor.
    setDynamicSortFilter(false);
}

void TRecordFilterModel::setAccepts(std::function<bool(int sourceRow)> accepts) {
    accepts_ = std::move(accepts);
    invalidateRowsFilter();
}

bool TRecordFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return !accepts_ || accepts_(sourceRow);
}
