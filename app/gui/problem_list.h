#pragma once

#include <QAbstractTableModel>
#include <QDockWidget>
#include <functional>
#include <vector>

#include "app/field_checks.h"

class QTableView;
class QTimer;

// Every problem that the field checks found in the records a filter shows, one line each
// (record, column, error or warning, reason), by record and, within a record, from left to right.
// The lines are made from the checks on refresh; each is a row number and a problem, and its
// texts are made only when a view asks for them, so that a table of 100,000 records with problems
// in most of them is listed in a few milliseconds.
class TProblemListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TProblemListModel(const TTableChecks& checks, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Lists again the problems of the rows for which shown is true (every row without it).
    void refresh(const std::function<bool(int tableRow)>& shown);
    // The cell of a line, as (column, table row).
    std::pair<int, int> cellOf(int line) const;
    int errorCount() const { return errors_; }
    int warningCount() const { return warnings_; }
    // Problems of the rows that shown left out.
    int hiddenCount() const { return hidden_; }

private:
    struct Line {
        int row;
        TFieldProblem problem;
    };
    const TTableChecks& checks_;
    std::vector<Line> lines_;
    int errors_ = 0;
    int warnings_ = 0;
    int hidden_ = 0;
};

// The dock of the problem list. It lists again after any change it is told of, once per turn of
// the event loop and only while it is shown; its title counts what it lists. A double click on a
// line reports the line's cell.
class TProblemList : public QDockWidget {
    Q_OBJECT
public:
    TProblemList(const TTableChecks& checks, QWidget* parent = nullptr);

    // Which table rows the grid shows; every row when empty.
    std::function<bool(int tableRow)> IsShown;
    // The checks or the shown rows changed: the list is made again soon.
    void scheduleRefresh();
    // Makes the list again now.
    void refresh();

    TProblemListModel* Model;
    QTableView* View;

signals:
    void cellChosen(int column, int tableRow);

private:
    QTimer* pending_;
    bool stale_ = true; // changed while hidden
};
