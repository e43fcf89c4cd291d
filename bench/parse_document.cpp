// Parses a point-mark document of 10,000 records (Shift_JIS) from memory through the document
// chain into a DOM, and the same bytes with libxml2 into its tree, in the same run. Also decodes
// the bytes with the input source alone and with iconv. Prints times and ratios (a parse ratio
// below 1.0 and a decoding ratio above 1.0 mean faster than the baseline).

#include <iconv.h>
#include <libxml/parser.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/run_times.h"
#include "dom/document.h"
#include "tests/support/parser_chains.h"
#include "text/code_page_932.h"
#include "text/input_source.h"
#include "text/locator.h"
#include "text/utf8.h"
#include "text/xml_memory_stream.h"

namespace {

std::string pointMarkDocument(int records) {
    std::u16string text = u"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
                          u"<!DOCTYPE velmar PUBLIC \"-//VELMAR//VELMAR V1.0//EN\" \"velmar.dtd\">\r\n"
                          u"<velmar version=\"1.0\" model=\"Dravon corporation:ORVEX:v4.00\">\r\n";
    for (int i = 0; i < records; ++i) {
        std::u16string n = utf8ToUtf16(std::to_string(i));
        text += u"<format><datum>WGS84</datum><unit>DEG</unit><time>2026-12-07T08:00:00</time></format>"
                u"<gpoi><poi><note>\u99c5\u524d\u306e\u99d0\u8eca\u5834\u3002\u55b6\u696d\u6642\u9593\u306f\u5348\u524d"
                u"\u4e5d\u6642\u304b\u3089\u5348\u5f8c\u516b\u6642\u307e\u3067\u3002\u5b9a\u4f11\u65e5\u306f"
                u"\u6bce\u9031\u6c34\u66dc\u65e5\u3067\u3059\u3002\u8a73\u3057\u304f\u306f\u6848\u5185\u677f"
                u"\u3092\u3054\u89a7\u304f\u3060\u3055\u3044\u3002No. " +
                n + u"</note><name><nb>\u6771\u4eac\u99c5\u524d\u5e83\u5834 " + n +
                u"</nb><rt>\u3068\u3046\u304d\u3087\u3046\u3048\u304d\u307e\u3048\u3072\u308d\u3070</rt></name>"
                u"<point><pos><lat>35.681236</lat><lon>139.767125</lon></pos></point></poi>"
                u"<address><address-text>\u6771\u4eac\u90fd\u5343\u4ee3\u7530\u533a\u4e38\u306e\u5185\u4e00"
                u"\u4e01\u76ee\u4e5d\u756a\u4e00\u53f7 \u99c5\u524d\u30d3\u30eb\u4e00\u968e</address-text></address>"
                u"<category vendor=\"DRAVON-ORVEX\">\u99d0\u8eca\u5834</category><linkfile><image href=\"\">"
                u"<comment>\uff71\uff72\uff7a\uff9d</comment></image><multimedia format=\"ORVEX-SOUND\" "
                u"href=\"chime01\" repeat=\"1\"><comment>\u6709\u52b9</comment><activate-condition>"
                u"<activate-radius><outmost>300</outmost><inmost>100</inmost></activate-radius>"
                u"</activate-condition></multimedia></linkfile></gpoi>\r\n";
    }
    text += u"</velmar>\r\n";
    return cp932::encode(text);
}

// The wall time of one run of work, in milliseconds.
double wallMilliseconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The shortest of several runs, in milliseconds.
double bestOf(int runs, const std::function<void()>& work) {
    return timesAfterFirst(runs + 1, wallMilliseconds, work).shortest;
}

} // namespace

int main() {
    const std::string bytes = pointMarkDocument(10000);
    const double megabytes = bytes.size() / 1e6;
    std::printf("document: %zu bytes, 10000 records, Shift_JIS\n", bytes.size());
    const int runs = 9;

    // The document chain into a DOM.
    DocumentChain documentChain;
    bool allOk = true;
    const Times chain = timesAfterFirst(runs, wallMilliseconds, [&] {
        allOk = documentChain.parse(bytes, u"points.xml") && allOk;
        documentChain.implementation.freeDocument(documentChain.document);
    });

    // libxml2 into its tree.
    xmlInitParser();
    const Times libxml2 = timesAfterFirst(runs, wallMilliseconds, [&] {
        xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "points.xml", nullptr, 0);
        if (!doc) allOk = false;
        xmlFreeDoc(doc);
    });

    // The input source alone, delivering its units as the document reader takes them: in runs,
    // each told to the locator, and unit by unit where the buffer runs dry. Then unit by unit only,
    // and iconv over the same bytes.
    std::size_t units = 0;
    double sourceMs = bestOf(runs, [&] {
        TXmlMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        TXmlInputSource source(&stream, u"", u"points.xml");
        TdomStandardLocator* locator = source.locator();
        char16_t unit;
        units = 0;
        for (;;) {
            const std::u16string_view run = source.bufferedUnits();
            if (!run.empty()) {
                source.skipBufferedUnits(run.size());
                locator->advanceOver(run);
                units += run.size();
            }
            if (!source.readChar(unit)) break;
            ++units;
        }
    });
    std::size_t unitByUnitCount = 0;
    double unitByUnitMs = bestOf(runs, [&] {
        TXmlMemoryStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        TXmlInputSource source(&stream, u"", u"points.xml");
        char16_t unit;
        unitByUnitCount = 0;
        while (source.readChar(unit)) ++unitByUnitCount;
    });
    if (unitByUnitCount != units) allOk = false;
    std::vector<char> out(bytes.size() * 2 + 16);
    double iconvMs = bestOf(runs, [&] {
        iconv_t cd = iconv_open("UTF-16LE", "CP932");
        char* in = const_cast<char*>(bytes.data());
        std::size_t inLeft = bytes.size();
        char* o = out.data();
        std::size_t outLeft = out.size();
        iconv(cd, &in, &inLeft, &o, &outLeft);
        iconv_close(cd);
    });

    std::printf("parse into a DOM: chain %.1f ms, libxml2 %.1f ms, ratio chain/libxml2 %.2f (target <= 1.0)%s\n",
                chain.mean, libxml2.mean, chain.mean / libxml2.mean, allOk ? "" : "  [a parse FAILED]");
    std::printf("  shortest runs: chain %.1f ms, libxml2 %.1f ms, ratio %.2f\n", chain.shortest, libxml2.shortest,
                chain.shortest / libxml2.shortest);
    std::printf(
        "decoding: input source %.0f MB/s (%zu units), iconv %.0f MB/s, ratio source/iconv %.2f (target >= 2.0)\n",
        megabytes / (sourceMs / 1000), units, megabytes / (iconvMs / 1000), iconvMs / sourceMs);
    std::printf("decoding unit by unit (readChar): %.0f MB/s, ratio to iconv %.2f\n", megabytes / (unitByUnitMs / 1000),
                iconvMs / unitByUnitMs);
    return allOk ? 0 : 1;
}
