#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/csv_file.h"
#include "app/point_mark_table.h"
#include "tests/support/temporary_directory.h"
#include "text/code_page_932.h"
#include "text/exception.h"
#include "text/file_io.h"

namespace {

using Lines = std::vector<std::string>;

std::string sjis(std::u16string_view text) { return cp932::encode(text); }

TPointMarkRow fullRow(const std::string& prefix) {
    TPointMarkRow row;
    for (int c = 0; c < kColumnCount; ++c) row[c] = prefix + std::to_string(c);
    return row;
}

TPointMarkTable startTable() {
    TPointMarkTable table;
    table.writeHeaderRow();
    return table;
}

class CsvFiles : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.path(name); }
    TemporaryDirectory dir_{"csv-file-test"};
};

} // namespace

TEST(CsvSplitText, CutsAtEverySeparatorLikeLineEnds) {
    EXPECT_EQ(SplitText("a,b,c", ","), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitText("a,,c", ","), (Lines{"a", "", "c"}));
    EXPECT_EQ(SplitText("a,b,", ","), (Lines{"a", "b"})); // the trailing empty field is lost
    EXPECT_EQ(SplitText("", ","), Lines{});
    EXPECT_EQ(SplitText(",", ","), Lines{""});
    EXPECT_EQ(SplitText(",,", ","), (Lines{"", ""}));
    EXPECT_EQ(SplitText("a\"b,\"c", ","), (Lines{"a\"b", "\"c"})); // quotes are ordinary here
    EXPECT_EQ(SplitText("a\rb\nc\r\nd", ","), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitText(std::string("a,b\0,c", 6), ","), (Lines{"a", "b"}));
    EXPECT_EQ(SplitText("a::b:c", "::"), (Lines{"a", "b:c"}));
    // Trail bytes of double-byte characters are never a comma or a line end: 表 is 0x95 0x5C.
    const std::string name = sjis(u"表示,ソフト");
    EXPECT_EQ(SplitText(name, ","), (Lines{sjis(u"表示"), sjis(u"ソフト")}));
}

