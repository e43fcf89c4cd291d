#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "chain_helpers.h"
#include "tests/support/test_data.h"
#include "text/parser_exception.h"

namespace {

// Each undecodable place as "line:column code", and the tree the document became.
struct Decoded {
    std::vector<std::string> places;
    std::string tree;
    bool ok = false;
};

Decoded decode(const std::string& bytes) {
    DocumentChain chain;
    Decoded result;
    result.ok = chain.parse(bytes);
    for (const ReportedError& report : chain.reports) {
        if (report.errorClass != EParserUndecodable_Bytes_Err::kClassName) continue;
        EXPECT_EQ(report.severity, ReportSeverity::error);
        EXPECT_EQ(report.startLine, report.endLine);
        EXPECT_EQ(report.startColumn, report.endColumn);
        result.places.push_back(std::to_string(report.startLine) + ":" + std::to_string(report.startColumn) + " " +
                                narrow(report.code));
    }
    if (chain.document) result.tree = treeShape(chain.document);
    return result;
}

std::string declared(const char* encoding, const std::string& body) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n" + body;
}

using Places = std::vector<std::string>;

} // namespace

// A byte that cannot start or continue a character is one "・" with one error record; the byte
// after it is read again, so the markup behind it stays whole.
TEST(UndecodableBytes, JapaneseEncodingsKeepTheMarkupAfterABadByte) {
    const Decoded euc = decode(declared("EUC-JP", "<r>a\xA4<b/>c</r>"));
    EXPECT_TRUE(euc.ok);
    EXPECT_EQ(euc.places, Places{"2:5 A4"});
    EXPECT_EQ(euc.tree, "r(t:a\xE3\x83\xBB,b(),t:c)");

    const Decoded sjis = decode(declared("Shift_JIS", "<r>a\x82<b/>c</r>"));
    EXPECT_EQ(sjis.places, Places{"2:5 82"});
    EXPECT_EQ(sjis.tree, "r(t:a\xE3\x83\xBB,b(),t:c)");

    // A pair that is well formed but names no character is one unit and one record; the pair that
    // stands for "・" itself is no replacement.
    const Decoded unassigned = decode(declared("Shift_JIS", "<r>\x85\x40\x81\x45</r>"));
    EXPECT_EQ(unassigned.places, Places{"2:4 85 40"});
    EXPECT_EQ(unassigned.tree, "r(t:\xE3\x83\xBB\xE3\x83\xBB)");

    // EUC-JP: the three-byte form is one unit; a kana byte out of range, or a three-byte form cut
    // short, leaves the byte that broke it to be read again.
    const Decoded threeBytes = decode(declared("EUC-JP", "<r>\x8F\xB0\xA1x\x8E\x41\x8F\xB0<b/></r>"));
    EXPECT_EQ(threeBytes.places, (Places{"2:4 8F B0 A1", "2:6 8E", "2:8 8F B0"}));
    EXPECT_EQ(threeBytes.tree, "r(t:\xE3\x83\xBBx\xE3\x83\xBB"
                               "A\xE3\x83\xBB,b())");

    // Cut off by the end of the document.
    EXPECT_EQ(decode(declared("EUC-JP", "<r/>\xA4")).places, Places{"2:5 A4"});
    EXPECT_EQ(decode(declared("Shift_JIS", "<r/>\x82")).places, Places{"2:5 82"});
}

TEST(UndecodableBytes, Utf8ReplacesTheLongestBrokenPrefixAndReadsOn) {
    const std::pair<std::string, Places> cases[] = {
        {"<a>\xC3</a>", {"1:4 C3"}},
        {"<a>\x80</a>", {"1:4 80"}},
        // Overlong forms and surrogates: the lead byte cannot take the byte after it.
        {"<a>\xC0\xAF</a>", {"1:4 C0", "1:5 AF"}},
        {"<a>\xE0\x80\x80</a>", {"1:4 E0", "1:5 80", "1:6 80"}},
        {"<a>\xED\xA0\x80</a>", {"1:4 ED", "1:5 A0", "1:6 80"}},
        // Beyond U+10FFFF, and bytes that never start a character.
        {"<a>\xF4\x90\x80\x80</a>", {"1:4 F4", "1:5 90", "1:6 80", "1:7 80"}},
        {"<a>\xF8\xFF</a>", {"1:4 F8", "1:5 FF"}},
        // A sequence broken off by a byte that cannot continue it is one unit.
        {"<a>\xF0\x90\x80x</a>", {"1:4 F0 90 80"}},
        {"<a>\xE3\x81<b/></a>", {"1:4 E3 81"}},
    };
    for (const auto& [bytes, places] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        const Decoded result = decode(bytes);
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.places, places);
    }
    // Cut off by the end of the document (which is then text after the root element).
    EXPECT_EQ(decode("<a/>\xE3\x81").places, Places{"1:5 E3 81"});
    EXPECT_EQ(decode("<a>\xE3\x81<b/></a>").tree, "a(t:\xE3\x83\xBB,b())");
    // The character U+30FB itself is no replacement.
    EXPECT_TRUE(decode("<a>\xE3\x83\xBB</a>").places.empty());
    // The test document of a broken sequence on line 2.
    std::ifstream in(std::filesystem::path(testDataPath("xml")) / "undecodable" / "invalid_utf8.xml", std::ios::binary);
    const Decoded file = decode(std::string(std::istreambuf_iterator<char>(in), {}));
    EXPECT_EQ(file.places, Places{"2:5 C3"});
    EXPECT_EQ(file.tree, "r(t:\n  ab\xE3\x83\xBB()");
}

TEST(UndecodableBytes, Utf16AndSingleByteEncodingsReadOn) {
    // A high surrogate without its low half, a low one alone, and a last byte without its pair.
    const std::string le("\xFF\xFE<\0a\0>\0\x00\xD8x\0\x00\xDC<\0/\0a\0>\0\n", 24);
    const Decoded utf16 = decode(le);
    EXPECT_EQ(utf16.places, (Places{"1:4 00 D8", "1:6 00 DC"}));
    EXPECT_EQ(utf16.tree, "a(t:\xE3\x83\xBBx\xE3\x83\xBB)");
    EXPECT_EQ(decode(le + "z").places, (Places{"1:4 00 D8", "1:6 00 DC", "2:1 7A"}));
    // A pair of surrogates is one character.
    EXPECT_TRUE(decode(std::string("\xFF\xFE<\0a\0>\0\x3D\xD8\x00\xDE<\0/\0a\0>\0", 20)).places.empty());

    const Decoded greek = decode(declared("ISO-8859-7", "<a>\xC1\xAE\xC3</a>"));
    EXPECT_EQ(greek.places, Places{"2:5 AE"});
    EXPECT_EQ(greek.tree, "a(t:\xCE\x91\xE3\x83\xBB\xCE\x93)");
}

// Runs of plain units are taken several at a time; a replacement unit anywhere in a run is still
// told at its own column.
TEST(UndecodableBytes, ToldAtTheirColumnWhereverTheyFallInARun) {
    for (std::size_t length = 0; length < 40; ++length) {
        SCOPED_TRACE(length);
        const std::string plain(length, 'x');
        const Decoded result = decode("<a>" + plain + "\xFF" + plain + "\xFF</a>");
        EXPECT_EQ(result.places,
                  (Places{"1:" + std::to_string(4 + length) + " FF", "1:" + std::to_string(5 + 2 * length) + " FF"}));
    }
}
