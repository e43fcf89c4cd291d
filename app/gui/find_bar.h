#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The find bar below the grid (not a dialog, so the table stays usable): the text to find, the
// replacement, the options and the column to search. The window does the searching.
class TFindBar : public QWidget {
    Q_OBJECT
public:
    explicit TFindBar(QWidget* parent = nullptr);

    QLineEdit* FindText;
    QLineEdit* ReplaceText;
    QCheckBox* MatchCase;
    QCheckBox* WholeCell;
    QCheckBox* JapaneseEquivalence;
    // Index 0 is every column, index c + 1 column c.
    QComboBox* Column;
    QPushButton* FindNext;
    QPushButton* FindPrevious;
    QPushButton* Replace;
    QPushButton* ReplaceAll;
    QPushButton* Close;
    QLabel* ReplaceLabel;

    // The column to search, -1 for all.
    int column() const;
    // Shows the bar with the find text selected; with replacing, the replacement row too.
    void open(bool replacing);

protected:
    void keyPressEvent(QKeyEvent* event) override;

signals:
    void findRequested(bool forward);
    void replaceRequested();
    void replaceAllRequested();
};
