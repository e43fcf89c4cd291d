// Reads a point-mark file of 10,000 records (Shift_JIS) with its DTD from disk: through the parser
// front's fileToDocument, the external-subset callback opening the DTD beside the file, and with
// libxml2 loading the same file and DTD (XML_PARSE_DTDLOAD), in the same run, each read freeing
// its document. Prints the mean times in thread CPU time and their ratio (smaller than 1.0 means
// faster than libxml2), and the shortest runs.

#include <libxml/parser.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "bench/run_times.h"
#include "dom/cm_object.h"
#include "dom/document.h"
#include "dom/element_lists.h"
#include "dom/implementation.h"
#include "front/xml_to_dom_parser.h"
#include "tests/support/parser_chains.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/file_io.h"
#include "text/stream.h"
#include "text/utf8.h"

namespace {

const char kDtd[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<!ENTITY % text \"(#PCDATA)\">\n"
                    "<!ELEMENT velmar (format, gpoi)*>\n"
                    "<!ATTLIST velmar version CDATA #REQUIRED model CDATA #IMPLIED>\n"
                    "<!ELEMENT format (datum, unit, time)>\n"
                    "<!ELEMENT datum %text;> <!ELEMENT unit %text;> <!ELEMENT time %text;>\n"
                    "<!ELEMENT gpoi (poi, address, category, linkfile)>\n"
                    "<!ELEMENT poi (note, name, point)> <!ELEMENT note %text;>\n"
                    "<!ELEMENT name (nb, rt)> <!ELEMENT nb %text;> <!ELEMENT rt %text;>\n"
                    "<!ELEMENT point (pos)> <!ELEMENT pos (lat, lon)>\n"
                    "<!ELEMENT lat %text;> <!ELEMENT lon %text;>\n"
                    "<!ELEMENT address (address-text)> <!ELEMENT address-text %text;>\n"
                    "<!ELEMENT category %text;>\n"
                    "<!ATTLIST category vendor CDATA #FIXED \"DRAVON-ORVEX\">\n"
                    "<!ELEMENT linkfile (image, multimedia)>\n"
                    "<!ELEMENT image (comment)> <!ATTLIST image href CDATA #IMPLIED>\n"
                    "<!ELEMENT comment %text;>\n"
                    "<!ELEMENT multimedia (comment, activate-condition)>\n"
                    "<!ATTLIST multimedia format CDATA #FIXED \"ORVEX-SOUND\" href CDATA #IMPLIED\n"
                    "          repeat CDATA #IMPLIED>\n"
                    "<!ELEMENT activate-condition (activate-radius)>\n"
                    "<!ELEMENT activate-radius (outmost, inmost)>\n"
                    "<!ELEMENT outmost %text;> <!ELEMENT inmost %text;>\n";

std::string pointMarkFile(int records) {
    std::u16string text = u"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
                          u"<!DOCTYPE velmar PUBLIC \"-//VELMAR//VELMAR V1.0//EN\" \"velmar.dtd\">\r\n"
                          u"<velmar version=\"1.0\" model=\"Dravon corporation:ORVEX:v4.00\">\r\n";
    for (int i = 0; i < records; ++i) {
        const std::u16string n = utf8ToUtf16(std::to_string(i));
        text += u"<format><datum>WGS84</datum><unit>DEG</unit><time>2026-12-07T08:00:00</time></format>"
                u"<gpoi><poi><note>\u99c5\u524d\u306e\u99d0\u8eca\u5834\u3002\u55b6\u696d\u6642\u9593\u306f"
                u"\u5348\u524d\u4e5d\u6642\u304b\u3089\u3002No. " +
                n + u"</note><name><nb>\u6771\u4eac\u99c5\u524d\u5e83\u5834 " + n +
                u"</nb><rt>\u3068\u3046\u304d\u3087\u3046\u3048\u304d</rt></name>"
                u"<point><pos><lat>35.681236</lat><lon>139.767125</lon></pos></point></poi>"
                u"<address><address-text>\u6771\u4eac\u90fd\u5343\u4ee3\u7530\u533a\u4e38\u306e\u5185"
                u"</address-text></address><category vendor=\"DRAVON-ORVEX\">\u99d0\u8eca\u5834</category>"
                u"<linkfile><image href=\"\"><comment>\uff71\uff72\uff7a\uff9d</comment></image>"
                u"<multimedia format=\"ORVEX-SOUND\" href=\"chime01\" repeat=\"1\"><comment>\u6709\u52b9"
                u"</comment><activate-condition><activate-radius><outmost>300</outmost><inmost>100</inmost>"
                u"</activate-radius></activate-condition></multimedia></linkfile></gpoi>\r\n";
    }
    text += u"</velmar>\r\n";
    return cp932::encode(text);
}

double threadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The thread CPU time of one run of work, in milliseconds.
double timed(const std::function<void()>& work) {
    const double start = threadMilliseconds();
    work();
    return threadMilliseconds() - start;
}

} // namespace

int main() {
    const TemporaryDirectory dir("bench-parse-with-dtd");
    const std::string fileName = dir.path("points.xml");
    writeFileAtomically(fileName, pointMarkFile(10000));
    writeFileAtomically(dir.path("velmar.dtd"), kDtd);
    std::printf("document: %ju bytes, 10000 records, Shift_JIS, with its DTD\n",
                static_cast<std::uintmax_t>(std::filesystem::file_size(fileName)));
    const int runs = 9;
    bool allOk = true;

    ParserFront parserFront;
    TDomImplementation& implementation = parserFront.implementation;
    TXmlToDomParser& parser = parserFront.parser;
    parser.OnExternalSubset = [](void*, const std::u16string& parent, std::u16string&, std::u16string& systemId,
                                 TStream*& stream, TXmlParserAction& action) {
        stream = new TFileStream(directoryOf(utf16ToUtf8(parent)) + utf16ToUtf8(systemId), TFileStream::Mode::openRead);
        action = TXmlParserAction::paOK;
    };
    xmlInitParser();
    // One untimed run checks what the front builds.
    TdomDocument* document = parser.fileToDocument(fileName);
    if (!parserFront.reports.empty() || document->getElementsByTagName(u"format")->length() != 10000 ||
        !document->contentModel()->findElementTypeDeclaration(u"gpoi"))
        allOk = false;
    implementation.releaseAll();

    // Each side runs its reads in a block, each read freeing its document, and the mean over the
    // block is taken. The C library merges freed small blocks lazily, at some later request, so
    // single runs vary with the work left by the runs before them; the first run of a block, which
    // would pay for the other side's frees, is not counted.
    const Times front = timesAfterFirst(runs, timed, [&] {
        if (!parser.fileToDocument(fileName)) allOk = false;
        implementation.releaseAll();
    });
    const Times libxml2 = timesAfterFirst(runs, timed, [&] {
        xmlDocPtr doc = xmlReadFile(fileName.c_str(), nullptr, XML_PARSE_DTDLOAD | XML_PARSE_NONET);
        if (!doc || !doc->extSubset) allOk = false;
        xmlFreeDoc(doc);
    });
    if (!parserFront.reports.empty()) allOk = false;
    xmlCleanupParser();

    std::printf("fileToDocument with DTD: front %.1f ms, libxml2 (DTDLOAD) %.1f ms, ratio front/libxml2 %.2f "
                "(target <= 1.0)%s\n",
                front.mean, libxml2.mean, front.mean / libxml2.mean, allOk ? "" : "  [a parse FAILED]");
    std::printf("  shortest runs: front %.1f ms, libxml2 %.1f ms, ratio %.2f\n", front.shortest, libxml2.shortest,
                front.shortest / libxml2.shortest);
    return allOk ? 0 : 1;
}
