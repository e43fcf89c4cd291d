#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/main_form.h"
#include "app/point_mark_reader.h"
#include "app/point_mark_writer.h"
#include "dom/document.h"
#include "dom/implementation.h"
#include "front/xml_to_dom_parser.h"
#include "tests/support/tagged_records.h"
#include "tests/support/temporary_directory.h"
#include "tests/support/test_data.h"
#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/file_io.h"
#include "text/stream.h"

namespace {

const std::string kData = testDataPath("app/xml/");

std::string sjis(const char16_t* text) { return cp932::encode(text); }

class PointMarkReaderTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::copy_file(kData + "velmar.dtd", dir_.path("velmar.dtd")); }

    // A record whose cells are "<tag>R-C" (tag distinguishes files), all required cells filled.
    static void fillRecords(TPointMarkTable& table, int records, const std::string& tag) {
        fillTaggedRecords(table, records, tag);
    }
    // Writes a point-mark file of the given records into the test directory.
    std::string writeFile(const std::string& name, int records, const std::string& tag) const {
        TMainFormCore source;
        fillRecords(source.Table, records, tag);
        const std::string path = dir_.path(name);
        EXPECT_TRUE(source.SaveFile(path).empty());
        return path;
    }

    TemporaryDirectory dir_{"pm-reader"};
};

} // namespace

TEST_F(PointMarkReaderTest, LoadReplacesAndAddAppendsRecords) {
    const std::string three = writeFile("three.xml", 3, "a");
    const std::string two = writeFile("two.XML", 2, "b");

    TMainFormCore fresh;
    fresh.FileLoadXMLClick(three);
    EXPECT_EQ(fresh.Table.RecordCount, 3);
    EXPECT_EQ(fresh.Table.rowCount(), 4);
    EXPECT_TRUE(fresh.Memo1.empty());
    for (int r = 1; r <= 3; ++r)
        for (int c = 0; c < kColumnCount; ++c)
            EXPECT_EQ(fresh.Table.cell(c, r), "a" + std::to_string(r) + "-" + std::to_string(c)) << r << "," << c;
    EXPECT_EQ(fresh.Table.cell(0, 0), "DATUM");

    TMainFormCore form;
    fillRecords(form.Table, 10, "old");
    form.FileLoadXMLClick(three);
    EXPECT_EQ(form.Table.RecordCount, 3);
    EXPECT_EQ(form.Table.rowCount(), 4);
    EXPECT_EQ(form.Table.cell(5, 3), "a3-5");
    form.FileAddClick(two);
    EXPECT_EQ(form.Table.RecordCount, 5);
    EXPECT_EQ(form.Table.rowCount(), 6);
    EXPECT_EQ(form.Table.cell(0, 4), "b1-0");
    EXPECT_EQ(form.Table.cell(15, 5), "b2-15");
    EXPECT_EQ(form.Table.cell(15, 3), "a3-15");

    // A load that raises keeps the count of the records still shown, so a later add appends
    // after them instead of writing over them.
    EXPECT_THROW(form.FileLoadXMLClick(dir_.path("missing.xml")), Exception);
    EXPECT_EQ(form.Table.RecordCount, 5);
    form.FileAddClick(two);
    EXPECT_EQ(form.Table.RecordCount, 7);
    EXPECT_EQ(form.Table.cell(0, 5), "b2-0");
    EXPECT_EQ(form.Table.cell(0, 6), "b1-0");
}

