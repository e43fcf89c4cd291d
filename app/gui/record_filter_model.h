#pragma once

#include <QSortFilterProxyModel>
#include <functional>

// Shows the records that a filter accepts, in table order; edits, selections and row commands
// go through it to the point-mark model below. Without a filter every row is shown.
class TRecordFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TRecordFilterModel(QObject* parent = nullptr);

    // Whether the table row of a model row of the source is shown; empty: all rows.
    void setAccepts(std::function<bool(int sourceRow)> accepts);
    bool isFiltering() const { return static_cast<bool>(accepts_); }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    std::function<bool(int)> accepts_;
};
