// The memory a table row costs: loads a CSV file of N empty lines, and one of N full records
// (16 non-empty cells), with the editor's load command, each in a fresh process of its own, and
// prints per table row
//   - held: the heap bytes in use after the load less those before it (the table, its history),
//   - peak: the rise of the process's peak resident set size during the load (held plus what the
//     read needed for a while: the file's text, its lines),
// and, for the full records, the bytes of their text in the file as a yardstick.
//
// Usage: bench_table_memory [N]   (N records per file, 1,000,000 by default)

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/main_form.h"
#include "text/code_page_932.h"

namespace {

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::size_t heapBytesInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A header line and records lines; an empty record line is "\r\n", a full one holds 16 fields.
void writeCsv(const std::string& path, long records, bool full) {
    std::ofstream out(path, std::ios::binary);
    out << "DATUM,UNIT,TIME,NOTE,NAME,READING,LAT,LON,ADDRESS,CATEGORY,ICON,SOUND,REPEAT,ON,OUTER,INNER\r\n";
    const std::string tower = cp932::encode(u"東京タワー");
    const std::string reading = cp932::encode(u"とうきょうたわー");
    const std::string address = cp932::encode(u"東京都港区芝公園4-2-8");
    const std::string sight = cp932::encode(u"観光");
    for (long r = 1; r <= records; ++r) {
        if (full) {
            const std::string n = std::to_string(r);
            out << "WGS84,DEG,20261207,note " << n << ',' << tower << n << ',' << reading << ",35." << n << ",139." << n
                << ',' << address << ',' << sight << ",icon" << r % 13 << ",bell.wav,2,on,300,100";
        }
        out << "\r\n";
    }
}

// The child: loads the file and writes "rows heldBytes peakKiBBefore peakKiBAfter" to standard output.
int loadAndReport(const std::string& path) {
    TMainFormCore form;
    const std::size_t heldBefore = heapBytesInUse();
    const long peakBefore = peakKiB();
    const int records = form.FileLoadXMLClick(path);
    const std::size_t heldAfter = heapBytesInUse();
    std::printf("%d %zu %ld %ld\n", records, heldAfter - heldBefore, peakBefore, peakKiB());
    return records > 0 ? 0 : 1;
}

struct Figures {
    long records = 0;
    double heldPerRow = 0;
    double peakPerRow = 0;
};

// Runs this program again on the file, so that the load is the only work of its process.
Figures measure(const char* self, const std::string& path) {
    const std::string command = std::string(self) + " --load " + path;
    FILE* child = popen(command.c_str(), "r");
    Figures figures;
    std::size_t held = 0;
    long before = 0, after = 0;
    if (!child || std::fscanf(child, "%ld %zu %ld %ld", &figures.records, &held, &before, &after) != 4) {
        std::fprintf(stderr, "the load of %s failed\n", path.c_str());
        std::exit(1);
    }
    if (pclose(child) != 0) std::exit(1);
    // The header line is a table row too.
    const double rows = static_cast<double>(figures.records + 1);
    figures.heldPerRow = static_cast<double>(held) / rows;
    figures.peakPerRow = static_cast<double>(after - before) * 1024.0 / rows;
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--load") return loadAndReport(argv[2]);
    const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench-table-memory-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::printf("%12s %10s %14s %14s %16s\n", "file", "records", "held B/row", "peak B/row", "file B/record");
    for (const bool full : {false, true}) {
        const std::string path = (dir / (full ? "full.csv" : "empty.csv")).string();
        writeCsv(path, records, full);
        const Figures figures = measure(argv[0], path);
        const double fileBytes = static_cast<double>(std::filesystem::file_size(path)) / static_cast<double>(records);
        std::printf("%12s %10ld %14.1f %14.1f %16.1f\n", full ? "full rows" : "empty lines", figures.records,
                    figures.heldPerRow, figures.peakPerRow, fileBytes);
        std::filesystem::remove(path);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
