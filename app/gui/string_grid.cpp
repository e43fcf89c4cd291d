#include "app/gui/string_grid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

TStringGrid::TStringGrid(QWidget* parent) : QTableView(parent) {
    // Editing starts on a double click, F2 or typing; a click into the selection keeps the
    // selection for the commands (Delete, copy, paste) instead of opening an editor.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Fixed row heights keep a table of a hundred thousand rows as quick as a short one.
    verticalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setDefaultSectionSize(17);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Row numbers on the left are record numbers, as the save messages count them.
    verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TStringGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // While editing, the editor stores its text and closeEditor moves on.
        if (state() != QAbstractItemView::EditingState && OnEnter) OnEnter();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TStringGrid::commitData(QWidget* editor) {
    if (asking_) return;
    keepEditing_ = false;
    if (auto* line = qobject_cast<QLineEdit*>(editor); line && OnCommitText) {
        asking_ = true;
        const bool store = OnCommitText(line->text());
        asking_ = false;
        if (!store) {
            keepEditing_ = true;
            return;
        }
    }
    QTableView::commitData(editor);
}

void TStringGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (keepEditing_ || asking_) {
        // Back to the edit: the editor keeps its text and the focus.
        keepEditing_ = false;
        editor->setFocus();
        return;
    }
    QTableView::closeEditor(editor, hint);
    // The delegate ends an edit with SubmitModelCache only when Enter was pressed.
    if (hint == QAbstractItemDelegate::SubmitModelCache && OnEnter) OnEnter();
}

QItemSelectionModel::SelectionFlags TStringGrid::selectionCommand(const QModelIndex& index, const QEvent* event) const {
    // The view would narrow the selection to the clicked cell when the button is released.
    if (event && event->type() == QEvent::MouseButtonRelease && index.isValid() &&
        state() != QAbstractItemView::DragSelectingState && selectionModel()->isSelected(index)) {
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        if (!(mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))) return QItemSelectionModel::NoUpdate;
    }
    return QTableView::selectionCommand(index, event);
}
