// The filter row of the window on 100,000 records: the time from a changed filter to a repainted
// grid, for a filter that hides about half the records (DATUM "W"), one that shows 3 of them
// (地点名) and clearing the first, in file order, after a header sort and after its undo. Each
// figure is the median of five rounds, printed with the first round (which meets the cells as the
// sort left them) and with its ratio to the core's own pass over the table for the same filter
// (TRowFilter, measured in the same state), so that what the proxy and the view add is seen apart
// from the matching. Then a sort and its undo with a filter on (which decide the filter again)
// against the same without a filter, the time to make and draw the problem list, and the filters
// with that list shown (it lists the problems of the shown records again after every filter).
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/cell_search.h"
#include "app/gui/filter_bar.h"
#include "app/gui/main_window.h"
#include "app/gui/point_mark_model.h"
#include "app/gui/problem_list.h"
#include "app/gui/record_filter_model.h"
#include "app/gui/string_grid.h"
#include "bench/run_times.h"
#include "text/code_page_932.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kRounds = 5;

void fillTable(TMainFormCore& core) {
    static const char16_t* names[] = {u"さくら", u"東京", u"タワー", u"Station", u"公園", u"カフェ", u"銀行", u"中央"};
    std::mt19937 random(11);
    std::vector<TPointMarkRow> rows(kRecords + 1);
    rows[0] = core.Table.row(0);
    for (int r = 1; r <= kRecords; ++r) {
        TPointMarkRow& row = rows[static_cast<std::size_t>(r)];
        row[0] = random() % 2 ? "TOKYO" : "WGS84";
        row[1] = "DEG";
        row[2] = "2026" + std::to_string(1000000000 + random() % 900000000);
        std::u16string name = names[random() % std::size(names)];
        name += names[random() % std::size(names)];
        // Three records carry a mark that no other has.
        if (r % 33333 == 7) name += u"目印";
        row[4] = cp932::encode(name);
        row[6] = std::to_string(30 + random() % 15) + "." + std::to_string(100000 + random() % 900000);
        row[7] = std::to_string(128 + random() % 18) + "." + std::to_string(100000 + random() % 900000);
        row[9] = cp932::encode(u"公園");
        row[10] = "icon" + std::to_string(random() % 20);
        row[13] = "ON";
    }
    core.Table.swapRows(rows);
    core.Table.RecordCount = kRecords;
}

