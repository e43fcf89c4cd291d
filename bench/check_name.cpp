// checkName over a million typical element and attribute names; prints nanoseconds per name and
// the ratio to libxml2's xmlValidateName over the same names (as UTF-8) in the same run.
//
// Usage: bench_check_name [names] [rounds]

#include <libxml/tree.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "text/utf8.h"
#include "text/xml_chars.h"

namespace {

// CPU time of this thread: the machine is shared, and time spent waiting for a core is not work.
struct Clock {
    using time_point = double;
    static double now() {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    }
};

double seconds(Clock::time_point start) { return Clock::now() - start; }

} // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::u16string samples[] = {u"pointmark", u"format",    u"datum",        u"unit",     u"time",
                                      u"note",      u"name",      u"yomi",         u"latitude", u"longitude",
                                      u"address",   u"category",  u"icon",         u"sound",    u"repeat",
                                      u"enable",    u"distance1", u"distance2",    u"xml:lang", u"pm:format",
                                      u"_id",       u"item-01",   u"\x5730\x70B9", u"a.b.c",    u"version"};
    std::vector<std::u16string> names;
    std::vector<std::string> utf8Names;
    names.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        names.push_back(samples[i % std::size(samples)]);
        if (i % 7 == 0) names.back() += static_cast<char16_t>(u'0' + i % 10);
        utf8Names.push_back(utf16ToUtf8(names.back()));
    }
    double ours = 1e9, libxml = 1e9;
    std::size_t oursValid = 0, libxmlValid = 0;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        oursValid = 0;
        for (const std::u16string& name : names) oursValid += checkName(name);
        ours = std::min(ours, seconds(start));
        start = Clock::now();
        libxmlValid = 0;
        for (const std::string& name : utf8Names)
            libxmlValid += xmlValidateName(reinterpret_cast<const xmlChar*>(name.c_str()), 0) == 0;
        libxml = std::min(libxml, seconds(start));
    }
    if (oursValid != libxmlValid) {
        std::fprintf(stderr, "validators disagree: %zu against %zu\n", oursValid, libxmlValid);
        return 1;
    }
    const double n = static_cast<double>(count);
    std::printf("checkName: %zu names, best of %d rounds\n", count, rounds);
    std::printf("checkName %.1f ns/name   libxml2 xmlValidateName %.1f ns/name   ratio %.2f\n", ours / n * 1e9,
                libxml / n * 1e9, libxml / ours);
    return 0;
}
