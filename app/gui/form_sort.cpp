#include "app/gui/form_sort.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/gui/fonts.h"
#include "app/point_mark_table.h"

TFormSort::TFormSort(QWidget* parent) : QDialog(parent) {
    setObjectName("FormSort");
    setWindowTitle("並び替え");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setGeometry(363, 116, 236, 147);
    setFont(mapFont(EFontFace::pGothic, 12));

    Label1 = new QLabel("並び替えする項目を選択してください", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(16, 16, 204, 16);

    ComboBoxSort = new QComboBox(this);
    ComboBoxSort->setObjectName("ComboBoxSort");
    ComboBoxSort->setEditable(true);
    // Typed text selects nothing and is never added to the items.
    ComboBoxSort->setInsertPolicy(QComboBox::NoInsert);
    for (int column = 0; column < kColumnCount; ++column)
        ComboBoxSort->addItem(QString::fromUtf8(columnHeaderUtf8(column)));
    ComboBoxSort->setMaxVisibleItems(kColumnCount);
    ComboBoxSort->setCurrentIndex(0);
    ComboBoxSort->setGeometry(16, 44, 204, 22);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(24, 96, 80, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    Button1 = new QPushButton("Cancel", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(132, 96, 80, 25);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
}

int TFormSort::selectedColumn() const {
    return ComboBoxSort->findText(ComboBoxSort->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}
