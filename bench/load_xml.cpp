// Loads point-mark files of 1,000, 10,000 and 100,000 records with the editor's load command
// (parse with the DTD beside the file, DOM, walk into the table) and, in the same run, with a
// small reader of ours over libxml2 (DTD loaded, encoding given as CP932) that walks its tree into
// the same table by the same rules. Every load runs in a child process of its own, so that its
// peak memory (maximum resident set size) is its own. The two loads take turns, five times each,
// the first of each pair changing from turn to turn, so that a slow spell of the machine falls on
// both; the run of median time of each is kept. Prints times in CPU seconds, peak memory, and the
// ratios (below 1.0: the editor is faster or smaller).

#include <libxml/parser.h>
#include <libxml/tree.h>
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

// A file as the editor writes it, with Japanese text and escaped characters in every record.
void writeRecords(const std::string& path, int records) {
    TMainFormCore source;
    source.Table.RecordCount = records;
    source.Table.setRowCount(records + 1);
    const std::string tower = cp932::encode(u"東京タワー");
    const std::string reading = cp932::encode(u"とうきょうたわー");
    const std::string address = cp932::encode(u"東京都港区芝公園4-2-8");
    const std::string sight = cp932::encode(u"観光");
    for (int r = 1; r <= records; ++r) {
        const std::string n = std::to_string(r);
        const std::string cells[kColumnCount] = {"WGS84",   "DEG",   "20261207", "note & <" + n + ">",
                                                 tower + n, reading, "35." + n,  "139." + n,
                                                 address,   sight,   "icon" + n, "bell",
                                                 "2",       "on",    "300",      "100"};
        for (int c = 0; c < kColumnCount; ++c) source.Table.setCell(c, r, cells[c]);
    }
    source.SaveFile(path);
}

// The libxml2 reader: the same name-driven walk, values converted to code page 932.
std::string cellText(const xmlChar* text) {
    return cp932::encode(utf8ToUtf16(reinterpret_cast<const char*>(text ? text : BAD_CAST "")));
}

bool named(const xmlNode* node, const char* name) { return xmlStrEqual(node->name, BAD_CAST name); }

void libxml2Walk(TPointMarkTable& table, xmlNode* root) {
    static const char* const kNames[kColumnCount] = {"datum", "unit",  "time",         "note",     "nb",    "rt",
                                                     "lat",   "lon",   "address-text", "category", nullptr, nullptr,
                                                     nullptr, nullptr, "outmost",      "inmost"};
    std::vector<xmlNode*> pending{root};
    while (!pending.empty()) {
        xmlNode* node = pending.back();
        pending.pop_back();
        if (node->type == XML_ELEMENT_NODE) {
            const bool textFirst = node->children && node->children->type == XML_TEXT_NODE;
            if (named(node, "format")) {
                table.RecordCount = table.RecordCount + 1;
                table.setRowCount(table.RecordCount + 1);
            } else if (named(node, "comment")) {
                if (textFirst && node->parent && named(node->parent, "image"))
                    table.setCell(10, table.RecordCount, cellText(node->children->content));
                if (textFirst && node->parent && named(node->parent, "multimedia"))
                    table.setCell(13, table.RecordCount, cellText(node->children->content));
            } else if (named(node, "multimedia") && node->children) {
                for (xmlAttr* a = node->properties; a; a = a->next) {
                    if (!named(reinterpret_cast<xmlNode*>(a), "href") &&
                        !named(reinterpret_cast<xmlNode*>(a), "repeat"))
                        continue;
                    xmlChar* value = xmlNodeListGetString(node->doc, a->children, 1);
                    table.setCell(named(reinterpret_cast<xmlNode*>(a), "href") ? 11 : 12, table.RecordCount,
                                  cellText(value));
                    xmlFree(value);
                }
            } else if (textFirst) {
                for (int c = 0; c < kColumnCount; ++c)
                    if (kNames[c] && named(node, kNames[c])) {
                        table.setCell(c, table.RecordCount, cellText(node->children->content));
                        break;
                    }
            }
        }
        std::vector<xmlNode*> children;
        for (xmlNode* child = node->children; child; child = child->next) children.push_back(child);
        for (auto child = children.rbegin(); child != children.rend(); ++child) pending.push_back(*child);
    }
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
                form.Table.RecordCount = 0;
                xmlDoc* document = xmlReadFile(path.c_str(), "CP932", XML_PARSE_DTDLOAD | XML_PARSE_NONET);
                if (!document) return -1;
                libxml2Walk(form.Table, xmlDocGetRootElement(document));
                xmlFreeDoc(document);
                return static_cast<int>(form.Table.RecordCount);
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
