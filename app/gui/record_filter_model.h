#pragma once

#include <QAbstractProxyModel>
#include <functional>
#include <vector>

// Shows the records that a filter accepts, in table order; edits, selections and row commands
// go through it to the point-mark model below. The filter is decided by the window, once per
// change of the filter and after a reset of the rows, never per edit, so that a row does not
// vanish under the cursor while it is edited; rows inserted meanwhile are shown.
//
// The shown rows are a sorted list of source rows with its inverse, so that mapping a row either
// way is one look-up. A new filter resets the model: the views then lay out the new row count
// once instead of hearing about every row that comes or goes.
class TRecordFilterModel : public QAbstractProxyModel {
    Q_OBJECT
public:
    explicit TRecordFilterModel(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;
    // Which source rows are shown (by source row); an empty list shows every row.
    void setShownRows(const std::vector<char>& shown);
    bool isFiltering() const { return filtering_; }
    // Whether a source row is shown.
    bool isShown(int sourceRow) const;
    // Asked for the shown rows again after the source's rows were reset (a load, an added file) or
    // rearranged (a sort, its undo: every cell changed at once).
    std::function<std::vector<char>()> OnSourceReset;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;

private:
    // Takes the list of shown source rows (by source row) and makes the inverse.
    void setRows(const std::vector<char>& shown);
    void makeInverse();
    // The first shown position whose source row is at least sourceRow.
    int lowerBound(int sourceRow) const;
    void sourceDataChanged(const QModelIndex& first, const QModelIndex& last, const QList<int>& roles);
    void sourceRowsAboutToBeInserted(int first, int last);
    void sourceRowsInserted(int first, int last);
    void sourceRowsAboutToBeRemoved(int first, int last);
    void sourceRowsRemoved(int first, int last);

    bool filtering_ = false;
    std::vector<int> rows_;    // the shown source rows, ascending (while filtering)
    std::vector<int> inverse_; // per source row: its shown position, or -1 (while filtering)
    bool removing_ = false;    // the rows being removed from the source include shown ones
};