TEST_F(PointMarkReaderTest, AReadWithoutRecordsKeepsTheTable) {
    TMainFormCore form;
    fillRecords(form.Table, 4, "old");
    form.StringGridXMLSelectCell(2, 3);
    const auto rowsBefore = form.Table.rows();
    auto unchanged = [&] {
        EXPECT_EQ(form.Table.rows(), rowsBefore);
        EXPECT_EQ(form.Table.RecordCount, 4);
        EXPECT_EQ(form.Table.SelectedRow, 3);
        EXPECT_EQ(form.Table.StatusText, "");
    };
    // velmar.dtd missing: the built-in definition reads the file, which holds no format element.
    // The stray value before it would have gone into the header row; nothing is written.
    const std::string noDtd = kData + "nodtd/missing_dtd.xml";
    EXPECT_EQ(form.FileLoadXMLClick(noDtd), 0);
    ASSERT_EQ(form.Memo1.size(), 2u);
    EXPECT_EQ(form.Memo1[0], "velmar.dtd was not found beside " + noDtd + "; the built-in definition was used");
    EXPECT_EQ(form.Memo1[1], "No record was read from " + noDtd +
                                 "; the table is unchanged (it holds no \"format\" element).");
    unchanged();
    form.FileAddClick(kData + "no_format.xml");
    ASSERT_EQ(form.Memo1.size(), 1u); // each read starts with an empty message list
    unchanged();

    // Another DTD that is missing is still an error of the file, and the read gives nothing.
    writeFileAtomically(dir_.path("other.xml"), "<?xml version=\"1.0\"?>\n<!DOCTYPE velmar SYSTEM \"other.dtd\">\n"
                                                "<velmar><format><datum>x</datum></format></velmar>\n");
    EXPECT_EQ(form.FileLoadXMLClick(dir_.path("other.xml")), 0);
    ASSERT_EQ(form.Memo1.size(), 2u);
    EXPECT_EQ(form.Memo1[0], "FATAL ERROR in local document " + dir_.path() +
                                 "/other.xml in line 2, between position 1 and 36 -- Invalid doctype declaration.");
    EXPECT_NE(form.Memo1[1].find("(see the messages above)"), std::string::npos);
    unchanged();

    // A file that is not well-formed after its records keeps what was read before the error.
    writeFileAtomically(dir_.path("broken.xml"), readWholeFile(writeFile("two.xml", 2, "b")) + "<oops");
    EXPECT_EQ(form.FileLoadXMLClick(dir_.path("broken.xml")), 2);
    EXPECT_EQ(form.Table.RecordCount, 2);

    // A file that cannot be opened raises; the table keeps its rows.
    const auto rowsAfter = form.Table.rows();
    EXPECT_THROW(form.FileLoadXMLClick(dir_.path("missing.xml")), Exception);
    EXPECT_EQ(form.Table.rows(), rowsAfter);
    EXPECT_EQ(form.Table.RecordCount, 2);
}

TEST_F(PointMarkReaderTest, ValuesAreTakenByNameWithTheirWhiteSpaceAndReferences) {
    TMainFormCore form;
    form.FileLoadXMLClick(kData + "indented.xml");
    EXPECT_TRUE(form.Memo1.empty()) << form.Memo1.front();
    EXPECT_EQ(form.Table.RecordCount, 2);
    EXPECT_EQ(form.Table.rowCount(), 3);
    // Before the first format element: the header row of the load command.
    EXPECT_EQ(form.Table.cell(6, 0), "before");
    // Line breaks and blanks stay; an empty element writes nothing.
    EXPECT_EQ(form.Table.cell(0, 1), "\n      WGS84\n    ");
    EXPECT_EQ(form.Table.cell(1, 1), "dms");
    EXPECT_EQ(form.Table.cell(2, 1), "");
    // Predefined references and CDATA sections after the first text are kept.
    EXPECT_EQ(form.Table.cell(3, 1), "a & b <c> 'd' \"e\"");
    EXPECT_EQ(form.Table.cell(6, 1), "x&yz");
    // Content that starts with a CDATA section or a comment writes nothing.
    EXPECT_EQ(form.Table.cell(4, 1), "");
    EXPECT_EQ(form.Table.cell(5, 1), "");
    EXPECT_EQ(form.Table.cell(7, 1), "");
    // Characters of code page 932, and its extensions, arrive as their bytes.
    EXPECT_EQ(form.Table.cell(8, 1), sjis(u"東京①"));
    EXPECT_EQ(form.Table.cell(9, 1), "cat");
    EXPECT_EQ(form.Table.cell(10, 1), "icon");
    EXPECT_EQ(form.Table.cell(11, 1), "a&b<c");
    EXPECT_EQ(form.Table.cell(12, 1), "\"2\"");
    EXPECT_EQ(form.Table.cell(13, 1), "on");
    EXPECT_EQ(form.Table.cell(14, 1), "300");
    EXPECT_EQ(form.Table.cell(15, 1), "100");
    // Second record: an empty comment, a multimedia element without children and a comment
    // outside image and multimedia leave every cell empty.
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(form.Table.cell(c, 2), "") << c;
}

