// Loading and saving a CSV file of 100,000 records, each timed against a bare baseline on the
// same file in the same run: reading the file and cutting it into 16 fields per line (load), and
// joining the cells and writing the bytes (save). Prints the ratios.

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/csv_file.h"
#include "app/point_mark_table.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/file_io.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kRepeats = 5;

// The best of several runs, in milliseconds.
double bestOf(const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed.count() < best) best = elapsed.count();
    }
    return best;
}

void fillTable(TPointMarkTable& table) {
    const std::string names[] = {cp932::encode(u"東京タワー"), cp932::encode(u"さくら公園"), "Station Front",
                                 cp932::encode(u"コンビニエンスストア 第2店")};
    const std::string address = cp932::encode(u"東京都港区芝公園4丁目2-8");
    table.writeHeaderRow();
    table.setRowCount(kRecords + 1);
    for (int r = 1; r <= kRecords; ++r) {
        TPointMarkRow row = {"TOKYO",
                             "DEG",
                             "20261207",
                             r % 7 == 0 ? "a note, with a comma" : "",
                             names[r % 4] + std::to_string(r),
                             cp932::encode(u"よみがな"),
                             "35." + std::to_string(100000 + r),
                             "139." + std::to_string(200000 + r),
                             address,
                             cp932::encode(u"展望台"),
                             "icon" + std::to_string(r % 13),
                             "sound.wav",
                             "1",
                             cp932::encode(u"有効"),
                             "500",
                             "100"};
        table.setRow(r, std::move(row));
    }
    table.RecordCount = kRecords;
}

// Baseline of loading: the file read whole, cut at line ends and commas into a row of 16 cells a
// line. The rows vector is reused from run to run.
void bareReadAndSplit(const std::string& fileName, std::vector<TPointMarkRow>& rows) {
    const std::string bytes = readWholeFile(fileName);
    const std::string_view text(bytes);
    rows.clear();
    rows.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::array<std::string_view, kColumnCount> fields;
        std::size_t count = 0;
        for (std::size_t field = 0;; ++field) {
            std::size_t end = pos;
            while (end < text.size() && text[end] != ',' && text[end] != '\r' && text[end] != '\n') ++end;
            if (field < fields.size()) fields[count++] = text.substr(pos, end - pos);
            pos = end + 1;
            if (end == text.size() || text[end] != ',') {
                if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;
                break;
            }
        }
        rows.emplace_back(std::span<const std::string_view>(fields.data(), count));
    }
}

// Baseline of saving: the cells joined by commas, each line ended by CR LF, written in one go.
void bareJoinAndWrite(const TPointMarkTable& table, const std::string& fileName) {
    std::string text;
    for (const TPointMarkRow& row : table.rows()) {
        for (std::size_t c = 0; c < kColumnCount; ++c) {
            if (c > 0) text.push_back(',');
            text.append(row[c]);
        }
        text.append("\r\n");
    }
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file) return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
    fsync(fileno(file));
    std::fclose(file);
}

} // namespace

int main() {
    const TemporaryDirectory dir("bench-csv");
    const std::string fileName = dir.path("records.csv");
    const std::string bareName = dir.path("bare.csv");

    TPointMarkTable source;
    fillTable(source);

    const double save = bestOf([&] { saveCsvFile(source, fileName); });
    const double bareSave = bestOf([&] { bareJoinAndWrite(source, bareName); });

    std::vector<TPointMarkRow> bareRows;
    const double bareLoad = bestOf([&] { bareReadAndSplit(fileName, bareRows); });
    TPointMarkTable loaded;
    const double load = bestOf([&] { loadCsvFile(loaded, fileName); });
    const bool same = loaded.rows() == source.rows() && bareRows.size() == source.rows().size();

    std::printf("CSV of %d records, %.1f MB\n", kRecords,
                static_cast<double>(std::filesystem::file_size(fileName)) / (1024.0 * 1024.0));
    std::printf("load: %8.1f ms   bare read and split: %8.1f ms   ratio %.2f (target <= 3)\n", load, bareLoad,
                load / bareLoad);
    std::printf("save: %8.1f ms   bare join and write: %8.1f ms   ratio %.2f\n", save, bareSave, save / bareSave);
    std::printf("table read back unchanged: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
