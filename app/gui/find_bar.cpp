#include "app/gui/find_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/point_mark_table.h"

TFindBar::TFindBar(QWidget* parent) : QWidget(parent) {
    setObjectName("FindBar");
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    FindText = new QLineEdit(this);
    FindText->setObjectName("FindText");
    ReplaceText = new QLineEdit(this);
    ReplaceText->setObjectName("ReplaceText");
    FindNext = new QPushButton(QString::fromUtf8("次を検索"), this);
    FindPrevious = new QPushButton(QString::fromUtf8("前を検索"), this);
    Replace = new QPushButton(QString::fromUtf8("置換"), this);
    ReplaceAll = new QPushButton(QString::fromUtf8("すべて置換"), this);
    Close = new QPushButton(QString::fromUtf8("閉じる"), this);
    MatchCase = new QCheckBox(QString::fromUtf8("大文字と小文字を区別"), this);
    WholeCell = new QCheckBox(QString::fromUtf8("セル全体"), this);
    JapaneseEquivalence = new QCheckBox(QString::fromUtf8("全角/半角・ひらがな/カタカナを同一視"), this);
    Column = new QComboBox(this);
    Column->addItem(QString::fromUtf8("すべての列"));
    for (int c = 0; c < kColumnCount; ++c) Column->addItem(QString::fromUtf8(columnHeaderUtf8(c)));

    layout->addWidget(new QLabel(QString::fromUtf8("検索:"), this), 0, 0);
    layout->addWidget(FindText, 0, 1);
    layout->addWidget(FindNext, 0, 2);
    layout->addWidget(FindPrevious, 0, 3);
    layout->addWidget(Column, 0, 4);
    layout->addWidget(Close, 0, 5);
    ReplaceLabel = new QLabel(QString::fromUtf8("置換:"), this);
    layout->addWidget(ReplaceLabel, 1, 0);
    layout->addWidget(ReplaceText, 1, 1);
    layout->addWidget(Replace, 1, 2);
    layout->addWidget(ReplaceAll, 1, 3);
    auto* options = new QHBoxLayout;
    options->addWidget(MatchCase);
    options->addWidget(WholeCell);
    options->addWidget(JapaneseEquivalence);
    options->addStretch();
    layout->addLayout(options, 2, 1, 1, 5);
    layout->setColumnStretch(1, 1);

    connect(FindNext, &QPushButton::clicked, this, [this] { emit findRequested(true); });
    connect(FindPrevious, &QPushButton::clicked, this, [this] { emit findRequested(false); });
    connect(FindText, &QLineEdit::returnPressed, this, [this] { emit findRequested(true); });
    connect(Replace, &QPushButton::clicked, this, &TFindBar::replaceRequested);
    connect(ReplaceAll, &QPushButton::clicked, this, &TFindBar::replaceAllRequested);
    connect(Close, &QPushButton::clicked, this, &QWidget::hide);
}

void TFindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

int TFindBar::column() const { return Column->currentIndex() - 1; }

void TFindBar::open(bool replacing) {
    for (QWidget* widget : {static_cast<QWidget*>(ReplaceLabel), static_cast<QWidget*>(ReplaceText),
                            static_cast<QWidget*>(Replace), static_cast<QWidget*>(ReplaceAll)})
        widget->setVisible(replacing);
    show();
    FindText->setFocus();
    FindText->selectAll();
}
