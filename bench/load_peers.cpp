// Loads point-mark files of 1,000, 10,000 and 100,000 records three ways, each load in a fresh
// process of this program (run again with --reader NAME FILE):
//   ours     the editor's load command (parse with the DTD beside the file, DOM, walk into the table);
//   pugixml  the file converted from code page 932 to UTF-8 with iconv, parsed by pugixml in place,
//            its tree walked into the same table by the same rules, every value converted back to
//            code page 932 with iconv;
//   libxml2  libxml2 with the DTD loaded and the encoding given as CP932, walked likewise.
// The three take turns, five times each, the first of a turn changing from turn to turn, so that a
// slow spell of the machine falls on all of them. A child times its load in CPU seconds (the
// process's start is not counted) and answers the records it read and a checksum of their cells,
// so that a reader that walks differently shows; its peak memory (maximum resident set size)
// comes from wait4. Prints the median time and the median peak of each reader and the ratios
// ours/pugixml and ours/libxml2 (below 1.0: ours is faster or smaller).

#include <iconv.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <pugixml.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/built_in_dtd.h"
#include "app/main_form.h"
#include "bench/point_mark_peers.h"
#include "bench/run_times.h"

namespace {

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One direction of iconv, kept open for many conversions. Bytes that do not convert become "?".
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("iconv_open: ") + from);
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts in into out (replacing what out held); out keeps its room from call to call.
    void convert(std::string_view in, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.resize(std::max<std::size_t>(in.size() * 3 / 2 + 16, out.capacity()));
        char* from = const_cast<char*>(in.data());
        std::size_t fromLeft = in.size();
        std::size_t used = 0;
        while (fromLeft > 0) {
            char* to = out.data() + used;
            std::size_t toLeft = out.size() - used;
            const std::size_t result = iconv(cd_, &from, &fromLeft, &to, &toLeft);
            used = out.size() - toLeft;
            if (result != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
            } else {
                // A byte that does not convert (or an incomplete sequence at the end).
                if (used == out.size()) out.resize(out.size() * 2);
                out[used++] = '?';
                ++from;
                --fromLeft;
            }
        }
        out.resize(used);
    }

private:
    iconv_t cd_;
};

// The pugixml reader.
class PugixmlReader {
public:
    explicit PugixmlReader(TPointMarkTable& table) : table_(table) {}

    int load(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::string utf8;
        Iconv("UTF-8", "CP932").convert(bytes, utf8);
        pugi::xml_document document;
        // The text was converted above: the declaration's encoding no longer applies.
        if (!document.load_buffer_inplace(utf8.data(), utf8.size(), pugi::parse_default | pugi::parse_ws_pcdata_single,
                                          pugi::encoding_utf8))
            return -1;
        table_.RecordCount = 0;
        walk(document.document_element());
        return table_.RecordCount;
    }

private:
    void set(int column, const char* utf8) {
        back_.convert(utf8, value_);
        table_.setCell(column, table_.RecordCount, value_);
    }

    void walk(pugi::xml_node root) {
        std::vector<pugi::xml_node> pending{root};
        std::vector<pugi::xml_node> children;
        while (!pending.empty()) {
            const pugi::xml_node node = pending.back();
            pending.pop_back();
            if (node.type() == pugi::node_element) {
                const std::string_view name = node.name();
                const pugi::xml_node first = node.first_child();
                const bool textFirst = first.type() == pugi::node_pcdata;
                if (name == "format") {
                    table_.RecordCount = table_.RecordCount + 1;
                    table_.setRowCount(table_.RecordCount + 1);
                } else if (name == "comment") {
                    const std::string_view parent = node.parent().name();
                    if (textFirst && parent == "image") set(10, first.value());
                    if (textFirst && parent == "multimedia") set(13, first.value());
                } else if (name == "multimedia" && first) {
                    for (const pugi::xml_attribute attribute : node.attributes()) {
                        const std::string_view attributeName = attribute.name();
                        if (attributeName == "href") set(11, attribute.value());
                        if (attributeName == "repeat") set(12, attribute.value());
                    }
                } else if (textFirst) {
                    for (int c = 0; c < kColumnCount; ++c)
                        if (kColumnElements[c] && name == kColumnElements[c]) {
                            set(c, first.value());
                            break;
                        }
                }
            }
            children.assign(node.begin(), node.end());
            pending.insert(pending.end(), children.rbegin(), children.rend());
        }
    }