TEST(CsvReading, CutsTheTextIntoLines) {
    EXPECT_EQ(splitCsvLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(splitCsvLines("a\r\n"), Lines{"a"}); // nothing after the last line end: no line
    EXPECT_EQ(splitCsvLines("a\r\n\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(splitCsvLines("a\n\r"), (Lines{"a", ""})); // LF then CR are two line ends
    EXPECT_EQ(splitCsvLines(""), Lines{});
    EXPECT_EQ(splitCsvLines(std::string("a\r\nb\0c\r\nd", 9)), (Lines{"a", "b"})); // NUL ends the text
    // Line ends inside a quoted field belong to the line; a quote elsewhere is ordinary.
    EXPECT_EQ(splitCsvLines("x,\"a\r\nb\",y\r\nnext"), (Lines{"x,\"a\r\nb\",y", "next"}));
    EXPECT_EQ(splitCsvLines("x\"y\r\nz"), (Lines{"x\"y", "z"}));
    EXPECT_EQ(splitCsvLines("\"a\"\"\r\n\"\r\nz"), (Lines{"\"a\"\"\r\n\"", "z"}));
    // A quoted field that never closes runs to the end of the text.
    EXPECT_EQ(splitCsvLines("a\r\n\"b\r\nc,d\r\n"), (Lines{"a", "\"b\r\nc,d\r\n"}));
}

TEST(CsvReading, SplitsFieldsWithQuotedFields) {
    EXPECT_EQ(splitCsvFields("a,b,"), (Lines{"a", "b"}));
    EXPECT_EQ(splitCsvFields(""), Lines{});
    EXPECT_EQ(splitCsvFields("\"a,b\",c"), (Lines{"a,b", "c"}));
    EXPECT_EQ(splitCsvFields("\"say \"\"hi\"\"\",x"), (Lines{"say \"hi\"", "x"}));
    EXPECT_EQ(splitCsvFields("\"two\r\nlines\""), Lines{"two\r\nlines"});
    EXPECT_EQ(splitCsvFields("a,\"\""), (Lines{"a", ""}));             // a quoted empty field is a field
    EXPECT_EQ(splitCsvFields("5\"x,1'2\""), (Lines{"5\"x", "1'2\""})); // not at a field start
    EXPECT_EQ(splitCsvFields("\"ab\"cd,e"), (Lines{"abcd", "e"}));     // text after the closing quote stays
    EXPECT_EQ(splitCsvFields("\"open,field"), Lines{"open,field"});
    EXPECT_EQ(splitCsvFields("a,b,c,d", 2), (Lines{"a", "b"}));
}

TEST(CsvReading, DecodesUtf8ByteOrderMarkFilesAndLeavesOutNul) {
    const std::string utf8 = "\xEF\xBB\xBF\xE5\x9C\xB0\xE7\x82\xB9,abc\r\n"; // BOM, 地点,abc
    EXPECT_EQ(csvTextOfFile(utf8), sjis(u"地点,abc\r\n"));
    const std::string plain = sjis(u"地点,abc");
    EXPECT_EQ(csvTextOfFile(plain), plain); // byte for byte
    EXPECT_EQ(csvTextOfFile("\xEF\xBB"
                            "x"),
              "\xEF\xBB"
              "x"); // a partial mark is just bytes
    EXPECT_EQ(csvTextOfFile(std::string("ab\0cd", 5)), "abcd");
    EXPECT_EQ(csvTextOfFile("\xEF\xBB\xBF\xE2\x82\xAC"), "?"); // € is not in code page 932
}

TEST(CsvLoading, LinesReplaceTheTable) {
    TPointMarkTable table = startTable();
    table.setRowCount(11);
    for (int r = 1; r < 11; ++r) table.setRow(r, fullRow("old"));
    table.RecordCount = 10;

    const std::string header = "h0,h1,h2,h3,h4,h5,h6,h7,h8,h9,h10,h11,h12,h13,h14,h15";
    std::string longLine;
    for (int i = 0; i < 20; ++i) longLine += "f" + std::to_string(i) + ",";
    LoadCsvLines(table, {header, "a,b,c", "", longLine});
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.RecordCount, 3);
    EXPECT_EQ(table.fixedRows(), 1);
    EXPECT_EQ(table.cell(0, 0), "h0"); // the first line overwrites the header texts
    EXPECT_EQ(table.cell(15, 0), "h15");
    EXPECT_EQ(table.cell(2, 1), "c");
    EXPECT_EQ(table.cell(3, 1), ""); // cells without a field are emptied, nothing old survives
    EXPECT_EQ(table.cell(15, 1), "");
    EXPECT_EQ(table.row(2), TPointMarkRow{});
    EXPECT_EQ(table.cell(15, 3), "f15"); // fields after the sixteenth are dropped

    LoadCsvLines(table, {"only,line"});
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.fixedRows(), 0);
    EXPECT_EQ(table.RecordCount, 0);
    EXPECT_EQ(table.cell(1, 0), "line");

    TPointMarkTable fresh = startTable();
    LoadCsvLines(fresh, {});
    EXPECT_EQ(fresh.rowCount(), 1);
    EXPECT_EQ(fresh.fixedRows(), 0);
    EXPECT_EQ(fresh.RecordCount, 0);
    EXPECT_EQ(fresh.cell(0, 0), "DATUM"); // no cell written
}

TEST_F(CsvFiles, WritesThePlainFormatByteForByte) {
    TPointMarkTable table = startTable();
    TPointMarkRow record = fullRow("v");
    record[3] = "";
    record[15] = "";
    record[4] = sjis(u"東京タワー");
    record[5] = "it's <&> ok";
    table.setRow(1, record);
    const std::string name = path("table.csv");
    saveCsvFile(table, name);

    std::string expected =
        sjis(u"DATUM,UNIT,TIME,NOTE,地点名,読み仮名,緯度,経度,住所,カテゴリ,アイコン,音種類,繰り返し,"
             u"有効/無効,距離1,距離2\r\n");
    expected += "v0,v1,v2,," + sjis(u"東京タワー") + ",it's <&> ok,v6,v7,v8,v9,v10,v11,v12,v13,v14,\r\n";
    EXPECT_EQ(readWholeFile(name), expected);

    TPointMarkTable loaded = startTable();
    loaded.setRowCount(5);
    loaded.setRow(1, fullRow("old"));
    loadCsvFile(loaded, name);
    EXPECT_EQ(loaded.rowCount(), 2);
    EXPECT_EQ(loaded.RecordCount, 1);
    EXPECT_EQ(loaded.row(0), table.row(0));
    EXPECT_EQ(loaded.row(1), record); // the trailing empty cell stays empty
}

TEST_F(CsvFiles, CellsWithSeparatorsQuotesAndLineBreaksComeBackUnchanged) {
    TPointMarkTable table = startTable();
    table.setRowCount(4);
    TPointMarkRow tricky = fullRow("t");
    tricky[0] = "a,b";
    tricky[4] = "say \"hi\"";
    tricky[8] = "line1\r\nline2";
    tricky[9] = "cr\ronly";
    tricky[10] = "lf\nonly";
    tricky[11] = "\"";
    tricky[15] = ",";
    table.setRow(1, tricky);
    TPointMarkRow quoteStart = fullRow("q");
    quoteStart[0] = "\"quoted\" at the start";
    quoteStart[14] = "\"\"";
    table.setRow(2, quoteStart);
    table.setRow(3, fullRow("u"));
    const std::string name = path("tricky.csv");
    saveCsvFile(table, name);

    const std::string bytes = readWholeFile(name);
    EXPECT_EQ(bytes.substr(bytes.find("\r\n") + 2, 16), "\"a,b\",t1,t2,t3,\"");
    EXPECT_NE(bytes.find(",\"say \"\"hi\"\"\","), std::string::npos);
    EXPECT_NE(bytes.find("\r\nu0,u1,u2,u3,u4,u5,u6,u7,u8,u9,u10,u11,u12,u13,u14,u15\r\n"), std::string::npos);

    TPointMarkTable loaded = startTable();
    loadCsvFile(loaded, name);
    EXPECT_EQ(loaded.rowCount(), 4);
    EXPECT_EQ(loaded.RecordCount, 3);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(loaded.row(r), table.row(r)) << "row " << r;
}

TEST_F(CsvFiles, SpreadsheetUtf8FilesAreConverted) {
    const std::string name = path("utf8.csv");
    writeFileAtomically(name, "\xEF\xBB\xBF"
                              "DATUM,NOTE\r\nTokyo,\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x82\xBF\xE3\x83\xAF\xE3\x83\xBC\r\n");
    TPointMarkTable table = startTable();
    loadCsvFile(table, name);
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.cell(0, 0), "DATUM"); // no byte-order mark left in the first cell
    EXPECT_EQ(table.cell(1, 1), sjis(u"東京タワー"));
}

