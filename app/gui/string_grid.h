#pragma once

#include <QTableView>
#include <functional>

// The grid of the main window: a table view over the point-mark model with in-place editing,
// Tab between cells, resizable columns and range selection. Enter is handed to OnEnter, both
// while a cell is being edited (after the edit is stored) and while it is not.
class TStringGrid : public QTableView {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);

    std::function<void()> OnEnter;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
};
