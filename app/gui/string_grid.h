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
    // Asked before an edit is stored: true stores the text, false keeps the editor open with it.
    std::function<bool(const QString& text)> OnCommitText;

protected:
    void commitData(QWidget* editor) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    // A plain click into the selection moves the current cell and keeps the selection.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;

private:
    bool keepEditing_ = false; // the last commit was refused: the editor stays open
    bool asking_ = false;      // OnCommitText is running (its dialog takes the focus away)
};