TEST_F(CsvFiles, AFirstCellThatLooksLikeAByteOrderMarkIsQuoted) {
    TPointMarkTable table = startTable();
    table.setCell(0, 0, "\xEF\xBB\xBFnot UTF-8 \x82\xA0");
    table.setCell(0, 1, "\xEF\xBB\xBF"); // later cells are written as they stand
    const std::string name = path("mark.csv");
    saveCsvFile(table, name);
    const std::string bytes = readWholeFile(name);
    EXPECT_EQ(bytes.substr(0, 18), "\"\xEF\xBB\xBFnot UTF-8 \x82\xA0\",");
    EXPECT_NE(bytes.find("\r\n\xEF\xBB\xBF,"), std::string::npos);
    TPointMarkTable loaded = startTable();
    loadCsvFile(loaded, name);
    EXPECT_EQ(loaded.rows(), table.rows());
}

TEST_F(CsvFiles, NulBytesAreLeftOutAsTheyAreReadAndCountedOncePerLine) {
    // A file of nothing but NUL bytes (a sparse file, larger than a block of the read).
    const std::string zeros = path("zeros.csv");
    writeFileAtomically(zeros, "");
    std::filesystem::resize_file(zeros, (3u << 20) + 1);
    TCsvText read = readCsvText(zeros);
    EXPECT_EQ(read.lines, Lines{});
    EXPECT_EQ(read.messages, Lines{zeros + ", line 1: 3145729 NUL bytes were left out"});
    EXPECT_EQ(readCsvFile(zeros), Lines{});

    // NUL bytes across the blocks of the read, also between the CR and the LF of one line end:
    // each line that held some is named once, with the number the record on it has.
    const std::string megabyte(1u << 20, '\0');
    const std::string bytes =
        "H\r" + megabyte + "\nrec," + std::string(1, '\0') + "x\r\n" + megabyte + megabyte + "last";
    const std::string mixed = path("mixed.csv");
    writeFileAtomically(mixed, bytes);
    read = readCsvText(mixed);
    EXPECT_EQ(read.lines, (Lines{"H", "rec,x", "last"}));
    EXPECT_EQ(read.lineNumbers, (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_EQ(read.messages, (Lines{mixed + ", line 2: 1048577 NUL bytes were left out",
                                    mixed + ", line 3: 2097152 NUL bytes were left out"}));
    const TCsvText inMemory = parseCsvText(bytes, mixed);
    EXPECT_EQ(inMemory.lines, read.lines);
    EXPECT_EQ(inMemory.messages, read.messages);
    EXPECT_EQ(readCsvFile(mixed), read.lines);
}

TEST_F(CsvFiles, FailuresLeaveTableAndFileAlone) {
    TPointMarkTable table = startTable();
    table.setRow(1, fullRow("keep"));
    EXPECT_THROW(loadCsvFile(table, path("missing.csv")), EFOpenError);
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.row(1), fullRow("keep"));
    EXPECT_EQ(table.RecordCount, 1);

    // A directory in the way of the target: the save fails and the directory stays.
    std::filesystem::create_directory(path("dir.csv"));
    EXPECT_THROW(saveCsvFile(table, path("dir.csv")), EFCreateError);
    EXPECT_TRUE(std::filesystem::is_directory(path("dir.csv")));
    EXPECT_THROW(saveCsvFile(table, path("no/such/dir.csv")), EFCreateError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1); // no temporary file left
}

TEST_F(CsvFiles, HostileInputGivesWhatTheFileHolds) {
    // Binary bytes and invalid Shift_JIS are kept byte for byte; a NUL is left out.
    std::string binary;
    for (int i = 1; i < 256; ++i) binary.push_back(static_cast<char>(i));
    const std::string binaryName = path("binary.csv");
    writeFileAtomically(binaryName, binary + std::string(1, '\0') + "ignored");
    TPointMarkTable table = startTable();
    loadCsvFile(table, binaryName);
    EXPECT_EQ(table.rowCount(), 3); // lines end at byte 10 and byte 13
    EXPECT_EQ(table.cell(0, 0), binary.substr(0, 9));
    EXPECT_EQ(table.cell(0, 2).substr(0, 18), binary.substr(13, 18)); // up to the first comma (byte 44)
    EXPECT_EQ(table.cell(1, 2), binary.substr(44) + "ignored");       // the text after the NUL is kept
    EXPECT_EQ(readWholeFile(binaryName), binary + std::string(1, '\0') + "ignored");

    // A million fields in one line and a line of a megabyte.
    std::string wide(1000000, ',');
    wide.insert(0, "first");
    const std::string megabyte(1 << 20, '\x82');
    const std::string bigName = path("big.csv");
    writeFileAtomically(bigName, wide + "\r\n" + megabyte + "\r\n");
    loadCsvFile(table, bigName);
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.cell(0, 0), "first");
    EXPECT_EQ(table.cell(0, 1), megabyte);

    // A quoted field that never closes holds the rest of the file.
    const std::string openName = path("open.csv");
    writeFileAtomically(openName, "a,b\r\nc,\"d\r\ne,f\r\n");
    loadCsvFile(table, openName);
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.cell(1, 1), "d\r\ne,f\r\n");
}
