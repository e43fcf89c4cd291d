#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// The sort dialog: asks for the column to sort the records by. Created once with the main window
// and reused, so it shows the column chosen last.
class TFormSort : public QDialog {
    Q_OBJECT
public:
    explicit TFormSort(QWidget* parent = nullptr);

    QLabel* Label1;
    // The 16 column headers in column order; item i is column i. Text may also be typed.
    QComboBox* ComboBoxSort;
    QPushButton* OKButton;
    QPushButton* Button1;

    // The column of the chosen item, or -1 when the text in the box is none of the items.
    int selectedColumn() const;
};
