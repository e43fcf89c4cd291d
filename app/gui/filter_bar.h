#pragma once

#include <QStringList>
#include <QWidget>
#include <vector>

class QLineEdit;
class QTableView;
class QTimer;

// A row of filter texts above the grid, one under each column header, that follows the columns
// as they are resized and scrolled. It reports its texts a moment after the user stops typing,
// so that a table of a hundred thousand rows is not filtered at every key.
class TFilterBar : public QWidget {
    Q_OBJECT
public:
    TFilterBar(QTableView* grid, QWidget* parent = nullptr);

    // One edit per column, in column order.
    std::vector<QLineEdit*> Texts;

    QStringList texts() const;
    bool isFiltering() const;
    // Empties every text (and reports the change at once).
    void clear();

signals:
    void filterChanged();
    // Down in a text asks for the first shown row of the table in that column, Escape for the
    // table as it is; a change typed just before is reported first.
    void tableRequested(int column, bool firstRow);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void place();

    QTableView* grid_;
    QTimer* pause_;
};
