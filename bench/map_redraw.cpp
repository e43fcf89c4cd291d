// The map redrawing 100,000 records, timed against the grid repainting one screen of the same
// records after a sort, both at the size of the editor's first window and measured in the same
// run. Also prints what the map takes to read the records again after a sort and to find the
// record under the mouse. Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QHeaderView>

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>

#include "app/gui/fonts.h"
#include "app/gui/map_view.h"
#include "app/gui/point_mark_model.h"
#include "app/gui/record_filter_model.h"
#include "app/gui/string_grid.h"
#include "app/sort_rows.h"
#include "bench/run_times.h"
#include "text/code_page_932.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kRuns = 11;
const QSize kScreen(828, 640);

// Records around a few cities, so that the map has dense and sparse parts as real files do.
void fillTable(TPointMarkTable& table, unsigned seed) {
    struct TCity {
        double latitude, longitude, spread;
    };
    static const TCity cities[] = {{35.68, 139.77, .4}, {34.69, 135.50, .3}, {35.18, 136.91, .3}, {43.06, 141.35, .6},
                                   {33.59, 130.40, .4}, {38.27, 140.87, .5}, {34.39, 132.46, .4}, {26.21, 127.68, .1}};
    static const char16_t* categories[] = {u"飲食店", u"公園", u"駅", u"病院", u"駐車場", u"観光地", u"コンビニ", u""};
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0, 1);
    table.writeHeaderRow();
    table.setRowCount(kRecords + 1);
    char text[32];
    for (int r = 1; r <= kRecords; ++r) {
        const TCity& city = cities[random() % std::size(cities)];
        TPointMarkRow row;
        row[0] = "WGS84";
        row[1] = "DEG";
        std::snprintf(text, sizeof text, "%.6f", city.latitude + normal(random) * city.spread);
        row[6] = text;
        std::snprintf(text, sizeof text, "%.6f", city.longitude + normal(random) * city.spread);
        row[7] = text;
        const char16_t* category = categories[random() % std::size(categories)];
        row[9] = cp932::encode(category);
        row[4] = cp932::encode(std::u16string(category) + u"その" + char16_t(u'0' + r % 10));
        table.setRow(r, std::move(row));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TPointMarkTable table;
    fillTable(table, 1);

    // The grid as the window builds it: the model, the filter over it, the grid's font and widths.
    TStringGrid grid;
    TPointMarkModel model(table);
    TRecordFilterModel filter;
    filter.setSourceModel(&model);
    grid.setModel(&filter);
    grid.setFont(mapFont(EFontFace::gothic, 13));
    for (int c = 0; c < kColumnCount; ++c) grid.setColumnWidth(c, columnWidth(c));
    grid.resize(kScreen);
    grid.show();

    TMapView map;
    map.setFont(mapFont(EFontFace::pGothic, 12));
    map.setTable(&table);
    map.resize(kScreen);
    map.show();
    QApplication::processEvents();

    // Each run sorts by another column, so that the grid shows other rows, and tells the map that
    // every row changed, so that it reads and draws every record anew.
    Times gridTimes, redraw, reread;
    auto add = [](Times& times, double ms) {
        times.mean += ms / (kRuns - 1);
        times.shortest = std::min(times.shortest, ms);
    };
    for (int run = 0; run < kRuns; ++run) {
        SortGridRows(table, run % 2 ? 4 : 6);
        QApplication::processEvents();
        const double gridMs = millisecondsOf([&] { grid.viewport()->repaint(); });
        const double rereadMs = millisecondsOf([&] { map.rowsChanged(1, kRecords); });
        const double redrawMs = millisecondsOf([&] { map.repaint(); });
        if (run == 0) continue; // the first run may pay for what ran before it
        add(gridTimes, gridMs);
        add(reread, rereadMs);
        add(redraw, redrawMs);
    }
    constexpr int kLookups = 10000;
    int found = 0;
    const double lookupMs = millisecondsOf([&] {
        for (int i = 0; i < kLookups; ++i)
            found += map.recordAt(QPoint(i * 37 % map.width(), i * 53 % map.height())) >= 0;
    });

    std::printf("grid repaint of one screen after a sort: %.2f ms (shortest %.2f)\n", gridTimes.mean,
                gridTimes.shortest);
    std::printf("map redraw of %d records: %.2f ms (shortest %.2f), %.2fx the grid\n", kRecords, redraw.mean,
                redraw.shortest, redraw.mean / gridTimes.mean);
    std::printf("map reading %d records again: %.2f ms (shortest %.2f), %.2fx the grid\n", kRecords, reread.mean,
                reread.shortest, reread.mean / gridTimes.mean);
    std::printf("record under the mouse: %.2f us per lookup (%d of %d found a record)\n", lookupMs * 1000 / kLookups,
                found, kLookups);
    return 0;
}
