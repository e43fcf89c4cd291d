#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "app/point_mark_writer.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/file_io.h"
#include "text/utf8.h"

namespace {

std::string sjis(const char* utf8) { return cp932::encode(utf8ToUtf16(utf8)); }

const std::string kHead = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
                          "<!DOCTYPE velmar PUBLIC \"-//VELMAR//VELMAR V1.0//EN\" \"velmar.dtd\">\r\n"
                          "<velmar version=\"1.0\" model=\"Dravon corporation:ORVEX:v4.00\">\r\n";
const std::string kTail = "</velmar>\r\n";

TPointMarkRow fullRow() {
    TPointMarkRow row;
    const char* cells[] = {
        "WGS84",          "DEGREE", "20260101", "memo",      "東京駅", "とうきょうえき", "35.681", "139.767",
        "千代田区丸の内", "駅",     "icon1",    "chime.wav", "3",      "有効",           "500",    "100"};
    for (int c = 0; c < kColumnCount; ++c) row[c] = sjis(cells[c]);
    return row;
}

std::string recordLine(const TPointMarkRow& c) {
    return "<format><datum>" + c[0] + "</datum><unit>" + c[1] + "</unit><time>" + c[2] +
           "</time></format><gpoi><poi><note>" + c[3] + "</note><name><nb>" + c[4] + "</nb><rt>" + c[5] +
           "</rt></name><point><pos><lat>" + c[6] + "</lat><lon>" + c[7] +
           "</lon></pos></point></poi><address><address-text>" + c[8] +
           "</address-text></address><category vendor=\"DRAVON-ORVEX\">" + c[9] +
           "</category><linkfile><image href=\"\"><comment>" + c[10] +
           "</comment></image><multimedia format=\"ORVEX-SOUND\" href=\"" + c[11] + "\" repeat=\"" + c[12] +
           "\"><comment>" + c[13] + "</comment><activate-condition><activate-radius><outmost>" + c[14] +
           "</outmost><inmost>" + c[15] +
           "</inmost></activate-radius></activate-condition></multimedia></linkfile></gpoi>\r\n";
}

TPointMarkTable tableOf(const std::vector<TPointMarkRow>& records) {
    TPointMarkTable table;
    table.writeHeaderRow();
    table.setRowCount(static_cast<int>(records.size()) + 1);
    for (std::size_t i = 0; i < records.size(); ++i) table.setRow(static_cast<int>(i) + 1, records[i]);
    return table;
}

} // namespace

TEST(PointMarkWriter, TablesWithoutWritableRowsGiveFourLines) {
    TPointMarkTable empty;
    empty.writeHeaderRow();
    TSaveReport report;
    EXPECT_EQ(buildPointMarkXml(empty, &report), kHead + kTail);
    EXPECT_EQ(report.skippedRows, std::vector<int>{1}); // the empty record row
    empty.setRowCount(1);
    EXPECT_EQ(buildPointMarkXml(empty), kHead + kTail);
}

TEST(PointMarkWriter, FullJapaneseRowGivesExactBytes) {
    const TPointMarkRow row = fullRow();
    const TPointMarkTable table = tableOf({row});
    const std::string bytes = buildPointMarkXml(table);
    EXPECT_EQ(bytes, kHead + recordLine(row) + kTail);
    EXPECT_NE(bytes.find("<nb>\x93\x8c\x8b\x9e\x89\x77</nb>"), std::string::npos); // 東京駅

    // Many rows and a cell larger than the writer's buffer, all escaped: the same bytes in order.
    std::vector<TPointMarkRow> rows(1500, row);
    rows[700][8] = std::string(400 * 1024, '&');
    std::string expected = kHead;
    for (TPointMarkRow r : rows) {
        if (r[8][0] == '&') {
            r[8].clear();
            for (int i = 0; i < 400 * 1024; ++i) r[8] += "&#38;";
        }
        expected += recordLine(r);
    }
    EXPECT_EQ(buildPointMarkXml(tableOf(rows)), expected + kTail);
}

TEST(PointMarkWriter, OptionalCellsMayBeEmptyRequiredMayNot) {
    TPointMarkRow optionalEmpty = fullRow();
    for (int c : {3, 5, 8, 11, 12, 13, 14, 15}) optionalEmpty[c].clear();
    TPointMarkRow noIcon = fullRow();
    noIcon[10].clear();
    TPointMarkRow noDatum = fullRow();
    noDatum[0].clear();
    const TPointMarkTable table = tableOf({noIcon, optionalEmpty, noDatum, fullRow()});
    TSaveReport report;
    const std::string bytes = buildPointMarkXml(table, &report);
    EXPECT_EQ(bytes, kHead + recordLine(optionalEmpty) + recordLine(fullRow()) + kTail);
    EXPECT_NE(bytes.find("href=\"\" repeat=\"\"><comment></comment>"), std::string::npos);
    EXPECT_EQ(report.skippedRows, (std::vector<int>{1, 3}));
    for (int c = 0; c < kColumnCount; ++c) {
        TPointMarkRow row = fullRow();
        row[c].clear();
        EXPECT_EQ(isWritableRecord(row), !isRequiredColumn(c)) << c;
    }
}

