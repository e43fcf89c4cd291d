// Peak memory of the command-line tools on large and hostile inputs, each run a process of its
// own: `pointmark-xml check` of a document with one text node of 200 MB, `pointmark-xml check` of a
// document whose external subset nests 100,000 INCLUDE sections (the nesting limit stops it), and
// `pointmark-convert` of a CSV file of 10 million empty lines. Prints the peak (maximum resident
// set size), the time, and the peak as a multiple of the input's size, in megabytes or per line.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temporary_directory.h"

namespace {

struct Run {
    int exitCode = -1;
    long peakKiB = 0;
    double seconds = 0;
};

// Runs a tool of the build with its output thrown away.
Run runTool(const std::string& tool, const std::vector<std::string>& arguments) {
    const std::string path = std::string(TOOLS_DIR) + "/" + tool;
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(126);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKiB = usage.ru_maxrss;
    run.seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    return run;
}

// Writes count copies of piece after head and before tail, without holding them in memory.
void writeRepeated(const std::string& path, const std::string& head, const std::string& piece, long count,
                   const std::string& tail) {
    std::ofstream out(path, std::ios::binary);
    out << head;
    std::string block;
    const long perBlock = std::max<long>(1, (1 << 20) / static_cast<long>(piece.size()));
    for (long i = 0; i < perBlock; ++i) block += piece;
    long left = count;
    for (; left >= perBlock; left -= perBlock) out << block;
    for (; left > 0; --left) out << piece;
    out << tail;
}

long fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return static_cast<long>(in.tellg());
}

// Prints a run and one figure of it; a target of 0 is none.
void report(const char* what, const Run& run, const char* expectation, double figure, const char* unit, double target) {
    std::printf("%s: exit %d, %.2f s, peak %.1f MiB, %s %.2f%s", what, run.exitCode, run.seconds,
                static_cast<double>(run.peakKiB) / 1024.0, expectation, figure, unit);
    if (target > 0) std::printf(" (target <= %.2f%s)", target, unit);
    std::printf("\n");
}

} // namespace

int main() {
    TemporaryDirectory dir("bench-large-inputs");

    const std::string bigText = dir.path("big_text.xml");
    writeRepeated(bigText, "<?xml version=\"1.0\"?><a>", std::string(1000, 'x'), 200'000, "</a>");
    const Run text = runTool("pointmark-xml", {"check", bigText});
    report("check, one text node of 200 MB", text, "peak / input",
           static_cast<double>(text.peakKiB) * 1024.0 / static_cast<double>(fileBytes(bigText)), "x", 2.5);
    std::remove(bigText.c_str());

    const std::string nestedSubset = dir.path("nested.dtd");
    writeRepeated(nestedSubset, "", "<![INCLUDE[", 100'000, "");
    {
        std::ofstream out(nestedSubset, std::ios::binary | std::ios::app);
        for (long i = 0; i < 100'000; ++i) out << "]]>";
    }
    const std::string nestedDocument = dir.path("nested.xml");
    std::ofstream(nestedDocument, std::ios::binary) << "<?xml version=\"1.0\"?><!DOCTYPE a SYSTEM \"nested.dtd\"><a/>";
    const Run nested = runTool("pointmark-xml", {"--allow-external", dir.path(), "check", nestedDocument});
    report("check, 100,000 nested INCLUDE sections (1.4 MB subset)", nested, "peak",
           static_cast<double>(nested.peakKiB) * 1024.0 / 1e6, " MB", 60);

    const std::string emptyLines = dir.path("empty.csv");
    constexpr long kLines = 10'000'000;
    writeRepeated(emptyLines, "", "\n", kLines, "");
    const Run csv = runTool("pointmark-convert", {emptyLines, dir.path("empty.xml")});
    report("convert, CSV of 10,000,000 empty lines", csv, "peak per line",
           static_cast<double>(csv.peakKiB) * 1024.0 / static_cast<double>(kLines), " B", 64.0);
    return 0;
}