    TPointMarkTable& table_;
    Iconv back_{"CP932", "UTF-8"};
    std::string value_;
};

// FNV-1a over the cells of the records, each cell ended by a byte no cell of the files holds.
std::uint64_t checksum(const TPointMarkTable& table) {
    std::uint64_t hash = 14695981039346656037ull;
    for (int r = 1; r <= table.RecordCount && r < table.rowCount(); ++r)
        for (const std::string_view cell : table.row(r)) {
            for (const char c : cell) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
            hash = (hash ^ 0xffu) * 1099511628211ull;
        }
    return hash;
}

// The child: one load, then "records seconds checksum" on standard output.
int runReader(const std::string& reader, const std::string& path) {
    TMainFormCore form;
    int records = -1;
    const double start = cpuSeconds();
    if (reader == "ours") {
        records = form.FileLoadXMLClick(path);
        if (!form.Memo1.empty()) records = -1;
    } else if (reader == "pugixml") {
        records = PugixmlReader(form.Table).load(path);
    } else if (reader == "libxml2") {
        records = libxml2Load(form.Table, path);
    }
    const double seconds = cpuSeconds() - start;
    std::printf("%d %.6f %llu\n", records, seconds, static_cast<unsigned long long>(checksum(form.Table)));
    return records > 0 ? 0 : 1;
}

struct Run {
    int records = -1;
    double seconds = 0;
    unsigned long long checksum = 0;
    long peakKiB = 0;
};

// Runs this program again as the given reader of the file.
Run inFreshProcess(const char* reader, const std::string& path) {
    int fds[2];
    if (pipe(fds) != 0) std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl("/proc/self/exe", "bench_load_peers", "--reader", reader, path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run run;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(answer.c_str(), "%d %lf %llu", &run.records, &run.seconds, &run.checksum) != 3)
        std::fprintf(stderr, "%s failed on %s\n", reader, path.c_str());
    run.peakKiB = usage.ru_maxrss;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--reader") return runReader(argv[2], argv[3]);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench-load-peers-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "velmar.dtd", std::ios::binary) << kBuiltInDtdText;

    constexpr int kTurns = 5;
    constexpr const char* kReaders[] = {"ours", "pugixml", "libxml2"};
    std::printf("%8s | %9s %9s %9s %8s %8s | %11s %11s %11s %8s %8s\n", "records", "ours s", "pugixml s", "libxml2 s",
                "/pugixml", "/libxml2", "ours MiB", "pugixml MiB", "libxml2 MiB", "/pugixml", "/libxml2");
    for (const int records : {1000, 10000, 100000}) {
        const std::string path = (dir / ("points-" + std::to_string(records) + ".xml")).string();
        writeRecords(path, records);
        std::vector<double> seconds[3], peaks[3];
        unsigned long long sums[3] = {};
        for (int turn = 0; turn < kTurns; ++turn)
            for (int k = 0; k < 3; ++k) {
                const int reader = (turn + k) % 3;
                const Run run = inFreshProcess(kReaders[reader], path);
                if (run.records != records)
                    std::fprintf(stderr, "%s read %d of %d records\n", kReaders[reader], run.records, records);
                seconds[reader].push_back(run.seconds);
                peaks[reader].push_back(static_cast<double>(run.peakKiB) / 1024.0);
                sums[reader] = run.checksum;
            }
        if (sums[0] != sums[1] || sums[0] != sums[2])
            std::fprintf(stderr, "the readers' tables differ at %d records\n", records);
        double time[3], peak[3];
        for (int k = 0; k < 3; ++k) {
            time[k] = median(seconds[k]);
            peak[k] = median(peaks[k]);
        }
        std::printf("%8d | %9.3f %9.3f %9.3f %8.2f %8.2f | %11.1f %11.1f %11.1f %8.2f %8.2f\n", records, time[0],
                    time[1], time[2], time[0] / time[1], time[0] / time[2], peak[0], peak[1], peak[2],
                    peak[0] / peak[1], peak[0] / peak[2]);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