TEST(PointMarkWriter, MarkupCharactersAreWrittenAsReferences) {
    TPointMarkRow row = fullRow();
    row[3] = "a&b<c>d\"e";
    row[11] = "say \"hi\".wav";
    row[12] = "<3>";
    row[4] = sjis("ソ&表"); // 0x83 0x5C and 0x95 0x5C: trail bytes stay as they are
    const std::string bytes = buildPointMarkXml(tableOf({row}));
    EXPECT_NE(bytes.find("<note>a&#38;b&#60;c&#62;d&#34;e</note>"), std::string::npos);
    EXPECT_NE(bytes.find("href=\"say &#34;hi&#34;.wav\" repeat=\"&#60;3&#62;\">"), std::string::npos);
    EXPECT_NE(bytes.find("<nb>\x83\x5c&#38;\x95\x5c</nb>"), std::string::npos);
}

TEST(PointMarkWriter, BytesThatWouldNotReadBackAreWrittenSoTheFileParses) {
    TPointMarkRow row = fullRow();
    row[3] = "a\r\nb\tc";                          // CR as a reference, LF and tab as they are
    row[11] = "x\ty\nz\r";                         // in attribute values all three as references
    row[8] = std::string("\x01q\x00\x1f\x7f", 5); // control bytes left out, DEL kept
    row[13] = "\x81\xff\x80\xa0\xfd\x82";         // a lead byte without a trail, bytes Shift_JIS never uses
    row[5] = "\x82<\x82\xa0";                      // a lead byte before "<" must not swallow it
    TPointMarkRow clean = fullRow();
    TSaveReport report;
    const std::string bytes = buildPointMarkXml(tableOf({clean, row, clean, row}), &report);
    EXPECT_NE(bytes.find("<note>a&#13;\nb\tc</note>"), std::string::npos);
    EXPECT_NE(bytes.find("href=\"x&#9;y&#10;z&#13;\""), std::string::npos);
    EXPECT_NE(bytes.find("<address-text>q\x7f</address-text>"), std::string::npos);
    EXPECT_NE(bytes.find("<comment>??????"
                         "</comment><activate"),
              std::string::npos);
    EXPECT_NE(bytes.find("<rt>?&#60;\x82\xa0</rt>"), std::string::npos);
    EXPECT_EQ(report.controlCharacterRows, (std::vector<int>{2, 4}));
    EXPECT_EQ(report.invalidByteRows, (std::vector<int>{2, 4}));
    EXPECT_TRUE(report.skippedRows.empty());
    const std::string message = saveReportMessage(report);
    EXPECT_NE(message.find("制御文字"), std::string::npos);
    EXPECT_NE(message.find("\"?\""), std::string::npos);
    EXPECT_NE(message.find("2, 4"), std::string::npos);
}

TEST(PointMarkWriter, WritesTheFileAndReportsFailuresByName) {
    const TemporaryDirectory temporary("pm-writer");
    const std::string& dir = temporary.path();
    const TPointMarkTable table = tableOf({fullRow(), TPointMarkRow{}});
    EXPECT_EQ(writePointMarkFile(table, dir + "/out.xml").skippedRows, std::vector<int>{2});
    EXPECT_EQ(readWholeFile(dir + "/out.xml"), buildPointMarkXml(table));
    try {
        writePointMarkFile(table, dir + "/missing/out.xml");
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_NE(e.message().find(dir + "/missing/out.xml"), std::string::npos);
    }
}

TEST(PointMarkWriter, SkippedRowsMessageListsRowNumbers) {
    EXPECT_EQ(skippedRowsMessage({}), "");
    const std::string message = skippedRowsMessage({2, 5});
    EXPECT_NE(message.find("2, 5"), std::string::npos);
    EXPECT_NE(message.find("アイコン"), std::string::npos); // names the required columns
    std::vector<int> many(250);
    for (int i = 0; i < 250; ++i) many[i] = i + 1;
    const std::string longMessage = skippedRowsMessage(many);
    EXPECT_NE(longMessage.find("99, 100 ..."), std::string::npos);
    EXPECT_EQ(longMessage.find("101"), std::string::npos);
    EXPECT_NE(longMessage.find("150"), std::string::npos); // the number of rows not listed
}
