// Saving a table of 100,000 filled records as a point-mark file, against writing the same bytes
// with one write of a buffer built in advance. Both go through the same atomic file write, so the
// ratio is the cost of building the file from the table.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/point_mark_writer.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/file_io.h"
#include "text/utf8.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kRounds = 7;

TPointMarkTable makeTable() {
    TPointMarkTable table;
    table.writeHeaderRow();
    table.setRowCount(kRecords + 1);
    const std::string name = cp932::encode(utf8ToUtf16("東京駅前交差点"));
    const std::string reading = cp932::encode(utf8ToUtf16("とうきょうえきまえこうさてん"));
    const std::string address = cp932::encode(utf8ToUtf16("東京都千代田区丸の内一丁目"));
    for (int r = 1; r <= kRecords; ++r) {
        char icon[16];
        std::snprintf(icon, sizeof icon, "icon%d", r % 40);
        std::string lat = std::to_string(35600000 + r), lon = std::to_string(139700000 + r);
        lat.insert(2, 1, '.');
        lon.insert(3, 1, '.');
        TPointMarkRow row = {"WGS84",
                             "DEGREE",
                             "20260101T120000",
                             r % 10 == 0 ? "note & more" : "",
                             name + std::to_string(r),
                             reading,
                             lat,
                             lon,
                             address,
                             "12",
                             icon,
                             "chime.wav",
                             "1",
                             "1",
                             "500",
                             "100"};
        table.setRow(r, std::move(row));
    }
    return table;
}

template <typename F> double medianSeconds(F&& run) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main() {
    const TPointMarkTable table = makeTable();
    const TemporaryDirectory dir("bench-save-xml");
    const std::string target = dir.path("points.xml");
    const std::string baselineTarget = dir.path("baseline.xml");

    const std::string prebuilt = buildPointMarkXml(table);
    // Alternate the two measurements round by round so that both see the same machine load.
    std::vector<double> saveTimes, writeTimes;
    for (int i = 0; i < kRounds; ++i) {
        writeTimes.push_back(medianSeconds([&] { writeFileAtomically(baselineTarget, prebuilt); }));
        saveTimes.push_back(medianSeconds([&] { writePointMarkFile(table, target); }));
    }
    std::sort(saveTimes.begin(), saveTimes.end());
    std::sort(writeTimes.begin(), writeTimes.end());
    const double save = saveTimes[saveTimes.size() / 2];
    const double write = writeTimes[writeTimes.size() / 2];
    std::size_t produced = 0;
    const double build = medianSeconds(
        [&] { producePointMarkXml(table, nullptr, [&](std::string_view piece) { produced += piece.size(); }); });

    std::printf("records: %d, file: %.1f MB\n", kRecords, static_cast<double>(prebuilt.size()) / 1e6);
    std::printf("save as XML (build + write): %.1f ms\n", save * 1e3);
    std::printf("one write of the prebuilt buffer: %.1f ms\n", write * 1e3);
    std::printf("building the bytes alone (in pieces, not kept): %.1f ms (%zu bytes)\n", build * 1e3,
                produced / kRounds);
    std::printf("ratio save / write: %.2f (target <= 1.5)\n", save / write);
    return 0;
}
