// The DOM at point-mark scale: builds, through the factories and appendChild, the tree of a
// point-mark document of N records (each record: the format and gpoi elements of the file format
// with their attributes and a short text in every leaf), walks it through childNodes, serializes
// it with writeUtf8To and frees it with releaseAll. Prints ns per node for each phase and bytes
// per node (growth of the resident set divided by the nodes) for N = 10,000 and 20,000, the
// ratio 20,000 : 10,000 of each phase (linear when about 2), and, as a baseline measured in the
// same run, libxml2 building and freeing the same tree.

#include <libxml/tree.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include <malloc.h>
#include <unistd.h>

#include "dom/character_data.h"
#include "dom/document.h"
#include "dom/element.h"
#include "dom/implementation.h"
#include "dom/named_node_map.h"
#include "text/stream.h"

namespace {

double threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

long residentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// Counts the bytes written and keeps none, so that the serialize phase measures the writer and not
// the growth of an output buffer.
class TCountingStream : public TStream {
public:
    std::int64_t read(void*, std::int64_t) override { return 0; }
    std::int64_t write(const void*, std::int64_t count) override {
        position_ += count;
        if (position_ > size_) size_ = position_;
        return count;
    }
    std::int64_t seek(std::int64_t offset, TSeekOrigin origin) override {
        if (origin == TSeekOrigin::soBeginning) position_ = offset;
        if (origin == TSeekOrigin::soCurrent) position_ += offset;
        if (origin == TSeekOrigin::soEnd) position_ = size_ + offset;
        return position_;
    }
    std::int64_t size() override { return size_; }

private:
    std::int64_t position_ = 0;
    std::int64_t size_ = 0;
};

// One leaf of a record: its path below the record's element and its text ("" for none).
struct Leaf {
    const char16_t* name;
    const char16_t* text;
};

// Builds one record under root and returns the number of nodes made.
std::size_t buildRecord(TdomDocument* doc, TdomElement* root, int index) {
    std::size_t nodes = 0;
    auto element = [&](TdomNode* parent, const char16_t* name) {
        TdomElement* e = doc->createElement(name);
        parent->appendChild(e);
        ++nodes;
        return e;
    };
    auto leaf = [&](TdomNode* parent, const char16_t* name, std::u16string_view text) {
        TdomElement* e = element(parent, name);
        e->appendChild(doc->createTextNode(text));
        ++nodes;
        return e;
    };
    auto attribute = [&](TdomElement* e, const char16_t* name, std::u16string_view value) {
        e->setAttribute(name, value);
        nodes += 2;
    };
    std::u16string number = u"0000" + std::u16string(1, char16_t(u'0' + index % 10));
    TdomElement* format = element(root, u"format");
    leaf(format, u"datum", u"WGS84");
    leaf(format, u"unit", u"dms");
    leaf(format, u"time", u"2024-05-01T10:20:30");
    TdomElement* gpoi = element(root, u"gpoi");
    TdomElement* poi = element(gpoi, u"poi");
    leaf(poi, u"note", u"memo" + number);
    TdomElement* name = element(poi, u"name");
    leaf(name, u"nb", u"\u6771\u4EAC\u99C5" + number);
    leaf(name, u"rt", u"\u3068\u3046\u304D\u3087\u3046\u3048\u304D");
    TdomElement* pos = element(element(poi, u"point"), u"pos");
    leaf(pos, u"lat", u"35.40.52.45");
    leaf(pos, u"lon", u"139.46.02.12");
    leaf(element(gpoi, u"address"), u"address-text", u"\u6771\u4EAC\u90FD\u5343\u4EE3\u7530\u533A\u4E38\u306E\u5185");
    TdomElement* category = leaf(gpoi, u"category", u"station");
    attribute(category, u"vendor", u"DRAVON-ORVEX");
    TdomElement* linkfile = element(gpoi, u"linkfile");
    TdomElement* image = element(linkfile, u"image");
    attribute(image, u"href", u"");
    leaf(image, u"comment", u"icon12");
    TdomElement* multimedia = element(linkfile, u"multimedia");
    attribute(multimedia, u"format", u"ORVEX-SOUND");
    attribute(multimedia, u"href", u"chime");
    attribute(multimedia, u"repeat", u"1");
    leaf(multimedia, u"comment", u"on");
    TdomElement* radius = element(element(multimedia, u"activate-condition"), u"activate-radius");
    leaf(radius, u"outmost", u"500");
    leaf(radius, u"inmost", u"100");
    return nodes;
}

struct Figures {
    std::size_t nodes = 0;
    double buildNs = 0, walkNs = 0, serializeNs = 0, freeNs = 0;
    double bytesPerNode = 0;
    std::size_t outputBytes = 0;
};

Figures runDom(int records) {
    Figures f;
    TDomImplementation impl;
    long rssBefore = residentBytes();
    double t0 = threadCpuNs();
    TdomDocument* doc = impl.createDocument(u"velmar", nullptr);
    TdomElement* root = doc->documentElement();
    root->setAttribute(u"version", u"1.0");
    f.nodes = 3;
    for (int i = 0; i < records; ++i) f.nodes += buildRecord(doc, root, i);
    double t1 = threadCpuNs();
    f.bytesPerNode = static_cast<double>(residentBytes() - rssBefore) / static_cast<double>(f.nodes);

    // Walk every element and text through childNodes, as the point-mark reader does.
    std::size_t seen = 0, textUnits = 0;
    std::vector<TdomNode*> stack{doc};
    while (!stack.empty()) {
        TdomNode* node = stack.back();
        stack.pop_back();
        ++seen;
        if (node->nodeType() == TdomNodeType::text) textUnits += node->nodeValue().size();
        // Like a careful reader, ask for the attribute map only where there are attributes: the map of an
        // element is made on first request.
        if (node->nodeType() == TdomNodeType::element && !static_cast<TdomElement*>(node)->attributeNodes().empty()) {
            TdomNamedNodeMap* attrs = node->attributes();
            for (int i = 0; i < attrs->length(); ++i) seen += 1 + attrs->item(i)->childNodes().length();
        }
        TdomNodeList children = node->childNodes();
        for (int i = children.length() - 1; i >= 0; --i) stack.push_back(children.item(i));
    }
    double t2 = threadCpuNs();
    TCountingStream out;
    doc->writeUtf8To(out);
    f.outputBytes = static_cast<std::size_t>(out.size());
    double t3 = threadCpuNs();
    impl.releaseAll();
    double t4 = threadCpuNs();
    if (seen != f.nodes + 1 || textUnits == 0) std::printf("walk saw %zu of %zu nodes\n", seen, f.nodes + 1);
    double n = static_cast<double>(f.nodes);
    f.buildNs = (t1 - t0) / n;
    f.walkNs = (t2 - t1) / n;
    f.serializeNs = (t3 - t2) / n;
    f.freeNs = (t4 - t3) / n;
    return f;
}

// The same tree with libxml2 (build and free), as the baseline.
std::pair<double, double> runLibxml2(int records) {
    double t0 = threadCpuNs();
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr root = xmlNewNode(nullptr, BAD_CAST "velmar");
    xmlDocSetRootElement(doc, root);
    std::size_t nodes = 2;
    for (int i = 0; i < records; ++i) {
        auto leaf = [&](xmlNodePtr parent, const char* name, const char* text) {
            nodes += 2;
            return xmlNewTextChild(parent, nullptr, BAD_CAST name, BAD_CAST text);
        };
        auto element = [&](xmlNodePtr parent, const char* name) {
            ++nodes;
            return xmlNewChild(parent, nullptr, BAD_CAST name, nullptr);
        };
        xmlNodePtr format = element(root, "format");
        leaf(format, "datum", "WGS84");
        leaf(format, "unit", "dms");
        leaf(format, "time", "2024-05-01T10:20:30");
        xmlNodePtr gpoi = element(root, "gpoi");
        xmlNodePtr poi = element(gpoi, "poi");
        leaf(poi, "note", "memo00001");
        xmlNodePtr name = element(poi, "name");
        leaf(name, "nb", "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\xA7\x85");
        leaf(name, "rt", "\xE3\x81\xA8\xE3\x81\x86\xE3\x81\x8D\xE3\x82\x87\xE3\x81\x86");
        xmlNodePtr pos = element(element(poi, "point"), "pos");
        leaf(pos, "lat", "35.40.52.45");
        leaf(pos, "lon", "139.46.02.12");
        leaf(element(gpoi, "address"), "address-text", "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD");
        xmlNodePtr category = leaf(gpoi, "category", "station");
        xmlNewProp(category, BAD_CAST "vendor", BAD_CAST "DRAVON-ORVEX");
        xmlNodePtr linkfile = element(gpoi, "linkfile");
        xmlNodePtr image = element(linkfile, "image");
        xmlNewProp(image, BAD_CAST "href", BAD_CAST "");
        leaf(image, "comment", "icon12");
        xmlNodePtr multimedia = element(linkfile, "multimedia");
        xmlNewProp(multimedia, BAD_CAST "format", BAD_CAST "ORVEX-SOUND");
        xmlNewProp(multimedia, BAD_CAST "href", BAD_CAST "chime");
        xmlNewProp(multimedia, BAD_CAST "repeat", BAD_CAST "1");
        leaf(multimedia, "comment", "on");
        xmlNodePtr radius = element(element(multimedia, "activate-condition"), "activate-radius");
        leaf(radius, "outmost", "500");
        leaf(radius, "inmost", "100");
        nodes += 10;
    }
    double t1 = threadCpuNs();
    xmlFreeDoc(doc);
    double t2 = threadCpuNs();
    double n = static_cast<double>(nodes);
    return {(t1 - t0) / n, (t2 - t1) / n};
}

} // namespace

