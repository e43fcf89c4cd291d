#pragma once

#include <QSortFilterProxyModel>
#include <functional>
#include <vector>

// Shows the records that a filter accepts, in table order; edits, selections and row commands
// go through it to the point-mark model below. The filter is decided by the window, once per
// change of the filter and after a reset of the rows, never per edit, so that a row does not
// vanish under the cursor while it is edited; rows inserted meanwhile are shown.
class TRecordFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TRecordFilterModel(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;
    // Which source rows are shown (by source row); an empty list shows every row.
    void setShownRows(std::vector<char> shown);
    bool isFiltering() const { return !shown_.empty(); }
    // Asked for the shown rows again after the source's rows were reset (a load, a sort, an undo).
    std::function<std::vector<char>()> OnSourceReset;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    std::vector<char> shown_;
};
