#include "app/gui/problem_list.h"

#include <QColor>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>

#include "app/point_mark_table.h"

namespace {

enum EListColumn { recordColumn, cellColumn, severityColumn, reasonColumn, listColumnCount };

} // namespace

TProblemListModel::TProblemListModel(const TTableChecks& checks, QObject* parent)
    : QAbstractTableModel(parent), checks_(checks) {}

int TProblemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int TProblemListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : listColumnCount; }

QVariant TProblemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(lines_.size())) return QVariant();
    const Line& line = lines_[static_cast<std::size_t>(index.row())];
    const TFieldProblemInfo& info = fieldProblemInfo(line.problem);
    if (role == Qt::BackgroundRole && index.column() == severityColumn)
        return info.severity == TSeverity::error ? QColor(255, 200, 200) : QColor(255, 236, 170);
    if (role != Qt::DisplayRole) return QVariant();
    switch (index.column()) {
    case recordColumn:
        return line.row;
    case cellColumn:
        return QString::fromUtf8(columnHeaderUtf8(info.column));
    case severityColumn:
        return QString::fromUtf8(info.severity == TSeverity::error ? "エラー" : "警告");
    default:
        return QString::fromUtf8(info.reasonJapanese);
    }
}

QVariant TProblemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return QVariant();
    static const char* const titles[] = {"レコード", "列", "種別", "理由"};
    return section >= 0 && section < listColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}

void TProblemListModel::refresh(const std::function<bool(int tableRow)>& shown) {
    beginResetModel();
    lines_.clear();
    errors_ = warnings_ = hidden_ = 0;
    for (int row = 0; row < checks_.rowCount(); ++row) {
        const TRecordProblems problems = checks_.problemsOf(row);
        if (problems.empty()) continue;
        if (shown && !shown(row)) {
            hidden_ += problems.count();
            continue;
        }
        for (const TFieldProblem problem : problems) lines_.push_back({row, problem});
        errors_ += problems.count(TSeverity::error);
        warnings_ += problems.count(TSeverity::warning);
    }
    endResetModel();
}

std::pair<int, int> TProblemListModel::cellOf(int line) const {
    const Line& at = lines_.at(static_cast<std::size_t>(line));
    return {fieldProblemInfo(at.problem).column, at.row};
}

TProblemList::TProblemList(const TTableChecks& checks, QWidget* parent)
    : QDockWidget(QString::fromUtf8("問題の一覧"), parent) {
    Model = new TProblemListModel(checks, this);
    View = new QTableView(this);
    View->setObjectName("ProblemView");
    View->setModel(Model);
    View->setEditTriggers(QAbstractItemView::NoEditTriggers);
    View->setSelectionBehavior(QAbstractItemView::SelectRows);
    View->setSelectionMode(QAbstractItemView::SingleSelection);
    View->setWordWrap(false);
    View->verticalHeader()->hide();
    // Fixed row heights: a list of many thousand lines lays out as fast as a short one.
    View->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    View->verticalHeader()->setDefaultSectionSize(View->fontMetrics().height() + 4);
    View->horizontalHeader()->setStretchLastSection(true);
    View->setColumnWidth(recordColumn, 70);
    View->setColumnWidth(cellColumn, 80);
    View->setColumnWidth(severityColumn, 50);
    setWidget(View);
    pending_ = new QTimer(this);
    pending_->setSingleShot(true);
    pending_->setInterval(0);
    connect(pending_, &QTimer::timeout, this, &TProblemList::refresh);
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible && stale_) refresh();
    });
    connect(View, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid()) return;
        const auto [column, row] = Model->cellOf(index.row());
        emit cellChosen(column, row);
    });
}

void TProblemList::scheduleRefresh() {
    stale_ = true;
    if (isVisible()) pending_->start();
}

void TProblemList::refresh() {
    pending_->stop();
    Model->refresh(IsShown);
    stale_ = false;
    QString title =
        QString::fromUtf8("問題の一覧 (エラー %1・警告 %2)").arg(Model->errorCount()).arg(Model->warningCount());
    if (Model->hiddenCount() > 0)
        title = QString::fromUtf8("問題の一覧 (エラー %1・警告 %2、絞り込みで隠れた %3 件を除く)")
                    .arg(Model->errorCount())
                    .arg(Model->warningCount())
                    .arg(Model->hiddenCount());
    setWindowTitle(title);
}
