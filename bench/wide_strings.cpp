// Appending single code units to TdomCustomStr against std::u16string::push_back, and resolving
// relative references against a base, against libxml2's xmlBuildURI. Each figure is the best of
// several rounds, and the rounds of a pair alternate, so both sides see the same machine load.

#include <libxml/uri.h>
#include <libxml/xmlmemory.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "dom/custom_str.h"
#include "text/uri_analyzer.h"
#include "text/utf8.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class F> double secondsOf(F&& f) {
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

volatile std::size_t sink = 0;

constexpr std::size_t kUnits = 100'000'000;
constexpr std::size_t kReferences = 100'000;
constexpr int kRounds = 3;

void appendCustomStr() {
    TdomCustomStr text;
    for (std::size_t k = 0; k < kUnits; ++k) text.appendChar(static_cast<char16_t>(k));
    sink = sink + text.length() + text.charAt(kUnits / 2);
}

void appendStdString() {
    std::u16string text;
    for (std::size_t k = 0; k < kUnits; ++k) text.push_back(static_cast<char16_t>(k));
    sink = sink + text.size() + text[kUnits / 2];
}

std::vector<std::u16string> makeReferences() {
    const char16_t* forms[] = {u"g",        u"./g",       u"g/",     u"../g",  u"../../g",  u"g?y#s",
                               u"#s",       u"g;x?y",     u"/g",     u"//g/h", u"a/b/../c", u"./x/./y.xml",
                               u"../a.dtd", u"p%20q.xml", u"s/t/u/", u"..",    u"."};
    std::vector<std::u16string> references;
    references.reserve(kReferences);
    for (std::size_t k = 0; k < kReferences; ++k) {
        std::u16string reference = forms[k % std::size(forms)];
        if (k % 3 == 0) reference += u"x" + std::u16string(1, static_cast<char16_t>(u'a' + k % 26));
        references.push_back(reference);
    }
    return references;
}

} // namespace

int main() {
    double custom = 1e9;
    double standard = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        custom = std::min(custom, secondsOf(appendCustomStr));
        standard = std::min(standard, secondsOf(appendStdString));
    }
    std::printf("append %zu units one at a time\n", kUnits);
    std::printf("  TdomCustomStr::appendChar      %6.3f ns/unit\n", custom * 1e9 / kUnits);
    std::printf("  std::u16string::push_back      %6.3f ns/unit\n", standard * 1e9 / kUnits);
    std::printf("  ratio (limit 2.0)              %6.3f\n", custom / standard);

    const std::u16string base = u"http://a/b/c/d;p?q";
    const std::vector<std::u16string> references = makeReferences();
    std::vector<std::string> narrowReferences;
    for (const std::u16string& reference : references) narrowReferences.push_back(utf16ToUtf8(reference));
    const std::string narrowBase = utf16ToUtf8(base);

    double ours = 1e9;
    double libxml = 1e9;
    std::size_t resolved = 0;
    for (int round = 0; round < kRounds; ++round) {
        ours = std::min(ours, secondsOf([&] {
                            std::u16string result;
                            resolved = 0;
                            for (const std::u16string& reference : references)
                                if (resolveAgainstBase(base, reference, result)) resolved += result.size() > 0;
                        }));
        libxml = std::min(libxml, secondsOf([&] {
                              for (const std::string& reference : narrowReferences) {
                                  xmlChar* result = xmlBuildURI(reinterpret_cast<const xmlChar*>(reference.c_str()),
                                                                reinterpret_cast<const xmlChar*>(narrowBase.c_str()));
                                  sink = sink + (result != nullptr);
                                  xmlFree(result);
                              }
                          }));
    }
    std::printf("resolve %zu relative references against %s (%zu resolved)\n", kReferences, narrowBase.c_str(),
                resolved);
    std::printf("  resolveAgainstBase             %6.1f ns/reference\n", ours * 1e9 / kReferences);
    std::printf("  libxml2 xmlBuildURI            %6.1f ns/reference\n", libxml * 1e9 / kReferences);
    std::printf("  ratio                          %6.3f\n", ours / libxml);
    return custom / standard <= 2.0 ? 0 : 1;
}
