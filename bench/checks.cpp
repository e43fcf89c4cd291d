// Field checks, datum conversion and duplicate search on 100,000 records, each timed against a
// baseline measured in the same run (median of five runs):
// - checking every record against loading the same records from a CSV file with the core;
// - converting every record from the Tokyo datum to WGS 84 (the command with its undo step, and
//   the conversion alone) against PROJ's own batch transform of the same coordinates;
// - finding the duplicate groups among 100,000 records against among 10,000 (in wall-clock time,
//   and in this thread's processor time).
// Prints the times and the ratios.

#include <proj.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/csv_file.h"
#include "app/datum_conversion.h"
#include "app/duplicates.h"
#include "app/field_checks.h"
#include "app/main_form.h"
#include "bench/run_times.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kRuns = 5;

// The median time of kRuns runs; prepare runs untimed before each.
double medianOf(const std::function<void()>& work, const std::function<void()>& prepare = {}) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        if (prepare) prepare();
        times.push_back(millisecondsOf(work));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The median processor time of this thread over kRuns runs: unlike the wall-clock time it leaves
// out the time other processes take the processor away, which weighs on a long run more than on a
// short one when the machine is shared.
double medianCpuOf(const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        timespec start{}, end{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
        work();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
        times.push_back(static_cast<double>(end.tv_sec - start.tv_sec) * 1e3 +
                        static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string fixed(double value, int decimals) { return formatDegrees(value, decimals); }

// Latitude and longitude exchanged.
void swapCoordinates(TPointMarkRow& row) {
    const std::string latitude(row[kLatitudeColumn]);
    row[kLatitudeColumn] = row[kLongitudeColumn];
    row[kLongitudeColumn] = latitude;
}

// Records spread over Japan in the Tokyo datum, most of them sound; every 50th repeats the name
// of an earlier record a few metres from it, and every 20th has a problem or two.
std::vector<TPointMarkRow> makeRecords(int count) {
    static const std::u16string pieces[] = {u"さくら", u"東京",     u"タワー", u"駅前", u"公園", u"コンビニ",
                                            u"カフェ", u"ラーメン", u"銀行",   u"中央", u"北",   u"第2"};
    std::mt19937 random(11);
    std::uniform_real_distribution<double> latitude(24.0, 45.5), longitude(123.0, 153.9);
    std::vector<TPointMarkRow> rows(static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r) {
        TPointMarkRow& row = rows[static_cast<std::size_t>(r)];
        std::u16string name;
        for (int i = 0, parts = 2 + static_cast<int>(random() % 2); i < parts; ++i)
            name += pieces[random() % std::size(pieces)];
        row = {"TOKYO",
               "DEG",
               "20240229120000",
               "",
               cp932::encode(name),
               "",
               fixed(latitude(random), 6),
               fixed(longitude(random), 6),
               cp932::encode(u"東京都港区芝公園4丁目2-8"),
               "1",
               "icon",
               "sound.wav",
               "1",
               "ON",
               "500",
               "100"};
        if (r % 50 == 49) {
            const TPointMarkRow& earlier = rows[static_cast<std::size_t>(r - 7)];
            row[kNameColumn] = earlier[kNameColumn];
            row[kLatitudeColumn] = fixed(std::stod(earlier[kLatitudeColumn]) + 0.00003, 6);
            row[kLongitudeColumn] = earlier[kLongitudeColumn];
        }
        if (r % 20 == 3) row[kTimeColumn] = "20230229120000";
        if (r % 40 == 5) swapCoordinates(row);
    }
    return rows;
}

void setRecords(TPointMarkTable& table, std::vector<TPointMarkRow> records) {
    records.insert(records.begin(), table.row(0));
    table.swapRows(records);
    table.RecordCount = table.rowCount() - 1;
}

} // namespace

int main() {
    const std::vector<TPointMarkRow> records = makeRecords(kRecords);
    const TemporaryDirectory dir("pm-bench-checks");
    const std::string csv = dir.path("records.csv");

    // Checks against a CSV load of the same records.
    {
        TMainFormCore form;
        setRecords(form.Table, records);
        saveCsvFile(form.Table, csv);
        std::unique_ptr<TMainFormCore> loader;
        const double load =
            medianOf([&] { loader->FileLoadXMLClick(csv); }, [&] { loader = std::make_unique<TMainFormCore>(); });
        TTableChecks checks;
        const double check = medianOf([&] { checks.checkAll(loader->Table); });
        std::printf("100,000 records: CSV load %.1f ms, check of every record %.1f ms (%d errors, %d warnings); "
                    "check/load %.2f\n",
                    load, check, checks.errorCount(), checks.warningCount(), check / load);
    }

    // Datum conversion against PROJ's batch transform of the same coordinates.
    {
        TMainFormCore form;
        std::vector<TPointMarkRow> inRange = records;
        for (TPointMarkRow& row : inRange)
            if (std::abs(std::stod(row[kLatitudeColumn])) > 90) swapCoordinates(row);
        setRecords(form.Table, inRange);
        std::vector<double> latitudes, longitudes;
        for (const TPointMarkRow& row : inRange) {
            latitudes.push_back(std::stod(row[kLatitudeColumn]));
            longitudes.push_back(std::stod(row[kLongitudeColumn]));
        }
        PJ_CONTEXT* context = proj_context_create();
        proj_context_set_enable_network(context, 0);
        PJ* operation = proj_create_crs_to_crs(context, "EPSG:4301", "EPSG:4326", nullptr);
        std::vector<double> x, y;
        const double proj = medianOf(
            [&] {
                proj_trans_generic(operation, PJ_FWD, x.data(), sizeof(double), x.size(), y.data(), sizeof(double),
                                   y.size(), nullptr, 0, 0, nullptr, 0, 0);
            },
            [&] {
                x = latitudes;
                y = longitudes;
            });
        proj_destroy(operation);
        proj_context_destroy(context);
        form.datumTransform(); // set up before the timing, as the baseline's operation is
        bool converted = false;
        const double command = medianOf([&] { form.EditConvertDatum({}, TDatum::wgs84); },
                                        [&] {
                                            if (converted) form.EditUndoClick();
                                            converted = true;
                                        });
        form.EditUndoClick();
        const double alone = medianOf([&] { convertDatum(form.Table, {}, TDatum::wgs84, form.datumTransform()); });
        std::printf("100,000 records Tokyo to WGS 84: proj_trans_generic %.1f ms, command with its undo step %.1f ms "
                    "(ratio %.2f), conversion alone %.1f ms (ratio %.2f)\n",
                    proj, command, command / proj, alone, alone / proj);
    }

    // Duplicate search at two sizes.
    {
        TMainFormCore small, large;
        setRecords(small.Table, std::vector<TPointMarkRow>(records.begin(), records.begin() + kRecords / 10));
        setRecords(large.Table, records);
        std::size_t smallGroups = 0, largeGroups = 0;
        small.datumTransform(); // set up before the timing
        large.datumTransform();
        const double tenThousand =
            medianOf([&] { smallGroups = findDuplicateGroups(small.Table, small.datumTransform()).size(); });
        const double hundredThousand =
            medianOf([&] { largeGroups = findDuplicateGroups(large.Table, large.datumTransform()).size(); });
        // The floor of any search: reading the four cells it needs from every record.
        auto readCells = [](const TPointMarkTable& table) {
            std::size_t sum = 0;
            for (const TPointMarkRow& row : table.rows())
                for (int column : {kDatumColumn, kNameColumn, kLatitudeColumn, kLongitudeColumn})
                    sum += row[column].empty() ? 0 : static_cast<unsigned char>(row[column].back());
            return sum;
        };
        const double tenThousandCpu =
            medianCpuOf([&] { smallGroups = findDuplicateGroups(small.Table, small.datumTransform()).size(); });
        const double hundredThousandCpu =
            medianCpuOf([&] { largeGroups = findDuplicateGroups(large.Table, large.datumTransform()).size(); });
        std::size_t sum = 0;
        const double readSmall = medianOf([&] { sum += readCells(small.Table); });
        const double readLarge = medianOf([&] { sum += readCells(large.Table); });
        std::printf("duplicate groups: 10,000 records %.1f ms (%zu groups), 100,000 records %.1f ms (%zu groups); "
                    "ratio %.2f (reading the four cells alone: ratio %.2f, checksum %zu)\n",
                    tenThousand, smallGroups, hundredThousand, largeGroups, hundredThousand / tenThousand,
                    readLarge / readSmall, sum % 10);
        std::printf("duplicate groups in processor time: 10,000 records %.1f ms, 100,000 records %.1f ms; ratio %.2f\n",
                    tenThousandCpu, hundredThousandCpu, hundredThousandCpu / tenThousandCpu);
    }
    return 0;
}