TEST_F(PointMarkReaderTest, SavedCellsReadBackUnchanged) {
    TMainFormCore source;
    source.Table.RecordCount = 2;
    source.Table.setRowCount(3);
    const char16_t* texts[kColumnCount] = {u"WGS84",       u"dms",        u"20261207",
                                           u"メモ & <注>", u"東京タワー", u"とうきょうたわー",
                                           u"35.6586",     u"139.7454",   u"東京都港区芝公園4-2-8",
                                           u"観光",        u"①㈱髙",      u"\"bell\" & <x>",
                                           u"2 > 1",       u"有効",       u"  300 ",
                                           u"\t100"};
    for (int c = 0; c < kColumnCount; ++c) {
        source.Table.setCell(c, 1, sjis(texts[c]));
        source.Table.setCell(c, 2, std::to_string(c) + "&amp;" + std::string(c % 3 + 1, '"'));
    }
    const std::string path = dir_.path("round.xml");
    ASSERT_TRUE(source.SaveFile(path).empty());

    TMainFormCore form;
    form.FileLoadXMLClick(path);
    EXPECT_TRUE(form.Memo1.empty()) << form.Memo1.front();
    ASSERT_EQ(form.Table.rowCount(), 3);
    for (int r = 1; r <= 2; ++r)
        for (int c = 0; c < kColumnCount; ++c)
            EXPECT_EQ(form.Table.cell(c, r), source.Table.cell(c, r)) << r << "," << c;
}

TEST_F(PointMarkReaderTest, DeepDocumentsAndUnmappableCharacters) {
    // Nesting far deeper than a call stack would bear.
    std::string text = "<velmar><format/>";
    const int depth = 200000;
    for (int i = 0; i < depth; ++i) text += "<a>";
    text += "<lat>deep &#x4E02;&#xD55C;</lat>";
    for (int i = 0; i < depth; ++i) text += "</a>";
    text += "</velmar>";
    writeFileAtomically(dir_.path("deep.xml"), text);
    TMainFormCore form;
    form.FileLoadXMLClick(dir_.path("deep.xml"));
    EXPECT_TRUE(form.Memo1.empty()) << form.Memo1.front();
    EXPECT_EQ(form.Table.RecordCount, 1);
    EXPECT_EQ(form.Table.cell(6, 1), "deep ??");
}

TEST(ResolveExternalSubsetTest, LooksInTheDocumentsDirectory) {
    EXPECT_EQ(externalSubsetPath("/data/points/a.xml", "velmar.dtd"), "/data/points/velmar.dtd");
    EXPECT_EQ(externalSubsetPath("/a.xml", "velmar.dtd"), "/velmar.dtd");
    EXPECT_EQ(externalSubsetPath("a.xml", "velmar.dtd"), "velmar.dtd");
    EXPECT_EQ(externalSubsetPath("dir\\a.xml", "sub/v.dtd"), "sub/v.dtd");
    EXPECT_EQ(externalSubsetPath("地点/a.xml", "地点.dtd"), "地点/地点.dtd");

    std::u16string publicId = u"-//VELMAR//VELMAR V1.0//EN";
    std::u16string systemId = u"velmar.dtd";
    TStream* stream = nullptr;
    TXmlParserAction action = TXmlParserAction::paRetry;
    const std::u16string dataDir = u"" + std::u16string(kData.begin(), kData.end());
    ResolveExternalSubset(dataDir + u"indented.xml", publicId, systemId, stream, action);
    EXPECT_EQ(action, TXmlParserAction::paOK);
    ASSERT_NE(stream, nullptr);
    EXPECT_GT(stream->size(), 0);
    delete stream;
    stream = nullptr;
    EXPECT_EQ(systemId, dataDir + u"velmar.dtd");
    EXPECT_EQ(publicId, u"-//VELMAR//VELMAR V1.0//EN");

    systemId = u"absent.dtd";
    ResolveExternalSubset(dataDir + u"indented.xml", publicId, systemId, stream, action);
    EXPECT_EQ(action, TXmlParserAction::paFail);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(systemId, dataDir + u"absent.dtd");

    systemId.clear();
    action = TXmlParserAction::paRetry;
    ResolveExternalSubset(dataDir + u"indented.xml", publicId, systemId, stream, action);
    EXPECT_EQ(action, TXmlParserAction::paRetry);
    EXPECT_TRUE(systemId.empty());
}
