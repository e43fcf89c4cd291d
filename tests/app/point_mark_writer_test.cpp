#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/point_mark_writer.h"
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
    std::vector<int> skipped;
    EXPECT_EQ(buildPointMarkXml(empty, &skipped), kHead + kTail);
    EXPECT_EQ(skipped, std::vector<int>{1}); // the empty record row

    TPointMarkTable headerOnly;
    headerOnly.setRowCount(1);
    skipped.clear();
    EXPECT_EQ(buildPointMarkXml(headerOnly, &skipped), kHead + kTail);
    EXPECT_TRUE(skipped.empty());
}

TEST(PointMarkWriter, FullJapaneseRowGivesExactBytes) {
    const TPointMarkRow row = fullRow();
    const TPointMarkTable table = tableOf({row});
    const std::string bytes = buildPointMarkXml(table);
    EXPECT_EQ(bytes, kHead + recordLine(row) + kTail);
    // 東京駅 as its Shift_JIS bytes, unchanged
    EXPECT_NE(bytes.find("<nb>\x93\x8c\x8b\x9e\x89\x77</nb>"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 11), "</velmar>\r\n");
}

TEST(PointMarkWriter, OptionalCellsMayBeEmptyRequiredMayNot) {
    TPointMarkRow optionalEmpty = fullRow();
    for (int c : {3, 5, 8, 11, 12, 13, 14, 15}) optionalEmpty[c].clear();
    TPointMarkRow noIcon = fullRow();
    noIcon[10].clear();
    TPointMarkRow noDatum = fullRow();
    noDatum[0].clear();
    const TPointMarkTable table = tableOf({noIcon, optionalEmpty, noDatum, fullRow()});
    std::vector<int> skipped;
    const std::string bytes = buildPointMarkXml(table, &skipped);
    EXPECT_EQ(bytes, kHead + recordLine(optionalEmpty) + recordLine(fullRow()) + kTail);
    EXPECT_NE(bytes.find("href=\"\" repeat=\"\"><comment></comment>"), std::string::npos);
    EXPECT_EQ(skipped, (std::vector<int>{1, 3}));
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
    // Nothing else changes: invalid Shift_JIS goes out byte for byte.
    TPointMarkRow raw = fullRow();
    raw[8] = std::string("\x81\xff\x00\xa0", 4);
    EXPECT_EQ(buildPointMarkXml(tableOf({raw})), kHead + recordLine(raw) + kTail);
}

TEST(PointMarkWriter, WritesFileOrLeavesThePreviousOne) {
    const auto dir = std::filesystem::temp_directory_path() / ("pm-writer-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string name = (dir / "out.xml").string();
    const TPointMarkTable table = tableOf({fullRow()});
    EXPECT_TRUE(writePointMarkFile(table, name).empty());
    EXPECT_EQ(readWholeFile(name), buildPointMarkXml(table));

    const std::string missing = (dir / "no-such-dir" / "out.xml").string();
    try {
        writePointMarkFile(table, missing);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos);
    }
    // A directory in the way: the error names the file, nothing is left behind.
    std::filesystem::create_directories(dir / "taken.xml");
    EXPECT_THROW(writePointMarkFile(table, (dir / "taken.xml").string()), EFCreateError);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++entries;
    EXPECT_EQ(entries, 2u); // out.xml and taken.xml only
    std::filesystem::remove_all(dir);
}

TEST(PointMarkWriter, SkippedRowsMessageListsRowNumbers) {
    EXPECT_EQ(skippedRowsMessage({}), "");
    const std::string message = skippedRowsMessage({2, 5});
    EXPECT_NE(message.find("2, 5"), std::string::npos);
    EXPECT_NE(message.find("アイコン"), std::string::npos);
    std::vector<int> many;
    for (int i = 1; i <= 250; ++i) many.push_back(i);
    const std::string longMessage = skippedRowsMessage(many);
    EXPECT_NE(longMessage.find("100 ..."), std::string::npos);
    EXPECT_EQ(longMessage.find("101"), std::string::npos);
    EXPECT_NE(longMessage.find("150"), std::string::npos); // the count of the rows not listed
}