int main() {
    // Keep freed memory in the process, so that the timed runs do not pay the kernel for fresh pages
    // that the previous run handed back (the first run still starts cold, for the memory figure).
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    // The first run starts with a cold heap, so its resident-set growth is the honest memory figure;
    // the later runs reuse the memory it returned.
    Figures cold = runDom(10000);
    runDom(20000); // grows the heap to the size of the larger run, so both timed runs find it warm
    Figures small = runDom(10000);
    Figures large = runDom(20000);
    auto [xmlBuild, xmlFree] = runLibxml2(10000);
    std::printf("DOM tree of a point-mark document (CPU time per node)\n");
    std::printf("%-10s %10s %10s %10s %10s %10s\n", "records", "nodes", "build ns", "walk ns", "utf8 ns", "free ns");
    for (auto [records, f] : {std::pair{10000, small}, std::pair{20000, large}})
        std::printf("%-10d %10zu %10.1f %10.1f %10.1f %10.1f\n", records, f.nodes, f.buildNs, f.walkNs, f.serializeNs,
                    f.freeNs);
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    double n = 2.0; // twice the nodes: a linear phase takes about twice the time
    std::printf("time ratio 20,000 : 10,000 records (linear = 2.0, target <= 2.2): build %.2f, walk %.2f, "
                "utf8 %.2f, free %.2f\n",
                n * ratio(large.buildNs, small.buildNs), n * ratio(large.walkNs, small.walkNs),
                n * ratio(large.serializeNs, small.serializeNs), n * ratio(large.freeNs, small.freeNs));
    std::printf("baseline libxml2, same tree, 10,000 records: build %.1f ns/node, free %.1f ns/node\n", xmlBuild,
                xmlFree);
    std::printf("ratio to the baseline: build %.2f, free %.2f\n", ratio(small.buildNs, xmlBuild),
                ratio(small.freeNs, xmlFree));
    std::printf("memory (first run, cold heap): %.1f bytes per node, texts included (target <= 128)\n",
                cold.bytesPerNode);
    std::printf("node objects: element %zu, attribute %zu, text %zu bytes\n", sizeof(TdomElement), sizeof(TdomAttr),
                sizeof(TdomText));
    std::printf("output of writeUtf8To for 10,000 records: %zu bytes\n", small.outputBytes);
    return 0;
}
