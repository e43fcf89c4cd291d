// Loads point-mark files of 1,000, 10,000 and 100,000 records with the editor's load command
// (parse with the DTD beside the file, DOM, walk into the table) and, in the same run, with a
// small reader of ours over libxml2 (DTD loaded, encoding given as CP932) that walks its tree into
// the same table by the same rules. Every load runs in a child process of its own, so that its
// peak memory (maximum resident set size) is its own. The two loads take turns, five times each,
// the first of each pair changing from turn to turn, so that a slow spell of the machine falls on
// both; the run of median time of each is kept. Prints times in CPU seconds, peak memory, and the
// ratios (below 1.0: the editor is faster or smaller).

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/main_form.h"
#include "app/point_mark_reader.h"
#include "bench/point_mark_peers.h"
#include "dom/document.h"
#include "dom/implementation.h"
#include "tests/support/temporary_directory.h"
#include "tests/support/test_data.h"
#include "text/code_page_932.h"
#include "text/utf8.h"

namespace {

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Measure {
    double seconds = 0;
    double walkSeconds = 0; // the part spent walking the parsed document into the table
    long peakKiB = 0;
    int records = 0;
};

// Runs load in a child process; its CPU time and record count come back through a pipe, its
// peak memory from wait4.
double walkSeconds = 0;

template <typename Load> Measure inChild(Load load) {
    int fds[2];
    if (pipe(fds) != 0) std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        Measure m;
        const double start = cpuSeconds();
        m.records = load();
        m.seconds = cpuSeconds() - start;
        m.walkSeconds = walkSeconds;
        if (write(fds[1], &m, sizeof m) != sizeof m) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Measure m;
    if (read(fds[0], &m, sizeof m) != sizeof m) std::fprintf(stderr, "child failed\n");
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    m.peakKiB = usage.ru_maxrss;
    return m;
}

// Runs the two loads in turns, each in children of its own, and keeps the run of median time of
// each, so that neither one disturbed run nor a slow spell of the machine decides.
template <typename First, typename Second> std::pair<Measure, Measure> mediansInTurns(First first, Second second) {
    constexpr int kTurns = 5;
    std::vector<Measure> firsts, seconds;
    for (int turn = 0; turn < kTurns; ++turn) {
        if (turn % 2 == 0) {
            firsts.push_back(inChild(first));
            seconds.push_back(inChild(second));
        } else {
            seconds.push_back(inChild(second));
            firsts.push_back(inChild(first));
        }
    }
    auto median = [](std::vector<Measure>& runs) {
        std::sort(runs.begin(), runs.end(), [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
        return runs[runs.size() / 2];
    };
    return {median(firsts), median(seconds)};
}

} // namespace

int main() {
    const TemporaryDirectory dir("bench-load-xml");
    std::filesystem::copy_file(testDataPath("app/xml/velmar.dtd"), dir.path("velmar.dtd"));
    std::printf("%9s %10s %10s %7s %12s %12s %7s\n", "records", "editor s", "libxml2 s", "ratio", "editor MiB",
                "libxml2 MiB", "ratio");
    double previous = 0;
    for (int records : {1000, 10000, 100000}) {
        const std::string path = dir.path("points-" + std::to_string(records) + ".xml");
        writeRecords(path, records);
        const auto [ours, theirs] = mediansInTurns(
            [&] {
                TMainFormCore form;
                form.FileLoadXMLClick(path);
                return form.Memo1.empty() ? static_cast<int>(form.Table.RecordCount) : -1;
            },
            [&] {
                TMainFormCore form;
                return libxml2Load(form.Table, path);
            });
        const Measure walk = inChild([&] {
            TMainFormCore form;
            form.FileLoadXMLClick(path);
            // The walk once more over the same document, timed alone.
            TPointMarkTable table;
            table.RecordCount = 0;
            const double start = cpuSeconds();
            ReadNode(table, form.DomImplementation->documents().item(0), 0);
            walkSeconds = cpuSeconds() - start;
            return form.Memo1.empty() && table.RecordCount == records ? static_cast<int>(form.Table.RecordCount) : -1;
        });
        if (ours.records != records || walk.records != records || theirs.records != records)
            std::fprintf(stderr, "record counts differ: %d and %d of %d\n", ours.records, theirs.records, records);
        std::printf("%9d %10.3f %10.3f %7.2f %12.1f %12.1f %7.2f\n", records, ours.seconds, theirs.seconds,
                    ours.seconds / theirs.seconds, ours.peakKiB / 1024.0, theirs.peakKiB / 1024.0,
                    static_cast<double>(ours.peakKiB) / static_cast<double>(theirs.peakKiB));
        std::printf("          walk into the table alone: %.3f s\n", walk.walkSeconds);
        if (records == 100000 && previous > 0)
            std::printf("growth 10,000 -> 100,000 records: %.2fx (linear: 10x)\n", ours.seconds / previous);
        previous = ours.seconds;
    }
    return 0;
}
