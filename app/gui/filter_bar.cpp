#include "app/gui/filter_bar.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <algorithm>

#include "app/point_mark_table.h"

TFilterBar::TFilterBar(QTableView* grid, QWidget* parent) : QWidget(parent), grid_(grid) {
    setObjectName("FilterBar");
    pause_ = new QTimer(this);
    pause_->setSingleShot(true);
    pause_->setInterval(250);
    connect(pause_, &QTimer::timeout, this, &TFilterBar::filterChanged);
    for (int c = 0; c < kColumnCount; ++c) {
        auto* text = new QLineEdit(this);
        text->setObjectName(QString("FilterText%1").arg(c));
        text->setPlaceholderText(QString::fromUtf8("絞り込み"));
        text->setClearButtonEnabled(true);
        text->setToolTip(
            QString::fromUtf8("%1 にこの文字を含む行だけを表示").arg(QString::fromUtf8(columnHeaderUtf8(c))));
        connect(text, &QLineEdit::textChanged, pause_, qOverload<>(&QTimer::start));
        Texts.push_back(text);
    }
    setFixedHeight(Texts.front()->sizeHint().height());
    QHeaderView* header = grid_->horizontalHeader();
    connect(header, &QHeaderView::sectionResized, this, &TFilterBar::place);
    connect(header, &QHeaderView::geometriesChanged, this, &TFilterBar::place);
    connect(grid_->horizontalScrollBar(), &QScrollBar::valueChanged, this, &TFilterBar::place);
    place();
}

QStringList TFilterBar::texts() const {
    QStringList result;
    for (const QLineEdit* text : Texts) result.push_back(text->text());
    return result;
}

bool TFilterBar::isFiltering() const {
    for (const QLineEdit* text : Texts)
        if (!text->text().isEmpty()) return true;
    return false;
}

void TFilterBar::clear() {
    for (QLineEdit* text : Texts) text->clear();
    pause_->stop();
    emit filterChanged();
}

void TFilterBar::keyPressEvent(QKeyEvent* event) {
    // The texts leave Down and Escape to their parent.
    const auto text = std::find(Texts.begin(), Texts.end(), focusWidget());
    const bool down = event->key() == Qt::Key_Down, escape = event->key() == Qt::Key_Escape;
    if (text == Texts.end() || (!down && !escape) || event->modifiers() != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (pause_->isActive()) {
        pause_->stop();
        emit filterChanged();
    }
    emit tableRequested(static_cast<int>(text - Texts.begin()), down);
}

void TFilterBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

void TFilterBar::place() {
    // The grid's row numbers take the left edge; the texts start where the cells start.
    const int left = grid_->verticalHeader()->isVisible() ? grid_->verticalHeader()->width() : 0;
    QHeaderView* header = grid_->horizontalHeader();
    for (int c = 0; c < kColumnCount; ++c) {
        const int x = left + header->sectionViewportPosition(c) + grid_->frameWidth();
        QLineEdit* text = Texts[static_cast<std::size_t>(c)];
        text->setGeometry(x, 0, header->sectionSize(c), height());
        text->setVisible(x >= left); // scrolled under the row numbers: hidden
    }
}