// Lets queued work run (the filter row's pause, repaints) without timing it.
void settle(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

struct TFigure {
    double view = 0;
    double first = 0; // the first round, which may find the cache of normalized cells cold
    double core = 0;
    int shown = 0;
};

// Sets the filter text of a column and times its application up to the repainted grid.
TFigure timeFilter(TMainForm& form, int column, const QString& text) {
    std::vector<double> views, cores;
    int shown = 0;
    double first = 0;
    for (int round = 0; round < kRounds; ++round) {
        // From no filter to this one, or from this one back to none.
        form.FilterRow->clear();
        settle(5);
        QLineEdit* box = form.FilterRow->Texts[static_cast<std::size_t>(column)];
        if (text.isEmpty()) {
            box->setText(QString::fromUtf8("W"));
            emit form.FilterRow->filterChanged();
            settle(300);
            box->blockSignals(true);
            box->clear();
            box->blockSignals(false);
        } else {
            box->blockSignals(true);
            box->setText(text);
            box->blockSignals(false);
        }
        views.push_back(millisecondsOf([&] {
            emit form.FilterRow->filterChanged();
            QApplication::processEvents();
            form.StringGridXML->viewport()->repaint();
        }));
        // The core's pass over the same filter (clearing: over the filter that was cleared), after
        // the window's, so that the first round of the window meets the cells as a sort left them.
        const std::vector<TFilterCondition> conditions{
            {column, text.isEmpty() ? std::u16string(u"W") : text.toStdU16String()}};
        TMatchOptions options;
        options.japanese = true;
        cores.push_back(millisecondsOf([&] {
            shown = static_cast<int>(
                TRowFilter(conditions, options).matchingRows(form.Core.Table, &form.Core.SearchCache).size());
        }));
        if (text.isEmpty()) shown = form.Model->rowCount();
        if (round == 0) first = views.back();
        if (form.Filter->rowCount() != shown)
            std::fprintf(stderr, "the grid shows %d rows, the core %d\n", form.Filter->rowCount(), shown);
    }
    return {median(views), first, median(cores), shown};
}

void report(TMainForm& form, const char* state) {
    const struct {
        const char* what;
        int column;
        QString text;
    } cases[] = {{"DATUM \"W\" (about half shown)", 0, QString::fromUtf8("W")},
                 {"地点名 \"目印\" (3 shown)", 4, QString::fromUtf8("目印")},
                 {"clearing the filter", 0, QString()}};
    for (const auto& c : cases) {
        const TFigure figure = timeFilter(form, c.column, c.text);
        std::printf("%-14s %-30s %7d rows  %8.1f ms, first %8.1f ms  (core pass %6.1f ms: %5.1fx)\n", state, c.what,
                    figure.shown, figure.view, figure.first, figure.core, figure.view / figure.core);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The window keeps its state in the settings: here in a folder of the run's own.
    QTemporaryDir settings;
    QCoreApplication::setOrganizationName("pointmark-editor-bench");
    QCoreApplication::setApplicationName("bench_filter_view");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

    TMainForm form;
    form.resize(1280, 800);
    form.show();
    fillTable(form.Core);
    form.EditFilter->trigger();
    settle(50);

    std::printf("Filtering %d records in the window, from the changed filter to the repainted grid\n", kRecords);
    std::printf("(median of %d rounds and the first round; the ratio is the median to the core's own pass)\n", kRounds);
    report(form, "file order");
    form.Core.EditSortClick(4);
    settle(50);
    report(form, "after a sort");
    form.Core.EditUndoClick();
    settle(50);
    report(form, "after its undo");

    // A sort and its undo while the filter is on decide the filter again: timed against the same
    // sort and undo without a filter.
    auto sortAndUndo = [&form] {
        std::vector<double> times;
        for (int round = 0; round < kRounds; ++round) {
            times.push_back(millisecondsOf([&] {
                form.Core.EditSortClick(round % 2 ? 4 : 2);
                QApplication::processEvents();
                form.StringGridXML->viewport()->repaint();
                form.Core.EditUndoClick();
                QApplication::processEvents();
                form.StringGridXML->viewport()->repaint();
            }));
        }
        return median(times);
    };
    const double unfiltered = sortAndUndo();
    form.FilterRow->Texts[0]->setText(QString::fromUtf8("W"));
    settle(300);
    const double filtered = sortAndUndo();
    std::printf("a sort and its undo with DATUM \"W\" on: %.1f ms (without a filter %.1f ms: %.2fx)\n", filtered,
                unfiltered, filtered / unfiltered);
    form.FilterRow->clear();
    settle(50);

    // The problem list made again from the checks of every record, as after any edit while it is
    // shown, against the checks of every record themselves.
    form.ViewProblems->trigger();
    settle(50);
    std::vector<double> lists, checks;
    for (int round = 0; round < kRounds; ++round) {
        lists.push_back(millisecondsOf([&] {
            form.ProblemPanel->refresh();
            form.ProblemPanel->View->viewport()->repaint();
        }));
        checks.push_back(millisecondsOf([&] { form.Checks.checkAll(form.Core.Table); }));
    }
    std::printf("problem list of %d lines made and drawn: %.1f ms (checking every record %.1f ms: %.2fx)\n",
                form.ProblemPanel->Model->rowCount(), median(lists), median(checks), median(lists) / median(checks));
    report(form, "problems shown");
    return 0;
}
